#include "ui/picture_view.h"

#include <QAccessible>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <algorithm>

#include "app/main_controller.h"
#include "config/config_model.h"
#include "config/descriptions.h"
#include "config/pointer_settings.h"
#include "device/model_views.h"
#include "texts/texts.h"
#include "ui/device_picture.h"
#include "ui/picture_symbols.h"

namespace {

using cvk::Rect;

QString qs(const std::string& s) { return QString::fromStdString(s); }

QRect qrect(const Rect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }
QColor qcolour(cvk::Rgb c) { return QColor(c.red, c.green, c.blue); }

QString plainLines(const std::string& text)
{
    QString s = qs(text);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    s.replace(QLatin1Char('\t'), QStringLiteral("    "));
    return s;
}

// A caption on one line: the parts of a several-line text joined.
QString oneLine(const std::string& text)
{
    QStringList parts = plainLines(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (QString& part : parts)
        part = part.trimmed();
    return parts.join(QStringLiteral(", "));
}

// The window asks for Arial; a metric-compatible face stands in where it is missing.
QFont arial(int pixels, int weight, bool italic = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(italic);
    return font;
}

const QFont& labelFont()
{
    static const QFont font = arial(12, 700);
    return font;
}
const QFont& headingFont()
{
    static const QFont font = arial(18, 700);
    return font;
}
const QFont& bandFont()
{
    static const QFont font = arial(15, 400);
    return font;
}
const QFont& promptFont()
{
    static const QFont font = arial(20, 600);
    return font;
}
const QFont& smallFont()
{
    static const QFont font = arial(11, 400);
    return font;
}

Qt::Alignment qtAlign(cvk::LabelAlign align)
{
    switch (align) {
    case cvk::LabelAlign::MiddleLeft: return Qt::AlignLeft | Qt::AlignVCenter;
    case cvk::LabelAlign::Left: return Qt::AlignLeft | Qt::AlignTop;
    case cvk::LabelAlign::Centre: return Qt::AlignHCenter | Qt::AlignTop;
    case cvk::LabelAlign::Right: return Qt::AlignRight | Qt::AlignTop;
    case cvk::LabelAlign::BottomLeft: return Qt::AlignLeft | Qt::AlignBottom;
    case cvk::LabelAlign::BottomRight: return Qt::AlignRight | Qt::AlignBottom;
    }
    return Qt::AlignLeft;
}

QString pictureName(cvk::PictureKind kind)
{
    switch (kind) {
    case cvk::PictureKind::NoDevice: return QStringLiteral("no-device");
    case cvk::PictureKind::Arvel: return QStringLiteral("arvel");
    case cvk::PictureKind::Arvel2: return QStringLiteral("arvel2");
    case cvk::PictureKind::Essom: return QStringLiteral("essom");
    case cvk::PictureKind::Dorrin: return QStringLiteral("dorrin");
    case cvk::PictureKind::Wireless: return QStringLiteral("wireless");
    case cvk::PictureKind::Brill: return QStringLiteral("brill");
    }
    return QStringLiteral("no-device");
}

QString buttonName(int button)
{
    return button == 0 ? QStringLiteral("Pad") : QStringLiteral("Button %1").arg(button);
}

constexpr int kTipDelayMs = 10;
constexpr int kTipShownMs = 60'000;
constexpr int kBrillSwitchPosition = 59;
const QColor kHoverAccent(0xE0, 0x6A, 0x10);

}  // namespace

// ------------------------------------------------------------ focus buttons

// An invisible stand-in for one device button: it takes the keyboard focus
// and carries the button's name and function for screen readers; the
// picture area draws its focus ring. Mouse events pass through to the area.
class ButtonFocus final : public QWidget {
public:
    ButtonFocus(PictureView* view, int button) : QWidget(view), view_(view), button_(button)
    {
        setFocusPolicy(Qt::StrongFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setAccessibleName(buttonName(button));
    }
    int button() const { return button_; }

protected:
    void paintEvent(QPaintEvent*) override {}
    void focusInEvent(QFocusEvent* event) override
    {
        QWidget::focusInEvent(event);
        view_->focusButtonChanged(button_, true);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        QWidget::focusOutEvent(event);
        view_->focusButtonChanged(button_, false);
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up: moveFocus(-1); return;
        case Qt::Key_Right:
        case Qt::Key_Down: moveFocus(+1); return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Space:
        case Qt::Key_Menu: view_->openFocused(button_); return;
        default: QWidget::keyPressEvent(event);
        }
    }

private:
    void moveFocus(int step)
    {
        for (int n = button_ + step; n >= 0 && n <= 9; n += step) {
            ButtonFocus* next = view_->focusButtons_[static_cast<size_t>(n)];
            if (next->isVisible()) {
                next->setFocus(step > 0 ? Qt::TabFocusReason : Qt::BacktabFocusReason);
                return;
            }
        }
    }

