// SPDX-License-Identifier: GPL-3.0-or-later
// The window's thread of the yard's tests and benchmarks, as a queue of their own.
#pragma once

#include "ledger/pg/DeskLedger.hpp"

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>

namespace logora::testing {

// The worker posts, pump() runs it.
class Window {
  public:
    ledger::Post post() {
        return [this](std::function<void()> task) {
            const std::lock_guard lock(mutex_);
            tasks_.push_back(std::move(task));
        };
    }
    void pump() {
        for (;;) {
            std::function<void()> task;
            {
                const std::lock_guard lock(mutex_);
                if (tasks_.empty()) {
                    return;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
        }
    }
    // What the worker does, and what it posts, until it has nothing left.
    bool settle(ledger::DeskLedger& d) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < until) {
            const bool idle = d.settle(std::chrono::milliseconds(50));
            pump();
            if (idle && d.settle(std::chrono::milliseconds(0))) {
                const std::lock_guard lock(mutex_);
                if (tasks_.empty()) {
                    return true;
                }
            }
        }
        return false;
    }

  private:
    std::mutex mutex_;
    std::deque<std::function<void()>> tasks_;
};

} // namespace logora::testing
