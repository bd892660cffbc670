// pagemarkers <dpi> <file>...: prints the sheet marker of every page of each
// file ("3A", or "3A@90" when the page shows it turned), one line per page;
// "?" for a page without a readable marker. Page files and saved documents
// (multi-page TIFF, PDF, OFD) are read with the system's tools. Used by the
// shell-driven sessions of the real program.
#include "sessioncheck.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: pagemarkers <dpi> <file>...\n";
        return 2;
    }
    const int dpi = args.at(1).toInt();
    QTextStream out(stdout);
    for (int i = 2; i < args.size(); ++i) {
        const QString file = args.at(i);
        const QString suffix = QFileInfo(file).suffix().toLower();
        QList<QImage> pages;
        QTemporaryDir scratch;
        if (suffix == QLatin1String("pdf")) {
            pages = SessionCheck::RenderPdf(file, dpi, scratch.path());
        } else if (suffix == QLatin1String("ofd")) {
            for (const QString& media : SessionCheck::OfdPageMedia(file, scratch.path())) {
                pages << QImage(media);
            }
        } else if (suffix == QLatin1String("tiff") || suffix == QLatin1String("tif")) {
            pages = SessionCheck::ReadTiff(file);
        } else {
            pages << QImage(file);
        }
        for (const QImage& page : pages) {
            out << SessionCheck::Reading(page, dpi) << '\n';
        }
    }
    return 0;
}
