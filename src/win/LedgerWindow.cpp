// SPDX-License-Identifier: GPL-3.0-or-later
#include "win/LedgerWindow.hpp"

#include "text/NumberText.hpp"
#include "ui/Folders.hpp"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>

namespace logora::win {

namespace {

constexpr wchar_t kClass[] = L"LogoraLedger";

std::wstring wide(std::u16string_view t) {
    return {t.begin(), t.end()};
}

std::u16string u16(const std::wstring& t) {
    return {t.begin(), t.end()};
}

std::wstring textOf(HWND hwnd) {
    std::wstring t(static_cast<std::size_t>(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    t.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, t.data(), static_cast<int>(t.size()))));
    return t;
}

std::string dateOf(HWND picker) {
    SYSTEMTIME t{};
    SendMessageW(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&t));
    char out[16];
    std::snprintf(out, sizeof out, "%04d-%02d-%02d", t.wYear, t.wMonth, t.wDay);
    return out;
}

enum Period { AllDates, Today, ThisMonth, Range };

} // namespace

LedgerWindow::LedgerWindow(HINSTANCE instance, ledger::LedgerStore& store,
                           exporting::Spreadsheet& spreadsheet, const exporting::BillFolder& bills,
                           exporting::ExportPrompts& prompts)
    : window_(instance, kClass, L"账单记录", &toolWindowProc<LedgerWindow>, this, 1130, 560),
      view_(store), spreadsheet_(spreadsheet), bills_(bills), prompts_(prompts) {
    openFile = [](const std::filesystem::path& file) {
        return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", file.c_str(), nullptr,
                                                       nullptr, SW_SHOWNORMAL)) > 32;
    };
    make();
}

int LedgerWindow::textWidth(std::u16string_view text) const {
    const std::wstring shown = wide(text);
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font_);
    SIZE size{};
    GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    return size.cx;
}

void LedgerWindow::make() {
    auto child = [this](const wchar_t* cls, const wchar_t* text, DWORD style, int id,
                        DWORD exStyle = 0) { return window_.child(cls, text, style, id, exStyle); };
    child(L"STATIC", L"查找", SS_CENTERIMAGE, kFindLabel);
    child(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kFind, WS_EX_CLIENTEDGE);
    HWND period = child(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kPeriod);
    for (const wchar_t* p : {L"全部日期", L"今天", L"本月", L"日期范围"}) {
        SendMessageW(period, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(p));
    }
    SendMessageW(period, CB_SETCURSEL, AllDates, 0);
    SYSTEMTIME today{};
    GetLocalTime(&today);
    SYSTEMTIME first = today;
    first.wDay = 1;
    for (const auto& [id, date] : {std::pair{kFrom, first}, std::pair{kTo, today}}) {
        HWND picker = child(DATETIMEPICK_CLASSW, L"", WS_TABSTOP | DTS_SHORTDATEFORMAT, id);
        SendMessageW(picker, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"yyyy-MM-dd"));
        SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date));
        EnableWindow(picker, FALSE);
        if (id == kFrom) {
            child(L"STATIC", L"至", SS_CENTER | SS_CENTERIMAGE, kToLabel);
        }
    }
    HWND sheet = child(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kSheet);
    for (const std::u16string& s : ledger::LedgerView::sheetChoices()) {
        SendMessageW(sheet, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(s).c_str()));
    }
    SendMessageW(sheet, CB_SETCURSEL, 0, 0);
    child(L"COMBOBOX", L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kView);
    HWND list = child(WC_LISTVIEWW, L"",
                      WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                      kList, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    child(L"STATIC", L"", SS_CENTERIMAGE, kTotals);
    child(L"STATIC", L"", 0, kState);
    child(L"BUTTON", L"共享账本…", WS_TABSTOP | BS_PUSHBUTTON, kYard);
    child(L"STATIC", L"作废原因", SS_CENTERIMAGE | SS_RIGHT, kReasonLabel);
    child(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kReason, WS_EX_CLIENTEDGE);
    child(L"BUTTON", L"打开", WS_TABSTOP | BS_PUSHBUTTON, kOpen);
    child(L"BUTTON", L"作废", WS_TABSTOP | BS_PUSHBUTTON, kVoid);
    child(L"BUTTON", L"导出汇总", WS_TABSTOP | BS_PUSHBUTTON, kSummary);
    child(L"BUTTON", L"关闭", WS_TABSTOP | BS_PUSHBUTTON, kClose);
    window_.sizeToDpi(1130, 560);
    layout();
}

