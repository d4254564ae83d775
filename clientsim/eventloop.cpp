#include "clientsim/eventloop.h"

namespace clientsim {

EventLoop::EventLoop() : thread_([this] { run(); }) {}

EventLoop::~EventLoop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void EventLoop::post(std::function<void()> job, std::chrono::milliseconds delay)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs_.emplace(std::make_pair(Clock::now() + delay, seq_++), std::move(job));
    }
    cv_.notify_all();
}

bool EventLoop::waitIdle(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, timeout, [this] { return jobs_.empty() && !busy_; });
}

void EventLoop::pause()
{
    std::unique_lock<std::mutex> lock(mutex_);
    paused_ = true;
    if (!onLoopThread())
        cv_.wait(lock, [this] { return !busy_; });
}

void EventLoop::resume()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        paused_ = false;
    }
    cv_.notify_all();
}

void EventLoop::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (stop_)
            return;
        if (paused_ || jobs_.empty()) {
            cv_.wait(lock);
            continue;
        }
        auto first = jobs_.begin();
        if (first->first.first > Clock::now()) {
            cv_.wait_until(lock, first->first.first);
            continue;
        }
        std::function<void()> job = std::move(first->second);
        jobs_.erase(first);
        busy_ = true;
        lock.unlock();
        job();
        lock.lock();
        busy_ = false;
        cv_.notify_all();
    }
}

} // namespace clientsim
