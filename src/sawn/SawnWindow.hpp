// SPDX-License-Identifier: GPL-3.0-or-later
// Form3, the sawn-timber calculator.
#pragma once

#include "prices/PriceDetail.hpp"
#include "prices/PriceGrade.hpp"
#include "prices/RowPrices.hpp"
#include "ui/Form.hpp"

#include <array>

namespace logora::sawn {

inline constexpr int kRows = 8;

class SawnWindow : public ui::Window {
  public:
    explicit SawnWindow(prices::PriceSource* prices = nullptr);
    ui::Form& form() override { return form_; }
    // Timer1: row volumes and amounts, then the two totals.
    void tick() override;
    // Command1: the table, the top line and the totals; the bottom line, the inspector and
    // the captions carry over to the next bill.
    void clear();

    // The price list in force and the fees under it, as of the last tick.
    const prices::Detail& detail() const { return detail_; }
    void pickList(std::u16string_view choice) { picked_ = choice; }

  private:
    ui::Form form_;
    // Columns Text1 .. Text7: length, width, thickness, pieces, volume, price, amount.
    std::array<std::array<ui::Control*, kRows>, 8> column_{};
    ui::Control* totalVolume_; // Text8
    ui::Control* totalAmount_; // Text9
    ui::Control* listName_;    // Label12: the price list in force
    ui::Control* gapLine_;     // Label13: the lines the list has no price for
    prices::PriceSource* prices_;
    prices::RowPrices rowPrices_{kRows};
    std::u16string picked_ = std::u16string(prices::kAutomaticList);
    prices::Detail detail_;
};

} // namespace logora::sawn
