#pragma once

#include "ofdpageinfo.h"
#include "pageinfo.h"

#include <QList>
#include <QString>
#include <QVector>

#include <functional>

class QXmlStreamWriter;
class QuaZip;

// Writes page images as an OFD document (GB/T 33190-2016): a zip package of
// XML files with every page showing a byte-for-byte copy of its page file.
// The package is staged in "<temp dir>/ofdtemp/" (reset by the constructor,
// so one document at a time) and zipped beside the target before it replaces
// the target.
class OFDProcess {
public:
    struct DocInfo {
        QString Title;
        QString Author = "scanvy";
        QString Creator = "scanvy";
        QString CreatorVersion = "1.0";
        QString DocID; // 32 lower-case hex digits
    };

    explicit OFDProcess(const QString& dst);

    QVector<PageInfo> AddImages(const QList<QString>& paths);
    PageInfo CreateImagePageInfo(const QString& path, int n);
    // Builds the package and zips it to the target. False, with nothing at the
    // target changed, when any file cannot be copied or written.
    bool createOFD(const QVector<PageInfo>& pages);

    const DocInfo& Info() const { return m_docInfo; }
    QString StagingDir() const { return m_stagingDir; }

private:
    // Identifiers of one page's objects; all IDs come from one counter.
    struct PageIds {
        int page = 0, media = 0, layer = 0, image = 0;
    };

    bool TransformPage(const PageInfo& page, OFDPageInfo* out);
    bool WriteXml(const QString& relPath, const std::function<void(QXmlStreamWriter&)>& body);
    bool WriteEntry();
    bool WriteDocument();
    bool WritePublicRes();
    bool WriteDocumentRes();
    bool WritePage(int index);
    bool Zip();
    bool AddZipEntry(QuaZip* zip, const QString& entry);

    QString m_stagingDir;
    QString m_dst;
    DocInfo m_docInfo;
    QVector<OFDPageInfo> m_pages;
    QVector<PageIds> m_ids;
    QStringList m_mediaFiles; // file name in Res/ per page
    int m_maxUnitId = 0;
};
