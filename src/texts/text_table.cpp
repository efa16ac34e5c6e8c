#include "texts/text_table.h"

#include "texts/utf.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <limits>

#include "platform/settings_store.h"

namespace cvk {

namespace {

// The texts keep their original wording, misspellings included: translators'
// files and users' habits refer to them as they are.
constexpr TextRecord kTexts[] = {
    {2, "About CV Keys"},
    {3, "Legal Notice"},
    {4, "Display resolution"},
    {5, "Monitor"},
    {6, "Primary"},
    {7, "hardware version"},
    {8, "No reprogrammable Corvane detected."},  // also "Corvane Wireless Dongle."
    {9, "Please dowload and install the latest version of CV Keys."},
    {10, "Multiple reprogrammable Corvane detected."},
    {11, "At least one device button or the Pad must be used to Click/Select."},
    {12, "Change another button assignment to \"Click/Select\" before you change this one."},
    {13, "Click / Select"},
    {14, "Browse Back/Forward is enabled."},
    {15, "Browse Back/Forward"},
    {16, "Enable Edge Scroll"},
    {17, "Click / Select is enabled"},
    {18, "Scroll is enabled"},
    {19, "The Pad is disabled."},
    {20, "The Button is Disabled."},
    {21, "Right Click"},
    {22, "Auto Scroll /\u201DMiddle Button\u201D"},
    {23, "Browse Back"},
    {24, "Browse Forward"},
    {25, "Double Click"},
    {26, "Cruise up"},
    {27, "Cruise down"},
    {28, "Scroll (Press key, move Pad)"},
    {29, "More"},
    {30, "Less"},
    {31, "Enhance More"},
    {32, "Enhance Less"},
    {33, "Enhance Cursor Precision"},
    {34, "Switch Screen"},
    {35, "Click here to visit the Corvane web site."},
    {36, "Mouse Sensitivity Settings (DPI)"},
    {37, "Decrease Sensitivity"},
    {38, "Increase Sensitivity"},
    {39, "COMATIBILITY ISSUE"},
    {40, "Click on a button to change its function."},
    {41, "The current function is:"},
    {42, "Disable"},
    {43, "Multimedia Keys"},
    {44, "Other keys..."},
    {45, "Keyboard"},
    {46, "Low"},
    {47, "Enhanced"},
    {49, "Edge Scroll Precision"},
    {50, "Off"},
    {51, "Low Speed"},
    {52, "Increasing Speed"},
    {53, "End Switch"},
    {54, "Help me avoid Edges"},
    {55, "Low Resolution"},
    {56, "Default Mode"},
    {57, "Wide Screen Mode"},
    {58, "Resolution"},
    {59, "Disable all"},
    {60, "Open CV Keys"},
    {61, "Exit"},
    {62, "None"},
    {63, "Are you sure you want to delete the selected profile?"},
    {64, "Active Profile"},
    {65, "No Active Profile"},
    // Explanations shown as hints over the function menus.
    {66,
     "Cruise up provide you with an automatic function for scrolling up in a document when you press "
     "the button."},
    {67,
     "Cruise down provide you with an automatic function for scrolling down in a document when you "
     "press the button."},
    {68, "Press the button and move the mouse pad up or down."},
    {69,
     "When two screens are used, Switch screen can be handy, making the cursor jump from one screen to "
     "the other immediately."},
    {70,
     "Enhance cursor Precision reduces the cursor speed. This can be useful for CAD users as moving the "
     "cursor pixel-for-pixel becomes very easy."},
    {71,
     "Keyboard provides additional functions (not all functions work in every operating system). Place "
     "the cursor over Keyboard, then select More\u2026 to display a picture of a keyboard. Click on one "
     "of the keys in the picture to program the keyboard button of your choice."},
    {72,
     "You can program a combination of buttons, e.g. Ctrl-S (save), Ctrl-Alt-Delete (opens Task Manager "
     "in Windows XP), Start-D (opens the desktop), etc."},
    {73,
     "The End Switch makes the cursor move towards the side of the screen when the mouse pad reaches its "
     "end position at the same side. The cursor speed can be adjusted or turned off."},
    {74,
     "The Edge Scroll Precision can be set to a higher value, allowing the screen to jump in smaller "
     "steps up or down during scroll."},
    {75,
     "Place your finger at the far right of the pad and pull up/down. When the scrolling function has "
     "started, the steering pad can be pulled straight up or down without keeping any finger at the "
     "edge of the pad. This enables very effective scrolling in larger documents by alternating two "
     "fingers in moving the pad. The scroll function stops when the pad stops."},
    {76,
     "Place your finger at the far right of the pad, pull down/up at least a centimetre/half an inch and "
     "click. Pulling down and click gives webpage back, pulling up and click gives webpage forward. By "
     "additional clicks without moving the pad you can navigate further webpages back/forward."},
    // Keyboard presets.
    {77, "Edit Commands"},
    {78, "Undo\tCtrl+Z"},
    {79, "Redo\tCtrl+Y"},
    {80, "Cut\tCtrl+X"},
    {81, "Copy\tCtrl+C"},
    {82, "Paste\tCtrl+V"},
    {83, "Delete\tDEL"},
    {84, "Select All\tCtrl+A"},
    {85, "BACKSPACE"},
    {86, "Switch window\tAlt+Tab"},
    {87, "Switch window (Vista)\tStart+Tab"},
    {88, "Lock Computer\tStart+L"},
    {89, "Edit Commands"},
    {90, "Function Keys"},
    {91, "F1"},
    {92, "F2"},
    {93, "F3"},
    {94, "F4"},
    {95, "F5"},
    {96, "F6"},
    {97, "F7"},
    {98, "F8"},
    {99, "F9"},
    {100, "F10"},
    {101, "F11"},
    {102, "F12"},
    {103, "Control Keys"},
    {104, "Print Screen"},
    {105, "Pause"},
    {106, "Insert"},
    {107, "Home"},
    {108, "Page Up"},
    {109, "End"},
    {110, "Page Down"},
    {111, "Right Arrow"},
    {112, "Left Arrow"},
    {113, "Down Arrow"},
    {114, "Up Arrow"},
    {115, "Keypad"},
    {116, "ENTER"},
    {117, "ESCAPE"},
    {118, "TAB"},
    {119, "SPACEBAR"},
    {120, "Window Commands"},
    {121, "Start Button"},
    {122, "Content menu"},
    {123, "Close window\tAlt+F4"},
    // Multimedia keys.
    {124, "Scan Next Track"},
    {125, "Scan Previous Track"},
    {126, "Stop"},
    {127, "Play/Pause"},
    {128, "Mute"},
    {129, "Bass Boost"},
    {130, "Volume Increment"},
    {131, "Volume Decrement"},
    {132, "Bass Increment"},
    {133, "Bass Decrement"},
    {134, "Treble Increment"},
    {135, "Treble Decrement"},
    {136, "Email Reader"},
    {137, "Search"},
    {138, "Web Home"},
    {139, "Web Back"},
    {140, "Web Forward"},
    {141, "Stop"},
    {142, "Refresh"},
    {143, "Bookmarks"},
    {144, "Calculator"},
    {145, "My Computer"},
    {146, "Windows Media Player"},
    {147,
     "An unexpected error occurred while saving the changes. Unplug your \"Corvane\", wait for 5 "
     "seconds, replug \"Corvane\" and retry the action."},
    {148, "Error occurred while saving changes"},
    {149, "OK"},
    {150, "Cancel"},
    {151, "Restore Defaults"},
    {152, "&Help"},
    {153, "Apply"},
    {154, "Profile"},
    {155, "Name"},
    {156, "New Profile"},
    {157, "Rename Profile"},
    {158, "Delete Profile"},
    {159, "Resolution (Cursor speed)"},
    {160, "Close"},
    {161, "Enter Profile Name:"},
    {212, "ClickLock"},  // also "Click Lock"
    {214, "Update In Progress ..."},
    {219, "Switch primary and secondary buttons"},
    {220,
     "You have diffrent settings for the primary and secondary buttons. Do you want to use the same "
     "settings as your computer?"},
    {221, "Move the mouse pad up and down."},
    {222, "Only On/Off"},
    {223, "On / Off"},
    {224, "Signature"},  // also "Custom"
    // The signature forms; the snippet call sites pass their own.
    {225,
     "Only one button can be assigned to Signature function. If you proceed, the Signature will be "
     "overwritten. Do you want to continue?"},
    {226, "Another button is programmed with the Signature function."},
    {227, "Connect the USB cable to see the current signature"},
    {228, "Text Snippets"},
    {232, "Zooma in\tCtrl+hjul up"},
    {233, "Zooma ut\tCtrl+hjul ner"},
    {234, "Zooma in"},
    {235, "Zooma out"},
    {236, "Close Tab\tCtrl+W"},
    {237, "Connect the USB cable to change the function of a button."},
    {238, "Alternate method"},
};

constexpr bool strictlyAscending()
{
    return std::adjacent_find(std::begin(kTexts), std::end(kTexts),
                              [](const TextRecord& a, const TextRecord& b) { return a.id >= b.id; }) ==
           std::end(kTexts);
}
static_assert(strictlyAscending(), "text rows must ascend by id without repeats");

std::atomic<const CTextTable*> gActive{nullptr};

// Windows-1252 0x80..0x9F; its five unassigned bytes keep their C1 code
// point, as Latin-1 would give them.
constexpr std::array<char32_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Length of the well-formed UTF-8 sequence at `pos`, 0 when it is not one
// (overlong forms, surrogates and code points above U+10FFFF are rejected).
size_t utf8SequenceAt(std::string_view s, size_t pos)
{
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80)
        return 1;
    size_t len = 0;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        len = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        len = 3;
        if (lead == 0xE0)
            lo = 0xA0;
        else if (lead == 0xED)
            hi = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        len = 4;
        if (lead == 0xF0)
            lo = 0x90;
        else if (lead == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (pos + len > s.size())
        return 0;
    if (byte(pos + 1) < lo || byte(pos + 1) > hi)
        return 0;
    for (size_t i = 2; i < len; ++i)
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
    return len;
}

bool validUtf8(std::string_view s)
{
    for (size_t pos = 0; pos < s.size();) {
        const size_t len = utf8SequenceAt(s, pos);
        if (len == 0)
            return false;
        pos += len;
    }
    return true;
}

std::string fromCp1252(std::string_view s)
{
    std::string out;
    out.reserve(s.size() * 2);
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0)
            appendUtf8(out, kCp1252High[b - 0x80]);
        else
            appendUtf8(out, b);
    }
    return out;
}

