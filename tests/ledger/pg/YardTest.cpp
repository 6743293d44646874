// SPDX-License-Identifier: GPL-3.0-or-later
// Desks of a yard against a real PostgreSQL server of the test's own.
#include "ledger/pg/DeskLedger.hpp"
#include "ledger/pg/PgPass.hpp"

#include "PgServer.hpp"
#include "WindowThread.hpp"
#include "text/NumberText.hpp"
#include "ui/Folders.hpp"

#include <gtest/gtest.h>

#include <libpq-fe.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

namespace logora::ledger {
namespace {

namespace fs = std::filesystem;

class Yard : public ::testing::Test {
  protected:
    static inline testing::PgServer* server = nullptr;
    fs::path dir;

    static void SetUpTestSuite() {
        unsetenv("LOGORA_LEDGER_URL");
        unsetenv("LOGORA_STATION");
        server = new testing::PgServer;
        // The yard as the manual sets it up: the desks' role, a login per desk, a database
        // owned by the administrator with the schema from the shipped file.
        ASSERT_EQ(server->sql("CREATE ROLE logora_desks NOLOGIN"), "");
        for (const char* desk : {"desk_a", "desk_b"}) {
            ASSERT_EQ(server->sql(std::string("CREATE ROLE ") + desk +
                                  " LOGIN PASSWORD 'pw' IN ROLE logora_desks"),
                      "");
        }
        ASSERT_EQ(server->sql("CREATE DATABASE yard"), "");
        const std::string psql = "PGPASSWORD=" + std::string(testing::PgServer::kAdminPassword) +
                                 " psql -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p " +
                                 std::to_string(server->port()) + " -U admin -d yard -f " +
                                 LOGORA_SOURCE_DIR "/sql/logora-yard.sql >/dev/null";
        ASSERT_EQ(std::system(psql.c_str()), 0);
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        dir = testing::makeTempFolder("logora-yard");
        setenv("PGPASSFILE", (dir / "pgpass").c_str(), 1);
        server->start();
    }
    void TearDown() override {
        unsetenv("LOGORA_LEDGER_URL");
        unsetenv("LOGORA_STATION");
        fs::remove_all(dir);
    }

