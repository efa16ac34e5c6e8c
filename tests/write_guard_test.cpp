// A block that did not come from the device attached now is never written,
// and no write that failed is reported as one that succeeded.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "cli_run.h"
#include "temp_dir.h"

namespace cvk {
namespace {

// The trace of one run, in a folder of its own so that parallel runs never
// share one; removed again at once.
class ScratchTrace {
public:
    ScratchTrace() : dir_("write-guard") {}
    std::string path() const { return (dir_ / "trace.txt").string(); }

private:
    TempDir dir_;
};

struct CliRun {
    int rc = 0;
    std::string out;
    std::string trace;
};

CliRun run(const std::vector<std::string>& devices, const std::vector<std::string>& steps)
{
    const ScratchTrace scratch;
    const std::string trace = scratch.path();
    std::vector<std::string> args{"--settings", ":memory:", "--trace", trace};
    for (const std::string& d : devices) {
        args.push_back("--simulate");
        args.push_back(d);
    }
    args.insert(args.end(), steps.begin(), steps.end());
    const CliResult result = cli(args);
    CliRun r;
    r.rc = result.rc;
    r.out = result.out + result.err;
    std::ifstream in(trace);
    std::stringstream text;
    text << in.rdbuf();
    r.trace = text.str();
    return r;
}

// The text a step printed: everything between two marker steps.
std::string between(const std::string& out, const std::string& from, const std::string& to)
{
    const size_t a = out.find(from);
    const size_t b = out.find(to, a == std::string::npos ? 0 : a);
    if (a == std::string::npos || b == std::string::npos)
        return "<missing " + from + ">";
    return out.substr(a + from.size(), b - a - from.size());
}

// Reports that reach the device: what the simulator counts for its faults.
int countedReports(const std::string& trace)
{
    int n = 0;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string ms, pid, kind;
        words >> ms >> pid >> kind;
        if (kind == "set-feature" || kind == "get-feature" || kind == "get-string" || kind == "out")
            ++n;
    }
    return n;
}

bool sendsWrites(const std::string& trace)
{
    return contains(trace, " out 82 ") || contains(trace, " set-feature 01 FF F8") ||
           contains(trace, " set-feature 00 FF FF");
}

TEST(WriteGuard, ApplyRefusesABlockTheAttachedDeviceDidNotGive)
{
    struct Case {
        const char* what;
        std::vector<std::string> devices;
        std::vector<std::string> before;  // steps ahead of the apply
        const char* message;
    };
    const char* notRead = "The configuration could not be read from the device.";
    const Case cases[] = {
        {"failed read, then the timers ran", {"cindel:wrong-echo"}, {"tick 3"}, notRead},
        {"failed register read below 0x31A", {"arvel:fw=0x0310,no-answer"}, {"tick 3"}, notRead},
        {"Restore Defaults after a failed read", {"dorrin:wrong-echo"}, {"restore-defaults"}, notRead},
        {"no device ever attached", {"none"}, {}, "No reprogrammable Corvane detected."},
        {"only a device for a newer program", {"arvel:fw=0x1400"}, {}, "latest version of CV Keys."},
        {"two devices", {"essom", "cindel"}, {}, "Multiple reprogrammable Corvane detected."},
    };
    for (const Case& c : cases) {
        std::vector<std::string> steps = c.before;
        for (const char* step : {"show state", "apply"})
            steps.push_back(step);
        const CliRun r = run(c.devices, steps);
        ASSERT_EQ(r.rc, 0) << c.what << "\n" << r.out;
        EXPECT_TRUE(contains(r.out, c.message)) << c.what << "\n" << r.out;
        EXPECT_TRUE(contains(r.out, "apply: not written\n")) << c.what << "\n" << r.out;
        EXPECT_FALSE(contains(r.out, "written and verified")) << c.what;
        EXPECT_FALSE(sendsWrites(r.trace)) << c.what << "\n" << r.trace;
        EXPECT_TRUE(contains(r.out, "apply button: disabled\n")) << c.what << "\n" << r.out;
        // OK (control 1) is disabled too: it would run the same write.
        const std::string disabled = between(r.out, "disabled:", "\n");
        EXPECT_TRUE(contains(disabled + " ", " 1 ")) << c.what << ": disabled:" << disabled;
    }
}

TEST(WriteGuard, ApplyDuringTheFetchWakeUpSendsNothing)
{
    // The fetch loop has just cleared the block when the nested Apply runs.
    for (const char* command : {"1010", "1"}) {
        const CliRun r = run({"dorrin-receiver:wake-after=5"}, {std::string("pump 2 command ") + command,
                                                                "show state", "tick 3", "show state"});
        ASSERT_EQ(r.rc, 0) << r.out;
        EXPECT_TRUE(contains(r.out, "apply: not written\n")) << r.out;
        EXPECT_FALSE(contains(r.out, "written and verified")) << r.out;
        EXPECT_FALSE(contains(r.trace, " out 82 ")) << r.trace;
        EXPECT_TRUE(contains(r.out, "read failed: 1\n")) << r.out;
        EXPECT_FALSE(contains(r.out, "apply button: enabled")) << r.out;
    }
}

TEST(WriteGuard, ReceiverAloneDoesNotWriteItsStoredCopy)
{
    const CliRun r = run({"receiver", "cindel"}, {"apply", "unplug 09", "tick 21", "show state", "button 3",
                                                  "command 30011", "apply"});
    ASSERT_EQ(r.rc, 0) << r.out;
    EXPECT_TRUE(contains(r.out, "model: -9\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Connect the Corvane with its USB cable")) << r.out;
    // One write: the first apply over the cable.
    EXPECT_EQ(r.out.find("written and verified"), r.out.rfind("written and verified")) << r.out;
    EXPECT_TRUE(contains(r.out, "apply: not written\n")) << r.out;
}

TEST(WriteGuard, ProfileMatchingAfterAFailedReadPostsNoApply)
{
    // Below 0x31A the width rule changes byte 18 of a matched block and asks
    // for an Apply; a cleared block from a failed read must not get one.
    const CliRun r = run({"arvel:fw=0x0310,no-answer"}, {"show state"});
    ASSERT_EQ(r.rc, 0) << r.out;
    EXPECT_FALSE(contains(r.out, "apply:")) << r.out;
    EXPECT_FALSE(contains(r.out, "Error occurred while saving changes")) << r.out;
    EXPECT_FALSE(sendsWrites(r.trace)) << r.trace;
}

TEST(WriteGuard, LegacyApplySaysItIsNotConfirmed)
{
    const CliRun ok = run({"arvel-old"}, {"apply"});
    EXPECT_TRUE(contains(ok.out, "apply: sent (the device does not confirm)\n")) << ok.out;
    EXPECT_FALSE(contains(ok.out, "verified")) << ok.out;

    // The read works; the device stops answering before the legacy report.
    const int start = countedReports(run({"arvel-old"}, {"show state"}).trace);
    const CliRun failed = run({"arvel-old:no-answer-from=" + std::to_string(start)},
                              {"text 1", "show store", "text 2", "apply", "text 3", "show store", "text 4"});
    EXPECT_TRUE(contains(failed.out, "Error occurred while saving changes")) << failed.out;
    EXPECT_TRUE(contains(failed.out, "apply: not written\n")) << failed.out;
    EXPECT_FALSE(contains(failed.out, "apply: sent")) << failed.out;
}

// Every report of a full write, each fault at that report: success is
// printed only when every byte was written and read back, and a failure
// leaves the reference copy and the store as they were.
struct SweepModel {
    const char* model;
    const char* success;
    int exchangedLength;  // 0: no verified write to corrupt (legacy)
    int button;           // one whose function the edit changes
};
void PrintTo(const SweepModel& m, std::ostream* os) { *os << m.model; }

// Texts that mark where a step's output begins; none of them shows up
// otherwise in these runs.
constexpr const char* kMarkA = "Only On/Off\n";             // text 222
constexpr const char* kMarkB = "Alternate method\n";        // text 238
constexpr const char* kMarkC = "Update In Progress ...\n";  // text 214
constexpr const char* kMarkD = "Signature\n";               // text 224

std::string hexOnly(const std::string& text)
{
    std::string result;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 4 && line[3] == ':' && line.find_first_not_of(" 0123456789") == 3)
            result += line + "\n";
    return result;
}

