// SPDX-License-Identifier: GPL-3.0-or-later
// Form1, the grid-mode log calculator: tally cells, layouts, totals and price classes.
#pragma once

#include "prices/PriceDetail.hpp"
#include "prices/PriceGrade.hpp"
#include "ui/Form.hpp"
#include "ui/GridCells.hpp"
#include "ui/RuleChooser.hpp"
#include "volume/Rules.hpp"

#include <array>

namespace logora::grid {

inline constexpr int kRows = ui::kGridRows;
inline constexpr int kCells = ui::kGridCells;
inline constexpr int kGroups = ui::kGridGroups;

class GridWindow : public ui::Window {
  public:
    explicit GridWindow(prices::PriceSource& prices,
                        volume::RuleChoice& rule = volume::nationalRule());
    // The rule the volumes are measured by, as of the last tick.
    volume::Rule rule() const { return rule_; }

    ui::Form& form() override { return form_; }
    // Timer1: volumes, then totals and the price-class table.
    void tick() override;

    // The cell recalculation alone (the first step of a tick).
    void recalculateCells();

    // Label19 / Label20 / Command4.
    void switchToTwoLengths();
    void switchToFourLengths();
    void clearTally();
    bool twoLengthLayout() const { return label20_->visible(); }

    // Rows count from 1, as their names do; index is the element within the row.
    ui::Control& cell(int row, int index) { return *cells_[row - 1][index]; }
    ui::Control& diameter(int row, int group) { return at(row, group, ui::GridColumn::Diameter); }
    ui::Control& pieces(int row, int group) { return at(row, group, ui::GridColumn::Pieces); }
    ui::Control& volume(int row, int group) { return at(row, group, ui::GridColumn::Volume); }
    ui::Control& lengthField(int group) { return *length_[group]; }
    // Each group's volume in each price class, as the last tick added it up.
    using ClassVolumes = std::array<std::array<double, prices::kPriceClasses>, kGroups>;
    const ClassVolumes& groupVolumes() const { return groupVolume_; }

    // The price list in force and the tally by its cells, as of the last tick.
    // Its rows are written when asked for: a tick only works out the figures.
    const prices::Detail& detail();
    // A list picked by hand for this tally (by its name, the default's or the automatic).
    void pickList(std::u16string_view choice) { picked_ = choice; }

  private:
    ui::Control& at(int row, int group, ui::GridColumn column) {
        return cell(row, ui::gridCell(group, column));
    }
    std::array<ui::Control*, kRows> column(int group, ui::GridColumn column) const;
    void hideRowZeros(int row);
    void showLayout(bool twoLengths);
    void writePresets(int group, bool highRange); // the group's diameter column
    void presetsForRule();                        // of the groups with no pieces yet
    void totalsTwoLengths();
    void totalsFourLengths();
    void priceClasses();
    // The tally priced by a list: the total amount, the detail, what has no price.
    void priceByList(const prices::PriceList& list);

    ui::Form form_;
    prices::PriceSource& prices_;
    std::array<std::array<ui::Control*, kCells>, kRows> cells_{};
    std::array<ui::Control*, kGroups> length_{};
    std::array<ui::Control*, 8> pieces_{};      // Text29
    std::array<ui::Control*, 8> volumes_{};     // Text30
    std::array<ui::Control*, 4> classPieces_{}; // Text16
    std::array<ui::Control*, 4> classVolume_{}; // Text18
    std::array<ui::Control*, 3> unitPrice_{};   // Text19
    std::array<ui::Control*, 4> classAmount_{}; // Text28
    ui::Control* label19_;
    ui::Control* label20_;
    ui::Control* gapLine_;  // Label22: the entries the rule gives no volume, or no price
    ui::Control* listName_; // Label23: the price list in force
    std::u16string gaps_;   // the rule's part of the status line
    std::u16string picked_ = std::u16string(prices::kAutomaticList);
    prices::Detail detail_;
    prices::Priced priced_;     // the figures of the last tick under the list
    bool detailWritten_ = true; // detail_.rows are priced_'s
    ui::RuleChooser chooser_;   // Combo6
    volume::Rule rule_ = volume::Rule::Gb;
    ClassVolumes groupVolume_{};
};

} // namespace logora::grid
