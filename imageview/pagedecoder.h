#pragma once

#include "pagestamp.h"

#include <QImage>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QSize>
#include <QString>
#include <QVector>
#include <QWaitCondition>

class QThread;

// What a view asks of a page: the page turned clockwise by `angle` (a
// multiple of 90) and fitted into `fit` (pixels), or, with an invalid `fit`,
// the turned page at full resolution.
struct PageRequest {
    QString path;
    QSize fit;
    int angle = 0;

    bool IsFull() const { return !fit.isValid(); }
    bool operator==(const PageRequest& other) const
    {
        return path == other.path && fit == other.fit && angle == other.angle;
    }
    bool operator!=(const PageRequest& other) const { return !(*this == other); }
};

// A page decoded for the large view.
struct DecodedPage {
    PageRequest request;
    // The file the pixels came from; they may be shown only while the path
    // still has this stamp.
    PageStamp stamp;
    // Size of the turned page at full resolution.
    QSize pageSize;
    // Null when the page does not decode (or the angle is no multiple of
    // 90). The page turned by the request's angle; for a fitted request at
    // the fitted size (or at full resolution when that is not larger).
    QImage image;
};

// Decodes a page for the large view (any thread).
DecodedPage DecodePage(const PageRequest& request);

// Decodes pages for the large view on background threads, most wanted
// first. The interface thread asks for the page it must show now with
// Decode(): a decode already finished or under way for the same request is
// taken over, anything else is done there and then; so asking never costs
// more than decoding, and work done ahead is never wasted.
class PageDecoder : public QObject {
    Q_OBJECT

public:
    explicit PageDecoder(int threads, QObject* parent = nullptr);
    // Waits for the decodes under way; queued ones are dropped.
    ~PageDecoder() override;

    // Replaces the requests that wait for a thread by `requests`, most
    // wanted first. Requests already finished, under way or listed twice
    // are left out.
    void Queue(const QList<PageRequest>& requests);
    // The decode of `request`, now, on the calling thread.
    DecodedPage Decode(const PageRequest& request);
    // Background decodes finished since the last call, oldest first.
    QList<DecodedPage> TakeFinished();
    // Drops waiting requests and finished decodes of `path`.
    void Forget(const QString& path);
    // Drops every waiting request and finished decode.
    void Clear();
    // True when no request waits and none is under way.
    bool IsIdle() const;

signals:
    // A background decode finished (emitted on the decoding thread; a
    // queued connection brings it to the receiver's thread).
    void sglFinished();

private:
    void Work();
    bool IsKnownLocked(const PageRequest& request) const;

    mutable QMutex m_mutex;
    QWaitCondition m_work;
    QWaitCondition m_done;
    QList<PageRequest> m_queue;
    QList<PageRequest> m_running;
    QList<DecodedPage> m_finished;
    QVector<QThread*> m_threads;
    bool m_stopping = false;
};
