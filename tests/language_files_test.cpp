// The language files as translators and the program meet them: the
// template from cvkeys-cli texts reads back to every built-in text, the
// shipped Swedish file matches the template line for line, and the program
// finds a language file in the right folder first.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/corvane_app.h"
#include "cli_run.h"
#include "platform/memory_settings_store.h"
#include "temp_dir.h"
#include "texts/text_table.h"
#include "texts/texts.h"
#include "texts/utf.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> splitLines(const std::string& file)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < file.size()) {
        const size_t end = file.find('\n', start);
        lines.push_back(file.substr(start, end - start));
        start = end == std::string::npos ? file.size() : end + 1;
    }
    return lines;
}

int highestId() { return defaultTextTable().back().id; }

TEST(LanguageTemplate, ReadsBackToEveryBuiltInText)
{
    const CliResult r = cli({"texts"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, languageTemplate());
    const TempDir dir("template");
    putFile(dir / "Language.XX", r.out);

    CTextTable table;
    ASSERT_TRUE(table.loadLanguageFile((dir / "Language.XX").string()));
    ASSERT_EQ(table.size(), static_cast<size_t>(highestId()) + 1);
    for (int id = 1; id <= highestId(); ++id) {
        const char* d = defaultText(id);
        EXPECT_EQ(table.entry(static_cast<size_t>(id)), d ? d : "") << "text " << id;
    }
}

TEST(LanguageTemplate, LineNIsTextN)
{
    const std::vector<std::string> lines = splitLines(languageTemplate());
    ASSERT_EQ(lines.size(), static_cast<size_t>(highestId()));
    const struct {
        int id;
        const char* line;
    } kCases[] = {
        {1, ""},
        {2, "About CV Keys"},
        {22, "Auto Scroll /\u201DMiddle Button\u201D"},
        {48, ""},
        {78, "Undo\\tCtrl+Z"},
        {149, "OK"},
        {152, "&Help"},
        {162, ""},
        {212, "ClickLock"},
        {213, ""},
        {232, "Zooma in\\tCtrl+hjul up"},
        {238, "Alternate method"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(lines.at(static_cast<size_t>(c.id - 1)), c.line) << "line " << c.id;
}

TEST(LanguageLineEncoding, ControlCharactersAndBackslashesReadBack)
{
    for (const std::string text : {
             "two\nlines",
             "a\r\nb",
             "Name\tCtrl+N",
             "ends with a break\n",
             "\r",
             "C:\\Program Files",
             "trailing backslash \\",
             "backslash then break \\\nx",
             "backslash then tab \\\t",
             "\\\\ two backslashes",
             "\n\t\r in a row",
         }) {
        const std::string line = encodeLanguageLine(text);
        EXPECT_EQ(line.find_first_of("\n\r\t"), std::string::npos) << line;
        EXPECT_EQ(decodeLanguageLine(line), text) << line;
    }
}

TEST(LanguageLineEncoding, ABackslashBeforeNIsALineBreakInAFile)
{
    // The file format has no escape for a backslash, so this one text
    // cannot be written; no built-in text holds it.
    EXPECT_EQ(decodeLanguageLine(encodeLanguageLine("C:\\new")), "C:\new");
    for (const TextRecord& r : defaultTextTable())
        EXPECT_EQ(std::regex_search(r.text, std::regex(R"(\\[nrt])")), false) << "text " << r.id;
}

// ---------------------------------------------------------------- Swedish

const fs::path kShippedDir = fs::path(CVK_SOURCE_DIR) / "res" / "languages";

// What a translation keeps of its line: placeholders, markup, escapes, the
// menu mnemonic, numbers, names and key combinations. A line moved up or
// down loses its match here.
std::multiset<std::string> keptTokens(const std::string& line)
{
    static const std::regex kToken(
        R"(%[0-9]+|%[-+ #0-9.]*[sdiuxXcfgl]|<[^>]*>|\\[nrt]|&|[0-9]+|CV Keys|Corvane|USB|DPI|Windows|)"
        R"((?:Ctrl|Alt|Start)[+-][A-Za-z0-9]+)");
    std::multiset<std::string> tokens;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), kToken); it != std::sregex_iterator(); ++it)
        tokens.insert(it->str());
    return tokens;
}

TEST(SwedishTranslation, MatchesTheTemplateLineForLine)
{
    const std::string file = fileBytes(kShippedDir / "Language.SE");
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(utf8FromUtf16(utf16FromUtf8(file)), file) << "not valid UTF-8";
    EXPECT_EQ(file.find('\r'), std::string::npos);
    EXPECT_FALSE(file.starts_with("\xEF\xBB\xBF"));
    ASSERT_TRUE(file.ends_with('\n'));

    const std::vector<std::string> english = splitLines(languageTemplate());
    const std::vector<std::string> swedish = splitLines(file);
    ASSERT_EQ(swedish.size(), english.size());
    for (size_t i = 0; i < english.size(); ++i) {
        const int id = static_cast<int>(i + 1);
        EXPECT_EQ(swedish[i].empty(), english[i].empty()) << "line " << id << ": " << swedish[i];
        EXPECT_EQ(keptTokens(swedish[i]), keptTokens(english[i])) << "line " << id << ": " << swedish[i];
        EXPECT_FALSE(swedish[i].starts_with(' ') || swedish[i].ends_with(' ')) << "line " << id;
    }
}

