// The firmware image check: any text is refused with a line and a reason,
// or accepted with an image that fits the application flash.

#include <cstdint>
#include <string_view>

#include "service/intel_hex.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace cvk::service;
    const HexCheck check = checkIntelHex(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!check.ok) {
        if (check.fault.empty() || check.message().empty() || check.line < 0)
            __builtin_trap();
        return 0;
    }
    const FirmwareImage& image = check.image;
    if (!check.fault.empty() || image.count == 0 || image.count != image.used.count())
        __builtin_trap();
    if (image.low > image.high || image.high >= kApplicationEnd || !image.used[image.low] ||
        !image.used[image.high])
        __builtin_trap();
    for (uint32_t a = kApplicationEnd; a < kFlashSize; ++a)
        if (image.used[a])
            __builtin_trap();
    return 0;
}
