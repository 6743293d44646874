// SPDX-License-Identifier: GPL-3.0-or-later
// A fresh folder of the test's own under the system's temporary folder, on every platform.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace logora::testing {

inline std::filesystem::path makeTempFolder(const std::string& prefix) {
    std::random_device random;
    for (;;) {
        const auto folder = std::filesystem::temp_directory_path() /
                            (prefix + "-" + std::to_string(random()) + std::to_string(random()));
        if (std::filesystem::create_directory(folder)) {
            return folder;
        }
    }
}

} // namespace logora::testing
