// SPDX-License-Identifier: GPL-3.0-or-later
// Form2, the multi-length list calculator: 19 rows, each with its own length and price.
#include "prices/PriceList.hpp"
#include "ui/DefBuilder.hpp"

namespace logora::ui {

using namespace detail;

WindowDef listWindowDef() {
    WindowDef w;
    w.name = u"Form2";
    w.title = u"";
    w.width = 7500;
    w.height = 10035;
    w.back = kWindowBack;
    w.frameless = true;
    w.band = u"Logora  多材长原木计算";
    auto& c = w.controls;

    c.push_back(withFont(label(u"Label1", kNoElement, 480, 1155, 780, 255, u"购货单位"), 9));
    c.push_back(text(u"Text27", kNoElement, 1275, 1125, 3255));
    c.push_back(withFont(
        label(u"Label2", kNoElement, 4575, 1185, 2800, 255, u"单位：米、厘米、元、立方米"), 9));

    struct Column {
        const char16_t* field;
        const char16_t* heading;
        int left, width;
    };
    const Column columns[6] = {{u"Text1", u"材长", 1080, 615}, {u"Text2", u"径级", 1680, 615},
                               {u"Text3", u"件数", 2280, 615}, {u"Text4", u"材积", 2880, 855},
                               {u"Text5", u"单价", 3720, 615}, {u"Text6", u"金  额", 4320, 975}};
    for (int k = 0; k < 6; ++k) {
        c.push_back(
            label(u"Label3", k, columns[k].left, 1545, columns[k].width, 210, columns[k].heading));
    }
    for (const Column& col : columns) {
        for (int r = 0; r < 19; ++r) {
            ControlDef d = withBack(
                text(col.field, r, col.left, 1755 + 315 * r, col.width, r >= 13 ? 330 : 315),
                kPeach);
            // Every column but the amounts takes part in the table's keyboard rules.
            c.push_back(std::u16string_view(col.field) == u"Text6" ? d : tableCell(d));
        }
    }

    c.push_back(label(u"Label4", kNoElement, 5775, 2265, 1215, 240, u"树   种"));
    c.push_back(text(u"Text29", kNoElement, 5775, 2505, 1215));
    c.push_back(label(u"Label5", kNoElement, 5775, 2985, 1215, 240, u"检 尺 员"));
    c.push_back(text(u"Text28", kNoElement, 5775, 3225, 1215));
    c.push_back(withRole(button(u"Command6", 5700, 3900, 1335, 540, u"返回"), Role::BackToGrid));
    c.push_back(button(u"Command1", 5700, 4560, 1335, 540, u"清除数据"));
    c.push_back(withRole(button(u"Command2", 5700, 5220, 1335, 540, u"导出表格"), Role::Export));
    c.push_back(withRole(button(u"Command3", 5700, 5880, 1335, 540, u"退出"), Role::Exit));
    c.push_back(withRole(button(u"Command7", 5700, 6540, 1335, 540, u"账单记录"), Role::Ledger));
    c.push_back(withRole(button(u"Command5", 5700, 8580, 1335, 480, u"使用说明"), Role::Manual));
    c.push_back(withRole(button(u"Command10", 5700, 7200, 1335, 540, u"手机检尺"), Role::Phone));

    // Totals under the table.
    c.push_back(withFont(label(u"Label6", kNoElement, 480, 7845, 1020, 255, u"合计  件数"), 9));
    c.push_back(withBack(text(u"Text22", 5, 1530, 7815, 735), kTotalRed));
    c.push_back(withFont(label(u"Label7", kNoElement, 2340, 7845, 420, 255, u"材积"), 9));
    c.push_back(withBack(text(u"Text22", 4, 2790, 7815, 855), kTotalRed));
    c.push_back(withFont(label(u"Label8", kNoElement, 3720, 7845, 780, 255, u"分级金额"), 9));
    c.push_back(withBack(text(u"Text22", 10, 4500, 7815, 975), kTotalRed));
    c.push_back(withFont(label(u"Label9", kNoElement, 480, 8325, 780, 255, u"平均单价"), 9));
    c.push_back(withBack(text(u"Text22", 7, 1275, 8295, 855), kPeach));
    c.push_back(withFont(label(u"Label10", kNoElement, 2340, 8325, 780, 255, u"均价金额"), 9));
    c.push_back(withBack(text(u"Text22", 6, 3120, 8295, 975), kTotalRed));
    c.push_back(withFont(label(u"Label11", kNoElement, 480, 8715, 780, 255, u"售货单位"), 9));
    c.push_back(text(u"Text23", kNoElement, 1275, 8685, 3255));
    c.push_back(withFont(label(u"Label12", kNoElement, 480, 9150, 780, 255, u"检尺标准"), 9));
    c.push_back(ruleChooser(u"Combo1", 1275, 9105, 2100));
    c.push_back(withRole(button(u"Command8", 3480, 9075, 1215, 375, u"标准对照"), Role::Compare));
    // The price list in force, under the rule, and its detail.
    c.push_back(withFont(label(u"Label14", kNoElement, 480, 9585, 780, 255, u"价格表"), 9));
    ControlDef list = withFont(label(u"Label15", kNoElement, 1275, 9585, 2100, 255,
                                     std::u16string(prices::kDefaultPricesName)),
                               9);
    list.widest = u"辐射松 A级 · 东港木业有限公司";
    c.push_back(list);
    c.push_back(
        withRole(button(u"Command9", 3480, 9540, 1215, 375, u"价格明细"), Role::PriceDetail));
    // The status line: which line has no volume under the rule, or no price, and why.
    ControlDef gaps = withFont(label(u"Label13", kNoElement, 4800, 9090, 2640, 840, u""), 9);
    gaps.widest = kWidestGapLine;
    c.push_back(gaps);

    // Row by row through length, diameter, pieces and price; then the computed columns.
    auto& o = w.focusOrder;
    o.push_back({u"Text6", 18});
    for (int r = 0; r < 19; ++r) {
        for (const char16_t* name : {u"Text1", u"Text2", u"Text3", u"Text5"}) {
            o.push_back({name, r});
        }
    }
    o.push_back({u"Text4", 1});
    o.push_back({u"Text4", 18});
    for (int r = 17; r >= 0; --r) {
        o.push_back({u"Text6", r});
        if (r != 1) {
            o.push_back({u"Text4", r});
        }
    }
    // Widest values: a row to 999.9999 m³ and 999999.99 yuan, totals to 9999.999 m³ and
    // 9999999.99 yuan.
    widest(c, u"Text4", u"999.9999");
    widest(c, u"Text6", u"999999.99");
    widest(c, u"Text22", u"99999", [](int e) { return e == 5; });
    widest(c, u"Text22", u"9999.999", [](int e) { return e == 4; });
    widest(c, u"Text22", u"9999999.99", [](int e) { return e == 10 || e == 6; });
    return w;
}

} // namespace logora::ui
