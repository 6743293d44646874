// SPDX-License-Identifier: GPL-3.0-or-later
// Desks of a yard against a real PostgreSQL server of the test's own.
#include "ledger/DeskLedger.hpp"
#include "ledger/PgPass.hpp"

#include "PgServer.hpp"
#include "text/NumberText.hpp"

#include <gtest/gtest.h>

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

BillRecord bill(LedgerStore& store, std::u16string buyer, long long volume) {
    BillRecord r;
    r.number = store.reserveNumber("20261210");
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

} // namespace
} // namespace logora::ledger
