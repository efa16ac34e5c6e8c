#pragma once
// What the core asks of the main window. The Qt window implements it by
// drawing; cvkeys-cli prints it as text and keeps it for `show state`.

#include <cstdint>
#include <optional>
#include <string>

#include "device/device_view.h"

namespace cvk {

enum class MessageStyle { Information, Warning, Error, YesNoQuestion, YesNoStop };
enum class MessageAnswer { Ok, Yes, No };
inline bool isQuestion(MessageStyle s)
{
    return s == MessageStyle::YesNoQuestion || s == MessageStyle::YesNoStop;
}

// Control ids the core enables, fills or hides.
enum ControlId : int {
    kCtlOk = 1,
    kCtlSettingsSwitch = 3,
    kCtlDevicePath = 1009,
    kCtlApply = 1010,
    kCtlAboutLink = 1023,
    kCtlLanguageLink = 1024,
    kCtlProfileBox = 1033,
    kCtlProfileLabel = 1034,
    kCtlProfileSelector = 1029,
    kCtlNewProfile = 1030,
    kCtlDeleteProfile = 1031,
    kCtlRenameProfile = 1032,
    kCtlHelp = 57670,
    kCtlRestoreDefaults = 57671,
    // 2000..2006: the pointer-setting controls, each only where it exists.
    kCtlPointerSettingFirst = 2000,
};

inline constexpr int kIconNoDevice = 164;
inline constexpr int kIconNormal = 0;

class IViewPort : public IDeviceEvents, public ITransferView {
public:
    // The defaults let the device link be driven by a bare view (tests).
    virtual MessageAnswer messageBox(const std::string& caption, const std::string& text, MessageStyle style)
    {
        (void)caption;
        (void)text;
        return isQuestion(style) ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    virtual void setTitle(const std::string&) {}
    virtual void setControlText(int /*control*/, const std::string&) {}
    virtual void setTrayTip(const std::string&) {}
    virtual void setTrayIcon(int /*iconId*/) {}
    virtual void enableControl(int /*control*/, bool) {}
    virtual void showControl(int /*control*/, bool) {}
    virtual void showWindow() {}
    virtual void closeWindow() {}
    // The profile selector or the notification-area menu changed.
    virtual void profilesChanged() {}
    virtual void flash() {}
    virtual void messageBeep() {}

    // Modal dialogs: nullopt when the user cancelled.
    // The keyboard-shortcut dialog, preselected from the current key word.
    virtual std::optional<uint16_t> askKeyCombination(uint16_t /*current*/) { return std::nullopt; }
    // The signature dialog with the current text (UTF-16).
    virtual std::optional<std::u16string> askSignature(const std::u16string& /*current*/)
    {
        return std::nullopt;
    }
    // The profile name dialog ("New Profile" when current is empty).
    virtual std::optional<std::string> askProfileName(const std::string& /*current*/) { return std::nullopt; }
    // The language dialog, preset to `preset`; returns the chosen code.
    virtual std::string askLanguage(const std::string& preset) { return preset; }
};

}  // namespace cvk
