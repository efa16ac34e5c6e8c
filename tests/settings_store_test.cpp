// The settings store: the in-memory backend and the QSettings backend must
// agree on every round trip and on what counts as absent; the file backend
// must also survive corrupt and unwritable files. Then the per-device copies
// kept under the hardware key.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QSettings>
#include <QString>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <tuple>
#include <type_traits>

#include "config/config_model.h"
#include "config/text_bytes.h"
#include "platform/memory_settings_store.h"
#include "platform/qt/qsettings_store.h"
#include "profiles/device_copy.h"

#include "temp_dir.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;

// Bytes that INI escaping has to get right, cycled to the wanted length.
std::vector<uint8_t> awkwardBytes(size_t length)
{
    static const uint8_t kPattern[] = {0x00, 0xFF, '\n', '@', ')',  '(',  '\\', '"', 0x7F,
                                       0x80, '\r', 'x',  '3', ';',  '=',  ',',  ' ', 0x01,
                                       0xFE, '[',  ']',  '%', 0xC3, 0xA5, '\t', '0', 'a'};
    std::vector<uint8_t> bytes(length);
    for (size_t i = 0; i < length; ++i)
        bytes[i] =
            kPattern[(i + i / std::size(kPattern)) % std::size(kPattern)];  // neighbours vary per round
    return bytes;
}

std::vector<uint8_t> everyByteValue()
{
    std::vector<uint8_t> bytes(256);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(i);
    return bytes;
}

// ------------------------------------------------- both backends agree

struct MemoryBackend {
    std::unique_ptr<ISettingsStore> store = std::make_unique<MemorySettingsStore>();
    // The same contents through another store object.
    ISettingsStore& again() { return *store; }
};

struct IniBackend {
    TempDir dir;
    fs::path file = dir / "store.ini";
    std::unique_ptr<ISettingsStore> store = makeFileSettingsStore(file.string());
    std::unique_ptr<ISettingsStore> other;
    ISettingsStore& again()
    {
        other = makeFileSettingsStore(file.string());
        return *other;
    }
};

template <typename Backend>
class SettingsStoreBoth : public ::testing::Test {
protected:
    Backend backend;
    ISettingsStore& store() { return *backend.store; }
    ISettingsStore& again() { return backend.again(); }
};

struct BackendNames {
    template <typename T>
    static std::string GetName(int)
    {
        return std::is_same_v<T, MemoryBackend> ? "Memory" : "IniFile";
    }
};

using Backends = ::testing::Types<MemoryBackend, IniBackend>;
TYPED_TEST_SUITE(SettingsStoreBoth, Backends, BackendNames);

TYPED_TEST(SettingsStoreBoth, IntegersRoundTrip)
{
    for (const int32_t value : {0, 1, -1, 8, 1000, INT32_MAX, INT32_MIN}) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(this->store().writeInt("Profile", "NumberOfProfiles", value));
        EXPECT_EQ(this->again().readInt("Profile", "NumberOfProfiles", 77), value);
    }
}

TYPED_TEST(SettingsStoreBoth, TextsRoundTrip)
{
    const std::vector<std::string> texts = {"",
                                            "EN",
                                            "a, b",
                                            "  spaced  ",
                                            "line\nbreak\r\n",
                                            "semi;colon=eq\"quote\\back\ttab",
                                            "Zo\xC3\xAB \xE2\x82\xAC",
                                            "@ByteArray(x)",
                                            "@@",
                                            "[Profile00]",
                                            "#not a comment",
                                            "12",
                                            "-7",
                                            "007"};
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(this->store().writeText("Profile00", "Name", text));
        EXPECT_EQ(this->again().readText("Profile00", "Name", "fallback"), text);
        EXPECT_EQ(this->again().readBytes("Profile00", "Name"), std::nullopt);
    }
}

