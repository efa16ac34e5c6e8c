// The simulated AT90USB162 bootloader, driven with raw DFU control transfers
// through the USB control-transfer port on a virtual clock.

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/usb_control.h"
#include "sim/bootloader.h"

namespace cvk::sim {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kBound = 1000;  // ms, every transfer's time-out here
constexpr uint8_t kNoUpload = 0xFF;

uint8_t hi(int v) { return static_cast<uint8_t>(v >> 8); }
uint8_t lo(int v) { return static_cast<uint8_t>(v & 0xFF); }

// A program block: header padded to 32, (start mod 32) filler bytes unless
// told otherwise, the data, the DFU suffix (last byte: the unchecked CRC).
Bytes programBlock(int start, const Bytes& data, std::optional<size_t> filler = std::nullopt, uint8_t crc = 0)
{
    const int end = start + static_cast<int>(data.size()) - 1;
    Bytes b = {0x01, 0x00, hi(start), lo(start), hi(end), lo(end)};
    b.resize(32, 0x00);
    b.insert(b.end(), filler.value_or(static_cast<size_t>(start % 32)), 0xAA);
    b.insert(b.end(), data.begin(), data.end());
    const Bytes suffix = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x01, 'U', 'F', 'D', 0x10, 0, 0, 0, crc};
    b.insert(b.end(), suffix.begin(), suffix.end());
    return b;
}

Bytes counting(size_t n, uint8_t from = 0)
{
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(from + i);
    return b;
}

// One host with one open handle on a fresh simulated bootloader.
struct Host {
    explicit Host(SimBootloaderConfig config = {}) : boot(clock, std::move(config))
    {
        dev = boot.open(kSimBootloaderVendorId, kSimBootloaderProductId, &openError);
    }
    explicit Host(const std::string& setup) : Host(parseSimBootloaderSetup(setup)) {}

    // The result of the transfer: UsbError::None when it went through.
    UsbError out(uint8_t request, const Bytes& data = {}, uint16_t index = 0)
    {
        UsbError e = UsbError::Other;
        const int n = dev->controlOut({dfu::kOut, request, 0, index}, data, kBound, &e);
        EXPECT_EQ(n < 0, e != UsbError::None);
        return e;
    }
    UsbError dnload(const Bytes& data) { return out(dfu::kDnload, data); }
    std::optional<Bytes> in(uint8_t request, size_t length, UsbError* error = nullptr)
    {
        Bytes buf(length, 0xEE);
        UsbError e = UsbError::Other;
        const int n = dev->controlIn({dfu::kIn, request, 0, 0}, buf, kBound, &e);
        if (error)
            *error = e;
        if (n < 0)
            return std::nullopt;
        buf.resize(static_cast<size_t>(n));
        return buf;
    }
    Bytes status() { return in(dfu::kGetStatus, 6).value_or(Bytes{}); }
    std::optional<Bytes> upload(size_t length) { return in(dfu::kUpload, length); }
    // Chip erase with every busy answer polled away; leaves dfuIDLE.
    void erase()
    {
        ASSERT_EQ(dnload({0x04, 0x00, 0xFF}), UsbError::None);
        for (int i = 0; i <= boot.config().busyPolls; ++i)
            status();
        ASSERT_EQ(out(dfu::kAbort), UsbError::None);
        ASSERT_EQ(boot.state(), dfu::kIdle);
    }
    // bStatus and bState of the next GETSTATUS.
    std::pair<uint8_t, uint8_t> statusState()
    {
        const Bytes s = status();
        EXPECT_EQ(s.size(), 6u);
        return s.size() == 6 ? std::pair{s[0], s[4]} : std::pair<uint8_t, uint8_t>{0xEE, 0xEE};
    }
    std::optional<Bytes> read(int start, int end)
    {
        if (dnload({0x03, 0x00, hi(start), lo(start), hi(end), lo(end)}) != UsbError::None)
            return std::nullopt;
        return upload(static_cast<size_t>(end - start + 1));
    }

    VirtualClock clock;
    SimBootloader boot;
    UsbError openError = UsbError::Other;
    std::unique_ptr<IUsbDevice> dev;
};

