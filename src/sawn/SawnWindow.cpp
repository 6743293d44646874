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

SawnWindow::SawnWindow(prices::PriceSource* prices)
    : form_(ui::sawnWindowDef()), totalVolume_(&form_.control(u"Text8")),
      totalAmount_(&form_.control(u"Text9")), listName_(&form_.control(u"Label12")),
      gapLine_(&form_.control(u"Label13")), prices_(prices) {
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
    const std::u16string parties[] = {form_.control(u"Text10").text(),
                                      form_.control(u"Text13").text()};
    const prices::PriceList* list =
        prices_ == nullptr ? nullptr
                           : prices::listForParties(prices_->priceLists(), prices::ListKind::Sawn,
                                                    picked_, u"", parties);
    prices::showInForce(detail_, list, picked_);
    listName_->setText(detail_.inForce);
    std::vector<prices::Unpriced> unpriced;
    for (int r = 0; r < kRows; ++r) {
        // Thickness bands in centimetres, as typed; lengths typed in centimetres, banded in metres.
        const double pieces = parseNumber(column_[4][r]->text());
        rowPrices_.apply(*column_[6][r], static_cast<std::size_t>(r), list,
                         parseNumber(column_[3][r]->text()),
                         parseNumber(column_[1][r]->text()) / 100, pieces, unpriced);
        column_[7][r]->setText(
            prices::RowPrices::amount(column_[6][r]->text(), pieces, column_[5][r]->text()));
    }
    totalVolume_->setText(patternText(columnSum(column_[5]), Pattern::Four));
    if (list == nullptr) {
        detail_.rows.clear();
        detail_.unpriced.clear();
        gapLine_->setText(u"");
        // The total amount carries four decimals, as the bill has always shown it.
        totalAmount_->setText(patternText(columnSum(column_[7]), Pattern::Four));
        return;
    }
    prices::feesDetail(*list, columnSum(column_[4]), columnSum(column_[5]), columnSum(column_[7]),
                       detail_);
    totalAmount_->setText(patternText(parseNumber(detail_.rows.back().amount), Pattern::Four));
    detail_.unpriced = prices::unpricedLine(*list, unpriced);
    gapLine_->setText(detail_.unpriced);
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
