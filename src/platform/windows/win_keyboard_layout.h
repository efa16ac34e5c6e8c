#pragma once
// Keyboard layouts on Windows: the system's own tables through VkKeyScanExW,
// MapVirtualKeyExW and ToUnicodeEx.

#include <memory>
#include <string>

#include "platform/keyboard_layout.h"

namespace cvk {

// A named layout by its layout id (KLID), such as "00000409" (US) or
// "0000041D" (Swedish), or by the xkb name of a common one ("us", "se",
// "de"); nullptr when the system has no such layout.
std::unique_ptr<IKeyboardLayout> makeWinKeyboardLayout(const std::string& name);

// The layout active for the calling thread; refresh() follows a switch of
// it. Never null.
std::unique_ptr<IKeyboardLayout> makeActiveWinKeyboardLayout();

}  // namespace cvk
