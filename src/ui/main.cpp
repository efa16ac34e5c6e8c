// Start-up of the window program: one copy per user, the settings store,
// first-run defaults and the language, then the main window.

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include "app/corvane_app.h"
#include "platform/clock.h"
#include "platform/hotplug.h"
#include "platform/linux/dl_library.h"
#include "platform/linux/libusb_control.h"
#include "platform/linux/posix_temp_file.h"
#include "platform/linux/system_hid_bus.h"
#include "platform/linux/udev_hotplug.h"
#include "platform/linux/xkb_layout.h"
#include "platform/qt/qsettings_store.h"
#include "service/firmware_service.h"
#include "sim/bootloader.h"
#include "sim/sim.h"
#include "ui/corvane_dlg.h"
#include "ui/dialogs.h"
#include "ui/firmware_dlg.h"
#include "ui/picture_view.h"
#include "ui/single_instance.h"

namespace {

int quitPipe[2] = {-1, -1};
constexpr int kScreenshotSettleMs = 300;
constexpr int kFullFade = 100;
constexpr int kFadeWaitMs = 3000;

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(quitPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the window's event loop normally, so the instance
// socket is removed on the way out (a logout sends SIGTERM). Installed only
// once that loop is about to run: before it, an ended loop would not stop
// the start-up, and the default action (end at once) is right.
void quitOnTerminate(QObject* owner)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, quitPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, owner);
    QObject::connect(notifier, &QSocketNotifier::activated, owner, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t n = ::read(quitPipe[0], &byte, 1);
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onTerminate;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

struct ShotRequest {
    QString file;
    QString hitmap;
    std::optional<int> hover;
    std::optional<int> menu;
    bool settingsView = false;
    QString open;  // a dialog to show instead of the window
};

bool save(const QImage& image, const QString& file)
{
    if (image.save(file, "PNG"))
        return true;
    std::fprintf(stderr, "cvkeys: cannot write %s\n", qPrintable(file));
    return false;
}

// The window as the request wants it, written as PNG files; 1 when one
// could not be written or the request asks for what is not there.
int takeShot(CCorvaneDlg& dlg, const ShotRequest& shot)
{
    PictureView& picture = *dlg.pictureView();
    if (!shot.hitmap.isEmpty() && !save(picture.hitMap(), shot.hitmap))
        return 1;
    if (shot.file.isEmpty())
        return 0;
    if (!shot.open.isEmpty()) {
        std::unique_ptr<QDialog> dialog = dlg.createDialog(shot.open, shot.menu.value_or(1));
        if (!dialog) {
            std::fprintf(stderr, "cvkeys: --open %s: no such dialog here\n", qPrintable(shot.open));
            return 1;
        }
        dialog->show();
        QCoreApplication::processEvents();
        const bool saved = save(dialog->grab().toImage(), shot.file);
        dialog->close();
        return saved ? 0 : 1;
    }
    if (shot.settingsView) {
        if (!picture.settingsToggleShown()) {
            std::fprintf(stderr, "cvkeys: this device has no settings view\n");
            return 1;
        }
        if (!dlg.controller().window().settingsViewOpen)
            dlg.change([](cvk::CMainController& c) { c.handleCommand(cvk::kCmdSettingsSwitch); });
    }
    if (shot.hover)
        picture.hoverItem(*shot.hover);
    if (shot.menu) {
        const std::optional<QPoint> at = picture.itemPoint(*shot.menu);
        if (!at) {
            std::fprintf(stderr, "cvkeys: button %d is not on the picture\n", *shot.menu);
            return 1;
        }
        picture.hoverItem(*shot.menu);
        dlg.openButtonMenu(*shot.menu, picture.mapToGlobal(*at));
    }
    QCoreApplication::processEvents();
    QImage image = dlg.grab().toImage();
    if (FunctionMenu* menu = dlg.functionMenu()) {
        // The menu is a window of its own: drawn onto the shot where it
        // opened, on a canvas grown to hold it.
        const QImage menuImage = menu->grab().toImage();
        const QPoint origin = dlg.mapToGlobal(QPoint(0, 0));
        const QRect menuRect(menu->pos() - origin, menu->size());
        const QRect all = QRect(QPoint(0, 0), dlg.size()).united(menuRect);
        QImage canvas(all.size() * image.devicePixelRatio(), QImage::Format_ARGB32_Premultiplied);
        canvas.setDevicePixelRatio(image.devicePixelRatio());
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        painter.drawImage(-all.topLeft(), image);
        painter.drawImage(menuRect.topLeft() - all.topLeft(), menuImage);
        painter.end();
        image = canvas;
        menu->close();
    }
    return save(image, shot.file) ? 0 : 1;
}

// A bad option: a message box, or the standard error where nobody is there
// to close one (a screenshot run).
void optionError(bool unattended, const QString& text)
{
    if (unattended)
        std::fprintf(stderr, "cvkeys: %s\n", text.toLocal8Bit().constData());
    else
        QMessageBox::critical(nullptr, QStringLiteral("CV Keys"), text);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // "--simulate-bootloader[:k=v,...]" as cvkeys-cli spells it, in the
    // parser's "--name=value" form.
    QStringList parsedArguments = QCoreApplication::arguments();
    for (QString& a : parsedArguments) {
        if (a == QLatin1String("--simulate-bootloader"))
            a += QLatin1Char('=');
        else if (a.startsWith(QLatin1String("--simulate-bootloader:")))
            a[21] = QLatin1Char('=');
    }
    QApplication::setOrganizationName(QStringLiteral("Lumrick"));
    QCommandLineParser parser;
    parser.addHelpOption();
    QCommandLineOption simulate(
        QStringLiteral("simulate"),
        QStringLiteral("Attach a simulated device (MODEL[:key=value,...]; none: no device)."),
        QStringLiteral("model"));
    QCommandLineOption simulateBootloader(
        QStringLiteral("simulate-bootloader"),
        QStringLiteral("Update the firmware of a simulated device in bootloader mode "
                       "(--simulate-bootloader[:key=value,...])."),
        QStringLiteral("setup"));
    QCommandLineOption settings(QStringLiteral("settings"),
                                QStringLiteral("Keep settings and profiles in this INI file."),
                                QStringLiteral("file"));
    QCommandLineOption languageDir(
        QStringLiteral("language-dir"),
        QStringLiteral("Read the Language.<code> file from this folder only (default: the "
                       "current directory, then the shipped translations)."),
        QStringLiteral("dir"));
    QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Start as usual, write the window as a PNG file once the start-up read and scan are "
                       "done, and exit."),
        QStringLiteral("file"));
    QCommandLineOption hover(
        QStringLiteral("hover"),
        QStringLiteral("With --screenshot: rest the pointer on item N of the picture (0 the "
                       "pad, 1..9 a button, 2000.. a pointer setting)."),
        QStringLiteral("N"));
    QCommandLineOption menu(QStringLiteral("menu"),
                            QStringLiteral("With --screenshot: open the function menu of button N."),
                            QStringLiteral("N"));
    QCommandLineOption settingsView(QStringLiteral("settings-view"),
                                    QStringLiteral("With --screenshot: open the settings view."));
    QCommandLineOption open(QStringLiteral("open"),
                            QStringLiteral("With --screenshot: write this dialog instead of the window "
                                           "(keyboard, signature, about, language, profile-name; --menu N "
                                           "picks the button whose key combination the keyboard shows)."),
                            QStringLiteral("dialog"));
    QCommandLineOption hitmap(
        QStringLiteral("hitmap"),
        QStringLiteral("Write the hit map of the attached model (720x180) as a PNG file "
                       "once the start-up is done, and exit."),
        QStringLiteral("file"));
    parser.addOption(simulate);
    parser.addOption(simulateBootloader);
    parser.addOption(settings);
    parser.addOption(languageDir);
    parser.addOption(screenshot);
    parser.addOption(hover);
    parser.addOption(menu);
    parser.addOption(settingsView);
    parser.addOption(hitmap);
    parser.addOption(open);
    QCommandLineOption changeLanguage(
        QStringLiteral("change-language"),
        QStringLiteral("Once started, change the interface language to CODE (EN, SE) as the language "
                       "dialog does: the program starts again in it."),
        QStringLiteral("code"));
    parser.addOption(changeLanguage);
    parser.process(parsedArguments);
    const QString screenshotFile = parser.value(screenshot);
    const QString hitmapFile = parser.value(hitmap);
    ShotRequest shot;
    shot.file = screenshotFile;
    shot.hitmap = hitmapFile;
    shot.settingsView = parser.isSet(settingsView);
    shot.open = parser.value(open);
    if (!shot.open.isEmpty() && screenshotFile.isEmpty()) {
        std::fprintf(stderr, "cvkeys: --open needs --screenshot\n");
        return 2;
    }
    for (auto [option, target] : {std::pair{&hover, &shot.hover}, std::pair{&menu, &shot.menu}}) {
        if (!parser.isSet(*option))
            continue;
        bool ok = false;
        *target = parser.value(*option).toInt(&ok);
        if (!ok || (screenshotFile.isEmpty())) {
            std::fprintf(stderr, "cvkeys: --%s needs a number and --screenshot\n",
                         qPrintable(option->names().first()));
            return 2;
        }
    }
    const bool tool = !screenshotFile.isEmpty() || !hitmapFile.isEmpty();

