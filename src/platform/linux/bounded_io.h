#pragma once
// One request at a time on one open node, with a bound on how long the
// caller waits.
//
// hidraw writes block in the kernel until the USB transfer ends (up to the
// kernel's own timeout of several seconds) and cannot be cancelled. So each
// write runs on a detached worker thread that owns a copy of the report and
// a share of this object's state (which holds the write function and, through
// it, the node); the caller waits at most its timeout and then returns -1. A
// write that outlives its caller keeps the node busy: later writes, reads and
// feature calls wait for it within their own bound or fail, so two requests
// never run on one node at once. Destroying the owner never waits: the node
// is released by whichever holder lets go last, which is the worker when one
// is still running.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace cvk::hidraw {

class BoundedIo {
public:
    // Called on a worker thread with the worker's own copy of the report.
    // Whatever it touches must be captured by shared ownership.
    using WriteFn = std::function<int(std::span<const uint8_t>)>;

    explicit BoundedIo(WriteFn write);
    ~BoundedIo();
    BoundedIo(const BoundedIo&) = delete;
    BoundedIo& operator=(const BoundedIo&) = delete;

    // The write function's result, or -1 when it failed, when an earlier
    // request kept the node busy, or when it did not complete within
    // timeoutMs (negative counts as 0).
    int write(std::span<const uint8_t> report, int timeoutMs);

    // Runs op on the calling thread once no other request is outstanding,
    // passing the milliseconds left of waitMs. false (op not run) when the
    // node stayed busy for the whole of waitMs.
    bool exclusive(int waitMs, const std::function<void(int remainingMs)>& op);

    // A request is outstanding (a write worker still runs, or exclusive()).
    bool busy() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace cvk::hidraw