TEST(SwedishTranslation, TokenCheckCatchesAShiftedLine)
{
    // Lines 90 to 102 are "Function Keys", "F1" ... "F12".
    const std::vector<std::string> english = splitLines(languageTemplate());
    EXPECT_NE(keptTokens("F2"), keptTokens(english.at(90)));
    EXPECT_NE(keptTokens("Klipp ut\\tCtrl+X"), keptTokens(english.at(80)));
    EXPECT_NE(keptTokens("Hjälp"), keptTokens(english.at(151)));
}

TEST(SwedishTranslation, TheToolShowsIt)
{
    const CliResult r = cli({"--settings", ":memory:", "--language", "SE", "--language-dir",
                             kShippedDir.string(), "text 150", "text 152", "text 78"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "Avbryt\n&Hjälp\nÅngra\tCtrl+Z\n");
}

// ---------------------------------------------------------------- lookup

// Four folders under the test's own home: the current directory for the
// test, a --language-dir folder and two shipped folders. Each file says
// where it lies in text 2.
class LanguageLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* home = std::getenv("HOME");
        ASSERT_NE(home, nullptr);
        root_ = fs::path(home) / "lookup";
        for (const char* name : {"cwd", "given", "build", "installed"})
            fs::create_directories(root_ / name);
        saved_ = fs::current_path();
        fs::current_path(root_ / "cwd");
    }
    void TearDown() override { fs::current_path(saved_); }

    void place(const std::string& folder)
    {
        putFile(root_ / folder / "Language.XX", "\nfrom " + folder + "\n");
    }

    StartOptions options(const std::string& given = "") const
    {
        StartOptions o;
        o.language = "XX";
        o.languageDir = given.empty() ? "" : (root_ / given).string();
        o.shippedLanguageDirs =
            std::vector<std::string>{(root_ / "build").string(), (root_ / "installed").string()};
        return o;
    }

    // Text 2 after a start-up.
    std::string startAndRead(const StartOptions& o)
    {
        MemorySettingsStore store;
        CCorvaneApp app;
        app.startUp(store, o, nullptr);
        return text(2);
    }

    fs::path root_;
    fs::path saved_;
};

TEST_F(LanguageLookup, FirstFolderHoldingTheFileWins)
{
    const struct {
        std::vector<std::string> holding;
        std::string given;
        std::string expected;
    } kCases[] = {
        {{"cwd", "build", "installed"}, "", "from cwd"},
        {{"build", "installed"}, "", "from build"},
        {{"installed"}, "", "from installed"},
        {{}, "", "About CV Keys"},
        {{"given", "cwd", "build", "installed"}, "given", "from given"},
        // A named folder is the only one: nothing else stands in for it.
        {{"cwd", "build", "installed"}, "given", "About CV Keys"},
    };
    for (const auto& c : kCases) {
        for (const char* name : {"cwd", "given", "build", "installed"})
            fs::remove(root_ / name / "Language.XX");
        for (const std::string& folder : c.holding)
            place(folder);
        EXPECT_EQ(startAndRead(options(c.given)), c.expected)
            << "files in " << c.holding.size() << " folders, given '" << c.given << "'";
    }
}

TEST_F(LanguageLookup, AnUnreadableFileDoesNotHideTheNextOne)
{
    fs::create_directories(root_ / "cwd" / "Language.XX");  // a folder of that name
    place("installed");
    MemorySettingsStore store;
    CCorvaneApp app;
    app.startUp(store, options(), nullptr);
    EXPECT_EQ(text(2), "from installed");
    EXPECT_TRUE(app.languageFileLoaded());
    EXPECT_EQ(app.languageFile(), (root_ / "installed" / "Language.XX").string());
}

TEST_F(LanguageLookup, AnUninstalledBuildFindsTheShippedSwedish)
{
    StartOptions o;
    o.language = "SE";
    MemorySettingsStore store;
    CCorvaneApp app;
    app.startUp(store, o, nullptr);
    EXPECT_EQ(text(150), "Avbryt");
    EXPECT_EQ(fs::path(app.languageFile()), kShippedDir / "Language.SE");

    // A file in the current directory still comes first.
    putFile(root_ / "cwd" / "Language.SE", std::string(150, '\n') + "Nej\n");
    CCorvaneApp second;
    second.startUp(store, o, nullptr);
    EXPECT_EQ(text(151), "Nej");
    EXPECT_EQ(text(150), "Cancel");
}

// The installed folder is the Linux package's.
#ifndef _WIN32
TEST(ShippedLanguageDirs, SourceTreeThenInstalledFolder)
{
    const std::vector<std::string> dirs = shippedLanguageDirs();
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(fs::path(dirs[0]), kShippedDir);
    EXPECT_TRUE(fs::path(dirs[1]).is_absolute());
    EXPECT_TRUE(dirs[1].ends_with("/cvkeys/languages")) << dirs[1];
}
#endif

}  // namespace
}  // namespace cvk