TYPED_TEST(SettingsStoreBoth, BytesKeepTheirExactLength)
{
    std::vector<std::vector<uint8_t>> blocks = {{},
                                                {0x00},
                                                {0xFF},
                                                {'\n'},
                                                {'@'},
                                                {')'},
                                                {'\\'},
                                                everyByteValue(),
                                                awkwardBytes(1),
                                                awkwardBytes(64),
                                                awkwardBytes(256),
                                                awkwardBytes(1024),
                                                awkwardBytes(1500)};
    // A block that looks like a text or an integer stays a block.
    blocks.push_back({'1', '2'});
    blocks.push_back({'@', 'B', 'y', 't', 'e', 'A', 'r', 'r', 'a', 'y', '('});
    for (const std::vector<uint8_t>& block : blocks) {
        SCOPED_TRACE(testing::PrintToString(block.size()) + " bytes");
        ASSERT_TRUE(this->store().writeBytes("HW:0a:1b:2c:3d", "Data.W", block));
        const std::optional<std::vector<uint8_t>> back = this->again().readBytes("HW:0a:1b:2c:3d", "Data.W");
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(*back, block);
    }
}

TYPED_TEST(SettingsStoreBoth, MissingEntriesGiveTheDefaults)
{
    EXPECT_EQ(this->store().readInt("Profile", "NumberOfProfiles", 42), 42);
    EXPECT_EQ(this->store().readText("", "Langauge", "EN"), "EN");
    EXPECT_EQ(this->store().readText("", "Langauge"), "");
    EXPECT_EQ(this->store().readBytes("Profile00", "Data"), std::nullopt);
    EXPECT_TRUE(this->store().all().empty());

    // The same entry name in another section, or a section name used as an
    // entry, is not the entry asked for.
    ASSERT_TRUE(this->store().writeBytes("Profile01", "Data", {1, 2, 3}));
    ASSERT_TRUE(this->store().writeText("", "Name", "top"));
    EXPECT_EQ(this->again().readBytes("Profile00", "Data"), std::nullopt);
    EXPECT_EQ(this->again().readBytes("", "Data"), std::nullopt);
    EXPECT_EQ(this->again().readText("Profile01", "Name", "none"), "none");
    EXPECT_EQ(this->again().readText("", "Profile01", "none"), "none");
}

TYPED_TEST(SettingsStoreBoth, WrongKindReadsAsAbsent)
{
    ISettingsStore& s = this->store();
    ASSERT_TRUE(s.writeBytes("P", "bytes", {'4', '2'}));
    ASSERT_TRUE(s.writeBytes("P", "empty", {}));
    ASSERT_TRUE(s.writeText("P", "text", "EN"));
    ASSERT_TRUE(s.writeText("P", "digits", "42"));
    ASSERT_TRUE(s.writeText("P", "almost", "42x"));
    ASSERT_TRUE(s.writeText("P", "minus", "-"));
    ASSERT_TRUE(s.writeText("P", "huge", "99999999999"));
    ASSERT_TRUE(s.writeText("P", "blank", ""));
    ASSERT_TRUE(s.writeInt("P", "int", 7));

    ISettingsStore& r = this->again();
    // Byte blocks never read as numbers or texts, nor anything else as a block.
    EXPECT_EQ(r.readInt("P", "bytes", -5), -5);
    EXPECT_EQ(r.readText("P", "bytes", "fb"), "fb");
    EXPECT_EQ(r.readInt("P", "empty", -5), -5);
    EXPECT_EQ(r.readText("P", "empty", "fb"), "fb");
    for (const char* entry : {"text", "digits", "blank", "int"}) {
        SCOPED_TRACE(entry);
        EXPECT_EQ(r.readBytes("P", entry), std::nullopt);
    }
    // A text is a number only when it is one, within 32 bits.
    EXPECT_EQ(r.readInt("P", "text", -5), -5);
    EXPECT_EQ(r.readInt("P", "almost", -5), -5);
    EXPECT_EQ(r.readInt("P", "minus", -5), -5);
    EXPECT_EQ(r.readInt("P", "huge", -5), -5);
    EXPECT_EQ(r.readInt("P", "blank", -5), -5);
    // Integers and texts cross as they do in an INI file.
    EXPECT_EQ(r.readInt("P", "digits", -5), 42);
    EXPECT_EQ(r.readText("P", "int", "fb"), "7");
}

