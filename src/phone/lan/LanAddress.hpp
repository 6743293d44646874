// SPDX-License-Identifier: GPL-3.0-or-later
// Where phones reach the desk: its address on the yard's own network, one file per platform.
#pragma once

#include <cstdint>
#include <string>

namespace logora::phone {

// The desk's address on the yard's network, as phones reach it ("192.168.1.20"): the
// first of its private IPv4 addresses, else any that is not loopback, else 127.0.0.1.
std::string lanAddress();
// 10/8, 172.16/12 or 192.168/16: a yard's own network (the address in host order).
inline bool privateAddress(std::uint32_t a) {
    return (a >> 24) == 10 || (a >> 20) == 0xAC1 || (a >> 16) == 0xC0A8;
}

} // namespace logora::phone
