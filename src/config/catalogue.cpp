#include "config/catalogue.h"

#include <algorithm>

#include "config/config_model.h"
#include "config/descriptions.h"
#include "config/thresholds.h"
#include "texts/text_ids.h"
#include "texts/texts.h"

namespace cvk {

namespace {

// Id 212 and 224 stand for two texts each; the menus use these.
constexpr const char* kClickLockMenuText = "ClickLock";
constexpr const char* kCustomMenuText = "Custom";

constexpr uint8_t kPrecisionEnhanced = 16;
constexpr uint8_t kEndSwitchAlternate = 17;
constexpr uint8_t kModeAvoidEdges = 4;

MenuItem textItem(int textId, int command)
{
    MenuItem m;
    m.textId = textId;
    m.text = text(textId);
    m.command = command;
    return m;
}

MenuItem separatorItem()
{
    MenuItem m;
    m.separator = true;
    return m;
}

// A submenu title; the items are added by the caller.
MenuItem submenuItem(int textId, int titleCommand) { return textItem(textId, titleCommand); }

MenuItem& flag(MenuItem& m, bool isDefault, bool ticked)
{
    m.isDefault = isDefault;
    m.ticked = ticked;
    return m;
}

// ------------------------------------------------------------ pad menu

MenuItem precisionSubmenu(const MenuContext& c, Catalogue cat)
{
    const bool enhanced = c.block[kPosEdgePrecision] == kPrecisionEnhanced;
    MenuItem sub = submenuItem(kTxtEdgePrecision, kCmdPrecisionTitle);
    MenuItem low = textItem(kTxtLow, kCmdPrecisionLow);
    MenuItem enh = textItem(kTxtEnhanced, kCmdPrecisionEnhanced);
    flag(low, cat != Catalogue::Arvel, !enhanced);
    flag(enh, cat == Catalogue::Arvel, enhanced);
    sub.submenu = {low, enh};
    return sub;
}

MenuItem endSwitchSubmenu(const MenuContext& c, Catalogue cat)
{
    const uint8_t v = c.block[kPosEndSwitch];
    const bool cindel = cat == Catalogue::Cindel;
    const bool alternate = cindel && v == kEndSwitchAlternate;
    MenuItem sub = submenuItem(kTxtEndSwitch, kCmdEndSwitchTitle);
    if (!cindel || c.firmwareVersion > 0x321) {
        MenuItem off = textItem(kTxtOff, kCmdEndSwitchOff);
        sub.submenu.push_back(flag(off, false, v == 0));
    }
    MenuItem low = textItem(kTxtLowSpeed, kCmdEndSwitchLow);
    sub.submenu.push_back(flag(low, cat != Catalogue::Arvel, v == 1));
    MenuItem inc = textItem(kTxtIncreasingSpeed, kCmdEndSwitchIncreasing);
    sub.submenu.push_back(flag(inc, cat == Catalogue::Arvel, v != 0 && v != 1 && !alternate));
    if (cindel) {
        sub.submenu.push_back(separatorItem());
        MenuItem alt = textItem(kTxtAlternateMethod, kCmdEndSwitchAlternate);
        sub.submenu.push_back(flag(alt, false, alternate));
    }
    return sub;
}

MenuItem resolutionSubmenu(const MenuContext& c, bool withAvoidEdges)
{
    const int ticked = kCmdResolutionFirst + c.block[kPosResolutionMode];
    MenuItem sub = submenuItem(kTxtResolution, 0);
    const int ids[] = {kTxtLowResolution, kTxtDefaultMode, kTxtWideScreen};
    const int cmds[] = {kCmdResolutionLow, kCmdResolutionDefault, kCmdResolutionWide};
    for (int i = 0; i < 3; ++i) {
        MenuItem m = textItem(ids[i], cmds[i]);
        sub.submenu.push_back(flag(m, false, cmds[i] == ticked));
    }
    if (withAvoidEdges) {
        MenuItem m = textItem(kTxtAvoidEdges, kCmdResolutionAvoidEdges);
        sub.submenu.push_back(flag(m, false, kCmdResolutionAvoidEdges == ticked));
    }
    return sub;
}

std::vector<MenuItem> padMenu(const MenuContext& c, Catalogue cat)
{
    const uint8_t pad = c.block[kPosPadFlags];
    const uint32_t fw = c.firmwareVersion;
    const bool dorrinOrCindel = cat == Catalogue::Dorrin || cat == Catalogue::Cindel;
    std::vector<MenuItem> menu;

    MenuItem click = textItem(kTxtClickSelect, kCmdPadClick);
    menu.push_back(flag(click, true, pad & kPadClickBit));
    menu.push_back(separatorItem());

    if (cat != Catalogue::Essom) {
        MenuItem edge = textItem(kTxtEnableEdgeScroll, kCmdPadEdgeScroll);
        menu.push_back(flag(edge, true, pad & kPadEdgeScrollBit));
        MenuItem browse = textItem(kTxtBrowseBackForward, kCmdPadBrowse);
        browse.text += "   ";
        flag(browse, true, pad & kPadBrowseBit);
        // Browsing works through the edge-scroll zone; without it the item
        // cannot be changed.
        browse.grayed = !(pad & kPadEdgeScrollBit);
        menu.push_back(browse);
    }

    switch (cat) {
    case Catalogue::Dorrin:
    case Catalogue::Cindel:
        menu.push_back(precisionSubmenu(c, cat));
        menu.push_back(endSwitchSubmenu(c, cat));
        break;
    case Catalogue::Arvel:
        if (fw > 0x301) {
            menu.push_back(precisionSubmenu(c, cat));
            menu.push_back(endSwitchSubmenu(c, cat));
        }
        if (c.ctrlHeld && fw > 0x306 && fw < kPointerSettingsFirmware)
            menu.push_back(resolutionSubmenu(c, fw > 0x307));
        break;
    case Catalogue::Essom:
        if (c.ctrlHeld && fw > 0x306 && fw < 0x31C)
            menu.push_back(resolutionSubmenu(c, false));
        menu.push_back(endSwitchSubmenu(c, cat));
        break;
    }

    const bool avoidEdges =
        c.ctrlHeld && (dorrinOrCindel || (cat == Catalogue::Arvel && fw >= kPointerSettingsFirmware));
    if (avoidEdges) {
        menu.push_back(separatorItem());
        MenuItem m = textItem(kTxtAvoidEdges, kCmdAvoidEdgesToggle);
        menu.push_back(flag(m, true, c.block[kPosResolutionMode] == kModeAvoidEdges));
    }
    if (dorrinOrCindel) {
        MenuItem m = textItem(kTxtSwapButtons, kCmdSwapButtons);
        menu.push_back(flag(m, false, pad & kPadSwappedButtons));
    }
    if (cat != Catalogue::Essom) {
        menu.push_back(separatorItem());
        MenuItem m = textItem(kTxtDisableAll, kCmdDisable);
        menu.push_back(flag(m, false, pad == 0));
    }
    return menu;
}

// ------------------------------------------------------------ button menu

// Per catalogue (Dorrin, Cindel, Arvel, Essom): absent, present, or the
// button on which the item is the factory function.
constexpr int kAbsent = -1;
constexpr int kPresent = 0;

struct FunctionRow {
    int textId;
    const char* fallback;  // for ids that stand for two texts
    int command;
    uint8_t code;
    std::array<int, 4> presence;
    uint32_t arvelAbove;  // on Arvel only with firmware above this (0: always)
};

// clang-format off
constexpr std::array<FunctionRow, 13> kFunctionRows = {{
    {kTxtClickSelect,     nullptr,            kCmdClick,           kFnClick,           {kPresent, kPresent, kPresent, kPresent}, 0},
    {kTxtRightClick,      nullptr,            kCmdRightClick,      kFnRightClick,      {9, 8, 5, 5},                             0},
    {kTxtAutoScroll,      nullptr,            kCmdAutoScroll,      kFnAutoScroll,      {1, kPresent, kPresent, 2},               0},
    {kTxtBrowseBack,      nullptr,            kCmdBrowseBack,      kFnBrowseBack,      {4, kPresent, kPresent, kAbsent},         0},
    {kTxtBrowseForward,   nullptr,            kCmdBrowseForward,   kFnBrowseForward,   {6, kPresent, kPresent, kAbsent},         0},
    {kTxtDoubleClick,     nullptr,            kCmdDoubleClick,     kFnDoubleClick,     {7, 2, 1, 1},                             0},
    {kTxtClickLock,       kClickLockMenuText, kCmdClickLock,       kFnClickLock,       {5, kPresent, kPresent, kAbsent},         0x31D},
    {kTxtCruiseUp,        nullptr,            kCmdCruiseUp,        kFnCruiseUp,        {kPresent, 5, kPresent, kAbsent},         0},
    {kTxtCruiseDown,      nullptr,            kCmdCruiseDown,      kFnCruiseDown,      {kPresent, 6, kPresent, kAbsent},         0},
    {kTxtScrollWhileHeld, nullptr,            kCmdScrollWhileHeld, kFnScrollWhileHeld, {kPresent, kPresent, 3, 4},               0},
    {kTxtZoomIn,          nullptr,            kCmdZoomIn,          kFnZoomIn,          {kAbsent, 1, kAbsent, kAbsent},           0},
    {kTxtZoomOut,         nullptr,            kCmdZoomOut,         kFnZoomOut,         {kAbsent, 9, kAbsent, kAbsent},           0},
    {kTxtSwitchScreen,    nullptr,            kCmdSwitchScreen,    kFnSwitchScreen,    {kPresent, kPresent, kPresent, kAbsent},  0x303},
}};
// clang-format on

int catalogueColumn(Catalogue cat)
{
    switch (cat) {
    case Catalogue::Dorrin: return 0;
    case Catalogue::Cindel: return 1;
    case Catalogue::Arvel: return 2;
    case Catalogue::Essom: return 3;
    }
    return 2;
}

// The preset rows that are the factory key of a button.
bool presetIsDefault(Catalogue cat, int row, int button)
{
    switch (cat) {
    case Catalogue::Dorrin: return (row == 4 && button == 2) || (row == 5 && button == 8);
    case Catalogue::Cindel: return (row == 4 && button == 4) || (row == 5 && button == 7);
    case Catalogue::Arvel: {
        const uint16_t w = kKeyboardPresets[row].keyWord;
        return (w == 0x0106 && button == 2) || (w == 0x0119 && button == 4);
    }
    case Catalogue::Essom: return false;
    }
    return false;
}

bool presetLeftOut(const MenuContext& c, Catalogue cat, int row)
{
    if (cat == Catalogue::Arvel)
        return (row == kPresetRowStartTab && c.firmwareVersion < 0x302) ||
               (row == kPresetRowStartL && c.firmwareVersion < 0x304);
    return row == kPresetRowStartTab;
}

MenuItem presetItem(int row)
{
    MenuItem m;
    m.textId = kKeyboardPresets[row].textId;
    m.text = presetText(row);
    m.command = kCmdPresetFirst + row;
    return m;
}

// The direct key items and the "Keyboard" submenu, from the preset table;
// the snippet submenu of the Cindel catalogue goes between them.
void appendKeyPart(std::vector<MenuItem>& menu, const MenuContext& c, Catalogue cat)
{
    const int n = c.button;
    const uint8_t code = c.block[n];
    const uint16_t keyWord = static_cast<uint16_t>(c.block[keyHighPosition(c.layout, n)] << 8 |
                                                   c.block[keyLowPosition(c.layout, n)]);

    MenuItem keyboard = submenuItem(kTxtKeyboard, kCmdKeyboard);
    keyboard.ticked = code == kFnKeyboard;

    bool direct = false;
    bool breakArmed = false;
    for (int row = 0; row < static_cast<int>(kKeyboardPresets.size()); ++row) {
        const KeyboardPreset& p = kKeyboardPresets[row];
        if (p.keyWord == kPresetDirectRun) {
            direct = true;
            breakArmed = true;
            continue;
        }
        if (p.keyWord == kPresetSeparator) {
            menu.push_back(separatorItem());
            continue;
        }
        if (p.keyWord == kPresetSubmenu) {
            direct = false;
            keyboard.submenu.push_back(submenuItem(p.textId, 0));
            continue;
        }
        if (direct && presetLeftOut(c, cat, row))
            continue;
        MenuItem m = presetItem(row);
        flag(m, presetIsDefault(cat, row, n), code == kFnKeyboard && keyWord == p.keyWord);
        if (direct) {
            m.columnBreak = breakArmed;
            breakArmed = false;
            menu.push_back(m);
        } else if (!keyboard.submenu.empty()) {
            keyboard.submenu.back().submenu.push_back(m);
        }
    }

    if (cat == Catalogue::Cindel) {
        const std::span<const uint8_t, kSnippetStrokeBytes> strokes(c.block.data() + kPosSnippetStrokes,
                                                                    kSnippetStrokeBytes);
        const int tickedRow = code == kFnTextSnippet ? snippetRowForStrokes(strokes) : -1;
        MenuItem snippets = submenuItem(kTxtTextSnippets, 0);
        for (int row = 0; row < static_cast<int>(kSnippetPresets.size()); ++row) {
            MenuItem m;
            m.text = kSnippetPresets[row].text;
            m.command = kCmdSnippetFirst + row;
            m.ticked = row == tickedRow;
            snippets.submenu.push_back(m);
        }
        snippets.submenu.push_back(separatorItem());
        MenuItem custom;
        custom.textId = kTxtCustom;
        custom.text = text(kTxtCustom, kCustomMenuText) + " ...";
        custom.command = kCmdSignature;
        custom.ticked = code == kFnSignature;
        snippets.submenu.push_back(custom);
        menu.push_back(snippets);
    }

    MenuItem multimedia = submenuItem(kTxtMultimediaKeys, 0);
    for (int row = 0; row < static_cast<int>(kMultimediaRows.size()); ++row) {
        MenuItem m = textItem(kMultimediaRows[row].textId, kCmdMultimediaFirst + row);
        m.ticked = code == kFnMultimedia && keyWord == kMultimediaRows[row].usage;
        multimedia.submenu.push_back(m);
    }
    keyboard.submenu.push_back(multimedia);
    keyboard.submenu.push_back(textItem(kTxtOtherKeys, kCmdOtherKeys));
    menu.push_back(keyboard);
}

std::vector<MenuItem> buttonMenu(const MenuContext& c, Catalogue cat)
{
    const int n = c.button;
    const uint8_t code = c.block[n];
    const uint32_t fw = c.firmwareVersion;
    const int column = catalogueColumn(cat);
    const bool arvel = cat == Catalogue::Arvel;
    const bool dorrinOrCindel = cat == Catalogue::Dorrin || cat == Catalogue::Cindel;
    std::vector<MenuItem> menu;

    for (const FunctionRow& r : kFunctionRows) {
        const int presence = r.presence[column];
        if (presence == kAbsent || (arvel && r.arvelAbove != 0 && fw <= r.arvelAbove))
            continue;
        MenuItem m;
        m.textId = r.textId;
        m.text = r.fallback ? text(r.textId, r.fallback) : text(r.textId);
        m.command = r.command;
        menu.push_back(flag(m, presence == n, code == r.code));
    }

    if (dorrinOrCindel || (arvel && fw > 0x301)) {
        MenuItem sub = submenuItem(kTxtEnhancePrecision, kCmdEnhanceTitle);
        MenuItem less = textItem(kTxtEnhanceLess, kCmdEnhanceLess);
        MenuItem more = textItem(kTxtEnhanceMore, kCmdEnhanceMore);
        sub.submenu = {flag(less, false, code == kFnEnhanceLess), flag(more, false, code == kFnEnhanceMore)};
        menu.push_back(sub);
    }

    if (arvel || cat == Catalogue::Essom) {
        menu.push_back(separatorItem());
        MenuItem m = textItem(kTxtDisable, kCmdDisable);
        menu.push_back(flag(m, false, code == kFnDisabled));
    }

    if (dorrinOrCindel || (arvel && fw > 0x2FF))
        appendKeyPart(menu, c, cat);

    if (dorrinOrCindel) {
        const bool onOff = n == kOnOffButton;
        // On the on/off switch only switching the pad makes sense.
        if (onOff)
            for (MenuItem& m : menu)
                m.grayed = !m.separator;
        menu.push_back(separatorItem());
        MenuItem m = textItem(onOff ? kTxtOnlyOnOff : kTxtDisable, kCmdDisable);
        menu.push_back(flag(m, onOff, code == kFnDisabled));
    }
    return menu;
}

const MenuItem* findIn(const std::vector<MenuItem>& menu, int command)
{
    for (const MenuItem& m : menu) {
        if (!m.separator && m.command == command)
            return &m;
        if (const MenuItem* inner = findIn(m.submenu, command))
            return inner;
    }
    return nullptr;
}

void appendTree(std::string& out, const std::vector<MenuItem>& menu, int depth)
{
    for (const MenuItem& m : menu) {
        out.append(static_cast<size_t>(2 * depth), ' ');
        if (m.separator) {
            out += "-----\n";
            continue;
        }
        if (m.isSubmenu())
            out += "> ";
        for (char ch : m.text) {
            if (ch == '\t')
                out += "\\t";
            else if (ch == '\r')
                out += "\\r";
            else
                out += ch;
        }
        if (m.command != 0)
            out += " #" + std::to_string(m.command);
        if (m.ticked)
            out += " [x]";
        if (m.grayed)
            out += " (grayed)";
        if (m.isDefault)
            out += " (default)";
        if (m.columnBreak)
            out += " (column)";
        out += '\n';
        appendTree(out, m.submenu, depth + 1);
    }
}

}  // namespace

const KeyboardPreset& keyboardPreset(int row) { return kKeyboardPresets.at(row); }

uint16_t presetKeyWord(int row) { return keyboardPreset(row).keyWord; }

std::string presetText(int row)
{
    const KeyboardPreset& p = keyboardPreset(row);
    return p.textId != 0 ? text(p.textId) : std::string(p.literal);
}

int presetRowForKeyWord(uint16_t keyWord)
{
    const auto it = std::find_if(kKeyboardPresets.begin(), kKeyboardPresets.end(),
                                 [&](const KeyboardPreset& p) { return p.keyWord == keyWord; });
    return it == kKeyboardPresets.end() ? -1 : static_cast<int>(it - kKeyboardPresets.begin());
}

const MultimediaRow& multimediaRow(int row) { return kMultimediaRows.at(row); }

std::string multimediaText(int row) { return text(multimediaRow(row).textId); }

int multimediaRowForUsage(uint16_t usage)
{
    const auto it = std::find_if(kMultimediaRows.begin(), kMultimediaRows.end(),
                                 [&](const MultimediaRow& r) { return r.usage == usage; });
    return it == kMultimediaRows.end() ? -1 : static_cast<int>(it - kMultimediaRows.begin());
}

const SnippetPreset& snippetPreset(int row) { return kSnippetPresets.at(row); }

int snippetRowForStrokes(std::span<const uint8_t, kSnippetStrokeBytes> strokes)
{
    const auto it = std::find_if(kSnippetPresets.begin(), kSnippetPresets.end(), [&](const SnippetPreset& p) {
        return std::equal(p.strokes.begin(), p.strokes.end(), strokes.begin());
    });
    return it == kSnippetPresets.end() ? -1 : static_cast<int>(it - kSnippetPresets.begin());
}

const char* catalogueName(Catalogue c)
{
    switch (c) {
    case Catalogue::Cindel: return "Cindel";
    case Catalogue::Dorrin: return "Dorrin";
    case Catalogue::Essom: return "Essom";
    case Catalogue::Arvel: return "Arvel";
    }
    return "Arvel";
}

std::vector<MenuItem> buildMenu(const MenuContext& context)
{
    if (context.button < 0 || context.button > 9)
        return {};
    return context.button == 0 ? padMenu(context, context.catalogue) : buttonMenu(context, context.catalogue);
}

const MenuItem* findMenuItem(const std::vector<MenuItem>& menu, int command)
{
    return command == 0 ? nullptr : findIn(menu, command);
}

std::string menuTree(const std::vector<MenuItem>& menu)
{
    std::string out;
    appendTree(out, menu, 0);
    return out;
}

}  // namespace cvk
