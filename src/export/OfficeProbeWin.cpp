// SPDX-License-Identifier: GPL-3.0-or-later
// The office probe of a Windows machine. An office's profile cannot be read from another
// process here, so a lock of this host always counts as held: a live lock is never removed.
#include "export/OfficeProbe.hpp"

#include <windows.h>

namespace logora::exporting {

namespace {

class WindowsProbe : public OfficeProbe {
  public:
    std::string hostName() const override {
        char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
        DWORD size = sizeof name;
        return GetComputerNameA(name, &size) ? std::string(name, size) : std::string();
    }
    long ownProcessId() const override { return static_cast<long>(GetCurrentProcessId()); }
    bool processRuns(long pid) const override {
        HANDLE process =
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
        if (process == nullptr) {
            return GetLastError() == ERROR_ACCESS_DENIED; // it runs, as someone else
        }
        DWORD code = 0;
        const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
        CloseHandle(process);
        return running;
    }
    bool profileInUse(const std::filesystem::path&) const override { return true; }
};

} // namespace

const OfficeProbe& systemOfficeProbe() {
    static const WindowsProbe probe;
    return probe;
}

} // namespace logora::exporting