void replaceAll(std::string& s, std::string_view from, char to)
{
    size_t pos = 0;
    while ((pos = s.find(from, pos)) != std::string::npos) {
        s.replace(pos, from.size(), 1, to);
        ++pos;
    }
}

// A line cut at the length cap may end inside a UTF-8 sequence; dropping
// that partial character keeps the rest of the line readable as UTF-8.
void trimPartialUtf8(std::string& s)
{
    const size_t tail = std::min<size_t>(s.size(), 3);
    for (size_t back = 1; back <= tail; ++back) {
        const auto b = static_cast<unsigned char>(s[s.size() - back]);
        if ((b & 0xC0) == 0x80)
            continue;  // continuation byte: keep looking for the lead
        if (b >= 0xC0 && utf8SequenceAt(s, s.size() - back) == 0)
            s.resize(s.size() - back);
        return;
    }
}

}  // namespace

std::span<const TextRecord> defaultTextTable() { return kTexts; }

const char* defaultText(int id)
{
    const auto it = std::lower_bound(std::begin(kTexts), std::end(kTexts), id,
                                     [](const TextRecord& r, int value) { return r.id < value; });
    return it != std::end(kTexts) && it->id == id ? it->text : nullptr;
}

std::string decodeLanguageLine(std::string_view raw)
{
    // Files written on Windows end their lines with CR LF; a text-mode read
    // there drops the CR, so it must not end up in the text here either.
    if (raw.ends_with('\r'))
        raw.remove_suffix(1);
    // Texts end up in C-string interfaces, which would stop at a NUL anyway.
    raw = raw.substr(0, raw.find('\0'));
    std::string line = validUtf8(raw) ? std::string(raw) : fromCp1252(raw);
    replaceAll(line, "\\n", '\n');
    replaceAll(line, "\\r", '\r');
    replaceAll(line, "\\t", '\t');
    return line;
}

