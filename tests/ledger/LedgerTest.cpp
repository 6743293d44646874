// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/Ledger.hpp"

#include "text/NumberText.hpp"
#include "ui/WindowDef.hpp"

#include <gtest/gtest.h>

#include <random>

namespace logora::ledger {
namespace {

using ui::Calculator;

struct Typed {
    const char16_t* name;
    int element;
    const char16_t* text;
};

TEST(Ledger, TheRecordOfEachCalculatorHoldsItsHeadersLinesAndTotals) {
    struct Case {
        Calculator which;
        ui::WindowDef (*def)();
        std::vector<Typed> typed;
        std::vector<Header> headers; // those checked
        Figures totals;
        std::size_t lines;
        std::size_t classes;
    };
    const Case cases[] = {
        {Calculator::Grid,
         ui::gridWindowDef,
         {{u"Text17", ui::kNoElement, u"青山林场"},
          {u"Text22", ui::kNoElement, u"辽A12345"},
          {u"Combo5", ui::kNoElement, u"出货单位："},
          {u"Text20", ui::kNoElement, u"东港木业"},
          {u"Text1", 1, u"3"},
          {u"Text1", 2, u"0.113"},
          {u"Text2", 4, u"5"},
          {u"Text16", 3, u"8"},
          {u"Text18", 3, u"0.2135"},
          {u"Text28", 3, u"106.75"}},
         {{u"购货单位", u"青山林场"}, {u"车号", u"辽A12345"}, {u"出货单位", u"东港木业"}},
         {8, 2135, 10675},
         2,
         3},
        {Calculator::List,
         ui::listWindowDef,
         {{u"Text27", ui::kNoElement, u"青山林场"},
          {u"Text1", 0, u"4"},
          {u"Text3", 0, u"3"},
          {u"Text4", 0, u"0.4800"},
          {u"Text22", 5, u"3"},
          {u"Text22", 4, u"0.480"},
          {u"Text22", 10, u"240.00"}},
         {{u"购货单位", u"青山林场"}, {u"检尺员", u""}},
         {3, 4800, 24000},
         1,
         0},
        {Calculator::Sawn,
         ui::sawnWindowDef,
         {{u"Combo3", ui::kNoElement, u"公司名称"},
          {u"Text10", ui::kNoElement, u"东港木业"},
          {u"Text4", 0, u"10"},
          {u"Text5", 0, u"0.4000"},
          {u"Text4", 7, u"2"},
          {u"Text5", 7, u"0.0800"},
          {u"Text8", ui::kNoElement, u"0.4800"},
          {u"Text9", ui::kNoElement, u"576.0000"}},
         {{u"公司名称", u"东港木业"}, {u"车号", u""}},
         {12, 4800, 57600},
         2,
         0},
    };
    for (const Case& c : cases) {
        ui::Form form(c.def());
        for (const Typed& t : c.typed) {
            form.control(t.name, t.element).setText(t.text);
        }
        const BillRecord r = recordOf(c.which, form, u"账单");
        for (const Header& h : c.headers) {
            EXPECT_EQ(r.header(h.caption), h.text) << static_cast<int>(c.which);
        }
        EXPECT_EQ(r.totals, c.totals) << static_cast<int>(c.which);
        EXPECT_EQ(r.lines.size(), c.lines) << static_cast<int>(c.which);
        EXPECT_EQ(r.classes.size(), c.classes) << static_cast<int>(c.which);
    }
}

TEST(Ledger, NumbersAndScaledFiguresReadBack) {
    for (const auto& [typed, code] : {std::pair{u"a", "A"}, {u"B12", "B12"}, {u"zz9Z", "ZZ9Z"}}) {
        EXPECT_EQ(stationCode(typed), code);
    }
    for (const char16_t* bad : {u"", u"ABCDE", u"A-1", u"Ａ", u"磅房", u" A"}) {
        EXPECT_FALSE(stationCode(bad)) << text::toUtf8(bad);
    }
    EXPECT_EQ(billNumber("20261209", 7), "20261209-007");
    EXPECT_EQ(billNumber("20261209", 1234), "20261209-1234");
    EXPECT_EQ(billNumber("20261209", 7, "A2"), "20261209-A2-007");
    EXPECT_EQ(parseBillNumber("20261209-1234"), (NumberParts{"20261209", "", 1234}));
    EXPECT_EQ(parseBillNumber("20261209-A2-007"), (NumberParts{"20261209", "A2", 7}));
    EXPECT_EQ(provisionalStation("A", "3f9c2a1b77"), "A.3F9C2A1B");
    EXPECT_EQ(parseBillNumber("20261209-A.3F9C2A1B-002"),
              (NumberParts{"20261209", "A.3F9C2A1B", 2}));
    for (const char* bad :
         {"", "20261209", "2026120-001", "20261209_001", "2026a209-001", "20261209-a-001",
          "20261209-ABCDE-001", "20261209--001", "20261209-A-01", "20261209-A-001-002",
          "20261209-A.3F9C-001", "20261209-A.3f9c2a1b-001", "20261209-.3F9C2A1B-001"}) {
        EXPECT_FALSE(parseBillNumber(bad)) << bad;
    }
    const std::tuple<const char16_t*, int, long long, const char16_t*> figures[] = {
        {u"0.2135", 4, 2135, u"0.2135"},
        {u"12", 2, 1200, u"12.00"},
        {u"0.00005", 4, 1, u"0.0001"},
        {u"-3.5", 2, -350, u"-3.50"},
        {u"", 4, 0, u"0.0000"},
        {u"abc", 2, 0, u"0.00"},
        {u"106.755", 2, 10676, u"106.76"},
        {u"7", 0, 7, u"7"}};
    for (const auto& [text, places, value, back] : figures) {
        EXPECT_EQ(scaled(text, places), value);
        EXPECT_EQ(unscaled(value, places), back);
    }
}

TEST(Ledger, FiltersAndGroupsSumExactlyToTheBillsAndLeaveVoidOut) {
    std::mt19937 random(9);
    std::vector<BillRecord> records;
    const char16_t* parties[] = {u"青山林场", u"东港木业", u""};
    const char16_t* sheets[] = {u"原木一", u"原木二", u"锯材账单"};
    for (int i = 0; i < 300; ++i) {
        BillRecord r;
        const int day = 1 + static_cast<int>(random() % 60); // November and December
        const int month = day > 30 ? 12 : 11;
        char time[32];
        std::snprintf(time, sizeof time, "2026-%02d-%02d 10:00:%02d", month, (day - 1) % 30 + 1,
                      i % 60);
        r.time = time;
        r.number = billNumber(r.time.substr(0, 4) + r.time.substr(5, 2) + r.time.substr(8, 2), i);
        r.sheet = sheets[i % 3];
        r.headers = {{u"购货单位", parties[random() % 3]}, {u"车号", u"辽A" + text::intText(i)}};
        r.totals = {static_cast<long long>(random() % 50), static_cast<long long>(random() % 9999),
                    static_cast<long long>(random() % 999999)};
        r.voided = i % 17 == 0;
        records.push_back(r);
    }
    const Filter filters[] = {{},
                              todayFilter("2026-12-09"),
                              thisMonthFilter("2026-11-15"),
                              {"2026-11-10", "2026-12-05", {}, {}},
                              {{}, {}, u"青山", {}},
                              {{}, {}, {}, u"原木二"},
                              {"2026-12-01", {}, u"东港", u"锯材账单"}};
    for (const Filter& f : filters) {
        const auto listed = filtered(records, f);
        Totals expected;
        for (const BillRecord& r : records) {
            const std::string day = r.day();
            const bool in = (f.from.empty() || day >= f.from) && (f.to.empty() || day <= f.to) &&
                            (f.sheet.empty() || r.sheet == f.sheet) &&
                            (f.text.empty() || r.header(u"购货单位").find(f.text) == 0);
            if (in && !r.voided) {
                ++expected.count;
                expected.figures.pieces += r.totals.pieces;
                expected.figures.volume += r.totals.volume;
                expected.figures.amount += r.totals.amount;
            }
        }
        EXPECT_EQ(totalsOf(listed), expected) << f.from << ".." << f.to;
        for (const Grouping by : {Grouping::Day, Grouping::Month, Grouping::Caption}) {
            Totals sum;
            std::u16string previous;
            for (const Group& g : grouped(listed, by, u"购货单位")) {
                if (by != Grouping::Caption && !previous.empty()) {
                    EXPECT_LT(g.key, previous); // newest first
                }
                previous = g.key;
                sum.count += g.totals.count;
                sum.figures.pieces += g.totals.figures.pieces;
                sum.figures.volume += g.totals.figures.volume;
                sum.figures.amount += g.totals.figures.amount;
            }
            EXPECT_EQ(sum, expected) << static_cast<int>(by);
        }
    }
}

} // namespace
} // namespace logora::ledger
