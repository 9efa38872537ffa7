// An order table from any file and a query record from any instrument: the
// table is read or refused whole, and a query is answered with one message
// a specimen, within the responder's bounds, each ending with its L record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "astm/order_table.h"
#include "astm/query_responder.h"

using namespace qelvor::astm;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input is the table's text, then after the first NUL the query.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t split = input.find('\0');
    const std::string_view text = input.substr(0, split);
    const std::string_view query =
        split == std::string_view::npos ? "Q|1|S1" : input.substr(split + 1);
    COrderTable table;
    std::string why;
    if (!table.Parse(text, why) && (why.empty() || table.Size() != 0)) std::abort();
    if (table.Size() > COrderTable::kMaxRows) std::abort();
    const AstmQueryAnswer answer =
        CQueryResponder(table).Answer(CAstmRecord::Split(query, AstmDelimiters{}));
    if (answer.messages.size() > CQueryResponder::kMaxSpecimens + 1) std::abort();
    for (const auto& message : answer.messages) {
        if (message.size() < 2 || message.front().rfind("H", 0) != 0 ||
            message.back().rfind("L", 0) != 0)
            std::abort();
    }
    return 0;
}
