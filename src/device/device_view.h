#pragma once
// What the device side asks of the window, in the small pieces each part
// needs. The window's view port (app/view_port.h) implements all of them,
// so a transfer can be driven by a bare test view as well.

#include <string>

namespace cvk {

// What arrived while the window processed its pending events.
struct PumpResult {
    // A command or a device change arrived; its handler has already run.
    bool commandOrDeviceChange = false;
    // The main window is no longer visible.
    bool hidden = false;
};

enum class TaskbarProgress { None, Indeterminate };

// Every part that reaches the device may ask for a new read or beep.
class IDeviceEvents {
public:
    virtual ~IDeviceEvents() = default;
    // Queue a command for the window's own command handler; it runs after
    // the current handler has returned.
    virtual void postCommand(int command) = 0;
    // Short system beep (frequency 0 means the default sound).
    virtual void beep(int frequency, int durationMs) = 0;
};

// What a long transfer shows while it runs and how it lets the window live.
class ITransferView {
public:
    virtual ~ITransferView() = default;
    virtual void repaint() {}
    // The busy picture over the device picture while a transfer runs.
    virtual void drawBusyPicture() {}
    // One frame (0..4) of the wake-up animation of the wireless receiver.
    virtual void drawWakeFrame(int /*frame*/) {}
    // "Move the mouse pad up and down." in red (bright) or dark red.
    virtual void drawWakePrompt(const std::string& /*text*/, bool /*bright*/) {}
    // Processes the window's pending events.
    virtual PumpResult pump() { return {}; }
    virtual void waitCursor(bool) {}
    virtual void setTaskbarProgress(TaskbarProgress) {}
};

}  // namespace cvk
