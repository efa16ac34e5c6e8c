#pragma once
// What a button or the pad currently does, in words: the short caption
// beside each button of the device picture, the longer hover text, the
// HTML tips of snippet and signature buttons and the menu-item hints.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include "texts/utf.h"

#include "config/config_model.h"

namespace cvk {

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

// device/model_views.h fills one in from what is attached.
struct DescribeContext {
    int modelCode = 0;
    bool receiverOpen = false;
    // The layout the picture shows; with nine buttons the key words are at
    // 32..40/48..56 and button 3 is the pad switch. The defaults are those
    // of no device.
    ButtonLayout layout = ButtonLayout::Five;
    // The pad's caption names edge scroll and browsing (the Essom has neither).
    bool padEdgeFunctions = true;
    std::array<uint8_t, kBlockSize> block{};
    std::u16string snippetText;  // up to the first NUL unit
    int fadeLevel = 100;         // 0..100, for the pad's caption colour
};

struct Description {
    std::string text;  // empty: nothing to show
    // Set for the disabled texts; a caller that draws uses it as text colour.
    std::optional<Rgb> colour;
};

enum class DescriptionForm { Caption, Hover };

// Button n (1..9) or the pad (n = 0).
Description describe(const DescribeContext& context, int n, DescriptionForm form, const KeyTextFn& keyText);

// Whose tip it is.
struct TipModel {
    bool connected = false;  // a model is there (or its stored copy)
    bool heading = false;    // its own picture shows the tip heading instead of the "connect" note
};

// The HTML tip over a button holding a text snippet (247) or the signature
// (248). None for other codes, and none while the signature text is empty
// with a model connected.
std::optional<std::string> textTooltip(uint8_t code, TipModel model, std::u16string_view snippetText,
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
