#include "service/isp_library.h"

#include <array>
#include <optional>
#include <utility>

#include "service/firmware_update.h"

namespace cvk::service {

namespace {

// The library publishes no header. Its ABI is taken as the C calling
// convention with these types, the ones its calls are known to take.
extern "C" {
using IspIntFn = int();
using IspIntIntFn = int(int);
using IspIntTextFn = int(const char*);
using IspIntIntIntFn = int(int, int);
using IspFillFn = int(int, int, const char*);
using IspVoidFn = void();
using IspTextFn = const char*();
}

class LibraryIsp final : public IIsp {
public:
    explicit LibraryIsp(std::unique_ptr<ILoadedLibrary> library) : library_(std::move(library))
    {
        for (int i = 0; i < kIspCallCount; ++i) {
            const std::string name(ispCallName(static_cast<IspCall>(i)));
            entries_[static_cast<std::size_t>(i)] = library_->symbol(name.c_str());
        }
    }

    bool has(IspCall call) const override { return entry(call) != nullptr; }

    int init() override { return callInt<IspIntFn>(IspCall::Init); }
    void setLogEnabled(int enabled) override { (void)callInt<IspIntIntFn>(IspCall::SetLogEnabled, enabled); }
    int selectDevice(const std::string& name) override
    {
        return callInt<IspIntTextFn>(IspCall::SelectDevice, name.c_str());
    }
    int selectCommHardware(int code) override
    {
        return callInt<IspIntIntFn>(IspCall::SelectCommHardware, code);
    }
    int openUsbPort() override { return callInt<IspIntFn>(IspCall::OpenUsbPort); }
    int readSpecialByte(int which) override { return callInt<IspIntIntFn>(IspCall::ReadSpecialByte, which); }
    int eraseDevice() override { return callInt<IspIntFn>(IspCall::EraseDevice); }
    int blankCheckMemory() override { return callInt<IspIntFn>(IspCall::BlankCheckMemory); }
    int fillBufferAddrRange(int start, int end, const std::string& value) override
    {
        return callInt<IspFillFn>(IspCall::FillBufferAddrRange, start, end, value.c_str());
    }
    int parseHexFile(const std::string& path) override
    {
        return callInt<IspIntTextFn>(IspCall::ParseHexFile, path.c_str());
    }
    int programDevice() override { return callInt<IspIntFn>(IspCall::ProgramDevice); }
    int getBufferAddrLo() override { return callInt<IspIntFn>(IspCall::GetBufferAddrLo); }
    int getBufferAddrHi() override { return callInt<IspIntFn>(IspCall::GetBufferAddrHi); }
    int verifyDevice(int low, int high) override
    {
        return callInt<IspIntIntIntFn>(IspCall::VerifyDevice, low, high);
    }
    int enterAppliMode(int a, int b) override
    {
        return callInt<IspIntIntIntFn>(IspCall::EnterAppliMode, a, b);
    }
    void setDtrLow() override { callVoid(IspCall::SetDtrLow); }
    void setDtrHigh() override { callVoid(IspCall::SetDtrHigh); }
    void exit() override { callVoid(IspCall::Exit); }

    // Queries about the previous call: they leave a missing call's error
    // in place for the caller to collect.
    int getLastError() override
    {
        if (missingError_)
            return *missingError_;
        if (auto* fn = function<IspIntFn>(IspCall::GetLastError))
            return fn();
        return kIspCallMissing;
    }
    std::string getLastResult() override
    {
        auto* fn = function<IspTextFn>(IspCall::GetLastResult);
        if (!fn) {
            missingError_ = kIspCallMissing;
            return {};
        }
        const char* text = fn();
        return text ? std::string(text) : std::string();
    }

    // The library's own message calls have no known signature; they stay
    // uncalled, so there is no sentence to give.
    std::string lastErrorText() override { return {}; }

private:
    void* entry(IspCall call) const { return entries_[static_cast<std::size_t>(call)]; }

    template <typename Fn>
    Fn* function(IspCall call) const
    {
        return reinterpret_cast<Fn*>(entry(call));
    }

    // A missing entry point is never called: the call fails and the next
    // getLastError() says why.
    template <typename Fn, typename... Args>
    int callInt(IspCall call, Args... args)
    {
        Fn* fn = function<Fn>(call);
        if (!fn) {
            missingError_ = kIspCallMissing;
            return 0;
        }
        missingError_.reset();
        return fn(args...);
    }
    void callVoid(IspCall call)
    {
        IspVoidFn* fn = function<IspVoidFn>(call);
        if (!fn) {
            missingError_ = kIspCallMissing;
            return;
        }
        missingError_.reset();
        fn();
    }

    std::unique_ptr<ILoadedLibrary> library_;
    std::array<void*, kIspCallCount> entries_{};
    std::optional<int> missingError_;
};

}  // namespace

IspLibraryProvider::IspLibraryProvider(ILibraryLoader& loader, MissingReport report)
    : loader_(loader), report_(std::move(report))
{}

IspLibraryProvider::~IspLibraryProvider() = default;

IIsp* IspLibraryProvider::acquire()
{
    if (isp_)
        return isp_.get();
    std::string error;
    std::unique_ptr<ILoadedLibrary> library = loader_.load(kIspLibraryName, &error);
    if (!library) {
        loadError_ =
            error.empty() ? std::string("the library ") + kIspLibraryName + " cannot be loaded" : error;
        return nullptr;
    }
    loadError_.clear();
    auto isp = std::make_unique<LibraryIsp>(std::move(library));
    for (int i = 0; i < kIspCallCount; ++i) {
        const auto call = static_cast<IspCall>(i);
        if (isp->has(call))
            continue;
        std::string name(ispCallName(call));
        if (reported_.insert(name).second && report_)
            report_(name);
    }
    isp_ = std::move(isp);
    return isp_.get();
}

void IspLibraryProvider::release() { isp_.reset(); }

bool IspLibraryProvider::loaded() const { return isp_ != nullptr; }

}  // namespace cvk::service
