// SPDX-License-Identifier: GPL-3.0-or-later
#include "phone/PhoneDesk.hpp"
#include "ui/Snapshot.hpp"

#include "text/NumberText.hpp"

#include <gtest/gtest.h>

using namespace logora;
using namespace logora::phone;
using text::toUtf8;

namespace {

struct NoPrices : prices::PriceSource {
    std::u16string priceText(int) override { return {}; }
};

std::string counter(int& n) {
    return std::string(15, 'a') + static_cast<char>('a' + n++);
}

struct Desk {
    NoPrices prices;
    volume::FixedRule rule{volume::Rule::Gb};
    grid::GridWindow grid{prices, rule};
    list::ListWindow list{rule};
    GridTally gridTally{grid};
    ListTally listTally{list};
    int n = 0;
    PhoneDesk desk{[this] { return counter(n); }};
    int changes = 0;
    Clock::time_point now = Clock::time_point{} + std::chrono::hours(1);

    explicit Desk(volume::Rule r = volume::Rule::Gb, bool onList = false) : rule(r) {
        grid.tick();
        desk.serve(onList ? static_cast<Tally*>(&listTally) : &gridTally, [this] {
            ++changes;
            grid.tick();
            list.tick();
        });
    }
    Reply send(const std::string& body, std::string token = {}, std::string client = "p") {
        now += std::chrono::milliseconds(100);
        return desk.handle(
            {"POST", "/p/" + (token.empty() ? desk.token() : token) + "/taps", body, client, now});
    }
    std::string pieces(int row, int group) { return toUtf8(grid.pieces(row, group).text()); }
};

std::string add(const std::string& id, int group, const std::string& d, int n = 1) {
    return R"({"id":")" + id + R"(","op":"add","group":)" + std::to_string(group) +
           R"(,"class":")" + d + R"(","n":)" + std::to_string(n) + "}";
}
std::string batch(const std::string& taps, const std::string& phone = "ph1") {
    return R"({"phone":")" + phone + R"(","taps":[)" + taps + "]}";
}

} // namespace

// Resent taps, undos named twice, two phones: each tap counts once, exactly.
TEST(PhoneDesk, EveryTapCountsOnceWhateverIsResent) {
    Desk d;
    // Row 3 of group 0 is the preset class 8 under the national rule.
    ASSERT_EQ(toUtf8(d.grid.diameter(3, 0).text()), "8");
    const struct {
        std::string body;
        std::string pieces;
    } steps[] = {
        {batch(add("t1", 0, "8")), "1"},
        {batch(add("t1", 0, "8")), "1"},                              // resent after a drop
        {batch(add("t2", 0, "8") + "," + add("t3", 0, "8", 2)), "4"}, // two in one request
        {batch(add("u1", 0, "8"), "ph2"), "5"},                       // a second phone
        {batch(R"({"id":"t4","op":"undo","of":"t3"})"), "3"},
        {batch(R"({"id":"t5","op":"undo","of":"t3"})"), "3"}, // named twice
        {batch(add("t2", 0, "8") + "," + R"({"id":"t4","op":"undo","of":"t3"})"), "3"},
    };
    for (const auto& s : steps) {
        const Reply r = d.send(s.body);
        EXPECT_EQ(r.status, 200) << s.body << r.body;
        EXPECT_EQ(d.pieces(3, 0), s.pieces) << s.body;
    }
    EXPECT_FALSE(d.grid.volume(3, 0).text().empty()); // the tick computed it
    EXPECT_EQ(d.desk.phones().size(), 2u);
}

// What a phone must never get applied: each refused, counted, and nothing changes.
TEST(PhoneDesk, RefusesWhatIsWrongAndAppliesNothing) {
    const struct {
        std::string body;
        int status;
        std::string token; // empty: the right one
    } cases[] = {
        {batch(add("a1", 0, "8")), 403, "00112233445566778899aabbccddeeff"},
        {"{\"phone\":\"ph1\",\"taps\":[", 400, ""},
        {batch(add("a1", 0, "8") + "," + add("a2", 7, "8")), 400, ""}, // no group 8
        {batch(add("a1", 0, "8") + "," + add("a2", 0, "9")), 400, ""}, // no class 9
        {batch(add("a1", 0, "8", -3)), 400, ""},
        {batch(add("a1", 0, "8", 100000)), 400, ""},
        {batch(R"({"id":"a1","op":"add","group":0,"class":"8","n":1,"x":1})"), 400, ""},
        {batch(R"({"id":"a1","op":"undo","of":"nothing"})"), 400, ""},
        {batch(add("a/1", 0, "8")), 400, ""},
        {batch(add("a1", 0, "8")) + std::string(kMostBody, ' '), 413, ""},
    };
    for (const auto& c : cases) {
        Desk d;
        const Reply r = d.send(c.body, c.token);
        EXPECT_EQ(r.status, c.status) << c.body.substr(0, 120);
        EXPECT_EQ(d.pieces(3, 0), "") << c.body.substr(0, 120);
        EXPECT_EQ(d.changes, 0);
        const Refusals& n = d.desk.refusals();
        EXPECT_EQ(n.token + n.bad, 1) << c.body.substr(0, 120);
    }
}

