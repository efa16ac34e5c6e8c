#include "platform/linux/bounded_io.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace cvk::hidraw {

namespace {

using SteadyTime = std::chrono::steady_clock;

SteadyTime::time_point deadlineAfter(int ms)
{
    return SteadyTime::now() + std::chrono::milliseconds(std::max(ms, 0));
}

int msLeft(SteadyTime::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyTime::now()).count();
    return static_cast<int>(std::max<decltype(left)>(left, 0));
}

struct WriteJob {
    std::vector<uint8_t> data;
    int result = -1;
    bool done = false;
};

}  // namespace

struct BoundedIo::State {
    explicit State(WriteFn fn) : write(std::move(fn)) {}
    WriteFn write;
    std::mutex mutex;
    std::condition_variable changed;
    bool busy = false;  // a request runs, on a worker or in exclusive()
};

BoundedIo::BoundedIo(WriteFn write) : state_(std::make_shared<State>(std::move(write))) {}

BoundedIo::~BoundedIo() = default;

int BoundedIo::write(std::span<const uint8_t> report, int timeoutMs)
{
    try {
        const auto deadline = deadlineAfter(timeoutMs);
        auto job = std::make_shared<WriteJob>();
        job->data.assign(report.begin(), report.end());

        std::unique_lock lock(state_->mutex);
        if (!state_->changed.wait_until(lock, deadline, [&] { return !state_->busy; }))
            return -1;
        state_->busy = true;
        lock.unlock();

        try {
            std::thread([state = state_, job] {
                int result = -1;
                try {
                    result = state->write(job->data);
                } catch (...) {}
                {
                    std::lock_guard guard(state->mutex);
                    job->result = result;
                    job->done = true;
                    state->busy = false;
                }
                state->changed.notify_all();
            }).detach();
        } catch (...) {
            {
                std::lock_guard guard(state_->mutex);
                state_->busy = false;
            }
            state_->changed.notify_all();
            return -1;
        }

        lock.lock();
        if (!state_->changed.wait_until(lock, deadline, [&] { return job->done; }))
            return -1;
        return job->result;
    } catch (...) {
        return -1;
    }
}

bool BoundedIo::exclusive(int waitMs, const std::function<void(int)>& op)
{
    try {
        const auto deadline = deadlineAfter(waitMs);
        {
            std::unique_lock lock(state_->mutex);
            if (!state_->changed.wait_until(lock, deadline, [&] { return !state_->busy; }))
                return false;
            state_->busy = true;
        }
        try {
            op(msLeft(deadline));
        } catch (...) {}
        {
            std::lock_guard guard(state_->mutex);
            state_->busy = false;
        }
        state_->changed.notify_all();
        return true;
    } catch (...) {
        return false;
    }
}

bool BoundedIo::busy() const
{
    std::lock_guard guard(state_->mutex);
    return state_->busy;
}

}  // namespace cvk::hidraw
