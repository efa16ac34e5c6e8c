// The profile row and the notification-area menu against simulated devices.

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "app/corvane_app.h"
#include "app/first_run.h"
#include "app/main_controller.h"
#include "platform/memory_settings_store.h"
#include "test_support.h"

namespace cvk {
namespace {

class DialogView : public test::RecordingView {
public:
    MessageAnswer messageBox(const std::string& caption, const std::string& text, MessageStyle style) override
    {
        messages.push_back(caption + ": " + text);
        if (!isQuestion(style))
            return MessageAnswer::Ok;
        return yes ? MessageAnswer::Yes : MessageAnswer::No;
    }
    std::optional<std::string> askProfileName(const std::string& current) override
    {
        asked.push_back(current);
        return name;
    }
    void enableControl(int control, bool on) override { enabled[control] = on; }
    std::vector<std::string> messages;
    std::vector<std::string> asked;
    std::optional<std::string> name;
    bool yes = true;
    std::map<int, bool> enabled;
};

void writeProfile(ISettingsStore& store, int index, const std::string& name, bool listF,
                  std::vector<uint8_t> data = std::vector<uint8_t>(64, 0))
{
    const std::string key = fmt::format("Profile{:02}", index);
    store.writeText(key, listF ? "Name.F" : "Name", name);
    store.writeBytes(key, listF ? "Data.F" : "Data", data);
}

struct ProfileFixture : test::ControllerRig<DialogView> {
    // Profiles in list order for the classic (register family) or F list.
    ProfileFixture(const char* device, std::vector<std::string> names, bool listF)
    {
        sim.attach(device);
        for (size_t i = 0; i < names.size(); ++i)
            writeProfile(store, static_cast<int>(i), names[i], listF);
        store.writeInt("Profile", listF ? "NumberOfProfiles.F" : "NumberOfProfiles",
                       static_cast<int>(names.size()));
        start();
        sim.transcript().clear();
        view.messages.clear();
    }
    std::vector<std::string> selectorNames() const
    {
        std::vector<std::string> names;
        for (const SelectorLine& l : c.profiles().selector())
            names.push_back(l.name);
        return names;
    }
    std::vector<std::string> trayNames() const
    {
        std::vector<std::string> names;
        for (const TrayMenuItem& i : c.profiles().trayMenu())
            names.push_back(
                i.command == 0 ? "--" : fmt::format("{} {}{}", i.command, i.text, i.checked ? " [x]" : ""));
        return names;
    }
};

TEST(ProfileCommands, SelectorIsSortedWhileTheMenuKeepsListOrder)
{
    ProfileFixture f("essom", {"WEB", "CAD", "Desktop"}, false);
    EXPECT_EQ(f.selectorNames(), (std::vector<std::string>{"CAD", "Desktop", "WEB"}));
    EXPECT_EQ(f.trayNames(),
              (std::vector<std::string>{"20402 WEB", "20403 CAD", "20404 Desktop", "--", "20400 Open CV Keys",
                                        "1023 About CV Keys", "20401 Exit"}));
    // The third menu item is "Desktop": it is selected and Apply is posted.
    f.c.handleCommand(20404);
    ASSERT_NE(f.c.profiles().active(), nullptr);
    EXPECT_EQ(f.c.profiles().active()->name, "Desktop");
    EXPECT_EQ(f.c.profiles().currentLine(), 1);
    EXPECT_EQ(f.view.posted, std::vector<int>{kCmdApply});
    EXPECT_EQ(f.trayNames()[2], "20404 Desktop [x]");
    EXPECT_EQ(f.window().trayTip, "Active Profile:\r\n" + std::string(31, ' ') + "Desktop");
}

TEST(ProfileCommands, RenameToAPrefixOfAnotherNameSelectsTheRenamedProfile)
{
    ProfileFixture f("essom", {"WEB", "CAD", "Desktop"}, false);
    ASSERT_TRUE(f.c.selectProfileByName("WEB"));
    f.view.name = "CA";
    f.c.handleCommand(kCmdRenameProfile);
    EXPECT_EQ(f.view.asked, std::vector<std::string>{"WEB"});
    EXPECT_EQ(f.selectorNames(), (std::vector<std::string>{"CA", "CAD", "Desktop"}));
    ASSERT_NE(f.c.profiles().active(), nullptr);
    EXPECT_EQ(f.c.profiles().active()->name, "CA");
    EXPECT_TRUE(f.c.profiles().active()->modified);
    EXPECT_EQ(f.trayNames()[0], "20402 CA [x]");
}

TEST(ProfileCommands, CancelledNameDialogChangesNothing)
{
    ProfileFixture f("essom", {"WEB"}, false);
    f.view.name.reset();
    f.c.handleCommand(kCmdNewProfile);
    f.c.handleCommand(kCmdRenameProfile);  // no active profile: not even asked
    EXPECT_EQ(f.view.asked, std::vector<std::string>{""});
    EXPECT_EQ(f.c.profiles().list().size(), 1u);
}

TEST(ProfileCommands, NewProfileTakesTheWorkingBlockAndIsSelected)
{
    ProfileFixture f("dorrin", {"Desktop"}, true);
    f.config().block[1] = kFnRightClick;
    f.view.name = "Office";
    f.c.handleCommand(kCmdNewProfile);
    ASSERT_EQ(f.c.profiles().list().size(), 2u);
    ASSERT_NE(f.c.profiles().active(), nullptr);
    EXPECT_EQ(f.c.profiles().active()->name, "Office");
    EXPECT_EQ(f.c.profiles().active()->configuration[1], kFnRightClick);
    EXPECT_TRUE(f.c.profiles().active()->modified);
    // Only in memory until Apply.
    EXPECT_EQ(f.store.readInt("Profile", "NumberOfProfiles.F", 0), 1);
    ASSERT_TRUE(f.c.writeSequence());
    EXPECT_EQ(f.store.readInt("Profile", "NumberOfProfiles.F", 0), 2);
    EXPECT_EQ(f.store.readText("Profile01", "Name.F"), "Office");
}

TEST(ProfileCommands, DeletingTheOnlyProfile)
{
    for (bool yes : {false, true}) {
        ProfileFixture f("dorrin", {"Desktop"}, true);
        ASSERT_TRUE(f.c.selectProfileByName("Desktop"));
        f.view.yes = yes;
        f.c.handleCommand(kCmdDeleteProfile);
        ASSERT_EQ(f.view.messages.size(), 1u);
        EXPECT_EQ(f.view.messages[0], "CV Keys: Are you sure you want to delete the selected profile?");
        if (!yes) {
            EXPECT_EQ(f.c.profiles().list().size(), 1u);
            continue;
        }
        EXPECT_TRUE(f.c.profiles().list().empty());
        EXPECT_TRUE(f.c.profiles().selector().empty());
        EXPECT_EQ(f.c.profiles().active(), nullptr);
        EXPECT_EQ(f.window().trayTip, "No Active Profile");
        EXPECT_FALSE(f.view.enabled[kCtlDeleteProfile]);
        EXPECT_FALSE(f.view.enabled[kCtlRenameProfile]);
        EXPECT_EQ(f.store.readInt("Profile", "NumberOfProfiles.F", -1), 0);
    }
}

TEST(ProfileCommands, SelectionSendsTheCursorSpeedOfEachFamily)
{
    struct Case {
        const char* device;
        bool listF;
        uint8_t speed;
        const char* report;
        uint8_t loaded;  // the classic list repairs a speed outside 5..11 to 8
    };
    const Case cases[] = {
        {"dorrin", true, 10, "08 out 83 0E 1C 39 F4 00 00 00", 10},
        {"essom:fw=0x31A", false, 0x18, "06 set-feature 01 FF 08", 8},
    };
    for (const Case& c : cases) {
        ProfileFixture f(c.device, {}, c.listF);
        std::vector<uint8_t> data(64, 0);
        data[0] = 1;
        data[19] = c.speed;
        writeProfile(f.store, 0, "Fast", c.listF, data);
        f.store.writeInt("Profile", c.listF ? "NumberOfProfiles.F" : "NumberOfProfiles", 1);
        f.c.handleCommand(kCmdRefresh);
        f.sim.transcript().clear();
        ASSERT_TRUE(f.c.selectProfileByName("Fast")) << c.device;
        bool found = false;
        for (const auto& l : f.sim.transcript().lines()) {
            const std::string t = l.text();
            found = found || t.find(c.report) != std::string::npos;
        }
        EXPECT_TRUE(found) << c.device;
        EXPECT_EQ(f.config().block[19], c.loaded);
    }
}

TEST(ProfileCommands, ReadSelectsTheProfileEqualToTheDevice)
{
    ProfileFixture f("dorrin", {}, true);
    // The first-run F "Desktop" equals the Dorrin's factory block.
    writeProfile(f.store, 0, "Desktop", true, fDefaultProfile().data);
    f.store.writeInt("Profile", "NumberOfProfiles.F", 1);
    f.c.handleCommand(kCmdRefresh);
    ASSERT_NE(f.c.profiles().active(), nullptr);
    EXPECT_EQ(f.c.profiles().active()->name, "Desktop");
}

TEST(ProfileCommands, ModelSetUpPerModel)
{
    struct Case {
        const char* device;
        int length;
        const char* help;
        int picture;
    };
    for (const Case& c : {Case{"essom", 32, "Essom.pdf", 164}, Case{"arvel", 32, "Arveld.pdf", 138},
                          Case{"dorrin", 64, "dorrin.pdf", 182}, Case{"cindel", 90, "cindel.pdf", 1011},
                          Case{"brill", 90, "cindel.pdf", 1011}, Case{"arvel2", 90, "Arveld.pdf", 10009}}) {
        ProfileFixture f(c.device, {}, false);
        EXPECT_EQ(f.config().exchangedLength, c.length) << c.device;
        EXPECT_EQ(f.window().helpDocument, c.help) << c.device;
        EXPECT_EQ(f.window().pictureId, c.picture) << c.device;
    }
}

}  // namespace
}  // namespace cvk
