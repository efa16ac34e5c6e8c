// Text to key strokes and back under xkb layouts: "us", "se" (dead keys,
// Alt Gr) and "de". The first input byte picks the layout and the
// direction; the rest is UTF-16 text or stroke pairs.
//
// What must hold: a stroke that text gave reads back as the character it
// was made from, so after one round the text is stable (encode, decode,
// encode again gives the same strokes and the same text), and strokes read
// as text encode back to strokes that read as the same text.

#include <cstdint>
#include <memory>
#include <string>

#include "config/config_model.h"
#include "keys/strokes.h"
#include "platform/linux/xkb_layout.h"

namespace {

cvk::IKeyboardLayout& layoutFor(uint8_t pick)
{
    static const std::unique_ptr<cvk::IKeyboardLayout> layouts[] = {
        cvk::makeXkbLayout("us"), cvk::makeXkbLayout("se"), cvk::makeXkbLayout("de")};
    for (const auto& l : layouts)
        if (!l)
            __builtin_trap();  // xkb-data is missing: nothing would be tested
    return *layouts[pick % 3];
}

cvk::StrokeTable gUsages, gModifiers;

std::u16string decode(const cvk::StrokeConversion& strokes, cvk::IKeyboardLayout& layout)
{
    cvk::fillStrokeTables(strokes, gUsages, gModifiers);
    return cvk::strokesToText(gUsages, gModifiers, layout);
}

bool sameStrokes(const cvk::StrokeConversion& a, const cvk::StrokeConversion& b)
{
    if (a.count != b.count)
        return false;
    for (int i = 0; i < a.count; ++i)
        if (!(a.strokes[i] == b.strokes[i]))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace cvk;
    if (size == 0)
        return 0;
    IKeyboardLayout& layout = layoutFor(static_cast<uint8_t>(data[0] >> 1));
    ++data;
    --size;

    std::u16string text;
    if (data[-1] & 1) {
        // Stroke pairs as the device keeps them, at indices 255 down to 2.
        StrokeTable usages{}, modifiers{};
        for (size_t i = 0; i + 1 < size && i / 2 < kMaxSignatureStrokes; i += 2) {
            usages[255 - i / 2] = data[i];
            modifiers[255 - i / 2] = data[i + 1];
        }
        text = strokesToText(usages, modifiers, layout);
        if (decode(textToStrokes(text, layout), layout) != text)
            __builtin_trap();
        return 0;
    }

    for (size_t i = 0; i + 1 < size; i += 2)
        text.push_back(static_cast<char16_t>(data[i] | data[i + 1] << 8));
    const StrokeConversion first = textToStrokes(text, layout);
    if (first.count < 0 || first.count > kMaxSignatureStrokes || first.lengthLimit < kMaxSignatureStrokes)
        __builtin_trap();
    const std::u16string read = decode(first, layout);
    const StrokeConversion second = textToStrokes(read, layout);
    if (!sameStrokes(first, second) || decode(second, layout) != read)
        __builtin_trap();

    // The signature dialog's OK and the configuration read's rebuild.
    static ConfigModel model;
    if (applySignature(model, text, layout) != first.count)
        __builtin_trap();
    rebuildSignatureText(model, layout);
    if (signatureString(model) != read)
        __builtin_trap();
    return 0;
}
