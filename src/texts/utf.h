#pragma once
// Conversions between the UTF-16 the device texts are kept in (as the
// original program kept them) and the UTF-8 everything else uses.

#include <string>
#include <string_view>

namespace cvk {

// Appends one code point; values past U+10FFFF are dropped.
void appendUtf8(std::string& out, char32_t c);
std::string utf8(char32_t c);
// Appends one code point as one unit or a surrogate pair.
void appendUtf16(std::u16string& out, char32_t c);
// A lone surrogate becomes U+FFFD.
std::string utf8FromUtf16(std::u16string_view text);
// A malformed sequence (overlong, surrogate, past U+10FFFF, cut off) becomes
// U+FFFD.
std::u16string utf16FromUtf8(std::string_view text);

}  // namespace cvk