TYPED_TEST(SettingsStoreBoth, RewritingAnEntryReplacesItsKind)
{
    ASSERT_TRUE(this->store().writeBytes("Profile00", "Data", {1, 2, 3}));
    ASSERT_TRUE(this->store().writeText("Profile00", "Data", "now text"));
    EXPECT_EQ(this->again().readBytes("Profile00", "Data"), std::nullopt);
    EXPECT_EQ(this->again().readText("Profile00", "Data"), "now text");
    ASSERT_TRUE(this->store().writeBytes("Profile00", "Data", {9}));
    EXPECT_EQ(this->again().readBytes("Profile00", "Data"), std::vector<uint8_t>{9});
    EXPECT_EQ(this->again().all().size(), 1u);
}

TYPED_TEST(SettingsStoreBoth, SectionsKeepTheirNamesAndListSorted)
{
    ISettingsStore& s = this->store();
    // Written out of order, with the same entry name in several sections.
    ASSERT_TRUE(s.writeText("Profile00", "Name", "Office"));
    ASSERT_TRUE(s.writeBytes("HW:0a:1b:2c:3d", "Data.W", {0x00, 0xFF, 0x0A}));
    ASSERT_TRUE(s.writeText("", "Langauge", "SE"));
    ASSERT_TRUE(s.writeInt("Profile", "NumberOfProfiles", 1));
    ASSERT_TRUE(s.writeBytes("Profile00", "Data", {7}));
    ASSERT_TRUE(s.writeText("", "Name", "top level"));
    ASSERT_TRUE(s.writeInt("Profile", "NumberOfProfiles.F", -2));

    ISettingsStore& r = this->again();
    EXPECT_EQ(r.readText("", "Langauge"), "SE");
    EXPECT_EQ(r.readText("", "Name"), "top level");
    EXPECT_EQ(r.readText("Profile00", "Name"), "Office");
    EXPECT_EQ(r.readBytes("HW:0a:1b:2c:3d", "Data.W"), (std::vector<uint8_t>{0x00, 0xFF, 0x0A}));
    // Case matters: these are other names.
    EXPECT_EQ(r.readBytes("HW:0A:1B:2C:3D", "Data.W"), std::nullopt);
    EXPECT_EQ(r.readText("", "langauge", "none"), "none");

    using Row = std::tuple<std::string, std::string, SettingKind, int64_t, std::string, std::vector<uint8_t>>;
    std::vector<Row> listed;
    for (const SettingEntry& e : r.all())
        listed.emplace_back(e.section, e.entry, e.kind, e.integer, e.text, e.bytes);
    const std::vector<Row> expected = {
        {"", "Langauge", SettingKind::Text, 0, "SE", {}},
        {"", "Name", SettingKind::Text, 0, "top level", {}},
        {"HW:0a:1b:2c:3d", "Data.W", SettingKind::Bytes, 0, "", {0x00, 0xFF, 0x0A}},
        {"Profile", "NumberOfProfiles", SettingKind::Integer, 1, "", {}},
        {"Profile", "NumberOfProfiles.F", SettingKind::Integer, -2, "", {}},
        {"Profile00", "Data", SettingKind::Bytes, 0, "", {7}},
        {"Profile00", "Name", SettingKind::Text, 0, "Office", {}},
    };
    EXPECT_EQ(listed, expected);
}

