#include "ui/keyboard_dlg.h"

#include <cmath>

#include <QDialogButtonBox>
#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/keyboard_layout.h"
#include "texts/text_ids.h"
#include "texts/texts.h"

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QRect toQRect(const cvk::KeyRect& r)
{
    return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
}

const QColor kBackground(34, 93, 223);
const QColor kOutline(35, 95, 215);

struct KeyColours {
    QColor face;
    QColor topLeft;
    QColor bottomRight;
};

bool isGreyKey(int code)
{
    return code < 0 || code == 0x28 || (code >= 0x46 && code <= 0x58) || code == 0x65 || code == 0x39 ||
           code == 0x2B || code == 0x2A;
}

KeyColours keyColours(int code, bool selected)
{
    if (selected)
        return {QColor(176, 24, 47), QColor(149, 13, 23), QColor(251, 102, 122)};
    if (isGreyKey(code))
        return {QColor(24, 80, 189), QColor(28, 86, 194), QColor(15, 61, 159)};
    return {QColor(57, 128, 244), QColor(65, 158, 255), QColor(50, 110, 244)};
}

bool usesSmallFont(int code)
{
    switch (code) {
    case 0x2A:
    case 0x28:
    case 0x2B:
    case 0x39:
    case 0x46:
    case 0x47:
    case 0x48:
    case 0x49:
    case 0x4A:
    case 0x4B:
    case 0x4C:
    case 0x4D:
    case 0x4E:
    case 0x53:
    case 0x58: return true;
    default: return code < 0;
    }
}

// ------------------------------------------------------------ glyphs

// The symbols drawn on keys, each inside a 32 x 16 box.
enum class Glyph { Tab, Shift, Backspace, Enter, Right, Left, Down, Up, Menu, Windows };

QPainterPath arrowHead(QPointF tip, QPointF direction, double length, double halfWidth)
{
    const QPointF back = tip - direction * length;
    const QPointF side(-direction.y() * halfWidth, direction.x() * halfWidth);
    QPainterPath path;
    path.moveTo(tip);
    path.lineTo(back + side);
    path.lineTo(back - side);
    path.closeSubpath();
    return path;
}

// A filled arrow: a shaft from `from` to the head, the head ending at `tip`.
void drawArrow(QPainter& p, QPointF from, QPointF tip, double headLength = 5, double headHalfWidth = 4)
{
    const QPointF d = tip - from;
    const double len = std::hypot(d.x(), d.y());
    const QPointF dir = d / len;
    p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(from, tip - dir * (headLength - 0.5));
    p.setPen(Qt::NoPen);
    p.drawPath(arrowHead(tip, dir, headLength, headHalfWidth));
}

void drawGlyph(QPainter& p, Glyph glyph, QPoint topLeft)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(topLeft);
    p.setBrush(Qt::white);
    switch (glyph) {
    case Glyph::Tab:
        drawArrow(p, {4, 4.5}, {24, 4.5}, 4.5, 3.5);
        p.fillRect(QRectF(24.5, 1, 1.5, 7), Qt::white);
        drawArrow(p, {26, 11.5}, {6, 11.5}, 4.5, 3.5);
        p.fillRect(QRectF(4, 8, 1.5, 7), Qt::white);
        break;
    case Glyph::Shift: {
        QPainterPath outline;
        outline.moveTo(14, 1.5);
        outline.lineTo(21.5, 8.5);
        outline.lineTo(17.5, 8.5);
        outline.lineTo(17.5, 14.5);
        outline.lineTo(10.5, 14.5);
        outline.lineTo(10.5, 8.5);
        outline.lineTo(6.5, 8.5);
        outline.closeSubpath();
        p.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(outline);
        break;
    }
    case Glyph::Backspace: drawArrow(p, {28, 8}, {4, 8}, 6, 4.5); break;
    case Glyph::Enter: {
        p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        QPainterPath stem;
        stem.moveTo(25, 2);
        stem.lineTo(25, 10);
        stem.lineTo(10, 10);
        p.drawPath(stem);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(arrowHead({5, 10}, {-1, 0}, 6, 4.5));
        break;
    }
    case Glyph::Right: drawArrow(p, {9, 8}, {23, 8}); break;
    case Glyph::Left: drawArrow(p, {23, 8}, {9, 8}); break;
    case Glyph::Down: drawArrow(p, {16, 1}, {16, 15}); break;
    case Glyph::Up: drawArrow(p, {16, 15}, {16, 1}); break;
    case Glyph::Menu:
        p.setPen(QPen(Qt::white, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(16.5, 2.5, 11, 12));
        for (double y : {5.5, 8.5, 11.5})
            p.drawLine(QPointF(18.5, y), QPointF(25.5, y));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        {
            // A pointer over the menu, as the key's own symbol has.
            QPainterPath pointer;
            pointer.moveTo(11, 5);
            pointer.lineTo(11, 15);
            pointer.lineTo(13.5, 12.5);
            pointer.lineTo(15.5, 16);
            pointer.lineTo(17, 15.2);
            pointer.lineTo(15.2, 11.8);
            pointer.lineTo(18.5, 11.5);
            pointer.closeSubpath();
            p.drawPath(pointer);
        }
        break;
    case Glyph::Windows:
        p.setPen(Qt::NoPen);
        for (int row = 0; row < 2; ++row)
            for (int col = 0; col < 2; ++col)
                p.drawRect(QRectF(10 + col * 6.5, 2 + row * 6.5, 5.5, 5.5));
        break;
    }
    p.restore();
}

