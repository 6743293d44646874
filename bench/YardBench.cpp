// SPDX-License-Identifier: GPL-3.0-or-later
// What an export adds at a desk of a yard: its number and its record of 40 lines, written at
// the desk and sent to the yard's PostgreSQL server when it answers (/1), or left waiting
// when the server is stopped (/0). A server of the benchmark's own on this machine.
#include "ledger/DeskLedger.hpp"

#include "ledger/PgServer.hpp"
#include "text/NumberText.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace logora;
namespace fs = std::filesystem;

void BM_YardExportRecord(benchmark::State& state) {
    static testing::PgServer server;
    static bool made = false;
    if (!made) {
        made = true;
        server.sql("CREATE ROLE logora_desks NOLOGIN");
        server.sql("CREATE ROLE desk LOGIN PASSWORD 'pw' IN ROLE logora_desks");
        server.sql("CREATE DATABASE yard OWNER desk");
    }
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

} // namespace

BENCHMARK_MAIN();
