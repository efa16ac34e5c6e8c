#include "app/first_run.h"

#include <initializer_list>
#include <utility>

#include "platform/settings_store.h"
#include "profiles/profile_store.h"

namespace cvk {

namespace {

constexpr size_t kDefaultDataSize = 64;

// The 64-byte block with the given (offset, value) pairs, zero elsewhere.
std::vector<uint8_t> block(std::initializer_list<std::pair<int, uint8_t>> bytes)
{
    std::vector<uint8_t> data(kDefaultDataSize, 0);
    for (const auto& [offset, value] : bytes)
        data.at(static_cast<size_t>(offset)) = value;
    return data;
}

// A count stored as something other than a plain number ("+1", a block):
// the defaults then go over profiles that may well exist.
bool countUnreadable(ISettingsStore& store, const char* entry)
{
    if (store.readInt(kProfileSection, entry, 0) == store.readInt(kProfileSection, entry, 1))
        return false;  // an integer is stored
    constexpr const char* kAbsent = "\x01";
    return store.readText(kProfileSection, entry, kAbsent) != kAbsent ||
           store.readBytes(kProfileSection, entry).has_value();
}

bool countQualifies(ISettingsStore& store, const char* entry)
{
    const int32_t count = store.readInt(kProfileSection, entry, static_cast<int32_t>(kFirstRunCountMark));
    if (static_cast<uint32_t>(count) < kFirstRunCountMark)
        return false;
    // The stored profiles stay recoverable from the store's copy.
    if (countUnreadable(store, entry))
        store.markDamaged();
    return true;
}

}  // namespace

const std::vector<DefaultProfile>& classicDefaultProfiles()
{
    static const std::vector<DefaultProfile> profiles{
        {"Desktop",
         block({{0, 0x07}, {1, 0x20}, {2, 0x01}, {3, 0x04}, {4, 0x02}, {5, 0x02}, {16, 0x20}, {17, 0x01}})},
        {"CAD",
         block({{0, 0x07}, {1, 0x04}, {2, 0x01}, {3, 0xFB}, {4, 0x02}, {5, 0x02}, {16, 0x10}, {17, 0x01}})},
        {"WEB", block({{0, 0x07},
                       {1, 0x04},
                       {2, 0x08},
                       {3, 0xFF},
                       {4, 0x10},
                       {5, 0x02},
                       {8, 0x3D},
                       {13, 0x04},
                       {16, 0x10},
                       {17, 0x01}})},
    };
    return profiles;
}

const DefaultProfile& fDefaultProfile()
{
    static const DefaultProfile profile{
        "Desktop",
        block({{0, 0x07},  {1, 0x04},  {2, 0xFF},  {4, 0x08},  {5, 0xF9},  {6, 0x10},  {7, 0x20},
               {8, 0xFF},  {9, 0x02},  {17, 0x01}, {18, 0x01}, {19, 0x06}, {20, 0x08}, {21, 0x71},
               {22, 0xFF}, {23, 0xFF}, {24, 0xD2}, {33, 0x06}, {35, 0x06}, {39, 0x19}, {41, 0x19},
               {49, 0x01}, {52, 0x01}, {55, 0x01}, {57, 0x01}}),
    };
    return profile;
}

void writeFirstRunDefaults(ISettingsStore& store)
{
    // Write failures are ignored: the program runs on with what is stored.
    if (countQualifies(store, kProfileCount)) {
        const std::vector<DefaultProfile>& profiles = classicDefaultProfiles();
        store.writeInt(kProfileSection, kProfileCount, static_cast<int32_t>(profiles.size()));
        for (size_t i = 0; i < profiles.size(); ++i)
            store.writeText(profileKey(static_cast<int>(i)), kProfileName, profiles[i].name);
        for (size_t i = 0; i < profiles.size(); ++i)
            store.writeBytes(profileKey(static_cast<int>(i)), kProfileData, profiles[i].data);
    }
    if (countQualifies(store, kProfileCountF)) {
        const DefaultProfile& profile = fDefaultProfile();
        store.writeInt(kProfileSection, kProfileCountF, 1);
        store.writeText(profileKey(0), kProfileNameF, profile.name);
        store.writeBytes(profileKey(0), kProfileDataF, profile.data);
    }
}

}  // namespace cvk
