// SPDX-License-Identifier: GPL-3.0-or-later
// The real Qt windows, offscreen: typing reaches the model, ticks reach the widgets.
#include "TestSupport.hpp"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

using namespace logora;
using logora::app::FormView;

namespace {

using logora::testing::edit;
using logora::testing::Recorder;

std::string bytesOf(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT
  private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        app_ = std::make_unique<app::Application>(app::Application::Options{
            std::filesystem::path(dir_->path().toStdString()) / "logora", &messages_, {}});
        app_->start();
    }
    void cleanup() {
        app_.reset();
        dir_.reset();
    }

    void gridStartsWithItsDefinition() {
        FormView& v = app_->host(app::Calculator::Grid).view();
        QCOMPARE(v.windowTitle(), QStringLiteral("Logora"));
        QCOMPARE(v.size(), QSize(FormView::px(10900), FormView::px(10170)));
        QCOMPARE(edit(v, u"Text23")->text(), QStringLiteral("4"));
        QCOMPARE(edit(v, u"Text15")->text(), QString());
        QCOMPARE(edit(v, u"Text26")->text(), QStringLiteral("5"));
        QCOMPARE(edit(v, u"Text14", 9)->text(), QStringLiteral("30"));
        QCOMPARE(edit(v, u"Text1", 0)->geometry(), QRect(FormView::px(750), FormView::px(2460),
                                                         FormView::px(540), FormView::px(315)));
        QCOMPARE(edit(v, u"Text14", 11)->geometry().top(), FormView::px(2460 + 300 * 13));
        auto* combo = qobject_cast<QComboBox*>(v.widgetFor(u"Combo4"));
        QCOMPARE(combo->currentText(), QStringLiteral("购货单位"));
        QCOMPARE(combo->count(), 5);
        QCOMPARE(combo->itemText(0), QStringLiteral("购货单位:"));
        QCOMPARE(edit(v, u"Text4", 0)->palette().color(QPalette::Base), QColor(255, 192, 192));
        QCOMPARE(edit(v, u"Text5", 0)->palette().color(QPalette::Base), QColor(255, 224, 192));
        QCOMPARE(edit(v, u"Text23")->font().pointSizeF(), 12.0);
        QCOMPARE(edit(v, u"Text1", 1)->font().pointSizeF(), 10.5);
        QVERIFY(!v.widgetFor(u"Label20")->isVisibleTo(&v));
        QVERIFY(!v.widgetFor(u"Text29", 4)->isVisibleTo(&v));
    }

    void typedPiecesShowTheirVolumeAfterTheNextTick() {
        FormView& v = app_->host(app::Calculator::Grid).view();
        QLineEdit* pieces = edit(v, u"Text5", 1); // row 5: 12 cm, length 4
        pieces->setFocus();
        QTest::keyClicks(pieces, "3");
        QCOMPARE(app_->grid().pieces(5, 0).text(), std::u16string(u"3"));
        app_->host(app::Calculator::Grid).tickOnce();
        QCOMPARE(edit(v, u"Text5", 2)->text(), QStringLiteral("0.1860"));
        QCOMPARE(edit(v, u"Text4", 2)->text(), QString()); // empty rows show no volume
        QCOMPARE(edit(v, u"Text29", 0)->text(), QStringLiteral("3"));
        QCOMPARE(edit(v, u"Text19", 0)->text(), QStringLiteral("0.00"));
        // The real timer reaches the widgets by itself.
        QTest::keyClicks(edit(v, u"Text9", 1), "1"); // 20 cm
        QTRY_COMPARE_WITH_TIMEOUT(edit(v, u"Text9", 2)->text(), QStringLiteral("0.1600"), 1000);
    }

    void aTickThatChangesNothingWritesNoWidget() {
        app_->host(app::Calculator::Grid).tickOnce();
        app_->host(app::Calculator::Grid).tickOnce();
        QCOMPARE(app_->host(app::Calculator::Grid).view().sync(), 0);
        app_->grid().tick();
        QCOMPARE(app_->host(app::Calculator::Grid).view().sync(), 0);
    }

    void lengthFieldSelectsItsTextOnFocus() {
        FormView& v = app_->host(app::Calculator::Grid).view();
        v.activateWindow();
        QLineEdit* length = edit(v, u"Text26");
        length->setFocus();
        QTRY_COMPARE(length->selectedText(), QStringLiteral("5"));
        QTest::keyClicks(length, "6");
        QCOMPARE(app_->grid().lengthField(2).text(), std::u16string(u"6"));
    }

    void priceTypedReachesTheGridAndIsSaved() {
        FormView& grid = app_->host(app::Calculator::Grid).view();
        QTest::keyClicks(edit(grid, u"Text9", 1), "10"); // 20 cm x 10, 4 m
        qobject_cast<QLabel*>(grid.widgetFor(u"Label5"));
        QTest::mouseClick(grid.widgetFor(u"Label5"), Qt::LeftButton);
        FormView* price = app_->priceView();
        QVERIFY(price != nullptr);
        QVERIFY(price->isVisible());
        QTest::keyClicks(edit(*price, u"Text1", 2), "550");
        app_->host(app::Calculator::Grid).tickOnce();
        QCOMPARE(edit(grid, u"Text18", 2)->text(), QStringLiteral("1.6000"));
        QCOMPARE(edit(grid, u"Text19", 2)->text(), QStringLiteral("550.00"));
        QCOMPARE(edit(grid, u"Text28", 2)->text(), QStringLiteral("880.00"));
        QCOMPARE(edit(grid, u"Text28", 3)->text(), QStringLiteral("880"));
        QTest::mouseClick(price->widgetFor(u"Label3"), Qt::LeftButton);
        QVERIFY(!price->isVisible());
        QVERIFY(grid.isVisible());
        const auto folder = std::filesystem::path(dir_->path().toStdString()) / "logora";
        QCOMPARE(bytesOf(folder / "1(2).txt"), std::string("550\r\n"));
        QCOMPARE(bytesOf(folder / "1(0).txt"), std::string("\r\n"));
        QVERIFY(messages_.messages.empty());
    }

    void closingThePriceWindowDiscardsUnsavedPrices() {
        app_->openPriceWindow();
        FormView* price = app_->priceView();
        QTest::keyClicks(edit(*price, u"Text1", 0), "99");
        app_->host(app::Calculator::Grid).tickOnce();
        QCOMPARE(app_->grid().form().control(u"Text19", 0).text(), std::u16string(u"99.00"));
        price->close();
        QTRY_VERIFY(!app_->hasPriceWindow());
        app_->host(app::Calculator::Grid).tickOnce();
        QCOMPARE(app_->grid().form().control(u"Text19", 0).text(), std::u16string(u"0.00"));
    }

  private:
    std::unique_ptr<QTemporaryDir> dir_;
    Recorder messages_;
    std::unique_ptr<app::Application> app_;
};

QTEST_MAIN(WindowsTest)
#include "WindowsTest.moc"
