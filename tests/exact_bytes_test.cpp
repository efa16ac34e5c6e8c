// Exact bytes and texts: the repetitions of the store wake-up, the window
// title beside the receiver, the firmware text, a receiver that cannot be
// opened, strokes for characters several keys type, and when a click opens
// a button menu.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "keys/strokes.h"
#include "test_support.h"

namespace cvk {
namespace {

using Bytes = std::vector<uint8_t>;
using Rig = test::ControllerRig<test::RecordingView>;

std::string lineText(const sim::TranscriptLine& l, int64_t previousMs)
{
    std::string text = fmt::format("+{} {:02X} {}", l.ms - previousMs, l.productId, l.kind);
    for (uint8_t b : l.bytes)
        text += fmt::format(" {:02X}", b);
    return text;
}

// The store wake-up exchange of the last write: from its first request to
// the next report that is no wake-up request, as "+<ms since previous>
// <pid> <kind> <bytes>".
std::vector<std::string> storeWakeLines(const sim::SimBus& sim)
{
    const auto& all = sim.transcript().lines();
    const Bytes first{0x83, 0x0E, 0x1C, 0x39, 0x20, 0, 0, 0};
    size_t start = all.size();
    for (size_t i = all.size(); i-- > 0;)
        if (all[i].kind == "out" && all[i].bytes == first) {
            start = i;
            break;
        }
    std::vector<std::string> out;
    for (size_t i = start; i < all.size(); ++i) {
        const sim::TranscriptLine& l = all[i];
        const bool request = l.kind == "out" || (l.kind == "no-answer" && !l.bytes.empty());
        if (request && !(l.bytes.size() > 4 && l.bytes[0] == 0x83 && l.bytes[4] == 0x20))
            break;
        if (l.kind == "out" || l.kind == "in" || l.kind == "no-answer")
            out.push_back(lineText(l, i == start ? l.ms : all[i - 1].ms));
    }
    return out;
}

TEST(StoreWakeUp, EveryRepetitionCarriesZeroInByteOne)
{
    struct Case {
        const char* setup;
        std::vector<std::string> lines;
    };
    const std::string first = "07 out 83 0E 1C 39 20 00 00 00";
    const std::string again = "07 out 83 00 1C 39 20 00 00 00";
    const std::string ready = "07 in 83 00 07 00 00 00 00 00";
    const std::string notReady = "07 in 83 01 00 00 00 00 00 00";
    const Case cases[] = {
        // Awake at the first request: the tail's one request already has 0x00.
        {"dorrin-receiver:wake-after=0", {"+0 " + first, "+0 " + ready, "+0 " + again, "+0 " + ready}},
        {"dorrin-receiver:wake-after=1",
         {"+0 " + first, "+0 " + notReady, "+100 " + again, "+0 " + ready, "+0 " + again, "+0 " + ready}},
    };
    for (const Case& c : cases) {
        Rig f;
        f.sim.attach(c.setup);
        f.start();
        ASSERT_TRUE(f.c.writeSequence()) << c.setup;
        EXPECT_EQ(storeWakeLines(f.sim), c.lines) << c.setup;
    }
}

class SimWakeUp : public ::testing::Test {
protected:
    sim::VirtualClock clock;
    sim::SimBus bus{clock};

