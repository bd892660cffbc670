#pragma once

#include <QObject>

// Carrier of one background job. Moved to the job's thread; OnWorkerStart
// runs there and emits the three stages in order. The work is connected
// directly to sglWorkerProgress, the two completion stages queued to the
// user-interface thread.
class Worker : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void sglWorkerProgress();
    void sglWorkerFinished();
    void sglWorkerFinishedOther();

public slots:
    void OnWorkerStart();
};
