// Bad input on disk and on the command line: settings files with lines the
// INI reader rejects, counts that are no numbers, language and settings paths
// that are not regular files, and out-of-range panel input. Nothing may be
// lost, hang or crash.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "app/first_run.h"
#include "cli/cli.h"
#include "cli_run.h"
#include "config/config_model.h"
#include "config/pointer_settings.h"
#include "device/device_link.h"
#include "device/live_edits.h"
#include "device/model_views.h"
#include "platform/qt/qsettings_store.h"
#include "profiles/profile_store.h"
#include "temp_dir.h"
#include "test_support.h"
#include "texts/text_table.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;

// A user's file: two classic profiles and a language.
constexpr const char* kProfiles =
    "[Profile]\nNumberOfProfiles=2\nNumberOfProfiles.F=1\n"
    "[Profile00]\nName=Office\nName.F=Games\n"
    "[Profile01]\nName=Home\n"
    "[General]\nLangauge=SE\n";

// ------------------------------------------------- lines the reader rejects

struct DamageCase {
    const char* name;
    std::string contents;
};

void PrintTo(const DamageCase& c, std::ostream* os) { *os << c.name; }

class SettingsDamagedLine : public ::testing::TestWithParam<DamageCase> {};

// Each of these makes QSettings flag the whole file; only the bad line may be
// lost, and start-up must not put first-run defaults over the profiles.
TEST_P(SettingsDamagedLine, ReadableValuesSurviveStartUp)
{
    TempDir dir(GetParam().name);
    const fs::path file = dir / "cvkeys.ini";
    putFile(file, GetParam().contents);
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    EXPECT_EQ(s->readInt(kProfileSection, kProfileCount, 0), 2);
    EXPECT_EQ(s->readText(profileKey(0), kProfileName), "Office");
    EXPECT_EQ(s->readText(profileKey(1), kProfileName), "Home");
    EXPECT_EQ(s->readText("", "Langauge"), "SE");
    EXPECT_FALSE(s->all().empty());

    writeFirstRunDefaults(*s);
    EXPECT_EQ(s->readText(profileKey(0), kProfileName), "Office");
    EXPECT_EQ(s->readText(profileKey(0), kProfileNameF), "Games");
    EXPECT_EQ(fileBytes(file), GetParam().contents) << "nothing needed writing";
}

// The first write rewrites the file clean and keeps the original under the
// first copy name; a later damage goes to the next name, never over the first.
TEST_P(SettingsDamagedLine, WritesKeepEveryOriginal)
{
    TempDir dir(std::string("w") + GetParam().name);
    const fs::path file = dir / "cvkeys.ini";
    putFile(file, GetParam().contents);
    ASSERT_TRUE(makeFileSettingsStore(file.string())->writeText("", "Langauge", "EN"));
    EXPECT_EQ(fileBytes(dir / "cvkeys.ini.damaged"), GetParam().contents);
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    EXPECT_EQ(s->readText("", "Langauge"), "EN");
    EXPECT_EQ(s->readInt(kProfileSection, kProfileCount, 0), 2);
    EXPECT_EQ(s->readText(profileKey(1), kProfileName), "Home");

    // Now sound: further writes make no copies.
    ASSERT_TRUE(s->writeInt(kProfileSection, kProfileCount, 1));
    EXPECT_FALSE(fs::exists(dir / "cvkeys.ini.damaged-2"));

    const std::string second = fileBytes(file) + "stray words\n";
    putFile(file, second);
    ASSERT_TRUE(makeFileSettingsStore(file.string())->writeText("", "Langauge", "SE"));
    EXPECT_EQ(fileBytes(dir / "cvkeys.ini.damaged"), GetParam().contents);
    EXPECT_EQ(fileBytes(dir / "cvkeys.ini.damaged-2"), second);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsDamagedLine,
    ::testing::Values(DamageCase{"ByteOrderMark", std::string("\xEF\xBB\xBF") + kProfiles},
                      DamageCase{"HashComment", std::string("# written by hand\n") + kProfiles},
                      DamageCase{"StrayWord", std::string("[Profile]\noops\n") + (kProfiles + 10)},
                      DamageCase{"UnclosedSection", std::string("[Profile\n") + (kProfiles + 10)}),
    [](const ::testing::TestParamInfo<DamageCase>& c) { return std::string(c.param.name); });

