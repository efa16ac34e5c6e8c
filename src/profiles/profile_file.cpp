#include "profiles/profile_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <set>

#include "platform/settings_store.h"
#include "texts/utf.h"

namespace cvk {

namespace {

constexpr int kBytesPerLine = 16;
constexpr int kConfigLines = kProfileConfigSize / kBytesPerLine;
constexpr int kStrokeLines = kProfileSignatureSize / kBytesPerLine;
constexpr int kTextUnitLines = kProfileSignatureTextUnits / kBytesPerLine;
constexpr std::size_t kMaxProfilesInFile = 10000;

std::string hexLine(const char* keyword, const uint8_t* bytes)
{
    std::string line = keyword;
    for (int i = 0; i < kBytesPerLine; ++i)
        line += fmt::format(" {:02X}", bytes[i]);
    return line + "\n";
}

std::string escapeText(std::string_view text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
}

// The text as one line when that line gives back exactly the stored units:
// zeros after the text, and no lone surrogate or other control character.
std::optional<std::string> signatureLine(const std::array<char16_t, kProfileSignatureTextUnits>& units)
{
    const auto end = std::find(units.begin(), units.end(), u'\0');
    if (std::any_of(end, units.end(), [](char16_t u) { return u != 0; }))
        return std::nullopt;
    const std::u16string_view text(units.data(), static_cast<std::size_t>(end - units.begin()));
    const std::string utf8 = utf8FromUtf16(text);
    if (utf16FromUtf8(utf8) != text)
        return std::nullopt;
    for (unsigned char c : utf8)
        if (c < 0x20 && c != '\n' && c != '\r' && c != '\t')
            return std::nullopt;
    return escapeText(utf8);
}

bool validUtf8(std::string_view text)
{
    const std::u16string units = utf16FromUtf8(text);
    return utf8FromUtf16(units) == text && text.find('\0') == std::string_view::npos;
}

class Reader {
public:
    explicit Reader(ProfileFileProblem* problem) : problem_(problem) {}

    bool fail(int line, std::string fault)
    {
        if (problem_) {
            problem_->line = line;
            problem_->fault = std::move(fault);
        }
        return false;
    }

    // Exactly 16 hex numbers of `digits` digits each after the keyword:
    // bytes (2 digits) or UTF-16 units (4).
    template <class T>
    bool hexRow(int lineNo, std::string_view rest, std::size_t digits, const char* what, T* out)
    {
        int n = 0;
        std::size_t i = 0;
        while (i < rest.size()) {
            if (rest[i] == ' ' || rest[i] == '\t') {
                ++i;
                continue;
            }
            std::size_t j = i;
            while (j < rest.size() && rest[j] != ' ' && rest[j] != '\t')
                ++j;
            const std::string_view token = rest.substr(i, j - i);
            if (token.size() != digits || !std::all_of(token.begin(), token.end(), [](char c) {
                    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
                }))
                return fail(lineNo, fmt::format("'{}' is not a {} in hex ({} digits)", token, what, digits));
            if (n == kBytesPerLine)
                return fail(lineNo, fmt::format("a line holds {} {}s, this one more", kBytesPerLine, what));
            out[n++] = static_cast<T>(std::stoul(std::string(token), nullptr, 16));
            i = j;
        }
        if (n != kBytesPerLine)
            return fail(lineNo, fmt::format("a line holds {} {}s, this one {}", kBytesPerLine, what, n));
        return true;
    }

    bool unescape(int lineNo, std::string_view rest, std::u16string& out)
    {
        std::string utf8;
        for (std::size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] != '\\') {
                utf8 += rest[i];
                continue;
            }
            if (++i == rest.size())
                return fail(lineNo, "the text ends with a lone '\\'");
            switch (rest[i]) {
            case 'n': utf8 += '\n'; break;
            case 'r': utf8 += '\r'; break;
            case 't': utf8 += '\t'; break;
            case '\\': utf8 += '\\'; break;
            default: return fail(lineNo, fmt::format("'\\{}' is no escape (\\n, \\r, \\t or \\\\)", rest[i]));
            }
        }
        if (!validUtf8(utf8))
            return fail(lineNo, "the text is not valid UTF-8");
        out = utf16FromUtf8(utf8);
        if (out.size() >= kProfileSignatureTextUnits)
            return fail(lineNo, fmt::format("the text is longer than {} UTF-16 units",
                                            kProfileSignatureTextUnits - 1));
        return true;
    }

private:
    ProfileFileProblem* problem_;
};

std::nullopt_t refuse(ProfileFileProblem* problem, int line, std::string fault)
{
    Reader(problem).fail(line, std::move(fault));
    return std::nullopt;
}

}  // namespace

std::string ProfileFileProblem::message() const
{
    return line > 0 ? fmt::format("line {}: {}", line, fault) : fault;
}

