// The delimiters an HL7 v2 message declares in its MSH segment (MSH-1, the
// field separator; MSH-2, the encoding characters), and the escape sequences
// that stand for them inside text. Pure functions: any thread.
#pragma once

#include <string>
#include <string_view>

namespace qelvor::hl7 {

struct Hl7Encoding {
    char field = '|';
    char component = '^';
    char repetition = '~';
    char escape = '\\';
    char subcomponent = '&';

    // Reads the delimiters from a message's first bytes ("MSH|^~\&|..."):
    // MSH-2 holds four characters (a fifth, the truncation character of
    // later versions, is allowed and ignored). False, with why ("no MSH
    // segment at the start", "MSH-2 repeats the character ^"), when the
    // text does not start with MSH, or the characters are missing, repeated,
    // or letters, digits, CR or LF.
    static bool Read(std::string_view message, Hl7Encoding& encoding, std::string& why);
    // MSH-2 as written: component, repetition, escape, subcomponent.
    std::string Characters() const;
};

// The text with its escape sequences replaced: \F\ \S\ \T\ \R\ \E\ by the
// delimiters, \Xhh...\ by the bytes of its hex pairs, \.br\ by a line
// break (LF); \H\ and \N\ (highlighting) are dropped. A sequence the decoder
// does not know, or one that is never closed, stays as it was sent.
std::string Unescape(std::string_view text, const Hl7Encoding& encoding);
// The text with every delimiter written as its escape sequence, so that it
// can stand in a field; CR and LF, which would end the segment, as \X0D\ and
// \X0A\.
std::string Escape(std::string_view text, const Hl7Encoding& encoding);

}  // namespace qelvor::hl7
