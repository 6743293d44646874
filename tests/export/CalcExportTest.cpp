// SPDX-License-Identifier: GPL-3.0-or-later
// The real LibreOffice Calc, headless: export sample tallies and read the saved files back
// through a separate office (csv of each sheet), cell by cell.
#include "RecordingPrompts.hpp"
#include "export/BillExport.hpp"
#include "export/CalcPlugin.hpp"
#include "grid/GridWindow.hpp"
#include "ledger/BillRecorder.hpp"
#include "ledger/LedgerView.hpp"
#include "ledger/sqlite/SqliteLedger.hpp"
#include "list/ListWindow.hpp"
#include "sawn/SawnWindow.hpp"
#include "text/NumberText.hpp"
#include "ui/Folders.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <map>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
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
    void exportPdf(const fs::path& p) override { real.exportPdf(p); }
    void closeAll() override { real.closeAll(); }
    void showToUser(const fs::path& p) override { shown.push_back(p); }
    void abandon() override { real.abandon(); }
};

using Prompts = logora::testing::RecordingPrompts;

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

// The soffice.bin processes that are children of this test and still run.
std::vector<pid_t> officeChildPids() {
    std::vector<pid_t> out;
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
            out.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
        }
    }
    return out;
}

int officeChildren() {
    return static_cast<int>(officeChildPids().size());
}

// Running and not yet a zombie.
bool alive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string s;
    if (!std::getline(stat, s)) {
        return false;
    }
    const auto close = s.rfind(')');
    return close != std::string::npos && close + 2 < s.size() && s[close + 2] != 'Z';
}

// Waits for a condition, at most the bound; true when it came.
template <typename Condition> bool waitFor(Condition condition, std::chrono::milliseconds bound) {
    const auto until = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// An office of this host apart from the program's, started and killed by its process id.
// It is the child of no test process, as a user's own office is not.
class SecondOffice {
  public:
    explicit SecondOffice(const fs::path& profile) : profile_(profile) {
        const std::string url = "-env:UserInstallation=file://" + profile.string();
        // On a fresh profile the office makes it and ends, asking for a restart (status 81):
        // it is run to its end until it starts on a profile it keeps.
        for (int run = 0; run < 5; ++run) {
            const std::string once = "/usr/lib/libreoffice/program/soffice.bin --headless "
                                     "--norestore --terminate_after_init " +
                                     url + " >/dev/null 2>&1";
            if (std::system(once.c_str()) == 0) {
                break;
            }
        }
        int pipe[2];
        if (::pipe(pipe) != 0) {
            return;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::setsid();
            const pid_t office = ::fork();
            if (office == 0) {
                ::close(pipe[0]);
                ::close(pipe[1]);
                std::freopen("/dev/null", "w", stdout);
                std::freopen("/dev/null", "w", stderr);
                ::execl("/usr/lib/libreoffice/program/soffice.bin", "soffice.bin", "--headless",
                        "--norestore", url.c_str(), static_cast<char*>(nullptr));
                ::_exit(127);
            }
            [[maybe_unused]] const ssize_t n = ::write(pipe[1], &office, sizeof office);
            ::_exit(0);
        }
        ::close(pipe[1]);
        if (::read(pipe[0], &pid_, sizeof pid_) != sizeof pid_) {
            pid_ = -1;
        }
        ::close(pipe[0]);
        ::waitpid(child, nullptr, 0);
    }
    ~SecondOffice() { kill(); }
    SecondOffice(const SecondOffice&) = delete;
    SecondOffice& operator=(const SecondOffice&) = delete;

    // Up: running on its profile, holding the profile's own lock, and seen by the same probe
    // the program asks.
    bool waitUntilUp() const {
        return waitFor(
            [this] {
                return alive(pid_) && fs::exists(profile_ / ".lock") &&
                       exporting::systemOfficeProbe().profileInUse(profile_);
            },
            std::chrono::seconds(120));
    }
    void kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            waitFor([this] { return !alive(pid_); }, std::chrono::seconds(30));
            pid_ = -1;
        }
    }

  private:
    fs::path profile_;
    pid_t pid_ = -1;
};

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
    bool exportBill(const BillSpec& bill, const ui::Form& form, int& count,
                    std::vector<prices::DetailRow> detail = {}) {
        BillExporter exporter(*sheet, *bills, prompts);
        if (!detail.empty()) {
            exporter.priceBy(u"樟子松 · 东港木业", std::move(detail));
        }
        return exporter.run(bill, form, count);
    }
};
std::unique_ptr<Spreadsheet> Calc::office;

