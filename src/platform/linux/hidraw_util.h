#pragma once
// Small pure pieces of the hidraw backend, kept apart so they can be tested
// without devices.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/hid_bus.h"

namespace cvk::hidraw {

struct UsagePair {
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    bool operator==(const UsagePair&) const = default;
};

// Usage page and usage of every top-level collection of a HID report
// descriptor, in order. Nested collections do not count. A malformed tail
// ends the walk; what was complete before it stays.
std::vector<UsagePair> topLevelCollections(std::span<const uint8_t> descriptor);

// Turns hidapi's entries into one entry per top-level collection of each
// node. hidapi 0.13 lists nested collections too, and none at all for a node
// it could not open; the node's report descriptor (from sysfs, readable
// without access to the node) decides instead. A node whose descriptor is
// unknown or has no collection keeps hidapi's pairs, duplicates dropped.
using DescriptorReader = std::function<std::optional<std::vector<uint8_t>>(const std::string& path)>;
std::vector<HidInterfaceInfo> entriesPerCollection(const std::vector<HidInterfaceInfo>& raw,
                                                   const DescriptorReader& readDescriptor);

// "/dev/hidraw3" -> "hidraw3"; empty when the path is not a hidraw node.
std::string hidrawSysname(const std::string& path);

// A decimal sysfs attribute such as busnum or devnum ("3", "3\n") within
// 1..maxValue; nullopt otherwise.
std::optional<int> parseSysattrNumber(const char* text, int maxValue);

// The payload of a string descriptor as it arrived (the 2-byte header
// dropped), at most maxBytes. bLength is not trusted: it cannot describe the
// 256-byte blocks that some devices deliver as a string, so the transferred
// length decides. nullopt when not even the header arrived.
std::optional<std::vector<uint8_t>> stringDescriptorPayload(std::span<const uint8_t> raw,
                                                            std::size_t maxBytes);

// First language id of string descriptor 0; US English when there is none.
uint16_t firstLangId(std::span<const uint8_t> raw);

// Why opening a node failed, from the errno of open() or access().
HidOpenError classifyOpenErrno(int err);

}  // namespace cvk::hidraw
