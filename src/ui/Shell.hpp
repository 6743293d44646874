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
    virtual void openLedger(Calculator) {}
    virtual void openComparison(Calculator) {}
    virtual void openPriceDetail(Calculator) {}
    virtual void openPhone(Calculator) {}
};

// The calculator a switch-box text names: "原木计算", "多 材 长", "锯材计算".
std::optional<Calculator> switchTarget(std::u16string_view text);

// The manual's section of each calculator: "grid", "list", "sawn".
std::string_view manualSection(Calculator which);
// The manual's file:// address at a section, from its absolute path: "C:\Program Files\…" or
// "/usr/share/…". Blanks and the characters that end a path in an address are escaped; other
// characters stay as they are, which browsers take from a command line.
std::u16string manualUrl(std::u16string_view path, std::string_view section);
// When the manual cannot be opened; its path follows.
inline constexpr std::u16string_view kManualNotOpened =
    u"无法打开使用说明。请用浏览器打开这个文件：\n";

// Every control of the window with a role gets the click handler that does it.
void wireByRole(Form& form, Calculator which, ShellActions& shell);
// The name of the window's control with the role; empty when it has none.
std::u16string controlWithRole(const Form& form, Role role);

inline constexpr Calculator kCalculators[] = {Calculator::Grid, Calculator::List, Calculator::Sawn};

// The windows as a front end shows them: what the shell's decisions act on.
class ShellViews {
  public:
    virtual ~ShellViews() = default;
    // Shows a calculator, creating it hidden first when it does not exist yet.
    virtual void show(Calculator which) = 0;
    // Hides a calculator; hide(which) of one that does not exist creates it hidden.
    virtual void hide(Calculator which) = 0;
    virtual bool exists(Calculator which) const = 0;
    // Destroys a calculator once the event that closed it is over.
    virtual void unloadLater(Calculator which) = 0;
    virtual void hidePrices() = 0;
    // The program ends: the event loop stops.
    virtual void end() = 0;
};

// The shell's decisions, the same in every front end: which calculator shows after a
// switch, what closing a window does, what follows a saved price, and ending once.
class ShellFlow {
  public:
    explicit ShellFlow(ShellViews& views) : views_(views) {}

    // The target first, so the screen is never without a calculator; then the others hide.
    void switchTo(Calculator which);
    // Closing the sawn window unloads it and brings the grid back; closing either log
    // window ends the program, leaving no hidden window behind.
    void closedByPlatform(Calculator which);
    // "保存退出" of the price window: the grid shows, then the price window hides.
    void pricesSaved();
    // Ends at once: every window hides, nothing is asked. False when already ending.
    bool quit();
    bool ending() const { return ending_; }
    void markEnding() { ending_ = true; }

  private:
    ShellViews& views_;
    bool ending_ = false;
};

} // namespace logora::ui
