// The chip maker's programming library as a backend: the loader takes it
// only from safe folders, the provider binds its entry points by name and
// never calls one that is missing. The stand-in library built with the
// tests plays the library.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "firmware/isp_standin_control.h"
#include "platform/linux/dl_library.h"
#include "scoped_env.h"
#include "service/firmware_update.h"
#include "service/isp_library.h"

namespace cvk {
namespace {

namespace fs = std::filesystem;
using service::IIsp;
using service::IspCall;
using service::ispCallName;
using service::IspLibraryProvider;
using service::kIspCallCount;
using service::kIspCallMissing;

const std::string kFullDir = CVK_ISP_STANDIN_DIR;
const std::string kMissingDir = CVK_ISP_STANDIN_MISSING_DIR;
const std::string kLibraryFile = "libAtJniIsp.so";
// What the missing variant leaves out.
const std::set<std::string> kLeftOut = {"ispEraseDevice", "ispSetRtsHigh"};

// A folder of its own under the test's home.
fs::path freshFolder(const std::string& name)
{
    const fs::path folder = fs::path(std::getenv("HOME")) / name;
    fs::create_directories(folder);
    return folder;
}

class CurrentDirectory {
public:
    explicit CurrentDirectory(const fs::path& folder) : previous_(fs::current_path())
    {
        fs::current_path(folder);
    }
    ~CurrentDirectory()
    {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
    }

private:
    fs::path previous_;
};

// ---- Loader ----

TEST(DlLibraryLoader, LoadsFromTheFirstSafeFolderHoldingTheFile)
{
    const std::string empty = freshFolder("empty").string();
    struct Case {
        std::vector<std::string> folders;
        std::string expectedFolder;
    };
    const std::vector<Case> cases = {
        {{kFullDir}, kFullDir},
        {{empty, kFullDir, kMissingDir}, kFullDir},
        {{empty, kMissingDir, kFullDir}, kMissingDir},
        {{"", ".", "relative", kMissingDir}, kMissingDir},
    };
    for (const Case& c : cases) {
        DlLibraryLoader loader(c.folders);
        std::string error;
        auto library = loader.load("AtJniIsp", &error);
        ASSERT_NE(library, nullptr) << error;
        EXPECT_EQ(library->path(), (fs::path(c.expectedFolder) / kLibraryFile).string());
        EXPECT_NE(library->symbol("ispInit"), nullptr);
        EXPECT_EQ(library->symbol("noSuchEntry"), nullptr);
    }
}

TEST(DlLibraryLoader, NeverTakesTheLibraryFromTheCurrentDirectory)
{
    const fs::path planted = freshFolder("planted");
    fs::copy_file(fs::path(kFullDir) / kLibraryFile, planted / kLibraryFile);
    const std::string safe = freshFolder("safe").string();
    CurrentDirectory inPlanted(planted);

    // Folder lists that would name the current directory if they were
    // taken as given.
    for (const std::vector<std::string>& folders :
         std::vector<std::vector<std::string>>{{safe}, {"", safe}, {".", "./", "lib"}, {}}) {
        DlLibraryLoader loader(folders);
        std::string error;
        EXPECT_EQ(loader.load("AtJniIsp", &error), nullptr)
            << (folders.empty() ? "(no folders)" : folders[0]);
        EXPECT_NE(error.find(kLibraryFile), std::string::npos) << error;
    }
}

TEST(DlLibraryLoader, ErrorNamesTheFoldersSearched)
{
    const std::string a = freshFolder("a").string();
    const std::string b = freshFolder("b").string();
    DlLibraryLoader loader({a, b});
    std::string error;
    EXPECT_EQ(loader.load("AtJniIsp", &error), nullptr);
    EXPECT_NE(error.find(a), std::string::npos) << error;
    EXPECT_NE(error.find(b), std::string::npos) << error;
    EXPECT_EQ(loader.load("AtJniIsp"), nullptr);  // no error wanted: still no crash
}

TEST(DlLibraryLoader, ReportsAFileThatIsNoLibrary)
{
    const fs::path broken = freshFolder("broken");
    std::ofstream(broken / kLibraryFile) << "not a shared object";
    DlLibraryLoader loader({broken.string()});
    std::string error;
    EXPECT_EQ(loader.load("AtJniIsp", &error), nullptr);
    EXPECT_NE(error.find((broken / kLibraryFile).string()), std::string::npos) << error;

    // One that does load, further down the list, still gets its turn.
    DlLibraryLoader withFallback({broken.string(), kFullDir});
    auto library = withFallback.load("AtJniIsp", &error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_EQ(library->path(), (fs::path(kFullDir) / kLibraryFile).string());
}

TEST(DlLibraryLoader, RefusesNamesWithAFolder)
{
    for (const std::string name : {"", "../AtJniIsp", "/tmp/AtJniIsp"}) {
        DlLibraryLoader loader({kFullDir, "/"});
        std::string error;
        EXPECT_EQ(loader.load(name, &error), nullptr) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
}

TEST(DlLibraryLoader, DefaultFoldersStartWithTheProgramsOwnAndDropRelativeSearchPathEntries)
{
    EnvironmentVariable path("LD_LIBRARY_PATH", ":/opt/first:relative/lib::.:/opt/second:");
    const std::vector<std::string> folders = DlLibraryLoader::defaultFolders();
    ASSERT_FALSE(folders.empty());
    EXPECT_EQ(folders.front(), fs::read_symlink("/proc/self/exe").parent_path().string());
    for (const std::string& folder : folders) {
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(folder.front(), '/') << folder;
    }
    const auto first = std::find(folders.begin(), folders.end(), "/opt/first");
    const auto second = std::find(folders.begin(), folders.end(), "/opt/second");
    const auto system = std::find(folders.begin(), folders.end(), "/usr/lib");
    ASSERT_NE(first, folders.end());
    ASSERT_NE(second, folders.end());
    ASSERT_NE(system, folders.end());
    EXPECT_LT(first, second);
    EXPECT_LT(second, system);
    EXPECT_EQ(folders.back(), "/lib");
}

TEST(DlLibraryLoader, DefaultFoldersWithoutSearchPath)
{
    const char* old = std::getenv("LD_LIBRARY_PATH");
    const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
    ::unsetenv("LD_LIBRARY_PATH");
    const std::vector<std::string> folders = DlLibraryLoader::defaultFolders();
    if (saved)
        ::setenv("LD_LIBRARY_PATH", saved->c_str(), 1);
    ASSERT_GE(folders.size(), 4u);
    EXPECT_EQ(folders[1], "/usr/local/lib");
    EXPECT_EQ(folders.back(), "/lib");
}

// ---- Provider on the stand-in library ----

struct ProviderRig {
    explicit ProviderRig(const std::string& folder)
        : loader({folder}), provider(loader, [this](const std::string& name) { ++reports[name]; })
    {}
    DlLibraryLoader loader;
    std::map<std::string, int> reports;
    IspLibraryProvider provider;
};

TEST(IspLibraryProvider, WithoutTheLibraryThereIsNoBackend)
{
    ProviderRig rig(freshFolder("nothing").string());
    EXPECT_EQ(rig.provider.acquire(), nullptr);
    EXPECT_FALSE(rig.provider.loaded());
    EXPECT_NE(rig.provider.loadError().find(kLibraryFile), std::string::npos) << rig.provider.loadError();
    EXPECT_TRUE(rig.reports.empty());
}

TEST(IspLibraryProvider, FullLibraryHasEveryEntryPoint)
{
    ProviderRig rig(kFullDir);
    IIsp* isp = rig.provider.acquire();
    ASSERT_NE(isp, nullptr) << rig.provider.loadError();
    EXPECT_TRUE(rig.provider.loaded());
    EXPECT_TRUE(rig.provider.loadError().empty());
    for (int i = 0; i < kIspCallCount; ++i)
        EXPECT_TRUE(isp->has(static_cast<IspCall>(i))) << ispCallName(static_cast<IspCall>(i));
    EXPECT_TRUE(rig.reports.empty());
    EXPECT_EQ(rig.provider.acquire(), isp);  // held, not loaded again
}

struct CallCase {
    const char* entry;
    std::function<int(IIsp&)> call;
    const char* recorded;
};

const std::vector<CallCase>& intCalls()
{
    static const std::vector<CallCase> cases = {
        {"ispInit", [](IIsp& i) { return i.init(); }, "ispInit"},
        {"ispSelectDevice", [](IIsp& i) { return i.selectDevice("AT90USB162"); },
         "ispSelectDevice AT90USB162"},
        {"ispSelectCommHardware", [](IIsp& i) { return i.selectCommHardware(2); }, "ispSelectCommHardware 2"},
        {"ispOpenUsbPort", [](IIsp& i) { return i.openUsbPort(); }, "ispOpenUsbPort"},
        {"ispReadSpecialByte", [](IIsp& i) { return i.readSpecialByte(0); }, "ispReadSpecialByte 0"},
        {"ispEraseDevice", [](IIsp& i) { return i.eraseDevice(); }, "ispEraseDevice"},
        {"ispBlankCheckMemory", [](IIsp& i) { return i.blankCheckMemory(); }, "ispBlankCheckMemory"},
        {"ispFillBufferAddrRange", [](IIsp& i) { return i.fillBufferAddrRange(0, 1023, "00"); },
         "ispFillBufferAddrRange 0 1023 00"},
        {"ispParseHexFile", [](IIsp& i) { return i.parseHexFile("/tmp/cvk image.hex"); },
         "ispParseHexFile /tmp/cvk image.hex"},
        {"ispProgramDevice", [](IIsp& i) { return i.programDevice(); }, "ispProgramDevice"},
        {"ispGetBufferAddrLo", [](IIsp& i) { return i.getBufferAddrLo(); }, "ispGetBufferAddrLo"},
        {"ispGetBufferAddrHi", [](IIsp& i) { return i.getBufferAddrHi(); }, "ispGetBufferAddrHi"},
        {"ispVerifyDevice", [](IIsp& i) { return i.verifyDevice(16, 12287); }, "ispVerifyDevice 16 12287"},
        {"ispEnterAppliMode", [](IIsp& i) { return i.enterAppliMode(3, 4); }, "ispEnterAppliMode 3 4"},
    };
    return cases;
}

TEST(IspLibraryProvider, CallsReachTheLibraryWithTheirArgumentsAndResults)
{
    StandIn standIn(kFullDir);
    ProviderRig rig(kFullDir);
    IIsp* isp = rig.provider.acquire();
    ASSERT_NE(isp, nullptr) << rig.provider.loadError();
    for (const CallCase& c : intCalls()) {
        standIn.reset();
        EXPECT_EQ(c.call(*isp), 1) << c.entry;
        standIn.setResult(c.entry, 7);
        EXPECT_EQ(c.call(*isp), 7) << c.entry;
        EXPECT_EQ(standIn.calls(), std::string(c.recorded) + "\n" + c.recorded + "\n");
    }

    standIn.reset();
    isp->setLogEnabled(0);
    isp->setDtrLow();
    isp->setDtrHigh();
    isp->exit();
    EXPECT_EQ(standIn.calls(), "ispSetLogEnabled 0\nispSetDtrLow\nispSetDtrHigh\nispExit\n");
}

TEST(IspLibraryProvider, TextsAndErrorsComeBack)
{
    StandIn standIn(kFullDir);
    ProviderRig rig(kFullDir);
    IIsp* isp = rig.provider.acquire();
    ASSERT_NE(isp, nullptr) << rig.provider.loadError();

    struct TextCase {
        std::function<int(IIsp&)> call;
        std::string text;
    };
    const std::vector<TextCase> defaults = {
        {[](IIsp& i) { return i.readSpecialByte(0); }, "20"},
        {[](IIsp& i) { return i.getBufferAddrLo(); }, "0000"},
        {[](IIsp& i) { return i.getBufferAddrHi(); }, "2FFF"},
        {[](IIsp& i) { return i.eraseDevice(); }, ""},
    };
    for (const TextCase& c : defaults) {
        c.call(*isp);
        EXPECT_EQ(isp->getLastResult(), c.text);
    }

    standIn.setText("ispBlankCheckMemory", "1A00");
    isp->blankCheckMemory();
    EXPECT_EQ(isp->getLastResult(), "1A00");
    standIn.setText("ispBlankCheckMemory", nullptr);
    isp->blankCheckMemory();
    EXPECT_EQ(isp->getLastResult(), "");

    for (int code : {0, 28, 54, -3}) {
        standIn.setLastError(code);
        EXPECT_EQ(isp->getLastError(), code);
    }
    EXPECT_EQ(isp->lastErrorText(), "");
}

TEST(IspLibraryProvider, MissingEntryPointsAreReportedOnceAndNeverCalled)
{
    StandIn standIn(kMissingDir);
    ProviderRig rig(kMissingDir);
    for (int round = 0; round < 2; ++round) {
        IIsp* isp = rig.provider.acquire();
        ASSERT_NE(isp, nullptr) << rig.provider.loadError();
        for (int i = 0; i < kIspCallCount; ++i) {
            const auto call = static_cast<IspCall>(i);
            const std::string name(ispCallName(call));
            EXPECT_EQ(isp->has(call), kLeftOut.count(name) == 0) << name;
        }
        rig.provider.release();
        EXPECT_FALSE(rig.provider.loaded());
    }
    std::map<std::string, int> once;
    for (const std::string& name : kLeftOut)
        once[name] = 1;
    EXPECT_EQ(rig.reports, once);
}

TEST(IspLibraryProvider, AMissingCallFailsWithItsOwnErrorInsteadOfBeingCalled)
{
    StandIn standIn(kMissingDir);
    ProviderRig rig(kMissingDir);
    IIsp* isp = rig.provider.acquire();
    ASSERT_NE(isp, nullptr) << rig.provider.loadError();
    standIn.setLastError(7);

    EXPECT_EQ(isp->eraseDevice(), 0);
    EXPECT_EQ(standIn.calls().find("ispEraseDevice"), std::string::npos) << standIn.calls();
    EXPECT_EQ(isp->getLastError(), kIspCallMissing);
    EXPECT_EQ(isp->getLastError(), kIspCallMissing);  // asking again does not forget it

    // The next call that is made brings back the library's own error.
    isp->blankCheckMemory();
    EXPECT_EQ(isp->getLastError(), 7);
}

// ---- Provider on a library put together in the test ----

int fakeInit() { return 1; }
int fakeLastError() { return 9; }

// Exports only the symbols given; counts loads and unloads.
class FakeLoader final : public ILibraryLoader {
public:
    std::map<std::string, void*> symbols;
    int loads = 0;
    int unloads = 0;

    std::unique_ptr<ILoadedLibrary> load(const std::string& baseName, std::string* error) override
    {
        EXPECT_EQ(baseName, "AtJniIsp");
        (void)error;
        ++loads;
        return std::make_unique<Library>(*this);
    }

private:
    class Library final : public ILoadedLibrary {
    public:
        explicit Library(FakeLoader& owner) : owner_(owner) {}
        ~Library() override { ++owner_.unloads; }
        void* symbol(const char* name) override
        {
            const auto found = owner_.symbols.find(name);
            return found == owner_.symbols.end() ? nullptr : found->second;
        }
        std::string path() const override { return "/fake/libAtJniIsp.so"; }

    private:
        FakeLoader& owner_;
    };
};

TEST(IspLibraryProvider, ReleaseUnloadsAndTheNextAcquireLoadsAgain)
{
    FakeLoader loader;
    loader.symbols["ispInit"] = reinterpret_cast<void*>(&fakeInit);
    loader.symbols["ispGetLastError"] = reinterpret_cast<void*>(&fakeLastError);
    int reports = 0;
    IspLibraryProvider provider(loader, [&](const std::string&) { ++reports; });

    ASSERT_NE(provider.acquire(), nullptr);
    ASSERT_NE(provider.acquire(), nullptr);
    EXPECT_EQ(loader.loads, 1);
    EXPECT_EQ(reports, kIspCallCount - 2);

    provider.release();
    EXPECT_FALSE(provider.loaded());
    EXPECT_EQ(loader.unloads, 1);

    IIsp* isp = provider.acquire();
    ASSERT_NE(isp, nullptr);
    EXPECT_EQ(loader.loads, 2);
    EXPECT_EQ(reports, kIspCallCount - 2);
    EXPECT_EQ(isp->init(), 1);
    EXPECT_EQ(isp->getLastError(), 9);
}

TEST(IspLibraryProvider, WithoutItsErrorCallTheLibraryStillExplainsAMissingCall)
{
    FakeLoader loader;
    loader.symbols["ispInit"] = reinterpret_cast<void*>(&fakeInit);
    IspLibraryProvider provider(loader, nullptr);
    IIsp* isp = provider.acquire();
    ASSERT_NE(isp, nullptr);
    EXPECT_EQ(isp->init(), 1);
    EXPECT_EQ(isp->getLastError(), kIspCallMissing);
    EXPECT_EQ(isp->selectDevice("AT90USB162"), 0);
    EXPECT_EQ(isp->getLastError(), kIspCallMissing);
    EXPECT_EQ(isp->getLastResult(), "");
    isp->setDtrLow();
    isp->exit();
}

TEST(IspCallName, NamesEveryEntryPointOnce)
{
    std::set<std::string_view> names;
    for (int i = 0; i < kIspCallCount; ++i) {
        const std::string_view name = ispCallName(static_cast<IspCall>(i));
        EXPECT_EQ(name.substr(0, 3), "isp") << i;
        names.insert(name);
    }
    EXPECT_EQ(names.size(), static_cast<std::size_t>(kIspCallCount));
    EXPECT_EQ(ispCallName(IspCall::Init), "ispInit");
    EXPECT_EQ(ispCallName(IspCall::GetLastResult), "ispGetLastResult");
    EXPECT_EQ(ispCallName(IspCall::EnterIspMode), "ispEnterIspMode");
    EXPECT_EQ(ispCallName(static_cast<IspCall>(kIspCallCount)), "");
}

}  // namespace
}  // namespace cvk
