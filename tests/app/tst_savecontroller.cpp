#include "imageproc.h"
#include "modalanswerer.h"
#include "savecontroller.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

// Writing pages into a save folder on real files: the names a save takes,
// and that a failing save leaves the folder as it was.
class TestSaveController : public QObject {
    Q_OBJECT

private slots:
    void init();
    void writesNamedFiles_data();
    void writesNamedFiles();
    void failedSaveLeavesFolderAsItWas_data();
    void failedSaveLeavesFolderAsItWas();
    void overwriteQuestion_data();
    void overwriteQuestion();

private:
    QList<QString> MakePages(int count);
    SaveController::Target TargetOf(int format, const QString& extension, int minDigits = 4) const;
    QStringList FolderEntries() const
    {
        return QDir(m_saveDir->path()).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }

    QScopedPointer<QTemporaryDir> m_pageDir;
    QScopedPointer<QTemporaryDir> m_saveDir;
};

void TestSaveController::init()
{
    m_pageDir.reset(new QTemporaryDir);
    m_saveDir.reset(new QTemporaryDir);
    QVERIFY(m_pageDir->isValid() && m_saveDir->isValid());
}

QList<QString> TestSaveController::MakePages(int count)
{
    QList<QString> pages;
    for (int i = 0; i < count; ++i) {
        QImage image(40 + i, 30, QImage::Format_RGB32);
        image.fill(QColor(20 * i, 100, 200));
        const QString file = m_pageDir->filePath(QStringLiteral("page%1.jpg").arg(i));
        if (!image.save(file, "JPEG")) {
            return {};
        }
        pages << file;
    }
    return pages;
}

SaveController::Target TestSaveController::TargetOf(int format, const QString& extension, int minDigits) const
{
    SaveController::Target target;
    target.folder = m_saveDir->path();
    target.prefix = QStringLiteral("doc");
    target.minDigits = minDigits;
    target.format = format;
    target.extension = extension;
    return target;
}

void TestSaveController::writesNamedFiles_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("counter");
    QTest::addColumn<int>("digits");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("tiff per page") << int(SaveController::FormatTiff) << "tiff" << 3 << 7 << 4
                                   << QStringList{"doc0007.tiff", "doc0008.tiff", "doc0009.tiff"};
    QTest::newRow("one pdf") << int(SaveController::FormatMultiPdf) << "pdf" << 3 << 7 << 4
                             << QStringList{"doc0007.pdf"};
    QTest::newRow("one tiff") << int(SaveController::FormatMultiTiff) << "tiff" << 2 << 1 << 4
                              << QStringList{"doc0001.tiff"};
    QTest::newRow("counter outgrows digits")
        << int(SaveController::FormatJpeg) << "jpg" << 2 << 99 << 2 << QStringList{"doc99.jpg", "doc100.jpg"};
    QTest::newRow("png per page") << int(SaveController::FormatPng) << "png" << 1 << 5 << 3
                                  << QStringList{"doc005.png"};
    QTest::newRow("nothing to save") << int(SaveController::FormatPdf) << "pdf" << 0 << 3 << 4
                                     << QStringList{};
}

void TestSaveController::writesNamedFiles()
{
    QFETCH(int, format);
    QFETCH(QString, extension);
    QFETCH(int, pages);
    QFETCH(int, counter);
    QFETCH(int, digits);
    QFETCH(QStringList, expected);
    const QList<QString> files = MakePages(pages);
    QCOMPARE(files.size(), pages);
    ImageProc proc;
    SaveController saver(&proc, nullptr);
    const SaveController::Target target = TargetOf(format, extension, digits);
    QVERIFY(SaveController::ExistingTargets(target, pages, counter).isEmpty());

    QVERIFY(saver.Write(target, files, counter));
    QVERIFY(saver.Succeeded());
    QCOMPARE(saver.SavedPages(), expected.isEmpty() ? 0 : pages);
    QStringList written;
    for (const QString& file : saver.SavedFiles()) {
        written << QFileInfo(file).fileName();
        QVERIFY2(QFileInfo(file).size() > 0, qPrintable(file));
    }
    QCOMPARE(written, expected);
    // Nothing else is left in the folder, hidden or not.
    QStringList sorted = expected;
    sorted.sort();
    QCOMPARE(FolderEntries(), sorted);
    // The next save from the same counter would overwrite exactly these.
    QCOMPARE(SaveController::ExistingTargets(target, pages, counter), saver.SavedFiles());
}

