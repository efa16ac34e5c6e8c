#include "platform/linux/desktop_mouse.h"

#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>
#include <vector>

#include "platform/vendor.h"

namespace cvk {

namespace {

namespace fs = std::filesystem;

constexpr const char* kGnomeMouseSchema = "org.gnome.desktop.peripherals.mouse";
constexpr int kKdeDefaultWheelLines = 3;
constexpr int kMaxWheelLines = 100;

std::string trimmed(const std::string& s)
{
    constexpr const char* kSpace = " \t\r\n\v\f";
    const size_t begin = s.find_first_not_of(kSpace);
    if (begin == std::string::npos)
        return {};
    return s.substr(begin, s.find_last_not_of(kSpace) - begin + 1);
}

std::string lowered(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The segments of a group header line ("[a][b][$i]" gives a, b); nullopt
// when the line is not a well-formed header.
std::optional<std::vector<std::string>> groupHeader(const std::string& line)
{
    const std::string t = trimmed(line);
    if (t.empty() || t.front() != '[')
        return std::nullopt;
    std::vector<std::string> segments;
    size_t pos = 0;
    while (pos < t.size()) {
        if (t[pos] != '[')
            return std::nullopt;
        const size_t close = t.find(']', pos + 1);
        if (close == std::string::npos)
            return std::nullopt;
        std::string segment = t.substr(pos + 1, close - pos - 1);
        // [$i] and the like are flags of the group, not part of its name.
        if (segment.empty() || segment.front() != '$')
            segments.push_back(std::move(segment));
        pos = close + 1;
    }
    if (segments.empty())
        return std::nullopt;
    return segments;
}

std::string joinedGroup(const std::vector<std::string>& segments)
{
    std::string name;
    for (size_t i = 0; i < segments.size(); ++i)
        name += (i ? "][" : "") + segments[i];
    return name;
}

struct KeyLine {
    std::string key;    // without flags such as [$e]
    size_t valueStart;  // offset in the line just after '='
};

// A key=value line; nullopt for comments, blank and malformed lines and for
// localised keys (key[de]=...), which are other keys than the plain one.
std::optional<KeyLine> keyLine(const std::string& line)
{
    const std::string t = trimmed(line);
    if (t.empty() || t.front() == '#' || t.front() == '[')
        return std::nullopt;
    const size_t eq = line.find('=');
    if (eq == std::string::npos)
        return std::nullopt;
    std::string key = trimmed(line.substr(0, eq));
    while (!key.empty() && key.back() == ']') {
        const size_t open = key.rfind('[');
        if (open == std::string::npos || open + 1 >= key.size() || key[open + 1] != '$')
            return std::nullopt;
        key = trimmed(key.substr(0, open));
    }
    if (key.empty() || key.find_first_of("[]") != std::string::npos)
        return std::nullopt;
    return KeyLine{key, eq + 1};
}

struct KdeEntry {
    std::vector<std::string> group;
    std::string key;
    std::string value;
};

std::vector<KdeEntry> kdeEntries(const std::string& text)
{
    std::vector<KdeEntry> entries;
    std::vector<std::string> group;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (auto header = groupHeader(line)) {
            group = std::move(*header);
            continue;
        }
        if (auto k = keyLine(line))
            entries.push_back({group, k->key, trimmed(line.substr(k->valueStart))});
    }
    return entries;
}

std::optional<std::string> fileText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool allDigits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string bracketed(const std::vector<std::string>& group) { return "[" + joinedGroup(group) + "]"; }

// Writes text to path through a new file in the same folder, renamed over
// the old one, so a failure at any point leaves the old file whole.
bool replaceFile(const fs::path& path, const std::string& text, std::string* error)
{
    const auto fail = [&](const std::string& what) {
        if (error)
            *error = what + " " + path.string() + ": " + std::strerror(errno);
        return false;
    };
    mode_t mode = 0644;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0)
        mode = old.st_mode & 07777;
    std::string pattern = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return fail("cannot write");
    const auto abandon = [&](const std::string& what) {
        const int saved = errno;
        ::close(fd);
        ::unlink(pattern.c_str());
        errno = saved;
        return fail(what);
    };
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return abandon("cannot write");
        }
        done += static_cast<size_t>(n);
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        return abandon("cannot write");
    if (::close(fd) != 0) {
        ::unlink(pattern.c_str());
        return fail("cannot write");
    }
    if (::rename(pattern.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(pattern.c_str());
        errno = saved;
        return fail("cannot replace");
    }
    return true;
}

}  // namespace

