// The traffic list's highlight rules: up to eight patterns, each with a
// colour, kept in the settings set as "Highlight1" .. "Highlight8"; a record
// takes the colour of the first rule that matches it. Call on the thread that
// owns the traffic store and the settings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "traffic/record_matcher.h"

namespace qelvor {

class CComSetting;

class CHighlightRules {
  public:
    struct Rule {
        MatchMode mode = MatchMode::kText;
        std::string pattern;
        uint32_t rgb = 0;  // 0xRRGGBB
    };
    static constexpr size_t kMaxRules = 8;

    // "mode|#RRGGBB|pattern", mode "text", "regex" or "hex" (any case); the
    // pattern is the rest of the value and may hold '|' itself.
    static std::optional<Rule> ParseRule(std::string_view value, std::string* error);
    static std::string FormatRule(const Rule& rule);

    // The rules of the settings' eight keys, text and regular expressions
    // read in the style ShowDataFmt. An empty key is no rule; a bad value is
    // left out, and Problems() says which key and why.
    void Load(const CComSetting& settings);
    // Writes the rules into the keys in order (at most kMaxRules), emptying
    // the keys left over. Rules that do not parse are written all the same,
    // so that the user's text is not lost.
    static void Store(const std::vector<Rule>& rules, CComSetting& settings);

    // The colour of the first rule that matches the record.
    std::optional<uint32_t> ColorOf(const CMsgRecord& record) const;
    const std::vector<Rule>& Rules() const { return rules_; }
    const std::vector<std::string>& Problems() const { return problems_; }

  private:
    static std::optional<MatchMode> ParseMode(std::string_view name);
    static std::optional<uint32_t> ParseColor(std::string_view text);
    void AddKey(int n, const std::string& value, int showDataFmt);

    std::vector<Rule> rules_;
    std::vector<CRecordMatcher> matchers_;
    std::vector<std::string> problems_;
};

}  // namespace qelvor
