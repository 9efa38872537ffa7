#include "log/log_formats.h"

#include <array>

#include "config/string_table.h"
#include "data/ctrl_char_notation.h"

namespace qelvor {

namespace {

constexpr std::array<LogFormatInfo, kLogFormatCount> kFormats = {{
    {"MsgLog.log", "MsgLogData.log", true, kStrWithFmtStyle},
    {"MsgLog.raw", "MsgLogData.raw", false, kStrWithBinStyle},
    {"MsgLog.hex", "MsgLogData.hex", true, kStrWithHexStyle},
    {"MsgLog.txt", "MsgLogData.txt", true, kStrWithTxtStyle},
    {"MsgLog.bin", "MsgLogData.bin", false, kStrWithBinaryFmtStyle},
}};

// One line per record of every type: optional time, type, ':' and the data
// in control-character notation.
std::string RenderFmt(const CRecordStore& records, bool eventTime) {
    std::string out;
    for (const CMsgRecord& record : records) {
        if (eventTime) {
            SystemTime t = record.Time();
            out +=
                StrPrintf("[%02d:%02d:%02d.%03d]", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
        }
        out += record.Type();
        out += ':';
        out += EscapeCtrlChars(record.Data());
        out += '\n';
    }
    return out;
}

// The received bytes only, back to back.
std::string RenderRaw(const CRecordStore& records) {
    std::string out;
    for (const CMsgRecord& record : records) {
        if (record.Type() == 'R') out += record.Data();
    }
    return out;
}

// One line per received record: each byte as "%02X ". A tap's records,
// which are both directions, say theirs first ("A: 05 ").
std::string RenderHex(const CRecordStore& records) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (const CMsgRecord& record : records) {
        const char type = record.Type();
        if (type != 'R' && type != 'A' && type != 'B') continue;
        if (type != 'R') out += std::string(1, type) + ": ";
        for (char c : record.Data()) {
            auto byte = static_cast<unsigned char>(c);
            out += kDigits[byte >> 4];
            out += kDigits[byte & 0x0F];
            out += ' ';
        }
        out += '\n';
    }
    return out;
}

// A dated header line, then every record as type, ':' and its bytes
// unchanged, without separators, and one closing line break.
std::string RenderTxt(const CRecordStore& records, const SystemTime& now) {
    std::string out = LoadStr(kStrSaveLogfileDatetime);
    out += StrPrintf("%d-%d-%d%d:%d:%d", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
                     now.wSecond);
    out += '\n';
    for (const CMsgRecord& record : records) {
        out += record.Type();
        out += ':';
        out += record.Data();
    }
    out += '\n';
    return out;
}

// The data of every record in notation, nothing else.
std::string RenderFmtBinary(const CRecordStore& records) {
    std::string out;
    for (const CMsgRecord& record : records)
        out += EscapeCtrlChars(record.Data());
    return out;
}

}  // namespace

const LogFormatInfo& FormatInfo(LogFormat format) {
    int index = static_cast<int>(format) - 1;
    if (index < 0 || index >= kLogFormatCount) index = 0;
    return kFormats[static_cast<size_t>(index)];
}

std::string ToTextMode(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string RenderLog(const CRecordStore& records, LogFormat format, bool eventTime,
                      const SystemTime& now) {
    switch (format) {
        case LogFormat::Raw:
            return RenderRaw(records);
        case LogFormat::Hex:
            return ToTextMode(RenderHex(records));
        case LogFormat::Txt:
            return ToTextMode(RenderTxt(records, now));
        case LogFormat::FmtBinary:
            return RenderFmtBinary(records);
        case LogFormat::Fmt:
            break;
    }
    return ToTextMode(RenderFmt(records, eventTime));
}

}  // namespace qelvor
