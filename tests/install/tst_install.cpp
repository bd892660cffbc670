// Installs the build into a temporary prefix (cmake --install) and judges the
// result the way a desktop does: desktop-file-validate and appstreamcli for the
// menu entry and the metadata, appstreamcli compose for what a software centre
// makes of the tree, librsvg for the scalable icon.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <cmath>

namespace {

const QString kAppId = QStringLiteral(SCANVY_APP_ID);

struct Run {
    int status = -1;
    QString output; // standard output and error
};

Run Execute(const QString& program, const QStringList& args, int timeoutMs = 60000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    Run run;
    if (!process.waitForStarted() || !process.waitForFinished(timeoutMs)) {
        run.output = program + QStringLiteral(": ") + process.errorString();
        return run;
    }
    run.output = QString::fromUtf8(process.readAll());
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

// The keys of the [Desktop Entry] group, localised ones as "Name[zh_CN]".
QMap<QString, QString> ReadDesktopEntry(const QString& path)
{
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return keys;
    }
    bool inEntry = false;
    for (const QString& raw : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
        } else if (inEntry && !line.startsWith(QLatin1Char('#')) && line.contains(QLatin1Char('='))) {
            const int eq = line.indexOf(QLatin1Char('='));
            keys.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
        }
    }
    return keys;
}

// How far two images differ where they differ most: both are averaged down
// to grid x grid cells, and the result is the largest mean channel difference
// of one cell, 0 (same) to 1. Strokes that are a pixel wider or placed half a
// pixel away hardly move a cell; a missing or misplaced part does.
double WorstCellDifference(const QImage& a, const QImage& b, int grid)
{
    const QImage x = a.scaled(grid, grid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    const QImage y = b.scaled(grid, grid, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                         .convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    double worst = 0;
    for (int row = 0; row < grid; ++row) {
        const uchar* p = x.constScanLine(row);
        const uchar* q = y.constScanLine(row);
        for (int cell = 0; cell < grid; ++cell) {
            int sum = 0;
            for (int channel = 0; channel < 4; ++channel) {
                sum += std::abs(int(p[cell * 4 + channel]) - int(q[cell * 4 + channel]));
            }
            worst = qMax(worst, sum / (255.0 * 4));
        }
    }
    return worst;
}

bool IsElf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(4) == QByteArray("\x7f"
                                                                        "ELF",
                                                                        4);
}

} // namespace

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void installsNoBuildHelpers_data();
    void installsNoBuildHelpers();
    void theProgramIsTheOnlyBinary();
    void themeIcon_data();
    void themeIcon();
    void desktopEntry();
    void metainfo();
    void softwareCentreCatalogue();

private:
    QString Path(const QString& relative) const { return m_prefix + QLatin1Char('/') + relative; }
    QString DesktopFile() const { return Path(QStringLiteral("share/applications/%1.desktop").arg(kAppId)); }
    QString MetainfoFile() const
    {
        return Path(QStringLiteral("share/metainfo/%1.metainfo.xml").arg(kAppId));
    }

    QTemporaryDir m_dir;
    QString m_prefix;
    QStringList m_files; // installed files, relative to the prefix
};

void InstallTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_prefix = m_dir.filePath(QStringLiteral("prefix"));
    const Run install = Execute(QStringLiteral(SCANVY_CMAKE_COMMAND),
                                {QStringLiteral("--install"), QStringLiteral(SCANVY_BINARY_DIR),
                                 QStringLiteral("--prefix"), m_prefix},
                                120000);
    QVERIFY2(install.status == 0, qPrintable(install.output));
    QDirIterator it(m_prefix, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        m_files << it.next().mid(m_prefix.size() + 1);
    }
    m_files.sort();
    QVERIFY(!m_files.isEmpty());
}

