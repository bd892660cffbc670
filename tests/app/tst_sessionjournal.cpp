#include "filecheck.h"
#include "fileutils.h"
#include "journalwriter.h"
#include "pagefile.h"
#include "sessionjournal.h"
#include "sessionlock.h"
#include "tiffheader.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

Q_DECLARE_METATYPE(SessionJournal::Scan)

namespace {

// "type,insertAt,firstNumber,prefix[,minDigits,extension]": a scan that was running.
SessionJournal::Scan ScanOf(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(','));
    SessionJournal::Scan scan;
    scan.type = parts.value(0).toInt();
    scan.insertAt = parts.value(1).toInt();
    scan.firstNumber = parts.value(2).toInt();
    scan.prefix = parts.value(3);
    scan.minDigits = parts.value(4).toInt();
    scan.extension = parts.value(5);
    return scan;
}

// A small picture of the kind the extension names, different for every
// seed (so that a file put in the wrong place is seen).
QByteArray PageBytes(const QString& extension, uint seed)
{
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(QColor::fromRgb(seed * 2654435761u));
    const QString kind = extension == QLatin1String("pnm") ? QStringLiteral("ppm") : extension;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, kind.toLatin1().constData())) {
        qWarning("no writer for %s", qPrintable(kind));
    }
    return bytes;
}

// The file "name" as a crash leaves it: a whole page, or with ":empty",
// ":cut" (its first half) or ":garbage" after the name a damaged one.
QByteArray Content(const QString& entry)
{
    const QString name = entry.section(QLatin1Char(':'), 0, 0);
    const QString damage = entry.section(QLatin1Char(':'), 1);
    QString extension = QFileInfo(name).suffix();
    if (extension == QLatin1String("part")) {
        extension = QFileInfo(name.chopped(5)).suffix();
    }
    const QByteArray whole = PageBytes(extension, qHash(name));
    if (damage == QLatin1String("empty")) {
        return QByteArray();
    }
    if (damage == QLatin1String("cut")) {
        return whole.left(whole.size() / 2);
    }
    if (damage == QLatin1String("garbage")) {
        return QByteArray(whole.size(), 'x');
    }
    return whole;
}

} // namespace

// The journal of the running session and what a restart brings back from it:
// recorded states are written, the page files are laid out on disk as a
// crash leaves them, and the recovered page list is compared with the list
// the user had.
class TestSessionJournal : public QObject {
    Q_OBJECT

private slots:
    void init();

    void recover_data();
    void recover();
    void pageWhole_data();
    void pageWhole();
    void damagedJournal_data();
    void damagedJournal();
    void sharedFolderNumber_data();
    void sharedFolderNumber();
    void writerOrder();
    void lockHeldUntilReleased();
    void lockSurvivesEmptiedFolder();

private:
    QString ScanDirPath() const { return m_dir->path() + QStringLiteral("/scanimages"); }
    QString Scan(const QString& name) const { return m_dir->path() + QStringLiteral("/scanimages/") + name; }
    // The recovered pages by name, "@<angle>" after a turned one's.
    QStringList Names(const SessionJournal::State& state) const;

