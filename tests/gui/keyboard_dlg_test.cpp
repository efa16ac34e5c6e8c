// The keyboard-shortcut dialog clicked as a user clicks it: at the centres
// of the drawn keys. Also the labels following a layout change, the cursor,
// the keyboard way through the buttons, and previews for the eye.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "keys/key_table.h"
#include "platform/keyboard_layout.h"
#include "test_support.h"
#include "ui/keyboard_dlg.h"

namespace {

using cvk::keyIndexOfCode;

const int kLeftCtrl = keyIndexOfCode(cvk::kKeyLeftCtrl);
const int kLeftAlt = keyIndexOfCode(cvk::kKeyLeftAlt);
const int kLeftShift = keyIndexOfCode(cvk::kKeyLeftShift);
const int kWindows = keyIndexOfCode(cvk::kKeyWindows);
const int kKeyA = keyIndexOfCode(0x04);
const int kKeyB = keyIndexOfCode(0x05);
const int kMinus = keyIndexOfCode(0x2D);  // "-" on "us", "+" on "se"

struct Click {
    int index;
    bool lowerPart = false;  // Enter's part below the upper row
};

struct ClickCase {
    std::string name;
    uint16_t word;
    std::vector<Click> clicks;
    std::set<int> selected;
    // The word OK gives back; nullopt when OK must stay disabled.
    std::optional<uint16_t> result;
};

void PrintTo(const ClickCase& c, std::ostream* out) { *out << c.name; }

std::set<int> selectedKeys(const CKeyBoardDlg& dialog)
{
    std::set<int> keys;
    for (int i = 0; i < cvk::kKeyCount; ++i)
        if (dialog.isKeySelected(i))
            keys.insert(i);
    return keys;
}

void clickKey(CKeyBoardDlg& dialog, const Click& click)
{
    const QRect r = click.lowerPart ? dialog.keyLowerRect(click.index) : dialog.keyRect(click.index);
    ASSERT_FALSE(r.isNull());
    QPoint at = r.center();
    if (click.lowerPart)
        at.setY(r.bottom() - 4);  // below the upper part
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, at);
}

class KeyboardClicks : public ::testing::TestWithParam<ClickCase> {};

TEST_P(KeyboardClicks, SelectionAndResult)
{
    const ClickCase& c = GetParam();
    CKeyBoardDlg dialog(c.word, &cvk::test::namedLayout("us"));
    dialog.show();
    for (const Click& click : c.clicks)
        clickKey(dialog, click);
    EXPECT_EQ(selectedKeys(dialog), c.selected);
    EXPECT_EQ(dialog.okButton()->isEnabled(), c.result.has_value());

    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    if (c.result) {
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.keyWord(), *c.result);
    } else {
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.keyWord(), c.word);
    }
}

const int kEnter = cvk::kEnterKeyIndex;

INSTANTIATE_TEST_SUITE_P(
    KeyboardDialog, KeyboardClicks,
    ::testing::Values(
        ClickCase{"CtrlAltAPreselected", 0x0504, {}, {kLeftCtrl, kLeftAlt, kKeyA}, 0x0504},
        ClickCase{"FirstClickOnBStartsAfresh", 0x0504, {{kKeyB}}, {kKeyB}, 0x0005},
        ClickCase{"FirstClickOnADeselectsOnlyA", 0x0504, {{kKeyA}}, {kLeftCtrl, kLeftAlt}, 0x0500},
        ClickCase{"ModifierAfterTheFirstClickKeepsTheRest",
                  0x0504,
                  {{kKeyA}, {kLeftShift}},
                  {kLeftCtrl, kLeftAlt, kLeftShift},
                  0x0700},
        ClickCase{"SecondOrdinaryKeyReplacesTheFirst",
                  0,
                  {{kLeftCtrl}, {kKeyA}, {kKeyB}},
                  {kLeftCtrl, kKeyB},
                  0x0105},
        ClickCase{"EnterLowerPartSelectsEnter", 0, {{kEnter, true}}, {kEnter}, 0x0028},
        ClickCase{"EnterLowerPartDeselectsEnter", 0, {{kEnter, true}, {kEnter, true}}, {}, std::nullopt},
        ClickCase{"NothingSelectedKeepsOkDisabled", 0, {}, {}, std::nullopt},
        ClickCase{"CtrlAltAlone", 0, {{kLeftCtrl}, {kLeftAlt}}, {kLeftCtrl, kLeftAlt}, 0x0500},
        ClickCase{"RightWindowsBitLightsTheWindowsKey", 0x8000, {}, {kWindows}, 0x0800}),
    [](const ::testing::TestParamInfo<ClickCase>& param) { return param.param.name; });

