#include "ui/firmware_dlg.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <memory>
#include <mutex>

#include "texts/text_ids.h"
#include "texts/texts.h"
#include "ui/picture_symbols.h"

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// What the window shows for a job that ended by throwing.
constexpr int kJobThrew = -1;

const QColor kDetailColour(112, 112, 112);

// Runs `action` on the GUI thread, after what was posted before it.
template <typename F>
void postToGui(F action)
{
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(app, std::move(action), Qt::QueuedConnection);
}

}  // namespace

// The job's log on the worker thread. Every call is posted to the GUI
// thread, where the window may be gone already: `dialog` is read and
// cleared there only, so no lock is needed.
struct CFirmwareDlg::Relay final : cvk::service::IUpdateLog, std::enable_shared_from_this<Relay> {
    CFirmwareDlg* dialog = nullptr;

    void line(const std::string& text) override { forward(qs(text), false); }
    void detail(const std::string& text) override { forward(qs(text), true); }
    void progress(cvk::service::IspPhase phase, int done, int total) override
    {
        postToGui([self = shared_from_this(), phase, done, total] {
            if (self->dialog)
                self->dialog->showProgress(phase, done, total);
        });
    }
    void ended(int result)
    {
        postToGui([self = shared_from_this(), result] {
            if (self->dialog)
                self->dialog->jobEnded(result);
        });
    }

private:
    void forward(QString text, bool isDetail)
    {
        postToGui([self = shared_from_this(), text = std::move(text), isDetail] {
            if (self->dialog)
                self->dialog->addLine(text, isDetail);
        });
    }
};

CFirmwareDlg::CFirmwareDlg(FirmwareJob job, QWidget* parent)
    : QDialog(parent), job_(std::move(job)), relay_(std::make_shared<Relay>())
{
    relay_->dialog = this;
    setWindowTitle(QStringLiteral("CV"));
    setWindowIcon(cvk::symbols::programIcon(true));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->setSpacing(8);

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("log"));
    list_->setSelectionMode(QAbstractItemView::NoSelection);
    list_->setFocusPolicy(Qt::NoFocus);
    list_->setUniformItemSizes(true);
    list_->setMinimumSize(380, 260);
    layout->addWidget(list_, 1);

    // The row keeps its room while hidden so that the list does not jump
    // when a long phase begins or ends.
    auto* progressRow = new QHBoxLayout;
    progressRow->setSpacing(8);
    phase_ = new QLabel(this);
    phase_->setObjectName(QStringLiteral("phase"));
    phase_->setMinimumWidth(phase_->fontMetrics().horizontalAdvance(QStringLiteral("Programming")) + 4);
    bar_ = new QProgressBar(this);
    bar_->setObjectName(QStringLiteral("progress"));
    bar_->setTextVisible(true);
    for (QWidget* w : {static_cast<QWidget*>(phase_), static_cast<QWidget*>(bar_)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
        w->hide();
    }
    progressRow->addWidget(phase_);
    progressRow->addWidget(bar_, 1);
    layout->addLayout(progressRow);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    close_ = new QPushButton(qs(cvk::text(cvk::kTxtClose)), this);
    close_->setEnabled(false);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(close_);
    layout->addLayout(buttons);
}

CFirmwareDlg::~CFirmwareDlg()
{
    relay_->dialog = nullptr;
    if (!worker_.joinable())
        return;
    // A device that stopped answering must not hold the program; the job
    // finishes on its own and its posts find no window.
    if (finished_)
        worker_.join();
    else
        worker_.detach();
}

void CFirmwareDlg::start()
{
    if (started_)
        return;
    started_ = true;
    running_ = true;
    worker_ = std::thread([job = std::move(job_), relay = relay_] {
        int result = kJobThrew;
        try {
            result = job ? job(*relay) : cvk::service::kNoIspBackend;
        } catch (const std::exception& e) {
            relay->detail(e.what());
        } catch (...) {}
        relay->ended(result);
    });
}

void CFirmwareDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Posted, so that the window is on the screen before the job begins.
    if (!started_)
        QMetaObject::invokeMethod(this, &CFirmwareDlg::start, Qt::QueuedConnection);
}

void CFirmwareDlg::reject()
{
    if (running_)
        return;
    QDialog::reject();
}

void CFirmwareDlg::closeEvent(QCloseEvent* event)
{
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void CFirmwareDlg::addLine(const QString& text, bool detail)
{
    // A new line means the step that reported progress is over.
    if (!detail) {
        phase_->hide();
        bar_->hide();
    }
    auto* item = new QListWidgetItem(detail ? QStringLiteral("    ") + text : text);
    if (detail) {
        item->setForeground(kDetailColour);
        item->setData(kDetailRole, true);
    }
    // A detail belongs to the step above it, not after the blank line
    // that closes that step.
    const int count = list_->count();
    const QListWidgetItem* last = count > 0 ? list_->item(count - 1) : nullptr;
    if (detail && last && last->text().isEmpty() && !last->data(kDetailRole).toBool())
        list_->insertItem(count - 1, item);
    else
        list_->addItem(item);
    list_->scrollToBottom();
}

void CFirmwareDlg::showProgress(cvk::service::IspPhase phase, int done, int total)
{
    phase_->setText(phase == cvk::service::IspPhase::Programming ? QStringLiteral("Programming")
                                                                 : QStringLiteral("Verifying"));
    // An unknown total shows a busy bar rather than a wrong share.
    const int top = std::max(total, 0);
    bar_->setRange(0, top);
    bar_->setValue(std::clamp(done, 0, top));
    phase_->show();
    bar_->show();
}

void CFirmwareDlg::jobEnded(int result)
{
    running_ = false;
    finished_ = true;
    jobResult_ = result;
    if (worker_.joinable())
        worker_.join();  // its last act was to post this
    phase_->hide();
    bar_->hide();
    if (result == cvk::service::kUpdateOk) {
        accept();
        return;
    }
    addLine(updateFailedLine(result), false);
    close_->setEnabled(true);
    close_->setDefault(true);
    close_->setFocus();
}

QString updateFailedLine(int result)
{
    return QString::fromStdString(cvk::service::updateFailedText(result));
}

void showOnGuiThread(QWidget* parent, const std::string& caption, const std::string& text, bool unattended)
{
    if (unattended) {
        std::fprintf(stderr, "cvkeys: %s: %s\n", caption.c_str(), text.c_str());
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    const QPointer<QWidget> owner(parent);
    const auto show = [owner, caption, text] {
        QMessageBox box(QMessageBox::Information, qs(caption), qs(text), QMessageBox::Ok, owner.data());
        box.exec();
    };
    if (QThread::currentThread() == app->thread()) {
        show();
        return;
    }
    // Our own wait rather than a blocking queued connection: the hand-over
    // then runs through a mutex ThreadSanitizer sees, not through Qt's
    // semaphore, which is built without it.
    struct Shown {
        std::mutex mutex;
        std::condition_variable closed;
        bool done = false;
    };
    const auto shown = std::make_shared<Shown>();
    QMetaObject::invokeMethod(
        app,
        [show, shown] {
            show();
            const std::lock_guard<std::mutex> lock(shown->mutex);
            shown->done = true;
            shown->closed.notify_one();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(shown->mutex);
    shown->closed.wait(lock, [&] { return shown->done; });
}