    // Before anything else: a second copy hands over and ends at once. A
    // screenshot run is a tool of its own and leaves a running copy alone.
    CSingleInstance instance;
    if (!tool && !instance.claim(QCoreApplication::arguments()))
        return 0;
    CCorvaneDlg* window = nullptr;
    instance.onActivation([&window] {
        if (!window)
            return;
        window->bringToFront();
        std::printf("cvkeys: brought to the front by a second start\n");
        std::fflush(stdout);
    });

    // The simulated devices answer on the real clock, so the window shows
    // transfers at a believable pace.
    cvk::SteadyClock clock;
    std::unique_ptr<cvk::IHidBus> bus;
    std::unique_ptr<cvk::IHidBus> systemBus;
    std::unique_ptr<cvk::IHotplugMonitor> hotplug;
    if (parser.isSet(simulate)) {
        auto simBus = std::make_unique<cvk::sim::SimBus>(clock);
        for (const QString& setup : parser.values(simulate)) {
            if (setup == QLatin1String("none"))
                continue;
            try {
                simBus->attach(setup.toStdString());
            } catch (const std::invalid_argument& e) {
                optionError(tool,
                            QStringLiteral("--simulate %1: %2").arg(setup, QString::fromUtf8(e.what())));
                return 2;
            }
        }
        bus = std::move(simBus);
        hotplug = std::make_unique<cvk::NullHotplugMonitor>();
    } else {
        systemBus = cvk::makeSystemHidBus();
        auto monitor = std::make_unique<cvk::UdevHotplugMonitor>();
        // The enumeration is kept between hotplug events only when every
        // event is seen.
        if (monitor->available())
            bus = std::make_unique<cvk::CachingHidBus>(*systemBus);
        hotplug = std::move(monitor);
    }
    cvk::IHidBus& activeBus = bus ? *bus : *systemBus;

