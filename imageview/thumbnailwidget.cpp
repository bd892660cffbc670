#include "thumbnailwidget.h"
#include "ui_thumbnailwidget.h"

#include "interruptedpage.h"
#include "pagefile.h"

#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <algorithm>

namespace {
// Page-number colours, each at least 4.5:1 (WCAG) against the row's
// background of the page list: white on the selected blue (#0173C7, 4.9:1),
// a dark red on the plain grey (#E0E0E0, 5.6:1; 4.8:1 on the hover grey).
// Style sheets, since the list's own style sheet governs its cell widgets;
// the form starts with the plain one.
const char kNumberSelected[] = "color:#ffffff;";
const char kNumberPlain[] = "color:#b00000;";
} // namespace

ThumbnailWidget::ThumbnailWidget(const QString& path, QWidget* parent)
    : QWidget(parent), ui(new Ui::ThumbnailWidget)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    ScalImage(path);
}

ThumbnailWidget::~ThumbnailWidget()
{
    delete ui;
}

void ThumbnailWidget::ScalImage(const QString& path)
{
    if (path.isEmpty()) {
        return;
    }
    if (!IsPageComplete(path)) {
        ShowInterrupted();
        return;
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    const int w = size.width();
    const int h = size.height();
    if (w <= 0 || h <= 0) {
        return;
    }

    // Decode directly at (about) the box size; neither side below 2 pixels.
    double s = std::min(double(kBoxSize) / w, double(kBoxSize) / h);
    if (w * s < 2.0) {
        s = 2.0 / w;
    }
    if (h * s < 2.0) {
        s = 2.0 / h;
    }
    reader.setScaledSize(QSize(qRound(w * s), qRound(h * s)));
    const QImage image = reader.read();
    if (image.isNull()) {
        return;
    }

    const QImage boxed = image.scaled(kBoxSize, kBoxSize, Qt::KeepAspectRatio, Qt::FastTransformation);
    if (boxed.isNull()) {
        return;
    }
    ui->lblImage->setPixmap(QPixmap::fromImage(boxed));
    ui->lblText->clear();
}

void ThumbnailWidget::ShowInterrupted()
{
    // The shape of an upright A4 sheet, fitted into the box like a page.
    const QSize sheet(kBoxSize * 210 / 297, kBoxSize);
    ui->lblImage->setPixmap(QPixmap::fromImage(InterruptedPage::Picture(sheet)));
    ui->lblText->setStyleSheet(QStringLiteral("color:#C01E1E; font-weight:bold;"));
    ui->lblText->setText(InterruptedPage::MarkText());
}

void ThumbnailWidget::ResetFileIndex(int index)
{
    if (index < 0) {
        return;
    }
    ui->lblIndex->setText(QString::number(index + 1));
}

void ThumbnailWidget::ResetFilePath(const QString& path)
{
    ui->lblIndex->clear();
    ui->lblImage->clear();
    ui->lblText->clear();
    if (!path.isEmpty()) {
        ScalImage(path);
    }
}

void ThumbnailWidget::Reset(const QString& path, int index)
{
    ResetFilePath(path);
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
