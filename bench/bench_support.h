#pragma once
// A view port that ignores everything: the benchmarks measure the core.

#include "app/view_port.h"

namespace cvk::bench {

class QuietView : public IViewPort {
public:
    void postCommand(int) override {}
    void beep(int, int) override {}
};

}  // namespace cvk::bench