void LedgerWindow::layout() {
    if (control(kClose) == nullptr) {
        return; // still being made
    }
    RECT client;
    GetClientRect(hwnd_, &client);
    const int m = px(8);
    const int h = px(24);
    // The first row: what is found, the dates, the sheet and the view; then the list; then
    // the totals, the void reason and the buttons.
    int x = m;
    auto place = [&](Id id, int width, int y, int height) {
        MoveWindow(control(id), x, y, width, height, TRUE);
        x += width + px(6);
    };
    const std::pair<Id, int> rowOne[] = {{kFindLabel, 36}, {kFind, 190},   {kPeriod, 90},
                                         {kFrom, 100},     {kToLabel, 20}, {kTo, 100},
                                         {kSheet, 90},     {kView, 120}};
    for (const auto& [id, width] : rowOne) {
        const bool combo = id == kPeriod || id == kSheet || id == kView;
        place(id, px(width), m, combo ? px(200) : h); // a drop-down's height holds its list
    }
    const int listTop = m + h + m;
    const int bottom = client.bottom - m - h;
    // The yard's line, when there is one, between the list and the buttons.
    const bool state = !view_.stateLine().empty();
    const int listBottom = state ? bottom - m - h : bottom;
    MoveWindow(control(kList), m, listTop, client.right - 2 * m, listBottom - m - listTop, TRUE);
    MoveWindow(control(kState), m, listBottom, client.right - 2 * m, h, TRUE);
    ShowWindow(control(kState), state ? SW_SHOWNA : SW_HIDE);
    x = m;
    place(kTotals, std::max(px(200), static_cast<int>(client.right) - px(720) - 2 * m), bottom, h);
    place(kReasonLabel, px(64), bottom, h);
    place(kReason, px(150), bottom, h);
    place(kYard, px(94), bottom, h);
    for (Id b : {kOpen, kVoid, kSummary, kClose}) {
        place(b, px(80), bottom, h);
    }
}

void LedgerWindow::show(POINT at) {
    reload();
    SetWindowPos(hwnd_, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    SetFocus(control(kFind));
}

void LedgerWindow::reload() {
    if (const std::optional<std::u16string> problem = view_.reload()) {
        say(*problem);
    }
    SetWindowTextW(control(kState), wide(view_.stateLine()).c_str());
    layout();
    // The party views follow the captions the records hold.
    const ledger::View current = view_.view();
    views_ = view_.viewChoices();
    HWND box = control(kView);
    filling_ = true;
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    int keep = 0;
    for (std::size_t i = 0; i < views_.size(); ++i) {
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(views_[i].first).c_str()));
        if (views_[i].second == current) {
            keep = static_cast<int>(i);
        }
    }
    SendMessageW(box, CB_SETCURSEL, keep, 0);
    filling_ = false;
    view_.setView(views_[static_cast<std::size_t>(keep)].second);
    filterChanged();
}

void LedgerWindow::filterChanged() {
    ledger::Filter f;
    const std::string today = ui::localNow("%Y-%m-%d");
    const auto period = static_cast<int>(SendMessageW(control(kPeriod), CB_GETCURSEL, 0, 0));
    switch (period) {
    case Today:
        f = ledger::todayFilter(today);
        break;
    case ThisMonth:
        f = ledger::thisMonthFilter(today);
        break;
    case Range:
        f.from = dateOf(control(kFrom));
        f.to = dateOf(control(kTo));
        break;
    default:
        break;
    }
    std::wstring find = textOf(control(kFind));
    while (!find.empty() && find.back() == L' ') {
        find.pop_back();
    }
    while (!find.empty() && find.front() == L' ') {
        find.erase(0, 1);
    }
    f.text = u16(find);
    const auto sheet = SendMessageW(control(kSheet), CB_GETCURSEL, 0, 0);
    if (sheet > 0) {
        f.sheet = ledger::LedgerView::sheetChoices()[static_cast<std::size_t>(sheet)];
    }
    view_.setFilter(std::move(f));
    viewsChanged();
}

