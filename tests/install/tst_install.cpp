// Installs the build into a temporary prefix (cmake --install) and judges the
// result the way a desktop does: desktop-file-validate for the menu entry,
// appstreamcli for the metadata of the installed tree.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kAppId = QStringLiteral(SCANVY_APP_ID);

// Exit status (-1 when it did not run or crashed) and merged output.
int Execute(const QString& program, const QStringList& args, QString* output)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    const bool ran = process.waitForStarted() && process.waitForFinished(120000);
    *output = program + ": " + (ran ? QString::fromUtf8(process.readAll()) : process.errorString());
    return ran && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void desktopEntry();
    void metainfo();
    void metainfoAddresses_data();
    void metainfoAddresses();

private:
    QString Path(const QString& relative) const { return m_dir.filePath("prefix/" + relative); }
    QTemporaryDir m_dir;
};

void InstallTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QString out;
    QVERIFY2(Execute(SCANVY_CMAKE_COMMAND, {"--install", SCANVY_BINARY_DIR, "--prefix", Path("")}, &out) == 0,
             qPrintable(out));
}

// The menu entry passes the reference validator, names the installed program
// and an icon the theme has at every size.
void InstallTest::desktopEntry()
{
    const QString file = Path("share/applications/" + kAppId + ".desktop");
    QString out;
    // Hints count too: two main categories put the entry in two menus.
    QVERIFY2(Execute("desktop-file-validate", {file}, &out) == 0 && !out.contains("error:") &&
                 !out.contains("warning:") && !out.contains("hint:"),
             qPrintable(out));
    QSettings entry(file, QSettings::IniFormat);
    entry.setIniCodec("UTF-8");
    entry.beginGroup("Desktop Entry");
    const QString exec = entry.value("Exec").toString();
    QVERIFY2(QFileInfo(Path("bin/" + exec)).isExecutable(), qPrintable(exec));
    QCOMPARE(entry.value("Icon").toString(), kAppId);
    const QStringList sizes = QDir(Path("share/icons/hicolor")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QVERIFY(sizes.size() >= 9);
    for (const QString& size : sizes) {
        const QString icon = Path("share/icons/hicolor/" + size + "/apps/" + kAppId);
        QVERIFY2(QFileInfo::exists(icon + ".png") || QFileInfo::exists(icon + ".svg"), qPrintable(icon));
    }
}

void InstallTest::metainfo()
{
    QString out;
    QVERIFY2(
        Execute("appstreamcli",
                {"validate", "--no-net", "--pedantic", Path("share/metainfo/" + kAppId + ".metainfo.xml")},
                &out) == 0,
        qPrintable(out));
    QVERIFY2(Execute("appstreamcli", {"validate-tree", "--no-net", Path("")}, &out) == 0, qPrintable(out));
}

// The addresses in the metadata are the ones the build was given, and an
// address not given is left out, never a placeholder.
void InstallTest::metainfoAddresses_data()
{
    QTest::addColumn<QString>("cacheEntry");
    QTest::addColumn<QString>("element"); // the element that holds it, with its attributes
    QTest::newRow("home page") << "SCANVY_HOMEPAGE_URL"
                               << "<url type=\"homepage\">";
    QTest::newRow("screenshot") << "SCANVY_SCREENSHOT_URL"
                                << "<image>";
}

void InstallTest::metainfoAddresses()
{
    QFETCH(QString, cacheEntry);
    QFETCH(QString, element);
    QFile cache(QStringLiteral(SCANVY_BINARY_DIR) + "/CMakeCache.txt");
    QVERIFY(cache.open(QIODevice::ReadOnly));
    const QRegularExpression entry("^" + cacheEntry + ":[A-Z]+=(.*)$", QRegularExpression::MultilineOption);
    const QRegularExpressionMatch given = entry.match(QString::fromUtf8(cache.readAll()));
    QVERIFY2(given.hasMatch(), qPrintable(cacheEntry));
    const QString value = given.captured(1).trimmed();

    QFile file(Path("share/metainfo/" + kAppId + ".metainfo.xml"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString xml = QString::fromUtf8(file.readAll());
    const QRegularExpression inElement(QRegularExpression::escape(element) + "([^<]*)<");
    QStringList found;
    for (auto it = inElement.globalMatch(xml); it.hasNext();)
        found << it.next().captured(1).trimmed();
    QCOMPARE(found, value.isEmpty() ? QStringList() : QStringList{value});
    // Addresses reserved for examples are never published.
    const QRegularExpression reserved(
        R"(https?://([^/"<]*\.)?(example(\.(com|net|org))?|invalid|test|localhost)[/:"<])");
    QVERIFY2(!reserved.match(xml).hasMatch(), qPrintable(reserved.match(xml).captured(0)));
}

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