// --- requests and answers ---

TEST(SimBootloaderRequests, CommandTable)
{
    struct Row {
        Bytes command;
        UsbError transfer;  // of the DNLOAD
        uint8_t status, state;
        uint8_t uploadLength = kNoUpload;
        Bytes upload = {};
    };
    const uint8_t ok = dfu::kOk, idle = dfu::kDnloadIdle, err = dfu::kError;
    const std::vector<Row> rows = {
        {{0x05, 0x00, 0x00}, UsbError::None, ok, idle, 1, {0x20}},
        {{0x05, 0x00, 0x01}, UsbError::None, ok, idle, 1, {kSimBootId1}},
        {{0x05, 0x00, 0x02}, UsbError::None, ok, idle, 1, {kSimBootId2}},
        {{0x05, 0x01, 0x30}, UsbError::None, ok, idle, 1, {0x1E}},
        {{0x05, 0x01, 0x31}, UsbError::None, ok, idle, 1, {0x94}},
        {{0x05, 0x01, 0x60}, UsbError::None, ok, idle, 1, {0x82}},
        {{0x05, 0x01, 0x61}, UsbError::None, ok, idle, 1, {kSimRevision}},
        {{0x06, 0x03, 0x00, 0x00}, UsbError::None, ok, idle},
        {{0x06, 0x03, 0x00, 0x01}, UsbError::None, dfu::kErrAddress, err},
        // read blocks: the default pattern, the bootloader area readable too
        {{0x03, 0x00, 0x00, 0x00, 0x00, 0x03}, UsbError::None, ok, idle, 4, {0x0C, 0x13, 0x1A, 0x21}},
        {{0x03, 0x00, 0x2F, 0xFF, 0x30, 0x00},
         UsbError::None,
         ok,
         idle,
         2,
         {simBootloaderByte(0x2FFF), simBootloaderByte(0x3000)}},
        {{0x03, 0x00, 0x00, 0x00, 0x04, 0x00}, UsbError::None, dfu::kErrAddress, err},  // 0x401 bytes
        {{0x03, 0x00, 0x00, 0x10, 0x00, 0x0F}, UsbError::None, dfu::kErrAddress, err},  // end < start
        {{0x03, 0x00, 0x3F, 0xFF, 0x40, 0x00}, UsbError::None, dfu::kErrAddress, err},  // past the flash
        // blank check: the pattern is not blank at 0x0000
        {{0x03, 0x01, 0x00, 0x00, 0x2F, 0xFF}, UsbError::None, dfu::kErrCheckErased, err, 2, {0x00, 0x00}},
        {{0x04, 0x03, 0x00}, UsbError::None, ok, idle},
        // malformed or unknown commands stall
        {{0x07, 0x00}, UsbError::Stall, dfu::kErrStalledPkt, err},
        {{0x05, 0x02, 0x00}, UsbError::Stall, dfu::kErrStalledPkt, err},
        {{0x05, 0x00, 0x00, 0x00}, UsbError::Stall, dfu::kErrStalledPkt, err},
        {{0x04, 0x00, 0xFE}, UsbError::Stall, dfu::kErrStalledPkt, err},
        {{0x03, 0x00, 0x00, 0x00}, UsbError::Stall, dfu::kErrStalledPkt, err},
        {{0x06, 0x00, 0x00, 0x00}, UsbError::Stall, dfu::kErrStalledPkt, err},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.command));
        Host h("secure=0");
        EXPECT_EQ(h.dnload(row.command), row.transfer);
        EXPECT_EQ(h.status(), (Bytes{row.status, 0, 0, 0, row.state, 0}));
        if (row.uploadLength != kNoUpload) {
            EXPECT_EQ(h.upload(row.uploadLength), row.upload);
            // After the answer: dfuUPLOAD-IDLE, or still dfuERROR (blank check)
            EXPECT_EQ(h.in(dfu::kGetState, 1), (Bytes{row.state == err ? err : dfu::kUploadIdle}));
        } else {
            UsbError e = UsbError::None;
            EXPECT_EQ(h.upload(1), std::nullopt) << "nothing to upload";
            if (row.state != err) {
                EXPECT_EQ(h.in(dfu::kGetStatus, 6, &e), (Bytes{dfu::kErrStalledPkt, 0, 0, 0, err, 0}));
            }
        }
    }
}