// Without a copy the damaged file is not replaced: the write is refused and
// the values stay readable.
TEST(SettingsDamagedFile, NoFreeCopyNameLeavesTheFileAlone)
{
    TempDir dir("nocopy");
    const fs::path file = dir / "cvkeys.ini";
    const std::string contents = std::string("# hand-made\n") + kProfiles;
    putFile(file, contents);
    putFile(dir / "cvkeys.ini.damaged", "old");
    for (int n = 2; n <= 100; ++n)
        putFile(dir / ("cvkeys.ini.damaged-" + std::to_string(n)), "old");
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    EXPECT_FALSE(s->writeText("", "Langauge", "EN"));
    EXPECT_EQ(fileBytes(file), contents);
    EXPECT_EQ(fileBytes(dir / "cvkeys.ini.damaged"), "old");
    EXPECT_EQ(s->readText("", "Langauge"), "SE");
    EXPECT_EQ(s->readInt(kProfileSection, kProfileCount, 0), 2);
}

// ------------------------------------------------- counts that are no numbers

TEST(SettingsFirstRun, UnreadableCountKeepsACopyBeforeTheDefaults)
{
    TempDir dir("count");
    const fs::path file = dir / "cvkeys.ini";
    const std::string contents =
        "[Profile]\nNumberOfProfiles=1\nNumberOfProfiles.F=+1\n"
        "[Profile00]\nName=Office\nName.F=Games\n";
    putFile(file, contents);
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    writeFirstRunDefaults(*s);
    EXPECT_EQ(fileBytes(dir / "cvkeys.ini.damaged"), contents);
    EXPECT_EQ(s->readInt(kProfileSection, kProfileCountF, 0), 1);
    EXPECT_EQ(s->readText(profileKey(0), kProfileNameF), fDefaultProfile().name);
    EXPECT_EQ(s->readText(profileKey(0), kProfileName), "Office");
}

// A missing count is a first run, not damage: no copy is made.
TEST(SettingsFirstRun, MissingCountsMakeNoCopy)
{
    TempDir dir("fresh");
    const fs::path file = dir / "cvkeys.ini";
    putFile(file, "[General]\nLangauge=EN\n");
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    writeFirstRunDefaults(*s);
    EXPECT_EQ(s->readInt(kProfileSection, kProfileCount, 0), 3);
    EXPECT_EQ(s->readInt(kProfileSection, kProfileCountF, 0), 1);
    EXPECT_FALSE(fs::exists(dir / "cvkeys.ini.damaged"));
}

// ------------------------------------------------- paths that are no regular files

enum class Odd { Folder, Fifo, DevZero };

struct OddCase {
    const char* name;
    Odd kind;
};
void PrintTo(const OddCase& c, std::ostream* os) { *os << c.name; }

void makeOdd(const fs::path& path, Odd kind)
{
    switch (kind) {
    case Odd::Folder: fs::create_directory(path); break;
    case Odd::Fifo: ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); break;
    case Odd::DevZero: fs::create_symlink("/dev/zero", path); break;
    }
}

class OddFile : public ::testing::TestWithParam<OddCase> {};

