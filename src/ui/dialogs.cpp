#include "ui/dialogs.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "texts/text_ids.h"
#include "texts/texts.h"

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// The edit field counts a line break as two characters, as the device's
// stroke limit was laid out for.
int editLength(const QString& text) { return static_cast<int>(text.size() + text.count(QLatin1Char('\n'))); }

QDialogButtonBox* okCancel(QDialog* dialog)
{
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    box->button(QDialogButtonBox::Ok)->setText(qs(cvk::text(cvk::kTxtOk)));
    box->button(QDialogButtonBox::Cancel)->setText(qs(cvk::text(cvk::kTxtCancel)));
    QObject::connect(box, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(box, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return box;
}

}  // namespace

// ------------------------------------------------------------ language

CDefaultLanguge::CDefaultLanguge(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select Default Language"));
    auto* layout = new QVBoxLayout(this);
    struct Choice {
        const char* caption;
        const char* code;
        bool offered;
    };
    // Only English and Swedish translations are offered for now.
    static constexpr Choice kChoices[] = {{"English", "EN", true},
                                          {"Svenska", "SE", true},
                                          {"Norska", "NO", false},
                                          {"Suomi", "FI", false},
                                          {"Danska", "DK", false}};
    for (const Choice& c : kChoices) {
        auto* button = new QPushButton(QString::fromUtf8(c.caption), this);
        button->setMinimumSize(250, 40);
        button->setAutoDefault(false);
        button->setVisible(c.offered);
        button->setEnabled(c.offered);
        layout->addWidget(button);
        const std::string code = c.code;
        connect(button, &QPushButton::clicked, this, [this, code] {
            code_ = code;
            accept();
        });
    }
}

std::string askLanguageDialog(QWidget* parent, const std::string& preset)
{
    CDefaultLanguge dialog(parent);
    dialog.setCode(preset);
    dialog.exec();
    return dialog.code();
}

// ------------------------------------------------------------ profile name

CProfileNameDlg::CProfileNameDlg(const std::string& name, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(qs(name.empty() ? cvk::text(cvk::kTxtNewProfile) : cvk::text(cvk::kTxtRenameProfile)));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(qs(cvk::text(cvk::kTxtEnterProfileName)), this));
    edit_ = new QLineEdit(qs(name), this);
    edit_->setMinimumWidth(280);
    layout->addWidget(edit_);
    QDialogButtonBox* box = okCancel(this);
    layout->addWidget(box);
    ok_ = box->button(QDialogButtonBox::Ok);
    ok_->setEnabled(!name.empty());
    connect(edit_, &QLineEdit::textChanged, this,
            [this](const QString& text) { ok_->setEnabled(!text.isEmpty()); });
    edit_->selectAll();
    edit_->setFocus();
}

std::string CProfileNameDlg::name() const { return edit_->text().toStdString(); }

void CProfileNameDlg::accept()
{
    if (edit_->text().isEmpty())
        return;
    QDialog::accept();
}

// ------------------------------------------------------------ signature

CSignatureDlg::CSignatureDlg(const std::u16string& text, cvk::IKeyboardLayout* layout, QWidget* parent)
    : QDialog(parent), layout_(layout), model_(cvk::text(cvk::kTxtSignature, "Signature"), text)
{
    setWindowTitle(qs(model_.caption()));
    auto* box = new QVBoxLayout(this);
    edit_ = new QPlainTextEdit(this);
    edit_->setTabChangesFocus(true);
    edit_->setMinimumSize(420, 200);
    box->addWidget(edit_);
    box->addWidget(okCancel(this));

    QString shown = QString::fromStdU16String(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Filling the field is not an edit: the caption keeps its base until
    // the user changes the text.
    edit_->setPlainText(shown);
    edit_->moveCursor(QTextCursor::End);
    accepted_ = shown;
    limit_ = std::max(cvk::kMaxSignatureStrokes, editLength(shown));
    connect(edit_, &QPlainTextEdit::textChanged, this, &CSignatureDlg::edited);
    edit_->setFocus();
}

std::u16string CSignatureDlg::text() const
{
    QString t = edit_->toPlainText();
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t.toStdU16String();
}

void CSignatureDlg::edited()
{
    const QString now = edit_->toPlainText();
    const int length = editLength(now);
    if (length > limit_ && length > editLength(accepted_)) {
        // Past the limit: the field refuses the change, as a limited edit
        // control does.
        const int grown = static_cast<int>(now.size() - accepted_.size());
        const int position =
            std::clamp(edit_->textCursor().position() - grown, 0, static_cast<int>(accepted_.size()));
        const QSignalBlocker blocker(edit_);
        edit_->setPlainText(accepted_);
        QTextCursor cursor = edit_->textCursor();
        cursor.setPosition(position);
        edit_->setTextCursor(cursor);
        return;
    }
    accepted_ = now;
    if (!layout_)
        return;
    model_.textChanged(text(), *layout_);
    limit_ = model_.lengthLimit();
    setWindowTitle(qs(model_.caption()));
}
