// SPDX-License-Identifier: GPL-3.0-or-later
// Side-by-side fields of a definition may share a border, no more, unless both front ends
// are known to draw that overlap right (the later field over the earlier, as on Qt).
#include "ui/WindowDef.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <tuple>

using namespace logora;

namespace {

constexpr int kBorder = 15; // twips: one pixel at 96 dpi

// (window, earlier field, later field, element step): the grid's 径级/件数 pairs of length
// groups 0 and 2 (elements 0-1 and 6-7 of each row), the sawn rows' neighbouring columns.
bool drawnRight(const std::u16string& window, const ui::ControlDef& a, const ui::ControlDef& b) {
    if (window == u"Form1") {
        return a.name == b.name &&
               ((a.element == 0 && b.element == 1) || (a.element == 6 && b.element == 7));
    }
    if (window == u"Form3") {
        const std::set<std::pair<std::u16string, std::u16string>> pairs = {{u"Text1", u"Text2"},
                                                                           {u"Text2", u"Text3"},
                                                                           {u"Text3", u"Text4"},
                                                                           {u"Text4", u"Text5"},
                                                                           {u"Text6", u"Text7"}};
        return a.element == b.element && pairs.count({a.name, b.name}) == 1;
    }
    return false;
}

} // namespace

TEST(WindowDefs, SideBySideFieldsShareABorderAtMost) {
    for (ui::WindowDef (*def)() :
         {&ui::gridWindowDef, &ui::listWindowDef, &ui::sawnWindowDef, &ui::priceWindowDef}) {
        const ui::WindowDef w = def();
        for (std::size_t i = 0; i < w.controls.size(); ++i) {
            for (std::size_t j = i + 1; j < w.controls.size(); ++j) {
                const ui::ControlDef& a = w.controls[i];
                const ui::ControlDef& b = w.controls[j];
                if (a.kind != ui::Kind::Text || b.kind != ui::Kind::Text || !a.visible ||
                    !b.visible) {
                    continue; // fields of the other layout never stand beside these
                }
                const int across =
                    std::min(a.left + a.width, b.left + b.width) - std::max(a.left, b.left);
                const int down =
                    std::min(a.top + a.height, b.top + b.height) - std::max(a.top, b.top);
                if (across > kBorder && down > kBorder && !drawnRight(w.name, a, b)) {
                    ADD_FAILURE() << std::string(w.name.begin(), w.name.end()) << ": "
                                  << std::string(a.name.begin(), a.name.end()) << "(" << a.element
                                  << ") and " << std::string(b.name.begin(), b.name.end()) << "("
                                  << b.element << ") overlap by " << across << " twips";
                }
            }
        }
    }
}
