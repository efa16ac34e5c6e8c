#include "platform/linux/usb_strings.h"

#include <libudev.h>
// libusb.h uses zero-length arrays.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#include <libusb.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <memory>

#include "platform/linux/hidraw_util.h"

namespace cvk::hidraw {

namespace {

constexpr unsigned kStringTimeoutMs = 500;
constexpr std::size_t kMaxControlPayload = 0xFFFF - 2;

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};

struct UsbListDeleter {
    void operator()(libusb_device** list) const { libusb_free_device_list(list, 1); }
};

struct UsbHandleDeleter {
    void operator()(libusb_device_handle* h) const { libusb_close(h); }
};

// GET_DESCRIPTOR(string); the bytes that arrived, header included. Not
// libusb_get_string_descriptor: its timeout is fixed at a second.
std::optional<std::vector<uint8_t>> getStringDescriptor(libusb_device_handle* handle, uint8_t index,
                                                        uint16_t langId, std::size_t length)
{
    std::vector<uint8_t> buf(length);
    const int n = libusb_control_transfer(handle, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                                          static_cast<uint16_t>((LIBUSB_DT_STRING << 8) | index), langId,
                                          buf.data(), static_cast<uint16_t>(length), kStringTimeoutMs);
    if (n < 0)
        return std::nullopt;
    buf.resize(std::min(static_cast<std::size_t>(n), length));
    return buf;
}

}  // namespace

std::optional<UsbLocation> usbLocationOfHidraw(const std::string& path)
{
    const std::string sysname = hidrawSysname(path);
    if (sysname.empty())
        return std::nullopt;
    std::unique_ptr<udev, UdevDeleter> u(udev_new());
    if (!u)
        return std::nullopt;
    std::unique_ptr<udev_device, UdevDeleter> node(
        udev_device_new_from_subsystem_sysname(u.get(), "hidraw", sysname.c_str()));
    if (!node)
        return std::nullopt;
    // Owned by node.
    udev_device* usb = udev_device_get_parent_with_subsystem_devtype(node.get(), "usb", "usb_device");
    if (!usb)
        return std::nullopt;
    const auto bus = parseSysattrNumber(udev_device_get_sysattr_value(usb, "busnum"), 255);
    const auto address = parseSysattrNumber(udev_device_get_sysattr_value(usb, "devnum"), 127);
    if (!bus || !address)
        return std::nullopt;
    return UsbLocation{static_cast<uint8_t>(*bus), static_cast<uint8_t>(*address)};
}

UsbStringReader::~UsbStringReader()
{
    if (context_)
        libusb_exit(context_);
}

libusb_context* UsbStringReader::context()
{
    std::lock_guard guard(mutex_);
    if (!initTried_) {
        initTried_ = true;
        if (libusb_init(&context_) != 0)
            context_ = nullptr;
    }
    return context_;
}

std::optional<std::vector<uint8_t>> UsbStringReader::read(UsbLocation where, uint8_t index,
                                                          std::size_t maxBytes)
{
    try {
        libusb_context* ctx = context();
        if (!ctx)
            return std::nullopt;

        libusb_device** rawList = nullptr;
        const ssize_t count = libusb_get_device_list(ctx, &rawList);
        if (count < 0)
            return std::nullopt;
        std::unique_ptr<libusb_device*, UsbListDeleter> list(rawList);
        libusb_device* device = nullptr;
        for (ssize_t i = 0; i < count; ++i) {
            if (libusb_get_bus_number(rawList[i]) == where.bus &&
                libusb_get_device_address(rawList[i]) == where.address) {
                device = rawList[i];
                break;
            }
        }
        if (!device)
            return std::nullopt;

        libusb_device_handle* rawHandle = nullptr;
        if (libusb_open(device, &rawHandle) != 0)
            return std::nullopt;
        std::unique_ptr<libusb_device_handle, UsbHandleDeleter> handle(rawHandle);

        uint16_t langId = firstLangId({});
        if (index != 0) {
            if (const auto langs = getStringDescriptor(handle.get(), 0, 0, 255))
                langId = firstLangId(*langs);
        }
        // Ask for the whole payload plus header: devices that hand out
        // 256-byte blocks as strings send more than bLength can say.
        const std::size_t want = std::min(maxBytes, kMaxControlPayload) + 2;
        const auto raw = getStringDescriptor(handle.get(), index, index == 0 ? 0 : langId, want);
        if (!raw)
            return std::nullopt;
        return stringDescriptorPayload(*raw, maxBytes);
    } catch (...) {
        return std::nullopt;
    }
}

}  // namespace cvk::hidraw
