#include "platform/linux/hidapi_bus.h"

#include <hidapi/hidapi.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <mutex>

#include "platform/linux/bounded_io.h"
#include "platform/linux/hidraw_util.h"
#include "platform/linux/system_hid_bus.h"
#include "platform/linux/usb_strings.h"

namespace cvk {

namespace {

// Feature requests carry no bound of their own; this is how long they wait
// for a write that outlived its caller before giving up.
constexpr int kFeatureWaitMs = 1000;

// hid_init/hid_exit are process-wide: count the holders so hid_exit runs
// only after the last bus and the last open node are gone.
std::shared_ptr<void> acquireHidapi()
{
    static std::mutex mutex;
    static int users = 0;
    std::lock_guard guard(mutex);
    if (users == 0 && hid_init() != 0)
        return nullptr;
    ++users;
    return std::shared_ptr<void>(static_cast<void*>(&users), [](void*) {
        std::lock_guard inner(mutex);
        if (--users == 0)
            hid_exit();
    });
}

// One hid_device, closed by its last holder (possibly a write worker).
struct OpenNode {
    OpenNode(hid_device* d, std::shared_ptr<void> lib) : dev(d), hidapi(std::move(lib)) {}
    ~OpenNode() { hid_close(dev); }
    OpenNode(const OpenNode&) = delete;
    OpenNode& operator=(const OpenNode&) = delete;

    hid_device* const dev;
    const std::shared_ptr<void> hidapi;  // released after hid_close
};

class HidapiDevice final : public IHidDevice {
public:
    HidapiDevice(HidInterfaceInfo info, std::shared_ptr<OpenNode> node,
                 std::shared_ptr<hidraw::UsbStringReader> usb)
        : info_(std::move(info)),
          node_(node),
          usb_(std::move(usb)),
          io_([node](std::span<const uint8_t> report) {
              return hid_write(node->dev, report.data(), report.size());
          })
    {}

    const HidInterfaceInfo& info() const override { return info_; }

    bool setFeature(std::span<const uint8_t> report) override
    {
        if (report.empty())
            return false;
        int n = -1;
        io_.exclusive(kFeatureWaitMs,
                      [&](int) { n = hid_send_feature_report(node_->dev, report.data(), report.size()); });
        return n >= 0;
    }

    // Reads into a buffer of its own so that only what arrived reaches the
    // caller; an answer without even the report id counts as failure.
    bool getFeature(std::span<uint8_t> report) override
    {
        if (report.empty())
            return false;
        try {
            std::vector<uint8_t> buf(report.begin(), report.end());
            int n = -1;
            io_.exclusive(kFeatureWaitMs,
                          [&](int) { n = hid_get_feature_report(node_->dev, buf.data(), buf.size()); });
            if (n <= 0)
                return false;
            std::copy_n(buf.begin(), std::min(static_cast<std::size_t>(n), buf.size()), report.begin());
            return true;
        } catch (...) {
            return false;
        }
    }

    std::optional<std::vector<uint8_t>> indexedString(int index, std::size_t maxBytes) override
    {
        if (index < 0 || index > 255 || !usb_)
            return std::nullopt;
        try {
            const auto where = hidraw::usbLocationOfHidraw(info_.path);
            if (!where)
                return std::nullopt;
            return usb_->read(*where, static_cast<uint8_t>(index), maxBytes);
        } catch (...) {
            return std::nullopt;
        }
    }

    int write(std::span<const uint8_t> report, int timeoutMs) override
    {
        if (report.empty())
            return -1;
        return io_.write(report, timeoutMs);
    }

