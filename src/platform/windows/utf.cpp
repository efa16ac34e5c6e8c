#include "platform/windows/utf.h"

#include <windows.h>

#include <fmt/format.h>

namespace cvk::win {

std::wstring wide(std::string_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int units = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
    if (units <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(units), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), units);
    return out;
}

std::string narrow(std::wstring_view text)
{
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string errorText(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0 && buffer) {
        std::wstring_view message(buffer, length);
        while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                    message.back() == L' ' || message.back() == L'.'))
            message.remove_suffix(1);
        text = narrow(message);
    }
    if (buffer)
        ::LocalFree(buffer);
    if (text.empty())
        text = "system error";
    return fmt::format("{} (0x{:08X})", text, code);
}

}  // namespace cvk::win
