// SPDX-License-Identifier: GPL-3.0-or-later
// ГОСТ 2708-75, the Russian volume table of round logs: one log's volume read from the
// standard's Table 1 (1.0 to 9.5 m) and Table 3 (10.0 to 13.5 m), after the diameter and the
// length are brought to the table's classes as ГОСТ 2292-88 measures them.
#pragma once

#include <cstdint>
#include <span>

namespace logora::volume::gost {

// One of the standard's tables: its diameters (cm), its lengths (mm) and a row per diameter.
struct Table {
    std::span<const int> diameters;
    std::span<const int> lengths;
    const std::int32_t* cells; // 0.0001 m³; 0 not printed, -1 left out
    std::int32_t at(std::size_t row, std::size_t column) const {
        return cells[row * lengths.size() + column];
    }
};
extern const Table kTable1;
extern const Table kTable3;

// The diameter class a measured top diameter (cm) is read in: the whole centimetre, half up,
// to 13 cm; from 14 cm the even centimetre, a remainder of one centimetre or more going up.
int diameterClass(double diameter);

// The table's length a measured length (m) is read in, in mm: the longest not above it; 0
// when it is shorter than 1.0 m.
int lengthColumn(double length);

struct Reading {
    enum class Status { Found, Outside, LeftOut } status = Status::Outside;
    std::int32_t units = 0; // 0.0001 m³ of one log, when found
    int diameter = 0;       // the class read, cm
    int length = 0;         // the column read, mm
};

// One log of a measured diameter (cm) and length (m).
Reading read(double diameter, double length);

} // namespace logora::volume::gost
