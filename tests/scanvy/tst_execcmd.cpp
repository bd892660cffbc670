#include "execcmd.h"

#include <QDir>
#include <QtTest>

#include <unistd.h>

class TestExecCmd : public QObject {
    Q_OBJECT
private slots:
    void output_data();
    void output();
    void worksFromAnotherThread();
    void homePath();
};

void TestExecCmd::output_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");

    QTest::newRow("trimmed") << "printf '  \\t 4711 \\n\\n'"
                             << "4711";
    QTest::newRow("inner blanks kept") << "echo ' a  b '"
                                       << "a  b";
    QTest::newRow("cut at NUL") << "printf 'before\\000after'"
                                << "before";
    QTest::newRow("UTF-8") << "printf '\\346\\211\\253\\346\\217\\217'" << QString::fromUtf8("扫描");
    QTest::newRow("stderr not read") << "echo out; echo err >&2"
                                     << "out";
    QTest::newRow("exit code ignored") << "echo partial; exit 3"
                                       << "partial";
    QTest::newRow("missing program") << "no-such-program-here"
                                     << "";
    QTest::newRow("shell syntax") << "for i in 1 2 3; do printf $i; done | tr 2 x"
                                  << "1x3";
}

void TestExecCmd::output()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    QCOMPARE(ExecCmd(command), expected);
}

void TestExecCmd::worksFromAnotherThread()
{
    QString result;
    QThread* thread = QThread::create([&result] { result = ExecCmd("echo worker"); });
    thread->start();
    QVERIFY(thread->wait(30000));
    delete thread;
    QCOMPARE(result, QStringLiteral("worker"));
}

void TestExecCmd::homePath()
{
    // The test runner points HOME at a sandbox, so the two sources differ.
    const char* login = getlogin();
    const QString home = GetHomePath();
    QVERIFY(!home.endsWith('/'));
    if (login != nullptr && login[0] != '\0')
        QCOMPARE(home, QStringLiteral("/home/") + QString::fromLocal8Bit(login));
    else
        QCOMPARE(home, QDir::homePath());
}

QTEST_GUILESS_MAIN(TestExecCmd)
#include "tst_execcmd.moc"
