#pragma once
// What a button or the pad currently does, in words: the short caption
// beside each button of the device picture, the longer hover text, the
// HTML tips of snippet and signature buttons and the menu-item hints.

#include "texts/utf.h"
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "config/config_model.h"

namespace cvk {

struct DeviceState;

struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const Rgb&) const = default;
};

// Dimmed colours of the "disabled" texts.
inline constexpr Rgb kDisabledButtonFive{64, 0, 0};   // five-button models
inline constexpr Rgb kDisabledButtonNine{128, 0, 0};  // nine-button models
inline constexpr Rgb kPadDisabledHover{64, 0, 0};
// The pad's caption fades in with the picture (fade level 0..100).
Rgb padDisabledCaptionColour(int fadeLevel);

// The key text of a shortcut key word under the active keyboard layout.
using KeyTextFn = std::function<std::string(uint16_t keyWord)>;

struct DescribeContext {
    int modelCode = 0;
    // The wireless receiver is open (the Cindel catalogue serves it).
    bool receiverOpen = false;
    std::array<uint8_t, kBlockSize> block{};
    std::u16string snippetText;  // up to the first NUL unit
    int fadeLevel = 100;         // 0..100, for the pad's caption colour
};

DescribeContext describeContext(const DeviceState& device, const ConfigModel& model, int fadeLevel);

struct Description {
    std::string text;  // empty: nothing to show
    // Set for the disabled texts; a caller that draws uses it as text colour.
    std::optional<Rgb> colour;
};

enum class DescriptionForm { Caption, Hover };

// Button n (1..9) or the pad (n = 0).
Description describe(const DescribeContext& context, int n, DescriptionForm form, const KeyTextFn& keyText);

// Nine-button models keep the key words at 32..40/48..56 and have the pad
// switch on button 3; the descriptions count the Cindel catalogue (and so
// the receiver) and the Brill among them whatever the model code.
bool describesNineButtons(int modelCode, bool receiverOpen);

// The HTML tip over a button holding a text snippet (247) or the signature
// (248). None for other codes, and none while the signature text is empty
// with a model connected (model code not 0).
std::optional<std::string> textTooltip(uint8_t code, int modelCode, std::u16string_view snippetText,
                                       std::u16string_view signatureText);

// Menu-item hints.
struct HintRow {
    int command;
    int textId;  // the explanation
};

extern const std::array<HintRow, 18> kMenuHints;

// The row for `command`, searching from the last row to the first; nullptr
// when no row has it.
const HintRow* findHintRow(std::span<const HintRow> rows, int command);

// The tip for a highlighted menu item, or none (hide the tip).
std::optional<std::string> menuHint(int command, std::string_view itemText);

// The units up to the first NUL (or all of them).
std::u16string_view untilNul(const char16_t* units, size_t count);

}  // namespace cvk
