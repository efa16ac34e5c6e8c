#pragma once
// The settings store port: per-user values by section and entry, of three
// kinds. Real backend: QSettings (INI on Linux, registry on Windows); test
// backend: MemorySettingsStore.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cvk {

enum class SettingKind { Integer, Text, Bytes };

struct SettingEntry {
    std::string section;  // "" is the application key itself
    std::string entry;
    SettingKind kind = SettingKind::Integer;
    int64_t integer = 0;
    std::string text;  // UTF-8
    std::vector<uint8_t> bytes;
};

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // A missing entry, or one stored as another kind, gives the default /
    // nullopt: never garbage.
    virtual int32_t readInt(const std::string& section, const std::string& entry, int32_t fallback) = 0;
    virtual std::string readText(const std::string& section, const std::string& entry,
                                 const std::string& fallback = {}) = 0;
    // The block exactly as written (its length kept).
    virtual std::optional<std::vector<uint8_t>> readBytes(const std::string& section,
                                                          const std::string& entry) = 0;
    // Writes report false when the store could not be written.
    virtual bool writeInt(const std::string& section, const std::string& entry, int32_t value) = 0;
    virtual bool writeText(const std::string& section, const std::string& entry,
                           const std::string& value) = 0;
    virtual bool writeBytes(const std::string& section, const std::string& entry,
                            const std::vector<uint8_t>& value) = 0;
    // Every entry, sorted by section then entry (for listings).
    virtual std::vector<SettingEntry> all() = 0;
    // A caller found a stored value it cannot use: a file-backed store keeps
    // a copy of its file before the next write changes it.
    virtual void markDamaged() {}
};

}  // namespace cvk
