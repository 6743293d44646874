// SPDX-License-Identifier: GPL-3.0-or-later
// How much of the 100 ms timer interval a tick costs.
#include "FixedPrices.hpp"
#include "app/Application.hpp"
#include "compare/Comparison.hpp"
#include "text/NumberText.hpp"
#include "volume/LogVolume.hpp"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace logora;

namespace {

using bench::FixedPrices;

void fill(grid::GridWindow& w) {
    for (int r = 1; r <= grid::kRows; ++r) {
        for (int g = 0; g < grid::kGroups; ++g) {
            w.pieces(r, g).setText(text::plainText(r + g));
        }
    }
    w.lengthField(1).setText(u"6");
    w.lengthField(3).setText(u"8");
}

void BM_CaiJiJiSuan(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(volume::CaiJiJiSuan(u"24", u"13", u"4.5"));
    }
}
BENCHMARK(BM_CaiJiJiSuan);

void BM_GridTickEmpty(benchmark::State& state) {
    FixedPrices prices;
    grid::GridWindow w(prices);
    for (auto _ : state) {
        w.tick();
    }
}
BENCHMARK(BM_GridTickEmpty)->Unit(benchmark::kMicrosecond);

void BM_GridTickFull(benchmark::State& state) {
    FixedPrices prices;
    grid::GridWindow w(prices);
    if (state.range(0) == 2) {
        w.switchToTwoLengths();
    }
    fill(w);
    for (auto _ : state) {
        w.tick();
    }
}
BENCHMARK(BM_GridTickFull)->Arg(4)->Arg(2)->ArgName("lengths")->Unit(benchmark::kMicrosecond);

void BM_ListTickFull(benchmark::State& state) {
    list::ListWindow w;
    auto& f = w.form();
    for (int r = 0; r < list::kRows; ++r) {
        f.control(u"Text1", r).setText(text::plainText(2 + r % 9));
        f.control(u"Text2", r).setText(text::plainText(8 + 2 * r));
        f.control(u"Text3", r).setText(text::plainText(1 + r));
        f.control(u"Text5", r).setText(u"650");
    }
    f.control(u"Text22", 7).setText(u"700");
    for (auto _ : state) {
        w.tick();
    }
}
BENCHMARK(BM_ListTickFull)->Unit(benchmark::kMicrosecond);

void BM_SawnTickFull(benchmark::State& state) {
    sawn::SawnWindow w;
    auto& f = w.form();
    for (int r = 0; r < sawn::kRows; ++r) {
        f.control(u"Text1", r).setText(u"400");
        f.control(u"Text2", r).setText(text::plainText(10 + r));
        f.control(u"Text3", r).setText(u"5");
        f.control(u"Text4", r).setText(text::plainText(3 + r));
        f.control(u"Text6", r).setText(u"1200");
    }
    for (auto _ : state) {
        w.tick();
    }
}
BENCHMARK(BM_SawnTickFull)->Unit(benchmark::kMicrosecond);

// A full grid under each rule: 0 national, 1 JAS, 2 Brereton, 3 ГОСТ 2708-75.
void BM_GridTickRule(benchmark::State& state) {
    FixedPrices prices;
    volume::FixedRule rule(volume::kRules[static_cast<std::size_t>(state.range(0))]);
    grid::GridWindow w(prices, rule);
    fill(w);
    for (auto _ : state) {
        w.tick();
    }
}
BENCHMARK(BM_GridTickRule)->DenseRange(0, 3)->ArgName("rule")->Unit(benchmark::kMicrosecond);

