// SPDX-License-Identifier: GPL-3.0-or-later
// Price lists (价格表) as a yard prices: by species and, for one customer or supplier, by party;
// by diameter band (or, for sawn timber, thickness band) and length band; per cubic metre or
// per piece; with fees. The three grade prices of the price window stay the default.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace logora::prices {

enum class ListKind { Log, Sawn }; // 原木: diameter bands (cm); 锯材: thickness bands (mm)
enum class PriceUnit { PerCubicMetre, PerPiece };
enum class FeeUnit { PerCubicMetre, PerPiece, PerBill };

// "元/立方米", "元/根", "元/单".
std::u16string_view unitText(PriceUnit unit);
std::u16string_view unitText(FeeUnit unit);

// A band from and to, both ends in it: 14-18 holds 14 and 18.
struct Band {
    double from = 0;
    double to = 0;
    bool holds(double x) const;
    friend bool operator==(const Band&, const Band&) = default;
};

// "14-18", "20-" (no upper end), "6" (one class).
std::u16string bandText(const Band& band);

struct PriceCell {
    std::optional<double> price; // none: no price (a gap in the list)
    PriceUnit unit = PriceUnit::PerCubicMetre;
    friend bool operator==(const PriceCell&, const PriceCell&) = default;
};

struct Fee {
    std::u16string name; // 码费, 装车费 …
    double amount = 0;
    FeeUnit unit = FeeUnit::PerCubicMetre;
    friend bool operator==(const Fee&, const Fee&) = default;
};

struct PriceList {
    std::u16string species; // 树种, may carry a grade: "辐射松 A级"
    std::u16string party;   // 购货单位 or 出货单位; empty: the species' list for everyone
    ListKind kind = ListKind::Log;
    std::vector<Band> bands;      // rows: diameters (cm) or thicknesses (mm)
    std::vector<Band> lengths;    // columns (m); none: every length alike
    std::vector<PriceCell> cells; // row by row, max(1, lengths) a row
    std::vector<Fee> fees;

    std::size_t columns() const { return lengths.empty() ? 1 : lengths.size(); }
    PriceCell& cell(std::size_t row, std::size_t column) { return cells[row * columns() + column]; }
    const PriceCell& cell(std::size_t row, std::size_t column) const {
        return cells[row * columns() + column];
    }
    // "樟子松 · 东港木业", or the species alone.
    std::u16string name() const;
    friend bool operator==(const PriceList&, const PriceList&) = default;
};

// What the window shows when no list is in force.
inline constexpr std::u16string_view kDefaultPricesName = u"默认三档单价";

// A text as a key compares: without the blanks around it.
std::u16string keyText(std::u16string_view text);

// The list that prices a tally: the one for the species and one of the parties, else the one
// for the species alone; nullptr when neither exists (the three grade prices serve).
const PriceList* chooseList(std::span<const PriceList> lists, ListKind kind,
                            std::u16string_view species, std::span<const std::u16string> parties);

// Why the lists cannot be saved, a sentence naming the list and the row; empty when they can.
std::u16string problemOf(std::span<const PriceList> lists);

// One entry of a tally: its band key (diameter class or thickness), length, pieces and volume
// as the window shows it.
struct Entry {
    double band = 0;
    double length = 0;
    double pieces = 0;
    double volume = 0;
};

// The pieces, volume, price and amount of one cell of the list that has pieces.
struct BandLine {
    std::size_t row = 0, column = 0;
    double pieces = 0;
    double volume = 0;
    double price = 0;
    PriceUnit unit = PriceUnit::PerCubicMetre;
    double amount = 0; // to the fen
};

struct FeeLine {
    std::u16string name;
    double amount = 0; // to the fen
};

// An entry the list has no price for, by its band key and length.
struct Unpriced {
    double band = 0;
    double length = 0;
    friend bool operator==(const Unpriced&, const Unpriced&) = default;
};

struct Priced {
    std::vector<BandLine> lines; // in the list's order, rows then columns
    std::vector<FeeLine> fees;
    std::vector<Unpriced> unpriced;
    double pieces = 0;
    double volume = 0;
    double amount = 0; // the lines and the fees, to the fen
};

// The list's fees on a whole tally of pieces and volume, each to the fen; none without pieces.
std::vector<FeeLine> feesOn(const PriceList& list, double pieces, double volume);

// The cell (row by row) a size falls in; nullopt when no band holds it or its cell has no price.
std::optional<std::size_t> cellFor(const PriceList& list, double band, double length);

// A tally priced by a list: each entry by the cell it falls in, then the fees.
Priced price(const PriceList& list, std::span<const Entry> entries);

// The line a calculator shows for what could not be priced; empty when all was.
std::u16string unpricedLine(const PriceList& list, const std::vector<Unpriced>& unpriced);

} // namespace logora::prices
