#include "cli/cli_view.h"

#include <fmt/format.h>

#include "config/descriptions.h"

namespace cvk {

MessageAnswer CliView::messageBox(const std::string& caption, const std::string& text, MessageStyle style)
{
    MessageAnswer answer = isQuestion(style) ? MessageAnswer::Yes : MessageAnswer::Ok;
    if (nextAnswer) {
        // A Yes/No answer given for an OK box still dismisses it.
        if (isQuestion(style))
            answer = *nextAnswer;
        nextAnswer.reset();
    }
    if (collectMessages) {
        collectMessages->push_back(caption + ": " + text);
        return answer;
    }
    const char* name = answer == MessageAnswer::Yes ? "yes" : answer == MessageAnswer::No ? "no" : "ok";
    out_ << "message \"" << caption << "\" \"" << text << "\" -> " << name << "\n";
    return answer;
}

std::optional<std::string> CliView::askProfileName(const std::string& current)
{
    std::optional<std::string> answer;
    if (nextProfileName) {
        answer = *nextProfileName;
        nextProfileName.reset();
    }
    out_ << "dialog \"" << (current.empty() ? "New Profile" : "Rename Profile") << "\" \"" << current
         << "\" -> " << (answer ? "\"" + *answer + "\"" : std::string("cancel")) << "\n";
    return answer;
}

std::optional<uint16_t> CliView::askKeyCombination(uint16_t current)
{
    std::optional<uint16_t> answer;
    if (nextKeyWord) {
        answer = *nextKeyWord;
        nextKeyWord.reset();
    }
    out_ << fmt::format("dialog \"Keyboard\" 0x{:04X} -> ", current)
         << (answer ? fmt::format("0x{:04X}", *answer) : std::string("cancel")) << "\n";
    return answer;
}

std::optional<std::u16string> CliView::askSignature(const std::u16string& current)
{
    std::optional<std::u16string> answer;
    if (nextSignature) {
        answer = *nextSignature;
        nextSignature.reset();
    }
    out_ << "dialog \"Signature\" \"" << utf8FromUtf16(current) << "\" -> "
         << (answer ? "\"" + utf8FromUtf16(*answer) + "\"" : std::string("cancel")) << "\n";
    return answer;
}

std::string CliView::askLanguage(const std::string& preset)
{
    out_ << "dialog \"Select Default Language\" -> " << preset << "\n";
    return preset;
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