// What the build makes besides the program stays in the build folder.
void InstallTest::installsNoBuildHelpers_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::newRow("simulated drivers") << QStringLiteral("(^|/)libsane-[^/]*$");
    QTest::newRow("shared libraries") << QStringLiteral("\\.so(\\.[0-9]+)*$");
    QTest::newRow("static libraries") << QStringLiteral("\\.a$");
    QTest::newRow("simulator configuration") << QStringLiteral("(^|/)(dll|scenario|demo-scenario)\\.conf$");
    QTest::newRow("simulator stand-in tools") << QStringLiteral("(^|/)(lsusb|dpkg|zyl[a-z-]*)$");
    QTest::newRow("translation catalogues") << QStringLiteral("\\.(qm|ts)$");
    QTest::newRow("tests and benchmarks") << QStringLiteral("(^|/)(tst_|bench_|fuzz_)[^/]*$");
    QTest::newRow("icon and screenshot tools") << QStringLiteral("(^|/)scanvy-[^/]*$");
}

void InstallTest::installsNoBuildHelpers()
{
    QFETCH(QString, pattern);
    const QRegularExpression re(pattern);
    QVERIFY(re.isValid());
    const QStringList found = m_files.filter(re);
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char(' '))));
}

void InstallTest::theProgramIsTheOnlyBinary()
{
    QStringList binaries;
    for (const QString& file : m_files) {
        if (IsElf(Path(file)) || QFileInfo(Path(file)).isExecutable()) {
            binaries << file;
        }
    }
    QCOMPARE(binaries, QStringList{QStringLiteral("bin/scanvy")});
}

// Every theme size holds the icon at exactly that size, a rounded square with
// transparent corners, showing the same drawing as the scalable icon as
// librsvg renders it. Below 48 pixels the strokes are widened and moved onto
// the pixel grid, which a cell of a 4 x 4 grid feels as up to about a sixth;
// a missing page or beam costs more than a quarter.
void InstallTest::themeIcon_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<double>("tolerance");
    for (int size : {16, 22, 24, 32}) {
        QTest::addRow("%dx%d hinted", size, size) << size << 0.22;
    }
    for (int size : {48, 64, 128, 256}) {
        QTest::addRow("%dx%d", size, size) << size << 0.02;
    }
}

void InstallTest::themeIcon()
{
    QFETCH(int, size);
    QFETCH(double, tolerance);
    const QString png = Path(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId));
    const QImage icon(png);
    QVERIFY2(!icon.isNull(), qPrintable(png));
    QCOMPARE(icon.size(), QSize(size, size));
    QVERIFY(icon.hasAlphaChannel());
    QCOMPARE(qAlpha(icon.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(icon.pixel(size - 1, size - 1)), 0);
    QCOMPARE(qAlpha(icon.pixel(size / 2, size / 2)), 255);

    const QString svg = Path(QStringLiteral("share/icons/hicolor/scalable/apps/%1.svg").arg(kAppId));
    const QString rendered = m_dir.filePath(QStringLiteral("svg-%1.png").arg(size));
    const Run rsvg = Execute(QStringLiteral("rsvg-convert"),
                             {QStringLiteral("-w"), QString::number(size), QStringLiteral("-h"),
                              QString::number(size), QStringLiteral("-o"), rendered, svg});
    QVERIFY2(rsvg.status == 0, qPrintable(rsvg.output));
    const QImage reference(rendered);
    QCOMPARE(reference.size(), QSize(size, size));
    const double difference = WorstCellDifference(icon, reference, 4);
    QVERIFY2(difference <= tolerance,
             qPrintable(QStringLiteral("differs from the scalable icon by %1").arg(difference)));
}

