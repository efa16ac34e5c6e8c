#include "platform/windows/win_keyboard_layout.h"

#include <windows.h>

#include <array>
#include <utility>

#include "platform/windows/utf.h"

namespace cvk {

namespace {

// ToUnicodeEx leaves the keyboard state alone (Windows 10 1607 and later).
constexpr UINT kKeepKeyboardState = 0x4;

// The shift states the search over all keys tries: plain, Shift, Alt Gr,
// Shift+Alt Gr, then the Ctrl states that type control characters.
constexpr std::array<int, 6> kSearchStates{kShiftStateNone,  kShiftStateShift,
                                           kShiftStateAltGr, kShiftStateAltGr | kShiftStateShift,
                                           kShiftStateCtrl,  kShiftStateCtrl | kShiftStateShift};

std::string activeLayoutName()
{
    std::array<wchar_t, KL_NAMELENGTH> name{};
    if (!::GetKeyboardLayoutNameW(name.data()))
        return {};
    return win::narrow(name.data());
}

class WinKeyboardLayout final : public IKeyboardLayout {
public:
    WinKeyboardLayout(HKL layout, std::string name, bool followActive)
        : layout_(layout), name_(std::move(name)), followActive_(followActive)
    {}

    std::optional<KeyStroke> strokeForChar(char32_t c) override
    {
        if (c == 0)
            return std::nullopt;  // Ctrl+Shift+2 types it, but it is no text
        if (const std::optional<KeyStroke> stroke = scanned(c))
            return stroke;
        const std::vector<KeyStroke> strokes = searched(c, std::nullopt);
        if (strokes.empty())
            return std::nullopt;
        return strokes.front();
    }

    std::vector<KeyStroke> strokesForChar(char32_t c) override
    {
        std::vector<KeyStroke> strokes;
        if (c == 0)
            return strokes;
        const std::optional<KeyStroke> first = scanned(c);
        if (first)
            strokes.push_back(*first);
        for (const KeyStroke& stroke : searched(c, first))
            strokes.push_back(stroke);
        return strokes;
    }

    std::optional<char32_t> charForStroke(int scanCode, int shiftState) override
    {
        const UINT vk = ::MapVirtualKeyExW(static_cast<UINT>(scanCode), MAPVK_VSC_TO_VK_EX, layout_);
        if (vk == 0 || shiftState < 0 || shiftState > 7)
            return std::nullopt;
        std::array<BYTE, 256> keys{};
        constexpr BYTE kDown = 0x80;
        if (shiftState & kShiftStateShift)
            keys[VK_SHIFT] = keys[VK_LSHIFT] = kDown;
        if (shiftState & kShiftStateCtrl)
            keys[VK_CONTROL] = keys[VK_LCONTROL] = kDown;
        if (shiftState & kShiftStateAlt)
            keys[VK_MENU] = keys[VK_LMENU] = kDown;
        std::array<wchar_t, 8> out{};
        const auto scan = static_cast<UINT>(scanCode & 0xFF);
        const int count = ::ToUnicodeEx(vk, scan, keys.data(), out.data(), static_cast<int>(out.size()),
                                        kKeepKeyboardState, layout_);
        if (count < 0) {
            // A dead key. Where the flag is not honoured the accent is now
            // pending; the same key again types it and clears the state.
            std::array<wchar_t, 8> ignored{};
            ::ToUnicodeEx(vk, scan, keys.data(), ignored.data(), static_cast<int>(ignored.size()),
                          kKeepKeyboardState, layout_);
            return static_cast<char32_t>(out[0]);
        }
        if (count == 1 && !isSurrogate(out[0]))
            return static_cast<char32_t>(out[0]);
        if (count == 2 && isHigh(out[0]) && isLow(out[1]))
            return 0x10000 + ((static_cast<char32_t>(out[0]) - 0xD800) << 10) +
                   (static_cast<char32_t>(out[1]) - 0xDC00);
        return std::nullopt;  // nothing, or several characters at once
    }

    std::string name() const override { return name_; }

    bool refresh() override
    {
        if (!followActive_)
            return false;
        const HKL now = ::GetKeyboardLayout(0);
        if (now == layout_)
            return false;
        layout_ = now;
        name_ = activeLayoutName();
        return true;
    }

private:
    static bool isHigh(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
    static bool isLow(wchar_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }
    static bool isSurrogate(wchar_t unit) { return isHigh(unit) || isLow(unit); }

    // The layout's own choice of key for c, when it has one.
    std::optional<KeyStroke> scanned(char32_t c)
    {
        if (c == 0 || c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF))
            return std::nullopt;
        const SHORT result = ::VkKeyScanExW(static_cast<wchar_t>(c), layout_);
        if (result == -1)
            return std::nullopt;
        const auto vk = static_cast<UINT>(result & 0xFF);
        const int state = (result >> 8) & 0xFF;
        // Hankaku and the reserved bits name states the port has no bit for.
        if (state & ~0x7)
            return std::nullopt;
        const UINT scan = ::MapVirtualKeyExW(vk, MAPVK_VK_TO_VSC_EX, layout_);
        if (scan == 0)
            return std::nullopt;
        const KeyStroke stroke{static_cast<int>(scan), state};
        // VkKeyScanExW may name a key whose scan code types something else
        // (a numeric keypad key sharing a virtual key): trust the answer
        // only when the key types c.
        if (charForStroke(stroke.scanCode, stroke.shiftState) != c)
            return std::nullopt;
        return stroke;
    }

    // Every key that types c, plainest state first, except skip.
    std::vector<KeyStroke> searched(char32_t c, std::optional<KeyStroke> skip)
    {
        std::vector<KeyStroke> strokes;
        for (int state : kSearchStates) {
            for (int prefix : {0, 0xE000}) {
                for (int code = 1; code < 0x80; ++code) {
                    const KeyStroke stroke{prefix + code, state};
                    if (stroke != skip && charForStroke(stroke.scanCode, stroke.shiftState) == c)
                        strokes.push_back(stroke);
                }
            }
        }
        return strokes;
    }

    HKL layout_;
    std::string name_;
    bool followActive_;
};

}  // namespace

namespace {

// The xkb names people know from Linux, for the layouts whose ids are
// hard to remember.
std::string layoutIdOf(const std::string& name)
{
    static const std::pair<const char*, const char*> known[] = {
        {"us", "00000409"}, {"gb", "00000809"}, {"de", "00000407"}, {"fr", "0000040C"},
        {"se", "0000041D"}, {"no", "00000414"}, {"dk", "00000406"}, {"fi", "0000040B"},
        {"es", "0000040A"}, {"it", "00000410"}, {"ch", "00000807"}, {"nl", "00000413"},
    };
    for (const auto& [xkb, klid] : known)
        if (name == xkb)
            return klid;
    return name;
}

}  // namespace

std::unique_ptr<IKeyboardLayout> makeWinKeyboardLayout(const std::string& name)
{
    const std::string klid = layoutIdOf(name);
    if (klid.size() != 8 || klid.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return nullptr;
    const HKL layout = ::LoadKeyboardLayoutW(win::wide(klid).c_str(), KLF_NOTELLSHELL);
    if (!layout)
        return nullptr;
    return std::make_unique<WinKeyboardLayout>(layout, klid, false);
}

std::unique_ptr<IKeyboardLayout> makeActiveWinKeyboardLayout()
{
    return std::make_unique<WinKeyboardLayout>(::GetKeyboardLayout(0), activeLayoutName(), true);
}

}  // namespace cvk
