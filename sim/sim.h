#pragma once
// Simulated devices behind the HID bus port: every model, the wireless
// receiver, faults, a latency model and a report transcript.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/hid_bus.h"

namespace cvk::sim {

// Sleep advances time at once.
class VirtualClock final : public IClock {
public:
    int64_t nowMs() override { return now_; }
    void sleepMs(int ms) override
    {
        if (ms > 0)
            now_ += ms;
    }

private:
    int64_t now_ = 0;
};

// One line per report exchange:
// "<virtual ms, right-aligned width 6> <pid, 2 hex digits> <kind> <bytes>"
// (the simulated bootloader writes its product id with 4 digits: idDigits).
struct TranscriptLine {
    int64_t ms = 0;
    uint16_t productId = 0;
    std::string kind;  // open close set-feature get-feature get-string out in no-answer
    std::vector<uint8_t> bytes;
    int idDigits = 2;  // least number of hex digits of the product id
    std::string text() const;
};

class Transcript {
public:
    void add(int64_t ms, uint16_t productId, std::string kind, std::vector<uint8_t> bytes = {},
             int idDigits = 2);
    const std::vector<TranscriptLine>& lines() const { return lines_; }
    void clear() { lines_.clear(); }
    // Lines of the given kinds only (all when empty), as text.
    std::vector<std::string> text(const std::vector<std::string>& kinds = {}) const;
    // Also stream every new line to this file (empty path: stop).
    bool setFile(const std::string& path);
    // Whether lines are kept in memory (long benchmark runs switch it off;
    // the file, when set, still gets every line).
    void setKeepLines(bool keep) { keep_ = keep; }

private:
    std::vector<TranscriptLine> lines_;
    bool keep_ = true;
    std::unique_ptr<std::ostream> file_;
};

struct SimFaults {
    bool noAnswer = false;   // writes time out, reads time out, feature calls fail
    bool wrongEcho = false;  // replies carry a wrong byte 0
    int corruptWrites = 0;   // the first N block-byte writes are stored inverted
    int unplugAfter = -1;    // the device vanishes after N reports (-1: never)
    int noAnswerFrom = -1;   // as noAnswer from the report with index N on (-1: never)
    // When set, the answers come from these bytes in turn instead of the
    // device's own (which are still worked out, so its memory changes as
    // usual): an input report or a feature answer takes the next 8 bytes, an
    // indexed string a 16-bit little-endian length and that many bytes. Once
    // they are used up nothing answers any more. For fuzzing the reading side.
    std::optional<std::vector<uint8_t>> fuzzReplies;
};

struct SimDeviceConfig {
    std::string modelName;  // "dorrin", "receiver", ...
    uint16_t productId = 0;
    uint16_t firmware = 0;        // release number
    std::array<uint8_t, 4> id{};  // device id (0x84) or receiver id (feature 4)
    int latencyMs = 0;            // per report, spent through the clock
    int wakeAfter = 0;            // Dorrin receiver: 0x83 attempts before it is awake
    SimFaults faults;
    // Receiver feature report 4 bytes 1..3 and Dorrin receiver 0x85 status.
    uint8_t batteryRaw = 200;
    uint8_t signal = 20;  // bits 0..4 strength
    uint8_t statusBits = 0;
    uint8_t batteryPercent = 80;
    uint16_t linkValue = 120;
    bool signalValid = true;                  // 0x85 byte 5 bit 7
    std::string firmwareText = "CVK-1.2.05";  // indexed string 4
};

// Parses "MODEL[:key=value,...]"; throws std::invalid_argument with a
// message naming the bad part.
SimDeviceConfig parseSimSetup(const std::string& setup);
// The model names parseSimSetup accepts, in product-id order.
std::vector<std::string> simModelNames();

class SimBus;

// One simulated physical device: its settings memory, signature areas and
// the collections it exposes. The bus keeps every device it created, also
// after an unplug (marked not present), so nodes never dangle.
class SimDevice {
public:
    SimDevice(SimBus& bus, SimDeviceConfig config);
    const SimDeviceConfig& config() const { return config_; }
    SimDeviceConfig& config() { return config_; }
    uint16_t productId() const { return config_.productId; }

    // The configuration block as block positions 0..255.
    std::array<uint8_t, 256>& block() { return block_; }
    // Device addresses 16/17 (high/low of the 16-bit value set by the write).
    uint16_t extraValue() const { return extra_; }
    std::array<uint8_t, 256>& signatureArea(int which) { return which == 0 ? sig0_ : sig1_; }
    int cursorSpeed() const { return cursorSpeed_; }             // last speed set, -1 none
    std::array<uint8_t, 4> pairedId() const { return paired_; }  // last 0x84 0x70 id
    bool present() const { return present_; }
    int reportCount() const { return reports_; }
    // Steady-clock time spent in the latency of this device's answers.
    std::chrono::nanoseconds latencySpent() const { return latencySpent_; }
    int lastRegisterCommand() const { return lastRegCmd_; }   // last value to 0xFF, -1 none
    int lastLegacyCommand() const { return lastLegacyCmd_; }  // last legacy value to 0xFF, -1 none
    int instance() const { return instance_; }                // n-th device of this product on the bus
    // Collections that carry output and input reports.
    static bool isVendorCollection(const HidInterfaceInfo& col)
    {
        return col.usagePage == 0xFFFF && col.usage == 1;
    }

