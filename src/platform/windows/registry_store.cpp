#include "platform/windows/registry_store.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <tuple>
#include <utility>

#include "platform/memory_settings_store.h"
#include "platform/windows/utf.h"

namespace cvk {

namespace {

// Closes the key when it leaves scope.
class Key {
public:
    Key() = default;
    ~Key()
    {
        if (key_)
            ::RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

private:
    HKEY key_ = nullptr;
};

std::wstring keyPath(const std::string& subkey, const std::string& section)
{
    return win::wide(section.empty() ? subkey : subkey + '\\' + section);
}

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
};

std::optional<RawValue> queryValue(HKEY key, const std::wstring& name)
{
    RawValue value;
    // The value may grow between the size query and the read: ask again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = 0;
        LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        // Never a null buffer: with one the call reports success and the
        // size of a value that grew meanwhile, without reading it.
        value.data.resize(std::max<DWORD>(size, 1));
        size = static_cast<DWORD>(value.data.size());
        status = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &size);
        if (status == ERROR_MORE_DATA)
            continue;
        if (status != ERROR_SUCCESS || size > value.data.size())
            return std::nullopt;
        value.data.resize(size);
        return value;
    }
    return std::nullopt;
}

// What a raw value is as a setting; nullopt for the types the store does not
// write (REG_EXPAND_SZ, REG_MULTI_SZ, REG_QWORD, ...) and for a REG_DWORD that
// is not 4 bytes long.
std::optional<SettingEntry> classify(const RawValue& raw)
{
    SettingEntry entry;
    switch (raw.type) {
    case REG_DWORD: {
        if (raw.data.size() != sizeof(uint32_t))
            return std::nullopt;
        uint32_t number = 0;
        std::memcpy(&number, raw.data.data(), sizeof number);
        entry.kind = SettingKind::Integer;
        entry.integer = static_cast<int32_t>(number);
        return entry;
    }
    case REG_SZ: {
        std::wstring text(raw.data.size() / sizeof(wchar_t), L'\0');
        if (!text.empty())
            std::memcpy(text.data(), raw.data.data(), text.size() * sizeof(wchar_t));
        // The stored terminating zero, or one that a hand-made value has early.
        text.resize(std::wcslen(text.c_str()));
        entry.kind = SettingKind::Text;
        entry.text = win::narrow(text);
        return entry;
    }
    case REG_BINARY:
        entry.kind = SettingKind::Bytes;
        entry.bytes = raw.data;
        return entry;
    default: return std::nullopt;
    }
}

std::optional<SettingEntry> lookUp(const std::string& subkey, const std::string& section,
                                   const std::string& entry, SettingKind kind)
{
    if (!validSettingNames(section, entry))
        return std::nullopt;
    Key key;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyPath(subkey, section).c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS)
        return std::nullopt;
    const std::optional<RawValue> raw = queryValue(key.get(), win::wide(entry));
    if (!raw)
        return std::nullopt;
    std::optional<SettingEntry> value = classify(*raw);
    if (!value || value->kind != kind)
        return std::nullopt;
    return value;
}

// Appends the readable values of one open key as entries of section.
void listValues(HKEY key, const std::string& section, std::vector<SettingEntry>& out)
{
    DWORD maxName = 0;
    DWORD maxData = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                           &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::wstring name(maxName + 1, L'\0');
    RawValue raw;
    raw.data.resize(std::max<DWORD>(maxData, 1));  // never null, as in queryValue
    for (DWORD index = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD size = static_cast<DWORD>(raw.data.size());
        const LSTATUS status =
            ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &raw.type, raw.data.data(), &size);
        if (status == ERROR_MORE_DATA) {
            // Changed since the size query: grow and ask for the same value.
            name.resize(std::max<std::size_t>(name.size() * 2, 256));
            raw.data.resize(std::max<std::size_t>(raw.data.size() * 2, size));
            continue;
        }
        if (status != ERROR_SUCCESS || size > raw.data.size())
            break;
        ++index;
        RawValue value{raw.type, std::vector<uint8_t>(raw.data.begin(), raw.data.begin() + size)};
        std::optional<SettingEntry> entry = classify(value);
        if (!entry)
            continue;
        entry->section = section;
        entry->entry = win::narrow(std::wstring_view(name.data(), nameLength));
        if (validSettingNames(entry->section, entry->entry))
            out.push_back(std::move(*entry));
    }
}

}  // namespace

