#include "platform/windows/win_hid_bus.h"

#include <windows.h>
// The HID headers need the types of windows.h and hidsdi.h before hidpi.h;
// mingw-w64's declare C functions without saying so to C++.
// clang-format off
extern "C" {
#include <hidsdi.h>
#include <hidpi.h>
}
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <utility>

#include "platform/windows/utf.h"

namespace cvk {

namespace {

class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~Handle()
    {
        if (valid())
            ::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

struct Caps {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    std::size_t inputLength = 0;
    std::size_t outputLength = 0;
    std::size_t featureLength = 0;
};

std::optional<Caps> capsOf(HANDLE device)
{
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!::HidD_GetPreparsedData(device, &preparsed))
        return std::nullopt;
    HIDP_CAPS caps{};
    const NTSTATUS status = ::HidP_GetCaps(preparsed, &caps);
    ::HidD_FreePreparsedData(preparsed);
    if (status != HIDP_STATUS_SUCCESS)
        return std::nullopt;
    return Caps{caps.UsagePage, caps.Usage, caps.InputReportByteLength, caps.OutputReportByteLength,
                caps.FeatureReportByteLength};
}

// One direction of overlapped transfers: its own event and a buffer of the
// full report length, which Windows wants whatever the caller's length.
class Transfer {
public:
    Transfer() : event_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    bool ready() const { return event_.valid(); }

    // Runs one request started by start(overlapped) and waits up to
    // timeoutMs for it. A request still pending then is cancelled and waited
    // for, so that the buffer is never written after we returned. The bytes
    // transferred, or -1 (also for none).
    template <typename Start>
    long run(HANDLE device, int timeoutMs, Start start)
    {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event_.get();
        ::ResetEvent(event_.get());
        if (!start(&overlapped) && ::GetLastError() != ERROR_IO_PENDING)
            return -1;
        // A negative bound counts as 0: a transfer never waits unbounded.
        const auto wait = static_cast<DWORD>(std::max(timeoutMs, 0));
        DWORD done = 0;
        if (::WaitForSingleObject(event_.get(), wait) != WAIT_OBJECT_0) {
            ::CancelIoEx(device, &overlapped);
            ::GetOverlappedResult(device, &overlapped, &done, TRUE);
            return -1;
        }
        if (!::GetOverlappedResult(device, &overlapped, &done, FALSE) || done == 0)
            return -1;
        return static_cast<long>(done);
    }

    std::mutex mutex;
    std::vector<uint8_t> buffer;

private:
    Handle event_;
};

class WinHidDevice final : public IHidDevice {
public:
    WinHidDevice(HANDLE handle, HidInterfaceInfo info, const Caps& caps)
        : handle_(handle), info_(std::move(info)), caps_(caps)
    {}
    ~WinHidDevice() override
    {
        // Nothing is pending (every transfer waits for its end), but a
        // request of a driver that ignored a cancel must not outlive us.
        ::CancelIoEx(handle_.get(), nullptr);
    }
    WinHidDevice(const WinHidDevice&) = delete;
    WinHidDevice& operator=(const WinHidDevice&) = delete;

    bool ready() const { return read_.ready() && write_.ready(); }
    const HidInterfaceInfo& info() const override { return info_; }

    bool setFeature(std::span<const uint8_t> report) override
    {
        if (report.empty())
            return false;
        // A report shorter than the collection's feature length is padded
        // with zeros: HidD_SetFeature refuses a shorter buffer.
        std::vector<uint8_t> buffer(report.begin(), report.end());
        buffer.resize(std::max(buffer.size(), caps_.featureLength));
        return ::HidD_SetFeature(handle_.get(), buffer.data(), static_cast<ULONG>(buffer.size()));
    }

    bool getFeature(std::span<uint8_t> report) override
    {
        if (report.empty())
            return false;
        std::vector<uint8_t> buffer(std::max(report.size(), caps_.featureLength), 0);
        buffer[0] = report[0];
        if (!::HidD_GetFeature(handle_.get(), buffer.data(), static_cast<ULONG>(buffer.size())))
            return false;
        std::copy_n(buffer.begin(), report.size(), report.begin());
        return true;
    }

    std::optional<std::vector<uint8_t>> indexedString(int index, std::size_t maxBytes) override
    {
        if (index < 0 || index > 255)
            return std::nullopt;
        // A USB string descriptor holds at most 126 units. The call does not
        // say how many it gave: the zero-filled buffer shows where they end,
        // so zero units at the descriptor's end are lost (inner ones stay).
        std::vector<wchar_t> units(std::max<std::size_t>(maxBytes / 2 + 1, 128) + 1, L'\0');
        const auto bytes = static_cast<ULONG>((units.size() - 1) * sizeof(wchar_t));
        if (!::HidD_GetIndexedString(handle_.get(), static_cast<ULONG>(index), units.data(), bytes))
            return std::nullopt;
        std::size_t length = units.size() - 1;
        while (length > 0 && units[length - 1] == L'\0')
            --length;
        std::vector<uint8_t> out;
        out.reserve(length * 2);
        for (std::size_t k = 0; k < length; ++k) {
            const auto unit = static_cast<uint16_t>(units[k]);
            out.push_back(static_cast<uint8_t>(unit & 0xFF));
            out.push_back(static_cast<uint8_t>(unit >> 8));
        }
        if (out.size() > maxBytes)
            out.resize(maxBytes);
        return out;
    }

