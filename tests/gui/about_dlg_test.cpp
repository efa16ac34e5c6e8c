// The About box on screen: its two tabs, the read-only legal notice, the
// device and display lines as shown, and Close; writes a preview of each
// tab to look at.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTextDocument>

#include "app/window_state.h"
#include "device/device_state.h"
#include "ui/about_dlg.h"

namespace {

AboutFacts twoMonitors()
{
    return {"Corvane hardware version:1.2.05",
            "SW: 0123456789",
            "S/N: 0a:1b:2c:3d",
            {{{0, 0, 1280, 1024}, false}, {{1280, 0, 3200, 1080}, true}},
            "Corvane Dorrin"};
}

QString shownText(const QLabel* label)
{
    QTextDocument document;
    document.setHtml(label->text());
    return document.toPlainText();
}

TEST(AboutDialogTest, TabsNoticeLinesAndClose)
{
    CAboutCVDlg dialog(twoMonitors());
    dialog.show();
    QTabWidget* tabs = dialog.tabs();
    ASSERT_EQ(tabs->count(), 2);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("About CV Keys"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Legal Notice"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About CV Keys"));
    EXPECT_EQ(dialog.closeButton()->text(), QStringLiteral("Close"));

    const auto* device = dialog.findChild<QLabel*>(QStringLiteral("deviceLines"));
    const auto* display = dialog.findChild<QLabel*>(QStringLiteral("displayLines"));
    ASSERT_TRUE(device && display);
    EXPECT_EQ(shownText(device),
              QStringLiteral("Corvane hardware version:1.2.05\nSW: 0123456789\nS/N: 0a:1b:2c:3d"));
    // The word in angle brackets is shown, not taken for a tag.
    EXPECT_TRUE(shownText(display).contains(QStringLiteral("Monitor 2: 1920 X 1080")));
    EXPECT_TRUE(shownText(display).endsWith(QStringLiteral("<Primary>"))) << shownText(display).toStdString();
    const auto* link = dialog.findChild<QLabel*>(QStringLiteral("makerLink"));
    ASSERT_TRUE(link);
    EXPECT_TRUE(link->openExternalLinks());

    QPlainTextEdit* notice = dialog.legalNotice();
    EXPECT_TRUE(notice->isReadOnly());
    EXPECT_FALSE(notice->toPlainText().isEmpty());

    // Each tab shows only its own controls.
    EXPECT_TRUE(device->isVisible());
    EXPECT_FALSE(notice->isVisible());
    tabs->setCurrentIndex(1);
    EXPECT_FALSE(device->isVisible());
    EXPECT_TRUE(notice->isVisible());
    tabs->setCurrentIndex(0);
    EXPECT_TRUE(device->isVisible());

    dialog.closeButton()->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(AboutDialogTest, FactsFromTheWindowsState)
{
    cvk::DeviceState device;
    device.hardwareVersionText = "Corvane hardware version:1.0.02";
    cvk::WindowState window;
    window.firmwareText = "SW: 0123456789";
    window.serialText = "S/N: 01:02:03:04";
    const AboutFacts facts = aboutFacts(device, window, {{-800, 0, 0, 600}, {0, 0, 10, 10}});
    EXPECT_EQ(facts.hardwareVersion, device.hardwareVersionText);
    EXPECT_EQ(facts.firmwareText, window.firmwareText);
    EXPECT_EQ(facts.serialText, window.serialText);
    ASSERT_EQ(facts.monitors.size(), 2u);
    EXPECT_EQ(facts.monitors[0].rect.left, -800);
}

// The device a firmware update would name: only a model on its cable.
TEST(AboutDialogTest, DeviceNameForTheUpdate)
{
    struct Case {
        int deviceCount;
        int modelCode;
        std::string name;
    };
    const Case cases[] = {
        {1, cvk::kModelDorrin, "Corvane Dorrin"},
        {1, cvk::kModelEssom, "Corvane Essom"},
        {0, cvk::kModelNone, ""},
        {-1, cvk::kModelNone, ""},
        {0, cvk::kModelReceiverOnly, ""},
    };
    for (const Case& c : cases) {
        cvk::DeviceState device;
        device.deviceCount = c.deviceCount;
        device.modelCode = c.modelCode;
        EXPECT_EQ(aboutFacts(device, cvk::WindowState{}, {}).deviceName, c.name) << c.modelCode;
    }
}

// Writes about-<tab>.png (and an @2x of each) to look at.
TEST(AboutDialogTest, WritePreviews)
{
    const QString dir = QStringLiteral(CVK_PICTURE_PREVIEW_DIR);
    ASSERT_TRUE(QDir().mkpath(dir));
    CAboutCVDlg dialog(twoMonitors());
    dialog.show();
    const char* names[] = {"about-info", "about-legal"};
    for (int tab = 0; tab < 2; ++tab) {
        dialog.tabs()->setCurrentIndex(tab);
        for (const int ratio : {1, 2}) {
            QImage image(dialog.size() * ratio, QImage::Format_ARGB32_Premultiplied);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::white);
            dialog.render(&image);
            const QString file = QStringLiteral("%1/%2%3.png")
                                     .arg(dir, QString::fromLatin1(names[tab]),
                                          ratio == 1 ? QString() : QStringLiteral("@2x"));
            EXPECT_TRUE(image.save(file)) << file.toStdString();
        }
    }
}

}  // namespace