void fillGrid(grid::GridWindow& g) {
    for (int r = 1; r <= 14; ++r) {
        for (int grp = 0; grp < 4; ++grp) {
            if ((r + grp) % 3 != 0) {
                g.pieces(r, grp).setText(text::plainText(r + grp));
            }
        }
    }
    g.lengthField(1).setText(u"4.5");
    g.diameter(3, 2).setText(u"杉木"); // a name typed into a grid cell goes over unchanged
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
    EXPECT_EQ(at(sheets["原木一"], 2, 10), "日期：");
    EXPECT_EQ(at(sheets["原木一"], 2, 11), exportDate()); // as text, not a date number
    EXPECT_EQ(at(sheets["原木一"], 2, 6), "检尺标准");
    EXPECT_EQ(at(sheets["原木一"], 2, 7), "国标 GB/T 4814");

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

    // Both bills are archived, dated, each with a PDF of its sheet.
    std::vector<fs::path> archived, pdfs;
    for (const auto& e : fs::directory_iterator(bills->archive())) {
        (e.path().extension() == ".pdf" ? pdfs : archived).push_back(e.path());
    }
    std::sort(archived.begin(), archived.end());
    ASSERT_EQ(archived.size(), 2u);
    ASSERT_EQ(pdfs.size(), 2u);
    expectBill(readBack(archived[1], dir)["原木一"], gridBill(true), g.form());
    for (const fs::path& pdf : pdfs) {
        std::ifstream in(pdf, std::ios::binary);
        std::string head(4, '\0');
        in.read(head.data(), 4);
        EXPECT_EQ(head, "%PDF") << pdf;
        const std::string pages =
            "pdfinfo '" + pdf.string() + "' 2>/dev/null | grep -q '^Pages: *1$'";
        if (std::system("which pdfinfo >/dev/null 2>&1") == 0) {
            EXPECT_EQ(std::system(pages.c_str()), 0) << pdf << ": one A4 page";
        }
    }
    // The office started in the background at the first edit, then some typing (PREP_S
    // seconds, 3 by default).
    office->abandon();
    office->prepare();
    const int typingSeconds = std::getenv("PREP_S") ? std::atoi(std::getenv("PREP_S")) : 3;
    std::this_thread::sleep_for(std::chrono::seconds(typingSeconds));
    const auto prepared = std::chrono::steady_clock::now();
    ASSERT_TRUE(exportBill(gridBill(true), g.form(), count));
    const auto preparedMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - prepared);
    // A click that comes before the office is up waits for the same start, no longer.
    office->abandon();
    office->prepare();
    const auto early = std::chrono::steady_clock::now();
    ASSERT_TRUE(exportBill(gridBill(true), g.form(), count));
    const auto earlyMs = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - early);
    std::printf("[ figures  ] grid export, click to saved: cold office %lld ms, warm %lld ms, "
                "office started at the first edit %d s before %lld ms, clicked at once %lld ms\n",
                static_cast<long long>(coldMs.count()), static_cast<long long>(warmMs.count()),
                typingSeconds, static_cast<long long>(preparedMs.count()),
                static_cast<long long>(earlyMs.count()));

    // Priced by a list: its bands and fees under the footer; the next bill clears them.
    ASSERT_TRUE(exportBill(gridBill(true), g.form(), count,
                           {{u"径级6-12 长4-5.9米", u"20", u"0.9000", u"650元/立方米", u"585.00"},
                            {u"码费", {}, {}, u"20元/立方米", u"18.00"},
                            {u"合计", u"20", u"0.9000", {}, u"603.00"}}));
    sheets = readBack(sheet->shown.back(), dir);
    EXPECT_EQ(at(sheets["原木一"], 29, 1), "价格表");
    EXPECT_EQ(at(sheets["原木一"], 29, 4), "樟子松 · 东港木业");
    EXPECT_EQ(at(sheets["原木一"], 31, 1), "径级6-12 长4-5.9米");
    EXPECT_EQ(at(sheets["原木一"], 31, 8), "650元/立方米");
    EXPECT_EQ(at(sheets["原木一"], 31, 10), "585");
    EXPECT_EQ(at(sheets["原木一"], 32, 1), "码费");
    EXPECT_EQ(at(sheets["原木一"], 33, 10), "603");
    ASSERT_TRUE(exportBill(gridBill(true), g.form(), count));
    sheets = readBack(sheet->shown.back(), dir);
    for (int row = 29; row <= 33; ++row) {
        EXPECT_EQ(at(sheets["原木一"], row, 1), "") << row;
    }
    EXPECT_EQ(at(sheets["原木一"], 33, 10), "");
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
    EXPECT_EQ(at(sheets["锯材账单"], 2, 6), exportDate());
    EXPECT_EQ(at(sheets["原木二"], 27, 1), "日期：");
    EXPECT_EQ(at(sheets["原木二"], 27, 2), exportDate());
    // The bill shows the window's number forms.
    const auto shown = readBack(sheet->shown.back(), dir, true);
    EXPECT_EQ(at(shown.at("锯材账单"), 13, 6), "960.0000"); // total amount, four decimals
    EXPECT_EQ(at(shown.at("锯材账单"), 5, 5), "0.4000");
    EXPECT_EQ(at(shown.at("锯材账单"), 5, 7), "480.00");
    EXPECT_EQ(at(shown.at("原木二"), 24, 4), text::toUtf8(lf.control(u"Text22", 4).text()));
    // The sawn bill's PDF holds its own sheet only.
    for (const auto& e : fs::directory_iterator(bills->archive())) {
        const std::string name = e.path().filename().string();
        if (e.path().extension() == ".pdf" && name.find("锯材账单") != std::string::npos) {
            const std::string cmd = "pdftotext '" + e.path().string() +
                                    "' - | grep -q 锯材码单 && ! pdftotext '" + e.path().string() +
                                    "' - | grep -q 多材长";
            EXPECT_EQ(std::system(cmd.c_str()), 0) << name;
        }
    }

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

