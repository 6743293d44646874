// SPDX-License-Identifier: GPL-3.0-or-later
// The office probe of a Linux machine: processes from /proc, the host from the kernel.
#include "export/BillLock.hpp" // pathOfFileUrl

#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace logora::exporting {

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// NUL-separated entries of /proc/<pid>/cmdline or environ.
std::vector<std::string> entries(const std::string& block) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= block.size(); ++i) {
        if (i == block.size() || block[i] == '\0') {
            if (i > start) {
                out.push_back(block.substr(start, i - start));
            }
            start = i + 1;
        }
    }
    return out;
}

// The profile an office process runs with; empty when it cannot be told.
fs::path profileOf(const fs::path& proc) {
    constexpr std::string_view option = "-env:UserInstallation=";
    for (const std::string& arg : entries(readAll(proc / "cmdline"))) {
        if (arg.rfind(option, 0) == 0) {
            return pathOfFileUrl(arg.substr(option.size()));
        }
    }
    // No option: the default profile of the user it runs as, found through its environment
    // (readable for the user's own processes only).
    std::string config, home;
    for (const std::string& e : entries(readAll(proc / "environ"))) {
        if (e.rfind("XDG_CONFIG_HOME=", 0) == 0) {
            config = e.substr(16);
        } else if (e.rfind("HOME=", 0) == 0) {
            home = e.substr(5);
        }
    }
    if (config.empty() || config.front() != '/') {
        if (home.empty()) {
            return {};
        }
        config = home + "/.config";
    }
    return fs::path(config) / "libreoffice" / "4";
}

class ProcOfficeProbe : public OfficeProbe {
  public:
    std::string hostName() const override {
        std::string host = readAll("/proc/sys/kernel/hostname");
        while (!host.empty() && (host.back() == '\n' || host.back() == '\r')) {
            host.pop_back();
        }
        return host;
    }
    long ownProcessId() const override { return static_cast<long>(::getpid()); }
    bool processRuns(long pid) const override {
        std::error_code ec;
        return pid > 0 && fs::exists(fs::path("/proc") / std::to_string(pid), ec);
    }
    bool profileInUse(const fs::path& profile) const override {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator("/proc", ec)) {
            const std::string name = entry.path().filename().string();
            if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            std::string comm = readAll(entry.path() / "comm");
            if (comm != "soffice.bin\n") {
                continue;
            }
            std::string stat = readAll(entry.path() / "stat");
            const auto close = stat.rfind(')');
            if (close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'Z') {
                continue; // ended, not yet reaped
            }
            const fs::path used = profileOf(entry.path());
            if (used.empty() || used.lexically_normal() == profile.lexically_normal()) {
                return true;
            }
        }
        return false;
    }
};

} // namespace

const OfficeProbe& systemOfficeProbe() {
    static const ProcOfficeProbe probe;
    return probe;
}

} // namespace logora::exporting
