// Helpers of the serial tests: a bounded wait for a worker-thread event (never a fixed
// sleep), and a temporary folder.
#pragma once

#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <thread>

// Polls cond until it holds or timeoutMs pass; true when it held.
inline bool waitUntil(const std::function<bool()>& cond, int timeoutMs = 2000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
