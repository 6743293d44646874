// SPDX-License-Identifier: GPL-3.0-or-later
// The three grade prices a benchmark's grid window reads at every tick.
#pragma once

#include "prices/PriceGrade.hpp"

#include <string>

namespace logora::bench {

struct FixedPrices : prices::PriceSource {
    std::u16string priceText(int k) override {
        static const std::u16string texts[3] = {u"500", u"550", u"600"};
        return texts[k];
    }
};

} // namespace logora::bench
