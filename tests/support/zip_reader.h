// An archive read back with minizip's unzip, for the tests of everything that
// writes one, and checked by the unzip program when it is installed.
#pragma once

#include <minizip/unzip.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace qelvor::testing_support {

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

// The entries in stored order, name and content; each must be deflated and pass its CRC.
inline ZipEntries ReadZip(const std::string& path) {
    ZipEntries entries;
    unzFile zip = unzOpen64(path.c_str());
    for (int rc = zip ? unzGoToFirstFile(zip) : UNZ_EOF; rc == UNZ_OK; rc = unzGoToNextFile(zip)) {
        char name[1024], buffer[8192];
        unz_file_info64 info{};
        EXPECT_EQ(unzGetCurrentFileInfo64(zip, &info, name, sizeof name, nullptr, 0, nullptr, 0) |
                      unzOpenCurrentFile(zip),
                  UNZ_OK);
        EXPECT_EQ(info.compression_method, 8u) << name << " is not deflated";
        std::string content;
        int n = 0;
        while ((n = unzReadCurrentFile(zip, buffer, sizeof buffer)) > 0)
            content.append(buffer, n);
        EXPECT_EQ(n | unzCloseCurrentFile(zip), UNZ_OK) << "reading or CRC of " << name;
        entries.emplace_back(name, std::move(content));
    }
    if (zip) unzClose(zip);
    return entries;
}

// The exit status of "unzip -t" on the archive (0: every entry tested good),
// or -1 when the unzip program is not installed. The path holds no quote.
inline int UnzipTest(const std::string& path) {
    if (std::system("command -v unzip >/dev/null 2>&1") != 0) return -1;
    const int status = std::system(("unzip -tqq '" + path + "' >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

}  // namespace qelvor::testing_support
