#include "sessionjournal.h"

#include "pageplacement.h"

#include "ownfile.h"
#include "pagefile.h"
#include "pageturn.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

const int SessionJournal::kHighestNumber = INT_MAX / 2;

namespace {

const int kVersion = 1;
const char kJournalName[] = "/session.json";
const char kScanSubDir[] = "/scanimages";
const int kMaxDigits = 10; // the widest number text a page-file name can have
// A journal holds names and a few numbers; anything far bigger is not ours.
const qint64 kMaxJournalSize = 64 * 1024 * 1024;

// A journal entry must name a file directly inside the scan folder.
bool IsPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

bool IsPageExtension(const QString& extension)
{
    static const QStringList kExtensions{QStringLiteral("jpg"),  QStringLiteral("jpeg"),
                                         QStringLiteral("tiff"), QStringLiteral("tif"),
                                         QStringLiteral("png"),  QStringLiteral("pnm")};
    return kExtensions.contains(extension);
}

int BoundedNumber(const QJsonValue& value, int fallback, int low, int high)
{
    if (!value.isDouble()) {
        return fallback;
    }
    const double number = value.toDouble();
    if (number < low) {
        return low;
    }
    if (number > high) {
        return high;
    }
    return int(number);
}

// A whole number in [low, high], or false.
bool ExactNumber(const QJsonValue& value, int low, int high, int* number)
{
    if (!value.isDouble()) {
        return false;
    }
    const double v = value.toDouble();
    if (!(v >= low && v <= high) || std::floor(v) != v) {
        return false;
    }
    *number = int(v);
    return true;
}

int WriteAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += written;
        left -= written;
    }
    return 0;
}

} // namespace

SessionJournal::SessionJournal(const QString& workDir)
    : m_workDir(workDir), m_path(workDir + QLatin1String(kJournalName)),
      m_scanDir(workDir + QLatin1String(kScanSubDir))
{
}

int SessionJournal::Record(const State& state) const
{
    QJsonArray pages;
    QJsonObject angles;
    for (const QString& page : state.pages) {
        const QFileInfo info(page);
        // Every page file of the session lies in the scan folder; the journal
        // keeps only its name, so it can never point anywhere else.
        pages.append(info.fileName());
        const int angle = std::max(0, NormalTurn(state.angles.value(page)));
        if (angle != 0) {
            angles.insert(info.fileName(), angle);
        }
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), kVersion);
    root.insert(QStringLiteral("pages"), pages);
    // Only turned pages; a journal without the entry (an older one too)
    // has every page upright.
    if (!angles.isEmpty()) {
        root.insert(QStringLiteral("angles"), angles);
    }
    root.insert(QStringLiteral("current"), state.current);
    root.insert(QStringLiteral("scanNumber"), state.scanNumber);
    if (state.scanRunning) {
        QJsonObject scan;
        scan.insert(QStringLiteral("type"), state.scan.type);
        scan.insert(QStringLiteral("insertAt"), state.scan.insertAt);
        scan.insert(QStringLiteral("firstNumber"), state.scan.firstNumber);
        scan.insert(QStringLiteral("prefix"), state.scan.prefix);
        scan.insert(QStringLiteral("minDigits"), state.scan.minDigits);
        scan.insert(QStringLiteral("extension"), state.scan.extension);
        root.insert(QStringLiteral("scan"), scan);
    } else if (state.pages.isEmpty()) {
        // Files left in the folder belong to no page (saved or deleted).
        root.insert(QStringLiteral("settled"), true);
    }
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Compact);

    // Written beside the journal, flushed, renamed over it, and the folder
    // flushed: a process killed or a machine stopped at any point leaves the
    // previous journal or the new one whole, never an empty one.
    // A name left by a process of the same id that was killed while writing
    // goes first; the new file is then made fresh, never through a link.
    const QString temp = m_path + QStringLiteral(".new-%1").arg(::getpid());
    const QByteArray tempName = QFile::encodeName(temp);
    ::unlink(tempName.constData());
    const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno;
    }
    int error = WriteAll(fd, bytes);
    if (error == 0 && ::fdatasync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && std::rename(tempName.constData(), QFile::encodeName(m_path).constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(tempName.constData());
        return error;
    }
    return OwnFile::SyncFolder(QFileInfo(m_path).path());
}

