#include "sim/bootloader.h"

#include <algorithm>
#include <stdexcept>

#include "sim/setup_parse.h"

namespace cvk::sim {

namespace {

// The 16 bytes after a program block's data, in the order they are sent:
// bcdDevice, idProduct, idVendor (FF FF each), bcdDFU 0x0110 (little-endian),
// the signature "DFU" stored backwards, bLength 0x10, then the CRC (4 bytes,
// not checked). This is the standard DFU file suffix, sent first field first.
constexpr std::array<uint8_t, 12> kSuffixHead = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                 0x10, 0x01, 'U',  'F',  'D',  0x10};
constexpr size_t kSuffixSize = 16;
constexpr size_t kHeaderSize = 32;

class SimBootloaderHandle final : public IUsbDevice {
public:
    SimBootloaderHandle(SimBootloader& device, std::shared_ptr<bool> alive)
        : device_(device), alive_(std::move(alive))
    {}
    ~SimBootloaderHandle() override
    {
        if (*alive_)
            device_.closed();
    }
    int controlOut(const UsbSetup& setup, std::span<const uint8_t> data, int timeoutMs,
                   UsbError* error) override
    {
        if (!*alive_)
            return gone(error);
        return device_.controlOut(setup, data, timeoutMs, error);
    }
    int controlIn(const UsbSetup& setup, std::span<uint8_t> data, int timeoutMs, UsbError* error) override
    {
        if (!*alive_)
            return gone(error);
        return device_.controlIn(setup, data, timeoutMs, error);
    }

private:
    static int gone(UsbError* error)
    {
        if (error)
            *error = UsbError::Gone;
        return -1;
    }
    SimBootloader& device_;
    std::shared_ptr<bool> alive_;
};

}  // namespace

uint8_t simBootloaderByte(int address)
{
    if (address < kSimBootloaderStart)
        return static_cast<uint8_t>((address * 7 + 0x0C) & 0xFF);
    return static_cast<uint8_t>(((address >> 4) ^ (address * 3) ^ 0xB5) & 0xFF);
}

SimBootloaderConfig parseSimBootloaderSetup(const std::string& setup)
{
    using setup::badValue;
    using setup::parseFlag;
    SimBootloaderConfig c;
    setup::forEachItem(setup, [&c](const std::string& key, const std::string& value, bool hasValue) {
        const auto number = [&](uint32_t max) { return setup::numberOf(key, value, hasValue, max); };
        if (key == "absent")
            c.absent = parseFlag(key, value, hasValue);
        else if (key == "denied")
            c.permissionDenied = parseFlag(key, value, hasValue);
        else if (key == "secure")
            c.secure = parseFlag(key, value, hasValue);
        else if (key == "busy-polls")
            c.busyPolls = static_cast<int>(number(1000000));
        else if (key == "poll-ms")
            c.pollTimeoutMs = static_cast<int>(number(0xFFFFFF));  // bwPollTimeout has 3 bytes
        else if (key == "bad-byte")
            c.badByteAddress = static_cast<int>(number(kSimFlashSize - 1));
        else if (key == "unerased")
            c.unerasedAddress = static_cast<int>(number(kSimBootloaderStart - 1));
        else if (key == "unplug-after")
            c.unplugAfter = static_cast<int>(number(100000000));
        else if (key == "latency")
            c.latencyMs = static_cast<int>(number(600000));
        else if (key == "version")
            c.version = static_cast<uint8_t>(number(0xFF));
        else if (key == "start-reply") {
            if (value == "gone")
                c.startReply = UsbError::Gone;
            else if (value == "stall")
                c.startReply = UsbError::Stall;
            else if (value == "ok")
                c.startReply = UsbError::None;
            else
                badValue(key, value);
        } else
            throw std::invalid_argument("unknown key '" + key + "'");
    });
    return c;
}

SimBootloader::SimBootloader(IClock& clock, SimBootloaderConfig config)
    : clock_(clock), config_(std::move(config)), secure_(config_.secure)
{
    if (config_.initialFlash.size() > flash_.size())
        throw std::invalid_argument("initial flash larger than 16 KiB");
    if (config_.initialFlash.empty()) {
        for (int a = 0; a < kSimFlashSize; ++a)
            flash_[a] = simBootloaderByte(a);
    } else {
        flash_.fill(0xFF);
        std::copy(config_.initialFlash.begin(), config_.initialFlash.end(), flash_.begin());
    }
}

