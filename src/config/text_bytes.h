#pragma once
// Text areas (signature text, snippet text) travel to the store as UTF-16
// little-endian bytes, whatever the byte order of the machine.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace cvk {

// The units as 2 * units bytes, low byte first.
std::vector<uint8_t> utf16Bytes(const char16_t* text, size_t units);

template <size_t N>
std::vector<uint8_t> utf16Bytes(const std::array<char16_t, N>& text)
{
    return utf16Bytes(text.data(), N);
}

// Copies at most 2 * units bytes over the start of the text. A longer block
// is cut; a shorter one leaves the rest of the text as it was, and an odd
// last byte replaces only the low byte of its unit. Returns the bytes copied.
size_t copyUtf16Bytes(const std::vector<uint8_t>& bytes, char16_t* text, size_t units);

template <size_t N>
size_t copyUtf16Bytes(const std::vector<uint8_t>& bytes, std::array<char16_t, N>& text)
{
    return copyUtf16Bytes(bytes, text.data(), N);
}

}  // namespace cvk