bool SessionJournal::Load(State* state) const
{
    QByteArray bytes;
    if (!OwnFile::Read(m_path, kMaxJournalSize, &bytes)) {
        return false;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("version")).toInt() != kVersion ||
        !root.value(QStringLiteral("pages")).isArray()) {
        return false;
    }
    State loaded;
    // The counter is the journal's most important number: one that is
    // missing or out of range makes the whole journal suspect.
    if (!ExactNumber(root.value(QStringLiteral("scanNumber")), 1, kHighestNumber, &loaded.scanNumber)) {
        return false;
    }
    const QJsonArray pages = root.value(QStringLiteral("pages")).toArray();
    for (const QJsonValue& page : pages) {
        const QString name = page.toString();
        if (IsPlainName(name)) {
            loaded.pages.append(m_scanDir + QLatin1Char('/') + name);
        }
    }
    const QJsonObject angles = root.value(QStringLiteral("angles")).toObject();
    for (auto it = angles.constBegin(); it != angles.constEnd(); ++it) {
        const QString path = m_scanDir + QLatin1Char('/') + it.key();
        int angle = 0;
        if (ExactNumber(it.value(), 90, 270, &angle) && NormalTurn(angle) == angle && IsPlainName(it.key()) &&
            loaded.pages.contains(path)) {
            loaded.angles.insert(path, angle);
        }
    }
    loaded.current = BoundedNumber(root.value(QStringLiteral("current")), 0, 0, INT_MAX);
    loaded.settled = root.value(QStringLiteral("settled")).toBool();
    const QJsonValue scan = root.value(QStringLiteral("scan"));
    if (scan.isObject()) {
        const QJsonObject object = scan.toObject();
        loaded.scanRunning = true;
        loaded.scan.type = BoundedNumber(object.value(QStringLiteral("type")), 1, 1, 4);
        loaded.scan.insertAt = BoundedNumber(object.value(QStringLiteral("insertAt")), 0, 0, INT_MAX);
        loaded.scan.firstNumber =
            BoundedNumber(object.value(QStringLiteral("firstNumber")), 1, 1, kHighestNumber);
        loaded.scan.prefix = object.value(QStringLiteral("prefix")).toString();
        loaded.scan.minDigits = BoundedNumber(object.value(QStringLiteral("minDigits")), 0, 0, kMaxDigits);
        loaded.scan.extension = object.value(QStringLiteral("extension")).toString();
    }
    *state = loaded;
    return true;
}

void SessionJournal::Discard() const
{
    QFile::remove(m_path);
}

void SessionJournal::SetAside() const
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz"));
    // Beside the work folder, where emptying the folder cannot remove it.
    const QString base = m_workDir + QStringLiteral(".journal-damaged-");
    QString target = base + stamp;
    for (int i = 1; QFileInfo::exists(target); ++i) {
        target = base + QStringLiteral("%1-%2").arg(stamp).arg(i);
    }
    std::rename(QFile::encodeName(m_path).constData(), QFile::encodeName(target).constData());
}

int SessionJournal::NumberAbove(const QStringList& names)
{
    qint64 highest = 0;
    for (QString name : names) {
        if (name.endsWith(QLatin1String(".part"))) {
            name.chop(5);
        }
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        int end = dot < 0 ? name.size() : dot;
        int start = end;
        while (start > 0 && name.at(start - 1).isDigit() && name.at(start - 1).unicode() < 128) {
            --start;
        }
        // The longest tail of the digits that a counter could have written:
        // a longer one only adds leading digits, so it is the largest.
        for (int length = std::min(end - start, kMaxDigits); length > 0; --length) {
            const qint64 number = name.mid(end - length, length).toLongLong();
            if (number <= kHighestNumber) {
                highest = std::max(highest, number);
                break;
            }
        }
    }
    return int(std::min<qint64>(highest + 1, kHighestNumber));
}

