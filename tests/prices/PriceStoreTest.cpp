// SPDX-License-Identifier: GPL-3.0-or-later
#include "../TempFolder.hpp"
#include "prices/GradePriceStore.hpp"
#include "prices/PriceGrade.hpp"
#include "prices/PriceWindow.hpp"
#include "text/NumberText.hpp"
#include "text/PathText.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <set>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace logora::prices;
namespace fs = std::filesystem;
namespace text = logora::text;

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
    void SetUp() override { dir = logora::testing::makeTempFolder("logora-store"); }
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

// Fails, or ends the process as a kill would, at the n-th rename of a save.
struct FailingStore : FilePriceStore {
    using FilePriceStore::FilePriceStore;
    int failAt = -1, killAt = -1, calls = 0;
    int replace(const fs::path& from, const fs::path& to) override {
        ++calls;
        if (calls == killAt) {
            std::_Exit(0);
        }
        return calls == failAt ? EIO : FilePriceStore::replace(from, to);
    }
};

std::set<std::string> filesIn(const fs::path& dir) {
    std::set<std::string> out;
    for (const auto& e : fs::directory_iterator(dir)) {
        out.insert(text::toUtf8(text::pathText(e.path().filename())));
    }
    return out;
}

const std::set<std::string> kJustThePrices = {"1(0).txt", "1(1).txt", "1(2).txt"};

TEST_F(Store, ASaveChangesAllThreeFilesOrNoneWhateverStepFailsOrIsKilled) {
    FilePriceStore plain(dir);
    for (int step = 1; step <= 7; ++step) { // 3 temporaries, the mark, 3 replacements
#ifdef _WIN32
        for (bool kill : {false}) { // no fork: a kill is tried on Linux only
#else
        for (bool kill : {false, true}) {
#endif
            ASSERT_TRUE(plain.save({u"500", u"550", u"600"}).ok);
            if (kill) {
#ifndef _WIN32
                const pid_t child = ::fork();
                if (child == 0) {
                    FailingStore store(dir);
                    store.killAt = step;
                    store.save({u"1", u"2", u"3"});
                    ::_exit(0);
                }
                ::waitpid(child, nullptr, 0);
#endif
            } else {
                FailingStore store(dir);
                store.failAt = step;
                const StoreSave s = store.save({u"1", u"2", u"3"});
                EXPECT_FALSE(s.ok) << step;
                EXPECT_EQ(s.message.rfind(u"单价保存失败：磁盘读写出错，单价没有改变（", 0), 0u);
            }
            const StoreLoad l = plain.load(); // completes or undoes what a kill left
            const bool renewed = l.prices[0] == u"1";
            EXPECT_EQ(l.prices[1], renewed ? u"2" : u"550") << step << kill;
            EXPECT_EQ(l.prices[2], renewed ? u"3" : u"600") << step << kill;
            EXPECT_EQ(renewed, kill && step > 4) << step << kill; // once the mark is in, it holds
            EXPECT_EQ(filesIn(dir), kJustThePrices) << step << kill;
        }
    }
}

#ifndef _WIN32 // symbolic links need a privilege there
TEST_F(Store, PlantedLinksAndLeftoverTemporariesAreNeverWrittenThrough) {
    const fs::path target = dir / "target";
    writeBytes(target, "precious");
    FilePriceStore store(dir);
    for (const std::string& name :
         {"1(0).txt.tmp-" + std::to_string(::getpid()), std::string("1(1).txt.new")}) {
        fs::create_symlink(target, dir / name);
    }
    writeBytes(dir / "1(2).txt.tmp-AbC123", "left by a kill");
    ASSERT_TRUE(store.save({u"500", u"550", u"600"}).ok);
    EXPECT_EQ(bytesOf(target), "precious");
    EXPECT_EQ(bytesOf(store.fileOf(1)), "550\r\n");
    std::set<std::string> expected = kJustThePrices;
    expected.insert("target");
    EXPECT_EQ(filesIn(dir), expected);
}
#endif

TEST_F(Store, OverlongUnreadableAndFolderPriceFilesAreSaidAndKept) {
    FilePriceStore store(dir);
    std::ofstream(store.fileOf(0)).close();
    fs::resize_file(store.fileOf(0), 100u << 20); // 100 MB, a mistaken copy
    writeBytes(store.fileOf(1), "\xFF\xFF\r\n");  // not GBK
    fs::create_directory(store.fileOf(2));
    const auto start = std::chrono::steady_clock::now();
    const StoreLoad l = store.load();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    for (const auto& p : l.prices) {
        EXPECT_FALSE(p);
    }
    ASSERT_EQ(l.problems.size(), 3u);
    EXPECT_NE(l.problems[0].find(u"太大"), std::u16string::npos);
    EXPECT_NE(l.problems[1].find(u"无法识别的字符"), std::u16string::npos);
    EXPECT_NE(l.problems[2].find(u"是一个文件夹"), std::u16string::npos);

    const StoreSave blocked = store.save({u"1", u"2", u"3"});
    EXPECT_FALSE(blocked.ok);
    EXPECT_NE(blocked.message.find(u"同名的文件夹"), std::u16string::npos);
    fs::remove(store.fileOf(2));
    const StoreSave s = store.save({u"1", u"2", u"3"});
    ASSERT_TRUE(s.ok);
    EXPECT_NE(s.message.find(u"改名保留"), std::u16string::npos);
    int aside = 0;
    for (const auto& name : filesIn(dir)) {
        if (name.rfind("1(1) 无法读取 ", 0) == 0) {
            EXPECT_EQ(bytesOf(dir / text::utf8Path(name)), "\xFF\xFF\r\n");
            ++aside;
        }
        aside += name.rfind("1(0) 无法读取 ", 0) == 0;
    }
    EXPECT_EQ(aside, 2);
    EXPECT_EQ(bytesOf(store.fileOf(1)), "2\r\n");
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
    EXPECT_EQ(messages.messages[0].rfind(u"单价保存失败：路径上有一个同名的文件挡住了文件夹", 0),
              0u);
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

namespace {

// An earlier installation's prices are taken over once, and its folder is never written.
TEST_F(Store, EarlierPricesAreTakenOverReadOnlyWhenThereAreNoneOfOurOwn) {
    struct Case {
        const char* name;
        bool ownFile, earlierFiles;
        std::optional<std::u16string> expected; // our price of class 0 afterwards
    };
    const Case cases[] = {{"taken over", false, true, u"480"},
                          {"ours kept", true, true, u"9"},
                          {"nothing to take", false, false, std::nullopt}};
    for (const Case& c : cases) {
        const fs::path root = dir / c.name;
        fs::create_directories(root / "earlier");
        FilePriceStore own(root / "own");
        FilePriceStore earlier(root / "earlier");
        if (c.earlierFiles) {
            writeBytes(earlier.fileOf(0), "480\r\n");
            writeBytes(earlier.fileOf(2), "\xC1\xF9\r\n"); // not a number, kept as text
            writeBytes(root / "earlier" / "1(1).txt.new", "a save left half-way");
        }
        if (c.ownFile) {
            ASSERT_TRUE(own.save({u"9", u"", u""}).ok);
        }
        const auto before = filesIn(root / "earlier");
        takeOverPrices(own, earlier);
        EXPECT_EQ(own.load().prices[0], c.expected) << c.name;
        EXPECT_EQ(filesIn(root / "earlier"), before) << c.name;
    }
}

} // namespace
