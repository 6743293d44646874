// SPDX-License-Identifier: GPL-3.0-or-later
#include "volume/Gost2708.hpp"

#include <algorithm>
#include <cmath>

namespace logora::volume::gost {

namespace {

// Measures in whole hundredths of a millimetre, so that a typed 35.0 or 2.25 is met exactly
// and never a binary hair below.
long long scaled(double value, double by) {
    return std::llround(value * by);
}

} // namespace

int diameterClass(double diameter) {
    if (!std::isfinite(diameter) || diameter <= 0 || diameter > 1000) {
        return 0;
    }
    const long long d = scaled(diameter, 1000); // 0.01 mm
    if (d < 13500) {
        return static_cast<int>((d + 500) / 1000);
    }
    const long long even = d / 2000 * 2000;
    return static_cast<int>((d - even >= 1000 ? even + 2000 : even) / 1000);
}

int lengthColumn(double length) {
    if (!std::isfinite(length) || length < 0 || length > 1000) {
        return 0;
    }
    // Over 13.5 m the standard measures two logs: no column reads it.
    const long long l = scaled(length, 100000); // 0.01 mm
    if (l > 100LL * kTable3.lengths.back()) {
        return 0;
    }
    for (const Table* t : {&kTable3, &kTable1}) {
        for (auto c = t->lengths.rbegin(); c != t->lengths.rend(); ++c) {
            if (100LL * *c <= l) {
                return *c;
            }
        }
    }
    return 0;
}

Reading read(double diameter, double length) {
    Reading r;
    r.diameter = diameterClass(diameter);
    r.length = lengthColumn(length);
    const Table& t = r.length >= kTable3.lengths.front() ? kTable3 : kTable1;
    const auto row = std::find(t.diameters.begin(), t.diameters.end(), r.diameter);
    const auto column = std::find(t.lengths.begin(), t.lengths.end(), r.length);
    if (row == t.diameters.end() || column == t.lengths.end()) {
        return r;
    }
    const std::int32_t cell = t.at(static_cast<std::size_t>(row - t.diameters.begin()),
                                   static_cast<std::size_t>(column - t.lengths.begin()));
    if (cell < 0) {
        r.status = Reading::Status::LeftOut;
    } else if (cell > 0) {
        r.status = Reading::Status::Found;
        r.units = cell;
    }
    return r;
}

} // namespace logora::volume::gost