TYPED_TEST(SettingsStoreBoth, NamesThatWouldNestAreRefused)
{
    for (const auto& [section, entry] : std::vector<std::pair<std::string, std::string>>{
             {"Profile/00", "Name"}, {"Profile00", "Na/me"}, {"Profile\\00", "Name"}, {"Profile00", ""}}) {
        SCOPED_TRACE(section + " " + entry);
        EXPECT_FALSE(this->store().writeText(section, entry, "x"));
        EXPECT_FALSE(this->store().writeInt(section, entry, 1));
        EXPECT_FALSE(this->store().writeBytes(section, entry, {1}));
        EXPECT_EQ(this->again().readText(section, entry, "fb"), "fb");
    }
    EXPECT_TRUE(this->again().all().empty());
}

// ------------------------------------------------- the INI file itself

TEST(SettingsIniFile, SampleLayout)
{
    TempDir dir;
    const fs::path file = dir / "cvkeys.ini";
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    ASSERT_TRUE(s->writeInt("Profile", "NumberOfProfiles", 1));
    ASSERT_TRUE(s->writeText("Profile00", "Name", "Office"));
    ASSERT_TRUE(s->writeBytes("Profile00", "Data", {0x07, 0x04, 0xFF, 0x00}));
    ASSERT_TRUE(s->writeBytes("HW:0a:1b:2c:3d", "Data.W", {0x00, 0x0A, 0x40, 0xFF}));
    ASSERT_TRUE(s->writeText("", "Langauge", "EN"));
    const std::string text = fileBytes(file);
    // The application key's own values sit at the top, in [General].
    EXPECT_NE(text.find("[General]\nLangauge=EN\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[HW%3A0a%3A1b%3A2c%3A3d]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Profile00]\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Langauge", text.find("[HW")), std::string::npos) << text;

    // Reading a sound file leaves it alone as well.
    const auto stamp = fs::last_write_time(file);
    std::unique_ptr<ISettingsStore> reader = makeFileSettingsStore(file.string());
    EXPECT_EQ(reader->readText("", "Langauge"), "EN");
    EXPECT_EQ(reader->all().size(), 5u);
    reader.reset();
    EXPECT_EQ(fileBytes(file), text);
    EXPECT_EQ(fs::last_write_time(file), stamp);
}

// QSettings keeps parsed files in a process-wide cache; a copy under a new
// name proves the values survive the file's own encoding.
TEST(SettingsIniFile, ValuesSurviveTheFileText)
{
    TempDir dir;
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore((dir / "a.ini").string());
    const std::vector<std::vector<uint8_t>> blocks = {{}, {0x00}, everyByteValue(), awkwardBytes(1024)};
    for (size_t i = 0; i < blocks.size(); ++i)
        ASSERT_TRUE(s->writeBytes("HW:0a:1b:2c:3d", "B" + std::to_string(i), blocks[i]));
    ASSERT_TRUE(s->writeText("", "Langauge", "SE"));
    ASSERT_TRUE(s->writeText("Profile00", "Name", "a, b \"c\" \xE2\x82\xAC\n"));
    ASSERT_TRUE(s->writeInt("Profile", "NumberOfProfiles", -12));
    fs::copy_file(dir / "a.ini", dir / "b.ini");

    std::unique_ptr<ISettingsStore> copy = makeFileSettingsStore((dir / "b.ini").string());
    for (size_t i = 0; i < blocks.size(); ++i)
        EXPECT_EQ(copy->readBytes("HW:0a:1b:2c:3d", "B" + std::to_string(i)), blocks[i]) << i;
    EXPECT_EQ(copy->readText("", "Langauge"), "SE");
    EXPECT_EQ(copy->readText("Profile00", "Name"), "a, b \"c\" \xE2\x82\xAC\n");
    EXPECT_EQ(copy->readInt("Profile", "NumberOfProfiles", 0), -12);
}

struct CorruptCase {
    const char* name;
    std::string contents;
};

void PrintTo(const CorruptCase& c, std::ostream* os) { *os << c.name; }

std::string binaryGarbage()
{
    std::string bytes;
    uint32_t x = 0x12345678;
    for (int i = 0; i < 3000; ++i) {
        x = x * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(x >> 24));
    }
    return bytes;
}

