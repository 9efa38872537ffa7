// The library's template bodies are compiled here, in this file only, so that
// no separate SimpleIni library needs to be linked.
#define SI_IMPLEMENTATION
#include "config/ini_file.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <utility>

namespace qelvor {

namespace {

// Drops the characters that would end a line or a header early, so that a
// written name or value cannot change the structure of the file.
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

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& text) {
    text.clear();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    char buffer[65536];
    size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, count);
    const bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

bool WriteWholeFile(const std::string& path, const std::string& text) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const bool closed = std::fclose(file) == 0;
    return written && closed;
}

CIniFile::CIniFile(std::string path) : path_(std::move(path)) {
    ini_.SetSpaces(false);
    ini_.SetQuotes(true);
    ini_.SetMultiLine(false);
}

CIniFile::~CIniFile() = default;

bool CIniFile::Load() {
    ini_.Reset();
    std::string text;
    if (!ReadWholeFile(path_, text)) return errno == ENOENT;
    return ini_.LoadData(text.data(), text.size()) >= 0;
}

bool CIniFile::Save() const {
    return WriteWholeFile(path_, ToText());
}

std::string CIniFile::ToText() const {
    std::string lines;
    if (ini_.Save(lines) < 0) return {};
    // The library ends lines with a bare LF on this system; the file keeps the
    // CR LF form, and a stray CR from a loaded comment must not double it.
    std::string text;
    text.reserve(lines.size() + lines.size() / 16);
    for (char c : lines) {
        if (c == '\r') continue;
        if (c == '\n') text += '\r';
        text += c;
    }
    return text;
}

std::string CIniFile::GetString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
    const char* value = ini_.GetValue(section.c_str(), key.c_str(), nullptr);
    return CutValue(value != nullptr ? value : defaultValue.c_str());
}

int CIniFile::GetInt(const std::string& section, const std::string& key, int defaultValue) const {
    const char* value = ini_.GetValue(section.c_str(), key.c_str(), nullptr);
    return value != nullptr ? ParseInt(value) : defaultValue;
}

bool CIniFile::SetString(const std::string& section, const std::string& key,
                         const std::string& value) {
    const std::string name = OneLine(key);
    if (name.empty()) return false;
    return ini_.SetValue(OneLine(section).c_str(), name.c_str(), OneLine(value).c_str()) >= 0;
}

bool CIniFile::SetInt(const std::string& section, const std::string& key, int value) {
    return SetString(section, key, std::to_string(value));
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