// ------------------------------------------------------------ KDE files

std::optional<std::string> kdeConfigValue(const std::string& text, const std::string& group,
                                          const std::string& key)
{
    std::optional<std::string> value;
    for (const KdeEntry& e : kdeEntries(text))
        if (e.key == key && joinedGroup(e.group) == group)
            value = e.value;  // KConfig lets the last one win
    return value;
}

std::optional<bool> kdeConfigBool(const std::string& value)
{
    const std::string v = lowered(trimmed(value));
    if (v == "true" || v == "on" || v == "yes" || v == "1")
        return true;
    if (v == "false" || v == "off" || v == "no" || v == "0")
        return false;
    return std::nullopt;
}

std::string withKdeConfigValue(const std::string& text, const std::string& group, const std::string& key,
                               const std::string& value)
{
    // Lines with their ends, so that joining them gives the text back.
    std::vector<std::string> lines;
    for (size_t pos = 0; pos < text.size();) {
        const size_t nl = text.find('\n', pos);
        const size_t end = nl == std::string::npos ? text.size() : nl + 1;
        lines.push_back(text.substr(pos, end - pos));
        pos = end;
    }
    std::optional<size_t> keyAt, lastInGroup;
    bool inGroup = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (auto header = groupHeader(lines[i])) {
            inGroup = joinedGroup(*header) == group;
            if (inGroup)
                lastInGroup = i;
            continue;
        }
        if (!inGroup)
            continue;
        if (auto k = keyLine(lines[i])) {
            lastInGroup = i;
            if (k->key == key)
                keyAt = i;
        }
    }
    if (keyAt) {
        std::string& line = lines[*keyAt];
        // The spacing around '=' stays as it was.
        size_t valueStart = keyLine(line)->valueStart;
        while (valueStart < line.size() && (line[valueStart] == ' ' || line[valueStart] == '\t'))
            ++valueStart;
        size_t ending = line.size();
        if (ending > 0 && line[ending - 1] == '\n')
            --ending;
        if (ending > valueStart && line[ending - 1] == '\r')
            --ending;
        line = line.substr(0, valueStart) + value + line.substr(ending);
    } else if (lastInGroup) {
        std::string& before = lines[*lastInGroup];
        if (before.empty() || before.back() != '\n')
            before += '\n';
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*lastInGroup) + 1, key + "=" + value + "\n");
    } else {
        std::string tail;
        if (!text.empty())
            tail = (text.back() == '\n' ? "" : "\n") + std::string("\n");
        lines.push_back(tail + "[" + group + "]\n" + key + "=" + value + "\n");
    }
    std::string result;
    for (const std::string& line : lines)
        result += line;
    return result;
}

// ------------------------------------------------------------ GSettings

std::optional<bool> readGSettingsBool(const std::string& schema, const std::string& key)
{
    // g_settings_new() aborts the process on a schema that is not
    // installed, so the schema and the key are looked up first.
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source)
        return std::nullopt;
    GSettingsSchema* found = g_settings_schema_source_lookup(source, schema.c_str(), TRUE);
    if (!found)
        return std::nullopt;
    std::optional<bool> result;
    if (g_settings_schema_has_key(found, key.c_str())) {
        GSettingsSchemaKey* k = g_settings_schema_get_key(found, key.c_str());
        const bool isBool =
            g_variant_type_equal(g_settings_schema_key_get_value_type(k), G_VARIANT_TYPE_BOOLEAN);
        g_settings_schema_key_unref(k);
        if (isBool) {
            GSettings* settings = g_settings_new_full(found, nullptr, nullptr);
            result = g_settings_get_boolean(settings, key.c_str()) != FALSE;
            g_object_unref(settings);
        }
    }
    g_settings_schema_unref(found);
    return result;
}

