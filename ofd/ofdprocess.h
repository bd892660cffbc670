#pragma once

#include "ofdpageinfo.h"
#include "pageinfo.h"
#include "pageturn.h"
#include "savefailure.h"

#include <QList>
#include <QString>
#include <QVector>

#include <functional>

class QXmlStreamWriter;
class QuaZip;

// Writes page images as an OFD document (GB/T 33190-2016): a zip package of
// XML files with every page showing its page file: JPEG and PNG pages byte
// for byte, every other page (TIFF, PNM) as a PNG of the same pixels at the
// page's own depth, since JPEG and PNG are what every reader of the format
// decodes. Every entry but the images is deflated. The package is staged in a private folder of its
// own under GetTempDir() (mode 0700, files 0600), removed again by the
// destructor, and zipped beside the target before it replaces the target.
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
    ~OFDProcess();
    OFDProcess(const OFDProcess&) = delete;
    OFDProcess& operator=(const OFDProcess&) = delete;

    QVector<PageInfo> AddImages(const QList<QString>& paths);
    // Pages that show their files turned: the page is turned by its
    // image's transformation, the image data goes in as it is. A page's
    // text, turned with the page, is laid over its image as unpainted text
    // objects, one per line (see LayOutOfdText).
    QVector<PageInfo> AddImages(const QList<SavePage>& pages);
    PageInfo CreateImagePageInfo(const QString& path, int n, int angle = 0);
    // Builds the package and zips it to the target. False, with nothing at the
    // target changed, when a page cannot be read or any file cannot be
    // copied or written; Failure() then tells which and why.
    bool createOFD(const QVector<PageInfo>& pages);

    const DocInfo& Info() const { return m_docInfo; }
    const SaveFailure& Failure() const { return m_failure; }

private:
    // Identifiers of one page's objects; all IDs come from one counter.
    struct PageIds {
        int page = 0, media = 0, layer = 0, image = 0;
        int firstText = 0; // the page's text objects take the IDs from here on
    };

    // One page's image as staged in Res/: its file name and format, or why
    // it could not be.
    struct StagedImage {
        QString name;
        QString format; // "JPEG" or "PNG"
        SaveFailure failure;
    };

    bool TransformPage(const PageInfo& page, const StagedImage& staged, OFDPageInfo* out);
    // The page's one image; null when it has none or several.
    static const FragmentInfo* ImageOf(const PageInfo& page);
    // Writes the image into the staging folder's Res/. Touches nothing of
    // the writer, so it may run on another thread.
    static StagedImage StageImage(const FragmentInfo& fragment, const QString& stagingDir);
    bool WriteXml(const QString& relPath, const std::function<void(QXmlStreamWriter&)>& body);
    bool WriteEntry();
    bool WriteDocument();
    bool WritePublicRes();
    bool WriteDocumentRes();
    bool WritePage(int index);
    static void WriteTextLine(QXmlStreamWriter& x, const OfdTextLine& line, int id);
    bool Zip();
    bool StagingFailed();
    bool AddZipEntry(QuaZip* zip, const QString& entry);

    QString m_stagingDir;
    QString m_dst;
    DocInfo m_docInfo;
    QVector<OFDPageInfo> m_pages;
    QVector<PageIds> m_ids;
    QStringList m_mediaFiles;   // file name in Res/ per page
    QStringList m_mediaFormats; // "JPEG" or "PNG" per page
    int m_maxUnitId = 0;
    SaveFailure m_failure;
};