std::string hostName() {
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    return host;
}

// Kills this test's own offices by their process ids, and waits until they are gone.
void killOffices() {
    const std::vector<pid_t> pids = officeChildPids();
    for (pid_t pid : pids) {
        ::kill(pid, SIGKILL);
    }
    waitFor([&pids] { return std::none_of(pids.begin(), pids.end(), alive); },
            std::chrono::seconds(30));
}

// Our own pipes under /tmp, and the single-instance pipes of offices.
std::set<std::string> officePipes() {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator("/tmp")) {
        if (e.path().filename().string().rfind("OSL_PIPE_", 0) == 0) {
            out.insert(e.path().string());
        }
    }
    return out;
}

TEST_F(Calc, StaleLocksAreClearedLiveOnesRefusedNamingTheirHolder) {
    Prices p;
    grid::GridWindow g(p);
    fillGrid(g);
    const fs::path workbook = bills->workbook(u"账单明细.xls");
    const fs::path lock = lockFileOf(workbook);
    int count = 0;
    // A power cut under the user's own office, and a kill of this program during a load.
    for (const std::string profile : {"file:///home/nobody-here/.config/libreoffice/4",
                                      "file:///tmp/logora-office-999999-Ab"}) {
        std::ofstream(lock) << ",zhang," << hostName() << ",09.12.2026 10:00," << profile << ";";
        ASSERT_TRUE(exportBill(gridBill(false), g.form(), count)) << profile;
        EXPECT_FALSE(fs::exists(lock));
    }
    EXPECT_EQ(officeChildren(), 1); // warm for the next export

    // A second office of this host, alive, holds the bill.
    const fs::path second = dir / "second";
    const auto pipesBefore = officePipes();
    SecondOffice secondOffice(second);
    ASSERT_TRUE(secondOffice.waitUntilUp());
    std::ofstream(lock) << "李四,li," << hostName() << ",09.12.2026 10:00,file://"
                        << second.string() << ";";
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(exportBill(gridBill(false), g.form(), count));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
    ASSERT_EQ(prompts.failures.size(), 1u);
    const std::string message = text::toUtf8(prompts.failures[0]);
    EXPECT_NE(message.find("李四（电脑 " + hostName() + "）"), std::string::npos) << message;
    EXPECT_NE(message.find(workbook.string()), std::string::npos) << message;
    EXPECT_TRUE(fs::exists(lock));
    EXPECT_EQ(officeChildren(), 1); // the refusal kept the warm office

    secondOffice.kill();
    ASSERT_TRUE(waitFor([&] { return !systemOfficeProbe().profileInUse(second); },
                        std::chrono::seconds(30)));
    for (const std::string& pipe : officePipes()) {
        if (!pipesBefore.count(pipe)) {
            fs::remove(pipe); // the second office's, not the program's to remove
        }
    }
    EXPECT_TRUE(exportBill(gridBill(false), g.form(), count))
        << text::toUtf8(prompts.failures.back()); // now stale
}