class SettingsIniCorrupt : public ::testing::TestWithParam<CorruptCase> {};

// Reading a damaged file never rewrites it, whatever it yields.
TEST_P(SettingsIniCorrupt, ReadsLeaveTheFileAlone)
{
    TempDir dir;
    const fs::path file = dir / "store.ini";
    putFile(file, GetParam().contents);
    const auto stamp = fs::last_write_time(file);
    {
        std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
        s->readInt("Profile", "NumberOfProfiles", 0);
        s->readText("Profile00", "Name", "none");
        s->readText("", "Langauge", "EN");
        s->readBytes("Profile00", "Data");
        s->all();
    }
    EXPECT_EQ(fileBytes(file), GetParam().contents);
    EXPECT_EQ(fs::last_write_time(file), stamp);
    EXPECT_FALSE(fs::exists(file.string() + ".damaged"));
}

// A write rewrites a damaged file with what could be read; the original is
// kept beside it first, so nothing the user had is lost.
TEST_P(SettingsIniCorrupt, NextWriteKeepsTheOriginal)
{
    TempDir dir;
    const fs::path file = dir / "store.ini";
    putFile(file, GetParam().contents);
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    ASSERT_TRUE(s->writeText("", "Langauge", "SE"));
    EXPECT_EQ(s->readText("", "Langauge"), "SE");
    EXPECT_NE(fileBytes(file), GetParam().contents);
    // A file read as damaged is kept beside the new one; one that was only
    // partly unusable keeps its lines.
    const fs::path kept(file.string() + ".damaged");
    if (fs::exists(kept))
        EXPECT_EQ(fileBytes(kept), GetParam().contents);
    else
        EXPECT_NE(fileBytes(file).find("Data="), std::string::npos) << fileBytes(file);
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SettingsIniCorrupt,
    ::testing::Values(CorruptCase{"BinaryGarbage", binaryGarbage()},
                      // QSettings parses the rest but flags the file.
                      CorruptCase{
                          "UnclosedSection",
                          "[Profile\nNumberOfProfiles=3\n[Profile00]\nName=Office\nData=@ByteArray(abc)\n"
                          "[General]\nLangauge=SE\n"},
                      // A cut-off block is a text, so not a block.
                      CorruptCase{"TruncatedByteArray", "[Profile00]\nData=\"@ByteArray(\\0\\x1\\xff\n"},
                      CorruptCase{"NulBytes", std::string("[Profile\0\0\0]\n\xff\xfe=\0\n", 15)}),
    [](const ::testing::TestParamInfo<CorruptCase>& c) { return std::string(c.param.name); });

// A file cut off inside its last block keeps everything before it.
TEST(SettingsIniFile, CutOffBlockLeavesTheOtherValuesReadable)
{
    TempDir dir;
    const fs::path file = dir / "store.ini";
    putFile(file, "[Profile]\nNumberOfProfiles=2\n[Profile00]\nName=Office\nData=\"@ByteArray(\\0\\x1\\xf");
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    EXPECT_EQ(s->readBytes("Profile00", "Data"), std::nullopt);
    EXPECT_EQ(s->readText("Profile00", "Name"), "Office");
    EXPECT_EQ(s->readInt("Profile", "NumberOfProfiles", 0), 2);
}

TEST(SettingsIniFile, MissingFileIsCreatedOnTheFirstWriteOnly)
{
    TempDir dir;
    const fs::path file = dir / "not" / "yet" / "store.ini";
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    EXPECT_EQ(s->readInt("Profile", "NumberOfProfiles", 5), 5);
    EXPECT_TRUE(s->all().empty());
    EXPECT_FALSE(fs::exists(dir / "not"));

    ASSERT_TRUE(s->writeInt("Profile", "NumberOfProfiles", 2));
    ASSERT_TRUE(fs::exists(file));
    EXPECT_EQ(makeFileSettingsStore(file.string())->readInt("Profile", "NumberOfProfiles", 5), 2);
}

