// SPDX-License-Identifier: GPL-3.0-or-later
// Where the grid window's tally cells are. Row r is the field array "Text<r>"; each row holds
// four column groups, one per length, of diameter, pieces and volume, in that order.
#pragma once

#include "text/NumberText.hpp"

#include <string>

namespace logora::ui {

inline constexpr int kGridRows = 14;  // Text1 .. Text14
inline constexpr int kGridGroups = 4; // one per length field
inline constexpr int kGridCells = 3 * kGridGroups;

enum class GridColumn { Diameter = 0, Pieces = 1, Volume = 2 };

// The element of group g's column within a row.
constexpr int gridCell(int group, GridColumn column) {
    return 3 * group + static_cast<int>(column);
}

constexpr GridColumn gridColumnOf(int element) {
    return static_cast<GridColumn>(element % 3);
}

inline std::u16string gridRowName(int row) {
    return u"Text" + text::intText(row);
}

} // namespace logora::ui
