#include "log/csv_exporter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/ctrl_char_notation.h"
#include "data/display_format.h"
#include "data/text_encoding.h"
#include "traffic/msg_exchange.h"

namespace qelvor {

namespace {

constexpr const char* kLineEnd = "\r\n";

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The text in UTF-8: the records hold text in the locale's character set,
// and a byte that is no character there becomes U+FFFD.
std::string ToUtf8(std::string_view text) {
    if (IsAscii(text)) return std::string(text);
    std::string converted = ConvertCodePage(text, CP_ACP, CP_UTF8);
    return converted.empty() ? std::string(text.size(), '?') : converted;
}

std::string DateText(const SystemTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u", t.wYear, t.wMonth, t.wDay);
    return text;
}

std::string TimeText(const SystemTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond,
                  t.wMilliseconds);
    return text;
}

}  // namespace

CCsvExporter::~CCsvExporter() {
    if (state_ == State::kWriting) Cancel();
}

const char* CCsvExporter::HeaderLine() {
    return "date,time,+ms,type,data,hex\r\n";
}

std::string CCsvExporter::QuoteField(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
    std::string quoted = "\"";
    for (char c : field) {
        if (c == '"') quoted.push_back('"');
        quoted.push_back(c);
    }
    quoted.push_back('"');
    return quoted;
}

std::string CCsvExporter::TextCell(std::string_view text) {
    if (text.empty() || std::string_view("=+-@\t\r").find(text.front()) == std::string_view::npos)
        return QuoteField(text);
    return QuoteField("'" + std::string(text));
}

std::string CCsvExporter::RecordLine(const CRecordStore& records, size_t index,
                                     const Options& options) {
    const CMsgRecord& record = records[index];
    const SystemTime time = record.Time();
    const std::string gap = FormatGap(MillisSincePrevious(records, index, options.gapScope));
    const std::string shown = FormatForDisplay(record.Type(), record.Data(), options.showDataFmt);
    std::string line = DateText(time) + ',' + TimeText(time) + ',' + gap + ',' + record.Type();
    // The date, times, gap (negative after a clock step), type and hex are
    // the program's own and are written as they are.
    line += ',' + TextCell(ToUtf8(shown)) + ',' + BytesToHexPairs(record.Data()) + kLineEnd;
    return line;
}

int CCsvExporter::Start(const std::string& path, const std::vector<size_t>* rows,
                        const Options& options) {
    if (state_ == State::kWriting) Cancel();
    options_ = options;
    path_ = path;
    allRecords_ = rows == nullptr;
    rows_ = rows ? *rows : std::vector<size_t>();
    recordCount_ = store_.RecordCount();
    generation_ = store_.Generation();
    written_ = 0;
    error_.clear();
    buffer_ = HeaderLine();
    const int err = file_.Create(TemporaryPath(path_), CFileWriter::Mode::Truncate);
    if (err != 0) {
        state_ = State::kFailed;
        error_ = "cannot create " + TemporaryPath(path_) + ": " + std::strerror(err);
        return err;
    }
    state_ = State::kWriting;
    return 0;
}

CCsvExporter::State CCsvExporter::Step(Clock::time_point deadline) {
    if (state_ != State::kWriting) return state_;
    while (written_ < RowCount()) {
        if (store_.Generation() != generation_) {
            Fail("the traffic list was cleared during the export", 0);
            return state_;
        }
        const size_t end = std::min(RowCount(), written_ + kRowsPerClockCheck);
        for (; written_ < end; ++written_) {
            const size_t index = RecordIndex(written_);
            if (index >= store_.RecordCount()) {
                Fail("a row to export is no longer in the traffic list", 0);
                return state_;
            }
            buffer_ += RecordLine(store_.Records(), index, options_);
        }
        if (buffer_.size() >= kWriteChunk && !Flush()) return state_;
        if (Clock::now() >= deadline) return state_;
    }
    Finish();
    return state_;
}

bool CCsvExporter::Flush() {
    const int err = file_.Write(buffer_);
    buffer_.clear();
    if (err != 0) Fail("cannot write " + TemporaryPath(path_), err);
    return err == 0;
}

void CCsvExporter::Finish() {
    if (!Flush()) return;
    const int err = file_.Close();
    if (err != 0) {
        Fail("cannot write " + TemporaryPath(path_), err);
        return;
    }
    if (std::rename(TemporaryPath(path_).c_str(), path_.c_str()) != 0) {
        Fail("cannot rename the export to " + path_, errno);
        return;
    }
    state_ = State::kDone;
}

void CCsvExporter::Fail(const std::string& what, int err) {
    error_ = err != 0 ? what + ": " + std::strerror(err) : what;
    Discard();
    state_ = State::kFailed;
}

void CCsvExporter::Cancel() {
    if (state_ != State::kWriting) return;
    Discard();
    state_ = State::kCancelled;
}

void CCsvExporter::Discard() {
    if (file_.IsOpen()) file_.Close();
    buffer_.clear();
    std::remove(TemporaryPath(path_).c_str());
}

double CCsvExporter::Progress() const {
    if (state_ == State::kDone) return 1.0;
    const size_t count = RowCount();
    return count == 0 ? 0.0 : static_cast<double>(written_) / static_cast<double>(count);
}

}  // namespace qelvor
