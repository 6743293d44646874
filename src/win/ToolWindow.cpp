// SPDX-License-Identifier: GPL-3.0-or-later
#include "win/ToolWindow.hpp"

#include <commctrl.h>

namespace logora::win {

ToolWindow::ToolWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title,
                       WNDPROC proc, void* owner, int width96, int height96)
    : instance_(instance) {
    WNDCLASSEXW known{};
    known.cbSize = sizeof known;
    if (!GetClassInfoExW(instance, className, &known)) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = proc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
        wc.lpszClassName = className;
        RegisterClassExW(&wc);
    }
    hwnd_ =
        CreateWindowExW(WS_EX_CONTROLPARENT, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, width96, height96, nullptr, nullptr, instance, owner);
    font_ = CreateFontW(-px(12), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, L"宋体");
}

ToolWindow::~ToolWindow() {
    DestroyWindow(hwnd_);
    DeleteObject(font_);
}

HWND ToolWindow::child(const wchar_t* cls, const wchar_t* text, DWORD style, int id,
                       DWORD exStyle) const {
    HWND h = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return h;
}

int ToolWindow::px(int at96) const {
    const UINT dpi = hwnd_ != nullptr ? GetDpiForWindow(hwnd_) : 0;
    return MulDiv(at96, dpi != 0 ? static_cast<int>(dpi) : 96, 96);
}

void ToolWindow::sizeToDpi(int width96, int height96) const {
    SetWindowPos(hwnd_, nullptr, 0, 0, px(width96), px(height96), SWP_NOMOVE | SWP_NOZORDER);
}

void syncRows(HWND list, std::vector<std::vector<std::wstring>>& shown,
              const std::vector<std::vector<std::wstring>>& rows) {
    while (shown.size() > rows.size()) {
        ListView_DeleteItem(list, static_cast<int>(shown.size()) - 1);
        shown.pop_back();
    }
    while (shown.size() < rows.size()) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(shown.size());
        item.pszText = const_cast<wchar_t*>(L"");
        ListView_InsertItem(list, &item);
        shown.emplace_back();
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        shown[r].resize(rows[r].size());
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            if (shown[r][c] != rows[r][c]) {
                std::wstring text = rows[r][c];
                ListView_SetItemText(list, static_cast<int>(r), static_cast<int>(c), text.data());
                shown[r][c] = std::move(text);
            }
        }
    }
}

std::wstring cellOf(HWND list, int row, int column) {
    wchar_t text[128] = {};
    ListView_GetItemText(list, row, column, text, 128);
    return text;
}

} // namespace logora::win
