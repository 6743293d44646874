// SPDX-License-Identifier: GPL-3.0-or-later
// "标准对照" on Windows: the log calculator's tally under every rule in a list view, kept
// current at the tick, as the Qt window shows it.
#pragma once

#include "compare/Comparison.hpp"
#include "win/ToolWindow.hpp"

#include <windows.h>

#include <string>
#include <vector>

namespace logora::win {

class ComparisonWindow {
  public:
    enum Id : int { kHeading = 201, kList, kExport, kClose };

    ComparisonWindow(HINSTANCE instance, compare::ComparisonSource& session);

    // Shown near the given point (screen pixels) with the tally of the calculator given.
    void show(ui::Calculator which, POINT at);
    void hide();
    bool visible() const { return IsWindowVisible(hwnd_) != FALSE; }
    // The table worked out again; only cells whose text changed are written.
    void refresh();
    HWND hwnd() const { return hwnd_; }
    HWND control(Id id) const { return GetDlgItem(hwnd_, id); }
    // A cell's text as the list shows it, for the tests.
    std::wstring cell(int row, int column) const;
    bool dialogMessage(MSG& msg) { return visible() && IsDialogMessageW(hwnd_, &msg) != FALSE; }

  private:
    template <typename> friend LRESULT CALLBACK toolWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void make();
    void layout();
    int px(int at96) const { return window_.px(at96); }

    compare::ComparisonSource& session_;
    ui::Calculator which_ = ui::Calculator::Grid;
    ToolWindow window_;
    HWND hwnd_ = window_.hwnd();
    std::vector<std::vector<std::wstring>> shown_; // what the list holds, row by row
};

} // namespace logora::win
