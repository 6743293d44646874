// SPDX-License-Identifier: GPL-3.0-or-later
#include "prices/ListEditor.hpp"

#include "../TempFolder.hpp"
#include "prices/PriceListText.hpp"
#include "text/NumberText.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace logora;
using namespace logora::prices;

namespace {

struct Io : EditorIo {
    std::u16string clipboard;
    std::optional<std::filesystem::path> file;
    bool answer = true;
    std::u16string clipboardText() override { return clipboard; }
    void setClipboardText(const std::u16string& t) override { clipboard = t; }
    std::optional<std::filesystem::path> csvToOpen() override { return file; }
    std::optional<std::filesystem::path> csvToSave() override { return file; }
    bool ask(const std::u16string&) override { return answer; }
};

struct Said : MessageSink {
    std::vector<std::u16string> all;
    void message(const std::u16string& t) override { all.push_back(t); }
};

struct Editor {
    Io io;
    Said said;
    std::vector<std::vector<PriceList>> saved;
    ListEditor e{{}, io, said, [this](const std::vector<PriceList>& l) {
                     saved.push_back(l);
                     return std::u16string();
                 }};
    ui::Control& f(std::u16string_view name, int element = ui::kNoElement) {
        return e.form().control(name, element);
    }
};

// A list typed into the table is saved as the yard means it; a list pasted from a workbook
// takes the place of the one of its key; one that breaks a rule is refused naming the row.
TEST(ListEditor, TypedAndPastedListsAreSavedAsMeant) {
    Editor ed;
    ed.f(u"Text1").setText(u"樟子松");
    ed.f(u"Text2").setText(u"东港木业");
    ed.f(u"Text6", 0).setText(u"2-3.9");
    ed.f(u"Text6", 2).setText(u"4-"); // a column left out between
    ed.f(u"Text7", 0).setText(u"6-12");
    ed.f(u"Text3", 0).setText(u"800");
    ed.f(u"Text3", 2).setText(u" 12元/根 ");
    ed.f(u"Text8", 0).setText(u"码费");
    ed.f(u"Text9", 0).setText(u"20");
    ASSERT_TRUE(ed.e.save());
    ASSERT_EQ(ed.saved.size(), 1u);
    const PriceList& l = ed.saved[0].at(0);
    EXPECT_EQ(l.name(), u"樟子松 · 东港木业");
    EXPECT_EQ(l.lengths.size(), 2u);
    EXPECT_EQ(l.cells, (std::vector<PriceCell>{{800}, {12, PriceUnit::PerPiece}}));
    EXPECT_EQ(l.fees, (std::vector<Fee>{{u"码费", 20, FeeUnit::PerCubicMetre}}));

    // Pasted: the same key replaces, a new one comes after.
    ed.io.clipboard = u"价格表\t樟子松\t东港木业\t原木\n径级\n6-12\t900\n\n"
                      u"价格表\t白桦\t\t原木\n径级\n8-\t700\n";
    ed.e.paste();
    EXPECT_EQ(ed.e.count(), 2u);
    EXPECT_EQ(ed.f(u"Text3", 0).text(), u"900");
    EXPECT_EQ(ed.f(u"Label4").text(), u"第 1 张，共 2 张");

    struct Bad {
        const char* what;
        std::function<void(Editor&)> type;
        const char16_t* says;
    } bad[] = {
        {"a price with no band", [](Editor& e) { e.f(u"Text3", 6).setText(u"5"); },
         u"价格表“樟子松 · 东港木业”：第2行有单价，但没有填径级档。"},
        {"a price under no length", [](Editor& e) { e.f(u"Text3", 1).setText(u"5"); },
         u"价格表“樟子松 · 东港木业”：第1行第2列有单价，但这一列没有材长档。"},
        {"overlapping bands",
         [](Editor& e) {
             e.f(u"Text7", 1).setText(u"10-14");
             e.f(u"Text3", 6).setText(u"950");
         },
         u"价格表“樟子松 · 东港木业”的径级第2行“10-14”与第1行“6-12”重叠，请分开。"},
        {"a word for a price", [](Editor& e) { e.f(u"Text3", 0).setText(u"九百"); },
         u"价格表“樟子松 · 东港木业”：第1行第1列的单价“九百”看不懂，应写成“800”或“12元/根”。"},
    };
    for (const Bad& b : bad) {
        Editor e2;
        e2.io.clipboard = ed.io.clipboard;
        e2.e.paste();
        b.type(e2);
        e2.said.all.clear();
        EXPECT_FALSE(e2.e.save()) << b.what;
        EXPECT_EQ(e2.said.all, std::vector<std::u16string>{b.says}) << b.what;
        EXPECT_TRUE(e2.saved.empty());
    }
}

// Exported to .csv and imported again, Chinese, quotes and commas included, the lists are
// the same; a GBK file from an older spreadsheet is read too.
TEST(ListEditor, CsvFilesRoundTrip) {
    const auto dir = logora::testing::makeTempFolder("logora-lists");
    Editor ed;
    ed.io.clipboard = u"价格表\t\"辐射松, A级\"\t东港\"木业\"\t原木\n径级\t4\t6\n20-28\t1200\t\n"
                      u"费用\t装车费\t100\t元/单\n";
    ed.e.paste();
    ed.io.file = dir / u"价格表.csv";
    ed.e.exportCsv();
    Editor back;
    back.io.file = ed.io.file;
    back.e.importCsv();
    EXPECT_EQ(back.e.texts(), ed.e.texts());
    EXPECT_TRUE(back.said.all.empty());
    {
        std::ifstream in(*ed.io.file, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_TRUE(bytes.str().starts_with(
            "\xEF\xBB\xBF价格表,\"辐射松, A级\",\"东港\"\"木业\"\"\",原木"));
    }
    // GBK: 价格表 is BCDB B8F1 B1ED.
    EXPECT_EQ(csvText("\xBC\xDB\xB8\xF1\xB1\xED"), u"价格表");
    std::filesystem::remove_all(dir);
}

} // namespace
