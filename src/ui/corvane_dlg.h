#pragma once
// The main window: it draws what the core reports and forwards the user's
// actions; every rule lives in the core (CMainController).

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/main_controller.h"
#include "config/catalogue.h"
#include "platform/linux/desktop_mouse.h"
#include "platform/system_settings.h"
#include "ui/function_menu.h"
#include "ui/picture_view.h"

class QComboBox;
class QGroupBox;
class QMenu;
class QPushButton;
class QSocketNotifier;
class QSystemTrayIcon;

namespace cvk {
class CCorvaneApp;
class IHotplugMonitor;
class IKeyboardLayout;
}  // namespace cvk

// The desktop's settings: the mouse's from the desktop's own settings
// (DesktopMouseSettings), the monitors from Qt. Where the desktop keeps no
// wheel-lines setting, Qt's value applies until one is set.
class QtSystemSettings final : public cvk::ISystemSettings {
public:
    explicit QtSystemSettings(cvk::DesktopMouseSources sources) : mouse_(std::move(sources)) {}
    int wheelScrollLines() override;
    void setWheelScrollLines(int lines) override;
    bool buttonsSwapped() override { return mouse_.buttonsSwapped().swapped; }
    std::vector<cvk::MonitorRect> monitors() override;

private:
    cvk::DesktopMouseSettings mouse_;
};

namespace cvk::service {
class CFirmwareService;
}

struct DlgPorts {
    cvk::IHidBus& bus;
    cvk::IClock& clock;
    cvk::ISettingsStore& store;
    cvk::CCorvaneApp& app;
    cvk::IKeyboardLayout* layout = nullptr;
    // Device arrivals and removals; null where nothing reports them.
    cvk::IHotplugMonitor* hotplug = nullptr;
    // Nobody is there to answer (a screenshot run): messages go to the
    // standard error and questions take their safe answer, No.
    bool unattended = false;
    // What About's "Update firmware..." runs; null hides the button.
    cvk::service::CFirmwareService* firmware = nullptr;
    // Where the desktop's mouse settings are read; null: this session's.
    const cvk::DesktopMouseSources* desktopMouse = nullptr;
};

class CCorvaneDlg final : public QWidget, public cvk::IViewPort, public PictureHost {
public:
    explicit CCorvaneDlg(const DlgPorts& ports);
    ~CCorvaneDlg() override;

    // What the window does once it is shown: the configuration read and the
    // device scan, then the timers and the hotplug watch.
    void start();
    // A later start of the program asks for the window.
    void bringToFront();
    // The window ended asking for a new copy of the program (language change).
    bool restartRequested() const { return restartRequested_; }
    // As if the language dialog had returned `code`: a different language
    // ends the window for a new copy of the program.
    void changeLanguageTo(const std::string& code);

    // --- view port ---
    void postCommand(int command) override;
    void beep(int frequency, int durationMs) override;
    cvk::MessageAnswer messageBox(const std::string& caption, const std::string& text,
                                  cvk::MessageStyle style) override;
    void setTitle(const std::string& text) override;
    void setTrayTip(const std::string& text) override;
    void setTrayIcon(int iconId) override;
    void enableControl(int control, bool on) override;
    void showControl(int control, bool on) override;
    void showWindow() override;
    void closeWindow() override;
    void repaint() override { refreshView(); }
    void profilesChanged() override;
    void drawBusyPicture() override;
    void drawWakeFrame(int frame) override;
    void drawWakePrompt(const std::string& text, bool bright) override;
    cvk::PumpResult pump() override;
    void waitCursor(bool on) override;
    void flash() override;
    void messageBeep() override;
    std::optional<std::u16string> askSignature(const std::u16string& current) override;
    std::optional<uint16_t> askKeyCombination(uint16_t current) override;
    std::optional<std::string> askProfileName(const std::string& current) override;
    std::string askLanguage(const std::string& preset) override;

    // --- picture host ---
    const cvk::CMainController& controller() const override { return controller_; }
    void change(const std::function<void(cvk::CMainController&)>& action) override;
    void openButtonMenu(int button, const QPoint& globalPos) override;
    void openWebSite() override;
    std::string keyText(uint16_t word) const override;
    bool menuOpen() const override { return openMenu_ != nullptr; }

    PictureView* pictureView() const { return picture_; }
    // The function menu open now, or null.
    FunctionMenu* functionMenu() const { return openMenu_; }
    void openAbout();
    // The profile row's context menu: the window's list to a profile file,
    // and a profile file into the settings.
    void exportProfiles();
    void importProfiles();
    // Where the file dialogs' answers come from; replaceable in tests. An
    // empty name cancels.
    std::function<QString()> chooseProfileFileToSave;
    std::function<QString()> chooseProfileFileToOpen;
    void openHelp();
    // One of the window's dialogs, built as it would open for `button` but
    // not run (screenshots): keyboard, signature, about, language,
    // profile-name, and firmware (an update held half-way through
    // programming); null for a name it does not know.
    std::unique_ptr<QDialog> createDialog(const QString& name, int button);
    // How often the maker's web site was asked for.
    int webSiteOpened() const { return webSiteOpened_; }
    // How often the About box was asked for.
    int aboutOpened() const { return aboutOpened_; }
    // The manual Help opened last (empty before).
    const QString& lastHelp() const { return lastHelp_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QPushButton* addCommandButton(QWidget* parent, const QString& text, int command);
    void dispatch(int command);
    void refreshView();
    QWidget* addLink(class QHBoxLayout* row, const QString& text, int control);
    void selectorActivated(int line);
    void changeLanguage();
    void endWindow();

    // Notification area.
    bool hideToTray();
    void restoreFromTray();
    void rebuildTrayMenu();

    // Device changes.
    void hotplugReadable();
    void armDeviceChangeTimer();

    QtSystemSettings system_;
    cvk::ISettingsStore& store_;
    cvk::IClock& clock_;
    cvk::CCorvaneApp& app_;
    cvk::IKeyboardLayout* layout_;
    cvk::IHotplugMonitor* hotplug_;
    bool unattended_;
    cvk::service::CFirmwareService* firmware_ = nullptr;
    cvk::CMainController controller_;

    QGroupBox* profileBox_ = nullptr;
    QComboBox* selector_ = nullptr;
    PictureView* picture_ = nullptr;
    FunctionMenu* openMenu_ = nullptr;
    std::map<int, QWidget*> controls_;  // by control id

    QSystemTrayIcon* tray_ = nullptr;
    QMenu* trayMenu_ = nullptr;

    QTimer tickTimer_;
    QTimer deviceChangeTimer_;
    QSocketNotifier* hotplugNotifier_ = nullptr;

    uint64_t arrivals_ = 0;  // commands and device changes handled so far
    bool waitCursor_ = false;
    bool ending_ = false;
    bool restartRequested_ = false;
    int webSiteOpened_ = 0;
    QString lastHelp_;
    int aboutOpened_ = 0;
};
