// SPDX-License-Identifier: GPL-3.0-or-later
// The shell's part of every calculator window, for any front end: each control with a role
// in its definition is wired to what the shell does.
#pragma once

#include "ui/Form.hpp"

#include <optional>
#include <string_view>

namespace logora::ui {

enum class Calculator { Grid, List, Sawn };

// What a front end does for the shell: switching, minimising, ending, exporting, the manual
// and the price window.
class ShellActions {
  public:
    virtual ~ShellActions() = default;
    virtual void switchTo(Calculator which) = 0;
    virtual void minimise(Calculator which) = 0;
    virtual void exit() = 0;
    virtual void exportBill(Calculator which) = 0;
    virtual void openManual(Calculator which) = 0;
    virtual void openPrices() = 0;
};

// The calculator a switch-box text names: "原木计算", "多 材 长", "锯材计算".
std::optional<Calculator> switchTarget(std::u16string_view text);

// The manual's section of each calculator: "grid", "list", "sawn".
std::string_view manualSection(Calculator which);

// Every control of the window with a role gets the click handler that does it.
void wireByRole(Form& form, Calculator which, ShellActions& shell);

} // namespace logora::ui
