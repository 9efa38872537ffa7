// An MLLP stream from anywhere, fed in pieces whose sizes the input's first
// byte sets: no crash, and no message or run of outside bytes beyond the
// framer's limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "hl7/mllp_framer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    constexpr size_t kLimit = 64;
    const size_t piece = data[0] % 16 + 1;
    const std::string_view stream(reinterpret_cast<const char*>(data) + 1, size - 1);
    qelvor::hl7::CMllpFramer framer(kLimit);
    std::vector<qelvor::hl7::CMllpFramer::Event> events;
    for (size_t at = 0; at < stream.size(); at += piece)
        framer.Feed(stream.substr(at, piece), events);
    framer.Flush(events);
    for (const auto& event : events) {
        if (event.kind == qelvor::hl7::CMllpFramer::Event::Kind::kMessage &&
            event.bytes.size() > kLimit)
            std::abort();
        if (event.bytes.size() > qelvor::hl7::CMllpFramer::kOutsideChunk + kLimit + 1) std::abort();
    }
    return 0;
}
