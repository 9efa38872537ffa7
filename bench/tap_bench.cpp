// A tap run by qelvor-cli as a user runs it, side by side in one run with a
// plain socat relay over the same kind of pair: between two ptys, and between
// a pty and a TCP client (this program listens on 127.0.0.1). Throughput:
// 64 MiB each way at once, every byte checked in order where it comes out,
// and the tap's printed 'A' and 'B' record lines decoded and checked against
// what each side sent, so the figure is that of the path a user runs,
// printing included; the processor time of each relay is shown beside.
// Latency: one byte at a time from one pty to the other, at a random moment
// of the tap's 1 ms tick, both ways in turn. The goals: at least 0.8 of
// socat's rate, and a byte through the tap within 1 ms at p50, 3 ms at p99.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "bench_support.h"
#include "data/ctrl_char_notation.h"

namespace {

using Clock = std::chrono::steady_clock;

// Whole 100-byte frames just under 64 MiB, so the last frame ends in CR LF
// and is printed while the run goes on.
constexpr size_t kFrames = (64u * 1024 * 1024) / bench::kFrameSize;
constexpr int kQuietMs = 10000;  // a side silent this long has stopped
constexpr int kTrips = 2000;

// Frames of 100 bytes: a ten-digit number, letters that change with it and
// with the side, CR LF; a lost, doubled or swapped frame shows at once.
std::string NumberedFrames(size_t frames, char first) {
    std::string all(frames * bench::kFrameSize, '\0');
    for (size_t i = 0; i < frames; ++i) {
        char* frame = all.data() + i * bench::kFrameSize;
        size_t number = i;
        for (int digit = 9; digit >= 0; --digit, number /= 10)
            frame[digit] = static_cast<char>('0' + number % 10);
        for (size_t j = 10; j < bench::kFrameSize - 2; ++j)
            frame[j] = static_cast<char>(first + (i + j) % 26);
        frame[bench::kFrameSize - 2] = '\r';
        frame[bench::kFrameSize - 1] = '\n';
    }
    return all;
}

// A pty pair whose master this program feeds and drains; the slave, raw,
// is what the relay opens by its path.
struct Pty {
    Pty() {
        openpty(&master, &slave, nullptr, nullptr, nullptr);
        termios raw{};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        path = ttyname(slave);
    }
    ~Pty() {
        close(master);
        close(slave);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    int master = -1, slave = -1;
    std::string path;
};

std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/" + program;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

// Starts args[0] with standard input and error on /dev/null and standard
// output on a new pipe whose read end goes to outFd (or /dev/null).
pid_t Spawn(std::vector<std::string> args, int* outFd) {
    int out[2] = {-1, -1};
    if (outFd != nullptr && pipe2(out, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outFd != nullptr) {
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (outFd != nullptr) {
        close(out[1]);
        *outFd = out[0];
    }
    return pid;
}

// Ends the process; the processor time it used, in seconds.
double EndProcess(pid_t pid) {
    if (pid <= 0) return 0;
    kill(pid, SIGTERM);
    rusage use{};
    if (wait4(pid, nullptr, 0, &use) != pid) return 0;
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(use.ru_utime) + seconds(use.ru_stime);
}

// Writes all of stream into fd; gives up when fd takes nothing for kQuietMs.
void Feed(int fd, const std::string& stream) {
    for (size_t done = 0; done < stream.size();) {
        pollfd room{fd, POLLOUT, 0};
        if (poll(&room, 1, kQuietMs) != 1) return;
        const ssize_t put = write(fd, stream.data() + done, stream.size() - done);
        if (put < 0 && errno != EAGAIN && errno != EINTR) return;
        if (put > 0) done += static_cast<size_t>(put);
    }
}

// Reads fd until expected has come; the bytes that came in order, short of
// expected's size when one differed or fd fell silent.
size_t Drain(int fd, const std::string& expected) {
    std::vector<char> buffer(1 << 16);
    size_t good = 0;
    while (good < expected.size()) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, kQuietMs) != 1) break;
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        if (got <= 0) break;
        const size_t size = static_cast<size_t>(got);
        if (good + size > expected.size() ||
            std::memcmp(buffer.data(), expected.data() + good, size) != 0)
            break;
        good += size;
    }
    return good;
}

// The bench's ends of a relay: bytes written into a come out of b and the
// other way round (a pty master or a TCP socket each).
struct Ends {
    int a = -1, b = -1;
};

struct Transfer {
    double seconds = 0;
    size_t atB = 0, atA = 0;  // bytes delivered in order each way
};

// Both ways at once; the time until the last byte has come out.
Transfer Run(Ends ends, const std::string& fromA, const std::string& fromB) {
    Transfer result;
    const Clock::time_point start = Clock::now();
    std::thread feedA(Feed, ends.a, std::cref(fromA));
    std::thread feedB(Feed, ends.b, std::cref(fromB));
    std::thread drainB([&] { result.atB = Drain(ends.b, fromA); });
    result.atA = Drain(ends.a, fromB);
    drainB.join();
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    feedA.join();
    feedB.join();
    return result;
}

// One frame each way and back, so that the timed run starts with a relay
// that is up; false when it never passed.
bool Handshake(Ends ends) {
    const std::string hello = "hello\r\n";
    for (int fd : {ends.a, ends.b}) {
        if (write(fd, hello.data(), hello.size()) != static_cast<ssize_t>(hello.size()))
            return false;
        if (Drain(fd == ends.a ? ends.b : ends.a, hello) != hello.size()) return false;
    }
    return true;
}

// Waits up to 5 s for the relay's TCP client on listener.
int AcceptClient(int listener) {
    pollfd ready{listener, POLLIN, 0};
    if (poll(&ready, 1, 5000) != 1) return -1;
    const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    return fd;
}

// qelvor-cli --tap A B with its record lines read as they come: the 'I'
// lines that tell a side connected, and the 'A' and 'B' lines decoded back
// into bytes and compared with what that side sent (when given).
class CliTap {
  public:
    CliTap(const std::string& ini, const std::string& a, const std::string& b,
           const std::string* fromA, const std::string* fromB)
        : expected_{fromA, fromB} {
        pid_ = Spawn({QELVOR_CLI_PATH, "--ini", ini, "--no-time", "--tap", a, b}, &out_);
        if (pid_ > 0) reader_ = std::thread(&CliTap::ReadLines, this);
    }
    ~CliTap() { Stop(); }
    CliTap(const CliTap&) = delete;
    CliTap& operator=(const CliTap&) = delete;

