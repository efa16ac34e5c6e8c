#pragma once
// The firmware update's progress window: a list that logs each step and its
// outcome, a bar for the long programming and verify phases, and Close. The
// update itself is a job handed in; it runs on a worker thread so that the
// window keeps painting while the device works.

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "service/firmware_update.h"

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

// What the progress window runs: 0 on success, else an error code.
using FirmwareJob = std::function<int(cvk::service::IUpdateLog&)>;

class CFirmwareDlg final : public QDialog {
public:
    explicit CFirmwareDlg(FirmwareJob job, QWidget* parent = nullptr);
    ~CFirmwareDlg() override;

    // Starts the job unless it has started already; showing the window
    // does this by itself.
    void start();
    bool running() const { return running_; }
    bool finished() const { return finished_; }
    // What the job returned; meaningful once finished().
    int jobResult() const { return jobResult_; }

    QListWidget* log() const { return list_; }
    QProgressBar* progressBar() const { return bar_; }
    QPushButton* closeButton() const { return close_; }

    // The role a list item carries: true for a detail line.
    static constexpr int kDetailRole = Qt::UserRole + 1;

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Relay;
    friend struct Relay;

    void addLine(const QString& text, bool detail);
    void showProgress(cvk::service::IspPhase phase, int done, int total);
    void jobEnded(int result);

    FirmwareJob job_;
    std::shared_ptr<Relay> relay_;
    std::thread worker_;
    bool started_ = false;
    bool running_ = false;
    bool finished_ = false;
    int jobResult_ = 0;
    QListWidget* list_ = nullptr;
    QLabel* phase_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* close_ = nullptr;
};

// The last line a failed update leaves in the log.
QString updateFailedLine(int result);

// Shows an information box on the GUI thread and returns after OK, from
// any thread; a job uses it for the library's own messages. Unattended, the
// message goes to the standard error instead and nothing waits.
void showOnGuiThread(QWidget* parent, const std::string& caption, const std::string& text, bool unattended);
