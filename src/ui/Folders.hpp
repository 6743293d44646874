// SPDX-License-Identifier: GPL-3.0-or-later
// The program's folders under the XDG base directories.
#pragma once

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

namespace logora::ui {

// $<variable>/logora when the variable holds an absolute path, else $HOME/<fallback>/logora:
// xdgFolder("XDG_DATA_HOME", ".local/share") is ~/.local/share/logora by default.
inline std::filesystem::path xdgFolder(const char* variable, const char* fallback) {
    const char* set = std::getenv(variable);
    if (set != nullptr && *set == '/') {
        return std::filesystem::path(set) / "logora";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : ".") / fallback / "logora";
}

// A moment in local time, by a strftime format.
inline std::string localTime(std::time_t moment, const char* format) {
    char out[64] = {};
    std::strftime(out, sizeof out, format, std::localtime(&moment));
    return out;
}

// The local time now, by a strftime format.
inline std::string localNow(const char* format) {
    return localTime(std::time(nullptr), format);
}

// "2026-12-09 14.03.21", local time: for the names of files kept aside or archived; sorts by
// time and is a valid file name everywhere.
inline std::string fileStamp() {
    return localNow("%Y-%m-%d %H.%M.%S");
}

} // namespace logora::ui
