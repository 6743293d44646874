// SPDX-License-Identifier: GPL-3.0-or-later
// Form3, the sawn-timber calculator.
#pragma once

#include "ui/Form.hpp"

#include <array>

namespace logora::sawn {

inline constexpr int kRows = 8;

class SawnWindow : public ui::Window {
  public:
    SawnWindow();
    ui::Form& form() override { return form_; }
    // Timer1: row volumes and amounts, then the two totals.
    void tick() override;
    // Command1: the table, the top line and the totals; the bottom line, the inspector and
    // the captions carry over to the next bill.
    void clear();

  private:
    ui::Form form_;
    // Columns Text1 .. Text7: length, width, thickness, pieces, volume, price, amount.
    std::array<std::array<ui::Control*, kRows>, 8> column_{};
    ui::Control* totalVolume_; // Text8
    ui::Control* totalAmount_; // Text9
};

} // namespace logora::sawn
