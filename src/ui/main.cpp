// The window: for now it shows what the device scan found. It only draws and
// forwards; every rule lives in the core.

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>
#include <stdexcept>

#include "device/device_link.h"
#include "platform/linux/system_hid_bus.h"
#include "sim/sim.h"

namespace {

class CCorvaneDlg final : public QWidget, public cvk::IViewPort {
public:
    CCorvaneDlg(cvk::IHidBus& bus, cvk::IClock& clock) : link_(bus, clock, *this)
    {
        auto* layout = new QVBoxLayout(this);
        status_ = new QLabel(this);
        status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(status_);
        auto* refresh = new QPushButton(QStringLiteral("&Refresh"), this);
        layout->addWidget(refresh);
        connect(refresh, &QPushButton::clicked, this, [this] { scan(); });
        resize(420, 160);
        scan();
    }

    void postCommand(int command) override
    {
        QTimer::singleShot(0, this, [this, command] { handleCommand(command); });
    }
    void beep(int, int) override { QApplication::beep(); }

private:
    void handleCommand(int command)
    {
        if (command == cvk::kCmdRefresh)
            showState();
    }

    void scan()
    {
        cvk::deviceScan(link_);
        showState();
    }

    void showState()
    {
        const cvk::DeviceState& s = link_.state;
        QString text;
        if (s.deviceCount >= 100)
            text = QStringLiteral("Please dowload and install the latest version of CV Keys.");
        else if (s.deviceCount > 1)
            text = QStringLiteral("Multiple reprogrammable Corvane detected.");
        else if (s.deviceCount == 1)
            text = QString::fromStdString(s.hardwareVersionText).trimmed() + QStringLiteral("\n") +
                   QString::fromStdString(s.devicePath);
        else if (s.receiverPresent())
            text = QStringLiteral("Corvane Wireless Dongle.");
        else
            text = QStringLiteral("No reprogrammable Corvane detected.");
        if (!s.deniedPaths.empty())
            text += QStringLiteral("\n\nA Corvane device is attached but this user may not open it.\n"
                                   "Install the udev rule (cvkeys-cli udev-rule) and replug the device.");
        status_->setText(text);
        setWindowTitle(s.deviceCount == 1 ? QString::fromStdString(s.windowTitle) : QStringLiteral("Corvane!"));
    }

    cvk::DeviceLink link_;
    QLabel* status_ = nullptr;
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
    parser.addOption(simulate);
    parser.process(app);

    std::unique_ptr<cvk::IClock> clock;
    std::unique_ptr<cvk::IHidBus> bus;
    if (parser.isSet(simulate)) {
        clock = std::make_unique<cvk::sim::VirtualClock>();
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
    CCorvaneDlg dlg(*bus, *clock);
    dlg.show();
    return app.exec();
}