void TestSaveController::failedSaveLeavesFolderAsItWas_data()
{
    QTest::addColumn<int>("format");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("missing"); // the page whose file is gone
    QTest::newRow("tiff, second page") << int(SaveController::FormatTiff) << "tiff" << 1;
    QTest::newRow("tiff, last page") << int(SaveController::FormatTiff) << "tiff" << 2;
    QTest::newRow("jpeg, first page") << int(SaveController::FormatJpeg) << "jpg" << 0;
    QTest::newRow("one pdf, third page") << int(SaveController::FormatMultiPdf) << "pdf" << 2;
    QTest::newRow("one tiff, second page") << int(SaveController::FormatMultiTiff) << "tiff" << 1;
}

void TestSaveController::failedSaveLeavesFolderAsItWas()
{
    QFETCH(int, format);
    QFETCH(QString, extension);
    QFETCH(int, missing);
    const QList<QString> files = MakePages(3);
    QVERIFY(QFile::remove(files.at(missing)));
    const SaveController::Target target = TargetOf(format, extension);
    // An older file under the first name the save would take.
    const QString old = SaveController::FileName(target, 1);
    {
        QFile file(old);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old content");
    }
    ImageProc proc;
    SaveController saver(&proc, nullptr);
    QVERIFY(!saver.Write(target, files, 1));
    QVERIFY(!saver.Succeeded());
    QVERIFY(saver.SavedFiles().isEmpty());
    QCOMPARE(saver.Failure().reason, SaveFailure::PageMissing);
    QCOMPARE(saver.Failure().page, missing);
    QVERIFY(
        SaveController::FailureText(saver.Failure()).startsWith(QStringLiteral("第%1页").arg(missing + 1)));
    QCOMPARE(FolderEntries(), QStringList{QFileInfo(old).fileName()});
    QFile file(old);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old content"));
}

void TestSaveController::overwriteQuestion_data()
{
    QTest::addColumn<int>("existing");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("namesShown");
    QTest::newRow("one, yes") << 1 << int(QMessageBox::Yes) << 1;
    QTest::newRow("three, no") << 3 << int(QMessageBox::No) << 3;
    QTest::newRow("five, yes") << 5 << int(QMessageBox::Yes) << 3;
}

void TestSaveController::overwriteQuestion()
{
    QFETCH(int, existing);
    QFETCH(int, answer);
    QFETCH(int, namesShown);
    QWidget window;
    window.show();
    ImageProc proc;
    SaveController saver(&proc, &window);
    const SaveController::Target target = TargetOf(SaveController::FormatTiff, QStringLiteral("tiff"));
    QStringList files;
    for (int i = 0; i < existing; ++i) {
        files << SaveController::FileName(target, i + 1);
    }
    ModalAnswerer answerer{QMessageBox::StandardButton(answer)};
    QCOMPARE(saver.AskOverwrite(files), answer == QMessageBox::Yes);
    QCOMPARE(answerer.texts.size(), 1);
    const QString text = answerer.texts.first();
    for (int i = 0; i < existing; ++i) {
        QCOMPARE(text.contains(QFileInfo(files.at(i)).fileName()), i < namesShown);
    }
    QCOMPARE(text.contains(QStringLiteral("等 %1 个文件").arg(existing)), existing > namesShown);
}

QTEST_MAIN(TestSaveController)
#include "tst_savecontroller.moc"
