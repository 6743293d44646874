// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot of the running tallies on disk: written in the background, atomically, only
// when it changed; removed when the user ends the program.
#pragma once

#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace logora::app {

class SnapshotKeeper {
  public:
    // An empty folder keeps nothing.
    explicit SnapshotKeeper(std::filesystem::path folder);
    ~SnapshotKeeper();
    SnapshotKeeper(const SnapshotKeeper&) = delete;
    SnapshotKeeper& operator=(const SnapshotKeeper&) = delete;

    // $XDG_STATE_HOME/logora, by default ~/.local/state/logora.
    static std::filesystem::path defaultFolder();
    std::filesystem::path file() const;

    // Queued for the writer thread when it differs from what was last written.
    void offer(std::string text);
    // Written now, on this thread (at an end that keeps the snapshot).
    void flush(std::string text);
    // Gone, and nothing more is written.
    void remove();
    // Gone; what comes later is kept again.
    void discard();

  private:
    void run();
    void drop(std::unique_lock<std::mutex>& lock);
    bool write(const std::string& text);
    std::filesystem::path folder_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::optional<std::string> pending_;
    std::string written_;
    bool stop_ = false;
    bool removed_ = false;
    bool writing_ = false;
    std::thread thread_;
};

} // namespace logora::app
