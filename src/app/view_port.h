#pragma once
// What the device link and the configuration flows ask of the main window.
// The Qt window implements it by drawing; cvkeys-cli prints it as text.

namespace cvk {

class IViewPort {
public:
    virtual ~IViewPort() = default;
    // Queue a command for the window's own command handler; it runs after
    // the current handler has returned.
    virtual void postCommand(int command) = 0;
    // Short system beep (frequency 0 means the default sound).
    virtual void beep(int frequency, int durationMs) = 0;
};

}  // namespace cvk
