// Profile files: what export writes reads back to the same profiles, and a
// damaged file is refused with its line while the settings stay as they
// were.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_run.h"
#include "platform/memory_settings_store.h"
#include "profiles/profile_file.h"
#include "profiles/profile_store.h"
#include "settings_location.h"
#include "temp_dir.h"

namespace cvk {
namespace {

CProfileClass profile(const std::string& name, uint8_t seed)
{
    CProfileClass p;
    p.name = name;
    for (std::size_t i = 0; i < p.configuration.size(); ++i)
        p.configuration[i] = static_cast<uint8_t>(seed + i * 3);
    return p;
}

// Two lists with everything a profile can carry: strokes, a text with line
// breaks, tabs and backslashes, non-ASCII names and texts, and a text that
// only UTF-16 units can carry exactly (a lone surrogate, bytes after the end).
void fillStore(MemorySettingsStore& store)
{
    CProfileList f;
    f.push_back(profile("Office", 1));
    CProfileClass signed_ = profile("Anna's signature", 9);
    for (std::size_t i = 0; i < 40; ++i)
        signed_.signature[i] = static_cast<uint8_t>(4 + i), signed_.signature[256 + i] = i % 2 ? 0x02 : 0x00;
    const std::u16string text = u"Anna Svensson\nÖrebro\t\\ 10";
    std::copy(text.begin(), text.end(), signed_.signatureText.begin());
    f.push_back(signed_);
    CProfileClass odd = profile("Åsa  (two spaces)", 200);
    odd.signatureText[0] = 0xD800;
    odd.signatureText[3] = u'x';
    f.push_back(odd);
    ASSERT_TRUE(saveStoredProfiles(store, f, true));
    CProfileList classic;
    classic.push_back(profile("CAD", 50));
    ASSERT_TRUE(saveStoredProfiles(store, classic, false));
}

TEST(ProfileFile, ExportThenImportIntoAnEmptyStoreGivesTheSameProfiles)
{
    MemorySettingsStore source;
    fillStore(source);
    for (bool listF : {true, false}) {
        const ProfileTransfer out = exportProfiles(source, listF, {});
        ASSERT_TRUE(out.ok) << out.message;
        MemorySettingsStore target;
        const ProfileTransfer in = importProfiles(target, out.text, false);
        ASSERT_TRUE(in.ok) << in.message;
        EXPECT_EQ(loadStoredProfiles(target, listF), loadStoredProfiles(source, listF)) << listF;
        // And the stored values themselves, byte for byte.
        for (const SettingEntry& e : target.all()) {
            if (e.section == "Profile")
                continue;
            EXPECT_EQ(source.readBytes(e.section, e.entry).value_or(std::vector<uint8_t>{}),
                      target.readBytes(e.section, e.entry).value_or(std::vector<uint8_t>{}))
                << e.section << "/" << e.entry;
        }
        EXPECT_EQ(exportProfiles(target, listF, {}).text, out.text);
    }
}

TEST(ProfileFile, TheFileIsReadableText)
{
    MemorySettingsStore store;
    fillStore(store);
    const std::string text = exportProfiles(store, true, {"Anna's signature"}).text;
    EXPECT_NE(text.find("cvkeys-profiles 1\nlist F\n"), std::string::npos);
    EXPECT_NE(text.find("\nprofile Anna's signature\nconfig 09 0C 0F 12"), std::string::npos) << text;
    EXPECT_NE(text.find("\ntext Anna Svensson\\nÖrebro\\t\\\\ 10\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Office"), std::string::npos);
    const ProfileTransfer missing = exportProfiles(store, true, {"Nobody"});
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.message, "the F list has no profile 'Nobody'");
}

TEST(ProfileFile, ABadFileIsRefusedWithItsLineAndChangesNothing)
{
    MemorySettingsStore store;
    fillStore(store);
    const std::string good = exportProfiles(store, true, {"Office"}).text;
    // Line numbers of the good file: 3 version, 4 list, 6 profile, 7..14 config, 15 end.
    auto replaceLine = [&good](int n, const std::string& with) {
        std::string out;
        int line = 1;
        std::size_t pos = 0;
        while (pos < good.size()) {
            const std::size_t end = good.find('\n', pos);
            const std::string l = good.substr(pos, end - pos);
            out += (line == n ? with : l) + "\n";
            pos = end + 1;
            ++line;
        }
        return out;
    };
    struct Case {
        const char* what;
        std::string text;
        int line;
        const char* fault;
    };
    const std::vector<Case> cases = {
        {"not a profile file", "hello\n", 1, "not a CV Keys profile file"},
        {"newer version", replaceLine(3, "cvkeys-profiles 2"), 3, "version 2"},
        {"bad list", replaceLine(4, "list G"), 4, "'list F' or 'list classic'"},
        {"bad hex", replaceLine(9, "config 00 01 0G 00 00 00 00 00 00 00 00 00 00 00 00 00"), 9,
         "'0G' is not a byte in hex"},
        {"short line", replaceLine(9, "config 00 01"), 9, "16 bytes, this one 2"},
        {"long line", replaceLine(9, "config 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"), 9,
         "this one more"},
        {"missing config line", replaceLine(14, ""), 15, "7 config lines instead of 8"},
        {"unknown word", replaceLine(10, "colour red"), 10, "'colour' is not a line"},
        {"nameless", replaceLine(6, "profile "), 6, "no name"},
        {"no end", good.substr(0, good.rfind("end\n")), 0, "ends inside profile 'Office' (line 6)"},
        {"outside", good + "config 00\n", 16, "outside a profile"},
        {"twice", good + good.substr(good.find("\nprofile") + 1), 16, "profile 'Office' twice"},
        {"bad escape", replaceLine(15, "text a\\qb\nend"), 15, "'\\q' is no escape"},
        {"not utf-8", replaceLine(6, "profile \xff\xfe"), 0, "not UTF-8"},
        {"empty", "", 0, "empty"},
        {"too large", std::string(kMaxProfileFileBytes + 1, '#'), 0, "too large"},
    };
    const auto before = store.all();
    for (const Case& c : cases) {
        const ProfileTransfer t = importProfiles(store, c.text, true);
        EXPECT_FALSE(t.ok) << c.what;
        const std::string expected = c.line > 0 ? "line " + std::to_string(c.line) + ": " : "";
        EXPECT_EQ(t.message.rfind(expected, 0), 0u) << c.what << ": " << t.message;
        EXPECT_NE(t.message.find(c.fault), std::string::npos) << c.what << ": " << t.message;
    }
    const auto after = store.all();
    ASSERT_EQ(after.size(), before.size());
    for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].entry, before[i].entry);
        EXPECT_EQ(after[i].bytes, before[i].bytes);
        EXPECT_EQ(after[i].text, before[i].text);
        EXPECT_EQ(after[i].integer, before[i].integer);
    }
}

