#pragma once
// Profile files: named profiles of one list in a versioned text file that a
// person can read, for carrying profiles from one computer to another.
//
//   # comment
//   cvkeys-profiles 1
//   list F                      (or classic)
//   profile NAME                (the rest of the line, as it is)
//   config 02 01 00 ...         (8 lines of 16 bytes: the 128 configuration bytes)
//   strokes 00 ...              (32 lines of 16 bytes, usages then modifiers; absent: zeros)
//   text Anna\nSvensson         (the signature text, \n \r \t \\ escaped; absent: empty)
//   text-units 0041 ...         (instead of text: the 512 UTF-16 units, 16 a line)
//   end

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profiles/profile_store.h"

namespace cvk {

class ISettingsStore;

inline constexpr int kProfileFileVersion = 1;
inline constexpr std::size_t kMaxProfileFileBytes = 8 * 1024 * 1024;
inline constexpr std::size_t kMaxProfileNameBytes = 200;

struct ProfileFile {
    bool listF = true;
    std::vector<CProfileClass> profiles;
};

struct ProfileFileProblem {
    int line = 0;  // 1-based; 0 for the file as a whole
    std::string fault;
    // "line 12: ..." or the fault alone.
    std::string message() const;
};

std::string writeProfileFile(const ProfileFile& file);
// Everything is checked; on a problem nothing of the file is returned.
std::optional<ProfileFile> readProfileFile(std::string_view text, ProfileFileProblem* problem);

struct ProfileTransfer {
    bool ok = false;
    std::string message;             // what went wrong, or what was done
    std::string text;                // export: the file's text
    int added = 0;                   // import
    int replaced = 0;                // import
    std::vector<std::string> names;  // the profiles exported or imported
};

// The named profiles (all when names is empty) of one stored list. A name
// that is not in the list fails the export.
ProfileTransfer exportProfiles(ISettingsStore& store, bool listF, const std::vector<std::string>& names);

// Adds the file's profiles to its list and saves the list. A name the list
// has already is refused unless replace; any problem changes nothing.
ProfileTransfer importProfiles(ISettingsStore& store, std::string_view text, bool replace);

}  // namespace cvk
