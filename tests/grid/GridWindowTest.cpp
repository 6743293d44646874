#include "grid/GridWindow.hpp"

#include "text/NumberText.hpp"

#include <gtest/gtest.h>

using namespace logora;
using logora::text::toUtf8;

namespace {

struct FixedPrices : prices::PriceSource {
    std::u16string texts[3];
    int reads = 0;
    std::u16string priceText(int k) override {
        ++reads;
        return texts[k];
    }
};

class Grid : public ::testing::Test {
  protected:
    FixedPrices prices;
    grid::GridWindow w{prices};
    ui::Control& f(std::u16string_view name, int e = ui::kNoElement) {
        return w.form().control(name, e);
    }
    std::u16string t(std::u16string_view name, int e = ui::kNoElement) { return f(name, e).text(); }
    // Pieces of row r (1..14) in group g.
    void pieces(int r, int g, std::u16string_view n) { w.cell(r, 3 * g + 1).setText(n); }
    std::u16string volume(int r, int g) { return w.cell(r, 3 * g + 2).text(); }
};

TEST_F(Grid, StartsWithPresetsLengthsAndEmptyVolumes) {
    EXPECT_EQ(t(u"Text23"), u"4");
    EXPECT_EQ(t(u"Text15"), u"");
    EXPECT_EQ(t(u"Text26"), u"5");
    EXPECT_EQ(t(u"Text21"), u"");
    for (int r = 1; r <= 14; ++r) {
        for (int g = 0; g < 4; ++g) {
            EXPECT_EQ(w.cell(r, 3 * g).text(), text::plainText(2 * r + 2));
        }
    }
    w.tick();
    for (int r = 1; r <= 14; ++r) {
        for (int g = 0; g < 4; ++g) {
            EXPECT_EQ(volume(r, g), u"") << r << "," << g;
        }
    }
    EXPECT_EQ(t(u"Combo4"), u"购货单位");
    EXPECT_TRUE(f(u"Label19").visible());
    EXPECT_FALSE(f(u"Label20").visible());
}

TEST_F(Grid, PiecesGiveTheRowVolumeAtTheNextTick) {
    w.cell(9, 0).setText(u"20");
    pieces(9, 0, u"1");
    EXPECT_EQ(volume(9, 0), u"");
    w.tick();
    EXPECT_EQ(volume(9, 0), u"0.1600");
    pieces(5, 0, u"3"); // row 5 holds 12 cm
    w.tick();
    EXPECT_EQ(volume(5, 0), u"0.1860");
}

TEST_F(Grid, ClearingALengthEmptiesThatGroupsVolumes) {
    for (int r = 1; r <= 14; ++r) {
        pieces(r, 0, u"2");
        pieces(r, 2, u"2");
    }
    w.tick();
    EXPECT_NE(volume(14, 0), u"");
    f(u"Text23").setText(u"");
    w.tick();
    for (int r = 1; r <= 14; ++r) {
        EXPECT_EQ(volume(r, 0), u"");
        EXPECT_NE(volume(r, 2), u"");
    }
}

TEST_F(Grid, TypedVolumeIsOverwritten) {
    w.cell(3, 5).setText(u"9.9999");
    w.tick();
    EXPECT_EQ(w.cell(3, 5).text(), u"");
}

TEST_F(Grid, SmallestVolumeShowsInEveryCellTheTopRowIncluded) {
    // 4 cm, 1 piece, 0.1 m gives 0.0001 m3: shown and counted everywhere.
    for (std::u16string_view len : {u"Text23", u"Text15", u"Text26", u"Text21"}) {
        f(len).setText(u"0.1");
    }
    for (int g = 0; g < 4; ++g) {
        w.cell(1, 3 * g).setText(u"4");
        w.cell(2, 3 * g).setText(u"4");
        pieces(1, g, u"1");
        pieces(2, g, u"1");
    }
    w.tick();
    for (int g = 0; g < 4; ++g) {
        EXPECT_EQ(volume(1, g), u"0.0001") << g;
        EXPECT_EQ(volume(2, g), u"0.0001") << g;
    }
    EXPECT_EQ(t(u"Text30", 0), u"0.0002");
}

TEST_F(Grid, RowHidingTestsEveryVolumeCellOfTheRow) {
    // A zero written straight into a volume cell is emptied by any change of its row.
    w.cell(7, 2).setText(u"0.0000");
    EXPECT_EQ(w.cell(7, 2).text(), u"");
    w.cell(7, 11).setText(u"-1");
    EXPECT_EQ(w.cell(7, 11).text(), u"");
    w.cell(7, 8).setText(u"0.0123");
    EXPECT_EQ(w.cell(7, 8).text(), u"0.0123");
}

struct HideCase {
    std::u16string_view name;
    int element;
    std::u16string typed;
    std::u16string shown;
};

TEST_F(Grid, SummaryFieldsHideBelowTheirThresholds) {
    const HideCase cases[] = {
        {u"Text29", 0, u"0", u""},        {u"Text29", 5, u"-2", u""},
        {u"Text29", 1, u"10", u"10"},     {u"Text29", 2, u"0.5", u""},
        {u"Text29", 6, u"0", u"0"},       {u"Text30", 7, u"0.0000", u"0.0000"},
        {u"Text30", 3, u"0.0000", u""},   {u"Text30", 4, u"0.0001", u"0.0001"},
        {u"Text16", 3, u"0.5", u""},      {u"Text16", 2, u"1", u"1"},
        {u"Text18", 0, u"0.0000", u""},   {u"Text28", 3, u"0.00", u""},
        {u"Text28", 1, u"0.01", u"0.01"},
    };
    for (const auto& c : cases) {
        f(c.name, c.element).setText(c.typed);
        EXPECT_EQ(t(c.name, c.element), c.shown) << toUtf8(c.name) << "(" << c.element << ")";
    }
}

TEST_F(Grid, HidingExaminesEveryElementNotOnlyTheChangedOne) {
    // Text29(6) and (7) are never tested; 0..5 are, whenever any element changes.
    f(u"Text29", 6).setText(u"0");
    f(u"Text29", 7).setText(u"5");
    EXPECT_EQ(t(u"Text29", 6), u"0");
}

TEST_F(Grid, UnitPricesAreRewrittenWithTwoDecimals) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"8", u"8.00"}, {u"", u"0.00"}, {u"12.5", u"12.50"}, {u"12.125", u"12.13"},
        {u"abc", u"0.00"}, {u"550\r\n", u"550.00"}};
    for (const auto& [typed, shown] : cases) {
        f(u"Text19", 1).setText(typed);
        EXPECT_EQ(t(u"Text19", 1), shown) << toUtf8(typed);
        EXPECT_EQ(t(u"Text19", 0), u"0.00"); // the other elements are rewritten too
    }
}

TEST_F(Grid, AbsurdInputInEveryFieldNeverCrashes) {
    prices.texts[0] = u"1e999";
    prices.texts[1] = u"-1e308";
    prices.texts[2] = u"9e307";
    for (ui::Control* c : w.form().textFields()) {
        c->setText(u"1e999");
    }
    w.tick();
    w.switchToTwoLengths();
    w.tick();
    for (ui::Control* c : w.form().textFields()) {
        c->setText(u"9e307");
    }
    w.tick();
    w.tick();
    EXPECT_EQ(t(u"Text29", 4), u"溢出");
    EXPECT_EQ(w.cell(1, 2).text(), u"溢出");
}

} // namespace
