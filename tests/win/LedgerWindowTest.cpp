// SPDX-License-Identifier: GPL-3.0-or-later
// 账单记录 as native controls, driven through the messages a user's typing and clicks send:
// the list, the find field, a grouped view, Enter to open, a void and the summary. Run
// inside the Wine window test, on a real X server.
#include "win/LedgerWindow.hpp"
#include "../TempFolder.hpp"
#include "../export/RecordingPrompts.hpp"
#include "../export/RecordingSheet.hpp"
#include "ledger/sqlite/SqliteLedger.hpp"
#include "text/PathText.hpp"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>

using namespace logora;
using win::LedgerWindow;
namespace fs = std::filesystem;

namespace {

std::wstring itemText(HWND list, int row, int column) {
    wchar_t buffer[256] = {};
    ListView_GetItemText(list, row, column, buffer, 256);
    return buffer;
}

void choose(LedgerWindow& w, LedgerWindow::Id box, int index) {
    SendMessageW(w.control(box), CB_SETCURSEL, index, 0);
    SendMessageW(w.hwnd(), WM_COMMAND, MAKEWPARAM(box, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(w.control(box)));
}

int rows(LedgerWindow& w) {
    return ListView_GetItemCount(w.control(LedgerWindow::kList));
}

TEST(LedgerWindow, ListsFindsGroupsOpensVoidsAndSums) {
    INITCOMMONCONTROLSEX controls{sizeof controls,
                                  ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);
    const fs::path dir = logora::testing::makeTempFolder("logora-ledger-window");
    fs::create_directories(dir / "templates");
    std::ofstream(dir / "templates" / text::textPath(ledger::kSummaryWorkbook)) << "blank";
    const exporting::BillFolder bills(dir / "bills", dir / "templates");
    ledger::SqliteLedger store(dir / "bills" / "ledger.sqlite");
    const char16_t* buyers[] = {u"青山林场", u"东港木业", u"青山林场", u"东港木业", u"青山林场"};
    for (int i = 0; i < 5; ++i) {
        ledger::BillRecord r;
        r.number = store.reserveNumber(i < 3 ? "20261208" : "20261209");
        r.time = i < 3 ? "2026-12-08 09:00:00" : "2026-12-09 09:00:00";
        r.sheet = u"原木一";
        r.headers = {{u"购货单位", buyers[i]}, {u"车号", u"辽A1000" + text::intText(i)}};
        r.totals = {10, 2135, 10675};
        r.pdf = dir / ("bill" + std::to_string(i) + ".pdf");
        std::ofstream(r.pdf) << "%PDF";
        store.record(r);
    }
    logora::testing::RecordingSheet sheet;
    logora::testing::RecordingPrompts prompts;
    LedgerWindow w(GetModuleHandleW(nullptr), store, sheet, bills, prompts);
    fs::path opened;
    w.openFile = [&](const fs::path& file) {
        opened = file;
        return true;
    };
    w.show({20, 20});
    HWND list = w.control(LedgerWindow::kList);
    EXPECT_EQ(GetFocus(), w.control(LedgerWindow::kFind));
    ASSERT_EQ(rows(w), 5);
    EXPECT_EQ(itemText(list, 0, 0), L"20261209-002"); // newest first
    EXPECT_EQ(itemText(list, 4, 5), L"辽A10000");

    SetWindowTextW(w.control(LedgerWindow::kFind), L"东港");
    EXPECT_EQ(rows(w), 2);
    SetWindowTextW(w.control(LedgerWindow::kFind), L"");
    choose(w, LedgerWindow::kView, 1); // 按日
    ASSERT_EQ(rows(w), 2);
    EXPECT_EQ(itemText(list, 0, 0), L"2026-12-09");
    EXPECT_EQ(itemText(list, 1, 1), L"3");
    choose(w, LedgerWindow::kView, 0);

    // Enter in the list opens the bill's PDF.
    ListView_SetItemState(list, 4, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SetFocus(list);
    SendMessageW(w.hwnd(), WM_COMMAND, IDOK, 0);
    EXPECT_EQ(opened.filename(), fs::path("bill0.pdf"));

    // A void with its reason leaves the totals.
    SetWindowTextW(w.control(LedgerWindow::kReason), L"车号录错");
    SendMessageW(w.control(LedgerWindow::kVoid), BM_CLICK, 0, 0);
    EXPECT_EQ(itemText(list, 4, 10), L"作废：车号录错");
    wchar_t totals[128] = {};
    GetWindowTextW(w.control(LedgerWindow::kTotals), totals, 128);
    EXPECT_EQ(std::wstring(totals).rfind(L"合计：4 张", 0), 0u) << totals;

    SendMessageW(w.control(LedgerWindow::kSummary), BM_CLICK, 0, 0);
    ASSERT_FALSE(sheet.calls.empty());
    EXPECT_EQ(sheet.calls.back(), "show");
    EXPECT_TRUE(prompts.failures.empty());

    SendMessageW(w.hwnd(), WM_COMMAND, IDCANCEL, 0); // Esc
    EXPECT_FALSE(w.visible());
    std::error_code ec;
    fs::remove_all(dir, ec); // the ledger is still open: Windows keeps it, the prefix goes
}

} // namespace