// A directory where the file should be cannot be read or written, even by
// root.
TEST(SettingsIniFile, DirectoryInPlaceOfTheFile)
{
    TempDir dir;
    const fs::path file = dir / "store.ini";
    fs::create_directory(file);
    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    EXPECT_FALSE(s->writeInt("Profile", "NumberOfProfiles", 2));
    EXPECT_FALSE(s->writeBytes("Profile00", "Data", {1}));
    EXPECT_EQ(s->readInt("Profile", "NumberOfProfiles", 0), 0);
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_TRUE(fs::is_empty(file));
}

TEST(SettingsIniFile, FolderWithoutWritePermission)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root ignores file permissions";
    TempDir dir;
    const fs::path folder = dir / "locked";
    fs::create_directory(folder);
    const fs::path file = folder / "store.ini";
    ASSERT_TRUE(makeFileSettingsStore(file.string())->writeInt("Profile", "NumberOfProfiles", 1));
    const std::string before = fileBytes(file);
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);

    std::unique_ptr<ISettingsStore> s = makeFileSettingsStore(file.string());
    EXPECT_FALSE(s->writeInt("Profile", "NumberOfProfiles", 4));
    EXPECT_FALSE(makeFileSettingsStore((folder / "new.ini").string())->writeText("", "Langauge", "SE"));
    // The refused value is not shown by later reads either.
    EXPECT_EQ(s->readInt("Profile", "NumberOfProfiles", 0), 1);
    EXPECT_EQ(makeFileSettingsStore(file.string())->readInt("Profile", "NumberOfProfiles", 0), 1);
    EXPECT_EQ(fileBytes(file), before);
    fs::permissions(folder, fs::perms::owner_all);
}

#ifndef Q_OS_WIN
TEST(SettingsIniFile, UserStoreLivesUnderTheCompanyFolder)
{
    TempDir dir;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                       QString::fromStdString(dir.path().string()));
    std::unique_ptr<QSettingsStore> s = QSettingsStore::forUser("cvkeys-test");
    const fs::path expected = dir / "Lumrick" / "cvkeys-test.ini";
    EXPECT_EQ(s->location(), expected.string());
    ASSERT_TRUE(s->writeText("", "Langauge", "EN"));
    EXPECT_TRUE(fs::exists(expected));
    EXPECT_EQ(makeFileSettingsStore(expected.string())->readText("", "Langauge"), "EN");
}
#endif

// ------------------------------------------------- per-device copies

class DeviceCopy : public ::testing::Test {
protected:
    static constexpr const char* kKey = "HW:0a:1b:2c:3d";
    MemorySettingsStore store;
    ConfigModel model;

    // Recognisable contents that a load must leave where nothing was stored.
    void fillModel(uint8_t blockByte, char16_t unit)
    {
        model.block.fill(blockByte);
        model.signatureText.fill(unit);
        model.snippetText.fill(unit);
    }
};

TEST_F(DeviceCopy, HardwareKeyIsLowerCaseHexInTheOrderReceived)
{
    EXPECT_EQ(hardwareKey({0x0a, 0x1b, 0x2c, 0x3d}), "HW:0a:1b:2c:3d");
    EXPECT_EQ(hardwareKey({0xAB, 0xCD, 0xEF, 0x00}), "HW:ab:cd:ef:00");
    EXPECT_EQ(hardwareKey({0, 0, 0, 0}), "HW:00:00:00:00");
}

