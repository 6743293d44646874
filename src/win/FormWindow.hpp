// SPDX-License-Identifier: GPL-3.0-or-later
// A window of the field model as native Win32 controls: EDIT, COMBOBOX, STATIC and BUTTON
// children placed by the definition's twips at the monitor's DPI, bound to the model by the
// same rules as the Qt view (a user's edit reaches the model, the model writes a control
// only when its text differs, a focused caret is kept).
#pragma once

#include "ui/Form.hpp"

#include <windows.h>

#include <functional>
#include <list>
#include <map>
#include <string>
#include <vector>

namespace logora::win {

class FormWindow {
  public:
    // An owned window (the price window) stays above its owner and has no task-bar entry.
    FormWindow(ui::Form& form, HINSTANCE instance, HWND owner = nullptr);
    ~FormWindow();
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    HWND controlFor(std::u16string_view name, int element = ui::kNoElement) const;

    // The model's changes to the controls; the number of controls written.
    int sync();
    void show();
    void hide();
    void minimise();
    bool visible() const;
    POINT position() const;
    void moveTo(POINT topLeft);
    // A timer that calls onTimer every interval milliseconds.
    void startTimer(UINT interval);
    void stopTimer();

    std::function<void()> onTimer;
    std::function<void()> onClosed;     // closed by the platform (Alt+F4, the close box)
    std::function<void()> onUserEdit;   // a user's edit reached the model
    std::function<void()> onEndSession; // the user logs off or the system shuts down
    // While true, ticks are held back: a modal message box runs its own loop.
    static bool modalOpen;

    static int px(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

  private:
    struct Bound {
        ui::Control* control = nullptr;
        HWND hwnd = nullptr;
        HWND edit = nullptr; // the edit field of a chooser, or the edit itself
        std::u16string shown;
        bool shownVisible = true;
        bool shownLookedUp = false;
        HBRUSH back = nullptr;
        bool hover = false;   // a button under the pointer
        bool pressed = false; // a caption that acts as a button, held down
    };

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK controlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR id, DWORD_PTR data);
    LRESULT handle(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT colours(const Bound& b, HDC dc);
    void activated(bool active);
    LRESULT handleControl(Bound& b, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void build();
    void addToolTip(HWND control, const std::u16string& text);
    void drawButtonFace(const Bound& b, HDC dc, RECT r, bool pressed);
    void drawCaption(const Bound& b, HDC dc, RECT r);
    static ui::FontSpec faceOf(const ui::ControlDef& d);
    void layout();
    void fitContents();
    SIZE neededSize(const Bound& b, HFONT font) const;
    HFONT fontFor(const ui::FontSpec& face);
    void command(Bound& b, WORD code);
    void userEdited(Bound& b);
    void userClicked(Bound& b);
    void picked(Bound& b);
    bool wheel(POINT screen, int delta);
    void moveFocus(const Bound& from, bool forward);
    bool arrowKey(const Bound& b, bool down);
    void paint(HDC dc);
    void paintLogEnd(HDC dc, RECT box);
    static POINT messagePos();
    Bound* boundOf(HWND child);
    Bound& boundOf(ui::Control& c);
    std::u16string textOf(const Bound& b) const;
    void writeText(Bound& b);

    ui::Form& form_;
    HWND hwnd_ = nullptr;
    UINT dpi_ = 96;
    std::vector<Bound> bound_;
    std::vector<std::size_t> focusChain_;
    std::map<std::tuple<std::u16string, int, bool>, HFONT> fonts_;
    HBRUSH windowBack_ = nullptr;
    HBRUSH fieldBack_ = nullptr;
    bool writing_ = false;
    HWND lastFocus_ = nullptr; // given back when the window is activated again
    HWND toolTips_ = nullptr;
    bool dragging_ = false; // by the right or middle button
    POINT dragFrom_{};
    POINT dragOrigin_{};
    std::list<std::wstring> tipTexts_;
};

// The UTF-16 text of the model as the wide text of Win32, and back.
inline std::wstring wide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}
inline std::u16string utf16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

} // namespace logora::win
