// SPDX-License-Identifier: GPL-3.0-or-later
// The two moves every calculator makes on its columns: zero hiding and column sums.
#pragma once

#include "text/NumberText.hpp"
#include "ui/Form.hpp"

#include <string_view>

namespace logora::ui {

// Zero hiding: a field whose text sorts below the threshold is emptied ("0" below "1",
// "0.0000" below "0.0001"). Texts compare as texts, so "-5" and "" hide as well.
inline void hideBelow(Control& field, std::u16string_view threshold) {
    if (text::sortsBelow(field.text(), threshold)) {
        field.setText(u"");
    }
}

template <class Fields> void hideEachBelow(const Fields& fields, std::u16string_view threshold) {
    for (Control* field : fields) {
        hideBelow(*field, threshold);
    }
}

// The sum of the fields' numbers, added in order from the first: the order fixes the last bit.
template <class Fields> double columnSum(const Fields& fields) {
    double total = 0;
    for (const Control* field : fields) {
        total += text::parseNumber(field->text());
    }
    return total;
}

} // namespace logora::ui
