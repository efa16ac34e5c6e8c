#include "keys/keyboard_model.h"

#include <algorithm>

namespace cvk {

namespace {

// The modifier bits a word selects a modifier key by; both Windows bits
// light the one Windows key.
uint8_t preselectBits(int code)
{
    constexpr uint8_t kRightWindows = 0x80;
    const uint8_t bit = modifierBit(code);
    return code == kKeyWindows ? static_cast<uint8_t>(bit | kRightWindows) : bit;
}

}  // namespace

void KeyboardModel::reset(uint16_t keyWord)
{
    fresh_ = true;
    const int usage = keyWord & 0xFF;
    const int modifiers = keyWord >> 8;
    for (int i = 0; i < kKeyCount; ++i) {
        const KeyRecord& k = kKeyTable[i];
        if (!k.isModifier())
            selected_[i] = k.code == usage;
        else
            selected_[i] = keyWord > 0xFF && (modifiers & preselectBits(k.code)) != 0;
    }
}

std::vector<int> KeyboardModel::click(int index)
{
    std::vector<int> changed;
    if (index < 0 || index >= kKeyCount)
        return changed;
    changed.push_back(index);
    if (!selected_[index] && fresh_) {
        for (int i = 0; i < kKeyCount; ++i) {
            if (selected_[i]) {
                selected_[i] = false;
                changed.push_back(i);
            }
        }
    }
    fresh_ = false;
    selected_[index] = !selected_[index];
    if (selected_[index] && kKeyTable[index].code > 0) {
        for (int i = 0; i < kKeyCount; ++i) {
            if (i != index && selected_[i] && kKeyTable[i].code > 0) {
                selected_[i] = false;
                changed.push_back(i);
            }
        }
    }
    return changed;
}

bool KeyboardModel::okEnabled() const
{
    return std::find(selected_.begin(), selected_.end(), true) != selected_.end();
}

uint16_t KeyboardModel::keyWord() const
{
    unsigned word = 0;
    for (int i = 0; i < kKeyCount; ++i) {
        if (!selected_[i])
            continue;
        const KeyRecord& k = kKeyTable[i];
        word |= k.isModifier() ? unsigned{modifierBit(k.code)} << 8 : static_cast<unsigned>(k.code);
    }
    return static_cast<uint16_t>(word);
}

}  // namespace cvk
