// SPDX-License-Identifier: GPL-3.0-or-later
// "账单记录" on Windows: the ledger's filters, a virtual list view and the buttons over the
// core's LedgerView, as the Qt window shows them.
#pragma once

#include "export/BillExport.hpp"
#include "ledger/LedgerView.hpp"
#include "win/ToolWindow.hpp"

#include <windows.h>

#include <filesystem>
#include <functional>

namespace logora::win {

class LedgerWindow {
  public:
    // The controls, by their ids, for the keyboard and the tests.
    enum Id : int {
        kFind = 101,
        kPeriod,
        kFrom,
        kTo,
        kSheet,
        kView,
        kList,
        kTotals,
        kReason,
        kOpen,
        kVoid,
        kSummary,
        kClose,
        kFindLabel,
        kToLabel,
        kReasonLabel,
        kYard,
        kState,
    };

    LedgerWindow(HINSTANCE instance, ledger::LedgerStore& store,
                 exporting::Spreadsheet& spreadsheet, const exporting::BillFolder& bills,
                 exporting::ExportPrompts& prompts);

    // Shown near the given point (screen pixels), the records read again, the find field
    // focused.
    void show(POINT at);
    void hide() { ShowWindow(hwnd_, SW_HIDE); }
    bool visible() const { return IsWindowVisible(hwnd_) != FALSE; }
    void reload();
    HWND hwnd() const { return hwnd_; }
    HWND control(Id id) const { return GetDlgItem(hwnd_, id); }
    const ledger::LedgerView& view() const { return view_; }
    // The message loop's share: Tab, Enter and Esc inside the window.
    bool dialogMessage(MSG& msg) { return visible() && IsDialogMessageW(hwnd_, &msg) != FALSE; }

    // Seam: how a bill's file is opened; false when it could not be.
    std::function<bool(const std::filesystem::path&)> openFile;
    // "共享账本…": opens the window that joins the desk to a yard.
    std::function<void()> onYard;

  private:
    template <typename> friend LRESULT CALLBACK toolWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    void make();
    void layout();
    void filterChanged();
    void viewsChanged();
    void command(int id, int code);
    void openCurrent();
    void voidCurrent();
    int currentRow() const;
    void say(const std::u16string& text) { prompts_.failed(text); }
    int px(int at96) const { return window_.px(at96); }
    // The text's width in the window's font, in pixels.
    int textWidth(std::u16string_view text) const;

    ToolWindow window_;
    HWND hwnd_ = window_.hwnd();
    HFONT font_ = window_.font();
    ledger::LedgerView view_;
    exporting::Spreadsheet& spreadsheet_;
    const exporting::BillFolder& bills_;
    exporting::ExportPrompts& prompts_;
    std::vector<std::pair<std::u16string, ledger::View>> views_;
    // The row the list last asked texts of: a row is asked once per column.
    std::size_t cachedRow_ = static_cast<std::size_t>(-1);
    std::vector<std::wstring> cached_;
    bool filling_ = false; // the program sets the choices: no change is the user's
};

} // namespace logora::win
