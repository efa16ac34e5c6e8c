#pragma once
// Complete validation of an Intel HEX firmware image for the device's
// application flash, before anything on the device is touched.

#include <array>
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cvk::service {

inline constexpr uint32_t kFlashSize = 0x4000;
inline constexpr uint32_t kApplicationEnd = 0x3000;  // the bootloader starts here
inline constexpr uint32_t kFlashPage = 128;
inline constexpr std::size_t kMaxHexFileBytes = 256 * 1024;

struct FirmwareImage {
    std::array<uint8_t, kFlashSize> bytes{};
    std::bitset<kFlashSize> used;
    uint32_t low = 0;   // first used address
    uint32_t high = 0;  // last used address
    std::size_t count = 0;
};

struct HexCheck {
    bool ok = false;
    int line = 0;       // 1-based line of the fault; 0 for the file as a whole
    std::string fault;  // English sentence, empty when ok
    FirmwareImage image;
    // "line 12: the record's checksum is wrong" or "the file has no data".
    std::string message() const;
};

HexCheck checkIntelHex(std::string_view text);

}  // namespace cvk::service