    QScopedPointer<QTemporaryDir> m_parent;
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestSessionJournal::init()
{
    // The work folder inside a folder of the test's own, where a journal set
    // aside beside it can be found.
    m_dir.reset();
    m_parent.reset(new QTemporaryDir);
    m_dir.reset(new QTemporaryDir(m_parent->filePath(QStringLiteral("work-XXXXXX"))));
    QVERIFY(QDir().mkpath(m_dir->path() + QStringLiteral("/scanimages")));
}

QStringList TestSessionJournal::Names(const SessionJournal::State& state) const
{
    QStringList names;
    for (const QString& path : state.pages) {
        names << (QFileInfo(path).path() == m_dir->path() + QStringLiteral("/scanimages")
                      ? QFileInfo(path).fileName()
                      : QStringLiteral("<outside>") + path);
        if (state.angles.contains(path))
            names.last() += QStringLiteral("@%1").arg(state.angles.value(path));
    }
    return names;
}

void TestSessionJournal::recover_data()
{
    QTest::addColumn<QStringList>("recorded"); // page list at the crash ("0001.jpg@90": turned)
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("scanNumber");
    QTest::addColumn<QString>("scan");         // running scan, or empty
    QTest::addColumn<QStringList>("onDisk");   // files in the scan folder (see Content)
    QTest::addColumn<QStringList>("expected"); // with the angles, as "recorded"
    QTest::addColumn<int>("expectedCurrent");
    QTest::addColumn<int>("expectedNumber");
    QTest::addColumn<QStringList>("interrupted"); // of expected, those that come back interrupted

    const QStringList three{"0001.jpg", "0002.jpg", "0003.jpg"};
    const QStringList none;
    QTest::newRow("all complete") << three << 1 << 4 << "" << three << three << 1 << 4 << none;
    QTest::newRow("interrupted page kept as interrupted")
        << three << 1 << 4 << "" << QStringList{"0001.jpg", "0002.jpg.part", "0003.jpg"} << three << 1 << 4
        << QStringList{"0002.jpg"};
    // The interrupted file's bytes are never overwritten by the damaged page.
    QTest::newRow("damaged page beside its interrupted file")
        << three << 1 << 4 << "" << QStringList{"0001.jpg", "0002.jpg:cut", "0002.jpg.part", "0003.jpg"}
        << three << 1 << 4 << QStringList{"0002.jpg"};
    QTest::newRow("turned page gone, turned page damaged")
        << QStringList{"0001.jpg@180", "0002.jpg@90", "0003.jpg"} << 0 << 4 << ""
        << QStringList{"0002.jpg:cut", "0003.jpg"} << QStringList{"0002.jpg@90", "0003.jpg"} << 0 << 4
        << QStringList{"0002.jpg"};
    QTest::newRow("damaged pages come back interrupted")
        << QStringList{"0001.jpg", "0002.jpg", "0003.tiff", "0004.png", "0005.pnm", "0006.jpg"} << 5 << 7
        << "" << QStringList{"0001.jpg:empty", "0002.jpg:cut", "0003.tiff:garbage",
                             "0004.png:cut",   "0005.pnm:cut", "0006.jpg"}
        << QStringList{"0001.jpg", "0002.jpg", "0003.tiff", "0004.png", "0005.pnm", "0006.jpg"} << 5 << 7
        << QStringList{"0001.jpg", "0002.jpg", "0003.tiff", "0004.png", "0005.pnm"};
    QTest::newRow("a page that is a link is no page")
        << three << 1 << 4 << "" << QStringList{"0001.jpg", "0002.jpg:link", "0003.jpg"}
        << QStringList{"0001.jpg", "0003.jpg"} << 1 << 4 << none;
    QTest::newRow("whole pages of every kind")
        << QStringList{"0001.tif", "0002.png", "0003.pnm", "0004.jpeg"} << 0 << 5 << ""
        << QStringList{"0001.tif", "0002.png", "0003.pnm", "0004.jpeg"}
        << QStringList{"0001.tif", "0002.png", "0003.pnm", "0004.jpeg"} << 0 << 5 << none;
    // The journal's counter is the truth: a stray file does not move it.
    QTest::newRow("deleted pages stay deleted, numbering from the journal")
        << QStringList{"0002.jpg"} << 0 << 3 << "" << QStringList{"0001.jpg", "0002.jpg", "0009.jpg.part"}
        << QStringList{"0002.jpg"} << 0 << 3 << none;
    QTest::newRow("scan to last: finished pages not yet listed")
        << QStringList{"0001.jpg", "0002.jpg"} << 0 << 3 << "1,2,3,,4,jpg"
        << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg", "0005.jpg.part"}
        << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg"} << 0 << 6 << none;
    QTest::newRow("scan's finished page damaged by a power cut")
        << QStringList{"0001.jpg"} << 0 << 2 << "1,1,2,,4,jpg" << QStringList{"0001.jpg", "0002.jpg:empty"}
        << QStringList{"0001.jpg", "0002.jpg"} << 0 << 3 << QStringList{"0002.jpg"};
    // [1 2 3], current page 2, scan before it: 4 listed, 5 and 6 finished.
    QTest::newRow("scan before current: order and current page kept")
        << QStringList{"0001.jpg", "0004.jpg", "0002.jpg", "0003.jpg"} << 2 << 5 << "2,2,4,,4,jpg"
        << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg", "0005.jpg", "0006.jpg"}
        << QStringList{"0001.jpg", "0004.jpg", "0005.jpg", "0006.jpg", "0002.jpg", "0003.jpg"} << 4 << 7
        << none;
    QTest::newRow("replacement finished")
        << three << 1 << 4 << "4,1,4,,4,jpg" << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg"}
        << QStringList{"0001.jpg", "0004.jpg", "0003.jpg"} << 1 << 5 << none;
    // The replaced row is gone from the list: the new page is not lost.
    QTest::newRow("replacement of a row no longer listed comes at the end")
        << three << 2 << 4 << "4,5,4,,4,jpg" << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg"}
        << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg"} << 2 << 5 << none;
    QTest::newRow("scan after a turned page: in order after it, angles stay with their pages")
        << QStringList{"0001.jpg@270", "0002.jpg@180", "0003.jpg"} << 0 << 4 << "3,1,4,,4,jpg"
        << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg", "0005.jpg"}
        << QStringList{"0001.jpg@270", "0004.jpg", "0005.jpg", "0002.jpg@180", "0003.jpg"} << 0 << 6 << none;
    QTest::newRow("replacement interrupted keeps the page")
        << three << 1 << 4 << "4,1,4,,4,jpg"
        << QStringList{"0001.jpg", "0002.jpg", "0003.jpg", "0004.jpg.part"} << three << 1 << 5 << none;
    QTest::newRow("prefix with pattern characters") << QStringList{} << 0 << 1 << "1,0,1,扫描+(1),4,jpg"
                                                    << QStringList{"扫描+(1)0001.jpg", "扫描x0002.jpg"}
                                                    << QStringList{"扫描+(1)0001.jpg"} << 0 << 2 << none;
    // A prefix ending in digits and a converter's leftover named by a
    // 17-digit stamp: neither is taken for a page or a number.
    QTest::newRow("prefix ending in digits, stamp-named leftover")
        << QStringList{"20240001.jpg", "20240002.jpg"} << 1 << 3 << "1,2,3,2024,4,jpg"
        << QStringList{"20240001.jpg", "20240002.jpg", "20240003.jpg", "20240004.jpg.part",
                       "20241207140000123.jpg"}
        << QStringList{"20240001.jpg", "20240002.jpg", "20240003.jpg"} << 1 << 5 << none;
    QTest::newRow("no prefix, stamp-named leftover")
        << QStringList{"0001.tiff"} << 0 << 2 << "1,1,2,,4,tiff"
        << QStringList{"0001.tiff", "0002.tiff", "20241207140000123.tiff"}
        << QStringList{"0001.tiff", "0002.tiff"} << 0 << 3 << none;
    QTest::newRow("other padding, other extension: not the scan's")
        << QStringList{} << 0 << 1 << "1,0,1,,4,jpg"
        << QStringList{"0001.jpg", "001.jpg", "0002.png", "00003.jpg"} << QStringList{"0001.jpg"} << 0 << 2
        << none;
    QTest::newRow("journal of an older version: any padding, any page kind")
        << QStringList{} << 0 << 1 << "1,0,1," << QStringList{"0001.jpg", "02.png", "20241207140000123.tiff"}
        << QStringList{"0001.jpg", "02.png"} << 0 << 3 << none;
}

void TestSessionJournal::recover()
{
    QFETCH(QStringList, recorded);
    QFETCH(int, current);
    QFETCH(int, scanNumber);
    QFETCH(QString, scan);
    QFETCH(QStringList, onDisk);
    QFETCH(QStringList, expected);
    QFETCH(int, expectedCurrent);
    QFETCH(int, expectedNumber);
    QFETCH(QStringList, interrupted);

    QHash<QString, QByteArray> written;
    for (const QString& entry : onDisk) {
        const QString name = entry.section(QLatin1Char(':'), 0, 0);
        written.insert(name, Content(entry));
        // ":link": a link to a whole page outside the folder.
        const QString file = entry.endsWith(QLatin1String(":link")) ? m_parent->filePath(name) : Scan(name);
        QVERIFY(FileCheck::writeFile(file, written.value(name)));
        QVERIFY(file == Scan(name) || QFile::link(file, Scan(name)));
    }
    SessionJournal journal(m_dir->path());
    SessionJournal::State state;
    for (const QString& entry : recorded) {
        state.pages << Scan(entry.section(QLatin1Char('@'), 0, 0));
        if (entry.contains(QLatin1Char('@')))
            state.angles.insert(state.pages.last(), entry.section(QLatin1Char('@'), 1).toInt());
    }
    state.current = current;
    state.scanNumber = scanNumber;
    if (!scan.isEmpty()) {
        state.scanRunning = true;
        state.scan = ScanOf(scan);
    }
    QCOMPARE(journal.Record(state), 0);

    // A new process reads what the old one left.
    SessionJournal::Found found = SessionJournal::Found::Nothing;
    const SessionJournal::State recovered = SessionJournal(m_dir->path()).Recover(&found);
    QCOMPARE(Names(recovered), expected);
    QCOMPARE(recovered.angles.size(), expected.filter(QStringLiteral("@")).size());
    QCOMPARE(found, SessionJournal::Found::Listed);
    QCOMPARE(recovered.current, expectedCurrent);
    QCOMPARE(recovered.scanNumber, expectedNumber);
    QCOMPARE(recovered.damaged, interrupted.size());
    for (const QString& page : recovered.pages) {
        const QString name = QFileInfo(page).fileName();
        if (interrupted.contains(name)) {
            // Shown and refused by the save as an interrupted page; its
            // bytes are kept, under the interrupted page's name.
            QVERIFY2(!IsPageComplete(page), qPrintable(name));
            const QString part = name + QStringLiteral(".part");
            const QByteArray bytes = written.contains(part) ? written.value(part) : written.value(name);
            QFile partial(PartialPagePath(page));
            QVERIFY2(partial.open(QIODevice::ReadOnly) && partial.readAll() == bytes, qPrintable(name));
        } else {
            QFile file(page);
            QVERIFY2(file.open(QIODevice::ReadOnly) && file.readAll() == written.value(name),
                     qPrintable(name));
        }
    }
}

void TestSessionJournal::pageWhole_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("whole");

