// The main window driven as a user drives it, against simulated devices on
// a virtual clock: the picture's hit test, the menus at the pointer, the
// settings view and its sliders, the Brill switch, the keyboard path and
// the states in which clicks do nothing.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <memory>
#include <string>
#include <vector>

#include "app/corvane_app.h"
#include "app/picture_area.h"
#include "config/config_model.h"
#include "config/pointer_settings.h"
#include "device/model_views.h"
#include "device/models.h"
#include "keys/key_table.h"
#include "temp_dir.h"
#include "test_support.h"
#include "texts/text_ids.h"
#include "texts/texts.h"
#include "ui/corvane_dlg.h"
#include "ui/function_menu.h"
#include "ui/keyboard_dlg.h"
#include "ui/picture_view.h"

namespace {

using cvk::CMainController;

constexpr int kBrillSwitch = 59;
constexpr int kCursorSpeed = 19;

// One window on a simulated bus. Messages go to the standard error and
// questions take their safe answer, as in a screenshot run.
class WindowRig {
public:
    // The desktop's mouse settings come from `mouse`; by default a desktop
    // without any, so that no test reads or writes the user's own.
    explicit WindowRig(const std::vector<std::string>& setups, cvk::DesktopMouseSources mouse = {})
        : mouseSources(std::move(mouse))
    {
        for (const std::string& setup : setups)
            bus.attach(setup);
        cvk::StartOptions options;
        options.language = "ENU";
        app.startUp(store, options, [](const std::string& preset) { return preset; });
        DlgPorts ports{bus, clock, store, app, &cvk::test::namedLayout("us"), nullptr, true};
        ports.desktopMouse = &mouseSources;
        dlg = std::make_unique<CCorvaneDlg>(ports);
        dlg->show();
        dlg->start();
        settle();
        // The labels fade in over the first ticks.
        for (int i = 0; i < 12; ++i)
            dlg->change([](CMainController& c) { c.updateFadeAndButtons(); });
        bus.transcript().clear();
    }
    ~WindowRig()
    {
        if (FunctionMenu* menu = dlg->functionMenu())
            menu->close();
        settle();
    }

    void settle()
    {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }
    PictureView& view() { return *dlg->pictureView(); }
    const CMainController& core() const { return dlg->controller(); }
    QPoint at(int item)
    {
        const std::optional<QPoint> p = view().itemPoint(item);
        EXPECT_TRUE(p) << "item " << item << " is not on the picture";
        return p.value_or(QPoint(-1, -1));
    }
    void click(const QPoint& p)
    {
        QTest::mouseMove(&view(), p);
        QTest::mouseClick(&view(), Qt::LeftButton, Qt::NoModifier, p);
        settle();
    }
    void drag(const QPoint& from, const QPoint& to)
    {
        QTest::mouseMove(&view(), from);
        QTest::mousePress(&view(), Qt::LeftButton, Qt::NoModifier, from);
        QTest::mouseMove(&view(), to);
        QTest::mouseRelease(&view(), Qt::LeftButton, Qt::NoModifier, to);
        settle();
    }
    QStringList menuTexts()
    {
        FunctionMenu* menu = dlg->functionMenu();
        return menu ? menu->texts() : QStringList();
    }
    void closeMenu()
    {
        if (FunctionMenu* menu = dlg->functionMenu())
            menu->close();
        settle();
    }

