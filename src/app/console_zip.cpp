#include "app/console_zip.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "log/zip_writer.h"

namespace qelvor {

namespace {

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

std::string StripToken(const std::string& token) {
    size_t begin = 0;
    size_t end = token.size();
    while (begin < end && (token[begin] == ' ' || IsQuote(token[begin])))
        ++begin;
    while (end > begin && (token[end - 1] == ' ' || IsQuote(token[end - 1])))
        --end;
    return token.substr(begin, end - begin);
}

void EndToken(std::string& token, std::vector<std::string>& tokens) {
    std::string stripped = StripToken(token);
    if (!stripped.empty()) tokens.push_back(std::move(stripped));
    token.clear();
}

// The source folder without trailing blanks and slashes, with one "/".
std::string FolderWithSlash(std::string folder) {
    while (!folder.empty() && (folder.back() == ' ' || folder.back() == '/'))
        folder.pop_back();
    return folder + '/';
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

std::vector<std::string> SortedEntries(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

std::vector<std::string> CConsoleZip::Tokenize(std::string_view text) {
    std::vector<std::string> tokens;
    std::string token;
    bool quoted = false;
    for (char c : text) {
        if (!quoted && (c == ' ' || c == '\t')) {
            EndToken(token, tokens);
            continue;
        }
        if (IsQuote(c)) quoted = !quoted;
        token += c;
    }
    EndToken(token, tokens);
    return tokens;
}

ConsoleZipArgs CConsoleZip::Parse(const std::string& commandLine) {
    ConsoleZipArgs args;
    std::string lowered = commandLine;
    std::transform(lowered.begin(), lowered.end(), lowered.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c; });
    size_t zip = lowered.find("-zip");
    if (zip == std::string::npos) return args;
    size_t start = zip + 4;
    size_t del = lowered.find("-del", zip);
    if (del != std::string::npos) {
        args.deleteMode = true;
        start = del + 4;
    }
    std::vector<std::string> tokens = Tokenize(std::string_view(commandLine).substr(start));
    if (!tokens.empty()) args.archivePath = tokens[0];
    if (tokens.size() > 1) args.sourceFolder = FolderWithSlash(tokens[1]);
    for (size_t i = 2; i < tokens.size(); ++i)
        args.files.push_back(tokens[i]);
    return args;
}

void CConsoleZip::Collect(const std::string& folder, std::vector<std::string>& list,
                          const std::string& prefix, const std::string& skipPath) {
    std::string base = folder;
    if (!base.empty() && base.back() != '/') base += '/';
    struct stat skip {};
    bool haveSkip = !skipPath.empty() && ::stat(skipPath.c_str(), &skip) == 0;
    for (const std::string& name : SortedEntries(base)) {
        const std::string path = base + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            Collect(path, list, prefix + name + "/", skipPath);
            continue;
        }
        if (S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0) continue;
        if (!S_ISREG(st.st_mode)) continue;
        if (haveSkip && SameFile(st, skip)) continue;
        list.push_back(prefix + name);
    }
}

int CConsoleZip::Run(const std::string& commandLine, std::FILE* out) {
    ConsoleZipArgs args = Parse(commandLine);
    std::fprintf(out, "current cmd :%s\n\n", commandLine.c_str());
    if (args.files.empty()) Collect(args.sourceFolder, args.files, "", args.archivePath);

    CZipWriter zip;
    bool created = !args.archivePath.empty() && zip.Create(args.archivePath);
    const int total = static_cast<int>(args.files.size());
    // A listed file that is the archive itself is never packed: it would be
    // read while being written and, with -del, deleted afterwards.
    struct stat archive {};
    const bool haveArchive = created && ::stat(args.archivePath.c_str(), &archive) == 0;
    std::vector<std::string> packed;
    for (const std::string& entry : args.files) {
        std::fprintf(out, "Compressing %s(%d/%d)...\n", entry.c_str(),
                     static_cast<int>(packed.size()), total);
        const std::string path = args.sourceFolder + entry;
        struct stat st {};
        const bool isArchive =
            haveArchive && ::stat(path.c_str(), &st) == 0 && SameFile(st, archive);
        if (!isArchive && zip.AddFile(path, entry)) packed.push_back(path);
    }
    const int added = static_cast<int>(packed.size());
    std::fprintf(out, "complete:%d/%d...\n", added, total);
    std::fflush(out);
    bool closed = zip.Close();
    if (created && added == 0) ::unlink(args.archivePath.c_str());
    // The entries are only safe once the archive's directory is written, so
    // the packed files are deleted after a successful close.
    if (closed && args.deleteMode) {
        for (const std::string& path : packed)
            ::unlink(path.c_str());
    }
    return (closed && added > 0 && added == total) ? 0 : 1;
}

}  // namespace qelvor