// The menu entry passes the reference validator, starts the installed
// program without arguments and names an icon the theme has at every size.
void InstallTest::desktopEntry()
{
    const Run validate = Execute(QStringLiteral("desktop-file-validate"), {DesktopFile()});
    QVERIFY2(validate.status == 0 && !validate.output.contains(QLatin1String("error:")),
             qPrintable(validate.output));

    const QMap<QString, QString> entry = ReadDesktopEntry(DesktopFile());
    QCOMPARE(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
    const QString exec = entry.value(QStringLiteral("Exec"));
    QVERIFY2(!exec.isEmpty() && !exec.contains(QLatin1Char(' ')) && !exec.contains(QLatin1Char('%')),
             qPrintable(QStringLiteral("Exec=") + exec));
    QVERIFY2(QFileInfo(Path(QStringLiteral("bin/") + exec)).isExecutable(), qPrintable(exec));
    QCOMPARE(entry.value(QStringLiteral("TryExec")), exec);

    const QString icon = entry.value(QStringLiteral("Icon"));
    QCOMPARE(icon, kAppId);
    const QStringList themeFolders =
        QDir(Path(QStringLiteral("share/icons/hicolor"))).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QVERIFY(themeFolders.size() >= 9);
    for (const QString& folder : themeFolders) {
        const QString base = Path(QStringLiteral("share/icons/hicolor/%1/apps/%2").arg(folder, icon));
        QVERIFY2(QFileInfo::exists(base + QStringLiteral(".png")) ||
                     QFileInfo::exists(base + QStringLiteral(".svg")),
                 qPrintable(base));
    }
    QCOMPARE(entry.value(QStringLiteral("Name[zh_CN]")), QStringLiteral("泽科维扫描软件"));
    QVERIFY(!entry.value(QStringLiteral("Name")).isEmpty());
    const QStringList categories =
        entry.value(QStringLiteral("Categories")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    QVERIFY2(categories.contains(QStringLiteral("Scanning")), qPrintable(categories.join(QLatin1Char(';'))));
}

void InstallTest::metainfo()
{
    const Run validate =
        Execute(QStringLiteral("appstreamcli"), {QStringLiteral("validate"), QStringLiteral("--no-net"),
                                                 QStringLiteral("--pedantic"), MetainfoFile()});
    QVERIFY2(validate.status == 0, qPrintable(validate.output));
    const Run tree = Execute(QStringLiteral("appstreamcli"),
                             {QStringLiteral("validate-tree"), QStringLiteral("--no-net"), m_prefix});
    QVERIFY2(tree.status == 0, qPrintable(tree.output));
}

// What a software centre shows: appstreamcli compose builds the catalogue
// from the installed tree, finding the desktop entry through the launchable
// and caching the theme icon. The component must come through complete, in
// Chinese and English, for the version being built.
void InstallTest::softwareCentreCatalogue()
{
    const QString result = m_dir.filePath(QStringLiteral("catalogue"));
    const Run compose =
        Execute(QStringLiteral("appstreamcli"),
                {QStringLiteral("compose"), QStringLiteral("--no-net"), QStringLiteral("--print-report=full"),
                 QStringLiteral("--origin=scanvy"), QStringLiteral("--prefix=/"),
                 QStringLiteral("--result-root=") + result, m_prefix},
                120000);
    QVERIFY2(compose.status == 0, qPrintable(compose.output));

    const QString gz = result + QStringLiteral("/share/swcatalog/xml/scanvy.xml.gz");
    const Run unzip = Execute(QStringLiteral("gzip"), {QStringLiteral("-dc"), gz});
    QVERIFY2(unzip.status == 0, qPrintable(unzip.output));

    QXmlStreamReader xml(unzip.output);
    int components = 0;
    QString id, launchable, version;
    QMap<QString, QString> names;
    QStringList cachedIcons;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QStringRef tag = xml.name();
        const QString lang = xml.attributes().value(QStringLiteral("xml:lang")).toString();
        if (tag == QLatin1String("component")) {
            ++components;
        } else if (tag == QLatin1String("id")) {
            id = xml.readElementText();
        } else if (tag == QLatin1String("name")) {
            names.insert(lang, xml.readElementText());
        } else if (tag == QLatin1String("launchable")) {
            launchable = xml.readElementText();
        } else if (tag == QLatin1String("icon") &&
                   xml.attributes().value(QStringLiteral("type")) == QLatin1String("cached")) {
            cachedIcons << xml.attributes().value(QStringLiteral("width")).toString();
        } else if (tag == QLatin1String("release")) {
            version = xml.attributes().value(QStringLiteral("version")).toString();
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(components, 1);
    QCOMPARE(id, kAppId);
    QCOMPARE(launchable, QFileInfo(DesktopFile()).fileName());
    QCOMPARE(names.value(QStringLiteral("zh_CN")), QStringLiteral("泽科维扫描软件"));
    QCOMPARE(names.value(QString()), ReadDesktopEntry(DesktopFile()).value(QStringLiteral("Name")));
    QVERIFY2(cachedIcons.contains(QStringLiteral("64")), qPrintable(cachedIcons.join(QLatin1Char(' '))));
    QCOMPARE(version, QStringLiteral(SCANVY_VERSION));
}

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
