// SPDX-License-Identifier: GPL-3.0-or-later
// The HTTP server phones reach, the same for both front ends. Each request is handed to the
// desk on the thread that owns the tally, by the front end's post(), and waited for there.
#pragma once

#include "phone/PhoneDesk.hpp"

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

} // namespace logora::phone