    for (const char* kind : {"jpg", "tiff", "png", "pnm"}) {
        const QString name = QStringLiteral("0001.") + QLatin1String(kind);
        QTest::addRow("%s whole", kind) << name << Content(name) << true;
        QTest::addRow("%s empty", kind) << name << Content(name + QStringLiteral(":empty")) << false;
        QTest::addRow("%s cut in half", kind) << name << Content(name + QStringLiteral(":cut")) << false;
        QTest::addRow("%s garbage", kind) << name << Content(name + QStringLiteral(":garbage")) << false;
    }
    // The scan loop's own page files: its TIFF header (big-endian up to 8
    // bits, little-endian above, the rows after the directory) and its PNM
    // headers, with all their rows.
    const int width = 24;
    const int height = 16;
    QTest::newRow("scan loop TIFF, gray 8 bit")
        << "0001.tiff" << TiffHeader::Build(false, 8, width, height, 300) + QByteArray(width * height, '\x80')
        << true;
    QTest::newRow("scan loop TIFF, RGB 16 bit")
        << "0001.tiff"
        << TiffHeader::Build(true, 16, width, height, 300) + QByteArray(width * height * 6, '\x01') << true;
    QTest::newRow("scan loop TIFF, bilevel")
        << "0001.tiff"
        << TiffHeader::Build(false, 1, width, height, 300) + QByteArray(width / 8 * height, '\0') << true;
    QTest::newRow("scan loop PNM, gray 16 bit")
        << "0001.pnm" << QByteArray("P5\n24 16\n65535\n") + QByteArray(width * height * 2, '\x01') << true;
    QTest::newRow("scan loop PNM, bilevel")
        << "0001.pnm" << QByteArray("P4\n24 16\n") + QByteArray(width / 8 * height, '\0') << true;
    QByteArray damagedEnd = Content(QStringLiteral("0001.png"));
    damagedEnd[damagedEnd.size() - 1] = char(damagedEnd.at(damagedEnd.size() - 1) ^ 0x5A);
    QTest::newRow("png, end chunk damaged") << "0001.png" << damagedEnd << false;
    // Rows of 20 pixels end in a partly used byte.
    QTest::newRow("scan loop TIFF, bilevel, 20 wide")
        << "0001.tiff" << TiffHeader::Build(false, 1, 20, height, 300) + QByteArray(3 * height, '\0') << true;
    QTest::newRow("scan loop PNM, bilevel, 20 wide")
        << "0001.pnm" << QByteArray("P4\n20 16\n") + QByteArray(3 * height, '\0') << true;
}

