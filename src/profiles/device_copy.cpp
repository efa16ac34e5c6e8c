#include "profiles/device_copy.h"

#include <algorithm>
#include <fmt/format.h>

#include "config/config_model.h"
#include "config/text_bytes.h"
#include "platform/settings_store.h"

namespace cvk {

namespace {

// A value of the wrong kind or of length 0 counts as absent.
std::optional<std::vector<uint8_t>> readBlock(ISettingsStore& store, const std::string& key,
                                              const char* entry)
{
    std::optional<std::vector<uint8_t>> bytes = store.readBytes(key, entry);
    if (bytes && bytes->empty())
        return std::nullopt;
    return bytes;
}

}  // namespace

std::string hardwareKey(const std::array<uint8_t, 4>& id)
{
    return fmt::format("HW:{:02x}:{:02x}:{:02x}:{:02x}", id[0], id[1], id[2], id[3]);
}

bool hasDeviceCopy(ISettingsStore& store, const std::string& key)
{
    return !key.empty() && readBlock(store, key, kDeviceCopyData).has_value();
}

DeviceCopyLoad loadDeviceCopy(ISettingsStore& store, const std::string& key, ConfigModel& model)
{
    DeviceCopyLoad loaded;
    if (key.empty())
        return loaded;
    if (const auto data = readBlock(store, key, kDeviceCopyData)) {
        std::copy_n(data->begin(), std::min(data->size(), model.block.size()), model.block.begin());
        loaded.data = true;
    }
    if (const auto signature = readBlock(store, key, kDeviceCopySignature)) {
        copyUtf16Bytes(*signature, model.signatureText);
        loaded.signature = true;
    }
    if (const auto snippet = readBlock(store, key, kDeviceCopySnippet)) {
        copyUtf16Bytes(*snippet, model.snippetText);
        loaded.snippet = true;
    }
    return loaded;
}

bool saveDeviceCopy(ISettingsStore& store, const std::string& key, const ConfigModel& model)
{
    if (key.empty())
        return false;
    bool written = store.writeBytes(key, kDeviceCopyData, {model.block.begin(), model.block.end()});
    written = store.writeBytes(key, kDeviceCopySignature, utf16Bytes(model.signatureText)) && written;
    written = store.writeBytes(key, kDeviceCopySnippet, utf16Bytes(model.snippetText)) && written;
    return written;
}

}  // namespace cvk
