// The picture area's rules: which item a pointer position hits in the
// colour-keyed hit map, where and in which colour the button labels go, and
// what the status band says about the hovered item.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/picture_area.h"
#include "config/config_model.h"
#include "device/device_state.h"

namespace cvk {
namespace {

constexpr int kBottom = 400;                    // B
constexpr int kTop = kBottom - kPictureOffset;  // picture row 0
constexpr Rgb kShade{90, 90, 90};               // a shaded Dorrin button
constexpr Rgb kBlack{0, 0, 0};

DeviceState single(int model, int count = 1)
{
    DeviceState d;
    d.modelCode = model;
    d.deviceCount = count;
    d.firmwareVersion = 0x400;
    return d;
}

// A hit map of one colour, with the given colours at single points.
ColourAtFn hitMap(Rgb everywhere, std::map<std::pair<int, int>, Rgb> points = {})
{
    return [=](int x, int y) {
        const auto it = points.find({x, y});
        return it != points.end() ? it->second : everywhere;
    };
}

// ---------------------------------------------------------------- hit test

struct ColourCase {
    const char* name;
    int model;
    Rgb pixel;
    std::map<std::pair<int, int>, Rgb> samples;
    int item;
};

TEST(PictureAreaHit, TranslatesHitMapColoursPerTable)
{
    const std::map<std::pair<int, int>, Rgb> shaded{{{188, 55}, kShade}};
    const std::vector<ColourCase> cases{
        {"Arvel black is the web site", kModelArvel, kBlack, {}, kItemWebSite},
        {"no device black is the web site", kModelNone, kBlack, {}, kItemWebSite},
        {"Dorrin black is nothing", kModelDorrin, kBlack, {}, kItemNone},
        {"Cindel black is nothing", kModelCindel, kBlack, {}, kItemNone},
        {"Arvel dark red is button 6", kModelArvel, {128, 0, 0}, {}, 6},
        {"Arvel green is button 2", kModelArvel, {0, 255, 0}, {}, 2},
        {"Essom blue is button 5", kModelEssom, {0, 0, 255}, {}, 5},
        {"Arvel purple is button 9", kModelArvel, {128, 0, 128}, {}, 9},
        {"Dorrin dark red is button 2", kModelDorrin, {128, 0, 0}, {}, 2},
        {"Dorrin blue is button 9", kModelDorrin, {0, 0, 255}, {}, 9},
        {"Dorrin cyan is the pad", kModelDorrin, {0, 255, 255}, {}, 0},
        {"Brill dark green is button 3", kModelBrill, {0, 128, 0}, {}, 3},
        {"Arvel 2.0 yellow is button 6", kModelArvel2, {255, 255, 0}, {}, 6},
        {"white is nothing", kModelArvel, {255, 255, 255}, {}, kItemNone},
        {"Dorrin colour at (188, 55) is button 2", kModelDorrin, kShade, shaded, 2},
        {"Dorrin colour at (195, 94) is button 3", kModelDorrin, kShade, {{{195, 94}, kShade}}, 3},
        {"Dorrin colour at (363, 94) is button 7", kModelDorrin, kShade, {{{363, 94}, kShade}}, 7},
        {"Dorrin colour at (370, 59) is button 8", kModelDorrin, kShade, {{{370, 59}, kShade}}, 8},
        {"Arvel 2.0 samples like the Dorrin", kModelArvel2, kShade, shaded, 2},
        {"Cindel has no sample points", kModelCindel, kShade, shaded, kItemNone},
        {"Arvel has no sample points", kModelArvel, kShade, shaded, kItemNone},
        // A map with background at a sample point: the background stays nothing.
        {"Arvel 2.0 white at its sample points is nothing", kModelArvel2, {255, 255, 255}, {}, kItemNone},
        {"Dorrin white is nothing", kModelDorrin, {255, 255, 255}, {}, kItemNone},
        // Button 1's exact colour is tested before button 2's sample.
        {"exact colour of an earlier button first", kModelDorrin, {255, 0, 0}, {{{188, 55}, {255, 0, 0}}}, 1},
    };
    for (const ColourCase& c : cases) {
        SCOPED_TRACE(c.name);
        // Hit at (300, kTop + 110); the map is read at (300, 110).
        const Rgb pixel = c.pixel;
        const std::map<std::pair<int, int>, Rgb>& points = c.samples;
        const ColourAtFn map = [&](int x, int y) {
            const auto it = points.find({x, y});
            if (it != points.end())
                return it->second;
            return (x == 300 && y == 110) ? pixel : Rgb{255, 255, 255};
        };
        const HitFacts facts = hitFacts(single(c.model), false, {}, kBottom);
        EXPECT_EQ(hitTest(facts, 300, kTop + 110, map), c.item);
    }
}

TEST(PictureAreaHit, GuardsBeforeTheColours)
{
    const ColourAtFn red = hitMap({255, 0, 0});
    struct Case {
        const char* name;
        DeviceState device;
        int y;
        int item;
    };
    const std::vector<Case> cases{
        {"first picture row", single(kModelArvel), kTop + 1, 1},
        {"the picture's top edge is no button", single(kModelArvel), kTop, kItemNone},
        {"above the picture", single(kModelDorrin), kTop - 50, kItemNone},
        {"two devices hit nothing", single(kModelArvel, 2), kTop + 1, kItemNone},
        {"no device hits nothing", single(kModelArvel, 0), kTop + 1, kItemNone},
        {"a too-new device leaves the web site", single(kModelArvel, 1000), kTop + 1, kItemWebSite},
        {"too-new device beside another", single(kModelArvel, 1001), kTop - 50, kItemWebSite},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hitTest(hitFacts(c.device, false, {}, kBottom), 300, c.y, red), c.item);
    }
}

TEST(PictureAreaHit, PointerSettingControls)
{
    // Row r, control k: 30 × 20 at (500 + 30k, kTop + 20 + 20r), over a
    // red (button 1) hit map.
    PointerRects rects{};
    for (int r = 0; r < 4; ++r)
        for (int k = 0; k < 3; ++k)
            rects[static_cast<size_t>(3 * r + k)] = {500 + 30 * k, kTop + 20 + 20 * r, 530 + 30 * k,
                                                     kTop + 40 + 20 * r};
    struct Case {
        const char* name;
        bool open;
        uint32_t firmware;
        int count;
        int row;
        int control;
        int item;
    };
    const std::vector<Case> cases{
        {"row 0 with the view closed", false, 0x31A, 1, 0, 1, 2001},
        {"row 0 first control", false, 0x31A, 1, 0, 0, 2000},
        {"row 2 only while the view is open", false, 0x31A, 1, 2, 0, 1},
        {"row 2 with the view open", true, 0x31A, 1, 2, 0, 2020},
        {"row 3 last control", true, 0x400, 1, 3, 2, 2032},
        {"older firmware falls through to the map", false, 0x319, 1, 0, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DeviceState d = single(kModelCindel, c.count);
        d.firmwareVersion = c.firmware;
        const Rect& r = rects[static_cast<size_t>(3 * c.row + c.control)];
        EXPECT_EQ(hitTest(hitFacts(d, c.open, rects, kBottom), r.left, r.top, hitMap({255, 0, 0})), c.item);
    }
    // Right and bottom edges are outside.
    const HitFacts facts = hitFacts(single(kModelCindel), false, rects, kBottom);
    EXPECT_EQ(hitTest(facts, 529, kTop + 39, hitMap(kBlack)), 2000);
    EXPECT_EQ(hitTest(facts, 590, kTop + 39, hitMap(kBlack)), kItemNone);
    // A control is live only with a device connected.
    HitFacts unplugged = facts;
    unplugged.deviceConnected = false;
    EXPECT_EQ(hitTest(unplugged, 500, kTop + 20, hitMap({255, 0, 0})), 1);
}

TEST(PictureAreaHit, HoverFollowsTheHitUnlessATransferRuns)
{
    struct Case {
        int hovered;
        int hit;
        HoverChange change;
    };
    const std::vector<Case> cases{
        {kItemNone, 4, {4, true}},
        {4, 4, {4, false}},
        {4, kItemNone, {kItemNone, true}},
        {kItemTransferRunning, 4, {kItemTransferRunning, false}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hoverAfterHit(c.hovered, c.hit), c.change) << c.hovered << " -> " << c.hit;
}

// ---------------------------------------------------------------- labels

TEST(PictureAreaLabels, RectanglesAndAlignments)
{
    using enum LabelAlign;
    struct Case {
        LabelTable table;
        int button;
        Rect rect;
        LabelAlign align;
    };
    const std::vector<Case> cases{
        {LabelTable::Arvel, 0, {195, 30, 305, 90}, MiddleLeft},
        {LabelTable::Arvel, 2, {0, 195, 190, 210}, Right},
        {LabelTable::Arvel, 3, {101, 180, 401, 195}, Centre},
        {LabelTable::Arvel, 5, {319, -20, 600, 11}, BottomLeft},
        {LabelTable::Essom, 1, {0, -20, 182, 5}, BottomRight},
        {LabelTable::Essom, 3, {}, Centre},
        {LabelTable::Essom, 4, {287, 175, 600, 195}, Left},
        {LabelTable::Dorrin, 3, {0, 86, 182, 111}, BottomRight},
        {LabelTable::Dorrin, 6, {313, 195, 600, 210}, Left},
        {LabelTable::Dorrin, 9, {378, 0, 600, 30}, BottomLeft},
        {LabelTable::Wireless, 2, {173, -25, 310, -5}, BottomLeft},
        {LabelTable::Wireless, 3, {-100, -100, 0, 0}, BottomRight},
        {LabelTable::Wireless, 6, {156, 200, 357, 215}, Centre},
        {LabelTable::Wireless, 7, {309, 185, 609, 200}, Left},
        {LabelTable::Wireless, 8, {180, -10, 340, 10}, BottomRight},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.table) << " button " << c.button);
        EXPECT_EQ(labelRect(c.table, c.button), c.rect);
        EXPECT_EQ(labelAlign(c.table, c.button), c.align);
    }
}

std::vector<int> labelledButtons(const std::vector<PictureLabel>& labels)
{
    std::vector<int> buttons;
    for (const PictureLabel& l : labels)
        buttons.push_back(l.button);
    return buttons;
}

TEST(PictureAreaLabels, WhichButtonsGetALabel)
{
    struct Case {
        const char* name;
        DeviceState device;
        int hovered;
        int fade;
        std::vector<int> buttons;
    };
    const std::vector<Case> cases{
        {"Arvel", single(kModelArvel), kItemNone, 100, {0, 1, 2, 3, 4, 5}},
        {"Essom without button 3", single(kModelEssom), kItemNone, 100, {0, 1, 2, 4, 5}},
        {"Dorrin", single(kModelDorrin), kItemNone, 100, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"hovered label left out", single(kModelDorrin), 4, 100, {0, 1, 2, 3, 5, 6, 7, 8, 9}},
        {"Arvel 2.0 without 2 and 8", single(kModelArvel2), kItemNone, 100, {0, 1, 3, 4, 5, 6, 7, 9}},
        {"Arvel 2.0 unplugged", single(kModelArvel2, 0), kItemNone, 100, {0, 1, 3, 4, 5, 6, 7, 9}},
        {"fade 1 shows none", single(kModelArvel), kItemNone, 1, {}},
        {"fade 2 shows them", single(kModelArvel), kItemNone, 2, {0, 1, 2, 3, 4, 5}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(labelledButtons(pictureLabels(c.device, kBottom, c.hovered, c.fade)), c.buttons);
    }
}

TEST(PictureAreaLabels, PlacedBelowThePictureTop)
{
    const auto labelOf = [](int model, int button) {
        for (const PictureLabel& l : pictureLabels(single(model), kBottom, kItemNone, 100))
            if (l.button == button)
                return l;
        PictureLabel none;
        none.button = -1;
        return none;
    };
    EXPECT_EQ(labelOf(kModelCindel, 9).rect, (Rect{340, kTop - 25, 540, kTop - 5}));
    // The Arvel 2.0's label 9 sits 15 pixels lower than the shared table says.
    EXPECT_EQ(labelOf(kModelArvel2, 9).rect, (Rect{340, kTop - 10, 540, kTop + 10}));
    EXPECT_EQ(labelOf(kModelArvel2, 7).rect, (Rect{309, kTop + 185, 609, kTop + 200}));
    EXPECT_EQ(labelOf(kModelArvel, 4).rect, (Rect{313, kTop + 195, 600, kTop + 210}));
    EXPECT_EQ(labelOf(kModelEssom, 0).align, LabelAlign::MiddleLeft);
}

TEST(PictureAreaLabels, ColoursFollowTheFadeLevel)
{
    struct Case {
        LabelTable table;
        int button;
        int fade;
        Rgb colour;
    };
    const std::vector<Case> cases{
        {LabelTable::Arvel, 0, 0, {0, 0, 0}},          {LabelTable::Dorrin, 0, 50, {95, 95, 0}},
        {LabelTable::Wireless, 0, 100, {190, 190, 0}}, {LabelTable::Dorrin, 4, 0, {160, 150, 140}},
        {LabelTable::Dorrin, 4, 50, {110, 100, 90}},   {LabelTable::Wireless, 9, 100, {60, 50, 40}},
        {LabelTable::Arvel, 2, 0, {255, 255, 255}},    {LabelTable::Arvel, 2, 50, {160, 160, 255}},
        {LabelTable::Essom, 5, 100, {65, 65, 255}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(labelColour(c.table, c.button, c.fade), c.colour)
            << static_cast<int>(c.table) << " button " << c.button << " fade " << c.fade;
}

// ---------------------------------------------------------------- status band

// An interface that is never spoken to: it only makes the receiver present.
class InertNode : public IHidDevice {
public:
    const HidInterfaceInfo& info() const override { return info_; }
    bool setFeature(std::span<const uint8_t>) override { return false; }
    bool getFeature(std::span<uint8_t>) override { return false; }
    std::optional<std::vector<uint8_t>> indexedString(int, std::size_t) override { return std::nullopt; }
    int write(std::span<const uint8_t>, int) override { return -1; }
    int read(std::span<uint8_t>, int) override { return -1; }

private:
    HidInterfaceInfo info_{};
};

TEST(PictureAreaStatus, BandByHoveredItem)
{
    DeviceState receiverOnly = single(kModelCindel, 0);
    receiverOnly.receiverStatus = std::make_shared<InertNode>();
    DeviceState denied = single(kModelNone, 0);
    denied.deniedPaths = {"/dev/hidraw3"};
    const StatusLine heading41{"The current function is:", std::nullopt, true};
    const StatusLine autoScroll{"Auto Scroll /\u201DMiddle Button\u201D", std::nullopt};
    struct Case {
        const char* name;
        DeviceState device;
        int hovered;
        uint8_t code;  // of the hovered button
        std::vector<StatusLine> lines;
        StatusSymbol symbol;
    };
    using enum StatusSymbol;
    const std::vector<Case> cases{
        {"web site",
         single(kModelArvel),
         kItemWebSite,
         0,
         {{"Click here to visit the Corvane web site.", std::nullopt}},
         None},
        {"sensitivity spot", single(kModelCindel), 2001, 0, {{"Decrease Sensitivity", std::nullopt}}, Plain},
        // Attached but not to be opened: the fix instead of "no device".
        {"permission denied",
         denied,
         kItemNone,
         0,
         {{kPermissionDenied, kStatusRed, true}, {kPermissionFix, std::nullopt}},
         None},
        {"incompatible device",
         single(kModelArvel, 1000),
         kItemNone,
         0,
         {{"COMATIBILITY ISSUE", std::nullopt, true},
          {"Please dowload and install the latest version of CV Keys.", kStatusBlue},
          {kMakerWebAddress, kStatusRed, false, true, kAddressGap}},
         None},
        {"nothing hovered",
         single(kModelDorrin),
         kItemNone,
         0,
         {{"Click on a button to change its function.", std::nullopt}},
         None},
        {"nothing hovered, no model",
         single(kModelNone),
         kItemNone,
         0,
         {{"Click on a button to change its function.", kStatusRed}},
         None},
        {"receiver only",
         receiverOnly,
         kItemNone,
         0,
         {{"Connect the USB cable to change the function of a button.", std::nullopt}},
         None},
        {"transfer running",
         single(kModelDorrin),
         kItemTransferRunning,
         0,
         {{"Update In Progress ...", std::nullopt}},
         Plain},
        {"button with a function", single(kModelDorrin), 1, kFnAutoScroll, {heading41, autoScroll}, Plain},
        {"disabled button has no heading",
         single(kModelEssom),
         3,
         kFnDisabled,
         {{"The Button is Disabled.", kDisabledButtonFive}},
         Plain},
        {"keyboard shortcut symbol",
         single(kModelArvel),
         2,
         kFnKeyboard,
         {heading41, {"Copy\tCtrl+C", std::nullopt}},
         Special},
        {"on/off switch symbol",
         single(kModelDorrin),
         3,
         kFnDisabled,
         {{"On / Off", kDisabledButtonNine}},
         PadSwitch},
        {"two devices",
         single(kModelArvel, 2),
         kItemNone,
         0,
         {{"Multiple reprogrammable Corvane detected.", kStatusRed}},
         None},
        {"no device",
         single(kModelArvel, 0),
         kItemNone,
         0,
         {{"No reprogrammable Corvane detected.", kStatusRed}},
         None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigModel model;
        if (c.hovered >= 0 && c.hovered <= 9) {
            model.block[static_cast<size_t>(c.hovered)] = c.code;
            // Ctrl+C for the keyboard-shortcut case, at the five-button key words.
            model.block[5 + 2] = 0x06;
            model.block[10 + 2] = 0x01;
        }
        const StatusBand band = statusBand(c.device, model, c.hovered, 100, nullptr);
        EXPECT_EQ(band.lines, c.lines);
        EXPECT_EQ(band.symbol, c.symbol);
    }
}

}  // namespace
}  // namespace cvk
