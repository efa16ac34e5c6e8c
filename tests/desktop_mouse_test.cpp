// The desktop's mouse settings read from KDE's files and GNOME's GSettings
// (a stand-in reader), the wheel lines written into kdeglobals, and the
// cvkeys-cli step that shows them. Every file lives in the test's own home.

#include "platform/linux/desktop_mouse.h"
#include "scoped_env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli_run.h"
#include "temp_dir.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kOwnVendor = 0x3A7C;  // 14972

fs::path freshConfigDir()
{
    const fs::path dir = fs::path(std::getenv("HOME")) / ".config";
    fs::create_directories(dir);
    return dir;
}

DesktopMouseSources kdeSources(const fs::path& configDir, const std::string& session)
{
    DesktopMouseSources s;
    s.desktop = "KDE";
    s.sessionType = session;
    s.configDir = configDir;
    s.gsettings = [](const std::string&, const std::string&) -> std::optional<bool> {
        ADD_FAILURE() << "KDE read GNOME's settings";
        return std::nullopt;
    };
    s.ownVendorId = kOwnVendor;
    return s;
}

// ------------------------------------------------------------ KDE buttons

struct KdeSwapCase {
    const char* name;
    const char* session;
    std::optional<std::string> kcminputrc;  // none: no file
    bool swapped;
    const char* sourcePart;
};

void PrintTo(const KdeSwapCase& c, std::ostream* os) { *os << c.name; }

class KdeButtons : public ::testing::TestWithParam<KdeSwapCase> {};

TEST_P(KdeButtons, ReadFromKcminputrc)
{
    const KdeSwapCase& c = GetParam();
    const fs::path dir = freshConfigDir();
    if (c.kcminputrc)
        putFile(dir / "kcminputrc", *c.kcminputrc);
    const SwapReading r = DesktopMouseSettings(kdeSources(dir, c.session)).buttonsSwapped();
    EXPECT_EQ(r.swapped, c.swapped) << r.source;
    EXPECT_NE(r.source.find(c.sourcePart), std::string::npos) << r.source;
}

