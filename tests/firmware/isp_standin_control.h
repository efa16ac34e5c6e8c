#pragma once
// The stand-in programming library's control calls, for the tests that
// script it.

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <filesystem>
#include <stdexcept>
#include <string>

namespace cvk {

// The stand-in's file name in its folder, as the program's loader looks for it.
#ifdef _WIN32
inline constexpr const char* kStandInFile = "AtJniIsp.dll";
#else
inline constexpr const char* kStandInFile = "libAtJniIsp.so";
#endif

// The stand-in's control calls, reached through a handle of its own on the
// same file, which the system shares with the provider's.
class StandIn {
public:
    explicit StandIn(const std::string& folder)
    {
        const std::filesystem::path file = std::filesystem::path(folder) / kStandInFile;
#ifdef _WIN32
        handle_ = ::LoadLibraryW(file.wstring().c_str());
        if (!handle_)
            throw std::runtime_error("cannot load " + file.string());
#else
        handle_ = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle_)
            throw std::runtime_error(::dlerror());
#endif
        reset_ = reinterpret_cast<void (*)()>(symbol("standin_reset"));
        setResult_ = reinterpret_cast<void (*)(const char*, int)>(symbol("standin_set_result"));
        setText_ = reinterpret_cast<void (*)(const char*, const char*)>(symbol("standin_set_text"));
        setLastError_ = reinterpret_cast<void (*)(int)>(symbol("standin_set_last_error"));
        calls_ = reinterpret_cast<const char* (*)()>(symbol("standin_calls"));
        if (!reset_ || !setResult_ || !setText_ || !setLastError_ || !calls_)
            throw std::runtime_error("the stand-in lacks its control calls");
        reset_();
    }
    ~StandIn()
    {
#ifdef _WIN32
        ::FreeLibrary(handle_);
#else
        ::dlclose(handle_);
#endif
    }
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    void reset() { reset_(); }
    void setResult(const char* entry, int value) { setResult_(entry, value); }
    void setText(const char* entry, const char* text) { setText_(entry, text); }
    void setLastError(int value) { setLastError_(value); }
    std::string calls() { return calls_(); }

private:
    void* symbol(const char* name)
    {
#ifdef _WIN32
        return reinterpret_cast<void*>(::GetProcAddress(handle_, name));
#else
        return ::dlsym(handle_, name);
#endif
    }

#ifdef _WIN32
    HMODULE handle_ = nullptr;
#else
    void* handle_ = nullptr;
#endif
    void (*reset_)() = nullptr;
    void (*setResult_)(const char*, int) = nullptr;
    void (*setText_)(const char*, const char*) = nullptr;
    void (*setLastError_)(int) = nullptr;
    const char* (*calls_)() = nullptr;
};

}  // namespace cvk
