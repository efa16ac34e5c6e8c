#include "ui/corvane_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "app/corvane_app.h"
#include "app/picture_area.h"
#include "config/descriptions.h"
#include "device/model_views.h"
#include "device/models.h"
#include "keys/key_names.h"
#include "platform/hotplug.h"
#include "platform/keyboard_layout.h"
#include "service/firmware_service.h"
#include "texts/text_ids.h"
#include "texts/texts.h"
#include "ui/about_dlg.h"
#include "ui/dialogs.h"
#include "ui/firmware_dlg.h"
#include "ui/keyboard_dlg.h"
#include "ui/manuals.h"
#include "ui/picture_symbols.h"

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The notification area cuts tips at 127 characters.
constexpr int kTrayTipLength = 127;
constexpr int kTickMs = 100;
// The profile row's inset from the window's edges and the gap around the
// picture area.
constexpr int kGroupLeft = 10;
constexpr int kPictureGap = 10;

void setBold(QAction* action)
{
    QFont font = action->font();
    font.setBold(true);
    action->setFont(font);
}

// What About's "Update firmware..." runs.
FirmwareUpdater firmwareUpdater(cvk::service::CFirmwareService* service)
{
    if (!service)
        return {};
    // Runs on the progress window's worker thread; the window is modal, so
    // one update at a time reaches the service.
    return [service](const std::string& hexPath, cvk::service::IUpdateLog& log) {
        return service->update(hexPath, log);
    };
}

// Holds the screenshot's update in the programming step until its window
// is gone.
struct HeldUpdate {
    std::mutex mutex;
    std::condition_variable changed;
    bool logged = false;
    bool released = false;

    void set(bool HeldUpdate::*flag)
    {
        {
            const std::lock_guard lock(mutex);
            this->*flag = true;
        }
        changed.notify_all();
    }
    void waitFor(bool HeldUpdate::*flag)
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this, flag] { return this->*flag; });
    }
};

// An update well under way: the early steps passed, programming at 40%.
void logPartialUpdate(cvk::service::IUpdateLog& log)
{
    const char* passed[] = {"Initializing", "Device selection", "Hardware selection", "Opening port",
                            "Reading the bootloader version"};
    for (const char* step : passed) {
        log.line(step);
        log.line("PASS");
        log.line("");
    }
    log.detail("Bootloader version 1.2.0");
    for (const char* step :
         {"Erasing FLASH", "Blank checking FLASH memory", "Filling buffer with 00", "Parsing HEX file"}) {
        log.line(step);
        log.line("PASS");
        log.line("");
    }
    log.line("Programming FLASH");
    log.progress(cvk::service::IspPhase::Programming, 5120, 12288);
}

QString plainLines(const std::string& text)
{
    QString s = qs(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

}  // namespace

// ------------------------------------------------------------ system settings

int QtSystemSettings::wheelScrollLines()
{
    return mouse_.wheelScrollLines().lines.value_or(QGuiApplication::styleHints()->wheelScrollLines());
}

void QtSystemSettings::setWheelScrollLines(int lines)
{
    // The window keeps the value it set either way; a desktop file that
    // could not be written is only worth a line on the standard error.
    std::string error;
    if (!mouse_.setWheelScrollLines(lines, &error))
        std::fprintf(stderr, "cvkeys: wheel scroll lines not set: %s\n", error.c_str());
}

std::vector<cvk::MonitorRect> QtSystemSettings::monitors()
{
    std::vector<cvk::MonitorRect> result;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect g = screen->geometry();
        result.push_back({g.left(), g.top(), g.right() + 1, g.bottom() + 1});
    }
    return result;
}

// ------------------------------------------------------------ window

