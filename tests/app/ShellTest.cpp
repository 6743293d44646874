// SPDX-License-Identifier: GPL-3.0-or-later
// The application shell, offscreen: switching, closing, moving, and keyboard entry.
#include "TestSupport.hpp"
#include "text/NumberText.hpp"

#include <QComboBox>
#include <QFileInfo>
#include <QTest>

#include <fstream>

using namespace logora;
using namespace logora::testing;
using app::Calculator;

namespace {

const Calculator kAll[] = {Calculator::Grid, Calculator::List, Calculator::Sawn};

void pick(app::FormView& grid, const QString& text) {
    auto* box = qobject_cast<QComboBox*>(grid.widgetFor(u"Combo3"));
    const int index = box->findText(text);
    QVERIFY(index >= 0);
    box->setCurrentIndex(index);
    emit box->activated(index);
}

QString switchText(Calculator c) {
    switch (c) {
    case Calculator::Grid:
        return QStringLiteral("原木计算");
    case Calculator::List:
        return QStringLiteral("多 材 长");
    case Calculator::Sawn:
        return QStringLiteral("锯材计算");
    }
    return {};
}

bool hasFocus(QWidget* w) {
    QWidget* f = QApplication::focusWidget();
    return f != nullptr && (f == w || w->isAncestorOf(f));
}

// Enter from the first field of the order walks through every listed, shown field.
void walkFocusOrder(app::FormView& v) {
    std::vector<QWidget*> expected;
    for (const ui::ControlKey& key : v.form().def().focusOrder) {
        QWidget* w = v.widgetFor(key.name, key.element);
        if (w->isVisibleTo(&v)) {
            expected.push_back(w);
        }
    }
    v.show();
    v.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&v));
    expected.front()->setFocus(Qt::TabFocusReason);
    for (std::size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY2(hasFocus(expected[i]),
                 qPrintable(QStringLiteral("step %1: expected %2, focus on %3")
                                .arg(i)
                                .arg(expected[i]->objectName(),
                                     QApplication::focusWidget()
                                         ? QApplication::focusWidget()->objectName()
                                         : QStringLiteral("nothing"))));
    }
}

} // namespace

class ShellTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { t_ = std::make_unique<TestApp>(); }
    void cleanup() { t_.reset(); }

    // A chooser shows exactly what was typed; typing into the switch box switches nothing.
    void choosersShowWhatWasTyped() {
        app::FormView& grid = t_->view(Calculator::Grid);
        grid.show();
        QVERIFY(QTest::qWaitForWindowExposed(&grid));
        auto* contact = qobject_cast<QComboBox*>(grid.widgetFor(u"Combo1"));
        contact->setFocus();
        contact->lineEdit()->selectAll();
        QTest::sendKeyEvent(QTest::Click, contact->lineEdit(), Qt::Key_unknown,
                            QStringLiteral("联"), Qt::NoModifier);
        QCOMPARE(contact->lineEdit()->text(), QStringLiteral("联"));
        QCOMPARE(t_->app->grid().form().control(u"Combo1").text(), u"联");
        auto* switchBox = qobject_cast<QComboBox*>(grid.widgetFor(u"Combo3"));
        switchBox->setFocus();
        switchBox->lineEdit()->selectAll();
        QTest::sendKeyEvent(QTest::Click, switchBox->lineEdit(), Qt::Key_unknown,
                            QStringLiteral("多"), Qt::NoModifier);
        QTest::keyClick(switchBox->lineEdit(), Qt::Key_Return);
        QCOMPARE(switchBox->lineEdit()->text(), QStringLiteral("多"));
        QVERIFY(!t_->app->exists(Calculator::List));
    }

    void switchingShowsExactlyOneCalculatorInEveryCombination() {
        app::FormView& grid = t_->view(Calculator::Grid);
        t_->app->grid().pieces(3, 0).setText(u"7");
        pick(grid, switchText(Calculator::Grid));
        // A switch creates the windows it hides, hidden.
        QVERIFY(t_->app->exists(Calculator::List) && t_->app->exists(Calculator::Sawn));
        QVERIFY(grid.isVisible());
        t_->app->list().form().control(u"Text1", 0).setText(u"6");
        for (Calculator from : kAll) {
            for (Calculator to : kAll) {
                t_->app->switchTo(from);
                if (from == Calculator::Grid) {
                    pick(grid, switchText(to));
                } else {
                    t_->app->switchTo(to);
                }
                for (Calculator c : kAll) {
                    QCOMPARE(t_->view(c).isVisible(), c == to);
                }
            }
        }
        QCOMPARE(t_->app->grid().pieces(3, 0).text(), std::u16string(u"7"));
        QCOMPARE(t_->app->list().form().control(u"Text1", 0).text(), std::u16string(u"6"));
    }

    void backButtonsReturnToTheGridAsItWas() {
        t_->app->grid().pieces(2, 1).setText(u"5");
        for (auto [which, back] :
             {std::pair{Calculator::List, u"Command6"}, std::pair{Calculator::Sawn, u"Command5"}}) {
            t_->app->switchTo(which);
            QTest::mouseClick(t_->view(which).widgetFor(back), Qt::LeftButton);
            QVERIFY(t_->view(Calculator::Grid).isVisible());
            QVERIFY(!t_->view(which).isVisible());
        }
        QCOMPARE(t_->app->grid().pieces(2, 1).text(), std::u16string(u"5"));
    }

    void calculatorsAreFramelessAndFixed() {
        const std::pair<Calculator, QSize> sizes[] = {{Calculator::Grid, {10900, 10170}},
                                                      {Calculator::List, {7500, 10035}},
                                                      {Calculator::Sawn, {9425, 7230}}};
        for (const auto& [which, twips] : sizes) {
            app::FormView& v = t_->view(which);
            QVERIFY(v.windowFlags().testFlag(Qt::FramelessWindowHint));
            const QSize size(app::FormView::px(twips.width()), app::FormView::px(twips.height()));
            QCOMPARE(v.size(), size);
            QCOMPARE(v.minimumSize(), size);
            QCOMPARE(v.maximumSize(), size);
        }
        t_->app->openPriceWindow();
        QVERIFY(!t_->app->priceView()->windowFlags().testFlag(Qt::FramelessWindowHint));
    }

    // A price is typed over the old one, and "保存退出" is reached and pressed by keyboard.
    void pricesAreTypedOverAndSavedByKeyboard() {
        t_->app->openPriceWindow();
        app::FormView& v = *t_->app->priceView();
        t_->app->priceWindow().form().control(u"Text1", 0).setText(u"500");
        v.sync();
        v.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v));
        QLineEdit* first = edit(v, u"Text1", 0);
        first->setFocus(Qt::ActiveWindowFocusReason); // as when the window is opened again
        QTRY_VERIFY(first->hasSelectedText());
        QTest::keyClicks(first, "9");
        QCOMPARE(first->text(), QStringLiteral("9"));
        for (int step = 0; step < 3; ++step) { // the two other prices, then "保存退出"
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(QApplication::focusWidget(), v.widgetFor(u"Label3"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(!v.isVisible());
        std::ifstream saved(t_->priceFolder() / "1(0).txt", std::ios::binary);
        QCOMPARE(std::string(std::istreambuf_iterator<char>(saved), {}), std::string("9\r\n"));
    }

    void minimiseAndRestoreKeepTheSize() {
        app::FormView& grid = t_->view(Calculator::Grid);
        const QSize size = grid.size();
        QTest::mouseClick(grid.widgetFor(u"Command2"), Qt::LeftButton);
        QVERIFY(grid.isMinimized());
        grid.showNormal();
        QVERIFY(!grid.isMinimized());
        QCOMPARE(grid.size(), size);
    }

    void exitButtonsAndClosingALogWindowEndTheProgram() {
        QTest::mouseClick(t_->view(Calculator::Grid).widgetFor(u"Command6"), Qt::LeftButton);
        QVERIFY(t_->quitCalled);
        QVERIFY(!t_->view(Calculator::Grid).isVisible());
        for (auto [which, how] :
             {std::pair{Calculator::List, 0}, {Calculator::Grid, 1}, {Calculator::List, 1}}) {
            t_ = std::make_unique<TestApp>();
            t_->app->switchTo(which);
            t_->app->openPriceWindow();
            if (how == 0) {
                QTest::mouseClick(t_->view(which).widgetFor(u"Command3"), Qt::LeftButton);
            } else {
                t_->view(which).close();
            }
            QVERIFY(t_->quitCalled);
            for (Calculator c : kAll) {
                QVERIFY(!t_->view(c).isVisible());
            }
            QVERIFY(!t_->app->priceView()->isVisible());
        }
    }

    void closingTheSawnWindowBringsBackTheGrid() {
        t_->app->switchTo(Calculator::Sawn);
        t_->app->sawn().form().control(u"Text1", 0).setText(u"400");
        t_->view(Calculator::Sawn).close();
        QVERIFY(!t_->quitCalled);
        QVERIFY(t_->view(Calculator::Grid).isVisible());
        QTRY_VERIFY(!t_->app->exists(Calculator::Sawn));
        t_->app->switchTo(Calculator::Sawn); // created anew, with its initial texts
        QCOMPARE(t_->app->sawn().form().control(u"Text1", 0).text(), std::u16string());
    }

    void dragByHandWhereTheSystemRefuses() {
        app::FormView& v = t_->view(Calculator::Grid);
        v.move(100, 100);
        v.startSystemMove = [] { return false; };
        const QPoint start = v.pos();
        QTest::mousePress(&v, Qt::RightButton, {}, QPoint(20, 300));
        QVERIFY(v.draggingByHand());
        QTest::mouseMove(&v, QPoint(70, 340));
        QTest::mouseRelease(&v, Qt::RightButton, {}, QPoint(70, 340));
        QVERIFY(!v.draggingByHand());
        QCOMPARE(v.pos(), start + QPoint(50, 40));
    }

    void systemMoveWhereGranted() {
        app::FormView& v = t_->view(Calculator::List);
        v.show();
        int asked = 0;
        v.startSystemMove = [&] {
            ++asked;
            return true;
        };
        QTest::mousePress(&v, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseRelease(&v, Qt::LeftButton, {}, QPoint(20, 20));
        QCOMPARE(asked, 1);
        QVERIFY(!v.draggingByHand());
        // A press on a field is not a press on the background.
        QTest::mousePress(edit(v, u"Text1", 0), Qt::LeftButton);
        QCOMPARE(asked, 1);
    }

    void webButtonsOpenTheManualAtTheirSection() {
        std::vector<QUrl> opened;
        t_->app->openUrl = [&](const QUrl& u) {
            opened.push_back(u);
            return true;
        };
        QTest::mouseClick(t_->view(Calculator::Grid).widgetFor(u"Command1"), Qt::LeftButton);
        QTest::mouseClick(t_->view(Calculator::List).widgetFor(u"Command5"), Qt::LeftButton);
        QTest::mouseClick(t_->view(Calculator::Sawn).widgetFor(u"Command2"), Qt::LeftButton);
        QCOMPARE(opened.size(), std::size_t(3));
        QCOMPARE(opened[1].fragment(), QStringLiteral("list"));
        QVERIFY(opened[0].isLocalFile());
        QVERIFY(QFileInfo::exists(opened[0].toLocalFile()));
        QVERIFY(t_->messages.messages.empty());
        t_->app->openUrl = [](const QUrl&) { return false; };
        QTest::mouseClick(t_->view(Calculator::Sawn).widgetFor(u"Command2"), Qt::LeftButton);
        QCOMPARE(t_->messages.messages.size(), std::size_t(1));
        QVERIFY(t_->messages.messages[0].find(u"manual.html") != std::u16string::npos);
    }

    void enterWalksTheGridInBothLayouts() {
        walkFocusOrder(t_->view(Calculator::Grid));
        app::FormView& v = t_->view(Calculator::Grid);
        // Row 14 of group 0 goes to Text15, or to group 1 row 1 when Text15 is hidden.
        edit(v, u"Text14", 1)->setFocus();
        QTest::keyClick(edit(v, u"Text14", 1), Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(hasFocus(edit(v, u"Text15")));
        t_->app->grid().switchToTwoLengths();
        v.sync();
        edit(v, u"Text14", 1)->setFocus();
        QTest::keyClick(edit(v, u"Text14", 1), Qt::Key_Return);
        QCoreApplication::processEvents();
        QVERIFY(hasFocus(edit(v, u"Text1", 4)));
        walkFocusOrder(v);
    }

    void enterWalksTheListAndSawnWindows() {
        walkFocusOrder(t_->view(Calculator::List));
        walkFocusOrder(t_->view(Calculator::Sawn));
    }

    void enterTypesATallyFromTheKeyboard() {
        app::FormView& v = t_->view(Calculator::Grid);
        v.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v));
        edit(v, u"Text23")->setFocus();
        QTRY_COMPARE(edit(v, u"Text23")->selectedText(), QStringLiteral("4"));
        QTest::keyClicks(QApplication::focusWidget(), "4");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QTest::keyClicks(QApplication::focusWidget(), "3");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(t_->app->grid().pieces(1, 0).text(), std::u16string(u"3"));
        QVERIFY(hasFocus(edit(v, u"Text2", 1)));
    }

    void arrowsWrapAlongEveryArray() {
        struct Table {
            Calculator which;
            std::vector<std::u16string> arrays;
            int count;
        };
        std::vector<std::u16string> rows;
        for (int r = 1; r <= 14; ++r) {
            rows.push_back(u"Text" + text::plainText(r));
        }
        const Table tables[] = {
            {Calculator::Grid, rows, 12},
            {Calculator::List, {u"Text1", u"Text2", u"Text3", u"Text4", u"Text5"}, 19},
            {Calculator::Sawn, {u"Text1", u"Text2", u"Text3", u"Text4", u"Text6"}, 8}};
        for (const Table& t : tables) {
            app::FormView& v = t_->view(t.which);
            t_->app->switchTo(t.which);
            v.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&v));
            for (const auto& name : t.arrays) {
                edit(v, name, 0)->setFocus();
                for (int i = 0; i < t.count; ++i) { // Down along the array and around
                    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
                    QVERIFY(hasFocus(edit(v, name, (i + 1) % t.count)));
                }
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up, Qt::ShiftModifier);
                QVERIFY(hasFocus(edit(v, name, t.count - 1)));
            }
        }
        // No effect on a field outside the table.
        app::FormView& grid = t_->view(Calculator::Grid);
        t_->app->switchTo(Calculator::Grid);
        grid.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&grid));
        edit(grid, u"Text17")->setFocus();
        QTest::keyClick(edit(grid, u"Text17"), Qt::Key_Down);
        QVERIFY(hasFocus(edit(grid, u"Text17")));
    }

    void fieldsSelectTheirTextWhenFocusArrives() {
        app::FormView& v = t_->view(Calculator::Sawn);
        t_->app->switchTo(Calculator::Sawn);
        v.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&v));
        auto& f = t_->app->sawn().form();
        f.control(u"Text1", 0).setText(u"12.5");
        f.control(u"Text1", 1).setText(u"400");
        f.control(u"Text2", 0).setText(u"20");
        v.sync();
        QTest::mouseClick(edit(v, u"Text1", 0), Qt::LeftButton, {}, QPoint(3, 5)); // mouse
        QTRY_COMPARE(edit(v, u"Text1", 0)->selectedText(), QStringLiteral("12.5"));
        QTest::keyClick(edit(v, u"Text1", 0), Qt::Key_Return); // Enter
        QCoreApplication::processEvents();
        QTRY_COMPARE(edit(v, u"Text2", 0)->selectedText(), QStringLiteral("20"));
        edit(v, u"Text1", 0)->setFocus();
        QTest::keyClick(edit(v, u"Text1", 0), Qt::Key_Down); // arrow
        QTRY_COMPARE(edit(v, u"Text1", 1)->selectedText(), QStringLiteral("400"));
    }

  private:
    std::unique_ptr<TestApp> t_;
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
