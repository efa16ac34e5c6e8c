#include "ui/picture_symbols.h"

#include <QIconEngine>
#include <map>

#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QSvgRenderer>
#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <utility>

// The icon lives in a static library, whose resource initialiser the linker
// would drop as unreferenced; registering it here keeps it.
static void registerIcons() { Q_INIT_RESOURCE(icons); }

namespace cvk::symbols {

namespace {

// The device pictures' palette (scripts/draw-pictures.py), so that the
// symbols sit beside them as one family.
const QColor kEdge(0x16, 0x18, 0x1b);
const QColor kKeyBase(0x14, 0x16, 0x18);
const QColor kTrack(0x1a, 0x1c, 0x1f);
const QColor kAccentDark(0x7a, 0x3b, 0x0d);
const QColor kInk(0x2f, 0x32, 0x37);
const QColor kQuiet(0xb9, 0xbd, 0xc2);
const QColor kQuietFill(0xf1, 0xf2, 0xf4);
const QColor kAccent(0xe0, 0x86, 0x3c);

using Stops = std::initializer_list<std::pair<qreal, QColor>>;

QLinearGradient vertical(qreal top, qreal bottom, Stops stops)
{
    QLinearGradient gradient(0, top, 0, bottom);
    for (const auto& [at, colour] : stops)
        gradient.setColorAt(at, colour);
    return gradient;
}

QLinearGradient bodyFill(const QRectF& r)
{
    return vertical(r.top(), r.bottom(),
                    {{0, QColor(0x62, 0x67, 0x6f)},
                     {0.18, QColor(0x46, 0x4a, 0x51)},
                     {0.75, QColor(0x2f, 0x32, 0x37)},
                     {1, QColor(0x1d, 0x1f, 0x23)}});
}

QLinearGradient keyFill(const QRectF& r)
{
    return vertical(
        r.top(), r.bottom(),
        {{0, QColor(0x5d, 0x62, 0x6a)}, {0.5, QColor(0x40, 0x44, 0x4a)}, {1, QColor(0x2a, 0x2d, 0x31)}});
}

QLinearGradient accentFill(const QRectF& r)
{
    return vertical(r.top(), r.bottom(), {{0, QColor(0xf3, 0xa2, 0x5a)}, {1, QColor(0xc8, 0x67, 0x1f)}});
}

QLinearGradient sheenFill(const QRectF& r, int alpha = 77)
{
    return vertical(r.top(), r.bottom(), {{0, QColor(255, 255, 255, alpha)}, {1, QColor(255, 255, 255, 0)}});
}

// Maps a drawing laid out on a design-sized grid into the rectangle and
// keeps everything inside it; the painter's state is restored on leaving.
class Canvas {
public:
    Canvas(QPainter& painter, const QRectF& rect, QSizeF design) : painter_(painter)
    {
        painter_.save();
        painter_.setRenderHint(QPainter::Antialiasing);
        painter_.setClipRect(rect, Qt::IntersectClip);
        painter_.translate(rect.topLeft());
        painter_.scale(rect.width() / design.width(), rect.height() / design.height());
        painter_.setPen(Qt::NoPen);
        painter_.setBrush(Qt::NoBrush);
    }
    ~Canvas() { painter_.restore(); }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

private:
    QPainter& painter_;
};

void fillRounded(QPainter& p, const QRectF& r, qreal radius, const QBrush& brush)
{
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    p.drawRoundedRect(r, radius, radius);
}

// A key of the device pictures: dark rim, shaded cap, light top edge.
void drawKey(QPainter& p, const QRectF& r, qreal radius)
{
    fillRounded(p, r, radius, kKeyBase);
    const QRectF cap = r.adjusted(1, 1, -1, -1.5);
    fillRounded(p, cap, radius - 0.5, keyFill(cap));
    const QRectF top(r.left() + 2, r.top() + 1.8, r.width() - 4, r.height() * 0.5);
    fillRounded(p, top, std::max(radius - 1.5, 1.0), sheenFill(top));
}

// The recessed touch pad: a dark-to-light well with the light surface in it.
void drawPad(QPainter& p, const QRectF& r, qreal radius)
{
    fillRounded(
        p, r, radius,
        vertical(r.top(), r.bottom(), {{0, QColor(0x17, 0x19, 0x1c)}, {1, QColor(0x8a, 0x90, 0x98)}}));
    const QRectF face = r.adjusted(2, 2.5, -2, -1.5);
    QLinearGradient light(face.topLeft(), QPointF(face.left() + face.width() * 0.35, face.bottom()));
    light.setColorAt(0, QColor(0xd3, 0xd7, 0xdc));
    light.setColorAt(0.5, QColor(0xe6, 0xe9, 0xec));
    light.setColorAt(1, QColor(0xda, 0xde, 0xe2));
    fillRounded(p, face, radius - 1.5, light);
    fillRounded(p, face, radius - 1.5,
                vertical(face.top(), face.top() + face.height() * 0.12,
                         {{0, QColor(0, 0, 0, 56)}, {1, QColor(0, 0, 0, 0)}}));
}

// A padded wrist rest with its stitched seam.
void drawRest(QPainter& p, const QRectF& r, qreal radius)
{
    p.setPen(QPen(QColor(0x1e, 0x20, 0x23), 1));
    p.setBrush(vertical(
        r.top(), r.bottom(),
        {{0, QColor(0x6d, 0x72, 0x7a)}, {0.35, QColor(0x57, 0x5b, 0x62)}, {1, QColor(0x3c, 0x3f, 0x45)}}));
    p.drawRoundedRect(r, radius, radius);
    QPen seam(QColor(0x8c, 0x91, 0x98, 200), 0.8);
    seam.setDashPattern({3.0 / 0.8, 2.5 / 0.8});
    p.setPen(seam);
    p.setBrush(Qt::NoBrush);
    const qreal inner = std::max(radius - 4, 2.0);
    p.drawRoundedRect(r.adjusted(5, 4, -5, -4), inner, inner);
}

// The device body with its soft shadow, deck and highlight.
void drawBody(QPainter& p, const QRectF& r, qreal radius)
{
    // Stacked translucent copies stand in for a blur.
    for (const auto& [grow, dy, alpha] :
         std::array<std::array<qreal, 3>, 4>{{{5, 4, 13}, {3, 3, 18}, {1.5, 2, 26}, {0.5, 1, 36}}}) {
        const QRectF s(r.left() - grow, r.top() - grow + dy + 1, r.width() + 2 * grow,
                       r.height() + 1.6 * grow + dy);
        fillRounded(p, s, radius + grow, QColor(0, 0, 0, static_cast<int>(alpha)));
    }
    p.setPen(QPen(kEdge, 1));
    p.setBrush(bodyFill(r));
    p.drawRoundedRect(r, radius, radius);
    const QRectF deck = r.adjusted(3, 2.5, -3, -6);
    fillRounded(
        p, deck, radius - 2,
        vertical(deck.top(), deck.bottom(), {{0, QColor(0x4d, 0x52, 0x59)}, {1, QColor(0x34, 0x37, 0x3c)}}));
    const QRectF sheen(deck.left(), deck.top(), deck.width(), r.height() * 0.45);
    fillRounded(p, sheen, radius - 2, sheenFill(sheen, 51));
    p.setPen(QPen(QColor(0x9a, 0xa0, 0xa8, 180), 1));
    p.drawLine(QPointF(r.left() + radius, r.top() + 1.5), QPointF(r.right() - radius, r.top() + 1.5));
}

// The arrow pointer, tip at the origin, 13 by 20 before scaling.
QPainterPath pointerPath(QPointF tip, qreal scale)
{
    static const std::array<QPointF, 7> points = {
        {{0, 0}, {0, 17}, {4.2, 13.2}, {7.2, 20}, {10, 18.8}, {7.1, 12.2}, {12.6, 12.2}}};
    QPainterPath path;
    path.moveTo(tip + points[0] * scale);
    for (std::size_t i = 1; i < points.size(); ++i)
        path.lineTo(tip + points[i] * scale);
    path.closeSubpath();
    return path;
}

// A vertical double arrow between top and bottom, heads of the given width.
QPainterPath doubleArrow(qreal cx, qreal top, qreal bottom, qreal head, qreal shaft, qreal headLength)
{
    QPainterPath path;
    path.moveTo(cx, top);
    path.lineTo(cx + head / 2, top + headLength);
    path.lineTo(cx + shaft / 2, top + headLength);
    path.lineTo(cx + shaft / 2, bottom - headLength);
    path.lineTo(cx + head / 2, bottom - headLength);
    path.lineTo(cx, bottom);
    path.lineTo(cx - head / 2, bottom - headLength);
    path.lineTo(cx - shaft / 2, bottom - headLength);
    path.lineTo(cx - shaft / 2, top + headLength);
    path.lineTo(cx - head / 2, top + headLength);
    path.closeSubpath();
    return path;
}

void drawInformation(QPainter& p)
{
    const QRectF disc(6, 2, 20, 20);
    p.setPen(QPen(QColor(0x17, 0x50, 0x7d), 1));
    p.setBrush(
        vertical(disc.top(), disc.bottom(), {{0, QColor(0x5a, 0xa9, 0xe0)}, {1, QColor(0x1f, 0x6a, 0xa5)}}));
    p.drawEllipse(disc);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 7.4), 1.7, 1.7);
    p.drawRoundedRect(QRectF(14.6, 10.2, 2.8, 7.6), 0.8, 0.8);
}