CCorvaneDlg::CCorvaneDlg(const DlgPorts& ports)
    : system_(ports.desktopMouse ? *ports.desktopMouse : cvk::sessionMouseSources()),
      store_(ports.store),
      clock_(ports.clock),
      app_(ports.app),
      layout_(ports.layout),
      hotplug_(ports.hotplug),
      unattended_(ports.unattended),
      firmware_(ports.firmware),
      controller_(cvk::MainPorts{ports.bus, ports.clock, *this, ports.store, system_, ports.layout})
{
    setWindowTitle(QStringLiteral("Corvane Arvel"));
    setWindowIcon(cvk::symbols::programIcon(true));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The links above the profile row, at the right.
    auto* links = new QHBoxLayout;
    links->setContentsMargins(kGroupLeft, 2, kGroupLeft, 0);
    links->addStretch();
    addLink(links, qs(cvk::text(cvk::kTxtAboutProgram)), cvk::kCtlAboutLink);
    links->addSpacing(16);
    addLink(links, QStringLiteral("Langauge ..."), cvk::kCtlLanguageLink);
    layout->addLayout(links);

    // Profile row.
    auto* top = new QHBoxLayout;
    top->setContentsMargins(kGroupLeft, 0, kGroupLeft, 0);
    layout->addLayout(top);
    profileBox_ = new QGroupBox(qs(cvk::text(cvk::kTxtProfile)), this);
    controls_[cvk::kCtlProfileBox] = profileBox_;
    auto* profileRow = new QHBoxLayout(profileBox_);
    auto* nameLabel = new QLabel(qs(cvk::text(cvk::kTxtProfileName)) + QLatin1Char(':'), profileBox_);
    controls_[cvk::kCtlProfileLabel] = nameLabel;
    profileRow->addWidget(nameLabel);
    selector_ = new QComboBox(profileBox_);
    selector_->setEnabled(false);
    selector_->setAccessibleName(qs(cvk::text(cvk::kTxtProfile)));
    nameLabel->setBuddy(selector_);
    controls_[cvk::kCtlProfileSelector] = selector_;
    profileRow->addWidget(selector_, 14);
    connect(selector_, &QComboBox::activated, this, &CCorvaneDlg::selectorActivated);
    for (auto [id, textId] : {std::pair{cvk::kCmdNewProfile, cvk::kTxtNewProfile},
                              std::pair{cvk::kCmdRenameProfile, cvk::kTxtRenameProfile},
                              std::pair{cvk::kCmdDeleteProfile, cvk::kTxtDeleteProfile}}) {
        auto* button = new QPushButton(qs(cvk::text(textId)), profileBox_);
        button->setEnabled(false);
        button->setAutoDefault(false);
        controls_[id] = button;
        profileRow->addWidget(button, 10);
        const int command = id;
        connect(button, &QPushButton::clicked, this, [this, command] { dispatch(command); });
    }
    top->addWidget(profileBox_, 1);
    layout->addSpacing(kPictureGap);
    profileBox_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(profileBox_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu menu(this);
        QAction* exporting = menu.addAction(QStringLiteral("Export profiles..."));
        QAction* importing = menu.addAction(QStringLiteral("Import profiles..."));
        QAction* chosen = menu.exec(profileBox_->mapToGlobal(at));
        if (chosen == exporting)
            exportProfiles();
        else if (chosen == importing)
            importProfiles();
    });
    chooseProfileFileToSave = [this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Export profiles"),
                                            QDir::home().filePath(QStringLiteral("profiles.cvkp")),
                                            QStringLiteral("CV Keys profiles (*.cvkp);;All files (*)"));
    };
    chooseProfileFileToOpen = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Import profiles"), QDir::homePath(),
                                            QStringLiteral("CV Keys profiles (*.cvkp);;All files (*)"));
    };

    // The picture area spans the window's width, framed above and below.
    picture_ = new PictureView(*this, this);
    layout->addWidget(picture_);

    // The bottom row where these buttons have always been: w is the OK
    // button's width, at most two thirteenths of the window's; Refresh and
    // Read stay hidden (F5 runs Refresh).
    auto* bar = new QWidget(this);
    QPushButton* restore =
        addCommandButton(bar, qs(cvk::text(cvk::kTxtRestoreDefaults)), cvk::kCmdRestoreDefaults);
    QPushButton* help = addCommandButton(bar, qs(cvk::text(cvk::kTxtHelp)), cvk::kCtlHelp);
    help->setEnabled(false);
    disconnect(help, &QPushButton::clicked, nullptr, nullptr);
    connect(help, &QPushButton::clicked, this, &CCorvaneDlg::openHelp);
    QPushButton* ok = addCommandButton(bar, qs(cvk::text(cvk::kTxtOk)), cvk::kCmdOk);
    ok->setDefault(true);
    QPushButton* cancel = addCommandButton(bar, qs(cvk::text(cvk::kTxtCancel)), cvk::kCmdCancel);
    QPushButton* apply = addCommandButton(bar, qs(cvk::text(cvk::kTxtApply)), cvk::kCmdApply);
    apply->setEnabled(false);
    const int width = cvk::kPictureAreaWidth;
    const int h = ok->sizeHint().height();
    const int w = std::min(ok->sizeHint().width(), 2 * width / 13);
    constexpr int kAbove = 11;  // B to the buttons' top
    constexpr int kBelow = 9;
    bar->setFixedSize(width, kAbove + h + kBelow);
    restore->setGeometry(10, kAbove, 2 * w, h);
    help->setGeometry(2 * w + 11, kAbove, w, h);
    ok->setGeometry(width - 3 * w - 13, kAbove, w, h);
    cancel->setGeometry(width - 2 * w - 12, kAbove, w, h);
    apply->setGeometry(width - w - 11, kAbove, w, h);
    layout->addWidget(bar);
    auto* refresh = new QAction(this);
    refresh->setShortcut(QKeySequence::Refresh);
    connect(refresh, &QAction::triggered, this, [this] { dispatch(cvk::kCmdRefresh); });
    addAction(refresh);

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(cvk::symbols::programIcon(true), this);
        trayMenu_ = new QMenu(this);
        tray_->setContextMenu(trayMenu_);
        connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger)
                trayMenu_->popup(QCursor::pos());
            else if (reason == QSystemTrayIcon::DoubleClick)
                restoreFromTray();
        });
    }

    tickTimer_.setInterval(kTickMs);
    connect(&tickTimer_, &QTimer::timeout, this, [this] {
        controller_.updateFadeAndButtons();
        controller_.pollWirelessStatus();
    });
    deviceChangeTimer_.setSingleShot(true);
    connect(&deviceChangeTimer_, &QTimer::timeout, this, [this] {
        controller_.pollDeviceChange();
        armDeviceChangeTimer();
        refreshView();
    });

    refreshView();
}

