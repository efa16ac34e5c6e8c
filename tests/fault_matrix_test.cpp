// Every report of a full configuration read and of a full write, and every
// control transfer of a firmware update, with each fault of the simulator at
// that point: no wait past the protocol's bounds, no success the device did
// not give, and nothing a failed step could spoil (reference copy, stored
// profiles, settings) changed by it.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "app/main_controller.h"
#include "config/thresholds.h"
#include "device/config_transfer.h"
#include "device/hid_channel.h"
#include "device/models.h"
#include "firmware/hex_records.h"
#include "os_test_backends.h"
#include "service/firmware_update.h"
#include "service/isp_dfu.h"
#include "sim/bootloader.h"
#include "temp_dir.h"
#include "test_support.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;

enum class Phase {
    FirstRead,  // the read when the window opens, of a device never seen before
    Read,       // Refresh, on a device read and written before
    Write,
    Firmware,
};

enum class Fault {
    NoAnswerFrom,  // at every index: the device is silent from that report on
    UnplugAfter,   // at every index: the device is gone from that report on
    // Once per model and phase: every reply has a wrong byte 0. Not per
    // index, as the fault holds for the device's whole life.
    WrongEcho,
    // Once per model that verifies: the first (attempts - 1) x length + 1
    // block bytes are stored inverted, the fewest that spoil every attempt.
    CorruptEveryAttempt,
    // One byte fewer: the last attempt is clean and may verify, which keeps
    // the check on a verified write from passing only vacuously.
    CorruptAllButLast,
    // Firmware, once: the bootloader stays busy after the erase far longer
    // than the update waits for it.
    EraseNeverEnds,
};

struct MatrixCase {
    std::string setup;  // a model for the simulator, or the bootloader's keys
    Phase phase;
    Fault fault;
};

std::vector<MatrixCase> matrix()
{
    std::vector<MatrixCase> cases;
    std::vector<std::string> setups;
    for (const std::string& model : sim::simModelNames()) {
        // The receiver alone has no block of its own to read or write; what
        // it shows is the stored copy, which no report of it can spoil.
        if (model != "receiver")
            setups.push_back(model);
    }
    // Firmware that takes other paths: string 16 and the firmware text, the
    // positions 32 up; below 0x31A the resolution-mode rule; the wake-up
    // loops waiting (their first requests of each kind answer "not ready").
    for (const char* other : {"essom:fw=0x1320", "arvel:fw=0x0310", "dorrin-receiver:wake-after=3"})
        setups.emplace_back(other);
    for (const std::string& model : setups) {
        for (Phase p : {Phase::FirstRead, Phase::Read})
            for (Fault f : {Fault::NoAnswerFrom, Fault::UnplugAfter, Fault::WrongEcho})
                cases.push_back({model, p, f});
        for (Fault f : {Fault::NoAnswerFrom, Fault::UnplugAfter, Fault::WrongEcho, Fault::CorruptEveryAttempt,
                        Fault::CorruptAllButLast})
            cases.push_back({model, Phase::Write, f});
    }
    cases.push_back({"", Phase::Firmware, Fault::UnplugAfter});
    cases.push_back({"busy-polls=1000,poll-ms=100", Phase::Firmware, Fault::EraseNeverEnds});
    return cases;
}

const char* faultName(Fault f)
{
    switch (f) {
    case Fault::NoAnswerFrom: return "no-answer-from";
    case Fault::UnplugAfter: return "unplug-after";
    case Fault::WrongEcho: return "wrong-echo";
    case Fault::CorruptEveryAttempt: return "corrupt-every-attempt";
    case Fault::CorruptAllButLast: return "corrupt-all-but-last";
    case Fault::EraseNeverEnds: return "erase-never-ends";
    }
    return "?";
}

const char* phaseName(Phase p)
{
    switch (p) {
    case Phase::FirstRead: return "first read";
    case Phase::Read: return "read";
    case Phase::Write: return "write";
    case Phase::Firmware: return "firmware";
    }
    return "?";
}

bool perIndex(Fault f) { return f == Fault::NoAnswerFrom || f == Fault::UnplugAfter; }

// ---------------------------------------------------------------- bounds

