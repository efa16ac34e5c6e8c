#pragma once
// The settings store on QSettings: the registry on Windows, an INI file
// elsewhere and for explicit files. Every call opens the store afresh, reads
// or writes, and closes it; no value is kept between calls. A file that cannot
// be parsed in full gives what could be read (a line QSettings cannot parse
// is skipped); before the first write rewrites it, the original is copied to
// the first free name of "<file>.damaged", "<file>.damaged-2", ..., and when
// no copy can be made the file is not written. A path that is not a regular
// file, or one over kMaxSettingsFileBytes, is never read nor written.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/settings_store.h"

class QSettings;
class QString;

namespace cvk {

// Far beyond any real settings file; a bigger one is not read.
inline constexpr uintmax_t kMaxSettingsFileBytes = 16 * 1024 * 1024;

// Why the file at the path is not one the store reads ("is a folder", "is
// not a regular file", ...), or nullopt when it is usable or absent.
std::optional<std::string> settingsFileProblem(const std::string& iniPath);

class QSettingsStore final : public ISettingsStore {
public:
    // The current user's store of the company "Lumrick" and the given
    // application (the executable's base name): HKCU\Software\Lumrick\<name>
    // on Windows, <config dir>/Lumrick/<name>.ini elsewhere.
    static std::unique_ptr<QSettingsStore> forUser(const std::string& applicationName);
    // An INI file at the path, created with its folders on the first write.
    static std::unique_ptr<QSettingsStore> forFile(const std::string& iniPath);
    ~QSettingsStore() override;

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
    void markDamaged() override;

    // The INI file's path or the registry key, for messages and listings.
    std::string location() const;

private:
    enum class Origin { User, File };
    struct Opened;
    QSettingsStore(Origin origin, std::string name);
    Opened open() const;
    // The INI file's absolute path; empty for the registry.
    QString iniPath() const;
    template <typename Value>
    bool write(const std::string& section, const std::string& entry, const Value& value);

    Origin origin_;
    std::string name_;  // application name or file path
};

std::unique_ptr<ISettingsStore> makeUserSettingsStore(const std::string& applicationName);
std::unique_ptr<ISettingsStore> makeFileSettingsStore(const std::string& iniPath);

}  // namespace cvk