QWidget* CCorvaneDlg::addLink(QHBoxLayout* row, const QString& text, int control)
{
    // A flat button drawn as a link: it takes the focus and Enter like any
    // button, without a rich-text label's cost at start.
    auto* link = new QPushButton(text, this);
    link->setFlat(true);
    link->setAutoDefault(false);
    link->setCursor(Qt::PointingHandCursor);
    link->setToolTip(text);
    QFont font = link->font();
    font.setUnderline(true);
    link->setFont(font);
    QPalette palette = link->palette();
    palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
    link->setPalette(palette);
    link->setContentsMargins(0, 0, 0, 0);
    controls_[control] = link;
    row->addWidget(link);
    connect(link, &QPushButton::clicked, this, [this, control] {
        if (control == cvk::kCtlAboutLink)
            openAbout();
        else
            changeLanguage();
    });
    return link;
}

CCorvaneDlg::~CCorvaneDlg()
{
    if (waitCursor_)
        QApplication::restoreOverrideCursor();
    if (tray_)
        tray_->hide();
}

QPushButton* CCorvaneDlg::addCommandButton(QWidget* parent, const QString& text, int command)
{
    auto* button = new QPushButton(text, parent);
    button->setAutoDefault(false);
    controls_[command] = button;
    connect(button, &QPushButton::clicked, this, [this, command] { dispatch(command); });
    return button;
}

void CCorvaneDlg::start()
{
    controller_.start();
    refreshView();
    tickTimer_.start();
    if (hotplug_ && hotplug_->fd() >= 0) {
        hotplugNotifier_ = new QSocketNotifier(hotplug_->fd(), QSocketNotifier::Read, this);
        connect(hotplugNotifier_, &QSocketNotifier::activated, this, &CCorvaneDlg::hotplugReadable);
    }
}

