// The small pictures: each stays inside its rectangle at any device pixel
// ratio, draws something, and the states a user must tell apart look
// different; the program icon comes in its sizes, grey when not usable.

#include <gtest/gtest.h>

#include <QDir>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <cmath>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ui/picture_symbols.h"

namespace {

namespace sym = cvk::symbols;

using Draw = std::function<void(QPainter&, const QRectF&)>;

struct Symbol {
    std::string name;
    QSizeF size;
    Draw draw;
};

void PrintTo(const Symbol& s, std::ostream* out) { *out << s.name; }

Symbol wireless(int signal, int battery, std::optional<int> percent)
{
    std::string name = "wireless-signal" + std::to_string(signal) + "-battery" + std::to_string(battery);
    if (percent)
        name += "-" + std::to_string(*percent) + "percent";
    return {name, sym::wirelessStatusSize(), [=](QPainter& p, const QRectF& r) {
                sym::drawWirelessStatus(p, r.topLeft(), signal, battery, percent);
            }};
}

Symbol wakeFrame(int frame)
{
    return {"wake" + std::to_string(frame), {36, 83}, [=](QPainter& p, const QRectF& r) {
                sym::drawWakeFrame(p, r, frame);
            }};
}

Symbol status(const char* name, sym::StatusKind kind)
{
    return {std::string("status-") + name, {32, 24}, [=](QPainter& p, const QRectF& r) {
                sym::drawStatusSymbol(p, r, kind);
            }};
}

// The toggle at one size in both states, so the two can be compared.
Symbol toggle(bool hot, double side)
{
    return {std::string(hot ? "settings-toggle-hot-" : "settings-toggle-") + std::to_string(int(side)),
            {side, side},
            [=](QPainter& p, const QRectF& r) { sym::drawSettingsToggle(p, r, hot); }};
}

std::vector<Symbol> allSymbols()
{
    std::vector<Symbol> all = {
        status("plain", sym::StatusKind::Plain),
        status("special", sym::StatusKind::Special),
        status("pad-switch", sym::StatusKind::PadSwitch),
        toggle(false, 32),
        toggle(true, 64),
        {"settings-picture", {300, 300}, sym::drawSettingsPicture},
        {"prompt-hand", {32, 32}, sym::drawPromptHand},
        {"prompt-arrows", {32, 32}, sym::drawPromptArrows},
        {"busy", {256, 256}, sym::drawBusyPicture},
    };
    for (int frame = 0; frame < sym::kWakeFrames; ++frame)
        all.push_back(wakeFrame(frame));
    for (int level = 0; level <= 4; ++level)
        all.push_back(wireless(level, 3, std::nullopt));
    for (int battery : {-1, 1, 2})
        all.push_back(wireless(4, battery, std::nullopt));
    for (int percent : {0, 7, 50, 100})
        all.push_back(wireless(3, 2, percent));
    return all;
}

// gtest's names allow letters, digits and underscores only.
std::string testName(std::string name)
{
    for (char& c : name)
        if (c == '-' || c == ' ')
            c = '_';
    return name;
}

constexpr int kMargin = 12;

// The symbol drawn into a transparent image with its rectangle in the middle
// and a margin all round; a fractional shift catches rounding outwards.
QImage render(const Symbol& s, qreal ratio, QPointF shift = {0, 0})
{
    const QSizeF logical = s.size + QSizeF(2 * kMargin, 2 * kMargin);
    QImage image((logical * ratio).toSize(), QImage::Format_ARGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    s.draw(painter, QRectF(QPointF(kMargin, kMargin) + shift, s.size));
    return image;
}

// The device pixels of `image` outside the logical rectangle that hold colour.
int paintedOutside(const QImage& image, const QRectF& logical)
{
    const qreal ratio = image.devicePixelRatio();
    const QRect inside(QPoint(static_cast<int>(std::floor(logical.left() * ratio)),
                              static_cast<int>(std::floor(logical.top() * ratio))),
                       QPoint(static_cast<int>(std::ceil(logical.right() * ratio)) - 1,
                              static_cast<int>(std::ceil(logical.bottom() * ratio)) - 1));
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!inside.contains(x, y) && qAlpha(image.pixel(x, y)) != 0)
                ++count;
    return count;
}

// The share of the image's pixels that are visibly painted.
double coverage(const QImage& image)
{
    int painted = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 64)
                ++painted;
    return double(painted) / (image.width() * image.height());
}

class Symbols : public ::testing::TestWithParam<Symbol> {};

