// The library's template bodies are compiled here, in this file only, so that
// no separate SimpleIni library needs to be linked.
#define SI_IMPLEMENTATION
#include "config/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "config/file_writer.h"

namespace qelvor {

namespace {

constexpr char kBom[] = "\xEF\xBB\xBF";

// Drops the characters that would end a line or the text early, so that a
// written value cannot change the structure of the file.
std::string OneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != '\r' && c != '\n' && c != '\0') out += c;
    }
    return out;
}

std::string CutValue(const char* value) {
    std::string text(value);
    if (text.size() > CIniFile::kMaxValueLength) text.resize(CIniFile::kMaxValueLength);
    return text;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A name is written only when the library reads it back as the same name.
bool IsWritableName(const std::string& name, const char* forbidden) {
    return name.find_first_of(forbidden) == std::string::npos && TrimBlanks(name) == name;
}

// Quotes keep blanks at a value's ends, and a value that is itself quoted,
// from being taken off when the library reads the line back.
std::string EncodeValue(const std::string& value) {
    const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
    if (quoted || (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()))))
        return '"' + value + '"';
    return value;
}

// One line of the text as the library reads it: CR LF, LF or a lone CR ends it.
struct Line {
    size_t begin = 0;
    size_t end = 0;   // where its line end starts
    size_t next = 0;  // where the next line starts
};

Line LineAt(const std::string& text, size_t begin, size_t limit) {
    Line line{begin, begin, begin};
    while (line.end < limit && text[line.end] != '\r' && text[line.end] != '\n')
        ++line.end;
    line.next = line.end;
    if (line.next < limit) {
        const bool crlf =
            text[line.next] == '\r' && line.next + 1 < limit && text[line.next + 1] == '\n';
        line.next += crlf ? 2 : 1;
    }
    return line;
}

// The line end the file already uses, CR LF for a file that has none yet.
std::string LineEndOf(const std::string& text, size_t limit) {
    const size_t lf = text.find('\n');
    if (lf != std::string::npos && lf < limit && (lf == 0 || text[lf - 1] != '\r')) return "\n";
    return "\r\n";
}

// What one line is to the library: a section header, a key line, a lone "["
// whose header name the library looks for on the next lines, a "[" without
// "]", or neither (blank, comment, or without "="). The library files the
// keys behind a header without "]" under a name no lookup can match.
struct LineKind {
    enum { Other, Header, BadHeader, Key, OpenBracket } kind = Other;
    std::string_view name;  // the section or key, trimmed
    size_t valueBegin = 0;  // for a key: after "=" and the blanks behind it
};

LineKind HeaderName(std::string_view afterBracket) {
    LineKind result;
    const size_t close = afterBracket.find(']');
    result.kind = close == std::string_view::npos ? LineKind::BadHeader : LineKind::Header;
    if (close == std::string_view::npos) return result;
    result.name = TrimBlanks(afterBracket.substr(0, close));
    return result;
}

// openBracket: the line before was a lone "[", so this one holds its name.
LineKind Classify(const std::string& text, const Line& line, bool openBracket) {
    LineKind result;
    std::string_view body(text.data() + line.begin, line.end - line.begin);
    while (!body.empty() && IsBlank(body.front()))
        body.remove_prefix(1);
    if (openBracket) {
        if (body.empty()) result.kind = LineKind::OpenBracket;
        return body.empty() ? result : HeaderName(body);
    }
    if (body.empty() || body.front() == ';' || body.front() == '#') return result;
    if (body.front() == '[') {
        if (TrimBlanks(body.substr(1)).empty()) result.kind = LineKind::OpenBracket;
        return result.kind == LineKind::OpenBracket ? result : HeaderName(body.substr(1));
    }
    const size_t equals = body.find('=');
    if (equals == std::string_view::npos || equals == 0) return result;
    result.kind = LineKind::Key;
    result.name = TrimBlanks(body.substr(0, equals));
    size_t value = static_cast<size_t>(body.data() - text.data()) + equals + 1;
    while (value < line.end && IsBlank(text[value]))
        ++value;
    result.valueBegin = value;
    return result;
}

