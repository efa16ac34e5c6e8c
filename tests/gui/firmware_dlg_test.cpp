// The firmware update's progress window on screen, driven with jobs that
// stand in for the update: its log, its end, Close, the progress bar, the
// library's message from the worker thread, and About's way into it.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>

#include "ui/about_dlg.h"
#include "ui/firmware_dlg.h"

namespace {

using cvk::service::IspPhase;
using cvk::service::IUpdateLog;

constexpr int kWaitMs = 5000;

// Holds a job until the test lets it go; a test that fails early still
// lets it go, so no worker is left waiting.
class Gate {
public:
    ~Gate() { open(); }
    void open()
    {
        {
            const std::lock_guard lock(mutex_);
            open_ = true;
        }
        changed_.notify_all();
    }
    void pass()
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return open_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
};

QStringList lines(const CFirmwareDlg& dialog)
{
    QStringList out;
    for (int i = 0; i < dialog.log()->count(); ++i)
        out << dialog.log()->item(i)->text();
    return out;
}

bool waitFinished(const CFirmwareDlg& dialog)
{
    return QTest::qWaitFor([&dialog] { return dialog.finished(); }, kWaitMs);
}

bool waitLines(const CFirmwareDlg& dialog, int count)
{
    return QTest::qWaitFor([&dialog, count] { return dialog.log()->count() >= count; }, kWaitMs);
}

// A job's log: the steps that passed (many, so that the list must scroll),
// a detail, and a last step with the outcome the result stands for.
void logSteps(IUpdateLog& log, bool passes)
{
    for (int step = 1; step <= 12; ++step) {
        log.line("Step " + std::to_string(step));
        log.line("PASS");
        log.line("");
    }
    log.detail("Bootloader version 1.0.5");
    log.line("Verifying FLASH");
    log.line(passes ? "PASS" : "FAILED");
}

TEST(FirmwareDialogTest, EndOfTheJob)
{
    struct Case {
        int result;
        bool staysOpen;
    };
    for (const Case c : {Case{0, false}, Case{28, true}, Case{cvk::service::kNoIspBackend, true}}) {
        SCOPED_TRACE(c.result);
        CFirmwareDlg dialog([&c](IUpdateLog& log) {
            logSteps(log, c.result == 0);
            return c.result;
        });
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("CV"));
        EXPECT_EQ(dialog.log()->objectName(), QStringLiteral("log"));
        dialog.show();
        ASSERT_TRUE(waitFinished(dialog));
        EXPECT_EQ(dialog.jobResult(), c.result);

        const QStringList shown = lines(dialog);
        ASSERT_GE(shown.size(), 39);
        EXPECT_EQ(shown.mid(0, 4), (QStringList{"Step 1", "PASS", "", "Step 2"}));
        // The detail joins its step above the blank line that ends it, set
        // back and greyed.
        const QListWidgetItem* detail = dialog.log()->item(35);
        EXPECT_EQ(detail->text().trimmed(), QStringLiteral("Bootloader version 1.0.5"));
        EXPECT_TRUE(detail->data(CFirmwareDlg::kDetailRole).toBool());
        EXPECT_NE(detail->text(), detail->text().trimmed());
        EXPECT_EQ(shown[34], QStringLiteral("PASS"));
        EXPECT_NE(detail->foreground().color(), dialog.log()->item(34)->foreground().color());
        EXPECT_EQ(shown[36], QString());
        EXPECT_FALSE(dialog.log()->item(37)->data(CFirmwareDlg::kDetailRole).toBool());
        EXPECT_EQ(shown[37], QStringLiteral("Verifying FLASH"));

        EXPECT_EQ(dialog.isVisible(), c.staysOpen);
        if (!c.staysOpen) {
            EXPECT_EQ(dialog.result(), QDialog::Accepted);
            EXPECT_FALSE(shown.last().startsWith(QStringLiteral("Update failed")));
            continue;
        }
        EXPECT_EQ(shown[38], QStringLiteral("FAILED"));
        EXPECT_EQ(shown.last(), QStringLiteral("Update failed (error %1)").arg(c.result));
        // The end of the log is in view without scrolling by hand.
        QListWidget* list = dialog.log();
        EXPECT_GT(list->verticalScrollBar()->maximum(), 0);
        const QRect last = list->visualItemRect(list->item(list->count() - 1));
        EXPECT_TRUE(list->viewport()->rect().contains(last)) << last.y();
        EXPECT_TRUE(dialog.closeButton()->isEnabled());
        dialog.closeButton()->click();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.jobResult(), c.result);
    }
}

