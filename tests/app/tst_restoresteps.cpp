#include "imageviewwidget.h"
#include "mainwindow.h"
#include "modalanswerer.h"
#include "pageturn.h"
#include "sessionjournal.h"
#include "thumbnailitemdelegate.h"
#include "thumbnailloader.h"

#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QImageReader>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const int kPages = 30;
// Large enough that the thumbnails are still on their way when the first
// actions come.
const QSize kPageSize(1240, 1754);

// Top-left quarter: the page's number as a colour; the other quarters
// fixed colours, so that orientation shows too.
QImage MakePage(int number)
{
    QImage image(kPageSize, QImage::Format_RGB32);
    const int w = kPageSize.width() / 2;
    const int h = kPageSize.height() / 2;
    QPainter painter(&image);
    painter.fillRect(0, 0, w, h, QColor(number * 8, 240 - number * 8, 128));
    painter.fillRect(w, 0, w, h, Qt::white);
    painter.fillRect(0, h, w, h, Qt::black);
    painter.fillRect(w, h, w, h, QColor(90, 90, 90));
    return image;
}

bool SameQuarters(const QImage& a, const QImage& b)
{
    if (a.isNull() || b.isNull()) {
        return false;
    }
    for (double fy : {0.25, 0.75}) {
        for (double fx : {0.25, 0.75}) {
            const QRgb p = a.pixel(int(a.width() * fx), int(a.height() * fy));
            const QRgb q = b.pixel(int(b.width() * fx), int(b.height() * fy));
            if (std::abs(qRed(p) - qRed(q)) > 3 || std::abs(qGreen(p) - qGreen(q)) > 3 ||
                std::abs(qBlue(p) - qBlue(q)) > 3) {
                return false;
            }
        }
    }
    return true;
}

} // namespace

// A killed session's pages brought back by 是 through the real window: the
// user deletes, moves and turns pages before the thumbnails are all in. The
// page list, the rows, the journal and every thumbnail end in agreement,
// each row showing its own page as it is now, and the large view the
// current page.
class TestRestoreSteps : public QObject {
    Q_OBJECT

private slots:
    void changedWhileRestoring();
};

void TestRestoreSteps::changedWhileRestoring()
{
    QTemporaryDir home;
    QTemporaryDir tmp;
    const QString base = tmp.path() + QStringLiteral("/zir/scanvy");
    QString workDir;
    {
        MainWindow probe(home.path(), base);
        workDir = probe.WorkDir();
    }
    SessionJournal journal(workDir);
    SessionJournal::State state;
    QVERIFY(QDir().mkpath(journal.ScanDir()));
    for (int i = 0; i < kPages; ++i) {
        state.pages << journal.ScanDir() + QStringLiteral("/%1.jpg").arg(i + 1, 4, 10, QLatin1Char('0'));
        QVERIFY(MakePage(i).save(state.pages.last(), "JPEG", 95));
    }
    state.current = 2;
    state.scanNumber = kPages + 1;
    // Turned pages come back turned.
    state.angles.insert(state.pages.at(2), 180);
    state.angles.insert(state.pages.at(3), 90);
    QCOMPARE(journal.Record(state), 0);

    ModalAnswerer answerer(QMessageBox::Yes);
    MainWindow window(home.path(), base);
    int jobsDone = 0;
    connect(&window, &MainWindow::sglJobDone, [&jobsDone] { ++jobsDone; });
    window.show();
    QElapsedTimer clock;
    clock.start();
    while (window.PageFiles().isEmpty() && clock.elapsed() < 10000) {
        QCoreApplication::processEvents();
    }
    QCOMPARE(answerer.texts.size(), 1);
    auto* view = window.findChild<ImageViewWidget*>();
    QVERIFY(view != nullptr);
    // Otherwise the actions below would not come while loading.
    QVERIFY(view->IsLoadingThumbnails());
    // The current page is shown before any thumbnail.
    auto* largeLabel = window.findChild<QLabel*>(QStringLiteral("largeLabel"));
    auto* list = window.findChild<QAbstractItemView*>(QStringLiteral("lwImgThumbnail"));
    auto thumbnailsIn = [view] { return view->Thumbnails()->Count(); };
    // What the column draws in row `row`'s image box, its thumbnail arrived.
    auto* delegate = qobject_cast<ThumbnailItemDelegate*>(list->itemDelegate());
    QVERIFY(delegate != nullptr);
    auto picture = [list, view, delegate](int row) {
        const QModelIndex index = list->model()->index(row, 0);
        list->scrollTo(index);
        delegate->Picture(index);
        const QDeadlineTimer deadline(10000);
        while (view->Thumbnails()->IsDecoding() && !deadline.hasExpired()) {
            view->Thumbnails()->WaitForDecodes(20);
            QCoreApplication::processEvents();
        }
        return delegate->Picture(index);
    };
    while (largeLabel->pixmap(Qt::ReturnByValue).isNull() && clock.elapsed() < 10000) {
        QCoreApplication::processEvents();
    }
    QCOMPARE(thumbnailsIn(), 0);
    QVERIFY(SameQuarters(largeLabel->pixmap(Qt::ReturnByValue).toImage(),
                         TurnImage(QImageReader(state.pages.at(2)).read(), 180)));

    QStringList expected = state.pages;
    auto select = [&window](int row) {
        window.findChild<QComboBox*>(QStringLiteral("cmPageJump"))->setCurrentIndex(row);
    };
    auto trigger = [&window](const char* name) {
        auto* action = window.findChild<QAction*>(QLatin1String(name));
        QVERIFY2(action != nullptr && action->isEnabled(), name);
        action->trigger();
    };
    select(5);
    trigger("actionDelete");
    expected.removeAt(5);
    select(0);
    trigger("actionMoveDown");
    expected.move(0, 1);
    QHash<QString, int> angles = state.angles;
    select(expected.size() - 1);
    trigger("actionRotateRight");
    angles.insert(expected.last(), 90);
    select(1);
    trigger("actionRotateLeft");
    angles.insert(expected.at(1), 270);
    select(3);
    QCOMPARE(jobsDone, 0); // a turn is no job

    QTRY_VERIFY_WITH_TIMEOUT(!view->IsLoadingThumbnails(), 30000);

    QCOMPARE(window.PageFiles(), expected);
    QCOMPARE(view->GetPagePaths().toList(), expected);
    // The journal is written on its own thread: the newest state lands soon.
    SessionJournal::State recorded;
    QTRY_VERIFY_WITH_TIMEOUT(journal.Load(&recorded) && recorded.pages == expected && recorded.current == 3,
                             10000);
    QCOMPARE(recorded.pages, expected);
    QCOMPARE(recorded.current, 3);
    QCOMPARE(recorded.angles, angles);

    QCOMPARE(list->model()->rowCount(), expected.size());
    for (int row = 0; row < expected.size(); ++row) {
        const QByteArray where = QStringLiteral("row %1").arg(row).toUtf8();
        const QImage page = TurnImage(QImageReader(expected.at(row)).read(), angles.value(expected.at(row)));
        QVERIFY2(SameQuarters(picture(row), page), where.constData());
    }
    QVERIFY(SameQuarters(largeLabel->pixmap(Qt::ReturnByValue).toImage(),
                         TurnImage(QImageReader(expected.at(3)).read(), angles.value(expected.at(3)))));
}

QTEST_MAIN(TestRestoreSteps)
#include "tst_restoresteps.moc"
