#include "platform/windows/win_clock.h"

#include <windows.h>
// timeapi.h needs the types of windows.h.
// clang-format off
#include <timeapi.h>
// clang-format on

namespace cvk {

WinClock::WinClock() : raised_(::timeBeginPeriod(1) == TIMERR_NOERROR) {}

WinClock::~WinClock()
{
    if (raised_)
        ::timeEndPeriod(1);
}

int64_t WinClock::nowMs() { return steady_.nowMs(); }

void WinClock::sleepMs(int ms)
{
    if (ms > 0)
        ::Sleep(static_cast<DWORD>(ms));
}

}  // namespace cvk
