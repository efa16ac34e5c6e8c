// The window: it draws what the core reports and forwards the user's
// actions; every rule lives in the core (CMainController).

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyleHints>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <map>
#include <memory>
#include <stdexcept>

#include "app/main_controller.h"
#include "platform/linux/system_hid_bus.h"
#include "platform/qt/qsettings_store.h"
#include "sim/sim.h"

namespace {

// Desktop settings as Qt sees them. Qt offers no way to change the wheel
// scroll lines, so the value set is kept here only.
class QtSystemSettings final : public cvk::ISystemSettings {
public:
    int wheelScrollLines() override { return lines_ > 0 ? lines_ : QGuiApplication::styleHints()->wheelScrollLines(); }
    void setWheelScrollLines(int lines) override { lines_ = lines; }
    bool buttonsSwapped() override { return false; }
    std::vector<cvk::MonitorRect> monitors() override
    {
        std::vector<cvk::MonitorRect> result;
        for (QScreen* screen : QGuiApplication::screens()) {
            const QRect g = screen->geometry();
            result.push_back({g.left(), g.top(), g.right() + 1, g.bottom() + 1});
        }
        return result;
    }

private:
    int lines_ = 0;
};

class CCorvaneDlg final : public QWidget, public cvk::IViewPort {
public:
    CCorvaneDlg(cvk::IHidBus& bus, cvk::IClock& clock, cvk::ISettingsStore& store)
        : controller_(cvk::MainPorts{bus, clock, *this, store, system_})
    {
        auto* layout = new QVBoxLayout(this);
        status_ = new QLabel(this);
        status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        status_->setWordWrap(true);
        layout->addWidget(status_);
        block_ = new QPlainTextEdit(this);
        block_->setReadOnly(true);
        block_->setFont(QFont(QStringLiteral("monospace")));
        layout->addWidget(block_);
        auto* row = new QHBoxLayout;
        layout->addLayout(row);
        addButton(row, QStringLiteral("&Refresh"), cvk::kCmdRefresh);
        addButton(row, QStringLiteral("Restore Defaults"), cvk::kCmdRestoreDefaults);
        row->addStretch();
        addButton(row, QStringLiteral("&OK"), cvk::kCmdOk);
        addButton(row, QStringLiteral("&Cancel"), cvk::kCmdCancel);
        addButton(row, QStringLiteral("&Apply"), cvk::kCmdApply);
        resize(560, 360);
        QTimer::singleShot(0, this, [this] {
            controller_.start();
            refreshView();
        });
    }

    // --- view port ---
    void postCommand(int command) override
    {
        QTimer::singleShot(0, this, [this, command] { dispatch(command); });
    }
    void beep(int, int) override { QApplication::beep(); }
    void messageBeep() override { QApplication::beep(); }
    cvk::MessageAnswer messageBox(const std::string& caption, const std::string& text,
                                  cvk::MessageStyle style) override
    {
        const QString c = QString::fromStdString(caption), t = QString::fromStdString(text);
        if (cvk::isQuestion(style))
            return QMessageBox::question(this, c, t) == QMessageBox::Yes ? cvk::MessageAnswer::Yes
                                                                         : cvk::MessageAnswer::No;
        if (style == cvk::MessageStyle::Error)
            QMessageBox::critical(this, c, t);
        else
            QMessageBox::information(this, c, t);
        return cvk::MessageAnswer::Ok;
    }
    void setTitle(const std::string& text) override { setWindowTitle(QString::fromStdString(text)); }
    void setControlText(int control, const std::string& text) override { texts_[control] = text; }
    void setTrayTip(const std::string& text) override { tip_ = text; }
    void enableControl(int control, bool enabled) override
    {
        if (auto it = buttons_.find(control); it != buttons_.end())
            it->second->setEnabled(enabled);
    }
    void showWindow() override { show(); }
    void closeWindow() override { close(); }
    void repaint() override { refreshView(); }
    cvk::PumpResult pump() override
    {
        commandArrived_ = false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return {commandArrived_, !isVisible()};
    }
    void waitCursor(bool on) override
    {
        if (on && !waitCursor_)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else if (!on && waitCursor_)
            QApplication::restoreOverrideCursor();
        waitCursor_ = on;
    }
    void flash() override { QApplication::alert(this); }

private:
    void addButton(QHBoxLayout* row, const QString& text, int command)
    {
        auto* button = new QPushButton(text, this);
        row->addWidget(button);
        buttons_[command] = button;
        connect(button, &QPushButton::clicked, this, [this, command] { dispatch(command); });
    }