struct GlyphPlace {
    int code;
    Glyph glyph;
    int dx;  // from the label rectangle's left edge
    int dy;  // from its top edge
};

constexpr GlyphPlace kGlyphPlaces[] = {
    {0x28, Glyph::Enter, -5, 10},
    {0x2A, Glyph::Backspace, -5, 10},
    {0x2B, Glyph::Tab, -5, 10},
    {cvk::kKeyLeftShift, Glyph::Shift, -5, 10},
    {cvk::kKeyRightShift, Glyph::Shift, -5, 10},
    {0x4F, Glyph::Right, 0, -5},
    {0x50, Glyph::Left, 0, -5},
    {0x51, Glyph::Down, 0, -5},
    {0x52, Glyph::Up, 0, -5},
    {0x5E, Glyph::Right, -12, 15},
    {0x5C, Glyph::Left, -12, 15},
    {0x5A, Glyph::Down, -12, 15},
    {0x60, Glyph::Up, -12, 15},
    {0x65, Glyph::Menu, -10, -10},
    {cvk::kKeyWindows, Glyph::Windows, -10, -4},
};

// The keypad keys' second function, under the digit.
struct SecondLabel {
    int code;
    const char* text;
};
constexpr SecondLabel kSecondLabels[] = {{0x5F, "Home"},  {0x61, "Pg Up"}, {0x59, "End"},
                                         {0x5B, "Pg Dn"}, {0x62, "Ins"},   {0x63, "Del"}};

constexpr int kLabelFlags = Qt::TextShowMnemonic;

// A 3-D framed key face, as the keyboard's keys all are.
void drawKeyFace(QPainter& p, const QRect& r, const KeyColours& c)
{
    p.fillRect(r, kOutline);
    p.fillRect(r.adjusted(1, 1, -1, -1), c.face);
    p.fillRect(QRect(r.left(), r.top(), r.width(), 1), c.topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height()), c.topLeft);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), c.bottomRight);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), c.bottomRight);
}

}  // namespace

CKeyBoardDlg::CKeyBoardDlg(uint16_t keyWord, cvk::IKeyboardLayout* layout, QWidget* parent)
    : QDialog(parent), layout_(layout), model_(keyWord), keyWord_(keyWord)
{
    setWindowTitle(qs(cvk::text(cvk::kTxtKeyboard)));
    // Windows' cell heights 10 and 17 are these em sizes.
    smallFont_ = QFont(QStringLiteral("Arial"));
    smallFont_.setStyleHint(QFont::SansSerif);
    smallFont_.setPixelSize(9);
    smallFont_.setWeight(QFont::Bold);
    largeFont_ = QFont(QStringLiteral("Arial"));
    largeFont_.setStyleHint(QFont::SansSerif);
    largeFont_.setPixelSize(15);
    largeFont_.setWeight(QFont::Medium);

    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 5);
    box->setSpacing(5);
    box->setSizeConstraint(QLayout::SetFixedSize);
    box->addSpacerItem(
        new QSpacerItem(cvk::kKeyboardWidth, cvk::kKeyboardHeight, QSizePolicy::Fixed, QSizePolicy::Fixed));
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(qs(cvk::text(cvk::kTxtOk)), QDialogButtonBox::AcceptRole);
    cancel_ = buttons->addButton(qs(cvk::text(cvk::kTxtCancel)), QDialogButtonBox::RejectRole);
    // The keyboard spans the whole width; only the buttons keep off the edge.
    buttons->setContentsMargins(0, 0, 5, 0);
    ok_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    box->addWidget(buttons);
    ok_->setEnabled(model_.okEnabled());

    setMouseTracking(true);
    layoutChanged();
}

QRect CKeyBoardDlg::keyRect(int index) const
{
    if (index < 0 || index >= cvk::kKeyCount)
        return {};
    return toQRect(cvk::keyMainRect(index));
}

QRect CKeyBoardDlg::keyLowerRect(int index) const
{
    if (index < 0 || index >= cvk::kKeyCount)
        return {};
    const auto second = cvk::keySecondRect(index);
    return second ? toQRect(*second) : QRect();
}

