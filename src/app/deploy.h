#pragma once
// Setting up many devices: wait for a device to be plugged in, read it,
// select the named profile, apply it with verification, record the result,
// wait for it to be unplugged, and go on with the next.

#include <functional>
#include <string>

#include "app/main_controller.h"
#include "platform/clock.h"

namespace cvk {

struct DeployRecord {
    std::string time;
    std::string model;
    std::string firmware;  // "0x1205"
    std::string deviceId;  // "01:02:03:04" where the model has one
    std::string result;    // "written and verified", or why not
    bool ok = false;
};

struct DeployPorts {
    CMainController& controller;
    IClock& clock;
    // One period of 100 ms: the window's timers (the scan after a device
    // change, the posted Refresh). The caller lets the time pass.
    std::function<void()> tick;
    // Ctrl-C, or nothing more can come (a simulation that has run out).
    std::function<bool()> stopRequested;
    std::function<std::string()> now;
    std::function<void(const DeployRecord&)> record;
    // The messages the flows showed since the last call, as "caption: text".
    std::function<std::vector<std::string>()> takeMessages;
};

struct DeployOutcome {
    int done = 0;    // devices that were set up or failed
    int failed = 0;  // failed devices and refused pairs
    bool stopped = false;
};

// count 0: until stopRequested.
DeployOutcome runDeploy(DeployPorts& ports, const std::string& profile, int count);

}  // namespace cvk
