// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Recovery.hpp"
#include "prices/FileOps.hpp"
#include "ui/Folders.hpp"

namespace logora::app {

namespace fs = std::filesystem;

SnapshotKeeper::SnapshotKeeper(fs::path folder) : folder_(std::move(folder)) {
    if (!folder_.empty()) {
        thread_ = std::thread([this] { run(); });
    }
}

SnapshotKeeper::~SnapshotKeeper() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

fs::path SnapshotKeeper::defaultFolder() {
    return ui::xdgFolder("XDG_STATE_HOME", ".local/state");
}

fs::path SnapshotKeeper::file() const {
    return folder_.empty() ? fs::path() : folder_ / "tally-snapshot.txt";
}

void SnapshotKeeper::offer(std::string text) {
    if (folder_.empty()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (removed_ || text == written_) {
            return;
        }
        pending_ = std::move(text);
    }
    cv_.notify_all();
}

void SnapshotKeeper::flush(std::string text) {
    if (folder_.empty()) {
        return;
    }
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !writing_; });
    pending_.reset();
    if (!removed_ && text != written_ && write(text)) {
        written_ = std::move(text);
    }
}

void SnapshotKeeper::remove() {
    std::unique_lock lock(mutex_);
    removed_ = true;
    drop(lock);
}

void SnapshotKeeper::discard() {
    std::unique_lock lock(mutex_);
    drop(lock);
}

// The file goes once no write is under way, so none can bring it back.
void SnapshotKeeper::drop(std::unique_lock<std::mutex>& lock) {
    cv_.wait(lock, [this] { return !writing_; });
    pending_.reset();
    written_.clear();
    if (!folder_.empty()) {
        std::error_code ec;
        fs::remove(file(), ec);
    }
}

void SnapshotKeeper::run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        cv_.wait(lock, [this] { return stop_ || pending_.has_value(); });
        if (pending_ && !removed_) {
            std::string text = std::move(*pending_);
            pending_.reset();
            writing_ = true;
            lock.unlock(); // the disk's time is not the window's
            const bool ok = write(text);
            lock.lock();
            writing_ = false;
            if (ok) {
                written_ = std::move(text);
            }
            cv_.notify_all();
        }
    }
}

bool SnapshotKeeper::write(const std::string& text) {
    std::error_code ec;
    fs::create_directories(folder_, ec);
    // The same durable temporary and rename as the price files; the tally is the user's own.
    namespace fileops = prices::fileops;
    int error = 0;
    const auto temp = fileops::writeTemporary(file(), text, error, true);
    if (!temp) {
        return false;
    }
    if (fileops::rename(*temp, file()) != 0) {
        fileops::remove(*temp);
        return false;
    }
    return true;
}

} // namespace logora::app
