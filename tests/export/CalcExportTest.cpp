// The real LibreOffice Calc, headless: export sample tallies and read the saved files back
// through a separate office (csv of each sheet), cell by cell.
#include "export/BillExport.hpp"
#include "export/CalcPlugin.hpp"
#include "grid/GridWindow.hpp"
#include "list/ListWindow.hpp"
#include "sawn/SawnWindow.hpp"
#include "text/NumberText.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace logora;
using namespace logora::exporting;
namespace fs = std::filesystem;

namespace {

struct Prices : prices::PriceSource {
    std::u16string priceText(int k) override { return k == 0 ? u"480" : k == 1 ? u"620" : u"760"; }
};

// The real office, but the show step is recorded instead of launched.
struct NoShow : Spreadsheet {
    Spreadsheet& real;
    std::vector<fs::path> shown;
    explicit NoShow(Spreadsheet& r) : real(r) {}
    void start() override { real.start(); }
    void openWorkbook(const fs::path& p) override { real.openWorkbook(p); }
    void selectSheet(std::u16string_view s) override { real.selectSheet(s); }
    void setCell(int r, int c, const CellValue& v) override { real.setCell(r, c, v); }
    void save() override { real.save(); }
    void closeAll() override { real.closeAll(); }
    void showToUser(const fs::path& p) override { shown.push_back(p); }
    void abandon() override { real.abandon(); }
};

struct Prompts : ExportPrompts {
    std::vector<std::u16string> reminders, failures;
    void remind(const std::u16string& t) override { reminders.push_back(t); }
    void failed(const std::u16string& t) override { failures.push_back(t); }
    std::vector<std::u16string> questions;
    bool answer = true;
    bool ask(const std::u16string& q) override {
        questions.push_back(q);
        return answer;
    }
};

using Grid = std::map<std::pair<int, int>, std::string>; // (row, column) -> csv text

std::vector<std::string> csvLine(const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            out.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    out.push_back(field);
    return out;
}

// Every sheet of the workbook as read by a second, independent office.
std::map<std::string, Grid> readBack(const fs::path& workbook, const fs::path& scratch,
                                     bool asShown = false) {
    const fs::path out = scratch / "csv";
    fs::remove_all(out);
    fs::create_directories(out);
    const std::string cmd =
        "soffice -env:UserInstallation=file://" + (scratch / "reader").string() +
        " --headless --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,"
        "false,true," +
        (asShown ? "true" : "false") + ",false,false,-1' --outdir '" + out.string() + "' '" +
        workbook.string() + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0);
    std::map<std::string, Grid> sheets;
    for (const auto& entry : fs::directory_iterator(out)) {
        const std::string name = entry.path().stem().string();
        const std::string sheet = name.substr(name.rfind('-') + 1);
        std::ifstream in(entry.path());
        std::string line;
        Grid g;
        for (int row = 1; std::getline(in, line); ++row) {
            const auto fields = csvLine(line);
            for (std::size_t c = 0; c < fields.size(); ++c) {
                if (!fields[c].empty()) {
                    g[{row, static_cast<int>(c) + 1}] = fields[c];
                }
            }
        }
        sheets[sheet] = g;
    }
    return sheets;
}

std::string at(const Grid& g, int row, int column) {
    const auto it = g.find({row, column});
    return it == g.end() ? std::string() : it->second;
}

// Every mapped cell holds its field's text: numbers as their value, texts as typed.
void expectBill(const Grid& g, const BillSpec& bill, const ui::Form& form) {
    for (const MappedCell& c : bill.cells) {
        const std::u16string& field = form.control(c.field.name, c.field.element).text();
        const CellValue v = cellValue(field, c.alwaysText);
        const std::string got = at(g, c.row, c.column);
        const std::string where = cellName(c.row, c.column) + " " + text::toUtf8(c.field.name) +
                                  "(" + std::to_string(c.field.element) + ")";
        switch (v.kind) {
        case CellValue::Kind::Empty:
            EXPECT_EQ(got, "") << where;
            break;
        case CellValue::Kind::Number:
            EXPECT_EQ(std::strtod(got.c_str(), nullptr), v.number) << where << " " << got;
            break;
        case CellValue::Kind::Text:
            EXPECT_EQ(got, text::toUtf8(v.text)) << where;
            break;
        }
    }
}

// soffice.bin processes that are children of this test.
int officeChildren() {
    int n = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string s;
        if (!std::getline(stat, s)) {
            continue;
        }
        const auto close = s.rfind(')');
        if (close == std::string::npos || s.find("(soffice.bin)") == std::string::npos) {
            continue;
        }
        char state = 0;
        int ppid = 0;
        std::sscanf(s.c_str() + close + 2, "%c %d", &state, &ppid);
        if (ppid == ::getpid() && state != 'Z') {
            ++n;
        }
    }
    return n;
}

bool anyLock(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir)) {
        if (e.path().filename().string().rfind(".~lock.", 0) == 0) {
            return true;
        }
    }
    return false;
}

