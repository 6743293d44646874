// SPDX-License-Identifier: GPL-3.0-or-later
// Finds and loads the LibreOffice Calc adapter, a plugin library.
#pragma once

#include "export/Spreadsheet.hpp"

#include <filesystem>
#include <memory>
#include <vector>

namespace logora::exporting {

inline constexpr const char* kOfficeProgram = "/usr/lib/libreoffice/program/soffice.bin";

struct CalcPluginLoad {
    std::unique_ptr<Spreadsheet> spreadsheet; // null when none loads
    std::u16string why;                       // then: one sentence for the user
    std::u16string detail;                    // and the loader's own words
};

// The first candidate that loads. When none does, says whether the plugin or LibreOffice
// itself is missing (the office's program is looked for at officeProgram).
CalcPluginLoad tryLoadCalcPlugin(const std::vector<std::filesystem::path>& candidates,
                                 const std::filesystem::path& officeProgram = kOfficeProgram);

// The same, with a MissingSpreadsheet that says why when none loads.
std::unique_ptr<Spreadsheet> loadCalcPlugin(const std::vector<std::filesystem::path>& candidates);

inline constexpr std::u16string_view kNoCalc =
    u"未找到 LibreOffice Calc，无法导出账单。"
    u"请安装 LibreOffice Calc（软件包 libreoffice-calc），再导出一次。";

} // namespace logora::exporting
