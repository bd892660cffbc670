#include "worker.h"

void Worker::OnWorkerStart()
{
    emit sglWorkerProgress();
    emit sglWorkerFinished();
    emit sglWorkerFinishedOther();
}
