// The Linux HID backend: the pure pieces (node names, sysfs numbers, report
// and string descriptors, open errors), the bounded write with a fake blocking writer,
// and the real bus on a machine without devices.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "platform/linux/bounded_io.h"
#include "platform/linux/hidapi_bus.h"
#include "platform/linux/hidraw_util.h"
#include "platform/linux/system_hid_bus.h"

namespace cvk::hidraw {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(HidapiUtil, HidrawSysnameAcceptsOnlyHidrawNodes)
{
    struct Case {
        const char* path;
        const char* sysname;
    };
    const Case cases[] = {
        {"/dev/hidraw3", "hidraw3"}, {"/dev/hidraw12", "hidraw12"},
        {"hidraw0", "hidraw0"},      {"/dev/hidraw", ""},
        {"/dev/hidraw3/", ""},       {"/dev/hidrawx", ""},
        {"/dev/hidraw1a", ""},       {"/dev/usb/hiddev0", ""},
        {"1-1.2:1.0", ""},           {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hidrawSysname(c.path), c.sysname) << c.path;
}

TEST(HidapiUtil, SysattrNumbersMustBeWholeAndInRange)
{
    struct Case {
        const char* text;
        int max;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"3", 255, 3},     {"3\n", 255, 3},          {"255", 255, 255},
        {"127", 127, 127}, {"128", 127, {}},         {"0", 255, {}},
        {"", 255, {}},     {"\n", 255, {}},          {"-1", 255, {}},
        {"1x", 255, {}},   {"99999999999", 255, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseSysattrNumber(c.text, c.max), c.expected) << '"' << c.text << '"';
    EXPECT_EQ(parseSysattrNumber(nullptr, 255), std::nullopt);
}

TEST(HidapiUtil, StringPayloadIsWhatArrivedAfterTheHeader)
{
    EXPECT_EQ(stringDescriptorPayload(Bytes{}, 256), std::nullopt);
    EXPECT_EQ(stringDescriptorPayload(Bytes{0x02}, 256), std::nullopt);
    EXPECT_EQ(stringDescriptorPayload(Bytes{0x02, 0x03}, 256), Bytes{});

    const Bytes text{0x06, 0x03, 'S', 0, 'W', 0};
    EXPECT_EQ(stringDescriptorPayload(text, 256), (Bytes{'S', 0, 'W', 0}));
    EXPECT_EQ(stringDescriptorPayload(text, 3), (Bytes{'S', 0, 'W'}));
    EXPECT_EQ(stringDescriptorPayload(text, 0), Bytes{});

    // A 256-byte block: bLength (one byte) cannot say 258, the transfer can.
    Bytes block(258);
    block[0] = 0x02;
    block[1] = 0x03;
    for (std::size_t i = 2; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i - 2);
    const auto payload = stringDescriptorPayload(block, 256);
    ASSERT_TRUE(payload);
    ASSERT_EQ(payload->size(), 256u);
    EXPECT_EQ(payload->front(), 0x00);
    EXPECT_EQ(payload->back(), 0xFF);
}

TEST(HidapiUtil, FirstLangIdFallsBackToUsEnglish)
{
    EXPECT_EQ(firstLangId(Bytes{0x04, 0x03, 0x07, 0x04}), 0x0407);
    EXPECT_EQ(firstLangId(Bytes{0x06, 0x03, 0x1D, 0x04, 0x09, 0x04}), 0x041D);
    EXPECT_EQ(firstLangId(Bytes{}), 0x0409);
    EXPECT_EQ(firstLangId(Bytes{0x02, 0x03}), 0x0409);
    EXPECT_EQ(firstLangId(Bytes{0x02, 0x03, 0x07, 0x04}), 0x0409);  // bLength says: no ids
    EXPECT_EQ(firstLangId(Bytes{0x04, 0x03, 0x00, 0x00}), 0x0409);
}

TEST(HidapiUtil, OpenErrnoClassification)
{
    struct Case {
        int err;
        HidOpenError expected;
    };
    const Case cases[] = {
        {EACCES, HidOpenError::PermissionDenied},
        {EPERM, HidOpenError::PermissionDenied},
        {ENOENT, HidOpenError::NotFound},
        {ENODEV, HidOpenError::NotFound},
        {ENXIO, HidOpenError::NotFound},
        {EBUSY, HidOpenError::Other},
        {EINVAL, HidOpenError::Other},
        {0, HidOpenError::Other},
    };
    for (const auto& c : cases)
        EXPECT_EQ(classifyOpenErrno(c.err), c.expected) << c.err;
}

// Report descriptors as devices send them.
const Bytes kMouse{
    0x05, 0x01, 0x09, 0x02, 0xA1, 0x01,              // Generic Desktop, Mouse, Application
    0x09, 0x01, 0xA1, 0x00,                          //   Pointer, Physical (nested)
    0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00,  //     buttons 1..3
    0x25, 0x01, 0x95, 0x03, 0x75, 0x01, 0x81, 0x02,  //
    0xC0, 0xC0,
};
const Bytes kVendor{
    0x06, 0xFF, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // vendor page 0xFFFF, usage 1
    0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x08,
    0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0xC0,
};
const Bytes kReceiver{
    0x06, 0x01, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // vendor page 0xFF01
    0x85, 0x04, 0x09, 0x01, 0x95, 0x07, 0xB1, 0x02, 0xC0,
};

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST(HidapiUtil, TopLevelCollectionsOfReportDescriptors)
{
    struct Case {
        const char* name;
        Bytes descriptor;
        std::vector<UsagePair> expected;
    };
    const Case cases[] = {
        {"mouse, nested pointer not listed", kMouse, {{0x01, 0x02}}},
        {"vendor collection", kVendor, {{0xFFFF, 0x01}}},
        {"composite in order",
         concat({kMouse, kVendor, kReceiver}),
         {{0x01, 0x02}, {0xFFFF, 0x01}, {0xFF01, 0x01}}},
        {"page in effect at the collection", {0x09, 0x02, 0x05, 0x01, 0xA1, 0x01, 0xC0}, {{0x01, 0x02}}},
        {"4-byte usage names its page",
         {0x05, 0x01, 0x0B, 0x01, 0x00, 0x0C, 0x00, 0xA1, 0x01, 0xC0},
         {{0x0C, 0x01}}},
        {"pop restores the page",
         {0x05, 0x01, 0xA4, 0x06, 0x00, 0xFF, 0xB4, 0x09, 0x06, 0xA1, 0x01, 0xC0},
         {{0x01, 0x06}}},
        {"long item skipped", concat({{0xFE, 0x02, 0x10, 0xAA, 0xBB}, kMouse}), {{0x01, 0x02}}},
        {"main item ends the usage", {0x05, 0x01, 0x09, 0x02, 0x81, 0x02, 0xA1, 0x01, 0xC0}, {{0x01, 0x00}}},
        {"first usage names the collection",
         {0x05, 0x01, 0x09, 0x02, 0x09, 0x01, 0xA1, 0x01, 0xC0},
         {{0x01, 0x02}}},
        {"truncated tail keeps what came before", concat({kVendor, {0x06, 0x00}}), {{0xFFFF, 0x01}}},
        {"truncated inside the first collection", {0x06, 0xFF, 0xFF, 0x09, 0x01, 0xA1}, {}},
        {"empty", {}, {}},
    };
    for (const auto& c : cases) {
        const auto got = topLevelCollections(c.descriptor);
        ASSERT_EQ(got.size(), c.expected.size()) << c.name;
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].usagePage, c.expected[i].usagePage) << c.name << " #" << i;
            EXPECT_EQ(got[i].usage, c.expected[i].usage) << c.name << " #" << i;
        }
    }
}

