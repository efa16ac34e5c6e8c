#include "cli/cli.h"

#include <deque>
#include <fmt/format.h>
#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "cli/udev_rule.h"
#include "device/device_link.h"
#include "platform/linux/system_hid_bus.h"
#include "sim/sim.h"

namespace cvk {

std::string udevRuleText() { return generated::kUdevRule; }

std::string cliUsage()
{
    return "usage: cvkeys-cli [--simulate MODEL[:key=value,...]]... [--trace FILE] STEP...\n"
           "\n"
           "Options:\n"
           "  --simulate MODEL[:k=v,...]  attach a simulated device instead of using real hardware;\n"
           "                              repeat for several devices; 'none' gives an empty bus.\n"
           "                              Models: " +
           [] {
               std::string names;
               for (const std::string& n : sim::simModelNames())
                   names += (names.empty() ? "" : ", ") + n;
               return names;
           }() +
           "\n"
           "  --trace FILE                write every simulated report exchange to FILE\n"
           "\n"
           "Steps:\n"
           "  list        scan for devices and print what was found\n"
           "  udev-rule   print the udev rule that gives the logged-in user access\n";
}

namespace {

class CliSession final : public IViewPort {
public:
    CliSession(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    void postCommand(int command) override { posted_.push_back(command); }
    void beep(int, int) override { out_ << "beep\n"; }

    int run(const std::vector<std::string>& args)
    {
        std::vector<std::string> steps;
        std::vector<std::string> simulate;
        std::string trace;
        for (size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&](const char* name) -> const std::string* {
                if (i + 1 >= args.size()) {
                    err_ << "cvkeys-cli: " << name << " needs a value\n";
                    return nullptr;
                }
                return &args[++i];
            };
            if (a == "--help" || a == "-h") {
                out_ << cliUsage();
                return 0;
            } else if (a == "--simulate") {
                const std::string* v = value("--simulate");
                if (!v)
                    return 2;
                simulate.push_back(*v);
            } else if (a == "--trace") {
                const std::string* v = value("--trace");
                if (!v)
                    return 2;
                trace = *v;
            } else if (a.starts_with("--")) {
                err_ << "cvkeys-cli: unknown option '" << a << "'\n" << cliUsage();
                return 2;
            } else {
                steps.push_back(a);
            }
        }
        if (steps.empty()) {
            err_ << cliUsage();
            return 2;
        }
        simulate_ = simulate;
        trace_ = trace;
        for (const std::string& step : steps) {
            const int rc = runStep(step);
            if (rc != 0)
                return rc;
            drainPosted();
        }
        return 0;
    }

private:
    // The bus is set up by the first step that needs a device, so steps such
    // as udev-rule work without touching the HID stack.
    bool ensureLink()
    {
        if (link_)
            return true;
        const std::vector<std::string>& simulate = simulate_;
        const std::string& trace = trace_;
        if (simulate.empty()) {
            if (!trace.empty()) {
                err_ << "cvkeys-cli: --trace records simulated devices only; add --simulate\n";
                return false;
            }
            clock_ = std::make_unique<SteadyClock>();
            systemBus_ = makeSystemHidBus();
            bus_ = systemBus_.get();
        } else {
            clock_ = std::make_unique<sim::VirtualClock>();
            simBus_ = std::make_unique<sim::SimBus>(*clock_);
            if (!trace.empty() && !simBus_->transcript().setFile(trace)) {
                err_ << "cvkeys-cli: cannot write the trace file '" << trace << "'\n";
                return false;
            }
            for (const std::string& spec : simulate) {
                if (spec == "none")
                    continue;
                try {
                    simBus_->attach(spec);
                } catch (const std::invalid_argument& e) {
                    err_ << "cvkeys-cli: --simulate " << spec << ": " << e.what() << "\n";
                    return false;
                }
            }
            bus_ = simBus_.get();
        }
        link_ = std::make_unique<DeviceLink>(*bus_, *clock_, *this);
        return true;
    }

    int runStep(const std::string& step)
    {
        std::istringstream words(step);
        std::string verb;
        words >> verb;
        if (verb == "list")
            return ensureLink() ? list() : 2;
        if (verb == "udev-rule") {
            out_ << udevRuleText();
            return 0;
        }
        err_ << "cvkeys-cli: unknown step '" << step << "'\n";
        return 2;
    }

    // Posted commands run after the step that posted them, as posted window
    // messages run after the current handler.
    void drainPosted()
    {
        while (!posted_.empty()) {
            const int command = posted_.front();
            posted_.pop_front();
            if (command == kCmdRefresh)
                ++refreshPosted_;
        }
    }

    int list()
    {
        deviceScan(*link_);
        const DeviceState& s = link_->state;
        out_ << "devices: " << s.deviceCount << "\n";
        if (s.deviceCount >= 100)
            out_ << "status: Please dowload and install the latest version of CV Keys.\n";
        else if (s.deviceCount > 1)
            out_ << "status: Multiple reprogrammable Corvane detected.\n";
        else if (s.deviceCount <= 0 && !s.receiverPresent())
            out_ << "status: No reprogrammable Corvane detected.\n";
        if (s.deviceCount == 1) {
            out_ << "model: " << s.modelCode << "\n";
            out_ << "name: " << displayName(s.modelCode) << "\n";
            std::string version = s.hardwareVersionText;
            while (!version.empty() && (version.back() == '\n' || version.back() == '\r'))
                version.pop_back();
            out_ << "firmware: " << version << "\n";
            out_ << "path: " << s.devicePath << "\n";
        }
        if (s.receiverPresent())
            out_ << fmt::format("receiver: attached, id {:02x}:{:02x}:{:02x}:{:02x}\n", s.receiverId[0],
                                s.receiverId[1], s.receiverId[2], s.receiverId[3]);
        else
            out_ << "receiver: none\n";
        for (const std::string& path : s.deniedPaths)
            out_ << "permission denied: " << path << "\n";
        if (!s.deniedPaths.empty())
            out_ << "A Corvane device is attached but this user may not open it. Install the udev rule:\n"
                    "  cvkeys-cli udev-rule | sudo tee /etc/udev/rules.d/70-cvkeys.rules\n"
                    "  sudo udevadm control --reload && sudo udevadm trigger\n"
                    "then unplug the device and plug it in again.\n";
        return 0;
    }

    std::ostream& out_;
    std::ostream& err_;
    std::vector<std::string> simulate_;
    std::string trace_;
    std::unique_ptr<IClock> clock_;
    std::unique_ptr<sim::SimBus> simBus_;
    std::unique_ptr<IHidBus> systemBus_;
    IHidBus* bus_ = nullptr;
    std::unique_ptr<DeviceLink> link_;
    std::deque<int> posted_;
    int refreshPosted_ = 0;
};

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    CliSession session(out, err);
    return session.run(args);
}

}  // namespace cvk
