#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <sane/sane.h>

// Helpers for driving the simulated scanners through the real libsane.
namespace simtest {

// Writes the scenario control file of this test's SANE_CONFIG_DIR.
bool WriteScenario(const QString& text);

// One page as read through sane_start / sane_get_parameters / sane_read.
struct Page {
    SANE_Status startStatus = SANE_STATUS_INVAL;
    SANE_Status endStatus = SANE_STATUS_INVAL; // status that ended the reading
    SANE_Parameters params{};                  // of the (last) frame
    QByteArray data;                           // all frames, one after the other
    int frames = 0;
};

// Starts and reads one page (all its frames). maxLength bounds each read.
Page ScanPage(SANE_Handle h, int maxLength = 1 << 20);

// An 8-bit gray copy of a page (1-bit: set bit = black; RGB: luminance;
// separate-colour frames: the green frame). Null image when unsupported.
QImage ToGray(const Page& page);

// The sheet marker of a page ("3A"), read back from the pixels.
QString Marker(const Page& page, int resolution);

// Option access by name; return SANE statuses.
int FindOption(SANE_Handle h, const char* name);
SANE_Status SetString(SANE_Handle h, const char* name, const QString& value, SANE_Int* info = nullptr);
SANE_Status SetWord(SANE_Handle h, const char* name, SANE_Word value, SANE_Int* info = nullptr);
QString GetString(SANE_Handle h, const char* name);
SANE_Word GetWord(SANE_Handle h, const char* name, SANE_Status* status = nullptr);
bool IsActive(SANE_Handle h, const char* name);

} // namespace simtest
