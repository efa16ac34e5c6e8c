#include "device/live_edits.h"

#include "config/config_model.h"
#include "config/pointer_settings.h"
#include "device/device_link.h"
#include "device/model_views.h"
#include "device/models.h"
#include "device/reports.h"
#include "platform/system_settings.h"

namespace cvk {

void setByte(DeviceLink& link, ConfigModel& model, int position, uint8_t value)
{
    model.block[position] = value;
    legacySetByte(link, static_cast<uint8_t>(position), value);
}

bool restoreDefaults(DeviceLink& link, ConfigModel& model, ISystemSettings& system)
{
    const DeviceState& s = link.state;
    if (s.deviceCount != 1)
        return false;

    const uint8_t rememberedSpeed = model.block[kPosCursorSpeed];
    for (const LiveByte& b : restoreFactoryValues(model, modelInfo(s.modelCode).factory, s.firmwareVersion,
                                                  desktopWidth(system.monitors())))
        legacySetByte(link, static_cast<uint8_t>(b.position), b.value);

    if (model.block[kPosCursorSpeed] != rememberedSpeed)
        cursorSpeedCommand(link, rememberedSpeed, false);
    return true;
}

void dropKnob(DeviceLink& link, ConfigModel& model, int row, int x)
{
    const std::optional<KnobDrop> drop = knobDrop(row, model, x, link.state.commandFamily());
    if (!drop)
        return;
    if (drop->speedCommand)
        cursorSpeedCommand(link, drop->value);
    setByte(link, model, drop->position, drop->value);
}

bool sensitivitySpot(DeviceLink& link, ConfigModel& model, bool increase)
{
    if (!hasSensitivitySpots(link.state))
        return false;
    if (const std::optional<uint8_t> speed = spotSpeed(model, increase))
        setByte(link, model, kPosCursorSpeed, *speed);
    return true;
}

void toggleBrillSwitch(DeviceLink& link, ConfigModel& model)
{
    setByte(link, model, kPosBrillSwitch, toggledBrillSwitch(model));
}

}  // namespace cvk
