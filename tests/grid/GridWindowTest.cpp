// SPDX-License-Identifier: GPL-3.0-or-later
#include "grid/GridWindow.hpp"

#include "text/NumberText.hpp"
#include "volume/LogVolume.hpp"

#include <tuple>

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
    void pieces(int r, int g, std::u16string_view n) { w.pieces(r, g).setText(n); }
    std::u16string volume(int r, int g) { return w.volume(r, g).text(); }
};

TEST_F(Grid, StartsWithPresetsLengthsAndEmptyVolumes) {
    EXPECT_EQ(t(u"Text23"), u"4");
    EXPECT_EQ(t(u"Text15"), u"");
    EXPECT_EQ(t(u"Text26"), u"5");
    EXPECT_EQ(t(u"Text21"), u"");
    for (int r = 1; r <= 14; ++r) {
        for (int g = 0; g < 4; ++g) {
            EXPECT_EQ(w.diameter(r, g).text(), text::plainText(2 * r + 2));
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
    w.diameter(9, 0).setText(u"20");
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
    w.volume(3, 1).setText(u"9.9999");
    w.tick();
    EXPECT_EQ(w.volume(3, 1).text(), u"");
}

TEST_F(Grid, SmallestVolumeShowsInEveryCellTheTopRowIncluded) {
    // 4 cm, 1 piece, 0.1 m gives 0.0001 m3: shown and counted everywhere.
    for (std::u16string_view len : {u"Text23", u"Text15", u"Text26", u"Text21"}) {
        f(len).setText(u"0.1");
    }
    for (int g = 0; g < 4; ++g) {
        w.diameter(1, g).setText(u"4");
        w.diameter(2, g).setText(u"4");
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
    w.volume(7, 0).setText(u"0.0000");
    EXPECT_EQ(w.volume(7, 0).text(), u"");
    w.volume(7, 3).setText(u"-1");
    EXPECT_EQ(w.volume(7, 3).text(), u"");
    w.volume(7, 2).setText(u"0.0123");
    EXPECT_EQ(w.volume(7, 2).text(), u"0.0123");
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
        {u"8", u"8.00"},       {u"", u"0.00"},    {u"12.5", u"12.50"},
        {u"12.125", u"12.13"}, {u"abc", u"0.00"}, {u"550\r\n", u"550.00"}};
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
    EXPECT_EQ(w.volume(1, 0).text(), u"溢出");
}

} // namespace

namespace {

// Row r (1..14) of a group holds diameter 2r + 2 in the low range, 2r + 30 in the high one.
TEST_F(Grid, SwitchingLayoutsRelabelsGroupsOneAndThreeOnly) {
    pieces(1, 1, u"2");
    w.diameter(2, 0).setText(u"5"); // overtyped in group 0: a switch leaves it
    w.form().click(u"Label19");
    EXPECT_TRUE(w.twoLengthLayout());
    EXPECT_EQ(w.diameter(1, 1).text(), u"32");
    EXPECT_EQ(w.diameter(14, 3).text(), u"58");
    EXPECT_EQ(w.diameter(2, 0).text(), u"5");
    EXPECT_EQ(w.pieces(1, 1).text(), u"2"); // pieces stay in their cells
    for (auto [name, e, shown] : {std::tuple{u"Text29", 0, false},
                                  {u"Text30", 3, false},
                                  {u"Text29", 4, true},
                                  {u"Text30", 5, true},
                                  {u"Text15", -1, false},
                                  {u"Text21", -1, false},
                                  {u"Label6", -1, false},
                                  {u"Label10", 0, false},
                                  {u"Label10", 2, true},
                                  {u"Label19", -1, false}}) {
        EXPECT_EQ(f(name, e).visible(), shown) << toUtf8(name) << e;
    }
    // Group 1 row 1 is now a 32 cm log at the length of Text23 (4 m), after the mirror tick.
    w.tick();
    w.tick();
    EXPECT_EQ(volume(1, 1), volume::CaiJiJiSuan(u"32", u"2", u"4"));
    w.form().click(u"Label20");
    EXPECT_FALSE(w.twoLengthLayout());
    EXPECT_EQ(w.diameter(1, 1).text(), u"4");
    EXPECT_EQ(w.diameter(14, 3).text(), u"30");
    EXPECT_TRUE(f(u"Text15").visible());
    EXPECT_TRUE(f(u"Text29", 0).visible());
    EXPECT_FALSE(f(u"Text29", 4).visible());
}

TEST_F(Grid, MirroredLengthsFollowOneTickLate) {
    w.switchToTwoLengths();
    f(u"Text23").setText(u"6");
    pieces(1, 0, u"1");
    pieces(1, 1, u"1");
    w.tick();
    EXPECT_EQ(t(u"Text15"), u"6");
    EXPECT_EQ(volume(1, 0), volume::CaiJiJiSuan(u"4", u"1", u"6"));
    EXPECT_EQ(volume(1, 1), u""); // still computed with the old empty Text15
    w.tick();
    EXPECT_EQ(volume(1, 1), volume::CaiJiJiSuan(u"32", u"1", u"6"));
    f(u"Text26").setText(u"4.50");
    f(u"Text23").setText(u"");
    w.tick();
    EXPECT_EQ(t(u"Text21"), u"4.5");
    EXPECT_EQ(t(u"Text15"), u"0");
    w.switchToFourLengths();
    EXPECT_EQ(t(u"Text15"), u"0"); // the copies stay until the user types new lengths
    EXPECT_EQ(t(u"Text21"), u"4.5");
}

TEST_F(Grid, PairTotalsAndGroupTotalsByLayout) {
    pieces(7, 0, u"4"); // 16 cm
    pieces(7, 1, u"3"); // 16 cm, or 44 cm in the two-length layout
    pieces(7, 3, u"2.5");
    f(u"Text15").setText(u"4");
    f(u"Text21").setText(u"4");
    w.tick();
    EXPECT_EQ(t(u"Text29", 0), u"4");
    EXPECT_EQ(t(u"Text29", 1), u"3");
    EXPECT_EQ(t(u"Text29", 2), u"");
    EXPECT_EQ(t(u"Text29", 3), u"2.5");
    EXPECT_EQ(t(u"Text29", 4), u"");
    EXPECT_EQ(t(u"Text16", 1), u"9.5");
    w.switchToTwoLengths();
    w.tick();
    EXPECT_EQ(t(u"Text29", 4), u"7");
    EXPECT_EQ(t(u"Text29", 5), u"2.5");
    const double pair = text::parseNumber(volume(7, 0)) + text::parseNumber(volume(7, 1));
    EXPECT_EQ(t(u"Text30", 4), text::patternText(pair, text::Pattern::Four));
    // The per-group totals keep their last texts while hidden.
    EXPECT_EQ(t(u"Text29", 0), u"4");
    for (int e : {6, 7}) {
        EXPECT_EQ(t(u"Text29", e), u"");
        EXPECT_EQ(t(u"Text30", e), u"");
    }
}

TEST_F(Grid, PriceClassesByDiameterLimits) {
    // Diameter texts overtyped in group 0; one piece each at 4 m.
    const std::pair<std::u16string, int> cases[] = {
        {u"12", 0}, {u"13", 0}, {u"", 0},     {u"abc", 0}, {u"13.5", 1},
        {u"14", 1}, {u"19", 1}, {u"19.5", 2}, {u"20", 2},  {u"58", 2}};
    for (const auto& [diameter, grade] : cases) {
        grid::GridWindow fresh(prices);
        fresh.diameter(1, 0).setText(diameter);
        fresh.pieces(1, 0).setText(u"1");
        fresh.tick();
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(fresh.form().control(u"Text16", k).text(), k == grade ? u"1" : u"")
                << toUtf8(diameter) << " class " << k;
        }
    }
}

TEST_F(Grid, FourteenCentimetreLogsInBothLayouts) {
    w.diameter(6, 0).setText(u"14");
    pieces(6, 0, u"4");
    w.diameter(6, 3).setText(u"14");
    pieces(6, 3, u"3");
    f(u"Text21").setText(u"4");
    w.tick();
    EXPECT_EQ(t(u"Text16", 1), u"7");
    w.switchToTwoLengths();
    w.diameter(6, 3).setText(u"14");
    w.tick();
    EXPECT_EQ(t(u"Text16", 1), u"7");
}

TEST_F(Grid, AmountsUseTheDisplayedVolumeAndPrice) {
    prices.texts[1] = u"550";
    // 14 cm at 2 m is 0.036 m3 a piece: 34 pieces and 0.2777 of a piece make 1.2340.
    w.diameter(1, 0).setText(u"14");
    f(u"Text23").setText(u"2");
    pieces(1, 0, u"34"); // 1.2240
    w.diameter(2, 0).setText(u"14");
    w.pieces(2, 0).setText(u"0.2777"); // 0.036 x 0.2777 = 0.0100 (rounded)
    w.tick();
    EXPECT_EQ(t(u"Text18", 1), u"1.2340");
    EXPECT_EQ(t(u"Text19", 1), u"550.00");
    EXPECT_EQ(t(u"Text28", 1), u"678.70");
    EXPECT_EQ(t(u"Text28", 3), u"678.7");
    EXPECT_EQ(t(u"Text18", 3), u"1.2340");
    // A price of 12.125 shows and prices as 12.13.
    prices.texts[1] = u"12.125";
    w.tick();
    EXPECT_EQ(t(u"Text19", 1), u"12.13");
    EXPECT_EQ(t(u"Text28", 1), u"14.97"); // 1.2340 x 12.13 = 14.96842
}

TEST_F(Grid, GrandTotalsReadTheTextsAfterHiding) {
    pieces(1, 0, u"0.5"); // a class with half a piece shows none and drops out of the total
    pieces(6, 0, u"3");   // 14 cm
    w.tick();
    EXPECT_EQ(t(u"Text16", 0), u"");
    EXPECT_EQ(t(u"Text16", 1), u"3");
    EXPECT_EQ(t(u"Text16", 3), u"3");
    EXPECT_EQ(t(u"Text29", 0), u"3.5"); // the group total still counts it
}

TEST_F(Grid, EmptyGridShowsOnlyZeroPrices) {
    w.tick();
    for (std::u16string_view name : {u"Text16", u"Text18", u"Text28"}) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_EQ(t(name, k), u"") << toUtf8(name) << k;
        }
    }
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(t(u"Text19", k), u"0.00");
    }
    for (int e = 0; e < 8; ++e) {
        EXPECT_EQ(t(u"Text29", e), u"");
        EXPECT_EQ(t(u"Text30", e), u"");
    }
    EXPECT_GT(prices.reads, 0);
}