    // Both sides told connected within 5 s: from then on the relay passes bytes.
    bool WaitConnected() const {
        return WaitFor([this] { return connected_.load() >= 2; }, 5000);
    }
    // Until every byte each side sent is recorded; false when one differs,
    // or none came for kQuietMs.
    bool WaitRecorded() const {
        const auto all = [this] { return Recorded(0) == Size(0) && Recorded(1) == Size(1); };
        while (!all() && !wrong_ && !ended_) {
            const size_t before = Recorded(0) + Recorded(1);
            WaitFor([&] { return all() || Recorded(0) + Recorded(1) != before; }, kQuietMs);
            if (Recorded(0) + Recorded(1) == before) break;
        }
        return all() && !wrong_;
    }
    size_t Recorded(int side) const { return recorded_[side].load(); }
    // Ends qelvor-cli; the processor time it used, in seconds.
    double Stop() {
        double cpu = 0;
        if (pid_ > 0) cpu = EndProcess(pid_);
        pid_ = -1;
        if (reader_.joinable()) reader_.join();
        if (out_ >= 0) close(out_);
        out_ = -1;
        return cpu;
    }

  private:
    template <typename Done>
    bool WaitFor(Done done, int ms) const {
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ms);
        while (!done() && !ended_ && Clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done();
    }
    size_t Size(int side) const { return expected_[side] != nullptr ? expected_[side]->size() : 0; }
    void ReadLines();
    void Take(std::string_view line);

