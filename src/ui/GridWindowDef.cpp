// SPDX-License-Identifier: GPL-3.0-or-later
// Form1, the grid-mode log calculator: 14 diameter-class rows in four column groups.
#include "prices/PriceList.hpp"
#include "ui/DefBuilder.hpp"
#include "ui/GridCells.hpp"

namespace logora::ui {

using namespace detail;

namespace {

constexpr int kColumnLeft[12] = {750,  1200, 1800, 2775, 3300, 3900,
                                 4875, 5325, 5925, 6900, 7425, 8025};
constexpr int kColumnWidth[12] = {540, 615, 915, 540, 615, 915, 540, 615, 915, 540, 615, 915};

// After a group's length the user types down that group's pieces column.
std::vector<ControlKey> gridFocusOrder() {
    std::vector<ControlKey> o;
    auto cellsDown = [&](int index, int from, int to) {
        const int step = from <= to ? 1 : -1;
        for (int r = from;; r += step) {
            o.push_back({gridRowName(r), index});
            if (r == to) {
                break;
            }
        }
    };
    const char16_t* lengths[4] = {u"Text23", u"Text15", u"Text26", u"Text21"};
    for (int g = 0; g < kGridGroups; ++g) {
        o.push_back({lengths[g]});
        cellsDown(gridCell(g, GridColumn::Pieces), 1, 14);
    }
    for (int g = 0; g < kGridGroups; ++g) {
        cellsDown(gridCell(g, GridColumn::Diameter), 1, 14);
    }
    for (const char16_t* name : {u"Text17", u"Text27", u"Text25", u"Text20", u"Command3",
                                 u"Command4", u"Command6", u"Command1"}) {
        o.push_back({name});
    }
    auto volumes = [](int g) { return gridCell(g, GridColumn::Volume); };
    cellsDown(volumes(0), 14, 1);
    cellsDown(volumes(2), 14, 3);
    cellsDown(volumes(1), 14, 1);
    cellsDown(volumes(2), 2, 1);
    cellsDown(volumes(3), 14, 1);
    for (const char16_t* name : {u"Text22", u"Text24", u"Combo1", u"Combo2", u"Combo3", u"Combo4",
                                 u"Combo5", u"Command2"}) {
        o.push_back({name});
    }
    const std::pair<const char16_t*, int> table[] = {
        {u"Text16", 0}, {u"Text18", 0}, {u"Text19", 0}, {u"Text28", 0}, {u"Text28", 1},
        {u"Text19", 1}, {u"Text18", 1}, {u"Text16", 1}, {u"Text28", 2}, {u"Text19", 2},
        {u"Text18", 2}, {u"Text16", 2}, {u"Text28", 3}, {u"Text18", 3}, {u"Text16", 3},
        {u"Text29", 0}, {u"Text30", 0}, {u"Text29", 1}, {u"Text30", 1}, {u"Text29", 2},
        {u"Text30", 2}, {u"Text29", 3}, {u"Text30", 3}, {u"Text30", 4}, {u"Text29", 4},
        {u"Text30", 5}, {u"Text29", 5}, {u"Text30", 6}, {u"Text29", 6}, {u"Text30", 7},
        {u"Text29", 7}};
    for (const auto& [name, e] : table) {
        o.push_back({name, e});
    }
    return o;
}

} // namespace

WindowDef gridWindowDef() {
    WindowDef w;
    w.name = u"Form1";
    w.title = u"Logora";
    w.width = 10900;
    w.height = 10170;
    w.back = kWindowBack;
    w.frameless = true;
    w.band = u"Logora  原木检尺计算";
    auto& c = w.controls;

    // Bill header.
    c.push_back(combo(u"Combo4", 780, 1320, 1140, u"购货单位",
                      {u"购货单位:", u"单位:", u"地点:", u"公司名称:", u"林班小班:"}));
    c.push_back(text(u"Text17", kNoElement, 1935, 1320, 3525));
    c.push_back(combo(u"Combo2", 5580, 1320, 1170, u"车号",
                      {u"车号:", u"联系人:", u"联系电话:", u"银行账号:", u"地址:", u"部门:",
                       u"林班小班:", u"违法行为人:", u"小地名:"}));
    c.push_back(text(u"Text22", kNoElement, 6765, 1320, 2775));

    // Length fields with their captions.
    struct Length {
        const char16_t* field;
        int left;
        const char16_t* label;
        int labelElement;
        const char16_t* initial;
    };
    const Length lengths[4] = {{u"Text23", 1800, u"Label9", kNoElement, u"4"},
                               {u"Text15", 3750, u"Label10", 0, u""},
                               {u"Text26", 5550, u"Label10", 2, u"5"},
                               // A little left of its group's middle: the unit caption
                               // beside it needs every pixel to the frame.
                               {u"Text21", 7485, u"Label6", kNoElement, u""}};
    for (const Length& l : lengths) {
        c.push_back(label(l.label, l.labelElement, l.left - 600, 1860, 540, 255, u"材长"));
        c.push_back(selecting(withFont(
            withBack(text(l.field, kNoElement, l.left, 1800, 720, 360, l.initial), kPeach), 12)));
    }
    c.push_back(withFont(
        label(u"Label8", kNoElement, 8250, 1860, 2550, 255, u"单位：米、厘米、元           立方米"),
        9));

    // Column headings.
    for (int g = 0; g < kGridGroups; ++g) {
        auto heading = [&](const char16_t* name, GridColumn column, const char16_t* caption) {
            const int j = gridCell(g, column);
            c.push_back(label(name, g, kColumnLeft[j], 2220, kColumnWidth[j], 240, caption));
        };
        heading(u"Label2", GridColumn::Diameter, u"径级");
        heading(u"Label3", GridColumn::Pieces, u"件数");
        heading(u"Label4", GridColumn::Volume, u"材  积");
    }

    // The tally grid: Text1 (top row) .. Text14, twelve cells each.
    for (int r = 1; r <= kGridRows; ++r) {
        const Rgb back = (r == 4 || r == 9) ? kPink : kPeach;
        for (int j = 0; j < kGridCells; ++j) {
            const std::u16string initial = gridColumnOf(j) == GridColumn::Diameter
                                               ? text::intText(2 * r + 2)
                                               : std::u16string();
            c.push_back(
                tableCell(withBack(text(gridRowName(r), j, kColumnLeft[j], 2460 + 300 * (r - 1),
                                        kColumnWidth[j], 315, initial),
                                   back)));
        }
    }

    // Totals row under the grid: per group in the four-length layout, per pair in the other.
    struct Total {
        const char16_t* name;
        int element;
        int left, top, width;
        bool visible;
    };
    const Total totals[] = {
        {u"Text29", 0, 750, 6675, 1065, true},   {u"Text30", 0, 1800, 6675, 915, true},
        {u"Text29", 1, 2775, 6675, 1140, true},  {u"Text30", 1, 3900, 6675, 915, true},
        {u"Text29", 2, 4875, 6675, 1065, true},  {u"Text30", 2, 5925, 6675, 915, true},
        {u"Text29", 3, 6900, 6675, 1140, true},  {u"Text30", 3, 8025, 6675, 915, true},
        {u"Text29", 4, 2775, 6675, 1140, false}, {u"Text30", 4, 3900, 6675, 915, false},
        {u"Text29", 5, 6900, 6675, 1140, false}, {u"Text30", 5, 8025, 6675, 915, false},
        {u"Text29", 6, 675, 7125, 1065, false},  {u"Text30", 6, 1725, 7125, 915, false},
        {u"Text29", 7, 4800, 7200, 1065, false}, {u"Text30", 7, 5850, 7200, 915, false},
    };
    for (const Total& t : totals) {
        ControlDef d = withBack(text(t.name, t.element, t.left, t.top, t.width), kTotalRed);
        d.visible = t.visible;
        c.push_back(d);
    }

    // Layout switch: two clickable labels taking turns in one place.
    ControlDef label19 =
        clickable(label(u"Label19", kNoElement, 1050, 7650, 840, 615, u"增加径级规格"));
    label19.toolTip = u"请先输入材长再点此键";
    c.push_back(label19);
    c.push_back(
        hidden(clickable(label(u"Label20", kNoElement, 1050, 7650, 840, 615, u"增加材长规格"))));

    // Price-class table.
    c.push_back(label(u"Label14", kNoElement, 3420, 7050, 975, 255, u"件  数"));
    c.push_back(label(u"Label15", kNoElement, 4545, 7050, 1200, 255, u"材   积"));
    c.push_back(label(u"Label16", kNoElement, 5895, 7050, 1200, 255, u"单   价"));
    c.push_back(label(u"Label17", kNoElement, 7245, 7050, 1200, 255, u"金   额"));
    struct ClassRow {
        const char16_t* label;
        const char16_t* caption;
        int top;
    };
    const ClassRow rows[4] = {{u"Label7", u"直径12CM以下：", 7350},
                              {u"Label12", u"直径14-18CM：", 7650},
                              {u"Label13", u"直径20CM以上：", 7950},
                              {u"Label11", u"总   计：", 8325}};
    for (int k = 0; k < 4; ++k) {
        const Rgb back = k == 3 ? kTotalRed : kPeach;
        c.push_back(withFont(
            label(rows[k].label, kNoElement, 2070, rows[k].top + 30, 1350, 255, rows[k].caption),
            9));
        c.push_back(withBack(text(u"Text16", k, 3420, rows[k].top, 975), back));
        c.push_back(withBack(text(u"Text18", k, 4545, rows[k].top, 1200), back));
        if (k < 3) {
            c.push_back(withBack(text(u"Text19", k, 5895, rows[k].top, 1200), back));
        }
        c.push_back(withBack(text(u"Text28", k, 7245, rows[k].top, 1200), back));
    }
    c.push_back(withBack(
        withRole(clickable(label(u"Label5", kNoElement, 6045, 8400, 915, 240, u"单价设置")),
                 Role::OpenPrices),
        kTotalRed));

    // Bill footer.
    c.push_back(combo(u"Combo5", 660, 8775, 1170, u"出货单位",
                      {u"出货单位:", u"单位:", u"参加人员:", u"电话:", u"银行账号:", u"联系人:",
                       u"鉴定人:", u"小地名:", u"公司名称:", u"林班小班:"}));
    c.push_back(text(u"Text20", kNoElement, 1845, 8775, 3780));
    c.push_back(combo(u"Combo1", 5775, 8805, 1185, u"联系人",
                      {u"联系人:", u"电话:", u"银行账号:", u"地址:", u"参与人:", u"见证人:",
                       u"职称:", u"小地名:", u"林班小班:"}));
    c.push_back(text(u"Text24", kNoElement, 6975, 8775, 2040));

    // The volume rule, under the footer: the chooser and the comparison of every rule.
    c.push_back(label(u"Label21", kNoElement, 660, 9270, 1170, 255, u"检尺标准"));
    c.push_back(ruleChooser(u"Combo6", 1845, 9225, 2100));
    c.push_back(withRole(button(u"Command8", 4080, 9195, 1215, 375, u"标准对照"), Role::Compare));
    // The price list in force, under the rule, and its detail.
    c.push_back(label(u"Label24", kNoElement, 660, 9705, 1170, 255, u"价 格 表"));
    c.push_back(withFont(label(u"Label23", kNoElement, 1845, 9705, 2100, 255,
                               std::u16string(prices::kDefaultPricesName)),
                         9));
    c.push_back(
        withRole(button(u"Command9", 4080, 9660, 1215, 375, u"价格明细"), Role::PriceDetail));
    // The status line: which entry has no volume under the rule, or no price, and why.
    c.push_back(withFont(label(u"Label22", kNoElement, 5400, 9150, 5400, 930, u""), 9));

    // Right-hand panel: species and inspector, the switch combo and the buttons.
    c.push_back(label(u"Label18", kNoElement, 9075, 2700, 1215, 240, u"树   种"));
    c.push_back(text(u"Text27", kNoElement, 9075, 2940, 1215));
    c.push_back(label(u"Label1", kNoElement, 9075, 3420, 1215, 240, u"检 尺 员"));
    c.push_back(text(u"Text25", kNoElement, 9075, 3660, 1215));
    c.push_back(withRole(
        combo(u"Combo3", 9075, 4140, 1215, u"原木计算", {u"原木计算", u"多 材 长", u"锯材计算"}),
        Role::SwitchBox));
    c.push_back(button(u"Command4", 9075, 4740, 1215, 540, u"清除数据"));
    c.push_back(withRole(button(u"Command3", 9075, 5400, 1215, 540, u"导出表格"), Role::Export));
    c.push_back(withRole(button(u"Command2", 9075, 6060, 1215, 540, u"最小化"), Role::Minimise));
    c.push_back(withRole(button(u"Command6", 9075, 6720, 1215, 540, u"退出"), Role::Exit));
    c.push_back(withRole(button(u"Command7", 9075, 7320, 1215, 540, u"账单记录"), Role::Ledger));
    c.push_back(withRole(button(u"Command1", 8940, 7950, 1500, 540, u"使用说明"), Role::Manual));
    c.push_back(withRole(button(u"Command10", 9075, 8640, 1215, 450, u"手机检尺"), Role::Phone));
    w.focusOrder = gridFocusOrder();
    // Widest values a truck's tally reaches: a cell to 999.9999 m³, totals to 9999.9999 m³,
    // amounts to 9999999.99 yuan.
    for (int r = 1; r <= kGridRows; ++r) {
        widest(c, gridRowName(r), u"999.9999",
               [](int e) { return gridColumnOf(e) == GridColumn::Volume; });
    }
    widest(c, u"Label22", kWidestGapLine);
    widest(c, u"Label23", u"辐射松 A级 · 东港木业有限公司");
    widest(c, u"Text29", u"99999");
    widest(c, u"Text30", u"9999.9999");
    widest(c, u"Text16", u"99999");
    widest(c, u"Text18", u"9999.9999");
    widest(c, u"Text19", u"9999.00");
    widest(c, u"Text28", u"9999999.99");
    return w;
}

} // namespace logora::ui
