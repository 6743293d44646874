// SPDX-License-Identifier: GPL-3.0-or-later
// The COM adapter against the stand-in automation server, registered under Excel's or WPS's
// ProgID: the real OLE runtime, the real late-bound calls.
#include "win/ComSpreadsheet.hpp"
#include "../TempFolder.hpp"
#include "../export/RecordingPrompts.hpp"
#include "export/BillExport.hpp"
#include "export/BillMaps.hpp"
#include "grid/GridWindow.hpp"
#include "list/ListWindow.hpp"
#include "sawn/SawnWindow.hpp"
#include "text/PathText.hpp"

#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace logora;

// Every question is answered no.
struct Prompts : logora::testing::RecordingPrompts {
    Prompts() { answer = false; }
};

struct NoPrices : prices::PriceSource {
    std::u16string priceText(int) override { return u"500"; }
};

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Com : public ::testing::Test {
  protected:
    fs::path dir;
    std::unique_ptr<exporting::BillFolder> bills;
    Prompts prompts;
    HMODULE standIn = nullptr;

    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        dir = logora::testing::makeTempFolder("logora-com");
        fs::create_directories(dir / "templates");
        for (const char8_t* name : {u8"账单明细.xls", u8"账单明细1.xls"}) {
            std::ofstream(dir / "templates" / name) << "template";
        }
        bills = std::make_unique<exporting::BillFolder>(dir / "user", dir / "templates");
        SetEnvironmentVariableW(L"LOGORA_STANDIN_LOG", (dir / "calls.txt").c_str());
        SetEnvironmentVariableW(L"LOGORA_STANDIN_HANG", nullptr);
        SetEnvironmentVariableW(L"LOGORA_STANDIN_READONLY", nullptr);
        standIn = LoadLibraryW(LOGORA_STANDIN_DLL);
        ASSERT_NE(standIn, nullptr);
    }
    void registerAs(const wchar_t* progIds) {
        SetEnvironmentVariableW(L"LOGORA_STANDIN_PROGIDS", progIds);
        call("DllUnregisterServer");
        ASSERT_EQ(call("DllRegisterServer"), S_OK);
    }
    HRESULT call(const char* entry) {
        auto f = reinterpret_cast<HRESULT(WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(standIn, entry)));
        return f != nullptr ? f() : E_FAIL;
    }
    void TearDown() override {
        call("DllUnregisterServer");
        std::error_code ec;
        fs::remove_all(dir, ec);
        CoUninitialize();
    }
};

// A tally reaches the cells as numbers and texts, saved, archived as PDF and shown, through
// Excel's ProgID or, without Excel, WPS's.
TEST_F(Com, AGridBillGoesThroughWhicheverApplicationIsThere) {
    const std::pair<const wchar_t*, std::u16string> cases[] = {{L"Excel.Application", u"Excel"},
                                                               {L"ET.Application", u"WPS 表格"}};
    for (const auto& [progId, name] : cases) {
        registerAs(progId);
        NoPrices prices;
        grid::GridWindow g(prices);
        g.pieces(1, 0).setText(u"10");
        g.form().control(u"Text17").setText(u"杉木");
        g.tick();
        win::ComSpreadsheet sheet;
        int count = 0;
        ASSERT_TRUE(exporting::BillExporter(sheet, *bills, prompts)
                        .run(exporting::gridBill(false), g.form(), count));
        EXPECT_EQ(sheet.officeName(), name);
        const std::string cells = slurp(dir / "user" / u8"账单明细.xls.cells.txt");
        EXPECT_NE(cells.find("原木一\t7\t2\tn:10\n"), std::string::npos) << cells.substr(0, 400);
        EXPECT_NE(cells.find("原木一\t7\t3\tn:0.113\n"), std::string::npos);
        EXPECT_NE(cells.find("s:杉木"), std::string::npos);
        const std::string calls = slurp(dir / "calls.txt");
        for (const char* step :
             {"Worksheets 原木一", "Save", "ExportAsFixedFormat", "Close", "Visible -1"}) {
            EXPECT_NE(calls.find(step), std::string::npos) << step << "\n" << calls;
        }
        EXPECT_TRUE(prompts.failures.empty());
        fs::remove_all(dir / "user");
        fs::remove(dir / "calls.txt");
    }
}

// A tally priced by a list: its name, bands and fees reach the cells under the bill's footer.
TEST_F(Com, AListsDetailGoesUnderTheBill) {
    registerAs(L"Excel.Application");
    NoPrices prices;
    grid::GridWindow g(prices);
    g.pieces(4, 0).setText(u"20");
    g.tick();
    win::ComSpreadsheet sheet;
    exporting::BillExporter exporter(sheet, *bills, prompts);
    exporter.priceBy(u"樟子松 · 东港木业",
                     {{u"径级6-12 长4-5.9米", u"20", u"0.9000", u"650元/立方米", u"585.00"},
                      {u"合计", u"20", u"0.9000", {}, u"585.00"}});
    int count = 0;
    ASSERT_TRUE(exporter.run(exporting::gridBill(false), g.form(), count));
    const std::string cells = slurp(dir / "user" / u8"账单明细.xls.cells.txt");
    for (const char* cell : {"原木一\t29\t1\ts:价格表\n", "原木一\t29\t4\ts:樟子松 · 东港木业\n",
                             "原木一\t31\t8\ts:650元/立方米\n", "原木一\t31\t10\tn:585\n",
                             "原木一\t32\t1\ts:合计\n"}) {
        EXPECT_NE(cells.find(cell), std::string::npos) << cell;
    }
    EXPECT_TRUE(prompts.failures.empty());
}