TEST(HidapiUtil, OneEntryPerTopLevelCollectionOfEachNode)
{
    auto entry = [](const char* path, uint16_t page, uint16_t usage) {
        HidInterfaceInfo e;
        e.path = path;
        e.vendorId = 0x3A7C;
        e.productId = 8;
        e.releaseNumber = 0x1205;
        e.usagePage = page;
        e.usage = usage;
        return e;
    };
    // What hidapi 0.13 lists: nested collections, nothing useful for a node
    // it could not open, duplicates.
    const std::vector<HidInterfaceInfo> raw{
        entry("/dev/hidraw1", 0x01, 0x02),   entry("/dev/hidraw1", 0x01, 0x01),
        entry("/dev/hidraw2", 0x00, 0x00),   entry("/dev/hidraw3", 0xFFFF, 0x01),
        entry("/dev/hidraw3", 0xFFFF, 0x01), entry("/dev/hidraw3", 0x01, 0x02),
    };
    const DescriptorReader reader = [&](const std::string& path) -> std::optional<Bytes> {
        if (path == "/dev/hidraw1")
            return kMouse;
        if (path == "/dev/hidraw2")
            return concat({kVendor, kMouse});
        return std::nullopt;
    };
    const auto got = entriesPerCollection(raw, reader);
    const std::vector<std::tuple<std::string, uint16_t, uint16_t>> expected{
        {"/dev/hidraw1", 0x01, 0x02},   {"/dev/hidraw2", 0xFFFF, 0x01}, {"/dev/hidraw2", 0x01, 0x02},
        {"/dev/hidraw3", 0xFFFF, 0x01}, {"/dev/hidraw3", 0x01, 0x02},
    };
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(std::tie(got[i].path, got[i].usagePage, got[i].usage), expected[i]) << i;
        EXPECT_EQ(got[i].vendorId, 0x3A7C);
        EXPECT_EQ(got[i].productId, 8);
        EXPECT_EQ(got[i].releaseNumber, 0x1205);
    }
}

