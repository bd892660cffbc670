#pragma once

#include <QImage>
#include <QString>
#include <QWidget>

template <typename T> class QFutureWatcher;

namespace Ui {
class ThumbnailWidget;
}

// Cell widget of one page row: page number, a reduced image of the page and
// a text line. The image is decoded at thumbnail size, never at full size;
// a page that takes more than a few milliseconds even so (a large page in a
// format that cannot be decoded reduced) is decoded in the background, and
// the image stays empty until it is ready. Only the image of the latest
// drawing request is ever shown.
class ThumbnailWidget : public QWidget {
    Q_OBJECT

public:
    // Side of the square box the thumbnail is fitted into.
    static constexpr int kBoxSize = 100;

    // Where the first image of a new cell is decoded: quick pages on the
    // calling thread, or every page in the background (for many cells made
    // at once, whose decodes would add up on the interface thread).
    enum FirstDecode { QuickHere, InBackground };

    // The page of `path` is shown turned clockwise by `angle` degrees.
    explicit ThumbnailWidget(const QString& path, QWidget* parent = nullptr);
    ThumbnailWidget(const QString& path, FirstDecode decode, QWidget* parent = nullptr, int angle = 0);
    ~ThumbnailWidget() override;

    // Draws the thumbnail of `path`; an unreadable file leaves the label as it
    // was. A page whose file was never completed (only its ".part" exists)
    // shows the mark "未完成" instead.
    void ScalImage(const QString& path, int angle = 0);
    // Shows the page turned by `angle` instead: the image shown is turned
    // along (no decode), or drawn anew from the file when none is shown yet.
    void SetAngle(int angle);
    int Angle() const { return m_angle; }
    // Shows index + 1 as the page number; negative indices change nothing.
    void ResetFileIndex(int index);
    // Drops number and image, then draws `path` unless it is empty.
    void ResetFilePath(const QString& path, int angle = 0);
    void Reset(const QString& path, int index, int angle = 0);
    // Draws the page number in the colour that reads on the row's background,
    // the selected one or the plain one.
    void SetSelected(bool selected);
    // True while the thumbnail is being decoded in the background.
    bool IsLoading() const { return m_loading; }
    // The thumbnail shown (null while none is).
    QPixmap Thumbnail() const;
    // Waits up to `msecs` until no thumbnail is decoded in the background;
    // false on time-out. The images arrive with the next events handled.
    static bool WaitForBackgroundDecodes(int msecs);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void Draw(const QString& path, FirstDecode decode, int angle);
    void DecodeInBackground(const QString& path);
    void CancelBackgroundDecode();
    void ShowInterrupted();
    void ShowThumbnail(const QImage& image);

    Ui::ThumbnailWidget* ui;
    bool m_selected = false;
    // Counts the drawing requests; a background decode shows its image only
    // when no request came after the one that started it.
    quint64 m_request = 0;
    bool m_loading = false;
    // The page drawn (or being drawn) and its turn; whether its image shows.
    QString m_path;
    int m_angle = 0;
    bool m_shown = false;
    // The background decode of the latest request, while it runs or waits.
    QFutureWatcher<QImage>* m_watcher = nullptr;
};