struct Slices {
    std::string blockBefore, referenceBefore, storeBefore, result, referenceAfter, storeAfter, blockAfter;
};

Slices slice(const std::string& out)
{
    Slices s;
    std::vector<size_t> at;
    size_t from = 0;
    for (const char* mark : {kMarkA, kMarkB, kMarkC, kMarkA, kMarkB, kMarkC, kMarkD}) {
        const size_t p = out.find(mark, from);
        if (p == std::string::npos)
            return s;
        at.push_back(p);
        from = p + std::string(mark).size();
    }
    auto part = [&](size_t k, const char* mark) {
        const size_t begin = at[k] + std::string(mark).size();
        return out.substr(begin, (k + 1 < at.size() ? at[k + 1] : out.size()) - begin);
    };
    s.blockBefore = hexOnly(out.substr(0, at[0]));
    s.referenceBefore = part(0, kMarkA);
    s.storeBefore = part(1, kMarkB);
    s.result = part(2, kMarkC);
    s.referenceAfter = part(3, kMarkA);
    s.storeAfter = part(4, kMarkB);
    s.blockAfter = hexOnly(out.substr(at[6]));
    return s;
}

std::vector<std::string> sweepSteps(const SweepModel& m, bool apply, bool readBack = true)
{
    std::vector<std::string> s{"button " + std::to_string(m.button),
                               "command 30011",
                               "show block",
                               "text 222",
                               "show reference",
                               "text 238",
                               "show store",
                               "text 214"};
    if (apply)
        s.push_back("apply");
    for (const char* x : {"text 222", "show reference", "text 238", "show store", "text 214", "text 224"})
        s.push_back(x);
    if (readBack) {
        s.push_back("refresh");
        s.push_back("show block");
    }
    return s;
}

