#include "app/about_texts.h"

#include <array>
#include <cctype>

#include <fmt/format.h>

#include "texts/text_ids.h"
#include "texts/texts.h"

namespace cvk {

namespace {

bool sameRect(const MonitorRect& a, const MonitorRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

bool knownTag(std::string_view name)
{
    static constexpr std::array<std::string_view, 5> kTags = {"b", "i", "br", "font", "hr"};
    for (std::string_view tag : kTags)
        if (name == tag)
            return true;
    return false;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

std::vector<AboutMonitor> markPrimary(const std::vector<MonitorRect>& monitors, const MonitorRect& primary)
{
    std::vector<AboutMonitor> result;
    bool marked = false;
    for (const MonitorRect& rect : monitors) {
        // Two mirrored monitors share a rectangle; only the first is primary.
        const bool isPrimary = !marked && sameRect(rect, primary);
        marked = marked || isPrimary;
        result.push_back({rect, isPrimary});
    }
    return result;
}

std::string aboutDeviceLines(const std::string& hardwareVersion, const std::string& firmwareText,
                             const std::string& serialText)
{
    return hardwareVersion + "<br>" + firmwareText + "<br>" + serialText;
}

std::string aboutDisplayLines(const std::vector<AboutMonitor>& monitors)
{
    if (monitors.empty())
        return {};
    const std::string resolution = text(kTxtDisplayResolution);
    const auto width = [](const MonitorRect& r) { return r.right - r.left; };
    const auto height = [](const MonitorRect& r) { return r.bottom - r.top; };
    if (monitors.size() == 1)
        return fmt::format("<br>{}: {} X {}", resolution, width(monitors[0].rect), height(monitors[0].rect));
    std::string out = "<b>" + resolution + ":</b>";
    const std::string monitor = text(kTxtMonitor);
    int number = 1;
    for (const AboutMonitor& m : monitors) {
        out += fmt::format("<br>{} {}: {} X {}     ", monitor, number++, width(m.rect), height(m.rect));
        if (m.primary)
            out += "<" + text(kTxtPrimary) + ">";
    }
    return out;
}

std::string aboutVersionText(std::string_view version, std::string_view compilerDate)
{
    static constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::string date(compilerDate);
    const auto digits = [&](size_t from, size_t count) {
        int value = 0;
        for (size_t i = from; i < from + count; ++i) {
            const char c = compilerDate[i];
            if (c == ' ' && i == from)
                continue;  // __DATE__ pads a one-digit day with a space
            if (c < '0' || c > '9')
                return -1;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    if (compilerDate.size() == 11 && compilerDate[3] == ' ' && compilerDate[6] == ' ') {
        for (size_t m = 0; m < kMonths.size(); ++m) {
            const int day = digits(4, 2);
            const int year = digits(7, 4);
            if (compilerDate.substr(0, 3) == kMonths[m] && day >= 1 && day <= 31 && year >= 0)
                date = fmt::format("{:04}-{:02}-{:02}", year, m + 1, day);
        }
    }
    return fmt::format("CV Keys Version {}\nBuild {}", version, date);
}

std::string aboutCopyrightLine() { return "Copyright \u00a9 Lumrick. All rights reserved."; }

std::string aboutLegalNotice()
{
    return "Disclaimer\n"
           "\n"
           "CV Keys and the Corvane devices are provided \"as is\", without warranty of any kind, express or "
           "implied, including but not limited to the warranties of merchantability, fitness for a "
           "particular "
           "purpose and non-infringement. In no event shall Lumrick be liable for any claim, damages or "
           "other "
           "liability, whether in an action of contract, tort or otherwise, arising from, out of or in "
           "connection with the program or its use.\n"
           "\n"
           "Terms of use\n"
           "\n"
           "You may install and use CV Keys on any computer to configure Corvane devices that you own or are "
           "permitted to use. You may not sell the program or distribute modified copies of it under the "
           "Corvane or CV Keys name. The configuration a device stores is yours; the program keeps its "
           "profiles only in your own user settings and sends nothing anywhere.\n"
           "\n"
           "Corvane and CV Keys are trademarks of Lumrick.\n"
           "\n"
           "Lumrick\n" +
           std::string(kMakerPostalAddress) + "\n";
}

std::string shownHtml(std::string_view html)
{
    std::string out;
    out.reserve(html.size());
    const size_t n = html.size();
    for (size_t i = 0; i < n; ++i) {
        const char c = html[i];
        if (c == '<') {
            size_t j = i + 1;
            if (j < n && html[j] == '/')
                ++j;
            const size_t nameStart = j;
            while (j < n && std::isalpha(static_cast<unsigned char>(html[j])))
                ++j;
            const bool ended = j < n && (html[j] == '>' || html[j] == '<' || html[j] == '/' ||
                                         std::isspace(static_cast<unsigned char>(html[j])));
            const size_t stop = html.find_first_of("<>", j);
            if (ended && knownTag(lower(html.substr(nameStart, j - nameStart))) &&
                stop != std::string_view::npos) {
                if (html[stop] == '>') {
                    out.append(html.substr(i, stop - i + 1));
                    i = stop;
                } else {
                    out.append(html.substr(i, stop - i));
                    out += '>';
                    i = stop - 1;
                }
                continue;
            }
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == ' ' && i > 0 && html[i - 1] == ' ') {
            out += "&nbsp;";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace cvk
