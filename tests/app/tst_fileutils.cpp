#include "fileutils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestFileUtils : public QObject {
    Q_OBJECT

private slots:
    void clearDirectoryKeepsFoldersAndOutsideFiles();
    void emptyPathDoesNothing();

private:
    static void Touch(const QString& path)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
};

void TestFileUtils::clearDirectoryKeepsFoldersAndOutsideFiles()
{
    QTemporaryDir root;
    const QString tree = root.path() + QStringLiteral("/work");
    const QString outside = root.path() + QStringLiteral("/outside");
    QVERIFY(QDir().mkpath(tree + QStringLiteral("/scanimages/deep/.hidden")));
    QVERIFY(QDir().mkpath(outside));
    Touch(tree + QStringLiteral("/top.tmp"));
    Touch(tree + QStringLiteral("/.dot"));
    Touch(tree + QStringLiteral("/scanimages/page0001.jpg"));
    Touch(tree + QStringLiteral("/scanimages/page0002.tiff.part"));
    Touch(tree + QStringLiteral("/scanimages/deep/.hidden/x.png"));
    Touch(outside + QStringLiteral("/keep.pdf"));
    QVERIFY(
        QFile::link(outside + QStringLiteral("/keep.pdf"), tree + QStringLiteral("/scanimages/link.pdf")));
    QVERIFY(QFile::link(outside, tree + QStringLiteral("/linkdir")));
    QVERIFY(QFile::link(root.path() + QStringLiteral("/gone"), tree + QStringLiteral("/dangling")));

    ClearDirectory(tree);

    QDirIterator it(tree, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList left;
    while (it.hasNext()) {
        left << it.next().mid(tree.size());
    }
    left.sort();
    QCOMPARE(left, (QStringList{"/scanimages", "/scanimages/deep", "/scanimages/deep/.hidden"}));
    // Files reached through links are not touched, nor is the linked folder.
    QVERIFY(QFile::exists(outside + QStringLiteral("/keep.pdf")));
    QVERIFY(QDir(outside).exists());
}

void TestFileUtils::emptyPathDoesNothing()
{
    QTemporaryDir root;
    const QString cwdFile = QStringLiteral("stay.txt");
    const QString old = QDir::currentPath();
    QDir::setCurrent(root.path());
    Touch(cwdFile);
    ClearDirectory(QString());
    QVERIFY(QFile::exists(cwdFile));
    QDir::setCurrent(old);
}

QTEST_GUILESS_MAIN(TestFileUtils)
#include "tst_fileutils.moc"
