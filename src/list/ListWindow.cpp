// SPDX-License-Identifier: GPL-3.0-or-later
#include "list/ListWindow.hpp"

#include "text/NumberText.hpp"
#include "ui/Tally.hpp"
#include "volume/LogVolume.hpp"

namespace logora::list {

using text::parseNumber;
using text::Pattern;
using text::patternText;
using text::sortsBelow;
using ui::columnSum;

ListWindow::ListWindow(volume::RuleChoice& rule, prices::PriceSource* prices)
    : form_(ui::listWindowDef()), totalVolume_(&form_.control(u"Text22", 4)),
      totalPieces_(&form_.control(u"Text22", 5)), averageAmount_(&form_.control(u"Text22", 6)),
      averagePrice_(&form_.control(u"Text22", 7)), gradedAmount_(&form_.control(u"Text22", 10)),
      gapLine_(&form_.control(u"Label13")), listName_(&form_.control(u"Label15")),
      chooser_(form_.control(u"Combo1"), rule), prices_(prices) {
    const char16_t* names[7] = {u"", u"Text1", u"Text2", u"Text3", u"Text4", u"Text5", u"Text6"};
    for (int k = 1; k <= 6; ++k) {
        for (int r = 0; r < kRows; ++r) {
            column_[k][r] = &form_.control(names[k], r);
        }
    }
    form_.onChange(u"Text4", [this](int) { hideVolumes(); });
    form_.onChange(u"Text6", [this](int) { hideAmounts(); });
    form_.onChange(u"Text22", [this](int) { hideTotals(); });
    form_.onClick(u"Command1", [this](int) { clear(); });
}

// A row shows no volume while its pieces text sorts below "1".
void ListWindow::hideVolumes() {
    for (int r = 0; r < kRows; ++r) {
        if (sortsBelow(column_[3][r]->text(), u"1")) {
            column_[4][r]->setText(u"");
        }
    }
}

// A row shows no amount while its price text sorts below "1".
void ListWindow::hideAmounts() {
    for (int r = 0; r < kRows; ++r) {
        if (sortsBelow(column_[5][r]->text(), u"1")) {
            column_[6][r]->setText(u"");
        }
    }
}

void ListWindow::hideTotals() {
    const std::pair<ui::Control*, std::u16string_view> rules[] = {
        {totalVolume_, u"0.001"}, {totalPieces_, u"1"},  {averageAmount_, u"0.01"},
        {averagePrice_, u"1"},    {gradedAmount_, u"1"},
    };
    for (const auto& [field, threshold] : rules) {
        ui::hideBelow(*field, threshold);
    }
}

void ListWindow::tick() {
    rule_ = chooser_.sync();
    volume::Gaps gaps;
    for (int r = 0; r < kRows; ++r) {
        volume::Measured m = volume::measure(rule_, column_[2][r]->text(), column_[3][r]->text(),
                                             column_[1][r]->text());
        column_[4][r]->setText(m.volume);
        gaps.add(std::move(m.gap));
    }
    const std::u16string gapText = gaps.line();

    const std::u16string parties[] = {form_.control(u"Text27").text(),
                                      form_.control(u"Text23").text()};
    const prices::PriceList* list =
        prices_ == nullptr
            ? nullptr
            : prices::listForParties(prices_->priceLists(), prices::ListKind::Log, picked_,
                                     form_.control(u"Text29").text(), parties);
    prices::showInForce(detail_, list, picked_);
    listName_->setText(detail_.inForce);
    std::vector<prices::Unpriced> unpriced;
    for (int r = 0; r < kRows; ++r) {
        const double pieces = parseNumber(column_[3][r]->text());
        rowPrices_.apply(*column_[5][r], static_cast<std::size_t>(r), list,
                         volume::diameterClass(rule_, parseNumber(column_[2][r]->text())),
                         parseNumber(column_[1][r]->text()), pieces, unpriced);
        column_[6][r]->setText(
            prices::RowPrices::amount(column_[5][r]->text(), pieces, column_[4][r]->text()));
    }
    totalPieces_->setText(text::plainText(columnSum(column_[3])));
    totalVolume_->setText(patternText(columnSum(column_[4]), Pattern::Three));
    averageAmount_->setText(patternText(
        parseNumber(averagePrice_->text()) * parseNumber(totalVolume_->text()), Pattern::Two));
    if (list == nullptr) {
        detail_.rows.clear();
        detail_.unpriced.clear();
        gradedAmount_->setText(patternText(columnSum(column_[6]), Pattern::Two));
        gapLine_->setText(gapText);
        return;
    }
    // The fees on the whole tally come on top of the lines' amounts.
    prices::feesDetail(*list, columnSum(column_[3]), columnSum(column_[4]), columnSum(column_[6]),
                       detail_);
    gradedAmount_->setText(detail_.rows.back().amount);
    detail_.unpriced = prices::unpricedLine(*list, unpriced);
    gapLine_->setText(prices::statusLine(gapText, detail_.unpriced));
}

void ListWindow::clear() {
    for (ui::Control* field : form_.textFields()) {
        field->setText(u"");
    }
}

} // namespace logora::list
