// SPDX-License-Identifier: GPL-3.0-or-later
// The chosen volume rule, kept between runs in "rule.txt" beside the price files: one line,
// the rule's name, replaced whole or not at all.
#pragma once

#include "volume/Rules.hpp"

#include <filesystem>
#include <functional>
#include <string>

namespace logora::session {

class StoredRule : public volume::RuleChoice {
  public:
    // Reads the file; a missing or unreadable one is the national rule. A failed save is
    // told through said, once per run.
    StoredRule(std::filesystem::path folder, std::function<void(const std::u16string&)> said);

    volume::Rule rule() const override { return rule_; }
    void choose(volume::Rule rule) override;
    std::filesystem::path file() const { return folder_ / "rule.txt"; }

  private:
    std::filesystem::path folder_;
    std::function<void(const std::u16string&)> said_;
    volume::Rule rule_ = volume::Rule::Gb;
    bool told_ = false;
};

} // namespace logora::session
