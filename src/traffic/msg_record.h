// One entry of the traffic store: 'S' bytes sent, 'R' bytes received or 'I'
// an information text, with the local time it was recorded. Copied by value;
// kept compact because the store holds every record of a backup period.
#pragma once

#include <cstdint>
#include <string>

#include "traffic/system_time.h"

namespace qelvor {

class CMsgRecord {
  public:
    CMsgRecord() = default;
    // A record stamped with the local time of this moment.
    CMsgRecord(char type, std::string data);
    CMsgRecord(char type, std::string data, const SystemTime& time);

    // A record read back from a capture file: the word Packed() gave.
    static CMsgRecord FromPacked(uint64_t packed, std::string data);

    char Type() const { return static_cast<char>(packed_ >> kTypeShift); }
    const std::string& Data() const { return data_; }
    SystemTime Time() const;
    // The type and the time in one word, as a capture file keeps them.
    uint64_t Packed() const { return packed_; }
    // Whether a word read from a file is one that Packed() can give: a
    // printable type and time fields within their ranges.
    static bool PlausiblePacked(uint64_t packed);

  private:
    // The type shares the word with the packed time, so that a record is a
    // string and one 8-byte word: the store holds millions of them.
    static constexpr int kTypeShift = 56;

    std::string data_;
    uint64_t packed_ = 0;  // the SystemTime fields in bits 0..54, the type in 56..63
};

}  // namespace qelvor