std::string encodeLanguageLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        if (c == '\n')
            line += "\\n";
        else if (c == '\r')
            line += "\\r";
        else if (c == '\t')
            line += "\\t";
        else
            line += c;
    }
    return line;
}

std::string languageTemplate()
{
    std::string file;
    int next = 1;
    for (const TextRecord& r : kTexts) {
        for (; next < r.id; ++next)
            file += '\n';
        file += encodeLanguageLine(r.text);
        file += '\n';
        next = r.id + 1;
    }
    return file;
}

void CTextTable::clear() { entries_.clear(); }

void CTextTable::appendLine(std::string_view raw)
{
    if (entries_.empty())
        entries_.emplace_back();                                  // index 0 is never a text
    if (entries_.size() == 1 && raw.starts_with("\xEF\xBB\xBF"))  // a byte-order mark is no part of text 1
        raw.remove_prefix(3);
    if (raw.size() <= kMaxLineBytes) {
        entries_.push_back(decodeLanguageLine(raw));
        return;
    }
    std::string cut(raw.substr(0, kMaxLineBytes));
    trimPartialUtf8(cut);
    entries_.push_back(decodeLanguageLine(cut));
}

bool CTextTable::full() const { return entries_.size() > kMaxLines; }

void CTextTable::loadLanguageText(std::string_view content)
{
    clear();
    while (!content.empty() && !full()) {
        const size_t end = content.find('\n');
        appendLine(content.substr(0, end));
        content.remove_prefix(end == std::string_view::npos ? content.size() : end + 1);
    }
}