TEST(KeyboardDialog, ClickBesideTheKeysChangesNothing)
{
    CKeyBoardDlg dialog(0x0504, &cvk::test::namedLayout("us"));
    dialog.show();
    // The gap between the function-key groups, and the button row.
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(240, 20));
    QTest::mouseClick(&dialog, Qt::LeftButton, {}, QPoint(20, cvk::kKeyboardHeight + 10));
    EXPECT_EQ(selectedKeys(dialog), (std::set<int>{kLeftCtrl, kLeftAlt, kKeyA}));
    // Still fresh: the next click on an unselected key starts anew.
    clickKey(dialog, {kKeyB});
    EXPECT_EQ(selectedKeys(dialog), std::set<int>{kKeyB});
}

TEST(KeyboardDialog, HandCursorOnlyOverKeys)
{
    CKeyBoardDlg dialog(0, &cvk::test::namedLayout("us"));
    dialog.show();
    QTest::mouseMove(&dialog, dialog.keyLowerRect(kEnter).bottomLeft() + QPoint(2, -2));
    EXPECT_EQ(dialog.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(&dialog, QPoint(240, 20));
    EXPECT_EQ(dialog.cursor().shape(), Qt::ArrowCursor);
}

TEST(KeyboardDialog, EscapeCancelsAndKeepsTheWord)
{
    CKeyBoardDlg dialog(0x0504, &cvk::test::namedLayout("us"));
    dialog.show();
    clickKey(dialog, {kKeyB});
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.keyWord(), 0x0504);
}

TEST(KeyboardDialog, TabReachesOkAndCancel)
{
    CKeyBoardDlg dialog(0x0504, &cvk::test::namedLayout("us"));
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    std::set<QWidget*> reached;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &dialog, Qt::Key_Tab);
        reached.insert(QApplication::focusWidget());
    }
    EXPECT_TRUE(reached.count(dialog.okButton()));
    EXPECT_TRUE(reached.count(dialog.cancelButton()));
}

// A layout the test switches, as the user switches the input language.
class SwitchingLayout : public cvk::IKeyboardLayout {
public:
    explicit SwitchingLayout(cvk::IKeyboardLayout& first) : active_(&first) {}
    void switchTo(cvk::IKeyboardLayout& next)
    {
        active_ = &next;
        changed_ = true;
    }
    std::optional<cvk::KeyStroke> strokeForChar(char32_t c) override { return active_->strokeForChar(c); }
    std::optional<char32_t> charForStroke(int scanCode, int shiftState) override
    {
        return active_->charForStroke(scanCode, shiftState);
    }
    std::string name() const override { return active_->name(); }
    bool refresh() override { return std::exchange(changed_, false); }

private:
    cvk::IKeyboardLayout* active_;
    bool changed_ = false;
};

QImage keyImage(CKeyBoardDlg& dialog, int index) { return dialog.grab(dialog.keyRect(index)).toImage(); }

TEST(KeyboardDialog, LabelsFollowALayoutChange)
{
    cvk::IKeyboardLayout& us = cvk::test::namedLayout("us");
    cvk::IKeyboardLayout& se = cvk::test::namedLayout("se");
    CKeyBoardDlg swedish(0, &se);
    const QImage seMinus = keyImage(swedish, kMinus);

    SwitchingLayout layout(us);
    CKeyBoardDlg dialog(0, &layout);
    const QImage usMinus = keyImage(dialog, kMinus);
    ASSERT_NE(usMinus, seMinus);

    layout.switchTo(se);
    EXPECT_EQ(keyImage(dialog, kMinus), usMinus) << "no redraw before the window hears of the change";
    QEvent change(QEvent::KeyboardLayoutChange);
    QApplication::sendEvent(&dialog, &change);
    EXPECT_EQ(keyImage(dialog, kMinus), seMinus);
    // Keys the layouts agree on look the same as before.
    EXPECT_EQ(keyImage(dialog, kKeyA), keyImage(swedish, kKeyA));
}

TEST(KeyboardDialog, SelectedKeysLookDifferent)
{
    CKeyBoardDlg selected(0x0504, &cvk::test::namedLayout("us"));
    CKeyBoardDlg plain(0, &cvk::test::namedLayout("us"));
    for (int index : {kLeftCtrl, kLeftAlt, kKeyA})
        EXPECT_NE(keyImage(selected, index), keyImage(plain, index)) << index;
    EXPECT_EQ(keyImage(selected, kKeyB), keyImage(plain, kKeyB));
}

TEST(KeyboardDialog, Previews)
{
    ASSERT_TRUE(QDir().mkpath(QStringLiteral(CVK_PICTURE_PREVIEW_DIR)));
    for (const char* name : {"us", "se"}) {
        CKeyBoardDlg dialog(0x0504, &cvk::test::namedLayout(name));
        dialog.show();
        for (double ratio : {1.0, 2.0}) {
            QImage image(dialog.size() * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::white);
            dialog.render(&image);
            const QString file =
                QStringLiteral(CVK_PICTURE_PREVIEW_DIR "/keyboard-%1%2.png")
                    .arg(QString::fromLatin1(name), ratio > 1 ? QStringLiteral("@2x") : QString());
            EXPECT_TRUE(image.save(file)) << file.toStdString();
        }
    }
}

}  // namespace