// Judged by structure: every way a page file can be left short, and the
// pages the scan loop writes taken as whole.
void TestSessionJournal::pageWhole()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, whole);

    const QString path = Scan(name);
    QVERIFY(FileCheck::writeFile(path, bytes));
    QCOMPARE(IsPageWhole(path), whole);
    if (whole) {
        // One byte short of the end is not whole either.
        QVERIFY(FileCheck::writeFile(path, bytes.chopped(1)));
        QVERIFY(!IsPageWhole(path));
    }
}

void TestSessionJournal::damagedJournal_data()
{
    QTest::addColumn<QByteArray>("journal"); // "<missing>": none, "<fifo>": a FIFO
    QTest::addColumn<bool>("setAside");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<int>("expectedNumber");

    // The folder holds 0001.jpg, 0002.jpg and an interrupted a0007.jpg.part.
    const QStringList folder{"0001.jpg", "0002.jpg", "a0007.jpg"};
    QTest::newRow("missing") << QByteArray("<missing>") << false << folder << 8;
    QTest::newRow("empty") << QByteArray() << true << folder << 8;
    QTest::newRow("not JSON") << QByteArray("\x01\x02garbage") << true << folder << 8;
    QTest::newRow("cut off") << QByteArray(R"({"version":1,"pages":["0001.jpg","00)") << true << folder << 8;
    QTest::newRow("a FIFO nobody writes to") << QByteArray("<fifo>") << true << folder << 8;
    QTest::newRow("unknown version") << QByteArray(R"({"version":7,"pages":["0001.jpg"],"scanNumber":3})")
                                     << true << folder << 8;
    QTest::newRow("empty page list") << QByteArray(R"({"version":1,"pages":[],"scanNumber":3})") << true
                                     << folder << 8;
    QTest::newRow("counter missing") << QByteArray(R"({"version":1,"pages":["0001.jpg"]})") << true << folder
                                     << 8;
    QTest::newRow("counter out of range")
        << QByteArray(R"({"version":1,"pages":["0001.jpg"],"current":-5,"scanNumber":1e300})") << true
        << folder << 8;
    QTest::newRow("counter one past the highest")
        << QByteArray(R"({"version":1,"pages":["0001.jpg"],"scanNumber":1073741824})") << true << folder << 8;
    QTest::newRow("counter not whole")
        << QByteArray(R"({"version":1,"pages":["0001.jpg"],"scanNumber":2.5})") << true << folder << 8;
    // Understood, with entries that are not pages of the folder: those go.
    QTest::newRow("names leading out of the folder")
        << QByteArray(
               R"({"version":1,"pages":["../0001.jpg","/etc/passwd","..","0002.jpg","sub/0001.jpg",""],"scanNumber":3})")
        << false << QStringList{"0002.jpg"} << 3;
    QTest::newRow("wrong types")
        << QByteArray(R"({"version":1,"pages":[1,null,{"a":1},"0001.jpg"],"scan":7,"scanNumber":3})") << false
        << QStringList{"0001.jpg"} << 3;
    QTest::newRow("highest counter") << QByteArray(
                                            R"({"version":1,"pages":["0001.jpg"],"scanNumber":1073741823})")
                                     << false << QStringList{"0001.jpg"} << 1073741823;
    // Written on purpose without pages (after a save, a delete of every page,
    // a clean end): nothing is offered, the files left are no pages.
    QTest::newRow("settled") << QByteArray(R"({"version":1,"pages":[],"scanNumber":12,"settled":true})")
                             << false << QStringList{} << 12;
    // Angles are read back only as the journal writes them; anything else
    // leaves the page upright, and the journal is still used.
    const QStringList two{"0001.jpg", "0002.jpg"};
    auto turned = [](const char* angles) {
        return QByteArray(
                   R"({"version":1,"pages":["0001.jpg","0002.jpg"],"current":1,"scanNumber":3,"angles":)") +
               angles + "}";
    };
    QTest::newRow("quarter turns") << turned(R"({"0001.jpg":90,"0002.jpg":270})") << false
                                   << QStringList{"0001.jpg@90", "0002.jpg@270"} << 3;
    QTest::newRow("half turn") << turned(R"({"0002.jpg":180})") << false
                               << QStringList{"0001.jpg", "0002.jpg@180"} << 3;
    QTest::newRow("no quarter turn") << turned(R"({"0001.jpg":45,"0002.jpg":90.5})") << false << two << 3;
    QTest::newRow("angle out of range") << turned(R"({"0001.jpg":360,"0002.jpg":-90})") << false << two << 3;
    QTest::newRow("angle as text") << turned(R"({"0001.jpg":"90","0002.jpg":null})") << false << two << 3;
    QTest::newRow("angle of no listed page")
        << turned(R"({"0009.jpg":90,"../0001.jpg":90})") << false << two << 3;
    QTest::newRow("angles not an object") << turned("[90,180]") << false << two << 3;
}

