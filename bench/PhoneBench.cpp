// SPDX-License-Identifier: GPL-3.0-or-later
// Four phones tapping five times a second each into one grid over loopback, through the real
// server: how long a tap takes from the phone's request to its confirmation (the desk's
// thread applies it, ticks the grid and writes the snapshot before answering), and how long
// the desk's 100 ms tick takes meanwhile. LOGORA_PHONE_SECONDS sets the run (10 unless set).
#include "phone/http/PhoneServer.hpp"
#include "session/SnapshotKeeper.hpp"
#include "text/NumberText.hpp"

#include <httplib.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

namespace {

using namespace logora;
using Clock = std::chrono::steady_clock;

struct NoPrices : prices::PriceSource {
    std::u16string priceText(int) override { return {}; }
};

// The desk's thread: posted requests as they come, the grid's tick every 100 ms.
struct DeskThread {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks;
    std::atomic<bool> running{true};

    void post(std::function<void()> task) {
        std::lock_guard lock(mutex);
        tasks.push_back(std::move(task));
        wake.notify_one();
    }
    void run(grid::GridWindow& grid, std::vector<double>& ticks) {
        auto nextTick = Clock::now();
        while (running) {
            std::function<void()> task;
            {
                std::unique_lock lock(mutex);
                wake.wait_until(lock, nextTick, [this] { return !tasks.empty() || !running; });
                if (!tasks.empty()) {
                    task = std::move(tasks.front());
                    tasks.pop_front();
                }
            }
            if (task) {
                task();
            }
            if (Clock::now() >= nextTick) {
                const auto t0 = Clock::now();
                grid.tick();
                ticks.push_back(
                    std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
                nextTick += std::chrono::milliseconds(100);
            }
        }
    }
};

double percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

void BM_FourPhonesTapping(benchmark::State& state) {
    const char* set = std::getenv("LOGORA_PHONE_SECONDS");
    const int seconds = set ? std::atoi(set) : 10;
    for (auto _ : state) {
        NoPrices prices;
        grid::GridWindow grid(prices);
        grid.tick();
        phone::GridTally tally(grid);
        phone::PhoneDesk desk([] { return std::string(16, 'k'); });
        const auto folder = std::filesystem::temp_directory_path() / "logora-phone-bench";
        std::filesystem::create_directories(folder);
        session::SnapshotKeeper snapshots(folder);
        desk.serve(&tally, [&] {
            grid.tick();
            std::string text;
            for (int r = 1; r <= grid::kRows; ++r) {
                for (int c = 0; c < grid::kCells; ++c) {
                    text += text::toUtf8(grid.cell(r, c).text()) + ",";
                }
            }
            snapshots.flush(text);
        });
        DeskThread thread;
        std::vector<double> ticks;
        std::thread deskThread([&] { thread.run(grid, ticks); });
        phone::PhoneServer server(desk,
                                  [&](std::function<void()> t) { thread.post(std::move(t)); });
        int port = 18720;
        while (!server.start(port).empty()) {
            ++port;
        }
        std::mutex latencyMutex;
        std::vector<double> latencies;
        std::atomic<int> failed{0};
        std::vector<std::thread> phones;
        for (int p = 0; p < 4; ++p) {
            phones.emplace_back([&, p] {
                httplib::Client client("127.0.0.1", port);
                client.set_keep_alive(true);
                client.set_tcp_nodelay(true); // as browsers do
                const std::string path = desk.pagePath() + "/taps";
                const auto start = Clock::now();
                for (int i = 0; Clock::now() - start < std::chrono::seconds(seconds); ++i) {
                    const auto due = start + std::chrono::milliseconds(200 * i + 50 * p);
                    std::this_thread::sleep_until(due);
                    const std::string id = "b" + std::to_string(p) + "-" + std::to_string(i);
                    const std::string body =
                        R"({"phone":"bench)" + std::to_string(p) + R"(","taps":[{"id":")" + id +
                        R"(","op":"add","group":)" + std::to_string(p) + R"(,"class":"8","n":1}]})";
                    const auto t0 = Clock::now();
                    auto r = client.Post(path, body, "application/json");
                    const double ms =
                        std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                    if (!r || r->status != 200 || r->body.find(id) == std::string::npos) {
                        ++failed;
                        continue;
                    }
                    std::lock_guard lock(latencyMutex);
                    latencies.push_back(ms);
                }
            });
        }
        for (auto& t : phones) {
            t.join();
        }
        server.stop();
        thread.running = false;
        thread.wake.notify_one();
        deskThread.join();
        std::filesystem::remove_all(folder);
        state.counters["taps"] = static_cast<double>(latencies.size());
        state.counters["failed"] = failed.load();
        state.counters["p50_ms"] = percentile(latencies, 0.50);
        state.counters["p99_ms"] = percentile(latencies, 0.99);
        state.counters["max_ms"] = percentile(latencies, 1.0);
        state.counters["tick_p99_us"] = percentile(ticks, 0.99);
        state.counters["tick_max_us"] = percentile(ticks, 1.0);
    }
}
BENCHMARK(BM_FourPhonesTapping)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