void CCorvaneDlg::dispatch(int command)
{
    if (command == cvk::kCmdAbout) {
        openAbout();
        return;
    }
    ++arrivals_;
    controller_.handleCommand(command);
    refreshView();
}

// ------------------------------------------------------------ drawing

void CCorvaneDlg::refreshView()
{
    picture_->refresh();
    const int line = controller_.profiles().currentLine();
    if (selector_->currentIndex() != line && line < selector_->count())
        selector_->setCurrentIndex(line);
}

void CCorvaneDlg::drawBusyPicture() { picture_->showBusy(); }

void CCorvaneDlg::drawWakeFrame(int frame) { picture_->showWakeFrame(frame); }

void CCorvaneDlg::drawWakePrompt(const std::string& text, bool bright)
{
    picture_->showWakePrompt(qs(text), bright);
}

void CCorvaneDlg::paintEvent(QPaintEvent*)
{
    // The frame in the shadow colour around the picture area.
    QPainter painter(this);
    const QRect r = picture_->geometry();
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(r.left(), r.top() - 1, r.right(), r.top() - 1);
    painter.drawLine(r.left(), r.bottom() + 1, r.right(), r.bottom() + 1);
}

void CCorvaneDlg::change(const std::function<void(cvk::CMainController&)>& action)
{
    ++arrivals_;
    action(controller_);
    refreshView();
}

std::string CCorvaneDlg::keyText(uint16_t word) const
{
    return layout_ ? cvk::keyText(word, *layout_) : std::string();
}

void CCorvaneDlg::openWebSite()
{
    ++webSiteOpened_;
    if (unattended_) {
        std::fprintf(stderr, "cvkeys: would open %s\n", cvk::kMakerWebAddress);
        return;
    }
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(cvk::kMakerWebAddress)));
}

void CCorvaneDlg::openAbout()
{
    ++aboutOpened_;
    if (unattended_) {
        std::fprintf(stderr, "cvkeys: would show the About box\n");
        return;
    }
    showAboutDialog(this, aboutFacts(controller_.device(), controller_.window(), system_.monitors()),
                    firmwareUpdater(firmware_));
}

std::unique_ptr<QDialog> CCorvaneDlg::createDialog(const QString& name, int button)
{
    const cvk::ConfigModel& m = controller_.config();
    if (name == QLatin1String("language")) {
        auto dialog = std::make_unique<CDefaultLanguge>(this);
        dialog->setCode(app_.language());
        return dialog;
    }
    if (name == QLatin1String("about"))
        return std::make_unique<CAboutCVDlg>(
            aboutFacts(controller_.device(), controller_.window(), system_.monitors()), this,
            firmwareUpdater(firmware_));
    if (name == QLatin1String("firmware")) {
        auto held = std::make_shared<HeldUpdate>();
        auto dialog = std::make_unique<CFirmwareDlg>(
            [held](cvk::service::IUpdateLog& log) {
                logPartialUpdate(log);
                held->set(&HeldUpdate::logged);
                held->waitFor(&HeldUpdate::released);
                return cvk::service::kUpdateOk;
            },
            this);
        connect(dialog.get(), &QObject::destroyed, [held] { held->set(&HeldUpdate::released); });
        dialog->start();
        // The lines are posted before the job says so; take them in now.
        held->waitFor(&HeldUpdate::logged);
        QCoreApplication::sendPostedEvents();
        return dialog;
    }
    if (name == QLatin1String("keyboard")) {
        const int model = controller_.device().modelCode;
        const int low = cvk::keyLowPosition(model, button);
        const int high = cvk::keyHighPosition(model, button);
        const uint16_t word = low < 0 || high < 0
                                  ? 0
                                  : static_cast<uint16_t>(m.block[static_cast<size_t>(high)] << 8 |
                                                          m.block[static_cast<size_t>(low)]);
        return std::make_unique<CKeyBoardDlg>(word, layout_, this);
    }
    if (name == QLatin1String("signature"))
        return std::make_unique<CSignatureDlg>(
            std::u16string(cvk::untilNul(m.signatureText.data(), m.signatureText.size())), layout_, this);
    if (name == QLatin1String("profile-name")) {
        const cvk::CProfileClass* active = controller_.profiles().active();
        return std::make_unique<CProfileNameDlg>(active ? active->name : std::string(), this);
    }
    return nullptr;
}

