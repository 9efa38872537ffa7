// Answers an HL7 query for work orders (a QBP message naming specimens in
// QPD-3) from the order table with one RSP^K11 message. Holds a reference to
// the table; call it from the thread that owns the table.
//
// The answer's layout, after the order query of laboratory automation:
//   MSH  the query's delimiters, applications and facilities swapped, the
//        given time and control id, RSP^K11^RSP_K11, the query's MSH-11 and
//        MSH-12 (P and 2.5.1 when it gave none)
//   MSA  AA and the query's control id
//   QAK  QPD-2 (the query tag), OK when a specimen is known, NF when none
//        is, QPD-1 (the query's name)
//   QPD  the query's, as it came
//   and for each known specimen, in the query's order:
//   PID  PID-1 its number, PID-3 the patient id, PID-5 the patient name
//   SPM  SPM-1 its number, SPM-2 the specimen id, SPM-17 the collection time
//   and for each test code of the specimen, one order:
//   ORC  ORC-1 NW (CA for the table's action C or X, a two-letter action as
//        it stands), ORC-2 the specimen id
//   OBR  OBR-1 the order's number within the specimen, OBR-2 the specimen
//        id, OBR-4 CODE^CODE^L (a local code), OBR-5 the priority
// Unknown specimens get no segments of their own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "astm/order_table.h"
#include "hl7/hl7_message.h"

namespace qelvor::hl7 {

struct Hl7QueryAnswer {
    std::string message;               // the RSP, segments ended by CR
    std::vector<std::string> known;    // the specimens answered with orders
    std::vector<std::string> unknown;  // the specimens the table does not list
    size_t dropped = 0;                // ids past kMaxSpecimens, not answered

    // "query for 2 specimens: orders for S1 sent, no information for S2",
    // worded as the ASTM host's.
    std::string Summary() const;
};

class CHl7QueryResponder {
  public:
    // A query naming more specimens is answered for the first this many.
    static constexpr size_t kMaxSpecimens = 100;

    explicit CHl7QueryResponder(const astm::COrderTable& table) : table_(table) {}

    // Whether a message is a query this answers: MSH-9 starts with QBP.
    static bool IsQuery(const CHl7Message& message);
    // The specimen ids of QPD-3, escapes decoded: the first component of
    // each repetition; a repetition without one is passed over.
    static std::vector<std::string> SpecimensOf(const CHl7Message& query);

    // The RSP to a query, with its own control id and time (MSH-10, MSH-7).
    Hl7QueryAnswer Answer(const CHl7Message& query, const std::string& controlId,
                          const std::string& time) const;

  private:
    const astm::COrderTable& table_;
};

}  // namespace qelvor::hl7