// Whatever the journal holds, no page file is deleted and nothing outside
// the scan folder is named. A journal that cannot be understood is set
// aside and the folder's pages are all offered, numbered on above them;
// one that is understood stays where it is.
void TestSessionJournal::damagedJournal()
{
    QFETCH(QByteArray, journal);
    QFETCH(bool, setAside);
    QFETCH(QStringList, expected);
    QFETCH(int, expectedNumber);

    QVERIFY(FileCheck::writeFile(Scan(QStringLiteral("0001.jpg")), Content(QStringLiteral("0001.jpg"))));
    QVERIFY(FileCheck::writeFile(Scan(QStringLiteral("0002.jpg")), Content(QStringLiteral("0002.jpg"))));
    QVERIFY(FileCheck::writeFile(Scan(QStringLiteral("a0007.jpg.part")),
                                 Content(QStringLiteral("a0007.jpg:cut"))));
    QVERIFY(FileCheck::writeFile(m_dir->path() + QStringLiteral("/0001.jpg"), "outside"));
    const QDir scanDir(m_dir->path() + QStringLiteral("/scanimages"));
    const QStringList before = scanDir.entryList(QDir::Files);
    SessionJournal reader(m_dir->path());
    if (journal == "<fifo>") {
        QCOMPARE(mkfifo(QFile::encodeName(reader.FilePath()).constData(), 0600), 0);
    } else if (journal != "<missing>") {
        QVERIFY(FileCheck::writeFile(reader.FilePath(), journal));
    }
    const qint64 journalSize = QFileInfo(reader.FilePath()).size();

    SessionJournal::Found found = SessionJournal::Found::Nothing;
    const SessionJournal::State recovered = reader.Recover(&found);
    QCOMPARE(Names(recovered), expected);
    QCOMPARE(recovered.scanNumber, expectedNumber);
    QCOMPARE(scanDir.entryList(QDir::Files), before);
    const QStringList aside =
        QDir(QFileInfo(m_dir->path()).path())
            .entryList({QFileInfo(m_dir->path()).fileName() + QStringLiteral(".journal-damaged-*")},
                       QDir::AllEntries | QDir::System);
    if (setAside) {
        QCOMPARE(found, SessionJournal::Found::SetAside);
        QVERIFY(!QFile::exists(reader.FilePath()));
        QCOMPARE(aside.size(), 1);
        const QString kept = QFileInfo(m_dir->path()).path() + QLatin1Char('/') + aside.first();
        QCOMPARE(QFileInfo(kept).size(), journalSize);
        QFile::remove(kept);
    } else {
        QCOMPARE(aside, QStringList());
        QCOMPARE(found, journal == "<missing>" ? SessionJournal::Found::Missing
                        : expected.isEmpty()   ? SessionJournal::Found::Nothing
                                               : SessionJournal::Found::Listed);
        QCOMPARE(QFile::exists(reader.FilePath()), journal != "<missing>");
    }
    if (expected == QStringList{"0001.jpg", "0002.jpg", "a0007.jpg"}) {
        QCOMPARE(recovered.damaged, 1);
        QVERIFY(!IsPageComplete(recovered.pages.last()));
    }
}

