// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/lan/LanAddress.hpp"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace logora::phone {

std::string lanAddress() {
    ifaddrs* all = nullptr;
    if (getifaddrs(&all) != 0) {
        return "127.0.0.1";
    }
    std::string best, any;
    for (ifaddrs* i = all; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(i->ifa_flags & IFF_UP) ||
            (i->ifa_flags & IFF_LOOPBACK)) {
            continue;
        }
        const auto* in = reinterpret_cast<const sockaddr_in*>(i->ifa_addr);
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        if (best.empty() && privateAddress(ntohl(in->sin_addr.s_addr))) {
            best = text;
        } else if (any.empty()) {
            any = text;
        }
    }
    freeifaddrs(all);
    return !best.empty() ? best : !any.empty() ? any : "127.0.0.1";
}

} // namespace logora::phone
