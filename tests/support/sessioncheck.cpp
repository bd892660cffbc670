#include "sessioncheck.h"

#include "simpage.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QProcess>
#include <QRegularExpression>
#include <QTransform>
#include <QtDebug>

namespace SessionCheck {

QString Run(const QString& program, const QStringList& args, bool* ok, bool withErrors)
{
    QProcess proc;
    if (withErrors) {
        proc.setProcessChannelMode(QProcess::MergedChannels);
    }
    proc.start(program, args);
    const bool finished = proc.waitForFinished(60000);
    const bool good = finished && proc.exitStatus() == QProcess::NormalExit && proc.exitCode() == 0;
    if (!good) {
        qWarning() << program << args << "failed:" << proc.readAllStandardError();
    }
    if (ok) {
        *ok = good;
    }
    return QString::fromUtf8(proc.readAllStandardOutput());
}

QString Reading(const QImage& page, int dpi)
{
    static const QRegularExpression valid(QStringLiteral("^[0-9]+[AB]$"));
    for (int angle : {0, 90, 180, 270}) {
        // Undo a clockwise turn of `angle` degrees.
        const QImage upright = angle ? page.transformed(QTransform().rotate(-angle)) : page;
        const QString marker = SimPage::Marker(upright, dpi);
        if (valid.match(marker).hasMatch()) {
            return angle ? QStringLiteral("%1@%2").arg(marker).arg(angle) : marker;
        }
    }
    return QStringLiteral("?");
}

QList<QImage> RenderPdf(const QString& pdf, int dpi, const QString& workDir)
{
    QDir dir(workDir);
    dir.mkpath(QStringLiteral("render"));
    const QString prefix = workDir + QStringLiteral("/render/page");
    bool ok = false;
    Run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"), pdf, prefix}, &ok);
    QList<QImage> pages;
    if (!ok) {
        return pages;
    }
    QDir out(workDir + QStringLiteral("/render"));
    for (const QString& name : out.entryList({QStringLiteral("page-*.png")}, QDir::Files, QDir::Name)) {
        pages << QImage(out.filePath(name));
        QFile::remove(out.filePath(name));
    }
    return pages;
}

QList<QImage> ReadTiff(const QString& tiff)
{
    QList<QImage> pages;
    QImageReader reader(tiff);
    const int count = reader.imageCount();
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i)) {
            break;
        }
        pages << reader.read();
    }
    return pages;
}

QString XPath(const QString& file, const QString& expression)
{
    return Run(QStringLiteral("xmllint"), {QStringLiteral("--xpath"), expression, file}).trimmed();
}

QStringList OfdPageMedia(const QString& ofd, const QString& dir)
{
    bool ok = false;
    Run(QStringLiteral("unzip"), {QStringLiteral("-q"), QStringLiteral("-o"), ofd, QStringLiteral("-d"), dir},
        &ok);
    if (!ok) {
        return {};
    }
    const QString docRoot =
        XPath(dir + QStringLiteral("/OFD.xml"), QStringLiteral("string(//*[local-name()='DocRoot'])"));
    const QString doc = dir + QLatin1Char('/') + docRoot;
    const QString docDir = QFileInfo(doc).absolutePath();
    const QString res = docDir + QStringLiteral("/DocumentRes.xml");
    const int pages =
        XPath(doc, QStringLiteral("count(//*[local-name()='Pages']/*[local-name()='Page'])")).toInt();
    QStringList media;
    for (int i = 1; i <= pages; ++i) {
        const QString loc = XPath(
            doc,
            QStringLiteral("string(//*[local-name()='Pages']/*[local-name()='Page'][%1]/@BaseLoc)").arg(i));
        const QString content = docDir + QLatin1Char('/') + loc;
        const QString rid =
            XPath(content, QStringLiteral("string(//*[local-name()='ImageObject']/@ResourceID)"));
        const QString file = XPath(
            res,
            QStringLiteral("string(//*[local-name()='MultiMedia'][@ID='%1']/*[local-name()='MediaFile'])")
                .arg(rid));
        const QString base = XPath(res, QStringLiteral("string(/*[local-name()='Res']/@BaseLoc)"));
        const QString path =
            docDir + QLatin1Char('/') + (base.isEmpty() ? QString() : base + QLatin1Char('/')) + file;
        if (loc.isEmpty() || rid.isEmpty() || file.isEmpty() || !QFileInfo::exists(path)) {
            qWarning() << "OFD page" << i << "broken:" << loc << rid << file;
            return {};
        }
        media << path;
    }
    return media;
}

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace SessionCheck