// Where a key's value stands, or where a line for it goes.
struct KeySpot {
    size_t valueBegin = std::string::npos;  // the key's last line (the one read)
    size_t valueEnd = 0;
    size_t insertAt = std::string::npos;  // behind the section's last key or header
    bool insertNeedsLineEnd = false;      // that line is the last and has no end
    bool endsInOpenBracket = false;       // the text ends waiting for a header name
};

KeySpot FindKey(const std::string& text, size_t limit, const std::string& section,
                const std::string& key) {
    KeySpot spot;
    size_t pos = text.compare(0, 3, kBom) == 0 ? 3 : 0;
    bool inSection = section.empty();
    if (inSection) spot.insertAt = pos;
    bool openBracket = false;
    while (pos < limit) {
        const Line line = LineAt(text, pos, limit);
        const LineKind kind = Classify(text, line, openBracket);
        openBracket = kind.kind == LineKind::OpenBracket;
        if (kind.kind == LineKind::Header) inSection = EqualNoCase(kind.name, section);
        if (kind.kind == LineKind::BadHeader) inSection = false;
        if (inSection && (kind.kind == LineKind::Header || kind.kind == LineKind::Key)) {
            spot.insertAt = line.next;
            spot.insertNeedsLineEnd = line.next == line.end;
        }
        if (inSection && kind.kind == LineKind::Key && EqualNoCase(kind.name, key)) {
            spot.valueBegin = kind.valueBegin;
            spot.valueEnd = line.end;
        }
        pos = line.next;
    }
    spot.endsInOpenBracket = openBracket;
    return spot;
}

std::string Describe(const std::string& path, int err) {
    return "cannot read " + path + ": " + std::strerror(err);
}

// Why a file of this kind is not read, or empty when it may be.
std::string RefusalOf(const std::string& path, const struct stat& info) {
    if (S_ISDIR(info.st_mode)) return path + " is a directory";
    if (!S_ISREG(info.st_mode)) return path + " is not a regular file";
    if (static_cast<uint64_t>(info.st_size) > CIniFile::kMaxFileSize)
        return path + " is too large to be a settings file";
    return {};
}

// Why the text is not read as a settings file, or empty when it may be. The
// file is read as 8-bit text: UTF-16 (a byte-order mark, or NULs in many
// places) would give no keys at all and a NUL byte would end the text early:
// the program would start with defaults and write its changes into text it
// could not read. Both are refused instead.
std::string TextRefusal(const std::string& path, const std::string& text) {
    const bool utf16Mark = text.rfind("\xFF\xFE", 0) == 0 || text.rfind("\xFE\xFF", 0) == 0;
    const auto nuls = static_cast<size_t>(std::count(text.begin(), text.end(), '\0'));
    if (utf16Mark || (nuls > 0 && nuls * 4 >= text.size()))
        return path + " is not a text file (UTF-16)";
    if (nuls > 0) return path + " is not a text file (it holds a NUL byte)";
    return {};
}

ReadResult ReadOpenFile(int fd, const std::string& path, std::string& text, std::string& error) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) error = Describe(path, errno);
    if (error.empty()) error = RefusalOf(path, info);
    char buffer[65536];
    while (error.empty()) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = Describe(path, errno);
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > CIniFile::kMaxFileSize) error = RefusalOf(path, info);
    }
    if (error.empty()) error = TextRefusal(path, text);
    if (!error.empty()) text.clear();
    return error.empty() ? ReadResult::Read : ReadResult::Failed;
}

}  // namespace

ReadResult ReadWholeFile(const std::string& path, std::string& text, std::string& error) {
    text.clear();
    error.clear();
    // The kind is checked before opening, so that a named pipe is never
    // opened at all, and again on the open file in case it was replaced.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        if (errno == ENOENT) return ReadResult::Missing;
        error = Describe(path, errno);
        return ReadResult::Failed;
    }
    error = RefusalOf(path, info);
    if (!error.empty()) return ReadResult::Failed;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) return ReadResult::Missing;
        error = Describe(path, errno);
        return ReadResult::Failed;
    }
    const ReadResult result = ReadOpenFile(fd, path, text, error);
    ::close(fd);
    return result;
}

CIniFile::CIniFile(std::string path) : path_(std::move(path)) {
    ini_.SetSpaces(false);
    ini_.SetQuotes(true);
    ini_.SetMultiLine(false);
}

CIniFile::~CIniFile() = default;