// What a trader types into a header stays what was typed, in every header cell of the three
// bills, in Excel as in WPS: never a number, a date or a formula.
TEST_F(Com, HeaderTextsStayAsTyped) {
    const std::u16string texts[] = {u"13800138000", u"00123",
                                    u"1/2",         u"2026-12-09",
                                    u"=1+1",        u"=HYPERLINK(\"http://example.invalid\")",
                                    u"'quoted",     u"辽A12345",
                                    u"青山林场",    u"-5"};
    NoPrices prices;
    grid::GridWindow grid(prices);
    list::ListWindow list;
    sawn::SawnWindow sawn;
    const std::pair<exporting::BillSpec, ui::Window*> bills[] = {
        {exporting::gridBill(false), &grid},
        {exporting::listBill(), &list},
        {exporting::sawnBill(), &sawn}};
    grid.pieces(1, 0).setText(u"10");
    for (const wchar_t* progId : {L"Excel.Application", L"ET.Application"}) {
        registerAs(progId);
        for (const std::u16string& typed : texts) {
            for (const auto& [bill, window] : bills) {
                for (const exporting::MappedCell& c : bill.cells) {
                    if (c.alwaysText) {
                        window->form().control(c.field.name, c.field.element).setText(typed);
                    }
                }
                window->tick();
                win::ComSpreadsheet sheet;
                int count = 0;
                ASSERT_TRUE(exporting::BillExporter(sheet, *this->bills, prompts)
                                .run(bill, window->form(), count));
                const std::string cells = slurp(dir / "user" / (bill.workbook + u".cells.txt"));
                for (const exporting::MappedCell& c : bill.cells) {
                    if (c.alwaysText) {
                        const std::string line =
                            text::toUtf8(bill.sheet) + "\t" + std::to_string(c.row) + "\t" +
                            std::to_string(c.column) + "\ts:" + text::toUtf8(typed) + "\n";
                        EXPECT_NE(cells.find(line), std::string::npos) << line;
                    }
                }
                EXPECT_EQ(cells.find("\tf:"), std::string::npos) << "a formula in " << cells;
                fs::remove_all(dir / "user");
            }
        }
    }
    // The tally's numbers stay numbers.
    win::ComSpreadsheet sheet;
    int count = 0;
    ASSERT_TRUE(exporting::BillExporter(sheet, *this->bills, prompts)
                    .run(exporting::gridBill(false), grid.form(), count));
    EXPECT_NE(slurp(dir / "user" / u8"账单明细.xls.cells.txt").find("原木一\t7\t2\tn:10\n"),
              std::string::npos);
}

// What the user is told when no application is there, the bill is open elsewhere, or the
// application stops answering; a hung call costs no more than its time limit.
TEST_F(Com, FailuresSayWhyAndAHungCallIsCutOff) {
    struct Case {
        const wchar_t* progIds;
        const wchar_t* hang;
        bool readOnly;
        std::u16string says;
    };
    const Case cases[] = {
        {L"Nobody.Application", nullptr, false, u"未找到 Excel 或 WPS 表格"},
        {L"Excel.Application", nullptr, true, u"正在被别的程序打开"},
        {L"Excel.Application", L"Save", false, u"Excel 没有响应"},
    };
    for (const Case& c : cases) {
        registerAs(c.progIds);
        SetEnvironmentVariableW(L"LOGORA_STANDIN_HANG", c.hang);
        SetEnvironmentVariableW(L"LOGORA_STANDIN_READONLY", c.readOnly ? L"1" : nullptr);
        list::ListWindow w;
        w.form().control(u"Text3", 0).setText(u"2");
        win::ComSpreadsheet sheet(win::defaultOffices(), std::chrono::seconds(2));
        prompts.failures.clear();
        int count = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(exporting::BillExporter(sheet, *bills, prompts)
                         .run(exporting::listBill(), w.form(), count));
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
        ASSERT_EQ(prompts.failures.size(), 1u);
        EXPECT_NE(prompts.failures[0].find(c.says), std::u16string::npos)
            << text::toUtf8(prompts.failures[0]);
        if (c.progIds == std::wstring(L"Nobody.Application")) {
            // No bill will be shown: no reminder, and the next export is still the first.
            EXPECT_TRUE(prompts.reminders.empty());
            EXPECT_EQ(count, 0);
        }
    }
}

} // namespace
