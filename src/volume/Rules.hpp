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
    Gost,     // 俄罗斯 ГОСТ 2708-75: the standard's printed table
};

inline constexpr std::array<Rule, 4> kRules = {Rule::Gb, Rule::Jas, Rule::Brereton, Rule::Gost};

// The rule's name as the chooser "检尺标准" lists it and the bill prints it.
std::u16string_view ruleName(Rule rule);
// The rule a chooser text names; nullopt for any other text.
std::optional<Rule> ruleNamed(std::u16string_view name);

// Volume of one tally entry under the rule, as the text of its volume cell (four decimals,
// "溢出" for absurd input), each rule rounding one log its own way before the pieces.
std::u16string entryVolume(Rule rule, std::u16string_view jingji, std::u16string_view jianshu,
                           std::u16string_view caichang);

// Why an entry with pieces has no volume under the rule, in a trader's words, with the typed
// diameter and length; empty when it has one (every rule but ГОСТ 2708-75 always has).
std::u16string entryGap(Rule rule, std::u16string_view jingji, std::u16string_view jianshu,
                        std::u16string_view caichang);

// An entry measured once: its volume cell's text (entryVolume) and its gap (entryGap).
struct Measured {
    std::u16string volume;
    std::u16string gap;
};
Measured measure(Rule rule, std::u16string_view jingji, std::u16string_view jianshu,
                 std::u16string_view caichang);

// The status line of a log calculator over its entries' gaps: the first, and how many there
// are; empty when there is none.
std::u16string gapLine(const std::u16string& first, int count);

// The gaps of a tally as its entries are measured, for the status line.
class Gaps {
  public:
    void add(std::u16string gap) {
        if (!gap.empty() && count_++ == 0) {
            first_ = std::move(gap);
        }
    }
    std::u16string line() const { return gapLine(first_, count_); }

  private:
    std::u16string first_;
    int count_ = 0;
};

// The diameter class a typed diameter falls in under the rule (cm).
double diameterClass(Rule rule, double diameter);

// The grid's preset diameter of a row (1..14) under the rule, in the low range or in the
// high range that follows it.
int presetDiameter(Rule rule, int row, bool highRange);

// The rule the log calculators measure by: one choice for both, kept between runs.
class RuleChoice {
  public:
    virtual ~RuleChoice() = default;
    virtual Rule rule() const = 0;
    virtual void choose(Rule rule) = 0;
};

// A rule that never changes: the calculators that work out the other rules for a comparison.
class FixedRule : public RuleChoice {
  public:
    explicit FixedRule(Rule rule) : rule_(rule) {}
    Rule rule() const override { return rule_; }
    void choose(Rule) override {}

  private:
    Rule rule_;
};

// The national rule for good: a calculator made without the program's choice.
RuleChoice& nationalRule();

} // namespace logora::volume
