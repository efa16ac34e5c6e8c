#pragma once
// The HID bus port: everything the device link needs from the operating
// system's HID stack. Real backend: hidapi (hidraw) plus USB string
// descriptors; test backend: the simulator.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace cvk {

// One enumeration entry: one top-level collection of one interface.
// Several entries may share a path (hidraw exposes one node per interface).
struct HidInterfaceInfo {
    std::string path;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t releaseNumber = 0;  // bcdDevice, the firmware version
    uint16_t usagePage = 0;      // top-level collection
    uint16_t usage = 0;
};

enum class HidOpenError { None, NotFound, PermissionDenied, Other };

// An open device node. Every call is synchronous for the caller.
class IHidDevice {
public:
    virtual ~IHidDevice() = default;
    virtual const HidInterfaceInfo& info() const = 0;

    // Feature reports: byte 0 is the report id; the whole span is the
    // report length passed to the OS call.
    virtual bool setFeature(std::span<const uint8_t> report) = 0;
    // report[0] holds the requested id on entry; filled on success.
    virtual bool getFeature(std::span<uint8_t> report) = 0;

    // Raw bytes of USB string descriptor `index` (without the 2-byte
    // descriptor header), at most maxBytes; nullopt when it cannot be read.
    virtual std::optional<std::vector<uint8_t>> indexedString(int index, std::size_t maxBytes) = 0;

    // Output report including the leading report-id byte. Returns the number
    // of bytes transferred (report-id byte included), or -1 when the write
    // failed or did not complete within timeoutMs. A late completion never
    // touches the caller's buffer.
    virtual int write(std::span<const uint8_t> report, int timeoutMs) = 0;
    // Input report into buf, buf[0] receiving the report id (0 when the
    // interface uses none). Returns the bytes received (report-id byte
    // included) or -1 on failure or when nothing arrived within timeoutMs.
    virtual int read(std::span<uint8_t> buf, int timeoutMs) = 0;
};

using HidDevicePtr = std::shared_ptr<IHidDevice>;

class IHidBus {
public:
    virtual ~IHidBus() = default;
    virtual std::vector<HidInterfaceInfo> enumerate() = 0;
    // Opens the node of one enumeration entry. Null on failure; the reason
    // goes to *error when given.
    virtual HidDevicePtr open(const HidInterfaceInfo& entry, HidOpenError* error = nullptr) = 0;
    // Interfaces may have come or gone (a hotplug event): a bus that keeps
    // its enumeration forgets it.
    virtual void invalidate() {}
};

// Keeps the last enumeration until invalidate(), so the status poll's
// channel search does not walk the system's devices ten times a second. Use
// it only where every arrival and removal reaches invalidate().
class CachingHidBus final : public IHidBus {
public:
    explicit CachingHidBus(IHidBus& inner) : inner_(inner) {}
    std::vector<HidInterfaceInfo> enumerate() override
    {
        if (!cache_)
            cache_ = inner_.enumerate();
        return *cache_;
    }
    HidDevicePtr open(const HidInterfaceInfo& entry, HidOpenError* error = nullptr) override
    {
        HidOpenError reason = HidOpenError::None;
        HidDevicePtr node = inner_.open(entry, &reason);
        // A listed interface that is gone means the list is stale.
        if (!node && reason == HidOpenError::NotFound)
            cache_.reset();
        if (error)
            *error = reason;
        return node;
    }
    void invalidate() override
    {
        cache_.reset();
        inner_.invalidate();
    }

private:
    IHidBus& inner_;
    std::optional<std::vector<HidInterfaceInfo>> cache_;
};

}  // namespace cvk
