// SPDX-License-Identifier: GPL-3.0-or-later
#include "sawn/SawnWindow.hpp"

#include "text/NumberText.hpp"

namespace logora::sawn {

using text::parseNumber;
using text::Pattern;
using text::patternText;
using text::sortsBelow;

namespace {

// Empties every element of a column that sorts below the threshold.
void hideBelow(const std::array<ui::Control*, kRows>& column, std::u16string_view threshold) {
    for (ui::Control* c : column) {
        if (sortsBelow(c->text(), threshold)) {
            c->setText(u"");
        }
    }
}

} // namespace

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
    form_.onChange(u"Text5", [this](int) { hideBelow(column_[5], u"0.00001"); });
    form_.onChange(u"Text7", [this](int) { hideBelow(column_[7], u"0.01"); });
    form_.onChange(u"Text8", [this](int) {
        if (sortsBelow(totalVolume_->text(), u"0.00001")) {
            totalVolume_->setText(u"");
        }
    });
    form_.onChange(u"Text9", [this](int) {
        if (sortsBelow(totalAmount_->text(), u"0.01")) {
            totalAmount_->setText(u"");
        }
    });
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
    auto sum = [this](int k) {
        double total = 0;
        for (const ui::Control* c : column_[k]) {
            total += parseNumber(c->text());
        }
        return total;
    };
    totalVolume_->setText(patternText(sum(5), Pattern::Four));
    // The total amount carries four decimals, as the bill has always shown it.
    totalAmount_->setText(patternText(sum(7), Pattern::Four));
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