TEST_F(Grid, ClearKeepsLengthsCaptionsAndPricesAndRestoresPresets) {
    w.diameter(2, 0).setText(u"5");
    pieces(3, 2, u"7");
    f(u"Text17").setText(u"买方");
    f(u"Text20").setText(u"卖方");
    f(u"Combo4").setText(u"单位:");
    f(u"Text23").setText(u"6");
    w.tick();
    w.switchToTwoLengths();
    w.diameter(5, 1).setText(u"99");
    w.form().click(u"Command4");
    EXPECT_EQ(w.diameter(2, 0).text(), u"6");
    EXPECT_EQ(w.diameter(5, 1).text(), u"40"); // high range kept in the two-length layout
    EXPECT_EQ(w.diameter(14, 3).text(), u"58");
    EXPECT_EQ(w.pieces(3, 2).text(), u"");
    EXPECT_EQ(t(u"Text17"), u"");
    EXPECT_EQ(t(u"Text20"), u"卖方");
    EXPECT_EQ(t(u"Combo4"), u"单位:");
    EXPECT_EQ(t(u"Text23"), u"6");
    EXPECT_TRUE(w.twoLengthLayout());
    w.tick();
    EXPECT_EQ(t(u"Text29", 4), u"");
}

} // namespace

// One tally, 5 logs of 14 cm and 2 of 30 cm at 6.2 m, under each rule: cells, totals, presets.
TEST(GridRules, TheChooserMeasuresTheTallyByItsRule) {
    struct Case {
        volume::Rule rule;
        const char16_t *small, *large, *total, *firstPreset;
    };
    const Case cases[] = {
        {volume::Rule::Gb, u"0.7450", u"1.1420", u"1.8870", u"4"},  // 0.149, 0.571 a log
        {volume::Rule::Jas, u"0.7000", u"1.1920", u"1.8920", u"6"}, // (14 + 1)², (30 + 1)² · 6.2
        {volume::Rule::Brereton, u"0.4750", u"0.8760", u"1.3510", u"30"},
        {volume::Rule::Gost, u"0.6350", u"1.0800", u"1.7150", u"4"}, // 0.127, 0.54 printed
    };
    for (const Case& c : cases) {
        FixedPrices prices;
        volume::FixedRule rule(c.rule);
        grid::GridWindow w(prices, rule);
        w.lengthField(2).setText(u"6.2");
        w.tick(); // the rule's presets where nothing is tallied yet
        EXPECT_EQ(w.diameter(1, 0).text(), c.firstPreset);
        w.diameter(1, 2).setText(u"14");
        w.pieces(1, 2).setText(u"5");
        w.diameter(2, 2).setText(u"30");
        w.pieces(2, 2).setText(u"2");
        w.tick();
        EXPECT_EQ(w.volume(1, 2).text(), c.small) << toUtf8(volume::ruleName(c.rule));
        EXPECT_EQ(w.volume(2, 2).text(), c.large);
        EXPECT_EQ(w.form().control(u"Text18", 3).text(), c.total);
        EXPECT_EQ(w.form().control(u"Combo6").text(), volume::ruleName(c.rule));
    }
}

