// SPDX-License-Identifier: GPL-3.0-or-later
// "标准对照" on Windows: the log calculator's tally under every rule in a list view, kept
// current at the tick, as the Qt window shows it.
#pragma once

#include "compare/Comparison.hpp"

#include <windows.h>

#include <string>
#include <vector>

namespace logora::win {

class ComparisonWindow {
  public:
    enum Id : int { kHeading = 201, kList, kExport, kClose };

    ComparisonWindow(HINSTANCE instance, compare::ComparisonSource& session);
    ~ComparisonWindow();
    ComparisonWindow(const ComparisonWindow&) = delete;
    ComparisonWindow& operator=(const ComparisonWindow&) = delete;

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
    static LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void make();
    void layout();
    int px(int at96) const;

    HINSTANCE instance_;
    compare::ComparisonSource& session_;
    ui::Calculator which_ = ui::Calculator::Grid;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    std::vector<std::vector<std::wstring>> shown_; // what the list holds, row by row
};

} // namespace logora::win
