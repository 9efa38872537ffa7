// The shared test helpers, and an archive read back with minizip's unzip.
#pragma once

#include <minizip/unzip.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/temp_folder.h"

namespace qelvor::testing_support {

inline bool Exists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::symlink_status(path));
}

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

// The entries in stored order, name and content; checks each is deflated and
// passes its CRC. Empty when the archive cannot be opened.
inline ZipEntries ReadZip(const std::string& path) {
    ZipEntries entries;
    unzFile zip = unzOpen64(path.c_str());
    if (zip == nullptr) return entries;
    for (int rc = unzGoToFirstFile(zip); rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[1024];
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) !=
                UNZ_OK ||
            unzOpenCurrentFile(zip) != UNZ_OK) {
            ADD_FAILURE() << "unreadable entry in " << path;
            break;
        }
        EXPECT_EQ(info.compression_method, 8u) << name << " is not deflated";
        std::string content;
        char buffer[8192];
        int n = 0;
        while ((n = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0)
            content.append(buffer, n);
        EXPECT_EQ(n, 0) << "reading " << name;
        EXPECT_EQ(unzCloseCurrentFile(zip), UNZ_OK) << "CRC of " << name;
        entries.emplace_back(name, std::move(content));
    }
    unzClose(zip);
    return entries;
}

}  // namespace qelvor::testing_support
