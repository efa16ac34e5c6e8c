// The settings file: INI text read through QSettings, then everything the
// program reads from it at start-up and when a device comes: the language
// entry, both profile lists for each model family and firmware generation,
// and a listing of every entry.

#include <cstdint>
#include <memory>

#include "config/config_model.h"
#include "fuzz_common.h"
#include "platform/qt/qsettings_store.h"
#include "profiles/profile_session.h"
#include "profiles/profile_store.h"
#include "texts/text_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace cvk;
    static const fuzz::ScratchFile file("settings");
    if (!file.write(data, size))
        return 0;
    const std::unique_ptr<QSettingsStore> store = QSettingsStore::forFile(file.path());

    (void)store->readText(kLanguageSection, kLanguageEntry);
    (void)store->readInt(kProfileSection, kProfileCount, 0);
    (void)store->readBytes(kProfileSection, kProfileCountF);

    static const ConfigModel working;
    struct Load {
        int modelCode;
        uint32_t firmware;
        int desktopWidth;
    };
    // The register family reads the classic list, the command family the F
    // list; the pointer bytes are repaired differently below and from 0x31A.
    // Every read parses the file anew, so one load per input, picked by its
    // size.
    static constexpr Load kLoads[] = {{4, 0x300, 1024}, {5, 0x31A, 3840}, {8, 0x31A, 1920}};
    const Load& load = kLoads[size % 3];
    CProfileSession session;
    session.load(*store, load.modelCode, load.firmware, load.desktopWidth, working);
    for (const CProfileClass& p : session.list())
        if (p.index < 0)
            __builtin_trap();
    (void)store->all();
    return 0;
}
