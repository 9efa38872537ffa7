#include "app/command_line.h"

#include <algorithm>

namespace qelvor {

namespace {

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), AsciiLower);
    return out;
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
        if (!argStarts_.empty()) text_ += ' ';
        argStarts_.push_back(text_.size());
        if (NeedsQuotes(arg)) {
            text_ += '"' + arg + '"';
        } else {
            text_ += arg;
        }
    }
    // ASCII lowering keeps every position, so a match in the lowered copy
    // points at the same place in the original text.
    lowered_ = Lowered(text_);
}

CCommandLine CCommandLine::FromMain(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i] != nullptr ? argv[i] : "");
    return CCommandLine(std::move(args));
}

size_t CCommandLine::Find(std::string_view option, size_t from) const {
    if (from > lowered_.size()) return std::string::npos;
    return lowered_.find(Lowered(option), from);
}

std::optional<std::string> CCommandLine::IniName() const {
    size_t pos = Find("-n ");
    if (pos == std::string::npos) return std::nullopt;
    size_t start = pos + 3;
    auto it = std::find(argStarts_.begin(), argStarts_.end(), start);
    if (it != argStarts_.end()) {
        return JoinFrom(args_, static_cast<size_t>(it - argStarts_.begin()));
    }
    return text_.substr(start);
}

std::string CCommandLine::DataFilePath() const {
    return JoinFrom(args_, 0);
}

}  // namespace qelvor
