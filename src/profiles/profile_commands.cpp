// The profile row of the window and the notification-area menu: selecting,
// creating, renaming and deleting profiles, and finding the profile that
// equals what the device holds.

#include <algorithm>
#include <cctype>

#include "app/main_controller.h"
#include "config/catalogue.h"
#include "device/live_edits.h"
#include "device/reports.h"
#include "texts/texts.h"

namespace cvk {

namespace {

constexpr int kTrayProfileLimit = 98;

bool lessIgnoringCase(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

bool startsWithIgnoringCase(const std::string& text, const std::string& prefix)
{
    if (prefix.size() > text.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Signature texts compare ignoring the case of A..Z only.
bool sameTextIgnoringAsciiCase(const std::array<char16_t, 512>& a, const std::array<char16_t, 512>& b)
{
    auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
        if (a[i] == 0)
            return true;
    }
    return true;
}

bool hasTextAreas(int model) { return model == kModelCindel || model == kModelBrill; }

std::string activeTip(const std::string& name) { return text(64) + ":\r\n" + std::string(31, ' ') + name; }

}  // namespace

int CMainController::desktopWidthPx() { return desktopWidth(system_.monitors()); }

void CMainController::loadProfiles()
{
    const DeviceState& s = link.state;
    loadAllProfiles(store_, profiles, s.modelCode, s.firmwareVersion, desktopWidthPx(), config);
    activeProfile = nullptr;
    rebuildMenu(false);
}

void CMainController::saveProfiles()
{
    saveAllProfiles(store_, profiles, activeProfile, link.state.modelCode, config);
    profilesChanged = false;
    editFlag = false;
}

void CMainController::rebuildMenu(bool keepSelector)
{
    if (!keepSelector) {
        selector.clear();
        selectorCurrent = -1;
        for (const CProfileClass& p : profiles)
            selector.push_back({p.name, &p});
        std::stable_sort(selector.begin(), selector.end(),
                         [](const SelectorLine& a, const SelectorLine& b) { return lessIgnoringCase(a.name, b.name); });
    }
    trayMenu.clear();
    int n = 0;
    for (const CProfileClass& p : profiles) {
        if (n >= kTrayProfileLimit)
            break;
        trayMenu.push_back({kCmdTrayProfileFirst + n, p.name, &p == activeProfile, false});
        ++n;
    }
    trayMenu.push_back({0, "", false, false});
    trayMenu.push_back({kCmdTrayOpen, text(60), false, true});
    trayMenu.push_back({kCmdAbout, text(2), false, false});
    trayMenu.push_back({kCmdTrayExit, text(61), false, false});
    enableControl(kCtlDeleteProfile, activeProfile != nullptr);
    enableControl(kCtlRenameProfile, activeProfile != nullptr);
    view_.profilesChanged();
}

void CMainController::selectLine(int line)
{
    selectorCurrent = line >= 0 && line < static_cast<int>(selector.size()) ? line : -1;
    selectionChanged();
}

void CMainController::selectionChanged()
{
    const DeviceState& s = link.state;
    if (selectorCurrent < 0 || selectorCurrent >= static_cast<int>(selector.size())) {
        activeProfile = nullptr;
        setTrayTip(text(65));
    } else {
        activeProfile = selector[selectorCurrent].profile;
        auto node = findProfile(profiles, activeProfile);
        if (node == profiles.end()) {
            activeProfile = nullptr;
            setTrayTip(text(65));
        } else {
            CProfileClass& profile = *node;
            std::copy(profile.configuration.begin(), profile.configuration.end(), config.block.begin());
            if (s.commandFamily()) {
                cursorSpeedCommand(link, config.block[kPosCursorSpeed]);
                if (hasTextAreas(s.modelCode))
                    config.textPending = config.signatureText != profile.signatureText;
                config.signatureText = profile.signatureText;
                std::copy_n(profile.signature.begin(), 256, config.strokeUsages.begin());
                std::copy_n(profile.signature.begin() + 256, 256, config.strokeModifiers.begin());
            } else if (s.firmwareVersion >= 0x31A) {
                cursorSpeedCommand(link, config.block[kPosCursorSpeed] & 0x0F);
            }
            profile.listSlot = selectorCurrent;
        }
    }
    int n = 0;
    for (TrayMenuItem& item : trayMenu) {
        if (item.command >= kCmdTrayProfileFirst && item.command < kCmdTrayProfileFirst + kTrayProfileLimit)
            item.checked = profileAt(profiles, n++) == activeProfile;
    }
    if (activeProfile)
        setTrayTip(activeTip(activeProfile->name));
    enableControl(kCtlDeleteProfile, activeProfile != nullptr);
    enableControl(kCtlRenameProfile, activeProfile != nullptr);
    fadeLevel = 10;
    view_.profilesChanged();
    view_.repaint();
}

void CMainController::newProfile()
{
    const std::optional<std::string> name = view_.askProfileName("");
    if (!name || name->empty())
        return;
    CProfileClass record;
    record.name = *name;
    record.modified = true;
    copyWorkingInto(record, config);
    profiles.push_back(record);
    const ProfileHandle added = &profiles.back();
    // The sorted selector takes the new line at its place.
    SelectorLine line{record.name, added};
    auto at = std::upper_bound(selector.begin(), selector.end(), line,
                               [](const SelectorLine& a, const SelectorLine& b) { return lessIgnoringCase(a.name, b.name); });
    const auto inserted = selector.insert(at, line);
    selectorCurrent = static_cast<int>(inserted - selector.begin());
    rebuildMenu(true);
    selectionChanged();
}

void CMainController::renameProfile()
{
    if (!activeProfile)
        return;
    auto node = findProfile(profiles, activeProfile);
    if (node == profiles.end())
        return;
    const std::optional<std::string> name = view_.askProfileName(node->name);
    if (!name || name->empty())
        return;
    node->name = *name;
    node->modified = true;
    rebuildMenu(false);
    int line = -1;
    for (size_t i = 0; i < selector.size() && line < 0; ++i)
        if (startsWithIgnoringCase(selector[i].name, *name))
            line = static_cast<int>(i);
    selectLine(line);
}

void CMainController::deleteProfile()
{
    if (!activeProfile || selectorCurrent < 0)
        return;
    if (view_.messageBox("CV Keys", text(63), MessageStyle::YesNoQuestion) != MessageAnswer::Yes)
        return;
    auto node = findProfile(profiles, activeProfile);
    if (node != profiles.end())
        profiles.erase(node);
    activeProfile = nullptr;
    profilesChanged = true;
    saveProfiles();
    rebuildMenu(false);
    selectionChanged();
}

void CMainController::selectProfileByMenu(int n)
{
    const ProfileHandle wanted = profileAt(profiles, n);
    if (!wanted)
        return;
    for (size_t i = 0; i < selector.size(); ++i) {
        if (selector[i].profile == wanted) {
            selectLine(static_cast<int>(i));
            break;
        }
    }
    view_.postCommand(kCmdApply);
}

bool CMainController::selectProfileByName(const std::string& name)
{
    int line = -1;
    for (size_t i = 0; i < selector.size() && line < 0; ++i)
        if (selector[i].name == name)
            line = static_cast<int>(i);
    for (size_t i = 0; i < selector.size() && line < 0; ++i)
        if (startsWithIgnoringCase(selector[i].name, name))
            line = static_cast<int>(i);
    if (line < 0)
        return false;
    selectLine(line);
    return true;
}

bool CMainController::findMatchingProfile()
{
    const DeviceState& s = link.state;
    const int n = std::min(config.exchangedLength, kProfileConfigSize);
    for (const CProfileClass& p : profiles) {
        if (!std::equal(config.block.begin(), config.block.begin() + n, p.configuration.begin()))
            continue;
        if (hasTextAreas(s.modelCode) && !sameTextIgnoringAsciiCase(p.signatureText, config.signatureText))
            continue;
        for (size_t i = 0; i < selector.size(); ++i)
            if (selector[i].profile == &p) {
                selectLine(static_cast<int>(i));
                break;
            }
        break;
    }
    if (s.deviceCount == 1 && s.firmwareVersion < 0x31A && s.modelCode <= kModelEssom &&
        config.block[kPosResolutionMode] < 3) {
        const int width = desktopWidthPx();
        const uint8_t mode = config.block[kPosResolutionMode];
        if (mode != 1 && width < 1280) {
            setByte(link, config, kPosResolutionMode, 1);
            return true;
        }
        if (mode != 2 && width >= 1280) {
            setByte(link, config, kPosResolutionMode, 2);
            return true;
        }
    }
    if (s.modelCode > kModelDorrin) {
        for (const SnippetPreset& preset : kSnippetPresets) {
            if (std::equal(preset.strokes.begin(), preset.strokes.end(), config.block.begin() + kPosSnippetStrokes)) {
                config.snippetText.fill(0);
                for (size_t i = 0; preset.text[i] && i < config.snippetText.size(); ++i)
                    config.snippetText[i] = static_cast<char16_t>(static_cast<unsigned char>(preset.text[i]));
                break;
            }
        }
    }
    return false;
}

}  // namespace cvk
