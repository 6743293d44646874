// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid/GridWindow.hpp"

#include "text/NumberText.hpp"
#include "ui/Tally.hpp"
#include "volume/Rules.hpp"

#include <span>

namespace logora::grid {

using text::parseNumber;
using text::Pattern;
using text::patternText;
using text::plainText;
using ui::columnSum;
using ui::Control;
using ui::gridCell;
using ui::GridColumn;
using ui::hideBelow;
using ui::hideEachBelow;

namespace {

// The first count elements of a summary array: the rest belong to the other layout.
template <std::size_t N>
std::span<Control* const> first(const std::array<Control*, N>& fields, std::size_t count) {
    return std::span<Control* const>(fields).first(count);
}

} // namespace

GridWindow::GridWindow(prices::PriceSource& prices, volume::RuleChoice& rule)
    : form_(ui::gridWindowDef()), prices_(prices), label19_(&form_.control(u"Label19")),
      label20_(&form_.control(u"Label20")), gapLine_(&form_.control(u"Label22")),
      listName_(&form_.control(u"Label23")), chooser_(form_.control(u"Combo6"), rule) {
    for (int r = 1; r <= kRows; ++r) {
        const std::u16string name = ui::gridRowName(r);
        for (int j = 0; j < kCells; ++j) {
            cells_[r - 1][j] = &form_.control(name, j);
        }
        form_.onChange(name, [this, r](int) { hideRowZeros(r); });
    }
    length_ = {&form_.control(u"Text23"), &form_.control(u"Text15"), &form_.control(u"Text26"),
               &form_.control(u"Text21")};
    for (int i = 0; i < 8; ++i) {
        pieces_[i] = &form_.control(u"Text29", i);
        volumes_[i] = &form_.control(u"Text30", i);
    }
    for (int k = 0; k < 4; ++k) {
        classPieces_[k] = &form_.control(u"Text16", k);
        classVolume_[k] = &form_.control(u"Text18", k);
        classAmount_[k] = &form_.control(u"Text28", k);
    }
    for (int k = 0; k < 3; ++k) {
        unitPrice_[k] = &form_.control(u"Text19", k);
    }

    form_.onChange(u"Text29", [this](int) { hideEachBelow(first(pieces_, 6), u"1"); });
    form_.onChange(u"Text30", [this](int) { hideEachBelow(first(volumes_, 6), u"0.0001"); });
    form_.onChange(u"Text16", [this](int) { hideEachBelow(classPieces_, u"1"); });
    form_.onChange(u"Text18", [this](int) { hideEachBelow(classVolume_, u"0.0001"); });
    form_.onChange(u"Text28", [this](int) { hideEachBelow(classAmount_, u"0.01"); });
    // Unit prices always show two decimals.
    form_.onChange(u"Text19", [this](int) {
        if (detail_.inForce != prices::kDefaultPricesName) {
            return; // a list prices the tally: the grade prices stand empty
        }
        for (Control* price : unitPrice_) {
            price->setText(patternText(parseNumber(price->text()), Pattern::Two));
        }
    });

    form_.onClick(u"Label19", [this](int) { switchToTwoLengths(); });
    form_.onClick(u"Label20", [this](int) { switchToFourLengths(); });
    form_.onClick(u"Command4", [this](int) { clearTally(); });
}

void GridWindow::hideRowZeros(int row) {
    // Every volume cell of the row, the top row's first one included, hides below 0.0001.
    for (int g = 0; g < kGroups; ++g) {
        hideBelow(volume(row, g), u"0.0001");
    }
}

std::array<Control*, kRows> GridWindow::column(int group, GridColumn column) const {
    std::array<Control*, kRows> fields{};
    for (int r = 0; r < kRows; ++r) {
        fields[r] = cells_[r][gridCell(group, column)];
    }
    return fields;
}

void GridWindow::recalculateCells() {
    volume::Gaps gaps;
    for (int g = 0; g < kGroups; ++g) {
        const std::u16string& length = length_[g]->text();
        for (int r = 1; r <= kRows; ++r) {
            volume::Measured m =
                volume::measure(rule_, diameter(r, g).text(), pieces(r, g).text(), length);
            volume(r, g).setText(m.volume);
            gaps.add(std::move(m.gap));
        }
    }
    gaps_ = gaps.line();
    gapLine_->setText(gaps_);
}

void GridWindow::tick() {
    if (const volume::Rule chosen = chooser_.sync(); chosen != rule_) {
        rule_ = chosen;
        presetsForRule();
    }
    recalculateCells();
    if (label20_->visible()) {
        totalsTwoLengths();
    }
    if (label19_->visible()) {
        totalsFourLengths();
    }
    priceClasses();
}

void GridWindow::totalsTwoLengths() {
    // Groups 1 and 3 compute with copies of the pair lengths, one tick behind.
    length_[1]->setText(plainText(parseNumber(length_[0]->text())));
    length_[3]->setText(plainText(parseNumber(length_[2]->text())));

    // A pair adds row by row, both groups of a row before the next row.
    auto sum = [this](int g, GridColumn column) {
        double total = 0;
        for (const auto& row : cells_) {
            total = total + parseNumber(row[gridCell(g, column)]->text()) +
                    parseNumber(row[gridCell(g + 1, column)]->text());
        }
        return total;
    };
    pieces_[4]->setText(plainText(sum(0, GridColumn::Pieces)));
    pieces_[5]->setText(plainText(sum(2, GridColumn::Pieces)));
    volumes_[4]->setText(patternText(sum(0, GridColumn::Volume), Pattern::Four));
    volumes_[5]->setText(patternText(sum(2, GridColumn::Volume), Pattern::Four));
}

void GridWindow::totalsFourLengths() {
    auto pieces = [&](int g) {
        pieces_[g]->setText(plainText(columnSum(column(g, GridColumn::Pieces))));
    };
    auto volume = [&](int g) {
        volumes_[g]->setText(patternText(columnSum(column(g, GridColumn::Volume)), Pattern::Four));
    };
    pieces(1);
    volume(1);
    pieces(0);
    volume(0);
    pieces(2);
    pieces(3);
    volume(2);
    volume(3);
}

void GridWindow::priceClasses() {
    const std::u16string parties[] = {form_.control(u"Text17").text(),
                                      form_.control(u"Text20").text()};
    const std::span<const prices::PriceList> lists = prices_.priceLists();
    const prices::PriceList* list = prices::listInForce(lists, prices::ListKind::Log, picked_,
                                                        form_.control(u"Text27").text(), parties);
    prices::showInForce(detail_, list, picked_);
    listName_->setText(detail_.inForce);
    if (list == nullptr) {
        detail_.rows.clear();
        detailWritten_ = true;
        detail_.unpriced.clear();
        for (int k = 0; k < 3; ++k) {
            unitPrice_[k]->setText(plainText(parseNumber(prices_.priceText(k))));
        }
    }

    double groupPieces[kGroups][3] = {};
    auto& groupVolume = groupVolume_;
    groupVolume = {};
    for (const auto& row : cells_) {
        for (int g = 0; g < kGroups; ++g) {
            auto number = [&](GridColumn c) { return parseNumber(row[gridCell(g, c)]->text()); };
            const int grade = prices::PriceGrade(number(GridColumn::Diameter));
            groupPieces[g][grade] += number(GridColumn::Pieces);
            groupVolume[g][grade] += number(GridColumn::Volume);
        }
    }
    double classPieces[3];
    double classVolume[3];
    for (int c = 0; c < 3; ++c) {
        classPieces[c] =
            ((groupPieces[0][c] + groupPieces[1][c]) + groupPieces[2][c]) + groupPieces[3][c];
        classVolume[c] =
            ((groupVolume[0][c] + groupVolume[1][c]) + groupVolume[2][c]) + groupVolume[3][c];
    }
    for (int c : {0, 2, 1}) {
        classPieces_[c]->setText(plainText(classPieces[c]));
    }
    for (int c : {0, 2, 1}) {
        classVolume_[c]->setText(patternText(classVolume[c], Pattern::Four));
    }
    // Grand totals and amounts from the texts as shown, after their zero hiding.
    auto shown = [](const Control* c) { return parseNumber(c->text()); };
    classPieces_[3]->setText(
        plainText(shown(classPieces_[0]) + shown(classPieces_[1]) + shown(classPieces_[2])));
    classVolume_[3]->setText(patternText(
        shown(classVolume_[0]) + shown(classVolume_[1]) + shown(classVolume_[2]), Pattern::Four));
    if (list != nullptr) {
        priceByList(*list);
        return;
    }
    for (int k = 0; k < 3; ++k) {
        classAmount_[k]->setText(
            patternText(shown(classVolume_[k]) * shown(unitPrice_[k]), Pattern::Two));
    }
    classAmount_[3]->setText(
        plainText(shown(classAmount_[0]) + shown(classAmount_[1]) + shown(classAmount_[2])));
}

const prices::Detail& GridWindow::detail() {
    if (!detailWritten_) {
        detailWritten_ = true;
        // The list of the last tick, by its name: the lists may have been saved since.
        const prices::PriceList* list =
            prices::listNamed(prices_.priceLists(), prices::ListKind::Log, detail_.inForce);
        detail_.rows =
            list != nullptr ? prices::detailRows(*list, priced_) : std::vector<prices::DetailRow>{};
    }
    return detail_;
}

void GridWindow::priceByList(const prices::PriceList& list) {
    std::vector<prices::Entry> entries;
    for (int g = 0; g < kGroups; ++g) {
        const double length = parseNumber(length_[g]->text());
        for (int r = 1; r <= kRows; ++r) {
            const double n = parseNumber(pieces(r, g).text());
            if (n != 0) {
                entries.push_back({volume::diameterClass(rule_, parseNumber(diameter(r, g).text())),
                                   length, n, parseNumber(volume(r, g).text())});
            }
        }
    }
    priced_ = prices::price(list, entries);
    const prices::Priced& priced = priced_;
    detailWritten_ = false;
    detail_.unpriced = prices::unpricedLine(list, priced.unpriced);
    for (int k = 0; k < 3; ++k) {
        unitPrice_[k]->setText(u"");
        classAmount_[k]->setText(u"");
    }
    classAmount_[3]->setText(plainText(priced.amount));
    gapLine_->setText(prices::statusLine(gaps_, detail_.unpriced));
}

void GridWindow::writePresets(int group, bool highRange) {
    for (int r = 1; r <= kRows; ++r) {
        diameter(r, group).setText(text::intText(volume::presetDiameter(rule_, r, highRange)));
    }
}

// A new rule brings its classes to the groups not tallied yet; a diameter that has pieces
// beside it is the scaler's and stays.
void GridWindow::presetsForRule() {
    for (int g = 0; g < kGroups; ++g) {
        bool tallied = false;
        for (Control* p : column(g, GridColumn::Pieces)) {
            tallied = tallied || !p->text().empty();
        }
        if (!tallied) {
            writePresets(g, twoLengthLayout() && (g == 1 || g == 3));
        }
    }
}

// The two switches mirror each other step for step.
void GridWindow::showLayout(bool twoLengths) {
    for (int g = 0; g < 4; ++g) {
        pieces_[g]->setVisible(!twoLengths);
    }
    for (int g = 0; g < 4; ++g) {
        volumes_[g]->setVisible(!twoLengths);
    }
    pieces_[4]->setVisible(twoLengths);
    pieces_[5]->setVisible(twoLengths);
    volumes_[4]->setVisible(twoLengths);
    volumes_[5]->setVisible(twoLengths);
    form_.control(u"Label6").setVisible(!twoLengths);
    form_.control(u"Label10", 0).setVisible(!twoLengths);
    if (twoLengths) {
        label20_->setVisible(true);
        label19_->setVisible(false);
    } else {
        label19_->setVisible(true);
        label20_->setVisible(false);
    }
    length_[1]->setVisible(!twoLengths);
    length_[3]->setVisible(!twoLengths);
    writePresets(1, twoLengths);
    writePresets(3, twoLengths);
}

void GridWindow::switchToTwoLengths() {
    showLayout(true);
}

void GridWindow::switchToFourLengths() {
    showLayout(false);
}

void GridWindow::clearTally() {
    auto empty = [this](int group, GridColumn c) {
        for (Control* field : column(group, c)) {
            field->setText(u"");
        }
    };
    writePresets(0, false);
    empty(0, GridColumn::Pieces);
    empty(0, GridColumn::Volume);
    empty(1, GridColumn::Volume);
    empty(1, GridColumn::Pieces);
    form_.control(u"Text17").setText(u"");
    writePresets(2, false);
    empty(2, GridColumn::Pieces);
    empty(2, GridColumn::Volume);
    empty(3, GridColumn::Pieces);
    empty(3, GridColumn::Volume);
    if (label19_->visible()) {
        writePresets(1, false);
        writePresets(3, false);
    }
    if (label20_->visible()) {
        writePresets(1, true);
        writePresets(3, true);
    }
}

} // namespace logora::grid