    void dispatch(int command)
    {
        commandArrived_ = true;
        controller_.handleCommand(command);
        refreshView();
    }

    void refreshView()
    {
        const cvk::DeviceState& s = controller_.link.state;
        QString text = QString::fromStdString(s.hardwareVersionText).trimmed();
        if (!tip_.empty())
            text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + QString::fromStdString(tip_);
        if (auto it = texts_.find(cvk::kCtlDevicePath); it != texts_.end() && s.singleDevice())
            text += QStringLiteral("\n") + QString::fromStdString(it->second);
        if (!s.deniedPaths.empty())
            text += QStringLiteral("\n\nA Corvane device is attached but this user may not open it.\n"
                                   "Install the udev rule (cvkeys-cli udev-rule) and replug the device.");
        status_->setText(text);
        QString hex;
        const auto& block = controller_.config.block;
        for (int row = 0; row < controller_.config.exchangedLength; row += 16) {
            hex += QStringLiteral("%1:").arg(row, 3);
            for (int i = row; i < row + 16 && i < controller_.config.exchangedLength; ++i)
                hex += QStringLiteral(" %1").arg(block[i], 2, 16, QLatin1Char('0')).toUpper();
            hex += QLatin1Char('\n');
        }
        block_->setPlainText(hex);
    }

    QtSystemSettings system_;
    cvk::CMainController controller_;
    QLabel* status_ = nullptr;
    QPlainTextEdit* block_ = nullptr;
    std::map<int, QPushButton*> buttons_;
    std::map<int, std::string> texts_;
    std::string tip_;
    bool commandArrived_ = false;
    bool waitCursor_ = false;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Lumrick"));
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption simulate(QStringLiteral("simulate"),
                                QStringLiteral("Attach a simulated device (MODEL[:key=value,...])."),
                                QStringLiteral("model"));
    QCommandLineOption settings(QStringLiteral("settings"),
                                QStringLiteral("Keep settings and profiles in this INI file."), QStringLiteral("file"));
    parser.addOption(simulate);
    parser.addOption(settings);
    parser.process(app);

    std::unique_ptr<cvk::IClock> clock;
    std::unique_ptr<cvk::IHidBus> bus;
    if (parser.isSet(simulate)) {
        // The simulated devices answer on the real clock, so the window shows
        // transfers at a believable pace.
        clock = std::make_unique<cvk::SteadyClock>();
        auto simBus = std::make_unique<cvk::sim::SimBus>(*clock);
        for (const QString& spec : parser.values(simulate)) {
            try {
                simBus->attach(spec.toStdString());
            } catch (const std::invalid_argument& e) {
                QMessageBox::critical(nullptr, QStringLiteral("CV Keys"),
                                      QStringLiteral("--simulate %1: %2").arg(spec, QString::fromUtf8(e.what())));
                return 2;
            }
        }
        bus = std::move(simBus);
    } else {
        clock = std::make_unique<cvk::SteadyClock>();
        bus = cvk::makeSystemHidBus();
    }
    std::unique_ptr<cvk::ISettingsStore> store =
        parser.isSet(settings) ? cvk::makeFileSettingsStore(parser.value(settings).toStdString())
                               : cvk::makeUserSettingsStore(QFileInfo(QCoreApplication::applicationFilePath()).baseName().toStdString());
    CCorvaneDlg dlg(*bus, *clock, *store);
    dlg.show();
    return app.exec();
}