class WriteFaultSweep : public ::testing::TestWithParam<SweepModel> {
protected:
    // One faulty run: what it printed must be true of the device.
    void check(const std::string& setup, bool mayWrite, bool readBack = true)
    {
        const CliRun r = run({setup}, sweepSteps(GetParam(), true, readBack));
        ASSERT_EQ(r.rc, 0) << setup << "\n" << r.out;
        const Slices s = slice(r.out);
        ASSERT_FALSE(s.blockBefore.empty()) << setup << "\n" << r.out;
        const bool claimed = contains(s.result, GetParam().success);
        if (!mayWrite) {
            EXPECT_FALSE(claimed) << setup << "\n" << s.result;
        }
        if (claimed) {
            // Read back from the device, the block is the one written.
            if (readBack) {
                EXPECT_EQ(s.blockAfter, s.blockBefore) << setup << "\n" << r.out;
            }
            ++successes;
            return;
        }
        EXPECT_TRUE(contains(s.result, "Error occurred while saving changes")) << setup << "\n" << s.result;
        EXPECT_TRUE(contains(s.result, "apply: not written\n")) << setup << "\n" << s.result;
        EXPECT_EQ(s.referenceAfter, s.referenceBefore) << setup << ": the reference copy changed";
        EXPECT_EQ(s.storeAfter, s.storeBefore) << setup << ": the store changed";
    }
    int successes = 0;
};

TEST_P(WriteFaultSweep, NeverClaimsAWriteThatDidNotHappen)
{
    const SweepModel& m = GetParam();
    const CliRun clean = run({m.model}, sweepSteps(m, true));
    const Slices c = slice(clean.out);
    ASSERT_TRUE(contains(c.result, m.success)) << clean.out;
    EXPECT_EQ(c.blockAfter, c.blockBefore) << clean.out;
    // The edit is real: a write that changed nothing could not show a fault.
    ASSERT_NE(c.referenceAfter, c.referenceBefore) << clean.out;
    // The start and the edit come first; the apply's reports follow them.
    const int start = countedReports(run({m.model}, sweepSteps(m, false, false)).trace);
    const int applyReports = countedReports(run({m.model}, sweepSteps(m, true, false)).trace) - start;
    ASSERT_GT(applyReports, 0);
    const int end = start + applyReports;
    for (int n = start; n < end; ++n) {
        check(std::string(m.model) + ":unplug-after=" + std::to_string(n), false);
        check(std::string(m.model) + ":no-answer-from=" + std::to_string(n), false);
    }
    // From the report after the apply's last one on, the device is silent:
    // nothing the apply needs is missing, so it succeeds.
    check(std::string(m.model) + ":no-answer-from=" + std::to_string(end), true, false);
    EXPECT_EQ(successes, 1) << "the last report of the apply should be the last one it needs";
    if (m.exchangedLength > 0) {
        const int l = m.exchangedLength;
        for (int n : {1, l, 19 * l, 19 * l + 1, 20 * l}) {
            successes = 0;
            check(std::string(m.model) + ":corrupt-write=" + std::to_string(n), n <= 19 * l);
            EXPECT_EQ(successes, n <= 19 * l ? 1 : 0) << "corrupt-write=" << n;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Models, WriteFaultSweep,
    ::testing::Values(SweepModel{"arvel-old", "apply: sent (the device does not confirm)", 0, 2},
                      SweepModel{"arvel", "apply: written and verified", 32, 3},
                      SweepModel{"essom", "apply: written and verified", 32, 2},
                      SweepModel{"dorrin-receiver", "apply: written and verified", 64, 3},
                      SweepModel{"dorrin", "apply: written and verified", 64, 3},
                      SweepModel{"cindel", "apply: written and verified", 90, 3},
                      SweepModel{"brill", "apply: written and verified", 90, 3},
                      SweepModel{"arvel2", "apply: written and verified", 90, 3}),
    [](const ::testing::TestParamInfo<SweepModel>& p) {
        std::string name = p.param.model;
        for (char& ch : name)
            if (ch == '-')
                ch = '_';
        return name;
    });

}  // namespace
}  // namespace cvk
