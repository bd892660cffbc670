#include "thumbnailwidget.h"
#include "ui_thumbnailwidget.h"

#include "interruptedpage.h"
#include "pagefile.h"
#include "pagereader.h"
#include "pageturn.h"

#include <QEvent>
#include <QFutureWatcher>
#include <QImage>
#include <QPixmap>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>
#include <algorithm>

namespace {
// Page-number colours, each at least 4.5:1 (WCAG) against the row's
// background of the page list: white on the selected blue (#0173C7, 4.9:1),
// a dark red on the plain grey (#E0E0E0, 5.6:1; 4.8:1 on the hover grey).
// Style sheets, since the list's own style sheet governs its cell widgets;
// the form starts with the plain one.
const char kNumberSelected[] = "color:#ffffff;";
const char kNumberPlain[] = "color:#b00000;";
// The interrupted-scan mark sits on its own white plate, so that it reads the
// same on every row state: dark red on white, 7.4:1 (red on the selected
// blue was 1.2:1).
const char kInterruptedMark[] = "color:#b00000; background:#ffffff; font-weight:bold; padding:0px 4px;";

// Threads for the thumbnails that are too slow for the interface thread;
// half the cores, so that the large view's decoding keeps its share.
class ThumbnailThreads : public QThreadPool {
public:
    ThumbnailThreads() { setMaxThreadCount(std::max(1, QThread::idealThreadCount() / 2)); }
};
Q_GLOBAL_STATIC(ThumbnailThreads, thumbnailThreads)

// Size of the thumbnail of a page of `page` pixels: fitted into the box,
// neither side below 2 pixels.
QSize ThumbnailSize(const QSize& page)
{
    const int w = page.width();
    const int h = page.height();
    double s = std::min(double(ThumbnailWidget::kBoxSize) / w, double(ThumbnailWidget::kBoxSize) / h);
    if (w * s < 2.0) {
        s = 2.0 / w;
    }
    if (h * s < 2.0) {
        s = 2.0 / h;
    }
    return QSize(qRound(w * s), qRound(h * s));
}

// The page reduced to the box, then turned (a few thousand pixels moved).
QImage MakeThumbnail(PageReader* reader, const QSize& size, int angle)
{
    const QImage image = reader->ReadAt(size);
    if (image.isNull()) {
        return image;
    }
    const int box = ThumbnailWidget::kBoxSize;
    const QImage small = image.scaled(box, box, Qt::KeepAspectRatio, Qt::FastTransformation);
    return NormalTurn(angle) == 0 ? small : TurnImage(small, angle);
}

} // namespace

ThumbnailWidget::ThumbnailWidget(const QString& path, QWidget* parent)
    : ThumbnailWidget(path, QuickHere, parent)
{
}

ThumbnailWidget::ThumbnailWidget(const QString& path, FirstDecode decode, QWidget* parent, int angle)
    : QWidget(parent), ui(new Ui::ThumbnailWidget)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    Draw(path, decode, angle);
}

ThumbnailWidget::~ThumbnailWidget()
{
    CancelBackgroundDecode();
    delete ui;
}

void ThumbnailWidget::ScalImage(const QString& path, int angle)
{
    Draw(path, QuickHere, angle);
}

void ThumbnailWidget::SetAngle(int angle)
{
    const int delta = NormalTurn(angle - m_angle);
    if (delta <= 0) {
        return;
    }
    const QPixmap shown = m_shown ? ui->lblImage->pixmap(Qt::ReturnByValue) : QPixmap();
    if (shown.isNull()) {
        Draw(m_path, QuickHere, angle);
        return;
    }
    m_angle = NormalTurn(angle);
    ui->lblImage->setPixmap(QPixmap::fromImage(TurnImage(shown.toImage(), delta)));
}

void ThumbnailWidget::Draw(const QString& path, FirstDecode decode, int angle)
{
    if (path.isEmpty()) {
        return;
    }
    // Whatever an earlier request still decodes is not shown any more.
    ++m_request;
    m_loading = false;
    m_shown = false;
    m_path = path;
    m_angle = std::max(0, NormalTurn(angle));
    CancelBackgroundDecode();
    if (!IsPageComplete(path)) {
        ShowInterrupted();
        return;
    }
    if (decode == QuickHere) {
        PageReader reader(path);
        if (!reader.IsValid()) {
            return;
        }
        const QSize size = ThumbnailSize(reader.Size());
        if (reader.IsQuick(reader.FactorFor(size))) {
            ShowThumbnail(MakeThumbnail(&reader, size, m_angle));
            return;
        }
    }
    // The old image may show another page (or the page turned): none until
    // the new one is there.
    ui->lblImage->clear();
    ui->lblText->clear();
    DecodeInBackground(path);
}

