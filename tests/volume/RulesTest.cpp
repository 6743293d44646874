// SPDX-License-Identifier: GPL-3.0-or-later
#include "volume/Rules.hpp"
#include "volume/LogVolume.hpp"

#include "text/NumberText.hpp"

#include <gtest/gtest.h>

namespace logora::volume {
namespace {

struct Case {
    Rule rule;
    const char16_t* diameter;
    const char16_t* length;
    const char16_t* pieces;
    const char16_t* volume;
};

// JAS (素材の日本農林規格, 末口二乗法): the formula and the classes (1 cm below 14 cm, the even
// centimetre below from 14 cm, fractions dropped) as Timbeter's help page "JAS規格（末口二乗法）"
// states them; 末口 30 cm × 4 m = 0.36 m³ is the worked example of wasabito.com's
// "丸太の材積計算に用いる末口2乗法について". A log's volume to three decimals, half up
// (meimokuso.co.jp 検量方法: 小数点以下4位を四捨五入).
// Brereton: V = 0.7854 D² L / 10000 (spikevm.com Brereton Log Rule, metric), the mean diameter
// in whole centimetres and the volume to three decimals as Japan's customs scale of tropical
// logs, "ほぼ同じ" the Brereton scale, rounds them (meimokuso.co.jp 検量方法).
const Case kPublished[] = {
    {Rule::Jas, u"30", u"4", u"1", u"0.3600"},
    {Rule::Jas, u"14", u"4", u"1", u"0.0780"},          // 0.0784
    {Rule::Jas, u"15", u"4", u"1", u"0.0780"},          // class 14
    {Rule::Jas, u"13.7", u"3.6", u"1", u"0.0610"},      // class 13: 0.06084
    {Rule::Jas, u"24", u"8", u"1", u"0.5410"},          // (24 + 2)² · 8: 0.5408
    {Rule::Jas, u"24", u"6.5", u"2", u"0.8120"},        // L' = 6: 25² · 6.5 = 0.40625 a log
    {Rule::Jas, u"24", u"5.9", u"1", u"0.3400"},        // under 6 m: 0.33984
    {Rule::Jas, u"30", u"10", u"3", u"3.2670"},         // 33² · 10: 1.089 a log
    {Rule::Brereton, u"60", u"10", u"1", u"2.8270"},    // 2.82744
    {Rule::Brereton, u"45.6", u"8", u"1", u"1.2720"},   // mean 45: 1.272348
    {Rule::Brereton, u"80", u"11.4", u"2", u"11.4600"}, // 5.7302784 a log
    {Rule::Jas, u"", u"4", u"5", u"0.0000"},
    {Rule::Brereton, u"1e999", u"4", u"1", u"溢出"},
};

TEST(Rules, PublishedValuesAreMetToTheLitre) {
    for (const Case& c : kPublished) {
        EXPECT_EQ(entryVolume(c.rule, c.diameter, c.pieces, c.length), c.volume)
            << text::toUtf8(ruleName(c.rule)) << " D=" << text::toUtf8(c.diameter)
            << " L=" << text::toUtf8(c.length);
    }
}

TEST(Rules, TheNationalRuleIsTodaysBitForBit) {
    for (const char16_t* d : {u"4", u"7", u"8", u"13", u"14", u"30", u"58", u"1e999", u""}) {
        for (const char16_t* l : {u"1.5", u"2", u"4", u"10", u"12"}) {
            EXPECT_EQ(entryVolume(Rule::Gb, d, u"3", l), CaiJiJiSuan(d, u"3", l));
        }
    }
}

TEST(Rules, NamesAndPresetsRoundTrip) {
    for (Rule r : kRules) {
        EXPECT_EQ(ruleNamed(ruleName(r)), r);
        for (bool high : {false, true}) {
            for (int row = 1; row <= 14; ++row) {
                const int d = presetDiameter(r, row, high);
                EXPECT_EQ(diameterClass(r, d), d) << "a preset is a class of its rule";
                if (row > 1) {
                    EXPECT_GT(d, presetDiameter(r, row - 1, high));
                }
            }
            EXPECT_GT(presetDiameter(r, 1, true), presetDiameter(r, 14, false));
        }
    }
    EXPECT_EQ(presetDiameter(Rule::Gb, 1, false), 4);
    EXPECT_EQ(presetDiameter(Rule::Gb, 14, true), 58);
    EXPECT_FALSE(ruleNamed(u"国标"));
}

} // namespace
} // namespace logora::volume
