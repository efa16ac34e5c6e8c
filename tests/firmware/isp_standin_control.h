#pragma once
// The stand-in programming library's control calls, for the tests that
// script it.

#include <dlfcn.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace cvk {

// The stand-in's control calls, reached through a handle of its own on the
// same file, which dlopen shares with the provider's.
class StandIn {
public:
    explicit StandIn(const std::string& folder)
        : handle_(::dlopen((std::filesystem::path(folder) / "libAtJniIsp.so").c_str(), RTLD_NOW | RTLD_LOCAL))
    {
        if (!handle_)
            throw std::runtime_error(::dlerror());
        reset_ = reinterpret_cast<void (*)()>(::dlsym(handle_, "standin_reset"));
        setResult_ = reinterpret_cast<void (*)(const char*, int)>(::dlsym(handle_, "standin_set_result"));
        setText_ = reinterpret_cast<void (*)(const char*, const char*)>(::dlsym(handle_, "standin_set_text"));
        setLastError_ = reinterpret_cast<void (*)(int)>(::dlsym(handle_, "standin_set_last_error"));
        calls_ = reinterpret_cast<const char* (*)()>(::dlsym(handle_, "standin_calls"));
        if (!reset_ || !setResult_ || !setText_ || !setLastError_ || !calls_)
            throw std::runtime_error("the stand-in lacks its control calls");
        reset_();
    }
    ~StandIn() { ::dlclose(handle_); }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    void reset() { reset_(); }
    void setResult(const char* entry, int value) { setResult_(entry, value); }
    void setText(const char* entry, const char* text) { setText_(entry, text); }
    void setLastError(int value) { setLastError_(value); }
    std::string calls() { return calls_(); }

private:
    void* handle_;
    void (*reset_)() = nullptr;
    void (*setResult_)(const char*, int) = nullptr;
    void (*setText_)(const char*, const char*) = nullptr;
    void (*setLastError_)(int) = nullptr;
    const char* (*calls_)() = nullptr;
};

}  // namespace cvk
