#pragma once
// The interface texts: the built-in English default of every text id, the
// translations read from a language file ("Language." + code, one text per
// line, line N = text N), and the choice of the language at start-up.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace cvk {

class ISettingsStore;

// Marks a text that is never translated (all bits set).
inline constexpr int kUntranslatedText = -1;

// Settings entry of the language code, directly under the application key.
// The spelling is the stored name and must stay as it is.
inline constexpr const char* kLanguageSection = "";
inline constexpr const char* kLanguageEntry = "Langauge";
inline constexpr const char* kDefaultLanguage = "EN";

struct TextRecord {
    int id;
    const char* text;  // UTF-8
};

// Every built-in text, ascending by id, one row per id. An id that stands
// for two texts holds the first; the other call site passes its own default.
std::span<const TextRecord> defaultTextTable();
// The built-in default of `id`, or nullptr when the id has no row.
const char* defaultText(int id);

class CTextTable {
public:
    // A longer line is cut there (at a character boundary), so a broken
    // file cannot make one text swallow the memory.
    static constexpr size_t kMaxLineBytes = 64 * 1024;
    // Lines past this are not read at all: the highest id is far below it,
    // and a file of nothing but newlines must not grow the table unbounded.
    // Lines between the highest id and the cap are kept and never looked up.
    static constexpr size_t kMaxLines = 1024;
    // A language file is a few kilobytes; a bigger one is not a language file.
    static constexpr uintmax_t kMaxFileBytes = 1024 * 1024;

    // Empties the table, then fills it from the file: line 1 is text 1. False
    // when the file cannot be read: not a regular file (a folder, a FIFO, a
    // device), larger than kMaxFileBytes, unopenable or failing mid-read; the
    // table then stays empty, so every text is its default.
    bool loadLanguageFile(const std::string& path);
    // The same from text already in memory.
    void loadLanguageText(std::string_view content);
    void clear();

    // The translation of `id` when the file gave a non-empty line for it,
    // else `fallback`. Id 0 and the untranslated id never have a translation.
    // Ids come as int (-1 untranslated) or as an unsigned 32-bit value (all
    // bits set untranslated); the wide parameter takes both unambiguously.
    std::string lookup(int64_t id, std::string_view fallback) const;
    // With the built-in default ("" for an id without one).
    std::string lookup(int64_t id) const;
    // True when `id` has a non-empty translation.
    bool translated(int64_t id) const;

    // Index 0 is unused; size() counts it.
    size_t size() const { return entries_.size(); }
    const std::string& entry(size_t index) const { return entries_.at(index); }

private:
    // Adds the next line of a file (not yet decoded) as the next text.
    void appendLine(std::string_view raw);
    void readLanguageStream(std::streambuf& in);
    bool full() const;
    const std::string* find(int64_t id) const;

    std::vector<std::string> entries_;
};

// One raw line of a language file made into its text: a trailing CR is
// dropped, bytes that are not UTF-8 are read as Windows-1252, and the
// escapes backslash-n, backslash-r, backslash-t become LF, CR and TAB.
std::string decodeLanguageLine(std::string_view raw);

// A text as one line of a language file: line feed, carriage return and tab
// become backslash-n, -r and -t. A backslash stays as it is: the file format
// has no escape for it, so a text holding a backslash followed by n, r or t
// would read back differently (no built-in text does).
std::string encodeLanguageLine(std::string_view text);

// A language file holding every built-in English text: line N is text N,
// lines 1 to the highest id, an empty line where a number has no text. The
// starting point of a translation.
std::string languageTemplate();

// The table that text() reads; the application object owns it and keeps it
// alive while set. nullptr: defaults only.
void setActiveTexts(const CTextTable* table);
const CTextTable* activeTexts();

// "Language." + code, and that name inside `dir` ("" = current directory).
std::string languageFileName(const std::string& code);
std::string languageFilePath(const std::string& dir, const std::string& code);

// The language a C runtime locale name implies: "SE" for Swedish, "EN" for
// English, nullopt when the user has to choose. Windows names
// ("Swedish_Sweden.1252", "English_United States.1252") are matched by the
// words "sweden", "swedish" and "english"; their Linux counterparts
// ("sv_SE.UTF-8", "en_GB") by the language part "sv" or "en".
std::optional<std::string> languageFromLocale(std::string_view localeName);

// Sets the C runtime locale to the user's default (as start-up does) and
// returns its name. Where the categories differ, the messages category
// names the language.
std::string currentLocaleName();

// A language code is one to eight letters ("EN", "SE"); it names a file.
bool validLanguageCode(std::string_view code);

// Start-up choice of the language: the stored code when there is one;
// otherwise the locale's language, or else the user's answer to
// askLanguage(preset "EN") (an empty answer or no dialog gives "EN"); a
// newly chosen code is stored. Returns the code.
std::string settleLanguage(ISettingsStore& store, std::string_view localeName,
                           const std::function<std::string(const std::string&)>& askLanguage);

}  // namespace cvk
