// SPDX-License-Identifier: GPL-3.0-or-later
#include "volume/Gost2708.hpp"
#include "volume/Rules.hpp"

#include "text/NumberText.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

namespace logora::volume {
namespace {

struct Case {
    const char16_t* diameter;
    const char16_t* length;
    const char16_t* pieces;
    const char16_t* volume;
};

// Cells of ГОСТ 2708-75 as printed. "A+H": the two copies typed in independently from the
// standard's published text (DrItStudio/f_calc_huawei GOST_2708_75_table.dart and
// pixlog/pixlog_app_android gost2708_75_tabela01.csv / _tabela03.csv) agree on the cell; "H":
// only the second copy has the 2.25 / 2.75 m columns. 20 cm × 6 m = 0.23 m³ and 24 cm × 6 m =
// 0.33 m³ are also the figures tehnorma.ru's reprint (gost_463.htm) prints.
const Case kPrinted[] = {
    {u"3", u"3", u"1", u"0.0045"},      // Table 1, A+H: the smallest log
    {u"8", u"4", u"1", u"0.0260"},      // A+H
    {u"12", u"6", u"1", u"0.0930"},     // A+H
    {u"14", u"4", u"1", u"0.0730"},     // A+H
    {u"16", u"4", u"1", u"0.0950"},     // A+H
    {u"20", u"6", u"1", u"0.2300"},     // A+H, tehnorma.ru
    {u"24", u"6", u"1", u"0.3300"},     // A+H, tehnorma.ru
    {u"26", u"4", u"1", u"0.2500"},     // A+H
    {u"30", u"5.5", u"1", u"0.4700"},   // A+H
    {u"36", u"6", u"1", u"0.7400"},     // A+H
    {u"40", u"4", u"1", u"0.5800"},     // A+H
    {u"52", u"8", u"1", u"2.1200"},     // A+H
    {u"60", u"6.5", u"1", u"2.2300"},   // A+H
    {u"80", u"9.5", u"1", u"6.0700"},   // A+H
    {u"120", u"1", u"1", u"1.2200"},    // A+H
    {u"120", u"9.5", u"1", u"13.6700"}, // A+H: the largest log
    {u"13", u"2.25", u"1", u"0.0330"},  // H
    {u"36", u"2.75", u"1", u"0.3300"},  // H
    {u"8", u"10", u"1", u"0.1000"},     // Table 3, A+H
    {u"13", u"11", u"1", u"0.2500"},    // A+H
    {u"14", u"12", u"1", u"0.3200"},    // A+H
    {u"20", u"10.5", u"1", u"0.4800"},  // A+H
    {u"38", u"13.5", u"1", u"2.2300"},  // A+H
    {u"24", u"6", u"7", u"2.3100"},     // the cell times the pieces
    {u"3", u"3", u"3", u"0.0135"},      // exactly, never a binary hair below
};

TEST(Gost2708, PrintedCellsAreReadAsPrinted) {
    for (const Case& c : kPrinted) {
        EXPECT_EQ(entryVolume(Rule::Gost, c.diameter, c.pieces, c.length), c.volume)
            << "D=" << text::toUtf8(c.diameter) << " L=" << text::toUtf8(c.length);
        EXPECT_EQ(entryGap(Rule::Gost, c.diameter, c.pieces, c.length), u"");
    }
}

// ГОСТ 2708-75 (tehnorma.ru gost_463.htm, pdfslide.net's copy): "Измерение и округление до
// принятых градаций диаметров и длин лесоматериалов следует проводить по ГОСТ 2292-88". The
// diameter to 13 cm by the whole centimetre, half up; from 14 cm by even centimetres, a
// remainder under 1 cm dropped and 1 cm or more up; the length to the table's gradation below.
const Case kRounded[] = {
    {u"13.4", u"4", u"1", u"0.0620"},   // 13 cm
    {u"13.5", u"4", u"1", u"0.0730"},   // 14 cm
    {u"14.9", u"4", u"1", u"0.0730"},   // 14 cm
    {u"15.0", u"4", u"1", u"0.0950"},   // 16 cm
    {u"34.9", u"6", u"1", u"0.6600"},   // 34 cm
    {u"35.0", u"6", u"1", u"0.7400"},   // 36 cm
    {u"16", u"2.27", u"1", u"0.0490"},  // 2.25 m
    {u"34", u"9.55", u"1", u"1.1300"},  // 9.5 m
    {u"40", u"9.8", u"1", u"1.5400"},   // 9.5 m: Table 1's longest, Table 3 starts at 10 m
    {u"36", u"10.0", u"1", u"1.3500"},  // Table 3
    {u"24", u"13.49", u"1", u"0.9400"}, // 13.0 m
    {u"24", u"13.5", u"1", u"0.9800"},
    {u"35.0", u"6.27", u"3", u"2.3100"}, // the manual's example: 36 cm × 6.25 m, 0.77 printed
};

TEST(Gost2708, DiameterAndLengthAreRoundedAsGost2292) {
    for (const Case& c : kRounded) {
        EXPECT_EQ(entryVolume(Rule::Gost, c.diameter, c.pieces, c.length), c.volume)
            << "D=" << text::toUtf8(c.diameter) << " L=" << text::toUtf8(c.length);
    }
}

struct Gap {
    const char16_t* diameter;
    const char16_t* length;
    const char16_t* says;
};

// No volume, and the status line says why; never a zero that looks like a measured log.
const Gap kGaps[] = {
    {u"2.4", u"4", u"径级2.4 长4米超出ГОСТ 2708-75材积表"},     // under 3 cm
    {u"121", u"4", u"径级121 长4米超出ГОСТ 2708-75材积表"},     // 122 cm
    {u"20", u"0.9", u"径级20 长0.9米超出ГОСТ 2708-75材积表"},   // under 1.0 m
    {u"24", u"13.6", u"径级24 长13.6米超出ГОСТ 2708-75材积表"}, // two logs by the standard
    {u"40", u"10", u"径级40 长10米超出ГОСТ 2708-75材积表"},     // Table 3 stops at 38 cm
    {u"3", u"2.9", u"径级3 长2.9米超出ГОСТ 2708-75材积表"},     // a cell the standard leaves
    {u"", u"4", u"径级 长4米超出ГОСТ 2708-75材积表"},           // no diameter
    {u"16", u"2.3", u"径级16 长2.3米的ГОСТ 2708-75表值存疑"},   // copies disagree: left out
    {u"56", u"5.5", u"径级56 长5.5米的ГОСТ 2708-75表值存疑"},
    {u"93", u" 4.1 ", u"径级93 长4.1米的ГОСТ 2708-75表值存疑"}, // class 94
};

TEST(Gost2708, OutsideTheTableThereIsNoVolumeAndTheWindowSaysWhy) {
    for (const Gap& g : kGaps) {
        EXPECT_EQ(entryVolume(Rule::Gost, g.diameter, u"2", g.length), u"") << text::toUtf8(g.says);
        EXPECT_EQ(entryGap(Rule::Gost, g.diameter, u"2", g.length), g.says);
        // Without pieces there is nothing missing.
        EXPECT_EQ(entryVolume(Rule::Gost, g.diameter, u"", g.length), u"0.0000");
        EXPECT_EQ(entryGap(Rule::Gost, g.diameter, u"", g.length), u"");
    }
    EXPECT_EQ(gapLine(u"径级121 长4米超出ГОСТ 2708-75材积表", 1),
              u"未计材积：径级121 长4米超出ГОСТ 2708-75材积表");
    EXPECT_EQ(gapLine(u"径级121 长4米超出ГОСТ 2708-75材积表", 3),
              u"3处未计材积：径级121 长4米超出ГОСТ 2708-75材积表");
    EXPECT_EQ(gapLine(u"", 0), u"");
}

// Every row rises with length and every column with diameter, equal neighbours allowed, over
// both tables as shipped: a slip in a cell breaks it.
TEST(Gost2708, TheTablesRiseWithDiameterAndLength) {
    for (const gost::Table* t : {&gost::kTable1, &gost::kTable3}) {
        for (std::size_t r = 0; r < t->diameters.size(); ++r) {
            for (std::size_t c = 0; c < t->lengths.size(); ++c) {
                const std::int32_t v = t->at(r, c);
                if (v <= 0) {
                    continue;
                }
                for (std::size_t c2 = c + 1; c2 < t->lengths.size(); ++c2) {
                    if (t->at(r, c2) > 0) {
                        EXPECT_LE(v, t->at(r, c2)) << t->diameters[r] << " cm " << t->lengths[c];
                        break;
                    }
                }
                for (std::size_t r2 = r + 1; r2 < t->diameters.size(); ++r2) {
                    if (t->at(r2, c) > 0) {
                        EXPECT_LE(v, t->at(r2, c)) << t->diameters[r] << " cm " << t->lengths[c];
                        break;
                    }
                }
            }
        }
    }
}

#ifdef LOGORA_SOURCE_DIR
// The compiled table is the checked-in figures, cell by cell: the generator was run.
TEST(Gost2708, TheCompiledTableIsTheDataFolders) {
    int cells = 0;
    for (const auto& [name, table] :
         {std::pair{"table1.csv", &gost::kTable1}, std::pair{"table3.csv", &gost::kTable3}}) {
        std::ifstream in(std::string(LOGORA_SOURCE_DIR) + "/data/gost2708-75/" + name);
        ASSERT_TRUE(in) << name;
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            std::string d, l, v, status;
            std::getline(fields, d, ',');
            std::getline(fields, l, ',');
            std::getline(fields, v, ',');
            std::getline(fields, status, ',');
            const gost::Reading r = gost::read(std::stod(d), std::stod(l));
            const bool leftOut = status.starts_with("suspect_") || status == "ambiguous_last_digit";
            EXPECT_EQ(r.status,
                      leftOut ? gost::Reading::Status::LeftOut : gost::Reading::Status::Found)
                << name << ' ' << line;
            if (!leftOut) {
                EXPECT_EQ(r.units, std::llround(std::stod(v) * 10000)) << name << ' ' << line;
            }
            ++cells;
        }
    }
    EXPECT_EQ(cells, 6523 + 152);
}
#endif

} // namespace
} // namespace logora::volume
