// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/pg/DeskLedger.hpp"

#include "ledger/pg/PgPass.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace logora::ledger {

namespace fs = std::filesystem;

namespace {

// An address for the status line, without a password it may hold.
std::u16string shownUrl(std::string url) {
    const std::size_t scheme = url.find("://");
    const std::size_t at = url.find('@');
    if (scheme != std::string::npos && at != std::string::npos && at > scheme) {
        const std::size_t colon = url.find(':', scheme + 3);
        if (colon != std::string::npos && colon < at) {
            url.erase(colon, at - colon);
        }
    }
    return text::fromUtf8(url);
}

std::u16string placeOf(const ReadSettings& s) {
    return text::fromUtf8(s.host + ":" + std::to_string(s.port) + "/" + s.database);
}

} // namespace

namespace {

// The worker's own: a second connection to the desk's file, and the yard's.
class DeskFar : public FarSide {
  public:
    DeskFar(const fs::path& file, std::string conninfo, const std::string& station,
            std::string desk)
        : sqlite_(file), pg_(std::move(conninfo), station, std::move(desk)),
          ledger_(sqlite_, sqlite_, sqlite_, pg_) {
        sqlite_.joinYard(true);
        sqlite_.numberAs(station);
    }
    YardLedger& ledger() override { return ledger_; }
    YardStore& yard() override { return pg_; }
    Outbox& outbox() override { return sqlite_; }

  private:
    SqliteLedger sqlite_;
    PgYard pg_;
    YardLedger ledger_;
};

} // namespace

DeskLedger::DeskLedger(fs::path file) : sqlite_(std::move(file)) {}

DeskLedger::~DeskLedger() {
    *alive_ = false;
    door_.reset();
    yard_.reset(); // its worker first, while the desk's file is open
}

void DeskLedger::configure() {
    if (configured_) {
        return;
    }
    configured_ = true;
    problem_.clear();
    if (setByEnvironment()) {
        const char* st = std::getenv("LOGORA_STATION");
        const std::optional<std::string> station =
            st != nullptr ? stationCode(text::fromUtf8(st)) : std::nullopt;
        if (!station) {
            problem_ = u"设了环境变量 LOGORA_LEDGER_URL，LOGORA_STATION 却不是一到四个字母或数字："
                       u"这台电脑先只把账单记在本机。";
            return;
        }
        const std::string url = std::getenv("LOGORA_LEDGER_URL");
        useYard(url, *station, shownUrl(url));
        return;
    }
    try {
        if (const std::optional<ReadSettings> s = saved()) {
            useYard(conninfoOf(s->host, s->port, s->database, s->user), s->station, placeOf(*s));
        }
    } catch (const LedgerError&) {
        // The desk's own ledger cannot be read: each of its calls says so in its turn.
        configured_ = false;
    }
}

std::optional<ReadSettings> DeskLedger::saved() {
    const std::optional<std::string> host = sqlite_.setting("yard.host");
    if (!host) {
        return std::nullopt;
    }
    ReadSettings s;
    s.host = *host;
    s.port = std::atoi(sqlite_.setting("yard.port").value_or("5432").c_str());
    s.database = sqlite_.setting("yard.database").value_or("logora");
    s.user = sqlite_.setting("yard.user").value_or("");
    s.station = sqlite_.setting("yard.station").value_or("");
    return s;
}

void DeskLedger::keep(const ReadSettings* s) {
    const std::string port = s != nullptr ? std::to_string(s->port) : std::string();
    const std::pair<const char*, const std::string*> fields[] = {
        {"yard.host", s != nullptr ? &s->host : nullptr},
        {"yard.port", s != nullptr ? &port : nullptr},
        {"yard.database", s != nullptr ? &s->database : nullptr},
        {"yard.user", s != nullptr ? &s->user : nullptr},
        {"yard.station", s != nullptr ? &s->station : nullptr}};
    for (const auto& [key, value] : fields) {
        sqlite_.setSetting(key, value != nullptr ? std::optional<std::string_view>(*value)
                                                 : std::nullopt);
    }
}

void DeskLedger::numberFor(bool granted) {
    sqlite_.numberAs(granted ? station_ : provisionalStation(station_, deskIdentity()));
}

void DeskLedger::useYard(std::string conninfo, std::string station, std::u16string where) {
    sqlite_.joinYard(true);
    station_ = station;
    conninfo_ = conninfo;
    // Granted when the yard last said so; a desk that sent its ledger before the yard kept
    // grants had its station, since the yard then refused a station held by another.
    bool granted = false;
    try {
        const std::optional<std::string> kept = sqlite_.setting("yard.granted");
        granted = kept ? *kept == station_ : !sqlite_.copiedInto().empty();
    } catch (const LedgerError&) {
    }
    numberFor(granted);
    auto far = [file = sqlite_.file(), conninfo = std::move(conninfo), station = std::move(station),
                desk = deskIdentity()] {
        return std::make_unique<DeskFar>(file, conninfo, station, desk);
    };
    yard_ = std::make_unique<YardDesk>(sqlite_, sqlite_, sqlite_, std::move(far), post_);
    yard_->answered = [this] {
        if (answered) {
            answered();
        }
    };
    yard_->listsChanged = [this] {
        if (listsChanged) {
            listsChanged();
        }
    };
    yard_->said = [this](std::u16string text) {
        if (said) {
            said(std::move(text));
        }
    };
    yard_->stationSaid = [this](const StationState& st, const std::string& day) {
        try {
            sqlite_.setSetting("yard.granted", st.granted ? station_ : std::string("-"));
            if (st.granted && st.lastToday > 0) {
                sqlite_.numberAfter(day, st.lastToday);
            }
        } catch (const LedgerError&) {
            // Kept for the next start only: this run numbers as the yard said all the same.
        }
        numberFor(st.granted);
        yard_->stationNote = st.granted ? std::u16string() : st.why;
    };
    where_ = std::move(where);
}

