// SPDX-License-Identifier: GPL-3.0-or-later
#include "sawn/SawnWindow.hpp"

#include "text/NumberText.hpp"
#include "ui/Tally.hpp"

namespace logora::sawn {

using text::parseNumber;
using text::Pattern;
using text::patternText;
using ui::columnSum;
using ui::hideBelow;
using ui::hideEachBelow;

SawnWindow::SawnWindow()
    : form_(ui::sawnWindowDef()), totalVolume_(&form_.control(u"Text8")),
      totalAmount_(&form_.control(u"Text9")) {
    const char16_t* names[8] = {u"",      u"Text1", u"Text2", u"Text3",
                                u"Text4", u"Text5", u"Text6", u"Text7"};
    for (int k = 1; k <= 7; ++k) {
        for (int r = 0; r < kRows; ++r) {
            column_[k][r] = &form_.control(names[k], r);
        }
    }
    form_.onChange(u"Text5", [this](int) { hideEachBelow(column_[5], u"0.00001"); });
    form_.onChange(u"Text7", [this](int) { hideEachBelow(column_[7], u"0.01"); });
    form_.onChange(u"Text8", [this](int) { hideBelow(*totalVolume_, u"0.00001"); });
    form_.onChange(u"Text9", [this](int) { hideBelow(*totalAmount_, u"0.01"); });
    form_.onClick(u"Command1", [this](int) { clear(); });
}

void SawnWindow::tick() {
    for (int r = 0; r < kRows; ++r) {
        // width x length x thickness x pieces, in that order
        const double product =
            parseNumber(column_[2][r]->text()) * parseNumber(column_[1][r]->text()) *
            parseNumber(column_[3][r]->text()) * parseNumber(column_[4][r]->text());
        column_[5][r]->setText(patternText(product / 1000000, Pattern::Four));
    }
    for (int r = 0; r < kRows; ++r) {
        column_[7][r]->setText(patternText(
            parseNumber(column_[6][r]->text()) * parseNumber(column_[5][r]->text()), Pattern::Two));
    }
    totalVolume_->setText(patternText(columnSum(column_[5]), Pattern::Four));
    // The total amount carries four decimals, as the bill has always shown it.
    totalAmount_->setText(patternText(columnSum(column_[7]), Pattern::Four));
}

void SawnWindow::clear() {
    for (int k = 1; k <= 7; ++k) {
        for (ui::Control* c : column_[k]) {
            c->setText(u"");
        }
    }
    for (const char16_t* name : {u"Text10", u"Text11", u"Text8", u"Text9"}) {
        form_.control(name).setText(u"");
    }
}

} // namespace logora::sawn
