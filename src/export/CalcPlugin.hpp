// Finds and loads the LibreOffice Calc adapter, a plugin library.
#pragma once

#include "export/Spreadsheet.hpp"

#include <filesystem>
#include <memory>
#include <vector>

namespace logora::exporting {

// The first candidate that loads; a MissingSpreadsheet that says why when none does.
std::unique_ptr<Spreadsheet> loadCalcPlugin(const std::vector<std::filesystem::path>& candidates);

inline constexpr std::u16string_view kNoCalc =
    u"未找到 LibreOffice Calc，无法导出账单。"
    u"请安装 LibreOffice Calc（软件包 libreoffice-calc）。";

} // namespace logora::exporting
