// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/PhoneDesk.hpp"

#include "phone/PhonePage.hpp"
#include "text/NumberText.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>

namespace logora::phone {

using nlohmann::json;
using text::fromUtf8;
using text::intText;
using text::parseNumber;
using text::toUtf8;
using text::trimmed;

namespace {

constexpr std::size_t kRecentLines = 8;

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// A size typed on a phone: digits with at most one point, within the bounds.
bool sizeText(const json& value, double least, double most, std::u16string& out) {
    if (!value.is_string()) {
        return false;
    }
    const std::string s = value.get<std::string>();
    if (s.empty() || s.size() > 8 || std::count(s.begin(), s.end(), '.') > 1 ||
        !std::all_of(s.begin(), s.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '.'; })) {
        return false;
    }
    out = fromUtf8(s);
    const double v = parseNumber(out);
    return v >= least && v <= most;
}

bool onlyKeys(const json& object, std::initializer_list<const char*> keys) {
    for (const auto& item : object.items()) {
        if (std::none_of(keys.begin(), keys.end(),
                         [&](const char* k) { return item.key() == k; })) {
            return false;
        }
    }
    return true;
}

bool smallInt(const json& value, int least, int most, int& out) {
    if (!value.is_number_integer()) {
        return false;
    }
    const auto v = value.get<long long>();
    if (v < least || v > most) {
        return false;
    }
    out = static_cast<int>(v);
    return true;
}

// One tap off the wire, or why it is malformed.
std::u16string readTap(const json& t, Tap& tap) {
    const std::u16string bad = u"手机发来的一下格式不对。";
    if (!t.is_object() || !t.contains("id") || !t["id"].is_string() || !t.contains("op") ||
        !t["op"].is_string()) {
        return bad;
    }
    tap.id = t["id"].get<std::string>();
    if (!wellFormedId(tap.id)) {
        return bad;
    }
    const std::string op = t["op"].get<std::string>();
    const bool sized = t.contains("length") && sizeText(t["length"], 0.1, 30, tap.length);
    if (t.contains("length") && !sized) {
        return u"材长要在0.1到30米之间。";
    }
    auto group = [&] { return t.contains("group") && smallInt(t["group"], 0, 63, tap.group); };
    if (op == "add") {
        tap.kind = TapKind::Add;
        if (!onlyKeys(t, {"id", "op", "group", "length", "class", "n"}) || !group() ||
            !t.contains("n") || !smallInt(t["n"], 1, 100, tap.pieces)) {
            return bad;
        }
        if (!t.contains("class") || !sizeText(t["class"], 1, 300, tap.diameter)) {
            return u"径级不对。";
        }
        return {};
    }
    if (op == "log") {
        tap.kind = TapKind::Log;
        if (!onlyKeys(t, {"id", "op", "group", "length", "diameter"}) || !group()) {
            return bad;
        }
        if (!t.contains("diameter") || !sizeText(t["diameter"], 1, 300, tap.diameter)) {
            return u"量的直径要在1到300厘米之间。";
        }
        return {};
    }
    if (op == "length") {
        tap.kind = TapKind::Length;
        return onlyKeys(t, {"id", "op", "group", "length"}) && group() && sized ? u"" : bad;
    }
    if (op == "undo") {
        tap.kind = TapKind::Undo;
        if (!onlyKeys(t, {"id", "op", "of"}) || !t.contains("of") || !t["of"].is_string()) {
            return bad;
        }
        tap.of = t["of"].get<std::string>();
        return wellFormedId(tap.of) ? u"" : bad;
    }
    return bad;
}

std::string queryValue(const std::string& query, const std::string& key) {
    std::size_t at = 0;
    while (at < query.size()) {
        const std::size_t end = std::min(query.find('&', at), query.size());
        const std::string pair = query.substr(at, end - at);
        if (pair.rfind(key + "=", 0) == 0) {
            return pair.substr(key.size() + 1);
        }
        at = end + 1;
    }
    return {};
}

} // namespace

bool wellFormedId(const std::string& id) {
    return !id.empty() && id.size() <= 40 && std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
               c == '-' || c == '_';
    });
}

