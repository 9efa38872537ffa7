// Helpers of the logging and start-up tests: a temporary folder per test,
// whole-file reads and writes, and an archive read back with minizip's unzip.
#pragma once

#include <minizip/unzip.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace qelvor::testing_support {

class TempFolder {
  public:
    TempFolder() {
        std::string pattern = ::testing::TempDir() + "qelvor_log_XXXXXX";
        char* made = ::mkdtemp(pattern.data());
        if (made != nullptr) path_ = std::string(made) + "/";
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder, ending in "/".
    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

inline bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteWhole(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The entries of an archive in their stored order, name and content; an
// empty list when the archive cannot be opened.
inline std::vector<std::pair<std::string, std::string>> ReadZip(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> entries;
    unzFile zip = unzOpen64(path.c_str());
    if (zip == nullptr) return entries;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[1024];
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
            UNZ_OK) {
            break;
        }
        EXPECT_EQ(info.compression_method, 8u) << name << " is not deflated";
        std::string content;
        if (unzOpenCurrentFile(zip) == UNZ_OK) {
            char buffer[8192];
            int n = 0;
            while ((n = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0) {
                content.append(buffer, static_cast<size_t>(n));
            }
            EXPECT_EQ(n, 0) << "reading " << name;
            EXPECT_EQ(unzCloseCurrentFile(zip), UNZ_OK) << "CRC of " << name;
        }
        entries.emplace_back(name, std::move(content));
    }
    unzClose(zip);
    return entries;
}

}  // namespace qelvor::testing_support
