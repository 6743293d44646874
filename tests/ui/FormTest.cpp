// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Form.hpp"

#include <gtest/gtest.h>

using namespace logora::ui;

namespace {

WindowDef smallDef() {
    WindowDef w;
    w.name = u"Test";
    for (int e : {4, 5, 10}) {
        ControlDef d;
        d.name = u"Text22";
        d.element = e;
        w.controls.push_back(d);
    }
    ControlDef single;
    single.name = u"Text1";
    single.text = u"start";
    w.controls.push_back(single);
    return w;
}

TEST(Form, AddressesSparseArraysByNameAndElement) {
    Form f(smallDef());
    EXPECT_EQ(f.control(u"Text22", 10).element(), 10);
    EXPECT_EQ(f.find(u"Text22", 6), nullptr);
    EXPECT_THROW(f.control(u"Text22", 6), std::out_of_range);
    EXPECT_EQ(f.control(u"Text1").text(), u"start");
    EXPECT_EQ(f.textFields().size(), 4u);
}

TEST(Form, NotifiesOnlyWhenTheTextChanges) {
    Form f(smallDef());
    std::vector<int> seen;
    f.onChange(u"Text22", [&](int e) { seen.push_back(e); });
    f.control(u"Text22", 5).setText(u"1");
    f.control(u"Text22", 5).setText(u"1");
    f.control(u"Text22", 10).setText(u"");
    f.control(u"Text22", 4).setText(u"x");
    EXPECT_EQ(seen, (std::vector<int>{5, 4}));
}

TEST(Form, HandlersNestAndSeeTheirOwnWrites) {
    Form f(smallDef());
    int calls = 0;
    f.onChange(u"Text22", [&](int) {
        ++calls;
        auto& c = f.control(u"Text22", 4);
        if (c.text() == u"0") {
            c.setText(u""); // re-enters this handler, which then finds nothing to do
        }
    });
    f.control(u"Text22", 4).setText(u"0");
    EXPECT_EQ(f.control(u"Text22", 4).text(), u"");
    EXPECT_EQ(calls, 2);
}

TEST(Form, RunawayHandlersAreCaught) {
    Form f(smallDef());
    int n = 0;
    f.onChange(u"Text1", [&](int) {
        f.control(u"Text1").setText(std::u16string(1, char16_t(u'a' + (++n % 2))));
    });
    EXPECT_THROW(f.control(u"Text1").setText(u"x"), ChangeLoopError);
    // The form stays usable afterwards.
    f.onChange(u"Text1", [](int) {});
    f.control(u"Text1").setText(u"ok");
    EXPECT_EQ(f.control(u"Text1").text(), u"ok");
}

TEST(Form, ReportsEachChangedControlOnce) {
    Form f(smallDef());
    f.takeChanged([](Control&) {});
    f.control(u"Text22", 4).setText(u"a");
    f.control(u"Text22", 4).setText(u"b");
    f.control(u"Text1").setVisible(false);
    std::vector<Control*> changed;
    f.takeChanged([&](Control& c) { changed.push_back(&c); });
    EXPECT_EQ(changed.size(), 2u);
    EXPECT_FALSE(f.hasChanges());
}

} // namespace
