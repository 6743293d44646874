// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot's text: what is written reads back the same, and anything else reads as
// unreadable, never as a partial tally.
#include "ui/Snapshot.hpp"

#include <gtest/gtest.h>

using namespace logora;
using ui::FieldText;
using ui::Snapshot;

TEST(SnapshotText, RoundTripsEveryText) {
    const Snapshot cases[] = {
        {false, {}, {}},
        {true, {{u"Form1", u"Text17", ui::kNoElement, u""}}, {}},
        {false,
         {{u"Form1", u"Text2", 0, u"县木材\t加工厂\\一"},
          {u"Form2", u"Text1", 39, u"第一行\n第二行\r\n"},
          {u"Form3", u"Text\\13", -1, u"\\t is not a tab"},
          {u"", u"", 2147483647, u"辽A12345 青山林场"}},
         {u"t1 0 3 0 2 1 0 \t8\n", u"t2 1 0 0 0 0 1 "}},
    };
    for (const Snapshot& s : cases) {
        const std::string text = ui::writeSnapshot(s);
        const auto back = ui::readSnapshot(text);
        ASSERT_TRUE(back.has_value()) << text;
        EXPECT_EQ(*back, s) << text;
    }
}

TEST(SnapshotText, MalformedTextIsUnreadable) {
    const std::string good = ui::writeSnapshot({true, {{u"Form1", u"Text1", 3, u"4"}}, {}});
    const std::string cases[] = {
        "",
        good.substr(0, good.size() - 1),                                      // no last line break
        good.substr(0, good.find("end")),                                     // cut before its end
        "logora-snapshot 2\nlayout\ttwo\nend\n",                              // another version
        "logora-snapshot 1\nlayout\tthree\nend\n",                            // no such layout
        "logora-snapshot 1\nlayout\ttwo\nfield\tForm1\tText1\t3\nend\n",      // a part missing
        "logora-snapshot 1\nlayout\ttwo\nfield\tForm1\tText1\tx\t4\nend\n",   // element
        "logora-snapshot 1\nlayout\ttwo\nfield\tForm1\tText1\t3 \t4\nend\n",  // element
        "logora-snapshot 1\nlayout\ttwo\nfield\tForm1\tText1\t3\t4\\\nend\n", // lone '\'
        "logora-snapshot 1\nlayout\ttwo\nfield\tForm1\tText1\t3\t\\x\nend\n", // unknown escape
        "logora-snapshot 1\nlayout\ttwo\nrow\tForm1\tText1\t3\t4\nend\n",     // not a field
    };
    for (const std::string& text : cases) {
        EXPECT_FALSE(ui::readSnapshot(text).has_value()) << text;
    }
}