    const std::string* expected_[2];
    pid_t pid_ = -1;
    int out_ = -1;
    std::thread reader_;
    std::atomic<int> connected_{0};
    std::atomic<size_t> recorded_[2] = {0, 0};
    std::atomic<bool> wrong_{false}, ended_{false};
};

void CliTap::ReadLines() {
    // A pipe of 1 MiB, the most a user may ask for: qelvor-cli drops lines a
    // slow reader misses, and this reader shares the processors with the
    // feeders and drainers of both ways.
    fcntl(out_, F_SETPIPE_SZ, 1 << 20);
    std::vector<char> buffer(1 << 20);
    size_t kept = 0;  // the start of a line not ended yet
    for (;;) {
        const ssize_t got = read(out_, buffer.data() + kept, buffer.size() - kept);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        const char* begin = buffer.data();
        const char* end = begin + kept + static_cast<size_t>(got);
        for (const char* eol; (eol = static_cast<const char*>(
                                   std::memchr(begin, '\n', static_cast<size_t>(end - begin))));
             begin = eol + 1)
            Take(std::string_view(begin, static_cast<size_t>(eol - begin)));
        kept = static_cast<size_t>(end - begin);
        std::memmove(buffer.data(), begin, kept);
        if (kept == buffer.size()) buffer.resize(buffer.size() * 2);
    }
    ended_ = true;
}

void CliTap::Take(std::string_view line) {
    if (line.size() < 2 || line[1] != ':') return;
    if (line[0] == 'I' && line.find(": connected") != std::string_view::npos) ++connected_;
    const int side = line[0] == 'A' ? 0 : line[0] == 'B' ? 1 : -1;
    if (side < 0 || expected_[side] == nullptr) return;
    const std::string bytes = qelvor::UnescapeCtrlChars(line.substr(2));
    const size_t at = recorded_[side].load();
    if (at + bytes.size() > expected_[side]->size() ||
        expected_[side]->compare(at, bytes.size(), bytes) != 0) {
        wrong_ = true;
        return;
    }
    recorded_[side] += bytes.size();
}

// The far ends a relay is started between: pty x, and pty y or a listener
// on 127.0.0.1 whose client the relay becomes.
struct Rig {
    explicit Rig(bool overTcp) : tcp(overTcp) {
        if (!tcp) return;
        listener = bench::ListenOnLoopback();
        port = std::to_string(bench::PortOf(listener));
    }
    ~Rig() {
        if (client >= 0) close(client);
        if (listener >= 0) close(listener);
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;
    std::string SocatB() const { return tcp ? "TCP:127.0.0.1:" + port : y.path + ",raw,echo=0"; }
    std::string TapB() const { return tcp ? "tcp-client:127.0.0.1:" + port : "serial:" + y.path; }
    // Once the relay runs: this program's ends, its TCP client taken first.
    bool Connect(Ends& ends) {
        ends.a = x.master;
        if (tcp) client = AcceptClient(listener);
        ends.b = tcp ? client : y.master;
        return ends.b >= 0;
    }
    const bool tcp;
    Pty x, y;
    int listener = -1, client = -1;
    std::string port;
};

std::string WriteSettings(const std::string& folder) {
    const std::string path = folder + "/tap-bench.ini";
    std::ofstream(path) << "[ComSet]\r\nSplitStrs=<CR><LF>\r\nAutoSaveLog=0\r\n";
    return path;
}

struct Outcome {
    Transfer transfer;
    bool started = false;
    bool recorded = true;  // the tap's records held every byte in order
    size_t recordedBytes = 0;
    double cpuSeconds = 0;  // the relay's, start to end
};

Outcome ThroughSocat(const std::string& socat, bool tcp, const std::string& fromA,
                     const std::string& fromB) {
    Outcome outcome;
    Rig rig(tcp);
    const pid_t pid = Spawn({socat, "-b65536", rig.x.path + ",raw,echo=0", rig.SocatB()}, nullptr);
    Ends ends;
    outcome.started = pid > 0 && rig.Connect(ends) && Handshake(ends);
    if (outcome.started) outcome.transfer = Run(ends, fromA, fromB);
    outcome.cpuSeconds = EndProcess(pid);
    return outcome;
}

Outcome ThroughTap(const std::string& folder, bool tcp, const std::string& fromA,
                   const std::string& fromB) {
    Outcome outcome;
    Rig rig(tcp);
    CliTap tap(WriteSettings(folder), "serial:" + rig.x.path, rig.TapB(), &fromA, &fromB);
    Ends ends;
    outcome.started = rig.Connect(ends) && tap.WaitConnected();
    if (!outcome.started) return outcome;
    outcome.transfer = Run(ends, fromA, fromB);
    outcome.recorded = tap.WaitRecorded();
    outcome.recordedBytes = tap.Recorded(0) + tap.Recorded(1);
    outcome.cpuSeconds = tap.Stop();
    return outcome;
}

double MBps(const Transfer& transfer) {
    return static_cast<double>(transfer.atA + transfer.atB) / 1e6 / transfer.seconds;
}

// Why a run does not count, or empty.
std::string Fault(const char* who, const Outcome& outcome, size_t each) {
    const std::string name = who;
    if (!outcome.started) return name + " did not start or connect";
    if (outcome.transfer.atB != each) return name + " lost or changed bytes from A to B";
    if (outcome.transfer.atA != each) return name + " lost or changed bytes from B to A";
    if (!outcome.recorded) return name + " did not record every byte in order";
    return {};
}

std::string TempFolder() {
    char pattern[] = "/tmp/qelvor_tap_bench_XXXXXX";
    return mkdtemp(pattern) != nullptr ? pattern : "/tmp";
}

// Arg 0: pty to pty; arg 1: pty to a TCP client.
void BM_TapThroughputAgainstSocat(benchmark::State& state) {
    const std::string socat = FindOnPath("socat");
    if (socat.empty()) state.SkipWithError("socat is not installed (scripts/setup.sh adds it)");
    signal(SIGPIPE, SIG_IGN);
    const bool tcp = state.range(0) == 1;
    const std::string fromA = NumberedFrames(kFrames, 'A'), fromB = NumberedFrames(kFrames, 'a');
    const std::string folder = TempFolder();
    for (auto _ : state) {
        const Outcome plain = ThroughSocat(socat, tcp, fromA, fromB);
        const Outcome tap = ThroughTap(folder, tcp, fromA, fromB);
        state.SetIterationTime(tap.transfer.seconds > 0 ? tap.transfer.seconds : 1);
        std::string fault = Fault("socat", plain, fromA.size());
        if (fault.empty()) fault = Fault("the tap", tap, fromA.size());
        if (!fault.empty()) {
            state.SkipWithError(fault.c_str());
            break;
        }
        state.counters["socat_MB_per_s"] = MBps(plain.transfer);
        state.counters["tap_MB_per_s"] = MBps(tap.transfer);
        state.counters["ratio"] = MBps(tap.transfer) / MBps(plain.transfer);
        state.counters["tap_recorded_MB"] = static_cast<double>(tap.recordedBytes) / 1e6;
        state.counters["socat_cpu_s"] = plain.cpuSeconds;
        state.counters["tap_cpu_s"] = tap.cpuSeconds;
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_TapThroughputAgainstSocat)
    ->ArgName("tcp")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// kTrips single bytes, in turn from A to B and from B to A, each after a
// random pause of up to 2 ms so that it meets the tap's tick at any moment;
// the time of each from its write until it is read, in ms. Empty when a
// byte did not come within a second or came changed.
std::vector<double> TripTimesMs(Ends ends) {
    std::mt19937 random(27);
    std::uniform_int_distribution<int> pauseUs(0, 2000);
    std::vector<double> times;
    for (int trip = 0; trip < kTrips; ++trip) {
        const int from = trip % 2 == 0 ? ends.a : ends.b;
        const int to = from == ends.a ? ends.b : ends.a;
        std::this_thread::sleep_for(std::chrono::microseconds(pauseUs(random)));
        const char sent = static_cast<char>('a' + trip % 26);
        const Clock::time_point start = Clock::now();
        if (write(from, &sent, 1) != 1) return {};
        pollfd ready{to, POLLIN, 0};
        char got = 0;
        if (poll(&ready, 1, 1000) != 1 || read(to, &got, 1) != 1 || got != sent) return {};
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return times;
}

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<size_t>(share * static_cast<double>(values.size()));
    return values[std::min(rank, values.size() - 1)];
}

std::vector<double> SocatTrips(const std::string& socat) {
    Rig rig(false);
    const pid_t pid = Spawn({socat, "-b65536", rig.x.path + ",raw,echo=0", rig.SocatB()}, nullptr);
    Ends ends;
    std::vector<double> times;
    if (pid > 0 && rig.Connect(ends) && Handshake(ends)) times = TripTimesMs(ends);
    EndProcess(pid);
    return times;
}

std::vector<double> TapTrips(const std::string& folder) {
    Rig rig(false);
    CliTap tap(WriteSettings(folder), "serial:" + rig.x.path, rig.TapB(), nullptr, nullptr);
    Ends ends;
    if (!rig.Connect(ends) || !tap.WaitConnected()) return {};
    return TripTimesMs(ends);
}

void BM_TapLatencyAgainstSocat(benchmark::State& state) {
    const std::string socat = FindOnPath("socat");
    if (socat.empty()) state.SkipWithError("socat is not installed (scripts/setup.sh adds it)");
    const std::string folder = TempFolder();
    for (auto _ : state) {
        const std::vector<double> plain = SocatTrips(socat);
        const std::vector<double> tap = TapTrips(folder);
        if (plain.empty() || tap.empty()) {
            state.SkipWithError(plain.empty() ? "a byte through socat was lost or late"
                                              : "a byte through the tap was lost or late");
            break;
        }
        state.counters["socat_p50_ms"] = Percentile(plain, 0.50);
        state.counters["socat_p99_ms"] = Percentile(plain, 0.99);
        state.counters["tap_p50_ms"] = Percentile(tap, 0.50);
        state.counters["tap_p99_ms"] = Percentile(tap, 0.99);
        state.counters["tap_max_ms"] = Percentile(tap, 1.0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_TapLatencyAgainstSocat)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
