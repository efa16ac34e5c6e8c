#include "sim/plug_plan.h"

#include <algorithm>
#include <stdexcept>

#include "sim/setup_parse.h"

namespace cvk::sim {

PlugStep parsePlugStep(const std::string& text, bool plug)
{
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon == 0)
        throw std::invalid_argument("'" + text +
                                    "' needs a time in ms first, such as 2000:" + (plug ? "dorrin" : "08"));
    PlugStep step;
    step.plug = plug;
    step.atMs = setup::parseNumber("time", text.substr(0, colon), 100000000);
    const std::string rest = text.substr(colon + 1);
    if (plug) {
        parseSimSetup(rest);  // refused here rather than half-way through a run
        step.setup = rest;
    } else {
        if (rest.empty() || rest.size() > 4 || !std::all_of(rest.begin(), rest.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) != 0;
            }))
            throw std::invalid_argument("'" + rest + "' is not a product id in hex, such as 08");
        step.productId = static_cast<uint16_t>(std::stoul(rest, nullptr, 16));
    }
    return step;
}

SimPlugPlan::SimPlugPlan(SimBus& bus, IClock& clock, std::vector<PlugStep> steps)
    : bus_(bus), clock_(clock), steps_(std::move(steps))
{
    std::stable_sort(steps_.begin(), steps_.end(),
                     [](const PlugStep& a, const PlugStep& b) { return a.atMs < b.atMs; });
}

std::vector<HotplugEvent> SimPlugPlan::drain()
{
    std::vector<HotplugEvent> events;
    while (next_ < steps_.size() && steps_[next_].atMs <= clock_.nowMs()) {
        const PlugStep& s = steps_[next_++];
        if (s.plug) {
            bus_.attach(s.setup);
            events.push_back(HotplugEvent::Arrival);
        } else if (bus_.unplug(s.productId)) {
            events.push_back(HotplugEvent::RemovalComplete);
        }
    }
    return events;
}

}  // namespace cvk::sim
