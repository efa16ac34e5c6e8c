#pragma once
// A simulated AT90USB162 in bootloader mode behind the USB control-transfer
// port: the chip maker's DFU bootloader as its application note describes
// it, with faults, a latency model and a transcript. Every choice where the
// application note says nothing is listed in sim/README.md.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/usb_control.h"
#include "sim/sim.h"

namespace cvk::sim {

inline constexpr uint16_t kSimBootloaderVendorId = 0x03EB;
inline constexpr uint16_t kSimBootloaderProductId = 0x2FFA;
inline constexpr int kSimFlashSize = 0x4000;
inline constexpr int kSimBootloaderStart = 0x3000;  // 0x3000-0x3FFF: protected
inline constexpr int kSimFlashPage = 128;
inline constexpr int kSimMaxBlock = 0x400;  // data bytes of one program or read block

// DFU request numbers, GETSTATUS bStatus and bState values.
namespace dfu {
inline constexpr uint8_t kOut = 0x21;  // bmRequestType, class request to the interface
inline constexpr uint8_t kIn = 0xA1;
inline constexpr uint8_t kDnload = 1, kUpload = 2, kGetStatus = 3, kClrStatus = 4, kGetState = 5, kAbort = 6;
inline constexpr uint8_t kOk = 0x00, kErrWrite = 0x03, kErrCheckErased = 0x05, kErrVerify = 0x07,
                         kErrAddress = 0x08, kErrNotDone = 0x09, kErrStalledPkt = 0x0F;
inline constexpr uint8_t kIdle = 2, kDnloadIdle = 5, kDnBusy = 4, kUploadIdle = 9, kError = 10;
}  // namespace dfu

struct SimBootloaderConfig {
    bool absent = false;            // open gives UsbError::NotFound
    bool permissionDenied = false;  // open gives UsbError::PermissionDenied
    int busyPolls = 2;              // GETSTATUS answers errNOTDONE/dfuDNBUSY after a chip erase
    int pollTimeoutMs = 100;        // bwPollTimeout of those busy answers
    int badByteAddress = -1;        // this flash byte stores every programmed value bit-inverted
    int unerasedAddress = -1;       // the chip erase leaves this application byte as it was
    int unplugAfter = -1;           // serves N control transfers, then leaves the bus (-1: never)
    int latencyMs = 0;              // spent through the clock by every transfer the device sees
    uint8_t version = 0x20;         // bootloader version byte (05 00 00)
    bool secure = true;             // security mode until the first chip erase
    // The answer of the zero-length DNLOAD that starts the application:
    // Gone (default), Stall, or None (the transfer succeeds).
    UsbError startReply = UsbError::Gone;
    // The flash from address 0 (at most 16 KiB; the rest reads erased).
    // Empty: the application area holds a non-blank pattern (0x0000 is not
    // 0xFF) and the bootloader area its fixed bytes (simBootloaderByte).
    std::vector<uint8_t> initialFlash;
};

// Parses "key=value,..." (empty: defaults). Keys: absent, denied, secure
// (flags: bare, =1 or =0), busy-polls=N, poll-ms=N, bad-byte=ADDR, unerased=ADDR,
// unplug-after=N, latency=N, version=N (numbers decimal or 0x hex),
// start-reply=gone|stall|ok. Throws std::invalid_argument naming the bad part.
SimBootloaderConfig parseSimBootloaderSetup(const std::string& setup);

// The default flash byte at this address (the pattern of the application
// area, the bootloader's own bytes from 0x3000 on).
uint8_t simBootloaderByte(int address);

// The device's answers to 05 00 xx / 05 01 xx (the version comes from the
// configuration): boot ids DC FB, signature 1E 94 82, revision 00.
inline constexpr uint8_t kSimBootId1 = 0xDC, kSimBootId2 = 0xFB;
inline constexpr uint8_t kSimManufacturer = 0x1E, kSimFamily = 0x94, kSimProduct = 0x82, kSimRevision = 0x00;

class SimBootloader final : public IUsbControl {
public:
    explicit SimBootloader(IClock& clock, SimBootloaderConfig config = {});
    ~SimBootloader() override;
    SimBootloader(const SimBootloader&) = delete;
    SimBootloader& operator=(const SimBootloader&) = delete;

    // Vendor 0x03EB, product 0x2FFA only; one open handle at a time (a second
    // open while one is held fails with Other, as claiming a claimed
    // interface does).
    std::unique_ptr<IUsbDevice> open(uint16_t vendorId, uint16_t productId, UsbError* error) override;

    const std::array<uint8_t, kSimFlashSize>& flash() const { return flash_; }
    bool started() const { return started_; }  // the application was started (and the device left)
    bool present() const { return present_; }
    bool secure() const { return secure_; }
    int transfers() const { return transfers_; }  // every control transfer, failed ones included
    uint8_t state() const { return state_; }
    uint8_t status() const { return status_; }
    const SimBootloaderConfig& config() const { return config_; }
    Transcript& transcript() { return transcript_; }
    const Transcript& transcript() const { return transcript_; }
    // Leaves the bus now, as an unplug does.
    void unplug() { present_ = false; }

    // --- device side, called by the open handle ---
    int controlOut(const UsbSetup& setup, std::span<const uint8_t> data, int timeoutMs, UsbError* error);
    int controlIn(const UsbSetup& setup, std::span<uint8_t> data, int timeoutMs, UsbError* error);
    void closed();

private:
    // Counts the transfer and decides whether the device sees it: false (with
    // *error set and a "failed" line) when it is gone or the transfer times out.
    bool begin(const UsbSetup& setup, int timeoutMs, UsbError* error);
    int fail(const UsbSetup& setup, UsbError reason, UsbError* error);
    int refuse(const UsbSetup& setup, UsbError* error);  // a stall: dfuERROR, errSTALLEDPKT
    void after();                                        // leaves the bus once unplug-after is reached
    void log(const char* kind, std::vector<uint8_t> bytes = {});
    void setError(uint8_t status);
    void command(std::span<const uint8_t> data, bool* malformed);
    void program(std::span<const uint8_t> data, bool* malformed);
    bool validRange(int start, int end, int maxCount) const;

    IClock& clock_;
    SimBootloaderConfig config_;
    Transcript transcript_;
    std::array<uint8_t, kSimFlashSize> flash_{};
    bool secure_ = true;
    bool present_ = true;
    bool started_ = false;
    bool opened_ = false;
    int transfers_ = 0;
    uint8_t state_ = dfu::kIdle;
    uint8_t status_ = dfu::kOk;
    int busyLeft_ = 0;         // busy GETSTATUS answers still to give
    bool startArmed_ = false;  // 04 03 00 seen: a zero-length DNLOAD starts the application
    std::vector<uint8_t> pendingUpload_;
    bool uploadReady_ = false;  // a read command prepared pendingUpload_
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace cvk::sim
