#include "cli/os_backends.h"

#include "platform/linux/desktop_mouse.h"
#include "platform/linux/dl_library.h"
#include "platform/linux/libusb_control.h"
#include "platform/linux/posix_temp_file.h"
#include "platform/linux/system_hid_bus.h"
#include "platform/linux/udev_hotplug.h"
#include "platform/linux/xkb_layout.h"
#include "platform/qt/qsettings_store.h"

namespace cvk::os {

std::unique_ptr<IClock> systemClock() { return std::make_unique<SteadyClock>(); }

std::unique_ptr<IHidBus> systemHidBus() { return makeSystemHidBus(); }

std::unique_ptr<IHotplugMonitor> hotplugMonitor()
{
    auto monitor = std::make_unique<UdevHotplugMonitor>();
    if (!monitor->available())
        return nullptr;
    return monitor;
}

std::unique_ptr<ISettingsStore> userSettings(const std::string& applicationName)
{
    return makeUserSettingsStore(applicationName);
}

std::unique_ptr<ISettingsStore> settingsAt(const std::string& location, std::string* problem)
{
    if (const std::optional<std::string> why = settingsFileProblem(location)) {
        if (problem)
            *problem = *why;
        return nullptr;
    }
    return makeFileSettingsStore(location);
}

const char* settingsOptionHelp()
{
    return "  --settings FILE             keep settings and profiles in this INI file instead of the\n"
           "                              user's settings (':memory:' keeps them in memory only)\n";
}

const char* layoutOptionHelp()
{
    return "  --layout XKB-LAYOUT         the keyboard layout for key names and signature strokes,\n"
           "                              such as us, se, de(nodeadkeys) (default: the session's)\n";
}

std::unique_ptr<IKeyboardLayout> namedLayout(const std::string& name) { return makeXkbLayoutFromName(name); }

const char* namedLayoutSource() { return "xkb-data"; }

std::unique_ptr<IKeyboardLayout> sessionLayout() { return makeSessionKeyboardLayout(); }

std::unique_ptr<ITempFiles> tempFiles() { return std::make_unique<PosixTempFiles>(); }

std::unique_ptr<ILibraryLoader> programmingLibraryLoader()
{
    return std::make_unique<DlLibraryLoader>(DlLibraryLoader::defaultFolders());
}

const char* programmingLibraryFile() { return "libAtJniIsp.so"; }

std::unique_ptr<IUsbControl> usbControl()
{
    auto libusb = std::make_unique<LibusbControl>();
    if (!libusb->ok())
        return nullptr;
    return libusb;
}

DesktopMouse desktopMouse()
{
    const DesktopMouseSettings mouse;
    const SwapReading swap = mouse.buttonsSwapped();
    const WheelReading wheel = mouse.wheelScrollLines();
    return {mouse.desktopName(), swap.swapped, swap.source, wheel.lines, wheel.source};
}

}  // namespace cvk::os
