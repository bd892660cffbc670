#include "textstore.h"

#include "checkedfile.h"
#include "ownfile.h"
#include "pageturn.h"
#include "savefailure.h"
#include "targetfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

namespace {

const char kMagic[] = "scanvy-text 1";

// A stored text is never larger: a dense page has some 5,000 words.
constexpr qint64 kLargestText = 64 * 1024 * 1024;

QByteArray StampLine(const PageStamp& stamp, int angle)
{
    return QByteArray(kMagic) + ' ' + QByteArray::number(stamp.device) + ' ' +
           QByteArray::number(stamp.inode) + ' ' + QByteArray::number(stamp.size) + ' ' +
           QByteArray::number(stamp.modifiedNs) + ' ' + QByteArray::number(NormalTurn(angle)) + '\n';
}

} // namespace

namespace TextStore {

QString TextPath(const QString& pagePath)
{
    return pagePath + QStringLiteral(".text");
}

QByteArray Encode(const PageStamp& stamp, int angle, const PageText& text)
{
    return StampLine(stamp, angle) + PageTextToJson(text);
}

bool Decode(const QByteArray& data, const PageStamp& stamp, int angle, PageText* out)
{
    *out = PageText();
    const QByteArray head = StampLine(stamp, angle);
    return stamp.IsValid() && data.startsWith(head) && PageTextFromJson(data.mid(head.size()), out);
}

bool Write(const QString& pagePath, const PageStamp& stamp, int angle, const PageText& text)
{
    const QByteArray data = Encode(stamp, angle, text);
    TargetFile target(TextPath(pagePath));
    if (!target.IsValid()) {
        return false;
    }
    CheckedFile file(target.tempPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        NoteWriteError(errno);
        return false;
    }
    if (file.write(data) != data.size() || file.WriteFailed()) {
        return false;
    }
    file.close();
    return file.error() == QFileDevice::NoError && target.Commit();
}

bool Read(const QString& pagePath, int angle, PageText* out)
{
    *out = PageText();
    QByteArray data;
    return OwnFile::Read(TextPath(pagePath), kLargestText, &data) &&
           Decode(data, PageStamp::Of(pagePath), angle, out);
}

bool Remove(const QString& pagePath)
{
    const QString path = TextPath(pagePath);
    return QFile::remove(path) || !QFileInfo::exists(path);
}

} // namespace TextStore
