#include "sim/sim.h"

#include <chrono>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <stdexcept>

#include <fmt/core.h>

#include "config/factory_blocks.h"
#include "platform/vendor.h"
#include "sim/setup_parse.h"

namespace cvk::sim {

namespace {

// The simulated devices keep their own facts, apart from the program's model
// table, so that a wrong row there shows up in the tests instead of being
// copied into the device.
struct ModelInfo {
    const char* name;
    uint16_t productId;
    uint16_t firmware;
    FactoryKind memory;  // what the device holds when it leaves the factory
};

constexpr ModelInfo kModels[] = {
    {"receiver", 1, 0x1205, FactoryKind::None},
    {"arvel-old", 4, 0x0250, FactoryKind::Other},
    {"arvel", 5, 0x031C, FactoryKind::Arvel},
    {"essom", 6, 0x031C, FactoryKind::Other},
    {"dorrin-receiver", 7, 0x1205, FactoryKind::Dorrin},
    {"dorrin", 8, 0x1205, FactoryKind::Dorrin},
    {"cindel", 9, 0x1205, FactoryKind::Cindel},
    {"brill", 10, 0x1205, FactoryKind::Dorrin},
    {"arvel2", 11, 0x1205, FactoryKind::Arvel2},
};

// Product ids the simulator does not know get the other models' memory.
FactoryKind deliveredMemory(uint16_t productId)
{
    for (const ModelInfo& m : kModels)
        if (m.productId == productId)
            return m.memory;
    return productId <= 1 ? FactoryKind::None : FactoryKind::Other;
}

const ModelInfo* modelByName(const std::string& name)
{
    for (const ModelInfo& m : kModels)
        if (name == m.name)
            return &m;
    return nullptr;
}

const ModelInfo* modelByProduct(uint16_t productId)
{
    for (const ModelInfo& m : kModels)
        if (productId == m.productId)
            return &m;
    return nullptr;
}

constexpr uint16_t kMousePage = 1;
constexpr uint16_t kMouseUsage = 2;
constexpr uint16_t kReceiverPage = 0xFF01;
constexpr size_t kMaxQueuedReplies = 64;  // the OS keeps a bounded input queue too

// The firmware text the device reports when none is configured: ten
// characters, like the real one, made from the release number.
std::string firmwareTextFor(uint16_t firmware)
{
    return fmt::format("CVK-{}.{}.{:02}", firmware >> 12, (firmware >> 8) & 0xF, firmware & 0xFF);
}

std::vector<uint8_t> utf16le(const std::string& utf8)
{
    std::vector<uint8_t> out;
    const auto put = [&out](uint32_t unit) {
        out.push_back(static_cast<uint8_t>(unit & 0xFF));
        out.push_back(static_cast<uint8_t>(unit >> 8));
    };
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<uint8_t>(utf8[i]);
        uint32_t cp = c;
        size_t extra = 0;
        if (c >= 0xF0) {
            cp = c & 0x07u;
            extra = 3;
        } else if (c >= 0xE0) {
            cp = c & 0x0Fu;
            extra = 2;
        } else if (c >= 0xC0) {
            cp = c & 0x1Fu;
            extra = 1;
        }
        ++i;
        for (; extra > 0 && i < utf8.size(); --extra, ++i)
            cp = (cp << 6) | (static_cast<uint8_t>(utf8[i]) & 0x3Fu);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

using setup::badValue;
using setup::parseFlag;

class SimNode final : public IHidDevice {
public:
    SimNode(SimBus& bus, std::shared_ptr<bool> alive, SimDevice& device, HidInterfaceInfo info)
        : bus_(bus), alive_(std::move(alive)), device_(device), info_(std::move(info))
    {}
    ~SimNode() override
    {
        if (*alive_)
            bus_.transcript().add(bus_.clock().nowMs(), device_.productId(), "close");
    }

    const HidInterfaceInfo& info() const override { return info_; }

    bool setFeature(std::span<const uint8_t> report) override
    {
        return usable() && !report.empty() && device_.handleSetFeature(info_, report.data(), report.size());
    }
    bool getFeature(std::span<uint8_t> report) override
    {
        return usable() && !report.empty() && device_.handleGetFeature(info_, report.data(), report.size());
    }
    std::optional<std::vector<uint8_t>> indexedString(int index, std::size_t maxBytes) override
    {
        std::vector<uint8_t> out;
        if (!usable() || !device_.handleIndexedString(index, out, maxBytes))
            return std::nullopt;
        return out;
    }
    int write(std::span<const uint8_t> report, int timeoutMs) override
    {
        // Only the vendor collection has output reports; the OS refuses the
        // others at once.
        if (!usable() || report.size() < 9 || report[0] != 0 || !SimDevice::isVendorCollection(info_))
            return -1;
        return device_.handleWrite(report.data() + 1, timeoutMs);
    }
    int read(std::span<uint8_t> buf, int timeoutMs) override
    {
        if (!usable() || buf.empty())
            return -1;
        if (!SimDevice::isVendorCollection(info_)) {
            bus_.clock().sleepMs(timeoutMs);
            return -1;
        }
        std::array<uint8_t, 8> data{};
        if (device_.handleRead(data.data(), timeoutMs) < 0)
            return -1;
        buf[0] = 0;
        const size_t n = std::min<size_t>(8, buf.size() - 1);
        std::copy_n(data.begin(), n, buf.begin() + 1);
        return static_cast<int>(n + 1);
    }

private:
    // A node of a gone device (or of a destroyed bus) fails every call.
    bool usable() const { return *alive_ && device_.present(); }

    SimBus& bus_;
    std::shared_ptr<bool> alive_;
    SimDevice& device_;
    HidInterfaceInfo info_;
};

// An interface of some other device: opens, answers nothing.
class ForeignNode final : public IHidDevice {
public:
    ForeignNode(IClock& clock, std::shared_ptr<bool> alive, HidInterfaceInfo info)
        : clock_(clock), alive_(std::move(alive)), info_(std::move(info))
    {}
    const HidInterfaceInfo& info() const override { return info_; }
    bool setFeature(std::span<const uint8_t>) override { return false; }
    bool getFeature(std::span<uint8_t>) override { return false; }
    std::optional<std::vector<uint8_t>> indexedString(int, std::size_t) override { return std::nullopt; }
    int write(std::span<const uint8_t>, int) override { return -1; }
    int read(std::span<uint8_t>, int timeoutMs) override
    {
        if (*alive_)
            clock_.sleepMs(timeoutMs);
        return -1;
    }

private:
    IClock& clock_;
    std::shared_ptr<bool> alive_;
    HidInterfaceInfo info_;
};

}  // namespace

// --- transcript ---

std::string TranscriptLine::text() const
{
    std::string s = fmt::format("{:>6} {:0{}X} {}", ms, productId, idDigits, kind);
    for (uint8_t b : bytes)
        s += fmt::format(" {:02X}", b);
    return s;
}

void Transcript::add(int64_t ms, uint16_t productId, std::string kind, std::vector<uint8_t> bytes,
                     int idDigits)
{
    TranscriptLine line{ms, productId, std::move(kind), std::move(bytes), idDigits};
    if (file_)
        *file_ << line.text() << '\n' << std::flush;  // a trace must survive a crash
    if (keep_)
        lines_.push_back(std::move(line));
}

std::vector<std::string> Transcript::text(const std::vector<std::string>& kinds) const
{
    std::vector<std::string> out;
    for (const TranscriptLine& line : lines_)
        if (kinds.empty() || std::find(kinds.begin(), kinds.end(), line.kind) != kinds.end())
            out.push_back(line.text());
    return out;
}

bool Transcript::setFile(const std::string& path)
{
    file_.reset();
    if (path.empty())
        return true;
    // LF lines on every system, so transcripts compare byte for byte.
    auto f = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!*f)
        return false;
    file_ = std::move(f);
    return true;
}

// --- device descriptions ---

std::vector<std::string> simModelNames()
{
    std::vector<std::string> names;
    for (const ModelInfo& m : kModels)
        names.emplace_back(m.name);
    return names;
}

SimDeviceConfig parseSimSetup(const std::string& setup)
{
    const size_t colon = setup.find(':');
    const std::string name = setup.substr(0, colon);
    const ModelInfo* model = modelByName(name);
    if (!model) {
        std::string known;
        for (const ModelInfo& m : kModels)
            known += std::string(known.empty() ? "" : ", ") + m.name;
        throw std::invalid_argument("unknown simulated model '" + name + "' (known: " + known + ")");
    }
    SimDeviceConfig c;
    c.modelName = model->name;
    c.productId = model->productId;
    c.firmware = model->firmware;
    c.id = {static_cast<uint8_t>(model->productId), 0x5C, 0x3E, 0xA1};
    bool textGiven = false;

    if (colon != std::string::npos) {
        const std::string rest = setup.substr(colon + 1);
        setup::forEachItem(rest, [&](const std::string& key, const std::string& value, bool hasValue) {
            const auto number = [&](uint32_t max) { return setup::numberOf(key, value, hasValue, max); };
            if (key == "fw")
                c.firmware = static_cast<uint16_t>(number(0xFFFF));
            else if (key == "id") {
                if (value.size() != 8 || !std::all_of(value.begin(), value.end(), [](char ch) {
                        return std::isxdigit(static_cast<unsigned char>(ch)) != 0;
                    }))
                    badValue(key, value);
                for (size_t i = 0; i < 4; ++i)
                    c.id[i] = static_cast<uint8_t>(std::strtoul(value.substr(2 * i, 2).c_str(), nullptr, 16));
            } else if (key == "latency")
                c.latencyMs = static_cast<int>(number(600000));
            else if (key == "wake-after")
                c.wakeAfter = static_cast<int>(number(1000000));
            else if (key == "corrupt-write")
                c.faults.corruptWrites = static_cast<int>(number(1000000));
            else if (key == "unplug-after")
                c.faults.unplugAfter = static_cast<int>(number(100000000));
            else if (key == "no-answer")
                c.faults.noAnswer = parseFlag(key, value, hasValue);
            else if (key == "no-answer-from")
                c.faults.noAnswerFrom = static_cast<int>(number(100000000));
            else if (key == "wrong-echo")
                c.faults.wrongEcho = parseFlag(key, value, hasValue);
            else if (key == "battery-raw")
                c.batteryRaw = static_cast<uint8_t>(number(255));
            else if (key == "signal")
                c.signal = static_cast<uint8_t>(number(255));
            else if (key == "status")
                c.statusBits = static_cast<uint8_t>(number(255));
            else if (key == "battery")
                c.batteryPercent = static_cast<uint8_t>(number(255));
            else if (key == "link")
                c.linkValue = static_cast<uint16_t>(number(0xFFFF));
            else if (key == "signal-valid")
                c.signalValid = number(1) != 0;
            else if (key == "fw-text") {
                c.firmwareText = value;
                textGiven = true;
            } else
                throw std::invalid_argument("unknown key '" + key + "'");
        });
    }
    if (!textGiven)
        c.firmwareText = firmwareTextFor(c.firmware);
    return c;
}

// --- device ---

void SimDevice::spendLatency()
{
    // Measured on the steady clock, so a benchmark can set the program's own
    // cost against what the device took to answer.
    const auto start = std::chrono::steady_clock::now();
    bus_.clock().sleepMs(config_.latencyMs);
    latencySpent_ += std::chrono::steady_clock::now() - start;
}

SimDevice::SimDevice(SimBus& bus, SimDeviceConfig config) : bus_(bus), config_(std::move(config))
{
    block_ = factoryBlock(deliveredMemory(config_.productId), config_.firmware);
}

std::vector<HidInterfaceInfo> SimDevice::collections() const
{
    std::vector<HidInterfaceInfo> out;
    const auto add = [&](uint16_t page, uint16_t usage) {
        HidInterfaceInfo info;
        info.vendorId = kVendorId;
        info.productId = config_.productId;
        info.releaseNumber = config_.firmware;
        info.usagePage = page;
        info.usage = usage;
        info.path = SimBus::pathOf(*this, info);
        out.push_back(std::move(info));
    };
    if (config_.productId == 1) {
        add(kReceiverPage, 1);
        add(kReceiverPage, 2);
        add(kReceiverPage, 3);
    } else {
        add(kMousePage, kMouseUsage);
        if (config_.productId != 4)
            add(0xFFFF, 1);
    }
    return out;
}

void SimDevice::unplug()
{
    present_ = false;
    replies_.clear();
}

bool SimDevice::countReport()
{
    if (!present_)
        return false;
    if (config_.faults.unplugAfter >= 0 && reports_ >= config_.faults.unplugAfter) {
        unplug();
        return false;
    }
    ++reports_;
    return true;
}

void SimDevice::afterReport()
{
    if (config_.faults.unplugAfter >= 0 && reports_ >= config_.faults.unplugAfter)
        unplug();
}

void SimDevice::log(const char* kind, std::vector<uint8_t> bytes)
{
    bus_.transcript().add(bus_.clock().nowMs(), config_.productId, kind, std::move(bytes));
}

void SimDevice::storeBlockByte(int position, uint8_t value)
{
    if (position < 0 || position > 255)
        return;
    if (corruptDone_ < config_.faults.corruptWrites) {
        ++corruptDone_;
        value = static_cast<uint8_t>(~value);
    }
    block_[static_cast<size_t>(position)] = value;
}

uint8_t SimDevice::readMemory(int a) const
{
    if (a >= 32 && a - 32 < 256)
        return block_[static_cast<size_t>(a - 32)];
    if (a == 16)
        return static_cast<uint8_t>(extra_ >> 8);
    if (a == 17)
        return static_cast<uint8_t>(extra_ & 0xFF);
    return 0;
}

void SimDevice::writeMemory(int a, uint8_t value)
{
    if (a >= 32)
        storeBlockByte(a - 32, value);
    else if (a == 16)
        extra_ = static_cast<uint16_t>((extra_ & 0x00FF) | (value << 8));
    else if (a == 17)
        extra_ = static_cast<uint16_t>((extra_ & 0xFF00) | value);
}

void SimDevice::setRegister(uint8_t position, uint8_t value)
{
    if (position == 0xFF) {
        lastRegCmd_ = value;
        if (value == 0xF8)
            writeWindow_ = true;
        else if (value == 0xFF)
            writeWindow_ = false;
        else if (value >= 5 && value <= 11)
            cursorSpeed_ = value;
        return;
    }
    // Block bytes are taken only inside a block write, so the preamble
    // (positions 0x00, 0x20, 0x21) never lands in the block.
    if (!writeWindow_)
        return;
    storeBlockByte(config_.firmware <= 0x131F ? position : position - 32, value);
}

bool SimDevice::handleSetFeature(const HidInterfaceInfo& col, const uint8_t* data, size_t len)
{
    if (!countReport())
        return false;
    spendLatency();
    bool ok = false;
    if (!silent() && registerFamily() && col.usagePage == kMousePage && col.usage == kMouseUsage &&
        len >= 3) {
        if (data[0] == 0x00) {
            ok = true;
            if (data[1] == 0xFF)
                lastLegacyCmd_ = data[2];
            else if (config_.firmware < 0x300)
                storeBlockByte(data[1], data[2]);
        } else if (data[0] == 0x01) {
            ok = true;
            setRegister(data[1], data[2]);
        }
    }
    log(ok ? "set-feature" : "no-answer", std::vector<uint8_t>(data, data + len));
    afterReport();
    return ok;
}

bool SimDevice::handleGetFeature(const HidInterfaceInfo& col, uint8_t* data, size_t len)
{
    if (len == 0 || !countReport())
        return false;
    spendLatency();
    const uint8_t id = data[0];
    std::optional<std::array<uint8_t, 8>> answer;
    if (!silent() && config_.productId == 1 && col.usagePage == kReceiverPage) {
        if (col.usage == 2 && id == 4)
            answer = std::array<uint8_t, 8>{4,
                                            config_.batteryRaw,
                                            config_.signal,
                                            config_.statusBits,
                                            config_.id[0],
                                            config_.id[1],
                                            config_.id[2],
                                            config_.id[3]};
        else if (col.usage == 1 && id == 5)
            answer = std::array<uint8_t, 8>{5, 0, 0, 0, 0, 0, 0, 0};
    }
    if (fuzzed()) {
        answer.reset();
        if (const auto bytes = takeFuzzed(8)) {
            answer.emplace();
            std::copy(bytes->begin(), bytes->end(), answer->begin());
        }
    }
    if (!answer) {
        log("no-answer", {id});
    } else {
        std::fill(data, data + len, uint8_t{0});
        std::copy_n(answer->begin(), std::min<size_t>(len, 8), data);
        log("get-feature", std::vector<uint8_t>(data, data + len));
    }
    afterReport();
    return answer.has_value();
}

bool SimDevice::handleIndexedString(int index, std::vector<uint8_t>& out, size_t maxBytes)
{
    if (!countReport())
        return false;
    spendLatency();
    bool ok = false;
    out.clear();
    if (!silent() && config_.productId != 1) {
        if (index == 4) {
            out = utf16le(config_.firmwareText);
            ok = true;
        } else if ((index == 3 || index == 16) && registerFamily()) {
            out.assign(block_.begin(), block_.end());
            ok = true;
        }
    }
    if (fuzzed()) {
        const auto length = takeFuzzed(2);
        std::optional<std::vector<uint8_t>> bytes;
        if (length && length->size() == 2)
            bytes = takeFuzzed(size_t{(*length)[0]} | size_t{(*length)[1]} << 8);
        ok = bytes.has_value();
        out = ok ? std::move(*bytes) : std::vector<uint8_t>{};
    }
    if (out.size() > maxBytes)
        out.resize(maxBytes);
    std::vector<uint8_t> line{static_cast<uint8_t>(index)};
    if (ok)
        line.insert(line.end(), out.begin(), out.end());
    log(ok ? "get-string" : "no-answer", std::move(line));
    afterReport();
    return ok;
}

int SimDevice::handleWrite(const uint8_t* data8, int timeoutMs)
{
    if (!countReport())
        return -1;
    std::vector<uint8_t> bytes(data8, data8 + 8);
    // A report slower than the caller's bound is lost on the way.
    if (silent() || config_.latencyMs >= timeoutMs) {
        bus_.clock().sleepMs(timeoutMs);
        log("no-answer", std::move(bytes));
        afterReport();
        return -1;
    }
    spendLatency();
    log("out", std::move(bytes));
    std::array<uint8_t, 8> reply{};
    if (command(data8, reply))
        queueReply(reply);
    afterReport();
    return 9;
}

int SimDevice::handleRead(uint8_t* data8, int timeoutMs)
{
    if (!present_)
        return -1;
    std::array<uint8_t, 8> reply{};
    if (fuzzed()) {
        if (!replies_.empty())
            replies_.erase(replies_.begin());
        const auto bytes = silent() ? std::nullopt : takeFuzzed(8);
        if (!bytes) {
            bus_.clock().sleepMs(timeoutMs);
            log("no-answer");
            return -1;
        }
        std::copy(bytes->begin(), bytes->end(), reply.begin());
    } else if (silent() || replies_.empty()) {
        bus_.clock().sleepMs(timeoutMs);
        log("no-answer");
        return -1;
    } else {
        reply = replies_.front();
        replies_.erase(replies_.begin());
    }
    if (config_.latencyMs >= timeoutMs) {
        bus_.clock().sleepMs(timeoutMs);
        log("no-answer");
        return -1;
    }
    spendLatency();
    std::copy(reply.begin(), reply.end(), data8);
    log("in", std::vector<uint8_t>(reply.begin(), reply.end()));
    return 9;
}

bool SimDevice::takeInput(uint8_t* data8)
{
    if (replies_.empty())
        return false;
    std::copy(replies_.front().begin(), replies_.front().end(), data8);
    replies_.erase(replies_.begin());
    return true;
}

std::optional<std::vector<uint8_t>> SimDevice::takeFuzzed(size_t n)
{
    const std::vector<uint8_t>& all = *config_.faults.fuzzReplies;
    if (fuzzAt_ >= all.size())
        return std::nullopt;
    const size_t take = std::min(n, all.size() - fuzzAt_);
    std::vector<uint8_t> bytes(all.begin() + static_cast<std::ptrdiff_t>(fuzzAt_),
                               all.begin() + static_cast<std::ptrdiff_t>(fuzzAt_ + take));
    fuzzAt_ += take;
    return bytes;
}

void SimDevice::queueReply(const std::array<uint8_t, 8>& reply)
{
    std::array<uint8_t, 8> r = reply;
    if (config_.faults.wrongEcho)
        r[0] ^= 0x01;
    if (replies_.size() >= kMaxQueuedReplies)
        replies_.erase(replies_.begin());
    replies_.push_back(r);
}

bool SimDevice::command(const uint8_t* d, std::array<uint8_t, 8>& reply)
{
    reply.fill(0);
    // Wake-up requests repeat back to back on one open handle; anything else
    // in between starts a new loop.
    const int previousWake = lastWakeParam_;
    lastWakeParam_ = -1;
    const bool signed3 = d[1] == 0x0E && d[2] == 0x1C && d[3] == 0x39;
    const uint8_t code = d[0];
    if (code < 0x80) {  // read-4: byte 0 is the device address / 4
        reply[0] = code;
        for (int i = 0; i < 4; ++i)
            reply[static_cast<size_t>(1 + i)] = readMemory(code * 4 + i);
        return true;
    }
    switch (code) {
    case 0x82:
        if (signed3) {
            writeMemory(d[4], d[5]);
            reply[0] = 0x82;
        }
        return true;
    case 0x83: {
        // Repeated wake-up requests carry 0x00 instead of 0x0E.
        if ((d[1] != 0x0E && d[1] != 0x00) || d[2] != 0x1C || d[3] != 0x39)
            return true;
        reply[0] = 0x83;
        const uint8_t param = d[4];
        if (param == 0x01 || param == 0x20) {
            // A loop's first request carries 0x0E, its repetitions 0x00; a
            // repetition that still carries 0x0E gets no answer.
            const bool repeated = previousWake == param;
            lastWakeParam_ = param;
            if (repeated && d[1] == 0x0E)
                return false;
            int& attempts = param == 0x01 ? wakeAttempts_ : storeAttempts_;
            const bool awake = config_.productId != 7 || attempts >= config_.wakeAfter;
            ++attempts;
            if (awake)
                reply[2] = 7;
            else
                reply[1] = 1;
        } else {
            cursorSpeed_ = 255 - param;
        }
        return true;
    }
    case 0x84:
        reply[0] = 0x84;
        if (d[1] == 0x00) {
            std::copy(config_.id.begin(), config_.id.end(), reply.begin() + 1);
        } else if (d[1] == 0x70) {
            std::copy(d + 2, d + 6, paired_.begin());
            config_.id = paired_;
        }
        return true;
    case 0x85:
        if (config_.productId == 7)
            reply = {0x85,
                     0,
                     0,
                     static_cast<uint8_t>(config_.linkValue & 0xFF),
                     static_cast<uint8_t>(config_.linkValue >> 8),
                     static_cast<uint8_t>((config_.signalValid ? 0x80 : 0) | (config_.signal & 0x1F)),
                     config_.batteryPercent,
                     0};
        return true;
    case 0x94:
    case 0x95:
        if (signed3)
            signatureArea(code == 0x94 ? 0 : 1)[d[4]] = d[5];
        return false;
    case 0xA0:
        if (signed3) {
            reply[0] = 0xA0;
            if (d[4] == 2 || d[4] == 3) {
                const std::array<uint8_t, 256>& area = signatureArea(d[4] == 2 ? 0 : 1);
                for (size_t i = 0; i < 6; ++i) {
                    const size_t at = d[5] + i;
                    reply[2 + i] = at < area.size() ? area[at] : 0;
                }
            }
        }
        return true;
    default: return true;
    }
}

// --- bus ---

SimBus::SimBus(IClock& clock) : clock_(clock) {}

SimBus::~SimBus() { *alive_ = false; }

std::string SimBus::pathOf(const SimDevice& device, const HidInterfaceInfo& col, int duplicate)
{
    std::string path = fmt::format("sim:{:02X}:{}:{:X}:{:X}", device.productId(), device.instance(),
                                   col.usagePage, col.usage);
    if (duplicate > 0)
        path += fmt::format(":dup{}", duplicate);
    return path;
}

SimDevice& SimBus::attach(const SimDeviceConfig& config)
{
    const ModelInfo* model = modelByProduct(config.productId);
    if (!model)
        throw std::invalid_argument(fmt::format("no simulated model has product id {}", config.productId));
    SimDeviceConfig c = config;
    if (c.modelName.empty())
        c.modelName = model->name;
    auto device = std::make_unique<SimDevice>(*this, std::move(c));
    device->instance_ = attachedCount_[config.productId]++;
    devices_.push_back(std::move(device));
    return *devices_.back();
}

bool SimBus::unplug(uint16_t productId)
{
    bool any = false;
    for (const auto& d : devices_)
        if (d->present() && d->productId() == productId) {
            d->unplug();
            any = true;
        }
    return any;
}

SimDevice* SimBus::find(uint16_t productId)
{
    for (const auto& d : devices_)
        if (d->present() && d->productId() == productId)
            return d.get();
    return nullptr;
}

void SimBus::addForeignInterface(const HidInterfaceInfo& info)
{
    HidInterfaceInfo entry = info;
    if (entry.path.empty())
        entry.path = fmt::format("foreign:{}", foreign_.size());
    foreign_.push_back(std::move(entry));
}

void SimBus::addDuplicateVendorInterface(uint16_t productId) { ++duplicates_[productId]; }

void SimBus::vanishOnOpen(const std::string& path) { vanishing_.push_back(path); }

std::vector<HidInterfaceInfo> SimBus::entriesOf(const SimDevice& device) const
{
    std::vector<HidInterfaceInfo> out;
    const auto dup = duplicates_.find(device.productId());
    const int duplicates = dup == duplicates_.end() ? 0 : dup->second;
    for (const HidInterfaceInfo& col : device.collections()) {
        out.push_back(col);
        for (int k = 1; SimDevice::isVendorCollection(col) && k <= duplicates; ++k) {
            HidInterfaceInfo extra = col;
            extra.path = pathOf(device, col, k);
            out.push_back(std::move(extra));
        }
    }
    return out;
}

std::vector<HidInterfaceInfo> SimBus::enumerate()
{
    std::vector<HidInterfaceInfo> out;
    for (const auto& d : devices_)
        if (d->present())
            for (HidInterfaceInfo& e : entriesOf(*d))
                out.push_back(std::move(e));
    out.insert(out.end(), foreign_.begin(), foreign_.end());
    return out;
}

HidDevicePtr SimBus::open(const HidInterfaceInfo& entry, HidOpenError* error)
{
    if (error)
        *error = HidOpenError::None;
    if (std::find(vanishing_.begin(), vanishing_.end(), entry.path) == vanishing_.end()) {
        for (const auto& d : devices_) {
            if (!d->present())
                continue;
            for (const HidInterfaceInfo& e : entriesOf(*d)) {
                if (e.path != entry.path)
                    continue;
                // A new handle on the vendor collection starts with an empty
                // input queue, as a freshly opened hidraw node does.
                if (SimDevice::isVendorCollection(e)) {
                    d->replies_.clear();
                    d->lastWakeParam_ = -1;
                }
                transcript_.add(clock_.nowMs(), d->productId(), "open");
                return std::make_shared<SimNode>(*this, alive_, *d, e);
            }
        }
        for (const HidInterfaceInfo& e : foreign_)
            if (e.path == entry.path)
                return std::make_shared<ForeignNode>(clock_, alive_, e);
    }
    if (error)
        *error = HidOpenError::NotFound;
    return nullptr;
}

}  // namespace cvk::sim
