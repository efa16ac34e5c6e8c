// The small dialogs driven by keys and clicks: the signature's caption and
// limit follow what is typed, the profile name needs a name, the language
// choice keeps the preset when closed.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "test_support.h"
#include "ui/dialogs.h"

namespace {

// Return starts a new line (it does not press OK); the caption counts the
// key strokes the text becomes, and the limit grows with each line break,
// which the field counts twice but the device takes as one stroke.
TEST(SignatureDialog, CaptionAndLimitFollowTheTyping)
{
    CSignatureDlg dialog(u"", &cvk::test::namedLayout("us"));
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Signature")) << "no count before the first change";
    auto* edit = dialog.findChild<QPlainTextEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Signature (1/254)"));
    QTest::keyClick(edit, Qt::Key_Return);
    QTest::keyClick(edit, Qt::Key_B);
    EXPECT_TRUE(dialog.isVisible()) << "Return is a line break, not OK";
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Signature (3/254)"));
    EXPECT_EQ(dialog.lengthLimit(), 255);
    EXPECT_EQ(dialog.text(), u"a\r\nb");
}

TEST(ProfileNameDialog, OkNeedsAName)
{
    CProfileNameDlg dialog("");
    dialog.show();
    auto* edit = dialog.findChild<QLineEdit*>();
    QPushButton* ok = nullptr;
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("OK"))
            ok = b;
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(ok, nullptr);
    EXPECT_FALSE(ok->isEnabled());
    QTest::keyClicks(edit, QStringLiteral("Office"));
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(dialog.name(), "Office");
}

TEST(LanguageDialog, ShowsTwoChoicesAndKeepsThePresetWhenClosed)
{
    CDefaultLanguge dialog;
    dialog.setCode("SE");
    int visible = 0;
    for (QPushButton* b : dialog.findChildren<QPushButton*>())
        visible += b->isVisibleTo(&dialog);
    EXPECT_EQ(visible, 2);
    dialog.reject();
    EXPECT_EQ(dialog.code(), "SE");
    auto* english = dialog.findChild<QPushButton*>(QStringLiteral("EN"));
    ASSERT_NE(english, nullptr);
    EXPECT_FALSE(english->icon().isNull()) << "each choice shows its flag";
    english->click();
    EXPECT_EQ(dialog.code(), "EN");
}

}  // namespace
