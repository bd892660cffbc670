#pragma once

#include <QByteArray>

// Processor seconds (user + system) of `who`: RUSAGE_SELF, RUSAGE_THREAD or
// RUSAGE_CHILDREN (the reaped children).
double BenchCpuSeconds(int who);

// The first three fields of /proc/loadavg, "?" when it cannot be read.
QByteArray BenchLoadAverage();
