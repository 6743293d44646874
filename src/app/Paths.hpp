// SPDX-License-Identifier: GPL-3.0-or-later
// Where the program finds what is installed with it: beside its own prefix
// (<prefix>/bin/logora, <prefix>/share/logora/...), or, run from a build tree, under the
// build's own share/ folder.
#pragma once

#include <QCoreApplication>

#include <filesystem>

namespace logora::app {

inline std::filesystem::path programDir() {
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

// share/logora/<name>, installed or in the build tree.
inline std::filesystem::path dataPath(const std::filesystem::path& name) {
    std::error_code ec;
    const std::filesystem::path installed = programDir() / ".." / "share" / "logora" / name;
    if (std::filesystem::exists(installed, ec)) {
        return std::filesystem::weakly_canonical(installed, ec);
    }
    return programDir() / "share" / "logora" / name;
}

} // namespace logora::app