// ------------------------------------------------------------ the session

MouseDesktop mouseDesktopFor(const std::string& currentDesktop)
{
    // A colon-separated list, most specific first ("ubuntu:GNOME").
    bool gnome = false;
    std::istringstream names(currentDesktop);
    for (std::string name; std::getline(names, name, ':');) {
        name = lowered(trimmed(name));
        if (name == "kde")
            return MouseDesktop::Kde;
        if (name == "gnome" || name == "gnome-classic" || name == "gnome-flashback" || name == "unity" ||
            name == "budgie" || name == "pantheon")
            gnome = true;
    }
    return gnome ? MouseDesktop::Gnome : MouseDesktop::Other;
}

DesktopMouseSources sessionMouseSources()
{
    const auto env = [](const char* name) {
        const char* v = std::getenv(name);
        return std::string(v ? v : "");
    };
    DesktopMouseSources s;
    s.desktop = env("XDG_CURRENT_DESKTOP");
    if (s.desktop.empty())
        s.desktop = env("XDG_SESSION_DESKTOP");
    s.sessionType = env("XDG_SESSION_TYPE");
    const std::string configHome = env("XDG_CONFIG_HOME");
    if (!configHome.empty() && configHome.front() == '/')
        s.configDir = configHome;
    else if (const std::string home = env("HOME"); !home.empty())
        s.configDir = fs::path(home) / ".config";
    s.gsettings = readGSettingsBool;
    s.ownVendorId = kVendorId;
    return s;
}

// ------------------------------------------------------------ settings

DesktopMouseSettings::DesktopMouseSettings() : DesktopMouseSettings(sessionMouseSources()) {}

DesktopMouseSettings::DesktopMouseSettings(DesktopMouseSources sources)
    : sources_(std::move(sources)), desktop_(mouseDesktopFor(sources_.desktop))
{}

std::string DesktopMouseSettings::desktopName() const
{
    switch (desktop_) {
    case MouseDesktop::Gnome: return "GNOME";
    case MouseDesktop::Kde: return "KDE";
    case MouseDesktop::Other: break;
    }
    return "other (" +
           (sources_.desktop.empty() ? std::string("XDG_CURRENT_DESKTOP not set") : sources_.desktop) + ")";
}

SwapReading DesktopMouseSettings::buttonsSwapped() const
{
    switch (desktop_) {
    case MouseDesktop::Gnome: {
        const std::optional<bool> left =
            sources_.gsettings ? sources_.gsettings(kGnomeMouseSchema, "left-handed") : std::nullopt;
        if (!left)
            return {false, std::string("GSettings ") + kGnomeMouseSchema + " left-handed is not installed"};
        return {*left, std::string("from GSettings ") + kGnomeMouseSchema + " left-handed"};
    }
    case MouseDesktop::Kde: return kdeButtonsSwapped();
    case MouseDesktop::Other: break;
    }
    return {false, "no buttons setting known for this desktop"};
}

