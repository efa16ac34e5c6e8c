#pragma once
// The rules of the main window's picture area: where the label beside each
// device button goes and how it looks, which item a mouse position hits in
// the colour-keyed hit map, and what the status band says about the hovered
// item. The window draws them; tests check them without a window.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "config/descriptions.h"
#include "device/models.h"

namespace cvk {

struct ConfigModel;
struct DeviceState;

// The area spans the client width; the device picture's top left corner is
// at (0, B - kPictureOffset), B being the area's bottom.
inline constexpr int kPictureAreaWidth = 720;
inline constexpr int kPictureOffset = 210;
inline constexpr int kPictureWidth = 720;
inline constexpr int kPictureHeight = 180;
// Without a model the larger no-device picture sits higher.
inline constexpr int kNoModelPictureOffset = 250;
inline constexpr int kNoModelPictureHeight = 255;
// The status band's symbol, copied to (0, T + kSymbolTop).
inline constexpr int kSymbolWidth = 32;
inline constexpr int kSymbolHeight = 24;
inline constexpr int kSymbolTop = 15;

// Hovered and hit items besides the buttons 0..9.
inline constexpr int kItemNone = -1;
inline constexpr int kItemWebSite = 1000;
inline constexpr int kItemPointerSettingFirst = 2000;  // + 10 * row + control
inline constexpr int kItemTransferRunning = 3000;      // hovering is ignored

// Shown in the incompatibility state and opened by the web-site item.
inline constexpr const char* kMakerWebAddress = "https://www.corvane.example";

// Left, top, right, bottom; a point is inside from left/top up to but not
// including right/bottom.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
    bool operator==(const Rect&) const = default;
};

// ----- labels

// How the short function name sits in its rectangle, always on one line.
// Left, Centre and Right keep to the top edge.
enum class LabelAlign { MiddleLeft, Left, Centre, Right, BottomLeft, BottomRight };

// The tables are the model table's (labelTableFor, hitTableFor).

// Rectangle of `button` relative to (0, B - kPictureOffset); empty for the
// buttons the table has no place for.
Rect labelRect(LabelTable table, int button);
LabelAlign labelAlign(LabelTable table, int button);
// Colour at fade level 0..100.
Rgb labelColour(LabelTable table, int button, int fadeLevel);
// The labels fade in; at the lowest levels none are drawn.
inline bool labelsShown(int fadeLevel) { return fadeLevel > 1; }

struct PictureLabel {
    int button = 0;
    Rect rect;  // client coordinates
    LabelAlign align = LabelAlign::Left;
    Rgb colour;
    bool operator==(const PictureLabel&) const = default;
};
// The labels of the pass over the picture, in button order: none while
// labelsShown is false; the hovered button's label is left out.
std::vector<PictureLabel> pictureLabels(const DeviceState& device, int pictureBottom, int hovered,
                                        int fadeLevel);

// ----- hit test

// The pointer-setting rectangles in client coordinates: row r's controls at
// 3r, 3r + 1, 3r + 2.
using PointerRects = std::array<Rect, 12>;

// The hit map's colour at (x, y) of the picture's own coordinates.
using ColourAtFn = std::function<Rgb(int x, int y)>;

struct HitFacts {
    bool editingAllowed = false;  // DeviceState::singleDevice
    int deviceCount = 0;
    HitTable table = HitTable::Register;
    uint32_t firmwareVersion = 0;
    bool deviceConnected = false;
    bool settingsViewOpen = false;
    PointerRects pointerRects{};
    int pictureBottom = 0;  // B
};
HitFacts hitFacts(const DeviceState& device, bool settingsViewOpen, const PointerRects& pointerRects,
                  int pictureBottom);

// The item at client (x, y): kItemNone, a button 0..9, kItemWebSite or a
// pointer-setting control.
int hitTest(const HitFacts& facts, int x, int y, const ColourAtFn& colourAt);

// The hovered item after a hit test; redraw when it changed. A running
// transfer keeps its mark.
struct HoverChange {
    int hovered = kItemNone;
    bool redraw = false;
    bool operator==(const HoverChange&) const = default;
};
HoverChange hoverAfterHit(int hovered, int hit);

// The colour button `button` fills the hit map with, none where the table
// has none. The register family's pictures mark the maker's logo in
// kWebSiteColour, which hits the web-site item.
std::optional<Rgb> hitColour(HitTable table, int button);
inline constexpr Rgb kWebSiteColour{0, 0, 0};

// ----- panel and overlays (area coordinates: the area's top left is 0, 0
// and its bottom is B)

// Where slider row `row` is drawn and hit: with the settings view closed
// only row 0 shows, in the band's top right corner; the open view stacks
// all four beside its picture. The decrease and increase spots belong to
// row 0; the other rows have none (empty rectangles).
struct SliderGeometry {
    Rect title;
    Rect track;  // the whole knob travel, hit as the row's first control
    Rect decrease;
    Rect increase;
    Rect labels;  // under the track
    int knobY = 0;
};
SliderGeometry sliderGeometry(int row, bool settingsViewOpen);
// Hit rectangles of the rows drawn now; the others are empty.
PointerRects pointerRects(const DeviceState& device, bool settingsViewOpen);
// Text width the status band keeps clear of the cursor-speed row and the
// wireless status in the top right corner.
inline constexpr int kBandTextLeft = 40;
inline constexpr int kBandRightColumn = 490;

inline constexpr int kToggleSize = 32;
inline constexpr int kToggleHotSize = 64;
Rect settingsToggleRect(bool hot, int pictureBottom);
inline constexpr Rect kSettingsPictureRect{14, 7, 314, 307};

// The wake-up animation's frames and the prompt beside it.
inline constexpr int kWakeFrameWidth = 36;
inline constexpr int kWakeFrameHeight = 83;
Rect wakeFrameRect(int pictureBottom);
Rect wakePromptTextRect(int pictureBottom);
inline constexpr Rect kWakeHandRect{264, 120, 296, 152};
inline constexpr Rect kWakeArrowsRect{280, 136, 312, 168};
inline constexpr Rect kBusyPictureRect{100, 30, 356, 286};

// ----- status band

// What the picture area and `cvkeys-cli list` say when a device of the
// maker is attached but this user may not open it.
inline constexpr const char* kPermissionDenied =
    "A Corvane device is attached but this user may not open it. Install the udev rule:";
inline constexpr const char* kPermissionFix =
    "  cvkeys-cli udev-rule | sudo tee /etc/udev/rules.d/70-cvkeys.rules\n"
    "  sudo udevadm control --reload && sudo udevadm trigger\n"
    "then unplug the device and plug it in again.";

enum class StatusSymbol : int {
    None = 0,
    Plain = 161,
    Special = 160,    // multimedia, signature or keyboard shortcut
    PadSwitch = 191,  // button 3 of the command-family models
};

inline constexpr Rgb kStatusRed{255, 0, 0};
inline constexpr Rgb kStatusBlue{0, 0, 255};
// The maker's address stands this far below the line above it.
inline constexpr int kAddressGap = 50;

struct StatusLine {
    std::string text;
    std::optional<Rgb> colour;  // none: the band's text colour
    bool heading = false;
    bool centred = false;
    int gapAbove = 0;  // extra pixels above the line
    bool operator==(const StatusLine&) const = default;
};

struct StatusBand {
    std::vector<StatusLine> lines;
    StatusSymbol symbol = StatusSymbol::None;
};

StatusBand statusBand(const DeviceState& device, const ConfigModel& model, int hovered, int fadeLevel,
                      const KeyTextFn& keyText);

}  // namespace cvk