    cvk::DesktopMouseSources mouseSources;
    cvk::sim::VirtualClock clock;
    cvk::sim::SimBus bus{clock};
    cvk::MemorySettingsStore store;
    cvk::CCorvaneApp app;
    std::unique_ptr<CCorvaneDlg> dlg;
};

QStringList textsOf(const std::vector<cvk::MenuItem>& items)
{
    QStringList texts;
    for (const cvk::MenuItem& item : items)
        if (!item.separator)
            texts << QString::fromStdString(item.text);
    return texts;
}

struct ModelCase {
    const char* setup;
    std::vector<int> buttons;  // the buttons the picture shows
};

std::ostream& operator<<(std::ostream& os, const ModelCase& c) { return os << c.setup; }

class EveryModel : public ::testing::TestWithParam<ModelCase> {};

// Each button of the picture is hit at its own pixels, and a click there
// opens that button's menu at the pointer: the menu the core builds for it.
TEST_P(EveryModel, EachButtonIsHitAndOpensItsOwnMenu)
{
    WindowRig rig({GetParam().setup});
    for (int n = 0; n <= 9; ++n) {
        const bool shown =
            std::find(GetParam().buttons.begin(), GetParam().buttons.end(), n) != GetParam().buttons.end();
        if (!shown) {
            EXPECT_FALSE(rig.view().itemPoint(n)) << "button " << n << " should not be on the picture";
            continue;
        }
        const QPoint p = rig.at(n);
        EXPECT_EQ(rig.view().itemAt(p), n);
        // The Brill's on/off button is its pad switch, which a click toggles.
        if (rig.view().padSwitchRect().contains(p))
            continue;
        rig.click(p);
        ASSERT_NE(rig.dlg->functionMenu(), nullptr) << "button " << n;
        EXPECT_EQ(rig.core().config().currentButton, n);
        const std::optional<cvk::MenuContext> context =
            cvk::menuFor(rig.core().device(), rig.core().config(), n, false);
        ASSERT_TRUE(context);
        EXPECT_EQ(rig.menuTexts(), textsOf(cvk::buildMenu(*context))) << "button " << n;
        // The menu opens where the user clicked (moved where the screen ends).
        const QPoint global = rig.view().mapToGlobal(p);
        const QRect menuRect = rig.dlg->functionMenu()->geometry();
        EXPECT_TRUE(menuRect.adjusted(-3, -3, 3, 3).contains(global))
            << "button " << n << " at " << global.x() << "," << global.y() << " menu " << menuRect.x() << ","
            << menuRect.y() << " " << menuRect.width() << "x" << menuRect.height();
        rig.closeMenu();
    }
    // Above the picture's top edge no button is hit, whatever the map holds there.
    for (int x = 0; x < cvk::kPictureAreaWidth; x += 7)
        for (int y = 0; y <= PictureView::kHeight - cvk::kPictureOffset; y += 5) {
            const int item = rig.view().itemAt(QPoint(x, y));
            EXPECT_FALSE(item >= 0 && item <= 9) << x << "," << y << " hits " << item;
        }
}

INSTANTIATE_TEST_SUITE_P(Window, EveryModel,
                         ::testing::Values(ModelCase{"arvel", {0, 1, 2, 3, 4, 5}},
                                           ModelCase{"essom", {0, 1, 2, 4, 5}},
                                           ModelCase{"dorrin", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
                                           ModelCase{"cindel", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
                                           ModelCase{"brill", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
                                           ModelCase{"arvel2", {0, 1, 3, 4, 5, 6, 7, 9}}),
                         [](const auto& param) { return std::string(param.param.setup); });

// The configuration read asks the swapped-buttons question only when the
// desktop's left-handed setting and the pad's disagree (the Dorrin's
// factory block has its buttons unswapped).
TEST(Window, SwappedButtonsQuestionFollowsTheDesktop)
{
    for (const bool leftHanded : {true, false}) {
        cvk::TempDir config;
        cvk::putFile(config / "kcminputrc",
                     std::string("[Mouse]\nXLbInptLeftHanded=") + (leftHanded ? "true" : "false") + "\n");
        cvk::DesktopMouseSources kde;
        kde.desktop = "KDE";
        kde.sessionType = "x11";
        kde.configDir = config.path();
        ::testing::internal::CaptureStderr();
        {
            WindowRig rig({"dorrin"}, kde);
        }
        const std::string err = ::testing::internal::GetCapturedStderr();
        const bool asked = err.find("Switch primary and secondary buttons") != std::string::npos;
        EXPECT_EQ(asked, leftHanded) << err;
    }
}

TEST(Window, ChoosingAMenuItemChangesTheBlockAndTheLabel)
{
    WindowRig rig({"dorrin"});
    rig.click(rig.at(4));
    FunctionMenu* menu = rig.dlg->functionMenu();
    ASSERT_NE(menu, nullptr);
    const uint8_t before = rig.core().config().block[4];
    QWidget* chosen = menu->row(QStringLiteral("Double Click"));
    ASSERT_NE(chosen, nullptr);
    const QString oldCaption = rig.view().findChildren<QWidget*>().at(4)->accessibleDescription();
    QTest::mouseMove(chosen);
    QTest::mouseClick(chosen, Qt::LeftButton);
    rig.settle();
    EXPECT_EQ(rig.dlg->functionMenu(), nullptr) << "the menu closes with the choice";
    EXPECT_NE(rig.core().config().block[4], before);
    const QString caption = rig.view().findChildren<QWidget*>().at(4)->accessibleDescription();
    EXPECT_NE(caption, oldCaption);
    EXPECT_EQ(caption, QStringLiteral("Double Click"));
}

// The menus of the nine-button models break into a second column where
// the key presets start; the rows keep the core's order.
TEST(Window, MenuBreaksIntoColumnsWhereTheCoreSays)
{
    struct Case {
        const char* setup;
        int button;
    };
    for (const Case c : {Case{"dorrin", 4}, Case{"cindel", 1}, Case{"arvel", 1}}) {
        SCOPED_TRACE(c.setup);
        WindowRig rig({c.setup});
        rig.click(rig.at(c.button));
        FunctionMenu* menu = rig.dlg->functionMenu();
        ASSERT_NE(menu, nullptr);
        const std::optional<cvk::MenuContext> context =
            cvk::menuFor(rig.core().device(), rig.core().config(), c.button, false);
        ASSERT_TRUE(context);
        const std::vector<cvk::MenuItem> items = cvk::buildMenu(*context);
        int breaks = 0;
        for (size_t i = 1; i < items.size(); ++i)
            breaks += items[i].columnBreak;
        EXPECT_EQ(menu->columnCount(), breaks + 1);
        // Each break's item heads its column: at the top, right of the one before.
        int left = -1;
        for (size_t i = 0; i < items.size(); ++i) {
            if (i != 0 && !items[i].columnBreak)
                continue;
            QWidget* head = menu->row(QString::fromStdString(items[i].text));
            ASSERT_NE(head, nullptr) << items[i].text;
            EXPECT_GT(head->x(), left) << items[i].text;
            left = head->x();
            EXPECT_LE(head->y(), 10) << items[i].text;
        }
        rig.closeMenu();
    }
}

// The keyboard walks the menu: down the column, across to the next, and
// Enter chooses.
TEST(Window, MenuFollowsTheKeyboard)
{
    WindowRig rig({"dorrin"});
    rig.click(rig.at(4));
    FunctionMenu* menu = rig.dlg->functionMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_GT(menu->columnCount(), 1);
    QWidget* first = QApplication::focusWidget();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parentWidget(), menu) << "the first item has the focus";
    QTest::keyClick(first, Qt::Key_Down);
    QWidget* second = QApplication::focusWidget();
    EXPECT_NE(second, first);
    EXPECT_EQ(second->x(), first->x());
    EXPECT_GT(second->y(), first->y());
    QTest::keyClick(second, Qt::Key_Right);
    QWidget* across = QApplication::focusWidget();
    EXPECT_GT(across->x(), second->x());
    EXPECT_FALSE(across->accessibleName().isEmpty());
    const uint8_t before = rig.core().config().block[4];
    const QString name = across->accessibleName();
    QTest::keyClick(across, Qt::Key_Return);
    rig.settle();
    EXPECT_EQ(rig.dlg->functionMenu(), nullptr);
    EXPECT_NE(rig.core().config().block[4], before) << name.toStdString();
}

TEST(Window, SettingsViewOpensAndClosesAtItsToggle)
{
    WindowRig rig({"cindel"});
    ASSERT_TRUE(rig.view().settingsToggleShown());
    rig.click(rig.view().settingsToggleRect().center());
    EXPECT_TRUE(rig.core().window().settingsViewOpen);
    // The open view hit-tests all four rows.
    const int scrollRow = cvk::kItemPointerSettingFirst + 10 * cvk::kRowScrollSpeed;
    EXPECT_EQ(rig.view().itemAt(*rig.view().itemPoint(scrollRow)), scrollRow);
    rig.click(rig.view().settingsToggleRect().center());
    EXPECT_FALSE(rig.core().window().settingsViewOpen);
    EXPECT_FALSE(rig.view().itemPoint(scrollRow)) << "with the view closed only row 0 is there";
}

TEST(Window, NoSettingsViewWhereTheModelHasNone)
{
    WindowRig rig({"dorrin"});
    EXPECT_FALSE(rig.view().settingsToggleShown());
}

// The knob dropped on the track stores the speed and sends it at once: the
// command-family device gets 0x83 with 255 - speed.
TEST(Window, DraggingTheSpeedKnobStoresAndSendsTheSpeed)
{
    WindowRig rig({"dorrin"});
    const cvk::SliderGeometry g = cvk::sliderGeometry(cvk::kRowCursorSpeed, false);
    const QPoint knob(cvk::knobX(cvk::kRowCursorSpeed, rig.core().config()), g.knobY);
    ASSERT_EQ(rig.view().itemAt(knob), cvk::kItemPointerSettingFirst);
    // 531 + 130 * 3 / 6 is speed 8.
    rig.drag(knob, QPoint(cvk::kTrackLeft + 65, g.knobY));
    EXPECT_EQ(rig.core().config().block[kCursorSpeed], 8);
    const std::vector<std::string> sent = rig.bus.transcript().text({"out"});
    ASSERT_FALSE(sent.empty());
    EXPECT_NE(sent.front().find("83 0E 1C 39 F7"), std::string::npos) << sent.front();
}

TEST(Window, SensitivitySpotsStepTheSpeedWithoutSending)
{
    WindowRig rig({"dorrin"});
    const int speed = rig.core().config().block[kCursorSpeed];
    rig.click(rig.at(cvk::kItemPointerSettingFirst + 2));
    EXPECT_EQ(rig.core().config().block[kCursorSpeed], speed + 1);
    rig.click(rig.at(cvk::kItemPointerSettingFirst + 1));
    rig.click(rig.at(cvk::kItemPointerSettingFirst + 1));
    EXPECT_EQ(rig.core().config().block[kCursorSpeed], speed - 1);
    EXPECT_TRUE(rig.bus.transcript().text({"out"}).empty());
}

TEST(Window, ScrollSpeedKnobStoresTheDroppedByte)
{
    WindowRig rig({"cindel"});
    rig.click(rig.view().settingsToggleRect().center());
    const int row = cvk::kRowScrollAcceleration;
    const cvk::SliderGeometry g = cvk::sliderGeometry(row, true);
    rig.drag(QPoint(cvk::knobX(row, rig.core().config()), g.knobY), QPoint(cvk::kTrackCentre, g.knobY));
    EXPECT_EQ(rig.core().config().block[static_cast<size_t>(59 + row)], 128);
    EXPECT_TRUE(rig.bus.transcript().text({"out"}).empty()) << "scroll settings go with Apply";
}

TEST(Window, BrillSwitchTogglesPosition59BothWays)
{
    WindowRig rig({"brill"});
    const QRect spot = rig.view().padSwitchRect();
    ASSERT_FALSE(spot.isEmpty());
    const uint8_t first = rig.core().config().block[kBrillSwitch];
    rig.click(spot.center());
    const uint8_t second = rig.core().config().block[kBrillSwitch];
    EXPECT_EQ(second, first == 0 ? 0xFF : 0x00);
    rig.click(spot.center());
    EXPECT_EQ(rig.core().config().block[kBrillSwitch], first == 0 ? 0x00 : 0xFF);
}

// Two pads at once: the area says so in red and no click opens anything.
TEST(Window, TwoDevicesShowTheWarningAndIgnoreClicks)
{
    WindowRig rig({"dorrin", "arvel"});
    ASSERT_EQ(rig.core().device().deviceCount, 2);
    const cvk::StatusBand band =
        cvk::statusBand(rig.core().device(), rig.core().config(), rig.view().hovered(), 100, nullptr);
    ASSERT_EQ(band.lines.size(), 1u);
    EXPECT_EQ(band.lines[0].text, cvk::text(cvk::kTxtSeveralDevices));
    EXPECT_EQ(band.lines[0].colour, cvk::kStatusRed);
    // The text is drawn: red pixels in the band.
    QImage image(rig.view().size(), QImage::Format_RGB32);
    QPainter painter(&image);
    rig.view().paintArea(painter);
    painter.end();
    int red = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 400; ++x)
            red += image.pixel(x, y) == qRgb(255, 0, 0);
    EXPECT_GT(red, 50);
    for (int x = 20; x < 700; x += 40)
        for (int y = 100; y < PictureView::kHeight; y += 25) {
            rig.click(QPoint(x, y));
            ASSERT_EQ(rig.dlg->functionMenu(), nullptr) << x << "," << y;
        }
}

TEST(Window, SubmenuTitleShowsItsHint)
{
    WindowRig rig({"cindel"});
    rig.click(rig.at(0));
    FunctionMenu* menu = rig.dlg->functionMenu();
    ASSERT_NE(menu, nullptr);
    const std::optional<cvk::MenuContext> context =
        cvk::menuFor(rig.core().device(), rig.core().config(), 0, false);
    ASSERT_TRUE(context);
    const std::vector<cvk::MenuItem> items = cvk::buildMenu(*context);
    const cvk::MenuItem* title = nullptr;
    for (const cvk::MenuItem& item : items)
        if (item.isSubmenu() && item.command != 0 && cvk::menuHint(item.command, item.text))
            title = &item;
    ASSERT_NE(title, nullptr) << "the pad menu has a submenu with a hint";
    QWidget* row = menu->row(QString::fromStdString(title->text));
    ASSERT_NE(row, nullptr);
    QTest::mouseMove(row);
    rig.settle();
    EXPECT_TRUE(QToolTip::isVisible());
    QString plain = QString::fromStdString(title->text);
    plain.remove(QLatin1Char('&'));
    EXPECT_TRUE(QToolTip::text().contains(plain)) << QToolTip::text().toStdString();
    // Enter opens the submenu beside it.
    QTest::keyClick(row, Qt::Key_Return);
    rig.settle();
    ASSERT_NE(menu->openSubmenu(), nullptr);
    EXPECT_EQ(menu->openSubmenu()->actions().size(), static_cast<qsizetype>(title->submenu.size()));
}

TEST(Window, KeyboardMovesTheFocusOverTheButtonsAndOpensTheMenu)
{
    WindowRig rig({"dorrin"});
    rig.dlg->activateWindow();
    QWidget* first = rig.view().findChildren<QWidget*>().at(0);
    first->setFocus(Qt::TabFocusReason);
    rig.settle();
    EXPECT_EQ(rig.view().focusedButton(), 0);
    EXPECT_EQ(rig.view().hovered(), 0) << "the focused button's text shows in the band";
    for (int expected = 1; expected <= 3; ++expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        rig.settle();
        EXPECT_EQ(rig.view().focusedButton(), expected);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    rig.settle();
    ASSERT_EQ(rig.view().focusedButton(), 2);
    EXPECT_FALSE(QApplication::focusWidget()->accessibleName().isEmpty());
    EXPECT_FALSE(QApplication::focusWidget()->accessibleDescription().isEmpty());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    rig.settle();
    ASSERT_NE(rig.dlg->functionMenu(), nullptr);
    EXPECT_EQ(rig.core().config().currentButton, 2);
}

// The older pads carry the maker's emblem, which leads to the web site; the
// newer ones have none.
TEST(Window, EmblemOfTheOlderPadsOpensTheWebSite)
{
    WindowRig arvel({"arvel"});
    const std::optional<QPoint> link = arvel.view().itemPoint(cvk::kItemWebSite);
    ASSERT_TRUE(link);
    QTest::mouseMove(&arvel.view(), *link);
    EXPECT_EQ(arvel.view().hovered(), cvk::kItemWebSite);
    arvel.click(*link);
    EXPECT_EQ(arvel.dlg->webSiteOpened(), 1);
    EXPECT_EQ(arvel.dlg->functionMenu(), nullptr);

    WindowRig dorrin({"dorrin"});
    EXPECT_FALSE(dorrin.view().itemPoint(cvk::kItemWebSite));
}

TEST(Window, NoDeviceShowsTheInvitationAndNoButtons)
{
    WindowRig rig({});
    for (int n = 0; n <= 9; ++n)
        EXPECT_FALSE(rig.view().itemPoint(n));
    rig.click(QPoint(300, 200));
    EXPECT_EQ(rig.dlg->functionMenu(), nullptr);
}

}  // namespace

namespace {

int pixelsOf(const QImage& image, const QRect& area, const std::vector<QRgb>& colours)
{
    int n = 0;
    for (int y = std::max(0, area.top()); y <= std::min(image.height() - 1, area.bottom()); ++y)
        for (int x = std::max(0, area.left()); x <= std::min(image.width() - 1, area.right()); ++x)
            n += std::find(colours.begin(), colours.end(), image.pixel(x, y) | 0xFF000000) != colours.end();
    return n;
}

QRect qrectOf(const cvk::Rect& r) { return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1)); }

}  // namespace

