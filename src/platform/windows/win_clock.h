#pragma once
// The clock on Windows: steady time, with the system timer at 1 ms while the
// clock lives. At the default 15.6 ms tick every protocol pause of 1 to 10 ms
// would last a whole tick or two.

#include "platform/clock.h"

namespace cvk {

class WinClock final : public IClock {
public:
    WinClock();
    ~WinClock() override;
    WinClock(const WinClock&) = delete;
    WinClock& operator=(const WinClock&) = delete;

    int64_t nowMs() override;
    void sleepMs(int ms) override;

private:
    bool raised_ = false;
    SteadyClock steady_;
};

}  // namespace cvk
