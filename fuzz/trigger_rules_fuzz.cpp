// Feeds arbitrary text to the trigger rules' reader: a text that reads is
// written back line by line into the same rules, every rule matches the text
// itself as a frame without trouble, and a refused text says where.
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include "rules/trigger_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::optional<qelvor::CTriggerRules> rules = qelvor::CTriggerRules::Parse(text, &error);
    if (!rules) {
        if (error.rfind("line ", 0) != 0) std::abort();
        return 0;
    }
    if (!error.empty() || rules->size() > qelvor::CTriggerRules::kMaxRules) std::abort();
    for (size_t i = 0; i < rules->size(); ++i) {
        const std::string line = (*rules)[i].ToLine();
        const std::optional<qelvor::CTriggerRule> again = qelvor::CTriggerRule::Parse(line, &error);
        if (!again || again->ToLine() != line) std::abort();
    }
    const std::tm now{};
    for (char type : {'R', 'A', 'B'})
        rules->Match(type, text, now);
    return 0;
}