void drawKeyboardKey(QPainter& p)
{
    // Seen slightly from the front: the cap's top face above its front slope.
    const QRectF base(4, 2, 24, 20);
    fillRounded(p, base, 4, kKeyBase);
    const QRectF sides = base.adjusted(1, 1, -1, -1);
    fillRounded(p, sides, 3.5, keyFill(sides));
    const QRectF top(7, 3.5, 18, 13.5);
    fillRounded(
        p, top, 2.5,
        vertical(top.top(), top.bottom(), {{0, QColor(0x72, 0x77, 0x7f)}, {1, QColor(0x52, 0x56, 0x5d)}}));
    fillRounded(p, QRectF(7.5, 4, 17, 5), 2, sheenFill(QRectF(7.5, 4, 17, 5), 70));
    QPen glyph(QColor(0xf0, 0xf2, 0xf4), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(glyph);
    QPainterPath letter;
    letter.moveTo(12.6, 14.6);
    letter.lineTo(16, 6.4);
    letter.lineTo(19.4, 14.6);
    letter.moveTo(13.9, 11.6);
    letter.lineTo(18.1, 11.6);
    p.drawPath(letter);
    p.setPen(QPen(kAccent, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11, 19.3), QPointF(21, 19.3));
}

void drawSlideSwitch(QPainter& p)
{
    const QRectF base(1.5, 3, 29, 18);
    fillRounded(p, base, 5, kKeyBase);
    const QRectF cap = base.adjusted(1, 1, -1, -1.2);
    fillRounded(p, cap, 4.5, keyFill(cap));
    p.setPen(QPen(QColor(0x07, 0x08, 0x09), 0.6));
    p.setBrush(kTrack);
    p.drawRoundedRect(QRectF(4.5, 8, 23, 8.5), 4.2, 4.2);
    const QRectF knob(15.5, 6, 11, 12.5);
    p.setPen(QPen(kAccentDark, 0.7));
    p.setBrush(accentFill(knob));
    p.drawRoundedRect(knob, 3, 3);
    fillRounded(p, QRectF(16.7, 6.8, 8.6, 4.4), 2, sheenFill(QRectF(16.7, 6.8, 8.6, 4.4), 90));
    p.setPen(QPen(QColor(0xff, 0xff, 0xff, 60), 0.8));
    p.drawLine(QPointF(19, 12.5), QPointF(19, 16));
    p.drawLine(QPointF(21, 12.5), QPointF(21, 16));
    p.drawLine(QPointF(23, 12.5), QPointF(23, 16));
}

// The battery's fill colour for a fraction: red when low, amber when half,
// green when full.
QColor batteryColour(double fraction)
{
    if (fraction <= 0.2)
        return QColor(0xd2, 0x3c, 0x2c);
    if (fraction <= 0.55)
        return QColor(0xe0, 0xa0, 0x2a);
    return QColor(0x4c, 0xa8, 0x50);
}

}  // namespace

