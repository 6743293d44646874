// SPDX-License-Identifier: GPL-3.0-or-later
#include "volume/Rules.hpp"

#include "text/NumberText.hpp"
#include "volume/Gost2708.hpp"
#include "volume/LogVolume.hpp"

#include <cmath>

namespace logora::volume {

using text::Pattern;

namespace {

constexpr std::u16string_view kNames[] = {u"国标 GB/T 4814", u"日本 JAS", u"Brereton",
                                          u"俄罗斯 ГОСТ 2708-75"};

// JAS: below 6 m, D² L / 10000; from 6 m the diameter grows by half a centimetre for every
// whole metre over 4, (D + (L' − 4) / 2)² L / 10000, L' the length in whole metres.
double jasLog(double d, double l) {
    if (l < 6) {
        return (d * d) * l / 10000;
    }
    const double s = (std::floor(l) - 4) / 2 + d;
    return (s * s) * l / 10000;
}

// Brereton: the area of the mean diameter's circle times the length, 0.7854 D² L / 10000.
double breretonLog(double d, double l) {
    return ((d * d) * 0.7854) * l / 10000;
}

} // namespace

std::u16string_view ruleName(Rule rule) {
    return kNames[static_cast<int>(rule)];
}

std::optional<Rule> ruleNamed(std::u16string_view name) {
    for (Rule r : kRules) {
        if (ruleName(r) == name) {
            return r;
        }
    }
    return std::nullopt;
}

double diameterClass(Rule rule, double diameter) {
    switch (rule) {
    case Rule::Gb:
        return diameter; // the scaler types the class itself
    case Rule::Jas:
        // Whole centimetres below 14 cm, the even centimetre below from 14 cm; fractions drop.
        return diameter < 14 ? std::floor(diameter) : 2 * std::floor(diameter / 2);
    case Rule::Brereton:
        return std::floor(diameter); // the mean diameter, fractions dropped
    case Rule::Gost:
        return gost::diameterClass(diameter);
    }
    return diameter;
}

namespace {

// ГОСТ 2708-75: the printed cell times the pieces; without a cell, no volume and the reason.
Measured gostEntry(std::u16string_view jingji, std::u16string_view jianshu,
                   std::u16string_view caichang) {
    const double n = text::parseNumber(jianshu);
    const gost::Reading r = gost::read(text::parseNumber(jingji), text::parseNumber(caichang));
    if (r.status == gost::Reading::Status::Found) {
        // In whole 0.0001 m³ before the one division.
        return {text::patternText(static_cast<double>(r.units) * n / 10000, Pattern::Four), {}};
    }
    if (n == 0) {
        return {text::patternText(0, Pattern::Four), {}}; // no pieces, no volume to miss
    }
    // With pieces the cell stays empty, never a zero, and the status line says why.
    const std::u16string size =
        u"径级" + text::trimmed(jingji) + u" 长" + text::trimmed(caichang) + u"米";
    return {{},
            r.status == gost::Reading::Status::LeftOut ? size + u"的ГОСТ 2708-75表值存疑"
                                                       : size + u"超出ГОСТ 2708-75材积表"};
}

} // namespace

Measured measure(Rule rule, std::u16string_view jingji, std::u16string_view jianshu,
                 std::u16string_view caichang) {
    if (rule == Rule::Gb) {
        return {CaiJiJiSuan(jingji, jianshu, caichang), {}};
    }
    if (rule == Rule::Gost) {
        return gostEntry(jingji, jianshu, caichang);
    }
    const double d = diameterClass(rule, text::parseNumber(jingji));
    const double n = text::parseNumber(jianshu);
    const double l = text::parseNumber(caichang);
    const double onePiece = rule == Rule::Jas ? jasLog(d, l) : breretonLog(d, l);
    // Both invoice a log to the litre: three decimals, half up, before the pieces.
    return {text::patternText(text::patternValue(onePiece, Pattern::Three) * n, Pattern::Four), {}};
}

std::u16string entryVolume(Rule rule, std::u16string_view jingji, std::u16string_view jianshu,
                           std::u16string_view caichang) {
    return measure(rule, jingji, jianshu, caichang).volume;
}

std::u16string entryGap(Rule rule, std::u16string_view jingji, std::u16string_view jianshu,
                        std::u16string_view caichang) {
    return measure(rule, jingji, jianshu, caichang).gap;
}

std::u16string gapLine(const std::u16string& first, int count) {
    if (count == 0) {
        return {};
    }
    return (count > 1 ? text::intText(count) + u"处未计材积：" : u"未计材积：") + first;
}

RuleChoice& nationalRule() {
    static FixedRule national(Rule::Gb);
    return national;
}

int presetDiameter(Rule rule, int row, bool highRange) {
    switch (rule) {
    case Rule::Gb:
    case Rule::Gost: // the table's classes are the national even ones
        break;
    case Rule::Jas: {
        // 6 .. 13 by the centimetre, then 14 .. 24 by two; the high range goes on by two.
        if (highRange) {
            return 24 + 2 * row;
        }
        return row <= 8 ? 5 + row : 14 + 2 * (row - 9);
    }
    case Rule::Brereton:
        // Tropical logs are big: 30 cm up, by two, where the national presets stop.
        return highRange ? 56 + 2 * row : 28 + 2 * row;
    }
    return highRange ? 2 * row + 30 : 2 * row + 2;
}

} // namespace logora::volume
