// SPDX-License-Identifier: GPL-3.0-or-later
#include "list/ListWindow.hpp"

#include "text/NumberText.hpp"
#include "volume/LogVolume.hpp"

#include <gtest/gtest.h>

using namespace logora;
using logora::text::toUtf8;

namespace {

class List : public ::testing::Test {
  protected:
    list::ListWindow w;
    ui::Control& f(std::u16string_view name, int e = ui::kNoElement) {
        return w.form().control(name, e);
    }
    std::u16string t(std::u16string_view name, int e = ui::kNoElement) { return f(name, e).text(); }
    void row(int r, std::u16string_view length, std::u16string_view diameter,
             std::u16string_view pieces, std::u16string_view price) {
        f(u"Text1", r).setText(length);
        f(u"Text2", r).setText(diameter);
        f(u"Text3", r).setText(pieces);
        f(u"Text5", r).setText(price);
    }
};

struct RowCase {
    std::u16string length, diameter, pieces, price, volume, amount;
};

TEST_F(List, RowsFollowThePiecesAndPriceTexts) {
    const RowCase cases[] = {
        {u"", u"", u"", u"", u"", u""}, // empty row stays empty
        {u"4", u"20", u"1", u"500", u"0.1600", u"80.00"},
        {u"4", u"20", u"0", u"600", u"", u"0.00"}, // no pieces: amount 0.00
        {u"4", u"20", u"", u"600", u"", u"0.00"},
        {u"4", u"20", u"5", u"0.8", u"0.8000", u""}, // price 0.8 sorts below "1"
        {u"", u"", u"3", u"", u"0.0000", u""},       // pieces 3, no size: 0.0000
        {u"4", u"12", u"10", u"10", u"0.6200", u"6.20"},
        {u"4", u"12", u"10", u".9", u"0.6200", u""},
        {u"4", u"12", u"0.5", u"100", u"", u"0.00"}, // 0.5 pieces sort below "1"
        {u"10.5", u"24", u"3", u"1000", u"2.1570", u"2157.00"},
        {u"12", u"6", u"1", u"1000", u"0.1382", u"138.20"}, // thin long pole
    };
    for (const auto& c : cases) {
        list::ListWindow fresh;
        auto& form = fresh.form();
        for (int r : {0, 18}) { // the first row and the last
            form.control(u"Text1", r).setText(c.length);
            form.control(u"Text2", r).setText(c.diameter);
            form.control(u"Text3", r).setText(c.pieces);
            form.control(u"Text5", r).setText(c.price);
        }
        fresh.tick();
        for (int r : {0, 18}) {
            EXPECT_EQ(form.control(u"Text4", r).text(), c.volume)
                << toUtf8(c.pieces) << " row " << r;
            EXPECT_EQ(form.control(u"Text6", r).text(), c.amount)
                << toUtf8(c.price) << " row " << r;
        }
    }
}

TEST_F(List, EveryRowIsComputed) {
    for (int r = 0; r < list::kRows; ++r) {
        row(r, u"4", text::plainText(4 + 2 * r), u"1", u"100");
    }
    w.tick();
    for (int r = 0; r < list::kRows; ++r) {
        EXPECT_EQ(t(u"Text4", r), volume::CaiJiJiSuan(text::plainText(4 + 2 * r), u"1", u"4"));
        EXPECT_NE(t(u"Text6", r), u"") << r;
    }
}

TEST_F(List, AmountUsesTheDisplayedVolume) {
    row(4, u"4", u"12", u"1.99", u"500"); // 0.062 x 1.99 = 0.12338, shown as 0.1234
    w.tick();
    EXPECT_EQ(t(u"Text4", 4), u"0.1234");
    EXPECT_EQ(t(u"Text6", 4), u"61.70"); // not 61.69
}

TEST_F(List, TotalsAndTheirHiding) {
    row(0, u"4", u"20", u"2.5", u"500"); // 0.4000
    row(1, u"4", u"12", u"1", u"500");   // 0.0620
    f(u"Text22", 7).setText(u"650");
    w.tick();
    EXPECT_EQ(t(u"Text22", 5), u"3.5");
    EXPECT_EQ(t(u"Text22", 4), u"0.462");
    EXPECT_EQ(t(u"Text22", 6), u"300.30"); // 650 x 0.462
    EXPECT_EQ(t(u"Text22", 10), u"231.00");
}

TEST_F(List, AveragePriceAmountUsesTheThreeDecimalTotal) {
    row(0, u"4", u"30", u"2", u""); // 0.6880
    row(1, u"6", u"30", u"1", u""); // 0.5490
    row(2, u"4", u"12", u"6", u""); // 0.3720
    f(u"Text22", 7).setText(u"650");
    w.tick();
    EXPECT_EQ(t(u"Text22", 4), u"1.609");
    EXPECT_EQ(t(u"Text22", 6), u"1045.85"); // 650 x 1.609
}

TEST_F(List, SmallTotalsHide) {
    row(0, u"0.1", u"4", u"1", u"0.5"); // 0.0001 m3, price below "1"
    f(u"Text22", 7).setText(u"650");
    w.tick();
    EXPECT_EQ(t(u"Text4", 0), u"0.0001");
    EXPECT_EQ(t(u"Text22", 4), u""); // 0.000 is below "0.001"
    EXPECT_EQ(t(u"Text22", 6), u""); // so is the average-price amount
    EXPECT_EQ(t(u"Text22", 5), u"1");
    row(0, u"4", u"4", u"1", u"15"); // 0.0113 x 15 = 0.17 (graded amount below "1")
    f(u"Text3", 1).setText(u"1");
    f(u"Text5", 1).setText(u"1");
    w.tick();
    EXPECT_EQ(t(u"Text6", 0), u"0.17");
    EXPECT_EQ(t(u"Text22", 10), u"");
}

TEST_F(List, GradedAmountBelowOneYuanIsHidden) {
    f(u"Text22", 10).setText(u"0.70");
    EXPECT_EQ(t(u"Text22", 10), u"");
    f(u"Text22", 10).setText(u"1.00");
    EXPECT_EQ(t(u"Text22", 10), u"1.00");
}

TEST_F(List, AveragePriceBelowOneEmptiesAtOnce) {
    for (std::u16string_view typed : {u"0", u".", u"0.8", u"-5", u" 7"}) {
        f(u"Text22", 7).setText(typed);
        EXPECT_EQ(t(u"Text22", 7), u"") << toUtf8(typed);
    }
    f(u"Text22", 7).setText(u"1");
    EXPECT_EQ(t(u"Text22", 7), u"1");
}

TEST_F(List, TypedComputedFieldsAreReplaced) {
    f(u"Text4", 3).setText(u"9");
    f(u"Text6", 3).setText(u"9");
    f(u"Text22", 5).setText(u"99");
    w.tick();
    EXPECT_EQ(t(u"Text4", 3), u"");
    EXPECT_EQ(t(u"Text6", 3), u"");
    EXPECT_EQ(t(u"Text22", 5), u"");
}

TEST_F(List, ClearEmptiesEveryField) {
    row(5, u"4", u"20", u"3", u"600");
    for (std::u16string_view name : {u"Text27", u"Text23", u"Text29", u"Text28"}) {
        f(name).setText(u"x");
    }
    f(u"Text22", 7).setText(u"650");
    w.tick();
    w.form().click(u"Command1");
    for (ui::Control* c : w.form().textFields()) {
        EXPECT_EQ(c->text(), u"") << toUtf8(c->name()) << "(" << c->element() << ")";
    }
    w.tick();
    for (ui::Control* c : w.form().textFields()) {
        EXPECT_EQ(c->text(), u"") << toUtf8(c->name()) << "(" << c->element() << ")";
    }
}

TEST_F(List, AbsurdInputInEveryFieldNeverCrashes) {
    for (std::u16string_view absurd : {u"1e999", u"9e307", u"-1e999", u"&HFFFFFFFFFFFFFFFFFFFF"}) {
        for (ui::Control* c : w.form().textFields()) {
            c->setText(absurd);
        }
        w.tick();
        w.tick();
    }
    EXPECT_EQ(t(u"Text4", 0), u""); // "-1e999" pieces sort below "1"
    row(0, u"4", u"20", u"1e999", u"1");
    w.tick();
    EXPECT_EQ(t(u"Text4", 0), u"溢出");
}

} // namespace