void CCorvaneDlg::openHelp()
{
    // The model's manual with the desktop's viewer; a missing one is named
    // so that the user knows what to look for.
    const QString name = qs(controller_.window().helpDocument);
    const QString found = findManual(name);
    if (!found.isEmpty()) {
        lastHelp_ = found;
        if (unattended_) {
            std::fprintf(stderr, "cvkeys: would open %s\n", qPrintable(found));
            return;
        }
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(found)))
            return;
    }
    messageBox(qs(cvk::text(cvk::kTxtHelp)).remove(QLatin1Char('&')).toStdString(),
               "The manual " + name.toStdString() + " is not installed on this computer.",
               cvk::MessageStyle::Information);
}

// ------------------------------------------------------------ function menus

void CCorvaneDlg::openButtonMenu(int button, const QPoint& globalPos)
{
    if (openMenu_)
        return;
    const bool ctrl = (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
    const std::optional<std::vector<cvk::MenuItem>> items = controller_.openButtonMenu(button, ctrl);
    if (!items)
        return;
    openMenu_ = new FunctionMenu(this);
    openMenu_->setAccessibleName(button == 0 ? QStringLiteral("Functions of the pad")
                                             : QStringLiteral("Functions of button %1").arg(button));
    openMenu_->setItems(*items);
    // Posted: the command may rebuild the window while the menu closes.
    openMenu_->onCommand = [this](int command) { postCommand(command); };
    openMenu_->onClosed = [this] {
        openMenu_ = nullptr;
        picture_->refresh();
    };
    openMenu_->popup(globalPos);
}

// ------------------------------------------------------------ profile row

void CCorvaneDlg::selectorActivated(int line)
{
    // The selector is refilled by the selection change: let its signal end
    // first.
    QTimer::singleShot(0, this, [this, line] {
        ++arrivals_;
        controller_.selectLine(line);
        refreshView();
    });
}

void CCorvaneDlg::profilesChanged()
{
    {
        const QSignalBlocker blocker(selector_);
        selector_->clear();
        for (const cvk::SelectorLine& line : controller_.profiles().selector())
            selector_->addItem(qs(line.name));
        selector_->setCurrentIndex(controller_.profiles().currentLine());
    }
    rebuildTrayMenu();
}

std::optional<std::string> CCorvaneDlg::askProfileName(const std::string& current)
{
    CProfileNameDlg dialog(current, this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.name();
}

std::optional<std::u16string> CCorvaneDlg::askSignature(const std::u16string& current)
{
    CSignatureDlg dialog(current, layout_, this);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.text();
}

std::optional<uint16_t> CCorvaneDlg::askKeyCombination(uint16_t current)
{
    return askKeyCombinationDialog(this, current, layout_);
}

std::string CCorvaneDlg::askLanguage(const std::string& preset) { return askLanguageDialog(this, preset); }

void CCorvaneDlg::changeLanguage() { changeLanguageTo(askLanguage(app_.language())); }

void CCorvaneDlg::changeLanguageTo(const std::string& chosen)
{
    if (!app_.changeLanguage(store_, chosen))
        return;
    // The new language takes effect in a new copy of the program.
    restartRequested_ = true;
    endWindow();
}

void CCorvaneDlg::exportProfiles()
{
    const QString file = chooseProfileFileToSave ? chooseProfileFileToSave() : QString();
    if (file.isEmpty())
        return;
    // QSaveFile replaces the file only once the whole text is written.
    QSaveFile out(file);
    const std::string text = controller_.exportProfileFile();
    if (!out.open(QIODevice::WriteOnly) || out.write(text.data(), static_cast<qint64>(text.size())) < 0 ||
        !out.commit()) {
        messageBox("CV Keys", "The profiles could not be written to " + file.toStdString() + ".",
                   cvk::MessageStyle::Warning);
        return;
    }
}

void CCorvaneDlg::importProfiles()
{
    const QString file = chooseProfileFileToOpen ? chooseProfileFileToOpen() : QString();
    if (file.isEmpty())
        return;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) {
        messageBox("CV Keys", "The file " + file.toStdString() + " cannot be read.",
                   cvk::MessageStyle::Warning);
        return;
    }
    const QByteArray bytes = in.read(static_cast<qint64>(cvk::kMaxProfileFileBytes) + 1);
    const std::string text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    cvk::ProfileTransfer t = controller_.importProfileFile(text, false);
    // Names the list has already: replaced only when the user says so.
    if (!t.ok && t.message.find("already") != std::string::npos &&
        messageBox("CV Keys",
                   "Import profiles: " + t.message + ".\n\nReplace the profiles of the same names?",
                   cvk::MessageStyle::YesNoQuestion) == cvk::MessageAnswer::Yes)
        t = controller_.importProfileFile(text, true);
    if (!t.ok) {
        messageBox("CV Keys",
                   "Import profiles: " + file.toStdString() + ": " + t.message + ". Nothing was changed.",
                   cvk::MessageStyle::Warning);
        return;
    }
    messageBox("CV Keys", "Import profiles: " + t.message + ".", cvk::MessageStyle::Information);
}

void CCorvaneDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* about = menu.addAction(qs(cvk::text(cvk::kTxtAboutProgram)));
    QAction* language = menu.addAction(QStringLiteral("Langauge ..."));
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == about)
        openAbout();
    else if (chosen == language)
        changeLanguage();
}

