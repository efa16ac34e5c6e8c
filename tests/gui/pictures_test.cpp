// The device pictures: which buttons each has, that its hit map is exact,
// and that each button lies next to the rectangle its caption is written in.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "ui/device_picture.h"

namespace {

using cvk::DevicePicture;

// Label rectangles (left, top, right, bottom) in picture coordinates, per button.
using Labels = std::map<int, QRectF>;
QRectF box(double l, double t, double r, double b) { return QRectF(QPointF(l, t), QPointF(r, b)); }

const DevicePicture::HitColours kNineButtonColours = {
    QColor(0, 255, 255), QColor(255, 0, 0),   QColor(128, 0, 0),   QColor(0, 128, 0),   QColor(0, 255, 0),
    QColor(255, 0, 255), QColor(255, 255, 0), QColor(128, 0, 128), QColor(128, 128, 0), QColor(0, 0, 255)};
const DevicePicture::HitColours kFiveButtonColours = {QColor(0, 255, 255), QColor(255, 0, 0),
                                                      QColor(0, 255, 0),   QColor(255, 0, 255),
                                                      QColor(255, 255, 0), QColor(0, 0, 255)};

const Labels kArvelLabels = {{0, box(195, 30, 305, 90)},   {1, box(0, -10, 182, 11)},
                             {2, box(0, 195, 190, 210)},   {3, box(101, 180, 401, 195)},
                             {4, box(313, 195, 600, 210)}, {5, box(319, -20, 600, 11)}};
const Labels kEssomLabels = {{0, box(201, 12, 306, 90)},
                             {1, box(0, -20, 182, 5)},
                             {2, box(0, 175, 215, 195)},
                             {4, box(287, 175, 600, 195)},
                             {5, box(319, -20, 600, 5)}};
const Labels kDorrinLabels = {{0, box(209, 13, 352, 106)},  {1, box(0, 0, 182, 30)},
                              {2, box(0, 50, 172, 77)},     {3, box(0, 86, 182, 111)},
                              {4, box(0, 195, 238, 210)},   {5, box(130, 180, 430, 195)},
                              {6, box(313, 195, 600, 210)}, {7, box(378, 86, 600, 111)},
                              {8, box(388, 50, 600, 77)},   {9, box(378, 0, 600, 30)}};
// Button 3 of these is the pad's on/off switch, which has no caption.
const Labels kWirelessLabels = {
    {0, box(200, 24, 318, 98)},   {1, box(0, -10, 173, 10)},    {2, box(173, -25, 310, -5)},
    {4, box(0, 185, 200, 200)},   {5, box(156, 170, 357, 185)}, {6, box(156, 200, 357, 215)},
    {7, box(309, 185, 609, 200)}, {8, box(180, -10, 340, 10)},  {9, box(340, -25, 540, -5)}};
const Labels kArvel2Labels = {{0, box(200, 24, 318, 98)},   {1, box(0, -10, 173, 10)},
                              {4, box(0, 185, 200, 200)},   {5, box(156, 170, 357, 185)},
                              {6, box(156, 200, 357, 215)}, {7, box(309, 185, 609, 200)},
                              {9, box(340, -10, 540, 10)}};

struct PictureCase {
    const char* name;
    QSize size;
    std::vector<int> buttons;
    const DevicePicture::HitColours* colours;
    const Labels* labels;
    std::vector<const char*> extraElements;
};

const PictureCase kPictures[] = {
    {"arvel", {720, 180}, {0, 1, 2, 3, 4, 5}, &kFiveButtonColours, &kArvelLabels, {}},
    {"essom", {720, 180}, {0, 1, 2, 4, 5}, &kFiveButtonColours, &kEssomLabels, {}},
    {"dorrin", {720, 180}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, &kNineButtonColours, &kDorrinLabels, {}},
    {"wireless", {720, 180}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, &kNineButtonColours, &kWirelessLabels, {}},
    {"brill",
     {720, 180},
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9},
     &kNineButtonColours,
     &kWirelessLabels,
     {"pad-switch"}},
    {"arvel2", {720, 180}, {0, 1, 3, 4, 5, 6, 7, 9}, &kNineButtonColours, &kArvel2Labels, {}},
    {"no-device", {720, 255}, {}, &kFiveButtonColours, nullptr, {}},
};

// Names the case in test listings instead of printing its bytes.
void PrintTo(const PictureCase& c, std::ostream* out) { *out << c.name; }

class Pictures : public ::testing::TestWithParam<PictureCase> {};

QString idOf(int button) { return QStringLiteral("button%1").arg(button); }

// The gap between two rectangles; 0 when they touch or overlap.
double distance(const QRectF& a, const QRectF& b)
{
    const double dx = std::max({0.0, b.left() - a.right(), a.left() - b.right()});
    const double dy = std::max({0.0, b.top() - a.bottom(), a.top() - b.bottom()});
    return std::hypot(dx, dy);
}

