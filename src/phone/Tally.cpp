// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/Tally.hpp"

#include "text/NumberText.hpp"
#include "volume/Rules.hpp"

#include <algorithm>
#include <cmath>

namespace logora::phone {

using text::intText;
using text::parseNumber;
using text::Pattern;
using text::patternText;
using text::plainText;
using text::trimmed;

namespace {

// A pieces cell as a count: empty is none; anything but digits is the desk's to mend.
bool countOf(const std::u16string& cell, long long& count) {
    const std::u16string t = trimmed(cell);
    count = 0;
    if (t.size() > 6) {
        return false;
    }
    for (char16_t c : t) {
        if (c < u'0' || c > u'9') {
            return false;
        }
        count = count * 10 + (c - u'0');
    }
    return true;
}

// Two sizes are the same when their texts are, or their numbers ("4" and "4.0").
bool sameSize(const std::u16string& a, const std::u16string& b) {
    const std::u16string ta = trimmed(a), tb = trimmed(b);
    return !ta.empty() && !tb.empty() && (ta == tb || parseNumber(ta) == parseNumber(tb));
}

std::u16string groupName(int group, const std::u16string& length) {
    return u"第" + intText(group + 1) + u"组（" + (length.empty() ? u"材长未填" : length + u"米") +
           u"）";
}

std::u16string notACount(const std::u16string& where, const std::u16string& cell) {
    return where + u"的件数格里是“" + trimmed(cell) + u"”，不是件数，请先在电脑上改正。";
}

std::u16string tooMany(const std::u16string& where) {
    return where + u"的件数超过" + intText(kMostPieces) + u"根，不再往上加。";
}

std::u16string volumeSum(double sum) {
    return patternText(sum, Pattern::Four);
}

// A group joins the truck with its volume, summed in the order of its classes.
void add(TallyView& v, GroupView group, double sum) {
    group.volume = volumeSum(sum);
    v.pieces += group.pieces;
    v.groups.push_back(std::move(group));
}

// The truck's volume, group by group, and the rule's classes for a length not tallied yet.
TallyView finished(TallyView& v) {
    double truck = 0;
    for (const GroupView& g : v.groups) {
        truck += parseNumber(g.volume);
    }
    v.volume = volumeSum(truck);
    const volume::Rule rule = volume::ruleNamed(v.rule).value_or(volume::Rule::Gb);
    for (int r = 1; r <= grid::kRows; ++r) {
        v.presets.push_back(intText(volume::presetDiameter(rule, r, false)));
    }
    return v;
}

} // namespace

std::vector<int> GridTally::members(int group) const {
    if (grid_.twoLengthLayout()) {
        return {2 * group, 2 * group + 1};
    }
    return {group};
}

TallyView GridTally::view() {
    TallyView v;
    v.title = u"原木计算";
    v.rule = std::u16string(volume::ruleName(grid_.rule()));
    for (int g = 0; g < groups(); ++g) {
        GroupView group;
        group.length = trimmed(grid_.lengthField(members(g).front()).text());
        double sum = 0;
        for (int member : members(g)) {
            for (int r = 1; r <= grid::kRows; ++r) {
                const std::u16string d = trimmed(grid_.diameter(r, member).text());
                if (d.empty()) {
                    continue;
                }
                long long n = 0;
                if (!countOf(grid_.pieces(r, member).text(), n)) {
                    n = static_cast<long long>(parseNumber(grid_.pieces(r, member).text()));
                }
                group.classes.push_back({d, n, grid_.volume(r, member).text()});
                group.pieces += n;
                sum += parseNumber(grid_.volume(r, member).text());
            }
        }
        add(v, std::move(group), sum);
    }
    return finished(v);
}

std::u16string GridTally::apply(const Tap& tap, Landed& landed) {
    if (tap.group < 0 || tap.group >= groups()) {
        return u"电脑上的原木计算没有第" + intText(tap.group + 1) + u"组。";
    }
    const std::vector<int> own = members(tap.group);
    ui::Control& length = grid_.lengthField(own.front());
    const std::u16string where = groupName(tap.group, trimmed(length.text()));
    landed = {};
    landed.kind = tap.kind;
    landed.group = own.front();
    if (tap.kind == TapKind::Length) {
        landed.before = length.text();
        length.setText(tap.length);
        return {};
    }
    std::u16string wanted = tap.diameter;
    if (tap.kind == TapKind::Log) {
        wanted = plainText(volume::diameterClass(grid_.rule(), parseNumber(tap.diameter)));
    }
    // The class's row; for a typed log without one, the free row nearest its size.
    int row = 0, member = 0;
    int freeRow = 0, freeMember = 0;
    double freeGap = 0;
    for (int m : own) {
        for (int r = 1; r <= grid::kRows && row == 0; ++r) {
            if (sameSize(grid_.diameter(r, m).text(), wanted)) {
                row = r;
                member = m;
            } else if (trimmed(grid_.pieces(r, m).text()).empty()) {
                const double gap =
                    std::fabs(parseNumber(grid_.diameter(r, m).text()) - parseNumber(wanted));
                if (freeRow == 0 || gap < freeGap) {
                    freeRow = r;
                    freeMember = m;
                    freeGap = gap;
                }
            }
        }
    }
    if (row == 0 && tap.kind == TapKind::Add) {
        return where + u"没有" + wanted + u"径级。";
    }
    if (row == 0 && freeRow == 0) {
        return where + u"没有空行放" + wanted + u"径级了，请在电脑上腾出一行。";
    }
    if (row == 0) {
        row = freeRow;
        member = freeMember;
        landed.wroteRow = true;
        landed.before = grid_.diameter(row, member).text();
    }
    ui::Control& pieces = grid_.pieces(row, member);
    long long count = 0;
    const std::u16string at = where + wanted + u"径级";
    if (!countOf(pieces.text(), count)) {
        return notACount(at, pieces.text());
    }
    if (count + tap.pieces > kMostPieces) {
        return tooMany(at);
    }
    if (landed.wroteRow) {
        grid_.diameter(row, member).setText(wanted);
    }
    pieces.setText(intText(count + tap.pieces));
    landed.row = row;
    landed.group = member;
    landed.pieces = tap.pieces;
    return {};
}

void GridTally::takeBack(const Landed& landed) {
    if (landed.kind == TapKind::Length) {
        grid_.lengthField(landed.group).setText(landed.before);
        return;
    }
    ui::Control& pieces = grid_.pieces(landed.row, landed.group);
    long long count = 0;
    if (!countOf(pieces.text(), count)) {
        return; // the desk typed over it: the desk's text stands
    }
    const long long left = std::max(0LL, count - landed.pieces);
    pieces.setText(left == 0 ? u"" : intText(left));
    if (left == 0 && landed.wroteRow) {
        grid_.diameter(landed.row, landed.group).setText(landed.before);
    }
}

std::vector<ui::Control*> GridTally::touched() {
    std::vector<ui::Control*> out;
    for (int g = 0; g < grid::kGroups; ++g) {
        out.push_back(&grid_.lengthField(g));
        for (int r = 1; r <= grid::kRows; ++r) {
            out.push_back(&grid_.diameter(r, g));
            out.push_back(&grid_.pieces(r, g));
        }
    }
    return out;
}

std::vector<ui::Control*> ListTally::touched() {
    std::vector<ui::Control*> out;
    for (int r = 0; r < list::kRows; ++r) {
        for (int column = 1; column <= 3; ++column) {
            out.push_back(&cell(column, r));
        }
    }
    return out;
}

namespace {

std::vector<std::u16string> textsOf(const std::vector<ui::Control*>& controls) {
    std::vector<std::u16string> out;
    for (const ui::Control* c : controls) {
        out.push_back(c->text());
    }
    return out;
}

void putTexts(const std::vector<ui::Control*>& controls, const std::vector<std::u16string>& t) {
    for (std::size_t i = 0; i < controls.size() && i < t.size(); ++i) {
        controls[i]->setText(t[i]);
    }
}

} // namespace

std::vector<std::u16string> GridTally::keep() {
    return textsOf(touched());
}

void GridTally::restore(const std::vector<std::u16string>& texts) {
    putTexts(touched(), texts);
}

std::vector<std::u16string> ListTally::keep() {
    return textsOf(touched());
}

void ListTally::restore(const std::vector<std::u16string>& texts) {
    putTexts(touched(), texts);
}

std::vector<std::u16string> ListTally::lengths() {
    std::vector<std::u16string> found;
    for (int r = 0; r < list::kRows; ++r) {
        const std::u16string l = trimmed(cell(1, r).text());
        if (!l.empty() && std::none_of(found.begin(), found.end(),
                                       [&](const auto& f) { return sameSize(f, l); })) {
            found.push_back(l);
        }
    }
    return found;
}

TallyView ListTally::view() {
    TallyView v;
    v.title = u"多材长";
    v.rule = std::u16string(volume::ruleName(list_.rule()));
    for (const std::u16string& length : lengths()) {
        GroupView group;
        group.length = length;
        double sum = 0;
        for (int r = 0; r < list::kRows; ++r) {
            if (!sameSize(cell(1, r).text(), length) || trimmed(cell(2, r).text()).empty()) {
                continue;
            }
            long long n = 0;
            if (!countOf(cell(3, r).text(), n)) {
                n = static_cast<long long>(parseNumber(cell(3, r).text()));
            }
            group.classes.push_back({trimmed(cell(2, r).text()), n, cell(4, r).text()});
            group.pieces += n;
            sum += parseNumber(cell(4, r).text());
        }
        // The rule's classes beside the typed ones, so that a new length has its buttons.
        for (int r = 1; r <= grid::kRows; ++r) {
            const std::u16string preset = intText(volume::presetDiameter(list_.rule(), r, false));
            if (std::none_of(group.classes.begin(), group.classes.end(),
                             [&](const ClassView& c) { return sameSize(c.diameter, preset); })) {
                group.classes.push_back({preset, 0, {}});
            }
        }
        std::stable_sort(group.classes.begin(), group.classes.end(),
                         [](const ClassView& a, const ClassView& b) {
                             return parseNumber(a.diameter) < parseNumber(b.diameter);
                         });
        add(v, std::move(group), sum);
    }
    return finished(v);
}

std::u16string ListTally::apply(const Tap& tap, Landed& landed) {
    landed = {};
    landed.kind = tap.kind;
    if (tap.kind == TapKind::Length) {
        // A length set before its first log is the phone's alone until a log comes.
        const std::vector<std::u16string> known = lengths();
        if (tap.group >= 0 && tap.group < static_cast<int>(known.size())) {
            landed.before = known[tap.group];
            for (int r = 0; r < list::kRows; ++r) {
                if (sameSize(cell(1, r).text(), landed.before)) {
                    cell(1, r).setText(tap.length);
                }
            }
            landed.group = tap.group;
            landed.row = -1;
        }
        return {};
    }
    std::u16string wanted = tap.diameter;
    if (tap.kind == TapKind::Log) {
        wanted = plainText(volume::diameterClass(list_.rule(), parseNumber(tap.diameter)));
    }
    const std::u16string at = tap.length + u"米 " + wanted + u"径级";
    int row = -1, freeRow = -1;
    for (int r = 0; r < list::kRows && row < 0; ++r) {
        if (sameSize(cell(1, r).text(), tap.length) && sameSize(cell(2, r).text(), wanted)) {
            row = r;
        } else if (freeRow < 0 && trimmed(cell(1, r).text()).empty() &&
                   trimmed(cell(2, r).text()).empty() && trimmed(cell(3, r).text()).empty()) {
            freeRow = r;
        }
    }
    if (row < 0 && freeRow < 0) {
        return u"多材长的" + intText(list::kRows) + u"行已经写满，" + at +
               u"放不下，请先导出这一车或腾出一行。";
    }
    long long count = 0;
    if (row >= 0 && !countOf(cell(3, row).text(), count)) {
        return notACount(at, cell(3, row).text());
    }
    if (count + tap.pieces > kMostPieces) {
        return tooMany(at);
    }
    if (row < 0) {
        row = freeRow;
        landed.wroteRow = true;
        cell(1, row).setText(tap.length);
        cell(2, row).setText(wanted);
    }
    cell(3, row).setText(intText(count + tap.pieces));
    landed.row = row;
    landed.pieces = tap.pieces;
    return {};
}

void ListTally::takeBack(const Landed& landed) {
    if (landed.kind == TapKind::Length) {
        if (landed.row == -1) {
            const std::vector<std::u16string> known = lengths();
            if (landed.group < static_cast<int>(known.size())) {
                const std::u16string now = known[landed.group];
                for (int r = 0; r < list::kRows; ++r) {
                    if (sameSize(cell(1, r).text(), now)) {
                        cell(1, r).setText(landed.before);
                    }
                }
            }
        }
        return;
    }
    long long count = 0;
    if (!countOf(cell(3, landed.row).text(), count)) {
        return;
    }
    const long long left = std::max(0LL, count - landed.pieces);
    cell(3, landed.row).setText(left == 0 ? u"" : intText(left));
    if (left == 0 && landed.wroteRow) {
        cell(1, landed.row).setText(u"");
        cell(2, landed.row).setText(u"");
    }
}

} // namespace logora::phone