TEST(FirmwareDialogTest, CloseIsRefusedWhileTheJobRuns)
{
    Gate gate;
    CFirmwareDlg dialog([&gate](IUpdateLog& log) {
        log.line("Programming FLASH");
        gate.pass();
        return 28;
    });
    dialog.show();
    ASSERT_TRUE(waitLines(dialog, 1));
    EXPECT_TRUE(dialog.running());
    EXPECT_FALSE(dialog.closeButton()->isEnabled());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.close());
    dialog.reject();
    EXPECT_TRUE(dialog.isVisible());

    gate.open();
    ASSERT_TRUE(waitFinished(dialog));
    EXPECT_TRUE(dialog.closeButton()->isEnabled());
    EXPECT_TRUE(dialog.close());
    EXPECT_FALSE(dialog.isVisible());
}

TEST(FirmwareDialogTest, ProgressOnlyWhileProgrammingAndVerifying)
{
    std::array<Gate, 3> gates;
    CFirmwareDlg dialog([&gates](IUpdateLog& log) {
        log.line("Erasing FLASH");
        gates[0].pass();
        log.line("Programming FLASH");
        log.progress(IspPhase::Programming, 4096, 16384);
        gates[1].pass();
        log.line("PASS");
        log.line("");
        log.line("Verifying FLASH");
        // More than the total: the bar shows full, not past its end.
        log.progress(IspPhase::Verifying, 20000, 16384);
        gates[2].pass();
        log.line("FAILED");
        return 28;
    });
    QProgressBar* bar = dialog.progressBar();
    auto* phase = dialog.findChild<QLabel*>(QStringLiteral("phase"));
    ASSERT_NE(phase, nullptr);
    dialog.show();
    ASSERT_TRUE(waitLines(dialog, 1));
    EXPECT_FALSE(bar->isVisible());

    gates[0].open();
    ASSERT_TRUE(QTest::qWaitFor([bar] { return bar->isVisible(); }, kWaitMs));
    EXPECT_EQ(phase->text(), QStringLiteral("Programming"));
    EXPECT_EQ(bar->maximum(), 16384);
    EXPECT_EQ(bar->value(), 4096);

    gates[1].open();
    ASSERT_TRUE(QTest::qWaitFor([phase] { return phase->text() == QStringLiteral("Verifying"); }, kWaitMs));
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->value(), 16384);

    gates[2].open();
    ASSERT_TRUE(waitFinished(dialog));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_FALSE(phase->isVisible());
}

// The library reports a missing entry point from inside the job; the box
// appears once, on the GUI thread, and the job goes on after OK.
TEST(FirmwareDialogTest, LibraryMessageFromTheWorker)
{
    for (const bool unattended : {false, true}) {
        SCOPED_TRACE(unattended);
        std::atomic<bool> wentOn{false};
        CFirmwareDlg dialog([&dialog, &wentOn, unattended](IUpdateLog& log) {
            log.line("Initializing");
            showOnGuiThread(&dialog, "DLL Message", "Missing function in DLL", unattended);
            wentOn = true;
            log.line("PASS");
            return 0;
        });
        int boxes = 0;
        QString caption;
        QString text;
        bool heldTheJob = false;
        QTimer answer;
        answer.setInterval(10);
        QObject::connect(&answer, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            ++boxes;
            caption = box->windowTitle();
            text = box->text();
            heldTheJob = !wentOn;
            box->button(QMessageBox::Ok)->click();
        });
        answer.start();
        dialog.show();
        ASSERT_TRUE(waitFinished(dialog));
        answer.stop();
        EXPECT_EQ(lines(dialog), (QStringList{"Initializing", "PASS"}));
        EXPECT_EQ(dialog.jobResult(), 0);
        if (unattended) {
            EXPECT_EQ(boxes, 0);
            continue;
        }
        EXPECT_EQ(boxes, 1);
        EXPECT_EQ(caption, QStringLiteral("DLL Message"));
        EXPECT_EQ(text, QStringLiteral("Missing function in DLL"));
        EXPECT_TRUE(heldTheJob);
    }
}

