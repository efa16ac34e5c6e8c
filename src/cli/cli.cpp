#include "cli/cli.h"

#include <fmt/format.h>
#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>

#include "app/corvane_app.h"
#include "app/main_controller.h"
#include "cli/cli_view.h"
#include "cli/udev_rule.h"
#include "platform/linux/system_hid_bus.h"
#include "platform/memory_settings_store.h"
#include "platform/qt/qsettings_store.h"
#include "sim/sim.h"
#include "texts/texts.h"

namespace cvk {

std::string udevRuleText() { return generated::kUdevRule; }

std::string cliUsage()
{
    std::string models;
    for (const std::string& n : sim::simModelNames())
        models += (models.empty() ? "" : ", ") + n;
    return "usage: cvkeys-cli [OPTION]... STEP...\n"
           "\n"
           "Options:\n"
           "  --simulate MODEL[:k=v,...]  attach a simulated device instead of using real hardware;\n"
           "                              repeat for several devices; 'none' gives an empty bus.\n"
           "                              Models: " +
           models +
           "\n"
           "  --trace FILE                write every simulated report exchange to FILE\n"
           "  --settings FILE             keep settings and profiles in this INI file instead of the\n"
           "                              user's settings (':memory:' keeps them in memory only)\n"
           "  --desktop-width PIXELS      the desktop width the configuration rules see (default 1920)\n"
           "  --swapped-buttons           the system has primary and secondary buttons swapped\n"
           "  --language CODE             use this interface language (Language.CODE) for this run\n"
           "  --language-dir DIR          where Language.CODE files are looked up (default: the\n"
           "                              current directory)\n"
           "\n"
           "Steps (each one argument; quote steps with spaces):\n"
           "  list                  scan for devices and print what was found\n"
           "  udev-rule             print the udev rule that gives the logged-in user access\n"
           "  refresh               read the configuration from the device again\n"
           "  apply                 write the configuration into the device and verify it\n"
           "  ok                    apply, then close the window\n"
           "  cancel                undo a previewed cursor speed, then close the window\n"
           "  restore-defaults      put the model's factory configuration into the working block\n"
           "  answer yes|no         the answer to the next question\n"
           "  pump N hide|command C|unplug PID\n"
           "                        what the window receives at the N-th wait of the next transfers\n"
           "  show block|reference|state|store|profiles|tray\n"
           "  select-profile NAME   select the profile in the profile list\n"
           "  profile-name NAME|cancel\n"
           "                        the answer to the next profile name dialog\n"
           "  command C             the window's command C (1030 New, 1031 Delete, 1032 Rename\n"
           "                        Profile, ...)\n"
           "  tray N                choose the N-th profile (from 0) of the notification-area menu\n"
           "  text ID               print the interface text ID\n";
}

namespace {

std::string hexLines(const uint8_t* data, int length)
{
    std::string text;
    for (int row = 0; row < length; row += 16) {
        text += fmt::format("{:3}:", row);
        for (int i = row; i < row + 16 && i < length; ++i)
            text += fmt::format(" {:02X}", data[i]);
        text += "\n";
    }
    return text;
}

bool parseInt(const std::string& text, int& value)
{
    try {
        size_t used = 0;
        value = std::stoi(text, &used, 0);
        return used == text.size();
    } catch (const std::exception&) {
        return false;
    }
}

class CliSession {
public:
    CliSession(std::ostream& out, std::ostream& err) : out_(out), err_(err), view_(out) {}

