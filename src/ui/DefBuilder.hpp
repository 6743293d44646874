// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers for writing window definitions as readable tables.
#pragma once

#include "ui/WindowDef.hpp"
#include "volume/Rules.hpp"

#include <string>
#include <utility>

namespace logora::ui::detail {

inline ControlDef text(std::u16string name, int element, int left, int top, int width,
                       int height = 315, std::u16string initial = {}) {
    ControlDef d;
    d.kind = Kind::Text;
    d.name = std::move(name);
    d.element = element;
    d.left = left;
    d.top = top;
    d.width = width;
    d.height = height;
    d.text = std::move(initial);
    return d;
}

inline ControlDef label(std::u16string name, int element, int left, int top, int width, int height,
                        std::u16string caption) {
    ControlDef d;
    d.kind = Kind::Label;
    d.name = std::move(name);
    d.element = element;
    d.left = left;
    d.top = top;
    d.width = width;
    d.height = height;
    d.text = std::move(caption);
    return d;
}

inline ControlDef button(std::u16string name, int left, int top, int width, int height,
                         std::u16string caption) {
    ControlDef d;
    d.kind = Kind::Button;
    d.name = std::move(name);
    d.left = left;
    d.top = top;
    d.width = width;
    d.height = height;
    d.text = std::move(caption);
    return d;
}

inline ControlDef combo(std::u16string name, int left, int top, int width, std::u16string initial,
                        std::vector<std::u16string> items) {
    ControlDef d;
    d.kind = Kind::Combo;
    d.name = std::move(name);
    d.left = left;
    d.top = top;
    d.width = width;
    d.height = 315;
    d.text = std::move(initial);
    d.items = std::move(items);
    d.font.points = 9; // the caption fits its chooser beside the drop-down arrow
    return d;
}

// "检尺标准": the rules by name, the national one first and chosen.
inline ControlDef ruleChooser(std::u16string name, int left, int top, int width) {
    std::vector<std::u16string> names;
    for (volume::Rule r : volume::kRules) {
        names.emplace_back(volume::ruleName(r));
    }
    ControlDef d = combo(std::move(name), left, top, width, names.front(), names);
    d.pickOnly = true;
    return d;
}

inline ControlDef clickable(ControlDef d) {
    d.clickable = true;
    return d;
}

inline ControlDef withBack(ControlDef d, Rgb back) {
    d.back = back;
    return d;
}

inline ControlDef withFont(ControlDef d, double points, bool bold = false) {
    d.font.points = points;
    d.font.bold = bold;
    return d;
}

inline ControlDef selecting(ControlDef d) {
    d.selectOnFocus = true;
    return d;
}

// An element of a table array: selects on focus, Up and Down move along the array.
inline ControlDef tableCell(ControlDef d) {
    d.selectOnFocus = true;
    d.arrowKeys = true;
    return d;
}

inline ControlDef withRole(ControlDef d, Role role) {
    d.role = role;
    return d;
}

inline ControlDef hidden(ControlDef d) {
    d.visible = false;
    return d;
}

// The widest text a computed field can reach: for the named fields, or those elements of them
// that the test picks.
template <typename Pick = bool (*)(int)>
void widest(
    std::vector<ControlDef>& controls, std::u16string_view name, std::u16string_view text,
    Pick pick = [](int) { return true; }) {
    for (ControlDef& d : controls) {
        if (d.name == name && pick(d.element)) {
            d.widest = text;
        }
    }
}

} // namespace logora::ui::detail