void CKeyBoardDlg::layoutChanged()
{
    for (int i = 0; i < cvk::kKeyCount; ++i) {
        if (layout_) {
            labels_[i] = cvk::keyLabels(i, *layout_);
        } else {
            const char* cap = cvk::kKeyTable[i].cap;
            labels_[i] = {cap ? cap : "", "", ""};
        }
    }
    update();
}

void CKeyBoardDlg::refreshLayout()
{
    if (layout_ && layout_->refresh())
        layoutChanged();
}

void CKeyBoardDlg::accept()
{
    if (!model_.okEnabled())
        return;
    keyWord_ = model_.keyWord();
    QDialog::accept();
}

void CKeyBoardDlg::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::KeyboardLayoutChange)
        refreshLayout();
    else if (event->type() == QEvent::ActivationChange && isActiveWindow())
        refreshLayout();
    QDialog::changeEvent(event);
}

void CKeyBoardDlg::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    if (cvk::keyAt(p.x(), p.y()) >= 0)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    QDialog::mouseMoveEvent(event);
}

void CKeyBoardDlg::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const int index = event->button() == Qt::LeftButton ? cvk::keyAt(p.x(), p.y()) : -1;
    if (index < 0) {
        QDialog::mouseReleaseEvent(event);
        return;
    }
    for (int changed : model_.click(index)) {
        update(keyRect(changed));
        update(keyLowerRect(changed));
    }
    ok_->setEnabled(model_.okEnabled());
}

void CKeyBoardDlg::paintEvent(QPaintEvent* event)
{
    QPainter p(this);
    p.setClipRect(event->rect());
    p.fillRect(QRect(0, 0, cvk::kKeyboardWidth, cvk::kKeyboardHeight), kBackground);
    for (int i = 0; i < cvk::kKeyCount; ++i) {
        if (event->region().intersects(keyRect(i)) || event->region().intersects(keyLowerRect(i)))
            drawKey(p, i);
    }
}

void CKeyBoardDlg::drawKey(QPainter& p, int index) const
{
    const cvk::KeyRecord& key = cvk::kKeyTable[index];
    const QRect rect = keyRect(index);
    const KeyColours colours = keyColours(key.code, model_.isSelected(index));
    drawKeyFace(p, rect, colours);
    if (const QRect lower = keyLowerRect(index); !lower.isNull()) {
        drawKeyFace(p, lower, colours);
        // Joins the two parts into one L-shaped key.
        p.fillRect(QRect(QPoint(lower.left(), rect.top() + 1), QPoint(lower.left() + 1, rect.bottom() - 2)),
                   colours.face);
    }

    p.setPen(Qt::white);
    p.setFont(usesSmallFont(key.code) ? smallFont_ : largeFont_);
    const cvk::KeyLabels& labels = labels_[index];
    const QString plain = qs(labels.plain);
    const QString shift = qs(labels.shift);
    const QString ctrlAlt = qs(labels.ctrlAlt);
    // A layout key's main label is its plain label; for a letter that is the
    // Shift label, the plain one being dropped.
    const QString main = plain.isEmpty() ? shift : plain;

    const int textHeight =
        main.isEmpty() ? 0 : p.fontMetrics().boundingRect(rect, Qt::AlignLeft | kLabelFlags, main).height();
    QRect label = rect.translated(0, (rect.height() - textHeight) / 2);
    if (index <= 14) {
        p.drawText(label, Qt::AlignHCenter | Qt::AlignTop | kLabelFlags, main);
    } else {
        label.translate(5, 0);
        const QRect inset = rect.adjusted(2, 2, -2, -2);
        if (shift.isEmpty()) {
            p.drawText(label, Qt::AlignLeft | Qt::AlignTop | kLabelFlags, main);
        } else {
            p.drawText(inset, Qt::AlignLeft | Qt::AlignBottom | Qt::TextSingleLine | kLabelFlags, plain);
            p.drawText(inset, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | kLabelFlags, shift);
        }
        p.drawText(inset, Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine | kLabelFlags, ctrlAlt);
    }

    for (const GlyphPlace& g : kGlyphPlaces) {
        if (g.code == key.code)
            drawGlyph(p, g.glyph, label.topLeft() + QPoint(g.dx, g.dy));
    }
    for (const SecondLabel& s : kSecondLabels) {
        if (s.code == key.code) {
            p.setFont(smallFont_);
            p.drawText(label.translated(0, 22), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                       QString::fromLatin1(s.text));
        }
    }
}

std::optional<uint16_t> askKeyCombinationDialog(QWidget* parent, uint16_t current,
                                                cvk::IKeyboardLayout* layout)
{
    CKeyBoardDlg dialog(current, layout, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.keyWord();
}