// One output report and its reply, each waited for at most the report bound.
constexpr int64_t kExchangeMs = 2 * kReportTimeoutMs;
// A send that fails every retry before the transfer gives up: five writes,
// each followed by the re-open pause, then the last write. It happens once:
// the transfer ends with it.
constexpr int64_t kGiveUpMs = kSendAttempts * (kReportTimeoutMs + kReopenPauseMs) + kReportTimeoutMs;
// The pause after each request of the Dorrin receiver's wake-up loops.
constexpr int64_t kWakePauseMs = 100;
constexpr int64_t kFetchLoopMs = kWakeAttempts * (kExchangeMs + kWakePauseMs);
constexpr int64_t kStoreLoopMs = (kWakeAttempts + kStoreTailAttempts) * (kExchangeMs + kWakePauseMs);
// The register family's pause after a read-back that did not match.
constexpr int64_t kRetryPauseMs = 100;

// A faulty read asks each address at most kBlockReadAttemptsPerAddress
// times: at most that many times every report of the clean read, each
// exchange bounded, plus the clean read's own pauses, the fetch loop and one
// give-up.
int64_t readBoundMs(int reports, int64_t cleanMs, bool wakes)
{
    return cleanMs + int64_t{kBlockReadAttemptsPerAddress} * reports * kExchangeMs +
           (wakes ? kFetchLoopMs : 0) + kGiveUpMs;
}

// A faulty write repeats at most kWriteAttempts times what the clean write
// did (its reports, each exchange bounded, and its pauses), with the pause
// after a failed read-back and the store loop each time, and one give-up.
int64_t writeBoundMs(int reports, int64_t cleanMs, bool wakes)
{
    return int64_t{kWriteAttempts} *
               (cleanMs + reports * kExchangeMs + kRetryPauseMs + (wakes ? kStoreLoopMs : 0)) +
           kGiveUpMs;
}

// The DFU backend waits at most 5 s for one control transfer and polls the
// erase for 20 s, with one poll pause of at most 1 s after the last look.
constexpr int64_t kDfuTransferBoundMs = 5000;
constexpr int64_t kDfuEraseBoundMs = 20000 + 1000;

// ---------------------------------------------------------------- controller rig

// Questions are answered No, so that a read never turns into a write (the
// swapped-buttons question would post one).
class MatrixView : public test::RecordingView {
public:
    MessageAnswer messageBox(const std::string& caption, const std::string&, MessageStyle style) override
    {
        messages.push_back(caption);
        return isQuestion(style) ? MessageAnswer::No : MessageAnswer::Ok;
    }
    std::vector<std::string> messages;
};

using Entries =
    std::vector<std::tuple<std::string, std::string, int, int64_t, std::string, std::vector<uint8_t>>>;

// Every entry of the store, in one order, for comparison.
Entries storeEntries(ISettingsStore& store)
{
    Entries result;
    for (const SettingEntry& e : store.all())
        result.emplace_back(e.section, e.entry, static_cast<int>(e.kind), e.integer, e.text, e.bytes);
    std::sort(result.begin(), result.end());
    return result;
}

// A device that was read, edited and written once, so that the reference
// copy, the profiles and the per-device copy all hold something a failed
// step could spoil.
struct Rig : test::ControllerRig<MatrixView> {
    explicit Rig(const std::string& setup) : device(sim.attach(setup)) {}

