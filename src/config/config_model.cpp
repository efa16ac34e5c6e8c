#include "config/config_model.h"

#include <algorithm>

#include "config/factory_blocks.h"
#include "config/thresholds.h"
#include "device/device_link.h"
#include "device/reports.h"
#include "platform/system_settings.h"

namespace cvk {

namespace {

constexpr uint8_t kModeDefault = 1;
constexpr uint8_t kModeWideScreen = 2;
constexpr uint8_t kModeAvoidEdges = 4;
constexpr uint8_t kArvelModeSpeed = 8;
// Positions below this go through the single-byte write when the other
// models are restored; the pointer settings above are only stored.
constexpr int kOtherModelsLiveEnd = kPosEdgePrecision;

ButtonLayout layoutOf(int modelCode)
{
    return modelCode >= kModelDorrinReceiver ? ButtonLayout::Nine : ButtonLayout::Five;
}

template <size_t N>
void copyTable(DeviceLink& link, ConfigModel& model, const std::array<uint8_t, N>& table, int count)
{
    const int n = std::clamp(count, 0, static_cast<int>(N));
    for (int i = 0; i < n; ++i)
        setByte(link, model, i, table[i]);
}

}  // namespace

bool ConfigModel::differsFromReference() const
{
    const int n = std::clamp(exchangedLength, 0, kBlockSize);
    return !std::equal(block.begin(), block.begin() + n, reference.begin());
}

int buttonCount(ButtonLayout layout) { return layout == ButtonLayout::Nine ? 9 : 5; }

int keyLowPosition(ButtonLayout layout, int button)
{
    return (layout == ButtonLayout::Nine ? 31 : 5) + button;
}

int keyHighPosition(ButtonLayout layout, int button)
{
    return (layout == ButtonLayout::Nine ? 47 : 10) + button;
}

int buttonCount(int modelCode) { return buttonCount(layoutOf(modelCode)); }

int keyLowPosition(int modelCode, int button) { return keyLowPosition(layoutOf(modelCode), button); }

int keyHighPosition(int modelCode, int button) { return keyHighPosition(layoutOf(modelCode), button); }

void setByte(DeviceLink& link, ConfigModel& model, int position, uint8_t value)
{
    model.block[position] = value;
    legacySetByte(link, static_cast<uint8_t>(position), value);
}

uint8_t resolutionModeForWidth(int desktopWidth)
{
    return desktopWidth >= kWideScreenMinWidth ? kModeWideScreen : kModeDefault;
}

uint8_t resolutionModeForDesktop(ISystemSettings& system)
{
    return resolutionModeForWidth(desktopWidth(system.monitors()));
}

bool restoreDefaults(DeviceLink& link, ConfigModel& model, ISystemSettings& system)
{
    const DeviceState& s = link.state;
    if (s.deviceCount != 1)
        return false;

    const uint8_t rememberedSpeed = model.block[kPosCursorSpeed];
    model.block.fill(0);

    switch (s.modelCode) {
    case kModelDorrinReceiver:
    case kModelDorrin:
    case kModelBrill: copyTable(link, model, kDorrinFactory, static_cast<int>(kDorrinFactory.size())); break;
    // The wireless models only own what they exchange; the rest stays clear.
    case kModelCindel: copyTable(link, model, kCindelFactory, model.exchangedLength); break;
    case kModelArvel2: copyTable(link, model, kArvel2Factory, model.exchangedLength); break;
    case kModelArvel:
        copyTable(link, model, kArvelFactory, static_cast<int>(kArvelFactory.size()));
        if (s.firmwareVersion >= kPointerSettingsFirmware) {
            model.block[kPosResolutionMode] = kModeAvoidEdges;
            model.block[kPosCursorSpeed] = kArvelModeSpeed;
        }
        break;
    default:
        for (const FactoryByte& b : kOtherModelsFactory) {
            if (b.position < kOtherModelsLiveEnd)
                setByte(link, model, b.position, b.value);
            else
                model.block[b.position] = b.value;
        }
        if (s.firmwareVersion >= kOtherModelsModeFirmware)
            for (const FactoryByte& b : kOtherModelsModeFactory)
                model.block[b.position] = b.value;
        break;
    }

    // Before the pointer-settings firmware the plain resolution modes (0..2)
    // follow the screen width. Only stored: Apply carries it to the device.
    if (model.block[kPosResolutionMode] < 3 && s.firmwareVersion < kPointerSettingsFirmware)
        model.block[kPosResolutionMode] = resolutionModeForDesktop(system);

    // The defaults take effect on Apply; until then the device keeps running
    // at the speed the user had.
    if (model.block[kPosCursorSpeed] != rememberedSpeed)
        cursorSpeedCommand(link, rememberedSpeed, false);
    return true;
}

}  // namespace cvk
