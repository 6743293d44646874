// SPDX-License-Identifier: GPL-3.0-or-later
// Form2, the multi-length list calculator.
#pragma once

#include "prices/PriceDetail.hpp"
#include "prices/PriceGrade.hpp"
#include "prices/RowPrices.hpp"
#include "ui/Form.hpp"
#include "ui/RuleChooser.hpp"
#include "volume/Rules.hpp"

#include <array>

namespace logora::list {

inline constexpr int kRows = 19;

class ListWindow : public ui::Window {
  public:
    explicit ListWindow(volume::RuleChoice& rule = volume::nationalRule(),
                        prices::PriceSource* prices = nullptr);
    volume::Rule rule() const { return rule_; }
    ui::Form& form() override { return form_; }
    // Timer1: row volumes and amounts, then the totals.
    void tick() override;
    // Command1: every text field of the window is emptied.
    void clear();

    // The price list in force and the fees under it, as of the last tick.
    const prices::Detail& detail() const { return detail_; }
    void pickList(std::u16string_view choice) { picked_ = choice; }

  private:
    void hideVolumes();
    void hideAmounts();
    void hideTotals();

    ui::Form form_;
    // Columns: Text1 length, Text2 diameter, Text3 pieces, Text4 volume, Text5 price,
    // Text6 amount.
    std::array<std::array<ui::Control*, kRows>, 7> column_{};
    ui::Control* totalVolume_;   // Text22(4)
    ui::Control* totalPieces_;   // Text22(5)
    ui::Control* averageAmount_; // Text22(6)
    ui::Control* averagePrice_;  // Text22(7)
    ui::Control* gradedAmount_;  // Text22(10)
    ui::Control* gapLine_;       // Label13: the entries the rule gives no volume
    ui::Control* listName_;      // Label15: the price list in force
    ui::RuleChooser chooser_;    // Combo1
    prices::PriceSource* prices_;
    prices::RowPrices rowPrices_{kRows};
    std::u16string picked_ = std::u16string(prices::kAutomaticList);
    prices::Detail detail_;
    volume::Rule rule_ = volume::Rule::Gb;
};

} // namespace logora::list
