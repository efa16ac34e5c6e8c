// The profile file import into a store that holds two profiles already.
// The first input byte picks the options (replace, failing writes, which
// list is filled); the rest is the file. A refused import leaves the store
// as it was; an accepted file writes back to text that reads the same.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/memory_settings_store.h"
#include "profiles/profile_file.h"
#include "profiles/profile_store.h"

namespace {

bool sameEntries(const std::vector<cvk::SettingEntry>& a, const std::vector<cvk::SettingEntry>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].section != b[i].section || a[i].entry != b[i].entry || a[i].kind != b[i].kind ||
            a[i].integer != b[i].integer || a[i].text != b[i].text || a[i].bytes != b[i].bytes)
            return false;
    }
    return true;
}

bool sameProfiles(const cvk::ProfileFile& a, const cvk::ProfileFile& b)
{
    if (a.listF != b.listF || a.profiles.size() != b.profiles.size())
        return false;
    for (size_t i = 0; i < a.profiles.size(); ++i) {
        const cvk::CProfileClass& p = a.profiles[i];
        const cvk::CProfileClass& q = b.profiles[i];
        if (p.name != q.name || p.configuration != q.configuration || p.signature != q.signature ||
            p.signatureText != q.signatureText)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace cvk;
    if (size == 0)
        return 0;
    const uint8_t options = data[0];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    MemorySettingsStore store;
    for (const bool listF : {false, true}) {
        if (!(options & (listF ? 4 : 8)))
            continue;
        CProfileList list(2);
        list.front().name = "Office";
        list.front().configuration.fill(0x11);
        list.back().name = "Games";
        list.back().signature[0] = 4;
        if (!saveStoredProfiles(store, list, listF))
            __builtin_trap();
    }
    store.failWrites = (options & 2) != 0;
    const std::vector<SettingEntry> before = store.all();

    const ProfileTransfer t = importProfiles(store, text, (options & 1) != 0);
    if (!t.ok) {
        if (t.message.empty() || !sameEntries(before, store.all()))
            __builtin_trap();
        return 0;
    }
    if (store.failWrites || t.added + t.replaced != static_cast<int>(t.names.size()))
        __builtin_trap();

    ProfileFileProblem problem;
    const std::optional<ProfileFile> file = readProfileFile(text, &problem);
    if (!file)
        __builtin_trap();  // the import just read it
    const std::optional<ProfileFile> again = readProfileFile(writeProfileFile(*file), &problem);
    if (!again || !sameProfiles(*file, *again))
        __builtin_trap();
    return 0;
}
