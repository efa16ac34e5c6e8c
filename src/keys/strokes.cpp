#include "keys/strokes.h"

#include "texts/utf.h"

#include <algorithm>

#include <fmt/core.h>

#include "config/config_model.h"
#include "platform/keyboard_layout.h"

namespace cvk {

namespace {

constexpr int kScanTableSize = 0x3A;

// HID usages of the set-1 scan codes 0x00 to 0x39.
constexpr std::array<uint8_t, kScanTableSize> kScanUsages = {
    0x00, 0x29,                                                  // -, Esc
    0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27,  // 1 .. 0
    0x2D, 0x2E, 0x2A, 0x2B,                                      // - = Backspace Tab
    0x14, 0x1A, 0x08, 0x15, 0x17, 0x1C, 0x18, 0x0C, 0x12, 0x13,  // Q .. P
    0x2F, 0x30, 0x28, 0x00,                                      // [ ] Enter, left Ctrl
    0x04, 0x16, 0x07, 0x09, 0x0A, 0x0B, 0x0D, 0x0E, 0x0F,        // A .. L
    0x33, 0x34, 0x35, 0x00, 0x32,                                // ; ' ` left Shift, the key beside Enter
    0x1D, 0x1B, 0x06, 0x19, 0x05, 0x11, 0x10,                    // Z .. M
    0x36, 0x37, 0x38, 0x00, 0x00, 0x00, 0x2C,                    // , . / right Shift, keypad *, Alt, Space
};
static_assert(kScanUsages[0x39] == 0x2C, "a row of the scan-code table is missing");

// The first scan code of every usage, for reading strokes back.
constexpr std::array<uint8_t, 256> kUsageScanCodes = [] {
    std::array<uint8_t, 256> t{};
    for (int s = kScanTableSize - 1; s > 0; --s)
        if (kScanUsages[s] != 0)
            t[kScanUsages[s]] = static_cast<uint8_t>(s);
    return t;
}();

int shiftStateOf(uint8_t modifier)
{
    switch (modifier) {
    case kStrokeCtrl: return kShiftStateCtrl;
    case kStrokeShift: return kShiftStateShift;
    case kStrokeRightAlt: return kShiftStateAlt;
    case kStrokeAltGr: return kShiftStateAltGr;
    default: return kShiftStateNone;
    }
}

template <size_t N>
void storeText(std::array<char16_t, N>& buffer, std::u16string_view text)
{
    buffer.fill(0);
    std::copy_n(text.begin(), std::min(text.size(), N - 1), buffer.begin());
}

}  // namespace

uint8_t scanCodeUsage(int scanCode)
{
    return scanCode >= 0 && scanCode < kScanTableSize ? kScanUsages[scanCode] : 0;
}

uint8_t strokeModifier(int shiftState)
{
    switch (shiftState) {
    case kShiftStateShift: return kStrokeShift;
    case kShiftStateCtrl: return kStrokeCtrl;
    case kShiftStateAlt: return kStrokeRightAlt;
    case kShiftStateAltGr: return kStrokeAltGr;
    default: return kStrokePlain;
    }
}

StrokeConversion textToStrokes(std::u16string_view text, IKeyboardLayout& layout)
{
    StrokeConversion out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            ++out.lengthLimit;
        }
        // One UTF-16 unit at a time: a surrogate half has no key. Of the keys
        // typing c the first is taken whose key has a usage (the ISO key has
        // none but shares characters with other keys on some layouts) and
        // whose shift state a stroke can carry (Shift with Alt Gr would be
        // played unshifted and type another character).
        for (const KeyStroke& stroke : layout.strokesForChar(c)) {
            const uint8_t usage = scanCodeUsage(stroke.scanCode);
            const bool carried =
                stroke.shiftState == kShiftStateNone || strokeModifier(stroke.shiftState) != kStrokePlain;
            if (usage == 0 || !carried)
                continue;
            if (out.count < kMaxSignatureStrokes)
                out.strokes[out.count++] = {usage, strokeModifier(stroke.shiftState)};
            break;
        }
    }
    return out;
}

uint8_t signatureLengthByte(int strokeCount)
{
    return static_cast<uint8_t>(std::clamp(strokeCount, 0, kMaxSignatureStrokes) + 1);
}

void fillStrokeTables(const StrokeConversion& strokes, StrokeTable& usages, StrokeTable& modifiers)
{
    usages.fill(0);
    modifiers.fill(0);
    const int m = signatureLengthByte(strokes.count);
    for (int p = 0; p <= m - 2; ++p) {
        usages[m - p] = strokes.strokes[p].usage;
        modifiers[m - p] = strokes.strokes[p].modifier;
    }
}

int applySignature(ConfigModel& model, std::u16string_view text, IKeyboardLayout& layout)
{
    const StrokeConversion strokes = textToStrokes(text, layout);
    storeText(model.signatureText, text);
    fillStrokeTables(strokes, model.strokeUsages, model.strokeModifiers);
    model.block[kPosSignatureLength] = signatureLengthByte(strokes.count);
    return strokes.count;
}

std::optional<char32_t> strokeToChar(uint8_t usage, uint8_t modifier, IKeyboardLayout& layout)
{
    const int scanCode = kUsageScanCodes[usage];
    if (usage == 0 || scanCode == 0)
        return std::nullopt;
    const auto c = layout.charForStroke(scanCode, shiftStateOf(modifier));
    if (!c || *c == 0)
        return std::nullopt;
    return c;
}

std::u16string strokesToText(const StrokeTable& usages, const StrokeTable& modifiers, IKeyboardLayout& layout)
{
    std::u16string text;
    for (int index = kStrokeTableSize - 1; index >= 1; --index) {
        if (usages[index] == 0)
            continue;
        const auto c = strokeToChar(usages[index], modifiers[index], layout);
        if (!c)
            continue;
        appendUtf16(text, *c);
        if (*c == U'\r')
            text.push_back(u'\n');
    }
    return text;
}

void rebuildSignatureText(ConfigModel& model, IKeyboardLayout& layout)
{
    storeText(model.signatureText, strokesToText(model.strokeUsages, model.strokeModifiers, layout));
}

std::u16string signatureString(const ConfigModel& model)
{
    const auto& t = model.signatureText;
    return {t.begin(), std::find(t.begin(), t.end(), u'\0')};
}

SignatureDialogModel::SignatureDialogModel(std::string captionBase, std::u16string_view text)
    : captionBase_(std::move(captionBase)), caption_(captionBase_)
{
    const int length = static_cast<int>(text.size());
    lengthLimit_ = length > kMaxSignatureStrokes ? length : kMaxSignatureStrokes;
}

void SignatureDialogModel::textChanged(std::u16string_view text, IKeyboardLayout& layout)
{
    const StrokeConversion strokes = textToStrokes(text, layout);
    strokeCount_ = strokes.count;
    lengthLimit_ = strokes.lengthLimit;
    caption_ = fmt::format("{} ({}/254)", captionBase_, strokeCount_);
}

}  // namespace cvk