namespace {

// An empty price takes the list's, marked as looked up; a typed one wins and is never
// overwritten; the list's price goes again when the row has none; fees join the total.
TEST(ListPriceLists, AnEmptyPriceIsLookedUpAndATypedOneWins) {
    struct Lists : prices::PriceSource {
        std::vector<prices::PriceList> lists;
        std::u16string priceText(int) override { return {}; }
        std::span<const prices::PriceList> priceLists() override { return lists; }
    } source;
    prices::PriceList l;
    l.species = u"落叶松";
    l.bands = {{10, 18}, {20, 40}};
    l.lengths = {{4, 4}};
    l.cells = {{700}, {30, prices::PriceUnit::PerPiece}};
    l.fees = {{u"装车费", 50, prices::FeeUnit::PerBill}};
    source.lists = {l};
    list::ListWindow w(volume::nationalRule(), &source);
    auto& f = w.form();
    f.control(u"Text29").setText(u"落叶松");
    const std::u16string rows[4][4] = {
        {u"4", u"14", u"10", u""},   // looked up: 700
        {u"4", u"24", u"2", u""},    // looked up: 30 a piece
        {u"4", u"14", u"5", u"650"}, // typed: wins
        {u"6", u"14", u"1", u""},    // no length band: no price
    };
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 3; ++k) {
            f.control(u"Text" + text::intText(k + 1), r).setText(rows[r][k]);
        }
        f.control(u"Text5", r).setText(rows[r][3]);
    }
    w.tick();
    const struct {
        const char16_t* price;
        bool lookedUp;
        const char16_t* amount;
    } want[] = {{u"700", true, nullptr},
                {u"30元/根", true, u"60.00"},
                {u"650", false, nullptr},
                {u"", false, u""}};
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(f.control(u"Text5", r).text(), want[r].price) << r;
        EXPECT_EQ(f.control(u"Text5", r).lookedUp(), want[r].lookedUp) << r;
        if (want[r].amount != nullptr) {
            EXPECT_EQ(f.control(u"Text6", r).text(), want[r].amount) << r;
        }
    }
    EXPECT_EQ(f.control(u"Label15").text(), u"落叶松");
    EXPECT_EQ(f.control(u"Label13").text(), u"无价：径级14 长6米不在价格表“落叶松”里");
    EXPECT_EQ(w.detail().rows.at(0).amount, u"50.00");
    EXPECT_EQ(text::parseNumber(f.control(u"Text22", 10).text()),
              text::parseNumber(w.detail().rows.back().amount));
    // The row loses its pieces: the looked-up price goes; the typed one stays.
    f.control(u"Text3", 0).setText(u"");
    f.control(u"Text3", 2).setText(u"");
    w.tick();
    EXPECT_EQ(f.control(u"Text5", 0).text(), u"");
    EXPECT_EQ(f.control(u"Text5", 2).text(), u"650");
}

} // namespace
