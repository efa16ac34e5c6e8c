#pragma once
// The view port of cvkeys-cli: message boxes are printed with the answer the
// script gave, everything else is kept for `show state`.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/view_port.h"

namespace cvk {

class CliView final : public IViewPort {
public:
    explicit CliView(std::ostream& out) : out_(out) {}

    void postCommand(int command) override { posted.push_back(command); }
    void beep(int, int) override { ++beeps; }
    MessageAnswer messageBox(const std::string& caption, const std::string& text,
                             MessageStyle style) override;
    void setTitle(const std::string& text) override { title = text; }
    void setControlText(int control, const std::string& text) override { controlTexts[control] = text; }
    void setTrayTip(const std::string& text) override { trayTip = text; }
    void setTrayIcon(int iconId) override { trayIcon = iconId; }
    void enableControl(int control, bool enabled) override { enabled_[control] = enabled; }
    void showControl(int control, bool shown) override { shown_[control] = shown; }
    void closeWindow() override { out_ << "window closed\n"; }
    void drawBusyPicture() override { ++busyPictures; }
    void drawWakeFrame(int) override { ++wakeFrames; }
    void drawWakePrompt(const std::string& text, bool) override { lastPrompt = text; }
    PumpResult pump() override;
    void waitCursor(bool on) override { waitCursorOn = on; }
    void setTaskbarProgress(TaskbarProgress p) override { progress = p; }
    void flash() override { ++flashes; }
    void messageBeep() override { ++messageBeeps; }
    std::optional<std::string> askProfileName(const std::string& current) override;
    std::optional<uint16_t> askKeyCombination(uint16_t current) override;
    std::optional<std::u16string> askSignature(const std::u16string& current) override;

    // Answers to the next keyboard and signature dialogs; nullopt cancels.
    std::optional<std::optional<uint16_t>> nextKeyWord;
    std::optional<std::optional<std::u16string>> nextSignature;
    std::string askLanguage(const std::string& preset) override;

    // The answer to the next profile name dialog; nullopt cancels it.
    std::optional<std::optional<std::string>> nextProfileName;

    // Where message boxes go instead of the output (a deploy run reports
    // them in its device's line), with their default answers.
    std::vector<std::string>* collectMessages = nullptr;

    // The answer to the next message box (one-shot).
    std::optional<MessageAnswer> nextAnswer;
    // Events delivered by the n-th pump call from now (1-based); the event
    // returns what the pump reports.
    void schedulePump(int n, std::function<PumpResult()> event)
    {
        pumpEvents_[pumpCalls_ + n] = std::move(event);
    }

    std::deque<int> posted;
    std::string title;
    std::string trayTip;
    int trayIcon = 0;
    std::map<int, std::string> controlTexts;
    std::string lastPrompt;
    int beeps = 0, flashes = 0, messageBeeps = 0, busyPictures = 0, wakeFrames = 0;
    bool waitCursorOn = false;
    TaskbarProgress progress = TaskbarProgress::None;
    const std::map<int, bool>& enabled() const { return enabled_; }
    const std::map<int, bool>& shown() const { return shown_; }

private:
    std::ostream& out_;
    std::map<int, bool> enabled_;
    std::map<int, bool> shown_;
    std::map<int, std::function<PumpResult()>> pumpEvents_;
    int pumpCalls_ = 0;
};

}  // namespace cvk
