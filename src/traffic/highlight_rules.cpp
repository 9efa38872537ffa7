#include "traffic/highlight_rules.h"

#include <cstdio>

#include "config/com_setting.h"

namespace qelvor {

namespace {

constexpr char kSeparator = '|';
constexpr size_t kColorLength = 7;  // "#RRGGBB"

struct ModeName {
    MatchMode mode;
    const char* name;
};
constexpr ModeName kModeNames[] = {
    {MatchMode::kText, "text"}, {MatchMode::kRegex, "regex"}, {MatchMode::kHex, "hex"}};

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

int HexValue(char c) {
    c = Lower(c);
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::optional<MatchMode> CHighlightRules::ParseMode(std::string_view name) {
    for (const ModeName& entry : kModeNames)
        if (EqualNoCase(name, entry.name)) return entry.mode;
    return std::nullopt;
}

std::optional<uint32_t> CHighlightRules::ParseColor(std::string_view text) {
    if (text.size() != kColorLength || text.front() != '#') return std::nullopt;
    uint32_t rgb = 0;
    for (char c : text.substr(1)) {
        const int digit = HexValue(c);
        if (digit < 0) return std::nullopt;
        rgb = rgb << 4 | static_cast<uint32_t>(digit);
    }
    return rgb;
}

std::optional<CHighlightRules::Rule> CHighlightRules::ParseRule(std::string_view value,
                                                                std::string* error) {
    std::string ignored;
    std::string& why = error ? *error : ignored;
    const size_t first = value.find(kSeparator);
    const size_t second =
        first == std::string_view::npos ? first : value.find(kSeparator, first + 1);
    if (second == std::string_view::npos) {
        why = "a highlight rule is mode|#RRGGBB|pattern";
        return std::nullopt;
    }
    const auto mode = ParseMode(value.substr(0, first));
    if (!mode) {
        why = "the mode of a highlight rule is text, regex or hex";
        return std::nullopt;
    }
    const auto rgb = ParseColor(value.substr(first + 1, second - first - 1));
    if (!rgb) {
        why = "the colour of a highlight rule is #RRGGBB";
        return std::nullopt;
    }
    return Rule{*mode, std::string(value.substr(second + 1)), *rgb};
}

std::string CHighlightRules::FormatRule(const Rule& rule) {
    const char* name = kModeNames[0].name;
    for (const ModeName& entry : kModeNames)
        if (entry.mode == rule.mode) name = entry.name;
    char color[kColorLength + 1];
    std::snprintf(color, sizeof color, "#%06X", static_cast<unsigned>(rule.rgb & 0xFFFFFF));
    return std::string(name) + kSeparator + color + kSeparator + rule.pattern;
}

void CHighlightRules::AddKey(int n, const std::string& value, int showDataFmt) {
    if (value.empty()) return;
    std::string error;
    auto rule = ParseRule(value, &error);
    std::optional<CRecordMatcher> matcher;
    if (rule) matcher = CRecordMatcher::Create(rule->mode, rule->pattern, showDataFmt, &error);
    if (!matcher) {
        problems_.push_back("Highlight" + std::to_string(n) + ": " + error);
        return;
    }
    rules_.push_back(std::move(*rule));
    matchers_.push_back(std::move(*matcher));
}

void CHighlightRules::Load(const CComSetting& settings) {
    rules_.clear();
    matchers_.clear();
    problems_.clear();
    for (int n = 1; n <= CComSetting::kHighlightKeyCount; ++n)
        AddKey(n, settings.HighlightKey(n), settings.ShowDataFmt);
}

void CHighlightRules::Store(const std::vector<Rule>& rules, CComSetting& settings) {
    for (int n = 1; n <= CComSetting::kHighlightKeyCount; ++n) {
        const auto index = static_cast<size_t>(n - 1);
        settings.HighlightKey(n) = index < rules.size() ? FormatRule(rules[index]) : "";
    }
}

std::optional<uint32_t> CHighlightRules::ColorOf(const CMsgRecord& record) const {
    for (size_t i = 0; i < matchers_.size(); ++i)
        if (matchers_[i].Matches(record)) return rules_[i].rgb;
    return std::nullopt;
}

}  // namespace qelvor
