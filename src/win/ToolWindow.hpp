// SPDX-License-Identifier: GPL-3.0-or-later
// The plumbing of the program's plain windows beside the calculators (账单记录, 标准对照): a
// class registered once, the window and its font, children in that font, pixels at its dpi.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace logora::win {

// The window's messages go to owner->handle(), the owner being what the ToolWindow was given
// and holding it as window_.
template <typename Owner>
LRESULT CALLBACK toolWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    // Nothing reaches the owner while its window is being made: its members are not yet.
    auto* owner = reinterpret_cast<Owner*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (owner == nullptr || owner->window_.hwnd() == nullptr) {
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    return owner->handle(msg, wParam, lParam);
}

class ToolWindow {
  public:
    // A top-level window of the class (registered at its first use) with a 12 px song face.
    ToolWindow(HINSTANCE instance, const wchar_t* className, const wchar_t* title, WNDPROC proc,
               void* owner, int width96, int height96);
    ~ToolWindow();
    ToolWindow(const ToolWindow&) = delete;
    ToolWindow& operator=(const ToolWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    HFONT font() const { return font_; }
    // A visible child in the window's font, placed later.
    HWND child(const wchar_t* cls, const wchar_t* text, DWORD style, int id,
               DWORD exStyle = 0) const;
    // Pixels at 96 dpi, at the window's dpi.
    int px(int at96) const;
    // The window at its size at its dpi, once its children exist.
    void sizeToDpi(int width96, int height96) const;

  private:
    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
};

// A report list view brought to rows of texts, each cell written only when it changed; shown
// holds what the list holds.
void syncRows(HWND list, std::vector<std::vector<std::wstring>>& shown,
              const std::vector<std::vector<std::wstring>>& rows);

// The text of a list view's cell, for the tests.
std::wstring cellOf(HWND list, int row, int column);

} // namespace logora::win
