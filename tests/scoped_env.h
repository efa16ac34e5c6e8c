#pragma once
// An environment variable set for one scope and put back afterwards.

#include <cstdlib>
#include <optional>
#include <string>

namespace cvk {

class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            previous_ = old;
        ::setenv(name, value, 1);
    }
    ~EnvironmentVariable()
    {
        if (previous_)
            ::setenv(name_, previous_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

}  // namespace cvk