std::string DeskLedger::deskIdentity() {
    try {
        if (std::optional<std::string> known = sqlite_.setting("desk")) {
            return *known;
        }
        // 128 random bits: the desk's own, so that a station code is never taken twice.
        std::random_device random;
        std::ostringstream id;
        for (int i = 0; i < 4; ++i) {
            id << std::hex << random();
        }
        sqlite_.setSetting("desk", id.str());
        return id.str();
    } catch (const LedgerError&) {
        return "unknown";
    }
}

LedgerStore& DeskLedger::records() {
    configure();
    return yard_ ? static_cast<LedgerStore&>(*yard_) : sqlite_;
}

PriceListStore& DeskLedger::listStore() {
    configure();
    return yard_ ? static_cast<PriceListStore&>(*yard_) : sqlite_;
}

bool DeskLedger::inYard() {
    configure();
    return yard_ != nullptr;
}

void DeskLedger::sendWaiting() {
    configure();
    if (yard_) {
        yard_->sendWaiting();
    }
}

YardSettings DeskLedger::settings() {
    YardSettings s;
    if (setByEnvironment()) {
        s.host = shownUrl(std::getenv("LOGORA_LEDGER_URL"));
        const char* st = std::getenv("LOGORA_STATION");
        s.station = text::fromUtf8(st != nullptr ? st : "");
        s.port.clear();
        s.database.clear();
        return s;
    }
    try {
        if (const std::optional<ReadSettings> kept = saved()) {
            s = {text::fromUtf8(kept->host), text::intText(kept->port),
                 text::fromUtf8(kept->database), text::fromUtf8(kept->user),
                 text::fromUtf8(kept->station)};
        }
    } catch (const LedgerError&) {
    }
    return s;
}

bool DeskLedger::setByEnvironment() {
    const char* url = std::getenv("LOGORA_LEDGER_URL");
    return url != nullptr && *url != '\0';
}

namespace {

std::u16string probe(const ReadSettings& s, const std::u16string& password,
                     const std::string& desk) {
    PgYard yard(conninfoOf(s.host, s.port, s.database, s.user, text::toUtf8(password)), s.station,
                desk, true);
    try {
        yard.identity();
        return {};
    } catch (const LedgerError& e) {
        return e.fullText();
    }
}

} // namespace

std::u16string DeskLedger::test(const ReadSettings& s, const std::u16string& password) {
    return probe(s, password, deskIdentity());
}

void DeskLedger::testLater(const ReadSettings& s, const std::u16string& password, Said done) {
    onDoor([s, password, desk = deskIdentity(), done = std::move(done)]() -> std::function<void()> {
        return [done, problem = probe(s, password, desk)] { done(problem); };
    });
}

void DeskLedger::onDoor(std::function<std::function<void()>()> job) {
    if (!post_) {
        job()();
        return;
    }
    if (!door_) {
        door_ = std::make_unique<YardWorker>();
    }
    door_->run([job = std::move(job), post = post_, alive = std::weak_ptr<bool>(alive_)] {
        std::function<void()> done = job();
        post([alive, done = std::move(done)] {
            if (const std::shared_ptr<bool> a = alive.lock(); a && *a) {
                done();
            }
        });
    });
}

std::string DeskLedger::conninfoFor(const ReadSettings& s, const std::u16string& password) {
    if (setByEnvironment()) {
        return std::getenv("LOGORA_LEDGER_URL");
    }
    return conninfoOf(s.host, s.port, s.database, s.user, text::toUtf8(password));
}

void DeskLedger::holderLater(const ReadSettings& s, const std::u16string& password, Asked done) {
    std::string station = s.station;
    if (setByEnvironment()) {
        configure();
        station = station_;
    }
    if (station.empty()) {
        done({}, problem_.empty() ? u"请先填本机站号。" : problem_);
        return;
    }
    onDoor([conninfo = conninfoFor(s, password), station, desk = deskIdentity(),
            done = std::move(done)]() -> std::function<void()> {
        std::u16string question;
        std::u16string problem;
        try {
            question = PgYard(conninfo, station, desk).holder();
        } catch (const LedgerError& e) {
            problem = e.fullText();
        }
        return [done, question, problem] { done(question, problem); };
    });
}

