#include "astm/query_responder.h"

#include <utility>

namespace qelvor::astm {

namespace {

// Fields joined with the default field delimiter; the first is the type.
std::string Record(std::initializer_list<std::string_view> fields) {
    std::string record;
    bool first = true;
    for (const std::string_view field : fields) {
        if (!std::exchange(first, false)) record += '|';
        record += field;
    }
    return record;
}

// The header of every answer: the default delimiters, this program as the
// sender, processing id P (production).
constexpr const char* kHeader = "H|\\^&|||Qelvor|||||||P";

std::string Listed(const std::vector<std::string>& ids) {
    std::string list;
    for (const std::string& id : ids)
        list += (list.empty() ? "" : ", ") + id;
    return list;
}

}  // namespace

std::string AstmQueryAnswer::Summary() const {
    const size_t asked = known.size() + unknown.size() + dropped;
    if (asked == 0) return "query names no specimen: no information sent";
    std::string text =
        "query for " + std::to_string(asked) + (asked == 1 ? " specimen: " : " specimens: ");
    if (!known.empty()) text += "orders for " + Listed(known) + " sent";
    if (!known.empty() && !unknown.empty()) text += ", ";
    if (!unknown.empty()) text += "no information for " + Listed(unknown);
    if (dropped != 0) text += "; " + std::to_string(dropped) + " more not answered";
    return text;
}

std::vector<std::string> CQueryResponder::SpecimensOf(const CAstmRecord& query) {
    std::vector<std::string> ids;
    for (const CAstmRecord::Components& range : query.FieldAt(3)) {
        std::string id = range.size() == 1 ? range[0] : range.size() > 1 ? range[1] : "";
        if (!id.empty()) ids.push_back(std::move(id));
    }
    return ids;
}

AstmQueryAnswer CQueryResponder::Answer(const CAstmRecord& query) const {
    AstmQueryAnswer answer;
    std::vector<std::string> ids = SpecimensOf(query);
    if (ids.size() > kMaxSpecimens) {
        answer.dropped = ids.size() - kMaxSpecimens;
        ids.resize(kMaxSpecimens);
    }
    for (std::string& id : ids) {
        if (const AstmOrder* order = table_.Find(id)) {
            answer.messages.push_back(OrderMessage(*order));
            answer.known.push_back(std::move(id));
        } else {
            answer.messages.push_back(NoInformation());
            answer.unknown.push_back(std::move(id));
        }
    }
    if (answer.messages.empty()) answer.messages.push_back(NoInformation());
    return answer;
}

std::string CQueryResponder::Escaped(std::string_view value, bool keepComponents) {
    std::string escaped;
    for (const char c : value) {
        if (c == '&')
            escaped += "&E&";
        else if (c == '|')
            escaped += "&F&";
        else if (c == '\\')
            escaped += "&R&";
        else if (c == '^' && !keepComponents)
            escaped += "&S&";
        else
            escaped += c;
    }
    return escaped;
}

std::vector<std::string> CQueryResponder::OrderMessage(const AstmOrder& order) {
    std::string tests;
    for (const std::string& code : order.tests)
        tests += (tests.empty() ? "^^^" : "\\^^^") + Escaped(code);
    const std::string patient =
        Record({"P", "1", Escaped(order.patientId), "", "", Escaped(order.patientName, true)});
    // Fields 7, 9 to 11 and 13 to 25 of the order are left empty.
    const std::string_view e;
    const std::string o = Record({"O",
                                  "1",
                                  Escaped(order.specimen),
                                  e,
                                  tests,
                                  Escaped(order.priority),
                                  e,
                                  Escaped(order.collected),
                                  e,
                                  e,
                                  e,
                                  Escaped(order.action),
                                  e,
                                  e,
                                  e,
                                  e,
                                  e,
                                  e,
                                  e,
                                  e,
                                  e,
                                  e,
                                  e,
                                  e,
                                  e,
                                  Escaped(order.reportType)});
    return {kHeader, patient, o, "L|1|F"};
}

std::vector<std::string> CQueryResponder::NoInformation() {
    return {kHeader, "L|1|I"};
}

}  // namespace qelvor::astm
