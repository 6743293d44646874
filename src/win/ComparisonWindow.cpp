// SPDX-License-Identifier: GPL-3.0-or-later
#include "win/ComparisonWindow.hpp"

#include <commctrl.h>

namespace logora::win {

namespace {

constexpr wchar_t kClass[] = L"LogoraComparison";
constexpr UINT_PTR kTimer = 1;

std::wstring wide(std::u16string_view t) {
    return {t.begin(), t.end()};
}

} // namespace

ComparisonWindow::ComparisonWindow(HINSTANCE instance, compare::ComparisonSource& session)
    : session_(session),
      window_(instance, kClass, L"标准对照", &toolWindowProc<ComparisonWindow>, this, 1100, 320) {
    make();
}

void ComparisonWindow::make() {
    auto child = [this](const wchar_t* cls, const wchar_t* text, DWORD style, int id,
                        DWORD exStyle = 0) { return window_.child(cls, text, style, id, exStyle); };
    child(L"STATIC", L"", SS_CENTERIMAGE, kHeading);
    HWND list =
        child(WC_LISTVIEWW, L"", WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, kList, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const std::vector<std::u16string> heads = compare::columns();
    for (std::size_t c = 0; c < heads.size(); ++c) {
        std::wstring name = wide(heads[c]);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        col.fmt = c == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        // The label column holds "第 19 行  材长 10.5 米  径级 58"; the gaps "+0.0000 (+00.00%)".
        col.cx = px(c == 0 ? 190 : c == 1 ? 50 : (c - 2) % 3 == 2 ? 140 : 110);
        col.pszText = name.data();
        ListView_InsertColumn(list, static_cast<int>(c), &col);
    }
    child(L"BUTTON", L"导出", WS_TABSTOP | BS_PUSHBUTTON, kExport);
    child(L"BUTTON", L"关闭", WS_TABSTOP | BS_PUSHBUTTON, kClose);
    window_.sizeToDpi(1100, 320);
    layout();
}

void ComparisonWindow::layout() {
    if (control(kClose) == nullptr) {
        return; // still being made
    }
    RECT client;
    GetClientRect(hwnd_, &client);
    const int m = px(8);
    const int h = px(24);
    MoveWindow(control(kHeading), m, m, client.right - 2 * m, h, TRUE);
    const int bottom = client.bottom - m - h;
    MoveWindow(control(kList), m, m + h + m, client.right - 2 * m, bottom - 3 * m - h, TRUE);
    MoveWindow(control(kClose), client.right - m - px(80), bottom, px(80), h, TRUE);
    MoveWindow(control(kExport), client.right - 2 * m - px(160), bottom, px(80), h, TRUE);
}

void ComparisonWindow::show(ui::Calculator which, POINT at) {
    which_ = which;
    refresh();
    SetWindowPos(hwnd_, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    SetFocus(control(kList));
    SetTimer(hwnd_, kTimer, 100, nullptr);
}

void ComparisonWindow::hide() {
    KillTimer(hwnd_, kTimer);
    ShowWindow(hwnd_, SW_HIDE);
}

void ComparisonWindow::refresh() {
    const compare::Table& t = session_.comparison(which_);
    const std::wstring heading =
        std::wstring(which_ == ui::Calculator::List ? L"多材长" : L"原木计算") +
        L"　所选检尺标准：" + wide(volume::ruleName(t.chosen)) + L"　金额按当前单价";
    wchar_t now[256] = {};
    GetWindowTextW(control(kHeading), now, 256);
    if (heading != now) {
        SetWindowTextW(control(kHeading), heading.c_str());
    }
    std::vector<std::vector<std::wstring>> rows;
    for (std::size_t r = 0; r <= t.rows.size(); ++r) {
        std::vector<std::wstring>& texts = rows.emplace_back();
        for (const std::u16string& text :
             compare::rowTexts(t, r < t.rows.size() ? t.rows[r] : t.total)) {
            texts.push_back(wide(text));
        }
    }
    syncRows(control(kList), shown_, rows);
}

std::wstring ComparisonWindow::cell(int row, int column) const {
    return cellOf(control(kList), row, column);
}

LRESULT ComparisonWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kExport:
            session_.exportComparison(which_);
            return 0;
        case IDCANCEL:
        case kClose:
            hide();
            return 0;
        default:
            return 0;
        }
    case WM_TIMER:
        if (wParam == kTimer) {
            refresh();
        }
        return 0;
    case WM_SIZE:
        layout();
        return 0;
    case WM_CLOSE:
        hide();
        return 0;
    default:
        return DefWindowProcW(hwnd_, msg, wParam, lParam);
    }
}

} // namespace logora::win
