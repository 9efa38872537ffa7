#include "hl7/hl7_query_responder.h"

#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>

#include "astm/query_responder.h"
#include "hl7/hl7_ack.h"

namespace qelvor::hl7 {

namespace {

// Writes the segments of the answer with the query's delimiters.
class CSegmentWriter {
  public:
    explicit CSegmentWriter(const Hl7Encoding& encoding) : encoding_(encoding) {}

    // A segment of fields already written (escaped) for this message.
    void Add(std::string_view name, std::initializer_list<std::string_view> fields) {
        text_ += name;
        for (const std::string_view field : fields) {
            text_ += encoding_.field;
            text_ += field;
        }
        text_ += '\r';
    }
    // A value escaped as the text of one field or component.
    std::string Text(std::string_view value) const { return Escape(value, encoding_); }
    // A value whose '^' separate components: each escaped, joined by the
    // message's component delimiter.
    std::string Components(std::string_view value) const {
        std::string written;
        bool first = true;
        for (const std::string_view piece : SplitAt(value, '^')) {
            if (!std::exchange(first, false)) written += encoding_.component;
            written += Text(piece);
        }
        return written;
    }
    char Component() const { return encoding_.component; }
    std::string& Out() { return text_; }

  private:
    const Hl7Encoding& encoding_;
    std::string text_;
};

// MSH and MSA of the answer: the acknowledgement of the query, retyped.
std::string HeaderAndMsa(const CHl7Message& query, const std::string& controlId,
                         const std::string& time) {
    const std::string ack = BuildAck(query, {"AA", controlId, time, ""});
    std::string why;
    std::optional<CHl7Message> answer = CHl7Message::Parse(ack, why);
    if (!answer) return ack;  // cannot happen: the fields came from a parsed message
    // The structure's '_' may be the query's own field separator.
    const char c = query.Encoding().component;
    answer->SetHeaderField(
        9, std::string("RSP") + c + "K11" + c + Escape("RSP_K11", query.Encoding()));
    return answer->Text();
}

// ORC-1 for the table's action code: the ASTM codes mapped, an HL7 code of
// two letters kept.
std::string OrderControl(const std::string& action) {
    if (action == "C" || action == "X") return "CA";
    if (action.size() == 2 &&
        action.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos)
        return action;
    return "NW";
}

void AddOrders(const astm::AstmOrder& order, size_t number, CSegmentWriter& out) {
    const std::string n = std::to_string(number);
    const std::string specimen = out.Text(order.specimen);
    const std::string_view e;
    out.Add("PID", {n, e, out.Text(order.patientId), e, out.Components(order.patientName)});
    out.Add("SPM",
            {n, specimen, e, e, e, e, e, e, e, e, e, e, e, e, e, e, out.Text(order.collected)});
    const std::string control = OrderControl(order.action);
    const std::string priority = out.Text(order.priority);
    size_t test = 0;
    for (const std::string& code : order.tests) {
        const std::string written = out.Text(code);
        const std::string service = written + out.Component() + written + out.Component() + "L";
        out.Add("ORC", {control, specimen});
        out.Add("OBR", {std::to_string(++test), specimen, e, service, priority});
    }
}

}  // namespace

std::string Hl7QueryAnswer::Summary() const {
    astm::AstmQueryAnswer counts;
    counts.known = known;
    counts.unknown = unknown;
    counts.dropped = dropped;
    return counts.Summary();
}

bool CHl7QueryResponder::IsQuery(const CHl7Message& message) {
    return message.Value("MSH", 9, 1) == "QBP";
}

std::vector<std::string> CHl7QueryResponder::SpecimensOf(const CHl7Message& query) {
    std::vector<std::string> ids;
    const Hl7Segment* qpd = query.Find("QPD");
    if (qpd == nullptr) return ids;
    const Hl7Encoding& encoding = query.Encoding();
    for (const std::string_view repeat : SplitAt(qpd->Field(3), encoding.repetition)) {
        std::string id = Unescape(SplitAt(repeat, encoding.component)[0], encoding);
        if (!id.empty()) ids.push_back(std::move(id));
    }
    return ids;
}

Hl7QueryAnswer CHl7QueryResponder::Answer(const CHl7Message& query, const std::string& controlId,
                                          const std::string& time) const {
    Hl7QueryAnswer answer;
    std::vector<std::string> ids = SpecimensOf(query);
    if (ids.size() > kMaxSpecimens) {
        answer.dropped = ids.size() - kMaxSpecimens;
        ids.resize(kMaxSpecimens);
    }
    CSegmentWriter orders(query.Encoding());
    for (std::string& id : ids) {
        const astm::AstmOrder* order = table_.Find(id);
        if (order != nullptr) AddOrders(*order, answer.known.size() + 1, orders);
        (order != nullptr ? answer.known : answer.unknown).push_back(std::move(id));
    }
    const Hl7Segment* qpd = query.Find("QPD");
    CSegmentWriter head(query.Encoding());
    head.Out() = HeaderAndMsa(query, controlId, time);
    const std::string status = answer.known.empty() ? "NF" : "OK";
    head.Add("QAK", {qpd ? qpd->Field(2) : "", status, qpd ? qpd->Field(1) : ""});
    if (qpd != nullptr) {
        head.Out() += "QPD";
        for (size_t i = 1; i < qpd->fields.size(); ++i)
            head.Out() += query.Encoding().field + qpd->fields[i];
        head.Out() += '\r';
    }
    answer.message = std::move(head.Out()) + orders.Out();
    return answer;
}

}  // namespace qelvor::hl7
