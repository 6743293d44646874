// SPDX-License-Identifier: GPL-3.0-or-later
// Form3, the sawn-timber calculator: 8 rows of length, width, thickness, pieces and price.
#include "prices/PriceList.hpp"
#include "ui/DefBuilder.hpp"

namespace logora::ui {

using namespace detail;

WindowDef sawnWindowDef() {
    WindowDef w;
    w.name = u"Form3";
    w.title = u"Planora";
    w.width = 9425;
    w.height = 7230;
    w.back = kWindowBack;
    w.frameless = true;
    w.band = u"Planora  锯材计算";
    auto& c = w.controls;

    c.push_back(combo(u"Combo3", 585, 1305, 1185, u"购货单位", {u"购货单位", u"公司名称"}));
    c.push_back(text(u"Text10", kNoElement, 1800, 1305, 3525));
    c.push_back(combo(u"Combo2", 5445, 1305, 1140, u"车号",
                      {u"车号", u"联系人", u"电话", u"银行账号", u"地址"}));
    c.push_back(text(u"Text11", kNoElement, 6615, 1305, 2085));

    c.push_back(
        label(u"Label1", kNoElement, 1080, 2025, 2880, 255, u"（长、    宽、   厚、   件）"));
    c.push_back(label(u"Label2", kNoElement, 3960, 2025, 975, 255, u"材积"));
    c.push_back(label(u"Label3", kNoElement, 4920, 2025, 720, 255, u"单价"));
    c.push_back(label(u"Label4", kNoElement, 5640, 2025, 975, 255, u"金额"));
    c.push_back(
        withFont(label(u"Label5", kNoElement, 6660, 2085, 1500, 210, u"单位：立方米、元"), 8));

    struct Column {
        const char16_t* field;
        int left, width;
        bool entry;
    };
    const Column columns[7] = {{u"Text1", 1080, 855, true},  {u"Text2", 1800, 855, true},
                               {u"Text3", 2520, 855, true},  {u"Text4", 3240, 855, true},
                               {u"Text5", 3960, 975, false}, {u"Text6", 4920, 855, true},
                               {u"Text7", 5640, 975, false}};
    for (const Column& col : columns) {
        for (int r = 0; r < 8; ++r) {
            ControlDef d =
                withBack(text(col.field, r, col.left, 2385 + 360 * r, col.width, 375), kPeach);
            c.push_back(col.entry ? tableCell(d) : d);
        }
    }

    c.push_back(label(u"Label6", kNoElement, 3240, 5415, 720, 255, u"合计"));
    c.push_back(withBack(text(u"Text8", kNoElement, 3960, 5385, 975, 375), kTotalRed));
    c.push_back(withBack(text(u"Text9", kNoElement, 5640, 5385, 975, 375), kTotalRed));

    c.push_back(combo(u"Combo4", 585, 6210, 1185, u"出货单位",
                      {u"出货单位", u"银行账号", u"联系人", u"联系电话"}));
    c.push_back(text(u"Text13", kNoElement, 1800, 6210, 3525));
    c.push_back(combo(u"Combo1", 5445, 6210, 1140, u"联系人",
                      {u"联系人", u"车号", u"银行账号", u"地址", u"电话"}));
    c.push_back(text(u"Text12", kNoElement, 6615, 6210, 2175));

    c.push_back(label(u"Label10", kNoElement, 7560, 2310, 735, 240, u"检尺员"));
    c.push_back(text(u"Text14", kNoElement, 7200, 2550, 1215));
    c.push_back(withRole(button(u"Command5", 7200, 3060, 1215, 540, u"返回"), Role::BackToGrid));
    c.push_back(button(u"Command1", 7200, 3720, 1215, 540, u"清除数据"));
    c.push_back(withRole(button(u"Command4", 7200, 4380, 1215, 540, u"导出表格"), Role::Export));
    c.push_back(withRole(button(u"Command2", 7200, 5040, 1215, 540, u"使用说明"), Role::Manual));
    c.push_back(withRole(button(u"Command7", 7200, 5640, 1215, 480, u"账单记录"), Role::Ledger));

    // The price list in force, picked by the parties or by hand, and its detail.
    c.push_back(label(u"Label11", kNoElement, 585, 6720, 1185, 255, u"价 格 表"));
    ControlDef list = withFont(label(u"Label12", kNoElement, 1800, 6720, 2400, 255,
                                     std::u16string(prices::kDefaultPricesName)),
                               9);
    list.widest = u"辐射松 A级 · 东港木业有限公司";
    c.push_back(list);
    c.push_back(
        withRole(button(u"Command8", 4320, 6675, 1215, 375, u"价格明细"), Role::PriceDetail));
    // The status line: which line has no price in the list.
    ControlDef gaps = withFont(label(u"Label13", kNoElement, 5640, 6615, 3600, 480, u""), 9);
    gaps.widest = u"8处无价：厚度12.5 长6.25米不在价格表“辐射松 A级”里";
    c.push_back(gaps);

    auto& o = w.focusOrder;
    for (int r = 0; r < 8; ++r) {
        for (const char16_t* name : {u"Text1", u"Text2", u"Text3", u"Text4", u"Text6"}) {
            o.push_back({name, r});
        }
    }
    for (int r = 0; r < 8; ++r) {
        o.push_back({u"Text5", r});
        o.push_back({u"Text7", r});
    }
    // Widest values: a row to 999.9999 m³ and 999999.99 yuan, totals to 9999.9999 m³ and
    // 9999999.99 yuan (shown with four decimals).
    widest(c, u"Text5", u"999.9999");
    widest(c, u"Text7", u"999999.99");
    widest(c, u"Text8", u"9999.9999");
    widest(c, u"Text9", u"9999999.9900");
    return w;
}

} // namespace logora::ui
