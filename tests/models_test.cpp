// The model table: its records checked against each other and against the
// rules that read them, the window set-up against what the controller sets
// up, and the rules unknown codes keep.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli_run.h"
#include "config/catalogue.h"
#include "config/descriptions.h"
#include "device/model_views.h"
#include "device/models.h"
#include "settings_location.h"
#include "temp_dir.h"
#include "test_support.h"

namespace cvk {

void PrintTo(const ModelSetup& s, std::ostream* os)
{
    *os << "{" << s.helpDocument << ", " << s.exchangedLength << ", " << s.pictureId << ", "
        << (s.profileRow ? "profile row" : "no profile row") << "}";
}

namespace {

// Codes no record names: below 2, between the families and above them.
const std::vector<int> kUnknownCodes{-1, 1, 2, 3, 12, 200};

std::vector<int> everyCode()
{
    std::vector<int> codes = kUnknownCodes;
    for (const ModelInfo& m : knownModels())
        codes.push_back(m.code);
    return codes;
}

DeviceState singleDevice(int code)
{
    DeviceState s;
    s.deviceCount = 1;
    s.modelCode = code;
    s.firmwareVersion = 0x1205;
    return s;
}

// ---------------------------------------------------------------- records

TEST(ModelRecords, OneRecordPerCode)
{
    std::set<int> seen;
    for (const ModelInfo& m : knownModels()) {
        EXPECT_TRUE(seen.insert(m.code).second) << "code " << m.code << " twice";
        EXPECT_EQ(&modelInfo(m.code), &m) << m.code;
    }
}

// Every button the picture shows can be assigned, and its key word reaches
// the device without landing on another setting.
void expectShownButtonsFitTheBlock(const DeviceState& s, const std::string& name)
{
    const std::set<int> fixed{kPosPadFlags,       kPosEdgePrecision,   kPosEndSwitch,
                              kPosResolutionMode, kPosCursorSpeed,     kPosPowerOffHigh,
                              kPosPowerOffLow,    kPosBrillSwitch,     kPosScrollAcceleration,
                              kPosScrollSpeed,    kPosPollingInterval, kPosSignatureLength};
    const int code = s.modelCode;
    const int exchanged = modelSetupFor(s).exchangedLength;
    std::vector<int> shown;
    for (int b = 1; b <= 9; ++b)
        if (buttonOnPicture(s, b))
            shown.push_back(b);
    EXPECT_EQ(describesNineButtons(code, s.receiverPresent()), buttonCount(code) == 9) << name;
    std::set<int> taken(fixed);
    taken.insert(shown.begin(), shown.end());
    for (int b : shown) {
        EXPECT_LE(b, buttonCount(code)) << name;
        for (int position : {keyLowPosition(code, b), keyHighPosition(code, b)}) {
            EXPECT_LT(position, exchanged) << name << " button " << b;
            EXPECT_TRUE(position < kPosSnippetStrokes || position >= kPosSnippetStrokes + kSnippetStrokeBytes)
                << name << " button " << b;
            EXPECT_TRUE(taken.insert(position).second) << name << " button " << b << " position " << position;
        }
    }
}

TEST(ModelRecords, KeyWordsOfTheShownButtonsFitTheBlock)
{
    for (const ModelInfo& m : knownModels())
        expectShownButtonsFitTheBlock(singleDevice(m.code), "model " + std::to_string(m.code));

    // Only the receiver, showing the copy a Cindel stored.
    test::SimFixture f;
    f.sim.attach("receiver");
    deviceScan(f.link);
    ASSERT_TRUE(f.link.state.receiverPresent());
    f.link.state.modelCode = kModelReceiverOnly;
    f.link.state.firmwareVersion = 0x1001;
    expectShownButtonsFitTheBlock(f.link.state, "receiver alone");
}

// The signature and snippet menus exist exactly where the stroke tables are
// exchanged, and the snippet strokes fit the exchanged bytes.
TEST(ModelRecords, TextAreasGoWithTheSnippetMenuAndTheLongBlock)
{
    for (const int code : everyCode()) {
        const DeviceState s = singleDevice(code);
        const auto menu = buildMenu(menuContext(s, ConfigModel{}, 1, false));
        EXPECT_EQ(findMenuItem(menu, kCmdSignature) != nullptr, hasTextAreas(code)) << code;
        if (hasTextAreas(code)) {
            EXPECT_GE(modelSetupFor(s).exchangedLength, kPosSnippetStrokes + kSnippetStrokeBytes) << code;
        }
    }
}

// The picture and the descriptions count the buttons the assignments use.
TEST(ModelRecords, PictureAndAssignmentsCountTheSameButtons)
{
    for (const int code : everyCode()) {
        const DeviceState s = singleDevice(code);
        EXPECT_EQ(describesNineButtons(code, false), buttonCount(code) == 9) << code;
        EXPECT_TRUE(buttonOnPicture(s, buttonCount(code))) << code;
        EXPECT_FALSE(buttonOnPicture(s, buttonCount(code) + 1)) << code;
    }
}

struct UnknownCase {
    int code;
    bool commandFamily;
    bool nineButtons;
    bool factoryBlock;
};

TEST(ModelRecords, UnknownCodesKeepTheirRules)
{
    const UnknownCase cases[] = {
        {-1, false, false, false}, {1, false, false, false}, {2, false, false, true},
        {3, false, false, true},   {12, true, true, true},   {200, true, true, true},
    };
    for (const UnknownCase& c : cases) {
        DeviceState s = singleDevice(c.code);
        EXPECT_EQ(s.commandFamily(), c.commandFamily) << c.code;
        EXPECT_EQ(buttonCount(c.code), c.nineButtons ? 9 : 5) << c.code;
        const std::array<uint8_t, 256> cleared{};
        EXPECT_EQ(factoryBlock(c.code, 0x1205) != cleared, c.factoryBlock) << c.code;
        EXPECT_EQ(displayName(c.code), "Corvane Arvel") << c.code;
        EXPECT_EQ(catalogueFor(c.code, false), Catalogue::Arvel) << c.code;
        EXPECT_FALSE(hasTextAreas(c.code)) << c.code;
        EXPECT_FALSE(s.wirelessFamily()) << c.code;
    }
}

// A device state as the scan leaves it, the receiver's handles open when it
// is attached, with the count and model code a case names.
struct StateRig {
    test::SimFixture f;
    const DeviceState& state(bool receiver, int deviceCount, int code)
    {
        if (receiver)
            f.sim.attach("receiver");
        deviceScan(f.link);
        f.link.state.deviceCount = deviceCount;
        f.link.state.modelCode = code;
        return f.link.state;
    }
};

struct PictureCase {
    const char* name;
    bool receiver;
    int deviceCount;
    int code;
    std::set<int> shown;  // the pad (0) and buttons
};

TEST(ModelRecords, ButtonsOnThePicture)
{
    const std::set<int> five{0, 1, 2, 3, 4, 5};
    const std::set<int> nine{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const PictureCase cases[] = {
        {"Arvel", false, 1, kModelArvel, five},
        {"Dorrin", false, 1, kModelDorrin, nine},
        {"Essom", false, 1, kModelEssom, {0, 1, 2, 4, 5}},
        {"Essom pulled", false, 0, kModelEssom, {0, 1, 2, 4, 5}},
        {"Essom and receiver", true, 1, kModelEssom, {0, 1, 2, 4, 5, 6, 7, 8, 9}},
        {"Arvel 2.0", false, 1, kModelArvel2, {0, 1, 3, 4, 5, 6, 7, 9}},
        // With nothing attached the Arvel 2.0's own picture is not shown.
        {"Arvel 2.0 pulled", false, 0, kModelArvel2, nine},
        {"Arvel 2.0 and receiver", true, 1, kModelArvel2, {0, 1, 3, 4, 5, 6, 7, 9}},
        {"Arvel and receiver", true, 1, kModelArvel, nine},
        {"receiver alone", true, 0, kModelReceiverOnly, nine},
        {"nothing", false, 0, kModelNone, five},
    };
    for (const PictureCase& c : cases) {
        StateRig rig;
        const DeviceState& s = rig.state(c.receiver, c.deviceCount, c.code);
        std::set<int> shown;
        for (int b = -1; b <= 10; ++b)
            if (buttonOnPicture(s, b))
                shown.insert(b);
        EXPECT_EQ(shown, c.shown) << c.name;
    }
}

struct TableCase {
    const char* name;
    bool receiver;
    int deviceCount;
    int code;
    LabelTable labels;
    HitTable hits;
};

// The Arvel 2.0 writes its labels where the wireless models do but keeps the
// nine-button colours; an open receiver brings the wireless tables to any
// model on the cable.
TEST(ModelRecords, LabelAndHitTables)
{
    using enum LabelTable;
    const TableCase cases[] = {
        {"nothing", false, 0, kModelNone, Arvel, HitTable::Register},
        {"old Arvel", false, 1, kModelArvelOld, Arvel, HitTable::Register},
        {"Arvel", false, 1, kModelArvel, Arvel, HitTable::Register},
        {"Essom", false, 1, kModelEssom, Essom, HitTable::Register},
        {"Dorrin receiver", false, 1, kModelDorrinReceiver, Dorrin, HitTable::Command},
        {"Dorrin", false, 1, kModelDorrin, Dorrin, HitTable::Command},
        {"Cindel", false, 1, kModelCindel, Wireless, HitTable::Wireless},
        {"Brill", false, 1, kModelBrill, Wireless, HitTable::Wireless},
        {"Arvel 2.0", false, 1, kModelArvel2, Wireless, HitTable::Command},
        {"receiver alone", true, 0, kModelReceiverOnly, Wireless, HitTable::Wireless},
        {"Dorrin and receiver", true, 1, kModelDorrin, Wireless, HitTable::Wireless},
        {"Arvel and receiver", true, 1, kModelArvel, Wireless, HitTable::Wireless},
    };
    for (const TableCase& c : cases) {
        StateRig rig;
        const DeviceState& s = rig.state(c.receiver, c.deviceCount, c.code);
        EXPECT_EQ(labelTableFor(s), c.labels) << c.name;
        EXPECT_EQ(hitTableFor(s), c.hits) << c.name;
    }
}

// ---------------------------------------------------------------- receiver alone

// The receiver alone shows the copy a Cindel stored over the cable. Its
// button menus read the key words where that copy keeps them, so they tick
// what the picture describes.
TEST(ReceiverAlone, MenusReadTheStoredCopyAtItsLayout)
{
    TempDir dir("receiver-copy");
    const std::string settings = test::settingsLocation(dir, "settings.ini");
    CliResult r = cli({"--simulate", "cindel:id=0a1b2c3d", "--settings", settings, "apply"});
    ASSERT_EQ(r.rc, 0) << r.err;
    // Button 4 of the Cindel's factory block holds Ctrl+C, button 7 Ctrl+V.
    r = cli({"--simulate", "receiver:id=0a1b2c3d", "--settings", settings, "describe 4", "button 4",
             "describe 7", "button 7"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "Copy\tCtrl+C\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Copy\\tCtrl+C #20104 [x] (default)\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Paste\tCtrl+V\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "Paste\\tCtrl+V #20105 [x] (default)\n")) << r.out;
}

// ---------------------------------------------------------------- window set-up

class SetupView : public test::RecordingView {
public:
    void showControl(int control, bool on) override { shown[control] = on; }
    std::map<int, bool> shown;
};

constexpr int kProfileGroup = 1033;

struct SetupCase {
    const char* name;
    std::vector<std::string> setups;
    int unplug;  // product id pulled after the start, 0 for none
    ModelSetup expected;
};

void PrintTo(const SetupCase& c, std::ostream* os) { *os << c.name; }

class ModelSetupTable : public ::testing::TestWithParam<SetupCase> {};

// What the controller shows after its configuration read (and after the
// device change, if any) is what modelSetupFor gives for the state it ends in.
TEST_P(ModelSetupTable, MatchesTheController)
{
    const SetupCase& c = GetParam();
    test::ControllerRig<SetupView> rig;
    for (const std::string& setup : c.setups)
        rig.sim.attach(setup);
    // A stored copy for the receiver with id 0a1b2c3d.
    rig.store.writeBytes("HW:0a:1b:2c:3d", "Data.W", std::vector<uint8_t>(256, 0x01));
    rig.start();
    if (c.unplug != 0) {
        rig.sim.unplug(static_cast<uint16_t>(c.unplug));
        rig.c.deviceChanged(false);
        for (int i = 0; i < 3; ++i) {
            rig.clock.sleepMs(100);
            rig.c.pollDeviceChange();
            rig.runPosted();
        }
    }
    const ModelSetup setup = modelSetupFor(rig.state());
    EXPECT_EQ(setup, c.expected) << "model " << rig.state().modelCode;
    EXPECT_EQ(setup.helpDocument, rig.window().helpDocument);
    EXPECT_EQ(setup.exchangedLength, rig.config().exchangedLength);
    EXPECT_EQ(setup.pictureId, rig.window().pictureId);
    ASSERT_TRUE(rig.view.shown.count(kProfileGroup));
    EXPECT_EQ(setup.profileRow, rig.view.shown[kProfileGroup]);
}

const ModelSetup kArveld{"Arveld.pdf", 32, kPictureNoDevice, true};
const ModelSetup kWireless{"cindel.pdf", 90, kPictureWireless, true};

// clang-format off
const SetupCase kSetupCases[] = {
    {"nothing",               {}, 0,                                 kArveld},
    {"old_arvel",             {"arvel-old"}, 0,                      kArveld},
    {"arvel",                 {"arvel"}, 0,                          {"Arveld.pdf", 32, kPictureArvel, true}},
    {"essom",                 {"essom"}, 0,                          {"Essom.pdf", 32, kPictureEssom, false}},
    {"dorrin",                {"dorrin"}, 0,                         {"dorrin.pdf", 64, kPictureDorrin, true}},
    {"cindel",                {"cindel"}, 0,                         kWireless},
    {"brill",                 {"brill"}, 0,                          kWireless},
    {"arvel2",                {"arvel2"}, 0,                         {"Arveld.pdf", 90, kPictureArvel2, true}},
    {"receiver_no_copy",      {"receiver"}, 0,                       kWireless},
    {"receiver_with_copy",    {"receiver:id=0a1b2c3d"}, 0,           kWireless},
    {"receiver_and_essom",    {"receiver", "essom"}, 0,              {"Essom.pdf", 32, kPictureWireless, false}},
    {"receiver_and_arvel",    {"receiver", "arvel"}, 0,              kWireless},
    {"receiver_and_dorrin",   {"receiver", "dorrin"}, 0,             kWireless},
    {"receiver_and_arvel2",   {"receiver", "arvel2"}, 0,             kWireless},
    {"two_dorrin_essom",      {"dorrin", "essom"}, 0,                kArveld},
    {"too_new",               {"cindel:fw=0x1400"}, 0,               kArveld},
    {"arvel_pulled",          {"arvel"}, kModelArvel,                {"Arveld.pdf", 32, kPictureArvel, true}},
    {"brill_pulled",          {"brill"}, kModelBrill,                kWireless},
    {"cindel_pulled",         {"cindel"}, kModelCindel,              kArveld},
    {"arvel2_pulled",         {"arvel2"}, kModelArvel2,              kArveld},
    {"essom_pulled",          {"essom"}, kModelEssom,                kArveld},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Models, ModelSetupTable, ::testing::ValuesIn(kSetupCases),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace cvk
