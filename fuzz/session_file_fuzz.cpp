// A capture file from anywhere: the first input byte says where the capture
// file ends and its index begins; opening and reading every record must not
// crash, hang or read outside the files.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "traffic/session_file.h"

namespace {

void Write(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const std::string folder = [] {
        std::string pattern = "/tmp/qelvor_fuzz_XXXXXX";
        return std::string(mkdtemp(pattern.data()) != nullptr ? pattern : "/tmp") + "/";
    }();
    const size_t split = size * data[0] / 256;
    Write(folder + "f.qcap", data + 1, split > 0 ? split - 1 : 0);
    Write(folder + "f.qidx", data + split, size - split);
    qelvor::CSessionFile file;
    if (file.OpenForReading(folder + "f.qcap")) {
        for (size_t i = 0; i <= file.Count() && i < 4096; ++i)
            (void)file.Read(i);
    }
    return 0;
}
