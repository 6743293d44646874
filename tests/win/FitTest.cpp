// SPDX-License-Identifier: GPL-3.0-or-later
// The four windows as native controls at the screen's dpi: every caption shows whole, and
// every field shows its widest reachable value from its first digit to its last. Run inside
// the Wine window test, on a real X server, at 96 and at 144 dpi.
#include "ui/Fit.hpp"
#include "text/NumberText.hpp"
#include "ui/Form.hpp"
#include "ui/WindowDef.hpp"
#include "win/FormWindow.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>

using namespace logora;

namespace {

// What the control shows of its text, told by the system that draws it.
std::string problemOf(HWND hwnd, const ui::ControlDef& d, const std::u16string& text) {
    if (text.empty()) { // hidden ones too: a layout switch shows them
        return {};
    }
    RECT client;
    GetClientRect(hwnd, &client);
    if (d.kind == ui::Kind::Text) {
        // The first character not scrolled out, the last one inside the field.
        const LRESULT first = SendMessageW(hwnd, EM_POSFROMCHAR, 0, 0);
        const LRESULT last = SendMessageW(hwnd, EM_POSFROMCHAR, text.size() - 1, 0);
        const int firstX = static_cast<short>(LOWORD(first));
        const int lastX = static_cast<short>(LOWORD(last));
        if (first == -1 || firstX < 0 || lastX >= client.right) {
            return "first character at " + std::to_string(firstX) + ", last at " +
                   std::to_string(lastX) + " of " + std::to_string(client.right);
        }
        return {};
    }
    if (d.kind != ui::Kind::Label && d.kind != ui::Kind::Button) {
        return {};
    }
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(hwnd, WM_GETFONT, 0, 0)));
    const std::wstring shown(text.begin(), text.end());
    std::string problem;
    const bool wraps = d.clickable || d.kind == ui::Kind::Button || d.height > 400;
    if (wraps) {
        RECT need{0, 0, client.right, 0};
        DrawTextW(dc, shown.c_str(), static_cast<int>(shown.size()), &need,
                  DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        if (ui::wrapsOverLines(d)) {
            // Its lines are drawn apart, as on Qt: the gap between each two is room it needs.
            TEXTMETRICW tm{};
            GetTextMetricsW(dc, &tm);
            const int lines = std::max<int>(1, need.bottom / std::max<int>(tm.tmHeight, 1));
            need.bottom += (lines - 1) * ui::wrappedLineGap(tm.tmHeight, tm.tmExternalLeading);
        }
        if (need.bottom > client.bottom || need.right > client.right) {
            problem = "needs " + std::to_string(need.right) + "x" + std::to_string(need.bottom);
        }
    } else {
        SIZE need{};
        GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &need);
        if (need.cx > client.right || need.cy > client.bottom) {
            problem = "needs " + std::to_string(need.cx) + "x" + std::to_string(need.cy);
        }
    }
    if (!problem.empty()) {
        problem += ", has " + std::to_string(client.right) + "x" + std::to_string(client.bottom);
        wchar_t face[64] = {};
        GetTextFaceW(dc, 64, face);
        SIZE space{}, han{};
        GetTextExtentPoint32W(dc, L" ", 1, &space);
        GetTextExtentPoint32W(dc, L"米", 1, &han);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        problem += " [" + text::toUtf8(std::u16string(face, face + wcslen(face))) + " space " +
                   std::to_string(space.cx) + " han " + std::to_string(han.cx) + " height " +
                   std::to_string(tm.tmHeight) + "]";
    }
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    return problem;
}

} // namespace

TEST(WindowsFit, EveryCaptionAndWidestValueShowsWhole) {
    for (ui::WindowDef (*def)() : {&ui::gridWindowDef, &ui::listWindowDef, &ui::sawnWindowDef,
                                   &ui::priceWindowDef, &ui::listEditorDef, &ui::yardWindowDef}) {
        ui::Form form(def());
        for (ui::Control& c : form.controls()) {
            if (!c.def().widest.empty()) {
                c.setText(c.def().widest);
            }
        }
        win::FormWindow view(form, GetModuleHandleW(nullptr));
        view.show();
        view.sync();
        std::printf("%s at %u dpi\n", text::toUtf8(form.def().name).c_str(),
                    GetDpiForWindow(view.hwnd()));
        for (const ui::Control& c : form.controls()) {
            const ui::ControlDef& d = c.def();
            const std::u16string text =
                d.kind == ui::Kind::Label || d.kind == ui::Kind::Button ? d.text : c.text();
            const std::string problem = problemOf(view.controlFor(c.name(), c.element()), d, text);
            EXPECT_TRUE(problem.empty())
                << text::toUtf8(form.def().name) << " " << text::toUtf8(c.name()) << "("
                << c.element() << ") " << text::toUtf8(text) << ": " << problem;
        }
    }
}

// Every control stands where its definition puts it at the screen's dpi: the definition's
// rectangle times the scale, within a pixel, or, where the fit rule gave it room, a larger
// one that still holds it. A chooser's height is its font's, so only its row is compared.
TEST(WindowsFit, EveryControlStandsWhereItsDefinitionPutsIt) {
    for (ui::WindowDef (*def)() : {&ui::gridWindowDef, &ui::listWindowDef, &ui::sawnWindowDef,
                                   &ui::priceWindowDef, &ui::listEditorDef, &ui::yardWindowDef}) {
        ui::Form form(def());
        win::FormWindow view(form, GetModuleHandleW(nullptr));
        view.show();
        const UINT dpi = GetDpiForWindow(view.hwnd());
        for (const ui::Control& c : form.controls()) {
            const ui::ControlDef& d = c.def();
            if (!d.visible) {
                continue;
            }
            HWND hwnd = view.controlFor(c.name(), c.element());
            RECT r;
            GetWindowRect(hwnd, &r);
            MapWindowPoints(HWND_DESKTOP, view.hwnd(), reinterpret_cast<POINT*>(&r), 2);
            const RECT want{win::FormWindow::px(d.left, dpi), win::FormWindow::px(d.top, dpi),
                            win::FormWindow::px(d.left + d.width, dpi),
                            win::FormWindow::px(d.top + d.height, dpi)};
            // Nothing reaches beyond its window: what stands past the border is cut.
            RECT client;
            GetClientRect(view.hwnd(), &client);
            const int frame = form.def().frameless ? win::FormWindow::px(ui::kFrameTwips, dpi) : 0;
            EXPECT_TRUE(r.left >= frame && r.top >= frame && r.right <= client.right - frame &&
                        r.bottom <= client.bottom - frame)
                << text::toUtf8(form.def().name) << " " << text::toUtf8(c.name()) << "("
                << c.element() << ") reaches beyond its window at " << dpi << " dpi";
            const bool combo = d.kind == ui::Kind::Combo;
            const bool holds = r.left <= want.left + 1 && r.top <= want.top + 1 &&
                               r.right >= want.right - 1 && (combo || r.bottom >= want.bottom - 1);
            EXPECT_TRUE(IsWindowVisible(hwnd) && holds)
                << text::toUtf8(form.def().name) << " " << text::toUtf8(c.name()) << "("
                << c.element() << ") at " << r.left << "," << r.top << "-" << r.right << ","
                << r.bottom << ", defined " << want.left << "," << want.top << "-" << want.right
                << "," << want.bottom << " at " << dpi << " dpi";
        }
    }
}
