#include "imageviewwidget.h"
#include "pagefiles.h"
#include "pageturn.h"
#include "thumblistwidget.h"
#include "thumbnailloader.h"
#include "workspace.h"

#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const int kPages = 40;
// Large enough that decoding the thumbnails takes longer than making the
// cells, so that results are still on their way when the rows change.
const QSize kPageSize(480, 660);

// A page whose top-left quarter carries its number as a colour, the other
// quarters fixed colours: a thumbnail shows which page it was drawn from
// and in which orientation.
QImage MakePage(int number)
{
    QImage image(kPageSize, QImage::Format_RGB32);
    const int w = kPageSize.width() / 2;
    const int h = kPageSize.height() / 2;
    QPainter painter(&image);
    painter.fillRect(0, 0, w, h, QColor(number * 5, 250 - number * 5, 128));
    painter.fillRect(w, 0, w, h, Qt::white);
    painter.fillRect(0, h, w, h, Qt::black);
    painter.fillRect(w, h, w, h, QColor(90, 90, 90));
    return image;
}

// True when the centres of the four quarters show the same colours in both.
bool SameQuarters(const QImage& a, const QImage& b)
{
    for (double y : {0.25, 0.75}) {
        for (double x : {0.25, 0.75}) {
            if (!PageFiles::Near(a.pixelColor(int(x * a.width()), int(y * a.height())),
                                 b.pixelColor(int(x * b.width()), int(y * b.height())), 2)) {
                return false;
            }
        }
    }
    return true;
}

enum Moment { AtOnce, ShownDecodesUndelivered };

} // namespace

// Many pages added at once (a session brought back) get their thumbnails
// from background threads, only those of the rows in view. Rows deleted,
// moved, turned or given another file before that is over must each end
// with the thumbnail of the page file they hold now, in its present
// orientation: no thumbnail decoded for another row, for a file since
// replaced or for the page before it was turned.
class TestThumbnailFill : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void changedWhileLoading_data();
    void changedWhileLoading();

private:
    QString WritePage(int number);
    QString Verify(const Workspace& ws, const QStringList& order, const QHash<QString, int>& angles) const;
    static void Select(Workspace* ws, const QList<int>& rows);

    QTemporaryDir m_dir;
    int m_written = 0;
};

void TestThumbnailFill::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestThumbnailFill::WritePage(int number)
{
    const QString path = m_dir.filePath(QStringLiteral("page%1-%2.png").arg(number).arg(++m_written));
    return MakePage(number).save(path, "PNG", 90) ? path : QString();
}

void TestThumbnailFill::Select(Workspace* ws, const QList<int>& rows)
{
    ws->list->clearSelection();
    for (int row : rows) {
        ws->list->selectionModel()->select(ws->list->model()->index(row, 0), QItemSelectionModel::Select);
    }
}

// Empty when the rows hold `order` and every row shows its own page file
// as it is now, turned by its angle; otherwise the first disagreement.
QString TestThumbnailFill::Verify(const Workspace& ws, const QStringList& order,
                                  const QHash<QString, int>& angles) const
{
    if (ws.RowPaths() != order || ws.view->GetPagePaths().toList() != order) {
        return QStringLiteral("rows hold %1").arg(ws.RowPaths().join(QLatin1Char(' ')));
    }
    for (int row = 0; row < order.size(); ++row) {
        const QImage shown = ws.Picture(row);
        if (shown.isNull()) {
            return QStringLiteral("row %1 shows no thumbnail").arg(row);
        }
        const QImage page = TurnImage(QImageReader(order.at(row)).read(), angles.value(order.at(row)));
        if (!SameQuarters(shown, page)) {
            return QStringLiteral("row %1 does not show %2 as it is now").arg(row).arg(order.at(row));
        }
    }
    return QString();
}

void TestThumbnailFill::changedWhileLoading_data()
{
    QTest::addColumn<int>("moment");
    QTest::addColumn<QString>("actions");

    const struct {
        const char* name;
        Moment moment;
    } moments[] = {{"at once", AtOnce}, {"undelivered", ShownDecodesUndelivered}};
    // d: delete rows 1, 5-9 and the last; m: move rows 2, 3 and 30 to the
    // top; r: turn rows 0, 3, 4 and the last right; p: give rows 0, 7 and
    // the last new page files; c: clear the list and add other pages.
    // Each change alone is one step of the mixed sequences.
    const char* const sequences[] = {"c", "rdmp", "mrpd"};
    for (const auto& moment : moments) {
        for (const char* actions : sequences) {
            QTest::addRow("%s, %s", moment.name, actions)
                << int(moment.moment) << QString::fromLatin1(actions);
        }
    }
}

void TestThumbnailFill::changedWhileLoading()
{
    QFETCH(int, moment);
    QFETCH(QString, actions);

    Workspace ws;
    ws.view->SetReorderEnabled(true);
    QStringList order;
    QHash<QString, int> angles; // of the pages turned
    for (int i = 0; i < kPages; ++i) {
        order << WritePage(i);
        QVERIFY(!order.last().isEmpty());
    }
    ws.view->AddImages(order, 0);
    QCOMPARE(ws.list->RowCount(), kPages); // the rows are there at once

    if (moment == ShownDecodesUndelivered) {
        // The rows in view drawn, their decodes finished, none of their
        // results handed to the interface thread yet.
        ws.list->viewport()->grab();
        QVERIFY(ws.view->Thumbnails()->IsDecoding());
        QVERIFY(ws.view->Thumbnails()->WaitForDecodes(10000));
    }

    for (const QChar action : actions) {
        const int last = ws.list->RowCount() - 1;
        if (action == QLatin1Char('d')) {
            Select(&ws, {1, 5, 6, 7, 8, 9, last});
            ws.view->Delete();
            for (int row : {last, 9, 8, 7, 6, 5, 1}) {
                order.removeAt(row);
            }
        } else if (action == QLatin1Char('m')) {
            QVERIFY(ws.view->MoveRows({2, 3, 30}, 0));
            const QStringList moved{order.at(2), order.at(3), order.at(30)};
            for (const QString& page : moved) {
                order.removeOne(page);
            }
            order = moved + order;
        } else if (action == QLatin1Char('r')) {
            Select(&ws, {0, 3, 4, last});
            ws.view->RotateRight();
            for (int row : {0, 3, 4, last}) {
                angles[order.at(row)] = (angles.value(order.at(row)) + 90) % 360;
            }
        } else if (action == QLatin1Char('p')) {
            int fresh = kPages;
            for (int row : {0, 7, last}) {
                order[row] = WritePage(fresh++);
                ws.view->ReplaceImage(row, order.at(row));
            }
        } else if (action == QLatin1Char('c')) {
            ws.view->ClearImages();
            order.clear();
            for (int i = 0; i < kPages; ++i) {
                order << WritePage(kPages - 1 - i);
            }
            ws.view->AddImages(order, 0);
        }
    }

    QTRY_VERIFY_WITH_TIMEOUT(!ws.view->IsLoadingThumbnails(), 20000);
    // Whatever was still on its way has arrived by now.
    QVERIFY(ws.WaitForThumbnails());
    const QString fault = Verify(ws, order, angles);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
}

QTEST_MAIN(TestThumbnailFill)
#include "tst_thumbnailfill.moc"