SimBootloader::~SimBootloader() { *alive_ = false; }

std::unique_ptr<IUsbDevice> SimBootloader::open(uint16_t vendorId, uint16_t productId, UsbError* error)
{
    UsbError result = UsbError::None;
    if (vendorId != kSimBootloaderVendorId || productId != kSimBootloaderProductId || config_.absent ||
        !present_)
        result = UsbError::NotFound;
    else if (config_.permissionDenied)
        result = UsbError::PermissionDenied;
    else if (opened_)
        result = UsbError::Other;  // interface 0 is claimed by the handle already open
    if (error)
        *error = result;
    if (result != UsbError::None)
        return nullptr;
    opened_ = true;
    log("open");
    return std::make_unique<SimBootloaderHandle>(*this, alive_);
}

void SimBootloader::closed()
{
    opened_ = false;
    log("close");
}

void SimBootloader::log(const char* kind, std::vector<uint8_t> bytes)
{
    transcript_.add(clock_.nowMs(), kSimBootloaderProductId, kind, std::move(bytes), 4);
}

int SimBootloader::fail(const UsbSetup& setup, UsbError reason, UsbError* error)
{
    log("failed", {setup.request});
    if (error)
        *error = reason;
    return -1;
}

bool SimBootloader::begin(const UsbSetup& setup, int timeoutMs, UsbError* error)
{
    ++transfers_;
    if (present_ && config_.unplugAfter >= 0 && transfers_ > config_.unplugAfter)
        present_ = false;
    if (!present_) {
        fail(setup, UsbError::Gone, error);
        return false;
    }
    // A bound of 0 or less counts as 1 ms: the port's calls are always bounded.
    const int bound = std::max(timeoutMs, 1);
    if (config_.latencyMs >= bound) {
        clock_.sleepMs(bound);
        fail(setup, UsbError::Timeout, error);
        return false;
    }
    clock_.sleepMs(config_.latencyMs);
    if (error)
        *error = UsbError::None;
    return true;
}

void SimBootloader::after()
{
    if (config_.unplugAfter >= 0 && transfers_ >= config_.unplugAfter)
        present_ = false;
}

int SimBootloader::refuse(const UsbSetup& setup, UsbError* error)
{
    if (state_ != dfu::kError)
        setError(dfu::kErrStalledPkt);
    busyLeft_ = 0;
    return fail(setup, UsbError::Stall, error);
}

void SimBootloader::setError(uint8_t status)
{
    status_ = status;
    state_ = dfu::kError;
}

int SimBootloader::controlOut(const UsbSetup& setup, std::span<const uint8_t> data, int timeoutMs,
                              UsbError* error)
{
    if ((setup.requestType & 0x80) != 0)  // an IN request cannot carry host data: never sent
        return fail(setup, UsbError::Other, error);
    if (!begin(setup, timeoutMs, error))
        return -1;
    const auto serve = [&]() -> int {
        if (setup.requestType != dfu::kOut || setup.index != 0)
            return refuse(setup, error);
        switch (setup.request) {
        case dfu::kDnload: {
            if (state_ == dfu::kError || state_ == dfu::kDnBusy)
                return refuse(setup, error);
            if (data.empty()) {
                if (!startArmed_)
                    return refuse(setup, error);
                // The device resets into the application and leaves the bus.
                log("dnload");
                started_ = true;
                present_ = false;
                if (config_.startReply == UsbError::None)
                    return 0;
                if (error)
                    *error = config_.startReply;
                return -1;
            }
            bool malformed = false;
            command(data, &malformed);
            if (malformed)
                return refuse(setup, error);
            log("dnload", std::vector<uint8_t>(data.begin(), data.end()));
            return static_cast<int>(data.size());
        }
        case dfu::kClrStatus:
            if (!data.empty() || state_ == dfu::kDnBusy)
                return refuse(setup, error);
            if (state_ == dfu::kError) {
                state_ = dfu::kIdle;
                status_ = dfu::kOk;
            }
            log("clrstatus");
            return 0;
        case dfu::kAbort:
            if (!data.empty() || state_ == dfu::kDnBusy)
                return refuse(setup, error);
            // An error stays until CLRSTATUS; anything else returns to idle.
            if (state_ != dfu::kError) {
                state_ = dfu::kIdle;
                status_ = dfu::kOk;
            }
            startArmed_ = false;
            uploadReady_ = false;
            pendingUpload_.clear();
            log("abort");
            return 0;
        default: return refuse(setup, error);
        }
    };
    const int result = serve();
    after();
    return result;
}