TEST_P(Symbols, DrawSomethingAndNothingOutsideTheirRectangle)
{
    const Symbol& s = GetParam();
    for (qreal ratio : {1.0, 2.0, 1.5}) {
        for (QPointF shift : {QPointF(0, 0), QPointF(0.5, 0.25)}) {
            const QImage image = render(s, ratio, shift);
            EXPECT_EQ(paintedOutside(image, QRectF(QPointF(kMargin, kMargin) + shift, s.size)), 0)
                << "ratio " << ratio << " shift " << shift.x();
            // Margins included, every symbol covers a fair share of its area.
            EXPECT_GT(coverage(image), 0.03) << "ratio " << ratio;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(All, Symbols, ::testing::ValuesIn(allSymbols()),
                         [](const auto& c) { return testName(c.param.name); });

// Each group's members must each look different from all the others.
struct Distinct {
    const char* what;
    std::vector<Symbol> members;
};

void PrintTo(const Distinct& d, std::ostream* out) { *out << d.what; }

std::vector<Distinct> distinctGroups()
{
    std::vector<Distinct> groups;
    groups.push_back({"status kinds",
                      {status("plain", sym::StatusKind::Plain), status("special", sym::StatusKind::Special),
                       status("pad-switch", sym::StatusKind::PadSwitch)}});
    groups.push_back({"toggle hot or not", {toggle(false, 64), toggle(true, 64)}});
    Distinct signal{"signal levels", {}};
    for (int level = 0; level <= 4; ++level)
        signal.members.push_back(wireless(level, 3, std::nullopt));
    groups.push_back(signal);
    groups.push_back({"battery states",
                      {wireless(4, -1, std::nullopt), wireless(4, 1, std::nullopt),
                       wireless(4, 2, std::nullopt), wireless(4, 3, std::nullopt)}});
    groups.push_back({"battery percents", {wireless(4, 2, 5), wireless(4, 2, 45), wireless(4, 2, 95)}});
    Distinct wake{"wake frames", {}};
    for (int frame = 0; frame < sym::kWakeFrames; ++frame)
        wake.members.push_back(wakeFrame(frame));
    groups.push_back(wake);
    return groups;
}

class DistinctSymbols : public ::testing::TestWithParam<Distinct> {};

TEST_P(DistinctSymbols, LookDifferent)
{
    const auto& members = GetParam().members;
    std::vector<QImage> images;
    for (const Symbol& s : members)
        images.push_back(render(s, 1.0));
    for (std::size_t a = 0; a < images.size(); ++a)
        for (std::size_t b = a + 1; b < images.size(); ++b)
            EXPECT_NE(images[a], images[b]) << members[a].name << " and " << members[b].name;
}

INSTANTIATE_TEST_SUITE_P(Groups, DistinctSymbols, ::testing::ValuesIn(distinctGroups()),
                         [](const auto& c) { return testName(c.param.what); });

TEST(SymbolWireless, ClampsOutOfRangeValues)
{
    const auto same = [](const Symbol& a, const Symbol& b) { return render(a, 1.0) == render(b, 1.0); };
    EXPECT_TRUE(same(wireless(3, 2, 140), wireless(3, 2, 100)));
    EXPECT_TRUE(same(wireless(3, 2, -20), wireless(3, 2, 0)));
    EXPECT_TRUE(same(wireless(9, 3, std::nullopt), wireless(4, 3, std::nullopt)));
    EXPECT_TRUE(same(wireless(-1, 3, std::nullopt), wireless(0, 3, std::nullopt)));
}

TEST(SymbolIcon, HasItsSizesAndTurnsGreyWhenNotUsable)
{
    const QIcon usable = sym::programIcon(true);
    const QIcon grey = sym::programIcon(false);
    for (const QIcon* icon : {&usable, &grey}) {
        const QList<QSize> sizes = icon->availableSizes();
        for (int side : {16, 24, 32, 48, 64, 256})
            EXPECT_TRUE(sizes.contains(QSize(side, side))) << side;
    }
    for (int side : {16, 256}) {
        const QImage colour =
            usable.pixmap(QSize(side, side)).toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage dull = grey.pixmap(QSize(side, side)).toImage().convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(colour.size(), QSize(side, side));
        EXPECT_GT(coverage(colour), 0.3) << side;
        bool hasColour = false;
        bool allGrey = true;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const QRgb c = colour.pixel(x, y);
                const QRgb d = dull.pixel(x, y);
                if (qAlpha(c) > 128 && qRed(c) - qBlue(c) > 60)
                    hasColour = true;
                if (qAlpha(d) > 0 && (qRed(d) != qGreen(d) || qGreen(d) != qBlue(d)))
                    allGrey = false;
            }
        // The orange accent is what the grey icon loses.
        EXPECT_TRUE(hasColour) << side;
        EXPECT_TRUE(allGrey) << side;
    }
}

// Previews to look at, on the picture area's white.
TEST(SymbolPreviews, Write)
{
    const QDir dir(QStringLiteral(CVK_PICTURE_PREVIEW_DIR "/symbols"));
    ASSERT_TRUE(dir.mkpath(QStringLiteral(".")));
    for (const Symbol& s : allSymbols()) {
        for (qreal ratio : {1.0, 2.0}) {
            QImage image((s.size * ratio).toSize(), QImage::Format_ARGB32);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::white);
            QPainter painter(&image);
            s.draw(painter, QRectF(QPointF(0, 0), s.size));
            painter.end();
            const QString name =
                QString::fromStdString(s.name) + (ratio > 1 ? QStringLiteral("@2x") : QString());
            EXPECT_TRUE(image.save(dir.filePath(name + QStringLiteral(".png"))));
        }
    }
    for (bool usable : {true, false}) {
        const QIcon icon = sym::programIcon(usable);
        for (int side : {16, 24, 32, 48, 64, 256})
            EXPECT_TRUE(
                icon.pixmap(QSize(side, side))
                    .save(dir.filePath(QStringLiteral("icon-%1-%2.png")
                                           .arg(usable ? QStringLiteral("usable") : QStringLiteral("grey"))
                                           .arg(side))));
    }
}

}  // namespace
