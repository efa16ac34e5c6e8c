#include "config/pointer_settings.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "config/config_model.h"

namespace cvk {

namespace {

constexpr std::array<SliderRowInfo, kSliderRows> kRows{{
    {kPosCursorSpeed, "Resolution (Cursor speed)", 159},
    {kPosScrollAcceleration, "Scroll Acceleration", -1},
    {kPosScrollSpeed, "Scroll Speed (Mouse wheel speed)", -1},
    {kPosPollingInterval, "Polling Intervals", -1},
}};

constexpr uint8_t kPrecisionEnhanced = 16;
constexpr double kLowScale = 32.0 / 255.0;
constexpr int kLowScaleCap = 119;
constexpr int kLowKnobFactor = 8;

bool validRow(int row) { return row >= 0 && row < kSliderRows; }

// Any drop this far off the track already stores an end value; limiting x
// first keeps the track arithmetic inside int.
constexpr int kDropReach = 1 << 16;
int clampDropX(int x) { return std::clamp(x, kTrackLeft - kDropReach, kTrackLeft + kDropReach); }

int clampByte(double d)
{
    // Clamp before converting so far-off drops cannot overflow the cast.
    return static_cast<int>(std::clamp(d, 0.0, 255.0));
}

}  // namespace

const SliderRowInfo& sliderRow(int row) { return kRows[validRow(row) ? row : 0]; }

SliderLabels sliderLabels(int row, const ConfigModel& model)
{
    switch (row) {
    case kRowScrollAcceleration: return {"\u00BC\u00D7", "1\u00D7", "4\u00D7"};
    case kRowScrollSpeed:
        if (model.block[kPosEdgePrecision] == kPrecisionEnhanced)
            return {"-120", "0", "+120"};
        return {"100\u00D7", "1\u00D7", "\u00BC\u00D7"};
    case kRowPollingInterval: return {"1", nullptr, "16"};
    default: return {};
    }
}

bool rowVisible(int row, const PanelDevice& device, bool settingsViewOpen)
{
    if (!validRow(row) || device.firmwareVersion < kPointerSettingsFirmware || !device.singleDevice)
        return false;
    if (row == kRowCursorSpeed)
        return true;
    return settingsViewOpen && device.scrollRows;
}

int knobX(int row, const ConfigModel& model)
{
    if (row == kRowCursorSpeed) {
        const int steps =
            std::clamp<int>(model.block[kPosCursorSpeed], kCursorSpeedMin, kCursorSpeedMax) - kCursorSpeedMin;
        // Rounded to the nearest pixel, the inverse of the drop's rounding.
        return kTrackLeft + (steps * kSpeedTrackWidth * 2 + 6) / 12;
    }
    if (!validRow(row))
        return kTrackCentre;
    int v = model.block[sliderRow(row).position];
    if (row == kRowScrollSpeed && model.block[kPosEdgePrecision] != kPrecisionEnhanced)
        v *= kLowKnobFactor;
    const int offset = v < 255 ? (v - 128) * kTrackHalf / 128 : kTrackHalf;
    return kTrackCentre + std::clamp(offset, -kTrackHalf, kTrackHalf);
}

int dropValue(int row, const ConfigModel& model, int x)
{
    x = clampDropX(x);
    if (row == kRowCursorSpeed) {
        const double s = (x - kTrackLeft) * 6.0 / kSpeedTrackWidth + kCursorSpeedMin;
        double whole = std::floor(s);
        if (s - whole > 0.5)
            whole += 1.0;
        return static_cast<int>(std::clamp(whole, double{kCursorSpeedMin}, double{kCursorSpeedMax}));
    }
    double d = (x - kTrackCentre) * 128.0 / kTrackHalf + 128.0;
    const uint8_t precision = model.block[kPosEdgePrecision];
    // Enhanced keeps the whole byte (see the header); Low stores eighths.
    if (row == kRowScrollSpeed && precision != 0 && precision != kPrecisionEnhanced) {
        d = d * kLowScale;
        if (d >= kLowScaleCap + 1)
            d = kLowScaleCap;
    }
    return clampByte(d);
}

std::optional<KnobDrop> knobDrop(int row, const ConfigModel& model, int x, bool noSpeedTen)
{
    if (!validRow(row))
        return std::nullopt;
    int value = dropValue(row, model, x);
    if (row != kRowCursorSpeed)
        return KnobDrop{sliderRow(row).position, static_cast<uint8_t>(value), false};
    if (value == model.block[kPosCursorSpeed])
        return std::nullopt;
    // The block keeps what was sent.
    if (noSpeedTen && value == 10)
        value = 11;
    return KnobDrop{kPosCursorSpeed, static_cast<uint8_t>(value), true};
}

bool hasSensitivitySpots(const PanelDevice& device)
{
    // The spots belong to the cursor-speed row and share its hit area.
    return rowVisible(kRowCursorSpeed, device, false);
}

std::optional<uint8_t> spotSpeed(const ConfigModel& model, bool increase)
{
    const uint8_t speed = model.block[kPosCursorSpeed];
    if (increase && speed < kCursorSpeedMax)
        return static_cast<uint8_t>(speed + 1);
    if (!increase && speed > kCursorSpeedMin)
        return static_cast<uint8_t>(speed - 1);
    return std::nullopt;
}

uint8_t toggledBrillSwitch(const ConfigModel& model)
{
    return model.block[kPosBrillSwitch] == 0 ? 0xFF : 0x00;
}

}  // namespace cvk
