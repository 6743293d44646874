// SPDX-License-Identifier: GPL-3.0-or-later
// A small workbook of the program's own, beside the bills: a dated copy of a blank one,
// filled, saved and shown to the user. The ledger's summary and the comparison of rules.
#pragma once

#include "export/BillExport.hpp"
#include "export/Spreadsheet.hpp"

#include <functional>
#include <string_view>

namespace logora::exporting {

struct TableWorkbook {
    std::u16string_view blank;  // the workbook in the bill folder it is copied from
    std::u16string_view sheet;  // the sheet it fills
    std::u16string_view folder; // under the bill folder, where the dated copies go
    std::u16string_view stem;   // "<stem> <stamp>.xls"
};

// Copies, fills and shows; false when it failed, said through prompts.
bool exportTable(Spreadsheet& spreadsheet, const BillFolder& bills, ExportPrompts& prompts,
                 const TableWorkbook& workbook, const std::function<void(Spreadsheet&)>& fill);

CellValue textCell(std::u16string text);
// A figure kept in hundredths, ten-thousandths ... as the number it stands for.
CellValue numberCell(long long value, int places);
CellValue numberCell(double value);

} // namespace logora::exporting
