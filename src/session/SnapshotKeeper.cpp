// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/SnapshotKeeper.hpp"

#include "ui/Folders.hpp"

#include <algorithm>
#include <cerrno>
#include <random>
#include <utility>

namespace logora::session {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = "tally-snapshot-";
// What a program of an earlier version kept: one file for every program, with no lock.
constexpr std::string_view kSharedName = "tally-snapshot.txt";

fs::path lockOf(const fs::path& snapshot) {
    fs::path lock = snapshot;
    lock.replace_extension(".lock");
    return lock;
}

bool isSnapshotName(const std::string& name) {
    return name == kSharedName ||
           (name.size() > kPrefix.size() + 4 && name.compare(0, kPrefix.size(), kPrefix) == 0 &&
            name.compare(name.size() - 4, 4, ".txt") == 0);
}

std::string randomId() {
    std::random_device random;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string id;
    for (int i = 0; i < 12; ++i) {
        id += kDigits[random() % 16];
    }
    return id;
}

} // namespace

SnapshotKeeper::SnapshotKeeper(fs::path folder) : folder_(std::move(folder)) {
    if (!folder_.empty()) {
        file_ = folder_ / (std::string(kPrefix) + randomId() + ".txt");
        holdOwnLock(); // before anything is written, so no other start ever sees it as left
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
    return file_;
}

bool SnapshotKeeper::holdOwnLock() {
    if (!lock_) {
        std::error_code ec;
        fs::create_directories(folder_, ec);
        lock_ = fileops::holdLock(lockOf(file_));
    }
    return lock_ != nullptr;
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
    if (!removed_ && text != written_) {
        write(text);
    }
}

// The file goes once no write is under way, so none can bring it back.
void SnapshotKeeper::remove() {
    std::unique_lock lock(mutex_);
    removed_ = true;
    cv_.wait(lock, [this] { return !writing_; });
    pending_.reset();
    written_.clear();
    if (!folder_.empty()) {
        fileops::remove(file_);
        if (lock_) {
            lock_->releaseAndRemove();
            lock_.reset();
        }
    }
}

std::vector<SnapshotKeeper::Left> SnapshotKeeper::leftBehind() const {
    std::vector<std::pair<fs::file_time_type, Left>> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder_, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.path() == file_ || !isSnapshotName(name) || !entry.is_regular_file(ec)) {
            continue;
        }
        // Held: its program still runs, and the tally is that program's alone.
        auto held = fileops::holdLock(lockOf(entry.path()));
        if (!held) {
            continue;
        }
        found.push_back({entry.last_write_time(ec), Left{entry.path(), std::move(held)}});
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<Left> out;
    for (auto& [time, left] : found) {
        out.push_back(std::move(left));
    }
    return out;
}

void SnapshotKeeper::adopt(Left left) {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return !writing_; });
    written_.clear();
    // Under this program's own lock first: in between, no start may take it for left.
    if (holdOwnLock() && fileops::rename(left.file, file_) == 0) {
        left.lock->releaseAndRemove();
    }
    // Otherwise it stays where it was, still left, and this program's writes keep the tally.
}

void SnapshotKeeper::drop(Left left) {
    fileops::remove(left.file);
    left.lock->releaseAndRemove();
}

std::optional<int> SnapshotKeeper::takeNewFailure() {
    std::lock_guard lock(mutex_);
    return std::exchange(newFailure_, std::nullopt);
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
            write(text);
            lock.lock();
            writing_ = false;
            cv_.notify_all();
        }
    }
}

// With the mutex held or with writing_ set by the caller; the members it changes are guarded
// by the mutex, which the writer thread takes back before touching them.
void SnapshotKeeper::write(const std::string& text) {
    int error = 0;
    if (!holdOwnLock()) {
        // Why the folder takes no file, in the words of the file operations.
        if (const auto temp = fileops::writeTemporary(file_, {}, error, true)) {
            fileops::remove(*temp);
            error = EBUSY;
        }
    } else if (const auto temp = fileops::writeTemporary(file_, text, error, true)) {
        // The same durable temporary and rename as the price files; the tally is the user's.
        error = fileops::rename(*temp, file_);
        if (error != 0) {
            fileops::remove(*temp);
        }
    }
    std::unique_lock lock(mutex_, std::defer_lock);
    if (writing_) {
        lock.lock(); // the writer thread: it let go of the mutex for the disk's time
    }
    if (error == 0) {
        written_ = text;
        failing_ = false;
    } else if (!failing_) {
        failing_ = true;
        newFailure_ = error;
    }
}

} // namespace logora::session
