#include "service/isp_dfu.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <fstream>
#include <vector>

#include "service/intel_hex.h"

namespace cvk::service {

namespace {

// DFU class requests to interface 0.
constexpr uint8_t kOut = 0x21;
constexpr uint8_t kIn = 0xA1;
constexpr uint8_t kDnload = 1;
constexpr uint8_t kUpload = 2;
constexpr uint8_t kGetStatus = 3;
constexpr uint8_t kClrStatus = 4;
constexpr uint8_t kAbort = 6;

constexpr uint8_t kStatusOk = 0;
constexpr uint8_t kErrWrite = 3;
constexpr uint8_t kErrCheckErased = 5;
constexpr uint8_t kErrVerify = 7;
constexpr uint8_t kErrAddress = 8;
constexpr uint8_t kErrNotDone = 9;
constexpr uint8_t kStateDnBusy = 4;
constexpr uint8_t kStateError = 10;

constexpr int kTransferTimeoutMs = 5000;
// The chip erase takes well under a second; allow about 20 s.
constexpr int kEraseBoundMs = 20000;
constexpr uint32_t kBlockBytes = 0x400;
constexpr std::size_t kProgramHeader = 32;
constexpr std::size_t kSuffixBytes = 16;

struct DfuStatus {
    uint8_t status = 0;
    int pollMs = 0;
    uint8_t state = 0;
};

const char* usbErrorText(UsbError e)
{
    switch (e) {
    case UsbError::Gone: return "the device left the bus";
    case UsbError::Stall: return "the bootloader refused the request";
    case UsbError::Timeout: return "the bootloader did not answer in time";
    case UsbError::PermissionDenied: return "this user may not use the device";
    default: return "the USB transfer failed";
    }
}

class DfuIsp final : public IIsp {
public:
    DfuIsp(IUsbControl& usb, IClock& clock) : usb_(usb), clock_(clock) {}

    bool has(IspCall call) const override
    {
        switch (call) {
        case IspCall::Init:
        case IspCall::SetLogEnabled:
        case IspCall::SelectDevice:
        case IspCall::SelectCommHardware:
        case IspCall::OpenUsbPort:
        case IspCall::ReadSpecialByte:
        case IspCall::EraseDevice:
        case IspCall::BlankCheckMemory:
        case IspCall::FillBufferAddrRange:
        case IspCall::ParseHexFile:
        case IspCall::ProgramDevice:
        case IspCall::GetBufferAddrLo:
        case IspCall::GetBufferAddrHi:
        case IspCall::VerifyDevice:
        case IspCall::EnterAppliMode:
        case IspCall::GetLastError:
        case IspCall::GetLastResult:
        case IspCall::Exit: return true;
        default: return false;
        }
    }

    int init() override { return ok(); }
    void setLogEnabled(int) override {}

    int selectDevice(const std::string& name) override
    {
        if (name != "AT90USB162")
            return fail(kDfuBadArgument, fmt::format("{} is not a device this programmer knows", name));
        return ok();
    }

    int selectCommHardware(int code) override
    {
        if (code != 2)
            return fail(kDfuBadArgument, "only USB is supported");
        return ok();
    }

    int openUsbPort() override
    {
        device_.reset();
        UsbError error = UsbError::None;
        device_ = usb_.open(kBootloaderVendorId, kBootloaderProductId, &error);
        if (!device_) {
            if (error == UsbError::PermissionDenied)
                return fail(kDfuPermissionDenied,
                            "A device in bootloader mode (USB 03EB:2FFA) is attached, but this user may not "
                            "open it. Install the udev rule that comes with CV Keys, then plug the device in "
                            "again.");
            if (error == UsbError::NotFound)
                return fail(kDfuNoDevice,
                            "No device in bootloader mode (USB 03EB:2FFA) was found. Put the pad into its "
                            "bootloader mode, plug it in and try again.");
            return fail(kDfuNoDevice, fmt::format("The device in bootloader mode cannot be opened: {}.",
                                                  usbErrorText(error)));
        }
        // Leave whatever state an earlier run left: abort, and clear an error.
        if (!control(kOut, kAbort, {}))
            return 0;
        DfuStatus s;
        if (!getStatus(s))
            return 0;
        if (s.state == kStateError && !control(kOut, kClrStatus, {}))
            return 0;
        return ok();
    }

    int readSpecialByte(int which) override
    {
        if (which < 0 || which > 2)
            return fail(kDfuBadArgument, "no such bootloader byte");
        std::array<uint8_t, 3> command{0x05, 0x00, static_cast<uint8_t>(which)};
        if (!command_(command, "read the bootloader version"))
            return 0;
        std::array<uint8_t, 1> value{};
        if (!upload(value))
            return 0;
        result_ = fmt::format("{:02X}", value[0]);
        return ok();
    }

