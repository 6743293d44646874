// SPDX-License-Identifier: GPL-3.0-or-later
// What the bill's lock check asks of the machine: its name, its processes, its offices.
#pragma once

#include <filesystem>
#include <string>

namespace logora::exporting {

// What the lock check needs to know of the machine; stood in by the tests.
class OfficeProbe {
  public:
    virtual ~OfficeProbe() = default;
    virtual std::string hostName() const = 0;
    virtual long ownProcessId() const = 0;
    virtual bool processRuns(long pid) const = 0;
    // True when a running office uses this profile, or when a running office's profile
    // cannot be told (then the lock is left alone).
    virtual bool profileInUse(const std::filesystem::path& profile) const = 0;
};

// The machine this runs on: OfficeProbePosix.cpp (/proc) or OfficeProbeWin.cpp.
const OfficeProbe& systemOfficeProbe();

} // namespace logora::exporting
