#pragma once
// The profiles a new user starts with: three classic ones and one for the
// nine-button models, written at start-up before the main window exists.

#include <cstdint>
#include <string>
#include <vector>

namespace cvk {

class ISettingsStore;

// A count read as this or more (compared unsigned, so a missing count, one
// that is not a number, and a negative one all qualify) means the list was
// never set up: its defaults are written. A count that is stored but not a
// number marks the store damaged first, so that a file-backed store keeps a
// copy of what the defaults overwrite.
inline constexpr uint32_t kFirstRunCountMark = 30000;

struct DefaultProfile {
    std::string name;
    std::vector<uint8_t> data;  // 64 bytes: the tail comes from the working block on load
};

// Profile00..Profile02 of the classic list, and Profile00 of the F list.
const std::vector<DefaultProfile>& classicDefaultProfiles();
const DefaultProfile& fDefaultProfile();

// Each list whose count qualifies gets its count first, then the names, then
// the 64-byte blocks; a list with a usable count, even 0, is left alone.
void writeFirstRunDefaults(ISettingsStore& store);

}  // namespace cvk