void ThumbnailWidget::DecodeInBackground(const QString& path)
{
    m_loading = true;
    const quint64 request = m_request;
    auto* watcher = new QFutureWatcher<QImage>(this);
    m_watcher = watcher;
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, request]() {
        watcher->deleteLater();
        if (watcher == m_watcher) {
            m_watcher = nullptr;
        }
        if (request != m_request) {
            return;
        }
        m_loading = false;
        ShowThumbnail(watcher->result());
    });
    // Opened again there: a file held open for every waiting page would run
    // out of descriptors on a long list.
    const int angle = m_angle;
    watcher->setFuture(QtConcurrent::run(thumbnailThreads(), [path, angle]() {
        PageReader reader(path);
        return reader.IsValid() ? MakeThumbnail(&reader, ThumbnailSize(reader.Size()), angle) : QImage();
    }));
}

void ThumbnailWidget::CancelBackgroundDecode()
{
    // A decode that has not started yet is skipped by its thread; one under
    // way ends unseen.
    if (m_watcher != nullptr) {
        m_watcher->future().cancel();
        m_watcher = nullptr;
    }
}

bool ThumbnailWidget::WaitForBackgroundDecodes(int msecs)
{
    return thumbnailThreads()->waitForDone(msecs);
}

QPixmap ThumbnailWidget::Thumbnail() const
{
    return m_loading ? QPixmap() : ui->lblImage->pixmap(Qt::ReturnByValue);
}

void ThumbnailWidget::ShowThumbnail(const QImage& image)
{
    if (image.isNull()) {
        return;
    }
    ui->lblImage->setPixmap(QPixmap::fromImage(image));
    ui->lblText->clear();
    m_shown = true;
}

void ThumbnailWidget::ShowInterrupted()
{
    // The shape of an upright A4 sheet, fitted into the box like a page.
    const QSize sheet(kBoxSize * 210 / 297, kBoxSize);
    ui->lblImage->setPixmap(QPixmap::fromImage(InterruptedPage::Picture(sheet)));
    ui->lblText->setStyleSheet(QLatin1String(kInterruptedMark));
    ui->lblText->setText(InterruptedPage::MarkText());
}

void ThumbnailWidget::ResetFileIndex(int index)
{
    if (index < 0) {
        return;
    }
    ui->lblIndex->setText(QString::number(index + 1));
}

void ThumbnailWidget::ResetFilePath(const QString& path, int angle)
{
    ++m_request;
    m_loading = false;
    m_shown = false;
    m_path.clear();
    CancelBackgroundDecode();
    ui->lblIndex->clear();
    ui->lblImage->clear();
    ui->lblText->clear();
    if (!path.isEmpty()) {
        ScalImage(path, angle);
    }
}

void ThumbnailWidget::Reset(const QString& path, int index, int angle)
{
    ResetFilePath(path, angle);
    ResetFileIndex(index);
}

void ThumbnailWidget::SetSelected(bool selected)
{
    // Re-styling is not free: select-all on hundreds of rows calls this for
    // every one of them.
    if (selected == m_selected) {
        return;
    }
    m_selected = selected;
    ui->lblIndex->setStyleSheet(QLatin1String(selected ? kNumberSelected : kNumberPlain));
}

void ThumbnailWidget::mousePressEvent(QMouseEvent* event)
{
    // The base class ignores the press, so it reaches the list underneath and
    // a click on the cell selects its row.
    QWidget::mousePressEvent(event);
}

void ThumbnailWidget::changeEvent(QEvent* event)
{
    // The text line only ever shows the interrupted-scan mark.
    if (event->type() == QEvent::LanguageChange && !ui->lblText->text().isEmpty())
        ui->lblText->setText(InterruptedPage::MarkText());
    QWidget::changeEvent(event);
}
