// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/sqlite/SqliteLedger.hpp"

#include "ledger/RecordText.hpp"
#include "prices/PriceListText.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"
#include "ui/Folders.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <system_error>

namespace logora::ledger {

namespace fs = std::filesystem;

const char* const kSchemaVersion1 = R"(
CREATE TABLE bills(
    number TEXT PRIMARY KEY, day TEXT NOT NULL, seq INTEGER NOT NULL, time TEXT NOT NULL,
    calculator INTEGER NOT NULL, sheet TEXT NOT NULL, headers TEXT NOT NULL,
    pieces INTEGER NOT NULL, volume INTEGER NOT NULL, amount INTEGER NOT NULL,
    workbook TEXT NOT NULL, pdf TEXT NOT NULL);
CREATE TABLE lines(
    number TEXT NOT NULL, position INTEGER NOT NULL, length TEXT NOT NULL,
    diameter TEXT NOT NULL, width TEXT NOT NULL, thickness TEXT NOT NULL, pieces TEXT NOT NULL,
    volume TEXT NOT NULL, price TEXT NOT NULL, amount TEXT NOT NULL,
    PRIMARY KEY(number, position));
CREATE TABLE classes(
    number TEXT NOT NULL, position INTEGER NOT NULL, name TEXT NOT NULL, pieces TEXT NOT NULL,
    volume TEXT NOT NULL, price TEXT NOT NULL, amount TEXT NOT NULL,
    PRIMARY KEY(number, position));
CREATE TABLE reserved(number TEXT PRIMARY KEY, day TEXT NOT NULL, seq INTEGER NOT NULL);
PRAGMA user_version = 1;
)";

namespace {

// How long a call waits for another program's lock before it says so.
constexpr int kBusyMs = 5000;

// Each step brings a ledger of the version before it to its own.
const char* const kMigrations[] = {
    kSchemaVersion1,
    R"(
ALTER TABLE bills ADD COLUMN voided INTEGER NOT NULL DEFAULT 0;
ALTER TABLE bills ADD COLUMN void_reason TEXT NOT NULL DEFAULT '';
CREATE INDEX bills_by_day ON bills(day, seq);
PRAGMA user_version = 2;
)",
    R"(
ALTER TABLE bills ADD COLUMN price_list TEXT NOT NULL DEFAULT '';
CREATE TABLE price_lists(
    id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, species TEXT NOT NULL, party TEXT NOT NULL,
    body TEXT NOT NULL, since TEXT NOT NULL, until TEXT NOT NULL DEFAULT '');
CREATE INDEX price_lists_in_force ON price_lists(until);
PRAGMA user_version = 3;
)",
    R"(
CREATE TABLE settings(key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE outbox(
    id INTEGER PRIMARY KEY AUTOINCREMENT, number TEXT NOT NULL, void INTEGER NOT NULL,
    reason TEXT NOT NULL);
PRAGMA user_version = 4;
)",
    R"(
CREATE INDEX bills_figures ON bills(day, sheet, voided, pieces, volume, amount);
PRAGMA user_version = 5;
)",
};
static_assert(std::size(kMigrations) == kSchemaVersion);

std::string utf8(std::u16string_view text) {
    return text::toUtf8(text);
}

// A prepared statement, finalized however the call ends.
class Statement {
  public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql, -1, &s_, nullptr) != SQLITE_OK) {
            s_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(s_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool ok() const { return s_ != nullptr; }
    Statement& bind(int i, std::string_view t) {
        sqlite3_bind_text(s_, i, t.data(), static_cast<int>(t.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bind(int i, std::u16string_view t) { return bind(i, std::string_view(utf8(t))); }
    Statement& bind(int i, long long v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return s_ != nullptr ? sqlite3_step(s_) : sqlite3_errcode(db_); }
    std::string text(int i) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s_, i));
        return t != nullptr ? std::string(t, sqlite3_column_bytes(s_, i)) : std::string();
    }
    std::u16string wide(int i) const { return text::fromUtf8(view(i)); }
    std::string_view view(int i) const {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(s_, i));
        return t != nullptr
                   ? std::string_view(t, static_cast<std::size_t>(sqlite3_column_bytes(s_, i)))
                   : std::string_view();
    }
    long long integer(int i) const { return sqlite3_column_int64(s_, i); }
    // Ready for the next row's values.
    void reset() {
        sqlite3_reset(s_);
        sqlite3_clear_bindings(s_);
    }

  private:
    sqlite3* db_;
    sqlite3_stmt* s_ = nullptr;
};