// A writer that blocks until the test lets it go, like a hidraw write that
// the kernel holds for seconds. It records what it wrote only when it ends,
// so a worker writing from the caller's (meanwhile reused) buffer shows.
struct WriterControl {
    std::mutex mutex;
    std::condition_variable changed;
    bool blocking = true;
    int calls = 0;
    int active = 0;
    int maxActive = 0;
    bool closed = false;
    bool throwNext = false;
    std::vector<Bytes> written;
};

class FakeNode {
public:
    explicit FakeNode(std::shared_ptr<WriterControl> c) : c_(std::move(c)) {}
    ~FakeNode()
    {
        std::lock_guard guard(c_->mutex);
        c_->closed = true;
        c_->changed.notify_all();
    }
    FakeNode(const FakeNode&) = delete;
    FakeNode& operator=(const FakeNode&) = delete;

    int write(std::span<const uint8_t> data)
    {
        std::unique_lock lock(c_->mutex);
        ++c_->calls;
        c_->maxActive = std::max(c_->maxActive, ++c_->active);
        if (c_->throwNext) {
            c_->throwNext = false;
            --c_->active;
            throw std::runtime_error("writer failed");
        }
        c_->changed.wait_for(lock, std::chrono::seconds(10), [&] { return !c_->blocking; });
        c_->written.emplace_back(data.begin(), data.end());
        --c_->active;
        c_->changed.notify_all();
        return static_cast<int>(data.size());
    }

private:
    std::shared_ptr<WriterControl> c_;
};

class HidapiBoundedIo : public ::testing::Test {
protected:
    void SetUp() override
    {
        io = std::make_unique<BoundedIo>([node = std::make_shared<FakeNode>(control)](
                                             std::span<const uint8_t> d) { return node->write(d); });
    }

    void TearDown() override
    {
        unblock();
        io.reset();
        EXPECT_TRUE(waitUntil([&] { return control->closed; }));
    }

    void setBlocking(bool on)
    {
        std::lock_guard guard(control->mutex);
        control->blocking = on;
        control->changed.notify_all();
    }
    void unblock() { setBlocking(false); }

    template <class Pred>
    bool waitUntil(Pred pred)
    {
        std::unique_lock lock(control->mutex);
        return control->changed.wait_for(lock, std::chrono::seconds(10), pred);
    }

    int calls()
    {
        std::lock_guard guard(control->mutex);
        return control->calls;
    }

    std::shared_ptr<WriterControl> control = std::make_shared<WriterControl>();
    std::unique_ptr<BoundedIo> io;
    const Bytes report{0x00, 0x82, 0x0E, 0x1C, 0x39, 0x20, 0x07, 0x00, 0x00};
};

TEST_F(HidapiBoundedIo, CompletedWriteReturnsTheWritersCount)
{
    unblock();
    EXPECT_EQ(io->write(report, 5000), 9);
    ASSERT_EQ(control->written.size(), 1u);
    EXPECT_EQ(control->written[0], report);
}

TEST_F(HidapiBoundedIo, LateCompletionWritesItsOwnCopy)
{
    auto caller = std::make_unique<Bytes>(report);
    EXPECT_EQ(io->write(*caller, 10), -1);
    // The caller reuses and then frees its buffer while the write still hangs.
    std::fill(caller->begin(), caller->end(), uint8_t{0xEE});
    caller.reset();
    unblock();
    ASSERT_TRUE(waitUntil([&] { return control->written.size() == 1; }));
    EXPECT_EQ(control->written[0], report);
}