void TestSessionJournal::sharedFolderNumber_data()
{
    QTest::addColumn<QByteArray>("journal"); // empty: none
    QTest::addColumn<QStringList>("onDisk");
    QTest::addColumn<int>("expected");

    QTest::newRow("journal ahead of the files")
        << QByteArray(R"({"version":1,"pages":["0001.jpg"],"scanNumber":50})") << QStringList{"0001.jpg"}
        << 50;
    QTest::newRow("files ahead of the journal")
        << QByteArray(R"({"version":1,"pages":["0001.jpg"],"scanNumber":3})")
        << QStringList{"0001.jpg", "0009.jpg.part"} << 10;
    QTest::newRow("no journal") << QByteArray() << QStringList{"a0007.jpg", "b0002.png"} << 8;
    QTest::newRow("stamp-named file: the widest tail that fits")
        << QByteArray("garbage") << QStringList{"20241207140000123.tiff"} << 140000124;
    QTest::newRow("ten digits above the range: its nine-digit tail")
        << QByteArray() << QStringList{"9999999999.jpg"} << 1000000000;
}

// A window that shares the folder of another running session numbers its
// page files above that session's journal and above every name there.
void TestSessionJournal::sharedFolderNumber()
{
    QFETCH(QByteArray, journal);
    QFETCH(QStringList, onDisk);
    QFETCH(int, expected);

    for (const QString& name : onDisk)
        QVERIFY(FileCheck::writeFile(Scan(name), "x"));
    SessionJournal reader(m_dir->path());
    if (!journal.isEmpty())
        QVERIFY(FileCheck::writeFile(reader.FilePath(), journal));
    QCOMPARE(reader.NextFreeNumber(), expected);
    QCOMPARE(QDir(ScanDirPath()).entryList(QDir::Files).size(), onDisk.size());
}

