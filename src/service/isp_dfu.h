#pragma once
// Our own IIsp backend: the AT90USB162 factory bootloader's DFU protocol
// over the USB control-transfer port.

#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/usb_control.h"
#include "service/isp.h"

namespace cvk::service {

inline constexpr uint16_t kBootloaderVendorId = 0x03EB;
inline constexpr uint16_t kBootloaderProductId = 0x2FFA;

// Error codes of this backend (getLastError); 28 is the blank-check code the
// sequence knows, the others are this backend's own.
enum DfuIspError : int {
    kDfuOk = 0,
    kDfuNoDevice = 20,
    kDfuPermissionDenied = 21,
    kDfuDeviceGone = 22,
    kDfuRefused = 23,
    kDfuTimeout = 24,
    kDfuEraseUnfinished = 25,
    kDfuWriteFailed = 26,
    kDfuBadImage = 27,
    kDfuNotBlank = 28,
    kDfuVerifyFailed = 29,
    kDfuBadArgument = 30,
    kDfuNotOpen = 31,
};

class DfuIspProvider final : public IIspProvider {
public:
    DfuIspProvider(IUsbControl& usb, IClock& clock);
    ~DfuIspProvider() override;
    IIsp* acquire() override;
    void release() override;
    bool loaded() const override;

private:
    IUsbControl& usb_;
    IClock& clock_;
    std::unique_ptr<IIsp> isp_;
};

}  // namespace cvk::service