// Kills the office as soon as its lock of the bill appears, once: in the middle of the load.
struct KillDuringLoad : NoShow {
    using NoShow::NoShow;
    bool armed = true;
    void openWorkbook(const fs::path& p) override {
        std::thread killer;
        if (armed) {
            armed = false;
            killer = std::thread([lock = lockFileOf(p)] {
                for (int i = 0; i < 5000 && !fs::exists(lock); ++i) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
                killOffices();
            });
        }
        try {
            real.openWorkbook(p);
        } catch (...) {
            if (killer.joinable()) {
                killer.join();
            }
            throw;
        }
        if (killer.joinable()) {
            killer.join();
        }
    }
};

TEST_F(Calc, AnOfficeKilledDuringTheLoadOrBetweenExportsLeavesNothingThatBlocks) {
    office->abandon();
    const auto pipesBefore = officePipes();
    Prices p;
    grid::GridWindow g(p);
    fillGrid(g);
    list::ListWindow l;
    l.form().control(u"Text1", 0).setText(u"4");
    l.form().control(u"Text2", 0).setText(u"20");
    l.form().control(u"Text3", 0).setText(u"3");
    l.tick();
    office->start();
    int gridCount = 0, listCount = 0;
    struct Case {
        BillSpec bill;
        ui::Form* form;
        int* count;
        bool saved; // the grid retries once, the list does not
    };
    for (const Case& c : {Case{gridBill(false), &g.form(), &gridCount, true},
                          Case{listBill(), &l.form(), &listCount, false}}) {
        prompts = Prompts{};
        KillDuringLoad killing(*office);
        BillExporter exporter(killing, *bills, prompts);
        EXPECT_EQ(exporter.run(c.bill, *c.form, *c.count), c.saved) << text::toUtf8(c.bill.sheet);
        if (!c.saved) {
            ASSERT_EQ(prompts.failures.size(), 1u);
            const std::string message = text::toUtf8(prompts.failures[0]);
            EXPECT_EQ(message.rfind("LibreOffice Calc 意外退出，账单 ", 0), 0u) << message;
            EXPECT_NE(message.find("请再导出一次。\n"), std::string::npos) << message;
        }
        EXPECT_FALSE(anyLock(dir / "bills"));
        EXPECT_TRUE(exportBill(c.bill, *c.form, *c.count)); // the next export works
        killOffices();                                      // and after a kill between exports
        EXPECT_TRUE(exportBill(c.bill, *c.form, *c.count));
        expectBill(readBack(sheet->shown.back(), dir)[text::toUtf8(c.bill.sheet)], c.bill, *c.form);
    }
    office->abandon();
    EXPECT_EQ(officePipes(), pipesBefore); // no pipe of a dead office is left
}

