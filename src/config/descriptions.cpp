#include "config/descriptions.h"

#include "texts/utf.h"

#include "config/catalogue.h"
#include "texts/text_ids.h"
#include "texts/texts.h"

namespace cvk {

namespace {

// Id 212 and 224 stand for two texts each; the descriptions use these.
constexpr const char* kClickLockText = "Click Lock";
constexpr const char* kSignatureText = "Signature";

std::string enhanceText(DescriptionForm form, int captionId, int hoverId)
{
    return text(kTxtEnhancePrecision) + " (" + text(form == DescriptionForm::Caption ? captionId : hoverId) +
           ")";
}

Description describePad(const DescribeContext& c, DescriptionForm form)
{
    const uint8_t pad = c.block[kPosPadFlags];
    Description d;
    if (form == DescriptionForm::Caption) {
        if (pad & kPadClickBit)
            d.text += text(kTxtClickSelect) + "\r";
        if (c.padEdgeFunctions) {
            if (pad & kPadBrowseBit)
                d.text += text(kTxtBrowseBackForward) + "\r";
            if (pad & kPadEdgeScrollBit)
                d.text += text(kTxtEnableEdgeScroll) + "\r";
        }
        if (d.text.empty()) {
            d.text = text(kTxtPadDisabled);
            d.colour = padDisabledCaptionColour(c.fadeLevel);
        }
        return d;
    }
    if (pad & kPadClickBit)
        d.text += text(kTxtClickEnabled) + "\r";
    if (pad & kPadBrowseBit)
        d.text += text(kTxtBrowseEnabled) + "\r";
    if (pad & kPadEdgeScrollBit)
        d.text += text(kTxtScrollEnabled) + "\r";
    if (d.text.empty()) {
        d.text = text(kTxtPadDisabled);
        d.colour = kPadDisabledHover;
    }
    return d;
}

Description describeButton(const DescribeContext& c, int n, DescriptionForm form, const KeyTextFn& keyText)
{
    const bool nine = c.layout == ButtonLayout::Nine;
    const uint16_t keyWord = static_cast<uint16_t>(c.block[keyHighPosition(c.layout, n)] << 8 |
                                                   c.block[keyLowPosition(c.layout, n)]);
    Description d;
    switch (c.block[n]) {
    case kFnDisabled:
        d.text = text(nine && n == kOnOffButton ? kTxtOnOff : kTxtButtonDisabled);
        d.colour = nine ? kDisabledButtonNine : kDisabledButtonFive;
        break;
    case kFnClick: d.text = text(kTxtClickSelect); break;
    case kFnRightClick: d.text = text(kTxtRightClick); break;
    case kFnAutoScroll: d.text = text(kTxtAutoScroll); break;
    case kFnBrowseBack: d.text = text(kTxtBrowseBack); break;
    case kFnBrowseForward: d.text = text(kTxtBrowseForward); break;
    case kFnDoubleClick: d.text = text(kTxtDoubleClick); break;
    case kFnCruiseUp: d.text = text(kTxtCruiseUp); break;
    case kFnCruiseDown: d.text = text(kTxtCruiseDown); break;
    case kFnScrollWhileHeld: d.text = text(kTxtScrollWhileHeld); break;
    case kFnZoomOut: d.text = text(kTxtZoomOutShort); break;
    case kFnZoomIn: d.text = text(kTxtZoomInShort); break;
    case kFnTextSnippet: d.text = utf8FromUtf16(untilNul(c.snippetText.data(), c.snippetText.size())); break;
    case kFnSignature: d.text = text(kTxtSignature, kSignatureText); break;
    case kFnClickLock: d.text = text(kTxtClickLock, kClickLockText); break;
    case kFnSwitchScreen: d.text = text(kTxtSwitchScreen); break;
    case kFnEnhanceMore: d.text = enhanceText(form, kTxtMore, kTxtEnhanceMore); break;
    case kFnEnhanceLess: d.text = enhanceText(form, kTxtLess, kTxtEnhanceLess); break;
    case kFnMultimedia:
        if (const int row = multimediaRowForUsage(keyWord); row >= 0)
            d.text = multimediaText(row);
        break;
    case kFnKeyboard:
        // A predefined shortcut reads by its own name.
        if (const int row = presetRowForKeyWord(keyWord); row >= 0)
            d.text = presetText(row);
        else if (keyText)
            d.text = keyText(keyWord);
        break;
    default: break;
    }
    return d;
}

}  // namespace

Rgb padDisabledCaptionColour(int fadeLevel)
{
    // Only the low byte of the product counts (levels above 100 wrap).
    return Rgb{static_cast<uint8_t>((254 * fadeLevel / 100) & 0xFF), 0, 0};
}

Description describe(const DescribeContext& context, int n, DescriptionForm form, const KeyTextFn& keyText)
{
    if (n == 0)
        return describePad(context, form);
    if (n < 1 || n > 9)
        return {};
    return describeButton(context, n, form, keyText);
}

std::optional<std::string> textTooltip(uint8_t code, TipModel model, std::u16string_view snippetText,
                                       std::u16string_view signatureText)
{
    if (code != kFnTextSnippet && code != kFnSignature)
        return std::nullopt;
    if (signatureText.empty() && model.connected)
        return std::nullopt;
    const bool heading = model.heading;
    if (code == kFnTextSnippet) {
        const std::string body = utf8FromUtf16(snippetText);
        if (heading)
            return "<font color=#4C4C4C><b>" + text(kTxtTextSnippets) + "</b></font><br><hr color=#C3C3C3>" +
                   body + "<br><br>";
        return "<i>" + text(kTxtConnectToSee) + "</i><br><hr color=#C3C3C3><font color=#8F8F8F>" + body +
               "<br></font<br><br>";
    }
    const std::string body = utf8FromUtf16(signatureText);
    if (heading)
        return "<font color=#4C4C4C><b>" + text(kTxtSignature, kSignatureText) +
               "</b></font><br><hr color=#C3C3C3>" + body + "<br><br>";
    return "<i>" + text(kTxtConnectToSee) + "</i><br><hr color=#C3C3C3><font color=#8F8F8F>" + body +
           "</font<br><br>";
}

// Rows sharing a text id (precision, end switch) carry the same explanation.
const std::array<HintRow, 18> kMenuHints = {{
    {kCmdCruiseUp, 66},
    {kCmdCruiseDown, 67},
    {kCmdScrollWhileHeld, 68},
    {kCmdSwitchScreen, 69},
    {kCmdEnhanceLess, 70},
    {kCmdEnhanceMore, 70},
    {kCmdEnhanceTitle, 70},
    {kCmdKeyboard, 71},
    {kCmdOtherKeys, 72},
    {kCmdEndSwitchOff, 73},
    {kCmdEndSwitchLow, 73},
    {kCmdEndSwitchIncreasing, 73},
    {kCmdEndSwitchTitle, 73},
    {kCmdPrecisionTitle, 74},
    {kCmdPrecisionLow, 74},
    {kCmdPrecisionEnhanced, 74},
    {kCmdPadEdgeScroll, 75},
    {kCmdPadBrowse, 76},
}};

const HintRow* findHintRow(std::span<const HintRow> rows, int command)
{
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        if (it->command == command)
            return &*it;
    return nullptr;
}

std::optional<std::string> menuHint(int command, std::string_view itemText)
{
    const HintRow* row = findHintRow(kMenuHints, command);
    if (!row)
        return std::nullopt;
    return "<font color=#4C4C4C><b>" + std::string(itemText) + "</b></font><br><hr color=#C3C3C3>" +
           text(row->textId) + "<br><br>";
}

std::u16string_view untilNul(const char16_t* units, size_t count)
{
    size_t n = 0;
    while (n < count && units[n] != u'\0')
        ++n;
    return {units, n};
}

}  // namespace cvk