void drawStatusSymbol(QPainter& painter, const QRectF& rect, StatusKind kind)
{
    const Canvas canvas(painter, rect, {32, 24});
    switch (kind) {
    case StatusKind::Plain: drawInformation(painter); break;
    case StatusKind::Special: drawKeyboardKey(painter); break;
    case StatusKind::PadSwitch: drawSlideSwitch(painter); break;
    }
}

void drawSettingsToggle(QPainter& painter, const QRectF& rect, bool hot)
{
    const Canvas canvas(painter, rect, {32, 32});
    QPainter& p = painter;
    const QRectF tile(2, 1.5, 28, 27);
    if (hot) {
        for (const auto& [grow, dy, alpha] :
             std::array<std::array<qreal, 3>, 3>{{{1.5, 1.8, 20}, {0.8, 1.2, 30}, {0.2, 0.6, 40}}})
            fillRounded(p, tile.adjusted(-grow, dy - grow, grow, dy + grow), 7 + grow,
                        QColor(0, 0, 0, static_cast<int>(alpha)));
        p.setPen(QPen(kAccentDark, 0.8));
        p.setBrush(vertical(tile.top(), tile.bottom(),
                            {{0, QColor(0xf6, 0xb0, 0x6f)}, {1, QColor(0xd2, 0x71, 0x26)}}));
    } else {
        p.setPen(QPen(kQuiet, 1));
        p.setBrush(vertical(tile.top(), tile.bottom(),
                            {{0, QColor(0xfd, 0xfd, 0xfe)}, {1, QColor(0xe6, 0xe8, 0xeb)}}));
    }
    p.drawRoundedRect(tile, 7, 7);
    if (hot)
        fillRounded(p, QRectF(3.5, 2.5, 25, 11), 6, sheenFill(QRectF(3.5, 2.5, 25, 11), 80));

    // Three slider rows: the settings behind the toggle are sliders.
    const QColor line = hot ? QColor(255, 255, 255, 220) : QColor(0x6b, 0x70, 0x78);
    struct Row {
        qreal y;
        qreal knob;
        bool accent;
    };
    for (const auto& [y, knob, accent] :
         std::array<Row, 3>{{{9.5, 19.5, false}, {15.5, 11.5, true}, {21.5, 17.5, false}}}) {
        p.setPen(QPen(line, 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, y), QPointF(24, y));
        if (hot) {
            p.setPen(QPen(kAccentDark, 0.9));
            p.setBrush(Qt::white);
        } else {
            p.setPen(QPen(accent ? kAccentDark : kEdge, 0.8));
            p.setBrush(accent ? QBrush(accentFill(QRectF(0, y - 3, 1, 6)))
                              : QBrush(QColor(0x46, 0x4a, 0x51)));
        }
        p.drawEllipse(QPointF(knob, y), 2.7, 2.7);
    }
}

