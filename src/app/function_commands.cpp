// What a choice in a button's function menu does to the configuration
// block: the new function code, the rules every assignment obeys, and the
// dialogs for key combinations and texts.

#include "app/main_controller.h"
#include "config/catalogue.h"
#include "device/live_edits.h"
#include "device/models.h"
#include "keys/strokes.h"
#include "texts/text_ids.h"
#include "texts/texts.h"

namespace cvk {

namespace {

constexpr const char* kSnippetQuestion =
    "Only one button can be assigned to snippet function. If you proceed, the text will be overwritten. "
    "Do you want to continue?";
constexpr const char* kSnippetCaption = "Another button is programmed with the this function.";

}  // namespace

bool CMainController::clickSelectAllowed(uint8_t code, int n)
{
    if (code == kFnClick)
        return true;
    const uint8_t pad = config_.block[kPosPadFlags];
    if ((pad & kPadClickBit) && (n != 0 || (code & kPadClickBit)))
        return true;
    const int buttons = buttonCount(link_.state.modelCode);
    for (int b = 1; b <= buttons; ++b)
        if (b != n && config_.block[b] == kFnClick)
            return true;
    view_.messageBox("Corvane", text(kTxtOneClickSelect) + "\r\n" + text(kTxtChangeAnotherFirst),
                     MessageStyle::Error);
    return false;
}

void CMainController::commonTail(uint8_t code, int n)
{
    if (!clickSelectAllowed(code, n))
        return;
    setByte(link_, config_, n, code);
    if (code <= kFnCruiseDown && n >= 1) {
        setByte(link_, config_, keyLowPosition(link_.state.modelCode, n), 0);
        setByte(link_, config_, keyHighPosition(link_.state.modelCode, n), 0);
    }
    view_.repaint();
}

// Only one button may hold a signature, and only one a snippet: the user is
// asked once for every other button holding it.
bool CMainController::confirmUnique(uint8_t code, int n, const std::string& caption,
                                    const std::string& question)
{
    const int buttons = buttonCount(link_.state.modelCode);
    for (int b = 1; b <= buttons; ++b) {
        if (b == n || config_.block[b] != code)
            continue;
        if (view_.messageBox(caption, question, MessageStyle::YesNoStop) != MessageAnswer::Yes)
            return false;
    }
    return true;
}

bool CMainController::functionCommand(int command)
{
    const int n = config_.currentButton;
    const int model = link_.state.modelCode;
    const uint8_t pad = config_.block[kPosPadFlags];
    auto setting = [&](int position, int value) {
        setByte(link_, config_, position, static_cast<uint8_t>(value));
    };
    auto keyWord = [&](uint16_t word) {
        setting(keyLowPosition(model, n), word & 0xFF);
        setting(keyHighPosition(model, n), word >> 8);
    };

    std::optional<uint8_t> code;
    bool handled = true;
    if (command >= kCmdClick && command <= kCmdCruiseDown) {
        code = static_cast<uint8_t>(1 << (command - kCmdClick));
    } else if (command >= kCmdMultimediaFirst && command < kCmdMultimediaFirst + 23) {
        keyWord(multimediaRow(command - kCmdMultimediaFirst).usage);
        code = kFnMultimedia;
    } else if (command >= kCmdPresetFirst && command < kCmdPresetFirst + 64) {
        keyWord(presetKeyWord(command - kCmdPresetFirst));
        code = kFnKeyboard;
    } else if (command >= kCmdSnippetFirst && command < kCmdSnippetFirst + 10) {
        if (!confirmUnique(kFnTextSnippet, n, text(kTxtAnotherButtonHasIt, kSnippetCaption),
                           text(kTxtOnlyOneButtonQuestion, kSnippetQuestion)))
            return true;  // the current button stays
        const SnippetPreset& preset = snippetPreset(command - kCmdSnippetFirst);
        config_.textPending = true;
        config_.snippetText.fill(0);
        for (size_t i = 0; preset.text[i] && i + 1 < config_.snippetText.size(); ++i)
            config_.snippetText[i] = static_cast<char16_t>(static_cast<unsigned char>(preset.text[i]));
        std::copy(preset.strokes.begin(), preset.strokes.end(), config_.block.begin() + kPosSnippetStrokes);
        code = kFnTextSnippet;
    } else {
        switch (command) {
        case kCmdPadClick: code = static_cast<uint8_t>(pad ^ kPadClickBit); break;
        case kCmdPadBrowse: code = static_cast<uint8_t>(pad ^ kPadBrowseBit); break;
        // Switching edge scroll off also switches Browse Back/Forward off.
        case kCmdPadEdgeScroll:
            code = static_cast<uint8_t>(pad & kPadEdgeScrollBit ? pad & ~(kPadEdgeScrollBit | kPadBrowseBit)
                                                                : pad | kPadEdgeScrollBit);
            break;
        case kCmdSwapButtons: code = static_cast<uint8_t>(pad ^ kPadSwappedButtons); break;
        case kCmdScrollWhileHeld: code = kFnScrollWhileHeld; break;
        case kCmdEnhanceLess: code = kFnEnhanceLess; break;
        case kCmdEnhanceMore: code = kFnEnhanceMore; break;
        case kCmdDisable: code = kFnDisabled; break;
        case kCmdSwitchScreen: code = kFnSwitchScreen; break;
        case kCmdClickLock: code = kFnClickLock; break;
        case kCmdZoomIn: code = kFnZoomIn; break;
        case kCmdZoomOut: code = kFnZoomOut; break;
        case kCmdPrecisionLow:
            if (config_.block[kPosEdgePrecision] != 32)
                setting(kPosScrollSpeed, 16);
            setting(kPosEdgePrecision, 32);
            break;
        case kCmdPrecisionEnhanced:
            if (config_.block[kPosEdgePrecision] != 16)
                setting(kPosScrollSpeed, 38);
            setting(kPosEdgePrecision, 16);
            break;
        case kCmdEndSwitchOff:
        case kCmdEndSwitchLow:
        case kCmdEndSwitchIncreasing: setting(kPosEndSwitch, command - kCmdEndSwitchOff); break;
        case kCmdResolutionFirst:
        case kCmdResolutionFirst + 1:
        case kCmdResolutionFirst + 2:
        case kCmdResolutionFirst + 3:
        case kCmdResolutionFirst + 4: setting(kPosResolutionMode, command - kCmdResolutionFirst); break;
        case kCmdAvoidEdgesToggle:
            setting(kPosResolutionMode, config_.block[kPosResolutionMode] == 4 ? 5 : 4);
            break;
        case kCmdEndSwitchAlternate:
            // No repaint, and the menu's button stays current.
            setting(kPosEndSwitch, 17);
            return true;
        case kCmdOtherKeys: {
            const uint16_t current = static_cast<uint16_t>(config_.block[keyHighPosition(model, n)] << 8 |
                                                           config_.block[keyLowPosition(model, n)]);
            const std::optional<uint16_t> word = view_.askKeyCombination(current);
            config_.currentButton = n;
            if (!word)
                break;
            keyWord(*word);
            code = kFnKeyboard;
            break;
        }
        case kCmdSignature: {
            if (!confirmUnique(kFnSignature, n, text(kTxtAnotherButtonHasIt),
                               text(kTxtOnlyOneButtonQuestion)))
                return true;
            if (!layout_)
                break;
            const std::optional<std::u16string> signature = view_.askSignature(signatureString(config_));
            config_.currentButton = n;
            if (!signature)
                break;
            applySignature(config_, *signature, *layout_);
            config_.textPending = true;
            code = kFnSignature;
            break;
        }
        default: handled = false; break;
        }
    }
    if (code)
        commonTail(*code, n);
    else if (handled)
        view_.repaint();
    config_.currentButton = -1;
    return handled;
}

}  // namespace cvk
