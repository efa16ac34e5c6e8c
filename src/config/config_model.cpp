#include "config/config_model.h"

#include <algorithm>

#include "config/thresholds.h"
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

// Stores the leading `count` bytes of the table, each one sent live.
void copyTable(ConfigModel& model, std::span<const uint8_t> table, int count, std::vector<LiveByte>& live)
{
    const int n = std::clamp(count, 0, static_cast<int>(table.size()));
    for (int i = 0; i < n; ++i) {
        model.block[i] = table[i];
        live.push_back({i, table[i]});
    }
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

uint8_t resolutionModeForWidth(int desktopWidth)
{
    return desktopWidth >= kWideScreenMinWidth ? kModeWideScreen : kModeDefault;
}

uint8_t resolutionModeForDesktop(ISystemSettings& system)
{
    return resolutionModeForWidth(desktopWidth(system.monitors()));
}

std::vector<LiveByte> restoreFactoryValues(ConfigModel& model, FactoryKind kind, uint32_t firmwareVersion,
                                           int desktopWidth)
{
    std::vector<LiveByte> live;
    model.block.fill(0);

    const std::span<const uint8_t> table = factoryTable(kind);
    switch (kind) {
    case FactoryKind::Dorrin: copyTable(model, table, static_cast<int>(table.size()), live); break;
    // The wireless models only own what they exchange; the rest stays clear.
    case FactoryKind::Cindel:
    case FactoryKind::Arvel2: copyTable(model, table, model.exchangedLength, live); break;
    case FactoryKind::Arvel:
        copyTable(model, table, static_cast<int>(table.size()), live);
        if (firmwareVersion >= kPointerSettingsFirmware) {
            model.block[kPosResolutionMode] = kModeAvoidEdges;
            model.block[kPosCursorSpeed] = kArvelModeSpeed;
        }
        break;
    case FactoryKind::Other:
    case FactoryKind::None:
        for (const FactoryByte& b : kOtherModelsFactory) {
            model.block[b.position] = b.value;
            if (b.position < kOtherModelsLiveEnd)
                live.push_back({b.position, b.value});
        }
        if (firmwareVersion >= kOtherModelsModeFirmware)
            for (const FactoryByte& b : kOtherModelsModeFactory)
                model.block[b.position] = b.value;
        break;
    }

    // Before the pointer-settings firmware the plain resolution modes (0..2)
    // follow the screen width. Only stored: Apply carries it to the device.
    if (model.block[kPosResolutionMode] < 3 && firmwareVersion < kPointerSettingsFirmware)
        model.block[kPosResolutionMode] = resolutionModeForWidth(desktopWidth);
    return live;
}

}  // namespace cvk
