// The console compression mode's reading of a command line: the tokenizer,
// the option search and the command line built from arguments (the input is
// split at 0x00 bytes into arguments).
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

void CheckTokens(std::string_view text) {
    size_t total = 0;
    for (const std::string& token : qelvor::CConsoleZip::Tokenize(text)) {
        if (token.empty() || IsTrimmed(token.front()) || IsTrimmed(token.back())) {
            __builtin_trap();
        }
        total += token.size();
    }
    if (total > text.size()) __builtin_trap();
}

void CheckArgs(const std::string& line) {
    qelvor::ConsoleZipArgs args = qelvor::CConsoleZip::Parse(line);
    if (!args.sourceFolder.empty() && args.sourceFolder.back() != '/') __builtin_trap();
    if (args.archivePath.empty() && (!args.sourceFolder.empty() || !args.files.empty())) {
        __builtin_trap();
    }
}

void CheckCommandLine(std::string_view text) {
    std::vector<std::string> arguments;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\0') {
            arguments.emplace_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    qelvor::CCommandLine line(arguments);
    if (auto name = line.IniName(); name && name->size() > text.size() + 2 * arguments.size()) {
        __builtin_trap();
    }
    size_t zip = line.Find("-zip");
    if (zip != std::string::npos && zip + 4 > line.Text().size()) __builtin_trap();
    CheckArgs(line.Text());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckTokens(text);
    CheckArgs(std::string(text));
    CheckCommandLine(text);
    return 0;
}
