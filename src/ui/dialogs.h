#pragma once
// The small modal dialogs of the window: language choice, profile name and
// signature text. They only collect input; the core decides what it means.

#include <QDialog>
#include <QString>
#include <string>

#include "keys/strokes.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace cvk {
class IKeyboardLayout;
}

// The language choice: one button per language; closing the dialog keeps
// the preset code.
class CDefaultLanguge final : public QDialog {
public:
    explicit CDefaultLanguge(QWidget* parent = nullptr);
    void setCode(const std::string& code) { code_ = code; }
    const std::string& code() const { return code_; }

private:
    std::string code_ = "EN";
};

// Runs the language dialog preset to `preset` and returns the code it holds
// afterwards.
std::string askLanguageDialog(QWidget* parent, const std::string& preset);

// Asks for a profile name; OK only with a name.
class CProfileNameDlg final : public QDialog {
public:
    CProfileNameDlg(const std::string& name, QWidget* parent = nullptr);
    std::string name() const;
    void accept() override;

private:
    QLineEdit* edit_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// The signature text; the caption counts the key strokes the text becomes
// under the keyboard layout.
class CSignatureDlg final : public QDialog {
public:
    CSignatureDlg(const std::u16string& text, cvk::IKeyboardLayout* layout, QWidget* parent = nullptr);
    // The text with line breaks as CR LF.
    std::u16string text() const;
    // How long the edit may grow, in the field's own count (a line break
    // counts twice).
    int lengthLimit() const { return limit_; }

private:
    void edited();

    cvk::IKeyboardLayout* layout_;
    cvk::SignatureDialogModel model_;
    QPlainTextEdit* edit_ = nullptr;
    QString accepted_;  // the text before the last change, to refuse one past the limit
    int limit_ = cvk::kMaxSignatureStrokes;
};
