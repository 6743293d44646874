// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot of this program's running tallies on disk: written in the background,
// atomically, only when it changed; removed when the user ends the program. Each running
// program keeps its own file and holds a lock beside it, so two programs open at once never
// take each other's tally, and a free lock means that its program is gone.
#pragma once

#include "files/FileOps.hpp"

#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace logora::session {

class SnapshotKeeper {
  public:
    // An empty folder keeps nothing.
    explicit SnapshotKeeper(std::filesystem::path folder);
    ~SnapshotKeeper();
    SnapshotKeeper(const SnapshotKeeper&) = delete;
    SnapshotKeeper& operator=(const SnapshotKeeper&) = delete;

    // $XDG_STATE_HOME/logora, by default ~/.local/state/logora.
    static std::filesystem::path defaultFolder();
    const std::filesystem::path& folder() const { return folder_; }
    // This program's own snapshot, "tally-snapshot-<id>.txt"; empty when none is kept.
    std::filesystem::path file() const;

    // Queued for the writer thread when it differs from what was last written.
    void offer(std::string text);
    // Written now, on this thread (at an end that keeps the snapshot).
    void flush(std::string text);
    // Gone, with its lock, and nothing more is written.
    void remove();

    // A snapshot whose program is gone, held by this program until it is taken or declined.
    struct Left {
        std::filesystem::path file;
        std::unique_ptr<fileops::HeldLock> lock;
    };
    // What programs that are gone left behind, newest first; never one a running program holds.
    std::vector<Left> leftBehind() const;
    // A restored tally: its file becomes this program's own.
    void adopt(Left left);
    // Declined or dealt with: it goes.
    static void drop(Left left);

    // The reason (an errno value) of a failed write that began a run of failures, once;
    // nothing while the failures go on, and again after a write that succeeded.
    std::optional<int> takeNewFailure();

  private:
    void run();
    void write(const std::string& text);
    bool holdOwnLock();
    std::filesystem::path folder_;
    std::filesystem::path file_;
    std::unique_ptr<fileops::HeldLock> lock_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::optional<std::string> pending_;
    std::string written_;
    bool stop_ = false;
    bool removed_ = false;
    bool writing_ = false;
    bool failing_ = false;
    std::optional<int> newFailure_;
    std::thread thread_;
};

} // namespace logora::session
