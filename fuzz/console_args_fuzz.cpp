// The reading of the program's command line: options as whole arguments, the
// settings file of "-n", the data file and the console compression mode's
// names (the input is split at 0x00 bytes into arguments).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/console_zip.h"

namespace {

bool IsTrimmed(char c) {
    return c == ' ' || c == '"' || c == '\'';
}

bool IsCleanName(const std::string& name) {
    return !name.empty() && !IsTrimmed(name.front()) && !IsTrimmed(name.back());
}

std::vector<std::string> SplitAtNul(std::string_view text) {
    std::vector<std::string> arguments;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\0') {
            arguments.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return arguments;
}

void CheckZipArgs(const qelvor::CCommandLine& line) {
    qelvor::ConsoleZipArgs args;
    const bool ok = qelvor::CConsoleZip::Parse(line, args);
    if (ok != line.IsConsoleZip() && ok) __builtin_trap();
    if (!ok) return;
    if (!IsCleanName(args.archivePath) || args.sourceFolder.back() != '/') __builtin_trap();
    for (const std::string& file : args.files) {
        if (!IsCleanName(file)) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    const qelvor::CCommandLine line(SplitAtNul(text));
    if (auto name = line.IniName(); name && name->size() > text.size()) __builtin_trap();
    if (line.HasIniOption() && !line.DataFilePath().empty()) __builtin_trap();
    if (line.DataFilePath().size() > text.size()) __builtin_trap();
    CheckZipArgs(line);
    return 0;
}
