#pragma once

// Test helpers for scans on the simulated scanners: choosing the scenario and
// reading a page's sheet marker back.

#include "sim/sim_marker.h"

#include <QFile>
#include <QImage>
#include <QString>

// Replaces the scenario control file in this test's SANE configuration folder.
inline bool writeScenario(const QString& text)
{
    QFile f(QString::fromLocal8Bit(qgetenv("SANE_CONFIG_DIR")) + "/scenario.conf");
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    return f.write(text.toUtf8()) == text.toUtf8().size();
}

// The sheet marker ("3A") of a page file scanned at dpi.
inline QString pageMarker(const QString& path, int dpi)
{
    const QImage gray = QImage(path).convertToFormat(QImage::Format_Grayscale8);
    if (gray.isNull())
        return QStringLiteral("<unreadable>");
    char text[16] = {0};
    sim_marker_decode(gray.constBits(), gray.width(), gray.height(), gray.bytesPerLine(), dpi, text,
                      sizeof text);
    return QString::fromLatin1(text);
}
