// One ASTM E1394 record split into its fields, their repeats and their
// components, using the delimiters that the message's header record declares.
// Plain values and pure functions: any thread.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qelvor::astm {

// The four delimiters; a header record "H|\^&" declares these defaults.
struct AstmDelimiters {
    char field = '|';
    char repeat = '\\';
    char component = '^';
    char escape = '&';
};

class CAstmRecord {
  public:
    using Components = std::vector<std::string>;
    using Field = std::vector<Components>;  // one entry a repeat

    // The delimiters a header record declares: the four characters after its
    // 'H'. False, with why, when the record is no header or they are unusable
    // (missing, equal, a letter, a digit or a control character); delimiters
    // is then left as it was.
    static bool ReadDelimiters(std::string_view header, AstmDelimiters& delimiters,
                               std::string& why);
    // Splits a record; the components are unescaped. A header's delimiter
    // definition (field 2) is kept as it stands, unsplit.
    static CAstmRecord Split(std::string_view record, const AstmDelimiters& delimiters);
    // For the records of one message in order: a header first sets the
    // message's delimiters (why tells when it could not), then every record
    // is split with them.
    static CAstmRecord SplitInMessage(std::string_view record, AstmDelimiters& delimiters,
                                      std::string& why);
    // Replaces the escape sequences of the delimiters (&F& &S& &R& &E&) by
    // the characters; any other sequence (&H&, &X0D&, ...) stays as it is.
    static std::string Unescape(std::string_view text, const AstmDelimiters& delimiters);

    // The record type ('H', 'P', 'O', 'R', 'C', 'Q', 'L', 'M', 'S'): the first
    // character; 0 for an empty record.
    char Type() const { return type_; }
    // Fields are counted from 1 as the record layouts number them; field 1
    // is the record type. Beyond the last one a field is empty.
    size_t FieldCount() const { return fields_.size(); }
    const Field& FieldAt(size_t position) const;
    // One component's text; empty when it is not there.
    std::string Text(size_t position, size_t repeat = 0, size_t component = 0) const;

  private:
    char type_ = 0;
    std::vector<Field> fields_;
};

}  // namespace qelvor::astm
