#pragma once
// The block edits that can reach the device at once: the single-byte edit,
// Restore Defaults and the pointer-settings panel. Which bytes and values
// they store is decided in config/; here they are stored and sent.

#include <cstdint>

namespace cvk {

struct ConfigModel;
struct DeviceLink;
class ISystemSettings;

// The one operation that changes a block byte during editing: stores it and
// hands it to the legacy single-byte sender (which only older firmware uses).
void setByte(DeviceLink& link, ConfigModel& model, int position, uint8_t value);

// Restore Defaults: the model's factory values into the working block.
// Returns false (and changes nothing) unless exactly one device is connected.
// When the restored cursor speed differs, the device keeps running at the
// old one until Apply.
bool restoreDefaults(DeviceLink& link, ConfigModel& model, ISystemSettings& system);

// The knob of `row` was released at client x (see knobDrop): rows 1..3 only
// store; row 0 sends the live cursor-speed command and stores the speed.
// The caller repaints and ends its drag.
void dropKnob(DeviceLink& link, ConfigModel& model, int row, int x);

// The decrease/increase spots on the picture: position 19 one step towards
// 5 or 11; nothing is sent until Apply. Without the spots nothing changes
// and the result is false.
bool sensitivitySpot(DeviceLink& link, ConfigModel& model, bool increase);

// The Brill pad switch at position 59: 0 becomes 255, anything else 0.
void toggleBrillSwitch(DeviceLink& link, ConfigModel& model);

}  // namespace cvk
