#include "mainwnd/send_history.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <fstream>

#include "config/app_paths.h"
#include "config/file_writer.h"

namespace qelvor {

namespace {

// A history file larger than this is no history of ours: it is not read.
constexpr off_t kMaxFileSize = 16 * 1024 * 1024;

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        out += next == 'r' ? '\r' : next == 'n' ? '\n' : next;
    }
    return out;
}

// Set names are compared without regard to case, as INI sections are.
std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The file's lines without their line ends; false when it exists but cannot
// be read whole. Only a regular file is opened: a named pipe in its place
// would block the open.
bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT;
    if (!S_ISREG(info.st_mode) || info.st_size > kMaxFileSize) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return !in.bad();
}

// The set a header line opens, lower-cased; false for any other line.
bool HeaderOf(const std::string& line, std::string& set) {
    if (line.size() < 2 || line.front() != '[' || line.back() != ']') return false;
    set = Lower(line.substr(1, line.size() - 2));
    return true;
}

}  // namespace

std::string CSendHistory::FileFor(const std::string& iniPath) {
    return iniPath.empty() ? std::string() : iniPath + ".history";
}

bool CSendHistory::Load(const std::string& path, const std::string& setName) {
    path_ = path;
    setName_ = setName;
    texts_.clear();
    draft_.clear();
    std::vector<std::string> lines;
    const bool read = path.empty() || ReadLines(path, lines);
    const std::string wanted = Lower(setName);
    bool inSet = false;
    for (const std::string& line : lines) {
        std::string set;
        if (HeaderOf(line, set)) {
            inSet = set == wanted;
        } else if (inSet && !line.empty() && line[0] == '=') {
            texts_.push_back(Unescape(line.substr(1)));
        }
    }
    if (texts_.size() > kLimit) texts_.erase(texts_.begin(), texts_.end() - kLimit);
    walk_ = texts_.size();
    return read;
}

int CSendHistory::Add(const std::string& text) {
    walk_ = texts_.size();
    if (text.empty() || (!texts_.empty() && texts_.back() == text)) return 0;
    texts_.push_back(text);
    if (texts_.size() > kLimit) texts_.erase(texts_.begin());
    walk_ = texts_.size();
    return Save();
}

std::string CSendHistory::Older(const std::string& current) {
    if (texts_.empty()) return current;
    if (walk_ >= texts_.size()) {
        draft_ = current;
        walk_ = texts_.size();
    }
    if (walk_ > 0) --walk_;
    return texts_[walk_];
}

std::string CSendHistory::Newer(const std::string& current) {
    if (walk_ >= texts_.size()) return current;
    ++walk_;
    return walk_ == texts_.size() ? draft_ : texts_[walk_];
}

// Other sets' lines stay as they were; this set's section is written anew
// at the end. The new file takes the old one's place by a rename, so a
// failed write never leaves half a history.
int CSendHistory::Save() const {
    if (path_.empty()) return 0;
    std::vector<std::string> lines;
    if (!ReadLines(path_, lines)) lines.clear();
    const std::string wanted = Lower(setName_);
    std::string kept;
    bool inSet = false;
    for (const std::string& line : lines) {
        std::string set;
        if (HeaderOf(line, set)) inSet = set == wanted;
        if (!inSet) kept += line + "\r\n";
    }
    kept += "[" + setName_ + "]\r\n";
    for (const std::string& text : texts_)
        kept += "=" + Escape(text) + "\r\n";
    const std::string temporary = path_ + ".new";
    int error = CFileWriter::WriteFile(temporary, kept, CFileWriter::Mode::Truncate);
    // The settings folder under the user's configuration home is made on
    // the first write, which may be this one.
    if (error == ENOENT && EnsureFolder(FolderOf(path_)))
        error = CFileWriter::WriteFile(temporary, kept, CFileWriter::Mode::Truncate);
    if (error != 0) return error;
    if (std::rename(temporary.c_str(), path_.c_str()) != 0) return errno;
    return 0;
}

}  // namespace qelvor
