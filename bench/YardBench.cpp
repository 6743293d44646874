// SPDX-License-Identifier: GPL-3.0-or-later
// A desk of a yard, against a PostgreSQL server of the benchmark's own on this machine:
// what an export adds, its number and its record of 40 lines written at the desk and sent to
// the yard when it answers (/1), or left waiting when the server is stopped (/0); and
// 账单记录 over the yard's bills (LOGORA_LEDGER_RECORDS of them, 10,000 unless set): its
// opening to the first page of rows, and a filter with the list, or by day, month or buyer.
// And what the window's thread pays with the yard's worker, the server answering, refused,
// silent, locked or 100 ms away, against a desk with no yard.
#include "ledger/LedgerView.hpp"
#include "ledger/pg/DeskLedger.hpp"

#include "SlowLink.hpp"
#include "ledger/pg/PgServer.hpp"
#include "ledger/pg/WindowThread.hpp"
#include "text/NumberText.hpp"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <deque>
#include <mutex>

namespace {

using namespace logora;
namespace fs = std::filesystem;

testing::PgServer& server() {
    static testing::PgServer s;
    static bool made = false;
    if (!made) {
        made = true;
        s.sql("CREATE ROLE logora_desks NOLOGIN");
        s.sql("CREATE ROLE desk LOGIN PASSWORD 'pw' IN ROLE logora_desks");
        s.sql("CREATE DATABASE yard OWNER desk");
    }
    return s;
}

void BM_YardExportRecord(benchmark::State& state) {
    testing::PgServer& server = ::server();
    const bool reachable = state.range(0) == 1;
    const fs::path dir = testing::makeTempFolder("logora-yard-bench");
    setenv("PGPASSFILE", (dir / "pgpass").c_str(), 1);
    server.start();
    ledger::DeskLedger desk(dir / "ledger.sqlite");
    // Each run is a desk of its own, with a station of its own.
    static int runs = 0;
    const std::u16string station = (reachable ? u"R" : u"U") + text::intText(++runs);
    const std::u16string said =
        desk.join(ledger::readSettings(
                      {u"127.0.0.1", text::intText(server.port()), u"yard", u"desk", station}),
                  u"pw");
    if (!said.empty()) {
        state.SkipWithError(text::toUtf8(said).c_str());
        return;
    }
    if (!reachable) {
        server.stop();
    }
    ledger::BillRecord r;
    r.time = "2026-12-10 10:00:00";
    r.sheet = u"原木一";
    r.headers = {{u"购货单位", u"青山林场"}, {u"车号", u"辽A12345"}};
    r.lines.assign(40, {u"4", u"22", {}, {}, u"5", u"0.1005", {}, {}});
    for (auto _ : state) {
        r.number = desk.reserveNumber("20261210");
        desk.record(r);
    }
    server.start();
    fs::remove_all(dir);
}
BENCHMARK(BM_YardExportRecord)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

enum Server { NoYard, Answering, Refused, Silent, Locked, Away };

// The window's part of an export (its number and its record of 40 lines, then what the
// worker posted), each iteration; and once, the start (the price lists), the opening of
// 账单记录 to its first rows and the minute's send, as counters in ms.
void BM_YardWindow(benchmark::State& state) {
    testing::PgServer& server = ::server();
    server.start();
    const auto kind = static_cast<Server>(state.range(0));
    const fs::path dir = testing::makeTempFolder("logora-yard-window");
    static int runs = 0;
    const std::string station = "W" + std::to_string(++runs);
    std::unique_ptr<testing::SlowLink> link;
    PGconn* holder = nullptr;
    int port = server.port();
    if (kind == Refused) {
        testing::PgServer gone; // its port is closed once it ends
        port = gone.port();
    } else if (kind == Silent) {
        server.pause();
    } else if (kind == Locked) {
        holder = PQconnectdb(server.admin("yard").c_str());
        PQclear(PQexec(holder, "BEGIN; LOCK TABLE logora_schema, stations, bills, price_lists "
                               "IN ACCESS EXCLUSIVE MODE"));
    } else if (kind == Away) {
        link = std::make_unique<testing::SlowLink>(server.port(), std::chrono::milliseconds(100));
        port = link->port();
    }
    if (kind != NoYard) {
        setenv("LOGORA_LEDGER_URL",
               ("postgresql://desk:pw@127.0.0.1:" + std::to_string(port) + "/yard").c_str(), 1);
        setenv("LOGORA_STATION", station.c_str(), 1);
    }
    testing::Window window;
    double longest = 0;
    auto timed = [&](auto&& work) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        window.pump();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        longest = std::max(longest, ms);
        return ms;
    };
    {
        ledger::DeskLedger desk(dir / "ledger.sqlite");
        desk.useWorker(window.post());
        state.counters["start_ms"] = timed([&] { desk.lists().priceLists(); });
        ledger::BillRecord r;
        r.time = "2026-12-10 10:00:00";
        r.sheet = u"原木一";
        r.headers = {{u"购货单位", u"青山林场"}, {u"车号", u"辽A12345"}};
        r.lines.assign(40, {u"4", u"22", {}, {}, u"5", u"0.1005", {}, {}});
        for (auto _ : state) {
            timed([&] {
                r.number = desk.reserveNumber("20261210");
                desk.record(r);
            });
        }
        state.counters["open_ms"] = timed([&] {
            ledger::LedgerView view(desk);
            view.reload();
            for (std::size_t i = 0; i < 40; ++i) {
                benchmark::DoNotOptimize(view.row(i));
            }
        });
        state.counters["minute_ms"] = timed([&] { desk.sendWaiting(); });
        state.counters["longest_ms"] = longest;
        if (kind == Silent) {
            server.resume(); // the worker's connection ends within its bound
        }
        PQfinish(holder);
    }
    unsetenv("LOGORA_LEDGER_URL");
    unsetenv("LOGORA_STATION");
    fs::remove_all(dir);
}
BENCHMARK(BM_YardWindow)->DenseRange(NoYard, Away)->Unit(benchmark::kMillisecond);