QList<QPair<int, QString>> SessionJournal::FilesOfScan(const State& state, bool withPartial) const
{
    const QString& prefix = state.scan.prefix;
    QList<QPair<int, QString>> found;
    const QStringList names = QDir(m_scanDir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (QString name : names) {
        const bool partial = name.endsWith(QLatin1String(".part"));
        if (partial) {
            if (!withPartial) {
                continue;
            }
            name.chop(5);
        }
        const int dot = name.lastIndexOf(QLatin1Char('.'));
        if (!name.startsWith(prefix) || dot <= prefix.size()) {
            continue;
        }
        const QString extension = name.mid(dot + 1);
        if (state.scan.extension.isEmpty() ? !IsPageExtension(extension)
                                           : extension != state.scan.extension) {
            continue;
        }
        const QString digits = name.mid(prefix.size(), dot - prefix.size());
        bool ok = digits.size() <= kMaxDigits;
        for (const QChar c : digits) {
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        }
        const qint64 number = ok ? digits.toLongLong() : 0;
        if (!ok || number < state.scan.firstNumber || number > kHighestNumber) {
            continue;
        }
        // The loop writes the number padded to the job's width and never
        // wider: other paddings are somebody else's files.
        if (state.scan.minDigits > 0 &&
            digits != QString::number(number).rightJustified(state.scan.minDigits, QLatin1Char('0'))) {
            continue;
        }
        found.append(qMakePair(int(number), m_scanDir + QLatin1Char('/') + name));
    }
    std::sort(found.begin(), found.end());
    return found;
}

QList<QString> SessionJournal::FinishedByScan(const State& state) const
{
    QList<QString> paths;
    for (const auto& entry : FilesOfScan(state, false)) {
        if (!state.pages.contains(entry.second) && !paths.contains(entry.second)) {
            paths.append(entry.second);
        }
    }
    return paths;
}

QList<QString> SessionJournal::PagesInFolder() const
{
    QStringList names;
    const QStringList files = QDir(m_scanDir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (QString name : files) {
        if (name.endsWith(QLatin1String(".part"))) {
            name.chop(5);
        }
        if (IsPageExtension(QFileInfo(name).suffix().toLower()) && !names.contains(name)) {
            names.append(name);
        }
    }
    std::sort(names.begin(), names.end());
    QList<QString> paths;
    for (const QString& name : qAsConst(names)) {
        paths.append(m_scanDir + QLatin1Char('/') + name);
    }
    return paths;
}

QList<QString> SessionJournal::CheckPages(const QList<QString>& pages, int current, int* newCurrent,
                                          int* damaged) const
{
    QList<QString> kept;
    *newCurrent = -1;
    *damaged = 0;
    for (int i = 0; i < pages.size(); ++i) {
        const QString& page = pages.at(i);
        const QString partial = PartialPagePath(page);
        if (IsPageComplete(page)) {
            if (!IsPageWhole(page)) {
                // Kept under the name of an interrupted page, so that it is
                // shown and treated as one; a ".part" already there stays.
                const QString aside =
                    QFileInfo::exists(partial) ? page + QStringLiteral(".damaged") : partial;
                std::rename(QFile::encodeName(page).constData(), QFile::encodeName(aside).constData());
                ++*damaged;
            }
        } else if (QFileInfo(partial).isFile()) {
            ++*damaged;
        } else {
            continue; // nothing of the page is left
        }
        if (i >= current && *newCurrent < 0) {
            *newCurrent = kept.size();
        }
        kept.append(page);
    }
    if (*newCurrent < 0) {
        *newCurrent = std::max(0, int(kept.size()) - 1);
    }
    return kept;
}

int SessionJournal::RecordedNumber(const State& recorded) const
{
    int next = recorded.scanNumber;
    if (recorded.scanRunning) {
        const auto own = FilesOfScan(recorded, true);
        if (!own.isEmpty()) {
            next = std::max(next, std::min(own.last().first + 1, kHighestNumber));
        }
    }
    return next;
}

int SessionJournal::NextFreeNumber() const
{
    // Another session writes into this folder and counts on: above its
    // journal's number and above every name of the folder, whatever prefix.
    const int aboveFiles = NumberAbove(QDir(m_scanDir).entryList(QDir::Files | QDir::Hidden | QDir::System));
    State recorded;
    return Load(&recorded) ? std::max(RecordedNumber(recorded), aboveFiles) : aboveFiles;
}

SessionJournal::State SessionJournal::Recover(Found* found) const
{
    Found how = Found::Nothing;
    State recorded;
    State result;
    QList<QString> pages;
    int current = 0;
    const bool exists = QFileInfo::exists(m_path);
    const bool loaded = exists && Load(&recorded);
    if (loaded && recorded.settled && recorded.pages.isEmpty() && !recorded.scanRunning) {
        result.scanNumber = recorded.scanNumber;
    } else if (!loaded || (recorded.pages.isEmpty() && !recorded.scanRunning)) {
        // Nothing to go by but the folder: its pages in name order, numbered
        // on above all of its files. A journal that said nothing usable is
        // kept aside, not deleted.
        pages = PagesInFolder();
        result.scanNumber = NumberAbove(QDir(m_scanDir).entryList(QDir::Files | QDir::Hidden | QDir::System));
        if (exists) {
            SetAside();
            how = Found::SetAside;
        } else if (!pages.isEmpty()) {
            how = Found::Missing;
        }
    } else {
        how = Found::Listed;
        pages = recorded.pages;
        current = std::min(recorded.current, std::max(0, int(pages.size()) - 1));
        result.scanNumber = RecordedNumber(recorded);
        if (recorded.scanRunning) {
            // Placed as the scan would have placed them; the page that was
            // current keeps being current.
            const PlacedPages<QString> placed = PlacePages(PagePlacement(recorded.scan.type), pages, current,
                                                           recorded.scan.insertAt, FinishedByScan(recorded));
            pages = placed.rows;
            current = placed.current;
        }
    }
    result.pages = CheckPages(pages, current, &result.current, &result.damaged);
    for (const QString& page : qAsConst(result.pages)) {
        if (recorded.angles.contains(page)) {
            result.angles.insert(page, recorded.angles.value(page));
        }
    }
    if (found) {
        *found = result.pages.isEmpty() && how != Found::SetAside ? Found::Nothing : how;
    }
    return result;
}
