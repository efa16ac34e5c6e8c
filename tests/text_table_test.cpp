// The interface texts: built-in defaults byte for byte, language files line
// by line (escapes, line endings, foreign encodings, broken files), the
// lookup rules for the special ids, and the start-up choice of the language.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory_settings_store.h"
#include "scoped_env.h"
#include "texts/text_table.h"
#include "texts/texts.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;

// Ids that must carry a built-in text.
std::vector<int> listedIds()
{
    std::vector<int> ids;
    const auto range = [&](int first, int last) {
        for (int id = first; id <= last; ++id)
            ids.push_back(id);
    };
    range(2, 47);
    range(49, 146);
    range(147, 161);
    ids.push_back(212);
    ids.push_back(214);
    range(219, 228);
    range(232, 238);
    return ids;
}

TEST(TextDefaultsTest, EveryListedIdHasANonEmptyDefault)
{
    for (const int id : listedIds()) {
        const char* d = defaultText(id);
        ASSERT_NE(d, nullptr) << "id " << id;
        EXPECT_STRNE(d, "") << "id " << id;
    }
}

TEST(TextDefaultsTest, IdsWithoutTextHaveNoRow)
{
    for (const int id : {-1, 0, 1, 48, 162, 211, 213, 215, 218, 229, 231, 239, 1000})
        EXPECT_EQ(defaultText(id), nullptr) << "id " << id;
}