TEST_F(Calc, APipeSquattedAtTheOldNameOrLeftByADeadRunIsNoHindrance) {
    office->abandon();
    std::vector<int> squatters;
    auto listen = [&](const std::string& path) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", path.c_str());
        ::unlink(path.c_str());
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::listen(fd, 4);
        return fd;
    };
    const std::string uid = std::to_string(::geteuid());
    for (int n = 1; n <= 4; ++n) {
        squatters.push_back(listen("/tmp/OSL_PIPE_" + uid + "_logora-" +
                                   std::to_string(::getpid()) + "-" + std::to_string(n)));
    }
    const std::string leftover = "/tmp/OSL_PIPE_" + uid + "_logora-999999-0123456789abcdef";
    ::close(listen(leftover));
    sawn::SawnWindow s;
    int count = 0;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_TRUE(exportBill(sawnBill(), s.form(), count));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
    EXPECT_FALSE(fs::exists(leftover));
    for (int fd : squatters) {
        ::close(fd);
    }
    for (int n = 1; n <= 4; ++n) {
        ::unlink(("/tmp/OSL_PIPE_" + uid + "_logora-" + std::to_string(::getpid()) + "-" +
                  std::to_string(n))
                     .c_str());
    }
}

TEST_F(Calc, AReadOnlyBillFolderIsSaidPlainlyAndKeepsTheOffice) {
    sawn::SawnWindow s;
    const fs::path workbook = bills->workbook(u"账单明细1.xls");
    int count = 0;
    ASSERT_TRUE(exportBill(sawnBill(), s.form(), count));
    const std::string folder = (dir / "bills").string();
    if (std::system(("chattr +i '" + folder + "' 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "no immutable folders here";
    }
    EXPECT_FALSE(exportBill(sawnBill(), s.form(), count));
    std::system(("chattr -i '" + folder + "'").c_str());
    ASSERT_EQ(prompts.failures.size(), 1u);
    const std::string message = text::toUtf8(prompts.failures[0]);
    EXPECT_EQ(message.rfind("账单 " + workbook.string() + " 无法保存：文件夹 " + folder +
                                " 不可写，这次没有导出。请让这个文件夹可写，再导出一次。",
                            0),
              0u)
        << message;
    EXPECT_EQ(officeChildren(), 1);
    EXPECT_TRUE(exportBill(sawnBill(), s.form(), count));
}

TEST_F(Calc, DamagedBillsAreSetAsideAndStartedAgainFromTheTemplate) {
    const fs::path templates = LOGORA_BILL_TEMPLATES;
    std::string bytes;
    {
        std::ifstream in(templates / "账单明细1.xls", std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    struct Case {
        const char* name;
        std::string content;
        bool agree;
    };
    const Case cases[] = {{"truncated", bytes.substr(0, 3000), true},
                          {"empty", "", false},
                          {"the grid's workbook", "", true}};
    list::ListWindow l;
    l.form().control(u"Text27").setText(u"县木材加工厂");
    l.tick();
    for (const Case& c : cases) {
        fs::remove_all(dir / "bills");
        fs::create_directories(dir / "bills");
        const fs::path workbook = dir / "bills" / "账单明细1.xls";
        if (std::string(c.name) == "the grid's workbook") {
            fs::copy_file(templates / "账单明细.xls", workbook);
        } else {
            std::ofstream(workbook, std::ios::binary) << c.content;
        }
        prompts = Prompts{};
        prompts.answer = c.agree;
        int count = 0;
        EXPECT_EQ(exportBill(listBill(), l.form(), count), c.agree) << c.name;
        ASSERT_EQ(prompts.questions.size(), 1u) << c.name;
        EXPECT_NE(prompts.questions[0].find(u"损坏"), std::u16string::npos) << c.name;
        int aside = 0;
        for (const auto& e : fs::directory_iterator(dir / "bills")) {
            aside += e.path().filename().string().rfind("账单明细1 损坏 ", 0) == 0;
        }
        EXPECT_EQ(aside, c.agree ? 1 : 0) << c.name;
        if (c.agree) {
            expectBill(readBack(workbook, dir)["原木二"], listBill(), l.form());
        } else {
            EXPECT_EQ(fs::file_size(workbook), c.content.size()); // kept as it was
            EXPECT_EQ(prompts.failures.size(), 1u);
        }
        EXPECT_FALSE(anyLock(dir / "bills"));
    }
}

TEST_F(Calc, ABillSavedButNotShownIsReportedWithItsPath) {
    const char* path = std::getenv("PATH");
    const std::string saved = path != nullptr ? path : "";
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    const fs::path workbook = bills->workbook(u"账单明细.xls");
    struct Case {
        const char* viewer; // null: no soffice on PATH
        bool fails;
    };
    for (const Case& c : {Case{nullptr, true}, Case{"exit 3", true}, Case{"exit 0", false}}) {
        if (c.viewer != nullptr) {
            std::ofstream(bin / "soffice") << "#!/bin/sh\n" << c.viewer << "\n";
            fs::permissions(bin / "soffice", fs::perms::owner_all);
        }
        ::setenv("PATH", bin.c_str(), 1);
        std::u16string message;
        try {
            office->showToUser(workbook);
        } catch (const ExportError& e) {
            message = e.message();
        }
        ::setenv("PATH", saved.c_str(), 1);
        EXPECT_EQ(!message.empty(), c.fails) << (c.viewer ? c.viewer : "none");
        if (c.fails) {
            EXPECT_EQ(message.rfind(u"账单已保存在 " + text::fromUtf8(workbook.string()), 0), 0u);
        }
    }
}

} // namespace

namespace {

// A numbered bill beside its caption, and the ledger's summary as a second office reads it:
// a row per bill with its figures as numbers, then the totals.
TEST_F(Calc, NumberedBillsAndTheirSummaryReadBack) {
    sawn::SawnWindow s;
    auto& sf = s.form();
    for (auto [name, value] : {std::pair{u"Text1", u"400"},
                               {u"Text2", u"20"},
                               {u"Text3", u"5"},
                               {u"Text4", u"10"},
                               {u"Text6", u"1200"}}) {
        sf.control(name, 0).setText(value);
    }
    sf.control(u"Text10").setText(u"青山林场");
    s.tick();
    ledger::SqliteLedger store(dir / "bills" / "ledger.sqlite");
    BillExporter exporter(*sheet, *bills, prompts);
    ledger::BillRecorder recorder(store, ui::Calculator::Sawn);
    exporter.numberFrom(recorder);
    int count = 0;
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(exporter.run(sawnBill(), sf, count));
        ASSERT_TRUE(recorder.record(exporter.exported(), sf, u"锯材账单", {}, {}).empty());
    }
    const std::string today = ui::localNow("%Y%m%d");
    auto bill = readBack(sheet->shown.back(), dir)["锯材账单"];
    EXPECT_EQ(at(bill, 2, 1), "单号");
    EXPECT_EQ(at(bill, 2, 2), today + "-002");
    expectBill(bill, sawnBill(), sf);

    ledger::LedgerView view(store);
    view.reload();
    ASSERT_TRUE(view.exportSummary(*sheet, *bills, prompts))
        << text::toUtf8(prompts.failures.at(0));
    auto summary = readBack(sheet->shown.back(), dir)["汇总"];
    EXPECT_EQ(at(summary, 1, 1), "账单汇总");
    EXPECT_EQ(at(summary, 3, 1), "单号");
    EXPECT_EQ(at(summary, 4, 1), today + "-002");
    EXPECT_EQ(at(summary, 5, 4), "青山林场");
    for (int row = 4; row <= 6; ++row) {
        const double each = row == 6 ? 2 : 1; // the totals row sums the two bills
        EXPECT_EQ(std::strtod(at(summary, row, 8).c_str(), nullptr), 10 * each) << row;
        EXPECT_EQ(std::strtod(at(summary, row, 9).c_str(), nullptr), 0.4 * each) << row;
        EXPECT_EQ(std::strtod(at(summary, row, 10).c_str(), nullptr), 480 * each) << row;
    }
    EXPECT_EQ(at(summary, 6, 1), "合计");
}

} // namespace