RegistrySettingsStore::RegistrySettingsStore(std::string subkey) : subkey_(std::move(subkey)) {}

std::unique_ptr<RegistrySettingsStore> RegistrySettingsStore::forUser(const std::string& applicationName)
{
    return forCurrentUserKey("software\\Lumrick\\" + applicationName);
}

std::unique_ptr<RegistrySettingsStore> RegistrySettingsStore::forCurrentUserKey(const std::string& subkey)
{
    return std::unique_ptr<RegistrySettingsStore>(new RegistrySettingsStore(subkey));
}

std::string RegistrySettingsStore::location() const { return "HKEY_CURRENT_USER\\" + subkey_; }

int32_t RegistrySettingsStore::readInt(const std::string& section, const std::string& entry, int32_t fallback)
{
    const std::optional<SettingEntry> value = lookUp(subkey_, section, entry, SettingKind::Integer);
    return value ? static_cast<int32_t>(value->integer) : fallback;
}

std::string RegistrySettingsStore::readText(const std::string& section, const std::string& entry,
                                            const std::string& fallback)
{
    std::optional<SettingEntry> value = lookUp(subkey_, section, entry, SettingKind::Text);
    return value ? std::move(value->text) : fallback;
}

std::optional<std::vector<uint8_t>> RegistrySettingsStore::readBytes(const std::string& section,
                                                                     const std::string& entry)
{
    std::optional<SettingEntry> value = lookUp(subkey_, section, entry, SettingKind::Bytes);
    if (!value)
        return std::nullopt;
    return std::move(value->bytes);
}

bool RegistrySettingsStore::write(const std::string& section, const std::string& entry, unsigned long type,
                                  const void* data, std::size_t size)
{
    if (!validSettingNames(section, entry) || size > 0xFFFFFFFFu)
        return false;
    Key key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath(subkey_, section).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.out(),
                          nullptr) != ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(key.get(), win::wide(entry).c_str(), 0, type, static_cast<const BYTE*>(data),
                            static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool RegistrySettingsStore::writeInt(const std::string& section, const std::string& entry, int32_t value)
{
    const auto number = static_cast<uint32_t>(value);
    return write(section, entry, REG_DWORD, &number, sizeof number);
}

bool RegistrySettingsStore::writeText(const std::string& section, const std::string& entry,
                                      const std::string& value)
{
    if (value.find('\0') != std::string::npos)
        return false;
    const std::wstring text = win::wide(value);
    // With its terminating zero, as REG_SZ wants.
    return write(section, entry, REG_SZ, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

bool RegistrySettingsStore::writeBytes(const std::string& section, const std::string& entry,
                                       const std::vector<uint8_t>& value)
{
    return write(section, entry, REG_BINARY, value.empty() ? nullptr : value.data(), value.size());
}

std::vector<SettingEntry> RegistrySettingsStore::all()
{
    std::vector<SettingEntry> entries;
    Key app;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, win::wide(subkey_).c_str(), 0, KEY_READ, app.out()) !=
        ERROR_SUCCESS)
        return entries;
    listValues(app.get(), "", entries);

    std::vector<std::wstring> sections;
    std::wstring name(256, L'\0');  // key names are at most 255 characters
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        if (::RegEnumKeyExW(app.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        sections.emplace_back(name.data(), length);
    }
    for (const std::wstring& section : sections) {
        Key sub;
        if (::RegOpenKeyExW(app.get(), section.c_str(), 0, KEY_QUERY_VALUE, sub.out()) == ERROR_SUCCESS)
            listValues(sub.get(), win::narrow(section), entries);
    }
    std::sort(entries.begin(), entries.end(), [](const SettingEntry& a, const SettingEntry& b) {
        return std::tie(a.section, a.entry) < std::tie(b.section, b.entry);
    });
    return entries;
}

}  // namespace cvk
