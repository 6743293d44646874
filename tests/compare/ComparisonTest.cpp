// SPDX-License-Identifier: GPL-3.0-or-later
#include "compare/Comparison.hpp"

#include "../TempFolder.hpp"
#include "../export/RecordingPrompts.hpp"
#include "../export/RecordingSheet.hpp"
#include "grid/GridWindow.hpp"
#include "list/ListWindow.hpp"
#include "text/NumberText.hpp"

#include <gtest/gtest.h>

#include <fstream>

using namespace logora;
using compare::Figures;
using volume::Rule;

namespace {

struct Prices : prices::PriceSource {
    std::u16string priceText(int k) override { return k == 0 ? u"500" : k == 1 ? u"800" : u"1200"; }
};

double figure(const ui::Form& f, std::u16string_view name, int e) {
    return text::parseNumber(f.control(name, e).text());
}

void tallyGrid(grid::GridWindow& w) {
    w.lengthField(0).setText(u"4");
    w.lengthField(2).setText(u"6.2");
    w.pieces(1, 0).setText(u"7");  // 4 cm
    w.pieces(6, 0).setText(u"12"); // 14 cm
    w.diameter(2, 2).setText(u"31");
    w.pieces(2, 2).setText(u"3");
}

// Each rule's column is what the calculator shows when that rule is chosen, in both layouts,
// and the groups add up to the total.
TEST(Comparison, EachRulesFiguresAreThatRulesOwnTotals) {
    for (bool twoLengths : {false, true}) {
        for (Rule chosen : volume::kRules) {
            Prices prices;
            volume::FixedRule rule(chosen);
            grid::GridWindow live(prices, rule);
            if (twoLengths) {
                live.switchToTwoLengths();
            }
            tallyGrid(live);
            live.tick();
            live.tick(); // the pair lengths follow one tick behind
            compare::Comparison comparison(prices);
            const compare::Table& t = comparison.of(live);
            ASSERT_EQ(t.rows.size(), 2u);
            for (std::size_t k = 0; k < compare::kRuleCount; ++k) {
                volume::FixedRule own(volume::kRules[k]);
                grid::GridWindow alone(prices, own);
                if (twoLengths) {
                    alone.switchToTwoLengths();
                }
                tallyGrid(alone);
                alone.tick();
                alone.tick();
                const ui::Form& f = alone.form();
                EXPECT_EQ(t.total.byRule[k],
                          (Figures{figure(f, u"Text16", 3), figure(f, u"Text18", 3),
                                   figure(f, u"Text28", 3)}));
                EXPECT_NEAR(t.rows[0].byRule[k].volume + t.rows[1].byRule[k].volume,
                            t.total.byRule[k].volume, 1e-9);
                EXPECT_NEAR(t.rows[0].byRule[k].amount + t.rows[1].byRule[k].amount,
                            t.total.byRule[k].amount, 0.011); // classes round their own
            }
            const auto texts = compare::rowTexts(t, t.total);
            EXPECT_EQ(texts.size(), compare::columns().size());
            EXPECT_EQ(texts[4 + 3 * static_cast<std::size_t>(chosen)], u"所选");
        }
    }
}

TEST(Comparison, ListLinesUnderEveryRuleAndTheGapInPerCent) {
    list::ListWindow live;
    auto& f = live.form();
    for (auto [name, value] :
         {std::pair{u"Text1", u"4"}, {u"Text2", u"30"}, {u"Text3", u"10"}, {u"Text5", u"1000"}}) {
        f.control(name, 3).setText(value);
    }
    live.tick();
    Prices prices;
    compare::Comparison comparison(prices);
    const compare::Table& t = comparison.of(live);
    ASSERT_EQ(t.rows.size(), 1u);
    // 国标 0.344, JAS 0.360, Brereton 0.283, ГОСТ 2708-75 0.33 a log of 30 cm × 4 m.
    const double volumes[] = {3.44, 3.6, 2.83, 3.3};
    static_assert(std::size(volumes) == compare::kRuleCount);
    for (std::size_t k = 0; k < compare::kRuleCount; ++k) {
        EXPECT_NEAR(t.total.byRule[k].volume, volumes[k], 1e-9);
        EXPECT_NEAR(t.rows[0].byRule[k].amount, volumes[k] * 1000, 1e-6);
    }
    EXPECT_EQ(compare::rowTexts(t, t.total)[7], u"+0.1600 (+4.65%)");
    EXPECT_EQ(compare::rowTexts(t, t.total)[10], u"-0.6100 (-17.73%)");
    EXPECT_EQ(compare::rowTexts(t, t.total)[13], u"-0.1400 (-4.07%)");
}

TEST(Comparison, ExportsAsASmallWorkbookBesideTheBills) {
    const auto dir = logora::testing::makeTempFolder("logora-compare");
    std::filesystem::create_directories(dir / "templates");
    std::ofstream(dir / "templates" / u8"账单汇总.xls") << "blank";
    exporting::BillFolder bills(dir / "bills", dir / "templates");
    logora::testing::RecordingSheet sheet;
    logora::testing::RecordingPrompts prompts;
    Prices prices;
    grid::GridWindow live(prices);
    tallyGrid(live);
    live.tick();
    compare::Comparison comparison(prices);
    ASSERT_TRUE(compare::Comparison::exportTo(comparison.of(live), sheet, bills, prompts));
    EXPECT_EQ(sheet.calls.at(2), "sheet 汇总");
    EXPECT_EQ(std::get<2>(sheet.cells.at(0)).text, u"标准对照");
    // Title, what it is, 14 headings, then the two groups and the total, 14 cells each.
    EXPECT_EQ(sheet.cells.size(), 2u + 14u + 3u * 14u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "bills" / u8"标准对照"),
                            std::filesystem::directory_iterator()),
              1);
    std::filesystem::remove_all(dir);
}

} // namespace
