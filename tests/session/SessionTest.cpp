// SPDX-License-Identifier: GPL-3.0-or-later
// The running program without a front end: two programs in the same folders keep their own
// tallies, and a tally that cannot be kept safe is said once.
#include "session/Session.hpp"

#include "../TempFolder.hpp"
#include "../export/RecordingPrompts.hpp"
#include "../export/RecordingSheet.hpp"
#include "grid/GridWindow.hpp"
#include "list/ListWindow.hpp"
#include "text/PathText.hpp"

#include <gtest/gtest.h>

#include <deque>
#include <fstream>

using namespace logora;
namespace fs = std::filesystem;
using ui::Calculator;

namespace {

struct Messages : prices::MessageSink {
    std::vector<std::u16string> said;
    void message(const std::u16string& t) override { said.push_back(t); }
};

// A front end with no windows: it answers the restore questions in turn, yes when none is
// left, and counts them.
struct NoWindows : session::FrontEnd {
    logora::testing::RecordingSheet sheet;
    std::deque<bool> answers;
    int asked = 0;
    void made(Calculator, ui::Window&) override {}
    void show(Calculator) override {}
    void hide(Calculator) override {}
    void minimise(Calculator) override {}
    bool visible(Calculator) const override { return false; }
    session::Point position(Calculator) const override { return {}; }
    void moveTo(Calculator, session::Point) override {}
    void refresh(Calculator) override {}
    void unloadLater(Calculator) override {}
    void showPrices(prices::PriceWindow&) override {}
    void hidePrices() override {}
    void openManual(Calculator) override {}
    bool askToRestore(const std::u16string&) override {
        ++asked;
        if (answers.empty()) {
            return true;
        }
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void end() override {}
    exporting::Spreadsheet& spreadsheet() override { return sheet; }
};

struct Program {
    NoWindows frontEnd;
    Messages messages;
    logora::testing::RecordingPrompts prompts;
    session::Session session;
    Program(const fs::path& root, const fs::path& state)
        : session({root / "prices", root / "bills", root / "templates", state}, frontEnd, messages,
                  prompts) {}
    // Pieces at 12 cm in group 0, typed and kept.
    void tally(const std::u16string& pieces) {
        session.grid().pieces(5, 0).setText(pieces);
        session.userEdited();
        session.keepSnapshotNow();
    }
    std::u16string pieces() { return session.grid().pieces(5, 0).text(); }
};

int snapshotsIn(const fs::path& state) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(state)) {
        n += e.path().extension() == ".txt";
    }
    return n;
}

class Session : public ::testing::Test {
  protected:
    fs::path root = logora::testing::makeTempFolder("logora-session");
    fs::path state = root / "state";
    void TearDown() override { fs::remove_all(root); }
    std::unique_ptr<Program> start(const fs::path& folder) {
        auto p = std::make_unique<Program>(root, folder);
        p->session.start();
        return p;
    }
};

} // namespace

TEST_F(Session, TwoProgramsNeverTakeEachOthersTally) {
    auto a = start(state);
    a->tally(u"3");
    auto b = start(state); // started while A runs
    EXPECT_EQ(b->frontEnd.asked, 0);
    b->tally(u"8");
    b->session.quit(); // "退出": only B's own goes
    b.reset();
    EXPECT_EQ(snapshotsIn(state), 1);
    a.reset(); // killed: the system lets go of its lock, the file stays
    auto c = start(state);
    EXPECT_EQ(c->frontEnd.asked, 1);
    EXPECT_EQ(c->pieces(), u"3");
    EXPECT_EQ(snapshotsIn(state), 1); // now C's own
    auto d = start(state);            // while C runs with A's tally
    EXPECT_EQ(d->frontEnd.asked, 0);
}

TEST_F(Session, LeftTalliesAreOfferedNewestFirstOneAtATime) {
    std::vector<std::unique_ptr<Program>> running; // three at once, then a power cut
    for (int pieces : {3, 5, 7}) {
        running.push_back(start(state));
        running.back()->tally(text::intText(pieces));
    }
    for (std::size_t i = 0; i < running.size(); ++i) {
        const fs::path own = running[i]->session.snapshots().file();
        running[i].reset();
        fs::last_write_time(own, fs::file_time_type::clock::now() +
                                     std::chrono::hours(static_cast<int>(i)));
    }
    auto first = std::make_unique<Program>(root, state);
    first->frontEnd.answers = {false, true}; // 7 declined, so 5 is offered and taken
    first->session.start();
    EXPECT_EQ(first->pieces(), u"5");
    EXPECT_EQ(snapshotsIn(state), 2); // 5, now its own, and 3 for a later start
    auto second = start(state);
    EXPECT_EQ(second->frontEnd.asked, 1);
    EXPECT_EQ(second->pieces(), u"3");
}

