// SPDX-License-Identifier: GPL-3.0-or-later
#include "export/BillExport.hpp"
#include "../TempFolder.hpp"
#include "RecordingPrompts.hpp"
#include "RecordingSheet.hpp"
#include "export/CalcPlugin.hpp"

#include "grid/GridWindow.hpp"
#include "list/ListWindow.hpp"
#include "sawn/SawnWindow.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

using namespace logora;
using namespace logora::exporting;
namespace fs = std::filesystem;

namespace {

struct NoPrices : prices::PriceSource {
    std::u16string priceText(int) override { return u"550"; }
};

// Records every call; can be told to fail at the n-th call of a kind.
using Recording = logora::testing::RecordingSheet;

using Prompts = logora::testing::RecordingPrompts;

class Export : public ::testing::Test {
  protected:
    fs::path dir;
    std::unique_ptr<BillFolder> bills;
    Recording sheet;
    Prompts prompts;
    void SetUp() override {
        dir = logora::testing::makeTempFolder("logora-bills");
        fs::create_directories(dir / "templates");
        for (const char* name : {"账单明细.xls", "账单明细1.xls"}) {
            std::ofstream(dir / "templates" / text::utf8Path(name)) << "template";
        }
        bills = std::make_unique<BillFolder>(dir / "user", dir / "templates");
    }
    void TearDown() override { fs::remove_all(dir); }
};

std::set<std::pair<int, int>> cellsOf(const BillSpec& b) {
    std::set<std::pair<int, int>> s;
    for (const auto& c : b.cells) {
        s.insert({c.row, c.column});
    }
    return s;
}

TEST(BillMaps, CountsAndNoCellTwice) {
    const std::pair<BillSpec, std::size_t> maps[] = {
        {gridBill(false), 205}, {gridBill(true), 205}, {listBill(), 123}, {sawnBill(), 65}};
    for (const auto& [bill, count] : maps) {
        EXPECT_EQ(bill.cells.size(), count) << text::toUtf8(bill.sheet);
        EXPECT_EQ(cellsOf(bill).size(), count) << text::toUtf8(bill.sheet);
        EXPECT_TRUE(fitsXls(bill));
    }
    EXPECT_EQ(cellsOf(gridBill(false)), cellsOf(gridBill(true)));
    EXPECT_FALSE(cellsOf(gridBill(false)).count({26, 8})); // H26 is never written
    EXPECT_FALSE(cellsOf(sawnBill()).count({3, 1}));       // nor the sawn A3 and A14
    EXPECT_FALSE(cellsOf(sawnBill()).count({14, 1}));
}

TEST(BillMaps, EveryFieldExistsInItsWindow) {
    NoPrices p;
    grid::GridWindow g(p);
    list::ListWindow l;
    sawn::SawnWindow s;
    const std::pair<BillSpec, ui::Form*> maps[] = {{gridBill(false), &g.form()},
                                                   {gridBill(true), &g.form()},
                                                   {listBill(), &l.form()},
                                                   {sawnBill(), &s.form()}};
    for (const auto& [bill, form] : maps) {
        for (const auto& c : bill.cells) {
            EXPECT_NE(form->find(c.field.name, c.field.element), nullptr)
                << text::toUtf8(c.field.name) << "(" << c.field.element << ")";
        }
    }
}

struct Expected {
    std::string cell;
    std::u16string field;
    int element;
};

std::vector<Expected> named(const BillSpec& b) {
    std::vector<Expected> out;
    for (const auto& c : b.cells) {
        out.push_back({cellName(c.row, c.column), c.field.name, c.field.element});
    }
    return out;
}

void expectAt(const std::vector<Expected>& got, std::size_t at, const Expected& want) {
    ASSERT_LT(at, got.size());
    EXPECT_EQ(got[at].cell, want.cell) << at;
    EXPECT_EQ(got[at].field, want.field) << at;
    EXPECT_EQ(got[at].element, want.element) << at;
}

TEST(BillMaps, GridWriteOrder) {
    const auto four = named(gridBill(false));
    expectAt(four, 0, {"C3", u"Text17", -1});
    expectAt(four, 1, {"C27", u"Text20", -1});
    expectAt(four, 6, {"J27", u"Text24", -1}); // the contact goes to column J
    expectAt(four, 9, {"H5", u"Text26", -1});
    expectAt(four, 10, {"A7", u"Text1", 0}); // the grid, column by column
    expectAt(four, 23, {"A20", u"Text14", 0});
    expectAt(four, 24, {"B7", u"Text1", 1});
    expectAt(four, 177, {"L20", u"Text14", 11});
    expectAt(four, 178, {"D23", u"Text16", 0});
    expectAt(four, 188, {"H25", u"Text19", 2});
    expectAt(four, 189, {"J23", u"Text28", 0});
    expectAt(four, 192, {"J26", u"Text28", 3});
    expectAt(four, 193, {"B21", u"Text29", 0});
    expectAt(four, 196, {"K21", u"Text29", 3});
    expectAt(four, 197, {"C21", u"Text30", 0});
    expectAt(four, 200, {"L21", u"Text30", 3});
    expectAt(four, 201, {"H27", u"Combo1", -1});
    expectAt(four, 204, {"A27", u"Combo5", -1});
    const auto two = named(gridBill(true));
    const Expected pairTotals[] = {
        {"E21", u"Text29", 4}, {"K21", u"Text29", 5}, {"F21", u"Text30", 4}, {"L21", u"Text30", 5},
        {"B21", u"Text29", 6}, {"C21", u"Text29", 7}, {"H21", u"Text30", 6}, {"I21", u"Text30", 7}};
    for (std::size_t i = 0; i < 8; ++i) {
        expectAt(two, 193 + i, pairTotals[i]);
    }
}

TEST(BillMaps, ListAndSawnWriteOrder) {
    const auto list = named(listBill());
    expectAt(list, 0, {"B2", u"Text27", -1});
    expectAt(list, 2, {"E3", u"Text29", -1});
    expectAt(list, 3, {"A5", u"Text1", 0});
    expectAt(list, 8, {"F5", u"Text6", 0}); // row by row
    expectAt(list, 116, {"F23", u"Text6", 18});
    expectAt(list, 117, {"C24", u"Text22", 5});
    expectAt(list, 122, {"B26", u"Text23", -1});
    const auto sawn = named(sawnBill());
    expectAt(sawn, 0, {"A5", u"Text1", 0});
    expectAt(sawn, 55, {"G12", u"Text7", 7});
    expectAt(sawn, 56, {"B3", u"Text10", -1});
    expectAt(sawn, 62, {"F13", u"Text9", -1}); // one column left of the amounts
    expectAt(sawn, 64, {"E3", u"Combo2", -1});
}

TEST(CellValue, NumbersStringsAndEmpty) {
    using K = CellValue::Kind;
    const std::tuple<std::u16string, bool, K, double> cases[] = {
        {u"", false, K::Empty, 0},
        {u"", true, K::Empty, 0},
        {u"0.1860", false, K::Number, 0.186},
        {u"-3", false, K::Number, -3},
        {u"12", false, K::Number, 12},
        {u"12.", false, K::Text, 0},
        {u".5", false, K::Text, 0},
        {u"1e5", false, K::Text, 0},
        {u" 5", false, K::Text, 0},
        {u"=1+1", false, K::Text, 0},
        {u"溢出", false, K::Text, 0},
        {u"007", true, K::Text, 0},
        {u"6217001234567890123", true, K::Text, 0}};
    for (const auto& [t, alwaysText, kind, number] : cases) {
        const CellValue v = cellValue(t, alwaysText);
        EXPECT_EQ(v.kind, kind) << text::toUtf8(t);
        if (kind == K::Number) {
            EXPECT_EQ(v.number, number);
        }
        if (kind == K::Text) {
            EXPECT_EQ(v.text, t); // exactly as typed
        }
    }
}

TEST_F(Export, WritesEveryCellInOrderThenSavesAndShows) {
    NoPrices p;
    volume::FixedRule jas(volume::Rule::Jas);
    grid::GridWindow g(p, jas);
    g.pieces(5, 0).setText(u"3");
    g.form().control(u"Text22").setText(u"007");
    g.tick();
    BillExporter exporter(sheet, *bills, prompts);
    int count = 0;
    ASSERT_TRUE(exporter.run(gridBill(false), g.form(), count));
    EXPECT_EQ(sheet.calls, (std::vector<std::string>{"start", "open 账单明细.xls", "sheet 原木一",
                                                     "save", "close", "show"}));
    // The mapped cells, then the rule beside "检尺标准", then the date beside "日期：".
    ASSERT_EQ(sheet.cells.size(), 208u);
    EXPECT_EQ(
        sheet.cells[207],
        std::make_tuple(2, 11, CellValue{CellValue::Kind::Text, 0, text::fromUtf8(exportDate())}));
    EXPECT_EQ(sheet.cells[205],
              std::make_tuple(2, 6, CellValue{CellValue::Kind::Text, 0, u"检尺标准"}));
    EXPECT_EQ(sheet.cells[206],
              std::make_tuple(2, 7, CellValue{CellValue::Kind::Text, 0, u"日本 JAS"}));
    const auto& [r, c, v] = sheet.cells[2];
    EXPECT_EQ(std::pair(r, c), std::pair(3, 9));
    EXPECT_EQ(v, (CellValue{CellValue::Kind::Text, 0, u"007"}));
    // B11 is row 5's pieces, G/H... : find the volume of row 5, group 0 at C11.
    bool found = false;
    for (const auto& [row, col, value] : sheet.cells) {
        if (row == 11 && col == 3) {
            found = value == CellValue{CellValue::Kind::Number, 0.174, {}}; // 3 · 0.058 by JAS
        }
    }
    EXPECT_TRUE(found);
    EXPECT_TRUE(fs::exists(dir / "user" / u8"账单明细.xls")); // copied from the template
    EXPECT_EQ(prompts.reminders.size(), 1u);
    EXPECT_EQ(prompts.reminders[0], u"每次打印前请先关闭*账单明细*");
}

TEST_F(Export, ReminderOnlyOnTheFirstExportOfEachWindow) {
    NoPrices p;
    grid::GridWindow g(p);
    sawn::SawnWindow s;
    BillExporter exporter(sheet, *bills, prompts);
    int gridCount = 0, sawnCount = 0;
    exporter.run(gridBill(false), g.form(), gridCount);
    exporter.run(gridBill(false), g.form(), gridCount);
    EXPECT_EQ(prompts.reminders.size(), 1u);
    exporter.run(sawnBill(), s.form(), sawnCount);
    EXPECT_EQ(prompts.reminders.size(), 2u);
    EXPECT_EQ(gridCount, 2);
    EXPECT_EQ(sawnCount, 1);
}

TEST_F(Export, GridAndSawnRetryOnceListDoesNot) {
    NoPrices p;
    grid::GridWindow g(p);
    list::ListWindow l;
    sawn::SawnWindow s;
    BillExporter exporter(sheet, *bills, prompts);
    struct Case {
        BillSpec bill;
        ui::Form* form;
        bool succeeds;
    };
    const Case cases[] = {{gridBill(true), &g.form(), true},
                          {sawnBill(), &s.form(), true},
                          {listBill(), &l.form(), false}};
    for (const Case& c : cases) {
        sheet = Recording{};
        sheet.failSetCellAt = 10;
        prompts = Prompts{};
        int count = 0;
        EXPECT_EQ(exporter.run(c.bill, *c.form, count), c.succeeds) << text::toUtf8(c.bill.sheet);
        EXPECT_EQ(sheet.abandoned, 1);           // the failed attempt's office is ended
        EXPECT_EQ(prompts.reminders.size(), 1u); // not again on the retry
        EXPECT_EQ(count, c.succeeds ? 2 : 1);
        EXPECT_EQ(prompts.failures.size(), c.succeeds ? 0u : 1u);
    }
}

TEST_F(Export, RepeatedFailureIsReportedOnce) {
    sheet.failStart = true;
    sawn::SawnWindow s;
    BillExporter exporter(sheet, *bills, prompts);
    int count = 0;
    EXPECT_FALSE(exporter.run(sawnBill(), s.form(), count));
    ASSERT_EQ(prompts.failures.size(), 1u);
    EXPECT_NE(prompts.failures[0].find(u"LibreOffice"), std::u16string::npos);
    EXPECT_EQ(sheet.abandoned, 2);
}

TEST_F(Export, MissingTemplateIsReported) {
    fs::remove(dir / "templates" / u8"账单明细1.xls");
    list::ListWindow l;
    BillExporter exporter(sheet, *bills, prompts);
    int count = 0;
    EXPECT_FALSE(exporter.run(listBill(), l.form(), count));
    ASSERT_EQ(prompts.failures.size(), 1u);
    EXPECT_NE(prompts.failures[0].find(u"账单明细1.xls"), std::u16string::npos);
}

TEST_F(Export, TheUsersCopyIsKeptAsItStands) {
    fs::create_directories(dir / "user");
    std::ofstream(dir / "user" / u8"账单明细.xls") << "adorned by the user";
    EXPECT_EQ(bills->workbook(u"账单明细.xls"), dir / "user" / u8"账单明细.xls");
    std::ifstream in(dir / "user" / u8"账单明细.xls");
    std::string content((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(content, "adorned by the user");
}

TEST_F(Export, MapsBeyondTheXlsLimitsAreRefused) {
    BillSpec bill = sawnBill();
    bill.cells.push_back({1, 257, {u"Text8"}, false});
    EXPECT_FALSE(fitsXls(bill));
    sawn::SawnWindow s;
    BillExporter exporter(sheet, *bills, prompts);
    int count = 0;
    EXPECT_FALSE(exporter.run(bill, s.form(), count));
    EXPECT_TRUE(sheet.calls.empty());
}

} // namespace

namespace {

struct StubProbe : OfficeProbe {
    std::string host = "desk";
    long self = 100;
    std::set<long> running;
    std::set<fs::path> inUse;
    std::string hostName() const override { return host; }
    long ownProcessId() const override { return self; }
    bool processRuns(long pid) const override { return running.count(pid) > 0; }
    bool profileInUse(const fs::path& p) const override { return inUse.count(p) > 0; }
};

TEST(BillLock, StaleOrHeldByWhoHoldsIt) {
    StubProbe probe;
    probe.running = {200};
    probe.inUse = {"/tmp/logora-office-200-abc", "/home/li/.config/libreoffice/4"};
    struct Case {
        const char* content; // null: no lock
        LockState state;
    };
    const Case cases[] = {
        {nullptr, LockState::Free},
        {"", LockState::Stale},                                            // cut by a power cut
        {",zhang,desk,09.12.2026 10:00,file:///home/z", LockState::Stale}, // no end mark
        {",zhang,desk,09.12.2026 10:00,file:///tmp/logora-office-100-xyz;", LockState::Stale},
        {",zhang,desk,09.12.2026 10:00,file:///tmp/logora-office-300-xyz;", LockState::Stale},
        {",zhang,desk,09.12.2026 10:00,file:///tmp/logora-office-200-abc;", LockState::Held},
        {"张三,zhang,other,09.12.2026 10:00,file:///home/zhang/.config/libreoffice/4;",
         LockState::Held},
        {",li,desk,09.12.2026 10:00,file:///home/li/.config/libreoffice/4/;", LockState::Held},
        {",zhang,desk,09.12.2026 10:00,file:///home/zhang/.config/libreoffice/4;",
         LockState::Stale},
    };
    const fs::path dir = logora::testing::makeTempFolder("logora-lock");
    const fs::path workbook = dir / u8"账单明细.xls";
    for (const Case& c : cases) {
        fs::remove(lockFileOf(workbook));
        if (c.content != nullptr) {
            std::ofstream(lockFileOf(workbook)) << c.content;
        }
        EXPECT_EQ(checkLock(workbook, probe).state, c.state) << (c.content ? c.content : "none");
    }
    fs::remove_all(dir);
}

TEST(BillLock, LinesReadBackWithEscapesAndEncodedPaths) {
    const LockHolder h{"王, 五", "wang", "desk;1", "09.12.2026 10:00", "file:///home/w%20x/4"};
    const auto back = parseLock(lockLine(h));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->officeUser, "王, 五");
    EXPECT_EQ(back->host, "desk;1");
    EXPECT_EQ(pathOfFileUrl(back->profileUrl), fs::path("/home/w x/4"));
    EXPECT_EQ(holderName(*back), u"王, 五（电脑 desk;1）");
}

TEST_F(Export, AHeldLockIsRefusedBeforeAnyOfficeStartsAndAStaleOneRemoved) {
    StubProbe probe;
    sawn::SawnWindow s;
    const fs::path workbook = bills->workbook(u"账单明细1.xls");
    std::ofstream(lockFileOf(workbook)) << "张三,zhang,other,09.12.2026 10:00,file:///x;";
    BillExporter exporter(sheet, *bills, prompts, probe);
    int count = 0;
    EXPECT_FALSE(exporter.run(sawnBill(), s.form(), count));
    EXPECT_EQ(std::count(sheet.calls.begin(), sheet.calls.end(), "start"), 0); // no office
    EXPECT_EQ(sheet.abandoned, 0); // none ended, no retry
    EXPECT_EQ(count, 1);
    ASSERT_EQ(prompts.failures.size(), 1u);
    EXPECT_NE(prompts.failures[0].find(u"张三（电脑 other）"), std::u16string::npos);

    std::ofstream(lockFileOf(workbook), std::ios::trunc)
        << ",zhang,desk,09.12.2026 10:00,file:///home/zhang/.config/libreoffice/4;";
    EXPECT_TRUE(exporter.run(sawnBill(), s.form(), count)) << text::toUtf8(prompts.failures.back());
    EXPECT_FALSE(fs::exists(lockFileOf(workbook)));
}

// Each failure kind: whether the office is ended, whether the bill is still counted saved.
TEST_F(Export, FailuresEndTheOfficeOnlyWhenItFailed) {
    struct Failing : Recording {
        std::function<void()> atSave, atShow;
        void save() override { atSave ? atSave() : Recording::save(); }
        void showToUser(const fs::path& p) override {
            atShow ? atShow() : Recording::showToUser(p);
        }
    };
    struct Case {
        const char* name;
        std::function<void()> atSave, atShow;
        bool saved;
        int abandoned;
        std::u16string message;
    };
    const Case cases[] = {
        {"read-only folder",
         [] {
             throw ExportError(u"账单无法保存：文件夹不可写。", u"0x4c0c",
                               ExportError::Kind::Refused);
         },
         {},
         false,
         0,
         u"账单无法保存：文件夹不可写。\n0x4c0c"},
        {"office crashed",
         [] { throw ExportError(u"LibreOffice Calc 意外退出。"); },
         {},
         false,
         2,
         u"LibreOffice Calc 意外退出。"},
        {"filesystem",
         [] { throw fs::filesystem_error("exists", std::error_code(5, std::generic_category())); },
         {},
         false,
         1,
         u"导出账单时出了意外的错误"},
        {"no viewer",
         {},
         [] {
             throw ExportError(u"账单已保存，但找不到 LibreOffice。", {},
                               ExportError::Kind::Refused);
         },
         true,
         0,
         u"账单已保存，但找不到 LibreOffice。"},
    };
    for (const Case& c : cases) {
        Failing failing;
        failing.atSave = c.atSave;
        failing.atShow = c.atShow;
        Prompts p;
        sawn::SawnWindow s;
        BillExporter exporter(failing, *bills, p);
        int count = 0;
        EXPECT_EQ(exporter.run(sawnBill(), s.form(), count), c.saved) << c.name;
        EXPECT_EQ(failing.abandoned, c.abandoned) << c.name;
        ASSERT_EQ(p.failures.size(), 1u) << c.name;
        EXPECT_EQ(p.failures[0].rfind(c.message, 0), 0u)
            << c.name << " " << text::toUtf8(p.failures[0]);
    }
}

TEST_F(Export, ADamagedBillIsSetAsideAndStartedAgainWhenTheUserAgrees) {
    sawn::SawnWindow s;
    for (bool agree : {false, true}) {
        fs::remove_all(dir / "user");
        const fs::path workbook = bills->workbook(u"账单明细1.xls");
        std::ofstream(workbook, std::ios::trunc); // empty: a power cut while it was saved
        prompts = Prompts{};
        prompts.answer = agree;
        BillExporter exporter(sheet, *bills, prompts);
        int count = 0;
        EXPECT_EQ(exporter.run(sawnBill(), s.form(), count), agree);
        ASSERT_EQ(prompts.questions.size(), 1u);
        EXPECT_NE(prompts.questions[0].find(u"已经损坏"), std::u16string::npos);
        EXPECT_EQ(prompts.failures.size(), agree ? 0u : 1u);
        int aside = 0;
        for (const auto& e : fs::directory_iterator(dir / "user")) {
            aside +=
                text::toUtf8(text::pathText(e.path().filename())).rfind("账单明细1 损坏 20", 0) ==
                0;
        }
        EXPECT_EQ(aside, agree ? 1 : 0);
        EXPECT_EQ(fs::file_size(workbook), agree ? 8u : 0u); // "template" again
    }
}

// With no application to show the bill, the first export says so and nothing else; the
// reminder comes with the first export that finds one.
TEST_F(Export, NoApplicationIsSaidBeforeTheReminder) {
    NoPrices p;
    grid::GridWindow g(p);
    MissingSpreadsheet none(u"未找到 LibreOffice Calc");
    int count = 0;
    EXPECT_FALSE(BillExporter(none, *bills, prompts).run(gridBill(false), g.form(), count));
    EXPECT_TRUE(prompts.reminders.empty());
    ASSERT_EQ(prompts.failures.size(), 1u);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(BillExporter(sheet, *bills, prompts).run(gridBill(false), g.form(), count));
    EXPECT_EQ(prompts.reminders.size(), 1u);
}

#ifndef _WIN32 // the LibreOffice plugin is the Linux adapter
TEST(CalcPlugin, AMissingPluginIsNotBlamedOnLibreOffice) {
    const fs::path dir = logora::testing::makeTempFolder("logora-plugin");
    std::ofstream(dir / "broken.so") << "not a library";
    std::ofstream(dir / "soffice.bin") << "";
    struct Case {
        fs::path plugin, office;
        std::u16string says;
    };
    const Case cases[] = {
        {dir / "none.so", dir / "soffice.bin", u"找不到 Logora 的 LibreOffice 插件"},
        {dir / "broken.so", dir / "soffice.bin", u"插件无法加载"},
        {dir / "none.so", dir / "no-office", u"未找到 LibreOffice Calc"}};
    for (const Case& c : cases) {
        const CalcPluginLoad load = tryLoadCalcPlugin({c.plugin}, c.office);
        EXPECT_FALSE(load.spreadsheet);
        EXPECT_NE(load.why.find(c.says), std::u16string::npos) << text::toUtf8(load.why);
    }
    fs::remove_all(dir);
}
#endif

} // namespace

namespace {

TEST_F(Export, EveryExportIsArchivedDatedWithItsPdfAndNeverOverwritten) {
    NoPrices p;
    grid::GridWindow g(p);
    g.form().control(u"Combo2").setText(u"车号:");
    g.form().control(u"Text22").setText(u"辽A12345");
    BillExporter exporter(sheet, *bills, prompts);
    int count = 0;
    ASSERT_TRUE(exporter.run(gridBill(false), g.form(), count));
    ASSERT_TRUE(exporter.run(gridBill(false), g.form(), count)); // within the same second, too
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(bills->archive())) {
        names.insert(text::toUtf8(text::pathText(e.path().filename())));
    }
    ASSERT_EQ(names.size(), 4u) << (names.empty() ? "" : *names.begin());
    int xls = 0, pdf = 0;
    for (const std::string& n : names) {
        EXPECT_NE(n.find(" 原木一 车号 辽A12345"), std::string::npos) << n;
        xls += n.ends_with(".xls");
        pdf += n.ends_with(".pdf");
    }
    EXPECT_EQ(xls, 2);
    EXPECT_EQ(pdf, 2);
    EXPECT_TRUE(prompts.failures.empty());

