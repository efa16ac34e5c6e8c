#pragma once
// The settings store held in memory: unit tests and runs that must leave no
// trace. Behaves like the file-backed store, including how kinds cross.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/settings_store.h"

namespace cvk {

// Integers and texts cross the way they do in an INI file, where both are
// text: an integer reads as its decimal text, and a text reads as an integer
// when it is an optional '-' and decimal digits that fit 32 bits. Byte
// blocks never cross.
std::optional<int32_t> parseStoredInteger(std::string_view text);

// Section and entry names the stores accept: an entry name is not empty, and
// neither name holds '/' or '\' (QSettings takes them as group separators).
bool validSettingNames(const std::string& section, const std::string& entry);

class MemorySettingsStore final : public ISettingsStore {
public:
    int32_t readInt(const std::string& section, const std::string& entry, int32_t fallback) override;
    std::string readText(const std::string& section, const std::string& entry,
                         const std::string& fallback = {}) override;
    std::optional<std::vector<uint8_t>> readBytes(const std::string& section,
                                                  const std::string& entry) override;
    bool writeInt(const std::string& section, const std::string& entry, int32_t value) override;
    bool writeText(const std::string& section, const std::string& entry, const std::string& value) override;
    bool writeBytes(const std::string& section, const std::string& entry,
                    const std::vector<uint8_t>& value) override;
    std::vector<SettingEntry> all() override;

    // Removes one entry; true when it existed.
    bool erase(const std::string& section, const std::string& entry);
    // Makes every write fail (and change nothing), as a full or read-only
    // disk would.
    bool failWrites = false;

private:
    bool store(SettingEntry value);
    const SettingEntry* find(const std::string& section, const std::string& entry) const;

    std::map<std::pair<std::string, std::string>, SettingEntry> entries_;
};

}  // namespace cvk
