// SPDX-License-Identifier: GPL-3.0-or-later
// Price lists as text a spreadsheet reads and writes: tab-separated on the clipboard (as Excel,
// WPS and Calc copy a range), comma-separated in a .csv file. A list is a block of rows:
//
//   价格表   樟子松    东港木业   原木
//   径级     2-3.9     4-5.9      6-
//   6-12     800       850        900
//   14-18    900       950        12元/根
//   费用     码费      20         元/立方米
//
// The first row names the species, the party (may be empty) and the kind (原木 or 锯材, whose
// bands are thicknesses: 厚度). The second row gives the length bands; with none, every length
// is priced alike. Each band row gives a price per length band: a number is 元/立方米, "元/根"
// after it prices by the piece, an empty cell has no price. A fee is 元/立方米, 元/根 or 元/单.
#pragma once

#include "prices/PriceList.hpp"

#include <optional>
#include <string>
#include <vector>

namespace logora::prices {

// One cell as a spreadsheet holds it: a band ("14-18", "20-", "14"), a price ("800",
// "12元/根", empty for none); nullopt when it cannot be read.
std::optional<Band> bandOf(std::u16string_view text);
std::optional<PriceCell> cellOf(std::u16string_view text);

std::u16string listsText(const std::vector<PriceList>& lists, char16_t separator);

struct ParsedLists {
    std::vector<PriceList> lists;
    std::u16string problem; // "第N行：…", empty when the whole text was read
};

// The lists of a text; a row that cannot be read stops it with a sentence naming the row.
ParsedLists parseLists(std::u16string_view text, char16_t separator);

} // namespace logora::prices
