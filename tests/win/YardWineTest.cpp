// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows program's yard ledger under Wine, against the real PostgreSQL server that
// yard-wine.sh started on this machine: LOGORA_TEST_YARD holds its port.
#include "ledger/pg/DeskLedger.hpp"

#include "../TempFolder.hpp"
#include "text/NumberText.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

namespace logora::ledger {
namespace {

namespace fs = std::filesystem;

class WineYard : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        const char* port = std::getenv("LOGORA_TEST_YARD");
        if (port == nullptr) {
            GTEST_SKIP() << "run by yard-wine.sh, which starts the server";
        }
        port_ = text::fromUtf8(port);
        dir = testing::makeTempFolder("logora-wine-yard");
        _wputenv_s(L"PGPASSFILE", (dir / "pgpass.conf").wstring().c_str());
    }
    void TearDown() override {
        if (!dir.empty()) {
            fs::remove_all(dir);
        }
    }
    ReadSettings settings(const char16_t* station) {
        return readSettings({u"127.0.0.1", port_, u"yard", u"desk_a", station});
    }
    std::u16string port_;
};

BillRecord bill(LedgerStore& store, std::u16string buyer) {
    BillRecord r;
    r.number = store.reserveNumber("20261210");
    r.time = "2026-12-10 09:00:00";
    r.calculator = ui::Calculator::Grid;
    r.sheet = u"原木一";
    r.headers = {{u"购货单位", std::move(buyer)}};
    r.totals = {10, 4000, 48000};
    r.workbook = fs::path(L"C:\\账单\\a.xls");
    store.record(r);
    return r;
}

TEST_F(WineYard, TwoDesksJoinWithAPasswordAndSeeEachOthersBills) {
    DeskLedger a(dir / "a" / "ledger.sqlite");
    DeskLedger b(dir / "b" / "ledger.sqlite");
    EXPECT_NE(a.join(settings(u"W"), u"wrong").find(u"用户名或密码不对"), std::u16string::npos);
    EXPECT_FALSE(a.inYard());
    ASSERT_EQ(text::toUtf8(a.join(settings(u"W"), u"pw")), "");
    // The password is in libpq's file now: the second desk joins without typing it.
    ASSERT_EQ(text::toUtf8(b.join(settings(u"X"), u"")), "");
    const std::u16string odd = u"青山'林场; DROP TABLE bills";
    EXPECT_EQ(bill(a, odd).number, "20261210-W-001");
    EXPECT_EQ(bill(b, u"东港木业").number, "20261210-X-001");
    std::set<std::string> seen;
    for (const BillRecord& r : b.list()) {
        seen.insert(r.number);
    }
    EXPECT_EQ(seen, (std::set<std::string>{"20261210-W-001", "20261210-X-001"}));
    const std::optional<BillRecord> read = b.load("20261210-W-001");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->header(u"购货单位"), odd);
    EXPECT_EQ(read->workbook, fs::path(L"C:\\账单\\a.xls"));

    // The server offers TLS, and the Windows build takes it.
    PgYard direct(conninfoOf("127.0.0.1", std::stoi(text::toUtf8(port_)), "yard", "desk_a", "pw"),
                  "T", "probe");
    EXPECT_TRUE(direct.encrypted());
}

} // namespace
} // namespace logora::ledger
