// The large view's cache of decoded pages: which pages it keeps when it is
// over its page or byte budget, and that its byte count always equals the
// pages it holds, after evictions, replacements, forgetting and clearing.
#include "pagecache.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

namespace {

const QSize kFit(100, 100);

} // namespace

class TestPageCache : public QObject {
    Q_OBJECT

private slots:
    void budgetAndAccounting_data();
    void budgetAndAccounting();

private:
    bool WritePage(const QString& path, const QByteArray& content);
};

bool TestPageCache::WritePage(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// Steps, separated by blanks, on pages named by one letter:
//   +a3  insert page a decoded into an image of 3 rows (16 bytes a row)
//   !a3  the same, decoded from the file as it was before a rewrite
//   ~a   rewrite a's file (a new stamp)
//   ?a   look a up (expected found when "found" lists it in that order)
//   -a   forget a       0  clear
void TestPageCache::budgetAndAccounting_data()
{
    QTest::addColumn<int>("maxPages");
    QTest::addColumn<qint64>("maxBytes");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("found"); // the letters of the look-ups that find a page
    QTest::addColumn<QString>("kept");  // the pages held at the end

    QTest::newRow("the least recently used page goes first") << 2 << qint64(1000) << "+a1 +b1 ?a +c1"
                                                             << "a"
                                                             << "ac";
    QTest::newRow("over the byte budget") << 10 << qint64(100) << "+a2 +b2 +c2 +d1"
                                          << ""
                                          << "bcd";
    QTest::newRow("an evicted page's own size leaves the count") << 2 << qint64(1000) << "+a1 +b5 +c2"
                                                                 << ""
                                                                 << "bc";
    QTest::newRow("one page over the budget is kept") << 4 << qint64(10) << "+a3"
                                                      << ""
                                                      << "a";
    QTest::newRow("inserted again replaces the newest") << 4 << qint64(1000) << "+a1 +a2"
                                                        << ""
                                                        << "a";
    QTest::newRow("inserted again replaces an older one") << 4 << qint64(1000) << "+a1 +b1 +a3"
                                                          << ""
                                                          << "ab";
    QTest::newRow("forgetting the newest page") << 4 << qint64(1000) << "+a1 +b2 -b"
                                                << ""
                                                << "a";
    QTest::newRow("forgetting the oldest page") << 4 << qint64(1000) << "+a1 +b2 -a"
                                                << ""
                                                << "b";
    QTest::newRow("cleared, then filled again") << 4 << qint64(1000) << "+a1 +b2 0 +c1"
                                                << ""
                                                << "c";
    QTest::newRow("a rewritten page is dropped when looked up") << 4 << qint64(1000) << "+a1 +b2 ~a ?a ?b"
                                                                << "b"
                                                                << "b";
    QTest::newRow("a decode of the file before its rewrite is not kept") << 4 << qint64(1000) << "+a1 ~b !b2"
                                                                         << ""
                                                                         << "a";
}

void TestPageCache::budgetAndAccounting()
{
    QFETCH(int, maxPages);
    QFETCH(qint64, maxBytes);
    QFETCH(QString, steps);
    QFETCH(QString, found);
    QFETCH(QString, kept);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const auto path = [&dir](QChar name) { return dir.filePath(QString(name) + ".png"); };
    QHash<QChar, PageStamp> before; // each file's stamp before its last rewrite
    QHash<QChar, int> rewrites;
    for (QChar name : QStringLiteral("abcd")) {
        QVERIFY(WritePage(path(name), "first"));
        before[name] = PageStamp::Of(path(name));
    }

    PageCache cache(maxPages, maxBytes);
    QHash<QChar, qint64> size; // bytes of each page's last insert
    QString foundNow;
    for (const QString& step : steps.split(' ', Qt::SkipEmptyParts)) {
        const QChar op = step.at(0);
        const QChar name = step.size() > 1 ? step.at(1) : QChar();
        if (op == '+' || op == '!') {
            DecodedPage page;
            page.request = PageRequest{path(name), kFit};
            page.stamp = op == '+' ? PageStamp::Of(path(name)) : before.value(name);
            page.image = QImage(16, step.mid(2).toInt(), QImage::Format_Grayscale8);
            page.image.fill(0x80);
            size[name] = page.image.sizeInBytes();
            cache.Insert(page);
        } else if (op == '~') {
            before[name] = PageStamp::Of(path(name));
            // Another size as well, so that the stamp differs even within
            // the file system's time resolution.
            QVERIFY(WritePage(path(name), QByteArray("rewritten ") + QByteArray::number(++rewrites[name])));
        } else if (op == '?') {
            const DecodedPage* page = cache.Find(PageRequest{path(name), kFit});
            if (page != nullptr) {
                QCOMPARE(page->request.path, path(name));
                QCOMPARE(page->image.sizeInBytes(), size.value(name));
                foundNow += name;
            }
        } else if (op == '-') {
            cache.Forget(path(name));
        } else if (op == '0') {
            cache.Clear();
        }
        // The byte count is the pages' sum after every step.
        qint64 held = 0;
        int count = 0;
        for (QChar n : QStringLiteral("abcd")) {
            if (cache.Contains(PageRequest{path(n), kFit})) {
                held += size.value(n);
                ++count;
            }
        }
        QVERIFY2(cache.Bytes() == held,
                 qPrintable(
                     QString("after %1: %2 bytes counted, %3 held").arg(step).arg(cache.Bytes()).arg(held)));
        QCOMPARE(cache.Count(), count);
    }
    QCOMPARE(foundNow, found);
    QString keptNow;
    for (QChar n : QStringLiteral("abcd")) {
        if (cache.Contains(PageRequest{path(n), kFit})) {
            keptNow += n;
        }
    }
    QCOMPARE(keptNow, kept);
}

QTEST_GUILESS_MAIN(TestPageCache)
#include "tst_pagecache.moc"