std::string writeProfileFile(const ProfileFile& file)
{
    std::string out =
        "# CV Keys profiles: the profiles' names, their 128 configuration bytes, the\n"
        "# signature's key strokes and text. Bytes in hex, 16 a line.\n";
    out += fmt::format("cvkeys-profiles {}\nlist {}\n", kProfileFileVersion, file.listF ? "F" : "classic");
    for (const CProfileClass& p : file.profiles) {
        out += "\nprofile " + p.name + "\n";
        for (int l = 0; l < kConfigLines; ++l)
            out += hexLine("config", p.configuration.data() + l * kBytesPerLine);
        if (std::any_of(p.signature.begin(), p.signature.end(), [](uint8_t b) { return b != 0; }))
            for (int l = 0; l < kStrokeLines; ++l)
                out += hexLine("strokes", p.signature.data() + l * kBytesPerLine);
        if (const std::optional<std::string> text = signatureLine(p.signatureText)) {
            if (!text->empty())
                out += "text " + *text + "\n";
        } else {
            for (int l = 0; l < kTextUnitLines; ++l) {
                out += "text-units";
                for (int i = 0; i < kBytesPerLine; ++i)
                    out += fmt::format(" {:04X}",
                                       static_cast<unsigned>(
                                           p.signatureText[static_cast<std::size_t>(l * kBytesPerLine + i)]));
                out += "\n";
            }
        }
        out += "end\n";
    }
    return out;
}

