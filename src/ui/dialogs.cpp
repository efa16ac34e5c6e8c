#include "ui/dialogs.h"

#include <algorithm>

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSvgRenderer>
#include <QVBoxLayout>

#include "texts/text_ids.h"
#include "texts/texts.h"
#include "ui/picture_symbols.h"

// The flags live in a static library, whose resource initialiser the linker
// would drop as unreferenced.
static void registerFlags() { Q_INIT_RESOURCE(flags); }

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

constexpr int kFlagSize = 48;

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

namespace {

// A flag drawn from its SVG into a 48x48 icon, centred, with a thin frame
// so that the white of a flag stays apart from the button.
QIcon flagIcon(const char* code)
{
    static const bool registered = (registerFlags(), true);
    (void)registered;
    QSvgRenderer svg(QStringLiteral(":/flags/%1.svg").arg(QString::fromLatin1(code)));
    QIcon icon;
    for (qreal ratio : {1.0, 2.0}) {
        QPixmap pixmap(QSize(kFlagSize, kFlagSize) * ratio);
        pixmap.setDevicePixelRatio(ratio);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QSizeF size =
            QSizeF(svg.defaultSize()).scaled(QSizeF(kFlagSize, kFlagSize - 8), Qt::KeepAspectRatio);
        const QRectF target(QPointF((kFlagSize - size.width()) / 2, (kFlagSize - size.height()) / 2), size);
        svg.render(&painter, target);
        painter.setPen(QPen(QColor(0, 0, 0, 60), 1));
        painter.drawRect(target.adjusted(0.5, 0.5, -0.5, -0.5));
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace

CDefaultLanguge::CDefaultLanguge(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select Default Language"));
    setWindowIcon(cvk::symbols::programIcon(true));
    auto* layout = new QVBoxLayout(this);
    struct Choice {
        const char* caption;
        const char* code;
        const char* flag;
        bool offered;
    };
    // English is built in and Swedish ships as a language file; the other
    // languages have no translation yet.
    static constexpr Choice kChoices[] = {{"English", "EN", "en", true},
                                          {"Svenska", "SE", "se", true},
                                          {"Norska", "NO", "no", false},
                                          {"Suomi", "FI", "fi", false},
                                          {"Danska", "DK", "dk", false}};
    for (const Choice& c : kChoices) {
        auto* button = new QPushButton(flagIcon(c.flag), QString::fromUtf8(c.caption), this);
        button->setIconSize(QSize(kFlagSize, kFlagSize));
        button->setMinimumSize(250, 56);
        button->setAutoDefault(false);
        button->setVisible(c.offered);
        button->setEnabled(c.offered);
        button->setObjectName(QString::fromLatin1(c.code));
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