PhoneDesk::PhoneDesk(std::function<std::string()> random) : random_(std::move(random)) {
    token_ = hex(random_());
}

void PhoneDesk::serve(Tally* tally, std::function<void()> changed) {
    tally_ = tally;
    changed_ = std::move(changed);
}

void PhoneDesk::renew() {
    oldTokens_.insert(token_);
    token_ = hex(random_());
    wrongAt_.clear();
}

bool PhoneDesk::allowed(const std::string& client, Clock::time_point now) {
    Bucket& b = buckets_[client];
    if (b.at != Clock::time_point{}) {
        const double seconds = std::chrono::duration<double>(now - b.at).count();
        b.tokens = std::min(kBurst, b.tokens + std::max(0.0, seconds) * kPerSecond);
    }
    b.at = now;
    if (b.tokens < 1) {
        return false;
    }
    b.tokens -= 1;
    return true;
}

Reply PhoneDesk::refuse(int status, const std::u16string& why, const std::string& tap) {
    json body = {{"error", toUtf8(why)}};
    if (!tap.empty()) {
        body["tap"] = tap;
    }
    return {status, "application/json", body.dump()};
}

Reply PhoneDesk::wrongToken(const std::string& given, Clock::time_point now) {
    ++refusals_.token;
    // A page of this run holding a renewed code is told so, and is no attack.
    if (oldTokens_.count(given) != 0) {
        json body = {{"error", toUtf8(u"电脑上的二维码已经换了，请扫描新的二维码。")},
                     {"renewed", true}};
        return {403, "application/json", body.dump()};
    }
    wrongAt_.push_back(now);
    while (!wrongAt_.empty() && now - wrongAt_.front() > std::chrono::minutes(1)) {
        wrongAt_.pop_front();
    }
    if (static_cast<int>(wrongAt_.size()) >= kWrongTries) {
        alarm_ = u"一分钟内有" + intText(kWrongTries) +
                 u"次用不对的二维码来连，已经换了新码；用手机的人请重新扫码。";
        renew();
    }
    return refuse(403, u"二维码不对，请扫描电脑上“手机检尺”窗口里的二维码。");
}

Reply PhoneDesk::handle(const Request& request) {
    if (!allowed(request.client, request.now)) {
        ++refusals_.rate;
        return refuse(429, u"请求太快了，请稍等。");
    }
    const std::size_t q = request.target.find('?');
    const std::string path = request.target.substr(0, q);
    const std::string query = q == std::string::npos ? "" : request.target.substr(q + 1);
    if (path.rfind("/p/", 0) != 0) {
        return {404, "text/plain; charset=utf-8", "not found"};
    }
    const std::string rest = path.substr(3);
    const std::size_t slash = rest.find('/');
    const std::string given = rest.substr(0, slash);
    const std::string what = slash == std::string::npos ? "" : rest.substr(slash + 1);
    if (given != token_) {
        if (request.method == "GET" && what.empty()) {
            wrongToken(given, request.now);
            return {403, "text/html; charset=utf-8", std::string(phoneRefusedPage())};
        }
        return wrongToken(given, request.now);
    }
    if (request.body.size() > kMostBody) {
        ++refusals_.bad;
        return refuse(413, u"手机发来的太多了。");
    }
    if (request.method == "GET" && what.empty()) {
        return {200, "text/html; charset=utf-8", std::string(phonePage())};
    }
    if (request.method == "GET" && what == "state") {
        return state(queryValue(query, "phone"), request);
    }
    if (request.method == "POST" && what == "taps") {
        return taps(request);
    }
    return {404, "text/plain; charset=utf-8", "not found"};
}