    PictureView* view_;
    int button_;
};

// ------------------------------------------------------------ the area

PictureView::PictureView(PictureHost& host, QWidget* parent) : QWidget(parent), host_(host)
{
    setFixedSize(cvk::kPictureAreaWidth, kHeight);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAccessibleName(QStringLiteral("Device picture"));
    for (int n = 0; n <= 9; ++n) {
        focusButtons_[static_cast<size_t>(n)] = new ButtonFocus(this, n);
        focusButtons_[static_cast<size_t>(n)]->hide();
    }
    // Tab walks the buttons in their numbers' order.
    for (int n = 0; n < 9; ++n)
        setTabOrder(focusButtons_[static_cast<size_t>(n)], focusButtons_[static_cast<size_t>(n + 1)]);
    focusLayoutTimer_.setSingleShot(true);
    focusLayoutTimer_.setInterval(0);
    connect(&focusLayoutTimer_, &QTimer::timeout, this, &PictureView::layoutFocusButtons);
    tipTimer_.setSingleShot(true);
    tipTimer_.setInterval(kTipDelayMs);
    connect(&tipTimer_, &QTimer::timeout, this, [this] {
        if (!tipText_.isEmpty() && !host_.menuOpen())
            QToolTip::showText(mapToGlobal(tipPos_), tipText_, this, QRect(), kTipShownMs);
    });
    refresh();
}

PictureView::~PictureView() = default;

PictureView::Shown PictureView::shown() const
{
    const cvk::DeviceState& device = host_.controller().device();
    return {cvk::pictureKind(device), cvk::hitTableFor(device)};
}

const cvk::DevicePicture& PictureView::picture(cvk::PictureKind kind)
{
    auto& slot = pictures_[kind];
    if (!slot)
        slot = std::make_unique<cvk::DevicePicture>(pictureName(kind));
    return *slot;
}

const QImage& PictureView::currentHitMap()
{
    const Shown s = shown();
    const auto key = std::pair{static_cast<int>(s.kind), static_cast<int>(s.table)};
    auto it = hitMaps_.find(key);
    if (it != hitMaps_.end())
        return it->second;
    cvk::DevicePicture::HitColours colours;
    if (s.kind != cvk::PictureKind::NoDevice)
        for (int n = 0; n <= 9; ++n)
            if (const std::optional<cvk::Rgb> c = cvk::hitColour(s.table, n))
                colours[static_cast<size_t>(n)] = qcolour(*c);
    const std::optional<QColor> link = s.table == cvk::HitTable::Register
                                           ? std::optional<QColor>(qcolour(cvk::kWebSiteColour))
                                           : std::nullopt;
    QImage map = picture(s.kind).hitMap(colours, link);
    if (map.isNull() || s.kind == cvk::PictureKind::NoDevice) {
        map = QImage(cvk::kPictureWidth, cvk::kPictureHeight, QImage::Format_RGB32);
        map.fill(Qt::white);
    }
    return hitMaps_.emplace(key, std::move(map)).first->second;
}

QImage PictureView::hitMap() { return currentHitMap(); }

cvk::HitFacts PictureView::facts() const
{
    const cvk::CMainController& c = host_.controller();
    const bool open = c.window().settingsViewOpen;
    return cvk::hitFacts(c.device(), open, cvk::pointerRects(c.device(), open), kHeight);
}

int PictureView::effectiveHover() const
{
    return host_.controller().window().transferMark >= 0 ? cvk::kItemTransferRunning : hovered_;
}

int PictureView::hovered() const { return effectiveHover(); }

int PictureView::focusedButton() const { return focused_; }

int PictureView::itemAt(const QPoint& point)
{
    const QImage& map = currentHitMap();
    const cvk::ColourAtFn colourAt = [&map](int x, int y) -> cvk::Rgb {
        if (x < 0 || y < 0 || x >= map.width() || y >= map.height())
            return {255, 255, 255};
        const QRgb c = map.pixel(x, y);
        return {static_cast<uint8_t>(qRed(c)), static_cast<uint8_t>(qGreen(c)),
                static_cast<uint8_t>(qBlue(c))};
    };
    return cvk::hitTest(facts(), point.x(), point.y(), colourAt);
}

void PictureView::setHovered(int item)
{
    const cvk::HoverChange change = cvk::hoverAfterHit(effectiveHover(), item);
    if (!change.redraw)
        return;
    hovered_ = change.hovered;
    update();
}

void PictureView::hoverItem(int item)
{
    hovered_ = item;
    if (const std::optional<QPoint> p = itemPoint(item))
        updateCursorAndTips(item, *p);
    update();
}

std::optional<QPoint> PictureView::itemPoint(int item)
{
    if ((item >= 0 && item <= 9) || item == cvk::kItemWebSite) {
        const QImage& map = currentHitMap();
        const std::optional<cvk::Rgb> colour = item == cvk::kItemWebSite
                                                   ? std::optional<cvk::Rgb>(cvk::kWebSiteColour)
                                                   : cvk::hitColour(shown().table, item);
        if (!colour)
            return std::nullopt;
        // The middle of the button's pixels, or the first when the middle falls outside it.
        const QRgb want = qRgb(colour->red, colour->green, colour->blue);
        long sx = 0, sy = 0, count = 0;
        std::optional<QPoint> first;
        for (int y = 0; y < map.height(); ++y)
            for (int x = 0; x < map.width(); ++x)
                if ((map.pixel(x, y) & 0xFFFFFF) == (want & 0xFFFFFF)) {
                    sx += x;
                    sy += y;
                    ++count;
                    if (!first)
                        first = QPoint(x, y);
                }
        if (count == 0)
            return std::nullopt;
        const int top = kHeight - cvk::kPictureOffset;
        const QPoint middle(static_cast<int>(sx / count), static_cast<int>(sy / count));
        const QPoint p = (map.pixel(middle) & 0xFFFFFF) == (want & 0xFFFFFF) ? middle : *first;
        return QPoint(p.x(), p.y() + top);
    }
    if (item >= cvk::kItemPointerSettingFirst && item < cvk::kItemPointerSettingFirst + 40) {
        const cvk::CMainController& c = host_.controller();
        const cvk::PointerRects rects = cvk::pointerRects(c.device(), c.window().settingsViewOpen);
        const int row = (item - cvk::kItemPointerSettingFirst) / 10;
        const int k = (item - cvk::kItemPointerSettingFirst) % 10;
        if (k > 2)
            return std::nullopt;
        const Rect& r = rects[static_cast<size_t>(3 * row + k)];
        if (r.right <= r.left)
            return std::nullopt;
        return QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    return std::nullopt;
}

bool PictureView::toggleAvailable() const
{
    const cvk::CMainController& c = host_.controller();
    return c.window().wirelessPicture && c.device().singleDevice();
}

bool PictureView::settingsToggleShown() const { return toggleAvailable(); }

QRect PictureView::settingsToggleRect() const { return qrect(cvk::settingsToggleRect(toggleHot_, kHeight)); }

bool PictureView::overToggle(const QPoint& p) const
{
    return toggleAvailable() && settingsToggleRect().contains(p);
}

QRect PictureView::padSwitchRect() const
{
    const cvk::CMainController& c = host_.controller();
    if (cvk::pictureKind(c.device()) != cvk::PictureKind::Brill || c.window().settingsViewOpen)
        return {};
    const auto it = pictures_.find(cvk::PictureKind::Brill);
    if (it == pictures_.end() || !it->second)
        return {};
    const QRectF bounds = it->second->elementBounds(QStringLiteral("pad-switch"));
    return bounds.translated(0, kHeight - cvk::kPictureOffset).toAlignedRect();
}

bool PictureView::overPadSwitch(const QPoint& p) const
{
    const QRect r = padSwitchRect();
    return !r.isEmpty() && r.contains(p);
}

// ------------------------------------------------------------ state

void PictureView::refresh()
{
    const cvk::CMainController& c = host_.controller();
    if (!toggleAvailable())
        toggleHot_ = false;
    if (!c.device().busy)
        busyShown_ = false;
    if (c.window().transferMark < 0) {
        wakeFrame_ = -1;
        wakePrompt_.clear();
    }
    // The buttons' names follow once the picture is on the screen.
    if (!focusLayoutTimer_.isActive())
        focusLayoutTimer_.start();
    update();
}

void PictureView::layoutFocusButtons()
{
    const cvk::CMainController& c = host_.controller();
    const cvk::DeviceState& device = c.device();
    const Shown s = shown();
    const bool open = c.window().settingsViewOpen;
    // The status poll refreshes ten times a second; the names only change
    // with the picture, the block or the device count.
    FocusKey key{s.kind, open, device.deviceCount, device.receiverPresent(), c.config().block};
    if (focusKey_ && *focusKey_ == key)
        return;
    focusKey_ = key;
    const bool editable = device.singleDevice() && s.kind != cvk::PictureKind::NoDevice && !open;
    const cvk::DescribeContext context = cvk::describeContext(device, c.config(), 100);
    const cvk::KeyTextFn keyText = [this](uint16_t word) { return host_.keyText(word); };
    const int top = kHeight - cvk::kPictureOffset;
    for (int n = 0; n <= 9; ++n) {
        ButtonFocus* f = focusButtons_[static_cast<size_t>(n)];
        const QRectF bounds = editable && cvk::buttonOnPicture(device, n)
                                  ? picture(s.kind).elementBounds(QStringLiteral("button%1").arg(n))
                                  : QRectF();
        if (bounds.isEmpty()) {
            if (f->hasFocus())
                setFocus();
            f->hide();
            continue;
        }
        f->setGeometry(bounds.translated(0, top).toAlignedRect());
        const cvk::Description caption = cvk::describe(context, n, cvk::DescriptionForm::Caption, keyText);
        const QString description = oneLine(caption.text);
        if (f->accessibleDescription() != description) {
            f->setAccessibleDescription(description);
            if (f->hasFocus()) {
                QAccessibleEvent event(f, QAccessible::DescriptionChanged);
                QAccessible::updateAccessibility(&event);
            }
        }
        f->show();
    }
}

void PictureView::focusButtonChanged(int button, bool in)
{
    if (in) {
        focused_ = button;
        hovered_ = button;
    } else if (focused_ == button) {
        focused_ = -1;
        if (hovered_ == button && !underMouse())
            hovered_ = cvk::kItemNone;
    }
    update();
}

void PictureView::openFocused(int button)
{
    const QRect r = focusButtons_[static_cast<size_t>(button)]->geometry();
    host_.openButtonMenu(button, mapToGlobal(QPoint(r.center().x(), r.bottom())));
}

void PictureView::showBusy()
{
    busyShown_ = true;
    repaint();
}

void PictureView::showWakeFrame(int frame)
{
    wakeFrame_ = frame;
    repaint(qrect(cvk::wakeFrameRect(kHeight)));
}

void PictureView::showWakePrompt(const QString& text, bool bright)
{
    wakePrompt_ = text;
    wakeBright_ = bright;
    repaint();
}

// ------------------------------------------------------------ pointer

void PictureView::hideTextTip()
{
    tipTimer_.stop();
    if (!tipText_.isEmpty()) {
        tipText_.clear();
        QToolTip::hideText();
    }
}

void PictureView::updateCursorAndTips(int item, const QPoint& pos)
{
    setCursor(item < 0 ? Qt::ArrowCursor : Qt::PointingHandCursor);
    if (host_.menuOpen())
        return;
    const cvk::CMainController& c = host_.controller();
    const cvk::DeviceState& device = c.device();
    const bool rows = device.wirelessFamily() || device.modelCode == cvk::kModelBrill;
    if (item >= cvk::kItemPointerSettingFirst && item < cvk::kItemPointerSettingFirst + 40 && rows &&
        c.window().settingsViewOpen) {
        const int row = (item - cvk::kItemPointerSettingFirst) / 10;
        const cvk::SliderRowInfo& info = cvk::sliderRow(row);
        const std::string title = info.titleTextId >= 0 ? cvk::text(info.titleTextId) : info.title;
        QToolTip::showText(mapToGlobal(pos), qs(title), this, QRect(), kTipShownMs);
        return;
    }
    std::optional<std::string> tip;
    if (item >= 0 && item <= 9) {
        const cvk::ConfigModel& m = c.config();
        tip = cvk::textTooltip(m.block[static_cast<size_t>(item)], device.modelCode,
                               cvk::untilNul(m.snippetText.data(), m.snippetText.size()),
                               cvk::untilNul(m.signatureText.data(), m.signatureText.size()));
    }
    if (tip) {
        if (tipText_.isEmpty()) {
            tipText_ = qs(*tip);
            tipPos_ = pos + QPoint(12, 18);
            tipTimer_.start();
        }
    } else {
        hideTextTip();
    }
}

void PictureView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (overToggle(pos)) {
        if (!toggleHot_) {
            toggleHot_ = true;
            update();
        }
        setCursor(Qt::PointingHandCursor);
        return;
    }
    if (toggleHot_) {
        toggleHot_ = false;
        update();
    }
    if (overPadSwitch(pos)) {
        setCursor(Qt::PointingHandCursor);
        return;
    }
    if (dragRow_ >= 0) {
        setCursor(Qt::PointingHandCursor);
        dragX_ = pos.x();
        update();
        return;
    }
    const int item = itemAt(pos);
    setHovered(item);
    updateCursorAndTips(item, pos);
}

void PictureView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    const QPoint pos = event->position().toPoint();
    const int item = itemAt(pos);
    const int k = item - cvk::kItemPointerSettingFirst;
    if (k >= 0 && k < 40 && k % 10 == 0) {
        dragRow_ = k / 10;
        dragX_ = pos.x();
        update();
    }
}

