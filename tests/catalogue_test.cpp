// The function catalogue: the preset tables and the menus each model builds
// for the pad and its buttons, with firmware and Ctrl conditions, ticks,
// grays and factory flags.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "config/catalogue.h"
#include "config/factory_blocks.h"
#include "device/device_state.h"
#include "device/model_views.h"
#include "device/models.h"
#include "texts/text_table.h"
#include "texts/texts.h"

namespace cvk {
namespace {

using Commands = std::set<int>;
using Block = std::array<uint8_t, kBlockSize>;

MenuContext context(int model, uint32_t fw, int button, const Block& block = {}, bool ctrl = false)
{
    MenuContext c = menuContext(model, model == kModelReceiverOnly);
    c.firmwareVersion = fw;
    c.button = button;
    c.block = block;
    c.ctrlHeld = ctrl;
    return c;
}

void collect(const std::vector<MenuItem>& menu, bool MenuItem::*field, Commands& out)
{
    for (const MenuItem& m : menu) {
        if (m.*field)
            out.insert(m.command);
        collect(m.submenu, field, out);
    }
}

Commands ticked(const std::vector<MenuItem>& menu)
{
    Commands c;
    collect(menu, &MenuItem::ticked, c);
    return c;
}

Commands defaults(const std::vector<MenuItem>& menu)
{
    Commands c;
    collect(menu, &MenuItem::isDefault, c);
    return c;
}

// The top level of a menu as a tree, submenus shown by their titles only.
std::string topLevel(std::vector<MenuItem> menu)
{
    MenuItem placeholder;
    placeholder.text = "...";
    for (MenuItem& m : menu)
        if (m.isSubmenu())
            m.submenu = {placeholder};
    std::string tree = menuTree(menu);
    std::string out;
    for (size_t pos = 0; pos < tree.size();) {
        const size_t end = tree.find('\n', pos);
        const std::string line = tree.substr(pos, end - pos);
        if (line != "  ...")
            out += line + "\n";
        pos = end + 1;
    }
    return out;
}

void setKeyWord(Block& b, int model, int button, uint16_t word)
{
    b[keyLowPosition(model, button)] = static_cast<uint8_t>(word & 0xFF);
    b[keyHighPosition(model, button)] = static_cast<uint8_t>(word >> 8);
}

// ---------------------------------------------------------------- tables

TEST(CataloguePresets, RowKindsAndCommandsLineUp)
{
    // Two direct runs, one separator, four keyboard submenus.
    const auto count = [](uint16_t w) {
        return std::count_if(kKeyboardPresets.begin(), kKeyboardPresets.end(),
                             [&](const KeyboardPreset& p) { return p.keyWord == w; });
    };
    EXPECT_EQ(count(kPresetDirectRun), 2);
    EXPECT_EQ(count(kPresetSeparator), 1);
    EXPECT_EQ(count(kPresetSubmenu), 4);
    // A key item's text comes from the text table or, without an id, from
    // the row itself; never both, never neither.
    for (int row = 0; row < 64; ++row) {
        const KeyboardPreset& p = keyboardPreset(row);
        if (p.keyWord == kPresetSeparator)
            continue;
        EXPECT_NE(p.textId != 0, std::string(p.literal).size() > 0) << "row " << row;
        EXPECT_FALSE(presetText(row).empty()) << "row " << row;
    }
}

struct PresetCase {
    int row;
    uint16_t keyWord;
    const char* text;
};

TEST(CataloguePresets, KeyRowsCarryTheirWordAndText)
{
    const PresetCase cases[] = {
        {1, 0x011D, "Undo\tCtrl+Z"},
        {4, 0x0106, "Copy\tCtrl+C"},
        {5, 0x0119, "Paste\tCtrl+V"},
        {8, 0x011A, "Close Tab\tCtrl+W"},
        {9, 0x042B, "Switch window\tAlt+Tab"},
        {10, 0x802B, "Switch window (Vista)\tStart+Tab"},
        {11, 0x800F, "Lock Computer\tStart+L"},
        {14, 0x0000, "Function Keys"},
        {15, 0x003A, "F1"},
        {26, 0x0045, "F12"},
        {29, 0x0048, "Pause"},
        {33, 0x004D, "End"},
        {40, 0x0027, "0"},
        {41, 0x001E, "1"},
        {49, 0x0026, "9"},
        {52, 0x002B, "TAB"},
        {54, 0x0056, "-"},
        {58, 0x0063, ","},
        {59, 0x0000, "Window Commands"},
        {60, 0x8000, "Start Button"},
        {62, 0x043D, "Close window\tAlt+F4"},
        {63, 0x002A, "BACKSPACE"},
    };
    for (const PresetCase& c : cases) {
        EXPECT_EQ(presetKeyWord(c.row), c.keyWord) << "row " << c.row;
        EXPECT_EQ(presetText(c.row), c.text) << "row " << c.row;
    }
    EXPECT_EQ(presetRowForKeyWord(0x0106), 4);
    EXPECT_EQ(presetRowForKeyWord(0x0107), -1);
}

TEST(CataloguePresets, MultimediaRowsByUsage)
{
    const PresetCase cases[] = {
        {0, 0x00B5, "Scan Next Track"}, {2, 0x00B7, "Stop"},
        {3, 0x00CD, "Play/Pause"},      {4, 0x00E2, "Mute"},
        {12, 0x018A, "Email Reader"},   {17, 0x0226, "Stop"},
        {20, 0x0192, "Calculator"},     {22, 0x0183, "Windows Media Player"},
    };
    for (const PresetCase& c : cases) {
        EXPECT_EQ(multimediaRow(c.row).usage, c.keyWord) << "row " << c.row;
        EXPECT_EQ(multimediaText(c.row), c.text) << "row " << c.row;
        EXPECT_EQ(multimediaRowForUsage(c.keyWord), c.row);
    }
    EXPECT_EQ(multimediaRowForUsage(0x0000), -1);
    EXPECT_EQ(multimediaRowForUsage(0x0106), -1);
}

TEST(CataloguePresets, SnippetStrokesAsTheDeviceHoldsThem)
{
    // "@" is Ctrl + right Alt + 2 on a Swedish keyboard; the rest is zero.
    SnippetStrokes at{};
    at[0] = 0x1F;
    at[1] = 0x41;
    EXPECT_EQ(snippetPreset(0).strokes, at);
    EXPECT_STREQ(snippetPreset(2).text, "https://www.");
    EXPECT_EQ(snippetPreset(2).strokes[8], 0x16);   // the s
    EXPECT_EQ(snippetPreset(2).strokes[23], 0x00);  // twelve pairs, then zero
    EXPECT_EQ(snippetPreset(2).strokes[22], 0x37);
    // The Cindel factory block carries the second preset.
    std::array<uint8_t, kSnippetStrokeBytes> factory{};
    std::copy_n(kCindelFactory.begin() + kPosSnippetStrokes, kSnippetStrokeBytes, factory.begin());
    EXPECT_EQ(snippetRowForStrokes(factory), 1);
    // Every preset ends with a zero pair and no two are alike.
    for (int row = 0; row < 10; ++row) {
        const SnippetStrokes& s = snippetPreset(row).strokes;
        EXPECT_EQ(s[24], 0) << row;
        EXPECT_EQ(snippetRowForStrokes(s), row);
    }
}

struct SelectionCase {
    int model;
    bool receiver;
    Catalogue expected;
};

TEST(CatalogueSelection, ByModelAndReceiver)
{
    const SelectionCase cases[] = {
        {kModelCindel, false, Catalogue::Cindel},      {kModelBrill, false, Catalogue::Cindel},
        {kModelReceiverOnly, true, Catalogue::Cindel}, {kModelArvel, true, Catalogue::Cindel},
        {kModelDorrin, false, Catalogue::Dorrin},      {kModelDorrinReceiver, false, Catalogue::Dorrin},
        {kModelEssom, false, Catalogue::Essom},        {kModelArvel, false, Catalogue::Arvel},
        {kModelArvelOld, false, Catalogue::Arvel},     {kModelArvel2, false, Catalogue::Arvel},
        {kModelNone, false, Catalogue::Arvel},
    };
    for (const SelectionCase& c : cases)
        EXPECT_EQ(catalogueFor(c.model, c.receiver), c.expected) << c.model << " receiver " << c.receiver;
}

// ---------------------------------------------------------------- menu shapes

TEST(MenuShape, DorrinOnOffButtonIsGrayedButItsSwitch)
{
    const auto menu = buildMenu(context(kModelDorrin, 0x320, 3, factoryBlock(kModelDorrin, 0x320)));
    EXPECT_EQ(topLevel(menu),
              "Click / Select #30010 (grayed)\n"
              "Right Click #30011 (grayed)\n"
              "Auto Scroll /\u201DMiddle Button\u201D #30012 (grayed)\n"
              "Browse Back #30013 (grayed)\n"
              "Browse Forward #30014 (grayed)\n"
              "Double Click #30015 (grayed)\n"
              "ClickLock #30062 (grayed)\n"
              "Cruise up #30016 (grayed)\n"
              "Cruise down #30017 (grayed)\n"
              "Scroll (Press key, move Pad) #30020 (grayed)\n"
              "Switch Screen #30035 (grayed)\n"
              "> Enhance Cursor Precision #30026 (grayed)\n"
              "Undo\\tCtrl+Z #20101 (grayed) (column)\n"
              "Redo\\tCtrl+Y #20102 (grayed)\n"
              "Cut\\tCtrl+X #20103 (grayed)\n"
              "Copy\\tCtrl+C #20104 (grayed)\n"
              "Paste\\tCtrl+V #20105 (grayed)\n"
              "Delete\\tDEL #20106 (grayed)\n"
              "Select All\\tCtrl+A #20107 (grayed)\n"
              "Close Tab\\tCtrl+W #20108 (grayed)\n"
              "Switch window\\tAlt+Tab #20109 (grayed)\n"
              "Lock Computer\\tStart+L #20111 (grayed)\n"
              "-----\n"
              "> Keyboard #30021 (grayed)\n"
              "-----\n"
              "Only On/Off #30030 [x] (default)\n");
    EXPECT_EQ(ticked(menu), Commands{30030});
}

TEST(MenuShape, CindelButtonOrderWithSnippetsAndZoom)
{
    const auto menu = buildMenu(context(kModelCindel, 0x322, 2, factoryBlock(kModelCindel, 0x322)));
    EXPECT_EQ(topLevel(menu),
              "Click / Select #30010\n"
              "Right Click #30011\n"
              "Auto Scroll /\u201DMiddle Button\u201D #30012\n"
              "Browse Back #30013\n"
              "Browse Forward #30014\n"
              "Double Click #30015 [x] (default)\n"
              "ClickLock #30062\n"
              "Cruise up #30016\n"
              "Cruise down #30017\n"
              "Scroll (Press key, move Pad) #30020\n"
              "Zooma in\\tCtrl+hjul up #20230\n"
              "Zooma ut\\tCtrl+hjul ner #20231\n"
              "Switch Screen #30035\n"
              "> Enhance Cursor Precision #30026\n"
              "Undo\\tCtrl+Z #20101 (column)\n"
              "Redo\\tCtrl+Y #20102\n"
              "Cut\\tCtrl+X #20103\n"
              "Copy\\tCtrl+C #20104\n"
              "Paste\\tCtrl+V #20105\n"
              "Delete\\tDEL #20106\n"
              "Select All\\tCtrl+A #20107\n"
              "Close Tab\\tCtrl+W #20108\n"
              "Switch window\\tAlt+Tab #20109\n"
              "Lock Computer\\tStart+L #20111\n"
              "-----\n"
              "> Text Snippets\n"
              "> Keyboard #30021\n"
              "-----\n"
              "Disable #30030\n");
    const MenuItem* snippets = nullptr;
    for (const MenuItem& m : menu)
        if (m.textId == 228)
            snippets = &m;
    ASSERT_NE(snippets, nullptr);
    ASSERT_EQ(snippets->submenu.size(), 12u);
    EXPECT_EQ(snippets->submenu[0].text, "@");
    EXPECT_EQ(snippets->submenu[9].command, 20211);
    EXPECT_TRUE(snippets->submenu[10].separator);
    EXPECT_EQ(snippets->submenu[11].text, "Custom ...");
    EXPECT_EQ(snippets->submenu[11].command, 20201);
}

TEST(MenuShape, KeyboardSubmenuHoldsThePresetGroupsMultimediaAndOtherKeys)
{
    const auto menu = buildMenu(context(kModelDorrin, 0x320, 1));
    const MenuItem* keyboard = findMenuItem(menu, kCmdKeyboard);
    ASSERT_NE(keyboard, nullptr);
    std::vector<std::pair<std::string, size_t>> shape;
    for (const MenuItem& m : keyboard->submenu)
        shape.emplace_back(m.text, m.submenu.size());
    const std::vector<std::pair<std::string, size_t>> expected = {
        {"Function Keys", 12},  {"Control Keys", 11},    {"Keypad", 19},
        {"Window Commands", 4}, {"Multimedia Keys", 23}, {"Other keys...", 0},
    };
    EXPECT_EQ(shape, expected);
    EXPECT_EQ(keyboard->submenu[3].submenu.back().command, 20163);  // BACKSPACE closes the last group
    EXPECT_EQ(keyboard->submenu[4].submenu[22].command, 20022);
    EXPECT_EQ(keyboard->submenu[5].command, 20200);
    // Only the first direct key item opens a column.
    std::vector<int> breaks;
    for (const MenuItem& m : menu)
        if (m.columnBreak)
            breaks.push_back(m.command);
    EXPECT_EQ(breaks, std::vector<int>{20101});
}

TEST(MenuShape, EssomPadPutsResolutionBeforeEndSwitch)
{
    const auto menu = buildMenu(context(kModelEssom, 0x310, 0, factoryBlock(kModelEssom, 0x310), true));
    EXPECT_EQ(menuTree(menu),
              "Click / Select #30009 [x] (default)\n"
              "-----\n"
              "> Resolution\n"
              "  Low Resolution #30038 [x]\n"
              "  Default Mode #30039\n"
              "  Wide Screen Mode #30040\n"
              "> End Switch #30034\n"
              "  Off #30031\n"
              "  Low Speed #30032 [x] (default)\n"
              "  Increasing Speed #30033\n");
}

TEST(MenuShape, CindelPadWithCtrl)
{
    Block b{};
    b[kPosPadFlags] = 0x0D;
    b[kPosEdgePrecision] = 16;
    b[kPosEndSwitch] = 17;
    b[kPosResolutionMode] = 4;
    const auto menu = buildMenu(context(kModelCindel, 0x322, 0, b, true));
    EXPECT_EQ(menuTree(menu),
              "Click / Select #30009 [x] (default)\n"
              "-----\n"
              "Enable Edge Scroll #30019 [x] (default)\n"
              "Browse Back/Forward    #30018 (default)\n"
              "> Edge Scroll Precision #30029\n"
              "  Low #30027 (default)\n"
              "  Enhanced #30028 [x]\n"
              "> End Switch #30034\n"
              "  Off #30031\n"
              "  Low Speed #30032 (default)\n"
              "  Increasing Speed #30033\n"
              "  -----\n"
              "  Alternate method #30063 [x]\n"
              "-----\n"
              "Help me avoid Edges #30060 [x] (default)\n"
              "Switch primary and secondary buttons #30036 [x]\n"
              "-----\n"
              "Disable all #30030\n");
}

TEST(MenuShape, ArvelButtonMenuWithDisableBeforeTheKeys)
{
    const auto menu = buildMenu(context(kModelArvel, 0x31E, 5, factoryBlock(kModelArvel, 0x31E)));
    EXPECT_EQ(topLevel(menu),
              "Click / Select #30010\n"
              "Right Click #30011 [x] (default)\n"
              "Auto Scroll /\u201DMiddle Button\u201D #30012\n"
              "Browse Back #30013\n"
              "Browse Forward #30014\n"
              "Double Click #30015\n"
              "ClickLock #30062\n"
              "Cruise up #30016\n"
              "Cruise down #30017\n"
              "Scroll (Press key, move Pad) #30020\n"
              "Switch Screen #30035\n"
              "> Enhance Cursor Precision #30026\n"
              "-----\n"
              "Disable #30030\n"
              "Undo\\tCtrl+Z #20101 (column)\n"
              "Redo\\tCtrl+Y #20102\n"
              "Cut\\tCtrl+X #20103\n"
              "Copy\\tCtrl+C #20104\n"
              "Paste\\tCtrl+V #20105\n"
              "Delete\\tDEL #20106\n"
              "Select All\\tCtrl+A #20107\n"
              "Close Tab\\tCtrl+W #20108\n"
              "Switch window\\tAlt+Tab #20109\n"
              "Switch window (Vista)\\tStart+Tab #20110\n"
              "Lock Computer\\tStart+L #20111\n"
              "-----\n"
              "> Keyboard #30021\n");
}

TEST(MenuShape, EssomButtonMenu)
{
    const auto menu = buildMenu(context(kModelEssom, 0x31C, 4, factoryBlock(kModelEssom, 0x31C)));
    EXPECT_EQ(menuTree(menu),
              "Click / Select #30010\n"
              "Right Click #30011\n"
              "Auto Scroll /\u201DMiddle Button\u201D #30012\n"
              "Double Click #30015\n"
              "Scroll (Press key, move Pad) #30020 [x] (default)\n"
              "-----\n"
              "Disable #30030\n");
}

// ---------------------------------------------------------------- conditions

struct PresenceCase {
    const char* name;
    int model;
    uint32_t fw;
    int button;
    bool ctrl;
    int command;
    bool present;
};

void PrintTo(const PresenceCase& c, std::ostream* os) { *os << c.name; }

class MenuConditions : public ::testing::TestWithParam<PresenceCase> {};

TEST_P(MenuConditions, ItemPresence)
{
    const PresenceCase& c = GetParam();
    const auto menu = buildMenu(context(c.model, c.fw, c.button, {}, c.ctrl));
    EXPECT_EQ(findMenuItem(menu, c.command) != nullptr, c.present) << c.name << "\n" << topLevel(menu);
}

// clang-format off
const PresenceCase kPresenceCases[] = {
    // Arvel buttons: keys from 0x300, Start+Tab from 0x302, Start+L from 0x304.
    {"Arvel 0x2FE no key items",      kModelArvel, 0x2FE, 1, false, 20101, false},
    {"Arvel 0x2FE no Keyboard",       kModelArvel, 0x2FE, 1, false, kCmdKeyboard, false},
    {"Arvel 0x2FF no Keyboard",       kModelArvel, 0x2FF, 1, false, kCmdKeyboard, false},
    {"Arvel 0x2FF no Other keys",     kModelArvel, 0x2FF, 1, false, kCmdOtherKeys, false},
    {"Arvel 0x300 Keyboard",          kModelArvel, 0x300, 1, false, kCmdKeyboard, true},
    {"Arvel 0x300 Alt+Tab",           kModelArvel, 0x300, 1, false, 20109, true},
    {"Arvel 0x301 no Start+Tab",      kModelArvel, 0x301, 1, false, 20110, false},
    {"Arvel 0x302 Start+Tab",         kModelArvel, 0x302, 1, false, 20110, true},
    {"Arvel 0x302 no Start+L",        kModelArvel, 0x302, 1, false, 20111, false},
    {"Arvel 0x303 no Start+L",        kModelArvel, 0x303, 1, false, 20111, false},
    {"Arvel 0x304 Start+L",           kModelArvel, 0x304, 1, false, 20111, true},
    {"Arvel 0x301 no Enhance",        kModelArvel, 0x301, 1, false, kCmdEnhanceTitle, false},
    {"Arvel 0x302 Enhance",           kModelArvel, 0x302, 1, false, kCmdEnhanceLess, true},
    {"Arvel 0x303 no Switch Screen",  kModelArvel, 0x303, 1, false, kCmdSwitchScreen, false},
    {"Arvel 0x304 Switch Screen",     kModelArvel, 0x304, 1, false, kCmdSwitchScreen, true},
    {"Arvel 0x31D no ClickLock",      kModelArvel, 0x31D, 1, false, kCmdClickLock, false},
    {"Arvel 0x31E ClickLock",         kModelArvel, 0x31E, 1, false, kCmdClickLock, true},
    {"Arvel 2.0 uses Arvel rules",    kModelArvel2, 0x31D, 1, false, kCmdClickLock, false},
    {"Arvel no snippets",             kModelArvel, 0x400, 1, false, kCmdSignature, false},
    {"Arvel no zoom",                 kModelArvel, 0x400, 1, false, kCmdZoomIn, false},
    // Dorrin and Cindel never show Start+Tab; zoom and snippets are Cindel's.
    {"Dorrin no Start+Tab",           kModelDorrin, 0x400, 1, false, 20110, false},
    {"Cindel no Start+Tab",           kModelCindel, 0x400, 1, false, 20110, false},
    {"Dorrin Start+L",                kModelDorrin, 0x100, 1, false, 20111, true},
    {"Dorrin no zoom",                kModelDorrin, 0x400, 1, false, kCmdZoomOut, false},
    {"Dorrin no snippets",            kModelDorrin, 0x400, 1, false, kCmdSnippetFirst, false},
    {"Brill snippets",                kModelBrill, 0x100, 1, false, kCmdSnippetFirst + 9, true},
    {"Receiver snippets",             kModelReceiverOnly, 0x1001, 1, false, kCmdSignature, true},
    {"Essom no keys",                 kModelEssom, 0x400, 1, false, kCmdKeyboard, false},
    {"Essom no Browse Back",          kModelEssom, 0x400, 1, false, kCmdBrowseBack, false},
    {"Essom no ClickLock",            kModelEssom, 0x400, 1, false, kCmdClickLock, false},
    // Arvel pad.
    {"Arvel pad 0x301 no precision",  kModelArvel, 0x301, 0, false, kCmdPrecisionTitle, false},
    {"Arvel pad 0x301 no end switch", kModelArvel, 0x301, 0, false, kCmdEndSwitchOff, false},
    {"Arvel pad 0x302 precision",     kModelArvel, 0x302, 0, false, kCmdPrecisionLow, true},
    {"Arvel pad 0x302 end switch",    kModelArvel, 0x302, 0, false, kCmdEndSwitchOff, true},
    {"Arvel pad no alternate",        kModelArvel, 0x400, 0, false, kCmdEndSwitchAlternate, false},
    {"Arvel pad resolution needs Ctrl", kModelArvel, 0x310, 0, false, kCmdResolutionLow, false},
    {"Arvel pad 0x306 no resolution", kModelArvel, 0x306, 0, true, kCmdResolutionLow, false},
    {"Arvel pad 0x307 resolution",    kModelArvel, 0x307, 0, true, kCmdResolutionWide, true},
    {"Arvel pad 0x307 no avoid item", kModelArvel, 0x307, 0, true, kCmdResolutionAvoidEdges, false},
    {"Arvel pad 0x308 avoid item",    kModelArvel, 0x308, 0, true, kCmdResolutionAvoidEdges, true},
    {"Arvel pad 0x319 resolution",    kModelArvel, 0x319, 0, true, kCmdResolutionLow, true},
    {"Arvel pad 0x319 no toggle",     kModelArvel, 0x319, 0, true, kCmdAvoidEdgesToggle, false},
    {"Arvel pad 0x31A no resolution", kModelArvel, 0x31A, 0, true, kCmdResolutionLow, false},
    {"Arvel pad 0x31A toggle",        kModelArvel, 0x31A, 0, true, kCmdAvoidEdgesToggle, true},
    {"Arvel pad toggle needs Ctrl",   kModelArvel, 0x31A, 0, false, kCmdAvoidEdgesToggle, false},
    {"Arvel pad no swap",             kModelArvel, 0x400, 0, false, kCmdSwapButtons, false},
    {"Arvel pad disable all",         kModelArvel, 0x100, 0, false, kCmdDisable, true},
    // Essom pad.
    {"Essom pad no edge scroll",      kModelEssom, 0x310, 0, true, kCmdPadEdgeScroll, false},
    {"Essom pad no browse",           kModelEssom, 0x310, 0, true, kCmdPadBrowse, false},
    {"Essom pad no disable all",      kModelEssom, 0x310, 0, true, kCmdDisable, false},
    {"Essom pad no precision",        kModelEssom, 0x310, 0, true, kCmdPrecisionTitle, false},
    {"Essom pad 0x31B resolution",    kModelEssom, 0x31B, 0, true, kCmdResolutionLow, true},
    {"Essom pad never avoid item",    kModelEssom, 0x31B, 0, true, kCmdResolutionAvoidEdges, false},
    {"Essom pad 0x31C no resolution", kModelEssom, 0x31C, 0, true, kCmdResolutionLow, false},
    {"Essom pad 0x306 no resolution", kModelEssom, 0x306, 0, true, kCmdResolutionLow, false},
    {"Essom pad no toggle",           kModelEssom, 0x31B, 0, true, kCmdAvoidEdgesToggle, false},
    {"Essom pad end switch",          kModelEssom, 0x100, 0, false, kCmdEndSwitchIncreasing, true},
    // Dorrin and Cindel pads.
    {"Dorrin pad toggle with Ctrl",   kModelDorrin, 0x100, 0, true, kCmdAvoidEdgesToggle, true},
    {"Dorrin pad toggle needs Ctrl",  kModelDorrin, 0x400, 0, false, kCmdAvoidEdgesToggle, false},
    {"Dorrin pad never resolution",   kModelDorrin, 0x310, 0, true, kCmdResolutionLow, false},
    {"Dorrin pad swap",               kModelDorrin, 0x100, 0, false, kCmdSwapButtons, true},
    {"Dorrin pad Off",                kModelDorrin, 0x100, 0, false, kCmdEndSwitchOff, true},
    {"Dorrin pad no alternate",       kModelDorrin, 0x400, 0, false, kCmdEndSwitchAlternate, false},
    {"Cindel pad 0x321 no Off",       kModelCindel, 0x321, 0, false, kCmdEndSwitchOff, false},
    {"Cindel pad 0x322 Off",          kModelCindel, 0x322, 0, false, kCmdEndSwitchOff, true},
    {"Cindel pad alternate",          kModelCindel, 0x100, 0, false, kCmdEndSwitchAlternate, true},
    {"Cindel pad never resolution",   kModelCindel, 0x310, 0, true, kCmdResolutionLow, false},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Catalogues, MenuConditions, ::testing::ValuesIn(kPresenceCases));

// ---------------------------------------------------------------- ticks

struct TickCase {
    const char* name;
    int model;
    int button;
    uint8_t code;
    std::optional<uint16_t> keyWord;  // at the model's key positions
    int snippetRow;                   // -1: stroke bytes match no preset
    Commands expected;
};

void PrintTo(const TickCase& c, std::ostream* os) { *os << c.name; }

class MenuTicks : public ::testing::TestWithParam<TickCase> {};

TEST_P(MenuTicks, TicksTheHeldFunctionOnly)
{
    const TickCase& c = GetParam();
    Block b{};
    b[kPosPadFlags] = 0x01;
    b[c.button] = c.code;
    if (c.keyWord)
        setKeyWord(b, c.model, c.button, *c.keyWord);
    if (c.snippetRow >= 0) {
        const SnippetStrokes& s = snippetPreset(c.snippetRow).strokes;
        std::copy(s.begin(), s.end(), b.begin() + kPosSnippetStrokes);
    } else {
        b[kPosSnippetStrokes] = 0x04;  // "a", no preset
    }
    EXPECT_EQ(ticked(buildMenu(context(c.model, 0x400, c.button, b))), c.expected);
}

// clang-format off
const TickCase kTickCases[] = {
    {"Dorrin disabled",            kModelDorrin, 2, 0, {}, -1, {30030}},
    {"Dorrin on/off switch",       kModelDorrin, 3, 0, {}, -1, {30030}},
    {"Dorrin click",               kModelDorrin, 2, 1, {}, -1, {30010}},
    {"Dorrin right click",         kModelDorrin, 2, 2, {}, -1, {30011}},
    {"Dorrin auto scroll",         kModelDorrin, 2, 4, {}, -1, {30012}},
    {"Dorrin browse back",         kModelDorrin, 2, 8, {}, -1, {30013}},
    {"Dorrin browse forward",      kModelDorrin, 2, 16, {}, -1, {30014}},
    {"Dorrin double click",        kModelDorrin, 2, 32, {}, -1, {30015}},
    {"Dorrin cruise up",           kModelDorrin, 2, 64, {}, -1, {30016}},
    {"Dorrin cruise down",         kModelDorrin, 2, 128, {}, -1, {30017}},
    {"Dorrin scroll while held",   kModelDorrin, 2, 192, {}, -1, {30020}},
    {"Dorrin click lock",          kModelDorrin, 2, 249, {}, -1, {30062}},
    {"Dorrin switch screen",       kModelDorrin, 2, 250, {}, -1, {30035}},
    {"Dorrin enhance more",        kModelDorrin, 2, 251, {}, -1, {30025}},
    {"Dorrin enhance less",        kModelDorrin, 2, 252, {}, -1, {30024}},
    {"Dorrin code 3",              kModelDorrin, 2, 3, {}, -1, {}},
    {"Dorrin Ctrl+C",              kModelDorrin, 2, 255, 0x0106, -1, {30021, 20104}},
    {"Dorrin F5",                  kModelDorrin, 9, 255, 0x003E, -1, {30021, 20119}},
    {"Dorrin Ctrl+D other key",    kModelDorrin, 2, 255, 0x0107, -1, {30021}},
    {"Dorrin Start+Tab not shown", kModelDorrin, 2, 255, 0x802B, -1, {30021}},
    {"Dorrin 0x0106 as multimedia", kModelDorrin, 2, 254, 0x0106, -1, {}},
    {"Dorrin mute",                kModelDorrin, 2, 254, 0x00E2, -1, {20004}},
    {"Dorrin key word without 255", kModelDorrin, 2, 2, 0x0106, -1, {30011}},
    {"Cindel zoom in",             kModelCindel, 1, 246, {}, -1, {20230}},
    {"Cindel zoom out",            kModelCindel, 9, 245, {}, -1, {20231}},
    {"Cindel snippet .com",        kModelCindel, 4, 247, {}, 3, {20205}},
    {"Cindel snippet no preset",   kModelCindel, 4, 247, {}, -1, {}},
    {"Cindel strokes without 247", kModelCindel, 4, 2, {}, 3, {30011}},
    {"Cindel signature",           kModelCindel, 4, 248, {}, -1, {20201}},
    {"Arvel Ctrl+V five-button",   kModelArvel, 4, 255, 0x0119, -1, {30021, 20105}},
    {"Arvel 2.0 Ctrl+V",           kModelArvel2, 4, 255, 0x0119, -1, {30021, 20105}},
    {"Arvel Start+L",              kModelArvel, 1, 255, 0x800F, -1, {30021, 20111}},
    {"Essom disabled",             kModelEssom, 3, 0, {}, -1, {30030}},
    {"Essom key word, no items",   kModelEssom, 1, 255, 0x0106, -1, {}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Catalogues, MenuTicks, ::testing::ValuesIn(kTickCases));

TEST(MenuKeyLayout, ArvelReadsTheKeyWordAtTheFiveButtonPositions)
{
    // A word at the nine-button positions of button 2 means nothing on an
    // Arvel; at 7 and 12 it is Ctrl+C.
    Block b{};
    b[kPosPadFlags] = 1;
    b[2] = kFnKeyboard;
    b[33] = 0x06;
    b[49] = 0x01;
    EXPECT_EQ(ticked(buildMenu(context(kModelArvel, 0x400, 2, b))), Commands{30021});
    b[7] = 0x06;
    b[12] = 0x01;
    EXPECT_EQ(ticked(buildMenu(context(kModelArvel, 0x400, 2, b))), (Commands{30021, 20104}));
}

struct PadCase {
    const char* name;
    int model;
    uint8_t pad;
    uint8_t precision, endSwitch, mode;
    Commands ticked;
    Commands grayed;
};

void PrintTo(const PadCase& c, std::ostream* os) { *os << c.name; }

class MenuPadTicks : public ::testing::TestWithParam<PadCase> {};

TEST_P(MenuPadTicks, FromThePadByteAndSettings)
{
    const PadCase& c = GetParam();
    Block b{};
    b[kPosPadFlags] = c.pad;
    b[kPosEdgePrecision] = c.precision;
    b[kPosEndSwitch] = c.endSwitch;
    b[kPosResolutionMode] = c.mode;
    const auto menu = buildMenu(context(c.model, 0x310, 0, b, true));
    Commands grayed;
    collect(menu, &MenuItem::grayed, grayed);
    EXPECT_EQ(ticked(menu), c.ticked);
    EXPECT_EQ(grayed, c.grayed);
}

// clang-format off
const PadCase kPadCases[] = {
    {"browse without edge scroll", kModelDorrin, 0x03, 32, 1, 1, {30009, 30018, 30027, 30032}, {30018}},
    {"everything on",              kModelDorrin, 0x0F, 16, 0, 4, {30009, 30018, 30019, 30036, 30028, 30031, 30060}, {}},
    {"pad disabled",               kModelDorrin, 0x00, 0, 2, 0, {30030, 30027, 30033}, {30018}},
    {"Dorrin end switch 17",       kModelDorrin, 0x05, 32, 17, 5, {30009, 30019, 30027, 30033}, {}},
    {"Cindel alternate method",    kModelCindel, 0x05, 32, 17, 5, {30009, 30019, 30027, 30063}, {}},
    {"Cindel end switch off hidden", kModelCindel, 0x05, 32, 0, 0, {30009, 30019, 30027}, {}},
    {"Arvel resolution wide",      kModelArvel, 0x05, 16, 2, 2, {30009, 30019, 30028, 30033, 30040}, {}},
    {"Arvel resolution avoid",     kModelArvel, 0x05, 16, 2, 4, {30009, 30019, 30028, 30033, 30042}, {}},
    {"Arvel avoid switched off",   kModelArvel, 0x05, 16, 2, 5, {30009, 30019, 30028, 30033}, {}},
    {"Essom resolution default",   kModelEssom, 0x06, 16, 1, 1, {30032, 30039}, {}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Catalogues, MenuPadTicks, ::testing::ValuesIn(kPadCases));

// ---------------------------------------------------------------- defaults

struct DefaultCase {
    const char* name;
    int model;
    uint32_t fw;
    std::vector<Commands> perButton;  // buttons 1..n
};

void PrintTo(const DefaultCase& c, std::ostream* os) { *os << c.name; }

class MenuDefaults : public ::testing::TestWithParam<DefaultCase> {};

TEST_P(MenuDefaults, FlagTheFactoryFunctionOfEachButton)
{
    const DefaultCase& c = GetParam();
    const Block factory = factoryBlock(c.model, c.fw);
    for (size_t i = 0; i < c.perButton.size(); ++i) {
        const int n = static_cast<int>(i) + 1;
        const auto menu = buildMenu(context(c.model, c.fw, n, factory));
        EXPECT_EQ(defaults(menu), c.perButton[i]) << "button " << n;
        // The factory block holds exactly these functions.
        const Commands t = ticked(menu);
        for (int cmd : c.perButton[i])
            EXPECT_TRUE(t.count(cmd)) << "button " << n << " command " << cmd;
    }
}

// clang-format off
const DefaultCase kDefaultCases[] = {
    {"Dorrin", kModelDorrin, 0x320,
     {{30012}, {20104}, {30030}, {30013}, {30062}, {30014}, {30015}, {20105}, {30011}}},
    {"Arvel", kModelArvel, 0x31E, {{30015}, {20104}, {30020}, {20105}, {30011}}},
    {"Essom", kModelEssom, 0x31E, {{30015}, {30012}, {}, {30020}, {30011}}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Catalogues, MenuDefaults, ::testing::ValuesIn(kDefaultCases));

TEST(MenuFactoryFlags, CindelFlagsItsFactoryFunctions)
{
    // Button 3 of the Cindel factory block holds key word 0xFFFF rather than
    // the switch's code 0, so only the flags are compared there.
    const std::vector<Commands> expected = {{20230}, {30015}, {30030}, {20104}, {30016},
                                            {30017}, {20105}, {30011}, {20231}};
    const Block factory = factoryBlock(kModelCindel, 0x322);
    for (int n = 1; n <= 9; ++n) {
        const auto menu = buildMenu(context(kModelCindel, 0x322, n, factory));
        EXPECT_EQ(defaults(menu), expected[n - 1]) << "button " << n;
        if (n != 3) {
            EXPECT_TRUE(ticked(menu).count(*expected[n - 1].begin())) << "button " << n;
        }
    }
}

TEST(MenuFactoryFlags, PadDefaultsPerCatalogue)
{
    EXPECT_EQ(defaults(buildMenu(context(kModelDorrin, 0x400, 0, {}, true))),
              (Commands{30009, 30019, 30018, 30027, 30032, 30060}));
    EXPECT_EQ(defaults(buildMenu(context(kModelCindel, 0x400, 0, {}, true))),
              (Commands{30009, 30019, 30018, 30027, 30032, 30060}));
    EXPECT_EQ(defaults(buildMenu(context(kModelArvel, 0x31A, 0, {}, true))),
              (Commands{30009, 30019, 30018, 30028, 30033, 30060}));
    EXPECT_EQ(defaults(buildMenu(context(kModelEssom, 0x310, 0, {}, true))), (Commands{30009, 30032}));
}

// ---------------------------------------------------------------- texts

TEST(MenuTexts, FollowTheLanguageTable)
{
    CTextTable table;
    std::string file;
    for (int id = 1; id <= 238; ++id) {
        if (id == 13)
            file += "Klicka / V\xC3\xA4lj";
        else if (id == 81)
            file += "Kopiera\\tCtrl+C";
        else if (id == 212)
            file += "Klicklås";
        else if (id == 224)
            file += "Egen";
        file += "\n";
    }
    table.loadLanguageText(file);
    setActiveTexts(&table);
    const auto button = buildMenu(context(kModelCindel, 0x400, 2));
    setActiveTexts(nullptr);
    EXPECT_EQ(findMenuItem(button, kCmdClick)->text, "Klicka / V\xC3\xA4lj");
    EXPECT_EQ(findMenuItem(button, 20104)->text, "Kopiera\tCtrl+C");
    EXPECT_EQ(findMenuItem(button, kCmdClickLock)->text, "Klicklås");
    EXPECT_EQ(findMenuItem(button, kCmdSignature)->text, "Egen ...");
    // Untranslated ids keep their defaults; rows without id keep theirs.
    EXPECT_EQ(findMenuItem(button, kCmdRightClick)->text, "Right Click");
    EXPECT_EQ(findMenuItem(button, 20140)->text, "0");
    // Without a table the two-text ids read as the menu writes them.
    const auto plain = buildMenu(context(kModelCindel, 0x400, 2));
    EXPECT_EQ(findMenuItem(plain, kCmdClickLock)->text, "ClickLock");
    EXPECT_EQ(findMenuItem(plain, kCmdSignature)->text, "Custom ...");
}

TEST(MenuContextTest, TakesTheDeviceAndBlock)
{
    DeviceState d;
    d.deviceCount = 1;
    d.modelCode = kModelDorrin;
    d.firmwareVersion = 0x321;
    ConfigModel m;
    m.block[4] = kFnBrowseBack;
    const MenuContext c = menuContext(d, m, 4, true);
    EXPECT_EQ(c.modelCode, kModelDorrin);
    EXPECT_EQ(c.firmwareVersion, 0x321u);
    EXPECT_FALSE(c.receiverOpen);
    EXPECT_EQ(c.block[4], kFnBrowseBack);
    EXPECT_EQ(c.button, 4);
    EXPECT_TRUE(c.ctrlHeld);
    EXPECT_TRUE(buildMenu(context(kModelDorrin, 0x400, 10)).empty());
    EXPECT_TRUE(buildMenu(context(kModelDorrin, 0x400, -1)).empty());
}

}  // namespace
}  // namespace cvk
