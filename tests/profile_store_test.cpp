// The profile store: what a load makes of stored keys (gaps, short and long
// values, wrong kinds, repairs of the classic pointer bytes), how a save
// renumbers, that the two lists share the signatures per index, that a
// deleted profile never comes back, and the first-run defaults byte for byte.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/first_run.h"
#include "config/config_model.h"
#include "config/text_bytes.h"
#include "platform/memory_settings_store.h"
#include "profiles/profile_store.h"

#include "settings_location.h"
#include "temp_dir.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

constexpr int kClassicModel = 5;
constexpr int kFModel = 8;

std::string hex(const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 0x0F];
    }
    return text;
}

Bytes fromHex(const std::string& text)
{
    Bytes bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
    return bytes;
}

// A stored value that tells its bytes apart: byte k is (k * 7 + seed).
Bytes pattern(size_t length, uint8_t seed = 3)
{
    Bytes bytes(length);
    for (size_t k = 0; k < length; ++k)
        bytes[k] = static_cast<uint8_t>(k * 7 + seed);
    return bytes;
}

// A 128-byte configuration whose classic pointer bytes are in range at every
// firmware, so that no repair touches it.
Bytes configOf(uint8_t fill)
{
    Bytes data(kProfileConfigSize, fill);
    data[kPosResolutionMode] = 4;
    data[kPosCursorSpeed] = 8;
    return data;
}

template <size_t N>
std::array<char16_t, N> textOf(std::u16string_view text)
{
    std::array<char16_t, N> units{};
    std::copy(text.begin(), text.end(), units.begin());
    return units;
}

// Writes go through to a memory store and are recorded in order.
class RecordingStore final : public ISettingsStore {
public:
    int32_t readInt(const std::string& s, const std::string& e, int32_t fallback) override
    {
        return inner.readInt(s, e, fallback);
    }
    std::string readText(const std::string& s, const std::string& e, const std::string& fallback) override
    {
        return inner.readText(s, e, fallback);
    }
    std::optional<Bytes> readBytes(const std::string& s, const std::string& e) override
    {
        return inner.readBytes(s, e);
    }
    bool writeInt(const std::string& s, const std::string& e, int32_t value) override
    {
        writes.push_back(s + "/" + e + " = " + std::to_string(value));
        return inner.writeInt(s, e, value);
    }
    bool writeText(const std::string& s, const std::string& e, const std::string& value) override
    {
        writes.push_back(s + "/" + e + " = \"" + value + "\"");
        return inner.writeText(s, e, value);
    }
    bool writeBytes(const std::string& s, const std::string& e, const Bytes& value) override
    {
        writes.push_back(s + "/" + e + " = " + hex(value));
        return inner.writeBytes(s, e, value);
    }
    std::vector<SettingEntry> all() override { return inner.all(); }

    MemorySettingsStore inner;
    std::vector<std::string> writes;
};

class ProfileStoreTest : public ::testing::Test {
protected:
    ProfileStoreTest()
    {
        // Unlike anything a case stores, so a byte taken from it shows.
        for (size_t i = 0; i < working.block.size(); ++i)
            working.block[i] = static_cast<uint8_t>(0xC0 ^ i);
    }

    void storeRecord(int index, const std::optional<std::string>& name, const std::optional<Bytes>& data,
                     bool listF = false)
    {
        const std::string key = profileKey(index);
        if (name)
            store.writeText(key, listF ? kProfileNameF : kProfileName, *name);
        if (data)
            store.writeBytes(key, listF ? kProfileDataF : kProfileData, *data);
    }
    void storeCount(int count, bool listF = false)
    {
        store.writeInt(kProfileSection, listF ? kProfileCountF : kProfileCount, count);
    }
    int storedCount(bool listF = false)
    {
        return store.readInt(kProfileSection, listF ? kProfileCountF : kProfileCount, -100);
    }

