#include "hl7/control_id_maker.h"

#include <cstdio>
#include <ctime>

namespace qelvor::hl7 {

namespace {

// The local time of a moment, as YYYYMMDDHHMMSS followed by its milliseconds.
std::string LocalDigits(std::chrono::system_clock::time_point moment, bool withMillis) {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &local);
    std::string digits(text);
    if (withMillis) {
        const auto millis =
            std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch()) % 1000;
        std::snprintf(text, sizeof text, "%03d", static_cast<int>(millis.count()));
        digits += text;
    }
    return digits;
}

}  // namespace

CControlIdMaker::CControlIdMaker(bool fromTime, WallClock clock)
    : fromTime_(fromTime), clock_(std::move(clock)) {}

std::string CControlIdMaker::Next() {
    if (!fromTime_) return std::to_string(++counter_);
    // Within one millisecond a count tells ids apart; it starts again with
    // the next millisecond, so the id stays at 20 characters, the limit of
    // MSH-10 in version 2.5, unless a thousand ids share a millisecond.
    std::string millisecond = LocalDigits(clock_(), true);
    if (millisecond != lastMillisecond_) {
        lastMillisecond_ = millisecond;
        counter_ = 0;
    }
    char count[24];
    std::snprintf(count, sizeof count, "%03llu", static_cast<unsigned long long>(++counter_));
    return millisecond + count;
}

std::string CControlIdMaker::Timestamp() const {
    return LocalDigits(clock_(), false);
}

}  // namespace qelvor::hl7
