#include "ui/about_dlg.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/picture_area.h"
#include "app/window_state.h"
#include "device/device_state.h"
#include "device/models.h"
#include "texts/text_ids.h"
#include "texts/texts.h"
#include "ui/firmware_dlg.h"
#include "ui/picture_symbols.h"

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

constexpr QColor kDeviceBack(248, 247, 245);

// The strip across the top of the first tab: a quiet gradient with the
// program's name, drawn as vectors so it is sharp at any pixel ratio.
class AboutBanner final : public QWidget {
public:
    explicit AboutBanner(QWidget* parent) : QWidget(parent)
    {
        setMinimumSize(350, 100);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = rect();
        QLinearGradient back(r.topLeft(), r.bottomRight());
        back.setColorAt(0, QColor(38, 70, 110));
        back.setColorAt(0.55, QColor(74, 118, 160));
        back.setColorAt(1, QColor(164, 196, 222));
        p.fillRect(r, back);

        // Two soft swells echo the pad's outline without drawing a device.
        for (int k = 0; k < 2; ++k) {
            QPainterPath wave;
            const double base = r.height() * (0.62 + 0.16 * k);
            wave.moveTo(r.left(), base);
            wave.cubicTo(r.left() + r.width() * 0.35, base - 34, r.left() + r.width() * 0.65, base + 26,
                         r.right(), base - 10);
            wave.lineTo(r.bottomRight());
            wave.lineTo(r.bottomLeft());
            wave.closeSubpath();
            p.fillPath(wave, QColor(255, 255, 255, k == 0 ? 28 : 40));
        }

        QFont title = font();
        title.setPixelSize(34);
        title.setWeight(QFont::DemiBold);
        p.setFont(title);
        p.setPen(Qt::white);
        const QRectF text = r.adjusted(22, 14, -16, -r.height() * 0.45);
        p.drawText(text, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("CV Keys"));

        QFont sub = font();
        sub.setPixelSize(13);
        p.setFont(sub);
        p.setPen(QColor(255, 255, 255, 210));
        p.drawText(r.adjusted(24, r.height() * 0.58, -16, -8), Qt::AlignLeft | Qt::AlignTop,
                   QStringLiteral("for the Corvane pointing pads"));
    }
};

// A 64x64 icon taken at the screen's pixel ratio, so it is not scaled up.
class IconView final : public QWidget {
public:
    explicit IconView(QWidget* parent) : QWidget(parent) { setFixedSize(64, 64); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        cvk::symbols::programIcon(true).paint(&p, rect());
    }
};

QLabel* richLabel(const std::string& html, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setText(qs(cvk::shownHtml(html)));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QWidget* aboutPage(const AboutFacts& facts, QWidget* parent)
{
    auto* page = new QWidget(parent);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(0, 0, 0, 12);
    column->setSpacing(10);
    column->addWidget(new AboutBanner(page));

    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 4, 16, 0);
    body->setSpacing(10);
    column->addLayout(body);

    auto* head = new QHBoxLayout;
    head->setSpacing(14);
    head->addWidget(new IconView(page), 0, Qt::AlignTop);
    auto* program = new QVBoxLayout;
    program->setSpacing(4);
    auto* version = new QLabel(qs(cvk::aboutVersionText(CVKEYS_VERSION, __DATE__)), page);
    version->setObjectName(QStringLiteral("versionText"));
    version->setTextFormat(Qt::PlainText);
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    program->addWidget(version);
    auto* copyright = new QLabel(qs(cvk::aboutCopyrightLine()), page);
    copyright->setTextFormat(Qt::PlainText);
    program->addWidget(copyright);
    const QString address = QString::fromLatin1(cvk::kMakerWebAddress);
    auto* link = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(address.toHtmlEscaped()), page);
    link->setObjectName(QStringLiteral("makerLink"));
    link->setTextFormat(Qt::RichText);
    link->setOpenExternalLinks(true);
    program->addWidget(link);
    head->addLayout(program, 1);
    body->addLayout(head);

    QLabel* device =
        richLabel(cvk::aboutDeviceLines(facts.hardwareVersion, facts.firmwareText, facts.serialText), page);
    device->setObjectName(QStringLiteral("deviceLines"));
    device->setAutoFillBackground(true);
    QPalette palette = device->palette();
    palette.setColor(QPalette::Window, kDeviceBack);
    palette.setColor(QPalette::WindowText, QColor(40, 40, 40));
    device->setPalette(palette);
    device->setContentsMargins(8, 6, 8, 6);
    device->setMinimumHeight(device->fontMetrics().lineSpacing() * 3 + 12);
    body->addWidget(device);

    QLabel* display = richLabel(cvk::aboutDisplayLines(facts.monitors), page);
    display->setObjectName(QStringLiteral("displayLines"));
    // In line with the device lines' text, not with their box.
    display->setContentsMargins(8, 0, 8, 0);
    body->addWidget(display);
    body->addStretch(1);
    return page;
}

}  // namespace