    void load(int model = kClassicModel, uint32_t firmware = 0x31A, int width = 1920)
    {
        loadAllProfiles(store, list, model, firmware, width, working);
    }
    void save(int model = kClassicModel, ProfileHandle active = nullptr)
    {
        saveAllProfiles(store, list, active, model, working);
    }
    CProfileClass& add(const std::string& name, uint8_t fill)
    {
        CProfileClass& p = list.emplace_back();
        p.name = name;
        const Bytes data = configOf(fill);
        std::copy(data.begin(), data.end(), p.configuration.begin());
        p.signature.fill(fill);
        p.signatureText = textOf<kProfileSignatureTextUnits>(u"sig " + std::u16string(1, char16_t(fill)));
        p.modified = true;
        return p;
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const CProfileClass& p : list)
            result.push_back(p.name);
        return result;
    }
    std::vector<int> indexes() const
    {
        std::vector<int> result;
        for (const CProfileClass& p : list)
            result.push_back(p.index);
        return result;
    }

    MemorySettingsStore store;
    ConfigModel working;
    CProfileList list;
};

using Names = std::vector<std::string>;

// ------------------------------------------------------------ load and save

TEST_F(ProfileStoreTest, RecordWithoutDataIsDroppedAndTheNextSaveRenumbers)
{
    storeCount(3);
    storeRecord(0, "A", configOf(0x11));
    storeRecord(1, "B", std::nullopt);
    storeRecord(2, "C", configOf(0x33));

    load();
    EXPECT_EQ(names(), (Names{"A", "C"}));
    EXPECT_EQ(indexes(), (std::vector<int>{0, 2}));

    save();
    EXPECT_EQ(storedCount(), 2);
    EXPECT_EQ(indexes(), (std::vector<int>{0, 1}));
    EXPECT_EQ(store.readText("Profile00", "Name"), "A");
    EXPECT_EQ(store.readText("Profile01", "Name"), "C");
    EXPECT_EQ(store.readBytes("Profile01", "Data"), configOf(0x33));
    // The old third key stays as it was, but the count keeps it out.
    EXPECT_EQ(store.readText("Profile02", "Name"), "C");
    EXPECT_EQ(store.readBytes("Profile02", "Data"), configOf(0x33));

    load();
    EXPECT_EQ(names(), (Names{"A", "C"}));
    EXPECT_EQ(indexes(), (std::vector<int>{0, 1}));
}

TEST_F(ProfileStoreTest, ShortAndLongStoredValuesAreCutOrPaddedPerBuffer)
{
    struct Case {
        const char* entry;
        size_t length;
    };
    const Case cases[] = {
        {"Data.F", 64},       {"Data.F", 1},           {"Data.F", 128},         {"Data.F", 300},
        {"Signature", 0},     {"Signature", 10},       {"Signature", 512},      {"Signature", 600},
        {"SignatureText", 5}, {"SignatureText", 1024}, {"SignatureText", 1500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " of " + std::to_string(c.length) + " bytes");
        MemorySettingsStore s;
        const Bytes stored = pattern(c.length);
        s.writeBytes("Profile00", c.entry, stored);
        if (std::string(c.entry) != "Data.F")
            s.writeBytes("Profile00", "Data.F", configOf(0x44));

        // The record held other values before: none of them may survive.
        CProfileClass p;
        p.signature.fill(0xEE);
        p.signatureText.fill(u'x');
        std::array<uint8_t, kProfileConfigSize> defaults{};
        std::copy_n(working.block.begin(), kProfileConfigSize, defaults.begin());
        ASSERT_TRUE(loadProfile(s, p, true, 0, defaults, 0x31A, 1920));

        const auto byteAt = [&](size_t k) -> std::optional<uint8_t> {
            return k < stored.size() ? std::optional<uint8_t>(stored[k]) : std::nullopt;
        };
        const std::string entry = c.entry;
        for (size_t k = 0; entry == "Data.F" && k < kProfileConfigSize; ++k)
            ASSERT_EQ(p.configuration[k], byteAt(k).value_or(working.block[k])) << "configuration byte " << k;
        for (size_t k = 0; k < kProfileSignatureSize; ++k)
            ASSERT_EQ(p.signature[k], entry == "Signature" ? byteAt(k).value_or(0) : 0)
                << "signature byte " << k;
        for (size_t u = 0; u < kProfileSignatureTextUnits; ++u) {
            const uint16_t want =
                entry == "SignatureText"
                    ? static_cast<uint16_t>(byteAt(2 * u).value_or(0) | byteAt(2 * u + 1).value_or(0) << 8)
                    : 0;
            ASSERT_EQ(static_cast<uint16_t>(p.signatureText[u]), want) << "text unit " << u;
        }
    }
}

