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
    loaded_ = texts_.loadLanguageFile(languageFilePath(options.languageDir, language_));
    setActiveTexts(&texts_);
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
