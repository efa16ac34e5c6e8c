#include "app/picture_area.h"

#include "config/config_model.h"
#include "config/pointer_settings.h"
#include "config/thresholds.h"
#include "device/device_state.h"
#include "device/model_views.h"
#include "device/models.h"
#include "texts/text_ids.h"
#include "texts/texts.h"

namespace cvk {

namespace {

// Status texts the window alone shows.
constexpr int kTxtVisitWebSite = 35;
constexpr int kTxtSensitivityTitle = 36;
constexpr int kTxtDecreaseSensitivity = 37;
constexpr int kTxtIncreaseSensitivity = 38;
constexpr int kTxtCurrentFunction = 41;

// The Arvel 2.0's picture has its button 9 lower than the shared table says.
constexpr int kArvel2LabelNineDrop = 15;

constexpr int kButtons = 10;
using LabelRects = std::array<Rect, kButtons>;

constexpr LabelRects kArvelRects{{
    {195, 30, 305, 90},
    {0, -10, 182, 11},
    {0, 195, 190, 210},
    {101, 180, 401, 195},
    {313, 195, 600, 210},
    {319, -20, 600, 11},
}};
constexpr LabelRects kEssomRects{{
    {201, 12, 306, 90},
    {0, -20, 182, 5},
    {0, 175, 215, 195},
    {},  // button 3 is not on the picture
    {287, 175, 600, 195},
    {319, -20, 600, 5},
}};
constexpr LabelRects kDorrinRects{{
    {209, 13, 352, 106},
    {0, 0, 182, 30},
    {0, 50, 172, 77},
    {0, 86, 182, 111},
    {0, 195, 238, 210},
    {130, 180, 430, 195},
    {313, 195, 600, 210},
    {378, 86, 600, 111},
    {388, 50, 600, 77},
    {378, 0, 600, 30},
}};
constexpr LabelRects kWirelessRects{{
    {200, 24, 318, 98},
    {0, -10, 173, 10},
    {173, -25, 310, -5},
    {-100, -100, 0, 0},  // the pad switch: placed off the picture
    {0, 185, 200, 200},
    {156, 170, 357, 185},
    {156, 200, 357, 215},
    {309, 185, 609, 200},
    {180, -10, 340, 10},
    {340, -25, 540, -5},
}};

using enum LabelAlign;
using Aligns = std::array<LabelAlign, kButtons>;
// Button 0 is always at the middle left.
constexpr Aligns kUpToSixAligns{MiddleLeft, BottomRight, Right,       Centre,     Left,
                                BottomLeft, BottomRight, BottomRight, BottomLeft, BottomLeft};
constexpr Aligns kAboveSixAligns{MiddleLeft, BottomRight, BottomRight, BottomRight, Right,
                                 Centre,     Left,        BottomLeft,  BottomLeft,  BottomLeft};
// Button 3's label lies off the picture; its alignment does not show.
constexpr Aligns kWirelessAligns{MiddleLeft, BottomRight, BottomLeft, BottomRight, Right,
                                 Centre,     Centre,      Left,       BottomRight, BottomLeft};

bool validButton(int button) { return button >= 0 && button < kButtons; }

// The hit map's colours in button order; the same list serves the wireless
// family, the Brill and the command-family models.
constexpr std::array<Rgb, kButtons> kButtonColours{{
    {0, 255, 255},
    {255, 0, 0},
    {128, 0, 0},
    {0, 128, 0},
    {0, 255, 0},
    {255, 0, 255},
    {255, 255, 0},
    {128, 0, 128},
    {128, 128, 0},
    {0, 0, 255},
}};

// The older pictures number their colours differently and mark the web-site
// link in black.
struct ColourItem {
    Rgb colour;
    int item;
};
constexpr std::array<ColourItem, 11> kUpToSixColours{{
    {{0, 255, 255}, 0},
    {{255, 0, 0}, 1},
    {{128, 0, 0}, 6},
    {{0, 128, 0}, 7},
    {{0, 255, 0}, 2},
    {{255, 0, 255}, 3},
    {{255, 255, 0}, 4},
    {{128, 0, 128}, 9},
    {{128, 128, 0}, 8},
    {{0, 0, 255}, 5},
    {{0, 0, 0}, kItemWebSite},
}};

// On the Dorrin's picture some buttons are shaded; a pixel also counts when
// it has the colour found at the button's sample point.
struct SamplePoint {
    int button;
    int x;
    int y;
};
constexpr Rgb kBackground{255, 255, 255};
constexpr std::array<SamplePoint, 4> kDorrinSamples{{{2, 188, 55}, {3, 195, 94}, {7, 363, 94}, {8, 370, 59}}};

int itemOfColour(HitTable table, Rgb c, const ColourAtFn& colourAt)
{
    if (table == HitTable::Register) {
        for (const ColourItem& entry : kUpToSixColours)
            if (entry.colour == c)
                return entry.item;
        return kItemNone;
    }
    for (int button = 0; button < kButtons; ++button) {
        if (kButtonColours[button] == c)
            return button;
        if (table != HitTable::Command)
            continue;
        // A sample point that falls on the background would make the whole
        // background that button (the Arvel 2.0's picture has none there).
        for (const SamplePoint& p : kDorrinSamples)
            if (p.button == button && c != kBackground && colourAt(p.x, p.y) == c)
                return button;
    }
    return kItemNone;
}

bool isButton(int item) { return validButton(item); }

StatusSymbol symbolFor(const DeviceState& device, const ConfigModel& model, int hovered)
{
    if (hovered < 0 || hovered == kItemWebSite)
        return StatusSymbol::None;
    if (!isButton(hovered))
        return StatusSymbol::Plain;
    if (hovered == kOnOffButton && device.commandFamily())
        return StatusSymbol::PadSwitch;
    const uint8_t code = model.block[static_cast<size_t>(hovered)];
    if (code == kFnMultimedia || code == kFnSignature || code == kFnKeyboard)
        return StatusSymbol::Special;
    return StatusSymbol::Plain;
}

std::vector<StatusLine> statusLines(const DeviceState& device, const ConfigModel& model, int hovered,
                                    int fadeLevel, const KeyTextFn& keyText)
{
    if (hovered == kItemWebSite)
        return {{text(kTxtVisitWebSite), std::nullopt}};
    if (hovered >= kItemPointerSettingFirst && hovered <= kItemPointerSettingFirst + 2) {
        static constexpr std::array<int, 3> kIds{kTxtSensitivityTitle, kTxtDecreaseSensitivity,
                                                 kTxtIncreaseSensitivity};
        return {{text(kIds[static_cast<size_t>(hovered - kItemPointerSettingFirst)]), std::nullopt}};
    }
    if (device.deviceCount > 100)
        return {{text(kTxtCompatibilityIssue), std::nullopt, true},
                {text(kTxtNeedsNewerProgram), kStatusBlue},
                {kMakerWebAddress, kStatusRed, false, true, kAddressGap}};
    if (device.deviceCount <= 0 && !device.receiverPresent() && !device.deniedPaths.empty())
        return {{kPermissionDenied, kStatusRed, true}, {kPermissionFix, std::nullopt}};
    if (!device.singleDevice() || device.deviceCount > 1) {
        const int id = device.deviceCount > 1 ? kTxtSeveralDevices : kTxtNoDevice;
        return {{text(id), kStatusRed}};
    }
    if (hovered < 0) {
        const std::optional<Rgb> colour =
            device.modelCode == kModelNone ? std::optional<Rgb>(kStatusRed) : std::nullopt;
        return {{text(device.deviceCount == 1 ? kTxtClickToChange : kTxtConnectCable), colour}};
    }
    if (hovered == kItemTransferRunning)
        return {{text(kTxtUpdateInProgress), std::nullopt}};
    if (!isButton(hovered))
        return {};
    std::vector<StatusLine> lines;
    if (hovered >= 1 && model.block[static_cast<size_t>(hovered)] != kFnDisabled)
        lines.push_back({text(kTxtCurrentFunction), std::nullopt, true});
    Description d =
        describe(describeContext(device, model, fadeLevel), hovered, DescriptionForm::Hover, keyText);
    lines.push_back({std::move(d.text), d.colour});
    return lines;
}

}  // namespace

Rect labelRect(LabelTable table, int button)
{
    if (!validButton(button))
        return {};
    const auto b = static_cast<size_t>(button);
    switch (table) {
    case LabelTable::Arvel: return kArvelRects[b];
    case LabelTable::Essom: return kEssomRects[b];
    case LabelTable::Dorrin: return kDorrinRects[b];
    case LabelTable::Wireless: return kWirelessRects[b];
    }
    return {};
}

LabelAlign labelAlign(LabelTable table, int button)
{
    if (!validButton(button))
        return MiddleLeft;
    const auto b = static_cast<size_t>(button);
    switch (table) {
    case LabelTable::Arvel:
    case LabelTable::Essom: return kUpToSixAligns[b];
    case LabelTable::Dorrin: return kAboveSixAligns[b];
    case LabelTable::Wireless: return kWirelessAligns[b];
    }
    return MiddleLeft;
}

Rgb labelColour(LabelTable table, int button, int fadeLevel)
{
    const auto e = static_cast<uint8_t>(fadeLevel * 190 / 100);
    if (button == 0)
        return {e, e, 0};
    // The newer pictures are light: their labels darken as they fade in.
    if (table == LabelTable::Dorrin || table == LabelTable::Wireless)
        return {static_cast<uint8_t>(160 - fadeLevel), static_cast<uint8_t>(150 - fadeLevel),
                static_cast<uint8_t>(140 - fadeLevel)};
    return {static_cast<uint8_t>(255 - e), static_cast<uint8_t>(255 - e), 255};
}

std::vector<PictureLabel> pictureLabels(const DeviceState& device, int pictureBottom, int hovered,
                                        int fadeLevel)
{
    std::vector<PictureLabel> labels;
    if (!labelsShown(fadeLevel))
        return labels;
    const LabelTable table = labelTableFor(device);
    const bool arvel2 = device.modelCode == kModelArvel2;
    const int last = table == LabelTable::Arvel ? 5 : 9;
    for (int j = 0; j <= last; ++j) {
        // The Arvel 2.0's picture lacks buttons 2 and 8 whether or not it is
        // attached; the model table drops them only while it is.
        if (j == hovered || !buttonOnPicture(device, j) || (arvel2 && (j == 2 || j == 8)))
            continue;
        Rect r = labelRect(table, j);
        const int down = pictureBottom - kPictureOffset + (arvel2 && j == 9 ? kArvel2LabelNineDrop : 0);
        r.top += down;
        r.bottom += down;
        labels.push_back({j, r, labelAlign(table, j), labelColour(table, j, fadeLevel)});
    }
    return labels;
}

HitFacts hitFacts(const DeviceState& device, bool settingsViewOpen, const PointerRects& pointerRects,
                  int pictureBottom)
{
    HitFacts f;
    f.editingAllowed = device.singleDevice();
    f.deviceCount = device.deviceCount;
    f.table = hitTableFor(device);
    f.firmwareVersion = device.firmwareVersion;
    // The sensitivity spots are drawn for the receiver alone as well.
    f.deviceConnected = device.deviceCount > 0 || device.receiverPresent();
    f.settingsViewOpen = settingsViewOpen;
    f.pointerRects = pointerRects;
    f.pictureBottom = pictureBottom;
    return f;
}

int hitTest(const HitFacts& facts, int x, int y, const ColourAtFn& colourAt)
{
    // In the incompatibility state only the web-site link stays live.
    if (!facts.editingAllowed)
        return facts.deviceCount > 100 ? kItemWebSite : kItemNone;
    const bool controlsLive = facts.firmwareVersion >= kPointerSettingsFirmware && facts.deviceConnected;
    const int rows = facts.settingsViewOpen ? 4 : 1;
    for (int row = 0; row < rows; ++row)
        for (int k = 0; k < 3; ++k)
            if (controlsLive && facts.pointerRects[static_cast<size_t>(3 * row + k)].contains(x, y))
                return kItemPointerSettingFirst + 10 * row + k;
    // Above the picture's top edge lies no button.
    const int pictureY = y - (facts.pictureBottom - kPictureOffset);
    if (pictureY <= 0)
        return kItemNone;
    return itemOfColour(facts.table, colourAt(x, pictureY), colourAt);
}

HoverChange hoverAfterHit(int hovered, int hit)
{
    if (hovered == kItemTransferRunning || hit == hovered)
        return {hovered, false};
    return {hit, true};
}

StatusBand statusBand(const DeviceState& device, const ConfigModel& model, int hovered, int fadeLevel,
                      const KeyTextFn& keyText)
{
    return {statusLines(device, model, hovered, fadeLevel, keyText), symbolFor(device, model, hovered)};
}

std::optional<Rgb> hitColour(HitTable table, int button)
{
    if (!validButton(button))
        return std::nullopt;
    if (table != HitTable::Register)
        return kButtonColours[static_cast<size_t>(button)];
    for (const ColourItem& entry : kUpToSixColours)
        if (entry.item == button)
            return entry.colour;
    return std::nullopt;
}

namespace {

// Row 0 alone: the band's top right corner, clear of the labels above the
// picture. The open view: four rows of 64 pixels beside its picture.
constexpr int kClosedRowTop = 6;
constexpr int kOpenRowTop = 14;
constexpr int kOpenRowPitch = 64;
constexpr int kSpotWidth = 26;
constexpr int kKnobReach = 6;  // the knob's half width beyond the track's ends

}  // namespace

SliderGeometry sliderGeometry(int row, bool settingsViewOpen)
{
    SliderGeometry g;
    const bool speed = row == kRowCursorSpeed;
    const int trackRight = kTrackLeft + (speed ? kSpeedTrackWidth : 2 * kTrackHalf);
    int trackTop = 0;
    if (settingsViewOpen) {
        const int top = kOpenRowTop + kOpenRowPitch * row;
        g.title = {330, top, kTrackLeft - kSpotWidth - 12, top + 40};
        trackTop = top + 8;
    } else {
        g.title = {kBandRightColumn + 8, kClosedRowTop, 716, kClosedRowTop + 18};
        trackTop = kClosedRowTop + 20;
    }
    g.track = {kTrackLeft - kKnobReach, trackTop, trackRight + kKnobReach + 1, trackTop + 26};
    if (speed) {
        g.decrease = {g.track.left - kSpotWidth, trackTop, g.track.left, trackTop + 26};
        g.increase = {g.track.right, trackTop, g.track.right + kSpotWidth, trackTop + 26};
    }
    g.labels = {kTrackLeft - 30, trackTop + 26, trackRight + 30, trackTop + 42};
    g.knobY = trackTop + 13;
    return g;
}

PointerRects pointerRects(const DeviceState& device, bool settingsViewOpen)
{
    PointerRects rects{};
    for (int row = 0; row < kSliderRows; ++row) {
        if (!rowVisible(row, device, settingsViewOpen))
            continue;
        const SliderGeometry g = sliderGeometry(row, settingsViewOpen);
        rects[static_cast<size_t>(3 * row)] = g.track;
        rects[static_cast<size_t>(3 * row + 1)] = g.decrease;
        rects[static_cast<size_t>(3 * row + 2)] = g.increase;
    }
    return rects;
}

Rect settingsToggleRect(bool hot, int pictureBottom)
{
    const int size = hot ? kToggleHotSize : kToggleSize;
    return {kPictureAreaWidth - size, pictureBottom - size, kPictureAreaWidth, pictureBottom};
}

Rect wakeFrameRect(int pictureBottom)
{
    const int top = pictureBottom - 160;
    return {644, top, 644 + kWakeFrameWidth, top + kWakeFrameHeight};
}

Rect wakePromptTextRect(int pictureBottom) { return {50, 40, 500, pictureBottom + 40}; }

}  // namespace cvk
