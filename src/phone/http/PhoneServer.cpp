// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/http/PhoneServer.hpp"

#include "text/NumberText.hpp"

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace logora::phone {

namespace {

// One request waiting for the desk's thread.
struct Waiting {
    std::mutex mutex;
    std::condition_variable done;
    bool answered = false;
    Reply reply;
};

// A request's longest wait for the desk: its thread may be busy with an export.
constexpr auto kDeskWait = std::chrono::seconds(5);

} // namespace

struct PhoneServer::Impl {
    PhoneDesk& desk;
    Post post;
    std::unique_ptr<httplib::Server> server;
    std::thread thread;
    int port = 0;
    // Read on the desk's thread by tasks posted before a stop: the desk may be gone.
    std::shared_ptr<std::atomic<bool>> alive = std::make_shared<std::atomic<bool>>(true);
    std::atomic<bool> stopping{false};

    Impl(PhoneDesk& d, Post p) : desk(d), post(std::move(p)) {}

    void answer(const httplib::Request& req, httplib::Response& res) {
        Request request{req.method, req.target, req.body, req.remote_addr, Clock::now()};
        auto waiting = std::make_shared<Waiting>();
        post([this, alive = alive, waiting, request] {
            Reply reply{503, "application/json", "{}"};
            if (*alive) {
                reply = desk.handle(request);
            }
            std::lock_guard lock(waiting->mutex);
            waiting->reply = std::move(reply);
            waiting->answered = true;
            waiting->done.notify_one();
        });
        std::unique_lock lock(waiting->mutex);
        const auto until = std::chrono::steady_clock::now() + kDeskWait;
        // Woken now and then so that a stop never waits for the desk's thread.
        while (!waiting->answered && !stopping && std::chrono::steady_clock::now() < until) {
            waiting->done.wait_for(lock, std::chrono::milliseconds(20));
        }
        const Reply reply = waiting->answered
                                ? waiting->reply
                                : Reply{503, "application/json", "{\"error\":\"busy\"}"};
        res.status = reply.status;
        res.set_header("Cache-Control", "no-store");
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("Referrer-Policy", "no-referrer");
        res.set_header("Content-Security-Policy",
                       "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                       "connect-src 'self'; img-src 'self'");
        res.set_content(reply.body, reply.type.c_str());
    }
};

PhoneServer::PhoneServer(PhoneDesk& desk, Post post)
    : impl_(std::make_unique<Impl>(desk, std::move(post))) {}

PhoneServer::~PhoneServer() {
    stop();
    *impl_->alive = false;
}

std::u16string PhoneServer::start(int port) {
    if (listening()) {
        if (port == impl_->port) {
            return {};
        }
        stop();
    }
    // A fresh server each time: one that was stopped does not listen again.
    impl_->server = std::make_unique<httplib::Server>();
    auto& s = *impl_->server;
    // Anything much larger than a phone sends is cut off here; the desk refuses the rest.
    s.set_payload_max_length(16 * kMostBody);
    s.set_read_timeout(5, 0);
    s.set_write_timeout(5, 0);
    s.set_keep_alive_timeout(5);
    // A reply goes out in two writes: without this, each waits for the phone's delayed ACK.
    s.set_tcp_nodelay(true);
    auto handler = [this](const httplib::Request& req, httplib::Response& res) {
        impl_->answer(req, res);
    };
    s.Get(".*", handler);
    s.Post(".*", handler);
    if (port <= 0 || port > 65535 || !s.bind_to_port("0.0.0.0", port)) {
        return u"端口 " + text::intText(port) +
               u" 用不了（被别的程序占着，或者不是1到65535之间的数），请换一个端口。";
    }
    impl_->port = port;
    impl_->stopping = false;
    impl_->thread = std::thread([&s] { s.listen_after_bind(); });
    return {};
}

void PhoneServer::stop() {
    if (!impl_->thread.joinable()) {
        return;
    }
    impl_->stopping = true;
    impl_->server->stop();
    impl_->thread.join();
    impl_->server.reset();
    impl_->port = 0;
}

bool PhoneServer::listening() const {
    return impl_->thread.joinable();
}

int PhoneServer::port() const {
    return impl_->port;
}

} // namespace logora::phone
