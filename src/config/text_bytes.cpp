#include "config/text_bytes.h"

#include <algorithm>

namespace cvk {

std::vector<uint8_t> utf16Bytes(const char16_t* text, size_t units)
{
    std::vector<uint8_t> bytes(2 * units);
    for (size_t i = 0; i < units; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
    }
    return bytes;
}

size_t copyUtf16Bytes(const std::vector<uint8_t>& bytes, char16_t* text, size_t units)
{
    const size_t count = std::min(bytes.size(), 2 * units);
    for (size_t i = 0; i < count; ++i) {
        char16_t& unit = text[i / 2];
        unit = (i % 2 == 0) ? static_cast<char16_t>((unit & 0xFF00) | bytes[i])
                            : static_cast<char16_t>((unit & 0x00FF) | (bytes[i] << 8));
    }
    return count;
}

}  // namespace cvk