    // False when the device did not get that far without faults.
    bool prepare(Phase phase)
    {
        if (phase == Phase::FirstRead)
            return true;
        start();
        if (window().readFailed || state().deviceCount != 1)
            return false;
        config().block[2] ^= 0x01;
        return reachedDevice(c.runWriteSequence());
    }
    // The phase, with the fault armed `at` reports from its start.
    void run(Phase phase, Fault fault, int at)
    {
        if (phase == Phase::Write)
            config().block[3] ^= 0x01;
        const int base = device.reportCount();
        const int length = config().exchangedLength;
        sim::SimFaults& f = device.config().faults;
        switch (fault) {
        case Fault::NoAnswerFrom: f.noAnswerFrom = base + at; break;
        case Fault::UnplugAfter: f.unplugAfter = base + at; break;
        case Fault::WrongEcho: f.wrongEcho = true; break;
        case Fault::CorruptEveryAttempt: f.corruptWrites = (kWriteAttempts - 1) * length + 1; break;
        case Fault::CorruptAllButLast: f.corruptWrites = (kWriteAttempts - 1) * length; break;
        case Fault::EraseNeverEnds: break;
        }
        referenceBefore = config().reference;
        storeBefore = storeEntries(store);
        messagesBefore = view.messages.size();
        markBefore = sim.transcript().lines().size();
        const int64_t t0 = clock.nowMs();
        if (phase == Phase::FirstRead)
            start();
        else if (phase == Phase::Read)
            c.configurationRead();
        else
            result = c.runWriteSequence();
        runPosted();
        ms = clock.nowMs() - t0;
        reports = device.reportCount() - base;
    }
    // Whether the device's memory holds the exchanged bytes of the block.
    bool deviceHoldsBlock()
    {
        const auto& mine = config().block;
        return std::equal(mine.begin(), mine.begin() + config().exchangedLength, device.block().begin());
    }
    // The reports of this phase that would change the device's memory, sent
    // or attempted (a silent device logs what it was sent as no-answer).
    std::vector<std::vector<uint8_t>> changes() const
    {
        std::vector<std::vector<uint8_t>> found;
        const auto& lines = sim.transcript().lines();
        for (size_t k = markBefore; k < lines.size(); ++k) {
            const sim::TranscriptLine& l = lines[k];
            if (l.kind != "set-feature" && l.kind != "out" && l.kind != "no-answer")
                continue;
            const std::vector<uint8_t>& b = l.bytes;
            const bool change =
                b.size() == 8 ? b[0] == 0x82 || b[0] == 0x94 || b[0] == 0x95 || (b[0] == 0x84 && b[1] == 0x70)
                : b.size() >= 3 ? b[0] == 0x00 || (b[0] == 0x01 && b[1] == 0xFF && b[2] == 0xF8)
                                : false;
            if (change)
                found.push_back(b);
        }
        return found;
    }
    // The legacy apply report reached the device in this phase.
    bool legacyApplySent() const
    {
        const auto& lines = sim.transcript().lines();
        return std::any_of(
            lines.begin() + static_cast<long>(markBefore), lines.end(), [](const sim::TranscriptLine& l) {
                return l.kind == "set-feature" && l.bytes == std::vector<uint8_t>{0x00, 0xFF, 0xFF};
            });
    }

    sim::SimDevice& device;
    std::array<uint8_t, 256> referenceBefore{};
    Entries storeBefore;
    size_t messagesBefore = 0;
    size_t markBefore = 0;
    WriteResult result = WriteResult::Refused;
    int64_t ms = 0;
    int reports = 0;
};

// What the clean phase does on a prepared device.
struct Clean {
    int reports = 0;
    int64_t ms = 0;
    bool commandFamily = false;
    bool legacy = false;  // one apply report, nothing read back
    bool wakes = false;
    std::vector<std::vector<uint8_t>> changes;
};

Clean cleanRun(const std::string& setup, Phase phase)
{
    Rig rig(setup);
    Clean clean;
    EXPECT_TRUE(rig.prepare(phase)) << setup;
    // Something for a failed step to spoil: the written block's profiles.
    if (phase != Phase::FirstRead) {
        EXPECT_FALSE(storeEntries(rig.store).empty()) << setup;
    }
    // No fault within reach: the clean phase.
    rig.run(phase, Fault::NoAnswerFrom, 1 << 20);
    clean.reports = rig.reports;
    clean.ms = rig.ms;
    clean.commandFamily = rig.state().commandFamily();
    clean.legacy = !clean.commandFamily && rig.state().firmwareVersion < kSingleReportFirmwareBelow;
    clean.wakes = needsWakeUp(rig.state().modelCode);
    clean.changes = rig.changes();
    EXPECT_FALSE(rig.window().readFailed) << setup;
    if (phase == Phase::Write) {
        EXPECT_TRUE(reachedDevice(rig.result)) << setup;
    }
    return clean;
}

