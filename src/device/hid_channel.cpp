#include "device/hid_channel.h"

#include <algorithm>

namespace cvk {

namespace {
constexpr uint16_t kVendorPage = 0xFFFF;
constexpr uint16_t kVendorUsage = 1;
constexpr int kFrameSize = 9;  // report id 0 + 8 data bytes
}  // namespace

CHidChannel::CHidChannel(IHidBus& bus, IClock& clock, uint16_t vendorId, uint16_t productId)
    : bus_(bus), clock_(clock)
{
    open(vendorId, productId);
}

CHidChannel::~CHidChannel() { closeAll(); }

bool CHidChannel::open(uint16_t vendorId, uint16_t productId)
{
    if (vendorId != 0xFFFF) {
        vendorId_ = vendorId;
        productId_ = productId;
    }
    // The search does not stop at a match: the last matching interface in
    // enumeration order is the one left open.
    for (const HidInterfaceInfo& entry : bus_.enumerate()) {
        if (entry.vendorId != vendorId_ || entry.productId != productId_)
            continue;
        if (entry.usagePage != kVendorPage || entry.usage != kVendorUsage)
            continue;
        handle_.reset();
        handle_ = bus_.open(entry);
        attributes_ = entry;
    }
    return isOpen();
}

bool CHidChannel::writeReport(const Report8& data)
{
    if (!handle_)
        return false;
    std::array<uint8_t, kFrameSize> frame{};
    std::copy(data.begin(), data.end(), frame.begin() + 1);
    return handle_->write(frame, kReportTimeoutMs) == kFrameSize;
}

bool CHidChannel::readReport(Report8& data)
{
    if (!handle_)
        return false;
    std::array<uint8_t, kFrameSize> frame{};
    const int got = handle_->read(frame, kReportTimeoutMs);
    if (got < 0)
        return false;
    std::copy(frame.begin() + 1, frame.end(), data.begin());
    return got == kFrameSize;
}

bool CHidChannel::sendWithRetry(const Report8& data)
{
    for (int attempt = 0; attempt < kSendAttempts; ++attempt) {
        if (writeReport(data))
            return true;
        close();
        open(0xFFFF, 0);
        clock_.sleepMs(kReopenPauseMs);
    }
    if (writeReport(data))
        return true;
    throw TransferError();
}

void CHidChannel::close() { handle_.reset(); }

void CHidChannel::closeAll() { close(); }

}  // namespace cvk
