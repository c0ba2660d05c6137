#include "utf8.h"

#include <cstdint>

namespace {

constexpr char32_t REPLACEMENT = 0xFFFD;
// A byte that is not part of valid UTF-8 is held as a lone low surrogate, which no valid
// UTF-8 decodes to, so that it can be given back unchanged.
constexpr char32_t ESCAPED_BYTES = 0xDC00;

bool isSurrogate(char32_t c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

bool isEscapedByte(char32_t c) {
    return c >= ESCAPED_BYTES + 0x80 && c <= ESCAPED_BYTES + 0xFF;
}

void appendUtf8(std::string& out, char32_t c) {
    if (isEscapedByte(c)) {
        out += static_cast<char>(c - ESCAPED_BYTES);
        return;
    }
    if (c > 0x10FFFF || isSurrogate(c))
        c = REPLACEMENT;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendWide(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (c >> 10));
            out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(c);
}

// The code point of the well-formed sequence at `text[i]` and its length, or length 0
// when the bytes there are not one: a stray continuation byte, a cut sequence, an
// overlong form, an encoded surrogate or a value above U+10FFFF.
std::size_t decodeAt(const std::string& text, std::size_t i, char32_t& c) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t length;
    char32_t least;
    if (lead < 0x80) {
        c = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, least = 0x80, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, least = 0x800, c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, least = 0x10000, c = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - i < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<std::uint8_t>(text[i + k]);
        if ((next & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || isSurrogate(c))
        return 0;
    return length;
}

} // namespace

std::string toUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = static_cast<char32_t>(text[i]);
        // A surrogate pair, as a 16-bit wchar_t holds what lies past U+FFFF, whatever the
        // width of wchar_t here.
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
            const char32_t low = static_cast<char32_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        appendUtf8(out, c);
    }
    return out;
}

std::wstring fromUtf8(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = 0;
        const std::size_t length = decodeAt(text, i, c);
        if (length == 0) {
            appendWide(out, ESCAPED_BYTES + static_cast<std::uint8_t>(text[i]));
            ++i;
            continue;
        }
        appendWide(out, c);
        i += length;
    }
    return out;
}