class Calc : public ::testing::Test {
  protected:
    static std::unique_ptr<Spreadsheet> office;
    fs::path dir;
    std::unique_ptr<BillFolder> bills;
    std::unique_ptr<NoShow> sheet;
    Prompts prompts;

    static void SetUpTestSuite() { office = loadCalcPlugin({LOGORA_CALC_PLUGIN}); }
    static void TearDownTestSuite() {
        office.reset();
        EXPECT_EQ(officeChildren(), 0); // the office ends with the program
    }
    void SetUp() override {
        char tmpl[] = "/tmp/logora-calc-XXXXXX";
        dir = mkdtemp(tmpl);
        bills = std::make_unique<BillFolder>(dir / "bills", LOGORA_BILL_TEMPLATES);
        sheet = std::make_unique<NoShow>(*office);
    }
    void TearDown() override {
        if (fs::exists(dir / "bills")) {
            EXPECT_FALSE(anyLock(dir / "bills"));
        }
        fs::remove_all(dir);
    }
    bool exportBill(const BillSpec& bill, const ui::Form& form, int& count) {
        BillExporter exporter(*sheet, *bills, prompts);
        return exporter.run(bill, form, count);
    }
};
std::unique_ptr<Spreadsheet> Calc::office;

void fillGrid(grid::GridWindow& g) {
    for (int r = 1; r <= 14; ++r) {
        for (int grp = 0; grp < 4; ++grp) {
            if ((r + grp) % 3 != 0) {
                g.cell(r, 3 * grp + 1).setText(text::plainText(r + grp));
            }
        }
    }
    g.lengthField(1).setText(u"4.5");
    g.cell(3, 6).setText(u"杉木"); // a name typed into a grid cell goes over unchanged
    auto& f = g.form();
    f.control(u"Text17").setText(u"=县木材厂"); // a text, never a formula
    f.control(u"Text22").setText(u"0771");      // leading zero kept
    f.control(u"Text24").setText(u"6217001234567890123");
    f.control(u"Combo2").setText(u"联系电话:");
    g.tick();
    g.tick();
}

TEST_F(Calc, GridBillInBothLayouts) {
    Prices p;
    grid::GridWindow g(p);
    fillGrid(g);
    int count = 0;
    const auto cold = std::chrono::steady_clock::now();
    ASSERT_TRUE(exportBill(gridBill(false), g.form(), count))
        << text::toUtf8(prompts.failures.at(0));
    const auto coldMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - cold);
    ASSERT_EQ(sheet->shown.size(), 1u);
    auto sheets = readBack(sheet->shown[0], dir);
    expectBill(sheets["原木一"], gridBill(false), g.form());
    EXPECT_EQ(at(sheets["原木一"], 1, 1), "原木检尺码单");
    EXPECT_EQ(at(sheets["原木一"], 3, 3), "=县木材厂");
    EXPECT_EQ(at(sheets["原木一"], 3, 9), "0771");

    g.switchToTwoLengths();
    g.tick();
    g.tick();
    const auto warm = std::chrono::steady_clock::now();
    ASSERT_TRUE(exportBill(gridBill(true), g.form(), count));
    const auto warmMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - warm);
    sheets = readBack(sheet->shown[1], dir);
    expectBill(sheets["原木一"], gridBill(true), g.form());
    EXPECT_EQ(at(sheets["原木一"], 21, 2), ""); // B21, C21, H21, I21 cleared
    EXPECT_EQ(at(sheets["原木一"], 21, 9), "");
    EXPECT_EQ(prompts.reminders.size(), 1u);
    std::printf("[ figures  ] grid export, click to saved: cold office %lld ms, warm %lld ms\n",
                static_cast<long long>(coldMs.count()), static_cast<long long>(warmMs.count()));
}

