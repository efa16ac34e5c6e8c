#pragma once
// The functions each model offers: the fixed preset tables (keyboard
// shortcuts, multimedia keys, text snippets) and the function menu of the
// pad and of every button, as a plain tree that any front end can render.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "config/config_model.h"

namespace cvk {

// Command numbers of the function menus.
enum MenuCommand : int {
    kCmdMultimediaFirst = 20000,  // + multimedia row
    kCmdPresetFirst = 20100,      // + keyboard preset row
    kCmdOtherKeys = 20200,
    kCmdSignature = 20201,
    kCmdSnippetFirst = 20202,  // + snippet row
    kCmdZoomIn = 20230,
    kCmdZoomOut = 20231,
    kCmdPadClick = 30009,
    kCmdClick = 30010,
    kCmdRightClick = 30011,
    kCmdAutoScroll = 30012,
    kCmdBrowseBack = 30013,
    kCmdBrowseForward = 30014,
    kCmdDoubleClick = 30015,
    kCmdCruiseUp = 30016,
    kCmdCruiseDown = 30017,
    kCmdPadBrowse = 30018,
    kCmdPadEdgeScroll = 30019,
    kCmdScrollWhileHeld = 30020,
    kCmdKeyboard = 30021,  // title of the "Keyboard" submenu
    kCmdEnhanceLess = 30024,
    kCmdEnhanceMore = 30025,
    kCmdEnhanceTitle = 30026,
    kCmdPrecisionLow = 30027,
    kCmdPrecisionEnhanced = 30028,
    kCmdPrecisionTitle = 30029,
    kCmdDisable = 30030,
    kCmdEndSwitchOff = 30031,
    kCmdEndSwitchLow = 30032,
    kCmdEndSwitchIncreasing = 30033,
    kCmdEndSwitchTitle = 30034,
    kCmdSwitchScreen = 30035,
    kCmdSwapButtons = 30036,
    kCmdResolutionFirst = 30038,  // + resolution mode 0..4
    kCmdResolutionLow = 30038,
    kCmdResolutionDefault = 30039,
    kCmdResolutionWide = 30040,
    kCmdResolutionAvoidEdges = 30042,
    kCmdAvoidEdgesToggle = 30060,
    kCmdClickLock = 30062,
    kCmdEndSwitchAlternate = 30063,
};

// ------------------------------------------------------------ preset tables

// Key words with a special meaning in the keyboard preset table.
inline constexpr uint16_t kPresetDirectRun = 0xFFFF;  // start of items placed in the button menu itself
inline constexpr uint16_t kPresetSeparator = 0xFFFE;  // separator in the button menu
inline constexpr uint16_t kPresetSubmenu = 0x0000;    // title of a submenu of "Keyboard"

struct KeyboardPreset {
    uint16_t keyWord;     // modifier byte high, keyboard usage low
    int textId;           // 0: the row has no text of its own in the text table
    const char* literal;  // the text of rows without a text id, else empty
};

// clang-format off
inline constexpr std::array<KeyboardPreset, 64> kKeyboardPresets = {{
    {0xFFFF, 77, ""}, {0x011D, 78, ""}, {0x011C, 79, ""}, {0x011B, 80, ""},
    {0x0106, 81, ""}, {0x0119, 82, ""}, {0x004C, 83, ""}, {0x0104, 84, ""},
    {0x011A, 236, ""}, {0x042B, 86, ""}, {0x802B, 87, ""}, {0x800F, 88, ""},
    {0xFFFE, 0, ""}, {0xFFFF, 89, ""},
    {0x0000, 90, ""},  // Function Keys
    {0x003A, 91, ""}, {0x003B, 92, ""}, {0x003C, 93, ""}, {0x003D, 94, ""},
    {0x003E, 95, ""}, {0x003F, 96, ""}, {0x0040, 97, ""}, {0x0041, 98, ""},
    {0x0042, 99, ""}, {0x0043, 100, ""}, {0x0044, 101, ""}, {0x0045, 102, ""},
    {0x0000, 103, ""},  // Control Keys
    {0x0046, 104, ""}, {0x0048, 105, ""}, {0x0049, 106, ""}, {0x004A, 107, ""},
    {0x004B, 108, ""}, {0x004D, 109, ""}, {0x004E, 110, ""}, {0x004F, 111, ""},
    {0x0050, 112, ""}, {0x0051, 113, ""}, {0x0052, 114, ""},
    {0x0000, 115, ""},  // Keypad
    {0x0027, 0, "0"}, {0x001E, 0, "1"}, {0x001F, 0, "2"}, {0x0020, 0, "3"}, {0x0021, 0, "4"},
    {0x0022, 0, "5"}, {0x0023, 0, "6"}, {0x0024, 0, "7"}, {0x0025, 0, "8"}, {0x0026, 0, "9"},
    {0x0028, 116, ""}, {0x0029, 117, ""}, {0x002B, 118, ""}, {0x002C, 119, ""},
    {0x0056, 0, "-"}, {0x0057, 0, "+"}, {0x0055, 0, "*"}, {0x0054, 0, "/"}, {0x0063, 0, ","},
    {0x0000, 120, ""},  // Window Commands
    {0x8000, 121, ""}, {0x0065, 122, ""}, {0x043D, 123, ""}, {0x002A, 85, ""},
}};
// clang-format on

// Preset rows that depend on the model and firmware.
inline constexpr int kPresetRowStartTab = 10;
inline constexpr int kPresetRowStartL = 11;

struct MultimediaRow {
    uint16_t usage;  // Consumer page usage
    int textId;
};

inline constexpr std::array<MultimediaRow, 23> kMultimediaRows = {{
    {0x00B5, 124}, {0x00B6, 125}, {0x00B7, 126}, {0x00CD, 127}, {0x00E2, 128}, {0x00E5, 129},
    {0x00E9, 130}, {0x00EA, 131}, {0x0152, 132}, {0x0153, 133}, {0x0154, 134}, {0x0155, 135},
    {0x018A, 136}, {0x0221, 137}, {0x0223, 138}, {0x0224, 139}, {0x0225, 140}, {0x0226, 141},
    {0x0227, 142}, {0x022A, 143}, {0x0192, 144}, {0x0194, 145}, {0x0183, 146},
}};

inline constexpr int kSnippetStrokeBytes = 26;
using SnippetStrokes = std::array<uint8_t, kSnippetStrokeBytes>;

struct SnippetStroke {
    uint8_t usage;
    uint8_t modifier;
};

// The pairs laid out as the device holds them, the rest zero.
template <size_t N>
constexpr SnippetStrokes snippetStrokes(const SnippetStroke (&pairs)[N])
{
    static_assert(2 * N < kSnippetStrokeBytes, "a zero pair must end the strokes");
    SnippetStrokes bytes{};
    for (size_t i = 0; i < N; ++i) {
        bytes[2 * i] = pairs[i].usage;
        bytes[2 * i + 1] = pairs[i].modifier;
    }
    return bytes;
}

struct SnippetPreset {
    const char* text;        // ASCII; shown in the menu and kept as the snippet text
    SnippetStrokes strokes;  // block positions 64..89, laid out for a Swedish keyboard
};

// clang-format off
inline constexpr std::array<SnippetPreset, 10> kSnippetPresets = {{
    {"@", snippetStrokes({{0x1F, 0x41}})},
    {"http://www.", snippetStrokes({{0x0B, 0}, {0x17, 0}, {0x17, 0}, {0x13, 0}, {0x37, 2}, {0x24, 2}, {0x24, 2},
                                    {0x1A, 0}, {0x1A, 0}, {0x1A, 0}, {0x37, 0}})},
    {"https://www.", snippetStrokes({{0x0B, 0}, {0x17, 0}, {0x17, 0}, {0x13, 0}, {0x16, 0}, {0x37, 2}, {0x24, 2},
                                     {0x24, 2}, {0x1A, 0}, {0x1A, 0}, {0x1A, 0}, {0x37, 0}})},
    {".com", snippetStrokes({{0x37, 0}, {0x06, 0}, {0x12, 0}, {0x10, 0}})},
    {".se", snippetStrokes({{0x37, 0}, {0x16, 0}, {0x08, 0}})},
    {".de", snippetStrokes({{0x37, 0}, {0x07, 0}, {0x08, 0}})},
    {".fi", snippetStrokes({{0x37, 0}, {0x09, 0}, {0x0C, 0}})},
    {".no", snippetStrokes({{0x37, 0}, {0x11, 0}, {0x12, 0}})},
    {".dk", snippetStrokes({{0x37, 0}, {0x07, 0}, {0x0E, 0}})},
    {".eu", snippetStrokes({{0x37, 0}, {0x08, 0}, {0x18, 0}})},
}};
// clang-format on

// Row accessors; rows are taken as given (callers index by command offset).
const KeyboardPreset& keyboardPreset(int row);
uint16_t presetKeyWord(int row);
// The row's text in the active language (its literal for rows without id).
std::string presetText(int row);
// The first row whose key word equals `keyWord`, or -1.
int presetRowForKeyWord(uint16_t keyWord);

const MultimediaRow& multimediaRow(int row);
std::string multimediaText(int row);
// The row whose usage equals `usage`, or -1.
int multimediaRowForUsage(uint16_t usage);

const SnippetPreset& snippetPreset(int row);
// The preset whose stroke bytes equal `strokes` (block positions 64..89),
// or -1.
int snippetRowForStrokes(std::span<const uint8_t, kSnippetStrokeBytes> strokes);

// ------------------------------------------------------------ menus

// The function sets the models offer; device/models.h says which model
// uses which (anything behind the wireless receiver uses the Cindel one).
enum class Catalogue { Cindel, Dorrin, Essom, Arvel };

const char* catalogueName(Catalogue c);

struct MenuItem {
    int textId = 0;          // 0 for texts that are not in the text table
    std::string text;        // resolved through the text table, or the literal
    int command = 0;         // 0: none (submenus without a title command, separators)
    bool isDefault = false;  // the model's factory function for this button
    bool ticked = false;
    bool grayed = false;
    bool separator = false;
    bool columnBreak = false;  // starts a new menu column
    std::vector<MenuItem> submenu;