    int eraseDevice() override
    {
        std::array<uint8_t, 3> command{0x04, 0x00, 0xFF};
        if (!dnload(command))
            return 0;
        int64_t started = clock_.nowMs();
        for (;;) {
            DfuStatus s;
            if (!getStatus(s))
                return 0;
            if (s.status == kStatusOk && s.state != kStateDnBusy)
                return ok();
            if (s.status != kErrNotDone && s.status != kStatusOk)
                return statusFailure(s, "erase the flash");
            if (clock_.nowMs() - started >= kEraseBoundMs)
                return fail(kDfuEraseUnfinished, "The bootloader did not finish erasing the flash in 20 s.");
            if (s.state == kStateError && !control(kOut, kClrStatus, {}))
                return 0;
            clock_.sleepMs(std::clamp(s.pollMs, 1, 1000));
        }
    }

    int blankCheckMemory() override
    {
        const uint32_t end = kApplicationEnd - 1;
        std::array<uint8_t, 6> command{
            0x03, 0x01, 0x00, 0x00, static_cast<uint8_t>(end >> 8), static_cast<uint8_t>(end & 0xFF)};
        if (!dnload(command))
            return 0;
        DfuStatus s;
        if (!getStatus(s))
            return 0;
        if (s.status == kStatusOk)
            return ok();
        if (s.status != kErrCheckErased)
            return statusFailure(s, "check the flash is blank");
        std::array<uint8_t, 2> at{};
        if (!upload(at))
            return 0;
        clearError();
        const unsigned address = static_cast<unsigned>(at[0] << 8 | at[1]);
        int code = fail(kDfuNotBlank, "The flash is not blank after the erase.");
        result_ = fmt::format("{:04X}", address);
        return code;
    }

    int fillBufferAddrRange(int start, int end, const std::string& value) override
    {
        if (start < 0 || end < start || end >= static_cast<int>(kApplicationEnd))
            return fail(kDfuBadArgument, "the fill range lies outside the application flash");
        int byte = -1;
        if (value.size() == 2) {
            try {
                std::size_t used = 0;
                byte = std::stoi(value, &used, 16);
                if (used != 2)
                    byte = -1;
            } catch (const std::exception&) {
                byte = -1;
            }
        }
        if (byte < 0 || byte > 0xFF)
            return fail(kDfuBadArgument, "the fill value must be one hex byte");
        for (int a = start; a <= end; ++a) {
            buffer_[static_cast<std::size_t>(a)] = static_cast<uint8_t>(byte);
            used_[static_cast<std::size_t>(a)] = true;
        }
        return ok();
    }

    int parseHexFile(const std::string& path) override
    {
        std::ifstream in(path, std::ios::binary);
        if (!in)
            return fail(kDfuBadImage, fmt::format("The image file {} cannot be read.", path));
        std::string text;
        char chunk[8192];
        while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
            text.append(chunk, static_cast<std::size_t>(in.gcount()));
            if (text.size() > kMaxHexFileBytes)
                break;
        }
        HexCheck check = checkIntelHex(text);
        if (!check.ok)
            return fail(kDfuBadImage, "The image is not valid: " + check.message() + ".");
        for (uint32_t a = 0; a < kApplicationEnd; ++a) {
            if (check.image.used[a]) {
                buffer_[a] = check.image.bytes[a];
                used_[a] = true;
            }
        }
        return ok();
    }

    int programDevice() override
    {
        uint32_t low = 0;
        uint32_t high = 0;
        if (!range(low, high))
            return fail(kDfuBadImage, "There is nothing to program.");
        std::array<uint8_t, 4> page{0x06, 0x03, 0x00, 0x00};
        if (!command_(page, "select the flash page"))
            return 0;
        // Blocks start on a flash page; the bytes the image leaves out keep
        // the erased value.
        const uint32_t first = low / kFlashPage * kFlashPage;
        const int total = static_cast<int>(high - first + 1);
        for (uint32_t start = first; start <= high; start += kBlockBytes) {
            const uint32_t end = std::min(start + kBlockBytes - 1, high);
            std::vector<uint8_t> block(kProgramHeader, 0);
            block[0] = 0x01;
            block[1] = 0x00;
            block[2] = static_cast<uint8_t>(start >> 8);
            block[3] = static_cast<uint8_t>(start & 0xFF);
            block[4] = static_cast<uint8_t>(end >> 8);
            block[5] = static_cast<uint8_t>(end & 0xFF);
            block.insert(block.end(), start % 32, 0x00);
            for (uint32_t a = start; a <= end; ++a)
                block.push_back(used_[a] ? buffer_[a] : 0xFF);
            // The standard DFU file suffix in the order it is sent: no device ids, DFU 1.1, "UFD", its length
            // 16, and a CRC the bootloader does not check.
            static constexpr std::array<uint8_t, kSuffixBytes> suffix{
                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x01, 'U', 'F', 'D', 0x10, 0x00, 0x00, 0x00, 0x00};
            block.insert(block.end(), suffix.begin(), suffix.end());
            if (!command_(block, fmt::format("program 0x{:04X}-0x{:04X}", start, end)))
                return 0;
            if (progress_)
                progress_(IspPhase::Programming, static_cast<int>(end - first + 1), total);
        }
        return ok();
    }