// The writer writes the newest state posted, and a flush waits for it.
void TestSessionJournal::writerOrder()
{
    SessionJournal journal(m_dir->path());
    // A link put where the writer makes its new file is not written through.
    const QString outside = m_parent->filePath(QStringLiteral("outside"));
    QVERIFY(FileCheck::writeFile(outside, "keep"));
    QVERIFY(QFile::link(outside, journal.FilePath() + QStringLiteral(".new-%1").arg(getpid())));
    JournalWriter writer(m_dir->path());
    SessionJournal::State state;
    state.pages << Scan(QStringLiteral("0001.jpg"));
    for (int i = 1; i <= 50; ++i) {
        state.scanNumber = i;
        writer.Post(state);
    }
    QVERIFY(writer.Flush());
    SessionJournal::State read;
    QVERIFY(journal.Load(&read));
    QCOMPARE(read.scanNumber, 50);
    QCOMPARE(read.pages, state.pages);
    SessionJournal::State saved;
    saved.scanNumber = 51;
    writer.Post(saved);
    QVERIFY(writer.Flush());
    QVERIFY(journal.Load(&read));
    QVERIFY(read.settled);
    QCOMPARE(read.scanNumber, 51);
    QFile kept(outside);
    QVERIFY(kept.open(QIODevice::ReadOnly) && kept.readAll() == "keep");
}

