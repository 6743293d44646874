// SPDX-License-Identifier: GPL-3.0-or-later
#include "volume/LogVolume.hpp"

#include "text/NumberText.hpp"

#include <gtest/gtest.h>

using logora::text::toUtf8;
using logora::volume::CaiJiJiSuan;

namespace {

struct Entry {
    std::u16string d, n, l, volume;
};

TEST(CaiJiJiSuan, WorkedValues) {
    const Entry cases[] = {
        {u"4", u"3", u"1.5", u"0.0081"},   {u"10", u"5", u"1", u"0.0450"},
        {u"6", u"2", u"4", u"0.0402"},     {u"7", u"1", u"2", u"0.0103"},
        {u"8", u"1", u"2", u"0.0130"},     {u"12", u"10", u"4", u"0.6200"},
        {u"13", u"1", u"6", u"0.1190"},    {u"14", u"1", u"2", u"0.0360"},
        {u"20", u"25", u"4", u"4.0000"},   {u"30", u"1", u"6", u"0.5490"},
        {u"40", u"2", u"10", u"3.3380"},   {u"20", u"1", u"12", u"0.6490"},
        {u"24", u"3", u"10.5", u"2.1570"}, {u"6", u"0", u"4", u"0.0000"},
        {u"0", u"0", u"0", u"0.0000"},     {u"20", u"1", u"4", u"0.1600"},
        {u"12", u"3", u"4", u"0.1860"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CaiJiJiSuan(c.d, c.n, c.l), c.volume)
            << toUtf8(c.d) << " cm, " << toUtf8(c.n) << " pcs, " << toUtf8(c.l) << " m";
    }
}

TEST(CaiJiJiSuan, BandEdgesPickTheirRule) {
    // 1000 pieces show the rounded one-piece volume and so its number of decimals.
    const Entry cases[] = {
        {u"8", u"1000", u"1.99", u"13.0000"},    // short log, three decimals (0.0129 -> 0.013)
        {u"8", u"1000", u"2", u"13.0000"},       // 2 m belongs to the table range
        {u"14", u"1000", u"10", u"301.0000"},    // 10 m too (large-diameter formula)
        {u"14", u"1000", u"10.01", u"289.0000"}, // above 10 m: the long-log formula
        {u"7", u"1000", u"4", u"25.4000"},       // 7 cm keeps four decimals
        {u"7.5", u"1000", u"4", u"28.0000"},     // 7.5 cm has three
        {u"13", u"1000", u"4", u"71.0000"},      // 13 cm: small-diameter formula
        {u"13.5", u"1000", u"4", u"78.0000"},    // 13.5 cm: large-diameter formula
        {u"14", u"1000", u"4", u"83.0000"},
        {u"6", u"1000", u"1", u"3.4000"}, // below 2 m, 6 cm: four decimals
        {u"8", u"1000", u"1", u"6.0000"}, // below 2 m, 8 cm: three
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CaiJiJiSuan(c.d, c.n, c.l), c.volume)
            << toUtf8(c.d) << " cm, " << toUtf8(c.l) << " m";
    }
}

TEST(CaiJiJiSuan, OnePieceIsRoundedBeforeMultiplying) {
    EXPECT_EQ(CaiJiJiSuan(u"12", u"10", u"4"), u"0.6200"); // not 0.6158
    EXPECT_EQ(CaiJiJiSuan(u"12", u"2.5", u"4"), u"0.1550");
    EXPECT_EQ(CaiJiJiSuan(u"12", u"0.5", u"4"), u"0.0310");
}

TEST(CaiJiJiSuan, ThinLongPolesAreComputedAsLongLogs) {
    // 0.8 x 12 x (6 + 6)^2 / 10000 = 0.13824, four decimals like every small log.
    EXPECT_EQ(CaiJiJiSuan(u"6", u"1", u"12"), u"0.1382");
    EXPECT_EQ(CaiJiJiSuan(u"7", u"2", u"10.5"), u"0.2522"); // 0.1260525 -> 0.1261 a piece
}

TEST(CaiJiJiSuan, ReadsFieldTextsLikeEveryField) {
    EXPECT_EQ(CaiJiJiSuan(u"", u"3", u"4"), u"0.0039"); // emptied diameter counts as 0
    EXPECT_EQ(CaiJiJiSuan(u"12cm", u"3件", u"4米"), u"0.1860");
    EXPECT_EQ(CaiJiJiSuan(u"1 2", u" 3", u"4\n"), u"0.1860");
    EXPECT_EQ(CaiJiJiSuan(u"12", u"", u"4"), u"0.0000");
    EXPECT_EQ(CaiJiJiSuan(u"4", u"1", u"0.1"), u"0.0001");
}

TEST(CaiJiJiSuan, AbsurdInputShowsOverflowAndNeverCrashes) {
    const std::u16string absurd[] = {u"1e999", u"-1e999", u"1e300",
                                     u"1e200", u"-1e300", u"&HFFFFFFFFFFFFFFFFFFFFFFFF",
                                     u"9e307"};
    for (const auto& a : absurd) {
        for (int which = 0; which < 3; ++which) {
            std::u16string in[3] = {u"20", u"3", u"4"};
            in[which] = a;
            const auto v = CaiJiJiSuan(in[0], in[1], in[2]);
            const bool fourDecimals = v.size() >= 6 && v[v.size() - 5] == u'.';
            EXPECT_TRUE(v == u"溢出" || fourDecimals) << toUtf8(a) << " at " << which;
        }
    }
    EXPECT_EQ(CaiJiJiSuan(u"1e999", u"1", u"4"), u"溢出");
    EXPECT_EQ(CaiJiJiSuan(u"20", u"1e999", u"4"), u"溢出");
    EXPECT_EQ(CaiJiJiSuan(u"20", u"1", u"1e999"), u"溢出");
}

TEST(CaiJiJiSuan, IdenticalInputsGiveIdenticalTexts) {
    for (int d = 0; d <= 60; ++d) {
        const std::u16string ds = logora::text::plainText(d);
        EXPECT_EQ(CaiJiJiSuan(ds, u"3", u"4.3"), CaiJiJiSuan(ds, u"3", u"4.3"));
    }
}

} // namespace
