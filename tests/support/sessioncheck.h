#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>

// Reading saved documents back with the system's own tools (pdftoppm, unzip,
// xmllint) and the simulator's page markers.
namespace SessionCheck {

// Runs a program, returns its standard output (with its standard error when
// withErrors); ok tells whether it ran and ended with status 0.
QString Run(const QString& program, const QStringList& args, bool* ok = nullptr, bool withErrors = false);

// The page marker ("3B") and how far the page was turned clockwise to show
// it ("3B@90"); "?" when no marker is readable in any orientation.
QString Reading(const QImage& page, int dpi);

// Every page of a PDF rendered at dpi, in document order.
QList<QImage> RenderPdf(const QString& pdf, int dpi, const QString& workDir);

// Every image of a (multi-page) TIFF.
QList<QImage> ReadTiff(const QString& tiff);

// The result of an XPath expression on an XML file (xmllint), trimmed.
QString XPath(const QString& file, const QString& expression);

// OFD package unpacked into dir: the media file of each page, in page order
// (empty list when the structure is broken; why goes to the log).
QStringList OfdPageMedia(const QString& ofd, const QString& dir);

QByteArray Bytes(const QString& path);

} // namespace SessionCheck