AboutFacts aboutFacts(const cvk::DeviceState& device, const cvk::WindowState& window,
                      const std::vector<cvk::MonitorRect>& monitors)
{
    cvk::MonitorRect primary;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect g = screen->geometry();
        primary = {g.left(), g.top(), g.right() + 1, g.bottom() + 1};
    }
    // Only a device on its cable can be the one in the bootloader; the
    // receiver alone names no model.
    const bool model = device.attached() && device.modelCode >= cvk::kModelArvelOld;
    return {device.hardwareVersionText, window.firmwareText, window.serialText,
            cvk::markPrimary(monitors, primary), model ? cvk::displayName(device.modelCode) : std::string()};
}

QString firmwareConfirmText(const std::string& deviceName, const QString& hexPath)
{
    const QString device = deviceName.empty() ? QStringLiteral("the device in bootloader mode")
                                              : QStringLiteral("the ") + qs(deviceName);
    return QStringLiteral(
               "Write the firmware in %1 into %2?\n\n"
               "The pad must be in its bootloader mode. Keep it plugged in until the "
               "update ends.")
        .arg(QFileInfo(hexPath).fileName(), device);
}

CAboutCVDlg::CAboutCVDlg(const AboutFacts& facts, QWidget* parent, FirmwareUpdater updater)
    : QDialog(parent), facts_(facts), updater_(std::move(updater))
{
    setWindowTitle(qs(cvk::text(cvk::kTxtAboutProgram)));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 8, 8);

    tabs_ = new QTabWidget(this);
    tabs_->addTab(aboutPage(facts, tabs_), qs(cvk::text(cvk::kTxtAboutProgram)));
    notice_ = new QPlainTextEdit(tabs_);
    notice_->setObjectName(QStringLiteral("legalNotice"));
    notice_->setReadOnly(true);
    notice_->setPlainText(qs(cvk::aboutLegalNotice()));
    notice_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette white = notice_->palette();
    white.setColor(QPalette::Base, Qt::white);
    notice_->setPalette(white);
    tabs_->addTab(notice_, qs(cvk::text(cvk::kTxtLegalNotice)));
    tabs_->setMinimumSize(420, 380);
    layout->addWidget(tabs_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    update_ = new QPushButton(QStringLiteral("Update firmware..."), this);
    update_->setObjectName(QStringLiteral("updateFirmware"));
    update_->setAutoDefault(false);
    update_->setVisible(static_cast<bool>(updater_));
    connect(update_, &QPushButton::clicked, this, &CAboutCVDlg::updateFirmware);
    buttons->addWidget(update_);
    close_ = new QPushButton(qs(cvk::text(cvk::kTxtClose)), this);
    close_->setDefault(true);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close_);
    layout->addLayout(buttons);

    chooseFirmwareFile = [this] {
        return QFileDialog::getOpenFileName(this, QStringLiteral("Update firmware"), QString(),
                                            QStringLiteral("Firmware images (*.hex);;All files (*)"));
    };
    confirmUpdate = [this](const QString& text) {
        return QMessageBox::question(this, QStringLiteral("Update firmware"), text,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
}

void CAboutCVDlg::updateFirmware()
{
    if (!updater_ || !chooseFirmwareFile || !confirmUpdate)
        return;
    const QString file = chooseFirmwareFile();
    if (file.isEmpty() || !confirmUpdate(firmwareConfirmText(facts_.deviceName, file)))
        return;
    const std::string path = file.toStdString();
    CFirmwareDlg progress(
        [updater = updater_, path](cvk::service::IUpdateLog& log) { return updater(path, log); }, this);
    progress.exec();
}

void showAboutDialog(QWidget* parent, const AboutFacts& facts, FirmwareUpdater updater)
{
    CAboutCVDlg dialog(facts, parent, std::move(updater));
    dialog.exec();
}
