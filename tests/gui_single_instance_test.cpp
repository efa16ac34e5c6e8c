// The window program runs once per user: a second start hands over to the
// first and ends at once, and a socket left behind by a crashed first copy
// does not keep a new one from starting. Real processes, offscreen Qt, a
// private runtime folder; every wait is bounded and a stuck child is killed.

#include <gtest/gtest.h>

#include "cli_run.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace {

#ifdef CVK_GUI_PATH

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char* kInstanceFile = "{6F1C2B7A-3D4E-4A5B-9C8D-1E2F3A4B5C6D}";
constexpr const char* kBroughtToFront = "cvkeys: brought to the front by a second start";
constexpr auto kStartTimeout = 15s;
constexpr auto kSecondExitTimeout = 5s;
constexpr auto kReapTimeout = 5s;

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "cvk-gui-XXXXXX").string();
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// A child process of the window program, killed and reaped when the test
// leaves it running.
class Child {
public:
    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    ~Child()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0)
            ::close(out_);
    }

    bool spawn(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& errFile)
    {
        int pipeFds[2];
        if (::pipe2(pipeFds, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                         O_WRONLY | O_CREAT | O_APPEND, 0600);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (const std::string& e : env)
            envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        const int rc = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
        if (rc != 0) {
            pid_ = -1;
            return false;
        }
        return true;
    }

    // The exit status, or nothing when the child still runs at the deadline.
    std::optional<int> waitExit(std::chrono::milliseconds timeout)
    {
        const auto deadline = Clock::now() + timeout;
        while (pid_ > 0) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return status;
            }
            if (r < 0 || Clock::now() >= deadline)
                break;
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    void signal(int sig)
    {
        if (pid_ > 0)
            ::kill(pid_, sig);
    }

    // Reads the child's standard output until `needle` has shown up `times`
    // times.
    bool readUntil(const std::string& needle, std::chrono::milliseconds timeout, int times = 1)
    {
        const auto deadline = Clock::now() + timeout;
        while (count(needle) < times) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p{out_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buffer[512];
            const ssize_t n = ::read(out_, buffer, sizeof buffer);
            if (n <= 0)
                return count(needle) >= times;
            output_.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }

    const std::string& output() const { return output_; }

    int count(const std::string& needle) const
    {
        int n = 0;
        for (size_t at = output_.find(needle); at != std::string::npos; at = output_.find(needle, at + 1))
            ++n;
        return n;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

bool isSocket(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

template <typename Predicate>
bool waitFor(Predicate done, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// True when something accepts connections on the socket right now.
bool accepts(const std::string& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

std::string slurp(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.path().empty());
        runtimeDir_ = dir_.path() + "/run";
        ASSERT_EQ(::mkdir(runtimeDir_.c_str(), 0700), 0);
        settings_ = dir_.path() + "/s.ini";
        // A stored language keeps the first start from asking for one.
        std::ofstream(settings_) << "[General]\nLangauge=EN\n";
        // The copies get a home of their own as well: whatever Qt keeps
        // there (caches, state) stays out of the user's.
        const std::string home = dir_.path() + "/home";
        const std::vector<std::pair<std::string, std::string>> own = {
            {"QT_QPA_PLATFORM", "offscreen"},
            {"XDG_RUNTIME_DIR", runtimeDir_},
            {"HOME", home},
            {"XDG_CONFIG_HOME", home + "/.config"},
            {"XDG_DATA_HOME", home + "/.local/share"},
            {"XDG_STATE_HOME", home + "/.local/state"},
            {"XDG_CACHE_HOME", home + "/.cache"},
        };
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (std::none_of(own.begin(), own.end(),
                             [&](const auto& v) { return entry.rfind(v.first + "=", 0) == 0; }))
                env_.push_back(entry);
        }
        for (const auto& [name, value] : own)
            env_.push_back(name + "=" + value);
        socket_ = runtimeDir_ + "/" + kInstanceFile;
    }

    bool start(Child& child, const std::string& errName) { return start(child, errName, settings_); }

    bool start(Child& child, const std::string& errName, const std::string& settings)
    {
        return child.spawn({CVK_GUI_PATH, "--simulate", "none", "--settings", settings}, env_,
                           dir_.path() + "/" + errName);
    }

    // Ends a first copy the way a logout does and checks it went.
    void terminate(Child& child)
    {
        child.signal(SIGTERM);
        const std::optional<int> status = child.waitExit(kReapTimeout);
        EXPECT_TRUE(status.has_value()) << "the first copy ignored SIGTERM";
    }

    std::string errors(const std::string& errName) { return slurp(dir_.path() + "/" + errName); }

    TempDir dir_;
    std::string runtimeDir_;
    std::string settings_;
    std::string socket_;
    std::vector<std::string> env_;
};

TEST_F(SingleInstance, SecondStartHandsOverAndEndsAtOnce)
{
    Child first;
    ASSERT_TRUE(start(first, "first.err"));
    ASSERT_TRUE(waitFor([&] { return isSocket(socket_); }, kStartTimeout))
        << "the first copy never listened\n"
        << errors("first.err");

    Child second;
    ASSERT_TRUE(start(second, "second.err"));
    const std::optional<int> status = second.waitExit(kSecondExitTimeout);
    ASSERT_TRUE(status.has_value()) << "the second copy kept running\n" << errors("second.err");
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0) << errors("second.err");

    EXPECT_TRUE(first.readUntil(kBroughtToFront, kSecondExitTimeout))
        << "first copy printed: " << first.output() << "\n"
        << errors("first.err");
    // Still the one copy: the second did not take over the socket.
    EXPECT_TRUE(accepts(socket_));
    terminate(first);
}

TEST_F(SingleInstance, StaleSocketOfACrashedCopyDoesNotBlockANewOne)
{
    {
        // The copy is killed while it still writes its first-run settings.
        // Killed between creating the settings file's lock and writing its
        // owner into it, it leaves an empty lock, which Qt takes for a live
        // writer's for 30 seconds; the copies after it would wait that long
        // at start. That is not what this test is about, so the crashed copy
        // keeps its settings apart.
        const std::string crashedSettings = dir_.path() + "/crashed.ini";
        std::ofstream(crashedSettings) << "[General]\nLangauge=EN\n";
        Child crashed;
        ASSERT_TRUE(start(crashed, "crashed.err", crashedSettings));
        ASSERT_TRUE(waitFor([&] { return isSocket(socket_); }, kStartTimeout)) << errors("crashed.err");
        crashed.signal(SIGKILL);
        ASSERT_TRUE(crashed.waitExit(kReapTimeout).has_value());
    }
    ASSERT_TRUE(isSocket(socket_)) << "a killed copy leaves its socket behind";
    ASSERT_FALSE(accepts(socket_));

    Child first;
    ASSERT_TRUE(start(first, "first.err"));
    ASSERT_TRUE(waitFor([&] { return accepts(socket_); }, kStartTimeout)) << "the new copy never listened\n"
                                                                          << errors("first.err");
    // It is a working first copy: a later start hands over to it and ends.
    // (The probe above was a connection too, but one that can arrive before
    // the new copy's window exists, when there is nothing to bring to the
    // front; so only the real start is counted on.)
    Child second;
    ASSERT_TRUE(start(second, "second.err"));
    const std::optional<int> status = second.waitExit(kSecondExitTimeout);
    ASSERT_TRUE(status.has_value()) << "the second copy kept running\n" << errors("second.err");
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << errors("second.err");
    EXPECT_TRUE(first.readUntil(kBroughtToFront, kSecondExitTimeout, 1)) << errors("first.err");
    terminate(first);
}

// The width and height of a PNG file from its header, or nothing when the
// file is not a PNG.
std::optional<std::pair<uint32_t, uint32_t>> pngSize(const std::string& path)
{
    const std::string bytes = slurp(path);
    const std::string signature = "\x89PNG\r\n\x1a\n";
    if (bytes.size() < 24 || bytes.compare(0, signature.size(), signature) != 0 ||
        bytes.compare(12, 4, "IHDR") != 0)
        return std::nullopt;
    auto be32 = [&](size_t at) {
        uint32_t v = 0;
        for (size_t i = 0; i < 4; ++i)
            v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return std::pair{be32(16), be32(20)};
}

// A screenshot run is a tool of its own: it neither hands over to a running
// copy nor waits for anyone, even on a first run that would ask for the
// language, writes the window and ends.
TEST_F(SingleInstance, ScreenshotRunWritesTheWindowBesideARunningCopy)
{
    Child first;
    ASSERT_TRUE(start(first, "first.err"));
    ASSERT_TRUE(waitFor([&] { return isSocket(socket_); }, kStartTimeout)) << errors("first.err");

    struct Case {
        const char* name;
        std::string file;
        int exitCode;
    };
    const Case cases[] = {
        {"written", dir_.path() + "/shot.png", 0},
        {"folder missing", dir_.path() + "/missing/shot.png", 1},
    };
    for (const Case& c : cases) {
        Child shot;
        const std::string fresh = dir_.path() + "/fresh-" + std::to_string(c.exitCode) + ".ini";
        ASSERT_TRUE(
            shot.spawn({CVK_GUI_PATH, "--simulate", "dorrin", "--settings", fresh, "--screenshot", c.file},
                       env_, dir_.path() + "/shot.err"));
        const std::optional<int> status = shot.waitExit(kStartTimeout);
        ASSERT_TRUE(status.has_value()) << c.name << ": the screenshot run kept running\n"
                                        << errors("shot.err");
        ASSERT_TRUE(WIFEXITED(*status)) << c.name;
        EXPECT_EQ(WEXITSTATUS(*status), c.exitCode) << c.name << "\n" << errors("shot.err");
        const auto size = pngSize(c.file);
        if (c.exitCode == 0) {
            ASSERT_TRUE(size.has_value()) << c.name;
            EXPECT_GE(size->first, 720u) << c.name;
            EXPECT_GE(size->second, 200u) << c.name;
        } else {
            EXPECT_FALSE(size.has_value()) << c.name;
        }
    }
    EXPECT_FALSE(first.readUntil(kBroughtToFront, 500ms)) << first.output();
    EXPECT_TRUE(accepts(socket_));
    terminate(first);
}

// The copies of the window program started with these settings, whoever
// started them (a new copy after a language change is nobody's child).
std::vector<pid_t> copiesWith(const std::string& settings)
{
    std::vector<pid_t> pids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.empty() || !std::all_of(name.begin(), name.end(), ::isdigit))
            continue;
        std::string cmdline = slurp(entry.path().string() + "/cmdline");
        std::replace(cmdline.begin(), cmdline.end(), '\0', ' ');
        if (cmdline.find(CVK_GUI_PATH) != std::string::npos && cmdline.find(settings) != std::string::npos)
            pids.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return pids;
}

// Another language ends the window and starts a new copy, which becomes the
// first one (a later start hands over to it) and keeps the new language; the
// language already in use restarts nothing.
TEST_F(SingleInstance, LanguageChangeStartsANewFirstCopy)
{
    Child same;
    ASSERT_TRUE(
        same.spawn({CVK_GUI_PATH, "--simulate", "none", "--settings", settings_, "--change-language", "EN"},
                   env_, dir_.path() + "/same.err"));
    ASSERT_TRUE(waitFor([&] { return accepts(socket_); }, kStartTimeout)) << errors("same.err");
    EXPECT_FALSE(same.waitExit(1s).has_value()) << "the language in use restarted the program";
    terminate(same);
    ASSERT_TRUE(waitFor([&] { return !isSocket(socket_); }, kReapTimeout));

    // A Swedish text for the About link, line 2 of the language file.
    const std::string languages = dir_.path() + "/languages";
    ASSERT_EQ(::mkdir(languages.c_str(), 0700), 0);
    std::ofstream(languages + "/Language.SE") << "\nOm CV Keys\n";
    Child first;
    ASSERT_TRUE(first.spawn({CVK_GUI_PATH, "--simulate", "none", "--settings", settings_, "--language-dir",
                             languages, "--change-language", "SE"},
                            env_, dir_.path() + "/first.err"));
    const std::optional<int> status = first.waitExit(kStartTimeout);
    ASSERT_TRUE(status.has_value()) << "the first copy did not end for the restart\n" << errors("first.err");
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_NE(slurp(settings_).find("Langauge=SE"), std::string::npos) << slurp(settings_);
    // What the new language gives a program started on these settings.
    const cvk::CliResult texts = cvk::cli({"--settings", settings_, "--language-dir", languages, "text 2"});
    EXPECT_NE(texts.out.find("Om CV Keys"), std::string::npos) << texts.out << texts.err;
    ASSERT_TRUE(waitFor([&] { return accepts(socket_); }, kStartTimeout)) << "no new copy\n"
                                                                          << errors("first.err");
    const std::vector<pid_t> copies = copiesWith(settings_);
    ASSERT_EQ(copies.size(), 1u);
    // The new copy is the first: a second start hands over and ends, and the
    // new copy (writing where its parent did) says so.
    Child second;
    ASSERT_TRUE(start(second, "second.err"));
    EXPECT_TRUE(second.waitExit(kStartTimeout).has_value()) << errors("second.err");
    EXPECT_TRUE(first.readUntil(kBroughtToFront, kStartTimeout)) << first.output();
    for (pid_t pid : copies)
        ::kill(pid, SIGTERM);
    EXPECT_TRUE(waitFor([&] { return copiesWith(settings_).empty(); }, kReapTimeout));
}

// At 125 %, 150 % and 200 % the window draws with more pixels, but the hit
// map (and so which button a point hits) stays in the picture's own 720
// pixels, the same at every scaling.
TEST_F(SingleInstance, ScalingKeepsTheHitMapAndSharpensTheShot)
{
    auto run = [&](const std::string& scale, const std::vector<std::string>& extra) {
        std::vector<std::string> env = env_;
        env.push_back("QT_SCALE_FACTOR=" + scale);
        std::vector<std::string> args{CVK_GUI_PATH, "--simulate", "dorrin", "--settings",
                                      dir_.path() + "/scaled-" + scale + ".ini"};
        args.insert(args.end(), extra.begin(), extra.end());
        Child child;
        if (!child.spawn(args, env, dir_.path() + "/scaled.err"))
            return false;
        const std::optional<int> status = child.waitExit(kStartTimeout);
        return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
    };
    auto bytes = [](const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string plain = dir_.path() + "/hitmap-1.png";
    ASSERT_TRUE(run("1", {"--hitmap", plain})) << errors("scaled.err");
    EXPECT_EQ(pngSize(plain), (std::pair<uint32_t, uint32_t>{720, 180}));
    const std::pair<std::string, uint32_t> scales[] = {{"1.25", 900}, {"1.5", 1080}, {"2", 1440}};
    for (const auto& [scale, width] : scales) {
        const std::string map = dir_.path() + "/hitmap-" + scale + ".png";
        const std::string shot = dir_.path() + "/shot-" + scale + ".png";
        ASSERT_TRUE(run(scale, {"--hitmap", map, "--screenshot", shot})) << scale << "\n"
                                                                         << errors("scaled.err");
        EXPECT_EQ(bytes(map), bytes(plain)) << scale;
        const auto size = pngSize(shot);
        ASSERT_TRUE(size.has_value()) << scale;
        EXPECT_GE(size->first, width) << scale;
    }
}

#else

TEST(SingleInstance, NeedsTheWindowProgram) { GTEST_SKIP() << "built without the window program"; }

#endif

}  // namespace