TEST_F(ProfileStoreTest, ValuesOfTheWrongKindCountAsAbsent)
{
    struct Case {
        const char* label;
        std::function<void(MemorySettingsStore&)> spoil;
        bool kept;
        const char* name;
    };
    const Case cases[] = {
        {"Data as text", [](MemorySettingsStore& s) { s.writeText("Profile00", "Data", "0102"); }, false,
         "A"},
        {"Data as integer", [](MemorySettingsStore& s) { s.writeInt("Profile00", "Data", 7); }, false, "A"},
        {"Name as bytes", [](MemorySettingsStore& s) { s.writeBytes("Profile00", "Name", {'A'}); }, true, ""},
        {"Signature as text", [](MemorySettingsStore& s) { s.writeText("Profile00", "Signature", "abc"); },
         true, "A"},
        {"SignatureText as integer",
         [](MemorySettingsStore& s) { s.writeInt("Profile00", "SignatureText", 65); }, true, "A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        store = MemorySettingsStore{};
        storeCount(1);
        storeRecord(0, "A", configOf(0x21));
        store.writeBytes("Profile00", "Signature", pattern(512));
        store.writeBytes("Profile00", "SignatureText", utf16Bytes(textOf<512>(u"Hi")));
        c.spoil(store);

        load();
        ASSERT_EQ(list.size(), c.kept ? 1u : 0u);
        if (!c.kept)
            continue;
        EXPECT_EQ(list.front().name, c.name);
        const std::string label = c.label;
        EXPECT_EQ(list.front().signature == decltype(CProfileClass::signature){},
                  label == "Signature as text");
        EXPECT_EQ(list.front().signatureText[0] == u'\0', label == "SignatureText as integer");
    }
}

TEST_F(ProfileStoreTest, DamagedCountsNeverRunAway)
{
    struct Case {
        int32_t count;
        Names loaded;
    };
    // Stored: Profile00 "A", Profile100 "Hundred", Profile9999 "Last", Profile10000 "Beyond".
    const Case cases[] = {
        {-1, {}},
        {INT32_MIN, {}},
        {0, {}},
        {1, {"A"}},
        {101, {"A", "Hundred"}},
        {10000, {"A", "Hundred", "Last"}},
        {10001, {"A", "Hundred", "Last"}},
        {INT32_MAX, {"A", "Hundred", "Last"}},
    };
    storeRecord(0, "A", configOf(1));
    store.writeText("Profile100", "Name", "Hundred");
    store.writeBytes("Profile100", "Data", configOf(2));
    storeRecord(9999, "Last", configOf(3));
    storeRecord(10000, "Beyond", configOf(4));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        storeCount(c.count);
        load();
        EXPECT_EQ(names(), c.loaded);
    }
    EXPECT_EQ(indexes(), (std::vector<int>{0, 100, 9999}));
}

// ------------------------------------------------------ classic repairs

TEST_F(ProfileStoreTest, ClassicPointerBytesAreRepairedByFirmwareAndDesktop)
{
    struct Case {
        uint32_t firmware;
        int width;
        uint8_t resolution, speed;
        uint8_t wantResolution, wantSpeed;
    };
    const Case cases[] = {
        // Range-checking firmware: resolution 4..5, speed 5..11.
        {0x31A, 1920, 0, 0, 4, 8},
        {0x31A, 1920, 3, 4, 4, 8},
        {0x31A, 1920, 6, 12, 4, 8},
        {0x31A, 1920, 18, 19, 4, 8},
        {0x31A, 1920, 4, 5, 4, 5},
        {0x31A, 1920, 5, 11, 5, 11},
        {0x400, 1024, 0, 0, 4, 8},
        // Older firmware: modes up to 2 follow the desktop width, speed untouched.
        {0x319, 1024, 0, 0, 1, 0},
        {0x319, 1024, 2, 7, 1, 7},
        {0x319, 1024, 3, 0, 3, 0},
        {0x319, 1920, 0, 0, 2, 0},
        {0x319, 1920, 1, 20, 2, 20},
        {0x319, 1920, 3, 0, 3, 0},
        {0x319, 1280, 0, 0, 2, 0},
        {0x319, 1279, 2, 0, 1, 0},
        {0x000, 0, 0, 0, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "firmware 0x" << std::hex << c.firmware << std::dec << ", width " << c.width
                     << ", bytes " << int(c.resolution) << "/" << int(c.speed));
        Bytes data = pattern(kProfileConfigSize);
        data[kPosResolutionMode] = c.resolution;
        data[kPosCursorSpeed] = c.speed;
        store.writeBytes("Profile00", "Data", data);
        store.writeBytes("Profile00", "Data.F", data);
        std::array<uint8_t, kProfileConfigSize> defaults{};

        CProfileClass classic;
        ASSERT_TRUE(loadProfile(store, classic, false, 0, defaults, c.firmware, c.width));
        Bytes want = data;
        want[kPosResolutionMode] = c.wantResolution;
        want[kPosCursorSpeed] = c.wantSpeed;
        EXPECT_EQ(Bytes(classic.configuration.begin(), classic.configuration.end()), want);

        CProfileClass f;
        ASSERT_TRUE(loadProfile(store, f, true, 0, defaults, c.firmware, c.width));
        EXPECT_EQ(Bytes(f.configuration.begin(), f.configuration.end()), data)
            << "the F list is never repaired";
    }
}

