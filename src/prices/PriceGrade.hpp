// SPDX-License-Identifier: GPL-3.0-or-later
// The three diameter price classes of log prices.
#pragma once

#include "prices/PriceList.hpp"

#include <span>
#include <string>

namespace logora::prices {

inline constexpr int kPriceClasses = 3;

// Class 0: 12 cm and below (d <= 13); class 2: 20 cm and above (d > 19); class 1 between.
inline int PriceGrade(double diameter) {
    if (diameter <= 13) {
        return 0;
    }
    if (diameter > 19) {
        return 2;
    }
    return 1;
}

// Where the grid window reads its unit prices: the price fields of the price window,
// which the source creates (and loads from the store) on first use.
class PriceSource {
  public:
    virtual ~PriceSource() = default;
    virtual std::u16string priceText(int priceClass) = 0;
    // The price lists the calculators choose from; none: the grade prices serve.
    virtual std::span<const PriceList> priceLists() { return {}; }
};

} // namespace logora::prices
