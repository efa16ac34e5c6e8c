#pragma once
// A settings store that outlives its object, named the way --settings
// names one on this system: an INI file, or on Windows a registry key of
// the test program's own under HKEY_CURRENT_USER.

#include <atomic>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include <fmt/format.h>

#include "cli/os_backends.h"
#include "platform/settings_store.h"
#include "temp_dir.h"

#ifdef _WIN32
#include <process.h>
#endif

namespace cvk::test {

#ifdef _WIN32
// Every test program's keys lie under this one; the program removes it at
// its end (test_main.cpp).
inline std::string testRegistryRoot() { return "software\\CVKeysTest-" + std::to_string(::_getpid()); }
#endif

inline std::string settingsLocation(const std::filesystem::path& dir, const std::string& name)
{
#ifdef _WIN32
    static std::atomic<int> counter{0};
    return "HKCU\\" + testRegistryRoot() + "\\" + std::to_string(counter++) + "-" + dir.filename().string() +
           "-" + name;
#else
    return (dir / name).string();
#endif
}
inline std::string settingsLocation(const TempDir& dir, const std::string& name)
{
    return settingsLocation(dir.path(), name);
}

inline std::unique_ptr<ISettingsStore> openSettingsAt(const std::string& location)
{
    std::string problem;
    auto store = os::settingsAt(location, &problem);
    if (!store)
        throw std::runtime_error(location + ": " + problem);
    return store;
}

// Everything the store at the location holds, to compare before and after:
// the file's bytes, or the registry values listed.
inline std::string settingsSnapshot(const std::string& location)
{
#ifdef _WIN32
    std::string out;
    for (const SettingEntry& e : openSettingsAt(location)->all()) {
        out +=
            fmt::format("[{}] {} {} {} {}:", e.section, e.entry, static_cast<int>(e.kind), e.integer, e.text);
        for (uint8_t b : e.bytes)
            out += fmt::format(" {:02X}", b);
        out += "\n";
    }
    return out;
#else
    return fileBytes(location);
#endif
}

}  // namespace cvk::test
