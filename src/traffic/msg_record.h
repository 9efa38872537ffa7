// One entry of the traffic store: 'S' bytes sent, 'R' bytes received or 'I'
// an information text, with the local time it was recorded. Copied by value;
// kept compact because the store holds every record of a backup period.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "traffic/system_time.h"

namespace qelvor {

class CMsgRecord {
public:
    CMsgRecord() = default;
    // A record stamped with the local time of this moment.
    CMsgRecord(char type, std::string data);
    CMsgRecord(char type, std::string data, const SystemTime& time);

    char Type() const { return type_; }
    const std::string& Data() const { return data_; }
    SystemTime Time() const;

private:
    std::string data_;
    uint64_t packedTime_ = 0;  // the SystemTime fields, bit-packed
    char type_ = 0;
};

// The traffic store: oldest first. A deque, so that appending never moves
// the records already held.
using MsgRecords = std::deque<CMsgRecord>;

}  // namespace qelvor
