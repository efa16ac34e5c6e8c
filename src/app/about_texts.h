#pragma once
// The texts of the About box, made from plain facts so that they do not
// depend on the window toolkit.

#include <string>
#include <string_view>
#include <vector>

#include "platform/system_settings.h"

namespace cvk {

// Named at the end of the legal notice.
inline constexpr const char* kMakerPostalAddress = "Box 2101, 411 05 G\u00f6teborg, Sweden";

struct AboutMonitor {
    MonitorRect rect;
    bool primary = false;
};

// The monitors with the one equal to `primary` marked; none is marked when
// no rectangle matches.
std::vector<AboutMonitor> markPrimary(const std::vector<MonitorRect>& monitors, const MonitorRect& primary);

// The hardware version, firmware and serial texts, in that order, joined
// with "<br>"; empty texts keep their place.
std::string aboutDeviceLines(const std::string& hardwareVersion, const std::string& firmwareText,
                             const std::string& serialText);

// The resolution of each monitor; "" when none is known. The primary
// monitor's line ends in "<" + its word + ">", which is no tag: pass the
// result through shownHtml before rendering it.
std::string aboutDisplayLines(const std::vector<AboutMonitor>& monitors);

// "CV Keys Version <version>\nBuild <yyyy-mm-dd>" from the compiler's
// __DATE__ ("Mmm dd yyyy"); a date in another form is shown as it is.
std::string aboutVersionText(std::string_view version, std::string_view compilerDate);

std::string aboutCopyrightLine();
std::string aboutLegalNotice();

// The program's small HTML as rich text: the tags its texts use (b, i, br,
// font, hr) pass, a known tag that lost its '>' ("</font<br>") is closed,
// and every other '<', '>' and '&' is escaped so that it shows as typed.
// Runs of spaces keep their width.
std::string shownHtml(std::string_view html);

}  // namespace cvk