void PictureView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const QPoint pos = event->position().toPoint();
    if (overToggle(pos)) {
        host_.change([](cvk::CMainController& c) { c.handleCommand(cvk::kCmdSettingsSwitch); });
        return;
    }
    if (overPadSwitch(pos)) {
        host_.change([](cvk::CMainController& c) { c.toggleBrillSwitch(); });
        return;
    }
    if (dragRow_ >= 0) {
        const int row = dragRow_;
        dragRow_ = -1;
        host_.change([row, x = pos.x()](cvk::CMainController& c) { c.dropKnob(row, x); });
        return;
    }
    const int item = itemAt(pos);
    const cvk::DeviceState& device = host_.controller().device();
    if (!device.singleDevice() && !(item == cvk::kItemWebSite && device.deviceCount > 99))
        return;
    if (item == cvk::kItemPointerSettingFirst + 1 || item == cvk::kItemPointerSettingFirst + 2) {
        const bool increase = item == cvk::kItemPointerSettingFirst + 2;
        host_.change([increase](cvk::CMainController& c) { c.sensitivitySpot(increase); });
    } else if (item == cvk::kItemWebSite) {
        host_.openWebSite();
    } else if (item >= 0 && item <= 9) {
        hideTextTip();
        host_.openButtonMenu(item, event->globalPosition().toPoint());
    }
}

