#pragma once
// Environment variables for tests: set for one scope and put back afterwards.

#include <cstdlib>
#include <optional>
#include <string>

namespace cvk {

inline void setEnv(const char* name, const char* value)
{
#ifdef _WIN32
    ::_putenv_s(name, value);
#else
    ::setenv(name, value, 1);
#endif
}

inline void unsetEnv(const char* name)
{
#ifdef _WIN32
    // An empty value removes the variable there.
    ::_putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            previous_ = old;
        setEnv(name, value);
    }
    ~EnvironmentVariable()
    {
        if (previous_)
            setEnv(name_, previous_->c_str());
        else
            unsetEnv(name_);
    }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

}  // namespace cvk