TEST(ProfileFile, ANameTheListHasIsReplacedOnlyWhenAsked)
{
    MemorySettingsStore store;
    fillStore(store);
    MemorySettingsStore other;
    CProfileList list;
    list.push_back(profile("Office", 77));
    list.push_back(profile("New", 5));
    ASSERT_TRUE(saveStoredProfiles(other, list, true));
    const std::string text = exportProfiles(other, true, {}).text;

    const ProfileTransfer refused = importProfiles(store, text, false);
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.message, "the F list has a profile 'Office' already (--replace replaces it)");
    EXPECT_EQ(loadStoredProfiles(store, true).size(), 3u);  // not even "New" came in

    const ProfileTransfer replaced = importProfiles(store, text, true);
    ASSERT_TRUE(replaced.ok) << replaced.message;
    EXPECT_EQ(replaced.added, 1);
    EXPECT_EQ(replaced.replaced, 1);
    const CProfileList now = loadStoredProfiles(store, true);
    std::vector<std::string> names;
    for (const CProfileClass& p : now)
        names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Office", "Anna's signature", "Åsa  (two spaces)", "New"}));
    EXPECT_EQ(now.front().configuration, profile("Office", 77).configuration);
    // The other list is left alone.
    EXPECT_EQ(loadStoredProfiles(store, false).size(), 1u);
}