    std::unique_ptr<cvk::ISettingsStore> store =
        parser.isSet(settings)
            ? cvk::makeFileSettingsStore(parser.value(settings).toStdString())
            : cvk::makeUserSettingsStore(
                  QFileInfo(QCoreApplication::applicationFilePath()).baseName().toStdString());

    cvk::CCorvaneApp cvApp;
    cvk::StartOptions options;
    options.languageDir = parser.value(languageDir).toStdString();
    // A screenshot run asks nothing: the first run takes the preset language.
    const bool unattended = tool;
    cvApp.startUp(*store, options, [unattended](const std::string& preset) {
        return unattended ? preset : askLanguageDialog(nullptr, preset);
    });

    const std::unique_ptr<cvk::IKeyboardLayout> layout = cvk::makeSessionKeyboardLayout();

    // The firmware update: a simulated bootloader, or the chip maker's
    // library where the user has one and else USB through libusb.
    cvk::PosixTempFiles tempFiles;
    std::unique_ptr<cvk::sim::SimBootloader> bootloader;
    std::unique_ptr<cvk::DlLibraryLoader> ispLoader;
    std::unique_ptr<cvk::LibusbControl> usb;
    if (parser.isSet(simulateBootloader)) {
        try {
            bootloader = std::make_unique<cvk::sim::SimBootloader>(
                clock, cvk::sim::parseSimBootloaderSetup(parser.value(simulateBootloader).toStdString()));
        } catch (const std::invalid_argument& e) {
            optionError(tool, QStringLiteral("--simulate-bootloader: %1").arg(QString::fromUtf8(e.what())));
            return 2;
        }
    } else {
        ispLoader = std::make_unique<cvk::DlLibraryLoader>(cvk::DlLibraryLoader::defaultFolders());
        usb = std::make_unique<cvk::LibusbControl>();
        if (!usb->ok())
            usb.reset();
    }
    cvk::IUsbControl* usbPort = bootloader ? static_cast<cvk::IUsbControl*>(bootloader.get()) : usb.get();
    cvk::service::CFirmwareService firmware(
        ispLoader.get(), usbPort, tempFiles, clock, [&window, unattended](const std::string&) {
            showOnGuiThread(window, cvk::service::kMissingFunctionCaption, cvk::service::kMissingFunctionText,
                            unattended);
        });