TEST(PhoneDesk, TenWrongTokensInAMinuteRenewTheCode) {
    Desk d;
    const std::string first = d.desk.token();
    for (int i = 0; i < kWrongTries - 1; ++i) {
        d.send(batch(add("a1", 0, "8")), "bad");
    }
    EXPECT_EQ(d.desk.token(), first);
    d.send(batch(add("a1", 0, "8")), "bad");
    EXPECT_NE(d.desk.token(), first);
    EXPECT_FALSE(d.desk.alarm().empty());
    // A page still holding the old code is told it was renewed.
    const Reply old = d.send(batch(add("a1", 0, "8")), first);
    EXPECT_EQ(old.status, 403);
    EXPECT_NE(old.body.find("\"renewed\":true"), std::string::npos);
}

TEST(PhoneDesk, AHundredRequestsASecondAreSlowedAndTheRestStillServed) {
    Desk d;
    int refused = 0;
    for (int i = 0; i < 100; ++i) {
        d.now += std::chrono::milliseconds(10);
        const Reply r = d.desk.handle({"GET", "/p/" + d.desk.token() + "/state", "", "x", d.now});
        refused += r.status == 429;
    }
    EXPECT_GT(refused, 30);
    EXPECT_EQ(d.desk.refusals().rate, refused);
    // Another phone is not held up by the first.
    EXPECT_EQ(d.desk.handle({"GET", "/p/" + d.desk.token() + "/state", "", "y", d.now}).status,
              200);
}

// A typed diameter goes into its class by the rule in force, into a free row if the class
// has none; the list takes taps as lines.
TEST(PhoneDesk, TypedDiametersAndListLines) {
    const struct {
        volume::Rule rule;
        std::string diameter, cls;
    } cases[] = {
        {volume::Rule::Jas, "23.4", "22"},
        {volume::Rule::Jas, "13.6", "13"},
        {volume::Rule::Brereton, "31.9", "31"},
    };
    for (const auto& c : cases) {
        Desk d(c.rule);
        const Reply r =
            d.send(batch(R"({"id":"l1","op":"log","group":1,"diameter":")" + c.diameter + "\"}"));
        ASSERT_EQ(r.status, 200) << r.body;
        int found = 0;
        for (int row = 1; row <= grid::kRows; ++row) {
            if (toUtf8(d.grid.diameter(row, 1).text()) == c.cls) {
                found = row;
            }
        }
        ASSERT_NE(found, 0) << c.diameter;
        EXPECT_EQ(d.pieces(found, 1), "1") << c.diameter;
    }
    Desk l(volume::Rule::Gb, true);
    ASSERT_EQ(l.send(batch(R"({"id":"m1","op":"add","group":0,"length":"5.2","class":"24","n":1},)"
                           R"({"id":"m2","op":"add","group":0,"length":"5.2","class":"24","n":1},)"
                           R"({"id":"m3","op":"add","group":0,"length":"6","class":"30","n":1})"))
                  .status,
              200);
    auto cell = [&](int column, int row) {
        return toUtf8(l.list.form().control(u"Text" + text::intText(column), row).text());
    };
    EXPECT_EQ(cell(1, 0) + " " + cell(2, 0) + " " + cell(3, 0), "5.2 24 2");
    EXPECT_EQ(cell(1, 1) + " " + cell(2, 1) + " " + cell(3, 1), "6 30 1");
}

// Killed after a tap was applied and before the phone heard back: the snapshot brings the
// tally and its taps back together, and the tap sent again counts once.
TEST(PhoneDesk, ATapResentAfterARestoreCountsOnce) {
    Desk before;
    before.send(batch(add("t1", 0, "8", 2) + "," + R"({"id":"t2","op":"undo","of":"t1"})" + "," +
                      add("t3", 0, "8")));
    ASSERT_EQ(before.pieces(3, 0), "1");
    ui::Snapshot kept;
    kept.taps = before.desk.keptTaps();
    const auto read = ui::readSnapshot(ui::writeSnapshot(kept));
    ASSERT_TRUE(read);

    Desk after;
    after.grid.pieces(3, 0).setText(u"1"); // the tally restored with the snapshot
    after.desk.restoreTaps(read->taps);
    const Reply r = after.send(batch(add("t1", 0, "8", 2) + "," + add("t3", 0, "8") + "," +
                                     R"({"id":"t4","op":"undo","of":"t1"})"));
    EXPECT_EQ(r.status, 200) << r.body;
    EXPECT_EQ(after.pieces(3, 0), "1"); // t1 stays taken back, t3 once
}
