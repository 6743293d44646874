// SPDX-License-Identifier: GPL-3.0-or-later
// 标准对照 as native controls: the list follows the tally and the chosen rule at the tick,
// and 导出 makes its workbook. Run inside the Wine window test, on a real X server.
#include "win/ComparisonWindow.hpp"
#include "../TempFolder.hpp"
#include "../export/RecordingPrompts.hpp"
#include "../export/RecordingSheet.hpp"
#include "grid/GridWindow.hpp"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>

using namespace logora;
using win::ComparisonWindow;
namespace fs = std::filesystem;

namespace {

struct Prices : prices::PriceSource {
    std::u16string priceText(int) override { return u"1000"; }
};

// A grid calculator and its comparison, as the running program holds them.
struct Program : compare::ComparisonSource {
    fs::path dir = logora::testing::makeTempFolder("logora-compare-win");
    Prices prices;
    volume::FixedRule rule{volume::Rule::Gb};
    grid::GridWindow grid{prices, rule};
    compare::Comparison rules{prices};
    logora::testing::RecordingSheet sheet;
    logora::testing::RecordingPrompts prompts;
    exporting::BillFolder bills{dir / "bills", dir / "templates"};
    Program() {
        fs::create_directories(dir / "templates");
        std::ofstream(dir / "templates" / u8"账单汇总.xls") << "blank";
    }
    ~Program() override { fs::remove_all(dir); }
    const compare::Table& comparison(ui::Calculator) override { return rules.of(grid); }
    bool exportComparison(ui::Calculator which) override {
        return compare::Comparison::exportTo(comparison(which), sheet, bills, prompts);
    }
};

// Messages until the condition holds, within five seconds.
bool pumpUntil(const std::function<bool()>& done) {
    const DWORD until = GetTickCount() + 5000;
    MSG msg;
    while (!done()) {
        if (GetTickCount() > until) {
            return false;
        }
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        }
    }
    return true;
}

TEST(ComparisonWindow, FollowsTheTallyAtTheTickAndExports) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    Program p;
    p.grid.pieces(5, 0).setText(u"3"); // 12 cm × 4 m
    p.grid.tick();
    ComparisonWindow w(GetModuleHandleW(nullptr), p);
    w.show(ui::Calculator::Grid, {40, 40});
    EXPECT_EQ(ListView_GetItemCount(w.control(ComparisonWindow::kList)), 2);
    EXPECT_EQ(w.cell(1, 0), L"合计");
    EXPECT_EQ(w.cell(1, 2), L"0.1860");
    EXPECT_EQ(w.cell(1, 5), L"0.1740");
    EXPECT_EQ(w.cell(1, 4), L"所选");

    p.grid.pieces(6, 0).setText(u"1"); // 14 cm: 0.083 by the national rule
    p.grid.tick();
    EXPECT_TRUE(pumpUntil([&] { return w.cell(1, 2) == L"0.2690"; }));

    SendMessageW(w.hwnd(), WM_COMMAND, MAKEWPARAM(ComparisonWindow::kExport, BN_CLICKED),
                 reinterpret_cast<LPARAM>(w.control(ComparisonWindow::kExport)));
    EXPECT_TRUE(p.prompts.failures.empty());
    EXPECT_EQ(p.sheet.calls.at(2), "sheet 汇总");
    w.hide();
    EXPECT_FALSE(w.visible());
}

} // namespace
