// The registry store: every kind lands as the registry type of its own with
// the exact size, a value of any other type reads as absent, and the profile
// list survives a save and a load through the registry. Each test works in
// a key of its own under HKEY_CURRENT_USER\software, removed afterwards.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/windows/registry_store.h"
#include "platform/windows/utf.h"
#include "profiles/profile_store.h"

namespace cvk {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes pattern(std::size_t length, uint8_t seed = 3)
{
    Bytes bytes(length);
    for (std::size_t k = 0; k < length; ++k)
        bytes[k] = static_cast<uint8_t>(k * 7 + seed);
    return bytes;
}

struct RawValue {
    DWORD type = REG_NONE;
    Bytes data;
};

class RegistryStoreTest : public ::testing::Test {
protected:
    RegistryStoreTest()
        : subkey_("software\\CVKeysTest-" + std::to_string(::GetCurrentProcessId()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name()),
          store(RegistrySettingsStore::forCurrentUserKey(subkey_))
    {
        removeKey();
    }
    ~RegistryStoreTest() override { removeKey(); }

    void removeKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, win::wide(subkey_).c_str()); }

    std::wstring keyOf(const std::string& section) const
    {
        return win::wide(section.empty() ? subkey_ : subkey_ + "\\" + section);
    }

    // The value as the registry holds it, read past the store.
    std::optional<RawValue> raw(const std::string& section, const std::string& entry) const
    {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, keyOf(section).c_str(), 0, KEY_QUERY_VALUE, &key) !=
            ERROR_SUCCESS)
            return std::nullopt;
        RawValue value;
        DWORD size = 0;
        const std::wstring name = win::wide(entry);
        LSTATUS status = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
        if (status == ERROR_SUCCESS) {
            value.data.resize(size);
            status = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type,
                                        size ? value.data.data() : nullptr, &size);
        }
        ::RegCloseKey(key);
        if (status != ERROR_SUCCESS)
            return std::nullopt;
        return value;
    }

    // Writes a value of any type past the store.
    void plant(const std::string& section, const std::string& entry, DWORD type, const Bytes& data) const
    {
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, keyOf(section).c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(::RegSetValueExW(key, win::wide(entry).c_str(), 0, type,
                                   data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size())),
                  ERROR_SUCCESS);
        ::RegCloseKey(key);
    }

    static Bytes utf16z(const std::u16string& text)
    {
        Bytes bytes((text.size() + 1) * 2, 0);
        std::memcpy(bytes.data(), text.data(), text.size() * 2);
        return bytes;
    }

    std::string subkey_;
    std::unique_ptr<RegistrySettingsStore> store;
};

TEST_F(RegistryStoreTest, LocationNamesTheKey)
{
    EXPECT_EQ(RegistrySettingsStore::forUser("cvkeys-cli")->location(),
              "HKEY_CURRENT_USER\\software\\Lumrick\\cvkeys-cli");
    EXPECT_EQ(store->location(), "HKEY_CURRENT_USER\\" + subkey_);
}