TEST_F(DeviceCopy, SaveWritesFullSizesInLittleEndian)
{
    model.block[0] = 0x07;
    model.block[255] = 0xEE;
    model.signatureText[0] = u'A';
    model.signatureText[511] = u'\u20AC';
    model.snippetText[0] = u'\u00E5';
    ASSERT_TRUE(saveDeviceCopy(store, kKey, model));

    const auto data = store.readBytes(kKey, "Data.W");
    const auto signature = store.readBytes(kKey, "Signature.W");
    const auto snippet = store.readBytes(kKey, "Signature.W2");
    ASSERT_TRUE(data && signature && snippet);
    ASSERT_EQ(data->size(), 256u);
    ASSERT_EQ(signature->size(), 1024u);
    ASSERT_EQ(snippet->size(), 512u);
    EXPECT_EQ((*data)[0], 0x07);
    EXPECT_EQ((*data)[255], 0xEE);
    EXPECT_EQ((*signature)[0], 0x41);
    EXPECT_EQ((*signature)[1], 0x00);
    EXPECT_EQ((*signature)[1022], 0xAC);
    EXPECT_EQ((*signature)[1023], 0x20);
    EXPECT_EQ((*snippet)[0], 0xE5);
    EXPECT_EQ((*snippet)[1], 0x00);
    EXPECT_TRUE(hasDeviceCopy(store, kKey));
}

TEST_F(DeviceCopy, SaveThenLoadRoundTrip)
{
    for (size_t i = 0; i < model.block.size(); ++i)
        model.block[i] = static_cast<uint8_t>(255 - i);
    for (size_t i = 0; i < model.signatureText.size(); ++i)
        model.signatureText[i] = static_cast<char16_t>(0x0100 * i + 0x41);
    for (size_t i = 0; i < model.snippetText.size(); ++i)
        model.snippetText[i] = static_cast<char16_t>(0xFF00 + i);
    ASSERT_TRUE(saveDeviceCopy(store, kKey, model));

    ConfigModel loaded;
    const DeviceCopyLoad result = loadDeviceCopy(store, kKey, loaded);
    EXPECT_TRUE(result.data && result.signature && result.snippet);
    EXPECT_EQ(loaded.block, model.block);
    EXPECT_EQ(loaded.signatureText, model.signatureText);
    EXPECT_EQ(loaded.snippetText, model.snippetText);
    EXPECT_EQ(loaded.reference, ConfigModel{}.reference);
}

TEST_F(DeviceCopy, RoundTripThroughAnIniFile)
{
    TempDir dir;
    model.block[3] = 0x40;
    model.signatureText[0] = u'\n';
    model.snippetText[255] = u'\u0040';
    ASSERT_TRUE(saveDeviceCopy(*makeFileSettingsStore((dir / "a.ini").string()), kKey, model));
    fs::copy_file(dir / "a.ini", dir / "b.ini");
    ConfigModel loaded;
    loaded.block.fill(0x55);
    EXPECT_TRUE(loadDeviceCopy(*makeFileSettingsStore((dir / "b.ini").string()), kKey, loaded).any());
    EXPECT_EQ(loaded.block, model.block);
    EXPECT_EQ(loaded.signatureText, model.signatureText);
    EXPECT_EQ(loaded.snippetText, model.snippetText);
}

TEST_F(DeviceCopy, LongerValuesAreCutShorterOnesFillTheStart)
{
    fillModel(0xEE, u'\u7777');
    std::vector<uint8_t> data(300);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i % 251);
    store.writeBytes(kKey, "Data.W", data);
    store.writeBytes(kKey, "Signature.W", {0x41, 0x00, 0x42});  // one unit and a half
    store.writeBytes(kKey, "Signature.W2", std::vector<uint8_t>(600, 0x11));

    const DeviceCopyLoad result = loadDeviceCopy(store, kKey, model);
    EXPECT_TRUE(result.data && result.signature && result.snippet);
    EXPECT_TRUE(std::equal(model.block.begin(), model.block.end(), data.begin()));
    EXPECT_EQ(model.signatureText[0], u'A');
    EXPECT_EQ(model.signatureText[1], u'\u7742');  // low byte replaced, high byte kept
    EXPECT_EQ(model.signatureText[2], u'\u7777');
    EXPECT_EQ(model.signatureText[511], u'\u7777');
    for (const char16_t unit : model.snippetText)
        ASSERT_EQ(unit, u'\u1111');

    store.writeBytes(kKey, "Data.W", {1, 2, 3});
    fillModel(0xEE, u'\u7777');
    loadDeviceCopy(store, kKey, model);
    EXPECT_EQ(model.block[0], 1);
    EXPECT_EQ(model.block[2], 3);
    EXPECT_EQ(model.block[3], 0xEE);
    EXPECT_EQ(model.block[255], 0xEE);
}

