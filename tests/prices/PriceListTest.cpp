// SPDX-License-Identifier: GPL-3.0-or-later
#include "prices/PriceList.hpp"
#include "prices/PriceDetail.hpp"
#include "prices/PriceListText.hpp"

#include "text/NumberText.hpp"
#include "volume/Rules.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

using namespace logora;
using namespace logora::prices;

namespace {

constexpr double kOpen = std::numeric_limits<double>::infinity();

PriceList list(std::u16string species, std::u16string party, ListKind kind = ListKind::Log) {
    PriceList l;
    l.species = std::move(species);
    l.party = std::move(party);
    l.kind = kind;
    l.bands = {{6, 12}};
    l.cells = {{PriceCell{500}}};
    return l;
}

// 樟子松 for 东港木业: three diameter bands by three length bands, a piece price for the big
// short logs, a gap at 20- cm × 2-3.9 m, and a fee of each kind.
PriceList dongGang() {
    PriceList l = list(u"樟子松", u"东港木业");
    l.bands = {{6, 12}, {14, 18}, {20, kOpen}};
    l.lengths = {{2, 3.9}, {4, 5.9}, {6, kOpen}};
    l.cells = {{800}, {850}, {900}, {900}, {950}, {1000}, {}, {60, PriceUnit::PerPiece}, {1100}};
    l.fees = {{u"码费", 20, FeeUnit::PerCubicMetre},
              {u"检尺费", 0.5, FeeUnit::PerPiece},
              {u"装车费", 100, FeeUnit::PerBill}};
    return l;
}

TEST(PriceList, TheSpeciesAndPartysListWinsThenTheSpeciesAlone) {
    const std::vector<PriceList> lists = {
        list(u"樟子松", u""), list(u"樟子松", u"东港木业"), list(u"樟子松", u"青山林场"),
        list(u"落叶松", u"东港木业"), list(u"樟子松", u"", ListKind::Sawn)};
    struct Case {
        const char16_t* species;
        std::u16string buyer, seller;
        ListKind kind;
        const char16_t* wins; // nullptr: the three grade prices
    } cases[] = {
        {u"樟子松", u"东港木业", u"", ListKind::Log, u"樟子松 · 东港木业"},
        {u" 樟子松 ", u"", u" 青山林场\u3000", ListKind::Log, u"樟子松 · 青山林场"}, // 出货单位
        {u"樟子松", u"别家", u"", ListKind::Log, u"樟子松"},
        {u"樟子松", u"东港木业", u"", ListKind::Sawn, u"樟子松"},
        {u"落叶松", u"别家", u"", ListKind::Log, nullptr},
        {u"", u"东港木业", u"", ListKind::Log, nullptr},
        {u"樟子松 A级", u"东港木业", u"", ListKind::Log, nullptr}, // a grade is part of the key
    };
    for (const Case& c : cases) {
        const std::u16string parties[] = {c.buyer, c.seller};
        const PriceList* won = chooseList(lists, c.kind, c.species, parties);
        EXPECT_EQ(won != nullptr ? won->name() : u"", c.wins != nullptr ? c.wins : u"")
            << text::toUtf8(c.species) << " / " << text::toUtf8(c.buyer);
    }
}

TEST(PriceList, EachEntryIsPricedByItsCellAndTheFeesFollow) {
    const PriceList l = dongGang();
    const Entry entries[] = {
        {12, 3.9, 10, 0.58}, // on both upper edges: 800 a m³
        {14, 4, 5, 0.745},   // on both lower edges: 950
        {14, 4, 5, 0.745},   // the same cell adds up
        {20, 4.5, 3, 0.9},   // 60 a piece
        {22, 6, 2, 1.0},     // open ends: 1100
        {20, 2.5, 4, 0.6},   // the gap: no price
        {13, 4, 1, 0.07},    // between bands: no price
        {22, 1.5, 1, 0.2},   // under every length band: no price
        {30, 8, 0, 0},       // no pieces: nothing
    };
    const Priced p = price(l, entries);
    ASSERT_EQ(p.lines.size(), 4u);
    const struct {
        std::size_t row, column;
        double pieces, volume, amount;
    } lines[] = {
        {0, 0, 10, 0.58, 464}, {1, 1, 10, 1.49, 1415.5}, {2, 1, 3, 0.9, 180}, {2, 2, 2, 1.0, 1100}};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(p.lines[i].row, lines[i].row);
        EXPECT_EQ(p.lines[i].column, lines[i].column);
        EXPECT_DOUBLE_EQ(p.lines[i].pieces, lines[i].pieces);
        EXPECT_DOUBLE_EQ(p.lines[i].volume, lines[i].volume);
        EXPECT_DOUBLE_EQ(p.lines[i].amount, lines[i].amount) << i;
    }
    // Fees on the whole truck, priced or not: 31 pieces, 4.84 m³.
    ASSERT_EQ(p.fees.size(), 3u);
    EXPECT_DOUBLE_EQ(p.fees[0].amount, 96.8);
    EXPECT_DOUBLE_EQ(p.fees[1].amount, 15.5);
    EXPECT_DOUBLE_EQ(p.fees[2].amount, 100);
    EXPECT_DOUBLE_EQ(p.amount, 3371.8); // 464 + 1415.5 + 180 + 1100 + 96.8 + 15.5 + 100
    EXPECT_EQ(p.unpriced, (std::vector<Unpriced>{{20, 2.5}, {13, 4}, {22, 1.5}}));
    EXPECT_EQ(unpricedLine(l, p.unpriced),
              u"3处无价：径级20 长2.5米不在价格表“樟子松 · 东港木业”里");
    // An empty tally owes no fee, not even the bill's.
    EXPECT_EQ(price(l, {}).amount, 0);
}

