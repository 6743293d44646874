// SPDX-License-Identifier: GPL-3.0-or-later
// A loopback port that forwards to another one, each chunk held for half the round trip
// each way: a server at another site, for the benchmarks.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace logora::testing {

class SlowLink {
  public:
    SlowLink(int to, std::chrono::milliseconds roundTrip) : to_(to), half_(roundTrip / 2) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        listen(listener_, 16);
        socklen_t n = sizeof a;
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &n);
        port_ = ntohs(a.sin_port);
        std::thread([this] { accepting(); }).detach();
    }
    int port() const { return port_; }

  private:
    struct Pipe {
        std::mutex m;
        std::condition_variable cv;
        std::deque<std::pair<std::chrono::steady_clock::time_point, std::string>> q;
        bool closed = false;
    };
    void accepting() {
        for (;;) {
            const int client = accept(listener_, nullptr, nullptr);
            if (client < 0) {
                return;
            }
            const int server = socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a{};
            a.sin_family = AF_INET;
            a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            a.sin_port = htons(static_cast<unsigned short>(to_));
            if (connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                close(client);
                close(server);
                continue;
            }
            forward(client, server);
            forward(server, client);
        }
    }
    void forward(int from, int to) {
        auto pipe = std::make_shared<Pipe>();
        std::thread([this, from, pipe] {
            std::vector<char> buffer(65536);
            for (;;) {
                const ssize_t got = read(from, buffer.data(), buffer.size());
                const std::lock_guard lock(pipe->m);
                if (got <= 0) {
                    pipe->closed = true;
                    pipe->cv.notify_all();
                    return;
                }
                pipe->q.emplace_back(std::chrono::steady_clock::now() + half_,
                                     std::string(buffer.data(), static_cast<std::size_t>(got)));
                pipe->cv.notify_all();
            }
        }).detach();
        std::thread([to, pipe] {
            std::unique_lock lock(pipe->m);
            for (;;) {
                pipe->cv.wait(lock, [&] { return pipe->closed || !pipe->q.empty(); });
                if (pipe->q.empty()) {
                    shutdown(to, SHUT_WR);
                    return;
                }
                auto [due, bytes] = std::move(pipe->q.front());
                pipe->q.pop_front();
                lock.unlock();
                std::this_thread::sleep_until(due);
                if (write(to, bytes.data(), bytes.size()) < 0) {
                    return;
                }
                lock.lock();
            }
        }).detach();
    }

    int to_;
    std::chrono::milliseconds half_;
    int listener_ = -1;
    int port_ = 0;
};

} // namespace logora::testing
