// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/sqlite/SqliteLedger.hpp"
#include "ledger/BillRecorder.hpp"

#include "../../TempFolder.hpp"
#include "../../export/RecordingPrompts.hpp"
#include "../../export/RecordingSheet.hpp"
#include "export/BillExport.hpp"
#include "sawn/SawnWindow.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"
#include "ui/Folders.hpp"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace logora::ledger {
namespace {

namespace fs = std::filesystem;

class Sqlite : public ::testing::Test {
  protected:
    fs::path dir;
    fs::path file;
    void SetUp() override {
        dir = testing::makeTempFolder("logora-ledger");
        file = dir / "ledger.sqlite";
    }
    void TearDown() override { fs::remove_all(dir); }
};

BillRecord bill(std::string number, std::string time, long long volume) {
    BillRecord r;
    r.number = std::move(number);
    r.time = std::move(time);
    r.calculator = ui::Calculator::Sawn;
    r.sheet = u"锯材账单";
    // The separators and the escape of the headers' column, as a user might paste them.
    r.headers = {{u"购货单位", u"青山\\林场\x1f\x1e"}, {u"车号", u"辽A12345"}, {u"", u""}};
    r.totals = {10, volume, 48000};
    r.lines = {{u"400", {}, u"20", u"5", u"10", u"0.4000", u"1200", u"480.00"}};
    r.workbook = text::textPath(u"/档案/a.xls");
    r.pdf = text::textPath(u"/档案/a.pdf");
    return r;
}

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(Sqlite, RecordsReadBackWholeNewestFirstAndOnlyTheVoidMarkChanges) {
    SqliteLedger ledger(file);
    const std::string first = ledger.reserveNumber("20261209");
    const std::string second = ledger.reserveNumber("20261209");
    EXPECT_EQ(first, "20261209-001");
    EXPECT_EQ(second, "20261209-002");
    EXPECT_EQ(ledger.reserveNumber("20261210"), "20261210-001"); // past midnight
    ledger.release("20261210-001");
    EXPECT_EQ(ledger.reserveNumber("20261210"), "20261210-001"); // given back, given again

    const BillRecord a = bill(first, "2026-12-09 23:59:59", 4000);
    ledger.record(a);
    ledger.record(bill(second, "2026-12-09 23:59:59", 4800));
    EXPECT_EQ(ledger.reserveNumber("20261209"), "20261209-003");
    EXPECT_EQ(ledger.load(first), a);
    EXPECT_FALSE(ledger.load("20261209-099"));
    EXPECT_THROW(ledger.record(a), LedgerError); // a number is never recorded twice

    ledger.markVoid(first, u"录错了车号");
    const std::vector<BillRecord> listed = ledger.list();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].number, second);
    EXPECT_TRUE(listed[0].lines.empty()); // the list leaves the lines for load()
    EXPECT_TRUE(listed[1].voided);
    EXPECT_EQ(listed[1].voidReason, u"录错了车号");
    EXPECT_EQ(listed[1].totals, a.totals);
    EXPECT_THROW(ledger.markVoid("20261209-099", u"x"), LedgerError);
}

TEST_F(Sqlite, TwoProgramsRecordingAtOnceGetTwoNumbersEachTime) {
    constexpr int kEach = 40;
    std::vector<std::string> numbers[2];
    auto writer = [this](std::vector<std::string>& got) {
        SqliteLedger ledger(file);
        for (int i = 0; i < kEach; ++i) {
            const std::string n = ledger.reserveNumber("20261209");
            ledger.record(bill(n, "2026-12-09 10:00:00", i));
            got.push_back(n);
        }
    };
    std::thread one(writer, std::ref(numbers[0]));
    std::thread two(writer, std::ref(numbers[1]));
    one.join();
    two.join();
    std::set<std::string> all(numbers[0].begin(), numbers[0].end());
    all.insert(numbers[1].begin(), numbers[1].end());
    EXPECT_EQ(all.size(), 2u * kEach);
    EXPECT_EQ(SqliteLedger(file).list().size(), 2u * kEach);
}

