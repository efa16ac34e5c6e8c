// About's "Update firmware..." end to end: the real update against the
// simulated bootloader, shown in the progress window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "firmware/hex_records.h"
#include "platform/linux/posix_temp_file.h"
#include "service/firmware_service.h"
#include "service/intel_hex.h"
#include "sim/bootloader.h"
#include "sim/sim.h"
#include "temp_dir.h"
#include "ui/about_dlg.h"
#include "ui/firmware_dlg.h"

namespace {

using namespace cvk;

struct UpdateRig {
    explicit UpdateRig(const std::string& setup)
        : bootloader(clock, sim::parseSimBootloaderSetup(setup)),
          tempFiles(tmp.path().string()),
          service(nullptr, &bootloader, tempFiles, clock, [](const std::string&) {})
    {}
    sim::VirtualClock clock;
    sim::SimBootloader bootloader;
    TempDir tmp{"window-update-tmp"};
    TempDir dir{"window-update"};
    PosixTempFiles tempFiles;
    service::CFirmwareService service;
};

// Runs About's update with the file chosen and the question answered Yes;
// `whileOpen` sees the progress window if it is still open once the update
// has ended, and closes it.
void runFromAbout(UpdateRig& rig, const std::string& file,
                  const std::function<void(CFirmwareDlg&)>& whileOpen)
{
    AboutFacts facts;
    facts.deviceName = "Corvane Dorrin";
    CAboutCVDlg about(facts, nullptr, [&rig](const std::string& path, service::IUpdateLog& log) {
        return rig.service.update(path, log);
    });
    about.chooseFirmwareFile = [&file] { return QString::fromStdString(file); };
    about.confirmUpdate = [](const QString&) { return true; };
    about.show();
    // Looks for a progress window that stayed open after its update ended;
    // the timer goes with this function, so no look outlives it.
    QTimer look;
    look.setInterval(10);
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* progress = dynamic_cast<CFirmwareDlg*>(QApplication::activeModalWidget());
        if (progress && progress->finished()) {
            look.stop();
            whileOpen(*progress);
            progress->closeButton()->click();
        }
    });
    look.start();
    about.updateButton()->click();  // modal until the progress window closes
}

TEST(FirmwareUpdateWindow, ASuccessfulUpdateClosesItsWindowAndLeavesTheImageInFlash)
{
    UpdateRig rig("");
    const std::string text = test::hexImage(0x0400, 8 * 1024);
    const auto file = rig.dir / "dorrin.hex";
    putFile(file, text);
    bool stayedOpen = false;
    runFromAbout(rig, file.string(), [&stayedOpen](CFirmwareDlg&) { stayedOpen = true; });
    // A window that stayed open was closed by runFromAbout's look.
    EXPECT_FALSE(stayedOpen);
    EXPECT_TRUE(rig.bootloader.started());
    const service::FirmwareImage image = service::checkIntelHex(text).image;
    for (uint32_t a = 0; a < service::kApplicationEnd; ++a)
        ASSERT_EQ(rig.bootloader.flash()[a], image.used[a] ? image.bytes[a] : a < 1024 ? 0x00 : 0xFF) << a;
    EXPECT_TRUE(std::filesystem::is_empty(rig.tmp.path()));
}

TEST(FirmwareUpdateWindow, AFailedUpdateStaysOpenWithWhereItStopped)
{
    UpdateRig rig("bad-byte=0x0900");
    const auto file = rig.dir / "dorrin.hex";
    putFile(file, test::hexImage(0, 4096));
    QStringList lines;
    bool closeEnabled = false;
    runFromAbout(rig, file.string(), [&](CFirmwareDlg& progress) {
        for (int i = 0; i < progress.log()->count(); ++i)
            lines << progress.log()->item(i)->text();
        closeEnabled = progress.closeButton()->isEnabled();
    });
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.last(), QStringLiteral("Update failed (error 29)"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Verifying FLASH")));
    EXPECT_EQ(lines[lines.indexOf(QStringLiteral("Verifying FLASH")) + 1], QStringLiteral("FAILED"));
    EXPECT_TRUE(lines.filter(QStringLiteral("at 0x0900")).size() == 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(closeEnabled);
    EXPECT_FALSE(rig.bootloader.started());
    EXPECT_TRUE(std::filesystem::is_empty(rig.tmp.path()));
}

}  // namespace