void PictureView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    hideTextTip();
    if (toggleHot_)
        toggleHot_ = false;
    if (focused_ < 0)
        setHovered(cvk::kItemNone);
    else
        setHovered(focused_);
    update();
}

// ------------------------------------------------------------ painting

void PictureView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    paintArea(painter);
}

void PictureView::paintArea(QPainter& p)
{
    const cvk::CMainController& c = host_.controller();
    const cvk::DeviceState& device = c.device();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.fillRect(QRect(0, 0, cvk::kPictureAreaWidth, kHeight), Qt::white);

    const Shown s = shown();
    const bool open = c.window().settingsViewOpen && toggleAvailable();
    if (open) {
        drawSettingsView(p);
    } else {
        drawDevice(p, s);
        if (s.kind != cvk::PictureKind::NoDevice) {
            if (toggleAvailable())
                cvk::symbols::drawSettingsToggle(p, settingsToggleRect(), toggleHot_);
            drawWirelessStatus(p);
            drawLabels(p);
        }
        const bool speedRow = cvk::rowVisible(cvk::kRowCursorSpeed, device, false);
        if (speedRow)
            drawSliderRow(p, cvk::kRowCursorSpeed, false);
        drawStatus(p, speedRow || device.wirelessFamily());
        drawFocus(p);
    }
    drawTransferOverlays(p);
}

