#pragma once
// The clock port: every protocol pause and every report bound goes through it,
// so the simulator's virtual clock can run a failing 20-attempt write in
// microseconds and still tell how long it would have taken.

#include <cstdint>

namespace cvk {

class IClock {
public:
    virtual ~IClock() = default;
    virtual int64_t nowMs() = 0;
    virtual void sleepMs(int ms) = 0;
};

class SteadyClock final : public IClock {
public:
    int64_t nowMs() override;
    void sleepMs(int ms) override;
};

}  // namespace cvk
