#pragma once
// What the keyboard-shortcut dialog does with clicks, without drawing: which
// keys are selected, the result word and whether OK may be pressed. The
// window draws the keys of key_table.h, turns a click into a key index with
// keyAt() and redraws the keys click() reports.

#include <array>
#include <cstdint>
#include <vector>

#include "keys/key_table.h"

namespace cvk {

class KeyboardModel {
public:
    // Opens on a key word (modifier byte high, usage low).
    explicit KeyboardModel(uint16_t keyWord = 0) { reset(keyWord); }

    // Selects the word's keys and starts a fresh combination: the first
    // click on an unselected key clears the preselection. Modifiers are read
    // only from a word above 255; the right Windows bit (0x80) lights the one
    // Windows key, which gives back the left bit.
    void reset(uint16_t keyWord);

    // A click on key `index`; -1 (no key) does nothing. At most one ordinary
    // key stays selected, modifiers toggle freely. Returns the indices whose
    // selection changed.
    std::vector<int> click(int index);

    bool isSelected(int index) const { return index >= 0 && index < kKeyCount && selected_[index]; }
    bool fresh() const { return fresh_; }
    // OK is enabled while any key is selected.
    bool okEnabled() const;
    // The result OK hands back: the ordinary key's usage OR the modifier
    // bits; never the right Windows bit.
    uint16_t keyWord() const;

private:
    std::array<bool, kKeyCount> selected_{};
    bool fresh_ = true;
};

}  // namespace cvk