void DeskLedger::takeOverLater(const ReadSettings& s, const std::u16string& password, Said done) {
    const bool fixed = setByEnvironment();
    const std::string station = fixed ? station_ : s.station;
    onDoor([this, s, password, fixed, conninfo = conninfoFor(s, password), station,
            desk = deskIdentity(), done = std::move(done)]() -> std::function<void()> {
        std::u16string problem;
        try {
            PgYard(conninfo, station, desk).takeOver();
        } catch (const LedgerError& e) {
            problem = e.fullText();
        }
        return [this, s, password, fixed, done, problem] {
            if (!problem.empty()) {
                done(problem);
                return;
            }
            try {
                sqlite_.setSetting("yard.granted", station_.empty() ? s.station : station_);
            } catch (const LedgerError&) {
            }
            if (fixed) {
                // The environment's yard, used anew: its next send learns the last number.
                yard_.reset();
                configured_ = false;
                configure();
                if (yard_) {
                    yard_->sendWaiting();
                }
                done({});
                return;
            }
            done(joinTested(s, password));
        };
    });
}

void DeskLedger::joinLater(const ReadSettings& s, const std::u16string& password, Said done) {
    testLater(s, password, [this, s, password, done = std::move(done)](std::u16string problem) {
        done(problem.empty() ? joinTested(s, password) : problem);
    });
}

std::u16string DeskLedger::join(const ReadSettings& s, const std::u16string& password) {
    if (std::u16string problem = test(s, password); !problem.empty()) {
        return problem;
    }
    return joinTested(s, password);
}

std::u16string DeskLedger::joinTested(const ReadSettings& s, const std::u16string& password) {
    if (!password.empty()) {
        const std::string why =
            storePassword(s.host, s.port, s.database, s.user, text::toUtf8(password));
        if (!why.empty()) {
            return u"密码没有存进 " + text::pathText(pgpassFile()) + u"：" + text::fromUtf8(why);
        }
    }
    try {
        keep(&s);
    } catch (const LedgerError& e) {
        return e.fullText();
    }
    yard_.reset();
    configured_ = false;
    configure();
    if (yard_) {
        yard_->sendWaiting();
        if (!yard_->problem().empty()) {
            return u"已经加入，但本机账单还没有传上去：" + yard_->problem();
        }
    }
    return {};
}

std::u16string DeskLedger::leave() {
    configure();
    if (!yard_) {
        return u"这台电脑没有加入共享账本。";
    }
    long long waiting = 0;
    try {
        keep(nullptr);
        waiting = sqlite_.waitingCount();
    } catch (const LedgerError& e) {
        return e.fullText();
    }
    yard_.reset();
    sqlite_.joinYard(false);
    sqlite_.numberAs({});
    return u"已退出共享账本，以后的账单只记在本机。" +
           (waiting > 0 ? u"还有 " + text::intText(static_cast<int>(waiting)) +
                              u" 张没有传上去，重新加入同一个共享账本时会补传。"
                        : std::u16string());
}

std::u16string DeskLedger::status() {
    configure();
    if (!problem_.empty()) {
        return problem_;
    }
    if (!yard_) {
        return u"这台电脑没有加入共享账本，账单只记在本机。";
    }
    std::u16string line =
        u"已加入共享账本 " + where_ + u"，本机站号 " + text::fromUtf8(station_) + u"。";
    try {
        if (const long long waiting = sqlite_.waitingCount(); waiting > 0) {
            line += text::intText(static_cast<int>(waiting)) + u" 张待上传。";
        }
    } catch (const LedgerError&) {
    }
    if (!yard_->problem().empty()) {
        line += u"\n" + yard_->problem();
    }
    if (const std::u16string more = yard_->stateLine(); !more.empty()) {
        line += u"\n" + more;
    }
    return line;
}

namespace {

// A field of a .pgpass line: the colon and the backslash escaped.
std::string passField(std::string_view t) {
    std::string out;
    for (const char c : t) {
        if (c == ':' || c == '\\') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    return out;
}

} // namespace

std::string storePassword(std::string_view host, int port, std::string_view database,
                          std::string_view user, std::string_view password) {
    const fs::path file = pgpassFile();
    const std::string key = passField(host) + ":" + std::to_string(port) + ":" +
                            passField(database) + ":" + passField(user) + ":";
    std::string kept;
    {
        std::ifstream in(file, std::ios::binary);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind(key, 0) != 0) {
                kept += line + "\n";
            }
        }
    }
    kept += key + passField(password) + "\n";
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    const fs::path part = fs::path(file) += ".logora-part";
    {
        // Made for its owner alone before the password goes in.
        std::ofstream(part, std::ios::binary | std::ios::trunc).close();
        fs::permissions(part, fs::perms::owner_read | fs::perms::owner_write,
                        fs::perm_options::replace, ec);
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out << kept;
        out.close();
        if (!out) {
            fs::remove(part, ec);
            return "cannot write " + text::toUtf8(text::pathText(part));
        }
    }
    fs::rename(part, file, ec);
    if (ec) {
        fs::remove(part, ec);
        return ec.message();
    }
    return {};
}

} // namespace logora::ledger
