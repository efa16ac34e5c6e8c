#include "platform/linux/xkb_layout.h"

#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <unordered_map>
#include <vector>

namespace cvk {

namespace {

struct ScanKey {
    int scanCode;
    int evdev;
};

// The keys of a 105-key PC keyboard. Searching for a character walks them
// in this order, so the main block wins over the keypad (which types "*",
// "+", "-" and "/" too) and the keypad over the navigation keys. Without
// the 0xE0 prefix set 1 and evdev number the keys alike.
constexpr auto kScanKeys = std::to_array<ScanKey>({
    // Main block.
    {0x01, 1},
    {0x02, 2},
    {0x03, 3},
    {0x04, 4},
    {0x05, 5},
    {0x06, 6},
    {0x07, 7},
    {0x08, 8},
    {0x09, 9},
    {0x0A, 10},
    {0x0B, 11},
    {0x0C, 12},
    {0x0D, 13},
    {0x0E, 14},
    {0x0F, 15},
    {0x10, 16},
    {0x11, 17},
    {0x12, 18},
    {0x13, 19},
    {0x14, 20},
    {0x15, 21},
    {0x16, 22},
    {0x17, 23},
    {0x18, 24},
    {0x19, 25},
    {0x1A, 26},
    {0x1B, 27},
    {0x1C, 28},
    {0x1D, 29},
    {0x1E, 30},
    {0x1F, 31},
    {0x20, 32},
    {0x21, 33},
    {0x22, 34},
    {0x23, 35},
    {0x24, 36},
    {0x25, 37},
    {0x26, 38},
    {0x27, 39},
    {0x28, 40},
    {0x29, 41},
    {0x2A, 42},
    {0x2B, 43},
    {0x2C, 44},
    {0x2D, 45},
    {0x2E, 46},
    {0x2F, 47},
    {0x30, 48},
    {0x31, 49},
    {0x32, 50},
    {0x33, 51},
    {0x34, 52},
    {0x35, 53},
    {0x36, 54},
    {0x38, 56},
    {0x39, 57},
    {0x3A, 58},
    {0x56, 86},
    // Function row and locks.
    {0x3B, 59},
    {0x3C, 60},
    {0x3D, 61},
    {0x3E, 62},
    {0x3F, 63},
    {0x40, 64},
    {0x41, 65},
    {0x42, 66},
    {0x43, 67},
    {0x44, 68},
    {0x57, 87},
    {0x58, 88},
    {0x45, 69},
    {0x46, 70},
    // Keypad.
    {0x37, 55},
    {0x47, 71},
    {0x48, 72},
    {0x49, 73},
    {0x4A, 74},
    {0x4B, 75},
    {0x4C, 76},
    {0x4D, 77},
    {0x4E, 78},
    {0x4F, 79},
    {0x50, 80},
    {0x51, 81},
    {0x52, 82},
    {0x53, 83},
    {0xE01C, 96},
    {0xE035, 98},
    // Keys with the 0xE0 prefix.
    {0xE01D, 97},
    {0xE037, 99},
    {0xE038, 100},
    {0xE047, 102},
    {0xE048, 103},
    {0xE049, 104},
    {0xE04B, 105},
    {0xE04D, 106},
    {0xE04F, 107},
    {0xE050, 108},
    {0xE051, 109},
    {0xE052, 110},
    {0xE053, 111},
    {0xE05B, 125},
    {0xE05C, 126},
    {0xE05D, 127},
});
static_assert(kScanKeys.size() == 104);
constexpr size_t kMainBlockKeys = 58;
constexpr int kStates = 8;
constexpr int kEvdevRightAlt = 100;
constexpr int kEvdevToXkb = 8;
constexpr int kScanEnter = 0x1C;
constexpr int kScanKeypadEnter = 0xE01C;

// Search order of the shift states: plain, Shift, Alt Gr, Shift+Alt Gr,
// then the Ctrl states that type control characters.
constexpr std::array<int, 6> kSearchStates = {0, 1, 6, 7, 2, 3};

// Dead keys type nothing by themselves in xkb; they stand for their accent.
char32_t deadKeyAccent(xkb_keysym_t sym)
{
    switch (sym) {
    case XKB_KEY_dead_grave: return U'`';
    case XKB_KEY_dead_acute: return U'\u00B4';
    case XKB_KEY_dead_circumflex: return U'^';
    case XKB_KEY_dead_tilde: return U'~';
    case XKB_KEY_dead_macron: return U'\u00AF';
    case XKB_KEY_dead_breve: return U'\u02D8';
    case XKB_KEY_dead_abovedot: return U'\u02D9';
    case XKB_KEY_dead_diaeresis: return U'\u00A8';
    case XKB_KEY_dead_abovering: return U'\u02DA';
    case XKB_KEY_dead_doubleacute: return U'\u02DD';
    case XKB_KEY_dead_caron: return U'\u02C7';
    case XKB_KEY_dead_cedilla: return U'\u00B8';
    case XKB_KEY_dead_ogonek: return U'\u02DB';
    case XKB_KEY_dead_iota: return U'\u037A';
    case XKB_KEY_dead_voiced_sound: return U'\u309B';
    case XKB_KEY_dead_semivoiced_sound: return U'\u309C';
    default: return 0;
    }
}

void quietLog(xkb_context*, xkb_log_level, const char*, va_list) {}

struct ContextDeleter {
    void operator()(xkb_context* c) const { xkb_context_unref(c); }
};
struct KeymapDeleter {
    void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};
struct StateDeleter {
    void operator()(xkb_state* s) const { xkb_state_unref(s); }
};
using ContextPtr = std::unique_ptr<xkb_context, ContextDeleter>;
using KeymapPtr = std::unique_ptr<xkb_keymap, KeymapDeleter>;
using StatePtr = std::unique_ptr<xkb_state, StateDeleter>;

// What every key types in every shift state, worked out once per layout so
// that converting text costs only table look-ups.
struct LayoutTables {
    std::array<std::array<char32_t, kStates>, kScanKeys.size()> chars{};
    // Every key typing a character, the preferred one first.
    std::unordered_map<char32_t, std::vector<KeyStroke>> strokes;
};

std::optional<LayoutTables> compileTables(const XkbLayoutName& name)
{
    ContextPtr context(xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES));
    if (!context)
        return std::nullopt;
    xkb_context_set_log_fn(context.get(), quietLog);
    const xkb_rule_names names{"evdev", "pc105", name.layout.c_str(), name.variant.c_str(), ""};
    KeymapPtr keymap(xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (!keymap)
        return std::nullopt;
    StatePtr state(xkb_state_new(keymap.get()));
    if (!state)
        return std::nullopt;

    auto modBit = [&](const char* mod) -> xkb_mod_mask_t {
        const xkb_mod_index_t i = xkb_keymap_mod_get_index(keymap.get(), mod);
        return i == XKB_MOD_INVALID ? 0 : xkb_mod_mask_t{1} << i;
    };
    const xkb_mod_mask_t shift = modBit(XKB_MOD_NAME_SHIFT);
    const xkb_mod_mask_t ctrl = modBit(XKB_MOD_NAME_CTRL);
    const xkb_mod_mask_t alt = modBit(XKB_MOD_NAME_ALT);

    // Ctrl+Alt types what the right Alt key selects on layouts where that key
    // is Alt Gr; where it is a plain Alt (as on "us") Ctrl+Alt types nothing.
    const xkb_keycode_t rightAlt = kEvdevRightAlt + kEvdevToXkb;
    xkb_state_update_key(state.get(), rightAlt, XKB_KEY_DOWN);
    const xkb_mod_mask_t altGr = xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_EFFECTIVE);
    xkb_state_update_key(state.get(), rightAlt, XKB_KEY_UP);
    const bool hasAltGr = altGr != 0 && (altGr & (alt | ctrl | shift)) == 0;