    int getBufferAddrLo() override { return bufferAddress(false); }
    int getBufferAddrHi() override { return bufferAddress(true); }

    int verifyDevice(int low, int high) override
    {
        if (low < 0 || high < low || high >= static_cast<int>(kApplicationEnd))
            return fail(kDfuBadArgument, "the verify range lies outside the application flash");
        const uint32_t from = static_cast<uint32_t>(low);
        const uint32_t to = static_cast<uint32_t>(high);
        const int total = high - low + 1;
        for (uint32_t start = from; start <= to; start += kBlockBytes) {
            const uint32_t end = std::min(start + kBlockBytes - 1, to);
            std::array<uint8_t, 6> command{0x03,
                                           0x00,
                                           static_cast<uint8_t>(start >> 8),
                                           static_cast<uint8_t>(start & 0xFF),
                                           static_cast<uint8_t>(end >> 8),
                                           static_cast<uint8_t>(end & 0xFF)};
            if (!command_(command, fmt::format("read 0x{:04X}-0x{:04X}", start, end)))
                return 0;
            std::vector<uint8_t> read(end - start + 1);
            if (!upload(read))
                return 0;
            for (uint32_t a = start; a <= end; ++a) {
                const uint8_t want = used_[a] ? buffer_[a] : 0xFF;
                const uint8_t got = read[a - start];
                if (got != want)
                    return fail(kDfuVerifyFailed,
                                fmt::format("The flash differs from the image at 0x{:04X}: it holds 0x{:02X} "
                                            "instead of 0x{:02X}.",
                                            a, got, want));
            }
            if (progress_)
                progress_(IspPhase::Verifying, static_cast<int>(end - from + 1), total);
        }
        return ok();
    }

    int enterAppliMode(int, int) override
    {
        std::array<uint8_t, 3> command{0x04, 0x03, 0x00};
        if (!command_(command, "start the application"))
            return 0;
        // The zero-length download starts the application: the device resets
        // and leaves the bus, so losing it here is the success.
        UsbError error = UsbError::None;
        UsbSetup setup{kOut, kDnload, 0, 0};
        int n = device_->controlOut(setup, {}, kTransferTimeoutMs, &error);
        if (n < 0 && error != UsbError::Gone && error != UsbError::Stall)
            return fail(kDfuRefused,
                        fmt::format("The application could not be started: {}.", usbErrorText(error)));
        device_.reset();
        return ok();
    }

    // The reset pulse drives a serial line's DTR; over USB there is none and
    // the bootloader has already left the bus, so has() says no and the
    // sequence skips the pulse and its pauses.
    void setDtrLow() override {}
    void setDtrHigh() override {}

    int getLastError() override { return error_; }
    std::string getLastResult() override { return result_; }
    std::string lastErrorText() override { return errorText_; }
    void exit() override { device_.reset(); }
    void setProgress(Progress progress) override { progress_ = std::move(progress); }

private:
    int ok()
    {
        error_ = kDfuOk;
        errorText_.clear();
        return 1;
    }

    int fail(int code, std::string text)
    {
        error_ = code;
        errorText_ = std::move(text);
        result_.clear();
        return 0;
    }

    bool requireOpen()
    {
        if (device_)
            return true;
        fail(kDfuNotOpen, "The bootloader's port is not open.");
        return false;
    }

    bool transferFailed(UsbError error, const char* what)
    {
        int code = error == UsbError::Gone      ? kDfuDeviceGone
                   : error == UsbError::Timeout ? kDfuTimeout
                                                : kDfuRefused;
        fail(code, fmt::format("The update stopped while trying to {}: {}.", what, usbErrorText(error)));
        if (error == UsbError::Gone)
            device_.reset();
        return false;
    }