// Under ГОСТ 2708-75 an entry off the table keeps an empty volume, and the status line names
// the first such entry and how many there are, until they are mended.
TEST(GridRules, EntriesOffTheTableAreNamedOnTheStatusLine) {
    FixedPrices prices;
    volume::FixedRule rule(volume::Rule::Gost);
    grid::GridWindow w(prices, rule);
    ui::Control& line = w.form().control(u"Label22");
    w.lengthField(0).setText(u"14");
    w.pieces(1, 0).setText(u"3"); // 4 cm
    w.pieces(3, 0).setText(u"1"); // 8 cm
    w.tick();
    EXPECT_EQ(w.volume(1, 0).text(), u"");
    EXPECT_EQ(line.text(), u"2处未计材积：径级4 长14米超出ГОСТ 2708-75材积表");
    w.lengthField(0).setText(u"4");
    w.tick();
    EXPECT_EQ(line.text(), u"");
    EXPECT_EQ(w.volume(3, 0).text(), u"0.0260");
}

// Species 樟子松 and buyer 东港木业: the list agreed for them prices the tally band by band,
// the fees follow, an entry in no band is named; picked by hand, the grade prices come back.
TEST(GridPriceLists, TheCustomersListPricesTheTallyBandByBand) {
    struct Lists : FixedPrices {
        std::vector<prices::PriceList> lists;
        std::span<const prices::PriceList> priceLists() override { return lists; }
    } source;
    source.texts[0] = u"500";
    prices::PriceList l;
    l.species = u"樟子松";
    l.party = u"东港木业";
    l.bands = {{4, 12}, {14, 18}};
    l.lengths = {{2, 4}, {4.1, 6}};
    l.cells = {{800}, {850}, {900}, {40, prices::PriceUnit::PerPiece}};
    l.fees = {{u"码费", 20, prices::FeeUnit::PerCubicMetre}};
    source.lists = {l};
    grid::GridWindow w(source);
    auto& f = w.form();
    f.control(u"Text27").setText(u"樟子松");
    f.control(u"Text17").setText(u" 东港木业 ");
    w.lengthField(0).setText(u"4");
    w.lengthField(2).setText(u"6");
    w.pieces(1, 0).setText(u"10"); // 4 cm × 4 m
    w.pieces(6, 2).setText(u"2");  // 14 cm × 6 m: 40 a piece
    w.pieces(9, 2).setText(u"1");  // 20 cm: no band
    w.tick();
    EXPECT_EQ(f.control(u"Label23").text(), u"樟子松 · 东港木业");
    const auto& rows = w.detail().rows;
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (prices::DetailRow{u"径级4-12 长2-4米", u"10", w.volume(1, 0).text(),
                                          u"800元/立方米", rows[0].amount}));
    EXPECT_EQ(rows[1].price, u"40元/根");
    EXPECT_EQ(rows[1].amount, u"80.00");
    EXPECT_EQ(rows[2].label, u"码费");
    EXPECT_EQ(f.control(u"Text28", 3).text(), text::plainText(text::parseNumber(rows[3].amount)));
    EXPECT_EQ(f.control(u"Label22").text(), u"无价：径级20 长6米不在价格表“樟子松 · 东港木业”里");
    EXPECT_EQ(f.control(u"Text19", 0).text(), u"");

    w.pickList(prices::kDefaultPricesName);
    w.tick();
    EXPECT_EQ(f.control(u"Label23").text(), prices::kDefaultPricesName);
    EXPECT_EQ(f.control(u"Text19", 0).text(), u"500.00");
    EXPECT_EQ(f.control(u"Label22").text(), u"");
    EXPECT_TRUE(w.detail().rows.empty());
}