    auto charAt = [&](xkb_keycode_t key, xkb_mod_mask_t mods) -> std::pair<char32_t, xkb_level_index_t> {
        xkb_state_update_mask(state.get(), mods, 0, 0, 0, 0, 0);
        const xkb_layout_index_t group = xkb_state_key_get_layout(state.get(), key);
        const xkb_level_index_t level = xkb_state_key_get_level(state.get(), key, group);
        char32_t c = xkb_state_key_get_utf32(state.get(), key);
        if (c == 0)
            c = deadKeyAccent(xkb_state_key_get_one_sym(state.get(), key));
        return {c, level};
    };

    LayoutTables t;
    for (size_t k = 0; k < kScanKeys.size(); ++k) {
        const auto key = static_cast<xkb_keycode_t>(kScanKeys[k].evdev + kEvdevToXkb);
        for (int s = 0; s < kStates; ++s) {
            const xkb_mod_mask_t shiftMods = (s & kShiftStateShift) ? shift : 0;
            char32_t c = 0;
            if ((s & kShiftStateAltGr) == kShiftStateAltGr) {
                // Alt Gr only counts where it selects another level that
                // types something else (the keypad keys keep their symbol).
                if (hasAltGr) {
                    const auto [withAltGr, level] = charAt(key, altGr | shiftMods);
                    const auto [without, baseLevel] = charAt(key, shiftMods);
                    if (level != baseLevel && withAltGr != without)
                        c = withAltGr;
                }
            } else {
                const xkb_mod_mask_t mods =
                    shiftMods | ((s & kShiftStateCtrl) ? ctrl : 0) | ((s & kShiftStateAlt) ? alt : 0);
                c = charAt(key, mods).first;
            }
            t.chars[k][s] = c;
        }
    }