TEST(ProfileFileCli, ExportAndImportThroughTheTool)
{
    TempDir dir("profile-files");
    const std::string settings = test::settingsLocation(dir, "a.ini");
    const std::string file = (dir / "office.cvkp").string();
    CliResult e = cli({"--simulate", "dorrin", "--settings", settings, "export-profiles", file});
    ASSERT_EQ(e.rc, 0) << e.err;
    EXPECT_EQ(e.out.substr(e.out.find("export-profiles")),
              "export-profiles: 1 profile of the F list written to " + file + "\n  Desktop\n");

    const std::string fresh = test::settingsLocation(dir, "b.ini");
    CliResult i = cli({"--settings", fresh, "import-profiles", file});
    ASSERT_EQ(i.rc, 0) << i.err;
    EXPECT_EQ(i.out, "import-profiles: 1 added, 0 replaced in the F list\n  Desktop\n");
    const std::string settingsBefore = test::settingsSnapshot(fresh);
    CliResult again = cli({"--settings", fresh, "import-profiles", file});
    EXPECT_EQ(again.rc, 1);
    EXPECT_EQ(test::settingsSnapshot(fresh), settingsBefore);  // the settings file as it was
    const std::string cut = (dir / "cut.cvkp").string();
    putFile(cut, fileBytes(file).substr(0, fileBytes(file).size() / 2));
    CliResult truncated = cli({"--settings", fresh, "import-profiles", cut, "--replace"});
    EXPECT_EQ(truncated.rc, 1);
    // Cut in the middle of a config line: that line is named.
    EXPECT_NE(truncated.err.find(": line 9: a line holds 16 bytes, this one 5; nothing was changed"),
              std::string::npos)
        << truncated.err;
    EXPECT_EQ(test::settingsSnapshot(fresh), settingsBefore);
    EXPECT_NE(again.err.find("has a profile 'Desktop' already"), std::string::npos) << again.err;
    EXPECT_NE(again.err.find("nothing was changed"), std::string::npos) << again.err;
    EXPECT_EQ(cli({"--settings", fresh, "import-profiles", file, "--replace"}).rc, 0);

    const std::string exported = fileBytes(file);
    CliResult e2 =
        cli({"--settings", fresh, "--list", "F", "export-profiles", (dir / "again.cvkp").string()});
    ASSERT_EQ(e2.rc, 0) << e2.err;
    EXPECT_EQ(fileBytes(dir / "again.cvkp"), exported);

    struct Usage {
        std::vector<std::string> args;
        const char* message;
    };
    const std::vector<Usage> usages = {
        {{"export-profiles"}, "usage: export-profiles FILE [NAME...]"},
        {{"import-profiles", file, "extra"}, "usage: import-profiles FILE [--replace]"},
        {{"--list", "X", "export-profiles", file}, "--list takes classic or F"},
        {{"--replace", "list"}, "--replace is for import-profiles"},
        {{"--list", "F", "import-profiles", file}, "--list is for export-profiles"},
    };
    for (const Usage& u : usages) {
        CliResult r = cli(u.args);
        EXPECT_EQ(r.rc, 2) << u.message;
        EXPECT_NE(r.err.find(u.message), std::string::npos) << r.err;
    }
    // Words after the file are names, not steps.
    CliResult noSuchProfile = cli({"--settings", fresh, "--list", "F", "export-profiles", file, "list"});
    EXPECT_EQ(noSuchProfile.rc, 1);
    EXPECT_EQ(noSuchProfile.err, "cvkeys-cli: export-profiles: the F list has no profile 'list'\n");
    EXPECT_EQ(fileBytes(file), exported);  // a failed export leaves the file alone
}

}  // namespace
}  // namespace cvk
