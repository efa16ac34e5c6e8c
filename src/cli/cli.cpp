#include "cli/cli.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <fmt/chrono.h>
#include <fmt/format.h>
#include <fstream>
#include <memory>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "app/corvane_app.h"
#include "app/deploy.h"
#include "app/main_controller.h"
#include "app/picture_area.h"
#include "cli/cli_view.h"
#include "cli/os_backends.h"
#include "cli/udev_rule.h"
#include "config/catalogue.h"
#include "config/descriptions.h"
#include "config/pointer_settings.h"
#include "device/live_edits.h"
#include "device/model_views.h"
#include "device/models.h"
#include "keys/key_names.h"
#include "keys/key_table.h"
#include "keys/keyboard_model.h"
#include "keys/strokes.h"
#include "platform/memory_settings_store.h"
#include "profiles/profile_file.h"
#include "profiles/profile_store.h"
#include "service/firmware_service.h"
#include "sim/bootloader.h"
#include "sim/plug_plan.h"
#include "sim/sim.h"
#include "texts/text_ids.h"
#include "texts/text_table.h"
#include "texts/texts.h"

namespace cvk {

std::string udevRuleText() { return generated::kUdevRule; }

std::string cliUsage()
{
    std::string models;
    for (const std::string& n : sim::simModelNames())
        models += (models.empty() ? "" : ", ") + n;
    return "usage: cvkeys-cli [OPTION]... STEP...\n"
           "       cvkeys-cli [--simulate-bootloader[:k=v,...]] [--trace FILE] firmware-update FILE.hex\n"
           "       cvkeys-cli [--count N] [--log FILE.csv] deploy PROFILE\n"
           "       cvkeys-cli [--list classic|F] export-profiles FILE [NAME...]\n"
           "       cvkeys-cli import-profiles FILE [--replace]\n"
           "\n"
           "Options:\n"
           "  --simulate MODEL[:k=v,...]  attach a simulated device instead of using real hardware;\n"
           "                              repeat for several devices; 'none' gives an empty bus.\n"
           "                              Models: " +
           models +
           "\n"
           "  --trace FILE                write every simulated report exchange to FILE\n" +
           os::settingsOptionHelp() +
           "  --desktop-width PIXELS      the desktop width the configuration rules see (default 1920)\n"
           "  --swapped-buttons           the system has primary and secondary buttons swapped\n" +
           os::layoutOptionHelp() +
           "  --language CODE             use this interface language (Language.CODE) for this run\n"
           "  --language-dir DIR          read Language.CODE from this folder only (default: the\n"
           "                              current directory, then the shipped translations)\n"
           "  --simulate-bootloader[:k=v,...]\n"
           "                              update the firmware of a simulated device in bootloader mode\n"
           "                              (keys: absent, denied, busy-polls=N, poll-ms=N, bad-byte=ADDR,\n"
           "                              unplug-after=N, latency=MS, version=0xNN)\n"
           "\n"
           "deploy PROFILE sets up one pad after the other: it waits for a pad, reads it, writes\n"
           "PROFILE with verification, prints a line (and appends it to --log), waits until the pad is\n"
           "unplugged, and goes on until --count pads are done or Ctrl-C; the exit status is 0 when\n"
           "every pad succeeded. --simulate-plug MS:MODEL[:k=v,...] and --simulate-unplug MS:PID plug\n"
           "and pull simulated pads at virtual times.\n"
           "export-profiles FILE writes the profiles (all, or the NAMEs) of the attached model's list\n"
           "(or --list) to a profile file; import-profiles FILE checks one completely and adds its\n"
           "profiles (--replace: also over profiles of the same names).\n"
           "\n"
           "firmware-update FILE.hex checks the Intel HEX image completely, then erases, programs and\n"
           "verifies the device in bootloader mode (USB 03EB:2FFA) and starts the new firmware. It\n"
           "prints the steps as the update window lists them and exits with the update's code\n"
           "(0 success, 54 no programming backend, 56 the file was refused before anything was erased).\n"
           "\n"
           "Steps (each one argument; quote steps with spaces):\n"
           "  list                  scan for devices and print what was found\n"
           "  desktop-mouse         print the desktop's mouse settings and where they come from:\n"
           "                        swapped buttons (the window's question) and wheel scroll lines\n"
           "  udev-rule             print the udev rule that gives the logged-in user access\n"
           "  refresh               read the configuration from the device again\n"
           "  apply                 write the configuration into the device and verify it\n"
           "  ok                    apply, then close the window\n"
           "  cancel                undo a previewed cursor speed, then close the window\n"
           "  restore-defaults      put the model's factory configuration into the working block\n"
           "  answer yes|no         the answer to the next question\n"
           "  pump N hide|command C|unplug PID\n"
           "                        what the window receives at the N-th wait of the next transfers\n"
           "  show block|reference|state|store|profiles|tray|labels|picture [N]\n"
           "  select-profile NAME   select the profile in the profile list\n"
           "  profile-name NAME|cancel\n"
           "                        the answer to the next profile name dialog\n"
           "  command C             the window's command C (1030 New, 1031 Delete, 1032 Rename\n"
           "                        Profile, ...)\n"
           "  tray N                choose the N-th profile (from 0) of the notification-area menu\n"
           "  text ID               print the interface text ID\n"
           "  texts                 print every built-in English text as a language file (line N =\n"
           "                        text N), the start of a translation\n"
           "  button N [ctrl]       open the menu of button N (0 = the pad), with Ctrl held, and print it\n"
           "  describe N            the hover text of button N (0 = the pad)\n"
           "  show labels           the caption of every button\n"
           "  show picture [N]      what the window's picture area shows: the picture, each label's\n"
           "                        place, alignment and colour, the slider rows, and the status band\n"
           "                        with item N hovered (-1 nothing, 0..9 a button, 1000 the web site)\n"
           "  hint C                the hint shown for menu command C\n"
           "  slider ROW X          drop the knob of slider ROW (0..3) at x = X\n"
           "  spot decrease|increase\n"
           "                        click the sensitivity spot\n"
           "  keyboard WORD|cancel  the answer to the next keyboard dialog (key word, e.g. 0x0106)\n"
           "  signature TEXT|cancel the answer to the next signature dialog\n"
           "  keytext WORD          the text of a key word under the layout\n"
           "  strokes TEXT          the key strokes of a signature text under the layout\n"
           "  labels                the three labels of every key of the layout\n"
           "  tick [N]              let N (default 1) periods of 100 ms pass: status poll, fade,\n"
           "                        Apply button, and the scan after a device change\n"
           "  plug MODEL[:k=v,...]  plug in a simulated device\n"
           "  unplug PID            unplug the simulated device with this product id (hex)\n";
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

// "\n" in a step's text stands for a line break (CR LF, as the edit field gives it).
std::string unescape(const std::string& text)
{
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            result += "\r\n";
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

// Line breaks of a one-line listing shown as \r and \n.
std::string escaped(const std::string& text)
{
    std::string result;
    for (char c : text)
        result += c == '\r' ? "\\r" : c == '\n' ? "\\n" : std::string(1, c);
    return result;
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

// Reads at most limit bytes (one more tells the reader the file is larger).
bool readWholeFile(const std::string& path, std::size_t limit, std::string& text, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    text.assign(limit + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(limit + 1));
    if (in.bad()) {
        error = "cannot read " + path;
        return false;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    return true;
}

// Through a file beside the target, so that a failed write leaves the old
// file as it was.
bool writeWholeFile(const std::string& path, const std::string& text, std::string& error)
{
    const std::string part = path + ".part";
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            error = "cannot write " + path;
            std::remove(part.c_str());
            return false;
        }
    }
    if (std::rename(part.c_str(), path.c_str()) != 0) {
        error = "cannot write " + path;
        std::remove(part.c_str());
        return false;
    }
    return true;
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\n\r") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text)
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

std::string localTimeText()
{
    const std::time_t now = std::time(nullptr);
    try {
        return fmt::format("{:%Y-%m-%d %H:%M:%S}", fmt::localtime(now));
    } catch (const fmt::format_error&) {
        return std::to_string(now);
    }
}

volatile std::sig_atomic_t& stopRequestedFlag()
{
    static volatile std::sig_atomic_t flag = 0;
    return flag;
}

// Ctrl-C ends a deploy run between devices' steps instead of killing it
// half-way through a write.
void installInterruptHandler()
{
    std::signal(SIGINT, [](int) { stopRequestedFlag() = 1; });
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
                       a == "--language" || a == "--language-dir" || a == "--layout") {
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
                else if (a == "--layout") {
                    layout_ = os::namedLayout(*v);
                    if (!layout_) {
                        err_ << "cvkeys-cli: --layout " << *v << ": no such keyboard layout in "
                             << os::namedLayoutSource() << "\n";
                        return 2;
                    }
                } else if (!parseInt(*v, desktopWidth_) || desktopWidth_ <= 0) {
                    err_ << "cvkeys-cli: --desktop-width needs a positive number of pixels\n";
                    return 2;
                }
            } else if (a == "--swapped-buttons") {
                swapped_ = true;
            } else if (a == "--simulate-bootloader" || a.starts_with("--simulate-bootloader:")) {
                bootloaderSetup_ = a.size() > 21 ? a.substr(22) : std::string();
                simulateBootloader_ = true;
            } else if (a == "--list") {
                const std::string* v = value("--list");
                if (!v)
                    return 2;
                if (*v != "classic" && *v != "F") {
                    err_ << "cvkeys-cli: --list takes classic or F\n";
                    return 2;
                }
                listF_ = *v == "F";
            } else if (a == "--replace") {
                replace_ = true;
            } else if (a == "--count" || a == "--log" || a == "--simulate-plug" || a == "--simulate-unplug") {
                const std::string* v = value(a.c_str());
                if (!v)
                    return 2;
                if (a == "--count") {
                    if (!parseInt(*v, deployCount_) || deployCount_ < 1) {
                        err_ << "cvkeys-cli: --count needs a positive number of devices\n";
                        return 2;
                    }
                } else if (a == "--log") {
                    deployLog_ = *v;
                } else {
                    try {
                        plugSteps_.push_back(sim::parsePlugStep(*v, a == "--simulate-plug"));
                    } catch (const std::invalid_argument& e) {
                        err_ << "cvkeys-cli: " << a << " " << *v << ": " << e.what() << "\n";
                        return 2;
                    }
                }
            } else if (a == "deploy" && steps.empty() && !deployProfile_) {
                if (i + 1 >= args.size()) {
                    err_ << "cvkeys-cli: deploy needs the name of the profile to apply\n";
                    return 2;
                }
                deployProfile_ = args[++i];
            } else if ((a == "export-profiles" || a == "import-profiles") && steps.empty() && !profileVerb_) {
                profileVerb_ = a;
                while (i + 1 < args.size() && !args[i + 1].starts_with("--"))
                    profileArgs_.push_back(args[++i]);
            } else if (a == "firmware-update" && steps.empty() && !firmwareFile_) {
                if (i + 1 >= args.size()) {
                    err_ << "cvkeys-cli: firmware-update needs the firmware file (Intel HEX)\n";
                    return 2;
                }
                firmwareFile_ = args[++i];
            } else if (a.starts_with("--")) {
                err_ << "cvkeys-cli: unknown option '" << a << "'\n" << cliUsage();
                return 2;
            } else {
                steps.push_back(a);
            }
        }
        if (deployProfile_) {
            if (!steps.empty()) {
                err_ << "cvkeys-cli: deploy runs alone; '" << steps.front() << "' cannot follow it\n";
                return 2;
            }
            return deploy(*deployProfile_);
        }
        if (deployCount_ || !deployLog_.empty() || !plugSteps_.empty()) {
            err_ << "cvkeys-cli: --count, --log, --simulate-plug and --simulate-unplug are for deploy "
                    "PROFILE\n";
            return 2;
        }
        if (profileVerb_) {
            if (!steps.empty()) {
                err_ << "cvkeys-cli: " << *profileVerb_ << " runs alone; '" << steps.front()
                     << "' cannot follow it\n";
                return 2;
            }
            return profileFileCommand();
        }
        if (replace_) {
            err_ << "cvkeys-cli: --replace is for import-profiles FILE\n";
            return 2;
        }
        if (firmwareFile_) {
            if (!steps.empty()) {
                err_ << "cvkeys-cli: firmware-update runs alone; '" << steps.front()
                     << "' cannot follow it\n";
                return 2;
            }
            return firmwareUpdate(*firmwareFile_);
        }
        if (simulateBootloader_) {
            err_ << "cvkeys-cli: --simulate-bootloader is for firmware-update FILE.hex\n";
            return 2;
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
    // The update's lines as the update window lists them: a detail goes
    // with its step, before the step's closing empty line.
    class FirmwareListing final : public service::IUpdateLog {
    public:
        explicit FirmwareListing(std::ostream& out) : out_(out) {}
        ~FirmwareListing() override { flush(); }
        void line(const std::string& text) override
        {
            flush();
            if (text.empty())
                blankPending_ = true;
            else
                out_ << text << "\n";
        }
        void detail(const std::string& text) override { out_ << "    " << text << "\n"; }
        void flush()
        {
            if (blankPending_)
                out_ << "\n";
            blankPending_ = false;
        }

    private:
        std::ostream& out_;
        bool blankPending_ = false;
    };

    int firmwareUpdate(const std::string& file)
    {
        auto missing = [this](const std::string&) {
            out_ << "message \"" << service::kMissingFunctionCaption << "\" \""
                 << service::kMissingFunctionText << "\" -> OK\n";
        };
        const std::unique_ptr<ITempFiles> tempFiles = os::tempFiles();
        std::unique_ptr<IClock> clock;
        std::unique_ptr<IUsbControl> usb;
        std::unique_ptr<sim::SimBootloader> bootloader;
        std::unique_ptr<ILibraryLoader> loader;
        if (simulateBootloader_) {
            sim::SimBootloaderConfig config;
            try {
                config = sim::parseSimBootloaderSetup(bootloaderSetup_);
            } catch (const std::invalid_argument& e) {
                err_ << "cvkeys-cli: --simulate-bootloader: " << e.what() << "\n";
                return 2;
            }
            clock = std::make_unique<sim::VirtualClock>();
            bootloader = std::make_unique<sim::SimBootloader>(*clock, config);
            if (!trace_.empty() && !bootloader->transcript().setFile(trace_)) {
                err_ << "cvkeys-cli: cannot write the trace file '" << trace_ << "'\n";
                return 2;
            }
        } else {
            if (!trace_.empty()) {
                err_ << "cvkeys-cli: --trace records simulated devices only; add --simulate-bootloader\n";
                return 2;
            }
            clock = os::systemClock();
            loader = os::programmingLibraryLoader();
            usb = os::usbControl();
        }
        // A simulated device is programmed by our own backend only.
        service::CFirmwareService service(bootloader ? nullptr : loader.get(),
                                          bootloader ? bootloader.get() : usb.get(), *tempFiles, *clock,
                                          missing);
        int rc = 0;
        {
            FirmwareListing listing(out_);
            rc = service.update(file, listing);
        }
        if (rc != service::kUpdateOk)
            out_ << service::updateFailedText(rc) << "\n";
        if (rc == service::kNoIspBackend)
            err_ << "cvkeys-cli: no programming backend: neither " << os::programmingLibraryFile()
                 << " nor USB access is available\n";
        return rc;
    }

    int profileFileCommand()
    {
        const bool exporting = *profileVerb_ == "export-profiles";
        if (profileArgs_.empty() || (!exporting && profileArgs_.size() != 1)) {
            err_ << "cvkeys-cli: usage: "
                 << (exporting ? "export-profiles FILE [NAME...]" : "import-profiles FILE [--replace]")
                 << "\n";
            return 2;
        }
        if (exporting && replace_) {
            err_ << "cvkeys-cli: --replace is for import-profiles FILE\n";
            return 2;
        }
        const std::string& file = profileArgs_.front();
        if (!exporting && listF_) {
            err_ << "cvkeys-cli: import-profiles takes the list the file names; --list is for "
                    "export-profiles\n";
            return 2;
        }
        // The profiles only: no start-up (a first run would add its default
        // profiles), and the attached model only when it picks the list.
        if (exporting && !listF_ ? !ensureController() : !openStore())
            return 1;
        if (exporting) {
            const bool listF = listF_ ? *listF_ : usesProfileListF(controller_->device().modelCode);
            const std::vector<std::string> names(profileArgs_.begin() + 1, profileArgs_.end());
            ProfileTransfer t = exportProfiles(*store_, listF, names);
            if (!t.ok) {
                err_ << "cvkeys-cli: export-profiles: " << t.message << "\n";
                return 1;
            }
            std::string error;
            if (!writeWholeFile(file, t.text, error)) {
                err_ << "cvkeys-cli: export-profiles: " << error << "\n";
                return 1;
            }
            out_ << "export-profiles: " << t.message << " written to " << file << "\n";
            for (const std::string& n : t.names)
                out_ << "  " << n << "\n";
            return 0;
        }
        std::string text;
        std::string error;
        if (!readWholeFile(file, kMaxProfileFileBytes, text, error)) {
            err_ << "cvkeys-cli: import-profiles: " << error << "\n";
            return 1;
        }
        ProfileTransfer t = importProfiles(*store_, text, replace_);
        if (!t.ok) {
            err_ << "cvkeys-cli: import-profiles " << file << ": " << t.message << "; nothing was changed\n";
            return 1;
        }
        out_ << "import-profiles: " << t.message << "\n";
        for (const std::string& n : t.names)
            out_ << "  " << n << "\n";
        return 0;
    }

    bool openStore()
    {
        if (store_)
            return true;
        if (settingsPath_ == ":memory:")
            store_ = std::make_unique<MemorySettingsStore>();
        else if (!settingsPath_.empty()) {
            std::string problem;
            store_ = os::settingsAt(settingsPath_, &problem);
            if (!store_) {
                err_ << "cvkeys-cli: --settings " << settingsPath_ << ": " << problem << "\n";
                return false;
            }
        } else
            store_ = os::userSettings("cvkeys");
        return true;
    }

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
            clock_ = os::systemClock();
            systemBus_ = os::systemHidBus();
            bus_ = systemBus_.get();
            hotplug_ = os::hotplugMonitor();
            // The enumeration is kept between hotplug events only when every
            // event is seen.
            if (hotplug_) {
                cachingBus_ = std::make_unique<CachingHidBus>(*systemBus_);
                bus_ = cachingBus_.get();
            }
        } else {
            clock_ = std::make_unique<sim::VirtualClock>();
            simBus_ = std::make_unique<sim::SimBus>(*clock_);
            if (!trace_.empty() && !simBus_->transcript().setFile(trace_)) {
                err_ << "cvkeys-cli: cannot write the trace file '" << trace_ << "'\n";
                return false;
            }
            for (const std::string& setup : simulate_) {
                if (setup == "none")
                    continue;
                try {
                    simBus_->attach(setup);
                } catch (const std::invalid_argument& e) {
                    err_ << "cvkeys-cli: --simulate " << setup << ": " << e.what() << "\n";
                    return false;
                }
            }
            bus_ = simBus_.get();
        }
        if (!openStore())
            return false;
        app_.startUp(*store_, startOptions_,
                     [this](const std::string& preset) { return view_.askLanguage(preset); });
        system_.swapped = swapped_;
        system_.screens = {{0, 0, desktopWidth_, 1080}};
        controller_ =
            std::make_unique<CMainController>(MainPorts{*bus_, *clock_, view_, *store_, system_, &layout()});
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
        static constexpr Simple kCommands[] = {{"refresh", kCmdRefresh},
                                               {"apply", kCmdApply},
                                               {"ok", kCmdOk},
                                               {"cancel", kCmdCancel},
                                               {"restore-defaults", kCmdRestoreDefaults}};
        for (const Simple& s : kCommands) {
            if (verb == s.verb && rest.empty()) {
                if (!ensureController())
                    return 2;
                runCommand(s.command);
                return 0;
            }
        }
        if (verb == "texts" && rest.empty()) {
            out_ << languageTemplate();
            return 0;
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
        if (verb == "tick" || verb == "plug" || verb == "unplug")
            return presenceStep(verb, rest);
        if (verb == "keytext" || verb == "strokes" || (verb == "labels" && rest.empty()))
            return keyStep(verb, rest);
        if (verb == "button" || verb == "describe" || verb == "hint" || verb == "slider" || verb == "spot")
            return buttonStep(verb, rest);
        if (verb == "keyboard") {
            int word = 0;
            if (rest == "cancel") {
                view_.nextKeyWord = std::optional<uint16_t>();
            } else if (parseInt(rest, word) && word >= 0 && word <= 0xFFFF) {
                // The dialog's own rules shape the word; with nothing selected
                // its OK button cannot be pressed.
                KeyboardModel model(static_cast<uint16_t>(word));
                view_.nextKeyWord =
                    model.okEnabled() ? std::optional<uint16_t>(model.keyWord()) : std::nullopt;
            } else {
                return usageError("keyboard takes a key word such as 0x0106, or cancel");
            }
            return 0;
        }
        if (verb == "signature") {
            if (rest == "cancel")
                view_.nextSignature = std::optional<std::u16string>();
            else
                view_.nextSignature = std::optional<std::u16string>(utf16FromUtf8(unescape(rest)));
            return 0;
        }
        if (verb == "profile-name") {
            if (rest.empty())
                return usageError("profile-name takes a name or cancel");
            view_.nextProfileName =
                rest == "cancel" ? std::optional<std::string>() : std::optional<std::string>(rest);
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
                if (!profileAt(controller_->profiles().list(), number)) {
                    err_ << "cvkeys-cli: the menu has no profile " << number << "\n";
                    return 1;
                }
                runCommand(kCmdTrayProfileFirst + number);
            } else {
                runCommand(number);
            }
            return 0;
        }
        if (verb == "desktop-mouse" && rest.empty())
            return desktopMouse();
        if (verb == "list" && rest.empty())
            return ensureController() ? list() : 2;
        if (verb == "show")
            return show(rest);
        if (verb == "pump")
            return pump(rest);
        err_ << "cvkeys-cli: unknown step '" << step << "'\n";
        return 2;
    }

    // What the desktop says about the mouse, and where it says it: the
    // window asks the swapped-buttons question when this disagrees with the
    // device. The run itself keeps --swapped-buttons.
    int desktopMouse()
    {
        const os::DesktopMouse mouse = os::desktopMouse();
        out_ << "desktop: " << mouse.desktop << "\n";
        out_ << "buttons swapped: " << (mouse.swapped ? "yes" : "no") << " (" << mouse.swapSource << ")\n";
        if (mouse.wheelLines)
            out_ << "wheel scroll lines: " << *mouse.wheelLines << " (" << mouse.wheelSource << ")\n";
        else
            out_ << "wheel scroll lines: none (" << mouse.wheelSource << ")\n";
        return 0;
    }

    IKeyboardLayout& layout()
    {
        if (!layout_)
            layout_ = os::sessionLayout();
        return *layout_;
    }

    int keyStep(const std::string& verb, const std::string& rest)
    {
        if (verb == "keytext") {
            int word = 0;
            if (!parseInt(rest, word) || word < 0 || word > 0xFFFF)
                return usageError("keytext takes a key word such as 0x0106");
            out_ << keyText(static_cast<uint16_t>(word), layout()) << "\n";
        } else if (verb == "strokes") {
            const StrokeConversion c = textToStrokes(utf16FromUtf8(rest), layout());
            out_ << "strokes: " << c.count << " (limit " << c.lengthLimit << ")\n";
            for (int i = 0; i < c.count; ++i)
                out_ << fmt::format("  {:3}: 0x{:02X} 0x{:02X}\n", i, c.strokes[i].usage,
                                    c.strokes[i].modifier);
        } else {
            out_ << "layout: " << layout().name() << "\n";
            for (int i = 0; i < static_cast<int>(kKeyTable.size()); ++i) {
                const KeyLabels l = keyLabels(i, layout());
                out_ << fmt::format("  0x{:04X} {:<12} \"{}\" \"{}\" \"{}\"\n", kKeyTable[i].code,
                                    kKeyTable[i].name ? kKeyTable[i].name : "", l.plain, l.shift, l.ctrlAlt);
            }
        }
        return 0;
    }

    int buttonStep(const std::string& verb, const std::string& rest)
    {
        std::istringstream words(rest);
        std::string first, second;
        words >> first >> second;
        int value = 0;
        if (verb == "spot") {
            if (rest != "decrease" && rest != "increase")
                return usageError("spot takes decrease or increase");
            if (!ensureController())
                return 2;
            if (!controller_->sensitivitySpot(rest == "increase")) {
                out_ << "spot: no sensitivity spots on this device\n";
                return 0;
            }
            out_ << fmt::format("cursor speed: {}\n", controller_->config().block[kPosCursorSpeed]);
            return 0;
        }
        if (verb == "slider") {
            int x = 0;
            if (!parseInt(first, value) || value < 0 || value > 3 || !parseInt(second, x))
                return usageError("slider takes a row 0..3 and an x position");
            if (!ensureController())
                return 2;
            controller_->dropKnob(value, x);
            const int position = value == 0 ? kPosCursorSpeed : 59 + value;
            out_ << fmt::format("slider {}: position {} = {} (knob at x {})\n", value, position,
                                controller_->config().block[position], knobX(value, controller_->config()));
            return 0;
        }
        if (verb == "hint") {
            if (!parseInt(rest, value))
                return usageError("hint takes a menu command number");
            if (!ensureController())
                return 2;
            std::string itemText;
            if (const MenuItem* item = findMenuItem(lastMenu_, value))
                itemText = item->text;
            const std::optional<std::string> hint = menuHint(value, itemText);
            out_ << (hint ? *hint : std::string("(no hint)")) << "\n";
            return 0;
        }
        if (!parseInt(first, value) || value < 0 || value > 9 ||
            (verb == "button" && !second.empty() && second != "ctrl"))
            return usageError(verb + " takes a button number 0..9" +
                              (verb == "button" ? " and optionally ctrl" : ""));
        if (!ensureController())
            return 2;
        CMainController& c = *controller_;
        if (verb == "describe") {
            const Description d = describe(describeContext(c.device(), c.config(), c.window().fadeLevel),
                                           value, DescriptionForm::Hover, keyTextFn());
            out_ << d.text << "\n";
            return 0;
        }
        // The window's rule: no menu without a single device or on a button
        // the picture does not show.
        std::optional<std::vector<MenuItem>> menu = c.openButtonMenu(value, second == "ctrl");
        if (!menu) {
            out_ << "no menu\n";
            return 0;
        }
        lastMenu_ = std::move(*menu);
        out_ << menuTree(lastMenu_);
        return 0;
    }

    // One period of the window's 100 ms timers.
    void tickOnce()
    {
        CMainController& c = *controller_;
        clock_->sleepMs(100);
        if (hotplug_)
            for (HotplugEvent e : hotplug_->drain())
                c.deviceChanged(e == HotplugEvent::Arrival);
        c.pollDeviceChange();
        drainPosted();
        c.updateFadeAndButtons();
        c.pollWirelessStatus();
        drainPosted();
    }

    int deploy(const std::string& profile)
    {
        if (!plugSteps_.empty() && simulate_.empty()) {
            err_ << "cvkeys-cli: --simulate-plug and --simulate-unplug need simulated devices (--simulate "
                    "none)\n";
            return 2;
        }
        std::ofstream log;
        if (!deployLog_.empty()) {
            // Appended, never truncated: a log of many sessions.
            const bool fresh = !std::ifstream(deployLog_).good() || std::ifstream(deployLog_).peek() == EOF;
            log.open(deployLog_, std::ios::app | std::ios::binary);
            if (!log) {
                err_ << "cvkeys-cli: --log " << deployLog_ << ": cannot write the file\n";
                return 2;
            }
            if (fresh)
                log << "time,model,firmware,device id,result\n" << std::flush;
        }
        if (!ensureController())
            return 2;
        sim::SimPlugPlan* plan = nullptr;
        if (simBus_) {
            auto owned = std::make_unique<sim::SimPlugPlan>(*simBus_, *clock_, plugSteps_);
            plan = owned.get();
            hotplug_ = std::move(owned);
        }
        std::vector<std::string> messages;
        view_.collectMessages = &messages;
        stopRequestedFlag() = 0;
        installInterruptHandler();
        int64_t quietSince = -1;
        int ticks = 0;
        DeployPorts ports{
            *controller_,
            *clock_,
            [this, &ticks] {
                tickOnce();
                // Without a hotplug monitor (no udev here) arrivals come only
                // from a scan of our own, once a second.
                if (!simBus_ && (!hotplug_ || hotplug_->fd() < 0) && ++ticks % 10 == 0) {
                    controller_->scanDevices();
                    drainPosted();
                }
            },
            [this, plan, &quietSince] {
                if (stopRequestedFlag())
                    return true;
                if (!simBus_)
                    return false;
                // A simulation ends when nothing is planned any more and the
                // last device has had its time to be scanned.
                if (!plan->finished() || controller_->device().deviceCount != 0) {
                    quietSince = -1;
                    return false;
                }
                if (quietSince < 0)
                    quietSince = clock_->nowMs();
                return clock_->nowMs() - quietSince > 5000;
            },
            [this] { return simBus_ ? fmt::format("t+{}ms", clock_->nowMs()) : localTimeText(); },
            [this, &log](const DeployRecord& r) {
                out_ << r.time << "  " << r.model << "  " << (r.firmware.empty() ? "-" : r.firmware) << "  "
                     << (r.deviceId.empty() ? "-" : r.deviceId) << "  " << r.result << "\n"
                     << std::flush;
                if (!r.ok)
                    err_ << '\a' << std::flush;
                if (log.is_open())
                    log << csvField(r.time) << ',' << csvField(r.model) << ',' << csvField(r.firmware) << ','
                        << csvField(r.deviceId) << ',' << csvField(r.result) << '\n'
                        << std::flush;
            },
            [&messages] { return std::exchange(messages, {}); },
        };
        if (!simBus_)
            out_ << "deploy: waiting for a device (Ctrl-C ends)\n" << std::flush;
        const DeployOutcome o = runDeploy(ports, profile, deployCount_);
        view_.collectMessages = nullptr;
        out_ << fmt::format("deploy: {} device{} set up, {} failed{}\n", o.done - std::min(o.done, o.failed),
                            o.done - std::min(o.done, o.failed) == 1 ? "" : "s", o.failed,
                            o.stopped && deployCount_ && o.done < deployCount_ ? " (stopped early)" : "");
        return o.failed == 0 && !(deployCount_ && o.done < deployCount_) ? 0 : 1;
    }

    int presenceStep(const std::string& verb, const std::string& rest)
    {
        if (!ensureController())
            return 2;
        CMainController& c = *controller_;
        if (verb == "tick") {
            int ticks = 1;
            if (!rest.empty() && (!parseInt(rest, ticks) || ticks < 0 || ticks > 1000000))
                return usageError("tick takes a number of 100 ms periods");
            for (int i = 0; i < ticks; ++i)
                tickOnce();
            return 0;
        }
        if (!simBus_)
            return usageError(verb + " needs simulated devices (--simulate)");
        if (verb == "plug") {
            try {
                simBus_->attach(rest);
            } catch (const std::invalid_argument& e) {
                err_ << "cvkeys-cli: plug " << rest << ": " << e.what() << "\n";
                return 2;
            }
            c.deviceChanged(true);
            return 0;
        }
        int pid = 0;
        try {
            size_t used = 0;
            pid = std::stoi(rest, &used, 16);
            if (used != rest.size())
                throw std::invalid_argument(rest);
        } catch (const std::exception&) {
            return usageError("unplug takes a product id in hex, such as 08");
        }
        if (!simBus_->unplug(static_cast<uint16_t>(pid))) {
            err_ << "cvkeys-cli: no simulated device with product id " << rest << "\n";
            return 1;
        }
        c.deviceChanged(false);
        return 0;
    }

    KeyTextFn keyTextFn()
    {
        return [this](uint16_t word) { return keyText(word, layout()); };
    }

    int usageError(const std::string& message)
    {
        err_ << "cvkeys-cli: " << message << "\n";
        return 2;
    }

    void runCommand(int command)
    {
        if (command == kCmdApply || command == kCmdOk) {
            const WriteResult result =
                command == kCmdOk ? controller_->okCommand() : controller_->runWriteSequence();
            switch (result) {
            case WriteResult::Verified: out_ << "apply: written and verified\n"; break;
            case WriteResult::SentUnconfirmed: out_ << "apply: sent (the device does not confirm)\n"; break;
            case WriteResult::Failed:
            case WriteResult::Refused:
            case WriteResult::Interrupted: out_ << "apply: not written\n"; break;
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

    int show(const std::string& args)
    {
        std::istringstream words(args);
        std::string what, hoverWord;
        words >> what >> hoverWord;
        if (what == "picture") {
            int hovered = kItemNone;
            if (!hoverWord.empty() && !parseInt(hoverWord, hovered))
                return usageError("show picture [N]: N is an item number");
            if (!ensureController())
                return 2;
            showPicture(hovered);
            return 0;
        }
        if (what != args)
            return usageError("show block|reference|state|store|profiles|tray|labels|picture [N]");
        if (what != "block" && what != "reference" && what != "state" && what != "store" &&
            what != "profiles" && what != "tray" && what != "labels")
            return usageError("show block|reference|state|store|profiles|tray|labels");
        if (!ensureController())
            return 2;
        const CMainController& c = *controller_;
        if (what == "block" || what == "reference") {
            const auto& bytes = what == "block" ? c.config().block : c.config().reference;
            out_ << hexLines(bytes.data(), c.config().exchangedLength);
        } else if (what == "state") {
            showState();
        } else if (what == "labels") {
            const DescribeContext context = describeContext(c.device(), c.config(), c.window().fadeLevel);
            const int buttons =
                describesNineButtons(c.device().modelCode, c.device().receiverPresent()) ? 9 : 5;
            for (int n = 0; n <= buttons; ++n)
                out_ << (n == 0 ? std::string("pad") : fmt::format("button {}", n)) << ": "
                     << describe(context, n, DescriptionForm::Caption, keyTextFn()).text << "\n";
        } else if (what == "profiles") {
            showProfiles();
        } else if (what == "tray") {
            for (const TrayMenuItem& item : c.profiles().trayMenu()) {
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

    void showPicture(int hovered)
    {
        const CMainController& c = *controller_;
        const DeviceState& s = c.device();
        static constexpr const char* kPictures[] = {"no-device", "arvel",    "arvel2", "essom",
                                                    "dorrin",    "wireless", "brill"};
        static constexpr const char* kAligns[] = {"middle left", "left",        "centre",
                                                  "right",       "bottom left", "bottom right"};
        out_ << "picture: " << kPictures[static_cast<int>(pictureKind(s))] << "\n";
        // The area's own coordinates: its top at 0, its bottom B at the window's height for it.
        constexpr int kBottom = 315;
        const DescribeContext context = describeContext(s, c.config(), c.window().fadeLevel);
        for (const PictureLabel& label : pictureLabels(s, kBottom, hovered, c.window().fadeLevel)) {
            const Description caption =
                describe(context, label.button, DescriptionForm::Caption, keyTextFn());
            out_ << fmt::format("label {}: {},{} {}x{} {} rgb({},{},{}) \"{}\"\n", label.button,
                                label.rect.left, label.rect.top, label.rect.right - label.rect.left,
                                label.rect.bottom - label.rect.top, kAligns[static_cast<int>(label.align)],
                                label.colour.red, label.colour.green, label.colour.blue,
                                escaped(caption.text));
        }
        for (int row = 0; row < kSliderRows; ++row)
            if (rowVisible(row, s, c.window().settingsViewOpen))
                out_ << fmt::format("slider {}: knob at x {}\n", row, knobX(row, c.config()));
        out_ << "settings view: "
             << (!c.window().wirelessPicture   ? "none"
                 : c.window().settingsViewOpen ? "open"
                                               : "closed")
             << "\n";
        const StatusBand band = statusBand(s, c.config(), hovered, c.window().fadeLevel, keyTextFn());
        for (const StatusLine& line : band.lines) {
            out_ << "status" << (line.heading ? " heading" : "");
            if (line.colour)
                out_ << fmt::format(" rgb({},{},{})", line.colour->red, line.colour->green,
                                    line.colour->blue);
            out_ << ": " << escaped(line.text) << "\n";
        }
        if (band.symbol != StatusSymbol::None)
            out_ << "symbol: " << static_cast<int>(band.symbol) << "\n";
    }

    void showProfiles()
    {
        const CMainController& c = *controller_;
        const CProfileSession& profiles = c.profiles();
        out_ << "profiles" << (usesProfileListF(c.device().modelCode) ? " (F list)" : "") << ":\n";
        int n = 0;
        for (const CProfileClass& p : profiles.list()) {
            out_ << fmt::format("  {} \"{}\"", n++, p.name) << (p.modified ? " modified" : "")
                 << (&p == profiles.active() ? " active" : "") << "\n";
        }
        out_ << "selector:\n";
        const std::vector<SelectorLine>& lines = profiles.selector();
        for (size_t i = 0; i < lines.size(); ++i)
            out_ << "  \"" << lines[i].name << "\""
                 << (static_cast<int>(i) == profiles.currentLine() ? " *" : "") << "\n";
    }

    void showState()
    {
        const CMainController& c = *controller_;
        const DeviceState& s = c.device();
        const WindowState& w = c.window();
        const CWirelessStatus& wireless = c.wireless();
        auto trimmed = [](std::string t) {
            while (!t.empty() && (t.back() == '\n' || t.back() == '\r'))
                t.pop_back();
            return t;
        };
        out_ << "devices: " << s.deviceCount << "\n"
             << "model: " << s.modelCode << "\n"
             << fmt::format("firmware: 0x{:04X}\n", s.firmwareVersion)
             << "exchanged length: " << c.config().exchangedLength << "\n"
             << "title: " << view_.title << "\n"
             << "device path: "
             << (view_.controlTexts.count(kCtlDevicePath) ? view_.controlTexts.at(kCtlDevicePath) : "")
             << "\n"
             << "hardware version: " << trimmed(s.hardwareVersionText) << "\n"
             << "firmware text: " << w.firmwareText << "\n"
             << "serial: " << w.serialText << "\n"
             << "tray tip: " << escaped(view_.trayTip) << "\n"
             << "tray icon: " << (view_.trayIcon == kIconNoDevice ? "no device" : "normal") << "\n";
        std::string on, off;
        for (const auto& [id, enabled] : view_.enabled())
            (enabled ? on : off) += " " + std::to_string(id);
        out_ << "enabled:" << on << "\n"
             << "disabled:" << off << "\n"
             << "busy: " << (s.busy ? 1 : 0) << "\n"
             << "transfer mark: " << w.transferMark << "\n"
             << "fade level: " << w.fadeLevel << "\n"
             << "signal level: " << wireless.signalLevel() << "\n"
             << "battery: " << wireless.batteryState() << " (" << wireless.batteryPercent() << " %)\n"
             << "link value: " << wireless.linkValue() << "\n"
             << "apply button: " << (w.applyEnabled ? "enabled" : "disabled") << "\n"
             << "read failed: " << (w.readFailed ? 1 : 0) << "\n";
    }

    int list()
    {
        controller_->scanDevices();
        const DeviceState& s = controller_->device();
        out_ << "devices: " << s.deviceCount << "\n";
        if (s.deviceCount >= 100)
            out_ << "status: " << text(kTxtNeedsNewerProgram) << "\n";
        else if (s.deviceCount > 1)
            out_ << "status: " << text(kTxtSeveralDevices) << "\n";
        else if (s.deviceCount <= 0 && !s.receiverPresent())
            out_ << "status: " << text(kTxtNoDevice) << "\n";
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
            out_ << cvk::kPermissionDenied << "\n" << cvk::kPermissionFix << "\n";
        return 0;
    }

    std::ostream& out_;
    std::ostream& err_;
    std::vector<std::string> simulate_;
    std::optional<std::string> deployProfile_;
    int deployCount_ = 0;
    std::string deployLog_;
    std::vector<sim::PlugStep> plugSteps_;
    std::optional<std::string> profileVerb_;
    std::vector<std::string> profileArgs_;
    std::optional<bool> listF_;
    bool replace_ = false;
    bool simulateBootloader_ = false;
    std::string bootloaderSetup_;
    std::optional<std::string> firmwareFile_;
    std::string trace_;
    std::string settingsPath_;
    int desktopWidth_ = 1920;
    bool swapped_ = false;

    std::unique_ptr<IKeyboardLayout> layout_;
    std::unique_ptr<IHotplugMonitor> hotplug_;
    std::vector<MenuItem> lastMenu_;
    StartOptions startOptions_;
    CliView view_;
    FixedSystemSettings system_;
    CCorvaneApp app_;
    std::unique_ptr<IClock> clock_;
    std::unique_ptr<sim::SimBus> simBus_;
    std::unique_ptr<IHidBus> systemBus_;
    std::unique_ptr<IHidBus> cachingBus_;
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
