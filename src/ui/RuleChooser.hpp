// SPDX-License-Identifier: GPL-3.0-or-later
// The chooser "检尺标准" of a log calculator, bound to the program's one choice of rule.
#pragma once

#include "ui/Form.hpp"
#include "volume/Rules.hpp"

namespace logora::ui {

class RuleChooser {
  public:
    RuleChooser(Control& chooser, volume::RuleChoice& choice)
        : chooser_(chooser), choice_(choice), known_(chooser.text()) {}

    // At the tick: a rule picked here (or restored into the field) becomes the choice; any
    // other text gives way to the choice, which may have been made in the other calculator.
    volume::Rule sync() {
        if (chooser_.text() != known_) {
            known_ = chooser_.text();
            if (const auto picked = volume::ruleNamed(known_)) {
                choice_.choose(*picked);
            }
        }
        const std::u16string_view name = volume::ruleName(choice_.rule());
        if (known_ != name) {
            known_ = name;
            chooser_.setText(name);
        }
        return choice_.rule();
    }

  private:
    Control& chooser_;
    volume::RuleChoice& choice_;
    std::u16string known_;
};

} // namespace logora::ui