void drawSettingsPicture(QPainter& painter, const QRectF& rect)
{
    const Canvas canvas(painter, rect, {300, 300});
    QPainter& p = painter;

    drawBody(p, QRectF(16, 104, 268, 168), 24);
    const QRectF pad(94, 116, 112, 98);
    drawKey(p, QRectF(30, 116, 56, 24), 7);
    drawKey(p, QRectF(214, 116, 56, 24), 7);
    drawRest(p, QRectF(30, 148, 56, 66), 12);
    drawRest(p, QRectF(214, 148, 56, 66), 12);
    drawKey(p, QRectF(30, 226, 56, 28), 7);
    drawKey(p, QRectF(94, 222, 112, 32), 8);
    drawKey(p, QRectF(214, 226, 56, 28), 7);
    drawPad(p, pad, 10);

    // The scroll strip along the pad's right edge.
    p.setPen(QPen(QColor(0x9a, 0xa0, 0xa8), 1, Qt::DotLine));
    p.drawLine(QPointF(180, 124), QPointF(180, 208));
    const QPainterPath scroll = doubleArrow(192, 124, 207, 14, 5, 12);
    p.setPen(QPen(kAccentDark, 1));
    p.setBrush(accentFill(scroll.boundingRect()));
    p.drawPath(scroll);

    // The finger on the pad and the way the pointer goes with it.
    const QPointF finger(134, 184);
    QPainterPath trail(finger);
    trail.cubicTo(QPointF(132, 142), QPointF(144, 108), QPointF(166, 86));
    QPen dashes(QColor(0xc8, 0x67, 0x1f), 2.2, Qt::CustomDashLine, Qt::RoundCap);
    dashes.setDashPattern({2, 2.6});
    p.setPen(dashes);
    p.setBrush(Qt::NoBrush);
    p.drawPath(trail);
    QRadialGradient touch(finger, 13);
    touch.setColorAt(0, QColor(0xf3, 0xa2, 0x5a, 200));
    touch.setColorAt(0.6, QColor(0xf3, 0xa2, 0x5a, 110));
    touch.setColorAt(1, QColor(0xf3, 0xa2, 0x5a, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(touch);
    p.drawEllipse(finger, 13, 13);
    p.setPen(QPen(QColor(0xc8, 0x67, 0x1f), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(finger, 6.5, 6.5);

    // The pointer above the device with lines trailing its motion.
    p.setPen(QPen(QColor(0x9a, 0xa0, 0xa8), 2.4, Qt::SolidLine, Qt::RoundCap));
    for (const auto& [x, y, length] :
         std::array<std::array<qreal, 3>, 3>{{{178, 58, 20}, {188, 70, 14}, {166, 52, 10}}})
        p.drawLine(QPointF(x, y), QPointF(x - length * 0.62, y + length * 0.78));
    const QPainterPath pointer = pointerPath(QPointF(196, 26), 2.3);
    p.translate(1.5, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 45));
    p.drawPath(pointer);
    p.translate(-1.5, -2);
    p.setPen(QPen(kEdge, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPath(pointer);
}

QSizeF wirelessStatusSize() { return {100, 24}; }

void drawWirelessStatus(QPainter& painter, const QPointF& topLeft, int signalLevel, int batteryState,
                        std::optional<int> percent)
{
    const Canvas canvas(painter, QRectF(topLeft, wirelessStatusSize()), wirelessStatusSize());
    QPainter& p = painter;

    const int level = std::clamp(signalLevel, 0, 4);
    const QColor lit(0x40, 0x44, 0x4a);
    const QColor unlit(0xd3, 0xd6, 0xda);
    for (int bar = 0; bar < 4; ++bar) {
        const qreal height = 6 + 4 * bar;
        const QRectF r(3 + bar * 5.5, 21 - height, 4, height);
        fillRounded(p, r, 1, bar < level ? lit : unlit);
    }
    if (level == 0) {
        p.setPen(QPen(QColor(0xc6, 0x28, 0x28), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3, 4), QPointF(10, 11));
        p.drawLine(QPointF(10, 4), QPointF(3, 11));
    }

    // The battery, lying on its side with the terminal to the right.
    const QRectF shell(31, 6, 26, 13);
    const bool known = percent.has_value() || (batteryState >= 1 && batteryState <= 3);
    p.setPen(QPen(known ? kInk : QColor(0x9a, 0xa0, 0xa8), 1.4));
    p.setBrush(Qt::white);
    p.drawRoundedRect(shell, 2.5, 2.5);
    fillRounded(p, QRectF(57.8, 9.5, 2.6, 6), 1, known ? kInk : QColor(0x9a, 0xa0, 0xa8));
    if (known) {
        const double fraction =
            percent ? std::clamp(*percent, 0, 100) / 100.0 : std::array{0.2, 0.55, 1.0}[batteryState - 1];
        const QRectF inside = shell.adjusted(2, 2, -2, -2);
        // A sliver stays visible even at 0 %, so the colour still says "low".
        const QRectF charge(inside.left(), inside.top(), std::max(inside.width() * fraction, 1.5),
                            inside.height());
        fillRounded(p, charge, 1, batteryColour(fraction));
    }

    if (percent) {
        const QString text = QString::number(std::clamp(*percent, 0, 100)) + QStringLiteral(" %");
        QFont font = p.font();
        font.setPixelSize(12);
        const QRectF room(64, 0, 36, 24);
        // Whatever the font, the text keeps inside the status.
        const qreal width = QFontMetricsF(font).horizontalAdvance(text);
        if (width > room.width())
            font.setPixelSize(std::max(7, static_cast<int>(12 * room.width() / width)));
        p.setFont(font);
        p.setPen(kInk);
        p.drawText(room, Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

void drawWakeFrame(QPainter& painter, const QRectF& rect, int frame)
{
    const Canvas canvas(painter, rect, {36, 83});
    QPainter& p = painter;
    // Height (0 resting .. 1 top) and direction of each frame: up, then down
    // a little slower, so the loop back to frame 0 lands the pad.
    struct Step {
        qreal height;
        int direction;  // -1 rising, +1 sinking, 0 still
    };
    static const std::array<Step, kWakeFrames> steps = {{{0, 0}, {0.55, -1}, {1, 0}, {0.62, 1}, {0.22, 1}}};
    const Step step = steps[static_cast<std::size_t>(std::clamp(frame, 0, kWakeFrames - 1))];

    const qreal restTop = 60;
    const qreal top = restTop - step.height * 52;

    // The shadow on the desk stays put and fades as the pad rises.
    p.save();
    p.translate(18, 78);
    p.scale(1, 0.22);
    const qreal spread = 16 - 5 * step.height;
    QRadialGradient shade(QPointF(0, 0), spread);
    shade.setColorAt(0, QColor(0, 0, 0, static_cast<int>(110 - 60 * step.height)));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.setBrush(shade);
    p.drawEllipse(QPointF(0, 0), spread, spread);
    p.restore();

    if (step.direction != 0) {
        // Motion lines trail the pad: below it rising, above it sinking.
        p.setPen(QPen(QColor(0x9a, 0xa0, 0xa8), 1.5, Qt::SolidLine, Qt::RoundCap));
        for (const auto& [x, length] : std::array<std::array<qreal, 2>, 3>{{{9, 7}, {18, 11}, {27, 7}}}) {
            const qreal start = step.direction < 0 ? top + 19 : top - 3;
            p.drawLine(QPointF(x, start), QPointF(x, start + step.direction * -length));
        }
    }

    // The pad as a slab seen from the front and above.
    QPainterPath face;
    face.moveTo(6.5, top);
    face.lineTo(29.5, top);
    face.lineTo(33.5, top + 11);
    face.lineTo(2.5, top + 11);
    face.closeSubpath();
    const QRectF front(2.5, top + 11, 31, 4.5);
    fillRounded(p, front.adjusted(0, -1, 0, 0), 1.5, QColor(0x1d, 0x1f, 0x23));
    p.setPen(QPen(kEdge, 0.8, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(bodyFill(QRectF(0, top, 1, 11)));
    p.drawPath(face);
    QPainterPath square;
    square.moveTo(14, top + 2);
    square.lineTo(22, top + 2);
    square.lineTo(23.2, top + 8);
    square.lineTo(12.8, top + 8);
    square.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0xe3, 0xe7));
    p.drawPath(square);
    p.setBrush(accentFill(QRectF(0, top + 9, 1, 1.6)));
    p.drawRect(QRectF(13, top + 9, 10, 1.4));
    p.setBrush(QColor(0x6d, 0x72, 0x7a));
    p.drawRect(QRectF(5.5, top + 9, 5.5, 1.4));
    p.drawRect(QRectF(25, top + 9, 5.5, 1.4));
}

void drawPromptHand(QPainter& painter, const QRectF& rect)
{
    const Canvas canvas(painter, rect, {32, 32});
    QPainter& p = painter;
    QPainterPath hand;
    hand.setFillRule(Qt::WindingFill);
    hand.addRoundedRect(QRectF(11, 2, 5.4, 19), 2.7, 2.7);
    hand.addRoundedRect(QRectF(15.8, 11.5, 4.8, 9), 2.4, 2.4);
    hand.addRoundedRect(QRectF(20, 12.8, 4.6, 8.5), 2.3, 2.3);
    hand.addRoundedRect(QRectF(24, 14.4, 4, 7.4), 2, 2);
    hand.addRoundedRect(QRectF(9.5, 16, 18.5, 11.5), 4.5, 4.5);
    QPainterPath thumb;
    thumb.addRoundedRect(QRectF(-2.6, -9.5, 5.2, 11), 2.6, 2.6);
    hand.addPath(QTransform().translate(10.5, 22).rotate(-42).map(thumb));
    hand = hand.simplified();

    p.setPen(QPen(kInk, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(vertical(2, 28, {{0, Qt::white}, {1, QColor(0xe4, 0xe7, 0xea)}}));
    p.drawPath(hand);
    p.setPen(QPen(kInk, 0.9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(20.3, 14.2), QPointF(20.3, 18.5));
    p.drawLine(QPointF(24.3, 15.6), QPointF(24.3, 19.2));
    p.drawLine(QPointF(16.2, 13.5), QPointF(16.2, 18));
    const QRectF cuff(10.2, 27, 17.4, 4);
    p.setPen(QPen(kAccentDark, 0.8));
    p.setBrush(accentFill(cuff));
    p.drawRoundedRect(cuff, 1.2, 1.2);
}

void drawPromptArrows(QPainter& painter, const QRectF& rect)
{
    const Canvas canvas(painter, rect, {32, 32});
    QPainter& p = painter;
    const QPainterPath arrow = doubleArrow(16, 2, 30, 19, 7, 10);
    p.setPen(QPen(kAccentDark, 1.1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(accentFill(arrow.boundingRect()));
    p.drawPath(arrow);
    p.setPen(QPen(QColor(255, 255, 255, 110), 1, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14.8, 13), QPointF(14.8, 19));
}

void drawBusyPicture(QPainter& painter, const QRectF& rect)
{
    const Canvas canvas(painter, rect, {256, 256});
    QPainter& p = painter;
    const QPointF centre(128, 128);
    const qreal radius = 112;

    p.setPen(QPen(QColor(0xe9, 0xeb, 0xee), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(centre, radius, radius);
    // A comet along the ring: the configuration on its way from the device.
    QConicalGradient comet(centre, 70);
    comet.setColorAt(0, QColor(0xe0, 0x86, 0x3c));
    comet.setColorAt(0.36, QColor(0xf3, 0xa2, 0x5a, 0));
    comet.setColorAt(1, QColor(0xe0, 0x86, 0x3c));
    p.setPen(QPen(QBrush(comet), 9, Qt::SolidLine, Qt::FlatCap));
    const QRectF ring(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    p.drawArc(ring, 70 * 16, 128 * 16);
    const qreal head = qDegreesToRadians(70.0);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xe0, 0x86, 0x3c));
    p.drawEllipse(centre + QPointF(std::cos(head), -std::sin(head)) * radius, 4.5, 4.5);

    // The device as the quiet outline of the no-device picture.
    p.setPen(QPen(kQuiet, 2));
    p.setBrush(kQuietFill);
    p.drawRoundedRect(QRectF(44, 80, 168, 96), 16, 16);
    p.setBrush(QColor(0xe6, 0xe8, 0xeb));
    p.drawRoundedRect(QRectF(100, 90, 56, 52), 8, 8);
    p.setBrush(kQuietFill);
    for (const QRectF& key : {QRectF(56, 90, 36, 14), QRectF(164, 90, 36, 14), QRectF(56, 156, 36, 12),
                              QRectF(100, 150, 56, 18), QRectF(164, 156, 36, 12)})
        p.drawRoundedRect(key, 5, 5);
    p.setBrush(QColor(0xe9, 0xeb, 0xee));
    p.drawRoundedRect(QRectF(56, 112, 36, 36), 8, 8);
    p.drawRoundedRect(QRectF(164, 112, 36, 36), 8, 8);
    // The pad's accent stays, the one warm colour inside the ring.
    p.setPen(QPen(kAccent, 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(116, 159), QPointF(140, 159));
}

namespace {

constexpr int kIconSizes[] = {16, 24, 32, 48, 64, 256};

// Renders the icon at the size asked for, when it is asked for: the window
// needs two or three sizes, and rendering all of them would slow the start.
class ProgramIconEngine final : public QIconEngine {
public:
    explicit ProgramIconEngine(bool usable) : usable_(usable) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::max(1, std::min(size.width(), size.height()));
        auto it = cache_.find(side);
        if (it == cache_.end())
            it = cache_.emplace(side, QPixmap::fromImage(render(side))).first;
        return it->second;
    }
    QIconEngine* clone() const override { return new ProgramIconEngine(usable_); }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int side : kIconSizes)
            sizes << QSize(side, side);
        return sizes;
    }

private:
    QImage render(int size) const
    {
        static const bool registered = (registerIcons(), true);
        (void)registered;
        QSvgRenderer renderer(QStringLiteral(":/icons/cvkeys.svg"));
        QImage image(size, size, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter, QRectF(0, 0, size, size));
        }
        if (!usable_) {
            // Grey and lighter, as a disabled icon reads.
            for (int y = 0; y < size; ++y) {
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                for (int x = 0; x < size; ++x) {
                    const int grey = 90 + qGray(line[x]) * 150 / 255;
                    line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 4 / 5);
                }
            }
        }
        return image;
    }

    bool usable_;
    std::map<int, QPixmap> cache_;
};

}  // namespace

QIcon programIcon(bool usable) { return QIcon(new ProgramIconEngine(usable)); }

}  // namespace cvk::symbols