std::u16string reasonOf(int code) {
    switch (code & 0xff) {
    case SQLITE_FULL:
        return u"磁盘已满";
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
    case SQLITE_AUTH:
        return u"文件夹或文件是只读的，或者不允许写入";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return u"另一个 Logora 正在长时间占用它";
    case SQLITE_IOERR:
        return u"读写磁盘时出错";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return u"文件已经损坏";
    default:
        return u"数据库出错";
    }
}

bool damaged(int code) {
    return (code & 0xff) == SQLITE_CORRUPT || (code & 0xff) == SQLITE_NOTADB;
}

} // namespace

SqliteLedger::SqliteLedger(fs::path file) : file_(std::move(file)) {}

SqliteLedger::~SqliteLedger() {
    close();
}

void SqliteLedger::close() {
    sqlite3_close_v2(db_);
    db_ = nullptr;
}

void SqliteLedger::fail(std::u16string message) const {
    const int code = db_ != nullptr ? sqlite3_extended_errcode(db_) : SQLITE_CANTOPEN;
    std::u16string detail = db_ != nullptr ? text::fromUtf8(sqlite3_errmsg(db_)) : u"";
    throw LedgerError(
        message + u"账单记录 " + text::pathText(file_) + u" " + reasonOf(code) + u"。", detail);
}

void SqliteLedger::exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        sqlite3_free(error);
        fail({});
    }
}

void SqliteLedger::switchToWal() {
    // Leaving the rollback journal needs the file to itself, and SQLite says busy at once,
    // without its busy handler, while a second program opening a new ledger holds it for a
    // moment; so wait here, as long as for any other lock.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyMs);
    while (sqlite3_exec(db_, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr) != SQLITE_OK) {
        if (sqlite3_errcode(db_) != SQLITE_BUSY || std::chrono::steady_clock::now() > until) {
            fail({});
        }
        sqlite3_sleep(5);
    }
}

int SqliteLedger::schemaVersion() {
    open();
    Statement s(db_, "PRAGMA user_version");
    return s.step() == SQLITE_ROW ? static_cast<int>(s.integer(0)) : -1;
}

namespace {

// What a file that is not a ledger of this program is: damaged, of a newer program, or fine.
enum class Readable { Yes, Damaged, Newer };

Readable readable(sqlite3* db) {
    Statement s(db, "SELECT count(*) FROM sqlite_master");
    const int got = s.step();
    if (got != SQLITE_ROW) {
        return damaged(sqlite3_extended_errcode(db)) ? Readable::Damaged : Readable::Yes;
    }
    Statement v(db, "PRAGMA user_version");
    if (v.step() == SQLITE_ROW && v.integer(0) > kSchemaVersion) {
        return Readable::Newer;
    }
    return Readable::Yes;
}

} // namespace

namespace {

// The headers' column read in place, as stored: rows of caption US text RS, escaped.
// Calls each header's caption and text, unescaped, until it returns true.
template <typename Each> void eachHeader(std::string_view in, Each each) {
    std::string caption, text;
    std::string* into = &caption;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '\\' && i + 1 < in.size()) {
            const char e = in[++i];
            into->push_back(e == 'r' ? '\x1e' : (e == 'u' ? '\x1f' : e));
        } else if (c == '\x1f') {
            into = &text;
        } else if (c == '\x1e') {
            if (each(caption, text)) {
                return;
            }
            caption.clear();
            text.clear();
            into = &caption;
        } else {
            into->push_back(c);
        }
    }
}

std::string_view argText(sqlite3_value* v) {
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return t != nullptr ? std::string_view(t, static_cast<std::size_t>(sqlite3_value_bytes(v)))
                        : std::string_view();
}

// logora_has_text(headers, text): a header's text holds it (UTF-8 bytes hold the same
// characters in the same order).
void hasText(sqlite3_context* context, int, sqlite3_value** v) {
    const std::string_view wanted = argText(v[1]);
    bool found = false;
    eachHeader(argText(v[0]), [&](const std::string&, const std::string& text) {
        found = text.find(wanted) != std::string::npos;
        return found;
    });
    sqlite3_result_int(context, found ? 1 : 0);
}