bool CIniFile::Load() {
    ini_.Reset();
    changed_ = false;
    const ReadResult result = ReadWholeFile(path_, text_, loadError_);
    existed_ = result == ReadResult::Read;
    loaded_ = text_;
    if (result == ReadResult::Failed) return false;
    return ini_.LoadData(text_.data(), text_.size()) >= 0;
}

bool CIniFile::Save() {
    if (!changed_) return true;
    CFileWriter file;
    if (file.Create(path_, CFileWriter::Mode::Truncate) != 0) return false;
    int err = file.Write(text_);
    const int closed = file.Close();
    if (err == 0) err = closed;
    if (err == 0) {
        loaded_ = text_;
        existed_ = true;
        changed_ = false;
        return true;
    }
    // The longer text did not fit (a full disk, a size limit); what the user
    // had before does fit in the space it held.
    if (existed_) {
        CFileWriter::WriteFile(path_, loaded_, CFileWriter::Mode::Truncate);
    } else {
        ::unlink(path_.c_str());
    }
    return false;
}

std::string CIniFile::GetString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
    const char* value = ini_.GetValue(section.c_str(), key.c_str(), nullptr);
    return CutValue(value != nullptr ? value : defaultValue.c_str());
}

int CIniFile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
    const char* value = ini_.GetValue(section.c_str(), key.c_str(), nullptr);
    // "WorkMode=" names no number: the key's default, not 0 (a TCP server).
    if (value == nullptr || value[std::strspn(value, " \t")] == '\0') return defaultValue;
    return ParseInt(value);
}

bool CIniFile::HasSection(const std::string& section) const {
    return ini_.GetSection(section.c_str()) != nullptr;
}

bool CIniFile::SetString(const std::string& section, const std::string& key,
                         const std::string& value) {
    const std::string sectionName = OneLine(section);
    const std::string keyName = OneLine(key);
    if (keyName.empty() || !IsWritableName(keyName, "=") || !IsWritableName(sectionName, "]"))
        return false;
    if (keyName.front() == ';' || keyName.front() == '#' || keyName.front() == '[') return false;
    const std::string text = OneLine(value);
    const char* old = ini_.GetValue(sectionName.c_str(), keyName.c_str(), nullptr);
    if (old != nullptr && text == old) return true;
    EditLine(sectionName, keyName, text);
    changed_ = true;
    return ini_.SetValue(sectionName.c_str(), keyName.c_str(), text.c_str()) >= 0;
}

bool CIniFile::SetInt(const std::string& section, const std::string& key, int value) {
    return SetString(section, key, std::to_string(value));
}

void CIniFile::EditLine(const std::string& section, const std::string& key,
                        const std::string& value) {
    // The library stops reading at a NUL byte; the text behind one is left
    // alone, and a new section goes in front of it where it will be read.
    const size_t limit = std::min(text_.find('\0'), text_.size());
    const KeySpot spot = FindKey(text_, limit, section, key);
    const std::string encoded = EncodeValue(value);
    if (spot.valueBegin != std::string::npos) {
        text_.replace(spot.valueBegin, spot.valueEnd - spot.valueBegin, encoded);
        return;
    }
    const std::string lineEnd = LineEndOf(text_, limit);
    if (spot.insertAt != std::string::npos) {
        const std::string before = spot.insertNeedsLineEnd ? lineEnd : std::string();
        text_.insert(spot.insertAt, before + key + '=' + encoded + lineEnd);
        return;
    }
    std::string before;
    if (limit > 0 && text_[limit - 1] != '\n' && text_[limit - 1] != '\r') before = lineEnd;
    // A lone "[" would take the new header as its name; a comment line ends it.
    if (spot.endsInOpenBracket) before += ";" + lineEnd;
    text_.insert(limit, before + '[' + section + ']' + lineEnd + key + '=' + encoded + lineEnd);
}

int CIniFile::ParseInt(const std::string& text) {
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    // Accumulate as a magnitude that stops growing once it is past any int,
    // so that a long run of digits cannot overflow.
    long long magnitude = 0;
    const long long limit = static_cast<long long>(INT_MAX) + 1;
    for (; pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])); ++pos) {
        if (magnitude <= limit) magnitude = magnitude * 10 + (text[pos] - '0');
    }
    if (negative) return magnitude >= limit ? INT_MIN : static_cast<int>(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

}  // namespace qelvor
