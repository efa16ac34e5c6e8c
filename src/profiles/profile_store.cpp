#include "profiles/profile_store.h"

#include <algorithm>
#include <fmt/format.h>

#include "config/config_model.h"
#include "config/text_bytes.h"
#include "config/thresholds.h"
#include "device/models.h"
#include "platform/settings_store.h"

namespace cvk {

namespace {

// Classic pointer bytes from the range-checking firmware on.
constexpr uint8_t kResolutionLow = 4;
constexpr uint8_t kResolutionHigh = 5;
constexpr uint8_t kResolutionFallback = 4;
constexpr uint8_t kSpeedLow = 5;
constexpr uint8_t kSpeedHigh = 11;
constexpr uint8_t kSpeedFallback = 8;
// Older firmware: modes 0..2 follow the desktop.
constexpr uint8_t kResolutionByDesktopMax = 2;

const char* nameEntry(bool listF) { return listF ? kProfileNameF : kProfileName; }
const char* dataEntry(bool listF) { return listF ? kProfileDataF : kProfileData; }
const char* countEntry(bool listF) { return listF ? kProfileCountF : kProfileCount; }

void repairClassicPointerBytes(std::array<uint8_t, kProfileConfigSize>& config, uint32_t firmwareVersion,
                               int desktopWidth)
{
    uint8_t& resolution = config[kPosResolutionMode];
    uint8_t& speed = config[kPosCursorSpeed];
    if (firmwareVersion >= kPointerSettingsFirmware) {
        if (resolution < kResolutionLow || resolution > kResolutionHigh)
            resolution = kResolutionFallback;
        if (speed < kSpeedLow || speed > kSpeedHigh)
            speed = kSpeedFallback;
    } else if (resolution <= kResolutionByDesktopMax) {
        resolution = resolutionModeForWidth(desktopWidth);
    }
}

}  // namespace

ProfileHandle profileAt(const CProfileList& list, int n)
{
    if (n < 0)
        return nullptr;
    for (const CProfileClass& profile : list)
        if (n-- == 0)
            return &profile;
    return nullptr;
}

int profilePosition(const CProfileList& list, ProfileHandle profile)
{
    if (!profile)
        return -1;
    int n = 0;
    for (const CProfileClass& p : list) {
        if (&p == profile)
            return n;
        ++n;
    }
    return -1;
}

CProfileList::iterator findProfile(CProfileList& list, ProfileHandle profile)
{
    if (!profile)
        return list.end();
    return std::find_if(list.begin(), list.end(),
                        [profile](const CProfileClass& p) { return &p == profile; });
}

bool usesProfileListF(int modelCode) { return modelInfo(modelCode).family == ReportFamily::Command; }

std::string profileKey(int index) { return fmt::format("Profile{:02d}", index); }

void copyWorkingInto(CProfileClass& profile, const ConfigModel& working)
{
    std::copy_n(working.block.begin(), kProfileConfigSize, profile.configuration.begin());
    profile.signatureText = working.signatureText;
    const auto modifiers =
        std::copy(working.strokeUsages.begin(), working.strokeUsages.end(), profile.signature.begin());
    std::copy(working.strokeModifiers.begin(), working.strokeModifiers.end(), modifiers);
}

namespace {

// The record as stored, over defaultConfig; true when it has a configuration.
bool readProfileRecord(ISettingsStore& store, CProfileClass& profile, bool listF, int index,
                       const std::array<uint8_t, kProfileConfigSize>& defaultConfig)
{
    profile.index = index;
    const std::string key = profileKey(index);
    profile.name = store.readText(key, nameEntry(listF), "");

    profile.configuration = defaultConfig;
    bool found = false;
    if (const auto data = store.readBytes(key, dataEntry(listF))) {
        std::copy_n(data->begin(), std::min<size_t>(data->size(), kProfileConfigSize),
                    profile.configuration.begin());
        found = true;
    }

    // A short stored value leaves zeros behind it, whatever the record held.
    profile.signature.fill(0);
    if (const auto signature = store.readBytes(key, kProfileSignature))
        std::copy_n(signature->begin(), std::min<size_t>(signature->size(), kProfileSignatureSize),
                    profile.signature.begin());

    profile.signatureText.fill(u'\0');
    if (const auto text = store.readBytes(key, kProfileSignatureText))
        copyUtf16Bytes(*text, profile.signatureText);

    return found;
}

int storedCount(ISettingsStore& store, bool listF)
{
    return std::clamp(store.readInt(kProfileSection, countEntry(listF), 0), 0, kMaxStoredProfiles);
}

}  // namespace

bool loadProfile(ISettingsStore& store, CProfileClass& profile, bool listF, int index,
                 const std::array<uint8_t, kProfileConfigSize>& defaultConfig, uint32_t firmwareVersion,
                 int desktopWidth)
{
    const bool found = readProfileRecord(store, profile, listF, index, defaultConfig);
    if (found && !listF)
        repairClassicPointerBytes(profile.configuration, firmwareVersion, desktopWidth);
    return found;
}

CProfileList loadStoredProfiles(ISettingsStore& store, bool listF)
{
    CProfileList list;
    const int count = storedCount(store, listF);
    for (int i = 0; i < count; ++i) {
        CProfileClass profile;
        if (readProfileRecord(store, profile, listF, i, {}))
            list.push_back(std::move(profile));
    }
    return list;
}

bool saveStoredProfiles(ISettingsStore& store, CProfileList& list, bool listF)
{
    int written = 0;
    bool all = true;
    for (CProfileClass& profile : list) {
        if (saveProfile(store, profile, listF, written))
            ++written;
        else
            all = false;
    }
    return store.writeInt(kProfileSection, countEntry(listF), written) && all;
}

bool saveProfile(ISettingsStore& store, CProfileClass& profile, bool listF, int index)
{
    if (profile.name.empty())
        return false;
    const std::string key = profileKey(index);
    bool written = store.writeText(key, nameEntry(listF), profile.name);
    written = store.writeBytes(key, dataEntry(listF),
                               {profile.configuration.begin(), profile.configuration.end()}) &&
              written;
    written =
        store.writeBytes(key, kProfileSignature, {profile.signature.begin(), profile.signature.end()}) &&
        written;
    written = store.writeBytes(key, kProfileSignatureText, utf16Bytes(profile.signatureText)) && written;
    if (!written)
        return false;
    profile.index = index;
    profile.modified = false;
    return true;
}

void loadAllProfiles(ISettingsStore& store, CProfileList& list, int modelCode, uint32_t firmwareVersion,
                     int desktopWidth, const ConfigModel& working)
{
    const bool listF = usesProfileListF(modelCode);
    const int count = storedCount(store, listF);

    std::array<uint8_t, kProfileConfigSize> defaultConfig{};
    std::copy_n(working.block.begin(), kProfileConfigSize, defaultConfig.begin());

    list.clear();
    for (int i = 0; i < count; ++i) {
        CProfileClass profile;
        if (loadProfile(store, profile, listF, i, defaultConfig, firmwareVersion, desktopWidth))
            list.push_back(std::move(profile));
    }
}

void saveAllProfiles(ISettingsStore& store, CProfileList& list, ProfileHandle active, int modelCode,
                     const ConfigModel& working)
{
    if (const auto it = findProfile(list, active); it != list.end())
        copyWorkingInto(*it, working);

    const bool listF = usesProfileListF(modelCode);
    int written = 0;
    for (CProfileClass& profile : list)
        if (saveProfile(store, profile, listF, written))
            ++written;
    store.writeInt(kProfileSection, countEntry(listF), written);
}

}  // namespace cvk
