// SPDX-License-Identifier: GPL-3.0-or-later
// After an abnormal end the next start offers the tallies back; a normal end leaves nothing.
#include "TestSupport.hpp"

#include "ui/Snapshot.hpp"

#include <QTest>

#include <fstream>

using namespace logora;
using namespace logora::testing;
using app::Calculator;

class RecoveryTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void cleanup() { dir_.reset(); }

    void aKilledSessionComesBackWholeOnTheNextStart() {
        ui::Snapshot before;
        {
            auto a = make();
            a->start();
            a->grid().switchToTwoLengths();
            a->grid().lengthField(1).setText(u"4.5");
            a->grid().pieces(3, 0).setText(u"7");
            a->grid().form().control(u"Text17").setText(u"县木材\t加工厂\\一");
            a->list().form().control(u"Text1", 2).setText(u"6");
            a->list().form().control(u"Text3", 2).setText(u"5");
            a->sawn().form().control(u"Text1", 7).setText(u"400");
            QTest::keyClicks(edit(a->host(Calculator::Sawn).view(), u"Text2", 7), "20");
            for (Calculator c : {Calculator::Grid, Calculator::List, Calculator::Sawn}) {
                a->host(c).tickOnce();
            }
            // The keeper writes by itself, about a second after a change.
            QTRY_VERIFY_WITH_TIMEOUT(std::filesystem::exists(snapshotFile()), 3000);
            a->keepSnapshotNow();
            before = snapshotOf(*a);
        } // ended without the user's choice: as a kill would
        QVERIFY(std::filesystem::exists(snapshotFile()));
        auto b = make();
        std::vector<std::u16string> asked;
        b->askRestore = [&](const std::u16string& q) {
            asked.push_back(q);
            return true;
        };
        b->start();
        QCOMPARE(asked.size(), std::size_t(1));
        QVERIFY(b->grid().twoLengthLayout());
        QVERIFY(snapshotOf(*b) == before);
        QCOMPARE(edit(b->host(Calculator::Grid).view(), u"Text17")->text(),
                 QStringLiteral("县木材\t加工厂\\一"));
        b->quit(); // the user's end: nothing is kept, nothing asked next time
        QVERIFY(!std::filesystem::exists(snapshotFile()));
        auto c = make();
        c->askRestore = [](const std::u16string&) -> bool { throw std::logic_error("asked"); };
        c->start();
    }

    void aDeclinedOrUnreadableSnapshotNeverStopsTheStart() {
        std::filesystem::create_directories(state());
        std::ofstream(snapshotFile()) << "logora-snapshot 1\nlayout\tfour\nfield\tForm1"; // cut
        auto a = make();
        a->askRestore = [](const std::u16string&) -> bool { throw std::logic_error("asked"); };
        a->start();
        QCOMPARE(messages_.messages.size(), std::size_t(1));
        QVERIFY(messages_.messages[0].find(u"无法读取") != std::u16string::npos);
        int aside = 0;
        for (const auto& e : std::filesystem::directory_iterator(state())) {
            aside += e.path().filename().string().rfind("tally-snapshot 无法读取 ", 0) == 0;
        }
        QCOMPARE(aside, 1);
        a->grid().pieces(2, 0).setText(u"5");
        a->keepSnapshotNow();
        a.reset();
        auto b = make();
        b->askRestore = [](const std::u16string&) { return false; };
        b->start();
        QVERIFY(!std::filesystem::exists(snapshotFile()));
        QCOMPARE(b->grid().pieces(2, 0).text(), u"");
    }

    // A state folder that cannot be made: said once, within seconds of the first typed field,
    // and the program goes on.
    void aTallyThatCannotBeKeptSafeIsSaid() {
        messages_.messages.clear();
        std::ofstream(root() / "blocked") << "a file where the folder should be";
        app::Application::Options o{
            root() / "prices", &messages_, {root() / "bills", &sheet_, &prompts_}};
        o.stateFolder = root() / "blocked" / "logora";
        app::Application a(o);
        a.onQuit = [] {};
        a.start();
        QTest::keyClicks(edit(a.host(Calculator::Grid).view(), u"Text23"), "4");
        QTRY_COMPARE_WITH_TIMEOUT(messages_.messages.size(), std::size_t(1), 5000);
        QVERIFY(messages_.messages[0].find(u"计算表的数据无法保存到文件夹") == 0);
        QVERIFY(a.grid().lengthField(0).text().ends_with(u"4")); // typing went on
    }

  private:
    std::filesystem::path root() const { return dir_->path().toStdString(); }
    std::filesystem::path state() const { return root() / "state"; }
    // The one snapshot in the state folder, whichever program's it is.
    std::filesystem::path snapshotFile() const {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(state(), ec)) {
            const std::string name = e.path().filename().string();
            if (name.rfind("tally-snapshot", 0) == 0 && e.path().extension() == ".txt" &&
                name.find(' ') == std::string::npos) {
                return e.path();
            }
        }
        return state() / "tally-snapshot.txt";
    }
    std::unique_ptr<app::Application> make() {
        app::Application::Options o{
            root() / "prices", &messages_, {root() / "bills", &sheet_, &prompts_}};
        o.stateFolder = state();
        auto a = std::make_unique<app::Application>(o);
        a->onQuit = [] {};
        return a;
    }
    static ui::Snapshot snapshotOf(app::Application& a) {
        return ui::takeSnapshot({&a.grid().form(), &a.list().form(), &a.sawn().form()},
                                a.grid().twoLengthLayout());
    }
    std::unique_ptr<QTemporaryDir> dir_;
    Recorder messages_;
    RecordingSheet sheet_;
    PromptRecorder prompts_;
};

QTEST_MAIN(RecoveryTest)
#include "RecoveryTest.moc"
