// SPDX-License-Identifier: GPL-3.0-or-later
// Which field goes to which cell of each bill, in the order the cells are written.
#pragma once

#include "ui/Shell.hpp"
#include "ui/WindowDef.hpp"

#include <array>
#include <string>
#include <vector>

namespace logora::exporting {

struct MappedCell {
    int row = 0, column = 0; // 1-based sheet coordinates
    ui::ControlKey field;
    bool alwaysText = false; // names, numbers and captions of the bill's header and footer
};

struct BillSpec {
    std::u16string workbook; // file name in the bill folder
    std::u16string sheet;
    bool retryOnce = false;
    std::vector<MappedCell> cells;
    int dateRow = 0, dateColumn = 0; // beside the bill's "日期：": the export's date, as text
    // The ledger's number, after its caption "单号" in the cell before it.
    int numberRow = 0, numberColumn = 0;
    // The volume rule's chooser, after its caption "检尺标准" in the cell before it.
    int ruleRow = 0, ruleColumn = 0;
    ui::ControlKey ruleField{};
    // Caption choosers and the fields they caption, where the vehicle number may be typed.
    std::vector<std::pair<ui::ControlKey, ui::ControlKey>> captioned{};
    // Under the bill, rows kept free for a price list's detail: its first row, and the columns
    // of a row's band, pieces, volume, price and amount.
    int detailRow = 0;
    std::array<int, 5> detailColumns{};
};

BillSpec gridBill(bool twoLengthLayout); // 账单明细.xls, 原木一
BillSpec listBill();                     // 账单明细1.xls, 原木二
BillSpec sawnBill();                     // 账单明细1.xls, 锯材账单
// The bill of a calculator; the grid's map depends on its layout.
BillSpec billFor(ui::Calculator which, bool twoLengthLayout);

// The .xls format holds columns A..IV and rows 1..65536; cells beyond are lost silently.
bool fitsXls(const BillSpec& bill);

// "A1" style name of a cell, for messages and tests.
std::string cellName(int row, int column);

} // namespace logora::exporting
