#include "texts/utf.h"

#include <cstdint>

namespace cvk {

void appendUtf8(std::string& out, char32_t c)
{
    const auto v = static_cast<uint32_t>(c);
    auto put = [&](uint32_t b) { out.push_back(static_cast<char>(b)); };
    if (v < 0x80) {
        put(v);
    } else if (v < 0x800) {
        put(0xC0 | (v >> 6));
        put(0x80 | (v & 0x3F));
    } else if (v < 0x10000) {
        put(0xE0 | (v >> 12));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    } else if (v < 0x110000) {
        put(0xF0 | (v >> 18));
        put(0x80 | ((v >> 12) & 0x3F));
        put(0x80 | ((v >> 6) & 0x3F));
        put(0x80 | (v & 0x3F));
    }
}

std::string utf8(char32_t c)
{
    std::string out;
    appendUtf8(out, c);
    return out;
}

void appendUtf16(std::u16string& out, char32_t c)
{
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
    } else {
        const auto v = static_cast<uint32_t>(c) - 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    }
}

std::string utf8FromUtf16(std::u16string_view text16)
{
    std::string out;
    out.reserve(text16.size());
    for (size_t i = 0; i < text16.size(); ++i) {
        const char16_t u = text16[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text16.size() && text16[i + 1] >= 0xDC00 &&
            text16[i + 1] <= 0xDFFF) {
            const char32_t cp =
                0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text16[i + 1] - 0xDC00);
            appendUtf8(out, cp);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);  // a lone surrogate
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::u16string utf16FromUtf8(std::string_view text)
{
    constexpr char32_t kReplacement = 0xFFFD;
    std::u16string out;
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80           ? 0
                          : (lead >> 5) == 0x6  ? 1
                          : (lead >> 4) == 0xE  ? 2
                          : (lead >> 3) == 0x1E ? 3
                                                : -1;
        if (extra < 0 || i + extra >= text.size()) {
            appendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            valid = valid && (b & 0xC0) == 0x80;
            c = (c << 6) | (b & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are malformed.
        constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
        if (!valid || c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            appendUtf16(out, kReplacement);
            ++i;
            continue;
        }
        appendUtf16(out, c);
        i += extra + 1;
    }
    return out;
}

}  // namespace cvk
