// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/lan/LanAddress.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace logora::phone {

std::string lanAddress() {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        return "127.0.0.1";
    }
    std::string best, any;
    char host[256] = {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* all = nullptr;
    if (gethostname(host, sizeof host) == 0 && getaddrinfo(host, nullptr, &hints, &all) == 0) {
        for (addrinfo* i = all; i; i = i->ai_next) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(i->ai_addr);
            const std::uint32_t a = ntohl(in->sin_addr.s_addr);
            if ((a >> 24) == 127) {
                continue;
            }
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
            if (best.empty() && privateAddress(a)) {
                best = text;
            } else if (any.empty()) {
                any = text;
            }
        }
        freeaddrinfo(all);
    }
    WSACleanup();
    return !best.empty() ? best : !any.empty() ? any : "127.0.0.1";
}

} // namespace logora::phone
