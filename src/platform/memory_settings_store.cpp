#include "platform/memory_settings_store.h"

#include <charconv>

namespace cvk {

std::optional<int32_t> parseStoredInteger(std::string_view text)
{
    const size_t digits = text.size() - (text.starts_with('-') ? 1 : 0);
    if (digits == 0 || text.find_first_not_of("0123456789", text.size() - digits) != std::string_view::npos)
        return std::nullopt;
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

bool validSettingNames(const std::string& section, const std::string& entry)
{
    return !entry.empty() && section.find_first_of("/\\") == std::string::npos &&
           entry.find_first_of("/\\") == std::string::npos;
}

const SettingEntry* MemorySettingsStore::find(const std::string& section, const std::string& entry) const
{
    const auto it = entries_.find({section, entry});
    return it == entries_.end() ? nullptr : &it->second;
}

int32_t MemorySettingsStore::readInt(const std::string& section, const std::string& entry, int32_t fallback)
{
    const SettingEntry* e = find(section, entry);
    if (!e)
        return fallback;
    if (e->kind == SettingKind::Integer)
        return static_cast<int32_t>(e->integer);
    if (e->kind == SettingKind::Text)
        return parseStoredInteger(e->text).value_or(fallback);
    return fallback;
}

std::string MemorySettingsStore::readText(const std::string& section, const std::string& entry,
                                          const std::string& fallback)
{
    const SettingEntry* e = find(section, entry);
    if (!e)
        return fallback;
    if (e->kind == SettingKind::Text)
        return e->text;
    if (e->kind == SettingKind::Integer)
        return std::to_string(e->integer);
    return fallback;
}

std::optional<std::vector<uint8_t>> MemorySettingsStore::readBytes(const std::string& section,
                                                                   const std::string& entry)
{
    const SettingEntry* e = find(section, entry);
    if (!e || e->kind != SettingKind::Bytes)
        return std::nullopt;
    return e->bytes;
}

bool MemorySettingsStore::store(SettingEntry value)
{
    if (failWrites || !validSettingNames(value.section, value.entry))
        return false;
    auto key = std::make_pair(value.section, value.entry);
    entries_.insert_or_assign(std::move(key), std::move(value));
    return true;
}

bool MemorySettingsStore::writeInt(const std::string& section, const std::string& entry, int32_t value)
{
    return store({section, entry, SettingKind::Integer, value, {}, {}});
}

bool MemorySettingsStore::writeText(const std::string& section, const std::string& entry,
                                    const std::string& value)
{
    return store({section, entry, SettingKind::Text, 0, value, {}});
}

bool MemorySettingsStore::writeBytes(const std::string& section, const std::string& entry,
                                     const std::vector<uint8_t>& value)
{
    return store({section, entry, SettingKind::Bytes, 0, {}, value});
}

std::vector<SettingEntry> MemorySettingsStore::all()
{
    std::vector<SettingEntry> list;
    list.reserve(entries_.size());
    for (const auto& [key, value] : entries_)
        list.push_back(value);
    return list;
}

bool MemorySettingsStore::erase(const std::string& section, const std::string& entry)
{
    return entries_.erase({section, entry}) > 0;
}

}  // namespace cvk
