#pragma once
// The pointer-settings panel below the device picture: four slider rows
// (cursor speed, scroll acceleration, scroll speed, polling interval), the
// two sensitivity spots and the Brill pad switch. Everything here is the
// arithmetic and the values; device/live_edits.h stores and sends them, the
// window draws and hit-tests.
//
// Scroll-speed scales (row 2, block position 61), chosen by position 16:
//   16 ("Enhanced"): the byte itself, 0..255 with 128 at the centre, both
//                    for the knob and for a drop (the same scale as rows 1
//                    and 3, which fits the symmetric "-120".."+120" labels
//                    and the Enhanced factory value 38).
//   0:               a drop stores the byte itself, the knob shows it × 8.
//   anything else ("Low", 32): eighths, a drop stores 0..32 (d × 32 ÷ 255,
//                    at most 119), the knob shows the byte × 8.

#include <cstdint>
#include <optional>

#include "config/thresholds.h"

namespace cvk {

struct ConfigModel;

inline constexpr int kSliderRows = 4;
inline constexpr int kRowCursorSpeed = 0;
inline constexpr int kRowScrollAcceleration = 1;
inline constexpr int kRowScrollSpeed = 2;
inline constexpr int kRowPollingInterval = 3;

// Client-x geometry of the tracks.
inline constexpr int kTrackLeft = 531;
inline constexpr int kTrackHalf = 66;                         // rows 1..3: 132 pixels
inline constexpr int kTrackCentre = kTrackLeft + kTrackHalf;  // 597
inline constexpr int kSpeedTrackWidth = 130;                  // row 0: six steps

inline constexpr int kCursorSpeedMin = 5;
inline constexpr int kCursorSpeedMax = 11;

// What the panel needs to know about what is attached.
struct PanelDevice {
    uint32_t firmwareVersion = 0;
    // One device, or the receiver (see DeviceState::singleDevice).
    bool singleDevice = false;
    // The model has the rows beyond cursor speed.
    bool scrollRows = false;
};

struct SliderRowInfo {
    int position;       // block position the row stores
    const char* title;  // built-in English title
    int titleTextId;    // language-table id of the title, -1 when not translated
};

// Row 0..3; rows outside that range give row 0.
const SliderRowInfo& sliderRow(int row);

// Labels under a track; null where the row has none.
struct SliderLabels {
    const char* left = nullptr;
    const char* middle = nullptr;
    const char* right = nullptr;
};
SliderLabels sliderLabels(int row, const ConfigModel& model);

// Whether the row is drawn. settingsViewOpen is the state of the settings
// view check button (control 3); it only matters for rows 1..3.
bool rowVisible(int row, const PanelDevice& device, bool settingsViewOpen);

// Client x of the knob centre for the stored value.
int knobX(int row, const ConfigModel& model);

// What a drop at client x stores (rows 1..3: the byte; row 0: the speed
// 5..11 before the command family's 10 → 11). Changes nothing.
int dropValue(int row, const ConfigModel& model, int x);

// What releasing the knob of `row` at client x stores: rows 1..3 the byte
// at position 59 + row, row 0 the cursor speed (10 sent as 11 where the
// device cannot take it) together with the live speed command, but only
// when the speed differs from position 19. Nothing for rows outside 0..3.
struct KnobDrop {
    int position;
    uint8_t value;
    bool speedCommand;  // the value also goes out as the live cursor speed
};
std::optional<KnobDrop> knobDrop(int row, const ConfigModel& model, int x, bool noSpeedTen);

// Whether the picture has the decrease/increase spots: exactly where the
// cursor-speed row is drawn (kPointerSettingsFirmware or newer, one device
// or the receiver).
bool hasSensitivitySpots(const PanelDevice& device);

// The speed a decrease/increase spot stores: position 19 one step towards
// 5 or 11; none when it is already there.
std::optional<uint8_t> spotSpeed(const ConfigModel& model, bool increase);

// The Brill pad switch at position 59 after a click: 0 becomes 255,
// anything else 0.
uint8_t toggledBrillSwitch(const ConfigModel& model);

}  // namespace cvk
