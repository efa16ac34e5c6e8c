// The configuration read against a simulated device whose every answer
// (input reports, feature reports, indexed strings) comes from the input:
// the first byte picks the model, the rest are the answers in turn. Driven
// as cvkeys-cli drives it: the controller starts, the commands it posts
// run, then one refresh. Time is virtual, so no time-out waits for real.

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/main_controller.h"
#include "cli/cli_view.h"
#include "platform/linux/xkb_layout.h"
#include "platform/memory_settings_store.h"
#include "platform/system_settings.h"
#include "sim/sim.h"

namespace {

void drainPosted(cvk::CliView& view, cvk::CMainController& controller)
{
    for (int handled = 0; !view.posted.empty() && handled < 100; ++handled) {
        const int command = view.posted.front();
        view.posted.pop_front();
        controller.handleCommand(command);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace cvk;
    static const std::vector<std::string> models = sim::simModelNames();
    static const std::unique_ptr<IKeyboardLayout> layout = makeXkbLayout("us");
    if (size == 0)
        return 0;

    sim::VirtualClock clock;
    sim::SimBus bus(clock);
    bus.transcript().setKeepLines(false);
    sim::SimDeviceConfig config = sim::parseSimSetup(models[data[0] % models.size()]);
    config.faults.fuzzReplies.emplace(data + 1, data + size);
    bus.attach(config);

    std::ostringstream out;
    CliView view(out);
    MemorySettingsStore store;
    FixedSystemSettings system;
    system.screens = {{0, 0, 1920, 1080}};
    CMainController controller(MainPorts{bus, clock, view, store, system, layout.get()});
    controller.start();
    drainPosted(view, controller);
    controller.handleCommand(kCmdRefresh);
    drainPosted(view, controller);
    return 0;
}
