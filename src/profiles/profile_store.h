#pragma once
// Named profiles in the settings store: one key "Profile%02d" per profile,
// two lists side by side in the same keys (classic: "Name"/"Data", F:
// "Name.F"/"Data.F"), and "Signature"/"SignatureText" shared by both lists
// per index.

#include <array>
#include <cstdint>
#include <list>
#include <string>

namespace cvk {

class ISettingsStore;
struct ConfigModel;

inline constexpr int kProfileConfigSize = 128;
inline constexpr int kProfileSignatureSize = 512;       // stroke usages, then modifiers
inline constexpr int kProfileSignatureTextUnits = 512;  // UTF-16 units, 1024 bytes stored

inline constexpr const char* kProfileSection = "Profile";
inline constexpr const char* kProfileCount = "NumberOfProfiles";
inline constexpr const char* kProfileCountF = "NumberOfProfiles.F";
inline constexpr const char* kProfileName = "Name";
inline constexpr const char* kProfileNameF = "Name.F";
inline constexpr const char* kProfileData = "Data";
inline constexpr const char* kProfileDataF = "Data.F";
inline constexpr const char* kProfileSignature = "Signature";
inline constexpr const char* kProfileSignatureText = "SignatureText";

// A stored count above this is damage, not a list: loading stops here.
inline constexpr int kMaxStoredProfiles = 10000;

class CProfileClass {
public:
    std::array<uint8_t, kProfileConfigSize> configuration{};
    std::string name;  // UTF-8
    std::array<uint8_t, kProfileSignatureSize> signature{};
    std::array<char16_t, kProfileSignatureTextUnits> signatureText{};
    // The NN of the key last loaded from or saved to; -1 never stored.
    int32_t index = -1;
    // The profile's line in the (sorted) profile selector, set on selection.
    int32_t listSlot = -1;
    // Created or renamed since the last save.
    bool modified = false;

    bool operator==(const CProfileClass&) const = default;
};

// Nodes keep their address while they exist, so a node identifies a profile
// (selector item data, the active profile) across edits of the list.
using CProfileList = std::list<CProfileClass>;
// A profile of a list; nullptr is "none".
using ProfileHandle = const CProfileClass*;

// The n-th profile in list order, or nullptr.
ProfileHandle profileAt(const CProfileList& list, int n);
// The list position of the profile, or -1 when it is not (any more) in the list.
int profilePosition(const CProfileList& list, ProfileHandle profile);
// The node of the profile, or list.end(): for changing or erasing it.
CProfileList::iterator findProfile(CProfileList& list, ProfileHandle profile);

// The F list serves the command family; the classic list the register
// family, no device and a receiver alone.
bool usesProfileListF(int modelCode);

// "Profile00", "Profile01", ... "Profile100".
std::string profileKey(int index);

// The profile's part of the working buffers: the block's first 128 bytes,
// the signature text and the two stroke tables. Name, index, list slot and
// the modified flag stay as they were.
void copyWorkingInto(CProfileClass& profile, const ConfigModel& working);

// Fills the record from key "Profile<index>". True when the configuration
// value was found; the name and the signatures do not decide it.
// defaultConfig is the working configuration of the moment: a stored block
// shorter than 128 bytes keeps its tail. The classic list's pointer bytes
// are repaired by firmware version and desktop width: from
// kPointerSettingsFirmware on they are range-checked, below it the
// resolution mode follows the desktop width.
bool loadProfile(ISettingsStore& store, CProfileClass& profile, bool listF, int index,
                 const std::array<uint8_t, kProfileConfigSize>& defaultConfig, uint32_t firmwareVersion,
                 int desktopWidth);

// Writes the record to key "Profile<index>". A record without a name writes
// nothing. True when every value was written; only then the record takes the
// index and loses its modified mark.
bool saveProfile(ISettingsStore& store, CProfileClass& profile, bool listF, int index);

// The list of the model (F above model code 6), in stored order; records
// without a configuration value are left out, the others keep their stored
// index. A negative count reads as 0, a larger one than kMaxStoredProfiles
// is cut to it.
void loadAllProfiles(ISettingsStore& store, CProfileList& list, int modelCode, uint32_t firmwareVersion,
                     int desktopWidth, const ConfigModel& working);

// The list as stored, without the pointer-byte repairs and with zeros behind
// a short configuration value: what a profile file carries.
CProfileList loadStoredProfiles(ISettingsStore& store, bool listF);
// Writes the list renumbered in list order and its count, as
// saveAllProfiles does; false when a value could not be written.
bool saveStoredProfiles(ISettingsStore& store, CProfileList& list, bool listF);

// Takes the working buffers into the active profile (when it is in the list),
// then writes the list renumbered in list order and its count. Records that
// could not be written (no name) are neither numbered nor counted, so the
// count always equals the keys just written: a later load cannot pick up a
// key left over from an earlier, longer list.
void saveAllProfiles(ISettingsStore& store, CProfileList& list, ProfileHandle active, int modelCode,
                     const ConfigModel& working);

}  // namespace cvk