TEST(PriceList, SavingRefusesWhatNoYardMeans) {
    struct Case {
        const char* what;
        std::function<void(std::vector<PriceList>&)> spoil;
        const char16_t* says;
    } cases[] = {
        {"a gap is allowed",
         [](auto& l) {
             l[0].bands[2] = {22, kOpen};
         },
         u""},
        {"overlapping bands",
         [](auto& l) {
             l[0].bands[1] = {12, 18};
         },
         u"价格表“樟子松 · 东港木业”的径级第2行“12-18”与第1行“6-12”重叠，请分开"},
        {"overlapping lengths",
         [](auto& l) {
             l[0].lengths[2] = {5.9, kOpen};
         },
         u"价格表“樟子松 · 东港木业”的材长第3列“5.9-”与第2列“4-5.9”重叠，请分开"},
        {"a band upside down",
         [](auto& l) {
             l[0].bands[0] = {12, 6};
         },
         u"价格表“樟子松 · 东港木业”的径级第1行“12-6”不合理：起点应不小于0，且不大于终点"},
        {"a negative price", [](auto& l) { l[0].cells[4].price = -5; },
         u"价格表“樟子松 · 东港木业”中径级14-18、材长4-5.9的单价-5不合理：应在0到1000000元之间"},
        {"an absurd price", [](auto& l) { l[0].cells[0].price = 1000001; },
         u"价格表“樟子松 · "
         u"东港木业”中径级6-12、材长2-3.9的单价1000001不合理：应在0到1000000元之间"},
        {"an absurd fee", [](auto& l) { l[0].fees[0].amount = 2e6; },
         u"价格表“樟子松 · 东港木业”的码费2000000不合理：应在0到1000000元之间"},
        {"two lists of one key", [](auto& l) { l.push_back(list(u" 樟子松", u"东港木业 ")); },
         u"价格表“樟子松 · 东港木业”有两张：树种和单位相同的价格表只能有一张"},
        {"no species", [](auto& l) { l[0].species.assign(2, u' '); }, u"第1张价格表没有填树种"},
    };
    for (const Case& c : cases) {
        std::vector<PriceList> lists = {dongGang()};
        c.spoil(lists);
        EXPECT_EQ(problemOf(lists), c.says) << c.what;
    }
}

