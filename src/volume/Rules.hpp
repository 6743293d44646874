// SPDX-License-Identifier: GPL-3.0-or-later
// The volume rules a log tally can be measured by: the national rule, and the rules imported
// logs are invoiced by. Each is a pure function of the field texts, like CaiJiJiSuan.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace logora::volume {

enum class Rule {
    Gb,       // 国标 GB/T 4814: CaiJiJiSuan, the default
    Jas,      // 日本 JAS: small-end diameter squared
    Brereton, // Brereton: mean diameter, the circle's area
};

inline constexpr std::array<Rule, 3> kRules = {Rule::Gb, Rule::Jas, Rule::Brereton};

// The rule's name as the chooser "检尺标准" lists it and the bill prints it.
std::u16string_view ruleName(Rule rule);
// The rule a chooser text names; nullopt for any other text.
std::optional<Rule> ruleNamed(std::u16string_view name);

// Volume of one tally entry under the rule, as the text of its volume cell (four decimals,
// "溢出" for absurd input), each rule rounding one log its own way before the pieces.
std::u16string entryVolume(Rule rule, std::u16string_view jingji, std::u16string_view jianshu,
                           std::u16string_view caichang);

// The diameter class a typed diameter falls in under the rule (cm).
double diameterClass(Rule rule, double diameter);

// The grid's preset diameter of a row (1..14) under the rule, in the low range or in the
// high range that follows it.
int presetDiameter(Rule rule, int row, bool highRange);

} // namespace logora::volume