TEST_F(RegistryStoreTest, IntegersAreFourByteDwords)
{
    const struct {
        int32_t value;
        Bytes stored;  // little-endian
    } cases[] = {
        {0, {0, 0, 0, 0}},
        {1, {1, 0, 0, 0}},
        {-1, {0xFF, 0xFF, 0xFF, 0xFF}},
        {0x12345678, {0x78, 0x56, 0x34, 0x12}},
        {INT32_MIN, {0, 0, 0, 0x80}},
        {INT32_MAX, {0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        ASSERT_TRUE(store->writeInt("Profile", "NumberOfProfiles", c.value));
        EXPECT_EQ(store->readInt("Profile", "NumberOfProfiles", 77), c.value);
        const std::optional<RawValue> value = raw("Profile", "NumberOfProfiles");
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(value->data, c.stored);
    }
}

TEST_F(RegistryStoreTest, TextsAreZeroTerminatedUtf16)
{
    const struct {
        std::string utf8;
        std::u16string utf16;
    } cases[] = {
        {"", u""},
        {"Office", u"Office"},
        {"Spiel \xC3\xA4\xC3\xB6\xC3\xBC \xC3\x85sa", u"Spiel \u00E4\u00F6\u00FC \u00C5sa"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", u"\u65E5\u672C"},
        {"\xF0\x9F\x96\xB1 mouse", u"\U0001F5B1 mouse"},  // a surrogate pair
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        ASSERT_TRUE(store->writeText("Profile00", "Name", c.utf8));
        EXPECT_EQ(store->readText("Profile00", "Name", "fallback"), c.utf8);
        const std::optional<RawValue> value = raw("Profile00", "Name");
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(value->data, utf16z(c.utf16));
    }
}

TEST_F(RegistryStoreTest, TextWithAZeroCharacterIsRefused)
{
    ASSERT_TRUE(store->writeText("", "Langauge", "English"));
    EXPECT_FALSE(store->writeText("", "Langauge", std::string("Eng\0lish", 8)));
    EXPECT_EQ(store->readText("", "Langauge"), "English");
}

TEST_F(RegistryStoreTest, ByteBlocksKeepTheirExactLength)
{
    for (const std::size_t length : {0u, 1u, 64u, 128u, 512u, 1024u}) {
        SCOPED_TRACE(length);
        const Bytes block = pattern(length, static_cast<uint8_t>(length));
        ASSERT_TRUE(store->writeBytes("Profile01", "Data", block));
        EXPECT_EQ(store->readBytes("Profile01", "Data"), block);
        const std::optional<RawValue> value = raw("Profile01", "Data");
        ASSERT_TRUE(value);
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_BINARY));
        EXPECT_EQ(value->data, block);
    }
}

TEST_F(RegistryStoreTest, SectionEmptyIsTheApplicationKey)
{
    ASSERT_TRUE(store->writeText("", "Langauge", "Deutsch"));
    const std::optional<RawValue> value = raw("", "Langauge");
    ASSERT_TRUE(value);
    EXPECT_EQ(value->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(store->readText("", "Langauge"), "Deutsch");
}

TEST_F(RegistryStoreTest, MissingKeysAndValuesGiveTheDefaults)
{
    EXPECT_EQ(store->readInt("Profile", "NumberOfProfiles", 42), 42);
    EXPECT_EQ(store->readText("Profile00", "Name", "none"), "none");
    EXPECT_FALSE(store->readBytes("Profile00", "Data"));
    EXPECT_TRUE(store->all().empty());

    ASSERT_TRUE(store->writeInt("Profile", "NumberOfProfiles", 1));
    EXPECT_EQ(store->readInt("Profile", "NumberOfProfiles.F", -5), -5);
    EXPECT_EQ(store->readInt("Other", "NumberOfProfiles", -5), -5);
}

// A value planted past the store, read as each kind: only the kind the
// registry type stands for finds it.
TEST_F(RegistryStoreTest, ValuesOfAnotherTypeReadAsAbsent)
{
    const struct {
        const char* what;
        DWORD type;
        Bytes data;
        bool isInt, isText, isBytes;
    } cases[] = {
        {"dword", REG_DWORD, {5, 0, 0, 0}, true, false, false},
        {"dword of 2 bytes", REG_DWORD, {5, 0}, false, false, false},
        {"dword of 8 bytes", REG_DWORD, {5, 0, 0, 0, 0, 0, 0, 0}, false, false, false},
        {"dword of 0 bytes", REG_DWORD, {}, false, false, false},
        {"qword", REG_QWORD, {5, 0, 0, 0, 0, 0, 0, 0}, false, false, false},
        {"big-endian dword", REG_DWORD_BIG_ENDIAN, {0, 0, 0, 5}, false, false, false},
        {"sz", REG_SZ, utf16z(u"5"), false, true, false},
        {"expand sz", REG_EXPAND_SZ, utf16z(u"%TEMP%"), false, false, false},
        {"multi sz", REG_MULTI_SZ, {'a', 0, 0, 0, 0, 0}, false, false, false},
        {"binary", REG_BINARY, {5, 0, 0, 0}, false, false, true},
        {"none", REG_NONE, {5, 0, 0, 0}, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        plant("Profile02", "Value", c.type, c.data);
        EXPECT_EQ(store->readInt("Profile02", "Value", -7), c.isInt ? 5 : -7);
        EXPECT_EQ(store->readText("Profile02", "Value", "fallback"), c.isText ? "5" : "fallback");
        EXPECT_EQ(store->readBytes("Profile02", "Value").has_value(), c.isBytes);
        const std::vector<SettingEntry> listed = store->all();
        EXPECT_EQ(listed.size(), c.isInt || c.isText || c.isBytes ? 1u : 0u);
    }
}

TEST_F(RegistryStoreTest, TextWithoutTerminatingZeroReadsWhole)
{
    plant("", "Langauge", REG_SZ, {'E', 0, 'N', 0});
    EXPECT_EQ(store->readText("", "Langauge"), "EN");
}

TEST_F(RegistryStoreTest, RewritingAValueReplacesItsType)
{
    ASSERT_TRUE(store->writeInt("Profile00", "Name", 3));
    ASSERT_TRUE(store->writeText("Profile00", "Name", "Work"));
    EXPECT_EQ(store->readInt("Profile00", "Name", -1), -1);
    EXPECT_EQ(raw("Profile00", "Name")->type, static_cast<DWORD>(REG_SZ));
}

TEST_F(RegistryStoreTest, NamesThatWouldNestAreRefused)
{
    EXPECT_FALSE(store->writeInt("Profile\\00", "Name", 1));
    EXPECT_FALSE(store->writeInt("Profile", "a\\b", 1));
    EXPECT_FALSE(store->writeInt("Profile", "", 1));
    EXPECT_TRUE(store->all().empty());
}

TEST_F(RegistryStoreTest, AllListsEveryKindSortedBySectionThenEntry)
{
    ASSERT_TRUE(store->writeText("Profile01", "Name", "B"));
    ASSERT_TRUE(store->writeBytes("Profile00", "Data", {1, 2}));
    ASSERT_TRUE(store->writeText("", "Langauge", "English"));
    ASSERT_TRUE(store->writeInt("Profile", "NumberOfProfiles", 2));
    ASSERT_TRUE(store->writeText("Profile00", "Name", "A"));
    ASSERT_TRUE(store->writeBytes("Profile00", "Blank", {}));

    const std::vector<SettingEntry> listed = store->all();
    std::vector<std::string> order;
    for (const SettingEntry& e : listed)
        order.push_back(e.section + "/" + e.entry);
    EXPECT_EQ(order, (std::vector<std::string>{"/Langauge", "Profile/NumberOfProfiles", "Profile00/Blank",
                                               "Profile00/Data", "Profile00/Name", "Profile01/Name"}));
    ASSERT_EQ(listed.size(), 6u);
    EXPECT_EQ(listed[0].kind, SettingKind::Text);
    EXPECT_EQ(listed[0].text, "English");
    EXPECT_EQ(listed[1].kind, SettingKind::Integer);
    EXPECT_EQ(listed[1].integer, 2);
    EXPECT_EQ(listed[2].kind, SettingKind::Bytes);
    EXPECT_TRUE(listed[2].bytes.empty());
    EXPECT_EQ(listed[3].bytes, (Bytes{1, 2}));
}

TEST_F(RegistryStoreTest, WriteTheRegistryRefusesFails)
{
    ASSERT_TRUE(store->writeInt("Profile", "NumberOfProfiles", 4));
    // Key names are at most 255 characters long.
    const std::string tooLong(300, 'k');
    EXPECT_FALSE(store->writeInt(tooLong, "NumberOfProfiles", 5));
    EXPECT_EQ(store->readInt(tooLong, "NumberOfProfiles", -1), -1);
    EXPECT_EQ(store->readInt("Profile", "NumberOfProfiles", -1), 4);
}

TEST_F(RegistryStoreTest, ProfileListRoundTrip)
{
    CProfileList saved(2);
    auto first = saved.begin();
    first->name = "B\xC3\xBCro";
    first->configuration.fill(0x11);
    first->signature.fill(0x22);
    first->signatureText[0] = u'\u00E9';
    first->signatureText[1] = u'x';
    auto second = std::next(first);
    second->name = "Games";
    for (std::size_t i = 0; i < second->configuration.size(); ++i)
        second->configuration[i] = static_cast<uint8_t>(i);

    for (const bool listF : {false, true}) {
        SCOPED_TRACE(listF);
        CProfileList list = saved;
        ASSERT_TRUE(saveStoredProfiles(*store, list, listF));
        const CProfileList loaded = loadStoredProfiles(*store, listF);
        ASSERT_EQ(loaded.size(), 2u);
        auto a = loaded.begin();
        auto b = std::next(a);
        EXPECT_EQ(a->name, first->name);
        EXPECT_EQ(a->configuration, first->configuration);
        EXPECT_EQ(a->signature, first->signature);
        EXPECT_EQ(a->signatureText, first->signatureText);
        EXPECT_EQ(b->name, second->name);
        EXPECT_EQ(b->configuration, second->configuration);
    }
    // The values land as the registry types their kinds stand for.
    EXPECT_EQ(raw("Profile", "NumberOfProfiles")->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(raw("Profile00", "Name")->type, static_cast<DWORD>(REG_SZ));
    const std::optional<RawValue> data = raw("Profile00", "Data");
    ASSERT_TRUE(data);
    EXPECT_EQ(data->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(data->data.size(), static_cast<std::size_t>(kProfileConfigSize));
    const std::optional<RawValue> signatureText = raw("Profile00", "SignatureText");
    ASSERT_TRUE(signatureText);
    EXPECT_EQ(signatureText->data.size(), static_cast<std::size_t>(kProfileSignatureTextUnits * 2));
}

}  // namespace
}  // namespace cvk
