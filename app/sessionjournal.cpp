#include "sessionjournal.h"

#include "pagefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <unistd.h>

namespace {

const int kVersion = 1;
const char kJournalName[] = "/session.json";
const char kScanSubDir[] = "/scanimages";

// Page-file numbers stay far from the end of int, so that counting on from
// a recovered number can never wrap.
const qint64 kMaxNumber = INT_MAX / 2;

// A journal entry must name a file directly inside the scan folder.
bool IsPlainName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
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

} // namespace

SessionJournal::SessionJournal(const QString& workDir)
    : m_path(workDir + QLatin1String(kJournalName)), m_scanDir(workDir + QLatin1String(kScanSubDir))
{
}

bool SessionJournal::Record(const State& state) const
{
    QJsonArray pages;
    for (const QString& page : state.pages) {
        const QFileInfo info(page);
        // Every page file of the session lies in the scan folder; the journal
        // keeps only its name, so it can never point anywhere else.
        pages.append(info.fileName());
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), kVersion);
    root.insert(QStringLiteral("pages"), pages);
    root.insert(QStringLiteral("current"), state.current);
    root.insert(QStringLiteral("scanNumber"), state.scanNumber);
    if (state.scanRunning) {
        QJsonObject scan;
        scan.insert(QStringLiteral("type"), state.scan.type);
        scan.insert(QStringLiteral("insertAt"), state.scan.insertAt);
        scan.insert(QStringLiteral("firstNumber"), state.scan.firstNumber);
        scan.insert(QStringLiteral("prefix"), state.scan.prefix);
        root.insert(QStringLiteral("scan"), scan);
    }
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Compact);

    // Written beside and renamed over the journal: a process killed while
    // writing leaves the previous journal whole. No fsync: the journal only
    // has to survive the process, and a sync here would stall the page list
    // behind the page files being written.
    const QString temp = m_path + QStringLiteral(".new-%1").arg(::getpid());
    {
        QFile file(temp);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            return false;
        }
        if (file.write(bytes) != bytes.size() || !file.flush()) {
            file.close();
            QFile::remove(temp);
            return false;
        }
        file.close();
        if (file.error() != QFileDevice::NoError) {
            QFile::remove(temp);
            return false;
        }
    }
    if (std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(m_path).constData()) != 0) {
        QFile::remove(temp);
        return false;
    }
    return true;
}

bool SessionJournal::Load(State* state) const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    // A journal holds names and a few numbers; anything far bigger is not ours.
    const qint64 kMaxSize = 64 * 1024 * 1024;
    if (file.size() > kMaxSize) {
        return false;
    }
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return false;
    }
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("version")).toInt() != kVersion ||
        !root.value(QStringLiteral("pages")).isArray()) {
        return false;
    }
    State loaded;
    const QJsonArray pages = root.value(QStringLiteral("pages")).toArray();
    for (const QJsonValue& page : pages) {
        const QString name = page.toString();
        if (IsPlainName(name)) {
            loaded.pages.append(m_scanDir + QLatin1Char('/') + name);
        }
    }
    loaded.current = BoundedNumber(root.value(QStringLiteral("current")), 0, 0, INT_MAX);
    loaded.scanNumber = BoundedNumber(root.value(QStringLiteral("scanNumber")), 1, 1, int(kMaxNumber));
    const QJsonValue scan = root.value(QStringLiteral("scan"));
    if (scan.isObject()) {
        const QJsonObject object = scan.toObject();
        loaded.scanRunning = true;
        loaded.scan.type = BoundedNumber(object.value(QStringLiteral("type")), 1, 1, 4);
        loaded.scan.insertAt = BoundedNumber(object.value(QStringLiteral("insertAt")), 0, 0, INT_MAX);
        loaded.scan.firstNumber =
            BoundedNumber(object.value(QStringLiteral("firstNumber")), 1, 1, int(kMaxNumber));
        loaded.scan.prefix = object.value(QStringLiteral("prefix")).toString();
    }
    *state = loaded;
    return true;
}

void SessionJournal::Discard() const
{
    QFile::remove(m_path);
}

int SessionJournal::NextFreeNumber() const
{
    static const QRegularExpression numbered(QStringLiteral("(\\d+)\\.[A-Za-z]+(\\.part)?$"));
    qint64 highest = 0;
    const QStringList names = QDir(m_scanDir).entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = numbered.match(name);
        if (!match.hasMatch()) {
            continue;
        }
        const QString digits = match.captured(1);
        // Leading zeros do not count; a number too long for the counter is
        // not one of ours.
        const qint64 number = digits.size() > 12 ? kMaxNumber : digits.toLongLong();
        highest = std::max(highest, std::min(number, kMaxNumber - 1));
    }
    return int(highest + 1);
}

QList<QString> SessionJournal::FinishedByScan(const State& state) const
{
    const QRegularExpression pageName(QStringLiteral("^%1(\\d+)\\.(jpg|jpeg|tiff|tif|png|pnm)$")
                                          .arg(QRegularExpression::escape(state.scan.prefix)));
    QList<QPair<qint64, QString>> found;
    const QStringList names = QDir(m_scanDir).entryList(QDir::Files);
    for (const QString& name : names) {
        const QRegularExpressionMatch match = pageName.match(name);
        if (!match.hasMatch()) {
            continue;
        }
        const qint64 number = match.captured(1).toLongLong();
        const QString path = m_scanDir + QLatin1Char('/') + name;
        if (number >= state.scan.firstNumber && !state.pages.contains(path) && IsPageComplete(path)) {
            found.append(qMakePair(number, path));
        }
    }
    std::sort(found.begin(), found.end());
    QList<QString> paths;
    for (const auto& entry : qAsConst(found)) {
        paths.append(entry.second);
    }
    return paths;
}

SessionJournal::State SessionJournal::Recover() const
{
    State recorded;
    State result;
    const bool loaded = Load(&recorded);
    result.scanNumber = NextFreeNumber();
    if (!loaded) {
        return result;
    }
    QList<QString> pages = recorded.pages;
    int current = std::min(recorded.current, std::max(0, int(pages.size()) - 1));

    if (recorded.scanRunning) {
        const QList<QString> finished = FinishedByScan(recorded);
        const int type = recorded.scan.type;
        if (type == 4) {
            const int at = recorded.scan.insertAt;
            if (!finished.isEmpty() && at >= 0 && at < pages.size()) {
                pages[at] = finished.first();
            }
        } else if (type == 2 || type == 3) {
            const int at = std::clamp(recorded.scan.insertAt, 0, int(pages.size()));
            const bool hadPages = !pages.isEmpty();
            for (int i = 0; i < finished.size(); ++i) {
                pages.insert(at + i, finished.at(i));
            }
            // The page that was current keeps being current.
            if (hadPages && at <= current) {
                current += finished.size();
            }
        } else {
            pages.append(finished);
        }
    }

    int newCurrent = -1;
    for (int i = 0; i < pages.size(); ++i) {
        if (!IsPageComplete(pages.at(i))) {
            continue;
        }
        if (i >= current && newCurrent < 0) {
            newCurrent = result.pages.size();
        }
        result.pages.append(pages.at(i));
    }
    if (newCurrent < 0) {
        newCurrent = std::max(0, int(result.pages.size()) - 1);
    }
    result.current = newCurrent;
    result.scanNumber = std::max(result.scanNumber, recorded.scanNumber);
    return result;
}
