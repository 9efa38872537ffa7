// The orders the ASTM host answers an instrument's query with, read from a
// CSV table the user keeps: one row per specimen. Plain values: any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qelvor::astm {

// One specimen's order. Empty optional fields stay empty in the answer,
// except those with a default below.
struct AstmOrder {
    std::string specimen;
    std::vector<std::string> tests;  // test codes, in the table's order
    std::string priority = "R";      // S stat, A as soon as possible, R routine
    std::string patientId;
    std::string patientName;  // "Last^First": '^' separates the components
    std::string collected;    // collection time, YYYYMMDDHHMMSS
    std::string action;       // action code (N new, A add, Q control ...)
    std::string reportType = "O";
};

class COrderTable {
  public:
    // A larger file, or one with more rows, is refused whole.
    static constexpr size_t kMaxBytes = 16u << 20;
    static constexpr size_t kMaxRows = 100000;

    // Reads the file; false, with why (naming the file, and the line when
    // one is at fault), leaving the table as it was.
    bool Load(const std::string& path, std::string& why);
    // The same for the file's text; a line number in why counts from 1.
    bool Parse(std::string_view text, std::string& why);

    // The order of a specimen id, compared exactly; null when not listed.
    const AstmOrder* Find(std::string_view specimen) const;
    size_t Size() const { return orders_.size(); }

  private:
    std::vector<AstmOrder> orders_;
    std::unordered_map<std::string, size_t> index_;
};

}  // namespace qelvor::astm