// While the Dorrin's receiver wakes its pad, the area shows the animation
// and, after the first attempts, the red prompt; both go with the read.
TEST(Window, WakeUpShowsItsFramesAndPromptThenClears)
{
    std::vector<QImage> during;
    QTimer sampler;
    sampler.setInterval(0);
    QObject::connect(&sampler, &QTimer::timeout, [&during] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = dynamic_cast<CCorvaneDlg*>(w); d && d->controller().window().transferMark >= 0) {
                QImage image(d->pictureView()->size(), QImage::Format_RGB32);
                QPainter painter(&image);
                d->pictureView()->paintArea(painter);
                painter.end();
                during.push_back(image);
            }
    });
    sampler.start();
    WindowRig rig({"dorrin-receiver:wake-after=40"});
    sampler.stop();
    ASSERT_FALSE(during.empty()) << "the wake-up loop let the window paint";
    const QRect frame = qrectOf(cvk::wakeFrameRect(PictureView::kHeight));
    const QRect prompt =
        qrectOf(cvk::wakePromptTextRect(PictureView::kHeight)).intersected(rig.view().rect());
    const std::vector<QRgb> reds{qRgb(255, 0, 0), qRgb(128, 0, 0)};
    int framesDrawn = 0, prompts = 0;
    for (const QImage& image : during) {
        framesDrawn += pixelsOf(image, frame, {qRgb(255, 255, 255)}) < frame.width() * frame.height();
        prompts += pixelsOf(image, prompt, reds) > 100;
    }
    EXPECT_GT(framesDrawn, 0);
    EXPECT_GT(prompts, 0);
    during.back().save(QStringLiteral(CVK_PICTURE_PREVIEW_DIR "/window-wake.png"));

    EXPECT_LT(rig.core().window().transferMark, 0);
    QImage after(rig.view().size(), QImage::Format_RGB32);
    QPainter painter(&after);
    rig.view().paintArea(painter);
    painter.end();
    // Only the red of a caption (the on/off button's) is left.
    EXPECT_LT(pixelsOf(after, prompt, reds), 100) << "the prompt is gone after the read";
}