// logora_header(headers, caption): the text of the first header under the caption, or ''.
void headerText(sqlite3_context* context, int, sqlite3_value** v) {
    const std::string_view caption = argText(v[1]);
    std::string out;
    eachHeader(argText(v[0]), [&](const std::string& c, const std::string& text) {
        if (c == caption) {
            out = text;
            return true;
        }
        return false;
    });
    sqlite3_result_text(context, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

void registerFunctions(sqlite3* db) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "logora_has_text", 2, flags, nullptr, hasText, nullptr, nullptr,
                               nullptr);
    sqlite3_create_function_v2(db, "logora_header", 2, flags, nullptr, headerText, nullptr, nullptr,
                               nullptr);
}

} // namespace

void SqliteLedger::open() {
    if (db_ != nullptr) {
        return;
    }
    std::error_code ec;
    fs::create_directories(file_.parent_path(), ec);
    for (int tries = 0; tries < 2; ++tries) {
        const int opened = sqlite3_open_v2(utf8(text::pathText(file_)).c_str(), &db_,
                                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (opened != SQLITE_OK) {
            std::u16string detail = db_ != nullptr ? text::fromUtf8(sqlite3_errmsg(db_)) : u"";
            close();
            throw LedgerError(u"账单记录 " + text::pathText(file_) + u" 无法打开：" +
                                  reasonOf(opened) + u"。",
                              detail);
        }
        sqlite3_busy_timeout(db_, kBusyMs);
        const Readable state = readable(db_);
        if (state == Readable::Yes) {
            break;
        }
        close();
        if (tries == 1) {
            throw LedgerError(u"账单记录 " + text::pathText(file_) + u" 无法打开。", {});
        }
        keepAside(state == Readable::Newer);
    }
    registerFunctions(db_);
    try {
        // WAL lets a second program read and record while this one holds the file open.
        switchToWal();
        exec("PRAGMA synchronous = FULL");
        migrate();
    } catch (const LedgerError&) {
        close();
        throw;
    }
}

void SqliteLedger::keepAside(bool newer) {
    const std::u16string stem = u"ledger 损坏 " + text::fromUtf8(ui::fileStamp());
    std::error_code ec;
    for (int n = 1; n < 100; ++n) {
        const fs::path aside =
            file_.parent_path() /
            text::textPath(stem + (n == 1 ? u"" : u" (" + text::intText(n) + u")") + u".sqlite");
        if (fs::exists(fs::symlink_status(aside, ec))) {
            continue;
        }
        fs::rename(file_, aside, ec);
        if (ec) {
            break;
        }
        // Its journal belongs to it; the shared-memory index is only a cache.
        fs::rename(fs::path(file_) += "-wal", fs::path(aside) += "-wal", ec);
        fs::remove(fs::path(file_) += "-shm", ec);
        notice_ = (newer ? u"账单记录 " + text::pathText(file_) +
                               u" 是更新版本的 Logora 写的，这个版本读不了它。"
                         : u"账单记录 " + text::pathText(file_) + u" 已经损坏，读不出来。") +
                  u"它已改名保留为 " + text::pathText(aside) +
                  u"，从这次起记在新的账单记录里。以前的账单仍在账单存档文件夹里。";
        return;
    }
    throw LedgerError(u"账单记录 " + text::pathText(file_) +
                          u" 已经损坏，又无法改名保留，这次没有记下。请让它所在的文件夹可写。",
                      text::fromUtf8(ec.message()));
}

void SqliteLedger::migrate() {
    exec("BEGIN IMMEDIATE");
    try {
        for (int version = schemaVersion(); version < kSchemaVersion; ++version) {
            exec(kMigrations[version]);
        }
        exec("COMMIT");
    } catch (const LedgerError&) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

std::optional<std::u16string> SqliteLedger::takeNotice() {
    std::optional<std::u16string> n = std::move(notice_);
    notice_.reset();
    return n;
}

namespace {

// One transaction: committed when done() is called, rolled back otherwise.
class Transaction {
  public:
    explicit Transaction(sqlite3* db) : db_(db) {
        ok_ = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~Transaction() {
        if (open_) {
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool begun() {
        open_ = ok_;
        return ok_;
    }
    bool commit() {
        if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
        open_ = false;
        return true;
    }

  private:
    sqlite3* db_;
    bool ok_ = false;
    bool open_ = false;
};

} // namespace

std::string SqliteLedger::reserveNumber(std::string_view day) {
    open();
    const std::u16string why = u"单号没有取到：";
    Transaction t(db_);
    if (!t.begun()) {
        fail(why);
    }
    Statement next(db_, "SELECT max(seq) FROM (SELECT seq FROM bills WHERE day = ?1 "
                        "UNION ALL SELECT seq FROM reserved WHERE day = ?1)");
    next.bind(1, day);
    if (next.step() != SQLITE_ROW) {
        fail(why);
    }
    const std::string number = billNumber(day, static_cast<int>(next.integer(0)) + 1, station_);
    Statement hold(db_, "INSERT INTO reserved(number, day, seq) VALUES (?, ?, ?)");
    hold.bind(1, number).bind(2, day).bind(3, next.integer(0) + 1);
    if (hold.step() != SQLITE_DONE || !t.commit()) {
        fail(why);
    }
    return number;
}

void SqliteLedger::release(std::string_view number) {
    open();
    Statement s(db_, "DELETE FROM reserved WHERE number = ?");
    s.bind(1, number);
    if (s.step() != SQLITE_DONE) {
        fail({});
    }
}

void SqliteLedger::record(const BillRecord& r) {
    open();
    const auto parsed = parseBillNumber(r.number);
    if (!parsed) {
        throw LedgerError(u"单号 " + text::fromUtf8(r.number) + u" 不是一个单号。", {});
    }
    const std::u16string why;
    Transaction t(db_);
    if (!t.begun()) {
        fail(why);
    }
    Statement bill(db_, "INSERT INTO bills(number, day, seq, time, calculator, sheet, headers, "
                        "pieces, volume, amount, workbook, pdf, price_list) "
                        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    bill.bind(1, r.number)
        .bind(2, parsed->day)
        .bind(3, static_cast<long long>(parsed->sequence))
        .bind(4, r.time)
        .bind(5, static_cast<long long>(r.calculator))
        .bind(6, r.sheet)
        .bind(7, encodeHeaders(r.headers))
        .bind(8, r.totals.pieces)
        .bind(9, r.totals.volume)
        .bind(10, r.totals.amount)
        .bind(11, text::pathText(r.workbook))
        .bind(12, text::pathText(r.pdf))
        .bind(13, r.priceList);
    if (bill.step() != SQLITE_DONE) {
        fail(why);
    }
    Statement line(db_, "INSERT INTO lines VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (std::size_t i = 0; i < r.lines.size(); ++i) {
        const Line& l = r.lines[i];
        line.bind(1, r.number).bind(2, static_cast<long long>(i));
        int k = 3;
        for (const std::u16string* t : {&l.length, &l.diameter, &l.width, &l.thickness, &l.pieces,
                                        &l.volume, &l.price, &l.amount}) {
            line.bind(k++, *t);
        }
        if (line.step() != SQLITE_DONE) {
            fail(why);
        }
        line.reset();
    }
    Statement cls(db_, "INSERT INTO classes VALUES (?, ?, ?, ?, ?, ?, ?)");
    for (std::size_t i = 0; i < r.classes.size(); ++i) {
        const PriceClass& c = r.classes[i];
        cls.bind(1, r.number)
            .bind(2, static_cast<long long>(i))
            .bind(3, c.name)
            .bind(4, c.pieces)
            .bind(5, c.volume)
            .bind(6, c.price)
            .bind(7, c.amount);
        if (cls.step() != SQLITE_DONE) {
            fail(why);
        }
        cls.reset();
    }
    if (inYard_) {
        queue(r.number, false, {});
    }
    Statement done(db_, "DELETE FROM reserved WHERE number = ?");
    done.bind(1, r.number);
    if (done.step() != SQLITE_DONE || !t.commit()) {
        fail(why);
    }
}

void SqliteLedger::queue(std::string_view number, bool voidMark, std::u16string_view reason) {
    Statement s(db_, "INSERT INTO outbox(number, void, reason) VALUES (?, ?, ?)");
    s.bind(1, number).bind(2, voidMark ? 1LL : 0LL).bind(3, reason);
    if (s.step() != SQLITE_DONE) {
        fail({});
    }
}

namespace {

constexpr const char* kBillColumns = "SELECT number, time, calculator, sheet, headers, pieces, "
                                     "volume, amount, workbook, pdf, voided, void_reason, "
                                     "price_list "
                                     "FROM bills ";

BillRecord billFrom(const Statement& s) {
    BillRecord r;
    r.number = s.text(0);
    r.time = s.text(1);
    r.calculator = static_cast<ui::Calculator>(s.integer(2));
    r.sheet = s.wide(3);
    r.headers = decodeHeaders(s.text(4));
    r.totals = {s.integer(5), s.integer(6), s.integer(7)};
    r.workbook = text::textPath(s.wide(8));
    r.pdf = text::textPath(s.wide(9));
    r.voided = s.integer(10) != 0;
    r.voidReason = s.wide(11);
    r.priceList = s.wide(12);
    return r;
}

} // namespace

namespace {

// A listed bill from the columns number, time, calculator, sheet, headers, pieces, volume,
// amount, voided and void_reason.
void listedFrom(const Statement& s, BillRecord& r) {
    r.number = s.text(0);
    r.time = s.text(1);
    r.calculator = static_cast<ui::Calculator>(s.integer(2));
    r.sheet = s.wide(3);
    r.headers = decodeHeaders(s.view(4));
    r.totals = {s.integer(5), s.integer(6), s.integer(7)};
    r.voided = s.integer(8) != 0;
    r.voidReason = s.wide(9);
}

} // namespace

std::vector<BillRecord> SqliteLedger::list() {
    open();
    // The table in its own order, sorted here: walking the day index would look every bill
    // up by its key, at ten years of bills most of the time of opening the window.
    Statement s(db_, "SELECT number, time, calculator, sheet, headers, pieces, volume, amount, "
                     "voided, void_reason, day, seq FROM bills");
    Statement count(db_, "SELECT count(*) FROM bills");
    std::vector<BillRecord> read;
    std::vector<std::pair<long long, std::size_t>> order; // day and sequence, as one number
    if (count.step() == SQLITE_ROW) {
        read.reserve(static_cast<std::size_t>(count.integer(0)));
        order.reserve(read.capacity());
    }
    int got = 0;
    while ((got = s.step()) == SQLITE_ROW) {
        listedFrom(s, read.emplace_back());
        long long day = 0;
        for (const char c : s.view(10)) {
            day = day * 10 + (c - '0');
        }
        order.push_back({day * 1'000'000 + s.integer(11), read.size() - 1});
    }
    if (got != SQLITE_DONE) {
        fail(u"账单记录读不出来：");
    }
    std::sort(order.begin(), order.end(),
              [](const auto& a, const auto& b) { return a.first > b.first; }); // newest first
    std::vector<BillRecord> out;
    out.reserve(read.size());
    for (const auto& o : order) {
        out.push_back(std::move(read[o.second]));
    }
    return out;
}

namespace {

// A filter as a WHERE clause and its values, in order. Dates go by the day column, which the
// day index serves.
struct Where {
    std::string sql = " WHERE 1";
    std::vector<std::string> values;
};

std::string dayOf(const std::string& date) {
    std::string d;
    for (const char c : date) {
        if (c != '-') {
            d.push_back(c);
        }
    }
    return d;
}

Where whereOf(const Filter& f) {
    Where w;
    if (!f.from.empty()) {
        w.sql += " AND day >= ?";
        w.values.push_back(dayOf(f.from));
    }
    if (!f.to.empty()) {
        w.sql += " AND day <= ?";
        w.values.push_back(dayOf(f.to));
    }
    if (!f.sheet.empty()) {
        w.sql += " AND sheet = ?";
        w.values.push_back(utf8(f.sheet));
    }
    if (!f.text.empty()) {
        w.sql += " AND (instr(number, ?) > 0 OR logora_has_text(headers, ?))";
        w.values.push_back(utf8(f.text));
        w.values.push_back(utf8(f.text));
    }
    return w;
}

void bindAll(Statement& s, const std::vector<std::string>& values, int first = 1) {
    for (const std::string& v : values) {
        s.bind(first++, std::string_view(v));
    }
}

constexpr const char* kFigures = "ifnull(sum(voided = 0), 0), "
                                 "ifnull(sum(CASE WHEN voided = 0 THEN pieces END), 0), "
                                 "ifnull(sum(CASE WHEN voided = 0 THEN volume END), 0), "
                                 "ifnull(sum(CASE WHEN voided = 0 THEN amount END), 0)";

Totals totalsFrom(const Statement& s, int first) {
    return {static_cast<int>(s.integer(first)),
            {s.integer(first + 1), s.integer(first + 2), s.integer(first + 3)}};
}

} // namespace

Listing SqliteLedger::listing(const Filter& f) {
    open();
    const Where w = whereOf(f);
    Statement s(db_, (std::string("SELECT count(*), ") + kFigures + " FROM bills" + w.sql).c_str());
    bindAll(s, w.values);
    if (s.step() != SQLITE_ROW) {
        fail(u"账单记录读不出来：");
    }
    return {s.integer(0), totalsFrom(s, 1)};
}

std::vector<Group> SqliteLedger::groups(const Filter& f, Grouping by, std::u16string_view caption) {
    open();
    const Where w = whereOf(f);
    const char* key = by == Grouping::Day     ? "substr(time, 1, 10)"
                      : by == Grouping::Month ? "substr(time, 1, 7)"
                                              : "logora_header(headers, ?)";
    const std::string sql = std::string("SELECT ") + key + " AS k, " + kFigures + " FROM bills" +
                            w.sql + " GROUP BY k ORDER BY k" +
                            (by == Grouping::Caption ? "" : " DESC");
    Statement s(db_, sql.c_str());
    int first = 1;
    if (by == Grouping::Caption) {
        s.bind(first++, caption);
    }
    bindAll(s, w.values, first);
    std::vector<Group> out;
    int got = 0;
    while ((got = s.step()) == SQLITE_ROW) {
        out.push_back({s.wide(0), totalsFrom(s, 1)});
    }
    if (got != SQLITE_DONE) {
        fail(u"账单记录读不出来：");
    }
    return out;
}

std::vector<BillRecord> SqliteLedger::page(const Filter& f, long long offset, long long limit) {
    open();
    const Where w = whereOf(f);
    Statement s(db_, ("SELECT number, time, calculator, sheet, headers, pieces, volume, amount, "
                      "voided, void_reason FROM bills" +
                      w.sql + " ORDER BY day DESC, seq DESC LIMIT ? OFFSET ?")
                         .c_str());
    bindAll(s, w.values);
    const int n = static_cast<int>(w.values.size());
    s.bind(n + 1, limit).bind(n + 2, offset);
    std::vector<BillRecord> out;
    int got = 0;
    while ((got = s.step()) == SQLITE_ROW) {
        listedFrom(s, out.emplace_back());
    }
    if (got != SQLITE_DONE) {
        fail(u"账单记录读不出来：");
    }
    return out;
}

std::vector<std::u16string> SqliteLedger::captions() {
    // The newest thousand bills say which captions are in use.
    std::vector<BillRecord> newest = page({}, 0, 1000);
    return captionsOf(newest);
}

std::optional<BillRecord> SqliteLedger::load(std::string_view number) {
    open();
    const std::u16string why = u"账单记录读不出来：";
    Statement s(db_, (std::string(kBillColumns) + "WHERE number = ?").c_str());
    s.bind(1, number);
    const int got = s.step();
    if (got == SQLITE_DONE) {
        return std::nullopt;
    }
    if (got != SQLITE_ROW) {
        fail(why);
    }
    BillRecord r = billFrom(s);
    Statement lines(db_, "SELECT length, diameter, width, thickness, pieces, volume, price, "
                         "amount FROM lines WHERE number = ? ORDER BY position");
    lines.bind(1, number);
    while (lines.step() == SQLITE_ROW) {
        r.lines.push_back({lines.wide(0), lines.wide(1), lines.wide(2), lines.wide(3),
                           lines.wide(4), lines.wide(5), lines.wide(6), lines.wide(7)});
    }
    Statement classes(db_, "SELECT name, pieces, volume, price, amount FROM classes "
                           "WHERE number = ? ORDER BY position");
    classes.bind(1, number);
    while (classes.step() == SQLITE_ROW) {
        r.classes.push_back(
            {classes.wide(0), classes.wide(1), classes.wide(2), classes.wide(3), classes.wide(4)});
    }
    return r;
}

void SqliteLedger::markVoid(std::string_view number, std::u16string_view reason) {
    open();
    Transaction t(db_);
    if (!t.begun()) {
        fail(u"作废没有记下：");
    }
    // Only the mark changes: the figures of a bill stay as they were exported.
    Statement s(db_, "UPDATE bills SET voided = 1, void_reason = ? WHERE number = ?");
    s.bind(1, reason).bind(2, number);
    if (s.step() != SQLITE_DONE) {
        fail(u"作废没有记下：");
    }
    // In a yard the bill may be another desk's: the mark goes to the yard all the same.
    if (sqlite3_changes(db_) == 0 && !inYard_) {
        throw LedgerError(u"账单记录里没有单号 " + text::fromUtf8(number) + u"。", {});
    }
    if (inYard_) {
        queue(number, true, reason);
    }
    if (!t.commit()) {
        fail(u"作废没有记下：");
    }
}

std::optional<std::string> SqliteLedger::setting(std::string_view key) {
    open();
    Statement s(db_, "SELECT value FROM settings WHERE key = ?");
    s.bind(1, key);
    const int got = s.step();
    if (got == SQLITE_ROW) {
        return s.text(0);
    }
    if (got != SQLITE_DONE) {
        fail(u"账单记录读不出来：");
    }
    return std::nullopt;
}

void SqliteLedger::setSetting(std::string_view key, std::optional<std::string_view> value) {
    open();
    Statement s(db_, value ? "INSERT OR REPLACE INTO settings(key, value) VALUES (?, ?)"
                           : "DELETE FROM settings WHERE key = ?");
    s.bind(1, key);
    if (value) {
        s.bind(2, *value);
    }
    if (s.step() != SQLITE_DONE) {
        fail(u"设置没有保存：");
    }
}

std::vector<Waiting> SqliteLedger::waiting(std::size_t most) {
    open();
    Statement s(db_, "SELECT id, number, void, reason FROM outbox ORDER BY id LIMIT ?");
    s.bind(1, static_cast<long long>(most));
    std::vector<Waiting> out;
    int got = 0;
    while ((got = s.step()) == SQLITE_ROW) {
        out.push_back({s.integer(0), s.text(1), s.integer(2) != 0, s.wide(3)});
    }
    if (got != SQLITE_DONE) {
        fail(u"待上传的账单读不出来：");
    }
    return out;
}

void SqliteLedger::delivered(long long id) {
    open();
    Statement s(db_, "DELETE FROM outbox WHERE id = ?");
    s.bind(1, id);
    if (s.step() != SQLITE_DONE) {
        fail({});
    }
}

long long SqliteLedger::waitingCount() {
    open();
    Statement s(db_, "SELECT count(*) FROM outbox WHERE void = 0");
    if (s.step() != SQLITE_ROW) {
        fail(u"待上传的账单读不出来：");
    }
    return s.integer(0);
}

void SqliteLedger::conflicted(std::string_view number) {
    std::vector<std::string> known = conflicts();
    if (std::find(known.begin(), known.end(), number) == known.end()) {
        setSetting("yard.conflicts",
                   setting("yard.conflicts").value_or("") + std::string(number) + " ");
    }
}

std::vector<std::string> SqliteLedger::conflicts() {
    std::vector<std::string> out;
    const std::string all = setting("yard.conflicts").value_or("");
    for (std::size_t at = 0; at < all.size();) {
        const std::size_t space = all.find(' ', at);
        const std::size_t end = space == std::string::npos ? all.size() : space;
        if (end > at) {
            out.push_back(all.substr(at, end - at));
        }
        at = end + 1;
    }
    return out;
}

void SqliteLedger::numberAfter(std::string_view day, int sequence) {
    open();
    // Held like a number of an export under way, never released: max(seq) goes past it.
    Statement hold(db_, "INSERT OR IGNORE INTO reserved(number, day, seq) VALUES (?, ?, ?)");
    hold.bind(1, "yard:" + std::string(day) + ":" + std::to_string(sequence))
        .bind(2, day)
        .bind(3, static_cast<long long>(sequence));
    if (hold.step() != SQLITE_DONE) {
        fail(u"共享账本的单号没有记下：");
    }
}

std::string SqliteLedger::copiedInto() {
    return setting("yard.copied").value_or("");
}

void SqliteLedger::copyInto(std::string_view yard) {
    open();
    const std::u16string why = u"本机账单没有排进上传：";
    Transaction t(db_);
    if (!t.begun()) {
        fail(why);
    }
    // Oldest first, each bill before its void mark, nothing that already waits twice.
    exec("INSERT INTO outbox(number, void, reason) SELECT number, 0, '' FROM bills "
         "WHERE number NOT IN (SELECT number FROM outbox WHERE void = 0) ORDER BY day, seq");
    exec("INSERT INTO outbox(number, void, reason) SELECT number, 1, void_reason FROM bills "
         "WHERE voided = 1 AND number NOT IN (SELECT number FROM outbox WHERE void = 1) "
         "ORDER BY day, seq");
    Statement s(db_, "INSERT OR REPLACE INTO settings(key, value) VALUES ('yard.copied', ?)");
    s.bind(1, yard);
    if (s.step() != SQLITE_DONE || !t.commit()) {
        fail(why);
    }
}

namespace {

prices::PriceList listFrom(const Statement& s, int bodyColumn) {
    prices::ParsedLists parsed = prices::parseLists(s.wide(bodyColumn), u'\t');
    if (parsed.lists.size() != 1) {
        throw LedgerError(u"价格表读不出来：账单记录里的一张价格表已经损坏。", parsed.problem);
    }
    return std::move(parsed.lists.front());
}

} // namespace

std::vector<prices::PriceList> SqliteLedger::priceLists() {
    open();
    Statement s(db_, "SELECT body FROM price_lists WHERE until = '' ORDER BY id");
    std::vector<prices::PriceList> out;
    int got = 0;
    while ((got = s.step()) == SQLITE_ROW) {
        out.push_back(listFrom(s, 0));
    }
    if (got != SQLITE_DONE) {
        fail(u"价格表读不出来：");
    }
    return out;
}

void SqliteLedger::savePriceLists(const std::vector<prices::PriceList>& lists,
                                  std::string_view time) {
    open();
    const std::u16string why = u"价格表没有保存：";
    Transaction t(db_);
    if (!t.begun()) {
        fail(why);
    }
    // A list whose text is unchanged keeps its version; any other version in force ends now.
    Statement current(db_, "SELECT id, body FROM price_lists WHERE until = ''");
    std::vector<std::pair<long long, std::string>> inForce;
    int got = 0;
    while ((got = current.step()) == SQLITE_ROW) {
        inForce.push_back({current.integer(0), current.text(1)});
    }
    if (got != SQLITE_DONE) {
        fail(why);
    }
    Statement end(db_, "UPDATE price_lists SET until = ? WHERE id = ?");
    Statement add(db_, "INSERT INTO price_lists(kind, species, party, body, since) "
                       "VALUES (?, ?, ?, ?, ?)");
    std::vector<bool> stays(inForce.size(), false);
    for (const prices::PriceList& list : lists) {
        const std::string body = utf8(prices::listsText({list}, u'\t'));
        const auto same = std::find_if(inForce.begin(), inForce.end(),
                                       [&](const auto& v) { return v.second == body; });
        if (same != inForce.end() && !stays[static_cast<std::size_t>(same - inForce.begin())]) {
            stays[static_cast<std::size_t>(same - inForce.begin())] = true;
            continue;
        }
        add.bind(1, static_cast<long long>(list.kind))
            .bind(2, prices::keyText(list.species))
            .bind(3, prices::keyText(list.party))
            .bind(4, std::string_view(body))
            .bind(5, time);
        if (add.step() != SQLITE_DONE) {
            fail(why);
        }
        add.reset();
    }
    for (std::size_t i = 0; i < inForce.size(); ++i) {
        if (!stays[i]) {
            end.bind(1, time).bind(2, inForce[i].first);
            if (end.step() != SQLITE_DONE) {
                fail(why);
            }
            end.reset();
        }
    }
    if (!t.commit()) {
        fail(why);
    }
}

std::vector<ListVersion> SqliteLedger::priceListHistory() {
    open();
    Statement s(db_, "SELECT since, until, body FROM price_lists ORDER BY since, id");
    std::vector<ListVersion> out;
    int got = 0;
    while ((got = s.step()) == SQLITE_ROW) {
        out.push_back({listFrom(s, 2), s.text(0), s.text(1)});
    }
    if (got != SQLITE_DONE) {
        fail(u"价格表读不出来：");
    }
    return out;
}

} // namespace logora::ledger
