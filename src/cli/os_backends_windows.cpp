#include "cli/os_backends.h"

#include <string_view>

#include "platform/windows/registry_store.h"
#include "platform/windows/win_clock.h"
#include "platform/windows/win_desktop_mouse.h"
#include "platform/windows/win_hid_bus.h"
#include "platform/windows/win_keyboard_layout.h"
#include "platform/windows/win_library.h"
#include "platform/windows/win_temp_file.h"

namespace cvk::os {

std::unique_ptr<IClock> systemClock() { return std::make_unique<WinClock>(); }

std::unique_ptr<IHidBus> systemHidBus() { return std::make_unique<WinHidBus>(); }

// Arrivals reach a window as WM_DEVICECHANGE; the tool has no window, so it
// scans instead.
std::unique_ptr<IHotplugMonitor> hotplugMonitor() { return nullptr; }

std::unique_ptr<ISettingsStore> userSettings(const std::string& applicationName)
{
    return RegistrySettingsStore::forUser(applicationName);
}

std::unique_ptr<ISettingsStore> settingsAt(const std::string& location, std::string* problem)
{
    for (std::string_view root : {"HKEY_CURRENT_USER\\", "HKCU\\"}) {
        if (location.size() > root.size() && std::string_view(location).substr(0, root.size()) == root)
            return RegistrySettingsStore::forCurrentUserKey(location.substr(root.size()));
    }
    if (problem)
        *problem = "not a registry key under HKEY_CURRENT_USER (such as HKCU\\software\\Lumrick\\test)";
    return nullptr;
}

const char* settingsOptionHelp()
{
    return "  --settings KEY              keep settings and profiles under this registry key of\n"
           "                              HKEY_CURRENT_USER (HKCU\\...) instead of the user's settings\n"
           "                              (':memory:' keeps them in memory only)\n";
}

const char* layoutOptionHelp()
{
    return "  --layout LAYOUT             the keyboard layout for key names and signature strokes: a\n"
           "                              layout id such as 00000409, or us, se, de (default: the\n"
           "                              user's)\n";
}

std::unique_ptr<IKeyboardLayout> namedLayout(const std::string& name) { return makeWinKeyboardLayout(name); }

const char* namedLayoutSource() { return "Windows (give a layout id such as 00000409, or us, se, de, ...)"; }

std::unique_ptr<IKeyboardLayout> sessionLayout() { return makeActiveWinKeyboardLayout(); }

std::unique_ptr<ITempFiles> tempFiles() { return std::make_unique<WinTempFiles>(); }

std::unique_ptr<ILibraryLoader> programmingLibraryLoader() { return std::make_unique<WinLibraryLoader>(); }

const char* programmingLibraryFile() { return "AtJniIsp.dll"; }

// No USB library of our own reaches the bootloader on Windows: updates go
// through the chip maker's library.
std::unique_ptr<IUsbControl> usbControl() { return nullptr; }

DesktopMouse desktopMouse()
{
    DesktopMouse mouse;
    mouse.desktop = "Windows";
    mouse.swapped = windowsButtonsSwapped();
    mouse.swapSource = "from the system's SM_SWAPBUTTON";
    mouse.wheelLines = windowsWheelScrollLines();
    mouse.wheelSource =
        mouse.wheelLines ? "from the system's SPI_GETWHEELSCROLLLINES" : "the system does not say";
    return mouse;
}

}  // namespace cvk::os