TEST(SimBootloaderRequests, ErrorStateNeedsClrStatus)
{
    Host h("secure=0");
    ASSERT_EQ(h.dnload({0x06, 0x03, 0x00, 0x02}), UsbError::None);
    EXPECT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{dfu::kErrAddress, dfu::kError}));
    // In dfuERROR: DNLOAD and UPLOAD stall and keep the first error; ABORT is
    // taken but leaves the error.
    EXPECT_EQ(h.dnload({0x05, 0x00, 0x00}), UsbError::Stall);
    EXPECT_EQ(h.out(dfu::kAbort), UsbError::None);
    EXPECT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{dfu::kErrAddress, dfu::kError}));
    EXPECT_EQ(h.out(dfu::kClrStatus), UsbError::None);
    EXPECT_EQ(h.status(), (Bytes{0, 0, 0, 0, dfu::kIdle, 0}));
    EXPECT_EQ(h.dnload({0x05, 0x00, 0x00}), UsbError::None);
    // ABORT throws a prepared answer away.
    EXPECT_EQ(h.out(dfu::kAbort), UsbError::None);
    EXPECT_EQ(h.upload(1), std::nullopt);
    // Requests outside DFU's: wrong interface, wrong request number, wrong
    // direction for the call.
    ASSERT_EQ(h.out(dfu::kClrStatus), UsbError::None);
    EXPECT_EQ(h.out(dfu::kClrStatus, {}, 1), UsbError::Stall);
    EXPECT_EQ(h.out(dfu::kClrStatus), UsbError::None);
    EXPECT_EQ(h.out(0x07), UsbError::Stall);
    EXPECT_EQ(h.out(dfu::kClrStatus), UsbError::None);
    UsbError e = UsbError::None;
    Bytes buf(6);
    EXPECT_EQ(h.dev->controlIn({dfu::kOut, dfu::kGetStatus, 0, 0}, buf, kBound, &e), -1);
    EXPECT_EQ(e, UsbError::Other);
    EXPECT_EQ(h.in(dfu::kGetStatus, 5, &e), std::nullopt) << "6 bytes into 5: overflow";
    EXPECT_EQ(e, UsbError::Other);
}

TEST(SimBootloaderRequests, SecurityModeUntilTheFirstErase)
{
    const Bytes block = programBlock(0x0000, counting(16));
    const std::vector<Bytes> refused = {
        {0x03, 0x00, 0x00, 0x00, 0x00, 0x0F},
        {0x03, 0x01, 0x00, 0x00, 0x2F, 0xFF},
        {0x06, 0x03, 0x00, 0x00},
        {0x04, 0x03, 0x00},
        block,
    };
    Host h;
    ASSERT_TRUE(h.boot.secure());
    for (const Bytes& command : refused) {
        SCOPED_TRACE(::testing::PrintToString(Bytes(command.begin(), command.begin() + 3)));
        EXPECT_EQ(h.dnload(command), UsbError::None) << "taken on the bus";
        EXPECT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{dfu::kErrWrite, dfu::kError}));
        EXPECT_EQ(h.upload(16), std::nullopt);
        EXPECT_EQ(h.out(dfu::kClrStatus), UsbError::None);
    }
    EXPECT_EQ(h.boot.flash()[0], simBootloaderByte(0)) << "nothing written";
    // Configuration reads are answered.
    ASSERT_EQ(h.dnload({0x05, 0x00, 0x00}), UsbError::None);
    EXPECT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{dfu::kOk, dfu::kDnloadIdle}));
    EXPECT_EQ(h.upload(1), (Bytes{0x20}));
    // After the erase every command above is served.
    h.erase();
    EXPECT_FALSE(h.boot.secure());
    for (const Bytes& command : refused) {
        EXPECT_EQ(h.dnload(command), UsbError::None);
        EXPECT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{dfu::kOk, dfu::kDnloadIdle}));
    }
    EXPECT_EQ(h.read(0x0000, 0x000F), counting(16));
}

