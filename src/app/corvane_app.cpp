#include "app/corvane_app.h"

#include "app/first_run.h"
#include "platform/settings_store.h"

namespace cvk {

void CCorvaneApp::startUp(ISettingsStore& store, const StartOptions& options,
                          const std::function<std::string(const std::string&)>& askLanguage)
{
    writeFirstRunDefaults(store);
    if (options.language && validLanguageCode(*options.language)) {
        language_ = *options.language;
    } else {
        const std::string locale = options.localeName ? *options.localeName : currentLocaleName();
        language_ = settleLanguage(store, locale, askLanguage);
    }
    texts_.clear();
    loaded_ = false;
    languageFile_.clear();
    // A file that cannot be read (a folder of that name, a damaged file)
    // does not hide a good one further down the list.
    for (const std::string& dir : languageSearchDirs(options)) {
        const std::string path = languageFilePath(dir, language_);
        if (texts_.loadLanguageFile(path)) {
            loaded_ = true;
            languageFile_ = path;
            break;
        }
    }
    setActiveTexts(&texts_);
}

std::vector<std::string> shippedLanguageDirs()
{
    return {CVK_BUILD_LANGUAGE_DIR, CVK_INSTALLED_LANGUAGE_DIR};
}

std::vector<std::string> languageSearchDirs(const StartOptions& options)
{
    if (!options.languageDir.empty())
        return {options.languageDir};
    std::vector<std::string> dirs{""};
    const std::vector<std::string> shipped =
        options.shippedLanguageDirs ? *options.shippedLanguageDirs : shippedLanguageDirs();
    for (const std::string& dir : shipped)
        if (!dir.empty())  // "" would be the current directory again
            dirs.push_back(dir);
    return dirs;
}

bool CCorvaneApp::changeLanguage(ISettingsStore& store, const std::string& chosen)
{
    if (!validLanguageCode(chosen) || chosen == language_)
        return false;
    store.writeText(kLanguageSection, kLanguageEntry, chosen);
    return true;
}

CCorvaneApp::~CCorvaneApp()
{
    if (activeTexts() == &texts_)
        setActiveTexts(nullptr);
}

}  // namespace cvk