    // hid_read_timeout blocks forever on a negative timeout; never pass one.
    int read(std::span<uint8_t> buf, int timeoutMs) override
    {
        if (buf.size() < 2)
            return -1;
        int n = -1;
        io_.exclusive(std::max(timeoutMs, 0), [&](int remainingMs) {
            n = hid_read_timeout(node_->dev, buf.data() + 1, buf.size() - 1, remainingMs);
        });
        if (n <= 0)
            return -1;
        buf[0] = 0;
        return n + 1;
    }

private:
    const HidInterfaceInfo info_;
    const std::shared_ptr<OpenNode> node_;
    const std::shared_ptr<hidraw::UsbStringReader> usb_;
    // Writes run on its worker threads (see bounded_io.h), each holding its
    // own share of the node, so the node closes only after the last one ends.
    hidraw::BoundedIo io_;
};

// hid_open_path does not promise to keep open()'s errno, so ask the file
// system again (the node may have vanished meanwhile); when it is still
// accessible, the saved errno tells the rest.
HidOpenError openFailure(const std::string& path, int savedErrno)
{
    if (access(path.c_str(), R_OK | W_OK) != 0)
        return hidraw::classifyOpenErrno(errno);
    const HidOpenError saved = hidraw::classifyOpenErrno(savedErrno);
    return saved == HidOpenError::NotFound ? HidOpenError::Other : saved;
}

// The kernel's copy of a node's report descriptor; no access to the node
// itself is needed.
std::optional<std::vector<uint8_t>> readReportDescriptor(const std::string& path)
{
    constexpr std::size_t kMaxDescriptor = 4096;  // HID_MAX_DESCRIPTOR_SIZE
    const std::string sysname = hidraw::hidrawSysname(path);
    if (sysname.empty())
        return std::nullopt;
    std::ifstream in("/sys/class/hidraw/" + sysname + "/device/report_descriptor", std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<uint8_t> bytes(kMaxDescriptor);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.empty())
        return std::nullopt;
    return bytes;
}

}  // namespace

HidapiBus::HidapiBus() : hidapi_(acquireHidapi())
{
    try {
        usb_ = std::make_shared<hidraw::UsbStringReader>();
    } catch (...) {}
}

HidapiBus::~HidapiBus() = default;

std::vector<HidInterfaceInfo> HidapiBus::enumerate()
{
    std::vector<HidInterfaceInfo> result;
    if (!hidapi_)
        return result;
    hid_device_info* list = hid_enumerate(0, 0);
    try {
        for (const hid_device_info* p = list; p; p = p->next) {
            if (!p->path)
                continue;
            HidInterfaceInfo info;
            info.path = p->path;
            info.vendorId = p->vendor_id;
            info.productId = p->product_id;
            info.releaseNumber = p->release_number;
            info.usagePage = p->usage_page;
            info.usage = p->usage;
            result.push_back(std::move(info));
        }
    } catch (...) {
        result.clear();
    }
    hid_free_enumeration(list);
    try {
        return hidraw::entriesPerCollection(result, readReportDescriptor);
    } catch (...) {
        return {};
    }
}

HidDevicePtr HidapiBus::open(const HidInterfaceInfo& entry, HidOpenError* error)
{
    auto fail = [error](HidOpenError why) -> HidDevicePtr {
        if (error)
            *error = why;
        return nullptr;
    };
    if (!hidapi_)
        return fail(HidOpenError::Other);
    if (entry.path.empty())
        return fail(HidOpenError::NotFound);

    const char* path = entry.path.c_str();
    if (access(path, R_OK | W_OK) != 0)
        return fail(hidraw::classifyOpenErrno(errno));
    // hidapi 0.13 leaks its handle when the node turns out not to be a
    // hidraw device; what is not even a character device cannot be one.
    struct stat st {};
    if (stat(path, &st) != 0)
        return fail(hidraw::classifyOpenErrno(errno));
    if (!S_ISCHR(st.st_mode))
        return fail(HidOpenError::Other);

    errno = 0;
    hid_device* dev = hid_open_path(path);
    if (!dev)
        return fail(openFailure(entry.path, errno));

    std::shared_ptr<OpenNode> node;
    try {
        node = std::make_shared<OpenNode>(dev, hidapi_);
    } catch (...) {
        hid_close(dev);
        return fail(HidOpenError::Other);
    }
    try {
        auto device = std::make_shared<HidapiDevice>(entry, std::move(node), usb_);
        if (error)
            *error = HidOpenError::None;
        return device;
    } catch (...) {
        return fail(HidOpenError::Other);
    }
}

std::unique_ptr<IHidBus> makeSystemHidBus()
{
    try {
        return std::make_unique<HidapiBus>();
    } catch (...) {
        return nullptr;
    }
}

}  // namespace cvk
