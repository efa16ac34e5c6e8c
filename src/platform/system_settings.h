#pragma once
// The system-settings port: the few desktop settings the program reads or
// changes. Where a desktop offers no such setting the backend keeps the
// value to itself (documented per backend).

#include <vector>

namespace cvk {

struct MonitorRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

class ISystemSettings {
public:
    virtual ~ISystemSettings() = default;
    virtual int wheelScrollLines() = 0;
    virtual void setWheelScrollLines(int lines) = 0;
    // Primary and secondary mouse buttons swapped.
    virtual bool buttonsSwapped() = 0;
    virtual std::vector<MonitorRect> monitors() = 0;
};

// Largest right edge minus smallest left edge over all monitors, both
// starting from 0.
int desktopWidth(const std::vector<MonitorRect>& monitors);

// Fixed values: tests, cvkeys-cli, and platforms without a backend.
class FixedSystemSettings final : public ISystemSettings {
public:
    int wheelScrollLines() override { return wheelLines; }
    void setWheelScrollLines(int lines) override
    {
        wheelLines = lines;
        ++wheelLinesSet;
    }
    bool buttonsSwapped() override { return swapped; }
    std::vector<MonitorRect> monitors() override { return screens; }

    int wheelLines = 3;
    int wheelLinesSet = 0;
    bool swapped = false;
    std::vector<MonitorRect> screens{{0, 0, 1920, 1080}};
};

}  // namespace cvk
