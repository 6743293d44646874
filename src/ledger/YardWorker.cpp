// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/YardWorker.hpp"

namespace logora::ledger {

YardWorker::YardWorker() : thread_([this] { loop(); }) {}

YardWorker::~YardWorker() {
    stopping_ = true;
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    thread_.join();
}

void YardWorker::run(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

bool YardWorker::busy() {
    const std::lock_guard lock(mutex_);
    return running_ || !jobs_.empty();
}

bool YardWorker::waitIdle(std::chrono::milliseconds bound) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, bound, [this] { return !running_ && jobs_.empty(); });
}

void YardWorker::loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (stop_) {
            return;
        }
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        running_ = true;
        lock.unlock();
        job();
        lock.lock();
        running_ = false;
        if (jobs_.empty()) {
            idle_.notify_all();
        }
    }
}

} // namespace logora::ledger
