#include "app/command_line.h"

#include <algorithm>

namespace qelvor {

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiLower(x) == AsciiLower(y);
           });
}

bool NeedsQuotes(const std::string& arg) {
    return arg.find_first_of(" \t\"'") != std::string::npos;
}

std::string JoinFrom(const std::vector<std::string>& args, size_t first) {
    std::string out;
    for (size_t i = first; i < args.size(); ++i) {
        if (i > first) out += ' ';
        out += args[i];
    }
    return out;
}

}  // namespace

CCommandLine::CCommandLine(std::vector<std::string> args) : args_(std::move(args)) {
    for (const std::string& arg : args_) {
        if (!text_.empty()) text_ += ' ';
        text_ += NeedsQuotes(arg) ? '"' + arg + '"' : arg;
    }
}

CCommandLine CCommandLine::FromMain(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    return CCommandLine(std::move(args));
}

bool CCommandLine::IsInfoOption(std::string_view arg) {
    return arg == "--version" || arg == "--help";
}

std::string CCommandLine::InfoText(std::string_view arg, std::string_view version) {
    if (arg == "--version") return "qelvor " + std::string(version) + "\n";
    return "Usage: qelvor [FILE]                  the window, FILE loaded into the data list\n"
           "       qelvor -n NAME                 settings file NAME, configuration first\n"
           "       qelvor --session CAPTURE       a capture file shown read-only\n"
           "       qelvor -zip [-del] ARCHIVE FOLDER [FILE...]\n"
           "                                      pack files into a zip archive, no window\n"
           "       qelvor --version | --help\n"
           "The headless program is qelvor-cli; see qelvor(1) and qelvor-cli(1).\n";
}

size_t CCommandLine::IndexOf(std::string_view option, size_t from) const {
    for (size_t i = from; i < args_.size(); ++i) {
        if (EqualsNoCase(args_[i], option)) return i;
    }
    return std::string::npos;
}

std::optional<std::string> CCommandLine::IniName() const {
    const size_t index = IndexOf("-n");
    if (index == std::string::npos) return std::nullopt;
    return JoinFrom(args_, index + 1);
}

std::string CCommandLine::DataFilePath() const {
    return HasIniOption() || Has("--session") ? std::string() : JoinFrom(args_, 0);
}

std::string CCommandLine::SessionPath() const {
    const size_t index = IndexOf("--session");
    return index == std::string::npos ? std::string() : JoinFrom(args_, index + 1);
}

}  // namespace qelvor
