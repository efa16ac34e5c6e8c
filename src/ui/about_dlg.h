#pragma once
// The About box: the program's version and link, the connected device's
// identification and the monitors' resolutions on one tab, the legal notice
// on the other.

#include <QDialog>
#include <string>
#include <vector>

#include "app/about_texts.h"
#include "platform/system_settings.h"

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
};

// The facts as the main window holds them; the primary monitor is the one
// whose rectangle is the primary screen's.
AboutFacts aboutFacts(const cvk::DeviceState& device, const cvk::WindowState& window,
                      const std::vector<cvk::MonitorRect>& monitors);

class CAboutCVDlg final : public QDialog {
public:
    explicit CAboutCVDlg(const AboutFacts& facts, QWidget* parent = nullptr);

    QTabWidget* tabs() const { return tabs_; }
    QPlainTextEdit* legalNotice() const { return notice_; }
    QPushButton* closeButton() const { return close_; }

private:
    QTabWidget* tabs_ = nullptr;
    QPlainTextEdit* notice_ = nullptr;
    QPushButton* close_ = nullptr;
};

// Runs the About box modally; its result means nothing.
void showAboutDialog(QWidget* parent, const AboutFacts& facts);