    bool isSubmenu() const { return !submenu.empty(); }
};

// device/model_views.h fills one in from what is attached.
struct MenuContext {
    int modelCode = 0;
    uint32_t firmwareVersion = 0x1001;
    bool receiverOpen = false;
    // What the menus are built from (the defaults are those of no device).
    Catalogue catalogue = Catalogue::Arvel;
    ButtonLayout layout = ButtonLayout::Five;  // where the block keeps the key words
    std::array<uint8_t, kBlockSize> block{};
    int button = 0;  // 0 = the pad, 1..9 a button
    // Ctrl was held when the click that opened the menu was released.
    bool ctrlHeld = false;
};

// The menu of the pad (button 0) or of button 1..9 for the context's
// catalogue, with ticks, grays, default flags and firmware conditions.
std::vector<MenuItem> buildMenu(const MenuContext& context);

// The item (at any depth, submenu titles included) carrying `command`, or
// nullptr.
const MenuItem* findMenuItem(const std::vector<MenuItem>& menu, int command);

// One line per item, two spaces of indent per submenu level:
// "Click / Select #30010 [default] [ticked]", "-----" for a separator,
// "> Keyboard #30021" for a submenu title; tabs in texts shown as "\t".
std::string menuTree(const std::vector<MenuItem>& menu);

}  // namespace cvk
