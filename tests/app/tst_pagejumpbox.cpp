// The page box bound to a page list, without a window: choosing an item
// jumps through the page commands (not while a job works on the pages), and
// a typed text that is no page number is put back when the box loses the
// focus. (That its items follow the list the window tests see.)
#include "pageasker.h"
#include "pagecommands.h"
#include "pagehistory.h"
#include "pagejumpbox.h"
#include "pagelist.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QtTest>

namespace {

class NoAsker : public PageAsker {
public:
    bool Ask(const QString& /*text*/) override { return false; }
};

QList<Page> Pages(int count, int first = 1)
{
    QList<Page> pages;
    for (int i = 0; i < count; ++i)
        pages << Page{QStringLiteral("/pages/%1.jpg").arg(first + i), 0, false, 0};
    return pages;
}

} // namespace

class TestPageJumpBox : public QObject {
    Q_OBJECT

private slots:
    void typedText_data();
    void typedText();
    void choosingJumps_data();
    void choosingJumps();
};

void TestPageJumpBox::typedText_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown"); // once the box has lost the focus

    QTest::newRow("a page number") << "3"
                                   << "3";
    QTest::newRow("the last page") << "5"
                                   << "5";
    QTest::newRow("beyond the last page") << "9"
                                          << "2";
    QTest::newRow("a leading zero") << "03"
                                    << "2";
    QTest::newRow("zero") << "0"
                          << "2";
    QTest::newRow("a word") << "x"
                            << "2";
    QTest::newRow("nothing") << ""
                             << "2";
    QTest::newRow("a number too large for any integer") << "99999999999999999999"
                                                        << "2";
}

void TestPageJumpBox::typedText()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);

    PageList list;
    PageHistory history(&list);
    NoAsker asker;
    PageCommands commands(&list, &history, &asker);
    QComboBox box;
    box.setEditable(true);
    box.setInsertPolicy(QComboBox::NoInsert);
    PageJumpBox binder(&box, &list, &commands);
    list.AppendPages(Pages(5));
    list.SetCurrent(1);

    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QCoreApplication::sendEvent(&box, &in);
    box.setEditText(typed);
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(&box, &out);
    QCOMPARE(box.currentText(), shown);
}

void TestPageJumpBox::choosingJumps_data()
{
    QTest::addColumn<bool>("working");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("current"); // afterwards, in the list and the box

    QTest::newRow("another page") << false << 3 << 3;
    QTest::newRow("the first page") << false << 0 << 0;
    QTest::newRow("while a job works on the pages") << true << 3 << 1;
}

void TestPageJumpBox::choosingJumps()
{
    QFETCH(bool, working);
    QFETCH(int, chosen);
    QFETCH(int, current);

    PageList list;
    PageHistory history(&list);
    NoAsker asker;
    PageCommands commands(&list, &history, &asker);
    commands.SetConditions([working] { return working; }, [] { return true; });
    QComboBox box;
    box.setEditable(true);
    PageJumpBox binder(&box, &list, &commands);
    list.AppendPages(Pages(5));
    list.SetCurrent(1);
    list.Selection()->select(list.index(4), QItemSelectionModel::ClearAndSelect);

    box.setCurrentIndex(chosen);
    QCOMPARE(list.Current(), current);
    QCOMPARE(box.currentIndex(), current);
    QCOMPARE(list.SelectedRows(), working ? QList<int>{4} : QList<int>{current});
}

QTEST_MAIN(TestPageJumpBox)
#include "tst_pagejumpbox.moc"