void LedgerWindow::viewsChanged() {
    HWND list = control(kList);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    while (ListView_DeleteColumn(list, 0)) {
    }
    const auto& columns = view_.columns();
    for (std::size_t c = 0; c < columns.size(); ++c) {
        std::wstring name = wide(columns[c]);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        col.fmt =
            c > 0 && ledger::LedgerView::figureColumn(columns[c]) ? LVCFMT_RIGHT : LVCFMT_LEFT;
        col.cx =
            std::max(textWidth(columns[c]), textWidth(ledger::LedgerView::widestText(columns[c]))) +
            px(14);
        col.pszText = name.data();
        ListView_InsertColumn(list, static_cast<int>(c), &col);
    }
    cachedRow_ = static_cast<std::size_t>(-1);
    ListView_SetItemCountEx(list, static_cast<int>(view_.rowCount()), 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
    SetWindowTextW(control(kTotals), wide(view_.totalsLine()).c_str());
    const bool bills = !view_.view().grouping;
    EnableWindow(control(kOpen), bills);
    EnableWindow(control(kVoid), bills);
}

int LedgerWindow::currentRow() const {
    return ListView_GetNextItem(control(kList), -1, LVNI_SELECTED);
}

void LedgerWindow::openCurrent() {
    const int row = currentRow();
    if (row < 0) {
        return;
    }
    const ledger::LedgerView::Opening o = view_.opening(static_cast<std::size_t>(row));
    if (!o.problem.empty()) {
        say(o.problem);
    } else if (!openFile(o.file)) {
        say(u"无法打开 " + u16(o.file.wstring()) + u"。请在资源管理器里打开它。");
    }
}

void LedgerWindow::voidCurrent() {
    const int row = currentRow();
    const ledger::BillRecord* r = row < 0 ? nullptr : view_.bill(static_cast<std::size_t>(row));
    if (r == nullptr) {
        return;
    }
    std::wstring reason = textOf(control(kReason));
    if (reason.find_first_not_of(L' ') == std::wstring::npos) {
        say(u"请先在“作废原因”里写上为什么作废，再按“作废”。");
        SetFocus(control(kReason));
        return;
    }
    const std::string number = r->number;
    if (!prompts_.ask(u"把账单 " + text::fromUtf8(number) +
                      u" 作废？它仍然列出，但不再计入任何合计。")) {
        return;
    }
    if (const auto problem = view_.markVoid(static_cast<std::size_t>(row), u16(reason))) {
        say(*problem);
    }
    SetWindowTextW(control(kReason), L"");
    viewsChanged();
    // A void bill stays listed where it was: the same row is selected again.
    const auto at = static_cast<std::size_t>(row);
    if (view_.bill(at) != nullptr && view_.bill(at)->number == number) {
        ListView_SetItemState(control(kList), row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
    }
}

void LedgerWindow::command(int id, int code) {
    switch (id) {
    case IDOK: // Enter: opens in the list, goes to the list from the find field
        if (GetFocus() == control(kList)) {
            openCurrent();
        } else if (GetFocus() == control(kReason)) {
            voidCurrent();
        } else {
            SetFocus(control(kList));
            if (currentRow() < 0 && view_.rowCount() > 0) {
                ListView_SetItemState(control(kList), 0, LVIS_SELECTED | LVIS_FOCUSED,
                                      LVIS_SELECTED | LVIS_FOCUSED);
            }
        }
        break;
    case IDCANCEL:
    case kClose:
        hide();
        break;
    case kFind:
        if (code == EN_CHANGE) {
            filterChanged();
        }
        break;
    case kPeriod:
        if (code == CBN_SELCHANGE) {
            const bool range = SendMessageW(control(kPeriod), CB_GETCURSEL, 0, 0) == Range;
            EnableWindow(control(kFrom), range);
            EnableWindow(control(kTo), range);
            filterChanged();
        }
        break;
    case kSheet:
        if (code == CBN_SELCHANGE) {
            filterChanged();
        }
        break;
    case kView:
        if (code == CBN_SELCHANGE && !filling_) {
            const auto i = SendMessageW(control(kView), CB_GETCURSEL, 0, 0);
            if (i >= 0 && static_cast<std::size_t>(i) < views_.size()) {
                view_.setView(views_[static_cast<std::size_t>(i)].second);
                viewsChanged();
            }
        }
        break;
    case kOpen:
        openCurrent();
        break;
    case kVoid:
        voidCurrent();
        break;
    case kSummary:
        view_.exportSummary(spreadsheet_, bills_, prompts_);
        break;
    case kYard:
        if (onYard) {
            onYard();
        }
        break;
    default:
        break;
    }
}

LRESULT LedgerWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        const auto* n = reinterpret_cast<const NMHDR*>(lParam);
        if (n->idFrom == kList && n->code == LVN_GETDISPINFOW) {
            auto* d = reinterpret_cast<NMLVDISPINFOW*>(lParam);
            if ((d->item.mask & LVIF_TEXT) != 0 && d->item.cchTextMax > 0) {
                const auto row = static_cast<std::size_t>(d->item.iItem);
                if (row != cachedRow_) {
                    cached_.clear();
                    for (const std::u16string& t : view_.row(row)) {
                        cached_.push_back(wide(t));
                    }
                    cachedRow_ = row;
                }
                const auto c = static_cast<std::size_t>(d->item.iSubItem);
                lstrcpynW(d->item.pszText, c < cached_.size() ? cached_[c].c_str() : L"",
                          d->item.cchTextMax);
            }
            return 0;
        }
        if (n->idFrom == kList && n->code == NM_DBLCLK) {
            openCurrent();
            return 0;
        }
        if ((n->idFrom == kFrom || n->idFrom == kTo) && n->code == DTN_DATETIMECHANGE) {
            filterChanged();
            return 0;
        }
        break;
    }
    case WM_SIZE:
        layout();
        return 0;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        DeleteObject(font_);
        font_ = CreateFontW(-px(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                            DEFAULT_PITCH | FF_DONTCARE, L"宋体");
        for (HWND c = GetWindow(hwnd_, GW_CHILD); c != nullptr; c = GetWindow(c, GW_HWNDNEXT)) {
            SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        }
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        viewsChanged();
        return 0;
    }
    case WM_CLOSE:
        hide(); // kept, with its filters, for the next opening
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

} // namespace logora::win