// flock(1) judges the lock from another process, as a second copy of the
// program would meet it.
void TestSessionJournal::lockHeldUntilReleased()
{
    const QString path = SessionLock::PathFor(m_dir->path() + QStringLiteral("/work"));
    QCOMPARE(path, m_dir->path() + QStringLiteral("/work.lock"));
    auto takenElsewhere = [&path] {
        return QProcess::execute(QStringLiteral("flock"),
                                 {QStringLiteral("-n"), path, QStringLiteral("true")}) == 0;
    };
    {
        SessionLock lock;
        QVERIFY(lock.TryLock(path));
        QVERIFY(!takenElsewhere());
        SessionLock second;
        QVERIFY(!second.TryLock(path));
    }
    QVERIFY(takenElsewhere());
    SessionLock again;
    QVERIFY(again.TryLock(path));

    // A link put in place of the lock file is not followed.
    const QString link = m_dir->path() + QStringLiteral("/linked.lock");
    QVERIFY(QFile::link(m_dir->path() + QStringLiteral("/elsewhere"), link));
    SessionLock linked;
    QVERIFY(!linked.TryLock(link));
    QVERIFY(!QFile::exists(m_dir->path() + QStringLiteral("/elsewhere")));

    // Nor is a lock file of another account (only root can make one here).
    if (::geteuid() == 0) {
        const QString foreign = m_dir->path() + QStringLiteral("/foreign.lock");
        QVERIFY(FileCheck::writeFile(foreign, ""));
        QVERIFY(::chown(QFile::encodeName(foreign).constData(), 4242, 4242) == 0);
        SessionLock other;
        QVERIFY(!other.TryLock(foreign));
    }
}

// Emptying the work folder (save, "清除全部") keeps the running session's
// lock: a second session still finds it held; it never reaches through links.
void TestSessionJournal::lockSurvivesEmptiedFolder()
{
    const QString work = m_dir->path();
    SessionLock lock;
    QVERIFY(lock.TryLock(SessionLock::PathFor(work)));
    QVERIFY(FileCheck::writeFile(work + QStringLiteral("/scanimages/0001.jpg"), "x"));
    // Links in the folder go, what they point to stays.
    QTemporaryDir outside;
    QVERIFY(FileCheck::writeFile(outside.filePath(QStringLiteral("keep.pdf")), "keep"));
    QVERIFY(QFile::link(outside.filePath(QStringLiteral("keep.pdf")),
                        work + QStringLiteral("/scanimages/l.pdf")));
    QVERIFY(QFile::link(outside.path(), work + QStringLiteral("/linkdir")));
    ClearDirectory(work + QStringLiteral("/linkdir"));
    ClearDirectory(work);
    QCOMPARE(QDir(work + QStringLiteral("/scanimages"))
                 .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
             QStringList());
    QVERIFY(!QFileInfo(work + QStringLiteral("/linkdir")).isSymLink());
    QVERIFY(QFile::exists(outside.filePath(QStringLiteral("keep.pdf"))));
    SessionLock second;
    QVERIFY(!second.TryLock(SessionLock::PathFor(work)));
}

QTEST_MAIN(TestSessionJournal)
#include "tst_sessionjournal.moc"
