#include "service/intel_hex.h"

#include <fmt/format.h>

#include <vector>

namespace cvk::service {

std::string HexCheck::message() const
{
    if (ok)
        return {};
    if (line <= 0)
        return fault;
    return fmt::format("line {}: {}", line, fault);
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

HexCheck refuse(int line, std::string fault)
{
    HexCheck check;
    check.line = line;
    check.fault = std::move(fault);
    return check;
}

}  // namespace

HexCheck checkIntelHex(std::string_view text)
{
    if (text.size() > kMaxHexFileBytes)
        return refuse(0, fmt::format("the file is larger than {} KiB, too large for a firmware image",
                                     kMaxHexFileBytes / 1024));
    HexCheck result;
    FirmwareImage& image = result.image;
    bool ended = false;
    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        std::string_view line = text.substr(pos, end - pos);
        // One line break: LF, CR LF or a lone CR.
        std::size_t next = end;
        if (next < text.size() && text[next] == '\r')
            ++next;
        if (next < text.size() && text[next] == '\n')
            ++next;
        pos = next;
        ++lineNo;

        if (ended) {
            if (line.empty())
                continue;  // line breaks after the end record are harmless
            return refuse(lineNo, "there is text after the end-of-file record");
        }
        if (line.empty())
            return refuse(lineNo, "the line is empty");
        if (line[0] != ':')
            return refuse(lineNo, "a record must start with ':'");
        for (std::size_t i = 1; i < line.size(); ++i) {
            if (hexDigit(line[i]) >= 0)
                continue;
            unsigned char c = static_cast<unsigned char>(line[i]);
            if (c < 0x20 || c >= 0x7F)
                return refuse(lineNo, fmt::format("character {} is not a hex digit (byte 0x{:02X})", i + 1,
                                                  static_cast<unsigned>(c)));
            return refuse(lineNo,
                          fmt::format("character {} ('{}') is not a hex digit", i + 1, static_cast<char>(c)));
        }
        if ((line.size() - 1) % 2 != 0)
            return refuse(lineNo, "the record has an odd number of hex digits");
        std::vector<uint8_t> bytes;
        for (std::size_t i = 1; i < line.size(); i += 2)
            bytes.push_back(static_cast<uint8_t>(hexDigit(line[i]) * 16 + hexDigit(line[i + 1])));
        if (bytes.size() < 5)
            return refuse(lineNo, "the record is too short");
        const std::size_t count = bytes[0];
        if (bytes.size() != count + 5)
            return refuse(lineNo,
                          fmt::format("the record says {} data bytes but holds {}", count, bytes.size() - 5));
        unsigned sum = 0;
        for (uint8_t b : bytes)
            sum += b;
        if ((sum & 0xFF) != 0)
            return refuse(lineNo, "the record's checksum is wrong");
        const uint32_t address = static_cast<uint32_t>(bytes[1] << 8 | bytes[2]);
        const uint8_t type = bytes[3];
        const uint8_t* data = bytes.data() + 4;
        switch (type) {
        case 0x00: {
            if (address + count > 0x10000)
                return refuse(lineNo, "the record runs past address 0xFFFF");
            if (count > 0 && address + count > kApplicationEnd)
                return refuse(
                    lineNo, fmt::format("data at 0x{:04X} lies outside the application area 0x0000-0x{:04X}; "
                                        "the bootloader's area must not be written",
                                        std::max<uint32_t>(address, kApplicationEnd), kApplicationEnd - 1));
            for (std::size_t i = 0; i < count; ++i) {
                const uint32_t a = address + static_cast<uint32_t>(i);
                if (image.used[a] && image.bytes[a] != data[i])
                    return refuse(lineNo,
                                  fmt::format("address 0x{:04X} is given twice with different values", a));
                if (!image.used[a]) {
                    image.used[a] = true;
                    image.bytes[a] = data[i];
                    ++image.count;
                }
            }
            break;
        }
        case 0x01:
            if (count != 0)
                return refuse(lineNo, "the end-of-file record must hold no data");
            ended = true;
            break;
        case 0x02:
        case 0x04:
            if (count != 2)
                return refuse(lineNo, "an extended address record must hold two bytes");
            if (data[0] != 0 || data[1] != 0)
                return refuse(lineNo, "the extended address points beyond the device's 16 KiB of flash");
            break;
        case 0x03:
        case 0x05:
            if (count != 4)
                return refuse(lineNo, "a start address record must hold four bytes");
            break;  // the bootloader starts the application at 0 anyway
        default:
            return refuse(lineNo,
                          fmt::format("record type {:02X} is not one a firmware image may hold", type));
        }
    }
    if (!ended)
        return refuse(0, "the end-of-file record is missing (the file may be cut short)");
    if (image.count == 0)
        return refuse(0, "the file holds no data");
    image.low = 0;
    while (!image.used[image.low])
        ++image.low;
    image.high = kApplicationEnd - 1;
    while (!image.used[image.high])
        --image.high;
    result.ok = true;
    return result;
}

}  // namespace cvk::service