TEST_F(Sqlite, AFirstVersionLedgerIsBroughtForwardWithItsRecords) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(text::toUtf8(text::pathText(file)).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, kSchemaVersion1, nullptr, nullptr, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "INSERT INTO bills VALUES ('20261101-001', '20261101', 1, "
                           "'2026-11-01 08:00:00', 0, '原木一', '车号\x1f辽B1\x1e', 3, 1130, "
                           "6215, 'a.xls', '')",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);

    SqliteLedger ledger(file);
    EXPECT_EQ(ledger.schemaVersion(), kSchemaVersion);
    const auto r = ledger.load("20261101-001");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->header(u"车号"), u"辽B1");
    EXPECT_EQ(r->totals, (Figures{3, 1130, 6215}));
    EXPECT_FALSE(r->voided);
    EXPECT_EQ(ledger.reserveNumber("20261101"), "20261101-002");
    EXPECT_FALSE(ledger.takeNotice());
}

TEST_F(Sqlite, AFileThatIsNoLedgerOfOursIsKeptAsideAndANewOneStarted) {
    const std::tuple<const char*, std::string, const char16_t*> cases[] = {
        {"not SQLite", std::string("这不是数据库") + std::string(5000, 'x'), u"已经损坏"},
        {"damaged", std::string("SQLite format 3\0", 16) + std::string(5000, '\xff'), u"已经损坏"},
        {"newer", {}, u"更新版本"},
    };
    for (const auto& [what, bytes, said] : cases) {
        fs::remove_all(dir);
        fs::create_directories(dir);
        if (bytes.empty()) {
            SqliteLedger(file).reserveNumber("20261209");
            sqlite3* db = nullptr;
            sqlite3_open(text::toUtf8(text::pathText(file)).c_str(), &db);
            sqlite3_exec(db, "PRAGMA user_version = 99", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        } else {
            std::ofstream(file, std::ios::binary) << bytes;
        }
        const std::string before = slurp(file);
        SqliteLedger ledger(file);
        EXPECT_EQ(ledger.reserveNumber("20261209"), "20261209-001") << what;
        const auto notice = ledger.takeNotice();
        ASSERT_TRUE(notice) << what;
        EXPECT_NE(notice->find(said), std::u16string::npos) << what;
        EXPECT_FALSE(ledger.takeNotice()) << what; // said once
        int aside = 0;
        for (const auto& e : fs::directory_iterator(dir)) {
            const std::u16string name = text::pathText(e.path().filename());
            if (name.starts_with(u"ledger 损坏 ") && name.ends_with(u".sqlite")) {
                ++aside;
                EXPECT_EQ(slurp(e.path()), before) << what;
                EXPECT_NE(notice->find(name), std::u16string::npos) << what;
            }
        }
        EXPECT_EQ(aside, 1) << what;
    }
}

TEST_F(Sqlite, AFolderThatCannotHoldTheLedgerFailsEveryCallPlainly) {
    std::ofstream(dir / "blocked") << "a file where the folder would be";
    SqliteLedger ledger(dir / "blocked" / "ledger.sqlite");
    try {
        ledger.reserveNumber("20261209");
        ADD_FAILURE() << "no error";
    } catch (const LedgerError& e) {
        EXPECT_EQ(e.message().find(u"账单记录 "), 0u);
    }
    EXPECT_THROW(ledger.list(), LedgerError);
}

#ifndef _WIN32
TEST_F(Sqlite, AKillDuringAWriteLosesNoCommittedRecord) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeFds[0]);
        SqliteLedger ledger(file);
        for (int i = 0;; ++i) {
            const std::string n = ledger.reserveNumber("20261209");
            ledger.record(bill(n, "2026-12-09 10:00:00", i));
            const std::string line = n + "\n";
            if (write(pipeFds[1], line.data(), line.size()) < 0) {
                _exit(1);
            }
        }
    }
    close(pipeFds[1]);
    std::set<std::string> committed;
    std::string pending;
    char buffer[256];
    while (committed.size() < 30) {
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        ASSERT_GT(got, 0);
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n') {
                committed.insert(pending);
                pending.clear();
            } else {
                pending.push_back(buffer[i]);
            }
        }
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(pipeFds[0]);

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(text::toUtf8(text::pathText(file)).c_str(), &db), SQLITE_OK);
    sqlite3_stmt* check = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &check, nullptr);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    sqlite3_close(db);
    std::set<std::string> kept;
    for (const BillRecord& r : SqliteLedger(file).list()) {
        kept.insert(r.number);
    }
    for (const std::string& n : committed) {
        EXPECT_TRUE(kept.count(n)) << n;
    }
}
#endif