// The bounding box of the hit-map pixels of one colour.
QRect region(const QImage& map, QRgb colour)
{
    QRect found;
    for (int y = 0; y < map.height(); ++y)
        for (int x = 0; x < map.width(); ++x)
            if (map.pixel(x, y) == colour)
                found |= QRect(x, y, 1, 1);
    return found;
}

TEST_P(Pictures, LoadsWithExactlyItsButtons)
{
    const PictureCase& c = GetParam();
    const DevicePicture picture(QString::fromLatin1(c.name));
    ASSERT_TRUE(picture.isValid());
    EXPECT_EQ(picture.size(), c.size);
    QStringList expected;
    for (int n : c.buttons)
        expected << idOf(n);
    EXPECT_EQ(picture.buttonIds(), expected);
    for (const char* extra : c.extraElements)
        EXPECT_TRUE(picture.hasElement(QString::fromLatin1(extra))) << extra;
    if (c.extraElements.empty()) {
        EXPECT_FALSE(picture.hasElement(QStringLiteral("pad-switch")));
    }
}

TEST_P(Pictures, HitMapHoldsOnlyWhiteAndTheButtonColours)
{
    const PictureCase& c = GetParam();
    const DevicePicture picture(QString::fromLatin1(c.name));
    const QImage map = picture.hitMap(*c.colours);
    ASSERT_EQ(map.size(), c.size);

    std::map<QRgb, int> buttonOf;
    for (int n : c.buttons)
        buttonOf[(*c.colours)[n]->rgb()] = n;
    QSet<int> seen;
    for (int y = 0; y < map.height(); ++y)
        for (int x = 0; x < map.width(); ++x) {
            const QRgb pixel = map.pixel(x, y);
            if (pixel == qRgb(255, 255, 255))
                continue;
            const auto it = buttonOf.find(pixel);
            ASSERT_NE(it, buttonOf.end())
                << c.name << " pixel " << x << "," << y << " is " << std::hex << pixel;
            seen.insert(it->second);
        }
    for (int n : c.buttons)
        EXPECT_TRUE(seen.contains(n)) << c.name << " button " << n << " is missing from the hit map";
}

TEST_P(Pictures, ButtonWithoutAColourStaysWhite)
{
    const PictureCase& c = GetParam();
    if (c.buttons.empty())
        GTEST_SKIP() << "no buttons";
    const DevicePicture picture(QString::fromLatin1(c.name));
    DevicePicture::HitColours colours = *c.colours;
    const int dropped = c.buttons.back();
    const QRgb droppedColour = colours[dropped]->rgb();
    colours[dropped].reset();
    EXPECT_TRUE(region(picture.hitMap(colours), droppedColour).isEmpty());
}

TEST_P(Pictures, EachButtonLiesNextToItsLabel)
{
    const PictureCase& c = GetParam();
    if (!c.labels)
        GTEST_SKIP() << "no labels";
    const DevicePicture picture(QString::fromLatin1(c.name));
    const QImage map = picture.hitMap(*c.colours);
    for (const auto& [button, label] : *c.labels) {
        const QRect hit = region(map, (*c.colours)[button]->rgb());
        ASSERT_FALSE(hit.isEmpty()) << c.name << " button " << button;
        EXPECT_LE(distance(QRectF(hit), label), 40.0) << c.name << " button " << button;
        // The element's bounds and its hit region are the same place.
        EXPECT_LE(distance(picture.elementBounds(idOf(button)), QRectF(hit)), 0.0) << c.name << " " << button;
    }
}

// Each button drawn alone at device pixel ratio 2 covers the hit map's
// region of that button, away from the edges where rounding may differ.
TEST_P(Pictures, SharpRenderingLinesUpWithTheHitMap)
{
    const PictureCase& c = GetParam();
    const DevicePicture picture(QString::fromLatin1(c.name));
    const QImage map = picture.hitMap(*c.colours);
    for (int n : c.buttons) {
        QImage sharp(c.size * 2, QImage::Format_ARGB32);
        sharp.setDevicePixelRatio(2);
        sharp.fill(Qt::transparent);
        {
            QPainter painter(&sharp);
            ASSERT_TRUE(picture.renderElement(painter, idOf(n), QRectF(QPointF(0, 0), QSizeF(c.size))));
        }
        const QRgb colour = (*c.colours)[n]->rgb();
        auto inside = [&](int x, int y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int px = x + dx, py = y + dy;
                    if (px < 0 || py < 0 || px >= map.width() || py >= map.height() ||
                        map.pixel(px, py) != colour)
                        return false;
                }
            return true;
        };
        auto outside = [&](int x, int y) {
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int px = x + dx, py = y + dy;
                    if (px >= 0 && py >= 0 && px < map.width() && py < map.height() &&
                        map.pixel(px, py) == colour)
                        return false;
                }
            return true;
        };
        int wrong = 0;
        for (int y = 0; y < map.height(); ++y)
            for (int x = 0; x < map.width(); ++x) {
                const int alpha = qAlpha(sharp.pixel(2 * x + 1, 2 * y + 1));
                if ((inside(x, y) && alpha < 128) || (outside(x, y) && alpha > 0))
                    ++wrong;
            }
        EXPECT_EQ(wrong, 0) << c.name << " button " << n;
    }
}

