// One INI file held in memory: sections and keys found without regard to case,
// values changed in place, and the whole file written back with CR LF line
// ends. Not thread safe; the settings code uses it on one thread at a time.
#pragma once

#include <string>

// Values are 8-bit text in the locale's character set and are kept as bytes;
// no wide-character form is needed, so the library converts nothing.
#ifndef SI_NO_CONVERSION
#define SI_NO_CONVERSION
#endif
#include <SimpleIni.h>

namespace qelvor {

class CIniFile {
  public:
    // The longest string value handed out; longer values are cut.
    static constexpr size_t kMaxValueLength = 16383;

    explicit CIniFile(std::string path);
    // Out of line: the library's bodies exist only in ini_file.cpp.
    ~CIniFile();
    CIniFile(const CIniFile&) = delete;
    CIniFile& operator=(const CIniFile&) = delete;

    // Reads the file. A missing file is an empty one (true); a file that
    // exists but cannot be read leaves the data empty and gives false, so
    // that a writer does not replace contents it never saw.
    bool Load();
    // Writes the whole data back to the file, each line ending in CR LF.
    bool Save() const;

    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) const;
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    // Replaces the key's value where it stands, or appends the key at the end
    // of its section (the section at the end of the file). CR and LF are
    // dropped from the value so that it stays on one line.
    bool SetString(const std::string& section, const std::string& key, const std::string& value);
    bool SetInt(const std::string& section, const std::string& key, int value);

    // The INI text as it would be written, with CR LF line ends.
    std::string ToText() const;
    const std::string& Path() const { return path_; }

    // A signed decimal number from the start of text: leading blanks and one
    // sign allowed, anything after the digits ignored, no digits gives 0, and
    // a value beyond the int range is clamped to it.
    static int ParseInt(const std::string& text);

  private:
    std::string path_;
    CSimpleIniA ini_;
};

// Reads a whole file into text; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& text);
// Replaces the file's contents with text; false on any failure.
bool WriteWholeFile(const std::string& path, const std::string& text);

}  // namespace qelvor
