#pragma once
// The per-device copy of a wireless-capable device's configuration, kept
// under its hardware key so the program can show and edit it when only the
// receiver is attached.

#include <array>
#include <cstdint>
#include <string>

namespace cvk {

class ISettingsStore;
struct ConfigModel;

inline constexpr const char* kDeviceCopyData = "Data.W";            // 256 bytes of the block
inline constexpr const char* kDeviceCopySignature = "Signature.W";  // 1024 bytes: signature text
inline constexpr const char* kDeviceCopySnippet = "Signature.W2";   // 512 bytes: snippet text

// "HW:0a:1b:2c:3d": the four id bytes in the order received, lower-case hex.
std::string hardwareKey(const std::array<uint8_t, 4>& id);

// A copy counts as stored when "Data.W" holds at least one byte.
bool hasDeviceCopy(ISettingsStore& store, const std::string& key);

struct DeviceCopyLoad {
    bool data = false;
    bool signature = false;
    bool snippet = false;
    bool any() const { return data || signature || snippet; }
};

// Each value present as a non-empty byte block is copied over the start of
// its buffer, cut to the buffer's size; a shorter value leaves the rest of
// the buffer as it was, an absent one the whole buffer.
DeviceCopyLoad loadDeviceCopy(ISettingsStore& store, const std::string& key, ConfigModel& model);

// Writes all three values at their full sizes; true when every write
// succeeded. An empty key writes nothing (it would name the application key).
bool saveDeviceCopy(ISettingsStore& store, const std::string& key, const ConfigModel& model);

}  // namespace cvk
