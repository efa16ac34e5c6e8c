#pragma once
// The one program-wide record of what is attached, and the predicates every
// other module asks instead of looking at the counts themselves.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/hid_bus.h"

namespace cvk {

// Model codes are the USB product ids of the identified device.
enum ModelCode : int {
    kModelNone = 0,
    kModelReceiverOnly = -9,  // only the wireless receiver, block from the stored copy
    kProductReceiver = 1,
    kModelArvelOld = 4,
    kModelArvel = 5,
    kModelEssom = 6,
    kModelDorrinReceiver = 7,
    kModelDorrin = 8,
    kModelCindel = 9,
    kModelBrill = 10,
    kModelArvel2 = 11,
};

struct DeviceState {
    // -1 before the first scan; +1 per supported device, +1000 per device
    // whose firmware is too new for this program.
    int deviceCount = -1;
    int modelCode = kModelNone;
    uint32_t firmwareVersion = 0;
    HidDevicePtr featureHandle;   // register-family feature reports and strings
    HidDevicePtr mouseHandle;     // pass-through commands
    HidDevicePtr receiverStatus;  // receiver, usage page 0xFF01 usage 2 (feature report 4)
    HidDevicePtr receiverUsage3;  // kept, no traffic
    HidDevicePtr receiverAux;     // receiver, usage 1 (feature report 5)
    std::array<uint8_t, 4> receiverId{};
    std::string devicePath;
    std::string hardwareVersionText;
    std::string windowTitle;
    // Set while a command-family transaction owns the device, so the status
    // poll stays off it.
    bool busy = false;
    // Interfaces of the maker's devices that could not be opened for lack of
    // permission during the last scan.
    std::vector<std::string> deniedPaths;

    bool receiverPresent() const { return receiverStatus != nullptr; }

    bool noDevice() const { return deviceCount == 0; }
    bool singleDevice() const { return deviceCount < 100 && (deviceCount == 1 || receiverPresent()); }
    // A device is counted (or the first scan is still to come) or the
    // receiver is open.
    bool attached() const { return deviceCount != 0 || receiverPresent(); }
    // The model or the open receiver counts to the wireless family.
    bool wirelessFamily() const;
    // The model speaks command reports, not feature reports.
    bool commandFamily() const;
};

// The firmware version as the hardware version text shows it: ":2.50\r\n"
// for the old Arvel, ":1.2.05" for everything else.
std::string versionSuffix(int modelCode, uint32_t version);

}  // namespace cvk