// A full grid priced by a list of 12 diameter bands × 4 length bands with two fees (1), beside
// the same grid by the three grade prices (0).
void BM_GridTickPriceList(benchmark::State& state) {
    struct Lists : FixedPrices {
        std::vector<prices::PriceList> lists;
        std::span<const prices::PriceList> priceLists() override { return lists; }
    } source;
    prices::PriceList l;
    l.species = u"樟子松";
    for (int b = 0; b < 12; ++b) {
        l.bands.push_back({4.0 + 5 * b, 8.0 + 5 * b});
    }
    l.lengths = {{2, 3.9}, {4, 5.9}, {6, 7.9}, {8, 10}};
    for (int k = 0; k < 48; ++k) {
        l.cells.push_back({600.0 + 10 * k});
    }
    l.fees = {{u"码费", 20, prices::FeeUnit::PerCubicMetre},
              {u"装车费", 100, prices::FeeUnit::PerBill}};
    if (state.range(0) == 1) {
        source.lists = {l};
    }
    grid::GridWindow w(source);
    w.form().control(u"Text27").setText(u"樟子松");
    fill(w);
    for (auto _ : state) {
        w.tick();
    }
}
BENCHMARK(BM_GridTickPriceList)->Arg(0)->Arg(1)->ArgName("list")->Unit(benchmark::kMicrosecond);

// "价格表" opened with 200 lists in the ledger, in a program just started: the lists read, the
// editor made and its window shown.
void BM_QtOpenPriceLists(benchmark::State& state) {
    QTemporaryDir dir;
    const std::filesystem::path root(dir.path().toStdString());
    std::vector<prices::PriceList> lists;
    for (int n = 0; n < 200; ++n) {
        prices::PriceList l;
        l.species = u"树种" + text::intText(n);
        l.party = n % 2 == 0 ? u"" : u"东港木业";
        l.bands = {{6, 12}, {14, 18}, {20, 1000}};
        l.lengths = {{2, 3.9}, {4, 5.9}, {6, 100}};
        for (int k = 0; k < 9; ++k) {
            l.cells.push_back({500.0 + k});
        }
        lists.push_back(std::move(l));
    }
    ledger::SqliteLedger(root / "bills" / ledger::kLedgerFile)
        .savePriceLists(lists, "2026-12-10 08:00:00");
    for (auto _ : state) {
        state.PauseTiming();
        auto app = std::make_unique<app::Application>(app::Application::Options{
            root / "prices", nullptr, {root / "bills", nullptr, nullptr}});
        app->start();
        QApplication::processEvents();
        state.ResumeTiming();
        app->session().openPriceLists();
        QApplication::processEvents();
        state.PauseTiming();
        app.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_QtOpenPriceLists)->Unit(benchmark::kMillisecond);

// A count typed and the tick after it, without (0) and with (1) 标准对照 open: the
// difference is what the comparison adds to a tick.
void BM_GridTickTyped(benchmark::State& state) {
    FixedPrices prices;
    grid::GridWindow w(prices);
    fill(w);
    compare::Comparison comparison(prices);
    const bool open = state.range(0) == 1;
    int n = 0;
    for (auto _ : state) {
        w.pieces(3, 1).setText(text::plainText(1 + n++ % 7));
        w.tick();
        if (open) {
            benchmark::DoNotOptimize(comparison.of(w));
        }
    }
}
BENCHMARK(BM_GridTickTyped)->Arg(0)->Arg(1)->ArgName("comparison")->Unit(benchmark::kMicrosecond);

// The real window, offscreen: model tick plus widget sync.
void BM_QtGridTick(benchmark::State& state) {
    QTemporaryDir dir;
    app::Application app({std::filesystem::path(dir.path().toStdString()), nullptr, {}});
    app.start();
    const bool changing = state.range(0) == 1;
    fill(app.grid());
    app.host(app::Calculator::Grid).tickOnce();
    int n = 0;
    for (auto _ : state) {
        if (changing) {
            // A new length changes every volume of group 0.
            app.grid().lengthField(0).setText((++n % 2) != 0 ? u"4" : u"6");
        }
        app.host(app::Calculator::Grid).tickOnce();
    }
}
BENCHMARK(BM_QtGridTick)->Arg(0)->Arg(1)->ArgName("changing")->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