// --- erase ---

TEST(SimBootloaderErase, BusyPollsThenDone)
{
    Host h("busy-polls=3,poll-ms=0x1F4,latency=5");
    ASSERT_EQ(h.dnload({0x04, 0x00, 0xFF}), UsbError::None);
    std::vector<Bytes> answers;
    for (int i = 0; i < 4; ++i) {
        answers.push_back(h.status());
        if (answers.back()[0] == dfu::kErrNotDone)
            h.clock.sleepMs(answers.back()[1] | (answers.back()[2] << 8));
        // GETSTATE answers without using up a busy answer.
        if (i == 0) {
            EXPECT_EQ(h.in(dfu::kGetState, 1), (Bytes{dfu::kDnBusy}));
        }
    }
    const Bytes busy = {dfu::kErrNotDone, 0xF4, 0x01, 0x00, dfu::kDnBusy, 0x00};
    EXPECT_EQ(answers, (std::vector<Bytes>{busy, busy, busy, {0, 0, 0, 0, dfu::kDnloadIdle, 0}}));
    // 5 ms a transfer, 500 ms after each busy answer.
    EXPECT_EQ(h.boot.transcript().text({"getstatus"}), (std::vector<std::string>{
                                                           "    10 2FFA getstatus 09 F4 01 00 04 00",
                                                           "   520 2FFA getstatus 09 F4 01 00 04 00",
                                                           "  1025 2FFA getstatus 09 F4 01 00 04 00",
                                                           "  1530 2FFA getstatus 00 00 00 00 05 00",
                                                       }));
    for (int a = 0; a < kSimFlashSize; ++a)
        ASSERT_EQ(h.boot.flash()[a], a < kSimBootloaderStart ? 0xFF : simBootloaderByte(a)) << a;
    EXPECT_FALSE(h.boot.secure());
}

TEST(SimBootloaderErase, OtherRequestsWhileBusyStall)
{
    Host h;
    ASSERT_EQ(h.dnload({0x04, 0x00, 0xFF}), UsbError::None);
    EXPECT_EQ(h.out(dfu::kAbort), UsbError::Stall);
    EXPECT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{dfu::kErrStalledPkt, dfu::kError}));
    EXPECT_EQ(h.out(dfu::kClrStatus), UsbError::None);
    EXPECT_EQ(h.boot.flash()[0], 0xFF) << "the erase itself happened";
}

// --- blank check, programming, reading ---

TEST(SimBootloaderFlash, BlankCheckNamesTheFirstNonBlankByte)
{
    Host h;
    h.erase();
    const auto blankCheck = [&h](int start, int end) -> std::optional<Bytes> {
        EXPECT_EQ(h.dnload({0x03, 0x01, hi(start), lo(start), hi(end), lo(end)}), UsbError::None);
        const auto [status, state] = h.statusState();
        if (status == dfu::kOk)
            return std::nullopt;
        EXPECT_EQ(status, dfu::kErrCheckErased);
        EXPECT_EQ(state, dfu::kError);
        const auto address = h.upload(2);
        EXPECT_EQ(h.out(dfu::kClrStatus), UsbError::None);
        return address;
    };
    EXPECT_EQ(blankCheck(0x0000, 0x2FFF), std::nullopt);
    EXPECT_EQ(blankCheck(0x0000, 0x3FFF), (Bytes{0x30, 0x00})) << "the bootloader is not blank";
    Bytes data(128, 0xFF);
    data[0x35] = 0x7F;
    data[0x60] = 0x00;
    ASSERT_EQ(h.dnload(programBlock(0x1280, data)), UsbError::None);
    ASSERT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{dfu::kOk, dfu::kDnloadIdle}));
    EXPECT_EQ(blankCheck(0x0000, 0x2FFF), (Bytes{0x12, 0xB5}));
    EXPECT_EQ(blankCheck(0x12B6, 0x2FFF), (Bytes{0x12, 0xE0}));
    EXPECT_EQ(blankCheck(0x12E1, 0x2FFF), std::nullopt);
}

