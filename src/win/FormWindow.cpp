// SPDX-License-Identifier: GPL-3.0-or-later
#include "win/FormWindow.hpp"

#include "ui/Artwork.hpp"
#include "ui/Fit.hpp"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <vector>

namespace logora::win {

namespace {

constexpr wchar_t kClassName[] = L"LogoraForm";
constexpr int kFirstId = 1000;
constexpr UINT_PTR kTickTimer = 1;

COLORREF colorOf(const ui::Rgb& c) {
    return RGB(c.r, c.g, c.b);
}

UINT dpiOf(HWND hwnd) {
    const UINT dpi = hwnd != nullptr ? GetDpiForWindow(hwnd) : 0;
    return dpi != 0 ? dpi : 96;
}

void registerClass(HINSTANCE instance) {
    static bool registered = false;
    if (registered) {
        return;
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW; // replaced per window once it knows its object
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
    registered = true;
}

} // namespace

bool FormWindow::modalOpen = false;

FormWindow::FormWindow(ui::Form& form, HINSTANCE instance, HWND owner) : form_(form) {
    registerClass(instance);
    const ui::WindowDef& def = form.def();
    // A calculator has no frame of the system's, only its own title band; it still shows in
    // the task bar and minimises there.
    const DWORD style =
        def.frameless ? WS_POPUP | WS_MINIMIZEBOX | WS_SYSMENU | WS_CLIPCHILDREN
                      : WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    const std::wstring title = wide(def.title.empty() ? def.band : def.title);
    hwnd_ =
        CreateWindowExW(def.frameless ? WS_EX_APPWINDOW : 0, kClassName, title.c_str(), style,
                        CW_USEDEFAULT, CW_USEDEFAULT, 100, 100, owner, nullptr, instance, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FormWindow::windowProc));
    dpi_ = dpiOf(hwnd_);
    windowBack_ = CreateSolidBrush(colorOf(def.back.value_or(ui::kWindowBack)));
    fieldBack_ = CreateSolidBrush(RGB(255, 255, 255));
    build();
    layout();
    focusChain_ = ui::focusChain(form_);
    form_.takeChanged([](ui::Control&) {}); // the controls start from the model as it is
}

FormWindow::~FormWindow() {
    if (hwnd_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    for (auto& [key, font] : fonts_) {
        DeleteObject(font);
    }
    for (Bound& b : bound_) {
        if (b.back != nullptr) {
            DeleteObject(b.back);
        }
    }
    DeleteObject(windowBack_);
    DeleteObject(fieldBack_);
}

void FormWindow::build() {
    bound_.resize(form_.controls().size());
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE));
    for (std::size_t i = 0; i < bound_.size(); ++i) {
        ui::Control& c = form_.controls()[i];
        const ui::ControlDef& d = c.def();
        Bound& b = bound_[i];
        b.control = &c;
        b.shown = c.text();
        b.shownVisible = c.visible();
        const wchar_t* cls = L"EDIT";
        // Controls of the definitions overlap by a border (the grid's 径级/件数 pairs, the
        // sawn rows): each paints only what no sibling above it covers, so none paints over
        // another in whatever order the paints come.
        DWORD style = WS_CHILD | WS_CLIPSIBLINGS | (c.visible() ? WS_VISIBLE : 0);
        DWORD exStyle = 0;
        std::wstring text = wide(c.text());
        switch (d.kind) {
        case ui::Kind::Text:
            style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT | (d.password ? ES_PASSWORD : 0);
            exStyle = WS_EX_CLIENTEDGE;
            break;
        case ui::Kind::Combo:
            cls = L"COMBOBOX";
            style |= WS_TABSTOP | CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL;
            break;
        case ui::Kind::Label:
            cls = L"STATIC";
            // Captions wrap only where they are drawn more than a line high, as in the Qt view.
            // A caption that acts as a button is drawn here, as the Qt view draws it: wrapped
            // and centred, on a button's face.
            // A wrapped one is drawn here too, so that its lines keep the gap they have on Qt.
            style |= SS_NOTIFY | SS_NOPREFIX |
                     (d.clickable || ui::wrapsOverLines(d) ? SS_OWNERDRAW : SS_LEFTNOWORDWRAP);
            text = wide(d.text);
            break;
        case ui::Kind::Button:
            cls = L"BUTTON";
            style |= WS_TABSTOP | BS_OWNERDRAW; // a wood face, as on Qt
            text = wide(d.text);
            break;
        }
        b.hwnd = CreateWindowExW(
            exStyle, cls, d.kind == ui::Kind::Combo ? L"" : text.c_str(), style, 0, 0, 10, 10,
            hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstId + i)), instance, nullptr);
        b.edit = b.hwnd;
        if (d.kind == ui::Kind::Combo) {
            for (const auto& item : d.items) {
                SendMessageW(b.hwnd, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(item).c_str()));
            }
            COMBOBOXINFO info{};
            info.cbSize = sizeof info;
            if (GetComboBoxInfo(b.hwnd, &info) && info.hwndItem != nullptr) {
                b.edit = info.hwndItem;
                // A chooser of fixed names (the volume rules) is picked from, never typed into.
                SendMessageW(b.edit, EM_SETREADONLY, d.pickOnly ? TRUE : FALSE, 0);
            }
            writing_ = true;
            SetWindowTextW(b.hwnd, text.c_str());
            writing_ = false;
        }
        if (d.back) {
            b.back = CreateSolidBrush(colorOf(*d.back));
        }
        SetWindowSubclass(b.hwnd, &FormWindow::controlProc, i, reinterpret_cast<DWORD_PTR>(this));
        if (b.edit != b.hwnd) {
            SetWindowSubclass(b.edit, &FormWindow::controlProc, i,
                              reinterpret_cast<DWORD_PTR>(this));
        }
        if (!d.toolTip.empty()) {
            addToolTip(b.hwnd, d.toolTip);
        }
    }
    // Stacked as the Qt view stacks them: a control of the definition lies over those before
    // it, so where two overlap by a border the later one shows whole.
    for (const Bound& b : bound_) {
        SetWindowPos(b.hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

namespace {

bool wordCharacter(wchar_t c) {
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The lines of a caption within width in the font selected into dc: as many characters as fit,
// a Latin word or number kept whole where a space before it allows.
std::vector<std::wstring> wrappedLines(HDC dc, const std::wstring& text, int width) {
    std::vector<std::wstring> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        INT fit = 0;
        SIZE size;
        GetTextExtentExPointW(dc, text.c_str() + at, static_cast<int>(text.size() - at),
                              std::max(width, 1), &fit, nullptr, &size);
        std::size_t end = at + std::max<std::size_t>(fit, 1);
        if (end < text.size() && wordCharacter(text[end]) && wordCharacter(text[end - 1])) {
            const std::size_t space = text.find_last_of(L' ', end);
            if (space != std::wstring::npos && space > at) {
                end = space + 1;
            }
        }
        lines.push_back(text.substr(at, end - at));
        at = end;
    }
    return lines;
}

// A caption's lines within a width, in the font selected into dc, and how far apart they are.
struct WrappedText {
    std::vector<std::wstring> lines;
    int lineHeight = 0;
    int pitch = 0;

    int height() const {
        return lines.empty() ? 0 : static_cast<int>(lines.size()) * pitch - (pitch - lineHeight);
    }
    int width(HDC dc) const {
        LONG widest = 0;
        for (const std::wstring& line : lines) {
            SIZE size;
            GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size);
            widest = std::max(widest, size.cx);
        }
        return widest;
    }
};

WrappedText wrapped(HDC dc, const std::wstring& text, int width) {
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    return {wrappedLines(dc, text, width), tm.tmHeight,
            tm.tmHeight + ui::wrappedLineGap(tm.tmHeight, tm.tmExternalLeading)};
}

// A wrapped caption in r, its lines apart and the block centred up and down, as on Qt.
void drawWrapped(HDC dc, const std::wstring& text, RECT r) {
    const WrappedText lines = wrapped(dc, text, r.right - r.left);
    int y = r.top + std::max<int>(0, ((r.bottom - r.top) - lines.height()) / 2);
    for (const std::wstring& line : lines.lines) {
        TextOutW(dc, r.left, y, line.c_str(), static_cast<int>(line.size()));
        y += lines.pitch;
    }
}

} // namespace

// A caption wrapped onto several lines, on its own background.
void FormWindow::drawCaption(const Bound& b, HDC dc, RECT r) {
    SetTextColor(dc, RGB(0, 0, 0)); // a colour of its own, if any, follows
    const auto brush = reinterpret_cast<HBRUSH>(colours(b, dc));
    FillRect(dc, &r, brush != nullptr ? brush : windowBack_);
    HGDIOBJ oldFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(b.hwnd, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    // A caption the logic writes shows its text; any other, its definition's.
    const std::u16string& written = b.control->text();
    drawWrapped(dc, wide(written.empty() ? b.control->def().text : written), r);
    SelectObject(dc, oldFont);
}

// A button, or a caption that acts as one, as the Qt view's style sheet draws it: a wood face
// shading down (lighter under the pointer, inverted when pressed), a dark rim with rounded
// corners (a red one when focused), the caption bold, wrapped and centred.
void FormWindow::drawButtonFace(const Bound& b, HDC dc, RECT r, bool pressed) {
    const ui::ControlDef& d = b.control->def();
    const bool focused = GetFocus() == b.hwnd;
    const ui::ButtonFace& face = pressed   ? ui::kButtonPressed
                                 : b.hover ? ui::kButtonHover
                                           : ui::kButtonFace;
    FillRect(dc, &r, windowBack_);
    const int h = std::max<int>(r.bottom - r.top, 1);
    const int radius = px(ui::kButtonRadiusTwips, dpi_);
    HRGN round = CreateRoundRectRgn(r.left, r.top, r.right + 1, r.bottom + 1, radius, radius);
    SelectClipRgn(dc, round);
    if (b.back != nullptr) {
        FillRect(dc, &r, b.back); // a colour of its own, as its style sheet gives it on Qt
    } else {
        for (int y = 0; y < h; ++y) {
            RECT line{r.left, r.top + y, r.right, r.top + y + 1};
            HBRUSH brush = CreateSolidBrush(colorOf(ui::faceAt(face, double(y) / h)));
            FillRect(dc, &line, brush);
            DeleteObject(brush);
        }
    }
    SelectClipRgn(dc, nullptr);
    DeleteObject(round);
    HPEN pen =
        CreatePen(PS_SOLID, focused ? 2 : 1, colorOf(focused ? ui::kButtonFocus : ui::kButtonRim));
    HGDIOBJ oldPen = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    RoundRect(dc, r.left, r.top, r.right, r.bottom, radius, radius);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(pen);

    HGDIOBJ oldFont =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(b.hwnd, WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, d.fore ? colorOf(*d.fore) : colorOf(ui::kButtonText));
    const std::wstring text = wide(d.text);
    RECT room = r;
    InflateRect(&room, -px(30, dpi_), 0); // the rim and a pixel of padding, as on Qt
    if (pressed) {
        OffsetRect(&room, 0, 1);
    }
    RECT need = room;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need,
              DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    room.top += std::max<int>(0, ((room.bottom - room.top) - (need.bottom - need.top)) / 2);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &room,
              DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

// The definition's tool tip, shown while the pointer rests on the control, as on Qt.
void FormWindow::addToolTip(HWND control, const std::u16string& text) {
    if (toolTips_ == nullptr) {
        toolTips_ =
            CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                            WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, nullptr, nullptr);
    }
    tipTexts_.push_back(wide(text)); // the tool keeps a pointer to its text
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = tipTexts_.back().data();
    SendMessageW(toolTips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

ui::FontSpec FormWindow::faceOf(const ui::ControlDef& d) {
    return ui::isButtonLike(d) ? ui::buttonFont(d.font) : d.font;
}

HFONT FormWindow::fontFor(const ui::FontSpec& face) {
    const int tenths = static_cast<int>(face.points * 10 + 0.5);
    const auto key =
        std::make_tuple(face.family, tenths * 1000 + static_cast<int>(dpi_), face.bold);
    auto found = fonts_.find(key);
    if (found != fonts_.end()) {
        return found->second;
    }
    HFONT font = CreateFontW(-MulDiv(tenths, static_cast<int>(dpi_), 720), 0, 0, 0,
                             face.bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, GB2312_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, wide(face.family).c_str());
    fonts_.emplace(key, font);
    return font;
}

// Places every control by its twips at the window's DPI; again when the DPI changes.
void FormWindow::layout() {
    const ui::WindowDef& def = form_.def();
    RECT r{0, 0, px(def.width, dpi_), px(def.height, dpi_)};
    const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
    AdjustWindowRectExForDpi(&r, style, FALSE, exStyle, dpi_);
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (Bound& b : bound_) {
        const ui::ControlDef& d = b.control->def();
        // A chooser's height is its edit field's; the list drops below it.
        const int height = d.kind == ui::Kind::Combo ? px(d.height, dpi_) * 6 : px(d.height, dpi_);
        SetWindowPos(b.hwnd, nullptr, px(d.left, dpi_), px(d.top, dpi_), px(d.width, dpi_), height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(b.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(faceOf(d))), TRUE);
    }
    fitContents();
}

// What a control needs to show its caption or its widest value whole, with its font.
SIZE FormWindow::neededSize(const Bound& b, HFONT font) const {
    const ui::ControlDef& d = b.control->def();
    std::u16string shown = !d.widest.empty()                                         ? d.widest
                           : d.kind == ui::Kind::Label || d.kind == ui::Kind::Button ? d.text
                                                                                     : b.shown;
    HDC dc = GetDC(hwnd_);
    HGDIOBJ old = SelectObject(dc, font);
    const std::wstring text = wide(shown);
    RECT r{0, 0, 0, 0};
    UINT format = DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE;
    // Captions wrap where the Qt view wraps them: those drawn more than a line high, and every
    // caption that acts as a button.
    if (d.kind == ui::Kind::Label && (ui::wrapsOverLines(d) || d.clickable)) {
        RECT placed;
        GetClientRect(b.hwnd, &placed);
        r.right = placed.right - (d.clickable ? px(60, dpi_) : 0);
        format = DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK;
    }
    if (ui::wrapsOverLines(d)) {
        const WrappedText lines = wrapped(dc, text, r.right);
        r.right = lines.width(dc);
        r.bottom = lines.height();
    } else {
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
    }
    if (d.kind == ui::Kind::Combo && d.widest.empty()) {
        // A chooser shows any of its items once picked: the widest of them has to fit.
        for (const std::u16string& item : d.items) {
            const std::wstring itemText = wide(item);
            RECT itemRect{0, 0, 0, 0};
            DrawTextW(dc, itemText.c_str(), static_cast<int>(itemText.size()), &itemRect, format);
            r.right = std::max(r.right, itemRect.right);
            r.bottom = std::max(r.bottom, itemRect.bottom);
        }
    }
    SelectObject(dc, old);
    ReleaseDC(hwnd_, dc);
    // The room a control spends around its text: frames, margins, a chooser's arrow.
    const int edge = 2 * GetSystemMetricsForDpi(SM_CXEDGE, dpi_);
    // The edit's own margins, as its font sets them: a CJK font's can be several pixels, and
    // a text a pixel too wide scrolls its first digit out of sight ("80.00" for "480.00").
    const LRESULT margins = SendMessageW(b.edit, EM_GETMARGINS, 0, 0);
    const int editMargins = LOWORD(margins) + HIWORD(margins) + px(15, dpi_); // and the caret
    int chrome = 0;
    switch (d.kind) {
    case ui::Kind::Text:
        chrome = edge + std::max(editMargins, px(30, dpi_));
        break;
    case ui::Kind::Combo:
        chrome =
            edge + GetSystemMetricsForDpi(SM_CXVSCROLL, dpi_) + std::max(editMargins, px(30, dpi_));
        break;
    case ui::Kind::Button:
        chrome = px(120, dpi_);
        break;
    case ui::Kind::Label:
        chrome = d.clickable ? px(60, dpi_) : 0;
        break;
    }
    const bool label = d.kind == ui::Kind::Label;
    return {r.right - r.left + chrome, label ? r.bottom - r.top + (d.clickable ? 2 : 0) : 0};
}

// A control whose text does not fit takes free room beside it, then a smaller font in half
// points down to 7: the Qt view's rule, measured here by GDI.
void FormWindow::fitContents() {
    auto boxOf = [this](HWND h) {
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(HWND_DESKTOP, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        return ui::Box{r.left, r.top, r.right - r.left, r.bottom - r.top};
    };
    std::vector<ui::Box> taken;
    std::vector<bool> visible;
    for (const Bound& b : bound_) {
        ui::Box box = boxOf(b.hwnd);
        if (b.control->kind() == ui::Kind::Combo) {
            box.height = px(b.control->def().height, dpi_); // its list drops over others
        }
        taken.push_back(box);
        visible.push_back(b.control->def().visible);
    }
    RECT client;
    GetClientRect(hwnd_, &client);
    // A calculator's own frame is no room to grow into.
    const int frame = form_.def().frameless ? px(ui::kFrameTwips, dpi_) : 0;
    const ui::Box window{frame, frame, client.right - 2 * frame, client.bottom - 2 * frame};
    for (std::size_t i = 0; i < bound_.size(); ++i) {
        Bound& b = bound_[i];
        const ui::ControlDef& d = b.control->def();
        if (d.kind == ui::Kind::Text && d.widest.empty()) {
            continue; // a typed field scrolls its own text
        }
        ui::FontSpec face = faceOf(d);
        SIZE need = neededSize(b, fontFor(face));
        const bool label = d.kind == ui::Kind::Label;
        const ui::Box r = ui::grownToFit(taken, visible, window,
                                         {i, need.cx, need.cy, label && d.clickable, label});
        if (!(r == taken[i])) {
            const int height = d.kind == ui::Kind::Combo ? r.height * 6 : r.height;
            SetWindowPos(b.hwnd, nullptr, r.left, r.top, r.width, height,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            taken[i] = r;
            need = neededSize(b, fontFor(face));
        }
        face.points = ui::shrunkToFit(face.points, [&](double points) {
            if (points != face.points) {
                face.points = points;
                need = neededSize(b, fontFor(face));
            }
            return need.cx <= r.width && need.cy <= r.height;
        });
        if (face.points != faceOf(d).points) {
            SendMessageW(b.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(fontFor(face)), TRUE);
        }
    }
}

HWND FormWindow::controlFor(std::u16string_view name, int element) const {
    const ui::Control* c = form_.find(name, element);
    if (c == nullptr) {
        return nullptr;
    }
    return bound_[static_cast<std::size_t>(c - form_.controls().data())].hwnd;
}

FormWindow::Bound& FormWindow::boundOf(ui::Control& c) {
    return bound_[static_cast<std::size_t>(&c - form_.controls().data())];
}

FormWindow::Bound* FormWindow::boundOf(HWND child) {
    for (Bound& b : bound_) {
        if (b.hwnd == child || b.edit == child) {
            return &b;
        }
    }
    return nullptr;
}

std::u16string FormWindow::textOf(const Bound& b) const {
    const int length = GetWindowTextLengthW(b.hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(b.hwnd, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(length));
    return utf16(text);
}

void FormWindow::writeText(Bound& b) {
    const bool focused = GetFocus() == b.edit;
    DWORD caret = 0;
    if (focused) {
        SendMessageW(b.edit, EM_GETSEL, reinterpret_cast<WPARAM>(&caret), 0);
    }
    writing_ = true;
    SetWindowTextW(b.hwnd, wide(b.shown).c_str());
    writing_ = false;
    // A focused field keeps its caret; any other shows the start of its text.
    const auto at = focused ? std::min<DWORD>(caret, static_cast<DWORD>(b.shown.size())) : 0;
    SendMessageW(b.edit, EM_SETSEL, at, at);
}

// A tick's writes paint once: the window's redraw is held while its controls change (a clear
// rewrites every count), then each changed control is painted.
int FormWindow::sync() {
    int written = 0;
    bool held = false;
    bool shownOrHidden = false;
    std::vector<HWND> changed;
    auto hold = [&] {
        if (!held && IsWindowVisible(hwnd_)) {
            SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
            held = true;
        }
    };
    form_.takeChanged([&](ui::Control& c) {
        Bound& b = boundOf(c);
        if (b.shownVisible != c.visible()) {
            hold();
            b.shownVisible = c.visible();
            ShowWindow(b.hwnd, c.visible() ? SW_SHOWNA : SW_HIDE);
            changed.push_back(b.hwnd);
            shownOrHidden = true;
            ++written;
        }
        if (b.shownLookedUp != c.lookedUp()) {
            // A looked-up value is grey; the field repaints with the colour of its state.
            hold();
            b.shownLookedUp = c.lookedUp();
            changed.push_back(b.hwnd);
            ++written;
        }
        if (b.shown == c.text() || c.kind() == ui::Kind::Button) {
            return;
        }
        hold();
        b.shown = c.text();
        if (c.kind() == ui::Kind::Label) {
            SetWindowTextW(b.hwnd, wide(c.text()).c_str()); // a status line the logic writes
        } else {
            writeText(b);
        }
        changed.push_back(b.hwnd);
        ++written;
    });
    if (held) {
        SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
        for (HWND h : changed) {
            RedrawWindow(h, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
        }
        if (shownOrHidden) {
            InvalidateRect(hwnd_, nullptr, FALSE); // a hidden control leaves the background
        }
    }
    return written;
}

void FormWindow::userEdited(Bound& b) {
    b.shown = textOf(b);
    ui::containChangeLoops([&] { b.control->setText(b.shown); });
    if (onUserEdit) {
        onUserEdit();
    }
    sync();
}

void FormWindow::userClicked(Bound& b) {
    ui::containChangeLoops([&] { form_.click(b.control->name(), b.control->element()); });
    sync();
}

void FormWindow::command(Bound& b, WORD code) {
    switch (b.control->kind()) {
    case ui::Kind::Text:
        if (code == EN_CHANGE && !writing_) {
            userEdited(b);
        }
        break;
    case ui::Kind::Combo:
        if (code == CBN_EDITCHANGE && !writing_) {
            userEdited(b);
        } else if (code == CBN_SELCHANGE) {
            // While the list is open, Up and Down only move its highlight, as on Qt: the item
            // counts when it is picked (Enter or a click). A closed chooser takes the step.
            if (SendMessageW(b.hwnd, CB_GETDROPPEDSTATE, 0, 0) == 0) {
                picked(b);
            }
        } else if (code == CBN_SELENDOK) {
            picked(b);
        } else if (code == CBN_SELENDCANCEL) {
            writeText(b); // Esc: the chooser shows what it held
        }
        break;
    case ui::Kind::Button:
        if (code == BN_CLICKED) {
            userClicked(b);
        }
        break;
    case ui::Kind::Label:
        if (code == STN_CLICKED && b.control->def().clickable) {
            userClicked(b);
        }
        break;
    }
}

// The chooser's selected item becomes its control's text, as a click on it would.
void FormWindow::picked(Bound& b) {
    const LRESULT index = SendMessageW(b.hwnd, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) {
        return;
    }
    const auto length = SendMessageW(b.hwnd, CB_GETLBTEXTLEN, index, 0);
    std::wstring item(static_cast<std::size_t>(length) + 1, L'\0');
    SendMessageW(b.hwnd, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(item.data()));
    item.resize(static_cast<std::size_t>(length));
    b.shown = utf16(item);
    ui::containChangeLoops([&] { b.control->setText(b.shown); });
    userClicked(b);
}

// The wheel over a closed chooser steps through its items, as on Qt, also when another
// control has the focus (the system gives the wheel to the focus, which passes it up here).
bool FormWindow::wheel(POINT screen, int delta) {
    const HWND under = WindowFromPoint(screen);
    Bound* b = boundOf(under);
    if (b == nullptr) {
        b = boundOf(GetParent(under)); // a chooser's own edit field
    }
    if (b == nullptr || b->control->kind() != ui::Kind::Combo ||
        SendMessageW(b->hwnd, CB_GETDROPPEDSTATE, 0, 0) != 0) {
        return false;
    }
    const auto count = static_cast<int>(SendMessageW(b->hwnd, CB_GETCOUNT, 0, 0));
    const auto current = static_cast<int>(SendMessageW(b->hwnd, CB_GETCURSEL, 0, 0));
    const int next = std::clamp((current < 0 ? 0 : current) + (delta > 0 ? -1 : 1), 0, count - 1);
    if (count > 0 && next != current) {
        SendMessageW(b->hwnd, CB_SETCURSEL, static_cast<WPARAM>(next), 0);
        picked(*b);
    }
    return true;
}

// Enter works as Tab: along the window's focus order, skipping hidden controls, wrapping.
void FormWindow::moveFocus(const Bound& from, bool forward) {
    const auto index = static_cast<std::size_t>(&from - bound_.data());
    auto at = std::find(focusChain_.begin(), focusChain_.end(), index);
    if (at == focusChain_.end() || focusChain_.empty()) {
        return;
    }
    auto pos = static_cast<std::size_t>(at - focusChain_.begin());
    for (std::size_t step = 0; step < focusChain_.size(); ++step) {
        pos = forward ? (pos + 1) % focusChain_.size()
                      : (pos + focusChain_.size() - 1) % focusChain_.size();
        const Bound& next = bound_[focusChain_[pos]];
        if (next.control->visible() && IsWindowEnabled(next.hwnd)) {
            SetFocus(next.edit);
            return;
        }
    }
}

// Up and Down step through the elements of the field's array, wrapping at both ends.
bool FormWindow::arrowKey(const Bound& b, bool down) {
    const ui::Control& c = *b.control;
    if (!c.def().arrowKeys) {
        return false;
    }
    if (HWND target = controlFor(c.name(), ui::arrowStep(form_, c, down))) {
        SetFocus(boundOf(target)->edit);
    }
    return true;
}

LRESULT CALLBACK FormWindow::controlProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data) {
    auto* self = reinterpret_cast<FormWindow*>(data);
    return self->handleControl(self->bound_[id], hwnd, msg, wParam, lParam);
}

LRESULT FormWindow::handleControl(Bound& b, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const bool clickLabel = b.control->def().clickable && b.control->kind() == ui::Kind::Label;
    switch (msg) {
    case WM_KEYDOWN:
        // A caption in the focus order that acts as a button ("保存退出"): Enter or Space.
        if (clickLabel && (wParam == VK_RETURN || wParam == VK_SPACE)) {
            userClicked(b);
            return 0;
        }
        // An open chooser list takes Enter itself: it picks the highlighted item.
        if (wParam == VK_RETURN && b.control->kind() == ui::Kind::Combo &&
            SendMessageW(b.hwnd, CB_GETDROPPEDSTATE, 0, 0) != 0) {
            SendMessageW(b.hwnd, CB_SHOWDROPDOWN, FALSE, 0);
            picked(b);
            return 0;
        }
        if (wParam == VK_RETURN || wParam == VK_TAB) {
            const bool back = wParam == VK_TAB && (GetKeyState(VK_SHIFT) & 0x8000) != 0;
            moveFocus(b, !back);
            return 0;
        }
        if ((wParam == VK_UP || wParam == VK_DOWN) && b.control->kind() == ui::Kind::Text &&
            arrowKey(b, wParam == VK_DOWN)) {
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L'\t') {
            return 0; // taken by the key press; a single-line field would only beep
        }
        break;
    case WM_MOUSEWHEEL:
        // Given to the focused control, wherever the pointer is.
        if (wheel({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, GET_WHEEL_DELTA_WPARAM(wParam))) {
            return 0;
        }
        break;
    case WM_GETDLGCODE:
        return DefSubclassProc(hwnd, msg, wParam, lParam) | DLGC_WANTALLKEYS;
    case WM_MOUSEMOVE:
        if (ui::isButtonLike(b.control->def()) && !b.hover) {
            b.hover = true; // lighter under the pointer, until it leaves
            TRACKMOUSEEVENT leave{sizeof leave, TME_LEAVE, hwnd, 0};
            TrackMouseEvent(&leave);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        break;
    case WM_MOUSELEAVE:
        if (b.hover) {
            b.hover = false;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        break;
    case WM_LBUTTONDOWN:
        if (clickLabel) {
            b.pressed = true;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        break;
    case WM_LBUTTONUP:
        if (clickLabel && b.pressed) {
            b.pressed = false;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        break;
    case WM_SETFOCUS:
        if (clickLabel) {
            InvalidateRect(hwnd, nullptr, TRUE);
        }
        if (b.control->def().selectOnFocus && hwnd == b.edit) {
            // After the mouse press that brought the focus, so that it does not undo it.
            PostMessageW(hwnd, EM_SETSEL, 0, -1);
        }
        break;
    case WM_KILLFOCUS:
        if (clickLabel) {
            InvalidateRect(hwnd, nullptr, TRUE);
            break;
        }
        if (hwnd == b.edit && b.control->kind() != ui::Kind::Button) {
            // A field that is left shows the start of its text, as one never entered does.
            const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
            SendMessageW(hwnd, EM_SETSEL, 0, 0);
            SendMessageW(hwnd, EM_SCROLLCARET, 0, 0);
            return result;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, &FormWindow::controlProc,
                             static_cast<UINT_PTR>(&b - bound_.data()));
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
}

LRESULT CALLBACK FormWindow::windowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    return self->handle(msg, wParam, lParam);
}

void FormWindow::paint(HDC dc) {
    RECT client;
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, windowBack_);
    if (!form_.def().frameless) {
        return;
    }
    // The calculator's own title band as the Qt view paints it: dark wood shading down, faint
    // slanted grain, a golden lower edge, the log-end emblem and a light caption; a frame.
    RECT band = client;
    band.bottom = px(ui::kTitleBandTwips, dpi_);
    const int h = band.bottom - band.top;
    const auto mix = [](const ui::Rgb& a, const ui::Rgb& b, double t) {
        return RGB(a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t);
    };
    const auto woodAt = [&](int y) {
        const double t = double(y) / std::max(h, 1);
        return t < 0.55 ? mix(ui::kBandTop, ui::kBandMiddle, t / 0.55)
                        : mix(ui::kBandMiddle, ui::kBandBottom, (t - 0.55) / 0.45);
    };
    for (int y = 0; y < h; ++y) {
        RECT line{band.left, band.top + y, band.right, band.top + y + 1};
        HBRUSH brush = CreateSolidBrush(woodAt(y));
        FillRect(dc, &line, brush);
        DeleteObject(brush);
    }
    const auto dp = [this](int pixels) { return MulDiv(pixels, static_cast<int>(dpi_), 96); };
    for (int y = band.top + dp(6); y < band.bottom; y += dp(7)) {
        const COLORREF wood = woodAt(y - band.top);
        const ui::Rgb here{GetRValue(wood), GetGValue(wood), GetBValue(wood)};
        HPEN grain = CreatePen(PS_SOLID, 1, mix(here, {255, 255, 255}, 18.0 / 255));
        HGDIOBJ was = SelectObject(dc, grain);
        MoveToEx(dc, band.left, y, nullptr);
        LineTo(dc, band.right, y + dp(2));
        SelectObject(dc, was);
        DeleteObject(grain);
    }
    HPEN edge = CreatePen(PS_SOLID, dp(2), colorOf(ui::kBandEdge));
    HGDIOBJ was = SelectObject(dc, edge);
    MoveToEx(dc, band.left, band.bottom - 1, nullptr);
    LineTo(dc, band.right, band.bottom - 1);
    SelectObject(dc, was);
    DeleteObject(edge);
    const int iconSize = h - dp(18);
    paintLogEnd(dc, {band.left + dp(14), band.top + dp(9), band.left + dp(14) + iconSize,
                     band.top + dp(9) + iconSize});
    ui::FontSpec captionFont{u"宋体", ui::kBandCaptionPoints, true};
    HGDIOBJ old = SelectObject(dc, fontFor(captionFont));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colorOf(ui::kBandCaption));
    RECT text = band;
    text.left += dp(14) + iconSize + dp(16);
    const std::wstring caption = wide(form_.def().band);
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
    SelectObject(dc, old);
    HPEN pen = CreatePen(PS_SOLID, 2, colorOf(ui::kBandMiddle));
    old = SelectObject(dc, pen);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, client.left + 1, client.top + 1, client.right, client.bottom);
    SelectObject(dc, oldBrush);
    SelectObject(dc, old);
    DeleteObject(pen);
}

// The log-end emblem, as the Qt program draws it: sapwood shading in to a light heart (in
// rings of colour, GDI having no radial gradient), the bark rim and the growth rings.
void FormWindow::paintLogEnd(HDC dc, RECT box) {
    const ui::LogEndArt& art = ui::kLogEnd;
    const double w = box.right - box.left;
    const int margin = static_cast<int>(w * art.margin + 0.5);
    RECT wood = box;
    InflateRect(&wood, -margin, -margin);
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    constexpr int kShades = 16;
    for (int i = 0; i < kShades; ++i) {
        const double t = double(i) / (kShades - 1); // 0 at the rim, 1 at the heart
        HBRUSH brush = CreateSolidBrush(RGB(art.sapwood.r + (art.heart.r - art.sapwood.r) * t,
                                            art.sapwood.g + (art.heart.g - art.sapwood.g) * t,
                                            art.sapwood.b + (art.heart.b - art.sapwood.b) * t));
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        const int in = static_cast<int>((wood.right - wood.left) / 2.0 * i / kShades);
        Ellipse(dc, wood.left + in, wood.top + in, wood.right - in + 1, wood.bottom - in + 1);
        SelectObject(dc, oldBrush);
        DeleteObject(brush);
    }
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    HPEN bark = CreatePen(PS_SOLID, std::max(1, static_cast<int>(w * art.barkWidth + 0.5)),
                          colorOf(art.bark));
    SelectObject(dc, bark);
    Ellipse(dc, wood.left, wood.top, wood.right, wood.bottom);
    HPEN ring = CreatePen(PS_SOLID, std::max(1, static_cast<int>(w * art.ringWidth + 0.5)),
                          colorOf(art.ring));
    SelectObject(dc, ring);
    for (int k = 1; k <= art.rings; ++k) {
        const double inset = w * (art.firstInset + art.ringStep * k);
        Ellipse(dc, box.left + static_cast<int>(inset), box.top + static_cast<int>(inset * 1.05),
                box.right - static_cast<int>(inset * 0.95), box.bottom - static_cast<int>(inset));
    }
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(bark);
    DeleteObject(ring);
}

// A control's text and background colours: its definition's, a field's white, or the window's
// own background behind a caption.
LRESULT FormWindow::colours(const Bound& b, HDC dc) {
    const ui::ControlDef& d = b.control->def();
    if (d.fore) {
        SetTextColor(dc, colorOf(*d.fore));
    }
    if (b.control->lookedUp()) {
        SetTextColor(dc, RGB(96, 96, 96));
    }
    if (b.back != nullptr) {
        SetBkColor(dc, colorOf(*d.back));
        return reinterpret_cast<LRESULT>(b.back);
    }
    if (d.kind == ui::Kind::Text || d.kind == ui::Kind::Combo) {
        SetBkColor(dc, RGB(255, 255, 255));
        return reinterpret_cast<LRESULT>(fieldBack_);
    }
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(windowBack_);
}

// Leaving, the window remembers its focused control; coming back, that control gets the
// focus again, and at first the first of the chain.
void FormWindow::activated(bool active) {
    HWND focus = GetFocus();
    const bool ours = focus != nullptr && IsChild(hwnd_, focus);
    if (!active) {
        if (ours) {
            lastFocus_ = focus;
        }
        return;
    }
    if (ours) {
        return;
    }
    if (lastFocus_ != nullptr && IsWindowVisible(lastFocus_)) {
        SetFocus(lastFocus_);
        return;
    }
    for (std::size_t i : focusChain_) {
        if (bound_[i].control->visible()) {
            SetFocus(bound_[i].edit);
            return;
        }
    }
}

// The pointer's place on the screen when the message being handled was sent.
POINT FormWindow::messagePos() {
    const DWORD at = GetMessagePos();
    return {GET_X_LPARAM(at), GET_Y_LPARAM(at)};
}

LRESULT FormWindow::handle(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (Bound* b = boundOf(reinterpret_cast<HWND>(lParam))) {
            command(*b, HIWORD(wParam));
            return 0;
        }
        break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (const Bound* b = boundOf(reinterpret_cast<HWND>(lParam))) {
            return colours(*b, reinterpret_cast<HDC>(wParam));
        }
        break;
    case WM_MOUSEWHEEL:
        if (wheel({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, GET_WHEEL_DELTA_WPARAM(wParam))) {
            return 0;
        }
        break;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (Bound* b = boundOf(item->hwndItem);
            b != nullptr && (item->CtlType == ODT_STATIC || item->CtlType == ODT_BUTTON)) {
            if (item->CtlType == ODT_STATIC && ui::wrapsOverLines(b->control->def())) {
                drawCaption(*b, item->hDC, item->rcItem);
                return TRUE;
            }
            const bool pressed =
                item->CtlType == ODT_BUTTON ? (item->itemState & ODS_SELECTED) != 0 : b->pressed;
            drawButtonFace(*b, item->hDC, item->rcItem, pressed);
            return TRUE;
        }
        break;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        paint(dc);
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_LBUTTONDOWN:
        if (form_.def().frameless) {
            // The window has no title bar of the system's: a press anywhere on it drags it.
            ReleaseCapture();
            SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, 0);
            return 0;
        }
        break;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        // The other buttons drag it too, as on Linux: the program's own drag, which ends on
        // the release (or when the capture is lost).
        if (form_.def().frameless) {
            dragFrom_ = messagePos(); // where the press was, however late it is read
            dragOrigin_ = position();
            dragging_ = true;
            SetCapture(hwnd_);
            return 0;
        }
        break;
    case WM_MOUSEMOVE:
        if (dragging_) {
            const POINT now = messagePos();
            moveTo({dragOrigin_.x + now.x - dragFrom_.x, dragOrigin_.y + now.y - dragFrom_.y});
            return 0;
        }
        break;
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        if (dragging_) {
            ReleaseCapture(); // WM_CAPTURECHANGED ends the drag
            return 0;
        }
        break;
    case WM_CAPTURECHANGED:
        dragging_ = false;
        break;
    case WM_TIMER:
        if (wParam == kTickTimer && onTimer && !modalOpen) {
            onTimer();
        }
        return 0;
    case WM_CLOSE:
        ShowWindow(hwnd_, SW_HIDE);
        if (onClosed) {
            onClosed();
        }
        return 0;
    case WM_ACTIVATE:
        activated(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_ENDSESSION:
        if (wParam != 0 && onEndSession) {
            onEndSession();
        }
        return 0;
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        layout();
        InvalidateRect(hwnd_, nullptr, TRUE);
        return 0;
    }
    default:
        break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

void FormWindow::show() {
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    // Painted now, its controls too: left to the message loop, a window shown in place of
    // another shows the other's picture until the loop gets round to it.
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    SetForegroundWindow(hwnd_); // the focus follows the activation (WM_ACTIVATE)
}

void FormWindow::hide() {
    ShowWindow(hwnd_, SW_HIDE);
}

void FormWindow::minimise() {
    ShowWindow(hwnd_, SW_MINIMIZE);
}

bool FormWindow::visible() const {
    return IsWindowVisible(hwnd_) != 0;
}

POINT FormWindow::position() const {
    RECT r;
    GetWindowRect(hwnd_, &r);
    return {r.left, r.top};
}

void FormWindow::moveTo(POINT topLeft) {
    SetWindowPos(hwnd_, nullptr, topLeft.x, topLeft.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::startTimer(UINT interval) {
    SetTimer(hwnd_, kTickTimer, interval, nullptr);
}

void FormWindow::stopTimer() {
    KillTimer(hwnd_, kTickTimer);
}

} // namespace logora::win
