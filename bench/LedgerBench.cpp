// SPDX-License-Identifier: GPL-3.0-or-later
// The ledger at ten years of a busy yard: 100,000 bills (LOGORA_LEDGER_RECORDS to change).
// Opening 账单记录 to its first page painted, a filter or grouping, and recording one export.
#include "../tests/TempFolder.hpp"
#include "app/LedgerDialog.hpp"
#include "export/RecordingPrompts.hpp"
#include "export/RecordingSheet.hpp"
#include "ledger/sqlite/SqliteLedger.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <memory>

using namespace logora;
namespace fs = std::filesystem;

namespace {

const char16_t* kParties[] = {u"青山林场",   u"东港木业",   u"白河林业局", u"松江木材厂",
                              u"长白山林场", u"鸭绿江木业", u"红旗林场",   u"兴安木材"};

int records() {
    const char* set = std::getenv("LOGORA_LEDGER_RECORDS");
    return set != nullptr ? std::atoi(set) : 100000;
}

// One ledger for every benchmark, filled in one transaction: about 30 bills a day with five
// lines each, over ten years.
struct Yard {
    fs::path dir = logora::testing::makeTempFolder("logora-ledger-bench");
    fs::path file = dir / "ledger.sqlite";
    Yard() {
        ledger::SqliteLedger(file).schemaVersion(); // the schema
        sqlite3* db = nullptr;
        sqlite3_open(text::toUtf8(text::pathText(file)).c_str(), &db);
        sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
        sqlite3_stmt* bill = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO bills(number, day, seq, time, calculator, sheet, headers, "
                           "pieces, volume, amount, workbook, pdf) VALUES "
                           "(?, ?, ?, ?, 0, '原木一', ?, 120, 21350, 1067500, ?, ?)",
                           -1, &bill, nullptr);
        sqlite3_stmt* line = nullptr;
        sqlite3_prepare_v2(db,
                           "INSERT INTO lines VALUES (?, ?, '4', '22', '', '', '5', '0.1005', "
                           "'', '')",
                           -1, &line, nullptr);
        const int n = records();
        for (int i = 0; i < n; ++i) {
            const int dayNo = i / 30;
            char day[16], number[24], time[24];
            std::snprintf(day, sizeof day, "%04d%02d%02d", 2016 + dayNo / 360, 1 + dayNo / 30 % 12,
                          1 + dayNo % 30);
            std::snprintf(number, sizeof number, "%s-%03d", day, i % 30 + 1);
            std::snprintf(time, sizeof time, "%.4s-%.2s-%.2s 10:%02d:00", day, day + 4, day + 6,
                          i % 30);
            const std::string headers = text::toUtf8(
                std::u16string(u"购货单位\x1f") + kParties[i % 8] + u"\x1e车号\x1f辽A" +
                text::intText(10000 + i % 5000) + u"\x1e树种\x1f落叶松\x1e");
            const std::string path = std::string("/bills/账单存档/") + number + ".xls";
            sqlite3_bind_text(bill, 1, number, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(bill, 2, day, -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(bill, 3, i % 30 + 1);
            sqlite3_bind_text(bill, 4, time, -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(bill, 5, headers.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(bill, 6, path.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(bill, 7, path.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(bill);
            sqlite3_reset(bill);
            for (int k = 0; k < 5; ++k) {
                sqlite3_bind_text(line, 1, number, -1, SQLITE_TRANSIENT);
                sqlite3_bind_int(line, 2, k);
                sqlite3_step(line);
                sqlite3_reset(line);
            }
        }
        sqlite3_finalize(bill);
        sqlite3_finalize(line);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    ~Yard() { fs::remove_all(dir); }
};

Yard& yard() {
    static Yard y;
    return y;
}

// From nothing to the first page painted: the file opened, every bill read, the list shown.
void BM_OpenLedgerWindow(benchmark::State& state) {
    const exporting::BillFolder bills(yard().dir, yard().dir);
    logora::testing::RecordingSheet sheet;
    logora::testing::RecordingPrompts prompts;
    for (auto _ : state) {
        ledger::SqliteLedger store(yard().file);
        app::LedgerDialog dialog(store, sheet, bills, prompts);
        dialog.show();
        benchmark::DoNotOptimize(dialog.grab()); // painted, first page and all
    }
    state.counters["bills"] = records();
}
BENCHMARK(BM_OpenLedgerWindow)->Unit(benchmark::kMillisecond);

// The share of the opening that is reading: every bill from the file.
void BM_ReadEveryBill(benchmark::State& state) {
    for (auto _ : state) {
        ledger::SqliteLedger store(yard().file);
        benchmark::DoNotOptimize(store.list());
    }
}
BENCHMARK(BM_ReadEveryBill)->Unit(benchmark::kMillisecond);

// What the window does at a keystroke in the find field or a change of view.
void BM_FilterAndGroup(benchmark::State& state) {
    ledger::SqliteLedger store(yard().file);
    ledger::LedgerView view(store);
    view.reload();
    const ledger::View views[] = {{},
                                  {ledger::Grouping::Day, {}},
                                  {ledger::Grouping::Month, {}},
                                  {ledger::Grouping::Caption, u"购货单位"}};
    const auto& chosen = views[state.range(0)];
    view.setView(chosen);
    // Two filters in turn, so that every iteration lists anew: a filter set again is free.
    const ledger::Filter filters[] = {{"2018-01-01", "2023-12-31", u"青山", {}},
                                      {"2018-01-01", "2023-12-31", u"东港", {}}};
    std::size_t k = 0;
    for (auto _ : state) {
        view.setFilter(filters[k++ % 2]);
        benchmark::DoNotOptimize(view.rowCount());
    }
}
BENCHMARK(BM_FilterAndGroup)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// What one export adds: its number, then its record of 40 lines, each a transaction.
void BM_RecordOneExport(benchmark::State& state) {
    ledger::SqliteLedger store(yard().file);
    ledger::BillRecord r;
    r.time = "2026-12-09 10:00:00";
    r.sheet = u"原木一";
    r.headers = {{u"购货单位", u"青山林场"}, {u"车号", u"辽A12345"}};
    r.lines.assign(40, {u"4", u"22", {}, {}, u"5", u"0.1005", {}, {}});
    for (auto _ : state) {
        r.number = store.reserveNumber("20261209");
        store.record(r);
    }
}
BENCHMARK(BM_RecordOneExport)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // As in the running program, whose calculators are up before 账单记录 is opened: the
    // fonts are loaded, and the ledger file is in the system's cache from the last export.
    QLabel warm(QStringLiteral("账单记录 原木一 青山林场 0123456789"));
    warm.show();
    benchmark::DoNotOptimize(warm.grab());
    benchmark::DoNotOptimize(ledger::SqliteLedger(yard().file).list());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