std::string PhoneDesk::stateJson() {
    json groups = json::array();
    json out = {{"title", ""}, {"rule", ""}, {"pieces", 0}, {"volume", ""}};
    if (tally_) {
        const TallyView v = tally_->view();
        for (const GroupView& g : v.groups) {
            json classes = json::array();
            for (const ClassView& c : g.classes) {
                classes.push_back(
                    {{"d", toUtf8(c.diameter)}, {"n", c.pieces}, {"v", toUtf8(c.volume)}});
            }
            groups.push_back({{"length", toUtf8(g.length)},
                              {"pieces", g.pieces},
                              {"volume", toUtf8(g.volume)},
                              {"classes", std::move(classes)}});
        }
        json presets = json::array();
        for (const std::u16string& d : v.presets) {
            presets.push_back(toUtf8(d));
        }
        out = {{"title", toUtf8(v.title)},
               {"presets", std::move(presets)},
               {"rule", toUtf8(v.rule)},
               {"pieces", v.pieces},
               {"volume", toUtf8(v.volume)}};
    }
    out["groups"] = std::move(groups);
    out["open"] = tally_ != nullptr;
    return out.dump();
}

Reply PhoneDesk::state(const std::string& phone, const Request& request) {
    if (!phone.empty() && !wellFormedId(phone)) {
        ++refusals_.bad;
        return refuse(400, u"手机的编号不对。");
    }
    seen(phone, request.client, request.now, 0);
    return {200, "application/json", "{\"state\":" + stateJson() + "}"};
}

Reply PhoneDesk::taps(const Request& request) {
    const json body = json::parse(request.body, nullptr, false);
    const std::u16string malformed = u"手机发来的内容格式不对。";
    if (body.is_discarded() || !body.is_object() || !onlyKeys(body, {"phone", "taps"}) ||
        !body.contains("phone") || !body["phone"].is_string() ||
        !wellFormedId(body["phone"].get<std::string>()) || !body.contains("taps") ||
        !body["taps"].is_array() || body["taps"].size() > kMostTaps) {
        ++refusals_.bad;
        return refuse(400, malformed);
    }
    const std::string phone = body["phone"].get<std::string>();
    std::vector<Tap> taps;
    for (const json& t : body["taps"]) {
        Tap tap;
        if (const std::u16string why = readTap(t, tap); !why.empty()) {
            ++refusals_.bad;
            return refuse(400, why, tap.id);
        }
        taps.push_back(std::move(tap));
    }
    if (!tally_) {
        return refuse(503, u"电脑上没有打开检尺窗口。");
    }
    // All or nothing: a tap that cannot be applied leaves the tally as it was.
    const std::vector<std::u16string> before = tally_->keep();
    std::map<std::string, Landed> fresh;
    std::set<std::string> takenBack;
    std::vector<const Tap*> news;
    json applied = json::array();
    for (const Tap& tap : taps) {
        applied.push_back(tap.id);
        if (applied_.count(tap.id) != 0 || fresh.count(tap.id) != 0) {
            continue; // sent again: applied once already
        }
        if (tap.kind == TapKind::Undo) {
            // The tap taken back, applied in this request or an earlier one.
            const Landed* target = nullptr;
            if (const auto f = fresh.find(tap.of); f != fresh.end()) {
                target = &f->second;
            } else if (const auto a = applied_.find(tap.of); a != applied_.end()) {
                target = &a->second;
            }
            if (target == nullptr) {
                tally_->restore(before);
                ++refusals_.bad;
                return refuse(400, u"要撤销的那一下电脑没有收到。", tap.id);
            }
            // A tap is taken back once, however many undos name it.
            if (target->kind != TapKind::Undo && undone_.count(tap.of) == 0 &&
                takenBack.insert(tap.of).second) {
                tally_->takeBack(*target);
            }
            Landed undo;
            undo.kind = TapKind::Undo;
            fresh[tap.id] = undo;
            news.push_back(&tap);
            continue;
        }
        Landed landed;
        if (const std::u16string why = tally_->apply(tap, landed); !why.empty()) {
            tally_->restore(before);
            ++refusals_.bad;
            return refuse(400, why, tap.id);
        }
        fresh[tap.id] = landed;
        news.push_back(&tap);
    }
    for (const Tap* tap : news) {
        order_.push_back(tap->id);
    }
    applied_.merge(fresh);
    undone_.merge(takenBack);
    seen(phone, request.client, request.now, static_cast<int>(news.size()));
    for (const Tap* tap : news) {
        note(phone, *tap);
    }
    if (!news.empty() && changed_) {
        changed_();
    }
    return {200, "application/json",
            "{\"applied\":" + applied.dump() + ",\"state\":" + stateJson() + "}"};
}

