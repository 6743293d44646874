// SPDX-License-Identifier: GPL-3.0-or-later
#include "ledger/Ledger.hpp"

#include "text/NumberText.hpp"
#include "ui/GridCells.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>

namespace logora::ledger {

using ui::Calculator;
using ui::Form;

LedgerError::LedgerError(std::u16string message, std::u16string detail)
    : std::runtime_error(text::toUtf8(message + u" " + detail)), message_(std::move(message)),
      detail_(std::move(detail)) {}

std::u16string BillRecord::header(std::u16string_view caption) const {
    for (const Header& h : headers) {
        if (h.caption == caption) {
            return h.text;
        }
    }
    return {};
}

namespace {

// A caption as the chooser shows it, without its colon and the spaces that spread it.
std::u16string plainCaption(std::u16string_view caption) {
    std::u16string out;
    for (char16_t c : caption) {
        if (c != u' ' && c != u'\u3000') {
            out.push_back(c);
        }
    }
    while (!out.empty() && (out.back() == u':' || out.back() == u'：')) {
        out.pop_back();
    }
    return out;
}

// A header field under a chooser's caption or under a fixed one.
struct HeaderField {
    const char16_t* chooser; // nullptr: the caption is fixed
    const char16_t* caption;
    const char16_t* field;
};

constexpr HeaderField kGridHeaders[] = {
    {u"Combo4", nullptr, u"Text17"},   {u"Combo2", nullptr, u"Text22"},
    {nullptr, u"树种", u"Text27"},     {nullptr, u"检尺员", u"Text25"},
    {u"Combo5", nullptr, u"Text20"},   {u"Combo1", nullptr, u"Text24"},
    {nullptr, u"检尺标准", u"Combo6"},
};
constexpr HeaderField kListHeaders[] = {
    {nullptr, u"购货单位", u"Text27"}, {nullptr, u"检尺员", u"Text28"},
    {nullptr, u"树种", u"Text29"},     {nullptr, u"售货单位", u"Text23"},
    {nullptr, u"检尺标准", u"Combo1"},
};
constexpr HeaderField kSawnHeaders[] = {
    {u"Combo3", nullptr, u"Text10"}, {u"Combo2", nullptr, u"Text11"},
    {nullptr, u"检尺员", u"Text14"}, {u"Combo4", nullptr, u"Text13"},
    {u"Combo1", nullptr, u"Text12"},
};

template <std::size_t N>
std::vector<Header> headersOf(const Form& form, const HeaderField (&fields)[N]) {
    std::vector<Header> out;
    for (const HeaderField& f : fields) {
        const std::u16string caption =
            f.chooser != nullptr ? plainCaption(form.control(f.chooser).text()) : f.caption;
        out.push_back({caption, form.control(f.field).text()});
    }
    return out;
}

const std::u16string& textOf(const Form& form, std::u16string_view name,
                             int element = ui::kNoElement) {
    return form.control(name, element).text();
}

void gridRecord(const Form& form, BillRecord& r) {
    r.headers = headersOf(form, kGridHeaders);
    const char16_t* lengths[ui::kGridGroups] = {u"Text23", u"Text15", u"Text26", u"Text21"};
    for (int g = 0; g < ui::kGridGroups; ++g) {
        const std::u16string& length = form.control(lengths[g]).text();
        for (int k = 1; k <= ui::kGridRows; ++k) {
            const std::u16string name = ui::gridRowName(k);
            Line line;
            line.length = length;
            line.diameter = textOf(form, name, ui::gridCell(g, ui::GridColumn::Diameter));
            line.pieces = textOf(form, name, ui::gridCell(g, ui::GridColumn::Pieces));
            line.volume = textOf(form, name, ui::gridCell(g, ui::GridColumn::Volume));
            if (!line.pieces.empty() || !line.volume.empty()) {
                r.lines.push_back(std::move(line));
            }
        }
    }
    const char16_t* names[3] = {u"直径12CM以下", u"直径14-18CM", u"直径20CM以上"};
    for (int c = 0; c < 3; ++c) {
        r.classes.push_back({names[c], textOf(form, u"Text16", c), textOf(form, u"Text18", c),
                             textOf(form, u"Text19", c), textOf(form, u"Text28", c)});
    }
    r.totals = {scaled(textOf(form, u"Text16", 3), 0), scaled(textOf(form, u"Text18", 3), 4),
                scaled(textOf(form, u"Text28", 3), 2)};
}

void listRecord(const Form& form, BillRecord& r) {
    r.headers = headersOf(form, kListHeaders);
    for (int i = 0; i < 19; ++i) {
        Line line;
        line.length = textOf(form, u"Text1", i);
        line.diameter = textOf(form, u"Text2", i);
        line.pieces = textOf(form, u"Text3", i);
        line.volume = textOf(form, u"Text4", i);
        line.price = textOf(form, u"Text5", i);
        line.amount = textOf(form, u"Text6", i);
        if (!line.pieces.empty() || !line.volume.empty()) {
            r.lines.push_back(std::move(line));
        }
    }
    // The bill shows both: the sum of the rows' amounts, or the average price's amount.
    const std::u16string& average = textOf(form, u"Text22", 7);
    if (!average.empty()) {
        r.classes.push_back({u"平均单价", {}, {}, average, textOf(form, u"Text22", 6)});
    }
    const std::u16string& graded = textOf(form, u"Text22", 10);
    r.totals = {scaled(textOf(form, u"Text22", 5), 0), scaled(textOf(form, u"Text22", 4), 4),
                scaled(graded.empty() ? textOf(form, u"Text22", 6) : graded, 2)};
}

void sawnRecord(const Form& form, BillRecord& r) {
    r.headers = headersOf(form, kSawnHeaders);
    long long pieces = 0;
    for (int i = 0; i < 8; ++i) {
        Line line;
        line.length = textOf(form, u"Text1", i);
        line.width = textOf(form, u"Text2", i);
        line.thickness = textOf(form, u"Text3", i);
        line.pieces = textOf(form, u"Text4", i);
        line.volume = textOf(form, u"Text5", i);
        line.price = textOf(form, u"Text6", i);
        line.amount = textOf(form, u"Text7", i);
        if (!line.pieces.empty() || !line.volume.empty()) {
            pieces += scaled(line.pieces, 0);
            r.lines.push_back(std::move(line));
        }
    }
    r.totals = {pieces, scaled(textOf(form, u"Text8"), 4), scaled(textOf(form, u"Text9"), 2)};
}

} // namespace

BillRecord recordOf(Calculator which, const Form& form, std::u16string_view sheet) {
    BillRecord r;
    r.calculator = which;
    r.sheet = sheet;
    switch (which) {
    case Calculator::Grid:
        gridRecord(form, r);
        break;
    case Calculator::List:
        listRecord(form, r);
        break;
    case Calculator::Sawn:
        sawnRecord(form, r);
        break;
    }
    return r;
}

std::string billNumber(std::string_view day, int sequence, std::string_view station) {
    std::string seq = std::to_string(sequence);
    if (seq.size() < 3) {
        seq.insert(0, 3 - seq.size(), '0');
    }
    std::string out(day);
    if (!station.empty()) {
        out += "-" + std::string(station);
    }
    return out + "-" + seq;
}

namespace {

bool digits(std::string_view t) {
    return !t.empty() &&
           std::all_of(t.begin(), t.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

namespace {

// Eight capital hexadecimal digits.
bool deskMark(std::string_view t) {
    return t.size() == 8 && std::all_of(t.begin(), t.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
           });
}

} // namespace

std::string provisionalStation(std::string_view station, std::string_view desk) {
    std::string mark;
    for (const char c : desk) {
        if (mark.size() < 8 && std::isxdigit(static_cast<unsigned char>(c)) != 0) {
            mark.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
        }
    }
    mark.resize(8, '0');
    return std::string(station) + "." + mark;
}

std::optional<NumberParts> parseBillNumber(std::string_view number) {
    if (number.size() < 12 || number[8] != '-' || !digits(number.substr(0, 8))) {
        return std::nullopt;
    }
    std::string_view rest = number.substr(9);
    NumberParts parts{std::string(number.substr(0, 8)), {}, 0};
    if (const std::size_t dash = rest.find('-'); dash != std::string_view::npos) {
        // A station, or a station with the desk's own mark while it is not granted.
        const std::string_view whole = rest.substr(0, dash);
        const std::size_t dot = whole.find('.');
        const std::string_view code = whole.substr(0, dot);
        const std::optional<std::string> station =
            stationCode(std::u16string(code.begin(), code.end()));
        if (!station || *station != code ||
            (dot != std::string_view::npos && !deskMark(whole.substr(dot + 1)))) {
            return std::nullopt;
        }
        parts.station = std::string(whole);
        rest = rest.substr(dash + 1);
    }
    if (rest.size() < 3 || rest.size() > 6 || !digits(rest)) {
        return std::nullopt;
    }
    for (const char c : rest) {
        parts.sequence = parts.sequence * 10 + (c - '0');
    }
    return parts;
}

std::optional<std::string> stationCode(std::u16string_view typed) {
    if (typed.empty() || typed.size() > 4) {
        return std::nullopt;
    }
    std::string out;
    for (const char16_t c : typed) {
        if (c >= u'a' && c <= u'z') {
            out.push_back(static_cast<char>(c - u'a' + 'A'));
        } else if ((c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) {
            out.push_back(static_cast<char>(c));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

long long scaled(std::u16string_view t, int places) {
    long long whole = 0;
    long long fraction = 0;
    int got = 0;
    bool negative = false;
    bool roundUp = false;
    std::size_t i = 0;
    if (i < t.size() && t[i] == u'-') {
        negative = true;
        ++i;
    }
    const std::size_t start = i;
    for (; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i) {
        if (whole > 100'000'000'000LL) {
            return 0; // no bill holds that much
        }
        whole = whole * 10 + (t[i] - u'0');
    }
    if (i < t.size() && t[i] == u'.') {
        for (++i; i < t.size() && t[i] >= u'0' && t[i] <= u'9'; ++i) {
            if (got < places) {
                fraction = fraction * 10 + (t[i] - u'0');
                ++got;
            } else if (got == places) {
                roundUp = t[i] >= u'5';
                ++got;
            }
        }
    }
    if (i != t.size() || i == start) {
        return 0;
    }
    for (; got < places; ++got) {
        fraction *= 10;
    }
    long long value = whole;
    for (int p = 0; p < places; ++p) {
        value *= 10;
    }
    value += fraction + (roundUp ? 1 : 0);
    return negative ? -value : value;
}

std::u16string unscaled(long long value, int places) {
    const bool negative = value < 0;
    const std::string digits = std::to_string(negative ? -value : value);
    const std::size_t width = static_cast<std::size_t>(places) + 1;
    // Zeros in front so that there is a digit before the point: 5, 4 places is "0.0005".
    const std::string padded =
        digits.size() < width ? std::string(width - digits.size(), '0') + digits : digits;
    const std::size_t point = padded.size() - static_cast<std::size_t>(places);
    std::string out = negative ? "-" : "";
    out += padded.substr(0, point);
    if (places > 0) {
        out += "." + padded.substr(point);
    }
    return text::fromUtf8(out);
}

Filter todayFilter(std::string_view today) {
    return {std::string(today), std::string(today), {}, {}};
}

Filter thisMonthFilter(std::string_view today) {
    const std::string month(today.substr(0, 7));
    return {month + "-01", month + "-31", {}, {}};
}

namespace {

bool matches(const BillRecord& r, const Filter& f) {
    const std::string day = r.day();
    if ((!f.from.empty() && day < f.from) || (!f.to.empty() && day > f.to)) {
        return false;
    }
    if (!f.sheet.empty() && r.sheet != f.sheet) {
        return false;
    }
    if (f.text.empty()) {
        return true;
    }
    if (text::fromUtf8(r.number).find(f.text) != std::u16string::npos) {
        return true;
    }
    return std::any_of(r.headers.begin(), r.headers.end(), [&](const Header& h) {
        return h.text.find(f.text) != std::u16string::npos;
    });
}

void add(Totals& t, const BillRecord& r) {
    if (r.voided) {
        return;
    }
    ++t.count;
    t.figures.pieces += r.totals.pieces;
    t.figures.volume += r.totals.volume;
    t.figures.amount += r.totals.amount;
}

} // namespace

std::vector<const BillRecord*> filtered(const std::vector<BillRecord>& records,
                                        const Filter& filter) {
    std::vector<const BillRecord*> out;
    for (const BillRecord& r : records) {
        if (matches(r, filter)) {
            out.push_back(&r);
        }
    }
    return out;
}

Totals totalsOf(const std::vector<const BillRecord*>& records) {
    Totals t;
    for (const BillRecord* r : records) {
        add(t, *r);
    }
    return t;
}

std::vector<Group> grouped(const std::vector<const BillRecord*>& records, Grouping by,
                           std::u16string_view caption) {
    std::map<std::u16string, Totals> groups;
    for (const BillRecord* r : records) {
        std::u16string key;
        switch (by) {
        case Grouping::Day:
            key = text::fromUtf8(r->day());
            break;
        case Grouping::Month:
            key = text::fromUtf8(r->time.substr(0, 7));
            break;
        case Grouping::Caption:
            key = r->header(caption);
            break;
        }
        add(groups[key], *r);
    }
    std::vector<Group> out;
    for (auto& [key, totals] : groups) {
        out.push_back({key, totals});
    }
    if (by != Grouping::Caption) {
        std::reverse(out.begin(), out.end());
    }
    return out;
}

std::vector<std::u16string> captionsOf(const std::vector<BillRecord>& records) {
    std::vector<std::u16string> out;
    for (const BillRecord& r : records) {
        for (const Header& h : r.headers) {
            if (!h.caption.empty() && std::find(out.begin(), out.end(), h.caption) == out.end()) {
                out.push_back(h.caption);
            }
        }
    }
    return out;
}

std::vector<std::u16string> rowTexts(const BillRecord& r) {
    std::u16string seller = r.header(u"出货单位");
    if (seller.empty()) {
        seller = r.header(u"售货单位");
    }
    return {text::fromUtf8(r.number),
            text::fromUtf8(r.time),
            r.sheet,
            r.header(u"购货单位"),
            seller,
            r.header(u"车号"),
            r.header(u"树种"),
            unscaled(r.totals.pieces, 0),
            unscaled(r.totals.volume, 4),
            unscaled(r.totals.amount, 2),
            r.voided ? u"作废：" + r.voidReason : u""};
}

std::vector<std::u16string> groupTexts(const Group& g) {
    return {g.key.empty() ? u"（空）" : g.key, text::intText(g.totals.count),
            unscaled(g.totals.figures.pieces, 0), unscaled(g.totals.figures.volume, 4),
            unscaled(g.totals.figures.amount, 2)};
}

std::u16string totalsText(const Totals& t) {
    return u"合计：" + text::intText(t.count) + u" 张  " + unscaled(t.figures.pieces, 0) +
           u" 件  " + unscaled(t.figures.volume, 4) + u" 立方米  " + unscaled(t.figures.amount, 2) +
           u" 元";
}

} // namespace logora::ledger
