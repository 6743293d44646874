// SPDX-License-Identifier: GPL-3.0-or-later
#include "sawn/SawnWindow.hpp"

#include "text/NumberText.hpp"

#include <gtest/gtest.h>

using namespace logora;
using logora::text::toUtf8;

namespace {

class Sawn : public ::testing::Test {
  protected:
    sawn::SawnWindow w;
    ui::Control& f(std::u16string_view name, int e = ui::kNoElement) {
        return w.form().control(name, e);
    }
    std::u16string t(std::u16string_view name, int e = ui::kNoElement) { return f(name, e).text(); }
    void row(int r, std::u16string_view l, std::u16string_view wd, std::u16string_view th,
             std::u16string_view n, std::u16string_view price) {
        f(u"Text1", r).setText(l);
        f(u"Text2", r).setText(wd);
        f(u"Text3", r).setText(th);
        f(u"Text4", r).setText(n);
        f(u"Text6", r).setText(price);
    }
};

struct RowCase {
    std::u16string l, w, th, n, price, volume, amount;
};

TEST_F(Sawn, RowVolumesAndAmounts) {
    const RowCase cases[] = {
        {u"", u"", u"", u"", u"", u"", u""},
        {u"400", u"20", u"5", u"10", u"1200", u"0.4000", u"480.00"},
        {u"10", u"1", u"1", u"1", u"1000", u"", u""},                // 0.00001 m3 shows as nothing
        {u"", u"", u"", u"", u"900", u"", u""},                      // a price alone gives nothing
        {u"247", u"10", u"5", u"10", u"1000", u"0.1235", u"123.50"}, // 0.1235 shown
        {u"10", u"10", u"1", u"1", u"1", u"0.0001", u""},            // amount 0.00 hidden
        {u"100", u"10", u"10", u"1", u"1", u"0.0100", u"0.01"},
    };
    for (const auto& c : cases) {
        for (int r : {0, 7}) {
            sawn::SawnWindow fresh;
            auto& form = fresh.form();
            form.control(u"Text1", r).setText(c.l);
            form.control(u"Text2", r).setText(c.w);
            form.control(u"Text3", r).setText(c.th);
            form.control(u"Text4", r).setText(c.n);
            form.control(u"Text6", r).setText(c.price);
            fresh.tick();
            EXPECT_EQ(form.control(u"Text5", r).text(), c.volume) << toUtf8(c.l) << " row " << r;
            EXPECT_EQ(form.control(u"Text7", r).text(), c.amount) << toUtf8(c.l) << " row " << r;
        }
    }
}

TEST_F(Sawn, AmountUsesTheDisplayedVolume) {
    // 247 x 10 x 5 x 10 / 1e6 = 0.1235 exactly; 246.9 gives 0.12345 shown as 0.1235 too.
    row(2, u"246.9", u"10", u"5", u"10", u"1000");
    w.tick();
    EXPECT_EQ(t(u"Text5", 2), u"0.1235");
    EXPECT_EQ(t(u"Text7", 2), u"123.50");
}

TEST_F(Sawn, TotalsCarryFourDecimals) {
    row(0, u"400", u"20", u"5", u"10", u"1200");
    row(7, u"247", u"10", u"5", u"10", u"1000");
    w.tick();
    EXPECT_EQ(t(u"Text8"), u"0.5235");
    EXPECT_EQ(t(u"Text9"), u"603.5000");
    f(u"Text9").setText(u"1");
    w.tick();
    EXPECT_EQ(t(u"Text9"), u"603.5000");
}

TEST_F(Sawn, EmptyTableHasNoTotals) {
    f(u"Text8").setText(u"0.0000");
    f(u"Text9").setText(u"-3");
    EXPECT_EQ(t(u"Text8"), u"");
    EXPECT_EQ(t(u"Text9"), u"");
    w.tick();
    EXPECT_EQ(t(u"Text8"), u"");
    EXPECT_EQ(t(u"Text9"), u"");
}

TEST_F(Sawn, ClearKeepsTheBottomLineInspectorAndCaptions) {
    row(3, u"400", u"20", u"5", u"10", u"1200");
    for (std::u16string_view name : {u"Text10", u"Text11", u"Text12", u"Text13", u"Text14"}) {
        f(name).setText(u"x");
    }
    f(u"Combo2").setText(u"电话");
    w.tick();
    w.form().click(u"Command1");
    for (int k = 1; k <= 7; ++k) {
        for (int r = 0; r < sawn::kRows; ++r) {
            EXPECT_EQ(t(u"Text" + text::plainText(k), r), u"");
        }
    }
    for (std::u16string_view name : {u"Text10", u"Text11", u"Text8", u"Text9"}) {
        EXPECT_EQ(t(name), u"") << toUtf8(name);
    }
    for (std::u16string_view name : {u"Text12", u"Text13", u"Text14"}) {
        EXPECT_EQ(t(name), u"x") << toUtf8(name);
    }
    EXPECT_EQ(t(u"Combo2"), u"电话");
    EXPECT_EQ(t(u"Combo3"), u"购货单位");
}

TEST_F(Sawn, AbsurdInputInEveryFieldNeverCrashes) {
    for (std::u16string_view absurd : {u"1e999", u"9e307", u"-1e999", u"1e200"}) {
        for (ui::Control* c : w.form().textFields()) {
            c->setText(absurd);
        }
        w.tick();
    }
    row(0, u"1e200", u"1e200", u"1", u"1", u"1");
    w.tick();
    EXPECT_EQ(t(u"Text5", 0), u"溢出");
}

} // namespace
