// SPDX-License-Identifier: GPL-3.0-or-later
// Paths as text and text as paths, without the system's narrow code page in between: on
// Windows the wide name is the name, on Linux names are UTF-8 (bytes that are not show as
// U+FFFD and never throw).
#pragma once

#include "text/NumberText.hpp"

#include <filesystem>
#include <string>
#include <string_view>

namespace logora::text {

inline std::u16string pathText(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::wstring& wide = path.native();
    return std::u16string(wide.begin(), wide.end());
#else
    return fromUtf8(path.native());
#endif
}

inline std::filesystem::path textPath(std::u16string_view text) {
#ifdef _WIN32
    return std::filesystem::path(std::wstring(text.begin(), text.end()));
#else
    return std::filesystem::path(toUtf8(text));
#endif
}

// A name written in UTF-8 in the code ("1(0) 无法读取 <stamp>.txt").
inline std::filesystem::path utf8Path(std::string_view utf8) {
    return textPath(fromUtf8(utf8));
}

} // namespace logora::text