// -------------------------------------------------- the two lists share

TEST_F(ProfileStoreTest, ListsKeepTheirOwnNamesDataAndCountsButShareTheSignatures)
{
    add("Brill setup", 0x0F).signatureText = textOf<512>(u"F text");
    save(kFModel);
    list.clear();
    add("Arvel setup", 0xC0).signatureText = textOf<512>(u"classic text");
    save(kClassicModel);

    EXPECT_EQ(storedCount(false), 1);
    EXPECT_EQ(storedCount(true), 1);
    load(kFModel);
    ASSERT_EQ(list.size(), 1u);
    const CProfileClass& f = list.front();
    EXPECT_EQ(f.name, "Brill setup");
    EXPECT_EQ(Bytes(f.configuration.begin(), f.configuration.end()), configOf(0x0F));
    // Whichever list saved index 0 last owns its signatures.
    std::array<uint8_t, kProfileSignatureSize> classicSignature{};
    classicSignature.fill(0xC0);
    EXPECT_EQ(f.signature, classicSignature);
    EXPECT_EQ(f.signatureText, textOf<512>(u"classic text"));

    load(kClassicModel);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.front().name, "Arvel setup");
}

TEST_F(ProfileStoreTest, ModelCodeChoosesTheList)
{
    struct Case {
        int model;
        bool listF;
    };
    const Case cases[] = {{0, false}, {-9, false}, {4, false}, {6, false}, {7, true}, {11, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.model);
        store = MemorySettingsStore{};
        list.clear();
        add("P", 0x10);
        save(c.model);
        EXPECT_EQ(storedCount(c.listF), 1);
        EXPECT_EQ(storedCount(!c.listF), -100) << "the other list's count is not written";
        EXPECT_EQ(store.readText("Profile00", c.listF ? "Name.F" : "Name"), "P");
        EXPECT_EQ(store.readText("Profile00", c.listF ? "Name" : "Name.F", "-"), "-");
    }
}

// ------------------------------------------------------------ save all

TEST_F(ProfileStoreTest, SaveAllTakesTheWorkingBuffersIntoTheActiveProfileOnly)
{
    add("A", 0x0A);
    const CProfileClass& b = add("B", 0x0B);
    working.signatureText = textOf<512>(u"Working text");
    for (size_t i = 0; i < 256; ++i) {
        working.strokeUsages[i] = static_cast<uint8_t>(i);
        working.strokeModifiers[i] = static_cast<uint8_t>(255 - i);
    }

    save(kFModel, &b);

    Bytes wantSignature(working.strokeUsages.begin(), working.strokeUsages.end());
    wantSignature.insert(wantSignature.end(), working.strokeModifiers.begin(), working.strokeModifiers.end());
    EXPECT_EQ(store.readBytes("Profile01", "Data.F"),
              Bytes(working.block.begin(), working.block.begin() + 128));
    EXPECT_EQ(store.readBytes("Profile01", "Signature"), wantSignature);
    EXPECT_EQ(store.readBytes("Profile01", "SignatureText"), utf16Bytes(working.signatureText));
    EXPECT_EQ(store.readBytes("Profile00", "Data.F"), configOf(0x0A));
    EXPECT_EQ(store.readBytes("Profile00", "Signature"), Bytes(512, 0x0A));
    EXPECT_EQ(Bytes(b.signature.begin(), b.signature.end()), wantSignature);
    for (const CProfileClass& p : list)
        EXPECT_FALSE(p.modified) << p.name;

    // A profile that is not in the list takes nothing and changes nothing.
    CProfileClass stranger;
    working.block.fill(0x99);
    save(kFModel, &stranger);
    EXPECT_EQ(stranger, CProfileClass{});
    EXPECT_EQ(store.readBytes("Profile01", "Data.F")->front(), 0xC0);
}

