#include "cli/cli_view.h"

namespace cvk {

MessageAnswer CliView::messageBox(const std::string& caption, const std::string& text, MessageStyle style)
{
    MessageAnswer answer = style == MessageStyle::YesNoQuestion ? MessageAnswer::Yes : MessageAnswer::Ok;
    if (nextAnswer) {
        // A Yes/No answer given for an OK box still dismisses it.
        if (style == MessageStyle::YesNoQuestion)
            answer = *nextAnswer;
        nextAnswer.reset();
    }
    const char* name = answer == MessageAnswer::Yes ? "yes" : answer == MessageAnswer::No ? "no" : "ok";
    out_ << "message \"" << caption << "\" \"" << text << "\" -> " << name << "\n";
    return answer;
}

PumpResult CliView::pump()
{
    ++pumpCalls_;
    auto it = pumpEvents_.find(pumpCalls_);
    if (it == pumpEvents_.end())
        return {};
    auto event = std::move(it->second);
    pumpEvents_.erase(it);
    return event();
}

}  // namespace cvk