    int run(const std::vector<std::string>& args)
    {
        std::vector<std::string> steps;
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
            } else if (a == "--simulate" || a == "--trace" || a == "--settings" || a == "--desktop-width" ||
                       a == "--language" || a == "--language-dir") {
                const std::string* v = value(a.c_str());
                if (!v)
                    return 2;
                if (a == "--simulate")
                    simulate_.push_back(*v);
                else if (a == "--trace")
                    trace_ = *v;
                else if (a == "--settings")
                    settingsPath_ = *v;
                else if (a == "--language") {
                    if (!validLanguageCode(*v)) {
                        err_ << "cvkeys-cli: --language takes a code of one to eight letters, such as EN\n";
                        return 2;
                    }
                    startOptions_.language = *v;
                } else if (a == "--language-dir")
                    startOptions_.languageDir = *v;
                else if (!parseInt(*v, desktopWidth_) || desktopWidth_ <= 0) {
                    err_ << "cvkeys-cli: --desktop-width needs a positive number of pixels\n";
                    return 2;
                }
            } else if (a == "--swapped-buttons") {
                swapped_ = true;
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
        for (const std::string& step : steps) {
            const int rc = runStep(step);
            if (rc != 0)
                return rc;
            drainPosted();
        }
        return 0;
    }

private:
    // Devices and settings are set up by the first step that needs them, so
    // steps such as udev-rule work without touching the HID stack.
    bool ensureController()
    {
        if (controller_)
            return true;
        if (simulate_.empty()) {
            if (!trace_.empty()) {
                err_ << "cvkeys-cli: --trace records simulated devices only; add --simulate\n";
                return false;
            }
            clock_ = std::make_unique<SteadyClock>();
            systemBus_ = makeSystemHidBus();
            bus_ = systemBus_.get();
        } else {
            clock_ = std::make_unique<sim::VirtualClock>();
            simBus_ = std::make_unique<sim::SimBus>(*clock_);
            if (!trace_.empty() && !simBus_->transcript().setFile(trace_)) {
                err_ << "cvkeys-cli: cannot write the trace file '" << trace_ << "'\n";
                return false;
            }
            for (const std::string& spec : simulate_) {
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
        if (settingsPath_ == ":memory:")
            store_ = std::make_unique<MemorySettingsStore>();
        else if (!settingsPath_.empty())
            store_ = makeFileSettingsStore(settingsPath_);
        else
            store_ = makeUserSettingsStore("cvkeys");
        app_.startUp(*store_, startOptions_, [this](const std::string& preset) { return view_.askLanguage(preset); });
        system_.swapped = swapped_;
        system_.screens = {{0, 0, desktopWidth_, 1080}};
        controller_ = std::make_unique<CMainController>(MainPorts{*bus_, *clock_, view_, *store_, system_});
        controller_->start();
        drainPosted();
        return true;
    }

    int runStep(const std::string& step)
    {
        std::istringstream words(step);
        std::string verb;
        words >> verb;
        std::string rest;
        std::getline(words >> std::ws, rest);

        if (verb == "udev-rule" && rest.empty()) {
            out_ << udevRuleText();
            return 0;
        }
        if (verb == "answer") {
            if (rest == "yes" || rest == "ok")
                view_.nextAnswer = MessageAnswer::Yes;
            else if (rest == "no")
                view_.nextAnswer = MessageAnswer::No;
            else
                return usageError("answer takes yes or no");
            return 0;
        }
        struct Simple {
            const char* verb;
            int command;
        };
        static constexpr Simple kCommands[] = {{"refresh", kCmdRefresh},  {"apply", kCmdApply},
                                               {"ok", kCmdOk},            {"cancel", kCmdCancel},
                                               {"restore-defaults", kCmdRestoreDefaults}};
        for (const Simple& s : kCommands) {
            if (verb == s.verb && rest.empty()) {
                if (!ensureController())
                    return 2;
                runCommand(s.command);
                return 0;
            }
        }
        if (verb == "text") {
            int id = 0;
            if (!parseInt(rest, id))
                return usageError("text takes a text id");
            // The text table comes with the start-up, which needs the settings.
            if (!ensureController())
                return 2;
            out_ << text(id) << "\n";
            return 0;
        }
        if (verb == "profile-name") {
            if (rest.empty())
                return usageError("profile-name takes a name or cancel");
            view_.nextProfileName = rest == "cancel" ? std::optional<std::string>() : std::optional<std::string>(rest);
            return 0;
        }
        if (verb == "select-profile" || verb == "command" || verb == "tray") {
            int number = 0;
            if (verb != "select-profile" && !parseInt(rest, number))
                return usageError(verb + " takes a number");
            if (rest.empty())
                return usageError("select-profile takes a profile name");
            if (!ensureController())
                return 2;
            if (verb == "select-profile") {
                if (!controller_->selectProfileByName(rest)) {
                    err_ << "cvkeys-cli: no profile named '" << rest << "'\n";
                    return 1;
                }
            } else if (verb == "tray") {
                if (!profileAt(controller_->profiles, number)) {
                    err_ << "cvkeys-cli: the menu has no profile " << number << "\n";
                    return 1;
                }
                runCommand(kCmdTrayProfileFirst + number);
            } else {
                runCommand(number);
            }
            return 0;
        }
        if (verb == "list" && rest.empty())
            return ensureController() ? list() : 2;
        if (verb == "show")
            return show(rest);
        if (verb == "pump")
            return pump(rest);
        err_ << "cvkeys-cli: unknown step '" << step << "'\n";
        return 2;
    }

    int usageError(const std::string& message)
    {
        err_ << "cvkeys-cli: " << message << "\n";
        return 2;
    }

    void runCommand(int command)
    {
        if (command == kCmdApply || command == kCmdOk) {
            const bool ok = controller_->writeSequence();
            out_ << (ok ? "apply: written and verified\n" : "apply: not written\n");
            if (command == kCmdOk) {
                controller_->closed = true;
                view_.closeWindow();
            }
            return;
        }
        controller_->handleCommand(command);
    }

    // Posted commands run after the step that posted them, as posted window
    // messages run after the current handler. A handler that keeps posting
    // cannot hold the tool forever.
    void drainPosted()
    {
        for (int handled = 0; !view_.posted.empty() && handled < 100; ++handled) {
            const int command = view_.posted.front();
            view_.posted.pop_front();
            if (controller_)
                runCommand(command);
        }
    }

    int pump(const std::string& args)
    {
        std::istringstream words(args);
        std::string count, what;
        words >> count >> what;
        int n = 0;
        if (!parseInt(count, n) || n < 1)
            return usageError("pump needs a positive count: pump N hide|command C|unplug PID");
        if (what == "hide") {
            view_.schedulePump(n, [] { return PumpResult{false, true}; });
            return 0;
        }
        std::string argument;
        words >> argument;
        int value = 0;
        if (what == "command" && parseInt(argument, value)) {
            view_.schedulePump(n, [this, value] {
                runCommand(value);
                return PumpResult{true, false};
            });
            return 0;
        }
        if (what == "unplug" && parseInt(argument, value)) {
            view_.schedulePump(n, [this, value] {
                if (simBus_)
                    simBus_->unplug(static_cast<uint16_t>(value));
                return PumpResult{true, false};
            });
            return 0;
        }
        return usageError("pump N hide|command C|unplug PID");
    }

    int show(const std::string& what)
    {
        if (what != "block" && what != "reference" && what != "state" && what != "store" && what != "profiles" &&
            what != "tray")
            return usageError("show block|reference|state|store|profiles|tray");
        if (!ensureController())
            return 2;
        const CMainController& c = *controller_;
        if (what == "block" || what == "reference") {
            const auto& bytes = what == "block" ? c.config.block : c.config.reference;
            out_ << hexLines(bytes.data(), c.config.exchangedLength);
        } else if (what == "state") {
            showState();
        } else if (what == "profiles") {
            showProfiles();
        } else if (what == "tray") {
            for (const TrayMenuItem& item : c.trayMenu) {
                if (item.command == 0) {
                    out_ << "  ----\n";
                    continue;
                }
                out_ << "  " << item.command << " " << item.text << (item.checked ? " [x]" : "")
                     << (item.isDefault ? " (default)" : "") << "\n";
            }
        } else {
            for (const SettingEntry& e : store_->all()) {
                out_ << "[" << e.section << "] " << e.entry;
                switch (e.kind) {
                case SettingKind::Integer: out_ << " int " << e.integer << "\n"; break;
                case SettingKind::Text: out_ << " text \"" << e.text << "\"\n"; break;
                case SettingKind::Bytes:
                    out_ << " bytes " << e.bytes.size() << "\n"
                         << hexLines(e.bytes.data(), static_cast<int>(e.bytes.size()));
                    break;
                }
            }
        }
        return 0;
    }

    void showProfiles()
    {
        const CMainController& c = *controller_;
        out_ << "profiles" << (usesProfileListF(c.link.state.modelCode) ? " (F list)" : "") << ":\n";
        int n = 0;
        for (const CProfileClass& p : c.profiles) {
            out_ << fmt::format("  {} \"{}\"", n++, p.name) << (p.modified ? " modified" : "")
                 << (&p == c.activeProfile ? " active" : "") << "\n";
        }
        out_ << "selector:\n";
        for (size_t i = 0; i < c.selector.size(); ++i)
            out_ << "  \"" << c.selector[i].name << "\"" << (static_cast<int>(i) == c.selectorCurrent ? " *" : "")
                 << "\n";
    }

    void showState()
    {
        const CMainController& c = *controller_;
        const DeviceState& s = c.link.state;
        auto trimmed = [](std::string t) {
            while (!t.empty() && (t.back() == '\n' || t.back() == '\r'))
                t.pop_back();
            return t;
        };
        out_ << "devices: " << s.deviceCount << "\n"
             << "model: " << s.modelCode << "\n"
             << fmt::format("firmware: 0x{:04X}\n", s.firmwareVersion)
             << "exchanged length: " << c.config.exchangedLength << "\n"
             << "title: " << view_.title << "\n"
             << "device path: " << (view_.controlTexts.count(kCtlDevicePath) ? view_.controlTexts.at(kCtlDevicePath) : "")
             << "\n"
             << "hardware version: " << trimmed(s.hardwareVersionText) << "\n"
             << "firmware text: " << c.firmwareText << "\n"
             << "serial: " << c.serialText << "\n"
             << "tray tip: " << view_.trayTip << "\n"
             << "tray icon: " << (view_.trayIcon == kIconNoDevice ? "no device" : "normal") << "\n";
        std::string on, off;
        for (const auto& [id, enabled] : view_.enabled())
            (enabled ? on : off) += " " + std::to_string(id);
        out_ << "enabled:" << on << "\n"
             << "disabled:" << off << "\n"
             << "busy: " << (s.busy ? 1 : 0) << "\n"
             << "transfer mark: " << c.transferMark << "\n"
             << "fade level: " << c.fadeLevel << "\n"
             << "read failed: " << (c.readFailed ? 1 : 0) << "\n";
    }

    int list()
    {
        deviceScan(controller_->link);
        const DeviceState& s = controller_->link.state;
        out_ << "devices: " << s.deviceCount << "\n";
        if (s.deviceCount >= 100)
            out_ << "status: " << text(9) << "\n";
        else if (s.deviceCount > 1)
            out_ << "status: " << text(10) << "\n";
        else if (s.deviceCount <= 0 && !s.receiverPresent())
            out_ << "status: " << text(8) << "\n";
        if (s.deviceCount == 1) {
            std::string version = s.hardwareVersionText;
            while (!version.empty() && (version.back() == '\n' || version.back() == '\r'))
                version.pop_back();
            out_ << "model: " << s.modelCode << "\n"
                 << "name: " << displayName(s.modelCode) << "\n"
                 << "firmware: " << version << "\n"
                 << "path: " << s.devicePath << "\n";
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
    std::string settingsPath_;
    int desktopWidth_ = 1920;
    bool swapped_ = false;

    StartOptions startOptions_;
    CliView view_;
    FixedSystemSettings system_;
    CCorvaneApp app_;
    std::unique_ptr<IClock> clock_;
    std::unique_ptr<sim::SimBus> simBus_;
    std::unique_ptr<IHidBus> systemBus_;
    IHidBus* bus_ = nullptr;
    std::unique_ptr<ISettingsStore> store_;
    std::unique_ptr<CMainController> controller_;
};

}  // namespace

int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    CliSession session(out, err);
    return session.run(args);
}

}  // namespace cvk
