#pragma once
// The settings store in the Windows registry, under the current user's key.
// The application key holds the entries of section ""; every other section
// is a subkey of it. The kinds are the registry's own: an integer is a
// REG_DWORD, a text a REG_SZ, a byte block a REG_BINARY. A value of another
// type than the one asked for reads as absent, so kinds never cross.
//
// Every call opens the key, reads or writes and closes it again: nothing is
// cached, and another process's change is seen by the next read.

#include <memory>
#include <string>

#include "platform/settings_store.h"

namespace cvk {

class RegistrySettingsStore final : public ISettingsStore {
public:
    // HKEY_CURRENT_USER\software\Lumrick\<applicationName>.
    static std::unique_ptr<RegistrySettingsStore> forUser(const std::string& applicationName);
    // Any key under HKEY_CURRENT_USER, such as "software\CVKeysTest-123".
    static std::unique_ptr<RegistrySettingsStore> forCurrentUserKey(const std::string& subkey);

    int32_t readInt(const std::string& section, const std::string& entry, int32_t fallback) override;
    std::string readText(const std::string& section, const std::string& entry,
                         const std::string& fallback = {}) override;
    std::optional<std::vector<uint8_t>> readBytes(const std::string& section,
                                                  const std::string& entry) override;
    // A text holding a zero character cannot be a REG_SZ: refused.
    bool writeInt(const std::string& section, const std::string& entry, int32_t value) override;
    bool writeText(const std::string& section, const std::string& entry, const std::string& value) override;
    bool writeBytes(const std::string& section, const std::string& entry,
                    const std::vector<uint8_t>& value) override;
    // Values of the application key and of its direct subkeys that have a
    // readable kind, sorted by section then entry.
    std::vector<SettingEntry> all() override;

    // The key as text, "HKEY_CURRENT_USER\software\Lumrick\cvkeys-cli".
    std::string location() const;

private:
    explicit RegistrySettingsStore(std::string subkey);
    bool write(const std::string& section, const std::string& entry, unsigned long type, const void* data,
               std::size_t size);

    std::string subkey_;
};

}  // namespace cvk
