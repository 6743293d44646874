// SPDX-License-Identifier: GPL-3.0-or-later
// The program's folders under the XDG base directories.
#pragma once

#include <cstdlib>
#include <filesystem>

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

} // namespace logora::ui