const std::string kWaylandMouse = "[Libinput][1133][49291][Logitech USB Receiver]\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, KdeButtons,
    ::testing::Values(
        KdeSwapCase{"NoFile", "x11", std::nullopt, false, "no kcminputrc"},
        KdeSwapCase{"X11LeftHanded", "x11", "[Mouse]\nXLbInptLeftHanded=true\n", true,
                    "[Mouse] XLbInptLeftHanded"},
        KdeSwapCase{"X11RightHanded", "x11", "[Mouse]\nXLbInptLeftHanded=false\n", false,
                    "XLbInptLeftHanded"},
        KdeSwapCase{"X11ExpandFlag", "x11", "[Mouse]\nXLbInptLeftHanded[$e]=true\n", true,
                    "XLbInptLeftHanded"},
        KdeSwapCase{"GroupFlag", "x11", "[Mouse][$i]\nXLbInptLeftHanded=true\n", true, "XLbInptLeftHanded"},
        KdeSwapCase{"SpacesAndCrLf", "x11", "[Mouse]\r\n  XLbInptLeftHanded = True \r\n", true,
                    "XLbInptLeftHanded"},
        KdeSwapCase{"CommentedOut", "x11", "[Mouse]\n# XLbInptLeftHanded=true\n#XLbInptLeftHanded=true\n",
                    false, "no left-handed setting"},
        KdeSwapCase{"LocalisedKeyIsAnotherKey", "x11", "[Mouse]\nXLbInptLeftHanded[de]=true\n", false,
                    "no left-handed setting"},
        KdeSwapCase{"OtherGroup", "x11", "[Keyboard]\nXLbInptLeftHanded=true\n", false,
                    "no left-handed setting"},
        KdeSwapCase{"Malformed", "x11",
                    "[Mouse\nXLbInptLeftHanded=true\n[Mouse]\ngarbage\n=true\nXLbInptLeftHanded=maybe\n[]\n",
                    false, "no left-handed setting"},
        KdeSwapCase{"LastOneWins", "x11",
                    "[Mouse]\nXLbInptLeftHanded=true\n[Mouse]\nXLbInptLeftHanded=false\n", false,
                    "XLbInptLeftHanded"},
        KdeSwapCase{"EvdevDriver", "x11", "[Mouse]\nMouseButtonMapping=LeftHanded\n", true,
                    "MouseButtonMapping"},
        KdeSwapCase{"WaylandDevice", "wayland", kWaylandMouse + "LeftHanded=true\n", true,
                    "[Libinput][1133][49291][Logitech USB Receiver] LeftHanded"},
        KdeSwapCase{
            "WaylandAnyDevice", "wayland",
            "[Libinput][1267][12410][Touchpad]\nLeftHanded=false\n" + kWaylandMouse + "LeftHanded=true\n",
            true, "Logitech"},
        KdeSwapCase{"WaylandAllRightHanded", "wayland",
                    kWaylandMouse + "LeftHanded=false\n[Libinput][1267][12410][Touchpad]\nLeftHanded=false\n",
                    false, "LeftHanded"},
        // The maker's own pad set left-handed swaps that pad alone.
        KdeSwapCase{"WaylandOwnPadLeftOut", "wayland", "[Libinput][14972][2][Corvane Pad]\nLeftHanded=true\n",
                    false, "no left-handed setting"},
        KdeSwapCase{"WaylandDefaults", "wayland", "[Libinput][Defaults][Pointer]\nLeftHanded=true\n", true,
                    "[Libinput][Defaults][Pointer]"},
        KdeSwapCase{"WaylandIgnoresX11Key", "wayland", "[Mouse]\nXLbInptLeftHanded=true\n", false,
                    "no left-handed setting"},
        KdeSwapCase{"X11IgnoresWaylandGroups", "x11", kWaylandMouse + "LeftHanded=true\n", false,
                    "no left-handed setting"},
        KdeSwapCase{"UnknownSessionX11Key", "",
                    "[Mouse]\nXLbInptLeftHanded=true\n" + kWaylandMouse + "LeftHanded=false\n", true,
                    "XLbInptLeftHanded"},
        KdeSwapCase{"UnknownSessionWaylandGroup", "", kWaylandMouse + "LeftHanded=true\n", true, "Logitech"}),
    [](const auto& p) { return std::string(p.param.name); });

// ------------------------------------------------------------ GNOME and others

TEST(DesktopMouse, DesktopNames)
{
    struct Case {
        const char* desktop;
        MouseDesktop expected;
    };
    for (const Case& c :
         {Case{"KDE", MouseDesktop::Kde}, Case{"GNOME", MouseDesktop::Gnome},
          Case{"ubuntu:GNOME", MouseDesktop::Gnome}, Case{"Budgie:GNOME", MouseDesktop::Gnome},
          Case{"Unity", MouseDesktop::Gnome}, Case{"XFCE", MouseDesktop::Other},
          Case{"", MouseDesktop::Other}, Case{"X-Cinnamon", MouseDesktop::Other}})
        EXPECT_EQ(mouseDesktopFor(c.desktop), c.expected) << c.desktop;
}

TEST(DesktopMouse, GnomeLeftHandedFromGSettings)
{
    struct Case {
        std::optional<bool> stored;  // none: the schema is not installed
        bool swapped;
        const char* sourcePart;
    };
    for (const Case& c : {Case{true, true, "from GSettings"}, Case{false, false, "from GSettings"},
                          Case{std::nullopt, false, "not installed"}}) {
        std::vector<std::string> asked;
        DesktopMouseSources s;
        s.desktop = "ubuntu:GNOME";
        s.gsettings = [&](const std::string& schema, const std::string& key) {
            asked.push_back(schema + " " + key);
            return c.stored;
        };
        const SwapReading r = DesktopMouseSettings(s).buttonsSwapped();
        EXPECT_EQ(r.swapped, c.swapped) << r.source;
        EXPECT_NE(r.source.find(c.sourcePart), std::string::npos) << r.source;
        EXPECT_EQ(asked, std::vector<std::string>{"org.gnome.desktop.peripherals.mouse left-handed"});
    }
}