TEST_F(Session, ATallyThatCannotBeKeptSafeIsSaidOnce) {
    struct Case {
        const char* what;
        fs::path folder;
        std::function<void()> block, unblock;
    };
    const fs::path blocked = root / "blocked";
    std::vector<Case> cases = {
        {"folder blocked by a file", blocked / "logora", [&] { std::ofstream(blocked) << "x"; },
         [&] { fs::remove(blocked); }},
#ifndef _WIN32
        {"folder not creatable", "/proc/logora-not-here/logora", [] {}, {}},
#endif
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.block();
        auto p = start(c.folder);
        for (int i = 0; i < 3; ++i) {
            p->tally(text::intText(i + 1));
            p->session.snapshotTick();
        }
        ASSERT_EQ(p->messages.said.size(), 1u);
        EXPECT_EQ(p->messages.said[0].rfind(
                      u"计算表的数据无法保存到文件夹 " + text::pathText(c.folder) + u"（", 0),
                  0u)
            << text::toUtf8(p->messages.said[0]);
        EXPECT_NE(p->messages.said[0].find(u'\n'), std::u16string::npos); // the system's words
        if (!c.unblock) {
            continue;
        }
        c.unblock();
        p->tally(u"9");
        p->session.snapshotTick();
        EXPECT_TRUE(fs::exists(p->session.snapshots().file()));
        // Blocked again, now by a folder where the snapshot goes: said again, once.
        fs::remove(p->session.snapshots().file());
        fs::create_directories(p->session.snapshots().file() / "x");
        for (int i = 0; i < 3; ++i) {
            p->tally(text::intText(20 + i));
            p->session.snapshotTick();
        }
        EXPECT_EQ(p->messages.said.size(), 2u);
    }
}

TEST_F(Session, TheRuleIsOneChoiceKeptBetweenRunsAndInTheSnapshot) {
    const std::u16string jas(volume::ruleName(volume::Rule::Jas));
    auto a = start(state);
    a->session.grid().form().control(u"Combo6").setText(jas);
    a->session.grid().tick();
    EXPECT_EQ(a->session.grid().rule(), volume::Rule::Jas);
    EXPECT_EQ(a->session.grid().diameter(1, 0).text(), u"6"); // JAS classes where none is tallied
    a->session.list().tick();
    EXPECT_EQ(a->session.list().form().control(u"Combo1").text(), jas);
    a->tally(u"3");
    a.reset(); // killed, the snapshot left

    auto b = start(state); // the tally and its rule restored
    b->session.grid().tick();
    EXPECT_EQ(b->pieces(), u"3");
    EXPECT_EQ(b->session.grid().rule(), volume::Rule::Jas);
    b->session.list().form().control(u"Combo1").setText(u"国标"); // not a rule: given back
    b->session.list().tick();
    EXPECT_EQ(b->session.list().form().control(u"Combo1").text(), jas);
    b->session.quit();
    b.reset();

    auto c = start(state); // nothing left to restore: the stored choice alone
    c->session.grid().tick();
    EXPECT_EQ(c->session.grid().form().control(u"Combo6").text(), jas);
    EXPECT_TRUE(c->messages.said.empty());
}

TEST_F(Session, ARuleThatCannotBeKeptIsUsedAndSaidOnce) {
    fs::create_directories(root / "prices" / "rule.txt" / "x"); // a folder where it goes
    auto p = start(state);
    for (volume::Rule r : {volume::Rule::Jas, volume::Rule::Brereton}) {
        p->session.grid().form().control(u"Combo6").setText(volume::ruleName(r));
        p->session.grid().tick();
        EXPECT_EQ(p->session.grid().rule(), r);
    }
    ASSERT_EQ(p->messages.said.size(), 1u);
    EXPECT_NE(p->messages.said[0].find(u"没有记下"), std::u16string::npos);
}
