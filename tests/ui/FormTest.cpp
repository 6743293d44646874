// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/Form.hpp"
#include "text/NumberText.hpp"
#include "ui/Shell.hpp"
#include "ui/WindowDef.hpp"

#include <gtest/gtest.h>

#include <functional>

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

namespace {

struct RecordingShell : logora::ui::ShellActions {
    std::vector<std::string> done;
    void switchTo(logora::ui::Calculator c) override {
        done.push_back("switch " + std::to_string(int(c)));
    }
    void minimise(logora::ui::Calculator) override { done.push_back("minimise"); }
    void exit() override { done.push_back("exit"); }
    void exportBill(logora::ui::Calculator c) override {
        done.push_back("export " + std::to_string(int(c)));
    }
    void openManual(logora::ui::Calculator c) override {
        done.push_back("manual " + std::to_string(int(c)));
    }
    void openPrices() override { done.push_back("prices"); }
};

// Each button the shell acts on does what its role in the definition says.
TEST(Shell, ButtonsAreWiredByTheirRoles) {
    using logora::ui::Calculator;
    struct Case {
        logora::ui::WindowDef def;
        Calculator which;
        std::u16string control, switchText;
        std::string done;
    };
    const Case cases[] = {
        {logora::ui::gridWindowDef(), Calculator::Grid, u"Command3", {}, "export 0"},
        {logora::ui::gridWindowDef(), Calculator::Grid, u"Command2", {}, "minimise"},
        {logora::ui::gridWindowDef(), Calculator::Grid, u"Command6", {}, "exit"},
        {logora::ui::gridWindowDef(), Calculator::Grid, u"Command1", {}, "manual 0"},
        {logora::ui::gridWindowDef(), Calculator::Grid, u"Label5", {}, "prices"},
        {logora::ui::gridWindowDef(), Calculator::Grid, u"Combo3", u"锯材计算", "switch 2"},
        {logora::ui::listWindowDef(), Calculator::List, u"Command6", {}, "switch 0"},
        {logora::ui::listWindowDef(), Calculator::List, u"Command3", {}, "exit"},
        {logora::ui::listWindowDef(), Calculator::List, u"Command5", {}, "manual 1"},
        {logora::ui::listWindowDef(), Calculator::List, u"Command2", {}, "export 1"},
        {logora::ui::sawnWindowDef(), Calculator::Sawn, u"Command5", {}, "switch 0"},
        {logora::ui::sawnWindowDef(), Calculator::Sawn, u"Command2", {}, "manual 2"},
        {logora::ui::sawnWindowDef(), Calculator::Sawn, u"Command4", {}, "export 2"},
    };
    for (const Case& c : cases) {
        logora::ui::Form form(c.def);
        RecordingShell shell;
        logora::ui::wireByRole(form, c.which, shell);
        if (!c.switchText.empty()) {
            form.control(c.control).setText(c.switchText);
        }
        form.click(c.control);
        EXPECT_EQ(shell.done, std::vector<std::string>{c.done}) << logora::text::toUtf8(c.control);
    }
}

struct RecordingViews : logora::ui::ShellViews {
    std::vector<std::string> done;
    bool made[3] = {true, false, false};
    void show(logora::ui::Calculator c) override {
        made[int(c)] = true;
        done.push_back("show " + std::to_string(int(c)));
    }
    void hide(logora::ui::Calculator c) override {
        made[int(c)] = true;
        done.push_back("hide " + std::to_string(int(c)));
    }
    bool exists(logora::ui::Calculator c) const override { return made[int(c)]; }
    void unloadLater(logora::ui::Calculator c) override {
        done.push_back("unload " + std::to_string(int(c)));
    }
    void hidePrices() override { done.push_back("hide prices"); }
    void end() override { done.push_back("end"); }
};

// The front ends share these decisions; a second close or quit does nothing more.
TEST(Shell, TheFlowDecidesWhatShowsAndEndsOnce) {
    using logora::ui::Calculator;
    using Steps = std::vector<std::string>;
    const std::pair<std::function<void(logora::ui::ShellFlow&)>, Steps> cases[] = {
        {[](auto& f) { f.switchTo(Calculator::Sawn); }, {"show 2", "hide 0", "hide 1"}},
        {[](auto& f) { f.closedByPlatform(Calculator::Sawn); }, {"show 0", "unload 2"}},
        {[](auto& f) { f.pricesSaved(); }, {"show 0", "hide prices"}},
        {[](auto& f) {
             f.closedByPlatform(Calculator::List);
             f.closedByPlatform(Calculator::Grid);
             f.quit();
         },
         {"hide prices", "hide 0", "end"}},
    };
    for (const auto& [act, steps] : cases) {
        RecordingViews views;
        logora::ui::ShellFlow flow(views);
        act(flow);
        EXPECT_EQ(views.done, steps);
    }
}

} // namespace

// A browser given the address opens the manual at the window's section, wherever it lies.
TEST(Shell, TheManualIsAddressedAtItsSection) {
    const struct {
        std::u16string_view path;
        std::u16string_view url;
    } cases[] = {
        {u"C:\\Program Files\\Logora\\manual.html",
         u"file:///C:/Program%20Files/Logora/manual.html#list"},
        {u"D:\\木材 #2\\100%\\manual.html", u"file:///D:/木材%20%232/100%25/manual.html#list"},
        {u"/usr/share/logora/manual.html", u"file:///usr/share/logora/manual.html#list"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(logora::ui::manualUrl(c.path, "list"), c.url);
    }
}