// The database answers the window's questions as the records themselves do: counts, totals,
// groups and pages under every kind of filter, void bills in the list and out of the totals,
// a caption's own words never found as a text.
TEST_F(Sqlite, QueriesAnswerAsTheRecordsDo) {
    SqliteLedger ledger(file);
    std::mt19937 random(7);
    const char16_t* buyers[] = {u"青山林场", u"东港木业", u"", u"青山'; --"};
    const char16_t* sheets[] = {u"原木一", u"原木二", u"锯材账单"};
    for (int i = 0; i < 300; ++i) {
        const int day = 1 + static_cast<int>(random() % 60);
        char date[16], time[24];
        std::snprintf(date, sizeof date, "2026%02d%02d", 10 + day / 31, 1 + day % 31 % 28);
        std::snprintf(time, sizeof time, "%.4s-%.2s-%.2s %02d:00:00", date, date + 4, date + 6,
                      static_cast<int>(random() % 24));
        BillRecord r =
            bill(ledger.reserveNumber(date), time, static_cast<long long>(random() % 9000));
        r.sheet = sheets[random() % 3];
        r.headers = {{u"购货单位", buyers[random() % 4]}, {u"车号", u"辽A" + text::intText(i)}};
        ledger.record(r);
        if (random() % 10 == 0) {
            ledger.markVoid(r.number, u"录错");
        }
    }
    const std::vector<BillRecord> all = ledger.list();
    const Filter filters[] = {{},
                              {"2026-10-05", "2026-11-10", {}, {}},
                              {{}, "2026-10-31", {}, u"原木二"},
                              {{}, {}, u"青山", {}},
                              {{}, {}, u"车号", {}},
                              {{}, {}, u"-00", u"锯材账单"},
                              {"2026-11-01", {}, u"'; --", {}}};
    for (const Filter& f : filters) {
        const std::vector<const BillRecord*> listed = filtered(all, f);
        const std::string where = f.from + ".." + f.to + " " + text::toUtf8(f.text + f.sheet);
        EXPECT_EQ(ledger.listing(f).bills, static_cast<long long>(listed.size())) << where;
        EXPECT_EQ(ledger.listing(f).totals, totalsOf(listed)) << where;
        for (const auto& [by, caption] : {std::pair{Grouping::Day, u""},
                                          {Grouping::Month, u""},
                                          {Grouping::Caption, u"购货单位"}}) {
            const std::vector<Group> want = grouped(listed, by, caption);
            const std::vector<Group> got = ledger.groups(f, by, caption);
            ASSERT_EQ(got.size(), want.size()) << where;
            for (std::size_t g = 0; g < got.size(); ++g) {
                EXPECT_EQ(got[g].key, want[g].key) << where;
                EXPECT_EQ(got[g].totals, want[g].totals) << where;
            }
        }
        const std::vector<BillRecord> page = ledger.page(f, 5, 20);
        for (std::size_t k = 0; k < page.size(); ++k) {
            EXPECT_EQ(page[k].number, listed[k + 5]->number) << where;
        }
        EXPECT_EQ(page.size(),
                  std::min<std::size_t>(20, listed.size() > 5 ? listed.size() - 5 : 0));
    }
}