    // Ctrl+Enter types a line feed, as Windows layouts have it (xkb gives a
    // carriage return there); it is the stroke for a line feed before Ctrl+J.
    // Reading the key back must give the same, or a line feed typed as
    // Ctrl+Enter would come back as a line break.
    for (size_t k = 0; k < kScanKeys.size(); ++k)
        if (kScanKeys[k].scanCode == kScanEnter || kScanKeys[k].scanCode == kScanKeypadEnter)
            t.chars[k][kShiftStateCtrl] = U'\n';
    t.strokes[U'\n'].push_back(KeyStroke{kScanEnter, kShiftStateCtrl});
    auto collect = [&](size_t from, size_t to) {
        for (int s : kSearchStates)
            for (size_t k = from; k < to; ++k)
                if (const char32_t c = t.chars[k][s]; c != 0) {
                    const KeyStroke stroke{kScanKeys[k].scanCode, s};
                    std::vector<KeyStroke>& strokes = t.strokes[c];
                    if (std::find(strokes.begin(), strokes.end(), stroke) == strokes.end())
                        strokes.push_back(stroke);
                }
    };
    collect(0, kMainBlockKeys);
    collect(kMainBlockKeys, kScanKeys.size());
    return t;
}

// Row in kScanKeys of the scan codes without prefix, -1 for none; reading
// a signature back asks for 254 keys in a row.
constexpr int kPlainScanCodes = 0x59;
constexpr auto kPlainKeyRows = [] {
    std::array<int8_t, kPlainScanCodes> rows{};
    rows.fill(-1);
    for (size_t k = 0; k < kScanKeys.size(); ++k)
        if (kScanKeys[k].scanCode < kPlainScanCodes)
            rows[kScanKeys[k].scanCode] = static_cast<int8_t>(k);
    return rows;
}();

std::optional<size_t> keyIndex(int scanCode)
{
    if (scanCode >= 0 && scanCode < kPlainScanCodes) {
        const int row = kPlainKeyRows[scanCode];
        return row < 0 ? std::nullopt : std::optional<size_t>(row);
    }
    for (size_t k = 0; k < kScanKeys.size(); ++k)
        if (kScanKeys[k].scanCode == scanCode)
            return k;
    return std::nullopt;
}

std::string displayName(const XkbLayoutName& n)
{
    return n.variant.empty() ? n.layout : n.layout + "(" + n.variant + ")";
}

class XkbLayout final : public IKeyboardLayout {
public:
    XkbLayout(XkbLayoutName name, std::optional<LayoutTables> tables,
              std::optional<SessionLayoutSources> sources = std::nullopt)
        : name_(std::move(name)), tables_(std::move(tables)), sources_(std::move(sources))
    {}

    std::optional<KeyStroke> strokeForChar(char32_t c) override
    {
        if (!tables_)
            return std::nullopt;
        const auto it = tables_->strokes.find(c);
        if (it == tables_->strokes.end())
            return std::nullopt;
        return it->second.front();
    }

    std::vector<KeyStroke> strokesForChar(char32_t c) override
    {
        if (!tables_)
            return {};
        const auto it = tables_->strokes.find(c);
        return it == tables_->strokes.end() ? std::vector<KeyStroke>{} : it->second;
    }

    std::optional<char32_t> charForStroke(int scanCode, int shiftState) override
    {
        if (!tables_ || shiftState < 0 || shiftState >= kStates)
            return std::nullopt;
        const auto k = keyIndex(scanCode);
        if (!k)
            return std::nullopt;
        const char32_t c = tables_->chars[*k][shiftState];
        return c == 0 ? std::nullopt : std::optional<char32_t>(c);
    }

    std::string name() const override { return displayName(name_); }