// ------------------------------------------------------------ view port

void CCorvaneDlg::postCommand(int command)
{
    QTimer::singleShot(0, this, [this, command] { dispatch(command); });
}

void CCorvaneDlg::beep(int, int) { QApplication::beep(); }
void CCorvaneDlg::messageBeep() { QApplication::beep(); }
void CCorvaneDlg::flash() { QApplication::alert(this); }

cvk::MessageAnswer CCorvaneDlg::messageBox(const std::string& caption, const std::string& text,
                                           cvk::MessageStyle style)
{
    const QString title = caption.empty() ? QStringLiteral("CV Keys") : qs(caption);
    if (unattended_) {
        std::fprintf(stderr, "cvkeys: %s: %s\n", qPrintable(title), qPrintable(plainLines(text)));
        return cvk::isQuestion(style) ? cvk::MessageAnswer::No : cvk::MessageAnswer::Ok;
    }
    QMessageBox::Icon icon = QMessageBox::Information;
    switch (style) {
    case cvk::MessageStyle::Information: icon = QMessageBox::Information; break;
    case cvk::MessageStyle::Warning: icon = QMessageBox::Warning; break;
    case cvk::MessageStyle::Error:
    case cvk::MessageStyle::YesNoStop: icon = QMessageBox::Critical; break;
    case cvk::MessageStyle::YesNoQuestion: icon = QMessageBox::Question; break;
    }
    const bool question = cvk::isQuestion(style);
    QMessageBox box(
        icon, title, plainLines(text),
        question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::StandardButtons(QMessageBox::Ok), this);
    const int answer = box.exec();
    if (!question)
        return cvk::MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? cvk::MessageAnswer::Yes : cvk::MessageAnswer::No;
}

void CCorvaneDlg::setTitle(const std::string& text) { setWindowTitle(qs(text)); }

void CCorvaneDlg::setTrayTip(const std::string& text)
{
    if (tray_)
        tray_->setToolTip(plainLines(text).left(kTrayTipLength));
}

void CCorvaneDlg::setTrayIcon(int iconId)
{
    if (tray_)
        tray_->setIcon(cvk::symbols::programIcon(iconId != cvk::kIconNoDevice));
}

void CCorvaneDlg::enableControl(int control, bool on)
{
    if (auto it = controls_.find(control); it != controls_.end())
        it->second->setEnabled(on);
}

void CCorvaneDlg::showControl(int control, bool on)
{
    if (auto it = controls_.find(control); it != controls_.end())
        it->second->setVisible(on);
}

