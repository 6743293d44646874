// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/calc/OfficeProcess.hpp"

#include "export/BillLock.hpp"
#include "export/OfficeProbe.hpp"
#include "export/Spreadsheet.hpp"
#include "text/NumberText.hpp"
#include "ui/Folders.hpp"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/prctl.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace logora::exporting::office {

namespace fs = std::filesystem;

namespace {

std::u16string u16(const std::string& utf8) {
    return text::fromUtf8(utf8);
}

// A profile that an earlier run left complete; a fresh profile costs the office a
// restart and its first-time set-up, most of a cold export.
fs::path seedProfile() {
    return ui::xdgFolder("XDG_CACHE_HOME", ".cache") / "office-profile";
}

// The pipes an office of ours listens on, kept in its profile so that whoever finds the
// profile of a dead office can remove them.
constexpr const char* kPipesFile = "logora-pipes";

void removeRecordedPipes(const fs::path& profile) {
    std::ifstream in(profile / kPipesFile);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("/tmp/OSL_PIPE_", 0) == 0) {
            removeOwnSocket(line);
        }
    }
}

// What earlier runs left when they were killed or crashed: the profiles (their folder
// names carry the process id, which no longer runs) and the office's pipes.
void removeLeftovers() {
    std::error_code ec;
    const std::string pipePrefix = "OSL_PIPE_" + std::to_string(::geteuid()) + "_logora-";
    for (const auto& entry : fs::directory_iterator("/tmp", ec)) {
        const std::string name = entry.path().filename().string();
        const std::string profilePrefix(kPrivateProfilePrefix.substr(5));
        if (name.rfind(profilePrefix, 0) == 0) {
            const long pid = std::strtol(name.c_str() + profilePrefix.size(), nullptr, 10);
            struct stat st {};
            if (pid > 0 && !systemOfficeProbe().processRuns(pid) &&
                ::lstat(entry.path().c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
                st.st_uid == ::geteuid()) {
                removeRecordedPipes(entry.path());
                fs::remove_all(entry.path(), ec);
            }
        } else if (name.rfind(pipePrefix, 0) == 0) {
            const long pid = std::strtol(name.c_str() + pipePrefix.size(), nullptr, 10);
            if (pid > 0 && !systemOfficeProbe().processRuns(pid)) {
                removeOwnSocket(entry.path());
            }
        }
    }
}

} // namespace

std::string randomHex(std::size_t bytes) {
    std::vector<unsigned char> raw(bytes);
    std::size_t got = 0;
    while (got < bytes) {
        const ssize_t n = ::getrandom(raw.data() + got, bytes - got, 0);
        if (n <= 0) {
            if (errno == EINTR) {
                continue;
            }
            throw ExportError(u"无法为 LibreOffice 生成连接名，账单没有导出。请再导出一次。",
                              u16(std::string("getrandom: ") + std::strerror(errno)));
        }
        got += static_cast<std::size_t>(n);
    }
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : raw) {
        out.push_back(digits[c >> 4]);
        out.push_back(digits[c & 15]);
    }
    return out;
}

fs::path pipePath(const std::string& name) {
    return fs::path("/tmp") / ("OSL_PIPE_" + std::to_string(::geteuid()) + "_" + name);
}

bool ownSocket(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid();
}

void removeOwnSocket(const fs::path& path) {
    if (ownSocket(path)) {
        ::unlink(path.c_str());
    }
}

std::string onPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/bin:/bin";
    while (true) {
        const std::size_t colon = dirs.find(':');
        const std::string dir(dirs.substr(0, colon));
        if (!dir.empty()) {
            const std::string candidate = dir + "/" + program;
            if (::access(candidate.c_str(), X_OK) == 0) {
                return candidate;
            }
        }
        if (colon == std::string_view::npos) {
            return {};
        }
        dirs.remove_prefix(colon + 1);
    }
}

void quiet() {
    const int null = ::open("/dev/null", O_RDWR);
    if (null >= 0) {
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
    }
}

