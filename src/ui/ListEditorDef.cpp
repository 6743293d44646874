// SPDX-License-Identifier: GPL-3.0-or-later
// Form5, "价格表": one price list at a time as a table to type into, with its fees.
#include "prices/PriceList.hpp"
#include "ui/DefBuilder.hpp"

namespace logora::ui {

using namespace detail;

WindowDef listEditorDef() {
    WindowDef w;
    w.name = u"Form5";
    w.title = u"价格表";
    w.width = 9240;
    w.height = 6840;
    w.back = kWindowBack;
    auto& c = w.controls;
    // The list's key.
    c.push_back(label(u"Label1", kNoElement, 240, 165, 600, 255, u"树种"));
    c.push_back(text(u"Text1", kNoElement, 870, 120, 1800));
    c.push_back(label(u"Label2", kNoElement, 2850, 165, 600, 255, u"单位"));
    c.push_back(text(u"Text2", kNoElement, 3480, 120, 2400));
    c.push_back(label(u"Label3", kNoElement, 6060, 165, 600, 255, u"类别"));
    ControlDef kind = combo(u"Combo1", 6690, 120, 1200, u"原木", {u"原木", u"锯材"});
    kind.pickOnly = true;
    c.push_back(kind);
    // Which list, and the lists' own buttons.
    ControlDef where = label(u"Label4", kNoElement, 240, 585, 2160, 255, u"");
    where.widest = u"第 999 张，共 999 张";
    c.push_back(where);
    c.push_back(button(u"Command1", 2460, 540, 900, 375, u"上一张"));
    c.push_back(button(u"Command2", 3420, 540, 900, 375, u"下一张"));
    c.push_back(button(u"Command3", 4380, 540, 900, 375, u"新建"));
    c.push_back(button(u"Command4", 5340, 540, 900, 375, u"删除"));
    c.push_back(text(u"Text5", kNoElement, 6360, 570, 1200));
    c.push_back(button(u"Command5", 7620, 540, 900, 375, u"查找"));
    // The table: length bands across, diameter (or thickness) bands down, a price in each cell.
    ControlDef corner = label(u"Label5", kNoElement, 240, 1005, 1200, 255, u"径级＼材长");
    corner.widest = u"厚度＼材长";
    c.push_back(corner);
    for (int col = 0; col < kListEditorLengths; ++col) {
        c.push_back(withBack(text(u"Text6", col, 1500 + col * 1260, 960, 1200), kPink));
    }
    for (int row = 0; row < kListEditorBands; ++row) {
        const int top = 1290 + row * 300;
        c.push_back(withBack(text(u"Text7", row, 240, top, 1200, 300), kPink));
        for (int col = 0; col < kListEditorLengths; ++col) {
            c.push_back(withBack(
                text(u"Text3", row * kListEditorLengths + col, 1500 + col * 1260, top, 1200, 300),
                kPeach));
        }
    }
    // The fees.
    for (int k = 0; k < kListEditorFees; ++k) {
        const int top = 5010 + k * 300;
        if (k == 0) {
            c.push_back(label(u"Label6", kNoElement, 240, top + 45, 600, 255, u"费用"));
        }
        c.push_back(text(u"Text8", k, 870, top, 1500, 300));
        c.push_back(text(u"Text9", k, 2430, top, 1000, 300));
        ControlDef unit =
            combo(u"Combo2", 3490, top, 1500, u"元/立方米", {u"元/立方米", u"元/根", u"元/单"});
        unit.element = k;
        unit.pickOnly = true;
        c.push_back(unit);
    }
    c.push_back(withFont(label(u"Label7", kNoElement, 5100, 5010, 3900, 1200,
                               u"单价填数字为元/立方米，按根计价写“12元/根”，不填为无价。"
                               u"档位写“14-18”“20-”（20以上）或“14”；材长档不填，各种材长同价。"
                               u"从表格软件复制一整张价格表后点“粘贴”。"),
                         9));
    c.push_back(button(u"Command6", 240, 6330, 900, 390, u"复制"));
    c.push_back(button(u"Command7", 1200, 6330, 900, 390, u"粘贴"));
    c.push_back(button(u"Command8", 2160, 6330, 1140, 390, u"导入CSV"));
    c.push_back(button(u"Command9", 3360, 6330, 1140, 390, u"导出CSV"));
    c.push_back(button(u"Command10", 7140, 6330, 900, 390, u"保存"));
    c.push_back(button(u"Command11", 8100, 6330, 900, 390, u"关闭"));
    widest(c, u"Text3", u"99999元/根");
    return w;
}

} // namespace logora::ui
