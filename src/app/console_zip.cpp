#include "app/console_zip.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
#include <csignal>
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

// A packed file: its entry name, its path and what it was when packed.
struct PackedSource {
    std::string entry;
    std::string path;
    PackedFile file;
};

// The temporary archive for the signal handler: the name is written before
// the flag is set, and the flag cleared before the handlers are restored.
char g_tempPath[PATH_MAX];
volatile std::sig_atomic_t g_haveTemp = 0;

extern "C" void RemoveTemporaryAndEnd(int number) {
    if (g_haveTemp != 0) ::unlink(g_tempPath);
    // The handler was reset on entry: the signal, raised again, ends the run
    // as it would have without one once this returns.
    ::raise(number);
}

// While it lives, an interrupt, a termination or a hang-up removes the
// temporary archive before the run ends; a kill -9 cannot, but the earlier
// archive is safe either way. A signal the caller ignores (nohup) stays so.
class TemporaryRemovalOnSignal {
  public:
    TemporaryRemovalOnSignal() {
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryAndEnd;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < kSignals.size(); ++i) {
            installed_[i] = ::sigaction(kSignals[i], nullptr, &previous_[i]) == 0 &&
                            previous_[i].sa_handler != SIG_IGN &&
                            ::sigaction(kSignals[i], &action, nullptr) == 0;
        }
    }
    ~TemporaryRemovalOnSignal() {
        g_haveTemp = 0;
        for (size_t i = 0; i < kSignals.size(); ++i)
            if (installed_[i]) ::sigaction(kSignals[i], &previous_[i], nullptr);
    }
    TemporaryRemovalOnSignal(const TemporaryRemovalOnSignal&) = delete;
    TemporaryRemovalOnSignal& operator=(const TemporaryRemovalOnSignal&) = delete;

    void Watch(const std::string& tempPath) {
        if (tempPath.empty() || tempPath.size() >= sizeof g_tempPath) return;
        std::memcpy(g_tempPath, tempPath.c_str(), tempPath.size() + 1);
        g_haveTemp = 1;
    }

  private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> previous_{};
    std::array<bool, 3> installed_{};
};

// Packs every listed file, printing each before it is packed. A listed file
// that is the archive itself (the earlier one or the one being written) is
// never packed: it would be read while written and, with -del, deleted.
std::vector<PackedSource> PackAll(const ConsoleZipArgs& args, CZipWriter& zip, std::FILE* out) {
    struct stat target {};
    struct stat temp {};
    const bool haveTarget = zip.IsOpen() && ::stat(args.archivePath.c_str(), &target) == 0;
    const bool haveTemp = zip.IsOpen() && ::stat(zip.TempPath().c_str(), &temp) == 0;
    const int total = static_cast<int>(args.files.size());
    std::vector<PackedSource> packed;
    for (const std::string& entry : args.files) {
        std::fprintf(out, "Compressing %s(%d/%d)...\n", entry.c_str(),
                     static_cast<int>(packed.size()), total);
        std::fflush(out);
        PackedSource source{entry, args.sourceFolder + entry, {}};
        struct stat st {};
        const bool isArchive =
            ::stat(source.path.c_str(), &st) == 0 &&
            ((haveTarget && SameFile(st, target)) || (haveTemp && SameFile(st, temp)));
        if (!isArchive && zip.AddFile(source.path, entry, &source.file))
            packed.push_back(std::move(source));
    }
    return packed;
}

// Puts the archive in place; an archive of nothing is dropped, so that an
// earlier one of that name stays as it was.
bool CloseArchive(CZipWriter& zip, const std::string& archivePath, bool nothingPacked,
                  std::FILE* err) {
    if (nothingPacked) {
        zip.Abandon();
        return false;
    }
    if (zip.Close()) return true;
    std::fprintf(err, "qelvor: cannot write the archive %s: %s\n", archivePath.c_str(),
                 zip.Error().c_str());
    return false;
}

// Deletes each packed file that is still what went into the closed archive;
// one written to, replaced or touched since is kept and named. True when
// every one was deleted.
bool DeleteUnchanged(const std::vector<PackedSource>& packed, std::FILE* out) {
    bool all = true;
    for (const PackedSource& source : packed) {
        if (source.file.UnchangedAt(source.path)) {
            ::unlink(source.path.c_str());
            continue;
        }
        std::fprintf(out, "kept, changed while packing: %s\n", source.entry.c_str());
        std::fflush(out);
        all = false;
    }
    return all;
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

int CConsoleZip::Run(const CCommandLine& commandLine, std::FILE* out, std::FILE* err,
                     const std::function<void()>& beforeDeleting) {
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
    const int total = static_cast<int>(args.files.size());
    std::vector<PackedSource> packed;
    bool closed = false;
    {
        TemporaryRemovalOnSignal removal;
        const bool created = zip.Create(args.archivePath);
        if (!created) {
            std::fprintf(err, "qelvor: cannot create the archive %s: %s\n",
                         args.archivePath.c_str(), zip.Error().c_str());
        }
        removal.Watch(zip.TempPath());
        packed = PackAll(args, zip, out);
        closed = created && CloseArchive(zip, args.archivePath, packed.empty(), err);
    }
    const int added = closed ? static_cast<int>(packed.size()) : 0;
    std::fprintf(out, "complete:%d/%d...\n", added, total);
    std::fflush(out);
    bool allDeleted = true;
    if (closed && args.deleteMode) {
        if (beforeDeleting) beforeDeleting();
        allDeleted = DeleteUnchanged(packed, out);
    }
    return (closed && added == total && allDeleted) ? 0 : 1;
}

}  // namespace qelvor