void CCorvaneDlg::showWindow()
{
    if (tray_ && tray_->isVisible())
        restoreFromTray();
    else if (!isVisible())
        show();
}

void CCorvaneDlg::closeWindow() { endWindow(); }

void CCorvaneDlg::endWindow()
{
    ending_ = true;
    tickTimer_.stop();
    deviceChangeTimer_.stop();
    if (tray_)
        tray_->hide();
    close();
    // The window may sit hidden in the notification area, where closing it
    // does not end the event loop by itself.
    QCoreApplication::quit();
}

cvk::PumpResult CCorvaneDlg::pump()
{
    const uint64_t before = arrivals_;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    return {arrivals_ != before, !isVisible()};
}

void CCorvaneDlg::waitCursor(bool on)
{
    if (on && !waitCursor_)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else if (!on && waitCursor_)
        QApplication::restoreOverrideCursor();
    waitCursor_ = on;
}

// ------------------------------------------------------------ window events

void CCorvaneDlg::closeEvent(QCloseEvent* event)
{
    if (ending_) {
        event->accept();
        return;
    }
    // The close box acts as Cancel, which ends the window through the core.
    event->ignore();
    postCommand(cvk::kCmdCancel);
}

void CCorvaneDlg::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // The user may have switched the keyboard layout while elsewhere: key
    // names on the buttons follow the layout in use.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && layout_ && layout_->refresh()) {
        picture_->keyNamesChanged();
        refreshView();
    }
    if (event->type() != QEvent::WindowStateChange || !(windowState() & Qt::WindowMinimized) || !tray_)
        return;
    // Minimising puts the window into the notification area instead; the
    // state change must finish before the window can be hidden.
    QTimer::singleShot(0, this, [this] {
        if (windowState() & Qt::WindowMinimized)
            hideToTray();
    });
}

// ------------------------------------------------------------ notification area

bool CCorvaneDlg::hideToTray()
{
    if (!tray_)
        return false;
    tray_->show();
    if (!tray_->isVisible())
        return false;  // no icon, so the window stays where it is
    setWindowState(windowState() & ~Qt::WindowMinimized);
    hide();
    return true;
}

void CCorvaneDlg::restoreFromTray()
{
    if (tray_)
        tray_->hide();
    show();
    showNormal();
    raise();
    activateWindow();
}

void CCorvaneDlg::bringToFront()
{
    if (ending_)
        return;
    if (!isVisible() || (tray_ && tray_->isVisible())) {
        restoreFromTray();
    } else {
        showNormal();
        raise();
        activateWindow();
    }
}

void CCorvaneDlg::rebuildTrayMenu()
{
    if (!trayMenu_)
        return;
    trayMenu_->clear();
    for (const cvk::TrayMenuItem& item : controller_.profiles().trayMenu()) {
        if (item.command == 0) {
            trayMenu_->addSeparator();
            continue;
        }
        QAction* action = trayMenu_->addAction(qs(item.text));
        if (item.checked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        if (item.isDefault) {
            action->setIcon(cvk::symbols::programIcon(true));
            setBold(action);
            trayMenu_->setDefaultAction(action);
        }
        const int command = item.command;
        // Posted: the handler rebuilds this very menu.
        connect(action, &QAction::triggered, this, [this, command] { postCommand(command); });
    }
}

// ------------------------------------------------------------ device changes

void CCorvaneDlg::hotplugReadable()
{
    for (cvk::HotplugEvent event : hotplug_->drain()) {
        ++arrivals_;
        controller_.deviceChanged(event == cvk::HotplugEvent::Arrival);
    }
    armDeviceChangeTimer();
}

void CCorvaneDlg::armDeviceChangeTimer()
{
    const std::optional<int64_t> deadline = controller_.deviceChangeTimer().deadline();
    if (!deadline) {
        deviceChangeTimer_.stop();
        return;
    }
    const int64_t wait = std::max<int64_t>(0, *deadline - clock_.nowMs());
    deviceChangeTimer_.start(static_cast<int>(std::min<int64_t>(wait, 60'000)));
}