void PictureView::drawDevice(QPainter& p, const Shown& s)
{
    const cvk::CMainController& c = host_.controller();
    if (s.kind == cvk::PictureKind::NoDevice) {
        const QRectF target(0, kHeight - cvk::kNoModelPictureOffset, cvk::kPictureWidth,
                            cvk::kNoModelPictureHeight);
        picture(s.kind).render(p, target);
        return;
    }
    const QRectF target(0, kHeight - cvk::kPictureOffset, cvk::kPictureWidth, cvk::kPictureHeight);
    const cvk::DevicePicture& pic = picture(s.kind);
    // The vectors are rendered once per picture and scaling; every paint
    // after that copies pixels.
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const auto key = std::pair{static_cast<int>(s.kind), qRound(ratio * 100)};
    auto it = pictureCache_.find(key);
    if (it == pictureCache_.end()) {
        // The whole area: the pictures draw the keyboard's edge (and a
        // cable) above their own top.
        QPixmap pixmap(QSize(cvk::kPictureAreaWidth, kHeight) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::white);
        QPainter painter(&pixmap);
        pic.render(painter, target);
        painter.end();
        it = pictureCache_.emplace(key, std::move(pixmap)).first;
    }
    p.drawPixmap(QPointF(0, 0), it->second);
    const int hover = effectiveHover();
    if (hover >= 0 && hover <= 9)
        drawHoverGlow(p, s, hover);
    if (s.kind == cvk::PictureKind::Brill && c.config().block[kBrillSwitchPosition] == 0)
        pic.renderElement(p, QStringLiteral("pad-switch"), target);
}

