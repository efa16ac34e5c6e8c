#include "ui/corvane_dlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSocketNotifier>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "app/corvane_app.h"
#include "config/descriptions.h"
#include "device/model_views.h"
#include "device/models.h"
#include "keys/key_names.h"
#include "platform/hotplug.h"
#include "platform/keyboard_layout.h"
#include "texts/text_ids.h"
#include "texts/texts.h"
#include "ui/dialogs.h"

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The notification area cuts tips at 127 characters.
constexpr int kTrayTipLength = 127;
constexpr int kTickMs = 100;
constexpr int kDeviceButtonWidth = 120;

// The program has no icon files yet: the icon is drawn, gray while no
// device is usable.
QIcon programIcon(bool usable)
{
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(usable ? QColor(0x1F, 0x4E, 0x8C) : QColor(0x80, 0x80, 0x80));
        painter.drawRoundedRect(QRectF(0.5, 0.5, size - 1.0, size - 1.0), size / 5.0, size / 5.0);
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(size * 9 / 20);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("CV"));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

void setBold(QAction* action)
{
    QFont font = action->font();
    font.setBold(true);
    action->setFont(font);
}

QString plainLines(const std::string& text)
{
    QString s = qs(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

// A button caption on one line: the parts of a several-line description
// joined, the key of a shortcut after a space.
QString oneLine(const std::string& text)
{
    QStringList parts = plainLines(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& part : parts)
        part = part.replace(QLatin1Char('\t'), QLatin1Char(' ')).trimmed();
    return parts.join(QStringLiteral(", "));
}

QString tooltipText(const std::string& text)
{
    QString s = plainLines(text).trimmed();
    s.replace(QLatin1Char('\t'), QStringLiteral("  "));
    if (Qt::mightBeRichText(s))
        s.replace(QLatin1Char('\n'), QStringLiteral("<br>"));
    return s;
}

}  // namespace

// ------------------------------------------------------------ system settings

int QtSystemSettings::wheelScrollLines()
{
    return lines_ > 0 ? lines_ : QGuiApplication::styleHints()->wheelScrollLines();
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
    : store_(ports.store),
      clock_(ports.clock),
      app_(ports.app),
      layout_(ports.layout),
      hotplug_(ports.hotplug),
      unattended_(ports.unattended),
      controller_(cvk::MainPorts{ports.bus, ports.clock, *this, ports.store, system_, ports.layout})
{
    setWindowTitle(QStringLiteral("Corvane Arvel"));
    setWindowIcon(programIcon(true));
    auto* layout = new QVBoxLayout(this);

    // Profile row.
    auto* top = new QHBoxLayout;
    layout->addLayout(top);
    profileBox_ = new QGroupBox(qs(cvk::text(cvk::kTxtProfile)), this);
    controls_[cvk::kCtlProfileBox] = profileBox_;
    auto* profileRow = new QHBoxLayout(profileBox_);
    auto* nameLabel = new QLabel(qs(cvk::text(cvk::kTxtProfileName)) + QLatin1Char(':'), profileBox_);
    controls_[cvk::kCtlProfileLabel] = nameLabel;
    profileRow->addWidget(nameLabel);
    selector_ = new QComboBox(profileBox_);
    selector_->setMinimumWidth(200);
    selector_->setEnabled(false);
    controls_[cvk::kCtlProfileSelector] = selector_;
    profileRow->addWidget(selector_, 1);
    connect(selector_, &QComboBox::activated, this, &CCorvaneDlg::selectorActivated);
    for (auto [id, textId] : {std::pair{cvk::kCmdNewProfile, cvk::kTxtNewProfile},
                              std::pair{cvk::kCmdRenameProfile, cvk::kTxtRenameProfile},
                              std::pair{cvk::kCmdDeleteProfile, cvk::kTxtDeleteProfile}}) {
        auto* button = new QPushButton(qs(cvk::text(textId)), profileBox_);
        button->setEnabled(false);
        button->setAutoDefault(false);
        controls_[id] = button;
        profileRow->addWidget(button);
        const int command = id;
        connect(button, &QPushButton::clicked, this, [this, command] { dispatch(command); });
    }
    top->addWidget(profileBox_, 1);
    auto* language = new QToolButton(this);
    language->setText(QStringLiteral("Langauge ..."));
    language->setAutoRaise(true);
    controls_[cvk::kCtlLanguageLink] = language;
    connect(language, &QToolButton::clicked, this, &CCorvaneDlg::changeLanguage);
    top->addWidget(language, 0, Qt::AlignTop);

    // Status band.
    auto* band = new QWidget(this);
    band->setAutoFillBackground(true);
    QPalette white = band->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    band->setPalette(white);
    auto* bandLayout = new QVBoxLayout(band);
    status_ = new QLabel(band);
    QFont statusFont = status_->font();
    statusFont.setBold(true);
    statusFont.setPointSizeF(statusFont.pointSizeF() * 1.2);
    status_->setFont(statusFont);
    status_->setWordWrap(true);
    bandLayout->addWidget(status_);
    wakePrompt_ = new QLabel(band);
    wakePrompt_->setFont(statusFont);
    wakePrompt_->hide();
    bandLayout->addWidget(wakePrompt_);
    details_ = new QLabel(band);
    details_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    details_->setWordWrap(true);
    details_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    bandLayout->addWidget(details_, 1);

    // The pad and the buttons of the device.
    auto* deviceRow = new QGridLayout;
    deviceRow->setSpacing(4);
    for (int n = 0; n <= 9; ++n) {
        auto* button = new QToolButton(band);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setFixedWidth(kDeviceButtonWidth);
        button->setMinimumHeight(44);
        deviceRow->addWidget(button, n / 5, n % 5);
        connect(button, &QToolButton::clicked, this, [this, n] { openButtonMenu(n); });
        deviceButtons_.push_back(button);
    }
    bandLayout->addLayout(deviceRow);
    layout->addWidget(band, 1);

    // Bottom row.
    auto* bottom = new QHBoxLayout;
    layout->addLayout(bottom);
    addCommandButton(bottom, QStringLiteral("&Refresh"), cvk::kCmdRefresh);
    addCommandButton(bottom, qs(cvk::text(cvk::kTxtRestoreDefaults)), cvk::kCmdRestoreDefaults);
    bottom->addStretch();
    addCommandButton(bottom, qs(cvk::text(cvk::kTxtOk)), cvk::kCmdOk);
    addCommandButton(bottom, qs(cvk::text(cvk::kTxtCancel)), cvk::kCmdCancel);
    addCommandButton(bottom, qs(cvk::text(cvk::kTxtApply)), cvk::kCmdApply)->setEnabled(false);

    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        tray_ = new QSystemTrayIcon(programIcon(true), this);
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

    setMinimumWidth(720);
    refreshView();
}

CCorvaneDlg::~CCorvaneDlg()
{
    if (waitCursor_)
        QApplication::restoreOverrideCursor();
    if (tray_)
        tray_->hide();
}

QPushButton* CCorvaneDlg::addCommandButton(QHBoxLayout* row, const QString& text, int command)
{
    auto* button = new QPushButton(text, this);
    button->setAutoDefault(false);
    row->addWidget(button);
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
    ++arrivals_;
    controller_.handleCommand(command);
    refreshView();
}

// ------------------------------------------------------------ drawing

void CCorvaneDlg::refreshView()
{
    refreshStatus();
    refreshDeviceButtons();
    const int line = controller_.profiles().currentLine();
    if (selector_->currentIndex() != line && line < selector_->count())
        selector_->setCurrentIndex(line);
    if (controller_.window().transferMark < 0)
        wakePrompt_->hide();
}

void CCorvaneDlg::refreshStatus()
{
    const cvk::DeviceState& s = controller_.device();
    QString headline;
    bool red = false;
    if (controller_.window().transferMark == cvk::kTransferMarkRunning) {
        headline = qs(cvk::text(cvk::kTxtUpdateInProgress));
    } else if (s.deviceCount > 100) {
        headline = qs(cvk::text(cvk::kTxtCompatibilityIssue)) + QLatin1Char('\n') +
                   qs(cvk::text(cvk::kTxtNeedsNewerProgram));
        red = true;
    } else if (s.singleDevice()) {
        red = s.deviceCount == 0 && s.modelCode == cvk::kModelNone;
        headline =
            qs(s.deviceCount == 0 ? cvk::text(cvk::kTxtConnectCable) : cvk::text(cvk::kTxtClickToChange));
    } else {
        headline = qs(s.deviceCount >= 2 ? cvk::text(cvk::kTxtSeveralDevices) : cvk::text(cvk::kTxtNoDevice));
        red = true;
    }
    if (status_->text() != headline)
        status_->setText(headline);
    status_->setStyleSheet(red ? QStringLiteral("color: #C00000") : QString());

    QStringList lines;
    if (!tip_.empty())
        lines << plainLines(tip_).simplified();
    if (!s.hardwareVersionText.empty())
        lines << plainLines(s.hardwareVersionText).trimmed();
    if (auto it = controlTexts_.find(cvk::kCtlDevicePath);
        it != controlTexts_.end() && s.singleDevice() && !it->second.empty())
        lines << qs(it->second);
    if (!s.deniedPaths.empty())
        lines << QStringLiteral(
            "A Corvane device is attached but this user may not open it.\n"
            "Install the udev rule (cvkeys-cli udev-rule) and replug the device.");
    const QString detail = lines.join(QLatin1Char('\n'));
    if (details_->text() != detail)
        details_->setText(detail);
}

void CCorvaneDlg::refreshDeviceButtons()
{
    const cvk::DeviceState& s = controller_.device();
    const cvk::DescribeContext context =
        cvk::describeContext(s, controller_.config(), controller_.window().fadeLevel);
    const cvk::KeyTextFn keyText = [this](uint16_t word) {
        return layout_ ? cvk::keyText(word, *layout_) : std::string();
    };
    const bool editable = s.singleDevice();
    for (int n = 0; n <= 9; ++n) {
        QToolButton* button = deviceButtons_[static_cast<size_t>(n)];
        const bool absent = !cvk::buttonOnPicture(s, n);
        button->setVisible(!absent);
        if (absent)
            continue;
        const cvk::Description caption = cvk::describe(context, n, cvk::DescriptionForm::Caption, keyText);
        const cvk::Description hover = cvk::describe(context, n, cvk::DescriptionForm::Hover, keyText);
        const QString name = n == 0 ? QStringLiteral("Pad") : QStringLiteral("Button %1").arg(n);
        const QString elided =
            button->fontMetrics().elidedText(oneLine(caption.text), Qt::ElideRight, kDeviceButtonWidth - 12);
        const QString label = name + QLatin1Char('\n') + elided;
        if (button->text() != label)
            button->setText(label);
        const QString tip = tooltipText(hover.text);
        if (button->toolTip() != tip)
            button->setToolTip(tip);
        const QString style = caption.colour ? QStringLiteral("color: rgb(%1, %2, %3)")
                                                   .arg(caption.colour->red)
                                                   .arg(caption.colour->green)
                                                   .arg(caption.colour->blue)
                                             : QString();
        if (button->styleSheet() != style)
            button->setStyleSheet(style);
        button->setEnabled(editable);
    }
}

void CCorvaneDlg::drawBusyPicture()
{
    refreshStatus();
    status_->repaint();
}

void CCorvaneDlg::drawWakeFrame(int frame)
{
    // No animation is drawn; the wake-up prompt tells the user what to do.
    (void)frame;
}

void CCorvaneDlg::drawWakePrompt(const std::string& text, bool bright)
{
    wakePrompt_->setText(qs(text));
    wakePrompt_->setStyleSheet(bright ? QStringLiteral("color: #FF0000") : QStringLiteral("color: #800000"));
    wakePrompt_->show();
    wakePrompt_->repaint();
}

// ------------------------------------------------------------ function menus

void CCorvaneDlg::openButtonMenu(int button)
{
    const bool ctrl = (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier) != 0;
    const std::optional<std::vector<cvk::MenuItem>> items = controller_.openButtonMenu(button, ctrl);
    if (!items)
        return;
    QMenu menu(this);
    fillMenu(&menu, *items);
    QAction* chosen = menu.exec(QCursor::pos());
    QToolTip::hideText();
    if (chosen && chosen->data().isValid())
        dispatch(chosen->data().toInt());
}

void CCorvaneDlg::fillMenu(QMenu* menu, const std::vector<cvk::MenuItem>& items)
{
    // Hovering an item explains it.
    connect(menu, &QMenu::hovered, menu, [](QAction* action) {
        const std::optional<std::string> hint =
            action->data().isValid() ? cvk::menuHint(action->data().toInt(), action->text().toStdString())
                                     : std::nullopt;
        if (hint)
            QToolTip::showText(QCursor::pos(), qs(*hint));
        else
            QToolTip::hideText();
    });
    for (const cvk::MenuItem& item : items) {
        if (item.separator) {
            menu->addSeparator();
            continue;
        }
        QAction* action = nullptr;
        if (item.isSubmenu()) {
            QMenu* sub = menu->addMenu(qs(item.text));
            fillMenu(sub, item.submenu);
            action = sub->menuAction();
            // Submenu titles carry their command too, so their hint shows.
            if (item.command != 0)
                action->setData(item.command);
        } else {
            action = menu->addAction(qs(item.text));
            if (item.command != 0)
                action->setData(item.command);
        }
        if (item.ticked) {
            action->setCheckable(true);
            action->setChecked(true);
        }
        action->setEnabled(!item.grayed);
        if (item.isDefault)
            setBold(action);
    }
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

std::string CCorvaneDlg::askLanguage(const std::string& preset) { return askLanguageDialog(this, preset); }

void CCorvaneDlg::changeLanguage()
{
    const std::string chosen = askLanguage(app_.language());
    if (!app_.changeLanguage(store_, chosen))
        return;
    // The new language takes effect in a new copy of the program.
    restartRequested_ = true;
    endWindow();
}

void CCorvaneDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* language = menu.addAction(QStringLiteral("Langauge ..."));
    if (menu.exec(event->globalPos()) == language)
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

void CCorvaneDlg::setControlText(int control, const std::string& text)
{
    controlTexts_[control] = text;
    refreshStatus();
}

void CCorvaneDlg::setTrayTip(const std::string& text)
{
    tip_ = text;
    if (tray_)
        tray_->setToolTip(plainLines(text).left(kTrayTipLength));
    refreshStatus();
}

void CCorvaneDlg::setTrayIcon(int iconId)
{
    if (tray_)
        tray_->setIcon(programIcon(iconId != cvk::kIconNoDevice));
}

void CCorvaneDlg::enableControl(int control, bool on)
{
    enabled_[control] = on;
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
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && layout_ && layout_->refresh())
        refreshView();
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
            action->setIcon(programIcon(true));
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