TEST(SimBootloaderFlash, ProgramAndReadBackABlock)
{
    Host h;
    h.erase();
    const Bytes data = counting(0x400, 0x40);
    // The CRC of the suffix is not checked.
    ASSERT_EQ(h.dnload(programBlock(0x0400, data, std::nullopt, 0x5A)), UsbError::None);
    EXPECT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{dfu::kOk, dfu::kDnloadIdle}));
    EXPECT_EQ(h.read(0x0400, 0x07FF), data);
    EXPECT_EQ(h.read(0x03FF, 0x03FF), (Bytes{0xFF}));
    EXPECT_EQ(h.read(0x0800, 0x0800), (Bytes{0xFF}));
    // A block may end anywhere.
    ASSERT_EQ(h.dnload(programBlock(0x0080, {0x11, 0x22, 0x33})), UsbError::None);
    EXPECT_EQ(h.read(0x0080, 0x0083), (Bytes{0x11, 0x22, 0x33, 0xFF}));
    // Programming only clears bits: over 0x11 0x22, 0xF0 0x0F leave 0x10 0x02.
    ASSERT_EQ(h.dnload(programBlock(0x0080, {0xF0, 0x0F})), UsbError::None);
    EXPECT_EQ(h.read(0x0080, 0x0081), (Bytes{0x10, 0x02}));
}

TEST(SimBootloaderFlash, RefusedBlocks)
{
    struct Row {
        const char* what;
        Bytes block;
        UsbError transfer;
        uint8_t status;
    };
    const Bytes page = counting(128);
    Bytes badSuffix = programBlock(0x0000, page);
    badSuffix[badSuffix.size() - 6] = 'X';  // "UFD" -> "UFX"
    Bytes badPadding = programBlock(0x0000, page);
    badPadding[20] = 0x01;
    Bytes shortBlock = programBlock(0x0000, page);
    shortBlock.pop_back();
    const Bytes full = programBlock(0x0000, page);
    const Bytes headerOnly(full.begin(), full.begin() + 40);
    const std::vector<Row> rows = {
        {"reaches into the bootloader", programBlock(0x2F80, counting(0x100)), UsbError::None,
         dfu::kErrAddress},
        {"inside the bootloader", programBlock(0x3000, page), UsbError::None, dfu::kErrAddress},
        {"0x401 data bytes", programBlock(0x0000, counting(0x401)), UsbError::None, dfu::kErrAddress},
        {"start off a page, filler right", programBlock(0x0090, page), UsbError::None, dfu::kErrAddress},
        {"start off a page, filler missing", programBlock(0x0090, page, 0), UsbError::Stall,
         dfu::kErrStalledPkt},
        {"one byte short", shortBlock, UsbError::Stall, dfu::kErrStalledPkt},
        {"suffix signature", badSuffix, UsbError::Stall, dfu::kErrStalledPkt},
        {"header padding", badPadding, UsbError::Stall, dfu::kErrStalledPkt},
        {"shorter than header and suffix", headerOnly, UsbError::Stall, dfu::kErrStalledPkt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Host h;
        h.erase();
        const auto before = h.boot.flash();
        EXPECT_EQ(h.dnload(row.block), row.transfer);
        EXPECT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{row.status, dfu::kError}));
        EXPECT_EQ(h.boot.flash(), before) << "nothing written";
    }
}

// --- faults ---

TEST(SimBootloaderFaults, BadByteStoresInvertedValues)
{
    Host h("bad-byte=0x0105");
    h.erase();
    ASSERT_EQ(h.dnload(programBlock(0x0100, counting(16))), UsbError::None);
    EXPECT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{dfu::kOk, dfu::kDnloadIdle})) << "unnoticed";
    Bytes expected = counting(16);
    expected[5] = 0xFA;
    EXPECT_EQ(h.read(0x0100, 0x010F), expected);
}