    // --- device side, called by the simulated nodes ---
    // Every handler counts one report, spends the latency through the clock,
    // honours the faults and logs the exchange in the bus transcript.
    bool handleSetFeature(const HidInterfaceInfo& col, const uint8_t* data, size_t len);
    bool handleGetFeature(const HidInterfaceInfo& col, uint8_t* data, size_t len);
    bool handleIndexedString(int index, std::vector<uint8_t>& out, size_t maxBytes = 256);
    // One output report with a bound: 9 (report id + 8 bytes) or -1 on time-out.
    int handleWrite(const uint8_t* data8, int timeoutMs);
    bool handleOutput(const uint8_t* data8) { return handleWrite(data8, 1 << 30) >= 0; }
    // One input report with a bound: 9, or -1 when no reply came in time.
    // Reads are not counted as reports.
    int handleRead(uint8_t* data8, int timeoutMs);
    // Pops the next queued reply without time, faults or transcript; false when none.
    bool takeInput(uint8_t* data8);

    std::vector<HidInterfaceInfo> collections() const;
    void unplug();

private:
    friend class SimBus;
    void spendLatency();
    bool countReport();  // false when the device is gone (or goes now)
    void afterReport();  // unplugs once the unplug-after count is reached
    void log(const char* kind, std::vector<uint8_t> bytes = {});
    uint8_t readMemory(int deviceAddress) const;
    void writeMemory(int deviceAddress, uint8_t value);
    void storeBlockByte(int position, uint8_t value);
    bool silent() const
    {
        return config_.faults.noAnswer ||
               (config_.faults.noAnswerFrom >= 0 && reports_ > config_.faults.noAnswerFrom);
    }
    bool registerFamily() const { return config_.productId >= 4 && config_.productId <= 6; }
    void setRegister(uint8_t position, uint8_t value);
    bool command(const uint8_t* d, std::array<uint8_t, 8>& reply);  // false: no reply
    void queueReply(const std::array<uint8_t, 8>& reply);
    // The next n bytes of the fuzzed answers (fewer at their end); nullopt
    // when they are used up.
    std::optional<std::vector<uint8_t>> takeFuzzed(size_t n);
    bool fuzzed() const { return config_.faults.fuzzReplies.has_value(); }

    SimBus& bus_;
    SimDeviceConfig config_;
    std::array<uint8_t, 256> block_{};
    std::array<uint8_t, 256> sig0_{}, sig1_{};
    uint16_t extra_ = 0;
    int cursorSpeed_ = -1;
    std::array<uint8_t, 4> paired_{};
    bool present_ = true;
    bool writeWindow_ = false;  // register block bytes land only inside 0xF8 .. 0xFF
    int reports_ = 0;
    std::chrono::nanoseconds latencySpent_{0};
    int corruptDone_ = 0;  // block-byte writes stored inverted so far
    int lastRegCmd_ = -1;
    int lastLegacyCmd_ = -1;
    int wakeAttempts_ = 0;
    int storeAttempts_ = 0;
    int lastWakeParam_ = -1;  // parameter of the wake-up request just before, -1 for none
    int instance_ = 0;
    std::vector<std::array<uint8_t, 8>> replies_;
    size_t fuzzAt_ = 0;  // bytes of the fuzzed answers used so far
};

// The nodes it hands out must not be used after the bus is gone; they then
// fail every call instead of touching freed memory.
class SimBus final : public IHidBus {
public:
    explicit SimBus(IClock& clock);
    ~SimBus() override;

    IClock& clock() { return clock_; }
    Transcript& transcript() { return transcript_; }
    const Transcript& transcript() const { return transcript_; }

    SimDevice& attach(const SimDeviceConfig& config);
    SimDevice& attach(const std::string& setup) { return attach(parseSimSetup(setup)); }
    // Unplugs every device with this product id; false when none was there.
    bool unplug(uint16_t productId);
    // The present device with this product id (first attached), or null.
    SimDevice* find(uint16_t productId);
    // Every device ever attached, unplugged ones included (present() false).
    const std::vector<std::unique_ptr<SimDevice>>& devices() const { return devices_; }

    // Interfaces of other vendors' devices (benchmarks, search tests).
    void addForeignInterface(const HidInterfaceInfo& info);
    // Extra vendor-collection interfaces of an attached product (two matching
    // interfaces for the search tests).
    void addDuplicateVendorInterface(uint16_t productId);
    // The path of this entry disappears between enumeration and open: it is
    // still enumerated, but every open of it fails with NotFound.
    void vanishOnOpen(const std::string& path);

    std::vector<HidInterfaceInfo> enumerate() override;
    HidDevicePtr open(const HidInterfaceInfo& entry, HidOpenError* error = nullptr) override;

    // "sim:<pid>:<instance>:<usage page>:<usage>", hex except the instance.
    static std::string pathOf(const SimDevice& device, const HidInterfaceInfo& col, int duplicate = 0);

private:
    // Enumeration entries of one device, its duplicate vendor entries included.
    std::vector<HidInterfaceInfo> entriesOf(const SimDevice& device) const;

    IClock& clock_;
    Transcript transcript_;
    std::vector<std::unique_ptr<SimDevice>> devices_;
    std::vector<HidInterfaceInfo> foreign_;
    std::map<uint16_t, int> duplicates_;
    std::vector<std::string> vanishing_;
    std::map<uint16_t, int> attachedCount_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace cvk::sim
