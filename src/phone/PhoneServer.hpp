// SPDX-License-Identifier: GPL-3.0-or-later
// The HTTP server phones reach, the same for both front ends. Each request is handed to the
// desk on the thread that owns the tally, by the front end's post(), and waited for there.
#pragma once

#include "phone/PhoneDesk.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace logora::phone {

// Runs a task soon on the thread that owns the desk (the front end's event loop).
using Post = std::function<void(std::function<void()>)>;

inline constexpr int kDefaultPort = 8720;

class PhoneServer {
  public:
    PhoneServer(PhoneDesk& desk, Post post);
    ~PhoneServer();
    PhoneServer(const PhoneServer&) = delete;
    PhoneServer& operator=(const PhoneServer&) = delete;

    // Listens on every address of the desk at the port: empty when it does, or why not.
    std::u16string start(int port);
    void stop();
    bool listening() const;
    int port() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The desk's address on the yard's network, as phones reach it ("192.168.1.20"): the
// first of its private IPv4 addresses, else any that is not loopback, else 127.0.0.1.
std::string lanAddress();
// 10/8, 172.16/12 or 192.168/16: a yard's own network (the address in host order).
inline bool privateAddress(std::uint32_t a) {
    return (a >> 24) == 10 || (a >> 20) == 0xAC1 || (a >> 16) == 0xC0A8;
}

// A QR code's modules, row by row from the top left; true is dark.
struct QrMatrix {
    // The white a reader needs around the code, in modules.
    static constexpr int kQuiet = 4;
    int width = 0;
    std::vector<bool> dark;
    // The code with its quiet zone, modules on a side, and whether one of them is dark.
    int side() const { return width + 2 * kQuiet; }
    bool darkAt(int x, int y) const {
        x -= kQuiet;
        y -= kQuiet;
        return x >= 0 && y >= 0 && x < width && y < width &&
               dark[static_cast<std::size_t>(y) * width + x];
    }
};
QrMatrix qrCode(const std::string& text);

} // namespace logora::phone
