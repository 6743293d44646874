// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid/GridWindow.hpp"

#include "text/NumberText.hpp"
#include "volume/LogVolume.hpp"

namespace logora::grid {

using text::parseNumber;
using text::Pattern;
using text::patternText;
using text::plainText;
using text::sortsBelow;
using ui::Control;

namespace {

std::u16string rowName(int row) {
    const std::string s = "Text" + std::to_string(row);
    return std::u16string(s.begin(), s.end());
}

std::u16string presetText(int row, bool highRange) {
    const std::string s = std::to_string(highRange ? 2 * row + 30 : 2 * row + 2);
    return std::u16string(s.begin(), s.end());
}

// Empties the listed elements of a summary array that sort below the threshold.
template <std::size_t N>
void hideBelow(const std::array<Control*, N>& fields, int count, std::u16string_view threshold) {
    for (int i = 0; i < count; ++i) {
        if (sortsBelow(fields[i]->text(), threshold)) {
            fields[i]->setText(u"");
        }
    }
}

} // namespace

GridWindow::GridWindow(prices::PriceSource& prices)
    : form_(ui::gridWindowDef()), prices_(prices), label19_(&form_.control(u"Label19")),
      label20_(&form_.control(u"Label20")) {
    for (int r = 1; r <= kRows; ++r) {
        const std::u16string name = rowName(r);
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

    form_.onChange(u"Text29", [this](int) { hideBelow(pieces_, 6, u"1"); });
    form_.onChange(u"Text30", [this](int) { hideBelow(volumes_, 6, u"0.0001"); });
    form_.onChange(u"Text16", [this](int) { hideBelow(classPieces_, 4, u"1"); });
    form_.onChange(u"Text18", [this](int) { hideBelow(classVolume_, 4, u"0.0001"); });
    form_.onChange(u"Text28", [this](int) { hideBelow(classAmount_, 4, u"0.01"); });
    // Unit prices always show two decimals.
    form_.onChange(u"Text19", [this](int) {
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
    for (int index : {2, 5, 8, 11}) {
        Control& volume = *cells_[row - 1][index];
        if (sortsBelow(volume.text(), u"0.0001")) {
            volume.setText(u"");
        }
    }
}

void GridWindow::recalculateCells() {
    for (int g = 0; g < kGroups; ++g) {
        const std::u16string& length = length_[g]->text();
        for (int r = 0; r < kRows; ++r) {
            auto& row = cells_[r];
            row[3 * g + 2]->setText(
                volume::CaiJiJiSuan(row[3 * g]->text(), row[3 * g + 1]->text(), length));
        }
    }
}

void GridWindow::tick() {
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

    auto sum = [this](int a, int b) {
        double total = 0;
        for (const auto& row : cells_) {
            total = total + parseNumber(row[a]->text()) + parseNumber(row[b]->text());
        }
        return total;
    };
    pieces_[4]->setText(plainText(sum(1, 4)));
    pieces_[5]->setText(plainText(sum(7, 10)));
    volumes_[4]->setText(patternText(sum(2, 5), Pattern::Four));
    volumes_[5]->setText(patternText(sum(8, 11), Pattern::Four));
}

void GridWindow::totalsFourLengths() {
    auto sum = [this](int index) {
        double total = 0;
        for (const auto& row : cells_) {
            total += parseNumber(row[index]->text());
        }
        return total;
    };
    auto pieces = [&](int g) { pieces_[g]->setText(plainText(sum(3 * g + 1))); };
    auto volume = [&](int g) { volumes_[g]->setText(patternText(sum(3 * g + 2), Pattern::Four)); };
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
    for (int k = 0; k < 3; ++k) {
        unitPrice_[k]->setText(plainText(parseNumber(prices_.priceText(k))));
    }

    double groupPieces[kGroups][3] = {};
    double groupVolume[kGroups][3] = {};
    for (const auto& row : cells_) {
        for (int g = 0; g < kGroups; ++g) {
            const int grade = prices::PriceGrade(parseNumber(row[3 * g]->text()));
            groupPieces[g][grade] += parseNumber(row[3 * g + 1]->text());
            groupVolume[g][grade] += parseNumber(row[3 * g + 2]->text());
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
    for (int k = 0; k < 3; ++k) {
        classAmount_[k]->setText(
            patternText(shown(classVolume_[k]) * shown(unitPrice_[k]), Pattern::Two));
    }
    classAmount_[3]->setText(
        plainText(shown(classAmount_[0]) + shown(classAmount_[1]) + shown(classAmount_[2])));
}

void GridWindow::writePresets(int index, bool highRange) {
    for (int r = 1; r <= kRows; ++r) {
        cells_[r - 1][index]->setText(presetText(r, highRange));
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
    writePresets(3, twoLengths);
    writePresets(9, twoLengths);
}

void GridWindow::switchToTwoLengths() {
    showLayout(true);
}

void GridWindow::switchToFourLengths() {
    showLayout(false);
}

void GridWindow::clearTally() {
    auto empty = [this](int index) {
        for (auto& row : cells_) {
            row[index]->setText(u"");
        }
    };
    writePresets(0, false);
    empty(1);
    empty(2);
    empty(5);
    empty(4);
    form_.control(u"Text17").setText(u"");
    writePresets(6, false);
    for (int index : {7, 8, 10, 11}) {
        empty(index);
    }
    if (label19_->visible()) {
        writePresets(3, false);
        writePresets(9, false);
    }
    if (label20_->visible()) {
        writePresets(3, true);
        writePresets(9, true);
    }
}

} // namespace logora::grid
