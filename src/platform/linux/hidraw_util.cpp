#include "platform/linux/hidraw_util.h"

#include <algorithm>
#include <cerrno>
#include <map>

namespace cvk::hidraw {

namespace {
constexpr uint16_t kUsEnglish = 0x0409;
constexpr std::string_view kHidrawPrefix = "hidraw";
}  // namespace

std::vector<UsagePair> topLevelCollections(std::span<const uint8_t> d)
{
    enum : uint8_t {
        kCollection = 0xA0,
        kEndCollection = 0xC0,
        kUsagePage = 0x04,
        kPush = 0xA4,
        kPop = 0xB4,
        kUsage = 0x08,
        kLongItem = 0xFE,
    };
    constexpr uint8_t kTypeMain = 0x00;

    std::vector<UsagePair> result;
    std::vector<uint32_t> pageStack;
    uint32_t page = 0;
    // The first Usage of the current local set (a plain flag and value: GCC 12
    // reports a false maybe-uninitialized on std::optional here at -O2).
    bool haveUsage = false;
    uint32_t usage = 0;
    int usageSize = 0;
    int depth = 0;

    std::size_t pos = 0;
    while (pos < d.size()) {
        const uint8_t prefix = d[pos];
        if (prefix == kLongItem) {
            if (pos + 1 >= d.size())
                break;
            pos += 3 + std::size_t{d[pos + 1]};
            continue;
        }
        const std::size_t size = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
        if (pos + 1 + size > d.size())
            break;
        uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i)
            value |= uint32_t{d[pos + 1 + i]} << (8 * i);
        const uint8_t tag = prefix & 0xFC;

        switch (tag) {
        case kUsagePage: page = value; break;
        case kPush: pageStack.push_back(page); break;
        case kPop:
            if (!pageStack.empty()) {
                page = pageStack.back();
                pageStack.pop_back();
            }
            break;
        case kUsage:
            if (!haveUsage) {
                haveUsage = true;
                usage = value;
                usageSize = static_cast<int>(size);
            }
            break;
        case kCollection:
            if (depth == 0) {
                UsagePair pair;
                if (haveUsage) {
                    // A 4-byte usage carries its own page in the high half.
                    pair.usagePage = static_cast<uint16_t>(usageSize == 4 ? usage >> 16 : page);
                    pair.usage = static_cast<uint16_t>(usage & 0xFFFF);
                } else {
                    pair.usagePage = static_cast<uint16_t>(page);
                }
                result.push_back(pair);
            }
            ++depth;
            break;
        case kEndCollection:
            if (depth > 0)
                --depth;
            break;
        default: break;
        }
        // Every main item ends the local set.
        if ((prefix & 0x0C) == kTypeMain) {
            haveUsage = false;
            usage = 0;
            usageSize = 0;
        }
        pos += 1 + size;
    }
    return result;
}

std::vector<HidInterfaceInfo> entriesPerCollection(const std::vector<HidInterfaceInfo>& raw,
                                                   const DescriptorReader& readDescriptor)
{
    std::vector<HidInterfaceInfo> result;
    std::map<std::string, bool> done;
    for (const auto& first : raw) {
        if (done[first.path])
            continue;
        done[first.path] = true;

        std::vector<UsagePair> pairs;
        if (readDescriptor) {
            if (const auto descriptor = readDescriptor(first.path))
                pairs = topLevelCollections(*descriptor);
        }
        if (pairs.empty()) {
            for (const auto& e : raw) {
                const UsagePair pair{e.usagePage, e.usage};
                if (e.path == first.path && std::find(pairs.begin(), pairs.end(), pair) == pairs.end())
                    pairs.push_back(pair);
            }
        }
        for (const auto& pair : pairs) {
            HidInterfaceInfo entry = first;
            entry.usagePage = pair.usagePage;
            entry.usage = pair.usage;
            result.push_back(std::move(entry));
        }
    }
    return result;
}

std::string hidrawSysname(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.size() <= kHidrawPrefix.size() || name.compare(0, kHidrawPrefix.size(), kHidrawPrefix) != 0)
        return {};
    const bool digits = std::all_of(name.begin() + static_cast<std::ptrdiff_t>(kHidrawPrefix.size()),
                                    name.end(), [](char c) { return c >= '0' && c <= '9'; });
    return digits ? name : std::string{};
}

std::optional<int> parseSysattrNumber(const char* text, int maxValue)
{
    if (!text)
        return std::nullopt;
    long value = 0;
    int digits = 0;
    const char* p = text;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 + (*p - '0');
        if (value > maxValue)
            return std::nullopt;
        ++digits;
    }
    while (*p == '\n' || *p == ' ')
        ++p;
    if (digits == 0 || *p != '\0' || value < 1)
        return std::nullopt;
    return static_cast<int>(value);
}

std::optional<std::vector<uint8_t>> stringDescriptorPayload(std::span<const uint8_t> raw,
                                                            std::size_t maxBytes)
{
    if (raw.size() < 2)
        return std::nullopt;
    const auto payload = raw.subspan(2);
    const std::size_t n = std::min(payload.size(), maxBytes);
    return std::vector<uint8_t>(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(n));
}

uint16_t firstLangId(std::span<const uint8_t> raw)
{
    if (raw.size() < 4 || raw[0] < 4)
        return kUsEnglish;
    const auto id = static_cast<uint16_t>(raw[2] | (raw[3] << 8));
    return id != 0 ? id : kUsEnglish;
}

HidOpenError classifyOpenErrno(int err)
{
    switch (err) {
    case EACCES:
    case EPERM: return HidOpenError::PermissionDenied;
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR: return HidOpenError::NotFound;
    default: return HidOpenError::Other;
    }
}

}  // namespace cvk::hidraw
