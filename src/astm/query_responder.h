// Answers an instrument's query (an E1394 Q record) from the order table:
// the messages the host sends back, one per specimen asked for. Holds a
// reference to the table; call it from the thread that owns the table.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "astm/astm_record.h"
#include "astm/order_table.h"

namespace qelvor::astm {

struct AstmQueryAnswer {
    // One message per specimen, in the query's order, each its records:
    // H P O L|1|F for a specimen in the table, H L|1|I for one that is not.
    std::vector<std::vector<std::string>> messages;
    std::vector<std::string> known;    // the specimens answered with orders
    std::vector<std::string> unknown;  // those answered with "no information"
    size_t dropped = 0;                // ids past kMaxSpecimens, not answered

    // "query for 2 specimens: orders for S1 sent, no information for S2".
    std::string Summary() const;
};

class CQueryResponder {
  public:
    // A query naming more specimens is answered for the first this many.
    static constexpr size_t kMaxSpecimens = 100;

    explicit CQueryResponder(const COrderTable& table) : table_(table) {}

    // The specimen ids a query names: each repeat of its starting range
    // (field 3) holds one as its second component, or as its only one; a
    // repeat without an id is passed over.
    static std::vector<std::string> SpecimensOf(const CAstmRecord& query);
    // The answer to a query split with its message's delimiters. A query
    // that names no specimen gets one "no information" message.
    AstmQueryAnswer Answer(const CAstmRecord& query) const;

    // A value with the default delimiters escaped (&F& &R& &E&, and &S&
    // unless keepComponents) for a field of the answer.
    static std::string Escaped(std::string_view value, bool keepComponents = false);

  private:
    static std::vector<std::string> OrderMessage(const AstmOrder& order);
    static std::vector<std::string> NoInformation();

    const COrderTable& table_;
};

}  // namespace qelvor::astm