    bool refresh() override
    {
        if (!sources_)
            return false;
        XkbLayoutName wanted = sessionLayoutName(*sources_);
        if (wanted == configured_)
            return false;
        configured_ = wanted;
        auto tables = compileTables(wanted);
        if (!tables) {
            wanted = {"us", ""};
            tables = compileTables(wanted);
        }
        const bool changed = !(wanted == name_) || tables.has_value() != tables_.has_value();
        name_ = std::move(wanted);
        tables_ = std::move(tables);
        return changed;
    }

private:
    // The configuration read last; the layout in use differs from it when
    // that did not compile.
    XkbLayoutName configured_;
    XkbLayoutName name_;
    std::optional<LayoutTables> tables_;
    std::optional<SessionLayoutSources> sources_;
};

std::string trim(const std::string& s)
{
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string unquote(std::string v)
{
    v = trim(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

// KEY=value lines of a shell-style file, as /etc/default/keyboard and
// /etc/vconsole.conf are written.
std::unordered_map<std::string, std::string> readAssignments(const std::string& path)
{
    std::unordered_map<std::string, std::string> out;
    if (path.empty())
        return out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.rfind("export ", 0) == 0)
            line = trim(line.substr(7));
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        out[trim(line.substr(0, eq))] = unquote(line.substr(eq + 1));
    }
    return out;
}

// Option "XkbLayout" "se" lines of an X server configuration snippet.
std::unordered_map<std::string, std::string> readXorgOptions(const std::string& path)
{
    std::unordered_map<std::string, std::string> out;
    if (path.empty())
        return out;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string option;
        if (!(words >> option) || option != "Option")
            continue;
        std::vector<std::string> quoted;
        std::string rest;
        std::getline(words, rest);
        for (size_t pos = rest.find('"'); pos != std::string::npos && quoted.size() < 2;) {
            const auto end = rest.find('"', pos + 1);
            if (end == std::string::npos)
                break;
            quoted.push_back(rest.substr(pos + 1, end - pos - 1));
            pos = rest.find('"', end + 1);
        }
        if (quoted.size() == 2)
            out[quoted[0]] = quoted[1];
    }
    return out;
}

std::string firstOfList(const std::string& list) { return trim(list.substr(0, list.find(','))); }

std::optional<XkbLayoutName> named(const std::string& layouts, const std::string& variants)
{
    const std::string layout = firstOfList(layouts);
    if (layout.empty())
        return std::nullopt;
    return XkbLayoutName{layout, firstOfList(variants)};
}

// systemd's table of console keymaps and the X11 layouts that match them:
// "console layout model variant options" per line, "-" for none.
std::optional<XkbLayoutName> consoleKeymapLayout(const std::string& mapPath, const std::string& keymap)
{
    if (mapPath.empty() || keymap.empty())
        return std::nullopt;
    std::ifstream in(mapPath);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream words(line);
        std::string console, layout, model, variant;
        if (!(words >> console >> layout >> model >> variant) || console != keymap)
            continue;
        return named(layout, variant == "-" ? "" : variant);
    }
    return std::nullopt;
}

}  // namespace

XkbLayoutName sessionLayoutName(const SessionLayoutSources& sources)
{
    if (sources.useEnvironment) {
        const char* layout = std::getenv("XKB_DEFAULT_LAYOUT");
        const char* variant = std::getenv("XKB_DEFAULT_VARIANT");
        if (auto n = named(layout ? layout : "", variant ? variant : ""))
            return *n;
    }
    {
        auto a = readAssignments(sources.debianKeyboard);
        if (auto n = named(a["XKBLAYOUT"], a["XKBVARIANT"]))
            return *n;
    }
    {
        auto o = readXorgOptions(sources.xorgKeyboard);
        if (auto n = named(o["XkbLayout"], o["XkbVariant"]))
            return *n;
    }
    {
        auto a = readAssignments(sources.vconsole);
        if (auto n = named(a["XKBLAYOUT"], a["XKBVARIANT"]))
            return *n;
        if (auto n = consoleKeymapLayout(sources.consoleToX11Map, a["KEYMAP"]))
            return *n;
    }
    return {"us", ""};
}

std::unique_ptr<IKeyboardLayout> makeXkbLayout(const std::string& layout, const std::string& variant)
{
    XkbLayoutName name{layout, variant};
    auto tables = compileTables(name);
    if (!tables)
        return nullptr;
    return std::make_unique<XkbLayout>(std::move(name), std::move(tables));
}

std::unique_ptr<IKeyboardLayout> makeXkbLayoutFromName(const std::string& setup)
{
    const auto open = setup.find('(');
    if (open != std::string::npos && !setup.empty() && setup.back() == ')')
        return makeXkbLayout(setup.substr(0, open), setup.substr(open + 1, setup.size() - open - 2));
    return makeXkbLayout(setup);
}

std::unique_ptr<IKeyboardLayout> makeSessionKeyboardLayout(const SessionLayoutSources& sources)
{
    auto layout = std::make_unique<XkbLayout>(XkbLayoutName{}, std::nullopt, sources);
    layout->refresh();
    return layout;
}

int evdevKeyForScanCode(int scanCode)
{
    const auto k = keyIndex(scanCode);
    return k ? kScanKeys[*k].evdev : 0;
}

}  // namespace cvk