TEST_F(ProfileStoreTest, FailedWritesLeaveTheRecordUnsaved)
{
    CProfileClass& p = add("A", 1);
    store.failWrites = true;
    EXPECT_FALSE(saveProfile(store, p, false, 4));
    EXPECT_TRUE(p.modified);
    EXPECT_EQ(p.index, -1);

    CProfileClass nameless;
    nameless.modified = true;
    store.failWrites = false;
    EXPECT_FALSE(saveProfile(store, nameless, false, 0));
    EXPECT_TRUE(store.all().empty());
    EXPECT_TRUE(nameless.modified);
}

// ---------------------------------------------- deleted profiles stay away
//
// Saving all profiles renumbers them 0, 1, 2, ... in list order. The rule
// this replaces advanced the number for every record, written or not, and
// stored that number as the count. A record without a name writes nothing,
// so its number kept whatever an earlier, longer list had left under that
// key - and since that number was inside the count, the next load brought
// the old profile back: one the user had deleted, or one renamed since.
// Now only written records are numbered and counted.

// The replaced rule, kept here to show the fault it had.
void saveAllCountingEveryRecord(ISettingsStore& s, CProfileList& l, bool listF)
{
    int counter = 0;
    for (CProfileClass& p : l)
        saveProfile(s, p, listF, counter++);
    s.writeInt(kProfileSection, listF ? kProfileCountF : kProfileCount, counter);
}

