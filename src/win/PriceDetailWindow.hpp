// SPDX-License-Identifier: GPL-3.0-or-later
// "价格明细" on Windows: the price list in force, a chooser to pick another for this tally,
// and the tally by the list's cells in a list view, kept current at the tick, as on Qt.
#pragma once

#include "prices/PriceDetail.hpp"
#include "win/ToolWindow.hpp"

#include <windows.h>

#include <string>
#include <vector>

namespace logora::win {

class PriceDetailWindow {
  public:
    enum Id : int { kChooser = 301, kInForce, kList, kUnpriced, kLists, kClose };

    PriceDetailWindow(HINSTANCE instance, prices::DetailSource& session);

    void show(ui::Calculator which, POINT at);
    void hide();
    bool visible() const { return IsWindowVisible(hwnd_) != FALSE; }
    void refresh();
    HWND hwnd() const { return hwnd_; }
    HWND control(Id id) const { return GetDlgItem(hwnd_, id); }
    std::wstring cell(int row, int column) const;
    bool dialogMessage(MSG& msg) { return visible() && IsDialogMessageW(hwnd_, &msg) != FALSE; }

  private:
    template <typename> friend LRESULT CALLBACK toolWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void make();
    void layout();
    int px(int at96) const { return window_.px(at96); }

    prices::DetailSource& session_;
    ui::Calculator which_ = ui::Calculator::Grid;
    ToolWindow window_;
    HWND hwnd_ = window_.hwnd();
    std::vector<std::wstring> choices_;
    std::vector<std::vector<std::wstring>> shown_;
};

} // namespace logora::win
