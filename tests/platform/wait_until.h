// Polling helpers for tests of threads and audio devices: wait for a condition with a deadline
// generous enough for a loaded machine, so that tests check behaviour rather than timing.
#pragma once

#include <chrono>
#include <thread>

namespace test_support {

constexpr std::chrono::seconds kPatience{10};

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit = kPatience) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

inline void Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace test_support
