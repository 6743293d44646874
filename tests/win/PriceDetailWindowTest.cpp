// SPDX-License-Identifier: GPL-3.0-or-later
// Price lists on Windows, as native controls: the species and customer typed into the grid
// bring their list, the tally is priced by it, 价格明细 lists the bands and picks the grade
// prices back by hand. Run inside the Wine window test, on a real X server.
#include "win/PriceDetailWindow.hpp"
#include "grid/GridWindow.hpp"
#include "win/FormWindow.hpp"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace logora;
using win::PriceDetailWindow;

namespace {

struct Lists : prices::PriceSource {
    std::vector<prices::PriceList> lists;
    std::u16string priceText(int) override { return u"500"; }
    std::span<const prices::PriceList> priceLists() override { return lists; }
};

// A grid calculator and its detail, as the running program holds them.
struct Program : prices::DetailSource {
    Lists prices;
    grid::GridWindow grid{prices};
    prices::Detail detail;
    Program() {
        prices::PriceList l;
        l.species = u"樟子松";
        l.party = u"东港木业";
        l.bands = {{6, 12}, {14, 18}};
        l.cells = {{650}, {800}};
        l.fees = {{u"装车费", 100, prices::FeeUnit::PerBill}};
        prices.lists = {l};
    }
    const prices::Detail& priceDetail(ui::Calculator) override {
        detail = grid.detail();
        detail.choices = prices::listChoices(prices.lists, prices::ListKind::Log);
        return detail;
    }
    void pickList(ui::Calculator, std::u16string_view choice) override { grid.pickList(choice); }
};

std::wstring textOf(HWND h) {
    wchar_t t[256] = {};
    GetWindowTextW(h, t, 256);
    return t;
}

TEST(PriceDetailWindow, TheTypedSpeciesAndCustomerPriceTheGridByTheirList) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    Program p;
    win::FormWindow view(p.grid.form(), GetModuleHandleW(nullptr));
    view.show();
    // Typed into the native fields, as a user types.
    SetWindowTextW(view.controlFor(u"Text27"), L"樟子松");
    SetWindowTextW(view.controlFor(u"Text17"), L"东港木业");
    SetWindowTextW(view.controlFor(u"Text4", 1), L"20"); // 10 cm × 4 m: 0.9000 m³
    p.grid.tick();
    view.sync();
    EXPECT_EQ(textOf(view.controlFor(u"Label23")), L"樟子松 · 东港木业");
    EXPECT_EQ(textOf(view.controlFor(u"Text28", 3)), L"685"); // 585.00 and 装车费 100.00

    PriceDetailWindow w(GetModuleHandleW(nullptr), p);
    w.show(ui::Calculator::Grid, {40, 40});
    ASSERT_EQ(ListView_GetItemCount(w.control(PriceDetailWindow::kList)), 3);
    EXPECT_EQ(w.cell(0, 0), L"径级6-12");
    EXPECT_EQ(w.cell(0, 3), L"650元/立方米");
    EXPECT_EQ(w.cell(1, 4), L"100.00");
    EXPECT_EQ(w.cell(2, 4), L"685.00");

    // The grade prices picked by hand for this tally.
    HWND chooser = w.control(PriceDetailWindow::kChooser);
    SendMessageW(chooser, CB_SETCURSEL, 1, 0);
    SendMessageW(w.hwnd(), WM_COMMAND, MAKEWPARAM(PriceDetailWindow::kChooser, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(chooser));
    p.grid.tick();
    view.sync();
    EXPECT_EQ(textOf(view.controlFor(u"Label23")), L"默认三档单价");
    EXPECT_EQ(textOf(view.controlFor(u"Text19", 0)), L"500.00");
}

} // namespace