TEST_F(ProfileStoreTest, ANamelessRecordCannotBringBackAStaleKey)
{
    struct Case {
        const char* label;
        std::vector<std::optional<std::string>> stored;  // nullopt: a key with "Data" but no "Name"
        std::function<void(CProfileList&)> edit;         // what the user does before the save
        Names before;                                    // what the replaced rule loads afterwards
        Names after;
    };
    const Case cases[] = {
        {"the first profile deleted, a nameless one behind it",
         {"Alpha", std::nullopt, "Beta"},
         [](CProfileList& l) { l.pop_front(); },
         {"Alpha", "Beta"},
         {"Beta"}},
        {"a nameless record over a longer list's key",
         {"A", "Old", "C"},
         [](CProfileList& l) { std::next(l.begin())->name.clear(); },
         {"A", "Old", "C"},
         {"A", "C"}},
        {"a nameless record at the head",
         {"Gone", "Kept"},
         [](CProfileList& l) { l.front().name.clear(); },
         {"Gone", "Kept"},
         {"Kept"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        MemorySettingsStore initial;
        for (size_t i = 0; i < c.stored.size(); ++i) {
            if (c.stored[i])
                initial.writeText(profileKey(int(i)), "Name", *c.stored[i]);
            initial.writeBytes(profileKey(int(i)), "Data", configOf(uint8_t(0x10 + i)));
        }
        initial.writeInt(kProfileSection, kProfileCount, int(c.stored.size()));

        for (bool mended : {false, true}) {
            store = initial;
            load();
            c.edit(list);
            if (mended)
                save();
            else
                saveAllCountingEveryRecord(store, list, false);
            load();
            EXPECT_EQ(names(), mended ? c.after : c.before) << (mended ? "saveAllProfiles" : "replaced rule");
            if (mended) {
                EXPECT_EQ(storedCount(), int(c.after.size()));
            }
        }
    }
}

TEST_F(ProfileStoreTest, DeletedProfilesDoNotReturn)
{
    struct Case {
        const char* label;
        int model;
        std::vector<int> deleteAt;
        Names after;
    };
    const Case cases[] = {
        {"middle, F list", kFModel, {1}, {"A", "C"}},
        {"last, classic list", kClassicModel, {2}, {"A", "B"}},
        {"first", kClassicModel, {0}, {"B", "C"}},
        {"all", kFModel, {0, 0, 0}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        store = MemorySettingsStore{};
        list.clear();
        add("A", 1);
        add("B", 2);
        add("C", 3);
        save(c.model);
        load(c.model);
        for (int n : c.deleteAt)
            list.erase(findProfile(list, profileAt(list, n)));
        save(c.model);
        EXPECT_EQ(storedCount(usesProfileListF(c.model)), int(c.after.size()));
        load(c.model);
        EXPECT_EQ(names(), c.after);
    }
}

// ------------------------------------------------------------ handles

TEST_F(ProfileStoreTest, HandlesFollowTheirNodes)
{
    add("A", 1);
    add("B", 2);
    add("C", 3);
    const ProfileHandle c = profileAt(list, 2);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->name, "C");
    EXPECT_EQ(profileAt(list, 3), nullptr);
    EXPECT_EQ(profileAt(list, -1), nullptr);
    EXPECT_EQ(profilePosition(list, nullptr), -1);

    list.erase(findProfile(list, profileAt(list, 0)));
    EXPECT_EQ(profilePosition(list, c), 1);
    EXPECT_EQ(profileAt(list, 1), c);

    CProfileClass outside;
    EXPECT_EQ(profilePosition(list, &outside), -1);
    EXPECT_EQ(findProfile(list, &outside), list.end());
    EXPECT_EQ(findProfile(list, nullptr), list.end());
}

// ------------------------------------------------- through the system's store

TEST_F(ProfileStoreTest, ASavedListReloadsIdenticallyFromTheSystemStore)
{
    TempDir dir;
    const std::string file = test::settingsLocation(dir, "cvkeys.ini");
    for (int model : {kClassicModel, 9}) {
        SCOPED_TRACE(model);
        list.clear();
        CProfileClass& first = add("Zeichnen, \"CAD\" = 1; ÄÖÜ ✓", 0x00);
        const Bytes everyByte = pattern(kProfileSignatureSize, 0);
        std::copy(everyByte.begin(), everyByte.end(), first.signature.begin());
        first.signatureText = textOf<512>(u"Grüße \U0001F600 [x]\\n;#");
        add("WEB", 0xFF).signatureText.fill(u'\xFFFF');
        CProfileClass& third = add(std::string(300, 'n'), 0x80);
        third.configuration[127] = 0;

        {
            std::unique_ptr<ISettingsStore> ini = test::openSettingsAt(file);
            saveAllProfiles(*ini, list, nullptr, model, working);
        }
        const CProfileList saved = list;
        std::unique_ptr<ISettingsStore> again = test::openSettingsAt(file);
        CProfileList loaded;
        loadAllProfiles(*again, loaded, model, 0x31A, 1920, working);
        EXPECT_EQ(loaded, saved);
    }
}

// ------------------------------------------------------------ first run

// The defaults, byte for byte: 64 bytes each.
const std::string kDesktopData =
    "07200104020200000000000000000000"
    "20010000000000000000000000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000000000000";
const std::string kCadData =
    "070401FB020200000000000000000000"
    "10010000000000000000000000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000000000000";
const std::string kWebData =
    "070408FF100200003D00000000040000"
    "10010000000000000000000000000000"
    "00000000000000000000000000000000"
    "00000000000000000000000000000000";
const std::string kDesktopFData =
    "0704FF0008F91020FF02000000000000"
    "000101060871FFFFD200000000000000"
    "00060006000000190019000000000000"
    "00010000010000010001000000000000";

TEST(FirstRun, AnEmptyStoreGetsBothListsInOrder)
{
    RecordingStore s;
    writeFirstRunDefaults(s);
    EXPECT_EQ(s.writes, (std::vector<std::string>{
                            "Profile/NumberOfProfiles = 3",
                            "Profile00/Name = \"Desktop\"",
                            "Profile01/Name = \"CAD\"",
                            "Profile02/Name = \"WEB\"",
                            "Profile00/Data = " + kDesktopData,
                            "Profile01/Data = " + kCadData,
                            "Profile02/Data = " + kWebData,
                            "Profile/NumberOfProfiles.F = 1",
                            "Profile00/Name.F = \"Desktop\"",
                            "Profile00/Data.F = " + kDesktopFData,
                        }));
    EXPECT_EQ(s.writes.size(), 10u) << "no signatures are written";
}

TEST(FirstRun, ExistingCountsDecidePerList)
{
    struct Case {
        const char* label;
        std::function<void(MemorySettingsStore&)> preset;
        bool classicWritten, fWritten;
    };
    const auto count = [](const char* entry, int32_t n) {
        return [=](MemorySettingsStore& s) { s.writeInt("Profile", entry, n); };
    };
    const Case cases[] = {
        {"classic 3, F missing", count("NumberOfProfiles", 3), false, true},
        {"classic 0", count("NumberOfProfiles", 0), false, true},
        {"classic 29999", count("NumberOfProfiles", 29999), false, true},
        {"classic 30000", count("NumberOfProfiles", 30000), true, true},
        {"classic -1 (0xFFFFFFFF)", count("NumberOfProfiles", -1), true, true},
        {"classic not a number",
         [](MemorySettingsStore& s) { s.writeText("Profile", "NumberOfProfiles", "x"); }, true, true},
        {"classic as bytes",
         [](MemorySettingsStore& s) {
             s.writeBytes("Profile", "NumberOfProfiles", {3, 0, 0, 0});
         },
         true, true},
        {"F 0", count("NumberOfProfiles.F", 0), true, false},
        {"F 1", count("NumberOfProfiles.F", 1), true, false},
        {"F -5", count("NumberOfProfiles.F", -5), true, true},
        {"both present",
         [](MemorySettingsStore& s) {
             s.writeInt("Profile", "NumberOfProfiles", 2);
             s.writeInt("Profile", "NumberOfProfiles.F", 0);
         },
         false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        RecordingStore s;
        c.preset(s.inner);
        // A user's own classic profile 0 beside which the F default may land.
        s.inner.writeText("Profile00", "Name", "Mine");
        s.inner.writeBytes("Profile00", "Data", {1, 2, 3});
        writeFirstRunDefaults(s);

        std::vector<std::string> want;
        if (c.classicWritten)
            want.insert(want.end(), {"Profile/NumberOfProfiles = 3", "Profile00/Name = \"Desktop\"",
                                     "Profile01/Name = \"CAD\"", "Profile02/Name = \"WEB\"",
                                     "Profile00/Data = " + kDesktopData, "Profile01/Data = " + kCadData,
                                     "Profile02/Data = " + kWebData});
        if (c.fWritten)
            want.insert(want.end(), {"Profile/NumberOfProfiles.F = 1", "Profile00/Name.F = \"Desktop\"",
                                     "Profile00/Data.F = " + kDesktopFData});
        EXPECT_EQ(s.writes, want);
        if (!c.classicWritten) {
            EXPECT_EQ(s.inner.readText("Profile00", "Name"), "Mine");
            EXPECT_EQ(s.inner.readBytes("Profile00", "Data"), (Bytes{1, 2, 3}));
        }
    }
}

TEST_F(ProfileStoreTest, FirstRunProfilesTakeTheirTailFromTheWorkingBlock)
{
    writeFirstRunDefaults(store);
    const Bytes tail(working.block.begin() + 64, working.block.begin() + 128);

    load(kClassicModel, 0x319, 1024);
    ASSERT_EQ(names(), (Names{"Desktop", "CAD", "WEB"}));
    Bytes desktop = fromHex(kDesktopData);
    desktop[kPosResolutionMode] = 1;  // stored 0 on a narrow desktop, older firmware
    desktop.insert(desktop.end(), tail.begin(), tail.end());
    const CProfileClass& first = list.front();
    EXPECT_EQ(Bytes(first.configuration.begin(), first.configuration.end()), desktop);
    EXPECT_EQ(first.signature, decltype(first.signature){});
    EXPECT_EQ(first.signatureText, decltype(first.signatureText){});

    load(kFModel);
    ASSERT_EQ(names(), (Names{"Desktop"}));
    Bytes desktopF = fromHex(kDesktopFData);
    desktopF.insert(desktopF.end(), tail.begin(), tail.end());
    EXPECT_EQ(Bytes(list.front().configuration.begin(), list.front().configuration.end()), desktopF);
}

}  // namespace
}  // namespace cvk