TEST(SimBootloaderFaults, UnplugAfterN)
{
    Host h("unplug-after=3");
    EXPECT_EQ(h.dnload({0x05, 0x00, 0x00}), UsbError::None);
    EXPECT_EQ(h.status().size(), 6u);
    EXPECT_TRUE(h.boot.present());
    EXPECT_EQ(h.upload(1), (Bytes{0x20}));
    EXPECT_FALSE(h.boot.present()) << "gone right after the third";
    UsbError e = UsbError::None;
    EXPECT_EQ(h.in(dfu::kGetStatus, 6, &e), std::nullopt);
    EXPECT_EQ(e, UsbError::Gone);
    EXPECT_EQ(h.out(dfu::kAbort), UsbError::Gone);
    EXPECT_EQ(h.boot.transfers(), 5);
    EXPECT_EQ(h.boot.open(kSimBootloaderVendorId, kSimBootloaderProductId, &e), nullptr);
    EXPECT_EQ(e, UsbError::NotFound);
}

TEST(SimBootloaderFaults, TransferSlowerThanItsBoundTimesOutUnseen)
{
    Host h("latency=1000");
    EXPECT_EQ(h.dnload({0x04, 0x00, 0xFF}), UsbError::Timeout);
    EXPECT_EQ(h.clock.nowMs(), kBound);
    EXPECT_TRUE(h.boot.secure()) << "the device never saw the erase";
    EXPECT_EQ(h.boot.transcript().text({"failed"}), (std::vector<std::string>{"  1000 2FFA failed 01"}));
}

TEST(SimBootloaderFaults, Open)
{
    VirtualClock clock;
    UsbError e = UsbError::None;
    EXPECT_EQ(SimBootloader(clock, parseSimBootloaderSetup("absent")).open(0x03EB, 0x2FFA, &e), nullptr);
    EXPECT_EQ(e, UsbError::NotFound);
    EXPECT_EQ(SimBootloader(clock, parseSimBootloaderSetup("denied")).open(0x03EB, 0x2FFA, &e), nullptr);
    EXPECT_EQ(e, UsbError::PermissionDenied);
    SimBootloader boot(clock);
    EXPECT_EQ(boot.open(0x03EB, 0x2FF9, &e), nullptr);
    EXPECT_EQ(e, UsbError::NotFound);
    auto first = boot.open(0x03EB, 0x2FFA, &e);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(boot.open(0x03EB, 0x2FFA, &e), nullptr) << "interface 0 is claimed";
    EXPECT_EQ(e, UsbError::Other);
    first.reset();
    EXPECT_NE(boot.open(0x03EB, 0x2FFA, &e), nullptr);
    EXPECT_EQ(e, UsbError::None);
}

// --- starting the application ---

TEST(SimBootloaderStart, LeavesTheBus)
{
    for (const char* reply : {"gone", "stall", "ok"}) {
        SCOPED_TRACE(reply);
        Host h(std::string("start-reply=") + reply);
        h.erase();
        EXPECT_EQ(h.dnload({}), UsbError::Stall) << "not armed";
        ASSERT_EQ(h.out(dfu::kClrStatus), UsbError::None);
        ASSERT_EQ(h.dnload({0x04, 0x03, 0x00}), UsbError::None);
        EXPECT_EQ(h.statusState(), (std::pair<uint8_t, uint8_t>{dfu::kOk, dfu::kDnloadIdle}));
        EXPECT_FALSE(h.boot.started());
        EXPECT_EQ(h.dnload({}), h.boot.config().startReply);
        EXPECT_TRUE(h.boot.started());
        EXPECT_FALSE(h.boot.present());
        UsbError e = UsbError::None;
        EXPECT_EQ(h.in(dfu::kGetStatus, 6, &e), std::nullopt);
        EXPECT_EQ(e, UsbError::Gone);
        EXPECT_EQ(h.boot.open(kSimBootloaderVendorId, kSimBootloaderProductId, &e), nullptr);
        EXPECT_EQ(e, UsbError::NotFound);
    }
}

// --- setup text ---

