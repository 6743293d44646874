// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/BillMaps.hpp"

#include "text/NumberText.hpp"
#include "ui/GridCells.hpp"

#include <tuple>

namespace logora::exporting {

namespace {

MappedCell cell(int row, int column, std::u16string name, int element = ui::kNoElement,
                bool alwaysText = false) {
    return {row, column, {std::move(name), element}, alwaysText};
}

MappedCell textCell(int row, int column, std::u16string name) {
    return cell(row, column, std::move(name), ui::kNoElement, true);
}

} // namespace

BillSpec gridBill(bool twoLengthLayout) {
    BillSpec b{u"账单明细.xls", u"原木一", true, {}};
    auto& c = b.cells;
    c.push_back(textCell(3, 3, u"Text17"));
    c.push_back(textCell(27, 3, u"Text20"));
    c.push_back(textCell(3, 9, u"Text22"));
    c.push_back(cell(5, 11, u"Text21"));
    c.push_back(textCell(4, 3, u"Text27"));
    c.push_back(textCell(4, 9, u"Text25"));
    c.push_back(textCell(27, 10, u"Text24"));
    c.push_back(cell(5, 2, u"Text23"));
    c.push_back(cell(5, 5, u"Text15"));
    c.push_back(cell(5, 8, u"Text26"));
    for (int j = 0; j < ui::kGridCells; ++j) {
        for (int k = 1; k <= ui::kGridRows; ++k) {
            c.push_back(cell(6 + k, j + 1, ui::gridRowName(k), j));
        }
    }
    for (const auto& [column, name, rows] :
         {std::tuple{4, u"Text16", 4}, {6, u"Text18", 4}, {8, u"Text19", 3}, {10, u"Text28", 4}}) {
        for (int r = 0; r < rows; ++r) {
            c.push_back(cell(23 + r, column, name, r));
        }
    }
    if (!twoLengthLayout) {
        for (int g = 0; g < 4; ++g) {
            c.push_back(cell(21, 3 * g + 2, u"Text29", g));
        }
        for (int g = 0; g < 4; ++g) {
            c.push_back(cell(21, 3 * g + 3, u"Text30", g));
        }
    } else {
        c.push_back(cell(21, 5, u"Text29", 4));
        c.push_back(cell(21, 11, u"Text29", 5));
        c.push_back(cell(21, 6, u"Text30", 4));
        c.push_back(cell(21, 12, u"Text30", 5));
        c.push_back(cell(21, 2, u"Text29", 6));
        c.push_back(cell(21, 3, u"Text29", 7));
        c.push_back(cell(21, 8, u"Text30", 6));
        c.push_back(cell(21, 9, u"Text30", 7));
    }
    c.push_back(textCell(27, 8, u"Combo1"));
    c.push_back(textCell(3, 8, u"Combo2"));
    c.push_back(textCell(3, 1, u"Combo4"));
    c.push_back(textCell(27, 1, u"Combo5"));
    b.dateRow = 2;
    b.dateColumn = 11;
    b.numberRow = 2;
    b.numberColumn = 2;
    b.ruleRow = 2;
    b.ruleColumn = 7;
    b.ruleField = {u"Combo6"};
    b.captioned = {{{u"Combo2"}, {u"Text22"}}, {{u"Combo1"}, {u"Text24"}}};
    b.detailRow = 29;
    b.detailColumns = {1, 4, 6, 8, 10};
    return b;
}

BillSpec listBill() {
    BillSpec b{u"账单明细1.xls", u"原木二", false, {}};
    auto& c = b.cells;
    c.push_back(textCell(2, 2, u"Text27"));
    c.push_back(textCell(3, 2, u"Text28"));
    c.push_back(textCell(3, 5, u"Text29"));
    for (int i = 0; i < 19; ++i) {
        for (int k = 1; k <= 6; ++k) {
            c.push_back(cell(5 + i, k, u"Text" + text::intText(k), i));
        }
    }
    c.push_back(cell(24, 3, u"Text22", 5));
    c.push_back(cell(24, 4, u"Text22", 4));
    c.push_back(cell(24, 6, u"Text22", 10));
    c.push_back(cell(25, 2, u"Text22", 7));
    c.push_back(cell(25, 5, u"Text22", 6));
    c.push_back(textCell(26, 2, u"Text23"));
    b.dateRow = 27;
    b.dateColumn = 2;
    b.numberRow = 27;
    b.numberColumn = 5;
    b.ruleRow = 28;
    b.ruleColumn = 2;
    b.ruleField = {u"Combo1"};
    b.detailRow = 30;
    b.detailColumns = {1, 3, 4, 5, 6};
    return b;
}

BillSpec sawnBill() {
    BillSpec b{u"账单明细1.xls", u"锯材账单", true, {}};
    auto& c = b.cells;
    for (int i = 0; i < 8; ++i) {
        for (int k = 1; k <= 7; ++k) {
            c.push_back(cell(5 + i, k, u"Text" + text::intText(k), i));
        }
    }
    c.push_back(textCell(3, 2, u"Text10"));
    c.push_back(textCell(3, 6, u"Text11"));
    c.push_back(textCell(14, 6, u"Text12"));
    c.push_back(textCell(14, 2, u"Text13"));
    c.push_back(textCell(13, 2, u"Text14"));
    c.push_back(cell(13, 5, u"Text8"));
    c.push_back(cell(13, 6, u"Text9"));
    c.push_back(textCell(14, 5, u"Combo1"));
    c.push_back(textCell(3, 5, u"Combo2"));
    b.dateRow = 2;
    b.dateColumn = 6;
    b.numberRow = 2;
    b.numberColumn = 2;
    b.captioned = {{{u"Combo2"}, {u"Text11"}}, {{u"Combo1"}, {u"Text12"}}};
    b.detailRow = 16;
    b.detailColumns = {1, 4, 5, 6, 7};
    return b;
}

bool fitsXls(const BillSpec& bill) {
    for (const MappedCell& c : bill.cells) {
        if (c.row < 1 || c.row > 65536 || c.column < 1 || c.column > 256) {
            return false;
        }
    }
    return true;
}

std::string cellName(int row, int column) {
    std::string letters;
    for (int c = column; c > 0; c = (c - 1) / 26) {
        letters.insert(letters.begin(), static_cast<char>('A' + (c - 1) % 26));
    }
    return letters + std::to_string(row);
}

BillSpec billFor(ui::Calculator which, bool twoLengthLayout) {
    switch (which) {
    case ui::Calculator::Grid:
        return gridBill(twoLengthLayout);
    case ui::Calculator::List:
        return listBill();
    case ui::Calculator::Sawn:
        return sawnBill();
    }
    return gridBill(twoLengthLayout);
}

} // namespace logora::exporting
