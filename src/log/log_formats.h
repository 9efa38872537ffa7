// The five layouts in which the traffic store is saved on demand, as the
// exact bytes of the file. Pure functions; any thread.
#pragma once

#include <string>

#include "traffic/record_store.h"
#include "traffic/system_time.h"

namespace qelvor {

enum class LogFormat : int { Fmt = 1, Raw = 2, Hex = 3, Txt = 4, FmtBinary = 5 };

inline constexpr int kLogFormatCount = 5;

struct LogFormatInfo {
    const char* singleName;  // the file of a single save ("MsgLog.log")
    const char* allName;     // the file of Save as All and of the zip ("MsgLogData.log")
    bool textMode;           // every LF of the layout is written as CR LF
    int styleTextId;         // the report's style text in the string table
};

// The file names and style of format 1..5; format 1 for a number out of range.
const LogFormatInfo& FormatInfo(LogFormat format);

// The whole file content of the format for the records, oldest first, CR LF
// already in place for the text layouts. eventTime puts "[hh:mm:ss.mmm]" in
// front of each Fmt line; now is the time written in the Txt header.
std::string RenderLog(const CRecordStore& records, LogFormat format, bool eventTime,
                      const SystemTime& now);

// Every LF becomes CR LF, as a text-mode file of the original platform had it.
std::string ToTextMode(const std::string& text);

}  // namespace qelvor
