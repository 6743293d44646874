// SPDX-License-Identifier: GPL-3.0-or-later
// The bill ledger: one record of every export, numbered by its day, never changed after it is
// written but for a void mark; and what the ledger window asks of the records: filters,
// totals and grouped views. The database behind it is an adapter (LedgerStore).
#pragma once

#include "ui/Form.hpp"
#include "ui/Shell.hpp"

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace logora::ledger {

// The ledger's file in the bill folder, the same on every platform.
inline constexpr const char* kLedgerFile = "ledger.sqlite";

// A header field of the bill and the caption it stood under ("购货单位", "车号" …), as the
// user chose it.
struct Header {
    std::u16string caption;
    std::u16string text;
    friend bool operator==(const Header&, const Header&) = default;
};

// One tally line, each figure as the window showed it; a calculator leaves empty what it has
// not (the grid prices by class, the sawn window has width and thickness).
struct Line {
    std::u16string length, diameter, width, thickness, pieces, volume, price, amount;
    friend bool operator==(const Line&, const Line&) = default;
};

// A price class of the grid window: its pieces, volume, unit price and amount.
struct PriceClass {
    std::u16string name, pieces, volume, price, amount;
    friend bool operator==(const PriceClass&, const PriceClass&) = default;
};

// Exact totals: volume in 0.0001 m³, amount in fen (0.01 元), so that sums never drift.
struct Figures {
    long long pieces = 0;
    long long volume = 0;
    long long amount = 0;
    friend bool operator==(const Figures&, const Figures&) = default;
};

struct BillRecord {
    std::string number; // "20261209-001"
    std::string time;   // local: "2026-12-09 14:03:21"
    ui::Calculator calculator = ui::Calculator::Grid;
    std::u16string sheet; // 原木一, 原木二, 锯材账单
    std::vector<Header> headers;
    Figures totals;
    std::vector<Line> lines;
    std::vector<PriceClass> classes;
    std::u16string priceList;       // the price list's name; empty: the three grade prices
    std::filesystem::path workbook; // the archived copies
    std::filesystem::path pdf;
    bool voided = false;
    std::u16string voidReason;
    friend bool operator==(const BillRecord&, const BillRecord&) = default;

    // The text of the first header under caption, empty when there is none.
    std::u16string header(std::u16string_view caption) const;
    std::string day() const { return time.substr(0, 10); } // "2026-12-09"
};

// A record of the form's tally as the bill gets it, without number, time and paths.
BillRecord recordOf(ui::Calculator which, const ui::Form& form, std::u16string_view sheet);

// "20261209-007": the day's sequence, three digits at least; a desk of a yard puts its station
// between them, "20261209-A-007", so that two desks never give one number.
std::string billNumber(std::string_view day, int sequence, std::string_view station = {});
struct NumberParts {
    std::string day; // "20261209"
    std::string station;
    int sequence = 0;
    friend bool operator==(const NumberParts&, const NumberParts&) = default;
};
// A desk of a yard whose station the yard has not granted it numbers under the station with
// its own mark, "A.3F9C2A1B" (the first eight hexadecimal digits of its identity), so that its
// numbers clash with no other desk's: "20261209-A.3F9C2A1B-001".
std::string provisionalStation(std::string_view station, std::string_view desk);
// The parts of a number; nullopt for any other text.
std::optional<NumberParts> parseBillNumber(std::string_view number);

// A desk's station code as the yard knows it: one to four letters or digits, in capitals
// ("a" is "A"); nullopt for anything else.
std::optional<std::string> stationCode(std::u16string_view typed);

// A text scaled to an exact integer: "12.3456" with 4 places is 123456; rounded half away
// from zero beyond the places; anything not a number is 0.
long long scaled(std::u16string_view text, int places);
// The integer back as text with its places: 123456, 4 is "12.3456".
std::u16string unscaled(long long value, int places);

// Why the ledger could not do what was asked: message() is for the user, detail() the
// database's own words.
class LedgerError : public std::runtime_error {
  public:
    LedgerError(std::u16string message, std::u16string detail);
    const std::u16string& message() const { return message_; }
    const std::u16string& detail() const { return detail_; }
    // The message, and the database's words on a second line when there are any.
    std::u16string fullText() const {
        return detail_.empty() ? message_ : message_ + u"\n" + detail_;
    }

  private:
    std::u16string message_;
    std::u16string detail_;
};

// What the ledger window lists: dates inclusive ("2026-12-01"), empty for no bound; a text
// found in any header or the number; a sheet, empty for all.
struct Filter {
    std::string from, to;
    std::u16string text;
    std::u16string sheet;
    friend bool operator==(const Filter&, const Filter&) = default;
};
Filter todayFilter(std::string_view today);     // "2026-12-09"
Filter thisMonthFilter(std::string_view today); // 2026-12-01 .. 2026-12-31

std::vector<const BillRecord*> filtered(const std::vector<BillRecord>& records,
                                        const Filter& filter);

// A void bill is listed but leaves every total.
struct Totals {
    int count = 0;
    Figures figures;
    friend bool operator==(const Totals&, const Totals&) = default;
};
// The bills under a filter, void ones included, and their totals: one question, one scan.
struct Listing {
    long long bills = 0;
    Totals totals;
    friend bool operator==(const Listing&, const Listing&) = default;
};
Totals totalsOf(const std::vector<const BillRecord*>& records);

enum class Grouping { Day, Month, Caption };
struct Group {
    std::u16string key; // "2026-12-09", "2026-12", or the caption's text ("" for none)
    Totals totals;
};
// Groups in the order of their keys, newest day or month first; by caption, by text.
std::vector<Group> grouped(const std::vector<const BillRecord*>& records, Grouping by,
                           std::u16string_view caption = {});

// The captions the party grouping offers, in the order they are met in the records.
std::vector<std::u16string> captionsOf(const std::vector<BillRecord>& records);

// Where records are kept. Every call throws LedgerError when it fails.
class LedgerStore {
  public:
    virtual ~LedgerStore() = default;
    // The day's next number ("YYYYMMDD"), held for one export: two programs get two.
    virtual std::string reserveNumber(std::string_view day) = 0;
    // The export that held the number failed: the number may be given again.
    virtual void release(std::string_view number) = 0;
    // One record, in one transaction, under its reserved number.
    virtual void record(const BillRecord& record) = 0;
    // Every record without its lines, classes and the paths of its copies, newest first.
    virtual std::vector<BillRecord> list() = 0;
    // One record whole.
    virtual std::optional<BillRecord> load(std::string_view number) = 0;
    virtual void markVoid(std::string_view number, std::u16string_view reason) = 0;
    // Said once after opening: a damaged database kept aside and a new one started.
    virtual std::optional<std::u16string> takeNotice() { return std::nullopt; }
    // A line the ledger window shows under its list while it holds (the yard not answering).
    virtual std::u16string stateLine() { return {}; }

    // What the ledger window asks, so that a database of ten years answers it without the
    // window reading every bill: under a filter, the bills listed with their totals, the
    // groups, and a page of bills newest first, without lines, classes and paths.
    // Called as the window (re)reads: where the bills are to be read from is settled here.
    virtual void beginReading() {}
    virtual Listing listing(const Filter& filter) = 0;
    virtual std::vector<Group> groups(const Filter& filter, Grouping by,
                                      std::u16string_view caption) = 0;
    virtual std::vector<BillRecord> page(const Filter& filter, long long offset,
                                         long long limit) = 0;
    // The captions of the newest bills, for the party groupings.
    virtual std::vector<std::u16string> captions() = 0;
};

// The ledger list's columns and one row's texts.
inline constexpr std::u16string_view kColumns[] = {
    u"单号", u"时间", u"账单",         u"购货单位", u"出货单位", u"车号",
    u"树种", u"件数", u"材积(立方米)", u"金额(元)", u"状态"};
std::vector<std::u16string> rowTexts(const BillRecord& record);
inline constexpr std::u16string_view kGroupColumns[] = {u"分组", u"张数", u"件数", u"材积(立方米)",
                                                        u"金额(元)"};
std::vector<std::u16string> groupTexts(const Group& group);
// "合计：12 张  345 件  67.8900 立方米  12345.00 元"
std::u16string totalsText(const Totals& totals);

} // namespace logora::ledger