std::optional<ProfileFile> readProfileFile(std::string_view text, ProfileFileProblem* problem)
{
    Reader r(problem);
    if (text.size() > kMaxProfileFileBytes)
        return refuse(problem, 0,
                      fmt::format("the file is larger than {} MiB, too large for a profile file",
                                  kMaxProfileFileBytes / (1024 * 1024)));
    if (!validUtf8(text))
        return refuse(problem, 0, "the file is not UTF-8 text");
    ProfileFile file;
    bool haveVersion = false;
    bool haveList = false;
    std::optional<CProfileClass> open;
    int openLine = 0;
    int configLines = 0, strokeLines = 0, unitLines = 0;
    bool haveText = false;
    std::set<std::string> names;

    int lineNo = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const bool blank = line.find_first_not_of(" \t") == std::string_view::npos;
        if (blank || line.front() == '#')
            continue;
        const std::size_t space = line.find(' ');
        const std::string_view word = line.substr(0, space);
        const std::string_view rest =
            space == std::string_view::npos ? std::string_view() : line.substr(space + 1);

        if (!haveVersion) {
            if (word != "cvkeys-profiles")
                return refuse(problem, lineNo,
                              "this is not a CV Keys profile file (it must start with 'cvkeys-profiles 1')");
            if (rest != std::to_string(kProfileFileVersion))
                return refuse(problem, lineNo,
                              fmt::format("version {} of the profile file format is not one this program "
                                          "reads (it reads version {})",
                                          rest, kProfileFileVersion));
            haveVersion = true;
            continue;
        }
        if (!haveList) {
            if (word != "list" || (rest != "F" && rest != "classic"))
                return refuse(problem, lineNo, "the second line must be 'list F' or 'list classic'");
            file.listF = rest == "F";
            haveList = true;
            continue;
        }
        if (word == "profile") {
            if (open)
                return refuse(
                    problem, lineNo,
                    fmt::format("profile '{}' (line {}) has no 'end' before this one", open->name, openLine));
            if (rest.empty())
                return refuse(problem, lineNo, "the profile has no name");
            if (rest.size() > kMaxProfileNameBytes)
                return refuse(problem, lineNo,
                              fmt::format("the name is longer than {} bytes", kMaxProfileNameBytes));
            if (std::any_of(rest.begin(), rest.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
                return refuse(problem, lineNo, "the name holds a control character");
            if (!names.insert(std::string(rest)).second)
                return refuse(problem, lineNo, fmt::format("the file has profile '{}' twice", rest));
            if (file.profiles.size() == kMaxProfilesInFile)
                return refuse(problem, lineNo,
                              fmt::format("the file holds more than {} profiles", kMaxProfilesInFile));
            open.emplace();
            open->name = std::string(rest);
            openLine = lineNo;
            configLines = strokeLines = unitLines = 0;
            haveText = false;
            continue;
        }
        if (!open)
            return refuse(problem, lineNo,
                          fmt::format("'{}' stands outside a profile (profile NAME ... end)", word));
        if (word == "config") {
            if (configLines == kConfigLines)
                return refuse(problem, lineNo,
                              fmt::format("a profile has {} config lines, this is one more", kConfigLines));
            if (!r.hexRow(lineNo, rest, 2, "byte", open->configuration.data() + configLines * kBytesPerLine))
                return std::nullopt;
            ++configLines;
        } else if (word == "strokes") {
            if (strokeLines == kStrokeLines)
                return refuse(problem, lineNo,
                              fmt::format("a profile has {} strokes lines, this is one more", kStrokeLines));
            if (!r.hexRow(lineNo, rest, 2, "byte", open->signature.data() + strokeLines * kBytesPerLine))
                return std::nullopt;
            ++strokeLines;
        } else if (word == "text") {
            if (haveText || unitLines > 0)
                return refuse(problem, lineNo, "the profile has its text already");
            std::u16string units;
            if (!r.unescape(lineNo, rest, units))
                return std::nullopt;
            std::copy(units.begin(), units.end(), open->signatureText.begin());
            haveText = true;
        } else if (word == "text-units") {
            if (haveText || unitLines == kTextUnitLines)
                return refuse(problem, lineNo, "the profile has its text already");
            if (!r.hexRow(lineNo, rest, 4, "unit", open->signatureText.data() + unitLines * kBytesPerLine))
                return std::nullopt;
            ++unitLines;
        } else if (word == "end" && rest.empty()) {
            if (configLines != kConfigLines)
                return refuse(problem, lineNo,
                              fmt::format("profile '{}' has {} config lines instead of {}", open->name,
                                          configLines, kConfigLines));
            if (strokeLines != 0 && strokeLines != kStrokeLines)
                return refuse(problem, lineNo,
                              fmt::format("profile '{}' has {} strokes lines instead of {}", open->name,
                                          strokeLines, kStrokeLines));
            if (unitLines != 0 && unitLines != kTextUnitLines)
                return refuse(problem, lineNo,
                              fmt::format("profile '{}' has {} text-units lines instead of {}", open->name,
                                          unitLines, kTextUnitLines));
            file.profiles.push_back(std::move(*open));
            open.reset();
        } else {
            return refuse(problem, lineNo,
                          fmt::format("'{}' is not a line a profile holds (config, strokes, text, "
                                      "text-units, end)",
                                      word));
        }
    }
    if (!haveVersion)
        return refuse(problem, 0, "the file is empty (a profile file starts with 'cvkeys-profiles 1')");
    if (!haveList)
        return refuse(problem, 0, "the file ends before its 'list' line");
    if (open)
        return refuse(problem, 0,
                      fmt::format("the file ends inside profile '{}' (line {}): it may be cut short",
                                  open->name, openLine));
    return file;
}

ProfileTransfer exportProfiles(ISettingsStore& store, bool listF, const std::vector<std::string>& names)
{
    ProfileTransfer result;
    CProfileList list = loadStoredProfiles(store, listF);
    ProfileFile file;
    file.listF = listF;
    if (names.empty()) {
        file.profiles.assign(list.begin(), list.end());
    } else {
        for (const std::string& name : names) {
            const auto it = std::find_if(list.begin(), list.end(),
                                         [&](const CProfileClass& p) { return p.name == name; });
            if (it == list.end()) {
                result.message =
                    fmt::format("the {} list has no profile '{}'", listF ? "F" : "classic", name);
                return result;
            }
            file.profiles.push_back(*it);
        }
    }
    for (const CProfileClass& p : file.profiles)
        result.names.push_back(p.name);
    result.text = writeProfileFile(file);
    result.ok = true;
    result.message = fmt::format("{} profile{} of the {} list", file.profiles.size(),
                                 file.profiles.size() == 1 ? "" : "s", listF ? "F" : "classic");
    return result;
}

ProfileTransfer importProfiles(ISettingsStore& store, std::string_view text, bool replace)
{
    ProfileTransfer result;
    ProfileFileProblem problem;
    std::optional<ProfileFile> file = readProfileFile(text, &problem);
    if (!file) {
        result.message = problem.message();
        return result;
    }
    CProfileList list = loadStoredProfiles(store, file->listF);
    // Every name is checked before the list changes.
    for (const CProfileClass& p : file->profiles) {
        const bool exists =
            std::any_of(list.begin(), list.end(), [&](const CProfileClass& q) { return q.name == p.name; });
        if (exists && !replace) {
            result.message = fmt::format("the {} list has a profile '{}' already (--replace replaces it)",
                                         file->listF ? "F" : "classic", p.name);
            return result;
        }
    }
    for (CProfileClass& p : file->profiles) {
        result.names.push_back(p.name);
        const auto it =
            std::find_if(list.begin(), list.end(), [&](const CProfileClass& q) { return q.name == p.name; });
        if (it != list.end()) {
            it->configuration = p.configuration;
            it->signature = p.signature;
            it->signatureText = p.signatureText;
            ++result.replaced;
        } else {
            list.push_back(std::move(p));
            ++result.added;
        }
    }
    if (!saveStoredProfiles(store, list, file->listF)) {
        result.message = "the settings could not be written";
        return result;
    }
    result.ok = true;
    result.message = fmt::format("{} added, {} replaced in the {} list", result.added, result.replaced,
                                 file->listF ? "F" : "classic");
    return result;
}

}  // namespace cvk