int SimBootloader::controlIn(const UsbSetup& setup, std::span<uint8_t> data, int timeoutMs, UsbError* error)
{
    if ((setup.requestType & 0x80) == 0)  // never sent
        return fail(setup, UsbError::Other, error);
    if (!begin(setup, timeoutMs, error))
        return -1;
    const auto serve = [&]() -> int {
        if (setup.requestType != dfu::kIn || setup.index != 0)
            return refuse(setup, error);
        switch (setup.request) {
        case dfu::kGetStatus: {
            if (data.size() < 6)  // the device sends 6 bytes: the host's buffer overflows
                return fail(setup, UsbError::Other, error);
            std::array<uint8_t, 6> answer = {status_, 0, 0, 0, state_, 0};
            if (state_ == dfu::kDnBusy) {
                if (busyLeft_ > 0) {
                    --busyLeft_;
                    const auto t = static_cast<uint32_t>(config_.pollTimeoutMs);
                    answer = {dfu::kErrNotDone,
                              static_cast<uint8_t>(t & 0xFF),
                              static_cast<uint8_t>((t >> 8) & 0xFF),
                              static_cast<uint8_t>((t >> 16) & 0xFF),
                              dfu::kDnBusy,
                              0};
                } else {
                    state_ = dfu::kDnloadIdle;  // the erase has finished
                    answer = {dfu::kOk, 0, 0, 0, state_, 0};
                }
            }
            std::copy(answer.begin(), answer.end(), data.begin());
            log("getstatus", std::vector<uint8_t>(answer.begin(), answer.end()));
            return 6;
        }
        case dfu::kGetState:
            if (data.empty())
                return fail(setup, UsbError::Other, error);
            data[0] = state_;
            log("getstate", {state_});
            return 1;
        case dfu::kUpload: {
            if (state_ == dfu::kDnBusy || !uploadReady_)
                return refuse(setup, error);
            const size_t n = std::min(data.size(), pendingUpload_.size());
            std::copy_n(pendingUpload_.begin(), n, data.begin());
            std::vector<uint8_t> answered(pendingUpload_.begin(), pendingUpload_.begin() + n);
            pendingUpload_.clear();
            uploadReady_ = false;
            if (state_ != dfu::kError)
                state_ = dfu::kUploadIdle;
            log("upload", std::move(answered));
            return static_cast<int>(n);
        }
        default: return refuse(setup, error);
        }
    };
    const int result = serve();
    after();
    return result;
}

bool SimBootloader::validRange(int start, int end, int maxCount) const
{
    return start <= end && end < kSimFlashSize && end - start + 1 <= maxCount;
}

