#include "rules/trigger_rule.h"

#include <re2/re2.h>

#include <algorithm>
#include <array>
#include <charconv>

#include "data/display_format.h"

namespace qelvor {

namespace {

constexpr std::array<std::string_view, 4> kKindNames = {"text", "regex", "hex", "timer"};
constexpr std::array<std::string_view, 4> kFieldNames = {"kind", "direction", "pattern", "answer"};
constexpr size_t kMaxGroups = 9;

std::vector<std::string_view> SplitTabs(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t tab = line.find('\t'); tab != std::string_view::npos;
         tab = line.find('\t', start)) {
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
    fields.push_back(line.substr(start));
    return fields;
}

std::string FieldError(size_t index, std::string_view name, std::string_view what) {
    return "field " + std::to_string(index + 1) + " (" + std::string(name) +
           "): " + std::string(what);
}

// A whole decimal number within [low, high].
bool ParseNumber(std::string_view text, int low, int high, int& value) {
    int parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
    if (parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

std::string Stamp(const std::tm& now, const char* format) {
    char text[16] = {};
    const size_t length = std::strftime(text, sizeof text, format, &now);
    return std::string(text, length);
}

bool StartsWith(std::string_view text, size_t pos, std::string_view word) {
    return text.substr(pos, word.size()) == word;
}

}  // namespace

std::optional<CTriggerRule> CTriggerRule::Parse(std::string_view line, std::string* error) {
    std::string ignored;
    std::string& why = error != nullptr ? *error : ignored;
    why.clear();
    const std::vector<std::string_view> fields = SplitTabs(line);
    if (fields.size() < kFieldNames.size()) {
        why = FieldError(fields.size(), kFieldNames[fields.size()],
                         "missing; fields are separated by tabs");
        return std::nullopt;
    }
    CTriggerRule rule;
    const auto kind = std::find(kKindNames.begin(), kKindNames.end(), fields[0]);
    if (kind == kKindNames.end()) {
        why = FieldError(0, kFieldNames[0],
                         "'" + std::string(fields[0]) + "' is not text, regex, hex or timer");
        return std::nullopt;
    }
    rule.kind_ = static_cast<Kind>(kind - kKindNames.begin());
    if (fields[1] != "R" && fields[1] != "A" && fields[1] != "B") {
        why = FieldError(1, kFieldNames[1], "'" + std::string(fields[1]) + "' is not R, A or B");
        return std::nullopt;
    }
    rule.direction_ = fields[1][0];
    std::string problem;
    if (!rule.ParsePattern(fields[2], &problem)) {
        why = FieldError(2, rule.kind_ == Kind::kTimer ? "period" : kFieldNames[2], problem);
        return std::nullopt;
    }
    rule.answer_ = std::string(fields[3]);
    if (rule.kind_ == Kind::kTimer && rule.answer_.empty()) {
        why = FieldError(3, kFieldNames[3], "a timer needs something to send");
        return std::nullopt;
    }
    for (size_t i = kFieldNames.size(); i < fields.size(); ++i) {
        if (rule.ParseOption(fields[i], &problem)) continue;
        why = FieldError(i, "option", problem);
        return std::nullopt;
    }
    return rule;
}

bool CTriggerRule::ParsePattern(std::string_view pattern, std::string* error) {
    pattern_ = std::string(pattern);
    switch (kind_) {
        case Kind::kTimer:
            if (ParseNumber(pattern, kMinPeriodMs, kMaxPeriodMs, periodMs_)) return true;
            *error = "'" + pattern_ + "' is not a period of " + std::to_string(kMinPeriodMs) +
                     " to " + std::to_string(kMaxPeriodMs) + " ms";
            return false;
        case Kind::kRegex: {
            // Frames are bytes: the expression is read byte for byte, so
            // that \x02 finds an STX and '.' any one byte.
            RE2::Options options;
            options.set_log_errors(false);
            options.set_encoding(RE2::Options::EncodingLatin1);
            auto regex = std::make_shared<const RE2>(re2::StringPiece(pattern_), options);
            if (!regex->ok()) {
                *error = "bad regular expression: " + regex->error();
                return false;
            }
            if (pattern_.empty()) {
                *error = "the pattern is empty";
                return false;
            }
            regex_ = std::move(regex);
            return true;
        }
        case Kind::kText:
            // Text is found in the frame as the traffic list shows it, control
            // bytes by their names: "<ENQ>" finds the byte 0x05.
            matcher_ = CRecordMatcher::Create(MatchMode::kText, pattern, kStyleFmt, error);
            return matcher_.has_value();
        case Kind::kHex:
            matcher_ = CRecordMatcher::Create(MatchMode::kHex, pattern, kStyleFmt, error);
            return matcher_.has_value();
    }
    return false;
}

bool CTriggerRule::ParseOption(std::string_view option, std::string* error) {
    const std::string text(option);
    if (text == "once" || text == "off") {
        if (text == "off") enabled_ = false;
        if (text == "once") limit_ = Limit::kOnce, times_ = remaining_ = 1;
        return true;
    }
    if (StartsWith(text, 0, "delay=")) {
        if (kind_ == Kind::kTimer) {
            *error = "delay= is for frame rules; a timer has its period";
            return false;
        }
        if (ParseNumber(option.substr(6), 0, kMaxDelayMs, delayMs_)) return true;
        *error = "'" + text + "': the delay is 0 to " + std::to_string(kMaxDelayMs) + " ms";
        return false;
    }
    if (StartsWith(text, 0, "times=")) {
        limit_ = Limit::kTimes;
        if (ParseNumber(option.substr(6), 1, kMaxTimes, times_)) {
            remaining_ = times_;
            return true;
        }
        *error = "'" + text + "': times is 1 to " + std::to_string(kMaxTimes);
        return false;
    }
    *error = "'" + text + "' is not delay=MS, once, times=N or off";
    return false;
}

std::string CTriggerRule::ToLine() const {
    std::string line(kKindNames[static_cast<size_t>(kind_)]);
    line += '\t';
    line += direction_;
    line += '\t' + pattern_ + '\t' + answer_;
    if (delayMs_ > 0) line += "\tdelay=" + std::to_string(delayMs_);
    if (limit_ == Limit::kOnce) line += "\tonce";
    if (limit_ == Limit::kTimes) line += "\ttimes=" + std::to_string(times_);
    if (!enabled_) line += "\toff";
    return line;
}

bool CTriggerRule::Matches(char type, std::string_view bytes, Groups* groups) const {
    if (kind_ == Kind::kTimer || type != direction_) return false;
    if (groups != nullptr) groups->clear();
    if (kind_ != Kind::kRegex) return matcher_->Matches(type, bytes);
    const size_t count =
        std::min(kMaxGroups, static_cast<size_t>(regex_->NumberOfCapturingGroups()));
    std::array<re2::StringPiece, kMaxGroups + 1> found;
    const re2::StringPiece text(bytes.data(), bytes.size());
    if (!regex_->Match(text, 0, text.size(), RE2::UNANCHORED, found.data(),
                       static_cast<int>(count + 1)))
        return false;
    if (groups == nullptr) return true;
    for (size_t i = 1; i <= count; ++i)
        groups->emplace_back(found[i].data() != nullptr ? std::string(found[i]) : std::string());
    return true;
}

std::string CTriggerRule::FillAnswer(const Groups& groups, const std::tm& now,
                                     int& sequence) const {
    std::string out;
    std::string seq;
    for (size_t i = 0; i < answer_.size();) {
        const char next = i + 1 < answer_.size() ? answer_[i + 1] : '\0';
        if (answer_[i] == '$' && (next == '$' || (next >= '1' && next <= '9'))) {
            const size_t group = static_cast<size_t>(next - '1');
            if (next == '$') out += '$';
            if (next != '$' && group < groups.size()) out += groups[group];
            i += 2;
        } else if (StartsWith(answer_, i, "{DATE}")) {
            out += Stamp(now, "%Y%m%d");
            i += 6;
        } else if (StartsWith(answer_, i, "{TIME}")) {
            out += Stamp(now, "%H%M%S");
            i += 6;
        } else if (StartsWith(answer_, i, "{SEQ}")) {
            // One number an answer: every {SEQ} of it gets the same value.
            if (seq.empty()) seq = std::to_string(++sequence);
            out += seq;
            i += 5;
        } else {
            out += answer_[i++];
        }
    }
    return out;
}

void CTriggerRule::CountFiring() {
    if (limit_ == Limit::kAlways) return;
    if (--remaining_ <= 0) enabled_ = false;
}

}  // namespace qelvor