// A device that never answers: the window can still go, and the job's
// later lines find nothing to write to.
TEST(FirmwareDialogTest, WindowGoesBeforeTheJobEnds)
{
    auto gate = std::make_shared<Gate>();
    auto ended = std::make_shared<std::atomic<bool>>(false);
    {
        CFirmwareDlg dialog([gate, ended](IUpdateLog& log) {
            log.line("Opening port");
            gate->pass();
            log.line("FAILED");
            *ended = true;
            return 28;
        });
        dialog.show();
        ASSERT_TRUE(waitLines(dialog, 1));
    }
    gate->open();
    EXPECT_TRUE(QTest::qWaitFor([ended] { return ended->load(); }, kWaitMs));
    QCoreApplication::sendPostedEvents();
}

AboutFacts dorrinFacts(std::string name = "Corvane Dorrin")
{
    AboutFacts facts;
    facts.hardwareVersion = "Corvane hardware version:1.2.05";
    facts.deviceName = std::move(name);
    return facts;
}

TEST(FirmwareDialogTest, AboutOffersTheUpdateOnlyWithAnUpdater)
{
    CAboutCVDlg without(dorrinFacts());
    without.show();
    EXPECT_FALSE(without.updateButton()->isVisible());

    CAboutCVDlg with(dorrinFacts(), nullptr, [](const std::string&, IUpdateLog&) { return 0; });
    with.show();
    ASSERT_TRUE(with.updateButton()->isVisible());
    EXPECT_EQ(with.updateButton()->text(), QStringLiteral("Update firmware..."));
    EXPECT_LT(with.updateButton()->x(), with.closeButton()->x());
}

TEST(FirmwareDialogTest, AboutUpdateAsksThenRuns)
{
    struct Case {
        QString file;
        bool yes;
        std::string deviceName;
        QString named;  // what the question calls the device
        bool runs;
    };
    const Case cases[] = {
        {QString(), true, "Corvane Dorrin", QString(), false},
        {QStringLiteral("/tmp/fw/dorrin-1.3.hex"), false, "Corvane Dorrin",
         QStringLiteral("the Corvane Dorrin"), false},
        {QStringLiteral("/tmp/fw/dorrin-1.3.hex"), true, "Corvane Dorrin",
         QStringLiteral("the Corvane Dorrin"), true},
        {QStringLiteral("/tmp/fw/dorrin-1.3.hex"), true, "", QStringLiteral("the device in bootloader mode"),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString() + (c.yes ? " yes" : " no"));
        std::optional<std::string> ranWith;
        CAboutCVDlg about(dorrinFacts(c.deviceName), nullptr,
                          [&ranWith](const std::string& path, IUpdateLog& log) {
                              ranWith = path;
                              log.line("Initializing");
                              return 0;
                          });
        about.chooseFirmwareFile = [&c] { return c.file; };
        std::optional<QString> asked;
        about.confirmUpdate = [&asked, &c](const QString& text) {
            asked = text;
            return c.yes;
        };
        about.show();
        // Runs the progress window modally; a job that passes closes it.
        about.updateButton()->click();

        EXPECT_EQ(asked.has_value(), !c.file.isEmpty());
        if (asked) {
            EXPECT_TRUE(asked->startsWith(QStringLiteral("Write the firmware in dorrin-1.3.hex into ") +
                                          c.named + QStringLiteral("?")))
                << asked->toStdString();
            EXPECT_TRUE(asked->contains(QStringLiteral("bootloader mode")));
            EXPECT_TRUE(asked->contains(QStringLiteral("plugged in")));
        }
        EXPECT_EQ(ranWith.has_value(), c.runs);
        if (ranWith) {
            EXPECT_EQ(*ranWith, c.file.toStdString());
        }
        EXPECT_TRUE(about.isVisible());
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

}  // namespace