TEST_F(HidapiBoundedIo, NothingStartsWhileAWriteIsPending)
{
    EXPECT_EQ(io->write(report, 10), -1);
    EXPECT_TRUE(io->busy());

    EXPECT_EQ(io->write(report, 10), -1);
    bool ran = false;
    EXPECT_FALSE(io->exclusive(10, [&](int) { ran = true; }));
    EXPECT_FALSE(ran);
    EXPECT_EQ(calls(), 1);

    unblock();
    ASSERT_TRUE(waitUntil([&] { return control->active == 0; }));
    EXPECT_EQ(io->write(report, 5000), 9);
    EXPECT_TRUE(io->exclusive(5000, [&](int) { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_EQ(control->maxActive, 1);
}

TEST_F(HidapiBoundedIo, NextRequestWaitsForAPendingWriteWithinItsBound)
{
    EXPECT_EQ(io->write(report, 10), -1);
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        unblock();
    });
    EXPECT_EQ(io->write(report, 10000), 9);
    releaser.join();
    EXPECT_EQ(calls(), 2);
    EXPECT_EQ(control->maxActive, 1);
    EXPECT_EQ(control->written.size(), 2u);
}

TEST_F(HidapiBoundedIo, ExclusiveGetsTheTimeLeftOfItsBound)
{
    unblock();
    int left = -1;
    EXPECT_TRUE(io->exclusive(200, [&](int remainingMs) { left = remainingMs; }));
    EXPECT_GE(left, 0);
    EXPECT_LE(left, 200);
    EXPECT_TRUE(io->exclusive(-5, [&](int remainingMs) { left = remainingMs; }));
    EXPECT_EQ(left, 0);
    EXPECT_FALSE(io->busy());
}

TEST_F(HidapiBoundedIo, ThrowingWriterFailsOnlyThatWrite)
{
    {
        std::lock_guard guard(control->mutex);
        control->throwNext = true;
    }
    EXPECT_EQ(io->write(report, 5000), -1);
    unblock();
    EXPECT_EQ(io->write(report, 5000), 9);
}

TEST_F(HidapiBoundedIo, NodeOutlivesItsOwnerUntilThePendingWriteEnds)
{
    EXPECT_EQ(io->write(report, 10), -1);
    io.reset();
    {
        std::lock_guard guard(control->mutex);
        EXPECT_FALSE(control->closed);
        EXPECT_EQ(control->active, 1);
    }
    unblock();
    EXPECT_TRUE(waitUntil([&] { return control->closed; }));
    EXPECT_EQ(control->written.size(), 1u);
}

// The real bus on this machine: there may be no HID devices at all, and no
// path below is a hidraw node.
class HidapiRealBus : public ::testing::Test {
protected:
    std::unique_ptr<IHidBus> bus = makeSystemHidBus();
};

TEST_F(HidapiRealBus, EnumeratesWithoutFailing)
{
    ASSERT_TRUE(bus);
    for (const auto& entry : bus->enumerate())
        EXPECT_FALSE(entry.path.empty());
}

TEST_F(HidapiRealBus, OpenFailuresAreClassified)
{
    char tmpl[] = "/tmp/cvk-hidraw-XXXXXX";
    const int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::string regularFile = tmpl;
    struct Case {
        const char* path;
        HidOpenError expected;
    };
    const Case cases[] = {
        {"", HidOpenError::NotFound},
        {"/dev/hidraw-gone-since-enumeration", HidOpenError::NotFound},
        {"/nonexistent-dir/hidraw0", HidOpenError::NotFound},
        {regularFile.c_str(), HidOpenError::Other},  // present, but no device node
    };
    for (const auto& c : cases) {
        HidInterfaceInfo entry;
        entry.path = c.path;
        HidOpenError error = HidOpenError::None;
        EXPECT_EQ(bus->open(entry, &error), nullptr) << c.path;
        EXPECT_EQ(error, c.expected) << c.path;
        EXPECT_EQ(bus->open(entry), nullptr) << c.path;
    }
    std::remove(regularFile.c_str());
}

TEST_F(HidapiRealBus, UnreadableNodeIsPermissionDenied)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "root may open any file";
    char path[] = "/tmp/cvk-hidraw-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_EQ(chmod(path, 0), 0);
    HidInterfaceInfo entry;
    entry.path = path;
    HidOpenError error = HidOpenError::None;
    EXPECT_EQ(bus->open(entry, &error), nullptr);
    EXPECT_EQ(error, HidOpenError::PermissionDenied);
    std::remove(path);
}

TEST(HidapiBusLifetime, SeveralBusesComeAndGo)
{
    auto first = makeSystemHidBus();
    {
        auto second = makeSystemHidBus();
        ASSERT_TRUE(second);
        second->enumerate();
    }
    ASSERT_TRUE(first);
    const auto again = first->enumerate();
    EXPECT_EQ(again.size(), first->enumerate().size());
}

}  // namespace
}  // namespace cvk::hidraw