void checkRead(Rig& rig, const Clean& clean, const std::string& what)
{
    const auto& device = rig.device.block();
    const ConfigModel& model = rig.config();
    // The block holds nothing the device did not give: what the read did not
    // get is zero. The reference copy follows the block after every read, a
    // failed one included (it is then the cleared block, not the device's),
    // so it is not compared with the one before; it too holds nothing the
    // device did not give.
    for (size_t k = 0; k < model.block.size(); ++k) {
        ASSERT_TRUE(model.block[k] == 0 || model.block[k] == device[k]) << what << ": block position " << k;
        ASSERT_TRUE(model.reference[k] == 0 || model.reference[k] == device[k])
            << what << ": reference position " << k;
    }
    if (!rig.window().readFailed && !rig.state().noDevice()) {
        EXPECT_TRUE(rig.deviceHoldsBlock()) << what << ": a read shown as complete is not the device's block";
        return;
    }
    EXPECT_EQ(storeEntries(rig.store), rig.storeBefore) << what << ": a failed read changed the settings";
    // Nothing of a failed read may go to the device, neither by itself nor
    // through a write. The model set-up ahead of the read may send the
    // resolution mode to old firmware; the clean read does that as well.
    std::vector<std::vector<uint8_t>> unexpected = rig.changes();
    for (const std::vector<uint8_t>& c : clean.changes)
        if (const auto at = std::find(unexpected.begin(), unexpected.end(), c); at != unexpected.end())
            unexpected.erase(at);
    EXPECT_TRUE(unexpected.empty()) << what << ": a failed read sent a change, the first "
                                    << ::testing::PrintToString(unexpected.front());
    EXPECT_NE(rig.c.writeRefusal(), WriteRefusal::None) << what;
    const int before = rig.device.reportCount();
    EXPECT_EQ(rig.c.runWriteSequence(), WriteResult::Refused) << what;
    EXPECT_EQ(rig.device.reportCount(), before) << what << ": the refused write sent reports";
}

void checkWrite(Rig& rig, const Clean& clean, bool mustFail, const std::string& what)
{
    EXPECT_NE(rig.result, WriteResult::Interrupted) << what;
    if (rig.result == WriteResult::Verified) {
        EXPECT_TRUE(rig.deviceHoldsBlock()) << what << ": verified, but the device holds another block";
    }
    if (rig.result == WriteResult::SentUnconfirmed) {
        EXPECT_TRUE(clean.legacy) << what;
        EXPECT_TRUE(rig.legacyApplySent()) << what << ": sent, but the apply report never reached the device";
    }
    if (mustFail) {
        EXPECT_FALSE(reachedDevice(rig.result)) << what;
    }
    if (reachedDevice(rig.result))
        return;
    EXPECT_EQ(rig.result, WriteResult::Failed) << what;
    EXPECT_EQ(rig.view.messages.size(), rig.messagesBefore + 1) << what << ": one error message";
    EXPECT_EQ(rig.config().reference, rig.referenceBefore)
        << what << ": a failed write changed the reference";
    // The profiles are saved only by a write that reached the device, and the
    // per-device copy only by a verified one: no entry may change.
    EXPECT_EQ(storeEntries(rig.store), rig.storeBefore) << what << ": a failed write changed the settings";
}

void runControllerPhase(Phase phase)
{
    for (const MatrixCase& m : matrix()) {
        if (m.phase != phase)
            continue;
        const Clean clean = cleanRun(m.setup, phase);
        ASSERT_GT(clean.reports, 0) << m.setup;
        const bool corrupts = m.fault == Fault::CorruptEveryAttempt || m.fault == Fault::CorruptAllButLast;
        // A legacy write sends no block bytes to corrupt.
        if (corrupts && clean.legacy)
            continue;
        // The last report of a clean phase is the one that confirms it (the
        // last read-back, or the legacy apply report): a device silent or
        // gone before it cannot have confirmed anything. Wrong echoes spoil
        // every reply of the command family; the register family's feature
        // reports and strings have no echo.
        const bool mustFail =
            phase == Phase::Write && (perIndex(m.fault) || m.fault == Fault::CorruptEveryAttempt ||
                                      (m.fault == Fault::WrongEcho && clean.commandFamily));
        const int64_t bound = phase == Phase::Write ? writeBoundMs(clean.reports, clean.ms, clean.wakes)
                                                    : readBoundMs(clean.reports, clean.ms, clean.wakes);
        const int indexes = perIndex(m.fault) ? clean.reports : 1;
        for (int i = 0; i < indexes; ++i) {
            const std::string what = fmt::format("{} {} {}{}", m.setup, phaseName(phase), faultName(m.fault),
                                                 perIndex(m.fault) ? "=" + std::to_string(i) : "");
            Rig rig(m.setup);
            ASSERT_TRUE(rig.prepare(phase)) << what;
            rig.run(phase, m.fault, i);
            EXPECT_LE(rig.ms, bound) << what;
            if (phase != Phase::Write)
                checkRead(rig, clean, what);
            else
                checkWrite(rig, clean, mustFail, what);
            if (::testing::Test::HasFailure())
                return;  // one case's story is enough to read
        }
    }
}

