#pragma once
// Text as key strokes. The device types a signature as key strokes, not
// characters, so text is turned into strokes with the keyboard layout active
// when it is entered, and back into text with the layout active when it is
// read. A stroke is a HID keyboard usage and a HID modifier byte.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include "texts/utf.h"

namespace cvk {

class IKeyboardLayout;
struct ConfigModel;

inline constexpr int kMaxSignatureStrokes = 254;
inline constexpr int kStrokeTableSize = 256;
using StrokeTable = std::array<uint8_t, kStrokeTableSize>;

// The only modifier bytes text entry produces.
enum StrokeModifier : uint8_t {
    kStrokePlain = 0x00,
    kStrokeCtrl = 0x01,
    kStrokeShift = 0x02,
    kStrokeRightAlt = 0x40,
    kStrokeAltGr = 0x41,  // Ctrl with right Alt
};

struct Stroke {
    uint8_t usage = 0;
    uint8_t modifier = 0;
    bool operator==(const Stroke&) const = default;
};

// The HID usage of a set-1 scan code of the main key block; 0 for every
// other key, the modifiers and the ISO key beside left Shift among them.
uint8_t scanCodeUsage(int scanCode);
// The modifier byte of a shift state: Shift 0x02, Ctrl 0x01, Alt 0x40,
// Ctrl+Alt 0x41, and 0 for every other combination.
uint8_t strokeModifier(int shiftState);

struct StrokeConversion {
    // Typing order; only the first `count` are meaningful.
    std::array<Stroke, kMaxSignatureStrokes> strokes{};
    int count = 0;
    // The edit field's length limit: 254 strokes, plus one for every line
    // break, which the field counts as two characters and the device as one
    // stroke.
    int lengthLimit = kMaxSignatureStrokes;
};

// Text (UTF-16, line breaks as CR LF or CR) to strokes. Characters no key
// types, and keys without a usage, give no stroke; strokes past 254 are
// dropped.
StrokeConversion textToStrokes(std::u16string_view text, IKeyboardLayout& layout);

// The signature length byte (block position 63): min(n, 254) + 1.
uint8_t signatureLengthByte(int strokeCount);
// Lays the strokes out as the device keeps them: stroke p of m - 1 at index
// m - p (m = the length byte), that is in reverse from index m down to 2;
// every other index 0.
void fillStrokeTables(const StrokeConversion& strokes, StrokeTable& usages, StrokeTable& modifiers);

// What OK in the signature dialog stores: the text (cut to 511 units and a
// terminator), both stroke tables and block position 63, stored without the
// single-byte write. Returns the stroke count. The caller assigns the
// function and sets the text-pending flag.
int applySignature(ConfigModel& model, std::u16string_view text, IKeyboardLayout& layout);

// One stroke back to the character it types under the layout; a dead key
// gives its accent. nullopt for a usage without a main-block key, or a key
// that types nothing.
std::optional<char32_t> strokeToChar(uint8_t usage, uint8_t modifier, IKeyboardLayout& layout);
// The tables back to text in typing order (index 255 down to 1), a
// carriage return as CR LF; strokes that give no character are skipped.
std::u16string strokesToText(const StrokeTable& usages, const StrokeTable& modifiers,
                             IKeyboardLayout& layout);
// The configuration read's last step: the model's signature text rebuilt
// from its stroke tables.
void rebuildSignatureText(ConfigModel& model, IKeyboardLayout& layout);

// The model's signature text up to its terminator.
std::u16string signatureString(const ConfigModel& model);

// The signature dialog without its window: caption and edit limit follow
// the text. Opening does not convert: the caption shows only its base until
// the text first changes.
class SignatureDialogModel {
public:
    SignatureDialogModel(std::string captionBase, std::u16string_view text);

    // The edit text changed: converts it and updates caption and limit.
    void textChanged(std::u16string_view text, IKeyboardLayout& layout);

    const std::string& caption() const { return caption_; }
    int lengthLimit() const { return lengthLimit_; }
    int strokeCount() const { return strokeCount_; }

private:
    std::string captionBase_;
    std::string caption_;
    int lengthLimit_ = kMaxSignatureStrokes;
    int strokeCount_ = 0;
};

}  // namespace cvk