// The export with a real ledger: the number in the bill and its archive names, the record
// with its copies, a failed export's number given back, a ledger that cannot record.
TEST_F(Sqlite, AnExportIsNumberedRecordedAndNeverFailedByTheLedger) {
    const exporting::BillFolder bills(dir / "user", dir / "templates");
    testing::RecordingSheet sheet;
    testing::RecordingPrompts prompts;
    sawn::SawnWindow sawn;
    sawn.form().control(u"Text4", 0).setText(u"10");
    sawn.form().control(u"Text5", 0).setText(u"0.4000");
    sawn.form().control(u"Text8").setText(u"0.4000");
    sawn.form().control(u"Text9").setText(u"480.00");
    SqliteLedger ledger(bills.folder() / "ledger.sqlite");
    exporting::BillExporter exporter(sheet, bills, prompts);
    BillRecorder recorder(ledger, ui::Calculator::Sawn);
    exporter.numberFrom(recorder);
    const std::string today = ui::localNow("%Y%m%d");
    int count = 0;

    // An export that fails (here: no blank bill to fill) holds no number.
    EXPECT_FALSE(exporter.run(exporting::sawnBill(), sawn.form(), count));
    prompts.failures.clear();
    fs::create_directories(dir / "templates");
    std::ofstream(dir / "templates" / text::utf8Path("账单明细1.xls")) << "template";
    ASSERT_TRUE(exporter.run(exporting::sawnBill(), sawn.form(), count));
    EXPECT_TRUE(recorder.record(exporter.exported(), sawn.form(), u"锯材账单", {}, {}).empty());
    const auto [row, column, value] = sheet.cells.back();
    EXPECT_EQ(std::pair(row, column), std::pair(2, 2));
    EXPECT_EQ(value.text, text::fromUtf8(today + "-001"));
    const auto r = ledger.load(today + "-001");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->totals, (Figures{10, 4000, 48000}));
    EXPECT_EQ(r->lines.size(), 1u);
    EXPECT_NE(text::pathText(r->workbook).find(text::fromUtf8(today + "-001 锯材账单")),
              std::u16string::npos);
    EXPECT_TRUE(fs::exists(r->workbook));
    EXPECT_TRUE(fs::exists(r->pdf));
    EXPECT_TRUE(prompts.failures.empty());

    // A ledger that cannot be written: the bill still goes out, and the user is told.
    fs::create_directories(dir / "blocked");
    std::ofstream(dir / "blocked" / "in the way") << "x";
    SqliteLedger blocked(dir / "blocked" / "in the way" / "ledger.sqlite");
    BillRecorder blockedRecorder(blocked, ui::Calculator::Sawn);
    exporter.numberFrom(blockedRecorder);
    EXPECT_TRUE(exporter.run(exporting::sawnBill(), sawn.form(), count));
    EXPECT_TRUE(prompts.failures.empty());
    const std::vector<std::u16string> said =
        blockedRecorder.record(exporter.exported(), sawn.form(), u"锯材账单", {}, {});
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].find(u"账单已经导出，但账单记录没有记下它"), 0u);
}

} // namespace
} // namespace logora::ledger

namespace logora::ledger {
namespace {

prices::PriceList larch(double price) {
    prices::PriceList l;
    l.species = u"落叶松";
    l.party = u"东港木业";
    l.bands = {{6, 18}, {20, 1e9}};
    l.lengths = {{4, 4}, {6, 6}};
    l.cells = {{price}, {price + 50}, {}, {60, prices::PriceUnit::PerPiece}};
    l.fees = {{u"码费", 20, prices::FeeUnit::PerCubicMetre}};
    return l;
}

// Lists go where the ledger goes; a change keeps the version before it, and a recorded bill
// keeps the prices it was exported with.
TEST_F(Sqlite, PriceListsKeepEveryVersionAndBillsTheirOwnPrices) {
    prices::PriceList birch = larch(700);
    birch.species = u"白桦";
    birch.party.clear();
    {
        SqliteLedger desk(file);
        desk.savePriceLists({larch(800), birch}, "2026-12-01 08:00:00");
        BillRecord r = bill(desk.reserveNumber("20261202"), "2026-12-02 09:00:00", 4000);
        r.priceList = u"落叶松 · 东港木业";
        r.classes = {{u"径级6-18 长4米", u"10", u"0.4000", u"800", u"320.00"},
                     {u"码费", {}, {}, {}, u"8.00"}};
        desk.record(r);
        desk.savePriceLists({larch(800), birch}, "2026-12-02 10:00:00"); // nothing changed
        desk.savePriceLists({larch(900)}, "2026-12-03 08:00:00");
    }
    SqliteLedger other(file); // another program, later
    EXPECT_EQ(other.priceLists(), (std::vector<prices::PriceList>{larch(900)}));
    const auto history = other.priceListHistory();
    ASSERT_EQ(history.size(), 3u);
    const std::pair<std::string, std::string> spans[] = {
        {"2026-12-01 08:00:00", "2026-12-03 08:00:00"},
        {"2026-12-01 08:00:00", "2026-12-03 08:00:00"},
        {"2026-12-03 08:00:00", ""}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(std::pair(history[i].since, history[i].until), spans[i]) << i;
    }
    EXPECT_EQ(history[0].list, larch(800));
    const auto r = other.load("20261202-001");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->priceList, u"落叶松 · 东港木业");
    EXPECT_EQ(r->classes.at(0).price, u"800");
    EXPECT_EQ(r->classes.at(1).amount, u"8.00");
}

} // namespace
} // namespace logora::ledger