void PictureView::drawHoverGlow(QPainter& p, const Shown& s, int button)
{
    // The hovered button lit in the accent colour, from its own shape so
    // that it stays sharp at any scaling.
    const qreal ratio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    if (ratio != glowRatio_) {
        glowCache_.clear();
        glowRatio_ = ratio;
    }
    const auto key = std::pair{static_cast<int>(s.kind), button};
    auto it = glowCache_.find(key);
    if (it == glowCache_.end()) {
        QImage glow(QSize(cvk::kPictureWidth, cvk::kPictureHeight) * ratio,
                    QImage::Format_ARGB32_Premultiplied);
        glow.setDevicePixelRatio(ratio);
        glow.fill(Qt::transparent);
        {
            QPainter g(&glow);
            picture(s.kind).renderElement(g, QStringLiteral("button%1").arg(button),
                                          QRectF(0, 0, cvk::kPictureWidth, cvk::kPictureHeight));
            g.setCompositionMode(QPainter::CompositionMode_SourceIn);
            g.fillRect(QRectF(0, 0, cvk::kPictureWidth, cvk::kPictureHeight), QColor(0xFF, 0x9A, 0x3C, 110));
        }
        it = glowCache_.emplace(key, std::move(glow)).first;
    }
    p.drawImage(QPointF(0, kHeight - cvk::kPictureOffset), it->second);
}

void PictureView::drawLabels(QPainter& p)
{
    const cvk::CMainController& c = host_.controller();
    const cvk::DeviceState& device = c.device();
    const int fade = c.window().fadeLevel;
    const int hover = effectiveHover();
    const cvk::DescribeContext context = cvk::describeContext(device, c.config(), fade);
    const cvk::KeyTextFn keyText = [this](uint16_t word) { return host_.keyText(word); };
    p.setFont(labelFont());
    const QFontMetrics metrics(labelFont());
    auto drawOne = [&](const cvk::PictureLabel& label, const QColor& colour) {
        const cvk::Description caption =
            cvk::describe(context, label.button, cvk::DescriptionForm::Caption, keyText);
        const QRect r = qrect(label.rect);
        const QString text = metrics.elidedText(oneLine(caption.text), Qt::ElideRight, r.width());
        p.setPen(caption.colour ? qcolour(*caption.colour) : colour);
        p.drawText(r, static_cast<int>(qtAlign(label.align)) | Qt::TextSingleLine, text);
    };
    for (const cvk::PictureLabel& label : cvk::pictureLabels(device, kHeight, hover, fade))
        drawOne(label, qcolour(label.colour));
    // The hovered label, left out above, stands out in the accent colour.
    if (hover >= 0 && hover <= 9 && cvk::labelsShown(fade))
        for (const cvk::PictureLabel& label : cvk::pictureLabels(device, kHeight, cvk::kItemNone, fade))
            if (label.button == hover)
                drawOne(label, kHoverAccent);
}

