// SPDX-License-Identifier: GPL-3.0-or-later
// The QR code of the phone page's address, by libqrencode.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace logora::phone {

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