TEST(PriceList, TextRoundTripsThroughTheClipboardAndCsv) {
    PriceList sawn = list(u"辐射松 A级, \"新西兰\"", u"", ListKind::Sawn);
    sawn.bands = {{20, 30}, {40, 50}};
    sawn.cells = {{1800}, {}};
    const std::vector<PriceList> lists = {dongGang(), sawn};
    for (char16_t separator : {u'\t', u','}) {
        const ParsedLists back = parseLists(listsText(lists, separator), separator);
        EXPECT_EQ(back.problem, u"");
        EXPECT_EQ(back.lists, lists) << (separator == u'\t' ? "tab" : "comma");
    }
    // As a workbook puts it on the clipboard: blanks around cells, a trailing empty cell.
    const ParsedLists pasted = parseLists(u"价格表\t 白桦 \t\t原木\n径级\t\n 8-16 \t 700 "
                                          u"\t\n18-\t9元/根\n费用\t码费\t15\t元/立方米\n",
                                          u'\t');
    ASSERT_EQ(pasted.problem, u"");
    ASSERT_EQ(pasted.lists.size(), 1u);
    EXPECT_EQ(pasted.lists[0].species, u"白桦");
    EXPECT_EQ(pasted.lists[0].cells, (std::vector<PriceCell>{{700}, {9, PriceUnit::PerPiece}}));

    struct Bad {
        const char16_t* text;
        const char16_t* says;
    } bad[] = {
        {u"径级\t4-5.9\n", u"第1行：价格表应以“价格表”一行开始"},
        {u"价格表\t白桦\n径级\t4米\n", u"第2行：材长档“4米”看不懂，应写成“4-5.9”“6-”或“4”"},
        {u"价格表\t白桦\n径级\n8-16\t七百\n", u"第3行：单价“七百”看不懂，应写成“800”或“12元/根”"},
        {u"价格表\t白桦\n径级\n8-16\t700\t800\n", u"第3行：这一行的单价比材长档多"},
        {u"价格表\t白桦\t\t杂木\n", u"第1行：类别应为“原木”或“锯材”，这里是“杂木”"},
    };
    for (const Bad& b : bad) {
        const ParsedLists p = parseLists(b.text, u'\t');
        EXPECT_EQ(p.problem, b.says);
        EXPECT_TRUE(p.lists.empty());
    }
}

} // namespace

namespace {

// The manual's worked example, as the grid works it out: national volumes, the list's cells
// and the fees.
TEST(PriceList, TheManualsExampleIsWhatTheCoreWorksOut) {
    const ParsedLists parsed =
        parseLists(u"价格表\t樟子松\t东港木业\t原木\n径级\t2-3.9\t4-5.9\t6-\n6-12\t600\t650\t700\n"
                   u"14-18\t750\t800\t850\n20-\t900\t950\t1000\n费用\t码费\t20\t元/立方米\n"
                   u"费用\t装车费\t100\t元/单\n",
                   u'\t');
    ASSERT_EQ(parsed.lists.size(), 1u);
    std::vector<Entry> entries;
    for (const auto& [d, l, n] :
         {std::tuple{u"10", u"4", u"20"}, {u"16", u"4", u"12"}, {u"22", u"6", u"5"}}) {
        entries.push_back({text::parseNumber(d), text::parseNumber(l), text::parseNumber(n),
                           text::parseNumber(volume::entryVolume(volume::Rule::Gb, d, n, l))});
    }
    const auto rows = detailRows(parsed.lists[0], price(parsed.lists[0], entries));
    const std::vector<DetailRow> manual = {
        {u"径级6-12 长4-5.9米", u"20", u"0.9000", u"650元/立方米", u"585.00"},
        {u"径级14-18 长4-5.9米", u"12", u"1.2720", u"800元/立方米", u"1017.60"},
        {u"径级20- 长6-米", u"5", u"1.5650", u"1000元/立方米", u"1565.00"},
        {u"码费", {}, {}, u"20元/立方米", u"74.74"},
        {u"装车费", {}, {}, u"100元/单", u"100.00"},
        {u"合计", u"37", u"3.7370", {}, u"3342.34"}};
    EXPECT_EQ(rows, manual);
}

} // namespace