// Over a button holding the signature the tip shows its text shortly after
// the pointer arrived, and goes when the pointer leaves.
TEST(Window, SignatureButtonShowsItsTextAsATip)
{
    WindowRig rig({"cindel"});
    rig.dlg->change([](CMainController& c) {
        cvk::ConfigModel& m = cvk::ControllerProbe::config(c);
        m.block[5] = cvk::kFnSignature;
        const std::u16string text = u"Kind regards";
        std::copy(text.begin(), text.end(), m.signatureText.begin());
    });
    const QPoint p = rig.at(5);
    QTest::mouseMove(&rig.view(), p);
    QTest::qWait(50);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("Kind regards"))) << QToolTip::text().toStdString();
    QTest::mouseMove(&rig.view(), rig.at(4));
    // Qt lets a tip go over a few hundred milliseconds.
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
}

// Help opens the attached model's own manual, and only with a device.
TEST(Window, HelpOpensTheModelsManual)
{
    struct Case {
        const char* setup;
        const char* manual;
    };
    for (const Case c : {Case{"essom", "Essom.pdf"}, Case{"cindel", "cindel.pdf"},
                         Case{"arvel2", "Arveld.pdf"}, Case{"dorrin-receiver", "dorrin.pdf"}}) {
        WindowRig rig({c.setup});
        QPushButton* help = nullptr;
        for (QPushButton* b : rig.dlg->findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("&Help"))
                help = b;
        ASSERT_NE(help, nullptr);
        ASSERT_TRUE(help->isEnabled()) << c.setup;
        help->click();
        EXPECT_TRUE(rig.dlg->lastHelp().endsWith(QStringLiteral("/") + QLatin1String(c.manual)))
            << c.setup << ": " << rig.dlg->lastHelp().toStdString();
    }
    WindowRig none({});
    for (QPushButton* b : none.dlg->findChildren<QPushButton*>()) {
        if (b->text() == QStringLiteral("&Help")) {
            EXPECT_FALSE(b->isEnabled());
        }
    }
}

