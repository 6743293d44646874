// SPDX-License-Identifier: GPL-3.0-or-later
// The private headless office of the Calc adapter as a process: its launch on a profile of
// its own, the pipes it listens on, the watchdog that kills it when hung, and its end.
// Nothing of UNO: what is said to the office is CalcSpreadsheet's.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace logora::exporting::office {

using Clock = std::chrono::steady_clock;
inline constexpr const char* kProgramDir = "/usr/lib/libreoffice/program";

// Unguessable: no other user of the machine can squat the office's pipe beforehand.
std::string randomHex(std::size_t bytes);
// Where the office's URP library puts a named pipe of this user.
std::filesystem::path pipePath(const std::string& name);
// A socket of this user's at that path: nobody else's listener is ever talked to.
bool ownSocket(const std::filesystem::path& path);
void removeOwnSocket(const std::filesystem::path& path);
// A program found on $PATH; empty when there is none.
std::string onPath(const std::string& program);
// In a child before its exec: no output of the office reaches the user's terminal.
void quiet();

// Kills a hung office: every call into it is made under an armed watchdog.
class Watchdog {
  public:
    Watchdog() : thread_([this] { run(); }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }
    void arm(pid_t group, std::chrono::milliseconds timeout) {
        {
            std::lock_guard lock(mutex_);
            group_ = group;
            deadline_ = Clock::now() + timeout;
        }
        cv_.notify_all();
    }
    void disarm() {
        std::lock_guard lock(mutex_);
        deadline_.reset();
    }
    bool fired() const { return fired_; }
    void reset() { fired_ = false; }

  private:
    void run() {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (!deadline_) {
                cv_.wait(lock);
                continue;
            }
            if (cv_.wait_until(lock, *deadline_) == std::cv_status::timeout && deadline_ &&
                Clock::now() >= *deadline_) {
                deadline_.reset();
                fired_ = true;
                if (group_ > 0) {
                    ::kill(-group_, SIGKILL);
                }
            }
        }
    }
    std::mutex mutex_;
    std::condition_variable cv_;
    std::optional<Clock::time_point> deadline_;
    pid_t group_ = -1;
    bool stop_ = false;
    std::atomic<bool> fired_{false};
    std::thread thread_;
};

class OfficeProcess {
  public:
    // Starts soffice.bin in a process group of its own, on the private profile (made at the
    // first launch, from the seed of an earlier run when there is one), listening on a fresh
    // pipe. background: at low priority, never in the way of the user's typing.
    void launch(bool background);
    pid_t pid() const { return pid_; }
    const std::string& pipeName() const { return pipe_; }
    const std::filesystem::path& profile() const { return profile_; }
    Watchdog& watchdog() { return watchdog_; }

    bool alive();
    // The exit status of an office that has ended by itself; nullopt while it runs.
    std::optional<int> ended();
    // Every listening socket of the office under /tmp, kept in its profile.
    void recordPipes();
    // An office that ended by itself: its pipes are gone with it or are ours to remove.
    void forget();
    // Killed with its group, its pipes and its profile removed.
    void kill();
    // Keeps the profile of a cleanly ended office as the seed of later runs.
    void keepSeed();

  private:
    void removeProfile();

    Watchdog watchdog_;
    pid_t pid_ = -1;
    std::string pipe_;
    std::vector<std::filesystem::path> pipes_;
    std::filesystem::path profile_;
    bool seeded_ = false;
};

} // namespace logora::exporting::office