TEST(FaultMatrix, FirstConfigurationRead) { runControllerPhase(Phase::FirstRead); }

TEST(FaultMatrix, ConfigurationRead) { runControllerPhase(Phase::Read); }

TEST(FaultMatrix, WriteSequence) { runControllerPhase(Phase::Write); }

// ---------------------------------------------------------------- firmware

class QuietLog final : public service::IUpdateLog {
public:
    void line(const std::string&) override {}
    void detail(const std::string&) override {}
};

struct FirmwareRig {
    explicit FirmwareRig(const std::string& setup)
        : bootloader(clock, sim::parseSimBootloaderSetup(setup)), provider(bootloader, clock)
    {}
    int update(const std::string& hexText)
    {
        const fs::path file = dir / "firmware.hex";
        putFile(file, hexText);
        const int64_t t0 = clock.nowMs();
        const int rc = service::updateFirmwareFromFile(file.string(), provider, tempFiles, log, clock);
        ms = clock.nowMs() - t0;
        return rc;
    }
    sim::VirtualClock clock;
    sim::SimBootloader bootloader;
    service::DfuIspProvider provider;
    TempDir dir{"fault-matrix"};
    TempDir tmp{"fault-matrix-tmp"};
    test::SystemTempFiles tempFiles{tmp.path().string()};
    QuietLog log;
    int64_t ms = 0;
};

TEST(FaultMatrix, FirmwareUpdate)
{
    // One record past the filled first kilobyte: two program blocks, each
    // verified.
    const std::vector<uint8_t> data{0xDE, 0xAD, 0xBE, 0xEF};
    const std::string image = test::hexRecord(0, 0x0400, data) + "\n" + test::hexEnd() + "\n";
    FirmwareRig clean("");
    ASSERT_EQ(clean.update(image), service::kUpdateOk);
    const int transfers = clean.bootloader.transfers();
    ASSERT_GT(transfers, 0);
    const int64_t bound = transfers * kDfuTransferBoundMs + kDfuEraseBoundMs;
    for (const MatrixCase& m : matrix()) {
        if (m.phase != Phase::Firmware)
            continue;
        const int indexes = perIndex(m.fault) ? transfers : 1;
        for (int i = 0; i < indexes; ++i) {
            std::string setup = m.setup;
            if (m.fault == Fault::UnplugAfter)
                setup += (setup.empty() ? "" : ",") + fmt::format("unplug-after={}", i);
            FirmwareRig rig(setup);
            const int rc = rig.update(image);
            // The last transfer is the zero-length download that starts the
            // application: the device leaves the bus with it, so a device
            // gone from it on has done everything asked of it.
            const bool succeeds = m.fault == Fault::UnplugAfter && i >= transfers - 1;
            EXPECT_EQ(rc == service::kUpdateOk, succeeds) << setup << ": " << rc;
            if (m.fault == Fault::EraseNeverEnds) {
                EXPECT_EQ(rc, service::kDfuEraseUnfinished) << setup;
            }
            if (rc == service::kUpdateOk) {
                EXPECT_TRUE(std::all_of(rig.bootloader.flash().begin(),
                                        rig.bootloader.flash().begin() + 0x400,
                                        [](uint8_t b) { return b == 0; }))
                    << setup;
                EXPECT_TRUE(std::equal(data.begin(), data.end(), rig.bootloader.flash().begin() + 0x400))
                    << setup;
            } else {
                EXPECT_FALSE(rig.bootloader.started()) << setup;
            }
            EXPECT_LE(rig.ms, bound) << setup;
            EXPECT_TRUE(fs::is_empty(rig.tmp.path())) << setup << ": the private copy was left behind";
        }
    }
}

}  // namespace
}  // namespace cvk
