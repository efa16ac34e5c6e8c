#pragma once
// The About box: the program's version and link, the connected device's
// identification and the monitors' resolutions on one tab, the legal notice
// on the other.

#include <QDialog>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "app/about_texts.h"
#include "platform/system_settings.h"
#include "service/firmware_update.h"

class QPlainTextEdit;
class QPushButton;
class QTabWidget;

namespace cvk {
struct DeviceState;
struct WindowState;
}  // namespace cvk

struct AboutFacts {
    std::string hardwareVersion;
    std::string firmwareText;
    std::string serialText;
    std::vector<cvk::AboutMonitor> monitors;
    // "Corvane Dorrin" etc.; empty with no device attached.
    std::string deviceName;
};

// The facts as the main window holds them; the primary monitor is the one
// whose rectangle is the primary screen's.
AboutFacts aboutFacts(const cvk::DeviceState& device, const cvk::WindowState& window,
                      const std::vector<cvk::MonitorRect>& monitors);

// Writes the firmware in a user's Intel HEX file into the device; 0 on
// success, else an error code.
using FirmwareUpdater = std::function<int(const std::string& hexPath, cvk::service::IUpdateLog& log)>;

// The question asked before an update; an empty device name stands for
// whatever waits in its bootloader.
QString firmwareConfirmText(const std::string& deviceName, const QString& hexPath);

class CAboutCVDlg final : public QDialog {
public:
    // Without an updater the dialog offers no firmware update.
    explicit CAboutCVDlg(const AboutFacts& facts, QWidget* parent = nullptr, FirmwareUpdater updater = {});

    QTabWidget* tabs() const { return tabs_; }
    QPlainTextEdit* legalNotice() const { return notice_; }
    QPushButton* closeButton() const { return close_; }
    QPushButton* updateButton() const { return update_; }

    // The native dialogs of the update, replaceable so that tests need
    // none: the file chosen (empty for none) and the answer to the question.
    std::function<QString()> chooseFirmwareFile;
    std::function<bool(const QString& text)> confirmUpdate;

private:
    void updateFirmware();

    AboutFacts facts_;
    FirmwareUpdater updater_;
    QTabWidget* tabs_ = nullptr;
    QPlainTextEdit* notice_ = nullptr;
    QPushButton* close_ = nullptr;
    QPushButton* update_ = nullptr;
};

// Runs the About box modally; its result means nothing.
void showAboutDialog(QWidget* parent, const AboutFacts& facts, FirmwareUpdater updater = {});
