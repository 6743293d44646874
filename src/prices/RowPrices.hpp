// SPDX-License-Identifier: GPL-3.0-or-later
// The price column of the list and sawn calculators under a price list: a typed price always
// wins; a cell left empty shows the list's price for its row, marked as looked up, and gives
// it back when the row or the list no longer has one.
#pragma once

#include "prices/PriceDetail.hpp"
#include "prices/PriceList.hpp"
#include "ui/Form.hpp"

#include <optional>
#include <string>
#include <vector>

namespace logora::prices {

class RowPrices {
  public:
    explicit RowPrices(std::size_t rows) : written_(rows) {}

    // The row's price field brought up to the list: the list's cell for a row of band and
    // length with pieces, or the typed text left alone. Returns the looked-up cell, if any;
    // unpriced gets the row when the list has no price for it.
    std::optional<PriceCell> apply(ui::Control& price, std::size_t row, const PriceList* list,
                                   double band, double length, double pieces,
                                   std::vector<Unpriced>& unpriced);

    // A row's amount: the volume at a price per cubic metre, or the pieces at one per piece
    // ("12元/根", typed or looked up); as the window has always worked it out otherwise.
    static std::u16string amount(const std::u16string& priceText, double pieces,
                                 const std::u16string& volumeText);

  private:
    std::vector<std::u16string> written_; // what was filled in, row by row
};

// The list a calculator without a species prices by: picked by hand, else the one of the kind
// whose party is one of the window's, else the one for the species typed (if any).
const PriceList* listForParties(std::span<const PriceList> lists, ListKind kind,
                                std::u16string_view picked, std::u16string_view species,
                                std::span<const std::u16string> parties);

// A calculator's detail under a list whose rows carry their own prices: the fees on the whole
// tally and the total with them.
void feesDetail(const PriceList& list, double pieces, double volume, double rowsAmount,
                Detail& detail);

} // namespace logora::prices
