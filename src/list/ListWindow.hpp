// SPDX-License-Identifier: GPL-3.0-or-later
// Form2, the multi-length list calculator.
#pragma once

#include "ui/Form.hpp"
#include "ui/RuleChooser.hpp"
#include "volume/Rules.hpp"

#include <array>

namespace logora::list {

inline constexpr int kRows = 19;

class ListWindow : public ui::Window {
  public:
    explicit ListWindow(volume::RuleChoice& rule = volume::nationalRule());
    volume::Rule rule() const { return rule_; }
    ui::Form& form() override { return form_; }
    // Timer1: row volumes and amounts, then the totals.
    void tick() override;
    // Command1: every text field of the window is emptied.
    void clear();

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
    ui::RuleChooser chooser_;    // Combo1
    volume::Rule rule_ = volume::Rule::Gb;
};

} // namespace logora::list
