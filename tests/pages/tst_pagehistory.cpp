#include "pagehistory.h"
#include "pagelist.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestPageHistory : public QObject {
    Q_OBJECT
private slots:
    void filesLeaveWithTheirLastStep_data();
    void filesLeaveWithTheirLastStep();
    void groupWithoutChangeIsNoStep();
};

// A page's file, and the ".part" file of a page cut off while it was read,
// stays while the list or a step that can still be taken holds the page, and
// goes with the last one: a step falling off the history, steps undone and
// cut off by a new change, the history dropped. The recognised text stored
// beside a page goes with it too. Pages ending in "~" were cut off, pages
// ending in "+" have a stored text; "left" is the work folder afterwards.
void TestPageHistory::filesLeaveWithTheirLastStep_data()
{
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("left");

    QTest::newRow("held by a step") << 10 << "add a~, add b, delete a"
                                    << "a.png.part b.png";
    QTest::newRow("the last step holding it falls off") << 2 << "add a~, add b, delete a, add c, add d"
                                                        << "b.png c.png d.png";
    QTest::newRow("its text falls off with it") << 2 << "add a+, add b, delete a, add c, add d"
                                                << "b.png c.png d.png";
    QTest::newRow("text held by a step") << 10 << "add a+, delete a"
                                         << "a.png a.png.text";
    QTest::newRow("undone, then cut off by a change") << 10 << "add a~, undo, add b"
                                                      << "b.png";
    QTest::newRow("dropped") << 10 << "add a+, add b~, delete b, add c+, delete c, drop"
                             << "a.png a.png.text";
    QTest::newRow("listed pages stay when dropped") << 10 << "add a~, add b, drop"
                                                    << "a.png.part b.png";
}

void TestPageHistory::filesLeaveWithTheirLastStep()
{
    QFETCH(int, limit);
    QFETCH(QString, script);
    QFETCH(QString, left);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    PageList list;
    PageHistory history(&list);
    history.SetLimit(limit);
    for (const QString& step : script.split(QStringLiteral(", "))) {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        QString name = step.section(QLatin1Char(' '), 1);
        const bool interrupted = name.endsWith(QLatin1Char('~'));
        const bool recognised = name.endsWith(QLatin1Char('+'));
        name.remove(QLatin1Char('~'));
        name.remove(QLatin1Char('+'));
        const QString path = dir.filePath(name + QStringLiteral(".png"));
        if (verb == QLatin1String("add")) {
            QFile file(interrupted ? path + QStringLiteral(".part") : path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QFile text(path + QStringLiteral(".text"));
            QVERIFY(!recognised || text.open(QIODevice::WriteOnly));
            list.AppendPages({Page{path, 0, interrupted, 0}});
        } else if (verb == QLatin1String("delete")) {
            QVERIFY(list.RemoveRows({int(list.Paths().indexOf(path))}));
        } else if (verb == QLatin1String("undo")) {
            QVERIFY(history.Undo());
        } else {
            history.Drop();
        }
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files, QDir::Name).join(QLatin1Char(' ')), left);
}

// A scan that brought nothing, or a delete of nothing, is no step.
void TestPageHistory::groupWithoutChangeIsNoStep()
{
    PageList list;
    PageHistory history(&list);
    list.AppendPages({Page{QStringLiteral("/nowhere/a.png"), 0, false, 0}});
    QCOMPARE(history.StepCount(), 1);
    history.BeginGroup();
    list.BeginPlacement(PagePlacement::After);
    list.SetCurrent(0);
    history.EndGroup(QStringLiteral("scan"));
    QCOMPARE(history.StepCount(), 1);
    QCOMPARE(history.UndoName(), QString());
    history.NameLast(QStringLiteral("restore"));
    QCOMPARE(history.UndoName(), QStringLiteral("restore"));
}

QTEST_GUILESS_MAIN(TestPageHistory)
#include "tst_pagehistory.moc"
