// SPDX-License-Identifier: GPL-3.0-or-later
// The lock file that LibreOffice keeps beside an open workbook (".~lock.<name>#"), and
// whether it still means anything: an office that died with a bill open leaves its lock
// behind, and without this every later export of that bill would be refused.
#pragma once

#include "export/OfficeProbe.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace logora::exporting {

// One line "office user,system user,host,time,profile URL;" with ',' ';' '\' escaped by '\'.
struct LockHolder {
    std::string officeUser;
    std::string systemUser;
    std::string host;
    std::string time;
    std::string profileUrl; // file:///home/zhang/.config/libreoffice/4
};

std::filesystem::path lockFileOf(const std::filesystem::path& workbook);
std::optional<LockHolder> parseLock(std::string_view content);
std::string lockLine(const LockHolder& holder);

// The private offices of this program run with profiles named by this prefix and the
// program's process id.
inline constexpr std::string_view kPrivateProfilePrefix = "/tmp/logora-office-";

enum class LockState { Free, Stale, Held };

struct LockCheck {
    LockState state = LockState::Free;
    LockHolder holder; // when held or stale and readable
};

// A lock is stale when it is empty or unreadable, when it is of one of this program's own
// private offices that no longer runs (or of this very process, which holds no bill open
// between exports), or when it is of this host and no running office uses its profile. A
// lock of another host is held: its office cannot be seen from here.
LockCheck checkLock(const std::filesystem::path& workbook, const OfficeProbe& probe);

// The holder as the user reads it: "张三（电脑 desk）".
std::u16string holderName(const LockHolder& holder);

// "file:///a/%E5%BC%A0" -> "/a/张"; empty when it is not a local file URL.
std::filesystem::path pathOfFileUrl(std::string_view url);

} // namespace logora::exporting