void SimBootloader::command(std::span<const uint8_t> d, bool* malformed)
{
    startArmed_ = false;
    uploadReady_ = false;
    pendingUpload_.clear();
    const auto ok = [this] {
        status_ = dfu::kOk;
        state_ = dfu::kDnloadIdle;
    };
    const auto word = [&d](size_t i) { return (d[i] << 8) | d[i + 1]; };
    const auto answer = [&](std::vector<uint8_t> bytes) {
        pendingUpload_ = std::move(bytes);
        uploadReady_ = true;
    };
    switch (d[0]) {
    case 0x01: program(d, malformed); return;
    case 0x03: {  // 03 00: read a block; 03 01: blank check
        if (d.size() != 6 || d[1] > 1) {
            *malformed = true;
            return;
        }
        const int start = word(2), end = word(4);
        if (secure_)
            return setError(dfu::kErrWrite);
        if (!validRange(start, end, d[1] == 0 ? kSimMaxBlock : kSimFlashSize))
            return setError(dfu::kErrAddress);
        if (d[1] == 0) {
            ok();
            return answer(std::vector<uint8_t>(flash_.begin() + start, flash_.begin() + end + 1));
        }
        const auto first = std::find_if(flash_.begin() + start, flash_.begin() + end + 1,
                                        [](uint8_t b) { return b != 0xFF; });
        if (first == flash_.begin() + end + 1)
            return ok();
        const auto at = static_cast<int>(first - flash_.begin());
        setError(dfu::kErrCheckErased);
        return answer({static_cast<uint8_t>(at >> 8), static_cast<uint8_t>(at & 0xFF)});
    }
    case 0x04:
        if (d.size() == 3 && d[1] == 0x00 && d[2] == 0xFF) {  // chip erase: the application area
            {
                const int kept = config_.unerasedAddress;
                const uint8_t old = kept >= 0 ? flash_[static_cast<size_t>(kept)] : 0xFF;
                std::fill(flash_.begin(), flash_.begin() + kSimBootloaderStart, uint8_t{0xFF});
                if (kept >= 0)
                    flash_[static_cast<size_t>(kept)] = old;
            }
            secure_ = false;
            status_ = dfu::kOk;
            state_ = dfu::kDnBusy;
            busyLeft_ = std::max(config_.busyPolls, 0);
            return;
        }
        if (d.size() == 3 && d[1] == 0x03 && d[2] == 0x00) {  // start the application (after a reset)
            if (secure_)
                return setError(dfu::kErrWrite);
            startArmed_ = true;
            return ok();
        }
        *malformed = true;
        return;
    case 0x05: {  // configuration reads, allowed in security mode too
        uint8_t value = 0;
        if (d.size() == 3 && d[1] == 0x00 && d[2] <= 0x02)
            value = d[2] == 0 ? config_.version : d[2] == 1 ? kSimBootId1 : kSimBootId2;
        else if (d.size() == 3 && d[1] == 0x01 && d[2] == 0x30)
            value = kSimManufacturer;
        else if (d.size() == 3 && d[1] == 0x01 && d[2] == 0x31)
            value = kSimFamily;
        else if (d.size() == 3 && d[1] == 0x01 && d[2] == 0x60)
            value = kSimProduct;
        else if (d.size() == 3 && d[1] == 0x01 && d[2] == 0x61)
            value = kSimRevision;
        else {
            *malformed = true;
            return;
        }
        ok();
        return answer({value});
    }
    case 0x06:  // select the 64 KiB page
        if (d.size() != 4 || d[1] != 0x03 || d[2] != 0x00) {
            *malformed = true;
            return;
        }
        if (secure_)
            return setError(dfu::kErrWrite);
        if (d[3] != 0)
            return setError(dfu::kErrAddress);
        return ok();
    default: *malformed = true; return;
    }
}

void SimBootloader::program(std::span<const uint8_t> d, bool* malformed)
{
    if (d.size() < kHeaderSize + kSuffixSize || d[1] != 0x00 ||
        !std::all_of(d.begin() + 6, d.begin() + kHeaderSize, [](uint8_t b) { return b == 0; })) {
        *malformed = true;
        return;
    }
    const int start = (d[2] << 8) | d[3];
    const int end = (d[4] << 8) | d[5];
    if (!validRange(start, end, kSimMaxBlock))
        return setError(dfu::kErrAddress);
    const size_t count = static_cast<size_t>(end - start + 1);
    const size_t filler = static_cast<size_t>(start % 32);
    if (d.size() != kHeaderSize + filler + count + kSuffixSize ||
        !std::equal(kSuffixHead.begin(), kSuffixHead.end(), d.end() - kSuffixSize)) {
        *malformed = true;
        return;
    }
    if (secure_)
        return setError(dfu::kErrWrite);
    if (start % kSimFlashPage != 0 || end >= kSimBootloaderStart)
        return setError(dfu::kErrAddress);
    const auto data = d.subspan(kHeaderSize + filler, count);
    for (size_t i = 0; i < count; ++i) {
        const int a = start + static_cast<int>(i);
        // Programming only clears bits; the bad byte stores the value inverted.
        const uint8_t value = a == config_.badByteAddress ? static_cast<uint8_t>(~data[i]) : data[i];
        flash_[a] &= value;
    }
    status_ = dfu::kOk;
    state_ = dfu::kDnloadIdle;
}

}  // namespace cvk::sim
