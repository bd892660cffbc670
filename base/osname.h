#pragma once

#include <QByteArray>

// Operating-system codes returned by GetOSName().
enum OSCode { OSKylin = 0, OSOther = 1, OSUos = 2, OSNfsDesktop = 3 };

// Maps the standard output of "lsb_release -i" to an OSCode. Only the
// "Distributor ID:\t" label and line feeds are removed before the exact,
// case-insensitive comparison, so unexpected decorations give OSOther.
int OSCodeFromLsbRelease(QByteArray const& output);

// Runs "lsb_release -i" directly (no shell, at most 30 s) and maps its output
// with OSCodeFromLsbRelease. A tool that cannot run gives OSOther.
int GetOSName();
