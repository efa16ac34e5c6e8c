#pragma once
// The small senders many operations share: the register-family preamble,
// the legacy single-byte write, the pass-through commands and the cursor
// speed of both families.

#include <array>
#include <cstdint>

#include "device/device_link.h"

namespace cvk {

inline constexpr int kPreamblePauseMs = 20;

// Three preamble reports with 20 ms after each; only register family at
// firmware 0x30B and above.
void sendPreamble(DeviceLink& link);
// Feature report 0x00 position value, firmware below 0x300 only; beeps when
// the device refuses it.
// True when the report reached the device (firmware below 0x300 only).
bool legacySetByte(DeviceLink& link, uint8_t position, uint8_t value);
// Commands 1000..1003: register report 0x01 0xFF n on the mouse collection.
void passThroughCommand(DeviceLink& link, int command);
// Sets the cursor speed at once. The command family cannot take 10, so it is
// sent as 11 unless replaceTen is false.
void cursorSpeedCommand(DeviceLink& link, int speed, bool replaceTen = true);

}  // namespace cvk

namespace cvk {

// The two 256-byte signature areas over an open channel. The write sends
// 0x94 then 0x95 for every index without reading replies; the read fills
// both areas six bytes at a time, first area then second for each offset,
// and returns false (areas zero) when the device does not open the read. Both throw TransferError like every
// channel exchange.
void signatureWrite(CHidChannel& channel, const std::array<uint8_t, 256>& usages,
                    const std::array<uint8_t, 256>& modifiers);
bool signatureRead(CHidChannel& channel, std::array<uint8_t, 256>& usages,
                   std::array<uint8_t, 256>& modifiers);

}  // namespace cvk
