#include "app/deploy.h"

#include <fmt/format.h>

#include "device/models.h"
#include "profiles/profile_store.h"
#include "texts/text_ids.h"
#include "texts/texts.h"

namespace cvk {

namespace {

// A device to set up: one model on its cable (a receiver alone carries no
// configuration of its own to write).
bool oneDevice(const DeviceState& s) { return s.deviceCount == 1 && s.modelCode > 0; }

// A receiver may stay plugged in the whole time: only the pads count.
bool noPad(const DeviceState& s) { return s.deviceCount == 0; }

std::string joined(const std::vector<std::string>& messages)
{
    std::string out;
    for (const std::string& m : messages)
        out += (out.empty() ? "" : "; ") + m;
    return out;
}

}  // namespace

DeployOutcome runDeploy(DeployPorts& ports, const std::string& profile, int count)
{
    CMainController& c = ports.controller;
    DeployOutcome outcome;
    // A device already attached when the run starts is the first one.
    while (count == 0 || outcome.done < count) {
        // Until one device is there and read (the scan posts the Refresh that
        // reads it), or two are.
        bool several = false;
        // The tick that scans a new device also runs the Refresh the scan
        // posts, so a device seen here has been read (or failed to be).
        while (!oneDevice(c.device())) {
            if (c.device().deviceCount > 1) {
                several = true;
                break;
            }
            if (ports.stopRequested()) {
                outcome.stopped = true;
                return outcome;
            }
            ports.tick();
        }
        DeployRecord r;
        r.time = ports.now();
        const DeviceState& s = c.device();
        if (several) {
            r.model = "-";
            r.result = fmt::format("refused: {}", text(kTxtSeveralDevices));
            r.ok = false;
        } else {
            r.model = displayName(s.modelCode);
            r.firmware = fmt::format("0x{:04X}", s.firmwareVersion);
            const std::string& serial = c.window().serialText;
            r.deviceId = serial.rfind("S/N: ", 0) == 0 ? serial.substr(5) : serial;
            const std::string readSaid = joined(ports.takeMessages());
            // The exact name only: a prefix could apply another profile.
            int line = -1;
            const auto& lines = c.profiles().selector();
            for (std::size_t i = 0; i < lines.size(); ++i)
                if (lines[i].name == profile)
                    line = static_cast<int>(i);
            if (c.window().readFailed) {
                r.result = "not written: the configuration could not be read" +
                           (readSaid.empty() ? std::string() : ": " + readSaid);
            } else if (line < 0) {
                r.result = fmt::format("not written: the {} list has no profile '{}'",
                                       usesProfileListF(s.modelCode) ? "F" : "classic", profile);
            } else {
                c.selectLine(line);
                const WriteResult w = c.runWriteSequence();
                r.ok = w == WriteResult::Verified || w == WriteResult::SentUnconfirmed;
                r.result = w == WriteResult::Verified          ? "written and verified"
                           : w == WriteResult::SentUnconfirmed ? "sent (the device does not confirm)"
                                                               : "not written";
                const std::string said = joined(ports.takeMessages());
                if (!r.ok && !said.empty())
                    r.result += ": " + said;
            }
            ++outcome.done;
        }
        if (!r.ok)
            ++outcome.failed;
        ports.record(r);
        // The next device is the next one plugged in.
        while (!noPad(c.device())) {
            if (ports.stopRequested()) {
                outcome.stopped = true;
                return outcome;
            }
            ports.tick();
        }
        c.forgetIdentity();
    }
    return outcome;
}

}  // namespace cvk