TEST_F(Calc, ListAndSawnShareTheirWorkbookWithoutTouchingEachOther) {
    list::ListWindow l;
    auto& lf = l.form();
    for (int r = 0; r < 5; ++r) {
        lf.control(u"Text1", r).setText(u"4");
        lf.control(u"Text2", r).setText(text::plainText(12 + 2 * r));
        lf.control(u"Text3", r).setText(text::plainText(3 + r));
        lf.control(u"Text5", r).setText(u"650");
    }
    lf.control(u"Text27").setText(u"县木材加工厂");
    lf.control(u"Text22", 7).setText(u"700");
    l.tick();
    sawn::SawnWindow s;
    auto& sf = s.form();
    for (auto [name, value] : {std::pair{u"Text1", u"400"},
                               {u"Text2", u"20"},
                               {u"Text3", u"5"},
                               {u"Text4", u"10"},
                               {u"Text6", u"1200"}}) {
        sf.control(name, 0).setText(value);
        sf.control(name, 7).setText(value);
    }
    sf.control(u"Text13").setText(u"青山林场");
    s.tick();
    int listCount = 0, sawnCount = 0;
    ASSERT_TRUE(exportBill(listBill(), lf, listCount));
    ASSERT_TRUE(exportBill(sawnBill(), sf, sawnCount));
    auto sheets = readBack(sheet->shown.back(), dir);
    expectBill(sheets["原木二"], listBill(), lf);
    expectBill(sheets["锯材账单"], sawnBill(), sf);
    EXPECT_EQ(at(sheets["锯材账单"], 3, 1), "购货单位"); // the template's own caption stays
    // The bill shows the window's number forms.
    const auto shown = readBack(sheet->shown.back(), dir, true);
    EXPECT_EQ(at(shown.at("锯材账单"), 13, 6), "960.0000"); // total amount, four decimals
    EXPECT_EQ(at(shown.at("锯材账单"), 5, 5), "0.4000");
    EXPECT_EQ(at(shown.at("锯材账单"), 5, 7), "480.00");
    EXPECT_EQ(at(shown.at("原木二"), 24, 4), text::toUtf8(lf.control(u"Text22", 4).text()));

    // A shorter list clears the rows below it; the sawn sheet keeps its bill.
    lf.control(u"Text3", 3).setText(u"");
    lf.control(u"Text3", 4).setText(u"");
    l.tick();
    ASSERT_TRUE(exportBill(listBill(), lf, listCount));
    sheets = readBack(sheet->shown.back(), dir);
    expectBill(sheets["原木二"], listBill(), lf);
    EXPECT_EQ(at(sheets["原木二"], 9, 4), "");
    expectBill(sheets["锯材账单"], sawnBill(), sf);
    EXPECT_EQ(prompts.reminders.size(), 2u); // once for each window
}

TEST_F(Calc, CellsOutsideTheMapKeepTheUsersAdditions) {
    // The user adds a company line to their copy of the bill.
    sawn::SawnWindow s;
    const fs::path workbook = bills->workbook(u"账单明细1.xls");
    office->start();
    office->openWorkbook(workbook);
    office->selectSheet(u"锯材账单");
    office->setCell(2, 1, {CellValue::Kind::Text, 0, u"青山木业有限公司"});
    office->setCell(26, 8, {CellValue::Kind::Number, 42, {}}); // H26 of the grid bill's kind
    office->save();
    office->closeAll();
    int count = 0;
    ASSERT_TRUE(exportBill(sawnBill(), s.form(), count));
    auto sheets = readBack(workbook, dir);
    EXPECT_EQ(at(sheets["锯材账单"], 2, 1), "青山木业有限公司");
    EXPECT_EQ(at(sheets["锯材账单"], 26, 8), "42");
}

TEST_F(Calc, LockedWorkbookIsRefusedAndNamesItsHolder) {
    Prices p;
    grid::GridWindow g(p);
    fs::create_directories(dir / "bills");
    const fs::path workbook = bills->workbook(u"账单明细.xls");
    const fs::path lock = dir / "bills" / ".~lock.账单明细.xls#";
    std::ofstream(lock) << "张三,desk,/home/zhang/.config/libreoffice/4;,08.12.2026 10:00,";
    int count = 0;
    EXPECT_FALSE(exportBill(gridBill(false), g.form(), count));
    ASSERT_EQ(prompts.failures.size(), 1u);
    const std::string message = text::toUtf8(prompts.failures[0]);
    EXPECT_NE(message.find("张三"), std::string::npos) << message;
    EXPECT_NE(message.find("账单明细.xls"), std::string::npos) << message;
    EXPECT_EQ(count, 2); // retried once
    EXPECT_EQ(officeChildren(), 0);
    fs::remove(lock);
}

TEST_F(Calc, BrokenWorkbookOrMissingSheetIsReported) {
    list::ListWindow l;
    fs::create_directories(dir / "bills");
    // The grid's workbook in place of the list's: no sheet "原木二".
    fs::copy_file(fs::path(LOGORA_BILL_TEMPLATES) / "账单明细.xls",
                  dir / "bills" / "账单明细1.xls");
    int count = 0;
    EXPECT_FALSE(exportBill(listBill(), l.form(), count));
    ASSERT_EQ(prompts.failures.size(), 1u);
    EXPECT_NE(prompts.failures[0].find(u"原木二"), std::u16string::npos);
    EXPECT_EQ(officeChildren(), 0);

    std::ofstream(dir / "bills" / "账单明细1.xls", std::ios::trunc) << "\x01\x02 not a workbook";
    sawn::SawnWindow s;
    EXPECT_FALSE(exportBill(sawnBill(), s.form(), count));
    EXPECT_EQ(prompts.failures.size(), 2u);
    EXPECT_EQ(officeChildren(), 0);
}

TEST_F(Calc, ReadOnlyWorkbookIsReported) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes read-only files";
    }
    sawn::SawnWindow s;
    const fs::path workbook = bills->workbook(u"账单明细1.xls");
    fs::permissions(workbook, fs::perms::owner_read);
    int count = 0;
    EXPECT_FALSE(exportBill(sawnBill(), s.form(), count));
    EXPECT_EQ(prompts.failures.size(), 1u);
}

} // namespace