TEST_P(OddFile, LanguageFileFallsBackToTheDefaults)
{
    TempDir dir(std::string("lang") + GetParam().name);
    makeOdd(dir / "Language.XX", GetParam().kind);
    CTextTable table;
    EXPECT_FALSE(table.loadLanguageFile((dir / "Language.XX").string()));
    EXPECT_EQ(table.lookup(149, "OK"), "OK");

    const CliResult r = cli({"--simulate", "none", "--settings", ":memory:", "--language", "XX",
                             "--language-dir", dir.path().string(), "text 149"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "OK\n");
}

TEST_P(OddFile, SettingsFileIsNeitherReadNorWritten)
{
    TempDir dir(std::string("set") + GetParam().name);
    const fs::path file = dir / "cvkeys.ini";
    makeOdd(file, GetParam().kind);
    const fs::file_type before = fs::symlink_status(file).type();
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    EXPECT_EQ(s->readInt(kProfileSection, kProfileCount, 7), 7);
    EXPECT_TRUE(s->all().empty());
    EXPECT_FALSE(s->writeInt(kProfileSection, kProfileCount, 3));
    writeFirstRunDefaults(*s);
    EXPECT_FALSE(fs::exists(dir / "cvkeys.ini.damaged"));
    EXPECT_EQ(fs::symlink_status(file).type(), before);

    const CliResult r = cli({"--simulate", "none", "--settings", file.string(), "text 149"});
    EXPECT_EQ(r.rc, 2);
    EXPECT_NE(r.err.find("--settings " + file.string() + ": "), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(Paths, OddFile,
                         ::testing::Values(OddCase{"Folder", Odd::Folder}, OddCase{"Fifo", Odd::Fifo},
                                           OddCase{"DevZero", Odd::DevZero}),
                         [](const ::testing::TestParamInfo<OddCase>& c) {
                             return std::string(c.param.name);
                         });

TEST(LanguageFile, OversizedFileFallsBackToTheDefaults)
{
    TempDir dir("big");
    const fs::path file = dir / "Language.XX";
    std::string lines;
    while (lines.size() <= CTextTable::kMaxFileBytes)
        lines += "Ja\n";
    putFile(file, lines);
    CTextTable table;
    EXPECT_FALSE(table.loadLanguageFile(file.string()));
    EXPECT_EQ(table.lookup(149, "OK"), "OK");
    // Just within the bound it loads.
    putFile(file, lines.substr(0, CTextTable::kMaxFileBytes));
    EXPECT_TRUE(table.loadLanguageFile(file.string()));
    EXPECT_EQ(table.lookup(149, "OK"), "Ja");
}

// ------------------------------------------------- panel input

TEST(PanelInput, FarOffDropsStoreTheTrackEnds)
{
    ConfigModel model;
    struct Case {
        int row;
        int x;
        int value;
    };
    const Case cases[] = {
        {kRowCursorSpeed, INT_MIN, 5},        {kRowCursorSpeed, INT_MAX, 11},
        {kRowCursorSpeed, -1000000, 5},       {kRowCursorSpeed, 1000000, 11},
        {kRowScrollAcceleration, INT_MIN, 0}, {kRowScrollAcceleration, INT_MAX, 255},
        {kRowPollingInterval, INT_MIN, 0},    {kRowPollingInterval, INT_MAX, 255},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dropValue(c.row, model, c.x), c.value) << "row " << c.row << " x " << c.x;

    const CliResult r = cli({"--simulate", "dorrin", "--settings", ":memory:", "slider 1 -2147483648"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("position 60 = 0 "), std::string::npos) << r.out;
}

struct SpotCase {
    std::vector<std::string> setups;
    bool spots;
};

TEST(PanelInput, SpotsOnlyWhereTheCursorSpeedRowIsDrawn)
{
    const SpotCase cases[] = {
        {{"dorrin"}, true},     {{"arvel"}, true}, {{"arvel:fw=0x319"}, false},
        {{"arvel-old"}, false}, {{}, false},       {{"essom", "cindel"}, false},
    };
    for (const SpotCase& c : cases) {
        test::SimFixture f;
        for (const std::string& setup : c.setups)
            f.sim.attach(setup);
        deviceScan(f.link);
        f.sim.transcript().clear();
        ConfigModel model;
        model.block[kPosCursorSpeed] = 8;
        const std::string name = c.setups.empty() ? "none" : c.setups.front();
        EXPECT_EQ(hasSensitivitySpots(f.link.state), c.spots) << name;
        EXPECT_EQ(sensitivitySpot(f.link, model, true), c.spots) << name;
        EXPECT_EQ(int{model.block[kPosCursorSpeed]}, c.spots ? 9 : 8) << name;
        EXPECT_TRUE(f.reports({}).empty()) << name;
    }

    const CliResult r =
        cli({"--simulate", "arvel-old", "--settings", ":memory:", "--language", "EN", "spot increase"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "spot: no sensitivity spots on this device\n");
}

}  // namespace
}  // namespace cvk
