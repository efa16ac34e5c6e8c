#pragma once
// The operating system's backends the tool runs on. One source per system
// implements these (os_backends_linux.cpp, os_backends_windows.cpp); the
// build picks it, so the tool's steps never name a system.

#include <memory>
#include <optional>
#include <string>

#include "platform/clock.h"
#include "platform/hid_bus.h"
#include "platform/hotplug.h"
#include "platform/keyboard_layout.h"
#include "platform/library_loader.h"
#include "platform/settings_store.h"
#include "platform/temp_file.h"
#include "platform/usb_control.h"

namespace cvk::os {

// The clock every real pause and report bound runs on.
std::unique_ptr<IClock> systemClock();
std::unique_ptr<IHidBus> systemHidBus();
// Null where the system tells nobody of arrivals and removals.
std::unique_ptr<IHotplugMonitor> hotplugMonitor();

// The window's own store: the user's settings of the given program name.
std::unique_ptr<ISettingsStore> userSettings(const std::string& applicationName);
// The store at --settings' location; null with the reason in *problem when
// it cannot be used.
std::unique_ptr<ISettingsStore> settingsAt(const std::string& location, std::string* problem);

// The usage lines of --settings and --layout, which take what the system
// stores settings and names layouts with.
const char* settingsOptionHelp();
const char* layoutOptionHelp();

// A named layout; null when the system has no such layout.
std::unique_ptr<IKeyboardLayout> namedLayout(const std::string& name);
// Where named layouts come from, for messages ("xkb-data").
const char* namedLayoutSource();
// The layout the user types with. Never null.
std::unique_ptr<IKeyboardLayout> sessionLayout();

std::unique_ptr<ITempFiles> tempFiles();
// Loads the chip maker's programming library from the safe folders.
std::unique_ptr<ILibraryLoader> programmingLibraryLoader();
// The library's file name here, for messages.
const char* programmingLibraryFile();
// Null when USB devices cannot be reached from this program.
std::unique_ptr<IUsbControl> usbControl();

struct DesktopMouse {
    std::string desktop;
    bool swapped = false;
    std::string swapSource;
    std::optional<int> wheelLines;
    std::string wheelSource;
};
DesktopMouse desktopMouse();

}  // namespace cvk::os
