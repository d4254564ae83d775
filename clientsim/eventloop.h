// The client's event thread: runs posted jobs one at a time in order of due time
// (posting order for equal times). Plugin callbacks are fired from here, as the real
// client fires them from its own threads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

namespace clientsim {

class EventLoop {
public:
    using Clock = std::chrono::steady_clock;

    EventLoop();
    ~EventLoop();
    EventLoop(const EventLoop&) = delete;
    EventLoop& operator=(const EventLoop&) = delete;

    void post(std::function<void()> job, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    // True once no job is queued or running (delayed jobs included), false on time-out.
    bool waitIdle(std::chrono::milliseconds timeout);
    // pause() returns after the running job ended; later jobs wait until resume().
    void pause();
    void resume();
    bool onLoopThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void run();

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::map<std::pair<Clock::time_point, std::uint64_t>, std::function<void()>> jobs_;
    std::uint64_t seq_ = 0;
    bool busy_ = false;
    bool paused_ = false;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace clientsim
