// One INI file held in memory: sections and keys found without regard to
// case, and a value written by editing that one line of the file's own text,
// so that every other byte (comments, blank lines, line ends) stays as the
// user wrote it. Not thread safe; the settings code uses it on one thread.
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
    // A settings file beyond this size is refused rather than read whole.
    static constexpr size_t kMaxFileSize = 16u << 20;

    explicit CIniFile(std::string path);
    // Out of line: the library's bodies exist only in ini_file.cpp.
    ~CIniFile();
    CIniFile(const CIniFile&) = delete;
    CIniFile& operator=(const CIniFile&) = delete;

    // Reads the file without ever blocking. A missing file is an empty one
    // (true); a file that cannot be read leaves the data empty, gives false
    // and says why in LoadError, so that a writer does not replace contents
    // it never saw.
    bool Load();
    const std::string& LoadError() const { return loadError_; }
    // Writes the text back when a value changed (nothing otherwise). When
    // the write fails half way, the old contents are put back. False on any
    // failure.
    bool Save();

    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& defaultValue) const;
    int GetInt(const std::string& section, const std::string& key, int defaultValue) const;
    bool HasSection(const std::string& section) const;
    // Replaces the value part of the key's line, or adds one "key=value"
    // line after the last key of its section, or a new section at the end.
    // CR, LF and NUL are dropped from the value so that it stays on one line;
    // a value equal to the one read changes nothing. False for a name the
    // file could not read back as the same name (empty key, "=" in a key,
    // "]" in a section, blanks around either).
    bool SetString(const std::string& section, const std::string& key, const std::string& value);
    bool SetInt(const std::string& section, const std::string& key, int value);

    // The file's text as it is now, with the changes made so far.
    const std::string& Text() const { return text_; }
    const std::string& Path() const { return path_; }

    // A signed decimal number from the start of text: leading blanks and one
    // sign allowed, anything after the digits ignored, no digits gives 0, and
    // a value beyond the int range is clamped to it.
    static int ParseInt(const std::string& text);

  private:
    void EditLine(const std::string& section, const std::string& key, const std::string& value);

    std::string path_;
    std::string text_;
    std::string loaded_;  // the text as read, put back when a write fails
    std::string loadError_;
    bool existed_ = false;
    bool changed_ = false;
    CSimpleIniA ini_;
};

enum class ReadResult { Read, Missing, Failed };

// Reads a whole regular file into text without blocking in open (a named
// pipe or a device is refused unopened), and refuses UTF-16 text and text
// holding a NUL byte. On Failed, error names the file and the reason ("cannot
// read /x/q.ini: Permission denied", "/x/q.ini is a directory", "/x/q.ini is
// not a regular file", "/x/q.ini is not a text file (UTF-16)").
ReadResult ReadWholeFile(const std::string& path, std::string& text, std::string& error);

}  // namespace qelvor