    // An archive that cannot be written is reported; the export itself stands.
    fs::remove_all(bills->archive());
    std::ofstream(bills->archive()) << "a file in the way";
    EXPECT_TRUE(exporter.run(gridBill(false), g.form(), count));
    ASSERT_EQ(prompts.failures.size(), 1u);
    EXPECT_EQ(prompts.failures[0].rfind(u"账单已经导出，但没有完整存档", 0), 0u);
}

} // namespace

namespace {

// A tally priced by a list: its name, bands and fees go under the bill's footer, clear of
// every mapped cell; the next bill by the grade prices clears them, and the one after writes
// exactly the cells it always wrote.
TEST_F(Export, AListsDetailGoesUnderTheBillAndTheNextBillClearsIt) {
    for (const BillSpec& b : {gridBill(false), gridBill(true), listBill(), sawnBill()}) {
        const auto mapped = cellsOf(b);
        for (int r = 0; r < 60; ++r) {
            for (int c : b.detailColumns) {
                EXPECT_FALSE(mapped.contains({b.detailRow + r, c})) << text::toUtf8(b.sheet);
            }
        }
        EXPECT_GT(b.detailRow, std::max(b.ruleRow, std::max(b.dateRow, b.numberRow)));
    }
    NoPrices p;
    grid::GridWindow g(p);
    g.pieces(5, 0).setText(u"3");
    g.tick();
    int count = 0;
    {
        BillExporter exporter(sheet, *bills, prompts);
        exporter.priceBy(u"樟子松 · 东港木业",
                         {{u"径级6-12 长4米", u"3", u"0.1530", u"800元/立方米", u"122.40"},
                          {u"码费", {}, {}, u"20元/立方米", u"3.06"},
                          {u"合计", u"3", u"0.1530", {}, u"125.46"}});
        ASSERT_TRUE(exporter.run(gridBill(false), g.form(), count));
    }
    auto at = [&](int row, int column) -> std::optional<CellValue> {
        std::optional<CellValue> last;
        for (const auto& [r, c, v] : sheet.cells) {
            if (r == row && c == column) {
                last = v;
            }
        }
        return last;
    };
    EXPECT_EQ(at(29, 1)->text, u"价格表");
    EXPECT_EQ(at(29, 4)->text, u"樟子松 · 东港木业");
    EXPECT_EQ(at(30, 10)->text, u"金额");
    EXPECT_EQ(at(31, 1)->text, u"径级6-12 长4米");
    EXPECT_EQ(at(31, 8)->text, u"800元/立方米");
    EXPECT_EQ(at(31, 10)->kind, CellValue::Kind::Number);
    EXPECT_EQ(at(33, 10)->number, 125.46);
    for (std::size_t expected : {208u + 5u * 5u, 208u}) {
        sheet.cells.clear();
        BillExporter exporter(sheet, *bills, prompts);
        ASSERT_TRUE(exporter.run(gridBill(false), g.form(), count));
        EXPECT_EQ(sheet.cells.size(), expected);
        if (expected > 208u) {
            EXPECT_EQ(at(33, 10)->kind, CellValue::Kind::Empty);
        }
    }
}

} // namespace