TEST_P(Pictures, RendersSomethingAtEitherRatio)
{
    const PictureCase& c = GetParam();
    const DevicePicture picture(QString::fromLatin1(c.name));
    for (qreal ratio : {1.0, 2.0}) {
        QImage image((QSizeF(c.size) * ratio).toSize(), QImage::Format_ARGB32);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            picture.render(painter, QRectF(QPointF(0, 0), QSizeF(c.size)));
        }
        // The middle of the pad is painted and dark enough for its yellow
        // caption; the outline of the no-device picture stays light.
        const QPoint middle = (QPointF(c.size.width() * 0.43, c.size.height() * 0.35) * ratio).toPoint();
        const QColor there = image.pixelColor(middle);
        EXPECT_EQ(there.alpha(), 255) << c.name << " at " << ratio;
        if (c.buttons.empty())
            EXPECT_GT(there.lightness(), 180) << c.name << " at " << ratio;
        else
            EXPECT_LT(there.lightness(), 110) << c.name << " at " << ratio;
    }
}

std::string caseName(const ::testing::TestParamInfo<PictureCase>& info)
{
    std::string name = info.param.name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Each, Pictures, ::testing::ValuesIn(kPictures), caseName);

TEST(PadSwitch, IsLeftOutOfTheWholePictureButDrawsAlone)
{
    const DevicePicture picture(QStringLiteral("brill"));
    const QRectF where = picture.elementBounds(QStringLiteral("pad-switch"));
    ASSERT_FALSE(where.isEmpty());
    EXPECT_LE(distance(where, QRectF(508, 27, 50, 33)), 2.0);
    auto draw = [&](bool overlay) {
        QImage image(picture.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        picture.render(painter, QRectF(QPointF(0, 0), QSizeF(picture.size())));
        if (overlay)
            picture.renderElement(painter, QStringLiteral("pad-switch"),
                                  QRectF(QPointF(0, 0), QSizeF(picture.size())));
        painter.end();
        return image.copy(where.toAlignedRect());
    };
    // The switch shows its other position only with the overlay.
    EXPECT_NE(draw(false), draw(true));
}

TEST(PictureFiles, UnknownNameIsInvalid)
{
    const DevicePicture picture(QStringLiteral("no-such-model"));
    EXPECT_FALSE(picture.isValid());
    EXPECT_TRUE(picture.buttonIds().isEmpty());
    EXPECT_TRUE(picture.elementBounds(QStringLiteral("button0")).isEmpty());
}

#ifdef CVK_PICTURE_PREVIEW_DIR
// Not a check: writes each picture, its hit map, a 2x rendering and a sheet
// with the label rectangles into the build tree, to be looked at.
TEST(PicturePreviews, Write)
{
    const QDir dir(QStringLiteral(CVK_PICTURE_PREVIEW_DIR));
    ASSERT_TRUE(dir.mkpath(QStringLiteral(".")));
    for (const PictureCase& c : kPictures) {
        const QString name = QString::fromLatin1(c.name);
        const DevicePicture picture(name);
        for (qreal ratio : {1.0, 2.0}) {
            QImage image((QSizeF(c.size) * ratio).toSize(), QImage::Format_ARGB32);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::white);
            QPainter painter(&image);
            picture.render(painter, QRectF(QPointF(0, 0), QSizeF(c.size)));
            painter.end();
            image.save(
                dir.filePath(ratio > 1 ? name + QStringLiteral("@2x.png") : name + QStringLiteral(".png")));
        }
        picture.hitMap(*c.colours).save(dir.filePath(name + QStringLiteral("-hitmap.png")));
        // The sheet: 40 px margin above and below for the captions outside the picture.
        QImage sheet(c.size + QSize(0, 80), QImage::Format_ARGB32);
        sheet.fill(Qt::white);
        QPainter painter(&sheet);
        painter.translate(0, 40);
        picture.render(painter, QRectF(QPointF(0, 0), QSizeF(c.size)));
        if (c.labels) {
            painter.setPen(QPen(QColor(150, 150, 150), 1));
            for (const auto& [button, label] : *c.labels) {
                painter.drawRect(label);
                painter.drawText(label.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                                 QStringLiteral("Button %1").arg(button));
            }
        }
        painter.end();
        sheet.save(dir.filePath(name + QStringLiteral("-labels.png")));
    }
}
#endif

}  // namespace
