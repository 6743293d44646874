// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/pg/PgYard.hpp"

#include "ledger/RecordText.hpp"
#include "prices/PriceListText.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"

#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <initializer_list>

namespace logora::ledger {

namespace {

// A query's result, cleared however the call ends.
class Result {
  public:
    explicit Result(PGresult* r) : r_(r) {}
    ~Result() { PQclear(r_); }
    Result(const Result&) = delete;
    Result& operator=(const Result&) = delete;
    bool ok() const {
        const ExecStatusType s = PQresultStatus(r_);
        return s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK;
    }
    std::string state() const {
        const char* s = PQresultErrorField(r_, PG_DIAG_SQLSTATE);
        return s != nullptr ? s : "";
    }
    std::u16string error() const { return text::fromUtf8(PQresultErrorMessage(r_)); }
    int rows() const { return PQntuples(r_); }
    int changed() const { return std::atoi(PQcmdTuples(r_)); }
    std::string text(int row, int column) const {
        return {PQgetvalue(r_, row, column),
                static_cast<std::size_t>(PQgetlength(r_, row, column))};
    }
    std::string_view view(int row, int column) const {
        return {PQgetvalue(r_, row, column),
                static_cast<std::size_t>(PQgetlength(r_, row, column))};
    }
    std::u16string wide(int row, int column) const { return text::fromUtf8(view(row, column)); }
    long long integer(int row, int column) const {
        return std::strtoll(PQgetvalue(r_, row, column), nullptr, 10);
    }

