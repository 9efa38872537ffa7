// Feeds random received blocks, split lists and response lists to the frame
// splitter with auto-response on. Checks that nothing crashes or hangs, that
// the pending bytes stay below one 8192-byte chunk between blocks, and that
// the received records plus the pending bytes are exactly the bytes fed.
//
// Input: one byte of flags, a length byte and that many bytes of split list
// text, a length byte and that many bytes of response list text, then blocks,
// each a two-byte little-endian length followed by up to that many bytes.
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "config/com_setting.h"
#include "ports/stream_port.h"
#include "traffic/data_list.h"
#include "traffic/msg_exchange.h"

namespace {

// A port that takes every write whole and keeps nothing, so that responses
// are recorded as sent.
class DiscardPort : public StreamPort::CStreamPort {
  public:
    int SetComParam(int, int, const char*) override { return 1; }
    int SetNetParam(int, int, uint32_t) override { return 1; }
    int Open() override { return 1; }
    int IsOpen() override { return 1; }
    int Close() override { return 1; }
    void SetFormat(uint8_t, uint8_t, uint8_t) override {}
    const char* GetDescription() override { return nullptr; }
    int GetState(int) override { return 1; }
    int WaitForData(int) override { return 0; }
    int Read(char*, int) override { return 0; }
    int WriteString(const std::string& bytes) override {
        return Write(bytes.data(), static_cast<int>(bytes.size()));
    }
    int Write(const char*, int length) override { return length; }
    int TryWrite(const char*, int length) override { return length > 0 ? length : -1; }
    bool WritesInPieces() override { return false; }
    StreamPort::PortKind Kind() const override { return StreamPort::PortKind::Udp; }
    int ControlLines(StreamPort::ControlRequest, int&) override {
        return StreamPort::kLinesNotAvailable;
    }
};

class Reader {
  public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Done() const { return offset_ >= size_; }
    uint8_t Byte() { return Done() ? 0 : data_[offset_++]; }
    std::string Bytes(size_t count) {
        count = count < size_ - offset_ ? count : size_ - offset_;
        std::string bytes(reinterpret_cast<const char*>(data_ + offset_), count);
        offset_ += count;
        return bytes;
    }

  private:
    const uint8_t* data_;
    size_t size_;
    size_t offset_ = 0;
};

// An empty folder for the settings file and the (absent) plug-in, removed
// when the process ends. Plain storage without a destructor, because the
// removal at exit still reads it.
char scratchPattern[] = "/tmp/qelvor_splitter_fuzz_XXXXXX";

void RemoveScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(scratchPattern, ignored);
}

const std::string& ScratchFolder() {
    static const std::string folder = [] {
        if (mkdtemp(scratchPattern) == nullptr) return std::string("/nonexistent/");
        std::atexit(RemoveScratchFolder);
        return std::string(scratchPattern) + "/";
    }();
    return folder;
}

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "splitter fuzz: %s\n", what);
    abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Reader in(data, size);
    const uint8_t flags = in.Byte();
    // Built once: reading the settings file is no part of what is fuzzed.
    static qelvor::CComSetting settings = qelvor::CComSetting::Loaded(ScratchFolder() + "fuzz.ini");
    settings.ExeDir = ScratchFolder();
    settings.HandShake = 1;
    settings.WorkMode = (flags & 1) != 0 ? qelvor::kWorkModeUdp : qelvor::kWorkModeSerial;
    settings.CheckSum = (flags & 2) != 0 ? 1 : 0;
    settings.SupportStress = (flags & 4) != 0 ? 1 : 0;
    settings.UsedResponseFile = (flags & 8) != 0 ? 1 : 0;
    settings.UsedCheckSum = (flags & 16) != 0 ? 1 : 0;
    settings.SplitStrs = in.Bytes(in.Byte());
    settings.RespondStrs = in.Bytes(in.Byte());

    DiscardPort port;
    qelvor::CDataList dataList;
    dataList.Assign({"L0", "<FN8>x<CheckSum>", ""});
    qelvor::CMsgExchange exchange(settings);
    exchange.InitExchange(nullptr, &dataList, (flags & 32) != 0 ? &port : nullptr);

    std::string fed;
    while (!in.Done()) {
        const size_t length = in.Byte() | (static_cast<size_t>(in.Byte()) << 8);
        const std::string block = in.Bytes(length);
        fed += block;
        exchange.OnReceive(block.data(), static_cast<int>(block.size()));
        Check(exchange.Pending().size() <= 8191, "more than 8191 bytes pending");
    }
    exchange.FlushPending();
    std::string received;
    for (const qelvor::CMsgRecord& record : exchange.Records()) {
        if (record.Type() == 'R') received += record.Data();
    }
    Check(received == fed, "received records differ from the bytes fed");
    return 0;
}
