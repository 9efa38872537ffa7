#include "data/text_encoding.h"

#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <string>

namespace qelvor {

namespace {

// Wide text is UTF-16 little-endian, code page 1200.
constexpr int kWideCodePage = 1200;

// The iconv name of a code page number. The ANSI code page is the character
// set of the locale the program runs in, as it stands (the program sets the
// locale once at start).
std::string CharsetName(int codePage) {
    switch (codePage) {
        case CP_ACP:
            return nl_langinfo(CODESET);
        case CP_UTF8:
            return "UTF-8";
        case 1200:
            return "UTF-16LE";
        case 1201:
            return "UTF-16BE";
        case 20127:
            return "ASCII";
        case 28591:
            return "ISO-8859-1";
        default:
            return "CP" + std::to_string(codePage);
    }
}

// Closes the descriptor on every path out of Convert.
class IconvHandle {
  public:
    IconvHandle(const std::string& to, const std::string& from)
        : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~IconvHandle() {
        if (valid()) iconv_close(cd_);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

  private:
    iconv_t cd_;
};

// How one conversion treats what it cannot convert: the input unit it skips
// and what it writes in its place.
struct Replacement {
    size_t unit;
    std::string_view text;
};

// A byte sequence that does not convert is replaced, as a conversion with
// default flags does: by U+FFFD where the target can hold it, else by '?'.
Replacement ReplacementFor(int sourceCodePage, int targetCodePage) {
    const size_t unit = sourceCodePage == kWideCodePage ? 2 : 1;
    if (targetCodePage == kWideCodePage) return {unit, std::string_view("\xFD\xFF", 2)};
    if (targetCodePage == CP_UTF8) return {unit, "\xEF\xBF\xBD"};
    return {unit, "?"};
}

void Append(std::string& out, size_t& used, std::string_view text) {
    if (out.size() < used + text.size()) out.resize((used + text.size()) * 2);
    out.replace(used, text.size(), text);
    used += text.size();
}

// Runs iconv over the whole input, growing the output whenever it is full
// and replacing every sequence that does not convert; a sequence cut off at
// the end is replaced once.
void RunIconv(iconv_t cd, std::string_view input, const Replacement& replacement, std::string& out,
              size_t& used) {
    // iconv takes a non-const input pointer but never writes through it.
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    while (inLeft > 0) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        const size_t result = iconv(cd, &in, &inLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (result != static_cast<size_t>(-1)) break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        Append(out, used, replacement.text);
        const size_t skip = errno == EILSEQ ? std::min(replacement.unit, inLeft) : inLeft;
        in += skip;
        inLeft -= skip;
    }
}

// Empty with the reason in failure when the conversion is not available.
std::string Convert(int sourceCodePage, int targetCodePage, std::string_view input,
                    std::string* failure) {
    const std::string from = CharsetName(sourceCodePage), to = CharsetName(targetCodePage);
    IconvHandle handle(to, from);
    if (!handle.valid()) {
        if (failure != nullptr) {
            *failure = "cannot convert from " + from + " to " + to;
        }
        return {};
    }
    std::string output(input.size() * 2 + 16, '\0');
    size_t used = 0;
    RunIconv(handle.get(), input, ReplacementFor(sourceCodePage, targetCodePage), output, used);
    // The final call writes whatever a stateful target still owes.
    for (;;) {
        char* dst = output.data() + used;
        size_t dstLeft = output.size() - used;
        const size_t result = iconv(handle.get(), nullptr, nullptr, &dst, &dstLeft);
        used = output.size() - dstLeft;
        if (result != static_cast<size_t>(-1) || errno != E2BIG) break;
        output.resize(output.size() * 2);
    }
    output.resize(used);
    return output;
}

}  // namespace

std::u16string ToWideText(std::string_view bytes, int codePage, std::string* failure) {
    const std::string units = Convert(codePage, kWideCodePage, bytes, failure);
    std::u16string text(units.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto low = static_cast<unsigned char>(units[2 * i]);
        const auto high = static_cast<unsigned char>(units[2 * i + 1]);
        text[i] = static_cast<char16_t>(low | (high << 8));
    }
    return text;
}

std::string FromWideText(std::u16string_view text, int codePage, std::string* failure) {
    std::string units(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        units[2 * i] = static_cast<char>(text[i] & 0xFF);
        units[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return Convert(kWideCodePage, codePage, units, failure);
}

std::string ConvertCodePage(std::string_view bytes, int sourceCodePage, int targetCodePage,
                            std::string* failure) {
    const std::u16string wide = ToWideText(bytes, sourceCodePage, failure);
    if (wide.empty()) return {};
    return FromWideText(wide, targetCodePage, failure);
}

std::string DecodeUtf8ToAnsi(std::string_view bytes) {
    return ConvertCodePage(bytes, CP_UTF8, CP_ACP);
}

namespace {

bool StartsWith(const unsigned char* head, std::initializer_list<unsigned char> mark) {
    size_t i = 0;
    for (unsigned char b : mark) {
        if (head[i++] != b) return false;
    }
    return true;
}

}  // namespace

int DetectTextEncoding(std::string_view firstBytes) {
    unsigned char h[4] = {0, 0, 0, 0};
    if (!firstBytes.empty()) {
        std::memcpy(h, firstBytes.data(), std::min<size_t>(firstBytes.size(), 4));
    }
    // UTF-32 BE, UTF-32 LE (before UTF-16 LE, whose mark it begins with),
    // GB18030, UTF-EBCDIC.
    if (StartsWith(h, {0x00, 0x00, 0xFE, 0xFF}) || StartsWith(h, {0xFF, 0xFE, 0x00, 0x00}) ||
        StartsWith(h, {0x84, 0x31, 0x95, 0x33}) || StartsWith(h, {0xDD, 0x73, 0x66, 0x73})) {
        return 4;
    }
    // UTF-7: "+/v" and one of four characters.
    if (StartsWith(h, {'+', '/', 'v'}) &&
        (h[3] == '8' || h[3] == '9' || h[3] == '+' || h[3] == '/')) {
        return 4;
    }
    // UTF-8, UTF-1, BOCU-1, SCSU.
    if (StartsWith(h, {0xEF, 0xBB, 0xBF}) || StartsWith(h, {0xF7, 0x64, 0x4C}) ||
        StartsWith(h, {0xFB, 0xEE, 0x28}) || StartsWith(h, {0x0E, 0xFE, 0xFF})) {
        return 3;
    }
    // UTF-16 BE and LE.
    if (StartsWith(h, {0xFE, 0xFF}) || StartsWith(h, {0xFF, 0xFE})) return 2;
    return 0;
}

}  // namespace qelvor
