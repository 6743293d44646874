// SPDX-License-Identifier: GPL-3.0-or-later
#include "win/PriceDetailWindow.hpp"

#include <commctrl.h>

namespace logora::win {

namespace {

constexpr wchar_t kClass[] = L"LogoraPriceDetail";
constexpr UINT_PTR kTimer = 1;

std::wstring wide(std::u16string_view t) {
    return {t.begin(), t.end()};
}

std::wstring textOf(HWND h) {
    std::wstring t(static_cast<std::size_t>(GetWindowTextLengthW(h)) + 1, L'\0');
    t.resize(static_cast<std::size_t>(GetWindowTextW(h, t.data(), static_cast<int>(t.size()))));
    return t;
}

void setText(HWND h, const std::wstring& text) {
    if (textOf(h) != text) {
        SetWindowTextW(h, text.c_str());
    }
}

} // namespace

PriceDetailWindow::PriceDetailWindow(HINSTANCE instance, prices::DetailSource& session)
    : session_(session),
      window_(instance, kClass, L"价格明细", &toolWindowProc<PriceDetailWindow>, this, 620, 420) {
    make();
}

void PriceDetailWindow::make() {
    auto child = [this](const wchar_t* cls, const wchar_t* text, DWORD style, int id,
                        DWORD exStyle = 0) { return window_.child(cls, text, style, id, exStyle); };
    child(L"COMBOBOX", L"", WS_TABSTOP | CBS_DROPDOWNLIST | WS_VSCROLL, kChooser);
    child(L"STATIC", L"", SS_CENTERIMAGE, kInForce);
    HWND list =
        child(WC_LISTVIEWW, L"", WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, kList, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    const wchar_t* heads[5] = {L"分档", L"件数", L"材积", L"单价", L"金额"};
    const int widths[5] = {190, 70, 90, 110, 110};
    for (int c = 0; c < 5; ++c) {
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        col.fmt = c == 0 ? LVCFMT_LEFT : LVCFMT_RIGHT;
        col.cx = px(widths[c]);
        col.pszText = const_cast<wchar_t*>(heads[c]);
        ListView_InsertColumn(list, c, &col);
    }
    child(L"STATIC", L"", 0, kUnpriced);
    child(L"BUTTON", L"价格表…", WS_TABSTOP | BS_PUSHBUTTON, kLists);
    child(L"BUTTON", L"关闭", WS_TABSTOP | BS_PUSHBUTTON, kClose);
    window_.sizeToDpi(620, 420);
    layout();
}

void PriceDetailWindow::layout() {
    if (control(kClose) == nullptr) {
        return; // still being made
    }
    RECT client;
    GetClientRect(hwnd_, &client);
    const int m = px(8);
    const int h = px(24);
    const int w = client.right - 2 * m;
    MoveWindow(control(kChooser), m, m, w, px(240), TRUE);
    MoveWindow(control(kInForce), m, 2 * m + h, w, h, TRUE);
    const int bottom = client.bottom - m - h;
    const int unpriced = bottom - m - 2 * h;
    MoveWindow(control(kList), m, 3 * m + 2 * h, w, unpriced - 4 * m - 2 * h, TRUE);
    MoveWindow(control(kUnpriced), m, unpriced, w, 2 * h, TRUE);
    MoveWindow(control(kClose), client.right - m - px(80), bottom, px(80), h, TRUE);
    MoveWindow(control(kLists), client.right - 2 * m - px(160), bottom, px(80), h, TRUE);
}

void PriceDetailWindow::show(ui::Calculator which, POINT at) {
    which_ = which;
    refresh();
    SetWindowPos(hwnd_, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    SetFocus(control(kChooser));
    SetTimer(hwnd_, kTimer, 100, nullptr);
}

void PriceDetailWindow::hide() {
    KillTimer(hwnd_, kTimer);
    ShowWindow(hwnd_, SW_HIDE);
}

void PriceDetailWindow::refresh() {
    const prices::Detail& d = session_.priceDetail(which_);
    HWND chooser = control(kChooser);
    std::vector<std::wstring> choices;
    for (const auto& c : d.choices) {
        choices.push_back(wide(c));
    }
    if (choices != choices_) {
        SendMessageW(chooser, CB_RESETCONTENT, 0, 0);
        for (const auto& c : choices) {
            SendMessageW(chooser, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.c_str()));
        }
        choices_ = std::move(choices);
    }
    // The chooser shows the pick, unless the user has its list open.
    if (SendMessageW(chooser, CB_GETDROPPEDSTATE, 0, 0) == FALSE) {
        const LRESULT at = SendMessageW(chooser, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                        reinterpret_cast<LPARAM>(wide(d.picked).c_str()));
        if (SendMessageW(chooser, CB_GETCURSEL, 0, 0) != at) {
            SendMessageW(chooser, CB_SETCURSEL, static_cast<WPARAM>(at == CB_ERR ? 0 : at), 0);
        }
    }
    setText(control(kInForce), L"按价格表计价：" + wide(d.inForce));
    setText(control(kUnpriced), wide(d.unpriced));
    std::vector<std::vector<std::wstring>> rows;
    for (const prices::DetailRow& row : d.rows) {
        rows.push_back({wide(row.label), wide(row.pieces), wide(row.volume), wide(row.price),
                        wide(row.amount)});
    }
    syncRows(control(kList), shown_, rows);
}

std::wstring PriceDetailWindow::cell(int row, int column) const {
    return cellOf(control(kList), row, column);
}

LRESULT PriceDetailWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kChooser:
            if (HIWORD(wParam) == CBN_SELCHANGE) {
                const LRESULT at = SendMessageW(control(kChooser), CB_GETCURSEL, 0, 0);
                if (at >= 0 && static_cast<std::size_t>(at) < choices_.size()) {
                    const std::wstring& c = choices_[static_cast<std::size_t>(at)];
                    session_.pickList(which_, std::u16string(c.begin(), c.end()));
                    refresh();
                }
            }
            return 0;
        case kLists:
            session_.openPriceLists();
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
