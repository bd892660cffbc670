#pragma once

#include "pagestamp.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

template <typename T> class QFutureWatcher;

// The thumbnails of the page column: each page file reduced to fit a square
// box, upright (the column turns it as it draws it). A thumbnail is decoded
// on background threads the first time it is asked for, so that only the
// rows that are drawn are ever decoded; the last few hundred are kept.
// Interface thread only (the decoding itself runs on the loader's threads).
class ThumbnailLoader : public QObject {
    Q_OBJECT

public:
    // Side of the square box a thumbnail is fitted into.
    static constexpr int kBoxSize = 100;

    enum class State {
        Decoding,   // asked for; not there yet
        Ready,      // the image is there
        Incomplete, // the page's file was never completed (only a ".part")
        Unreadable, // the file does not decode
    };

    explicit ThumbnailLoader(QObject* parent = nullptr, int keep = 600);
    // Waits for the decodes under way; their results are dropped.
    ~ThumbnailLoader() override;

    // The thumbnail of `path` when there is one (into `image`); a first
    // request starts its decode. What was decoded is handed out only while
    // the file is still the one it was decoded from: a file written anew
    // (or caught half written) is decoded again.
    State Find(const QString& path, QImage* image = nullptr);
    // The file of `path` changed or left the list: what was decoded of it
    // is dropped, a decode under way is not shown.
    void Forget(const QString& path);
    void Clear();
    // Thumbnails held (decoded, or known not to decode).
    int Count() const { return int(m_entries.size()); }
    // True while a decode is under way or waits for a thread.
    bool IsDecoding() const { return !m_running.isEmpty(); }
    // Waits up to `msecs` until no decode runs; false on time-out. Their
    // results arrive with the next events handled.
    bool WaitForDecodes(int msecs);

    // The thumbnail of `path`, decoded on the calling thread (a null image
    // when the file does not decode).
    static QImage Decode(const QString& path);

signals:
    // The thumbnail of `path` is there (or known not to decode).
    void sglReady(const QString& path);

private:
    struct Entry {
        State state = State::Decoding;
        QImage image;
        // The file decoded.
        PageStamp stamp;
    };
    struct Result {
        bool complete = true;
        QImage image;
        PageStamp stamp;
    };
    void Start(const QString& path);
    void OnFinished(QFutureWatcher<Result>* watcher, const QString& path);
    void Keep(const QString& path, const Entry& entry);

    const int m_keep;
    QHash<QString, Entry> m_entries;
    // Finished paths, least recently asked for first.
    QList<QString> m_order;
    QHash<QString, QFutureWatcher<Result>*> m_running;
};
