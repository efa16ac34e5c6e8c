#include "platform/linux/libusb_control.h"

// libusb.h uses zero-length arrays.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#include <libusb.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <limits>

namespace cvk {

struct LibusbControl::Context {
    libusb_context* ctx = nullptr;
    ~Context()
    {
        if (ctx)
            libusb_exit(ctx);
    }
};

namespace {

UsbError transferError(int r)
{
    switch (r) {
    case LIBUSB_ERROR_PIPE: return UsbError::Stall;
    case LIBUSB_ERROR_NO_DEVICE: return UsbError::Gone;
    case LIBUSB_ERROR_TIMEOUT: return UsbError::Timeout;
    case LIBUSB_ERROR_ACCESS: return UsbError::PermissionDenied;
    default: return UsbError::Other;
    }
}

// While opening, a device that left the bus was simply not found.
UsbError openError(int r)
{
    switch (r) {
    case LIBUSB_ERROR_ACCESS: return UsbError::PermissionDenied;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND: return UsbError::NotFound;
    default: return UsbError::Other;
    }
}

class LibusbDevice final : public IUsbDevice {
public:
    LibusbDevice(std::shared_ptr<LibusbControl::Context> context, libusb_device_handle* handle)
        : context_(std::move(context)), handle_(handle)
    {}
    ~LibusbDevice() override
    {
        libusb_release_interface(handle_, 0);  // fails harmlessly when the device is gone
        libusb_close(handle_);
    }
    LibusbDevice(const LibusbDevice&) = delete;
    LibusbDevice& operator=(const LibusbDevice&) = delete;

    int controlOut(const UsbSetup& setup, std::span<const uint8_t> data, int timeoutMs,
                   UsbError* error) override
    {
        if ((setup.requestType & LIBUSB_ENDPOINT_IN) != 0)
            return failed(UsbError::Other, error);  // an IN request would write into the host's data
        // libusb takes a non-const buffer for both directions; it only reads it here.
        return transfer(setup, const_cast<uint8_t*>(data.data()), data.size(), timeoutMs, error);
    }
    int controlIn(const UsbSetup& setup, std::span<uint8_t> data, int timeoutMs, UsbError* error) override
    {
        if ((setup.requestType & LIBUSB_ENDPOINT_IN) == 0)
            return failed(UsbError::Other, error);
        return transfer(setup, data.data(), data.size(), timeoutMs, error);
    }

private:
    static int failed(UsbError reason, UsbError* error)
    {
        if (error)
            *error = reason;
        return -1;
    }
    int transfer(const UsbSetup& setup, uint8_t* data, size_t size, int timeoutMs, UsbError* error)
    {
        if (size > std::numeric_limits<uint16_t>::max())
            return failed(UsbError::Other, error);
        // libusb waits for ever on 0; the port's calls are always bounded.
        const auto bound = static_cast<unsigned>(std::max(timeoutMs, 1));
        const int r = libusb_control_transfer(handle_, setup.requestType, setup.request, setup.value,
                                              setup.index, data, static_cast<uint16_t>(size), bound);
        if (r < 0)
            return failed(transferError(r), error);
        if (error)
            *error = UsbError::None;
        return r;
    }

    std::shared_ptr<LibusbControl::Context> context_;  // outlives the handle
    libusb_device_handle* handle_;
};

}  // namespace

LibusbControl::LibusbControl()
{
    auto context = std::make_shared<Context>();
    if (libusb_init(&context->ctx) == LIBUSB_SUCCESS)
        context_ = std::move(context);
    else
        context->ctx = nullptr;
}

LibusbControl::~LibusbControl() = default;

std::unique_ptr<IUsbDevice> LibusbControl::open(uint16_t vendorId, uint16_t productId, UsbError* error)
{
    const auto fail = [error](UsbError reason) -> std::unique_ptr<IUsbDevice> {
        if (error)
            *error = reason;
        return nullptr;
    };
    if (!context_)
        return fail(UsbError::Other);

    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context_->ctx, &list);
    if (count < 0)
        return fail(UsbError::Other);
    libusb_device_handle* handle = nullptr;
    int openResult = LIBUSB_ERROR_NOT_FOUND;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(list[i], &desc) != LIBUSB_SUCCESS)
            continue;
        if (desc.idVendor == vendorId && desc.idProduct == productId) {
            openResult = libusb_open(list[i], &handle);  // the first device with these ids
            break;
        }
    }
    libusb_free_device_list(list, 1);  // an open handle keeps its own reference
    if (openResult != LIBUSB_SUCCESS || !handle)
        return fail(openError(openResult));

    const auto give_up = [&](int r) {
        libusb_close(handle);
        return fail(openError(r));
    };
    // Not supported on every platform; then no kernel driver can be in the way.
    libusb_set_auto_detach_kernel_driver(handle, 1);
    int config = 0;
    int r = libusb_get_configuration(handle, &config);
    if (r != LIBUSB_SUCCESS)
        return give_up(r);
    if (config != 1) {
        r = libusb_set_configuration(handle, 1);
        // BUSY: a driver holds an interface; fine when configuration 1 is active.
        if (r == LIBUSB_ERROR_BUSY && libusb_get_configuration(handle, &config) == LIBUSB_SUCCESS &&
            config == 1)
            r = LIBUSB_SUCCESS;
        if (r != LIBUSB_SUCCESS)
            return give_up(r);
    }
    r = libusb_claim_interface(handle, 0);
    if (r != LIBUSB_SUCCESS)
        return give_up(r);
    if (error)
        *error = UsbError::None;
    return std::make_unique<LibusbDevice>(context_, handle);
}

}  // namespace cvk