TEST(SimBootloaderSetup, Keys)
{
    const SimBootloaderConfig d = parseSimBootloaderSetup("");
    EXPECT_FALSE(d.absent);
    EXPECT_FALSE(d.permissionDenied);
    EXPECT_EQ(d.busyPolls, 2);
    EXPECT_EQ(d.pollTimeoutMs, 100);
    EXPECT_EQ(d.badByteAddress, -1);
    EXPECT_EQ(d.unplugAfter, -1);
    EXPECT_EQ(d.latencyMs, 0);
    EXPECT_EQ(d.version, 0x20);
    EXPECT_TRUE(d.secure);
    EXPECT_EQ(d.startReply, UsbError::Gone);

    const SimBootloaderConfig c = parseSimBootloaderSetup(
        "absent,denied=1,busy-polls=7,poll-ms=0x30,bad-byte=0x2FFF,unplug-after=12,latency=4,version=0x13,"
        "secure=0,start-reply=stall");
    EXPECT_TRUE(c.absent);
    EXPECT_TRUE(c.permissionDenied);
    EXPECT_EQ(c.busyPolls, 7);
    EXPECT_EQ(c.pollTimeoutMs, 0x30);
    EXPECT_EQ(c.badByteAddress, 0x2FFF);
    EXPECT_EQ(c.unplugAfter, 12);
    EXPECT_EQ(c.latencyMs, 4);
    EXPECT_EQ(c.version, 0x13);
    EXPECT_FALSE(c.secure);
    EXPECT_EQ(c.startReply, UsbError::Stall);
    EXPECT_FALSE(parseSimBootloaderSetup("absent=0").absent);
}

TEST(SimBootloaderSetup, Errors)
{
    struct Case {
        const char* setup;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"bogus", "unknown key 'bogus'"},
        {"busy-polls", "bad value '' for key 'busy-polls'"},
        {"busy-polls=-1", "bad value '-1' for key 'busy-polls'"},
        {"bad-byte=0x4000", "bad value '0x4000' for key 'bad-byte'"},
        {"version=0x100", "bad value '0x100' for key 'version'"},
        {"poll-ms=0x1000000", "bad value '0x1000000' for key 'poll-ms'"},
        {"latency=3ms", "bad value '3ms' for key 'latency'"},
        {"absent=2", "bad value '2' for key 'absent'"},
        {"start-reply=maybe", "bad value 'maybe' for key 'start-reply'"},
        {"latency=1,", "empty key in 'latency=1,'"},
        {",absent", "empty key in ',absent'"},
    };
    for (const Case& c : cases) {
        try {
            parseSimBootloaderSetup(c.setup);
            ADD_FAILURE() << "accepted: " << c.setup;
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.setup;
        }
    }
}

// --- transcript ---

TEST(SimBootloaderTranscript, ShortExchange)
{
    EXPECT_EQ((TranscriptLine{7, 0xAB, "open", {}, 4}.text()), "     7 00AB open");
    Host h("latency=2");
    ASSERT_NE(h.dev, nullptr);
    h.dnload({0x05, 0x00, 0x00});
    h.status();
    h.upload(1);
    h.in(dfu::kGetState, 1);
    h.out(dfu::kAbort);
    h.dnload({0x03, 0x00, 0x00, 0x00, 0x00, 0x01});  // security mode: errWRITE
    h.upload(2);
    h.out(dfu::kClrStatus);
    h.dev.reset();
    EXPECT_EQ(h.boot.transcript().text(), (std::vector<std::string>{
                                              "     0 2FFA open",
                                              "     2 2FFA dnload 05 00 00",
                                              "     4 2FFA getstatus 00 00 00 00 05 00",
                                              "     6 2FFA upload 20",
                                              "     8 2FFA getstate 09",
                                              "    10 2FFA abort",
                                              "    12 2FFA dnload 03 00 00 00 00 01",
                                              "    14 2FFA failed 02",
                                              "    16 2FFA clrstatus",
                                              "    16 2FFA close",
                                          }));
    EXPECT_EQ(h.boot.transfers(), 8);
}

}  // namespace
}  // namespace cvk::sim