TEST(DesktopMouse, GnomeWithoutAReaderIsNotSwapped)
{
    DesktopMouseSources s;
    s.desktop = "GNOME";
    EXPECT_FALSE(DesktopMouseSettings(s).buttonsSwapped().swapped);
}

TEST(DesktopMouse, MissingSchemaDoesNotAbort)
{
    EXPECT_EQ(readGSettingsBool("org.cvkeys.test.no-such-schema", "left-handed"), std::nullopt);
}

TEST(DesktopMouse, UnknownDesktopReadsNothing)
{
    const fs::path dir = freshConfigDir();
    putFile(dir / "kcminputrc", "[Mouse]\nXLbInptLeftHanded=true\n");
    putFile(dir / "kdeglobals", "[KDE]\nWheelScrollLines=7\n");
    DesktopMouseSources s;
    s.desktop = "XFCE";
    s.configDir = dir;
    s.gsettings = [](const std::string&, const std::string&) -> std::optional<bool> { return true; };
    DesktopMouseSettings mouse(s);
    EXPECT_FALSE(mouse.buttonsSwapped().swapped);
    EXPECT_EQ(mouse.wheelScrollLines().lines, std::nullopt);
    EXPECT_EQ(mouse.desktopName(), "other (XFCE)");
}

// Desktops without a wheel-lines setting keep a value set, and refuse one
// out of range without forgetting the last.
TEST(DesktopMouse, WheelLinesKeptWhereTheDesktopHasNone)
{
    for (const char* desktop : {"GNOME", "XFCE"}) {
        DesktopMouseSources s;
        s.desktop = desktop;
        s.configDir = freshConfigDir();
        DesktopMouseSettings mouse(s);
        EXPECT_EQ(mouse.wheelScrollLines().lines, std::nullopt) << desktop;
        EXPECT_TRUE(mouse.setWheelScrollLines(1, nullptr));
        EXPECT_EQ(mouse.wheelScrollLines().lines, 1) << desktop;
        std::string error;
        EXPECT_FALSE(mouse.setWheelScrollLines(0, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(mouse.wheelScrollLines().lines, 1) << desktop;
        EXPECT_TRUE(fs::is_empty(s.configDir)) << desktop;
    }
}

// ------------------------------------------------------------ KDE wheel lines

TEST(KdeWheelLines, ReadFromKdeglobals)
{
    struct Case {
        std::optional<std::string> kdeglobals;
        int lines;
        const char* sourcePart;
    };
    for (const Case& c : {
             Case{std::nullopt, 3, "KDE's default"},
             Case{"[KDE]\nWheelScrollLines=7\n", 7, "from kdeglobals"},
             Case{"[General]\nfont=x\n\n[KDE]\n# lines\nWheelScrollLines[$e]=5\r\n", 5, "from kdeglobals"},
             Case{"[General]\nWheelScrollLines=9\n", 3, "KDE's default"},
             Case{"[KDE]\nWheelScrollLines=abc\n", 3, "not a line count"},
             Case{"[KDE]\nWheelScrollLines=0\n", 3, "not a line count"},
             Case{"[KDE]\nWheelScrollLines=-2\n", 3, "not a line count"},
             Case{"[KDE]\nWheelScrollLines=99999999999\n", 3, "not a line count"},
         }) {
        const fs::path dir = freshConfigDir();
        fs::remove(dir / "kdeglobals");
        if (c.kdeglobals)
            putFile(dir / "kdeglobals", *c.kdeglobals);
        const WheelReading r = DesktopMouseSettings(kdeSources(dir, "wayland")).wheelScrollLines();
        EXPECT_EQ(r.lines, c.lines) << c.kdeglobals.value_or("(no file)");
        EXPECT_NE(r.source.find(c.sourcePart), std::string::npos) << r.source;
    }
}

const std::string kKdeglobals =
    "# written by hand\n"
    "[$Version]\n"
    "update_info=filepicker.upd:filepicker-remove-old-previews-entry\n"
    "\n"
    "[General]\n"
    "ColorScheme=BreezeDark\n"
    "fixed=Hack,10,-1,5,50,0,0,0,0,0\n"
    "\n"
    "[KDE]\n"
    "LookAndFeelPackage=org.kde.breezedark.desktop\n"
    "  # the wheel\n"
    "WheelScrollLines=3\n"
    "SingleClick=false\n"
    "\n"
    "[KDE][Window]\n"
    "WheelScrollLines=8\n";

struct EditCase {
    const char* name;
    std::string before;
    std::string after;
};

void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }

class KdeglobalsEdit : public ::testing::TestWithParam<EditCase> {};

TEST_P(KdeglobalsEdit, ChangesOnlyTheOneLine)
{
    const EditCase& c = GetParam();
    EXPECT_EQ(withKdeConfigValue(c.before, "KDE", "WheelScrollLines", "1"), c.after);

    // The same through the settings, on disk.
    const fs::path dir = freshConfigDir();
    putFile(dir / "kdeglobals", c.before);
    DesktopMouseSettings mouse(kdeSources(dir, "wayland"));
    std::string error;
    ASSERT_TRUE(mouse.setWheelScrollLines(1, &error)) << error;
    EXPECT_EQ(fileBytes(dir / "kdeglobals"), c.after);
    EXPECT_EQ(mouse.wheelScrollLines().lines, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KdeglobalsEdit,
    ::testing::Values(
        EditCase{"KeyPresent", kKdeglobals,
                 "# written by "
                 "hand\n[$Version]\nupdate_info=filepicker.upd:filepicker-remove-old-previews-entry\n\n"
                 "[General]\nColorScheme=BreezeDark\nfixed=Hack,10,-1,5,50,0,0,0,0,0\n\n"
                 "[KDE]\nLookAndFeelPackage=org.kde.breezedark.desktop\n  # the wheel\nWheelScrollLines=1\n"
                 "SingleClick=false\n\n[KDE][Window]\nWheelScrollLines=8\n"},
        EditCase{"FlagsAndCrLfKept", "[KDE]\r\nWheelScrollLines[$e] = 3\r\nSingleClick=false\r\n",
                 "[KDE]\r\nWheelScrollLines[$e] = 1\r\nSingleClick=false\r\n"},
        EditCase{"LastOfTwoGroups", "[KDE]\nWheelScrollLines=3\n[General]\nx=1\n[KDE]\nWheelScrollLines=4\n",
                 "[KDE]\nWheelScrollLines=3\n[General]\nx=1\n[KDE]\nWheelScrollLines=1\n"},
        EditCase{"KeyAddedToTheGroup", "[KDE]\nSingleClick=false\n\n# next\n[General]\nx=1\n",
                 "[KDE]\nSingleClick=false\nWheelScrollLines=1\n\n# next\n[General]\nx=1\n"},
        EditCase{"KeyAddedToAnEmptyGroup", "[KDE]\n[General]\nx=1\n",
                 "[KDE]\nWheelScrollLines=1\n[General]\nx=1\n"},
        EditCase{"GroupAdded", "[General]\nx=1\n", "[General]\nx=1\n\n[KDE]\nWheelScrollLines=1\n"},
        EditCase{"GroupAddedAfterALastLineWithoutEnd", "[General]\nx=1",
                 "[General]\nx=1\n\n[KDE]\nWheelScrollLines=1\n"},
        EditCase{"KeyAddedAfterALastLineWithoutEnd", "[KDE]\nx=1", "[KDE]\nx=1\nWheelScrollLines=1\n"},
        EditCase{"EmptyFile", "", "[KDE]\nWheelScrollLines=1\n"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(KdeWheelLines, WriteCreatesAMissingFileAndKeepsTheMode)
{
    const fs::path dir = freshConfigDir();
    DesktopMouseSettings mouse(kdeSources(dir, "x11"));
    ASSERT_TRUE(mouse.setWheelScrollLines(5, nullptr));
    EXPECT_EQ(fileBytes(dir / "kdeglobals"), "[KDE]\nWheelScrollLines=5\n");

    fs::permissions(dir / "kdeglobals", fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(mouse.setWheelScrollLines(2, nullptr));
    EXPECT_EQ(fileBytes(dir / "kdeglobals"), "[KDE]\nWheelScrollLines=2\n");
    EXPECT_EQ(fs::status(dir / "kdeglobals").permissions(), fs::perms::owner_read | fs::perms::owner_write);
    // Nothing left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(KdeWheelLines, LinkedFileStaysALink)
{
    const fs::path dir = freshConfigDir();
    const fs::path dotfiles = fs::path(std::getenv("HOME")) / "dotfiles";
    fs::create_directories(dotfiles);
    putFile(dotfiles / "kdeglobals", "[KDE]\nWheelScrollLines=3\n");
    fs::create_symlink(dotfiles / "kdeglobals", dir / "kdeglobals");
    ASSERT_TRUE(DesktopMouseSettings(kdeSources(dir, "x11")).setWheelScrollLines(6, nullptr));
    EXPECT_TRUE(fs::is_symlink(dir / "kdeglobals"));
    EXPECT_EQ(fileBytes(dotfiles / "kdeglobals"), "[KDE]\nWheelScrollLines=6\n");
}

TEST(KdeWheelLines, RefusedWritesLeaveTheFile)
{
    const fs::path dir = freshConfigDir();
    putFile(dir / "kdeglobals", kKdeglobals);
    DesktopMouseSettings mouse(kdeSources(dir, "x11"));
    for (int lines : {0, -1, 101}) {
        std::string error;
        EXPECT_FALSE(mouse.setWheelScrollLines(lines, &error)) << lines;
        EXPECT_NE(error.find(std::to_string(lines)), std::string::npos) << error;
    }
    EXPECT_EQ(fileBytes(dir / "kdeglobals"), kKdeglobals);
}

TEST(KdeWheelLines, MissingConfigFolderFailsWithoutCreatingIt)
{
    const fs::path dir = fs::path(std::getenv("HOME")) / "no-such-folder";
    std::string error;
    EXPECT_FALSE(DesktopMouseSettings(kdeSources(dir, "x11")).setWheelScrollLines(2, &error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir));
}

TEST(KdeWheelLines, UnwritableFolderFailsWithoutTouchingTheFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores file permissions";
    const fs::path dir = freshConfigDir();
    putFile(dir / "kdeglobals", kKdeglobals);
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    std::string error;
    DesktopMouseSettings mouse(kdeSources(dir, "x11"));
    const bool written = mouse.setWheelScrollLines(2, &error);
    fs::permissions(dir, fs::perms::owner_all);
    EXPECT_FALSE(written);
    EXPECT_NE(error.find("kdeglobals"), std::string::npos) << error;
    EXPECT_EQ(fileBytes(dir / "kdeglobals"), kKdeglobals);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    EXPECT_EQ(mouse.wheelScrollLines().lines, 3);
}

// ------------------------------------------------------------ cvkeys-cli

TEST(CliDesktopMouse, ShowsWhatTheDesktopSaysAndWhere)
{
    const fs::path dir = freshConfigDir();
    putFile(dir / "kcminputrc", "[Mouse]\nXLbInptLeftHanded=true\n");
    putFile(dir / "kdeglobals", "[KDE]\nWheelScrollLines=4\n");
    EnvironmentVariable desktop("XDG_CURRENT_DESKTOP", "KDE");
    EnvironmentVariable session("XDG_SESSION_TYPE", "x11");
    const CliResult r = cli({"desktop-mouse"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out,
              "desktop: KDE\n"
              "buttons swapped: yes (from kcminputrc [Mouse] XLbInptLeftHanded)\n"
              "wheel scroll lines: 4 (from kdeglobals [KDE] WheelScrollLines)\n");
}

TEST(CliDesktopMouse, UnknownDesktop)
{
    EnvironmentVariable desktop("XDG_CURRENT_DESKTOP", "XFCE");
    const CliResult r = cli({"desktop-mouse"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out,
              "desktop: other (XFCE)\n"
              "buttons swapped: no (no buttons setting known for this desktop)\n"
              "wheel scroll lines: none (no such setting on this desktop)\n");
}

}  // namespace
}  // namespace cvk