    int write(std::span<const uint8_t> report, int timeoutMs) override
    {
        if (report.empty())
            return -1;
        const std::lock_guard<std::mutex> lock(write_.mutex);
        std::vector<uint8_t>& buffer = write_.buffer;
        buffer.assign(std::max(report.size(), caps_.outputLength), 0);
        std::copy(report.begin(), report.end(), buffer.begin());
        const long done = write_.run(handle_.get(), timeoutMs, [&](OVERLAPPED* overlapped) {
            return ::WriteFile(handle_.get(), buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                               overlapped);
        });
        if (done < 0)
            return -1;
        // The padding is ours, not the caller's.
        return static_cast<int>(std::min(static_cast<std::size_t>(done), report.size()));
    }

    int read(std::span<uint8_t> buf, int timeoutMs) override
    {
        if (buf.empty())
            return -1;
        const std::lock_guard<std::mutex> lock(read_.mutex);
        std::vector<uint8_t>& buffer = read_.buffer;
        buffer.assign(std::max(buf.size(), caps_.inputLength), 0);
        const long done = read_.run(handle_.get(), timeoutMs, [&](OVERLAPPED* overlapped) {
            return ::ReadFile(handle_.get(), buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                              overlapped);
        });
        if (done < 0)
            return -1;
        const std::size_t length = std::min(static_cast<std::size_t>(done), buf.size());
        std::copy_n(buffer.begin(), length, buf.begin());
        return static_cast<int>(length);
    }

private:
    Handle handle_;
    HidInterfaceInfo info_;
    Caps caps_;
    Transfer read_;
    Transfer write_;
};

// The interface path of one member of the set, or empty.
std::wstring interfacePath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data)
{
    DWORD required = 0;
    ::SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &required, nullptr);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return {};
    // DWORD elements keep the record aligned.
    std::vector<DWORD> storage(required / sizeof(DWORD) + 1);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!::SetupDiGetDeviceInterfaceDetailW(set, &data, detail, required, nullptr, nullptr))
        return {};
    return detail->DevicePath;
}

}  // namespace

std::vector<HidInterfaceInfo> WinHidBus::enumerate()
{
    std::vector<HidInterfaceInfo> found;
    GUID hidClass{};
    ::HidD_GetHidGuid(&hidClass);
    HDEVINFO set = ::SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return found;
    for (DWORD member = 0;; ++member) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!::SetupDiEnumDeviceInterfaces(set, nullptr, &hidClass, member, &data))
            break;
        const std::wstring path = interfacePath(set, data);
        if (path.empty())
            continue;
        // Access 0 asks for no rights, so that keyboards and mice the system
        // holds open can still be identified.
        const Handle probe(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
        if (!probe.valid())
            continue;
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        if (!::HidD_GetAttributes(probe.get(), &attributes))
            continue;
        HidInterfaceInfo info;
        info.path = win::narrow(path);
        info.vendorId = attributes.VendorID;
        info.productId = attributes.ProductID;
        info.releaseNumber = attributes.VersionNumber;
        if (const std::optional<Caps> caps = capsOf(probe.get())) {
            info.usagePage = caps->usagePage;
            info.usage = caps->usage;
        }
        found.push_back(std::move(info));
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return found;
}

HidDevicePtr WinHidBus::open(const HidInterfaceInfo& entry, HidOpenError* error)
{
    const auto fail = [error](HidOpenError reason) {
        if (error)
            *error = reason;
        return nullptr;
    };
    if (entry.path.empty())
        return fail(HidOpenError::NotFound);
    HANDLE handle = ::CreateFileW(win::wide(entry.path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        switch (::GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_NAME: return fail(HidOpenError::NotFound);
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION: return fail(HidOpenError::PermissionDenied);
        default: return fail(HidOpenError::Other);
        }
    }
    // Without caps the report lengths stay 0: reports then go at the
    // caller's length.
    const Caps caps = capsOf(handle).value_or(Caps{});
    auto device = std::make_shared<WinHidDevice>(handle, entry, caps);
    if (!device->ready())
        return fail(HidOpenError::Other);
    if (error)
        *error = HidOpenError::None;
    return device;
}

}  // namespace cvk
