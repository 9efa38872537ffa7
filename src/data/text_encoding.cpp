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

constexpr const char* kWideCharset = "UTF-16LE";

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

// Runs one iconv call, growing the output whenever it is full. An invalid or
// incomplete input sequence fails the whole conversion, as a conversion with
// no default character does.
bool RunIconv(iconv_t cd, char** in, size_t* inLeft, std::string& out, size_t& used) {
    for (;;) {
        char* dst = out.data() + used;
        size_t dstLeft = out.size() - used;
        const size_t result = iconv(cd, in, inLeft, &dst, &dstLeft);
        used = out.size() - dstLeft;
        if (result != static_cast<size_t>(-1)) return true;
        if (errno != E2BIG) return false;
        out.resize(out.size() * 2 + 16);
    }
}

bool Convert(const std::string& from, const std::string& to, std::string_view input,
             std::string& output) {
    output.clear();
    IconvHandle handle(to, from);
    if (!handle.valid()) return false;
    output.resize(input.size() * 2 + 16);
    size_t used = 0;
    // iconv takes a non-const input pointer but never writes through it.
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    const bool ok = RunIconv(handle.get(), &in, &inLeft, output, used) &&
                    RunIconv(handle.get(), nullptr, nullptr, output, used);
    output.resize(ok ? used : 0);
    return ok;
}

}  // namespace

std::u16string ToWideText(std::string_view bytes, int codePage) {
    std::string units;
    if (!Convert(CharsetName(codePage), kWideCharset, bytes, units)) return {};
    std::u16string text(units.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        const auto low = static_cast<unsigned char>(units[2 * i]);
        const auto high = static_cast<unsigned char>(units[2 * i + 1]);
        text[i] = static_cast<char16_t>(low | (high << 8));
    }
    return text;
}

std::string FromWideText(std::u16string_view text, int codePage) {
    std::string units(text.size() * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        units[2 * i] = static_cast<char>(text[i] & 0xFF);
        units[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    std::string bytes;
    if (!Convert(kWideCharset, CharsetName(codePage), units, bytes)) return {};
    return bytes;
}

std::string ConvertCodePage(std::string_view bytes, int sourceCodePage, int targetCodePage) {
    const std::u16string wide = ToWideText(bytes, sourceCodePage);
    if (wide.empty()) return {};
    return FromWideText(wide, targetCodePage);
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