// "Other keys..." on a Dorrin button opens the drawn keyboard; the keys
// clicked there and OK put the combination and the keyboard code into the
// block.
TEST(Window, OtherKeysPutsTheClickedCombinationIntoTheBlock)
{
    WindowRig rig({"dorrin"});
    const int button = 4;
    rig.click(rig.at(button));
    FunctionMenu* menu = rig.dlg->functionMenu();
    ASSERT_NE(menu, nullptr);
    QWidget* other = nullptr;
    // The item sits in the Keyboard submenu or in the menu itself.
    other = menu->row(QStringLiteral("Other keys..."));
    bool clicked = false;
    // The dialog runs modally once the posted command arrives.
    QTimer waiter;
    waiter.setInterval(10);
    QObject::connect(&waiter, &QTimer::timeout, [&clicked, &waiter] {
        auto* keyboard = dynamic_cast<CKeyBoardDlg*>(QApplication::activeModalWidget());
        if (!keyboard)
            return;
        waiter.stop();
        for (int code : {int{cvk::kKeyLeftCtrl}, int{cvk::kKeyLeftShift}, 0x16 /* S */}) {
            const QRect r = keyboard->keyRect(cvk::keyIndexOfCode(code));
            QTest::mouseClick(keyboard, Qt::LeftButton, Qt::NoModifier, r.center());
        }
        clicked = true;
        keyboard->okButton()->click();
    });
    waiter.start();
    if (other) {
        QTest::mouseMove(other);
        QTest::mouseClick(other, Qt::LeftButton);
    } else {
        // The Keyboard submenu holds it.
        QWidget* keyboardRow = menu->row(QStringLiteral("Keyboard"));
        ASSERT_NE(keyboardRow, nullptr);
        QTest::keyClick(keyboardRow, Qt::Key_Return);
        rig.settle();
        ASSERT_NE(menu->openSubmenu(), nullptr);
        QAction* item = nullptr;
        for (QAction* a : menu->openSubmenu()->actions())
            if (a->text() == QStringLiteral("Other keys..."))
                item = a;
        ASSERT_NE(item, nullptr);
        item->trigger();
    }
    rig.settle();
    ASSERT_TRUE(clicked) << "the keyboard dialog did not open";
    const cvk::ConfigModel& m = rig.core().config();
    const int model = rig.core().device().modelCode;
    const uint16_t word =
        static_cast<uint16_t>(m.block[static_cast<size_t>(cvk::keyHighPosition(model, button))] << 8 |
                              m.block[static_cast<size_t>(cvk::keyLowPosition(model, button))]);
    EXPECT_EQ(word, 0x0316) << "Left Ctrl and Left Shift with S";
    EXPECT_EQ(m.block[button], 255);
}