    CCorvaneDlg dlg(
        DlgPorts{activeBus, clock, *store, cvApp, layout.get(), hotplug.get(), unattended, &firmware});
    window = &dlg;
    dlg.show();
    int screenshotResult = 0;
    const std::string newLanguage = parser.value(changeLanguage).toStdString();
    QTimer::singleShot(0, &dlg, [&dlg, &shot, &screenshotResult, tool, newLanguage] {
        dlg.start();
        if (!newLanguage.empty())
            dlg.changeLanguageTo(newLanguage);
        if (!tool)
            return;
        // The commands the start-up posted (an automatic Apply, a second
        // read) run first, so the picture shows where the start-up ended.
        QTimer::singleShot(kScreenshotSettleMs, &dlg, [&dlg, &shot, &screenshotResult] {
            // The labels fade in over a second; the shot shows them in full.
            QElapsedTimer waited;
            waited.start();
            while (dlg.controller().window().fadeLevel < kFullFade && waited.elapsed() < kFadeWaitMs)
                QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
            QCoreApplication::processEvents();
            screenshotResult = takeShot(dlg, shot);
            dlg.close();
            QCoreApplication::quit();
        });
    });
    quitOnTerminate(&app);
    const int loopResult = app.exec();
    const int result = tool ? screenshotResult : loopResult;
    window = nullptr;

    if (dlg.restartRequested()) {
        // Release the socket first, so that the new copy becomes the first.
        instance.release();
        // The new copy starts as this one did, but without asking for the
        // change again.
        QStringList arguments = QCoreApplication::arguments().mid(1);
        for (qsizetype i = 0; i < arguments.size(); ++i)
            if (arguments[i] == QLatin1String("--change-language") && i + 1 < arguments.size()) {
                arguments.remove(i, 2);
                break;
            } else if (arguments[i].startsWith(QLatin1String("--change-language="))) {
                arguments.remove(i);
                break;
            }
        QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
    }
    return result;
}
