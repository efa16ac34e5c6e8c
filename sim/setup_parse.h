#pragma once
// Value parsing shared by the simulators' setup texts (parseSimSetup and
// parseSimBootloaderSetup): the same keys read the same way everywhere.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace cvk::sim::setup {

// Messages name only the bad part: callers add the whole device text when
// they want it.
[[noreturn]] inline void badValue(const std::string& key, const std::string& value)
{
    throw std::invalid_argument("bad value '" + value + "' for key '" + key + "'");
}

// Decimal, or hexadecimal with 0x; no sign, no trailing text.
inline uint32_t parseNumber(const std::string& key, const std::string& value, uint32_t max)
{
    const bool hex = value.size() > 2 && value[0] == '0' && (value[1] == 'x' || value[1] == 'X');
    const std::string digits = hex ? value.substr(2) : value;
    if (digits.empty() || digits.size() > 10 || !std::all_of(digits.begin(), digits.end(), [hex](char c) {
            return hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : (c >= '0' && c <= '9');
        }))
        badValue(key, value);
    const unsigned long long n = std::strtoull(digits.c_str(), nullptr, hex ? 16 : 10);
    if (n > max)
        badValue(key, value);
    return static_cast<uint32_t>(n);
}

// A flag: bare, =1 or =0.
inline bool parseFlag(const std::string& key, const std::string& value, bool hasValue)
{
    if (!hasValue || value == "1")
        return true;
    if (value == "0")
        return false;
    badValue(key, value);
}

// A number that must be given ("key=N").
inline uint32_t numberOf(const std::string& key, const std::string& value, bool hasValue, uint32_t max)
{
    if (!hasValue)
        badValue(key, value);
    return parseNumber(key, value, max);
}

// Calls fn(key, value, hasValue) for each item of "key[=value],..."; an
// empty list has none, an empty item in a list throws.
template <class Fn>
void forEachItem(const std::string& list, Fn fn)
{
    if (list.empty())
        return;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(',', start);
        if (end == std::string::npos)
            end = list.size();
        const std::string item = list.substr(start, end - start);
        start = end + 1;
        if (item.empty())
            throw std::invalid_argument("empty key in '" + list + "'");
        const size_t eq = item.find('=');
        const bool hasValue = eq != std::string::npos;
        fn(item.substr(0, eq), hasValue ? item.substr(eq + 1) : std::string(), hasValue);
    }
}

}  // namespace cvk::sim::setup