SwapReading DesktopMouseSettings::kdeButtonsSwapped() const
{
    const fs::path path = sources_.configDir / "kcminputrc";
    const std::optional<std::string> text = fileText(path);
    if (!text)
        return {false, "no kcminputrc: KDE's default"};
    const std::vector<KdeEntry> entries = kdeEntries(*text);

    // Wayland: KWin keeps the setting per device. Any other pointing device
    // set left-handed means the user works left-handed; the maker's own
    // devices are left out, as their entry swaps that device alone.
    std::optional<SwapReading> wayland;
    std::optional<SwapReading> waylandDefault;
    for (const KdeEntry& e : entries) {
        if (e.key != "LeftHanded" || e.group.empty() || e.group[0] != "Libinput")
            continue;
        const std::optional<bool> on = kdeConfigBool(e.value);
        if (!on)
            continue;
        const std::string from = "from kcminputrc " + bracketed(e.group) + " LeftHanded";
        if (e.group.size() == 3 && e.group[1] == "Defaults" && e.group[2] == "Pointer") {
            waylandDefault = SwapReading{*on, from};
        } else if (e.group.size() == 4 && allDigits(e.group[1]) && allDigits(e.group[2])) {
            if (std::strtoul(e.group[1].c_str(), nullptr, 10) == sources_.ownVendorId)
                continue;
            if (*on)
                wayland = SwapReading{true, from};
            else if (!wayland)
                wayland = SwapReading{false, from};
        }
    }
    if (waylandDefault && waylandDefault->swapped && !(wayland && wayland->swapped))
        wayland = waylandDefault;
    else if (!wayland)
        wayland = waylandDefault;

    // X11: the Plasma mouse module's keys for the libinput driver, and for
    // the older evdev driver.
    std::optional<SwapReading> x11;
    for (const KdeEntry& e : entries) {
        if (joinedGroup(e.group) != "Mouse")
            continue;
        if (e.key == "XLbInptLeftHanded") {
            if (const std::optional<bool> on = kdeConfigBool(e.value))
                x11 = SwapReading{*on, "from kcminputrc [Mouse] XLbInptLeftHanded"};
        } else if (e.key == "MouseButtonMapping") {
            x11 = SwapReading{e.value == "LeftHanded", "from kcminputrc [Mouse] MouseButtonMapping"};
        }
    }

    const std::string session = lowered(sources_.sessionType);
    std::optional<SwapReading> chosen;
    if (session == "wayland")
        chosen = wayland;
    else if (session == "x11")
        chosen = x11;
    else if (wayland && x11)  // session unknown: either saying yes counts
        chosen = wayland->swapped || !x11->swapped ? wayland : x11;
    else
        chosen = wayland ? wayland : x11;
    if (!chosen)
        return {false, "kcminputrc has no left-handed setting: KDE's default"};
    return *chosen;
}

WheelReading DesktopMouseSettings::wheelScrollLines() const
{
    if (desktop_ != MouseDesktop::Kde) {
        // Neither GNOME nor the other desktops keep a wheel-lines setting.
        if (linesSet_)
            return {linesSet_, "the value last set; the desktop has no such setting"};
        return {std::nullopt, "no such setting on this desktop"};
    }
    const std::optional<std::string> text = fileText(sources_.configDir / "kdeglobals");
    const std::optional<std::string> value =
        text ? kdeConfigValue(*text, "KDE", "WheelScrollLines") : std::nullopt;
    if (!value)
        return {kKdeDefaultWheelLines, "kdeglobals has no [KDE] WheelScrollLines: KDE's default"};
    if (allDigits(*value) && value->size() <= 3) {
        const int lines = std::stoi(*value);
        if (lines >= 1 && lines <= kMaxWheelLines)
            return {lines, "from kdeglobals [KDE] WheelScrollLines"};
    }
    return {kKdeDefaultWheelLines,
            "kdeglobals [KDE] WheelScrollLines '" + *value + "' is not a line count: KDE's default"};
}

bool DesktopMouseSettings::setWheelScrollLines(int lines, std::string* error)
{
    if (lines < 1 || lines > kMaxWheelLines) {
        if (error)
            *error = "wheel scroll lines must be 1 to " + std::to_string(kMaxWheelLines) + ", not " +
                     std::to_string(lines);
        return false;
    }
    if (desktop_ != MouseDesktop::Kde) {
        linesSet_ = lines;
        return true;
    }
    fs::path path = sources_.configDir / "kdeglobals";
    std::error_code ec;
    // A linked kdeglobals (a dotfile manager's) stays linked: its target
    // is what changes.
    if (fs::is_symlink(path, ec)) {
        const fs::path target = fs::canonical(path, ec);
        if (ec) {
            if (error)
                *error = "cannot follow " + path.string() + ": " + ec.message();
            return false;
        }
        path = target;
    }
    std::string old;
    if (fs::exists(path, ec)) {
        const std::optional<std::string> text = fileText(path);
        if (!text) {
            if (error)
                *error = "cannot read " + path.string();
            return false;
        }
        old = *text;
    }
    const std::string updated = withKdeConfigValue(old, "KDE", "WheelScrollLines", std::to_string(lines));
    if (updated == old && !old.empty())
        return true;
    return replaceFile(path, updated, error);
}

}  // namespace cvk
