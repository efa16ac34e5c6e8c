#pragma once
// Intel HEX records with correct checksums, for images the tests need.

#include <fmt/format.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cvk::test {

inline std::string hexRecord(uint8_t type, uint16_t address, const std::vector<uint8_t>& data)
{
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8) + (address & 0xFF) + type;
    std::string line = fmt::format(":{:02X}{:04X}{:02X}", data.size(), address, type);
    for (uint8_t b : data) {
        line += fmt::format("{:02X}", b);
        sum += b;
    }
    return line + fmt::format("{:02X}", (0x100 - (sum & 0xFF)) & 0xFF);
}

inline std::string hexEnd() { return ":00000001FF"; }

// An image of `size` bytes from `start`, 16 bytes a record, each byte a
// function of its address so that misplaced bytes show.
inline std::string hexImage(uint16_t start, std::size_t size, const std::string& eol = "\n")
{
    std::string text;
    for (std::size_t done = 0; done < size; done += 16) {
        std::vector<uint8_t> data;
        for (std::size_t i = done; i < std::min(size, done + 16); ++i)
            data.push_back(static_cast<uint8_t>((start + i) * 7 + 3));
        text += hexRecord(0, static_cast<uint16_t>(start + done), data) + eol;
    }
    return text + hexEnd() + eol;
}

inline uint8_t hexImageByte(uint32_t address) { return static_cast<uint8_t>(address * 7 + 3); }

}  // namespace cvk::test