// A desk joined to a yard of many bills: 30 a day, eight buyers, in one statement.
struct BigYard {
    fs::path dir = testing::makeTempFolder("logora-big-yard");
    std::unique_ptr<ledger::DeskLedger> desk;
    BigYard() {
        testing::PgServer& s = server();
        s.start();
        s.sql("CREATE DATABASE big OWNER desk");
        setenv("PGPASSFILE", (dir / "pgpass").c_str(), 1);
        desk = std::make_unique<ledger::DeskLedger>(dir / "ledger.sqlite");
        desk->join(
            ledger::readSettings({u"127.0.0.1", text::intText(s.port()), u"big", u"desk", u"V"}),
            u"pw");
        const char* set = std::getenv("LOGORA_LEDGER_RECORDS");
        const std::string n = set != nullptr ? set : "10000";
        s.sql("INSERT INTO bills(number, day, station, seq, time, calculator, sheet, headers, "
              "pieces, volume, amount, lines, classes, workbook, pdf, price_list) "
              "SELECT to_char(d, 'YYYYMMDD') || '-B-' || lpad((i % 30 + 1)::text, 3, '0'), "
              "to_char(d, 'YYYYMMDD'), 'B', i % 30 + 1, "
              "to_char(d, 'YYYY-MM-DD') || ' 10:' || lpad((i % 30)::text, 2, '0') || ':00', 0, "
              "'原木一', '购货单位' || chr(31) || (ARRAY['青山林场', '东港木业', '白河林业局', "
              "'松江木材厂', '长白山林场', '鸭绿江木业', '红旗林场', '兴安木材'])[i % 8 + 1] || "
              "chr(30) || '车号' || chr(31) || '辽A' || (10000 + i % 5000) || chr(30) || '树种' "
              "|| chr(31) || '落叶松' || chr(30), 120, 21350, 1067500, '', '', '', '', '' "
              "FROM generate_series(0, " +
                  n + " - 1) AS i, LATERAL (SELECT date '2016-01-01' + i / 30 AS d) AS x",
              "big");
        s.sql("ANALYZE bills", "big");
    }
    ~BigYard() { fs::remove_all(dir); }
};

BigYard& bigYard() {
    static BigYard y;
    return y;
}

// 账单记录 opened: the yard asked for what waits, the count, the totals and the captions,
// then the first page of rows.
void BM_YardLedgerOpen(benchmark::State& state) {
    ledger::DeskLedger& desk = *bigYard().desk;
    for (auto _ : state) {
        ledger::LedgerView view(desk);
        view.reload();
        for (std::size_t i = 0; i < 40; ++i) {
            benchmark::DoNotOptimize(view.row(i));
        }
    }
}
BENCHMARK(BM_YardLedgerOpen)->Unit(benchmark::kMillisecond);

// A filter (a date range and a find text) with the list, by day, by month or by buyer: two
// filters in turn, so that each iteration asks anew.
void BM_YardFilterAndGroup(benchmark::State& state) {
    ledger::LedgerView view(*bigYard().desk);
    view.reload();
    const ledger::View views[] = {{},
                                  {ledger::Grouping::Day, {}},
                                  {ledger::Grouping::Month, {}},
                                  {ledger::Grouping::Caption, u"购货单位"}};
    view.setView(views[state.range(0)]);
    const ledger::Filter filters[] = {{"2018-01-01", "2023-12-31", u"青山", {}},
                                      {"2018-01-01", "2023-12-31", u"东港", {}}};
    std::size_t k = 0;
    for (auto _ : state) {
        view.setFilter(filters[k++ % 2]);
        benchmark::DoNotOptimize(view.row(0));
    }
}
BENCHMARK(BM_YardFilterAndGroup)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
