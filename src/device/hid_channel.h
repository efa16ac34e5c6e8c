#pragma once
// A short-lived connection to the configuration interface (vendor collection,
// usage page 0xFFFF / usage 1) of one product. Every transaction builds one,
// uses it and ends with closeAll().

#include <array>
#include <cstdint>
#include <exception>

#include "platform/clock.h"
#include "platform/hid_bus.h"

namespace cvk {

using Report8 = std::array<uint8_t, 8>;

// The one exception the device link raises: a command that could not be
// written after every retry.
class TransferError : public std::exception {
public:
    int code() const { return 42; }
    const char* what() const noexcept override { return "transfer error 42"; }
};

inline constexpr int kReportTimeoutMs = 100;
inline constexpr int kReopenPauseMs = 10;
inline constexpr int kSendAttempts = 5;

class CHidChannel {
public:
    CHidChannel(IHidBus& bus, IClock& clock, uint16_t vendorId, uint16_t productId);
    ~CHidChannel();
    CHidChannel(const CHidChannel&) = delete;
    CHidChannel& operator=(const CHidChannel&) = delete;

    // vendorId 0xFFFF keeps the stored ids: that is how the channel re-opens.
    // Searches every present interface; the last match stays open.
    bool open(uint16_t vendorId, uint16_t productId);
    bool isOpen() const { return handle_ != nullptr; }

    bool writeReport(const Report8& data);
    // False leaves `data` untouched when nothing arrived.
    bool readReport(Report8& data);
    // Up to 5 writes with a re-open and 10 ms pause after each failure, then
    // one last write; throws TransferError when that fails too.
    bool sendWithRetry(const Report8& data);

    void close();
    void closeAll();

    const HidInterfaceInfo& attributes() const { return attributes_; }
    uint16_t vendorId() const { return vendorId_; }
    uint16_t productId() const { return productId_; }

private:
    IHidBus& bus_;
    IClock& clock_;
    HidDevicePtr handle_;
    uint16_t vendorId_ = 0;
    uint16_t productId_ = 0;
    HidInterfaceInfo attributes_;
};

}  // namespace cvk
