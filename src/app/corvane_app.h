#pragma once
// The application object's start-up, without the window: first-run default
// profiles, the interface language and the text table. The Qt main function
// and cvkeys-cli both run it before the window (or its text form) exists.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "texts/text_table.h"

namespace cvk {

class ISettingsStore;

// The window asks for a restart with this result (after a language change).
inline constexpr int kRestartResult = 6;

// The fixed instance name shared by every copy of the program.
inline constexpr const char* kInstanceName = "{6F1C2B7A-3D4E-4A5B-9C8D-1E2F3A4B5C6D}";

struct StartOptions {
    // Use this language instead of the stored one (not stored).
    std::optional<std::string> language;
    // The only folder "Language.<code>" is read from; empty: the current
    // directory, then the shipped folders.
    std::string languageDir;
    // The shipped folders tried after the current directory; nullopt:
    // shippedLanguageDirs().
    std::optional<std::vector<std::string>> shippedLanguageDirs;
    // The C runtime locale name; empty: the process's own.
    std::optional<std::string> localeName;
};

// Where the program's own language files are: the source tree's
// res/languages, so that a build runs translated before it is installed,
// then the installed data folder.
std::vector<std::string> shippedLanguageDirs();

// The folders "Language.<code>" is looked for in, first match wins ("" is
// the current directory): the given folder alone, else the current
// directory followed by the shipped folders.
std::vector<std::string> languageSearchDirs(const StartOptions& options);

class CCorvaneApp {
public:
    // Writes the first-run defaults, settles the language and loads its
    // text file, and makes the table the one every text comes from.
    void startUp(ISettingsStore& store, const StartOptions& options,
                 const std::function<std::string(const std::string&)>& askLanguage);
    // After the language dialog: stores a different code and reports that
    // the program must restart for it to take effect.
    bool changeLanguage(ISettingsStore& store, const std::string& chosen);

    ~CCorvaneApp();

    const std::string& language() const { return language_; }
    const CTextTable& texts() const { return texts_; }
    bool languageFileLoaded() const { return loaded_; }
    // The language file the texts came from; empty when none was found.
    const std::string& languageFile() const { return languageFile_; }

private:
    std::string language_;
    CTextTable texts_;
    bool loaded_ = false;
    std::string languageFile_;
};

}  // namespace cvk
