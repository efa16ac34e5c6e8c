#include "profiles/profile_session.h"

#include <algorithm>
#include <cctype>

#include "texts/text_ids.h"
#include "texts/texts.h"

namespace cvk {

namespace {

bool lessIgnoringCase(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
    });
}

bool lineLess(const SelectorLine& a, const SelectorLine& b) { return lessIgnoringCase(a.name, b.name); }

bool startsWithIgnoringCase(const std::string& text, const std::string& prefix)
{
    if (prefix.size() > text.size())
        return false;
    return std::equal(prefix.begin(), prefix.end(), text.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

// Signature texts compare ignoring the case of A..Z only.
bool sameTextIgnoringAsciiCase(const std::array<char16_t, 512>& a, const std::array<char16_t, 512>& b)
{
    auto fold = [](char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; };
    for (size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
        if (a[i] == 0)
            return true;
    }
    return true;
}

}  // namespace

std::string activeProfileTip(const std::string& name)
{
    return text(kTxtActiveProfile) + ":\r\n" + std::string(31, ' ') + name;
}

void CProfileSession::load(ISettingsStore& store, int modelCode, uint32_t firmwareVersion, int desktopWidth,
                           const ConfigModel& working)
{
    loadAllProfiles(store, profiles_, modelCode, firmwareVersion, desktopWidth, working);
    active_ = nullptr;
    rebuildMenu(false);
}

void CProfileSession::save(ISettingsStore& store, int modelCode, const ConfigModel& working)
{
    saveAllProfiles(store, profiles_, active_, modelCode, working);
}

void CProfileSession::rebuildMenu(bool keepSelector)
{
    if (!keepSelector) {
        selector_.clear();
        current_ = -1;
        for (const CProfileClass& p : profiles_)
            selector_.push_back({p.name, &p});
        std::stable_sort(selector_.begin(), selector_.end(), lineLess);
    }
    tray_.clear();
    int n = 0;
    for (const CProfileClass& p : profiles_) {
        if (n >= kTrayProfileLimit)
            break;
        tray_.push_back({kCmdTrayProfileFirst + n, p.name, &p == active_, false});
        ++n;
    }
    tray_.push_back({0, "", false, false});
    tray_.push_back({kCmdTrayOpen, text(kTxtTrayOpen), false, true});
    tray_.push_back({kCmdAbout, text(kTxtAboutProgram), false, false});
    tray_.push_back({kCmdTrayExit, text(kTxtTrayExit), false, false});
}

void CProfileSession::setCurrentLine(int line)
{
    current_ = line >= 0 && line < static_cast<int>(selector_.size()) ? line : -1;
}

CProfileClass* CProfileSession::activateCurrentLine()
{
    active_ = nullptr;
    if (current_ < 0 || current_ >= static_cast<int>(selector_.size()))
        return nullptr;
    auto node = findProfile(profiles_, selector_[current_].profile);
    if (node == profiles_.end())
        return nullptr;
    active_ = &*node;
    node->listSlot = current_;
    return &*node;
}

void CProfileSession::updateTrayChecks()
{
    int n = 0;
    for (TrayMenuItem& item : tray_) {
        if (item.command >= kCmdTrayProfileFirst && item.command < kCmdTrayProfileFirst + kTrayProfileLimit)
            item.checked = profileAt(profiles_, n++) == active_;
    }
}

void CProfileSession::add(const std::string& name, const ConfigModel& working)
{
    CProfileClass record;
    record.name = name;
    record.modified = true;
    copyWorkingInto(record, working);
    profiles_.push_back(record);
    // The sorted selector takes the new line at its place.
    const SelectorLine line{record.name, &profiles_.back()};
    const auto inserted =
        selector_.insert(std::upper_bound(selector_.begin(), selector_.end(), line, lineLess), line);
    current_ = static_cast<int>(inserted - selector_.begin());
}

bool CProfileSession::renameActive(const std::string& name)
{
    auto node = findProfile(profiles_, active_);
    if (node == profiles_.end())
        return false;
    node->name = name;
    node->modified = true;
    return true;
}

int CProfileSession::lineStartingWith(const std::string& prefix) const
{
    for (size_t i = 0; i < selector_.size(); ++i)
        if (startsWithIgnoringCase(selector_[i].name, prefix))
            return static_cast<int>(i);
    return -1;
}

void CProfileSession::eraseActive()
{
    auto node = findProfile(profiles_, active_);
    if (node != profiles_.end())
        profiles_.erase(node);
    active_ = nullptr;
}

int CProfileSession::lineOf(ProfileHandle profile) const
{
    for (size_t i = 0; i < selector_.size(); ++i)
        if (selector_[i].profile == profile)
            return static_cast<int>(i);
    return -1;
}

int CProfileSession::lineOfListPosition(int n) const
{
    const ProfileHandle wanted = profileAt(profiles_, n);
    return wanted ? lineOf(wanted) : -1;
}

int CProfileSession::lineNamed(const std::string& name) const
{
    for (size_t i = 0; i < selector_.size(); ++i)
        if (selector_[i].name == name)
            return static_cast<int>(i);
    return lineStartingWith(name);
}

int CProfileSession::lineMatching(const ConfigModel& working, bool compareSignature) const
{
    const int n = std::min(working.exchangedLength, kProfileConfigSize);
    for (const CProfileClass& p : profiles_) {
        if (!std::equal(working.block.begin(), working.block.begin() + n, p.configuration.begin()))
            continue;
        if (compareSignature && !sameTextIgnoringAsciiCase(p.signatureText, working.signatureText))
            continue;
        // Only the first equal profile counts, even when it has no line.
        return lineOf(&p);
    }
    return -1;
}

}  // namespace cvk