    bool control(uint8_t type, uint8_t request, std::span<const uint8_t> data,
                 const char* what = "talk to it")
    {
        if (!requireOpen())
            return false;
        UsbError error = UsbError::None;
        UsbSetup setup{type, request, 0, 0};
        if (device_->controlOut(setup, data, kTransferTimeoutMs, &error) < 0)
            return transferFailed(error, what);
        return true;
    }

    bool dnload(std::span<const uint8_t> payload)
    {
        return control(kOut, kDnload, payload, "send a command");
    }

    bool upload(std::span<uint8_t> into)
    {
        if (!requireOpen())
            return false;
        UsbError error = UsbError::None;
        UsbSetup setup{kIn, kUpload, 0, 0};
        int n = device_->controlIn(setup, into, kTransferTimeoutMs, &error);
        if (n < 0)
            return transferFailed(error, "read from the bootloader");
        if (static_cast<std::size_t>(n) != into.size()) {
            fail(kDfuRefused, fmt::format("The bootloader answered {} bytes instead of {}.", n, into.size()));
            return false;
        }
        return true;
    }

    bool getStatus(DfuStatus& s)
    {
        if (!requireOpen())
            return false;
        std::array<uint8_t, 6> reply{};
        UsbError error = UsbError::None;
        UsbSetup setup{kIn, kGetStatus, 0, 0};
        int n = device_->controlIn(setup, reply, kTransferTimeoutMs, &error);
        if (n < 0)
            return transferFailed(error, "read the bootloader's status");
        if (n != 6) {
            fail(kDfuRefused, "The bootloader's status answer is malformed.");
            return false;
        }
        s.status = reply[0];
        s.pollMs = reply[1] | reply[2] << 8 | reply[3] << 16;
        s.state = reply[4];
        return true;
    }

    void clearError()
    {
        UsbError error = UsbError::None;
        UsbSetup setup{kOut, kClrStatus, 0, 0};
        if (device_)
            device_->controlOut(setup, {}, kTransferTimeoutMs, &error);
    }

    int statusFailure(const DfuStatus& s, const std::string& what)
    {
        clearError();
        switch (s.status) {
        case kErrWrite:
            return fail(kDfuWriteFailed, fmt::format("The bootloader could not {} (write error).", what));
        case kErrAddress:
            return fail(kDfuWriteFailed,
                        fmt::format("The bootloader could not {}: it refused the address.", what));
        case kErrVerify:
            return fail(kDfuVerifyFailed, fmt::format("The bootloader could not {} (verify error).", what));
        case kErrCheckErased:
            return fail(kDfuNotBlank,
                        fmt::format("The bootloader could not {}: the flash is not erased.", what));
        default:
            return fail(kDfuRefused, fmt::format("The bootloader could not {} (status {}).", what, s.status));
        }
    }

    // A download followed by its status.
    bool command_(std::span<const uint8_t> payload, const std::string& what)
    {
        if (!dnload(payload))
            return false;
        DfuStatus s;
        if (!getStatus(s))
            return false;
        if (s.status != kStatusOk) {
            statusFailure(s, what);
            return false;
        }
        return true;
    }

    bool range(uint32_t& low, uint32_t& high) const
    {
        if (used_.none())
            return false;
        low = 0;
        while (!used_[low])
            ++low;
        high = kApplicationEnd - 1;
        while (!used_[high])
            --high;
        return true;
    }

    int bufferAddress(bool highEnd)
    {
        uint32_t low = 0;
        uint32_t high = 0;
        if (!range(low, high))
            return fail(kDfuBadImage, "The buffer holds no data.");
        ok();
        result_ = fmt::format("{:04X}", highEnd ? high : low);
        return 1;
    }

    IUsbControl& usb_;
    IClock& clock_;
    std::unique_ptr<IUsbDevice> device_;
    std::array<uint8_t, kApplicationEnd> buffer_{};
    std::bitset<kApplicationEnd> used_;
    int error_ = kDfuOk;
    std::string result_;
    std::string errorText_;
    Progress progress_;
};

}  // namespace

DfuIspProvider::DfuIspProvider(IUsbControl& usb, IClock& clock) : usb_(usb), clock_(clock) {}
DfuIspProvider::~DfuIspProvider() = default;

IIsp* DfuIspProvider::acquire()
{
    if (!isp_)
        isp_ = std::make_unique<DfuIsp>(usb_, clock_);
    return isp_.get();
}

void DfuIspProvider::release() { isp_.reset(); }
bool DfuIspProvider::loaded() const { return isp_ != nullptr; }

}  // namespace cvk::service