bool CTextTable::loadLanguageFile(const std::string& path)
{
    clear();
    // Checked before opening: opening a FIFO blocks, and reading a folder or
    // an endless device would abort or never end.
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::status(path, error)) ||
        std::filesystem::file_size(path, error) > kMaxFileBytes || error)
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    try {
        readLanguageStream(*in.rdbuf());
    } catch (const std::exception&) {  // a failing read leaves the defaults
        clear();
        return false;
    }
    return true;
}

void CTextTable::readLanguageStream(std::streambuf& in)
{
    // Byte by byte, so that an over-long line is never held whole; the
    // byte bound also holds for a file that grows while it is read.
    std::streambuf* buf = &in;
    std::string line;
    bool started = false;  // a line has begun and not yet ended
    uintmax_t bytes = 0;
    for (int c = buf->sbumpc(); c != std::char_traits<char>::eof() && !full() && bytes < kMaxFileBytes;
         c = buf->sbumpc(), ++bytes) {
        started = true;
        if (c == '\n') {
            appendLine(line);
            line.clear();
            started = false;
        } else if (line.size() <= kMaxLineBytes) {  // one byte over the cap marks the line as cut
            line += static_cast<char>(c);
        }
    }
    if (started && !full())  // the last line need not end with a newline
        appendLine(line);
}

const std::string* CTextTable::find(int64_t id) const
{
    if (id <= 0 || id == int64_t{0xFFFFFFFF} || static_cast<uint64_t>(id) >= entries_.size())
        return nullptr;
    const std::string& s = entries_[static_cast<size_t>(id)];
    return s.empty() ? nullptr : &s;
}

bool CTextTable::translated(int64_t id) const { return find(id) != nullptr; }

std::string CTextTable::lookup(int64_t id, std::string_view fallback) const
{
    const std::string* s = find(id);
    return s ? *s : std::string(fallback);
}

std::string CTextTable::lookup(int64_t id) const
{
    if (const std::string* s = find(id))
        return *s;
    const char* d = id >= std::numeric_limits<int>::min() && id <= std::numeric_limits<int>::max()
                        ? defaultText(static_cast<int>(id))
                        : nullptr;
    return d ? d : "";
}

void setActiveTexts(const CTextTable* table) { gActive.store(table); }

const CTextTable* activeTexts() { return gActive.load(); }

std::string languageFileName(const std::string& code) { return "Language." + code; }

std::string languageFilePath(const std::string& dir, const std::string& code)
{
    return (std::filesystem::path(dir) / languageFileName(code)).string();
}

std::optional<std::string> languageFromLocale(std::string_view localeName)
{
    std::string name(localeName);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name.find("sweden") != std::string::npos || name.find("swedish") != std::string::npos)
        return "SE";
    if (name.find("english") != std::string::npos)
        return "EN";
    // POSIX names: language[_territory][.codeset][@modifier].
    const std::string language = name.substr(0, name.find_first_of("_.@"));
    if (language == "sv")
        return "SE";
    if (language == "en")
        return "EN";
    return std::nullopt;
}

std::string currentLocaleName()
{
    const char* all = std::setlocale(LC_ALL, "");
    if (!all)  // the environment names a locale that is not installed
        all = std::setlocale(LC_ALL, nullptr);
    std::string name = all ? all : "";
#ifdef LC_MESSAGES
    // Mixed categories read "LC_CTYPE=...;LC_NUMERIC=...": the messages
    // category is the one that says which language the user reads.
    if (name.find(';') != std::string::npos) {
        const char* messages = std::setlocale(LC_MESSAGES, nullptr);
        name = messages ? messages : "";
    }
#endif
    return name;
}

bool validLanguageCode(std::string_view code)
{
    return !code.empty() && code.size() <= 8 && std::all_of(code.begin(), code.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
}

std::string settleLanguage(ISettingsStore& store, std::string_view localeName,
                           const std::function<std::string(const std::string&)>& askLanguage)
{
    std::string code = store.readText(kLanguageSection, kLanguageEntry, "");
    // The code becomes part of a file name: anything but a few letters is
    // damage and is chosen again.
    if (validLanguageCode(code))
        return code;
    code.clear();
    if (const auto fromLocale = languageFromLocale(localeName))
        code = *fromLocale;
    else if (askLanguage)
        code = askLanguage(kDefaultLanguage);
    if (code.empty())
        code = kDefaultLanguage;
    store.writeText(kLanguageSection, kLanguageEntry, code);  // a failed write only means asking again
    return code;
}

}  // namespace cvk
