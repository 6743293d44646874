// SPDX-License-Identifier: GPL-3.0-or-later
// What a tick of the Windows grid calculator costs, model and native controls together, with
// a full tally whose every cell changes each time: the worst a 100 ms timer meets.
#include "FixedPrices.hpp"
#include "grid/GridWindow.hpp"
#include "text/NumberText.hpp"
#include "win/FormWindow.hpp"

#include <chrono>
#include <cstdio>
#include <cstdlib>

using namespace logora;

namespace {

using bench::FixedPrices;

} // namespace

int main(int argc, char** argv) {
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 2000;
    FixedPrices prices;
    grid::GridWindow w(prices);
    win::FormWindow view(w.form(), GetModuleHandleW(nullptr));
    if (std::getenv("LOGORA_TICK_HIDDEN") == nullptr) {
        view.show();
    }
    using clock = std::chrono::steady_clock;
    enum class Change { None, OneCell, Everything };
    auto measure = [&](Change change) {
        const auto start = clock::now();
        for (int i = 0; i < ticks; ++i) {
            if (change == Change::OneCell) {
                // As a user types: one count, its volume and the totals change.
                w.pieces(1 + i % grid::kRows, 0).setText(text::plainText(1 + i % 9));
            } else if (change == Change::Everything) {
                // A new tally each time, so every volume and total is written to its control.
                for (int r = 1; r <= grid::kRows; ++r) {
                    for (int g = 0; g < grid::kGroups; ++g) {
                        w.pieces(r, g).setText(text::plainText(r + g + i % 7));
                    }
                }
            }
            w.tick();
            view.sync();
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&msg);
            }
        }
        return std::chrono::duration<double, std::micro>(clock::now() - start).count() / ticks;
    };
    std::printf("grid tick, nothing changed: %.1f us\n", measure(Change::None));
    std::printf("grid tick, one count typed: %.1f us\n", measure(Change::OneCell));
    std::printf("grid tick, every cell changed: %.1f us\n", measure(Change::Everything));
    return 0;
}
