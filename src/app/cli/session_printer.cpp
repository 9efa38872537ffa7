#include "app/cli/session_printer.h"

#include <unistd.h>

#include <csignal>

#include <cerrno>
#include <string>

#include "app/cli/record_line_format.h"
#include "traffic/session_file.h"

namespace qelvor {

namespace {

// Lines go out in pieces of about this size.
constexpr size_t kChunk = 1u << 20;

// False when the reader is gone or the write failed.
bool WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

}  // namespace

int PrintSession(const CCliOptions& options, int out, int err) {
    signal(SIGPIPE, SIG_IGN);
    CSessionFile file;
    if (!file.OpenForReading(options.sessionFile)) {
        WriteAll(err, "qelvor-cli: " + file.Error() + "\n");
        return kExitFailed;
    }
    const CRecordLineFormat format = LineFormatFor(out, options.hex, options.noTime);
    std::string lines;
    for (size_t i = 0; i < file.Count(); ++i) {
        lines += FormatRecordLine(file.Read(i), format);
        lines += '\n';
        if (lines.size() < kChunk) continue;
        if (!WriteAll(out, lines)) return kExitOk;
        lines.clear();
    }
    if (!WriteAll(out, lines)) return kExitOk;
    if (file.LostBytes() > 0) WriteAll(err, "qelvor-cli: " + file.LostBytesNote() + "\n");
    return kExitOk;
}

}  // namespace qelvor
