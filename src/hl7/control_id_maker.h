// Makes the control ids (MSH-10) and the message times (MSH-7) of the
// messages and acknowledgements this side writes: a running number, or an id
// made from the time that stays unique across runs. One thread at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace qelvor::hl7 {

class CControlIdMaker {
  public:
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    // fromTime: ids like "20261208010203123001" (local time to the
    // millisecond and a three-digit count within it), else 1, 2, 3 ...
    explicit CControlIdMaker(bool fromTime, WallClock clock = &std::chrono::system_clock::now);

    std::string Next();
    // The current local time as an HL7 timestamp: YYYYMMDDHHMMSS.
    std::string Timestamp() const;

  private:
    bool fromTime_;
    WallClock clock_;
    uint64_t counter_ = 0;
    std::string lastMillisecond_;
};

}  // namespace qelvor::hl7
