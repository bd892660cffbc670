// The simulator seen by other programs: scanimage as an independent SANE
// front end, and the stand-ins for lsusb, dpkg and the consumables tools run
// through a shell with sim/bin first on PATH, the way discovery runs them.
#include <QtTest>

#include "simpage.h"

using SimPage::WriteScenario;

namespace {

struct Run {
    int exitCode = -1;
    QString out, err;
};

Run Execute(const QString& program, const QStringList& args, const QString& dir = QString())
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PATH", QString(SCANVY_SIM_BIN_DIR) + ":" + env.value("PATH"));
    p.setProcessEnvironment(env);
    if (!dir.isEmpty())
        p.setWorkingDirectory(dir);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(30000))
        return r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

Run Shell(const QString& command)
{
    return Execute("sh", {"-c", command});
}

} // namespace

class TestSimFrontends : public QObject {
    Q_OBJECT

private slots:
    void scanimageBatch_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QStringList>("markers");
        QTest::addColumn<QString>("ending");
        QTest::newRow("duplex") << "sheets=2\nsource=Adf-duplex" << QStringList{"1A", "1B", "2A", "2B"}
                                << "out of documents";
        QTest::newRow("multifeed on sheet 2") << "sheets=3\nerror=multifeed\nerror-sheet=2\nerror-at=start"
                                              << QStringList{"1A"} << "Document feeder jammed";
    }

    // A batch scan by scanimage writes one file per page in feeder order; the
    // files carry the sheet markers.
    void scanimageBatch()
    {
        QFETCH(QString, scenario);
        QFETCH(QStringList, markers);
        QFETCH(QString, ending);
        QVERIFY(WriteScenario(scenario + "\n"));
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        Run r = Execute("scanimage",
                        {"-d", "zylwy:WY200", "--resolution", "60", "--mode", "Gray", "--format=pnm",
                         "--batch=page%d.pnm"},
                        dir.path());
        QVERIFY2(r.err.contains(ending), qPrintable(r.err));
        QStringList got;
        for (int i = 1; QFile::exists(dir.filePath(QString("page%1.pnm").arg(i))); ++i) {
            QImage img(dir.filePath(QString("page%1.pnm").arg(i)));
            QVERIFY(!img.isNull());
            QCOMPARE(img.size(), QSize(496, 702)); // A4 at 60 dpi
            got << SimPage::Marker(img, 60);
        }
        QCOMPARE(got, markers);
    }

    void standIns_data()
    {
        QTest::addColumn<QString>("scenario");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("output");
        // The plain cases are run by the discovery tests on these stand-ins.
        const QString usb = "lsusb | grep -E '0a3d|0b7e' | cut -d' ' -f6";
        const QString wy = "dpkg -l zylwy |grep 'ii' | awk '/zylwy/ {print $2}{print $3}'";
        const QString wyTool = "zylwyconsumables -L |grep -v 'List of available devices:'";
        QTest::newRow("lsusb all") << "" << usb << "0a3d:4021\n0a3d:4013\n0b7e:1201\n0b7e:2f4c\n";
        QTest::newRow("lsusb override") << "usb=0a3d:1111" << usb << "0a3d:1111\n";
        QTest::newRow("dpkg Wy version") << "packages=zylwy=3.2-1" << wy << "zylwy\n3.2-1\n";
        QTest::newRow("tool lines override") << "wy-tool=WY-200, WY-300" << wyTool << "WY-200\nWY-300\n";
    }

    // The stand-ins print what the scenario says, in the formats of the real
    // tools, so the discovery command lines work on them unchanged.
    void standIns()
    {
        QFETCH(QString, scenario);
        QFETCH(QString, command);
        QFETCH(QString, output);
        QVERIFY(WriteScenario(scenario + "\n"));
        Run r = Shell(command);
        QCOMPARE(r.out, output);
    }

    // An explicit control file (the demo's) takes precedence over the one in
    // SANE_CONFIG_DIR, for the drivers and the tools alike.
    void explicitControlFile()
    {
        QVERIFY(WriteScenario("devices=zylkx:KX-8000\n"));
        QTemporaryDir dir;
        QFile f(dir.filePath("demo.conf"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("devices=zylwy:WY200\n");
        f.close();
        qputenv("SCANVY_SIM_CONTROL", f.fileName().toLocal8Bit());
        Run tool = Shell("zylwyconsumables -L | tail -1; lsusb | grep -c 0a3d");
        Run list = Execute("scanimage", {"-L"});
        qunsetenv("SCANVY_SIM_CONTROL");
        QCOMPARE(tool.out, QString("WY-200\n0\n"));
        QCOMPARE(list.out.trimmed(), QString("device `zylwy:WY200' is a Zyl WY-200 sheetfed scanner"));
    }
};

QTEST_GUILESS_MAIN(TestSimFrontends)
#include "tst_simfrontends.moc"
