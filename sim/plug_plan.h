#pragma once
// Plugs and unplugs at set virtual times, reported through the hotplug port
// as a real monitor would report them: for scripted runs of many devices.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/hotplug.h"
#include "sim/sim.h"

namespace cvk::sim {

struct PlugStep {
    int64_t atMs = 0;
    bool plug = true;
    std::string setup;       // plug: "MODEL[:k=v,...]"
    uint16_t productId = 0;  // unplug
};

// "MS:MODEL[:k=v,...]" (plug) or "MS:PID" with a hex product id (unplug);
// throws std::invalid_argument naming the bad part.
PlugStep parsePlugStep(const std::string& text, bool plug);

class SimPlugPlan final : public IHotplugMonitor {
public:
    SimPlugPlan(SimBus& bus, IClock& clock, std::vector<PlugStep> steps);
    int fd() const override { return -1; }
    // Carries out every step whose time has come and reports it.
    std::vector<HotplugEvent> drain() override;
    // Every step has been carried out.
    bool finished() const { return next_ == steps_.size(); }

private:
    SimBus& bus_;
    IClock& clock_;
    std::vector<PlugStep> steps_;
    std::size_t next_ = 0;
};

}  // namespace cvk::sim
