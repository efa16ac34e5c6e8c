#pragma once
// The keyboard-shortcut dialog: a drawn ISO keyboard the user clicks to pick
// a key combination. Which keys a click selects is KeyboardModel's business;
// this window draws the keys and forwards the clicks.

#include <QDialog>
#include <QFont>
#include <QRect>
#include <array>
#include <cstdint>
#include <optional>

#include "keys/key_names.h"
#include "keys/key_table.h"
#include "keys/keyboard_model.h"

class QPushButton;

namespace cvk {
class IKeyboardLayout;
}

class CKeyBoardDlg final : public QDialog {
public:
    // The layout names the layout keys; without one they stay blank.
    CKeyBoardDlg(uint16_t keyWord, cvk::IKeyboardLayout* layout, QWidget* parent = nullptr);

    // The word the dialog opened with until OK, the chosen one after.
    uint16_t keyWord() const { return keyWord_; }
    // Key `index` in widget coordinates; for Enter its upper part.
    QRect keyRect(int index) const;
    // The lower part of the L-shaped Enter; a null rectangle for other keys.
    QRect keyLowerRect(int index) const;
    bool isKeySelected(int index) const { return model_.isSelected(index); }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

    // Reads the labels anew from the layout and redraws them.
    void layoutChanged();

    void accept() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void drawKey(QPainter& painter, int index) const;
    void refreshLayout();

    cvk::IKeyboardLayout* layout_;
    cvk::KeyboardModel model_;
    uint16_t keyWord_;
    std::array<cvk::KeyLabels, cvk::kKeyCount> labels_{};
    QFont smallFont_;
    QFont largeFont_;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

// Runs the dialog on `current`; the chosen word, or nullopt when cancelled.
std::optional<uint16_t> askKeyCombinationDialog(QWidget* parent, uint16_t current,
                                                cvk::IKeyboardLayout* layout);