TEST_F(DeviceCopy, WrongKindsAndEmptyBlocksCountAsAbsent)
{
    fillModel(0xEE, u'\u7777');
    store.writeText(kKey, "Data.W", "0123456789");
    store.writeBytes(kKey, "Signature.W", {});
    store.writeInt(kKey, "Signature.W2", 12);
    const ConfigModel before = model;

    const DeviceCopyLoad result = loadDeviceCopy(store, kKey, model);
    EXPECT_FALSE(result.any());
    EXPECT_EQ(model.block, before.block);
    EXPECT_EQ(model.signatureText, before.signatureText);
    EXPECT_EQ(model.snippetText, before.snippetText);
    EXPECT_FALSE(hasDeviceCopy(store, kKey));

    store.writeBytes(kKey, "Data.W", {});
    EXPECT_FALSE(hasDeviceCopy(store, kKey));
    store.writeBytes(kKey, "Data.W", {0});
    EXPECT_TRUE(hasDeviceCopy(store, kKey));
}

TEST_F(DeviceCopy, EachValueIsReportedOnItsOwn)
{
    EXPECT_FALSE(loadDeviceCopy(store, kKey, model).any());
    EXPECT_FALSE(hasDeviceCopy(store, kKey));

    // Another device's copy is not this one's.
    store.writeBytes("HW:0a:1b:2c:3e", "Data.W", {1});
    EXPECT_FALSE(loadDeviceCopy(store, kKey, model).any());

    store.writeBytes(kKey, "Signature.W2", {0x41, 0x00});
    DeviceCopyLoad result = loadDeviceCopy(store, kKey, model);
    EXPECT_TRUE(result.any());
    EXPECT_FALSE(result.data);
    EXPECT_FALSE(result.signature);
    EXPECT_TRUE(result.snippet);
    EXPECT_FALSE(hasDeviceCopy(store, kKey));

    store.writeBytes(kKey, "Signature.W", {0x41, 0x00});
    result = loadDeviceCopy(store, kKey, model);
    EXPECT_TRUE(result.signature);
    EXPECT_FALSE(result.data);
}

TEST_F(DeviceCopy, EmptyKeyTouchesNothing)
{
    EXPECT_FALSE(saveDeviceCopy(store, "", model));
    EXPECT_TRUE(store.all().empty());
    store.writeBytes("", "Data.W", {1, 2});
    EXPECT_FALSE(hasDeviceCopy(store, ""));
    EXPECT_FALSE(loadDeviceCopy(store, "", model).any());
}

TEST_F(DeviceCopy, SaveReportsAFailedWrite)
{
    store.failWrites = true;
    EXPECT_FALSE(saveDeviceCopy(store, kKey, model));
    EXPECT_TRUE(store.all().empty());
}

TEST(SettingsTextBytes, Utf16IsLittleEndianBothWays)
{
    const std::array<char16_t, 3> text = {u'A', u'\u20AC', u'\xFF'};
    const std::vector<uint8_t> bytes = utf16Bytes(text);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0x41, 0x00, 0xAC, 0x20, 0xFF, 0x00}));
    std::array<char16_t, 3> back{};
    EXPECT_EQ(copyUtf16Bytes(bytes, back), 6u);
    EXPECT_EQ(back, text);
    std::array<char16_t, 2> shorter{};
    EXPECT_EQ(copyUtf16Bytes(bytes, shorter), 4u);
    EXPECT_EQ(shorter[1], u'\u20AC');
}

}  // namespace
}  // namespace cvk