void PictureView::drawStatus(QPainter& p, bool rightColumnUsed)
{
    const cvk::CMainController& c = host_.controller();
    const int hover = effectiveHover();
    const cvk::KeyTextFn keyText = [this](uint16_t word) { return host_.keyText(word); };
    const cvk::StatusBand band =
        cvk::statusBand(c.device(), c.config(), hover, c.window().fadeLevel, keyText);
    if (band.symbol != cvk::StatusSymbol::None) {
        const QRectF r(0, cvk::kSymbolTop, cvk::kSymbolWidth, cvk::kSymbolHeight);
        using Kind = cvk::symbols::StatusKind;
        const Kind kind = band.symbol == cvk::StatusSymbol::Special     ? Kind::Special
                          : band.symbol == cvk::StatusSymbol::PadSwitch ? Kind::PadSwitch
                                                                        : Kind::Plain;
        cvk::symbols::drawStatusSymbol(p, r, kind);
    }
    const int right = rightColumnUsed ? cvk::kBandRightColumn : cvk::kPictureAreaWidth - 10;
    // The text stays clear of the labels above the picture where it can.
    int y = cvk::kSymbolTop;
    for (const cvk::StatusLine& line : band.lines) {
        const QFont& font = line.heading ? headingFont() : bandFont();
        p.setFont(font);
        p.setPen(line.colour ? qcolour(*line.colour) : QColor(0x20, 0x20, 0x20));
        y += line.gapAbove;
        const QString text = plainLines(line.text).trimmed();
        QRect r = line.centred ? QRect(0, y, cvk::kPictureAreaWidth, kHeight - y)
                               : QRect(cvk::kBandTextLeft, y, right - cvk::kBandTextLeft, kHeight - y);
        const int flags = (line.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop | Qt::TextWordWrap;
        const QRect used = p.boundingRect(r, flags, text);
        p.drawText(r, flags, text);
        y += std::max(used.height(), QFontMetrics(font).height()) + 2;
    }
}

void PictureView::drawSliderRow(QPainter& p, int row, bool open)
{
    const cvk::CMainController& c = host_.controller();
    const cvk::ConfigModel& m = c.config();
    const cvk::SliderGeometry g = cvk::sliderGeometry(row, open);
    const cvk::SliderRowInfo& info = cvk::sliderRow(row);
    const QString title = qs(info.titleTextId >= 0 ? cvk::text(info.titleTextId) : info.title);
    const bool live = c.device().singleDevice();
    const QColor ink = live ? QColor(0x30, 0x30, 0x30) : QColor(0xA0, 0xA0, 0xA0);

    p.setFont(open ? arial(13, 700) : arial(12, 700));
    p.setPen(ink);
    p.drawText(
        qrect(g.title),
        (open ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter) | Qt::TextWordWrap,
        title);

    const bool speed = row == cvk::kRowCursorSpeed;
    const int left = cvk::kTrackLeft;
    const int right = left + (speed ? cvk::kSpeedTrackWidth : 2 * cvk::kTrackHalf);
    const int y = g.knobY;
    // The groove.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xD5, 0xD8, 0xDC));
    p.drawRoundedRect(QRectF(left - 2, y - 3, right - left + 4, 6), 3, 3);
    int knob = cvk::knobX(row, m);
    if (dragRow_ == row)
        knob = std::clamp(dragX_, left, right);
    p.setBrush(live ? kHoverAccent : QColor(0xB0, 0xB0, 0xB0));
    const int fillFrom = speed ? left : cvk::kTrackCentre;
    p.drawRoundedRect(QRectF(std::min(fillFrom, knob), y - 3, std::abs(knob - fillFrom), 6), 3, 3);
    // Steps of the cursor speed; the centre of the others.
    p.setPen(QPen(QColor(0x90, 0x94, 0x9A), 1));
    if (speed) {
        for (int step = 0; step <= cvk::kCursorSpeedMax - cvk::kCursorSpeedMin; ++step) {
            const qreal x = left + step * qreal(cvk::kSpeedTrackWidth) / 6;
            p.drawLine(QPointF(x, y + 6), QPointF(x, y + 10));
        }
    } else {
        p.drawLine(QPointF(cvk::kTrackCentre, y + 6), QPointF(cvk::kTrackCentre, y + 10));
    }
    // The knob.
    QLinearGradient shade(0, y - 9, 0, y + 9);
    shade.setColorAt(0, QColor(0xFF, 0xFF, 0xFF));
    shade.setColorAt(1, QColor(0xD8, 0xDB, 0xE0));
    p.setBrush(shade);
    p.setPen(QPen(live ? QColor(0x7A, 0x40, 0x10) : QColor(0x99, 0x99, 0x99), 1.2));
    p.drawEllipse(QPointF(knob, y), 7.5, 7.5);

    if (speed) {
        // The decrease and increase spots.
        p.setFont(arial(18, 700));
        const int hover = effectiveHover();
        for (auto [rect, sign, item] : {std::tuple{g.decrease, QStringLiteral("\u2212"), 2001},
                                        std::tuple{g.increase, QStringLiteral("+"), 2002}}) {
            const QRectF r = QRectF(qrect(rect)).adjusted(2, 2, -2, -2);
            p.setPen(Qt::NoPen);
            p.setBrush(hover == item ? QColor(0xFF, 0xE2, 0xC6) : QColor(0xEE, 0xF0, 0xF2));
            p.drawRoundedRect(r, 5, 5);
            p.setPen(ink);
            p.drawText(r, Qt::AlignCenter, sign);
        }
    } else {
        const cvk::SliderLabels labels = cvk::sliderLabels(row, m);
        p.setFont(smallFont());
        p.setPen(QColor(0x60, 0x60, 0x60));
        const QRect lr = qrect(g.labels);
        if (labels.left)
            p.drawText(QRect(left - 30, lr.top(), 60, lr.height()), Qt::AlignHCenter | Qt::AlignTop,
                       QString::fromUtf8(labels.left));
        if (labels.middle)
            p.drawText(QRect(cvk::kTrackCentre - 30, lr.top(), 60, lr.height()),
                       Qt::AlignHCenter | Qt::AlignTop, QString::fromUtf8(labels.middle));
        if (labels.right)
            p.drawText(QRect(right - 30, lr.top(), 60, lr.height()), Qt::AlignHCenter | Qt::AlignTop,
                       QString::fromUtf8(labels.right));
    }
}

void PictureView::drawSettingsView(QPainter& p)
{
    const cvk::CMainController& c = host_.controller();
    cvk::symbols::drawSettingsPicture(p, QRectF(qrect(cvk::kSettingsPictureRect)));
    for (int row = 0; row < cvk::kSliderRows; ++row)
        if (cvk::rowVisible(row, c.device(), true))
            drawSliderRow(p, row, true);
    // The same toggle closes the view again.
    cvk::symbols::drawSettingsToggle(p, settingsToggleRect(), toggleHot_);
}

void PictureView::drawWirelessStatus(QPainter& p)
{
    const cvk::CMainController& c = host_.controller();
    const cvk::DeviceState& device = c.device();
    // Only where something reports it: the open receiver or the Dorrin's own.
    if (device.modelCode != cvk::kModelDorrinReceiver && !device.receiverPresent())
        return;
    const cvk::CWirelessStatus& w = c.wireless();
    const bool dorrin = device.modelCode == cvk::kModelDorrinReceiver;
    const QSizeF size = cvk::symbols::wirelessStatusSize();
    const QPointF at(cvk::kPictureAreaWidth - size.width() - 8,
                     kHeight - cvk::kPictureOffset - size.height() - 4);
    cvk::symbols::drawWirelessStatus(
        p, at, w.signalLevel(), w.batteryState(),
        dorrin && w.batteryState() >= 0 ? std::optional<int>(w.batteryPercent()) : std::nullopt);
}

void PictureView::drawFocus(QPainter& p)
{
    if (focused_ < 0)
        return;
    const ButtonFocus* f = focusButtons_[static_cast<size_t>(focused_)];
    if (!f->isVisible() || !f->hasFocus())
        return;
    QPen pen(palette().color(QPalette::Highlight), 2.5, Qt::SolidLine);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(f->geometry()).adjusted(-3, -3, 3, 3), 6, 6);
}