// The About box opens from the link above the profile row and from the
// notification-area menu's command.
TEST(Window, AboutOpensFromTheLinkAndTheTrayCommand)
{
    WindowRig rig({"dorrin"});
    QPushButton* link = nullptr;
    for (QPushButton* b : rig.dlg->findChildren<QPushButton*>())
        if (b->text() == QStringLiteral("About CV Keys"))
            link = b;
    ASSERT_NE(link, nullptr);
    link->click();
    EXPECT_EQ(rig.dlg->aboutOpened(), 1);
    rig.dlg->postCommand(cvk::kCmdAbout);
    rig.settle();
    EXPECT_EQ(rig.dlg->aboutOpened(), 2);
}

namespace {

TEST(Window, ProfilesGoToAFileAndComeBackFromOne)
{
    cvk::TempDir dir("window-profiles");
    const QString file = QString::fromStdString((dir / "office.cvkp").string());
    std::string exported;
    {
        WindowRig rig({"dorrin"});
        rig.dlg->chooseProfileFileToSave = [&file] { return file; };
        rig.dlg->exportProfiles();
        exported = cvk::fileBytes(file.toStdString());
        EXPECT_EQ(exported, rig.core().exportProfileFile());
        EXPECT_NE(exported.find("\nlist F\n\nprofile Desktop\nconfig "), std::string::npos) << exported;
        // A cancelled dialog writes nothing.
        rig.dlg->chooseProfileFileToSave = [] { return QString(); };
        cvk::putFile(dir / "office.cvkp", "kept");
        rig.dlg->exportProfiles();
        EXPECT_EQ(cvk::fileBytes(dir / "office.cvkp"), "kept");
    }

    // Into another window's settings under a new name: the selector shows it.
    WindowRig rig({"dorrin"});
    std::string renamed = exported;
    renamed.replace(renamed.find("profile Desktop"), 15, "profile Office");
    cvk::putFile(dir / "office.cvkp", renamed);
    rig.dlg->chooseProfileFileToOpen = [&file] { return file; };
    rig.dlg->importProfiles();
    rig.settle();
    QStringList names;
    for (const cvk::CProfileClass& p : rig.core().profiles().list())
        names << QString::fromStdString(p.name);
    EXPECT_EQ(names, (QStringList{QStringLiteral("Desktop"), QStringLiteral("Office")}));
    EXPECT_EQ(cvk::loadStoredProfiles(rig.store, true).size(), 2u);

    // The same again: the question to replace is answered No here (an
    // unattended window), and nothing changes.
    const auto before = rig.store.all().size();
    rig.dlg->importProfiles();
    EXPECT_EQ(rig.store.all().size(), before);
    EXPECT_EQ(rig.core().profiles().list().size(), 2u);

    // A broken file changes nothing either.
    cvk::putFile(dir / "office.cvkp", "cvkeys-profiles 1\nlist F\nprofile X\nconfig 00\nend\n");
    rig.dlg->importProfiles();
    EXPECT_EQ(rig.core().profiles().list().size(), 2u);
}

}  // namespace