TEST(TextDefaultsTest, SpotChecksAreExactBytes)
{
    setActiveTexts(nullptr);
    const struct {
        int id;
        const char* bytes;
    } cases[] = {
        {2, "About CV Keys"},
        {8, "No reprogrammable Corvane detected."},
        {9, "Please dowload and install the latest version of CV Keys."},
        {12,
         "Change another button assignment to \x22"
         "Click/Select\x22 before you change this one."},
        {22, "Auto Scroll /\xE2\x80\x9DMiddle Button\xE2\x80\x9D"},
        {39, "COMATIBILITY ISSUE"},
        {71,
         "Keyboard provides additional functions (not all functions work in every operating system). "
         "Place the cursor over Keyboard, then select More\xE2\x80\xA6 to display a picture of a keyboard. "
         "Click on one of the keys in the picture to program the keyboard button of your choice."},
        {85, "BACKSPACE"},
        {87, "Switch window (Vista)\x09Start+Tab"},
        {141, "Stop"},
        {146, "Windows Media Player"},
        {147,
         "An unexpected error occurred while saving the changes. Unplug your \x22"
         "Corvane\x22, wait for 5 "
         "seconds, replug \x22"
         "Corvane\x22 and retry the action."},
        {152, "&Help"},
        {212, "ClickLock"},
        {220,
         "You have diffrent settings for the primary and secondary buttons. Do you want to use the same "
         "settings as your computer?"},
        {224, "Signature"},
        {225,
         "Only one button can be assigned to Signature function. If you proceed, the Signature will be "
         "overwritten. Do you want to continue?"},
        {226, "Another button is programmed with the Signature function."},
        {232,
         "Zooma in\x09"
         "Ctrl+hjul up"},
        {236,
         "Close Tab\x09"
         "Ctrl+W"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(text(c.id), c.bytes) << "id " << c.id;
}

TEST(TextDefaultsTest, WithoutActiveTableTheExplicitDefaultWins)
{
    setActiveTexts(nullptr);
    EXPECT_EQ(text(212, "Click Lock"), "Click Lock");
    EXPECT_EQ(text(224, "Custom"), "Custom");
    EXPECT_EQ(text(-1, "1\u00D7"), "1\u00D7");
    EXPECT_EQ(text(500), "");
}

// A fresh folder for language files, and the active table reset afterwards.
class LanguageFileTest : public ::testing::Test {
protected:
    LanguageFileTest()
    {
        static std::atomic<int> counter{0};
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = fs::temp_directory_path() / ("cvk-texts-" + std::to_string(::getpid()) + "-" +
                                            std::to_string(stamp) + "-" + std::to_string(counter++));
        fs::create_directories(dir_);
    }
    ~LanguageFileTest() override
    {
        setActiveTexts(nullptr);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    std::string write(const std::string& bytes, const std::string& code = "XX")
    {
        const std::string path = languageFilePath(dir_.string(), code);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // Loads the bytes as a language file and makes the table active.
    void load(const std::string& bytes)
    {
        ASSERT_TRUE(table_.loadLanguageFile(write(bytes)));
        setActiveTexts(&table_);
    }
    // `count` lines, each empty except those given.
    static std::string lines(size_t count, const std::vector<std::pair<size_t, std::string>>& set)
    {
        std::vector<std::string> all(count);
        for (const auto& [n, s] : set)
            all.at(n - 1) = s;
        std::string out;
        for (const auto& s : all)
            out += s + "\n";
        return out;
    }

    fs::path dir_;
    CTextTable table_;
};

TEST_F(LanguageFileTest, Line149ReplacesOkAndNothingElse)
{
    load(lines(200, {{149, "Ja"}}));
    EXPECT_EQ(text(149), "Ja");
    EXPECT_EQ(text(149, "other default"), "Ja");
    for (const TextRecord& row : defaultTextTable()) {
        if (row.id != 149) {
            EXPECT_EQ(text(row.id), row.text) << "id " << row.id;
        }
    }
}

TEST_F(LanguageFileTest, ShortFileLeavesLaterTextsAtDefault)
{
    std::string content;
    for (int n = 1; n <= 100; ++n)
        content += "T" + std::to_string(n) + "\n";
    load(content);
    EXPECT_EQ(text(149), "OK");
    EXPECT_EQ(text(100), "T100");
    EXPECT_EQ(text(2), "T2");
}

TEST_F(LanguageFileTest, EmptyLinesKeepTheDefault)
{
    load(lines(150, {{148, "Fel"}, {150, "Avbryt"}}));  // 149 empty
    EXPECT_EQ(text(148), "Fel");
    EXPECT_EQ(text(149), "OK");
    EXPECT_EQ(text(150), "Avbryt");
    EXPECT_FALSE(table_.translated(149));
}

TEST_F(LanguageFileTest, CrLfFileGivesTextsWithoutCarriageReturns)
{
    load("Ett\r\n\r\nTre\r\nFyra\\r\r\n");
    EXPECT_EQ(table_.lookup(1, "d"), "Ett");
    EXPECT_EQ(table_.lookup(2, "d"), "d");  // a CRLF-only line is empty
    EXPECT_EQ(table_.lookup(3, "d"), "Tre");
    EXPECT_EQ(table_.lookup(4, "d"), "Fyra\r");  // a written escape survives
}

TEST_F(LanguageFileTest, LastLineWithoutNewlineIsRead)
{
    load("a\nb");
    EXPECT_EQ(table_.size(), 3u);
    EXPECT_EQ(table_.lookup(2, "d"), "b");
    load("a\n");
    EXPECT_EQ(table_.size(), 2u);
}

TEST_F(LanguageFileTest, ForeignBytesNeverCrashAndStayReadable)
{
    load(
        "\xFF\xFE\n"
        "Caf\xE9\n"
        "Caf\xC3\xA9\n"
        "\x80 5\n"
        "\xEF\xBB\xBF"
        "mid-line mark\n");
    EXPECT_EQ(table_.lookup(1, "d"), "\xC3\xBF\xC3\xBE");  // ÿþ
    EXPECT_EQ(table_.lookup(2, "d"), "Caf\xC3\xA9");
    EXPECT_EQ(table_.lookup(3, "d"), "Caf\xC3\xA9");
    EXPECT_EQ(table_.lookup(4, "d"), "\xE2\x82\xAC 5");  // the euro sign of Windows-1252
    EXPECT_EQ(table_.lookup(5, "d"),
              "\xEF\xBB\xBF"
              "mid-line mark");
}

TEST_F(LanguageFileTest, ByteOrderMarkIsNotPartOfTheFirstText)
{
    load(
        "\xEF\xBB\xBF"
        "Om\nJuridisk information\n");
    EXPECT_EQ(table_.lookup(1, "d"), "Om");
    EXPECT_EQ(table_.lookup(2, "d"), "Juridisk information");
}

TEST_F(LanguageFileTest, OverLongLineIsCutAndTheNextLineStillCounts)
{
    const size_t cap = CTextTable::kMaxLineBytes;
    load(std::string(cap + 1000, 'a') + "\nnext\n");
    EXPECT_EQ(table_.entry(1), std::string(cap, 'a'));
    EXPECT_EQ(table_.entry(2), "next");

    // Cut inside a two-byte character: the partial character goes, and the
    // rest is not mistaken for Windows-1252.
    load(std::string(cap - 1, 'a') + "\xC3\xA9" + "tail\nnext\n");
    EXPECT_EQ(table_.entry(1), std::string(cap - 1, 'a'));
    EXPECT_EQ(table_.entry(2), "next");
}

TEST_F(LanguageFileTest, LineCountIsCapped)
{
    load(std::string(CTextTable::kMaxLines + 500, '\n'));
    EXPECT_EQ(table_.size(), CTextTable::kMaxLines + 1);
    EXPECT_EQ(text(149), "OK");
}

TEST_F(LanguageFileTest, MissingFileLeavesDefaultsEvenAfterAnEarlierLoad)
{
    load(lines(149, {{149, "Ja"}}));
    EXPECT_FALSE(table_.loadLanguageFile((dir_ / "Language.ZZ").string()));
    EXPECT_EQ(table_.size(), 0u);
    EXPECT_EQ(text(149), "OK");
}

TEST_F(LanguageFileTest, SpecialIdsAlwaysGiveTheDefault)
{
    std::string full;
    for (int n = 1; n <= 300; ++n)
        full += "X\n";
    load(full);
    EXPECT_EQ(table_.lookup(0, "d0"), "d0");
    EXPECT_EQ(table_.lookup(-1, "d1"), "d1");
    EXPECT_EQ(table_.lookup(UINT_MAX, "d2"), "d2");
    EXPECT_EQ(table_.lookup(INT_MIN, "d3"), "d3");
    EXPECT_EQ(text(0), "");
    EXPECT_EQ(text(-1, "+120"), "+120");
    EXPECT_EQ(text(149), "X");
}

TEST_F(LanguageFileTest, IdsBeyondTheTableGiveTheirDefault)
{
    load(lines(10, {{10, "Flera"}}));
    EXPECT_EQ(text(11), defaultText(11));
    EXPECT_EQ(text(500), "");
    EXPECT_EQ(text(500, "fallback"), "fallback");
}

TEST_F(LanguageFileTest, ClearingTheActiveTableBringsBackDefaults)
{
    load(lines(149, {{149, "Ja"}}));
    setActiveTexts(nullptr);
    EXPECT_EQ(text(149), "OK");
}

TEST(TextDecodeTest, LineRules)
{
    const struct {
        std::string raw;
        std::string text;
    } cases[] = {
        {"a\\nb", "a\nb"},
        {"a\\rb", "a\rb"},
        {"a\\tb", "a\tb"},
        {"\\r\\n", "\r\n"},
        {"\\\\n", "\\\n"},  // backslash-n is replaced wherever it stands
        {"\\x\\", "\\x\\"},
        {"tab\r", "tab"},
        {"two\r\r", "two\r"},
        {std::string("ab\0cd", 5), "ab"},
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                                  // overlong '/': not UTF-8
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC"},                  // a surrogate: not UTF-8
        {"\xE2\x80", "\xC3\xA2\xE2\x82\xAC"},                              // cut sequence
        {"\xE0\x80\xAF", "\xC3\xA0\xE2\x82\xAC\xC2\xAF"},                  // overlong three-byte '/'
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC"},  // above U+10FFFF
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},                          // four-byte UTF-8 kept
        {"\x81\x9D", "\xC2\x81\xC2\x9D"},                                  // unassigned in Windows-1252
        {"\xE5\\t\xE4", "\xC3\xA5\t\xC3\xA4"},                             // Latin-1 line with an escape
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeLanguageLine(c.raw), c.text) << "raw " << ::testing::PrintToString(c.raw);
}

TEST(LanguageFileNameTest, NameAndPath)
{
    EXPECT_EQ(languageFileName("SE"), "Language.SE");
    EXPECT_EQ(languageFilePath("", "SE"), "Language.SE");
    // As paths: Windows joins with its own separator.
    EXPECT_EQ(fs::path(languageFilePath("/opt/cvkeys", "EN")), fs::path("/opt/cvkeys/Language.EN"));
    EXPECT_EQ(fs::path(languageFilePath("/opt/cvkeys/", "EN")), fs::path("/opt/cvkeys/Language.EN"));
}

TEST(LanguageLocaleTest, LocaleNames)
{
    const struct {
        const char* name;
        std::optional<std::string> code;
    } cases[] = {
        {"Swedish_Sweden.1252", "SE"},
        {"Swedish_Finland.1252", "SE"},
        {"English_United States.1252", "EN"},
        {"ENGLISH_UNITED KINGDOM.1252", "EN"},
        {"German_Germany.1252", std::nullopt},
        {"sv_SE.UTF-8", "SE"},
        {"sv_FI", "SE"},
        {"sv", "SE"},
        {"en_US.UTF-8", "EN"},
        {"en_GB.ISO-8859-1@euro", "EN"},
        {"de_DE.UTF-8", std::nullopt},
        {"sl_SI.UTF-8", std::nullopt},
        {"C", std::nullopt},
        {"C.UTF-8", std::nullopt},
        {"POSIX", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(languageFromLocale(c.name), c.code) << c.name;
}

// The C runtime takes the locale from the environment on POSIX systems
// only; Windows takes the user's from the system.
#ifndef _WIN32
// Sets environment variables for one test and puts back the old values and
// the C runtime locale afterwards.
class LanguageEnvTest : public ::testing::Test {
protected:
    LanguageEnvTest() : locale_(std::setlocale(LC_ALL, nullptr))
    {
        for (const char* name : {"LC_ALL", "LANG", "LC_CTYPE", "LC_MESSAGES"}) {
            const char* value = std::getenv(name);
            saved_.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
            unsetEnv(name);
        }
    }
    ~LanguageEnvTest() override
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                setEnv(name.c_str(), value->c_str());
            else
                unsetEnv(name.c_str());
        }
        std::setlocale(LC_ALL, locale_.c_str());
    }

private:
    std::string locale_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(LanguageEnvTest, CurrentLocaleNameFollowsTheEnvironment)
{
    setEnv("LC_ALL", "C");
    EXPECT_EQ(currentLocaleName(), "C");
    EXPECT_EQ(languageFromLocale(currentLocaleName()), std::nullopt);
}

TEST_F(LanguageEnvTest, MixedCategoriesGiveTheMessagesLocale)
{
    setEnv("LANG", "C");
    setEnv("LC_CTYPE", "C.UTF-8");
    const std::string name = currentLocaleName();
    EXPECT_EQ(name.find(';'), std::string::npos) << name;
    EXPECT_EQ(name, "C");
}
#endif

// Counts the writes that reach the store.
class CountingStore final : public ISettingsStore {
public:
    int32_t readInt(const std::string& s, const std::string& e, int32_t f) override
    {
        return inner.readInt(s, e, f);
    }
    std::string readText(const std::string& s, const std::string& e, const std::string& f) override
    {
        return inner.readText(s, e, f);
    }
    std::optional<std::vector<uint8_t>> readBytes(const std::string& s, const std::string& e) override
    {
        return inner.readBytes(s, e);
    }
    bool writeInt(const std::string& s, const std::string& e, int32_t v) override
    {
        ++writes;
        return inner.writeInt(s, e, v);
    }
    bool writeText(const std::string& s, const std::string& e, const std::string& v) override
    {
        ++writes;
        return inner.writeText(s, e, v);
    }
    bool writeBytes(const std::string& s, const std::string& e, const std::vector<uint8_t>& v) override
    {
        ++writes;
        return inner.writeBytes(s, e, v);
    }
    std::vector<SettingEntry> all() override { return inner.all(); }

    MemorySettingsStore inner;
    int writes = 0;
};

TEST(LanguageSettleTest, StoredCodeIsKeptWithoutDialogOrWrite)
{
    CountingStore store;
    store.inner.writeText("", "Langauge", "NO");
    int asked = 0;
    const auto ask = [&](const std::string&) {
        ++asked;
        return std::string("SE");
    };
    EXPECT_EQ(settleLanguage(store, "English_United States.1252", ask), "NO");
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(store.writes, 0);
    EXPECT_EQ(store.inner.readText("", "Langauge"), "NO");
}

TEST(LanguageSettleTest, FirstStartChoosesAndStores)
{
    const struct {
        const char* locale;
        std::string answer;  // the dialog's code; unused when the locale decides
        bool expectDialog;
        std::string code;
    } cases[] = {
        {"Swedish_Sweden.1252", "FI", false, "SE"},
        {"English_United States.1252", "SE", false, "EN"},
        {"sv_SE.UTF-8", "FI", false, "SE"},
        {"German_Germany.1252", "SE", true, "SE"},
        {"C", "DK", true, "DK"},
        {"POSIX", "", true, "EN"},  // closing the dialog without a choice
    };
    for (const auto& c : cases) {
        MemorySettingsStore store;
        std::vector<std::string> presets;
        const auto ask = [&](const std::string& preset) {
            presets.push_back(preset);
            return c.answer;
        };
        EXPECT_EQ(settleLanguage(store, c.locale, ask), c.code) << c.locale;
        EXPECT_EQ(store.readText("", "Langauge"), c.code) << c.locale;
        if (c.expectDialog)
            EXPECT_EQ(presets, std::vector<std::string>{"EN"}) << c.locale;
        else
            EXPECT_TRUE(presets.empty()) << c.locale;
    }
}

TEST(LanguageSettleTest, StoredEmptyValueCountsAsMissing)
{
    MemorySettingsStore store;
    store.writeText("", "Langauge", "");
    EXPECT_EQ(settleLanguage(store, "Swedish_Sweden.1252", nullptr), "SE");
    EXPECT_EQ(store.readText("", "Langauge"), "SE");
}

TEST(LanguageSettleTest, NoDialogOrFailingStoreStillGivesACode)
{
    MemorySettingsStore store;
    store.failWrites = true;
    EXPECT_EQ(settleLanguage(store, "German_Germany.1252", nullptr), "EN");
    EXPECT_EQ(store.readText("", "Langauge"), "");
}

}  // namespace
}  // namespace cvk
