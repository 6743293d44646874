// SPDX-License-Identifier: GPL-3.0-or-later
// Form4, the grade price window.
#include "ui/DefBuilder.hpp"

namespace logora::ui {

using namespace detail;

WindowDef priceWindowDef() {
    WindowDef w;
    w.name = u"Form4";
    w.title = u"单价设置";
    w.width = 5820;
    w.height = 3405;
    w.back = kWindowBack;
    auto& c = w.controls;
    c.push_back(
        withFont(label(u"Label1", kNoElement, 2025, 225, 1815, 315, u"单价设置说明"), 14.25, true));
    c.push_back(label(u"Label2", kNoElement, 450, 600, 4890, 690,
                      u"    设置完成后点击保存退出即可，系统可自动保存设置的单价。"
                      u"若木材使用统一价格，可将单价设置成同一价格即可"));
    struct Row {
        const char16_t* label;
        const char16_t* caption;
        int labelTop, labelWidth, labelHeight, top;
    };
    const Row rows[3] = {{u"Label7", u"直径12CM以下单价：", 1575, 1815, 315, 1500},
                         {u"Label12", u"直径14-18CM单价：", 1950, 1740, 315, 1875},
                         {u"Label13", u"直径20CM以上单价：", 2325, 1740, 240, 2250}};
    for (int k = 0; k < 3; ++k) {
        c.push_back(label(rows[k].label, kNoElement, 675, rows[k].labelTop, rows[k].labelWidth,
                          rows[k].labelHeight, rows[k].caption));
        // A price typed over the old one, never after it: the whole text is selected.
        c.push_back(selecting(withBack(text(u"Text1", k, 2625, rows[k].top, 1065), kPeach)));
        c.push_back(label(u"Label4", k, 3825, rows[k].top, 1065, 315, u"元/立方米"));
    }
    c.push_back(clickable(label(u"Label3", kNoElement, 4275, 2850, 1140, 315, u"保存退出")));
    // Tab and Enter go from price to price, then to "保存退出", which Enter presses.
    w.focusOrder = {{u"Text1", 0}, {u"Text1", 1}, {u"Text1", 2}, {u"Label3", kNoElement}};
    return w;
}

} // namespace logora::ui
