// SPDX-License-Identifier: GPL-3.0-or-later
// A thread of the yard's own: whatever waits on the yard's server runs here, one job after
// another, so that the window never waits on the network.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace logora::ledger {

class YardWorker {
  public:
    YardWorker();
    // Ends after the job at hand: what is queued is dropped, since every record already
    // waits in the desk's outbox for the next start.
    ~YardWorker();
    YardWorker(const YardWorker&) = delete;
    YardWorker& operator=(const YardWorker&) = delete;

    void run(std::function<void()> job);
    // True from the call until nothing waits and nothing runs.
    bool busy();
    // Set once the worker is ending, for a long job to end early.
    const std::atomic<bool>& stopping() const { return stopping_; }
    // For the tests: waits, at most for the bound, until nothing waits and nothing runs.
    bool waitIdle(std::chrono::milliseconds bound);

  private:
    void loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> jobs_;
    bool running_ = false;
    bool stop_ = false;
    std::atomic<bool> stopping_ = false;
    std::thread thread_; // last: started once the rest is made
};

} // namespace logora::ledger