void PhoneDesk::seen(const std::string& phone, const std::string& address, Clock::time_point now,
                     int taps) {
    if (phone.empty()) {
        return;
    }
    auto it = std::find_if(phones_.begin(), phones_.end(),
                           [&](const PhoneSeen& p) { return p.id == phone; });
    if (it == phones_.end()) {
        phones_.push_back({phone, address, now, 0});
        it = phones_.end() - 1;
    }
    it->address = address;
    it->last = now;
    it->taps += taps;
}

void PhoneDesk::note(const std::string& phone, const Tap& tap) {
    auto it = std::find_if(phones_.begin(), phones_.end(),
                           [&](const PhoneSeen& p) { return p.id == phone; });
    const long long number = it == phones_.end() ? static_cast<long long>(phones_.size()) + 1
                                                 : (it - phones_.begin()) + 1;
    std::u16string line = u"手机" + intText(number) + u"：";
    switch (tap.kind) {
    case TapKind::Add:
        line += u"第" + intText(tap.group + 1) + u"组 " + tap.diameter + u"径级 +" +
                intText(tap.pieces);
        break;
    case TapKind::Log:
        line += u"第" + intText(tap.group + 1) + u"组 量得" + tap.diameter + u"厘米 +1";
        break;
    case TapKind::Length:
        line += u"第" + intText(tap.group + 1) + u"组 材长改为" + tap.length + u"米";
        break;
    case TapKind::Undo:
        line += u"撤销一下";
        break;
    }
    recent_.push_front(line);
    while (recent_.size() > kRecentLines) {
        recent_.pop_back();
    }
}

std::vector<std::u16string> PhoneDesk::keptTaps() const {
    std::vector<std::u16string> out;
    const std::size_t from = order_.size() > kKeptTaps ? order_.size() - kKeptTaps : 0;
    for (std::size_t i = from; i < order_.size(); ++i) {
        const auto a = applied_.find(order_[i]);
        if (a == applied_.end()) {
            continue;
        }
        const Landed& l = a->second;
        std::string head = a->first + ' ' + std::to_string(static_cast<int>(l.kind)) + ' ' +
                           std::to_string(l.row) + ' ' + std::to_string(l.group) + ' ' +
                           std::to_string(l.pieces) + ' ' + (l.wroteRow ? '1' : '0') + ' ' +
                           (undone_.count(a->first) != 0 ? '1' : '0') + ' ';
        out.push_back(text::fromUtf8(head) + l.before);
    }
    return out;
}

void PhoneDesk::restoreTaps(const std::vector<std::u16string>& kept) {
    for (const std::u16string& line : kept) {
        // id kind row group pieces wroteRow undone before…
        std::string fields[7];
        std::size_t at = 0;
        bool whole = true;
        for (std::string& f : fields) {
            const std::size_t space = line.find(u' ', at);
            if (space == std::u16string::npos) {
                whole = false;
                break;
            }
            f = text::toUtf8(std::u16string_view(line).substr(at, space - at));
            at = space + 1;
        }
        int numbers[6] = {};
        for (int i = 0; whole && i < 6; ++i) {
            const std::string& f = fields[i + 1];
            const auto r = std::from_chars(f.data(), f.data() + f.size(), numbers[i]);
            whole = r.ec == std::errc() && r.ptr == f.data() + f.size();
        }
        // A line this version cannot read is passed over: at worst that tap counts again.
        if (!whole || !wellFormedId(fields[0]) || numbers[0] < 0 || numbers[0] > 3 ||
            applied_.count(fields[0]) != 0) {
            continue;
        }
        Landed l;
        l.kind = static_cast<TapKind>(numbers[0]);
        l.row = numbers[1];
        l.group = numbers[2];
        l.pieces = numbers[3];
        l.wroteRow = numbers[4] != 0;
        l.before = line.substr(at);
        applied_[fields[0]] = l;
        order_.push_back(fields[0]);
        if (numbers[5] != 0) {
            undone_.insert(fields[0]);
        }
    }
}

} // namespace logora::phone
