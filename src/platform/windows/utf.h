#pragma once
// UTF-8 (the program's text) to and from UTF-16 (the wide Win32 calls).

#include <string>
#include <string_view>

namespace cvk::win {

// Malformed input becomes U+FFFD, as the system conversion does.
std::wstring wide(std::string_view text);
std::string narrow(std::wstring_view text);

// The system's text for an error code (GetLastError, a LSTATUS), in UTF-8
// without the trailing line break, with the code in hexadecimal after it.
std::string errorText(unsigned long code);

}  // namespace cvk::win