    ReadSettings settings(const std::string& user, const std::string& station,
                          const std::string& database = "yard") {
        YardSettings typed{u"127.0.0.1", text::intText(server->port()), text::fromUtf8(database),
                           text::fromUtf8(user), text::fromUtf8(station)};
        return readSettings(typed);
    }
    // A desk of its own folder, joined to the yard as station.
    std::unique_ptr<DeskLedger> desk(const std::string& folder, const std::string& user,
                                     const std::string& station) {
        auto d = std::make_unique<DeskLedger>(dir / folder / "ledger.sqlite");
        EXPECT_EQ(text::toUtf8(d->join(settings(user, station), u"pw")), "");
        return d;
    }
    long long yardCount(const std::string& where = "true") {
        return std::stoll(server->value("SELECT count(*) FROM bills WHERE " + where, "yard"));
    }
};

BillRecord bill(LedgerStore& store, std::u16string buyer, long long volume,
                const std::string& day = "20261210") {
    BillRecord r;
    r.number = store.reserveNumber(day);
    r.time = "2026-12-10 09:00:00";
    r.calculator = ui::Calculator::Sawn;
    r.sheet = u"锯材账单";
    r.headers = {{u"购货单位", std::move(buyer)}, {u"车号", u"辽A12345"}};
    r.totals = {10, volume, 48000};
    r.lines = {{u"400", {}, u"20", u"5", u"10", u"0.4000", u"1200", u"480.00"}};
    r.classes = {{u"平均单价", {}, {}, u"1200", u"480.00"}};
    r.workbook = "/bills/a.xls";
    store.record(r);
    return r;
}

TEST_F(Yard, TwoDesksShareOneLedgerWithNumbersThatNeverClash) {
    auto a = desk("a", "desk_a", "A");
    auto b = desk("b", "desk_b", "b");
    // A quote, a semicolon and SQL in a caption's text are kept as typed.
    const std::u16string odd = u"青山'林场\"; DROP TABLE bills; --";
    const BillRecord first = bill(a->ledger(), odd, 4000);
    bill(b->ledger(), u"东港木业", 4100);
    bill(a->ledger(), u"东港木业", 4200);
    EXPECT_EQ(first.number, "20261210-A-001");
    for (DeskLedger* d : {a.get(), b.get()}) {
        const std::vector<BillRecord> all = d->ledger().list();
        std::set<std::string> numbers;
        for (const BillRecord& r : all) {
            numbers.insert(r.number);
        }
        EXPECT_EQ(numbers,
                  (std::set<std::string>{"20261210-A-001", "20261210-A-002", "20261210-B-001"}));
        EXPECT_EQ(d->ledger().stateLine(), u"");
    }
    const std::optional<BillRecord> read = b->ledger().load(first.number);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->header(u"购货单位"), odd);
    EXPECT_EQ(read->lines, first.lines);
    EXPECT_EQ(read->classes, first.classes);
    // The password went where libpq keeps it, for its owner only, never into the ledger.
    EXPECT_EQ(fs::status(pgpassFile()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // A station is one desk's.
    DeskLedger other(dir / "c" / "ledger.sqlite");
    EXPECT_NE(other.join(settings("desk_b", "A"), u"pw").find(u"站号 A 已经是这个场另一台电脑的了"),
              std::u16string::npos);
}

// The server stopped before an export, killed during them, started again: every bill is
// exported and numbered at once, and in the yard exactly once when it answers.
TEST_F(Yard, TheServerAwayNeverStopsAnExportAndEveryBillArrivesOnce) {
    auto d = desk("f", "desk_a", "F");
    server->stop();
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 3; ++i) {
        bill(d->ledger(), u"青山林场", 4000 + i);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(2));
    EXPECT_EQ(d->ledger().list().size(), 3u);
    EXPECT_EQ(d->ledger().stateLine(), unreachableLine(3));
    server->start();
    const std::size_t listed = d->ledger().list().size();
    EXPECT_EQ(listed, yardCount());
    EXPECT_EQ(yardCount("station = 'F'"), 3);

    std::thread killer([&] {
        while (yardCount("station = 'F'") < 8) {
            std::this_thread::yield();
        }
        server->kill();
    });
    for (int i = 0; i < 20; ++i) {
        bill(d->ledger(), u"青山林场", 5000 + i);
    }
    killer.join();
    server->start();
    d->sendWaiting();
    EXPECT_EQ(yardCount("station = 'F'"), 23);
    EXPECT_EQ(d->desk().waitingCount(), 0);
}

// A desk killed between writing its record and sending it sends it at its next start; two
// desks exporting at once lose nothing and give no number twice.
TEST_F(Yard, ADeskKilledBeforeSendingAndTwoDesksAtOnceLoseNothing) {
    auto g = desk("g", "desk_a", "G");
    g.reset();
    {
        SqliteLedger killed(dir / "g" / "ledger.sqlite");
        killed.joinYard(true);
        killed.numberAs("G");
        bill(killed, u"青山林场", 4000); // recorded, never sent
    }
    DeskLedger again(dir / "g" / "ledger.sqlite");
    again.ledger().list();
    EXPECT_EQ(yardCount("station = 'G'"), 1);

    // Two programs, each with its own folder and station, exporting at the same moment.
    desk("h", "desk_a", "H").reset();
    desk("k", "desk_b", "K").reset();
    std::vector<pid_t> programs;
    for (const char* folder : {"h", "k"}) {
        const pid_t pid = fork();
        if (pid == 0) {
            DeskLedger d(dir / folder / "ledger.sqlite");
            for (int i = 0; i < 15; ++i) {
                bill(d.ledger(), u"东港木业", 4000 + i);
            }
            _exit(d.desk().waitingCount() == 0 ? 0 : 1);
        }
        programs.push_back(pid);
    }
    for (const pid_t pid : programs) {
        int status = -1;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(yardCount("station IN ('H', 'K')"), 30);
    EXPECT_EQ(server->value("SELECT count(DISTINCT number) FROM bills WHERE station IN ('H', 'K')",
                            "yard"),
              "30");
}

// What is wrong is said plainly, and the desk goes on with its own ledger.
TEST_F(Yard, AYardThatCannotBeJoinedIsSaidPlainlyAndTheDeskGoesOn) {
    ASSERT_EQ(server->sql("CREATE DATABASE other"), "");
    ASSERT_EQ(server->sql("CREATE TABLE trucks(plate text)", "other"), "");
    ASSERT_EQ(server->sql("CREATE DATABASE newer"), "");
    ASSERT_EQ(server->sql("CREATE TABLE logora_schema(version integer, yard text);"
                          "INSERT INTO logora_schema VALUES (99, 'x');"
                          "GRANT SELECT ON logora_schema TO logora_desks",
                          "newer"),
              "");
    int closed = 0;
    {
        testing::PgServer probe; // a port with no server once it is gone
        closed = probe.port();
    }
    const struct {
        ReadSettings settings;
        std::u16string password;
        std::u16string said;
    } cases[] = {
        {settings("desk_a", "P"), u"wrong", u"用户名或密码不对"},
        {settings("desk_a", "P", "nothing"), u"pw", u"上没有数据库 nothing"},
        {settings("desk_a", "P", "other"), u"pw", u"不是 Logora 的共享账本"},
        {settings("desk_a", "P", "newer"), u"pw", u"更新版本的 Logora"},
        {readSettings({u"127.0.0.1", text::intText(closed), u"yard", u"desk_a", u"P"}), u"pw",
         u"连不上共享账本的服务器 127.0.0.1:" + text::intText(closed)},
    };
    for (const auto& c : cases) {
        DeskLedger d(dir / "p" / "ledger.sqlite");
        const std::u16string said = d.join(c.settings, c.password);
        EXPECT_NE(said.find(c.said), std::u16string::npos) << text::toUtf8(said);
        EXPECT_FALSE(d.inYard());
        EXPECT_EQ(bill(d.ledger(), u"青山林场", 4000).number.size(), 12u); // 20261210-NNN
    }
}

// The desks' role may add bills and set the void mark once; nobody changes or deletes one.
TEST_F(Yard, TheDatabaseRefusesToChangeOrDeleteARecordedBill) {
    auto d = desk("r", "desk_a", "R");
    const std::string n = bill(d->ledger(), u"青山林场", 4000).number;
    const std::string asDesk = server->conninfo("yard", "desk_a", "pw");
    const std::string where = " WHERE number = '" + n + "'";
    for (const std::string& change :
         {"UPDATE bills SET pieces = 1" + where, "DELETE FROM bills" + where,
          std::string("TRUNCATE bills"), std::string("DELETE FROM stations"),
          std::string("UPDATE logora_schema SET version = 2")}) {
        EXPECT_NE(testing::PgServer::sqlAs(asDesk, change), "") << change;
        EXPECT_NE(server->sql(change, "yard"), "") << change; // the owner too, by the trigger
    }
    d->ledger().markVoid(n, u"车号录错了");
    EXPECT_EQ(server->value("SELECT void_reason FROM bills" + where, "yard"), "车号录错了");
    EXPECT_NE(server->sql("UPDATE bills SET voided = false" + where, "yard"), "");
    EXPECT_EQ(yardCount("number = '" + n + "' AND pieces = 10"), 1);
}

// The yard's database answers the window's questions as the records themselves do.
TEST_F(Yard, QueriesAnswerAsTheRecordsDo) {
    ASSERT_EQ(server->sql("CREATE DATABASE queries OWNER desk_a"), "");
    DeskLedger d(dir / "q" / "ledger.sqlite");
    ASSERT_EQ(text::toUtf8(d.join(settings("desk_a", "Q", "queries"), u"pw")), "");
    const char16_t* buyers[] = {u"青山林场", u"东港木业", u"", u"青山'; --"};
    for (int i = 0; i < 60; ++i) {
        BillRecord r;
        r.number = d.reserveNumber(i < 30 ? "20261130" : "20261201");
        r.time = (i < 30 ? "2026-11-30 " : "2026-12-01 ") + std::to_string(10 + i % 10) + ":00:00";
        r.sheet = i % 3 == 0 ? u"锯材账单" : u"原木一";
        r.headers = {{u"购货单位", buyers[i % 4]}, {u"车号", u"辽A" + text::intText(i)}};
        r.totals = {i, 100 * i, 1000 * i};
        d.record(r);
        if (i % 7 == 0) {
            d.markVoid(r.number, u"录错");
        }
    }
    d.beginReading();
    ASSERT_EQ(d.stateLine(), u"");
    const std::vector<BillRecord> all = d.list();
    for (const Filter& f : {Filter{}, Filter{"2026-12-01", "2026-12-31", {}, {}},
                            Filter{{}, "2026-11-30", u"青山", u"原木一"},
                            Filter{{}, {}, u"车号", {}}, Filter{{}, {}, u"'; --", {}}}) {
        const std::vector<const BillRecord*> listed = filtered(all, f);
        EXPECT_EQ(d.listing(f).bills, static_cast<long long>(listed.size()));
        EXPECT_EQ(d.listing(f).totals, totalsOf(listed));
        for (const auto& [by, caption] : {std::pair{Grouping::Day, u""},
                                          {Grouping::Month, u""},
                                          {Grouping::Caption, u"购货单位"}}) {
            const std::vector<Group> want = grouped(listed, by, caption);
            const std::vector<Group> got = d.groups(f, by, caption);
            ASSERT_EQ(got.size(), want.size());
            for (std::size_t g = 0; g < got.size(); ++g) {
                EXPECT_EQ(got[g].key, want[g].key);
                EXPECT_EQ(got[g].totals, want[g].totals);
            }
        }
        const std::vector<BillRecord> page = d.page(f, 2, 10);
        for (std::size_t k = 0; k < page.size(); ++k) {
            EXPECT_EQ(page[k].number, listed[k + 2]->number);
        }
    }
}

// A server that takes the connection and never answers, a refused port, every table held by
// an administrator's lock: the window exports, reads and prices at once, and every bill is
// in the yard once when the server is back.
TEST_F(Yard, AHungRefusedOrLockedServerNeverStopsTheWindow) {
    enum Fault { Silent, Refused, Locked };
    for (const Fault fault : {Silent, Refused, Locked}) {
        const std::string station = std::string(1, "SRL"[fault]) + "W";
        setenv("LOGORA_LEDGER_URL", server->conninfo("yard", "desk_a", "pw").c_str(), 1);
        setenv("LOGORA_STATION", station.c_str(), 1);
        PGconn* holder = nullptr;
        if (fault == Silent) {
            server->pause();
        } else if (fault == Refused) {
            server->stop();
        } else {
            holder = PQconnectdb(server->admin("yard").c_str());
            PQclear(PQexec(holder, "BEGIN; LOCK TABLE logora_schema, stations, bills, "
                                   "price_lists IN ACCESS EXCLUSIVE MODE"));
        }
        testing::Window window;
        DeskLedger d(dir / station / "ledger.sqlite");
        d.useWorker(window.post());
        auto longest = std::chrono::steady_clock::duration::zero();
        auto timed = [&](auto&& call) {
            const auto t0 = std::chrono::steady_clock::now();
            call();
            longest = std::max(longest, std::chrono::steady_clock::now() - t0);
            window.pump();
        };
        timed([&] { d.lists().priceLists(); });
        for (int i = 0; i < 3; ++i) {
            timed([&] { bill(d.ledger(), u"青山林场", 4000 + i); });
        }
        timed([&] {
            d.beginReading();
            EXPECT_EQ(d.stateLine(), kReadingYard);
            EXPECT_EQ(d.listing({}).bills, 3);
        });
        timed([&] { d.sendWaiting(); });
        EXPECT_LT(longest, std::chrono::milliseconds(200)) << station;
        ASSERT_TRUE(window.settle(d));
        EXPECT_EQ(d.stateLine(), unreachableLine(3)) << station;

        if (fault == Silent) {
            server->resume();
        } else if (fault == Refused) {
            server->start();
        } else {
            PQfinish(holder); // the lock goes with its session
        }
        d.sendWaiting();
        ASSERT_TRUE(window.settle(d));
        EXPECT_EQ(yardCount("split_part(station, '.', 1) = '" + station + "'"), 3) << station;
        EXPECT_EQ(d.desk().waitingCount(), 0) << station;
    }
}

// The ledger window shows the desk's own bills at once and the yard's when the worker has
// them, and saying so while it waits.
TEST_F(Yard, TheLedgerWindowShowsTheYardsBillsWhenTheWorkerHasThem) {
    auto a = desk("wa", "desk_a", "WA");
    bill(a->ledger(), u"青山林场", 4000);
    bill(a->ledger(), u"东港木业", 4100);
    testing::Window window;
    DeskLedger d(dir / "wb" / "ledger.sqlite");
    d.useWorker(window.post());
    ASSERT_EQ(text::toUtf8(d.join(settings("desk_b", "WB"), u"pw")), "");
    ASSERT_TRUE(window.settle(d));
    const Filter ofA{{}, {}, u"-WA-", {}};
    int answered = 0;
    d.answered = [&] { ++answered; };
    d.beginReading();
    EXPECT_EQ(d.stateLine(), kReadingYard);
    EXPECT_EQ(d.listing(ofA).bills, 0);
    ASSERT_TRUE(window.settle(d));
    EXPECT_EQ(d.stateLine(), u"");
    d.listing(ofA);
    EXPECT_THROW(d.page(ofA, 0, 200), LedgerError); // never a page of the desk's among the yard's
    ASSERT_TRUE(window.settle(d));
    EXPECT_EQ(d.listing(ofA).bills, 2);
    EXPECT_EQ(d.page(ofA, 0, 200).size(), 2u);
    EXPECT_GE(answered, 2);
}

// 测试连接 and 加入 against a server that never answers: the window says so at once, a
// second click waits for the first, and the answer comes from the worker.
TEST_F(Yard, TheJoinWindowConnectsOnTheWorker) {
    testing::Window window;
    DeskLedger d(dir / "j" / "ledger.sqlite");
    d.useWorker(window.post());
    YardWindow w(d);
    int said = 0;
    w.onSaid = [&] { ++said; };
    const std::u16string port = text::intText(server->port());
    for (const auto& [name, text] : {std::pair{u"Text1", u"127.0.0.1"},
                                     {u"Text2", port.c_str()},
                                     {u"Text3", u"yard"},
                                     {u"Text4", u"desk_a"},
                                     {u"Text5", u"pw"},
                                     {u"Text6", u"J"}}) {
        w.form().control(name).setText(text);
    }
    server->pause();
    const auto t0 = std::chrono::steady_clock::now();
    w.join();
    w.test();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(200));
    EXPECT_EQ(w.form().control(u"Label8").text(), kConnecting);
    ASSERT_TRUE(window.settle(d));
    server->resume();
    EXPECT_EQ(said, 1);
    EXPECT_NE(w.form().control(u"Label8").text().find(u"连不上共享账本的服务器"),
              std::u16string::npos);
    EXPECT_FALSE(d.inYard());
    w.join();
    ASSERT_TRUE(window.settle(d));
    EXPECT_TRUE(d.inYard());
}

// A machine replaced by a new one of the same station by the environment, and a desk whose
// ledger.sqlite was lost: the first bill carries a number the yard does not hold, and after
// "接替站号" the desk numbers after the yard's last; the old desk is refused the station.
TEST_F(Yard, AReplacedMachineTakesOverItsStationAndNumbersAfterTheYardsLast) {
    const std::string today = ui::localNow("%Y%m%d");
    for (const bool lost : {false, true}) {
        const std::string station = lost ? "RB" : "RA";
        const fs::path old = dir / (station + "-old");
        auto before = desk(station + "-old", "desk_a", station);
        bill(before->ledger(), u"青山林场", 4000, today);
        const std::string last = bill(before->ledger(), u"青山林场", 4000, today).number;
        if (lost) {
            before.reset();
            fs::remove_all(old);
        }
        setenv("LOGORA_LEDGER_URL", server->conninfo("yard", "desk_a", "pw").c_str(), 1);
        setenv("LOGORA_STATION", station.c_str(), 1);
        DeskLedger fresh(lost ? old / "ledger.sqlite" : dir / (station + "-new") / "ledger.sqlite");
        const std::string first = bill(fresh.ledger(), u"东港木业", 4100, today).number;
        EXPECT_EQ(first.find(today + "-" + station + "."), 0u) << first;
        EXPECT_EQ(yardCount("number = '" + first + "'"), 1);
        EXPECT_NE(fresh.ledger().stateLine().find(u"接替站号"), std::u16string::npos);

        std::u16string question;
        fresh.holderLater({}, {}, [&](std::u16string q, std::u16string problem) {
            EXPECT_EQ(problem, u"");
            question = std::move(q);
        });
        EXPECT_NE(question.find(text::fromUtf8("最后一张账单是 " + last)), std::u16string::npos)
            << text::toUtf8(question);
        fresh.takeOverLater({}, {}, [](std::u16string problem) { EXPECT_EQ(problem, u""); });
        const std::string next = bill(fresh.ledger(), u"东港木业", 4200, today).number;
        EXPECT_EQ(next, billNumber(today, 3, station));
        EXPECT_EQ(yardCount("number = '" + next + "'"), 1);
        EXPECT_EQ(std::stoll(server->value("SELECT count(*) FROM station_handovers WHERE code = '" +
                                               station + "' AND last_bill = '" + last + "'",
                                           "yard")),
                  1);
        unsetenv("LOGORA_LEDGER_URL");
        unsetenv("LOGORA_STATION");
        if (!lost) {
            before->sendWaiting();
            EXPECT_NE(before->status().find(u"接替了"), std::u16string::npos)
                << text::toUtf8(before->status());
            EXPECT_EQ(bill(before->ledger(), u"青山林场", 4300, today).number.find(station + "."),
                      9u);
        }
    }
}

// A bill whose number the yard holds with other figures is kept as a conflict, once however
// often it is sent, and said at the desk.
TEST_F(Yard, ADifferentBillUnderAKnownNumberIsKeptAsAConflict) {
    auto d = desk("cf", "desk_a", "CF");
    const std::string number = "20261210-CF-001";
    ASSERT_EQ(server->sql("INSERT INTO bills(number, day, station, seq, time, calculator, sheet, "
                          "headers, pieces, volume, amount, lines, classes, workbook, pdf, "
                          "price_list) VALUES ('" +
                              number +
                              "', '20261210', 'CF', 1, '2026-12-10 08:00:00', 2, "
                              "'锯材账单', '', 99, 1, 1, '', '', '', '', '')",
                          "yard"),
              "");
    EXPECT_EQ(bill(d->ledger(), u"青山林场", 4000).number, number);
    bill(d->ledger(), u"青山林场", 4100);
    d->desk().copyInto("again"); // every bill waits once more, as after a lost reply
    d->sendWaiting();
    EXPECT_EQ(std::stoll(server->value("SELECT count(*) FROM bill_conflicts", "yard")), 1);
    EXPECT_EQ(yardCount("station = 'CF'"), 2);
    EXPECT_NE(d->ledger().stateLine().find(text::fromUtf8(number)), std::u16string::npos);
}

// Where each desk has a login of its own, the database refuses a bill or a hand-over of a
// station taken under another's; the station's own login may.
TEST_F(Yard, ADesksLoginCannotRecordOrTakeAnotherDesksStation) {
    desk("rl", "desk_a", "RL").reset();
    const std::string a = server->conninfo("yard", "desk_a", "pw");
    const std::string b = server->conninfo("yard", "desk_b", "pw");
    auto billOf = [](const std::string& n, const std::string& station) {
        return "INSERT INTO bills(number, day, station, seq, time, calculator, sheet, headers, "
               "pieces, volume, amount, lines, classes, workbook, pdf, price_list) VALUES ('" +
               n + "', '20261210', '" + station +
               "', 9, 't', 0, '', '', 0, 0, 0, '', '', '', '', '')";
    };
    const std::string handOver =
        "BEGIN; INSERT INTO station_handovers(code, from_desk, to_desk) SELECT code, desk, 'x' "
        "FROM stations WHERE code = 'RL'; UPDATE stations SET desk = 'x' WHERE code = 'RL'; "
        "COMMIT";
    const struct {
        const std::string& login;
        std::string statement;
        bool refused;
    } cases[] = {
        {b, billOf("20261210-RL-901", "RL"), true},
        {b, billOf("20261210-RL.0000ABCD-901", "RL.0000ABCD"), true},
        {b, handOver, true},
        {a, billOf("20261210-RL-902", "RL"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(!testing::PgServer::sqlAs(c.login, c.statement).empty(), c.refused)
            << c.statement;
    }
    EXPECT_EQ(yardCount("number LIKE '20261210-RL%-901'"), 0);
    EXPECT_EQ(server->value("SELECT count(*) FROM station_handovers WHERE code = 'RL'", "yard"),
              "0");
}

// A yard of the first version, brought forward by the shipped file and by the program: its
// bills and stations kept, a version 1 station open to every desk's login.
TEST_F(Yard, AFirstVersionYardIsBroughtForward) {
    for (const bool byFile : {true, false}) {
        const std::string db = byFile ? "v1file" : "v1program";
        ASSERT_EQ(server->sql("CREATE DATABASE " + db + " OWNER desk_a"), "");
        const std::string psql = "PGPASSWORD=pw psql -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p " +
                                 std::to_string(server->port()) + " -U desk_a -d " + db + " -f ";
        ASSERT_EQ(std::system((psql + LOGORA_SOURCE_DIR "/tests/ledger/pg/logora-yard-v1.sql "
                                                        ">/dev/null")
                                  .c_str()),
                  0);
        ASSERT_EQ(server->sql("INSERT INTO stations VALUES ('V', 'old-desk');"
                              "INSERT INTO bills(number, day, station, seq, time, calculator, "
                              "sheet, headers, pieces, volume, amount, lines, classes, workbook, "
                              "pdf, price_list) VALUES ('20261210-V-001', '20261210', 'V', 1, "
                              "'2026-12-10 08:00:00', 0, '原木一', '', 1, 1, 1, '', '', '', '', "
                              "'')",
                              db),
                  "");
        if (byFile) {
            ASSERT_EQ(
                std::system((psql + LOGORA_SOURCE_DIR "/sql/logora-yard.sql >/dev/null").c_str()),
                0);
        } else {
            auto d = std::make_unique<DeskLedger>(dir / db / "ledger.sqlite");
            ASSERT_EQ(text::toUtf8(d->join(settings("desk_a", "W", db), u"pw")), "");
        }
        EXPECT_EQ(server->value("SELECT version FROM logora_schema", db), "2") << db;
        EXPECT_EQ(server->value("SELECT count(*) FROM bills", db), "1") << db;
        EXPECT_EQ(testing::PgServer::sqlAs(
                      server->conninfo(db, "desk_b", "pw"),
                      "INSERT INTO bills(number, day, station, seq, time, calculator, sheet, "
                      "headers, pieces, volume, amount, lines, classes, workbook, pdf, "
                      "price_list) VALUES ('20261210-V-002', '20261210', 'V', 2, 't', 0, '', "
                      "'', 0, 0, 0, '', '', '', '', '')"),
                  "")
            << db;
    }
}

prices::PriceList larch(double price) {
    prices::PriceList l;
    l.species = u"落叶松";
    l.bands = {{6, 18}, {20, 1e9}};
    l.cells = {{price}, {}};
    return l;
}

// A list changed at one desk is used at the next; a desk away from the yard prices with its
// last copy and says so. A desk's own ledger and lists go into the yard once, on joining.
TEST_F(Yard, ListsAreTheYardsAndADesksLedgerIsCopiedInOnce) {
    ASSERT_EQ(server->sql("CREATE DATABASE lists OWNER desk_a"), "");
    DeskLedger single(dir / "s" / "ledger.sqlite");
    bill(single.ledger(), u"青山林场", 4000);
    single.lists().savePriceLists({larch(1200)}, "2026-12-10 08:00:00");
    // The owner's first join makes the schema itself.
    ASSERT_EQ(text::toUtf8(single.join(settings("desk_a", "S", "lists"), u"pw")), "");
    EXPECT_EQ(server->value("SELECT number FROM bills", "lists"), "20261210-001");
    EXPECT_EQ(single.leave().find(u"已退出共享账本"), 0u);
    ASSERT_EQ(text::toUtf8(single.join(settings("desk_a", "S", "lists"), u"pw")), "");
    EXPECT_EQ(server->value("SELECT count(*) FROM bills", "lists"), "1");

    DeskLedger other(dir / "t" / "ledger.sqlite");
    ASSERT_EQ(text::toUtf8(other.join(settings("desk_a", "T", "lists"), u"pw")), "");
    ASSERT_EQ(other.lists().priceLists().size(), 1u);
    single.lists().savePriceLists({larch(1300)}, "2026-12-10 09:00:00");
    EXPECT_EQ(other.lists().priceLists(), std::vector{larch(1300)});
    EXPECT_EQ(other.lists().listsNote(), u"");
    server->stop();
    EXPECT_EQ(other.lists().priceLists(), std::vector{larch(1300)});
    EXPECT_EQ(other.lists().listsNote(), kListsFromDesk);
    EXPECT_THROW(other.lists().savePriceLists({larch(1)}, "2026-12-10 10:00:00"), LedgerError);
}

} // namespace
} // namespace logora::ledger