void OfficeProcess::launch(bool background) {
    if (profile_.empty()) {
        removeLeftovers();
        std::string tmpl =
            std::string(kPrivateProfilePrefix) + std::to_string(::getpid()) + "-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr) {
            throw ExportError(u"无法为 LibreOffice 建立临时文件夹，账单没有导出。"
                              u"请确认 /tmp 可写，再导出一次。",
                              u16(std::string(std::strerror(errno))));
        }
        profile_ = tmpl;
        std::error_code ec;
        if (fs::is_directory(seedProfile() / "user", ec)) {
            fs::copy(seedProfile(), profile_, fs::copy_options::recursive, ec);
            seeded_ = !ec;
        }
    }
    do {
        pipe_ = "logora-" + std::to_string(::getpid()) + "-" + randomHex(16);
    } while (fs::exists(fs::symlink_status(pipePath(pipe_))));
    const std::string program = std::string(kProgramDir) + "/soffice.bin";
    const std::string accept = "--accept=pipe,name=" + pipe_ + ";urp;StarOffice.ComponentContext";
    const std::string profile = "-env:UserInstallation=file://" + profile_.string();
    const char* argv[] = {program.c_str(), "--headless",  "--invisible",   "--norestore",
                          "--nologo",      "--nodefault", "--nolockcheck", accept.c_str(),
                          profile.c_str(), nullptr};
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        throw ExportError(u"LibreOffice Calc 无法启动，账单没有导出。请再导出一次。",
                          u16(std::string(std::strerror(errno))));
    }
    if (pid == 0) {
        ::setpgid(0, 0);
        if (background) {
            ::setpriority(PRIO_PROCESS, 0, 10); // never in the way of the user's typing
        }
        // The office never outlives the program, however the program ends.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(1);
        }
        quiet();
        ::execv(argv[0], const_cast<char* const*>(argv));
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    pid_ = pid;
    pipes_ = {pipePath(pipe_)};
}

std::optional<int> OfficeProcess::ended() {
    int status = 0;
    if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    return std::nullopt;
}

// Found through the office's open files.
void OfficeProcess::recordPipes() {
    std::vector<std::string> inodes;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid_) + "/fd", ec)) {
        const std::string target = fs::read_symlink(fd.path(), ec).string();
        if (target.rfind("socket:[", 0) == 0) {
            inodes.push_back(target.substr(8, target.size() - 9));
        }
    }
    std::ifstream unix("/proc/net/unix");
    std::string line;
    std::getline(unix, line);
    while (std::getline(unix, line)) {
        // Num RefCount Protocol Flags Type St Inode Path
        std::istringstream fields(line);
        std::string skip, inode, path;
        for (int i = 0; i < 6; ++i) {
            fields >> skip;
        }
        fields >> inode >> path;
        if (path.rfind("/tmp/OSL_PIPE_", 0) == 0 &&
            std::find(inodes.begin(), inodes.end(), inode) != inodes.end() &&
            std::find(pipes_.begin(), pipes_.end(), fs::path(path)) == pipes_.end()) {
            pipes_.push_back(path);
        }
    }
    std::ofstream out(profile_ / kPipesFile, std::ios::trunc);
    for (const fs::path& p : pipes_) {
        out << p.string() << '\n';
    }
}

bool OfficeProcess::alive() {
    int status = 0;
    return pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0;
}

void OfficeProcess::forget() {
    pid_ = -1;
    for (const fs::path& p : pipes_) {
        removeOwnSocket(p);
    }
    pipes_.clear();
}

void OfficeProcess::kill() {
    if (pid_ > 0) {
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    forget();
    removeProfile();
}

void OfficeProcess::removeProfile() {
    if (!profile_.empty()) {
        std::error_code ec;
        fs::remove_all(profile_, ec);
        profile_.clear();
        seeded_ = false;
    }
}

void OfficeProcess::keepSeed() {
    std::error_code ec;
    if (seeded_ || profile_.empty() || fs::exists(seedProfile(), ec)) {
        return;
    }
    const fs::path staging = seedProfile().string() + ".new-" + std::to_string(::getpid());
    fs::create_directories(staging.parent_path(), ec);
    fs::copy(profile_, staging, fs::copy_options::recursive, ec);
    fs::remove(staging / kPipesFile, ec);
    if (ec || ::rename(staging.c_str(), seedProfile().c_str()) != 0) {
        fs::remove_all(staging, ec);
    }
}

} // namespace logora::exporting::office