    HidDevicePtr openVendor(uint16_t pid)
    {
        for (const HidInterfaceInfo& e : bus.enumerate())
            if (e.productId == pid && e.usagePage == 0xFFFF && e.usage == 1)
                return bus.open(e);
        return nullptr;
    }
    static std::optional<Bytes> exchange(const HidDevicePtr& node, const Bytes& data8)
    {
        std::array<uint8_t, 9> frame{};
        std::copy(data8.begin(), data8.end(), frame.begin() + 1);
        if (node->write(frame, 100) != 9)
            return std::nullopt;
        frame.fill(0);
        if (node->read(frame, 100) != 9)
            return std::nullopt;
        return Bytes(frame.begin() + 1, frame.end());
    }
};

TEST_F(SimWakeUp, RepetitionStillCarryingTheSignatureByteGetsNoAnswer)
{
    bus.attach("dorrin-receiver:wake-after=0");
    HidDevicePtr rx = openVendor(7);
    ASSERT_TRUE(rx);
    const Bytes store{0x83, 0x0E, 0x1C, 0x39, 0x20};
    const Bytes storeAgain{0x83, 0x00, 0x1C, 0x39, 0x20};
    const Bytes fetch{0x83, 0x0E, 0x1C, 0x39, 0x01};
    const std::optional<Bytes> ready = Bytes{0x83, 0, 7, 0, 0, 0, 0, 0};
    EXPECT_EQ(exchange(rx, store), ready);
    EXPECT_EQ(exchange(rx, store), std::nullopt);
    EXPECT_EQ(exchange(rx, storeAgain), ready);
    // Another kind of wake-up, or any other command, starts a new loop.
    EXPECT_EQ(exchange(rx, fetch), ready);
    EXPECT_EQ(exchange(rx, store), ready);
    EXPECT_NE(exchange(rx, {0x84, 0x00}), std::nullopt);
    EXPECT_EQ(exchange(rx, store), ready);
    // So does a new handle.
    rx = openVendor(7);
    EXPECT_EQ(exchange(rx, store), ready);
}

TEST(WindowTitle, DeviceBesideTheReceiverNamesTheWindow)
{
    struct Case {
        std::vector<const char*> devices;
        const char* title;
    };
    const Case cases[] = {
        {{"receiver", "cindel"}, "Corvane Cindel"}, {{"cindel", "receiver"}, "Corvane Cindel"},
        {{"receiver", "brill"}, "Corvane Brill"},   {{"cindel"}, "Corvane Cindel"},
        {{"essom", "cindel"}, "Corvane!"},
    };
    for (const Case& c : cases) {
        Rig f;
        for (const char* d : c.devices)
            f.sim.attach(d);
        f.start();
        EXPECT_EQ(f.window().title, c.title) << c.devices.front() << " + " << c.devices.size() - 1;
    }
}

TEST(FirmwareText, DecodedFromUtf16WhenTenUnitsLong)
{
    struct Case {
        const char* fwText;
        const char* shown;  // "" when the text is not taken
    };
    const Case cases[] = {
        {"CVK-1.2.05", "SW: CVK-1.2.05"},
        {"CVK-1.2.\xC3\xB6"
         "5",
         "SW: CVK-1.2.\xC3\xB6"
         "5"},                                                         // ö is one unit
        {"CVK-\xE2\x82\xAC.2.05", "SW: CVK-\xE2\x82\xAC.2.05"},        // € is one unit
        {"CVK-1.20\xF0\x9F\x98\x80", "SW: CVK-1.20\xF0\x9F\x98\x80"},  // a surrogate pair counts two
        {"CVK-1.2.0\xF0\x9F\x98\x80", ""},                             // eleven units
        {"CVK-1.2.\xC3\xB6", ""},                                      // nine units
    };
    for (const Case& c : cases) {
        Rig f;
        f.sim.attach(std::string("cindel:fw-text=") + c.fwText);
        f.start();
        EXPECT_EQ(f.window().firmwareText, c.shown) << c.fwText;
    }
}

// A bus on which the receiver's collections can be made to refuse opening.
class RefusingBus : public IHidBus {
public:
    explicit RefusingBus(IHidBus& inner) : inner_(inner) {}
    std::vector<HidInterfaceInfo> enumerate() override { return inner_.enumerate(); }
    HidDevicePtr open(const HidInterfaceInfo& entry, HidOpenError* error = nullptr) override
    {
        if (refuse && entry.productId == kProductReceiver) {
            if (error)
                *error = HidOpenError::NotFound;
            return nullptr;
        }
        return inner_.open(entry, error);
    }
    bool refuse = false;

private:
    IHidBus& inner_;
};

TEST(DeviceProbe, ReceiverThatCannotBeOpenedDropsItsOldHandles)
{
    sim::VirtualClock clock;
    sim::SimBus sim{clock};
    RefusingBus bus{sim};
    test::RecordingView view;
    DeviceLink link{bus, clock, view};
    sim.attach("receiver");
    deviceScan(link);
    ASSERT_TRUE(link.state.receiverPresent());
    ASSERT_TRUE(link.state.receiverUsage3 && link.state.receiverAux);
    ASSERT_TRUE(link.state.singleDevice());

    bus.refuse = true;
    deviceScan(link);
    EXPECT_FALSE(link.state.receiverPresent());
    EXPECT_FALSE(link.state.receiverUsage3);
    EXPECT_FALSE(link.state.receiverAux);
    EXPECT_FALSE(link.state.singleDevice());
}

TEST(StrokesText, TakesAKeyWithAUsageWhenSeveralTypeTheCharacter)
{
    CVK_NEED_LAYOUTS("de", "se");
    struct Case {
        const char* layout;
        std::u16string text;
        std::vector<Stroke> strokes;
    };
    const Case cases[] = {
        // The ISO key types these too on "us" and comes first, but has no usage.
        {"us", u"<", {{0x36, kStrokeShift}}},
        {"us", u">", {{0x37, kStrokeShift}}},
        {"us", u"|", {{0x32, kStrokeShift}}},
        // Only the ISO key types them: no stroke. Shift+Alt Gr+Z types "<" on
        // "se" too, but a stroke cannot carry Shift with Alt Gr.
        {"se", u"<", {}},
        {"se", u">", {}},
        {"se", u"|", {}},
        {"de", u"<", {}},
        {"de", u"|", {}},
        {"se", u"<x", {{0x1B, kStrokePlain}}},
    };
    for (const Case& c : cases) {
        const StrokeConversion r = textToStrokes(c.text, test::namedLayout(c.layout));
        EXPECT_EQ(std::vector<Stroke>(r.strokes.begin(), r.strokes.begin() + r.count), c.strokes)
            << c.layout << " case " << (&c - cases);
    }
}

TEST(CliButtonMenu, OpensUnderTheWindowsRule)
{
    struct Case {
        std::vector<std::string> devices;
        int button;
        bool opens;
    };
    const Case cases[] = {
        {{"none"}, 1, false},
        {{"essom", "cindel"}, 1, false},      // two devices
        {{"arvel:fw=0x1400"}, 1, false},      // needs a newer program
        {{"receiver:id=0a1b2c3d"}, 9, true},  // the receiver's stored copy, nine buttons
        {{"receiver", "cindel"}, 9, true},
        {{"cindel"}, 9, true},
        {{"arvel"}, 5, true},
        {{"arvel"}, 6, false},
        {{"essom"}, 3, false},  // not on the Essom's picture
        {{"essom"}, 4, true},
        {{"arvel2"}, 8, false},
        {{"arvel2"}, 9, true},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"--settings", ":memory:", "--language", "EN"};
        for (const std::string& d : c.devices) {
            args.push_back("--simulate");
            args.push_back(d);
        }
        args.push_back(fmt::format("button {}", c.button));
        std::ostringstream out, err;
        ASSERT_EQ(runCli(args, out, err), 0) << err.str();
        const std::string label = c.devices.front() + " button " + std::to_string(c.button);
        EXPECT_EQ(out.str().find("no menu") == std::string::npos, c.opens) << label << "\n" << out.str();
        if (c.opens && c.devices.front().starts_with("receiver")) {  // the Cindel catalogue
            EXPECT_NE(out.str().find("#20230"), std::string::npos) << label;
        }
    }
}

}  // namespace
}  // namespace cvk