void PictureView::drawTransferOverlays(QPainter& p)
{
    const cvk::CMainController& c = host_.controller();
    const bool prompt = c.window().transferMark >= 0 && !wakePrompt_.isEmpty();
    const bool busy = busyShown_ && c.device().busy;
    if (busy || prompt)
        p.fillRect(QRect(0, 0, cvk::kPictureAreaWidth, kHeight), QColor(255, 255, 255, 170));
    // The prompt asks the user to act; the busy picture would only crowd it.
    if (busy && !prompt)
        cvk::symbols::drawBusyPicture(p, QRectF(qrect(cvk::kBusyPictureRect)));
    if (c.window().transferMark < 0)
        return;
    if (wakeFrame_ >= 0) {
        const QRect r = qrect(cvk::wakeFrameRect(kHeight));
        p.fillRect(r, Qt::white);
        cvk::symbols::drawWakeFrame(p, QRectF(r), wakeFrame_ % cvk::symbols::kWakeFrames);
    }
    if (!wakePrompt_.isEmpty()) {
        cvk::symbols::drawPromptHand(p, QRectF(qrect(cvk::kWakeHandRect)));
        cvk::symbols::drawPromptArrows(p, QRectF(qrect(cvk::kWakeArrowsRect)));
        p.setFont(promptFont());
        p.setPen(wakeBright_ ? QColor(255, 0, 0) : QColor(128, 0, 0));
        p.drawText(qrect(cvk::wakePromptTextRect(kHeight)), Qt::AlignCenter | Qt::TextWordWrap, wakePrompt_);
    }
}
