#pragma once
// Shared fixtures: a simulated bus on a virtual clock, a view port that
// records what the core asked of the window, and a bus wrapper that records
// which interfaces were opened.

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/main_controller.h"
#include "app/view_port.h"
#include "device/device_link.h"
#ifdef _WIN32
#include "platform/windows/win_keyboard_layout.h"
#else
#include "platform/linux/xkb_layout.h"
#endif
#include "platform/memory_settings_store.h"
#include "sim/sim.h"

namespace cvk {

// The controller's state as tests set it up directly, instead of the many
// steps a user would take to reach it.
struct ControllerProbe {
    static ConfigModel& config(CMainController& c) { return c.config_; }
    static DeviceLink& link(CMainController& c) { return c.link_; }
    static WindowState& window(CMainController& c) { return c.window_; }
};

}  // namespace cvk

namespace cvk::test {

// A keyboard layout by its xkb name ("us", "se", "de(nodeadkeys)"): from
// xkb-data, or on Windows the system's layout of the same name.
inline std::unique_ptr<IKeyboardLayout> makeNamedLayout(const std::string& name)
{
#ifdef _WIN32
    auto layout = makeWinKeyboardLayout(name);
#else
    auto layout = makeXkbLayoutFromName(name);
#endif
    if (!layout)
        throw std::runtime_error("the system has no keyboard layout " + name);
    return layout;
}

// Whether the system really has the layout. Wine hands out its X server's
// keyboard whatever layout is asked for, so there a layout is believed only
// when it types a character of its own.
inline bool layoutIsGenuine(const std::string& name)
{
#ifdef _WIN32
    static const std::map<std::string, char32_t> ownCharacter = {
        {"us", U'@'}, {"se", U'\u00e5'}, {"de", U'\u00df'}, {"fr", U'\u00e9'}};
    const auto probe = ownCharacter.find(name);
    if (probe == ownCharacter.end())
        return false;
    const auto layout = makeWinKeyboardLayout(name);
    return layout && layout->strokeForChar(probe->second);
#else
    (void)name;
    return true;
#endif
}

// Skips a test whose cases need a layout the system cannot give.
#define CVK_NEED_LAYOUTS(...)                                                           \
    do {                                                                                \
        for (const char* need : {__VA_ARGS__})                                          \
            if (!::cvk::test::layoutIsGenuine(need))                                    \
                GTEST_SKIP() << "the system gives no genuine keyboard layout " << need; \
    } while (0)

// The same, shared: compiling a keymap takes milliseconds.
inline IKeyboardLayout& namedLayout(const std::string& name)
{
    static std::map<std::string, std::unique_ptr<IKeyboardLayout>> cache;
    auto& entry = cache[name];
    if (!entry)
        entry = makeNamedLayout(name);
    return *entry;
}

class RecordingView : public IViewPort {
public:
    void postCommand(int command) override { posted.push_back(command); }
    void beep(int, int) override { ++beeps; }
    std::vector<int> posted;
    int beeps = 0;
};

// Wraps a bus; remembers every open and can distort the nodes it hands out.
class RecordingBus : public IHidBus {
public:
    explicit RecordingBus(IHidBus& inner) : inner_(inner) {}
    std::vector<HidInterfaceInfo> enumerate() override { return inner_.enumerate(); }
    HidDevicePtr open(const HidInterfaceInfo& entry, HidOpenError* error = nullptr) override
    {
        opened.push_back(entry);
        HidDevicePtr node = inner_.open(entry, error);
        return node && wrap ? wrap(node) : node;
    }
    int opensOf(uint16_t usagePage, uint16_t usage) const
    {
        return static_cast<int>(std::count_if(opened.begin(), opened.end(), [&](const HidInterfaceInfo& e) {
            return e.usagePage == usagePage && e.usage == usage;
        }));
    }
    std::vector<HidInterfaceInfo> opened;
    std::function<HidDevicePtr(HidDevicePtr)> wrap;

private:
    IHidBus& inner_;
};

struct SimFixture {
    sim::VirtualClock clock;
    sim::SimBus sim{clock};
    RecordingBus bus{sim};
    RecordingView view;
    DeviceLink link{bus, clock, view};

    // Transcript lines of the given kinds, as text without the time column.
    std::vector<std::string> reports(const std::vector<std::string>& kinds = {
                                         "out", "in", "set-feature", "get-feature", "no-answer"}) const
    {
        std::vector<std::string> result;
        for (const sim::TranscriptLine& line : sim.transcript().lines()) {
            if (!kinds.empty() && std::find(kinds.begin(), kinds.end(), line.kind) == kinds.end())
                continue;
            const std::string text = line.text();
            result.push_back(
                text.substr(text.find_first_not_of(' ', text.find(' ', text.find_first_not_of(' ')))));
        }
        return result;
    }
    int count(const std::string& kind, const std::string& prefix = "") const
    {
        int n = 0;
        for (const std::string& r : reports({kind}))
            if (r.find(kind + (prefix.empty() ? "" : " " + prefix)) != std::string::npos)
                ++n;
        return n;
    }
};

// A controller on simulated devices, as the window holds it: `View` is the
// test's view port.
template <typename View>
struct ControllerRig {
    sim::VirtualClock clock;
    sim::SimBus sim{clock};
    View view;
    MemorySettingsStore store;
    FixedSystemSettings system;
    CMainController c;

    explicit ControllerRig(IKeyboardLayout* layout = nullptr)
        : c(MainPorts{sim, clock, view, store, system, layout})
    {}

    ConfigModel& config() { return ControllerProbe::config(c); }
    DeviceLink& link() { return ControllerProbe::link(c); }
    DeviceState& state() { return ControllerProbe::link(c).state; }
    WindowState& window() { return ControllerProbe::window(c); }

    // What the window does when it opens, with the posted commands handled.
    void start()
    {
        c.start();
        runPosted();
    }
    // Posted commands run after the handler that posted them.
    void runPosted()
    {
        for (int i = 0; i < 20 && !view.posted.empty(); ++i) {
            const int command = view.posted.front();
            view.posted.erase(view.posted.begin());
            c.handleCommand(command);
        }
    }
};

}  // namespace cvk::test
