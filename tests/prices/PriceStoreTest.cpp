#include "prices/GradePriceStore.hpp"
#include "prices/PriceGrade.hpp"
#include "prices/PriceWindow.hpp"
#include "text/NumberText.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace logora::prices;
namespace fs = std::filesystem;

namespace {

std::string bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

class Store : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        char tmpl[] = "/tmp/logora-store-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, ec);
        fs::remove_all(dir, ec);
    }
};

struct Recorder : MessageSink {
    std::vector<std::u16string> messages;
    void message(const std::u16string& t) override { messages.push_back(t); }
};

TEST_F(Store, SavesEachPriceAsGbkWithCrLf) {
    FilePriceStore store(dir / "logora");
    ASSERT_TRUE(store.save({u"500", u"550", u"600"}).ok);
    EXPECT_EQ(bytesOf(store.fileOf(0)), "500\r\n");
    EXPECT_EQ(bytesOf(store.fileOf(1)), "550\r\n");
    EXPECT_EQ(bytesOf(store.fileOf(2)), "600\r\n");
    EXPECT_EQ(store.fileOf(1).filename(), "1(1).txt");
    ASSERT_TRUE(store.save({u"", u"一二", u"7"}).ok);
    EXPECT_EQ(bytesOf(store.fileOf(0)), "\r\n");
    EXPECT_EQ(bytesOf(store.fileOf(1)), "\xD2\xBB\xB6\xFE\r\n");
    // Nothing but the three files is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(store.folder()), {}), 3);
}

TEST_F(Store, LoadDropsTheTrailingLineBreaksAndSaveAfterLoadKeepsTheBytes) {
    FilePriceStore store(dir);
    writeBytes(store.fileOf(0), "500\r\n");
    writeBytes(store.fileOf(1), "550\r\n\r\n\r\n"); // lengthened by old saves
    writeBytes(store.fileOf(2), "");
    StoreLoad l = store.load();
    ASSERT_TRUE(l.problems.empty());
    EXPECT_EQ(*l.prices[0], u"500");
    EXPECT_EQ(*l.prices[1], u"550");
    EXPECT_EQ(*l.prices[2], u"");
    ASSERT_TRUE(store.save({*l.prices[0], *l.prices[1], *l.prices[2]}).ok);
    EXPECT_EQ(bytesOf(store.fileOf(0)), "500\r\n");
    EXPECT_EQ(bytesOf(store.fileOf(1)), "550\r\n");
    EXPECT_EQ(bytesOf(store.fileOf(2)), "\r\n");
}

TEST_F(Store, MissingFilesLeaveTheirPriceUnset) {
    FilePriceStore store(dir / "never-made");
    StoreLoad l = store.load();
    EXPECT_FALSE(l.prices[0] || l.prices[1] || l.prices[2]);
    EXPECT_TRUE(l.problems.empty());
}

TEST_F(Store, UnreadableFileIsReportedAndTheOthersLoad) {
    FilePriceStore store(dir);
    writeBytes(store.fileOf(0), "500\r\n");
    writeBytes(store.fileOf(2), "\xFF\xFF\r\n"); // not GBK
    Recorder messages;
    PriceWindow window(store, messages);
    EXPECT_EQ(window.priceText(0), u"500");
    EXPECT_EQ(window.priceText(2), u"");
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(messages.messages[0].find(u"1(2).txt"), std::u16string::npos);
}

TEST_F(Store, FailedSaveKeepsTheOldFilesAndLeavesNoTemporaries) {
    FilePriceStore store(dir);
    ASSERT_TRUE(store.save({u"500", u"550", u"600"}).ok);
    // A directory where the second temporary file would go makes the save fail mid-way.
    fs::create_directory(dir / ("1(1).txt.tmp-" + std::to_string(getpid())));
    const StoreSave s = store.save({u"1", u"2", u"3"});
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.message.rfind(u"单价保存失败：", 0), 0u);
    EXPECT_NE(s.message.find(logora::text::fromUtf8(dir.string())), std::u16string::npos);
    EXPECT_EQ(bytesOf(store.fileOf(0)), "500\r\n");
    EXPECT_EQ(bytesOf(store.fileOf(1)), "550\r\n");
    EXPECT_EQ(bytesOf(store.fileOf(2)), "600\r\n");
    EXPECT_FALSE(fs::exists(dir / ("1(0).txt.tmp-" + std::to_string(getpid()))));
}

TEST_F(Store, FolderThatCannotBeWrittenFailsTheSaveWithAMessage) {
    const fs::path blocked = dir / "file-not-folder";
    writeBytes(blocked, "x");
    FilePriceStore store(blocked / "logora");
    Recorder messages;
    PriceWindow window(store, messages);
    window.form().control(u"Text1", 0).setText(u"480");
    bool saved = false;
    window.onSaved = [&] { saved = true; };
    window.form().click(u"Label3");
    EXPECT_FALSE(saved);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].rfind(u"单价保存失败：", 0), 0u);
    EXPECT_EQ(window.priceText(0), u"480");
}

TEST_F(Store, TextThatGbkCannotHoldIsRefusedNotChanged) {
    FilePriceStore store(dir);
    ASSERT_TRUE(store.save({u"500", u"550", u"600"}).ok);
    const StoreSave s = store.save({u"500😀", u"550", u"600"});
    EXPECT_FALSE(s.ok);
    EXPECT_NE(s.message.find(u"无法保存的字符"), std::u16string::npos);
    EXPECT_EQ(bytesOf(store.fileOf(0)), "500\r\n");
}

TEST_F(Store, SaveThenLoadRoundTripsThroughTheWindow) {
    FilePriceStore store(dir / "cfg");
    Recorder messages;
    {
        PriceWindow w(store, messages);
        w.form().control(u"Text1", 0).setText(u"500");
        w.form().control(u"Text1", 1).setText(u"550");
        w.form().control(u"Text1", 2).setText(u"12.125");
        bool saved = false;
        w.onSaved = [&] { saved = true; };
        w.form().click(u"Label3");
        EXPECT_TRUE(saved);
    }
    PriceWindow again(store, messages);
    EXPECT_EQ(again.priceText(0), u"500");
    EXPECT_EQ(again.priceText(2), u"12.125");
    EXPECT_TRUE(messages.messages.empty());
}

TEST(PriceGrade, LimitsBetweenTheClasses) {
    const std::pair<double, int> cases[] = {{0, 0},  {12, 0}, {13, 0}, {13.5, 1},
                                            {14, 1}, {18, 1}, {19, 1}, {19.5, 2},
                                            {20, 2}, {58, 2}, {-4, 0}};
    for (const auto& [d, grade] : cases) {
        EXPECT_EQ(PriceGrade(d), grade) << d;
    }
}

} // namespace
