#include "app/console_zip.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

#include "app/command_line.h"
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

bool CConsoleZip::Parse(const CCommandLine& commandLine, ConsoleZipArgs& args) {
    size_t start = commandLine.IndexOf("-zip");
    if (start == std::string::npos) return false;
    const size_t del = commandLine.IndexOf("-del", start);
    args.deleteMode = del != std::string::npos;
    if (args.deleteMode) start = del;
    std::vector<std::string> names;
    const std::vector<std::string>& all = commandLine.Args();
    for (size_t i = start + 1; i < all.size(); ++i) {
        std::string name = StripToken(all[i]);
        if (!name.empty()) names.push_back(std::move(name));
    }
    if (names.size() < 2) return false;
    args.archivePath = names[0];
    args.sourceFolder = FolderWithSlash(names[1]);
    args.files.assign(names.begin() + 2, names.end());
    return true;
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

int CConsoleZip::Run(const CCommandLine& commandLine, std::FILE* out, std::FILE* err) {
    ConsoleZipArgs args;
    if (!Parse(commandLine, args)) {
        // Without both names nothing is packed, and above all nothing is
        // deleted: a folder left out must not become the current one.
        std::fputs(
            "qelvor: -zip needs an archive and a folder: "
            "qelvor -zip [-del] ARCHIVE FOLDER [FILE...]\n",
            err);
        return kExitUsage;
    }
    // Each line is flushed as it is written, so a run that is killed still
    // shows how far it came, also through a pipe.
    std::fprintf(out, "current cmd :%s\n\n", commandLine.Text().c_str());
    std::fflush(out);
    if (args.files.empty()) Collect(args.sourceFolder, args.files, "", args.archivePath);

    CZipWriter zip;
    const bool created = zip.Create(args.archivePath);
    if (!created) {
        std::fprintf(err, "qelvor: cannot create the archive %s: %s\n", args.archivePath.c_str(),
                     std::strerror(errno));
    }
    const int total = static_cast<int>(args.files.size());
    // A listed file that is the archive itself is never packed: it would be
    // read while being written and, with -del, deleted afterwards.
    struct stat archive {};
    const bool haveArchive = created && ::stat(args.archivePath.c_str(), &archive) == 0;
    std::vector<std::string> packed;
    for (const std::string& entry : args.files) {
        std::fprintf(out, "Compressing %s(%d/%d)...\n", entry.c_str(),
                     static_cast<int>(packed.size()), total);
        std::fflush(out);
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