  private:
    PGresult* r_;
};

// Every statement goes with its values apart from its text.
PGresult* run(PGconn* c, const char* sql, std::initializer_list<std::string> values) {
    std::vector<const char*> v;
    std::vector<int> lengths;
    for (const std::string& s : values) {
        v.push_back(s.c_str());
        lengths.push_back(static_cast<int>(s.size()));
    }
    return PQexecParams(c, sql, static_cast<int>(v.size()), nullptr, v.data(), lengths.data(),
                        nullptr, 0);
}

std::string utf8(std::u16string_view t) {
    return text::toUtf8(t);
}

std::string number(long long n) {
    return std::to_string(n);
}

// A value quoted for a keyword=value connection string.
std::string quoted(std::string_view value) {
    std::string out = "'";
    for (const char c : value) {
        if (c == '\'' || c == '\\') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out + "'";
}

constexpr const char* kListColumns = "number, time, calculator, sheet, headers, pieces, "
                                     "volume, amount, voided, void_reason";

BillRecord listed(const Result& r, int row) {
    BillRecord b;
    b.number = r.text(row, 0);
    b.time = r.text(row, 1);
    b.calculator = static_cast<ui::Calculator>(r.integer(row, 2));
    b.sheet = r.wide(row, 3);
    b.headers = decodeHeaders(r.view(row, 4));
    b.totals = {r.integer(row, 5), r.integer(row, 6), r.integer(row, 7)};
    b.voided = r.view(row, 8) == "t";
    b.voidReason = r.wide(row, 9);
    return b;
}

prices::PriceList listFrom(std::u16string body) {
    prices::ParsedLists parsed = prices::parseLists(body, u'\t');
    if (parsed.lists.size() != 1) {
        throw LedgerError(u"价格表读不出来：共享账本里的一张价格表已经损坏。", parsed.problem);
    }
    return std::move(parsed.lists.front());
}

} // namespace

std::string conninfoOf(std::string_view host, int port, std::string_view database,
                       std::string_view user, std::string_view password) {
    return "host=" + quoted(host) + " port=" + std::to_string(port) +
           " dbname=" + quoted(database) + " user=" + quoted(user) +
           (password.empty() ? "" : " password=" + quoted(password));
}

PgYard::PgYard(std::string conninfo, std::string station, std::string desk, bool strict)
    : conninfo_(std::move(conninfo)), station_(std::move(station)), desk_(std::move(desk)),
      strict_(strict) {}

PgYard::~PgYard() {
    drop();
}

void PgYard::drop() {
    if (conn_ != nullptr) {
        PQfinish(conn_);
        conn_ = nullptr;
    }
}

PGconn* PgYard::connection() {
    if (conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK) {
        return conn_;
    }
    PGconn* c = connect();
    try {
        yard_ = check(c);
    } catch (const LedgerError&) {
        drop();
        throw;
    }
    return c;
}

std::string PgYard::identity() {
    connection();
    return yard_;
}

PGconn* PgYard::connect() {
    drop();
    // The given connection first; the bounds after it, so that no export waits long for a
    // server that is away. sslmode is libpq's own default, prefer, unless the address says.
    const char* keys[] = {"dbname",
                          "connect_timeout",
                          "tcp_user_timeout",
                          "keepalives_idle",
                          "keepalives_interval",
                          "keepalives_count",
                          "application_name",
                          "client_encoding",
                          "options",
                          nullptr};
    const char* values[] = {conninfo_.c_str(),
                            "2",
                            "2000",
                            "5",
                            "1",
                            "2",
                            "Logora",
                            "UTF8",
                            "-c statement_timeout=1000 -c lock_timeout=250",
                            nullptr};
    const auto began = std::chrono::steady_clock::now();
    conn_ = PQconnectdbParams(keys, values, 1);
    if (PQstatus(conn_) == CONNECTION_OK) {
        return conn_;
    }
    // An attempt that ran out its time met no server: asking again would double the wait.
    const bool timedOut =
        std::chrono::steady_clock::now() - began > std::chrono::milliseconds(1500);
    const std::u16string detail = text::fromUtf8(PQerrorMessage(conn_));
    const bool needsPassword = PQconnectionNeedsPassword(conn_) != 0;
    const std::string host = PQhost(conn_) != nullptr ? PQhost(conn_) : "";
    const std::string port = PQport(conn_) != nullptr ? PQport(conn_) : "";
    const std::string database = PQdb(conn_) != nullptr ? PQdb(conn_) : "";
    drop();
    const std::u16string where = text::fromUtf8(host + (port.empty() ? "" : ":" + port));
    // Told apart by what the server does, not by its words, which follow its language.
    const char* pingKeys[] = {"dbname", "connect_timeout", nullptr};
    const char* pingValues[] = {conninfo_.c_str(), "2", nullptr};
    if (timedOut || PQpingParams(pingKeys, pingValues, 1) == PQPING_NO_RESPONSE) {
        throw LedgerError(u"连不上共享账本的服务器 " + where +
                              u"：服务器没有开，或者网络不通，或者地址、端口填错了。",
                          detail);
    }
    if (needsPassword) {
        throw LedgerError(u"共享账本的服务器要密码：请在“共享账本”里填上密码。", detail);
    }
    // The same login into the server's own database tells a wrong password from a
    // database that is not there.
    const char* probeKeys[] = {"dbname", "connect_timeout", "dbname", nullptr};
    const std::string plain = "postgres";
    const char* probeValues[] = {conninfo_.c_str(), "2", plain.c_str(), nullptr};
    PGconn* probe = PQconnectdbParams(probeKeys, probeValues, 1);
    const bool loginWorks = PQstatus(probe) == CONNECTION_OK;
    PQfinish(probe);
    if (loginWorks) {
        throw LedgerError(u"服务器 " + where + u" 上没有数据库 " + text::fromUtf8(database) +
                              u"：请检查数据库的名字，或者请管理员先建好它。",
                          detail);
    }
    throw LedgerError(u"服务器 " + where +
                          u" 不让这个用户登录：用户名或密码不对，或者服务器没有允许这台电脑连接。",
                      detail);
}

namespace {

// A statement that failed: the connection gone, or the database said no.
[[noreturn]] void failed(PGconn* c, const Result& r, std::u16string_view what) {
    if (PQstatus(c) != CONNECTION_OK) {
        throw LedgerError(std::u16string(what) + u"和共享账本的连接断了。", r.error());
    }
    throw LedgerError(std::u16string(what) + u"共享账本没有接受。", r.error());
}

} // namespace

bool PgYard::encrypted() {
    return PQsslInUse(connection()) != 0;
}

StationState PgYard::grantOf(PGconn* c) {
    Result owner(run(c, "SELECT desk FROM stations WHERE code = $1", {station_}));
    if (!owner.ok() || owner.rows() != 1) {
        failed(c, owner, u"站号没有登记：");
    }
    StationState g;
    g.granted = owner.view(0, 0) == desk_;
    if (!g.granted) {
        const std::u16string code = text::fromUtf8(station_);
        Result handed(run(c,
                          "SELECT to_char(at, 'YYYY-MM-DD HH24:MI'), coalesce(address, '') "
                          "FROM station_handovers WHERE code = $1 AND from_desk = $2 "
                          "ORDER BY id DESC LIMIT 1",
                          {station_, desk_}));
        if (handed.ok() && handed.rows() == 1) {
            g.why = u"站号 " + code + u" 已经在 " + handed.wide(0, 0) + u" 由" +
                    (handed.view(0, 1).empty() ? u"另一台电脑"
                                               : u" " + handed.wide(0, 1) + u" 的电脑") +
                    u"接替了：这台电脑不能再用这个站号，账单先用带本机记号的单号，"
                    u"请在“共享账本”里给这台电脑换一个站号。";
        } else {
            g.why = u"站号 " + code +
                    u" 已经是这个场另一台电脑的了：每台电脑要用自己的站号，请换一个；"
                    u"这台电脑若是换下来的那台的替身，请在“共享账本”里按“接替站号”。"
                    u"在这之前账单先用带本机记号的单号，不会和别的电脑重复。";
        }
    }
    return g;
}

std::string PgYard::check(PGconn* c) {
    const std::string_view station = station_;
    const std::string_view desk = desk_;
    std::string yard;
    for (int tries = 0; tries < 2 && yard.empty(); ++tries) {
        Result version(PQexec(c, "SELECT version, yard FROM logora_schema"));
        long long older = 0;
        if (version.ok() && version.rows() == 1) {
            const long long v = version.integer(0, 0);
            if (v > kYardSchemaVersion) {
                throw LedgerError(u"共享账本是更新版本的 Logora 建的（第 " +
                                      text::intText(static_cast<int>(v)) +
                                      u" 版），这个版本用不了它：请先把本机的 Logora 升级。",
                                  {});
            }
            if (v == kYardSchemaVersion) {
                yard = version.text(0, 1);
                break;
            }
            older = v;
        } else if (version.state() != "42P01") {
            failed(c, version, u"共享账本读不出来：");
        } else {
            Result tables(PQexec(c, "SELECT count(*) FROM pg_catalog.pg_tables WHERE schemaname "
                                    "NOT IN ('pg_catalog', 'information_schema')"));
            if (!tables.ok()) {
                failed(c, tables, u"共享账本读不出来：");
            }
            if (tables.integer(0, 0) > 0) {
                throw LedgerError(
                    u"数据库 " + text::fromUtf8(PQdb(c)) +
                        u" 里已经有别的数据，不是 Logora 的共享账本：请换一个数据库。",
                    {});
            }
        }
        // An empty database, or one of an earlier version: the schema as shipped, which
        // brings an earlier one forward, in one transaction.
        Result made(PQexec(c, (std::string("BEGIN;\n") + kYardSchemaSql + "\nCOMMIT;").c_str()));
        if (!made.ok()) {
            Result(PQexec(c, "ROLLBACK"));
            if (made.state() == "42501" && older > 0) {
                throw LedgerError(u"共享账本还是第 " + text::intText(static_cast<int>(older)) +
                                      u" 版，这个用户又不能升级它：请数据库管理员执行 "
                                      u"logora-yard.sql，或者用数据库的所有者加入一次。",
                                  made.error());
            }
            if (made.state() == "42501") {
                throw LedgerError(u"共享账本还是空的，这个用户又不能在里面建表：请数据库管理员先"
                                  u"执行 logora-yard.sql，或者用数据库的所有者加入一次。",
                                  made.error());
            }
            failed(c, made, u"共享账本没有建成：");
        }
    }
    Result take(run(c,
                    "INSERT INTO stations(code, desk) VALUES ($1, $2) "
                    "ON CONFLICT (code) DO NOTHING",
                    {std::string(station), std::string(desk)}));
    if (!take.ok()) {
        failed(c, take, u"站号没有登记：");
    }
    grant_ = grantOf(c);
    if (!grant_.granted) {
        if (strict_) {
            throw LedgerError(grant_.why, {});
        }
    }
    return yard;
}

StationState PgYard::station(std::string_view day) {
    PGconn* c = connection();
    grant_ = grantOf(c); // handed over since this connection was made, perhaps
    StationState s = grant_;
    if (s.granted) {
        Result last(run(c,
                        "SELECT coalesce(max(seq), 0) FROM bills WHERE station = $1 AND day = $2",
                        {station_, std::string(day)}));
        if (!last.ok()) {
            failed(c, last, u"站号的单号读不出来：");
        }
        s.lastToday = static_cast<int>(last.integer(0, 0));
    }
    return s;
}

namespace {

constexpr const char* kLastBill =
    "SELECT number, time FROM bills WHERE station = $1 ORDER BY day DESC, seq DESC LIMIT 1";

} // namespace

std::u16string PgYard::holder() {
    PGconn* c = connection();
    if (grant_.granted) {
        return {};
    }
    const std::u16string code = text::fromUtf8(station_);
    Result who(run(c,
                   "SELECT to_char(joined, 'YYYY-MM-DD HH24:MI'), coalesce(address, '') "
                   "FROM stations WHERE code = $1",
                   {station_}));
    Result last(run(c, kLastBill, {station_}));
    if (!who.ok() || who.rows() != 1 || !last.ok()) {
        failed(c, !who.ok() ? who : last, u"站号读不出来：");
    }
    const std::u16string from =
        who.view(0, 1).empty() ? std::u16string() : u"从 " + who.wide(0, 1) + u" ";
    return u"站号 " + code + u" 现在是另一台电脑的（它 " + who.wide(0, 0) + u" " + from +
           u"领的这个站号），" +
           (last.rows() == 1 ? u"它在共享账本里的最后一张账单是 " + last.wide(0, 0) + u"（" +
                                   last.wide(0, 1) + u"）。"
                             : std::u16string(u"它在共享账本里还没有账单。")) +
           u"\n要让这台电脑接替站号 " + code +
           u" 吗？接替以后那台电脑不能再用这个站号，这台电脑的单号接着共享账本里的往下排。";
}

void PgYard::takeOver() {
    PGconn* c = connection();
    if (grant_.granted) {
        return;
    }
    const std::u16string why = u"站号没有接替：";
    Result begun(PQexec(c, "BEGIN"));
    if (!begun.ok()) {
        failed(c, begun, why);
    }
    auto step = [&](const char* sql, std::initializer_list<std::string> values) {
        Result r(run(c, sql, values));
        if (!r.ok()) {
            Result(PQexec(c, "ROLLBACK"));
            failed(c, r, why);
        }
        return r.changed();
    };
    // Kept with the desk it came from and the station's last bill, then the station moves.
    const int handed =
        step("INSERT INTO station_handovers(code, from_desk, to_desk, last_bill) "
             "SELECT code, desk, $2, coalesce((SELECT number FROM bills WHERE station = $1 "
             "ORDER BY day DESC, seq DESC LIMIT 1), '') FROM stations WHERE code = $1 FOR UPDATE",
             {station_, desk_});
    if (handed != 1) {
        // The yard's policy hides a station taken under another desk's login.
        Result(PQexec(c, "ROLLBACK"));
        throw LedgerError(u"站号没有接替：站号 " + text::fromUtf8(station_) +
                              u" 是用另一个用户名领的，这台电脑的用户名不能接替它；"
                              u"请用那台电脑的用户名，或者请管理员处理。",
                          {});
    }
    step("UPDATE stations SET desk = $2, role = current_user, address = "
         "host(inet_client_addr()) WHERE code = $1",
         {station_, desk_});
    step("COMMIT", {});
    grant_ = {true, {}, 0};
}

namespace {

// A bill's figures and texts as one text for the conflicts' table: FNV-1a, 64 bits.
std::string digestOf(const std::vector<std::string>& fields) {
    unsigned long long h = 14695981039346656037ULL;
    for (const std::string& f : fields) {
        for (const char c : f + '\x1e') {
            h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        }
    }
    static const char* hex = "0123456789abcdef";
    std::string out(16, '0');
    for (int i = 15; i >= 0; --i, h >>= 4) {
        out[static_cast<std::size_t>(i)] = hex[h & 15];
    }
    return out;
}

} // namespace

Put PgYard::put(const BillRecord& r) {
    const std::optional<NumberParts> parts = parseBillNumber(r.number);
    if (!parts) {
        throw LedgerError(u"单号 " + text::fromUtf8(r.number) + u" 不是一个单号。", {});
    }
    PGconn* c = connection();
    const std::string calculator = number(static_cast<long long>(r.calculator));
    const std::string headers = encodeHeaders(r.headers);
    const std::string lines = encodeLines(r.lines);
    const std::string classes = encodeClasses(r.classes);
    Result done(run(
        c,
        "INSERT INTO bills(number, day, station, seq, time, calculator, sheet, headers, pieces, "
        "volume, amount, lines, classes, workbook, pdf, price_list) VALUES ($1, $2, $3, $4, $5, "
        "$6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16) ON CONFLICT (number) DO NOTHING",
        {r.number, parts->day, parts->station, number(parts->sequence), r.time, calculator,
         utf8(r.sheet), headers, number(r.totals.pieces), number(r.totals.volume),
         number(r.totals.amount), lines, classes, utf8(text::pathText(r.workbook)),
         utf8(text::pathText(r.pdf)), utf8(r.priceList)}));
    if (!done.ok()) {
        failed(c, done, u"账单没有上传：");
    }
    if (done.changed() == 1) {
        return Put::Stored;
    }
    // The number was there: the same bill sent again, or another bill under it.
    const std::vector<std::string> mine = {r.time,
                                           calculator,
                                           utf8(r.sheet),
                                           headers,
                                           number(r.totals.pieces),
                                           number(r.totals.volume),
                                           number(r.totals.amount),
                                           lines,
                                           classes,
                                           utf8(r.priceList)};
    Result there(run(c,
                     "SELECT time, calculator::text, sheet, headers, pieces::text, volume::text, "
                     "amount::text, lines, classes, price_list FROM bills WHERE number = $1",
                     {r.number}));
    if (!there.ok() || there.rows() != 1) {
        failed(c, there, u"账单没有上传：");
    }
    bool same = true;
    for (int i = 0; i < 10 && same; ++i) {
        same = there.view(0, i) == mine[static_cast<std::size_t>(i)];
    }
    if (same) {
        return Put::Known;
    }
    Result kept(run(c,
                    "INSERT INTO bill_conflicts(number, station, time, calculator, sheet, headers, "
                    "pieces, volume, amount, lines, classes, workbook, pdf, price_list, digest) "
                    "VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14, $15) "
                    "ON CONFLICT (number, digest) DO NOTHING",
                    {r.number, parts->station, r.time, calculator, utf8(r.sheet), headers,
                     number(r.totals.pieces), number(r.totals.volume), number(r.totals.amount),
                     lines, classes, utf8(text::pathText(r.workbook)), utf8(text::pathText(r.pdf)),
                     utf8(r.priceList), digestOf(mine)}));
    if (!kept.ok()) {
        failed(c, kept, u"账单没有上传：");
    }
    return Put::Conflict;
}

void PgYard::putVoid(std::string_view n, std::u16string_view reason) {
    PGconn* c = connection();
    Result done(run(c,
                    "UPDATE bills SET voided = true, void_reason = $2 "
                    "WHERE number = $1 AND NOT voided",
                    {std::string(n), utf8(reason)}));
    if (!done.ok()) {
        failed(c, done, u"作废没有上传：");
    }
}

std::vector<BillRecord> PgYard::list() {
    PGconn* c = connection();
    Result all(PQexec(
        c, (std::string("SELECT ") + kListColumns + " FROM bills ORDER BY time DESC, number DESC")
               .c_str()));
    if (!all.ok()) {
        failed(c, all, u"账单记录读不出来：");
    }
    std::vector<BillRecord> out;
    out.reserve(static_cast<std::size_t>(all.rows()));
    for (int i = 0; i < all.rows(); ++i) {
        out.push_back(listed(all, i));
    }
    return out;
}

std::optional<BillRecord> PgYard::load(std::string_view n) {
    PGconn* c = connection();
    Result one(run(c,
                   (std::string("SELECT ") + kListColumns +
                    ", lines, classes, workbook, pdf, price_list FROM bills WHERE number = $1")
                       .c_str(),
                   {std::string(n)}));
    if (!one.ok()) {
        failed(c, one, u"账单记录读不出来：");
    }
    if (one.rows() == 0) {
        return std::nullopt;
    }
    BillRecord b = listed(one, 0);
    b.lines = decodeLines(one.view(0, 10));
    b.classes = decodeClasses(one.view(0, 11));
    b.workbook = text::textPath(one.wide(0, 12));
    b.pdf = text::textPath(one.wide(0, 13));
    b.priceList = one.wide(0, 14);
    return b;
}

namespace {

// A filter as a WHERE clause with its values as $n, numbered from first.
struct Where {
    std::string sql = " WHERE true";
    std::vector<std::string> values;
};

// The text of the header under a caption, read from the headers' column in the database.
std::string headerExpression(const std::string& parameter) {
    return "coalesce((SELECT split_part(h, chr(31), 2) FROM unnest(string_to_array(headers, "
           "chr(30))) AS h WHERE split_part(h, chr(31), 1) = " +
           parameter + " LIMIT 1), '')";
}

Where whereOf(const Filter& f, int first) {
    Where w;
    auto value = [&](std::string v) {
        w.values.push_back(std::move(v));
        return "$" + std::to_string(first + static_cast<int>(w.values.size()) - 1);
    };
    if (!f.from.empty()) {
        w.sql += " AND time >= " + value(f.from);
    }
    if (!f.to.empty()) {
        w.sql += " AND time < " + value(f.to + "~");
    }
    if (!f.sheet.empty()) {
        w.sql += " AND sheet = " + value(utf8(f.sheet));
    }
    if (!f.text.empty()) {
        // In a header's text, never in its caption; the whole column first, which rules out
        // most bills cheaply.
        const std::string t = value(utf8(f.text));
        w.sql += " AND (strpos(number, " + t + ") > 0 OR (strpos(headers, " + t +
                 ") > 0 AND EXISTS (SELECT 1 FROM unnest(string_to_array(headers, chr(30))) AS h "
                 "WHERE strpos(split_part(h, chr(31), 2), " +
                 t + ") > 0)))";
    }
    return w;
}

PGresult* runAll(PGconn* c, const std::string& sql, const std::vector<std::string>& values) {
    std::vector<const char*> v;
    std::vector<int> lengths;
    for (const std::string& s : values) {
        v.push_back(s.c_str());
        lengths.push_back(static_cast<int>(s.size()));
    }
    return PQexecParams(c, sql.c_str(), static_cast<int>(v.size()), nullptr, v.data(),
                        lengths.data(), nullptr, 0);
}

constexpr const char* kFigures = "count(*) FILTER (WHERE NOT voided), "
                                 "coalesce(sum(pieces) FILTER (WHERE NOT voided), 0), "
                                 "coalesce(sum(volume) FILTER (WHERE NOT voided), 0), "
                                 "coalesce(sum(amount) FILTER (WHERE NOT voided), 0)";

Totals totalsFrom(const Result& r, int row, int first) {
    return {static_cast<int>(r.integer(row, first)),
            {r.integer(row, first + 1), r.integer(row, first + 2), r.integer(row, first + 3)}};
}

} // namespace

Listing PgYard::listing(const Filter& f) {
    PGconn* c = connection();
    const Where w = whereOf(f, 1);
    Result r(
        runAll(c, std::string("SELECT count(*), ") + kFigures + " FROM bills" + w.sql, w.values));
    if (!r.ok()) {
        failed(c, r, u"账单记录读不出来：");
    }
    return {r.integer(0, 0), totalsFrom(r, 0, 1)};
}

std::vector<Group> PgYard::groups(const Filter& f, Grouping by, std::u16string_view caption) {
    PGconn* c = connection();
    const bool byCaption = by == Grouping::Caption;
    Where w = whereOf(f, byCaption ? 2 : 1);
    const std::string key = by == Grouping::Day     ? "substr(time, 1, 10)"
                            : by == Grouping::Month ? "substr(time, 1, 7)"
                                                    : headerExpression("$1");
    // Keys in the order of their bytes, as the program orders texts.
    const std::string sql = "SELECT (" + key + ") COLLATE \"C\" AS k, " + kFigures + " FROM bills" +
                            w.sql + " GROUP BY k ORDER BY k" + (byCaption ? "" : " DESC");
    if (byCaption) {
        w.values.insert(w.values.begin(), utf8(caption));
    }
    Result r(runAll(c, sql, w.values));
    if (!r.ok()) {
        failed(c, r, u"账单记录读不出来：");
    }
    std::vector<Group> out;
    for (int i = 0; i < r.rows(); ++i) {
        out.push_back({r.wide(i, 0), totalsFrom(r, i, 1)});
    }
    return out;
}

std::vector<BillRecord> PgYard::page(const Filter& f, long long offset, long long limit) {
    PGconn* c = connection();
    Where w = whereOf(f, 1);
    const int n = static_cast<int>(w.values.size());
    const std::string sql = std::string("SELECT ") + kListColumns + " FROM bills" + w.sql +
                            " ORDER BY time DESC, number DESC LIMIT $" + std::to_string(n + 1) +
                            " OFFSET $" + std::to_string(n + 2);
    w.values.push_back(std::to_string(limit));
    w.values.push_back(std::to_string(offset));
    Result r(runAll(c, sql, w.values));
    if (!r.ok()) {
        failed(c, r, u"账单记录读不出来：");
    }
    std::vector<BillRecord> out;
    out.reserve(static_cast<std::size_t>(r.rows()));
    for (int i = 0; i < r.rows(); ++i) {
        out.push_back(listed(r, i));
    }
    return out;
}

std::vector<prices::PriceList> PgYard::priceLists() {
    PGconn* c = connection();
    Result s(PQexec(c, "SELECT body FROM price_lists WHERE until = '' ORDER BY id"));
    if (!s.ok()) {
        failed(c, s, u"价格表读不出来：");
    }
    std::vector<prices::PriceList> out;
    for (int i = 0; i < s.rows(); ++i) {
        out.push_back(listFrom(s.wide(i, 0)));
    }
    return out;
}

void PgYard::savePriceLists(const std::vector<prices::PriceList>& lists, std::string_view time) {
    PGconn* c = connection();
    const std::u16string why = u"价格表没有保存：";
    Result begin(PQexec(c, "BEGIN"));
    if (!begin.ok()) {
        failed(c, begin, why);
    }
    struct Rollback {
        PGconn* c;
        bool open = true;
        ~Rollback() {
            if (open) {
                PQclear(PQexec(c, "ROLLBACK"));
            }
        }
    } rollback{c};
    // Two desks saving at once save one after the other.
    Result lock(PQexec(c, "SELECT pg_advisory_xact_lock(2708)"));
    if (!lock.ok()) {
        failed(c, lock, why);
    }
    Result current(PQexec(c, "SELECT id, body FROM price_lists WHERE until = ''"));
    if (!current.ok()) {
        failed(c, current, why);
    }
    std::vector<bool> stays(static_cast<std::size_t>(current.rows()), false);
    for (const prices::PriceList& list : lists) {
        const std::string body = utf8(prices::listsText({list}, u'\t'));
        bool same = false;
        for (int i = 0; i < current.rows() && !same; ++i) {
            if (!stays[static_cast<std::size_t>(i)] && current.view(i, 1) == body) {
                stays[static_cast<std::size_t>(i)] = same = true;
            }
        }
        if (same) {
            continue;
        }
        Result add(
            run(c,
                "INSERT INTO price_lists(kind, species, party, body, since) "
                "VALUES ($1, $2, $3, $4, $5)",
                {number(static_cast<long long>(list.kind)), utf8(prices::keyText(list.species)),
                 utf8(prices::keyText(list.party)), body, std::string(time)}));
        if (!add.ok()) {
            failed(c, add, why);
        }
    }
    for (int i = 0; i < current.rows(); ++i) {
        if (!stays[static_cast<std::size_t>(i)]) {
            Result end(run(c, "UPDATE price_lists SET until = $1 WHERE id = $2",
                           {std::string(time), current.text(i, 0)}));
            if (!end.ok()) {
                failed(c, end, why);
            }
        }
    }
    Result commit(PQexec(c, "COMMIT"));
    if (!commit.ok()) {
        failed(c, commit, why);
    }
    rollback.open = false;
}

std::vector<ListVersion> PgYard::priceListHistory() {
    PGconn* c = connection();
    Result s(PQexec(c, "SELECT since, until, body FROM price_lists ORDER BY since, id"));
    if (!s.ok()) {
        failed(c, s, u"价格表读不出来：");
    }
    std::vector<ListVersion> out;
    for (int i = 0; i < s.rows(); ++i) {
        out.push_back({listFrom(s.wide(i, 2)), s.text(i, 0), s.text(i, 1)});
    }
    return out;
}

} // namespace logora::ledger
