// The About box's texts: the display lines for one and for several
// monitors, the device lines, the version text, and the rich text that shows
// a word in angle brackets instead of swallowing it as an unknown tag.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/about_texts.h"

namespace cvk {
namespace {

struct DisplayCase {
    const char* name;
    std::vector<AboutMonitor> monitors;
    std::string expected;
};

TEST(AboutTextsTest, DisplayLinesPerMonitorCount)
{
    const DisplayCase cases[] = {
        {"none known: nothing to show", {}, ""},
        {"one monitor: its size alone", {{{0, 0, 1920, 1080}, true}}, "<br>Display resolution: 1920 X 1080"},
        {"one monitor away from the origin",
         {{{-1280, 200, 0, 1224}, false}},
         "<br>Display resolution: 1280 X 1024"},
        {"two, the second primary",
         {{{-1280, 0, 0, 1024}, false}, {{0, 0, 1920, 1080}, true}},
         "<b>Display resolution:</b><br>Monitor 1: 1280 X 1024     <br>Monitor 2: 1920 X 1080     <Primary>"},
        {"three, the first primary",
         {{{0, 0, 2560, 1440}, true}, {{2560, 0, 4480, 1080}, false}, {{0, 1440, 1024, 2208}, false}},
         "<b>Display resolution:</b><br>Monitor 1: 2560 X 1440     <Primary><br>Monitor 2: 1920 X 1080     "
         "<br>Monitor 3: 1024 X 768     "},
    };
    for (const DisplayCase& c : cases)
        EXPECT_EQ(aboutDisplayLines(c.monitors), c.expected) << c.name;
}

TEST(AboutTextsTest, PrimaryIsTheMonitorWithThePrimaryRectangle)
{
    const MonitorRect left{-1280, 0, 0, 1024}, main{0, 0, 1920, 1080};
    const auto flags = [](const std::vector<AboutMonitor>& monitors) {
        std::vector<bool> out;
        for (const AboutMonitor& m : monitors)
            out.push_back(m.primary);
        return out;
    };
    EXPECT_EQ(flags(markPrimary({left, main}, main)), (std::vector<bool>{false, true}));
    EXPECT_EQ(flags(markPrimary({left, main}, MonitorRect{5, 5, 6, 6})), (std::vector<bool>{false, false}));
    // Mirrored monitors share one rectangle; one primary is enough.
    EXPECT_EQ(flags(markPrimary({main, main}, main)), (std::vector<bool>{true, false}));
    const std::vector<AboutMonitor> marked = markPrimary({left, main}, main);
    EXPECT_EQ(marked[0].rect.left, -1280);
    EXPECT_EQ(marked[1].rect.right, 1920);
}

TEST(AboutTextsTest, DeviceLinesJoinedInOrderWithBreaks)
{
    EXPECT_EQ(aboutDeviceLines("Corvane hardware version:1.2.05", "SW: 0123456789", "S/N: 0a:1b:2c:3d"),
              "Corvane hardware version:1.2.05<br>SW: 0123456789<br>S/N: 0a:1b:2c:3d");
    // A text the device did not give keeps its line, so the others stay in
    // their places; with no device at all only the breaks remain.
    EXPECT_EQ(aboutDeviceLines("Corvane hardware version:2.13\r\n", "", "S/N: 00:00:00:01"),
              "Corvane hardware version:2.13\r\n<br><br>S/N: 00:00:00:01");
    EXPECT_EQ(aboutDeviceLines("", "", ""), "<br><br>");
}

TEST(AboutTextsTest, VersionTextCarriesTheBuildDateAsIso)
{
    EXPECT_EQ(aboutVersionText("0.1.0", "Jun  1 2025"), "CV Keys Version 0.1.0\nBuild 2025-06-01");
    EXPECT_EQ(aboutVersionText("2.6.4", "Dec 31 2017"), "CV Keys Version 2.6.4\nBuild 2017-12-31");
    // A date in another form is shown rather than guessed at.
    EXPECT_EQ(aboutVersionText("1.0", "2025-06-01"), "CV Keys Version 1.0\nBuild 2025-06-01");
    EXPECT_EQ(aboutVersionText("1.0", "Foo 12 2025"), "CV Keys Version 1.0\nBuild Foo 12 2025");
    EXPECT_EQ(aboutVersionText("1.0", "Jun 1x 2025"), "CV Keys Version 1.0\nBuild Jun 1x 2025");
}

TEST(AboutTextsTest, ShownHtmlKeepsTheProgramsTagsAndEscapesTheRest)
{
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"Monitor 2<Primary>", "Monitor 2&lt;Primary&gt;"},
        {"<b>Display resolution:</b><br>x", "<b>Display resolution:</b><br>x"},
        {"<i>a</i><BR>", "<i>a</i><BR>"},
        {"<font color=#4C4C4C>grey</font>", "<font color=#4C4C4C>grey</font>"},
        {"<hr color=#C3C3C3>", "<hr color=#C3C3C3>"},
        {"<br/>", "<br/>"},
        // The malformed end tag of some texts is closed, the break after it kept.
        {"a</font<br>b", "a</font><br>b"},
        // Unknown names, even ones that begin like a known tag, are text.
        {"<bold>x</bold>", "&lt;bold&gt;x&lt;/bold&gt;"},
        {"<script>x", "&lt;script&gt;x"},
        {"<b", "&lt;b"},
        {"<", "&lt;"},
        {"1 < 2 > 0 & more", "1 &lt; 2 &gt; 0 &amp; more"},
        {"&lt;", "&amp;lt;"},
        // The columns of the monitor lines keep their width.
        {"1080     <Primary>", "1080 &nbsp;&nbsp;&nbsp;&nbsp;&lt;Primary&gt;"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shownHtml(c.in), c.out) << c.in;
}

TEST(AboutTextsTest, LegalNoticeNamesTheMakerAndItsAddress)
{
    const std::string notice = aboutLegalNotice();
    EXPECT_NE(notice.find("Lumrick"), std::string::npos);
    EXPECT_NE(notice.find(kMakerPostalAddress), std::string::npos);
    EXPECT_NE(aboutCopyrightLine().find("Lumrick"), std::string::npos);
}

}  // namespace
}  // namespace cvk
