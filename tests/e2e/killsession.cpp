#include "killsession.h"

#include "mainwindow.h"
#include "pagelist.h"
#include "windowfixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

using namespace PageModel;

namespace KillSession {

namespace {

const char kChildVariable[] = "SCANVY_KILL_CHILD";
const QString kIni = QStringLiteral("/.config/com.quvex.zyl.scanvy/SysConfig.ini");
// Long enough for the journal of the last change to be on disk.
const int kSettleMs = 300;
// A scan that is to be cut off reads each page this long.
const int kSlowPageMs = 80;

enum class Kind { Between, Pending, Scan, Save, Recovery };

const char* const kKindNames[] = {"between", "pending", "scan", "save", "recovery"};

const char* KindName(Kind kind)
{
    return kKindNames[int(kind)];
}

Kind KindFromName(const QString& name)
{
    for (int kind = 0; kind < 5; ++kind) {
        if (name == QLatin1String(kKindNames[kind])) {
            return Kind(kind);
        }
    }
    return Kind::Between;
}

// One line to the parent; also from other threads (stdio locks the stream).
void Say(const QString& line)
{
    const QByteArray bytes = "@@" + line.toUtf8() + '\n';
    std::fputs(bytes.constData(), stdout);
    std::fflush(stdout);
}

QString Compact(const QJsonObject& object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

int StoredCounter(const QString& home)
{
    return QSettings(home + kIni, QSettings::IniFormat).value(QStringLiteral("Scanner/ScanCount")).toInt();
}

// Documents of a save that the kill cut off before it stored its counter:
// the next save would be asked to overwrite them, so they are moved away
// as a user would move them.
int MoveCutOffSaves(const QString& home, int counter)
{
    const QString out = home + QStringLiteral("/out");
    static const QRegularExpression numbered(QStringLiteral("^s(\\d+)\\."));
    int moved = 0;
    for (const QString& name : QDir(out).entryList(QDir::Files)) {
        const QRegularExpressionMatch match = numbered.match(name);
        if (match.hasMatch() && match.captured(1).toInt() >= counter) {
            QDir().mkpath(home + QStringLiteral("/cut-off-saves"));
            QFile::rename(out + '/' + name, home + QStringLiteral("/cut-off-saves/") + name);
            ++moved;
        }
    }
    return moved;
}

QString PageNumber(const QString& path)
{
    return QFileInfo(path).completeBaseName().mid(1);
}

// The pages of a scan cut off by the kill, as the recovery places them:
// `added` (its finished pages in scan order) into `before` at the place the
// scan was told, the page that was current staying current.
Model PlaceScan(const Model& before, int placement, const QList<ModelPage>& added)
{
    Model placed = before;
    const int row = before.current;
    if (added.isEmpty()) {
        return placed;
    }
    if (before.pages.isEmpty()) {
        placed.Insert(0, added);
        placed.current = 0;
        return placed;
    }
    switch (placement) {
    case 2:
        placed.Insert(row, added);
        placed.current = row + added.size();
        break;
    case 3:
        placed.Insert(row + 1, added);
        break;
    case 4:
        placed.pages[row] = added.first();
        placed.Insert(row + 1, added.mid(1));
        break;
    default:
        placed.Insert(placed.pages.size(), added);
        break;
    }
    return placed;
}

QString Question(const Model& model)
{
    int damaged = 0;
    for (const ModelPage& page : model.pages) {
        damaged += page.marker == kPart ? 1 : 0;
    }
    return damaged == 0 ? QStringLiteral("发现上次未保存的 %1 张图像，是否恢复？").arg(model.pages.size())
                        : QStringLiteral("发现上次未保存的 %1 张图像（其中 %2 张已损坏），是否恢复？")
                              .arg(model.pages.size())
                              .arg(damaged);
}

// The states a restart may bring back after a kill, by name: the one before
// the step that was cut off, the one after it, a scan with the pages it had
// finished, the list emptied by a save.
QList<QPair<QString, Model>> Candidates(const QJsonObject& plan, const QString& scanDir, int counter)
{
    const Model before = FromJson(plan.value("model").toObject());
    QList<QPair<QString, Model>> candidates;
    if (plan.contains("after")) {
        candidates << qMakePair(QStringLiteral("after"), FromJson(plan.value("after").toObject()));
    }
    if (plan.value("idle").toBool() && !candidates.isEmpty()) {
        // The window had been idle: its last state was on disk.
        candidates.first().second.counter = counter;
        return candidates;
    }
    candidates << qMakePair(QStringLiteral("before"), before);
    // The journal's writer may still have been busy with a state a few
    // steps old while the newer ones waited.
    const QJsonArray earlier = plan.value("earlier").toArray();
    for (int i = earlier.size() - 1; i >= 0; --i) {
        candidates << qMakePair(QStringLiteral("the state %1 changes before").arg(earlier.size() - i + 1),
                                FromJson(earlier.at(i).toObject()));
    }
    if (plan.value("save").toBool()) {
        candidates << qMakePair(QStringLiteral("emptied by the save"), Model{{}, 0, {}, counter, {}});
    }
    const int placement = plan.value("scan").toInt();
    if (placement != 0) {
        // Every finished page file of the scan: not a page or a kept file
        // of the list before it.
        QSet<QString> known;
        for (const ModelPage& page : before.pages) {
            known << QFileInfo(page.path).fileName();
        }
        for (const QString& name : before.dropped) {
            known << name;
        }
        QStringList finished;
        for (const QString& name : QDir(scanDir).entryList(QDir::Files)) {
            if (!name.endsWith(QLatin1String(".part")) && !known.contains(name)) {
                finished << scanDir + '/' + name;
            }
        }
        std::sort(finished.begin(), finished.end(), [](const QString& a, const QString& b) {
            return PageNumber(a).toInt() < PageNumber(b).toInt();
        });
        // Sheets read front only, or both sides.
        for (bool duplex : {false, true}) {
            QList<ModelPage> added;
            for (int i = 0; i < finished.size(); ++i) {
                added << ModelPage{finished.at(i),
                                   duplex ? QStringLiteral("%1%2").arg(i / 2 + 1).arg(i % 2 ? 'B' : 'A')
                                          : QStringLiteral("%1A").arg(i + 1),
                                   0};
            }
            const QString name = QStringLiteral("a scan with %1 finished pages%2")
                                     .arg(added.size())
                                     .arg(duplex ? QStringLiteral(" (both sides)") : QString());
            Model placed = PlaceScan(before, placement, added);
            candidates << qMakePair(name, placed);
            if (placement == 1 && !placed.pages.isEmpty()) {
                // The scan had ended: its last page was made current.
                placed.current = placed.pages.size() - 1;
                candidates << qMakePair(name + QStringLiteral(", the last one current"), placed);
            }
        }
    }
    for (auto& candidate : candidates) {
        candidate.second.counter = counter;
    }
    return candidates;
}

// The restarted window against the states it may bring back. Empty when
// one of them matches; the session then goes on from it.
QString CheckRecovery(KillableSession* session, const QJsonObject& plan, bool yes)
{
    WindowFixture* fx = session->Fixture();
    const QString home = plan.value("home").toString();
    const int counter = StoredCounter(home);
    const int moved = MoveCutOffSaves(home, counter);
    if (moved > 0) {
        Say(QStringLiteral("OUTCOME a cut-off save left documents"));
    }
    const QStringList asked = fx->answerer.texts;
    const QList<QPair<QString, Model>> candidates = Candidates(plan, fx->ScanDir(), counter);
    if (!yes) {
        // 否: nothing comes back and the folder is emptied.
        Model& model = session->State();
        model = Model{{}, 0, {}, counter, {}};
        const QString why = session->Compare();
        bool offered = asked.size() == 1;
        for (const auto& candidate : candidates) {
            offered = offered || candidate.second.pages.isEmpty();
        }
        if (!why.isEmpty() || !offered) {
            return QStringLiteral("after 否: %1 (asked %2)").arg(why, asked.join('|'));
        }
        session->StartHistory();
        Say(QStringLiteral("OUTCOME nothing (answer 否)"));
        return QString();
    }
    // Files that may stay without a page: those kept for 撤销 and those of
    // the pages before or after the step, and what was read of a page.
    QStringList mayStay;
    for (const QString& key : {QStringLiteral("model"), QStringLiteral("after")}) {
        const Model known = FromJson(plan.value(key).toObject());
        mayStay << known.dropped;
        for (const ModelPage& page : known.pages) {
            mayStay << QFileInfo(page.path).fileName() << QFileInfo(page.path).fileName() + ".part";
        }
    }
    for (const QString& name : QDir(fx->ScanDir()).entryList(QDir::Files)) {
        if (name.endsWith(QLatin1String(".part"))) {
            mayStay << name;
        }
    }
    QStringList tried;
    for (const auto& candidate : candidates) {
        Model model = candidate.second;
        model.SelectOnly(model.pages.isEmpty() ? 0 : qBound(0, model.current, model.pages.size() - 1));
        model.dropped = mayStay;
        session->State() = model;
        QString why = session->Compare();
        const QStringList question = model.pages.isEmpty() ? QStringList() : QStringList{Question(model)};
        if (why.isEmpty() && asked != question) {
            why = QStringLiteral("asked ") + asked.join('|');
        }
        if (why.isEmpty()) {
            session->StartHistory();
            Say(QStringLiteral("OUTCOME ") + candidate.first);
            return QString();
        }
        tried << candidate.first + QStringLiteral(": ") + why;
    }
    return QStringLiteral("the recovered list is none of the states it may be:\n    ") +
           tried.join(QStringLiteral("\n    "));
}

bool Fits(KillableSession* session, Kind kind, int action)
{
    const Model& model = session->State();
    switch (kind) {
    case Kind::Between:
    case Kind::Pending:
    case Kind::Recovery:
        return true; // once the step has done something
    case Kind::Scan: {
        const int placement = session->ScanPlacement(action);
        return placement == 1 || (placement != 0 && !model.pages.isEmpty());
    }
    case Kind::Save:
        if (!session->IsSave(action) || model.pages.isEmpty()) {
            return false;
        }
        for (const ModelPage& page : model.pages) {
            if (page.marker == kPart) {
                return false;
            }
        }
        return true;
    }
    return false;
}

// Tells the parent about each page a running scan adds to the list and
// about a save at work, so that it can kill at that moment.
class StepWatch : public QObject {
public:
    StepWatch(KillableSession* session, int step, Kind kind) : m_step(step)
    {
        MainWindow* window = session->Fixture()->window;
        const QList<QString> before = window->PageFiles();
        if (kind == Kind::Scan) {
            connect(window->Pages(), &PageList::sglChanged, this, [this, window, before] {
                int added = 0;
                for (const QString& path : window->PageFiles()) {
                    added += before.contains(path) ? 0 : 1;
                }
                if (added > m_pages) {
                    m_pages = added;
                    Say(QStringLiteral("PAGE %1 %2").arg(m_step).arg(added));
                }
            });
        } else if (kind == Kind::Save) {
            // Emitted on the save's own thread while it writes.
            connect(
                window, &MainWindow::sglUpdateMaskerMessage, this,
                [this](const QString&) {
                    if (!m_saving.exchange(true)) {
                        Say(QStringLiteral("SAVING %1").arg(m_step));
                    }
                },
                Qt::DirectConnection);
        }
    }

private:
    int m_step;
    int m_pages = 0;
    std::atomic<bool> m_saving{false};
};

// Which journal file is there: a rewrite renames a new file over it.
QByteArray JournalStamp(const QString& journal)
{
    struct stat info {};
    if (::stat(QFile::encodeName(journal).constData(), &info) != 0) {
        return QByteArray();
    }
    return QByteArray::number(qulonglong(info.st_ino)) + ':' + QByteArray::number(qlonglong(info.st_size)) +
           ':' + QByteArray::number(qlonglong(info.st_mtim.tv_sec)) + '.' +
           QByteArray::number(qlonglong(info.st_mtim.tv_nsec));
}

// Waits until the journal has not changed for a while: the window is idle
// and whatever it had to write is written.
void WaitJournalQuiet(const QString& journal)
{
    const auto stamp = [&journal] { return JournalStamp(journal); };
    QByteArray last = stamp();
    QElapsedTimer quiet, total;
    quiet.start();
    total.start();
    while (quiet.elapsed() < kSettleMs && total.elapsed() < 20000) {
        QTest::qWait(20);
        const QByteArray now = stamp();
        if (now != last) {
            last = now;
            quiet.restart();
        }
    }
}

void Idle()
{
    for (;;) {
        QTest::qWait(100);
    }
}

} // namespace

QString Tally::Text() const
{
    QStringList lines;
    for (auto it = kills.constBegin(); it != kills.constEnd(); ++it) {
        lines << QStringLiteral("kill %1: %2").arg(it.key()).arg(it.value());
    }
    for (auto it = outcomes.constBegin(); it != outcomes.constEnd(); ++it) {
        lines << QStringLiteral("back: %1: %2").arg(it.key()).arg(it.value());
    }
    return lines.join(QStringLiteral("; "));
}

bool IsChild()
{
    return qEnvironmentVariableIsSet(kChildVariable);
}

int RunChild(KillableSession* session)
{
    QFile file(qEnvironmentVariable(kChildVariable));
    if (!file.open(QIODevice::ReadOnly)) {
        Say(QStringLiteral("FAIL no orders"));
        return 2;
    }
    const QJsonObject plan = QJsonDocument::fromJson(file.readAll()).object();
    const quint32 seed = quint32(plan.value("seed").toInt());
    const QString answer = plan.value("answer").toString();
    const bool yes = answer != QLatin1String("no");
    const QJsonObject kill = plan.value("kill").toObject();
    Kind kind = KindFromName(kill.value("kind").toString());
    // Killed as soon as the recovered pages are in and the first journal
    // of the new session is on disk (others may still be on their way).
    QTimer recovered;
    recovered.setInterval(1);
    QByteArray old;
    QObject::connect(&recovered, &QTimer::timeout, [session, &old] {
        WindowFixture* fx = session->Fixture();
        if (!fx || !fx->window) {
            return;
        }
        const QByteArray now =
            JournalStamp(QFileInfo(fx->ScanDir()).path() + QStringLiteral("/session.json"));
        if (fx->window->PendingRecoveryCount() > 0 || fx->answerer.texts.isEmpty()) {
            old = now; // the journal of the session that was killed
        } else if (now != old) {
            Say(QStringLiteral("ARM -1 recovery 0"));
            ::kill(::getpid(), SIGKILL);
        }
    });
    if (kind == Kind::Recovery && answer == QLatin1String("yes")) {
        recovered.start();
    }
    if (!session->Open(plan.value("home").toString(), plan.value("tmp").toString(),
                       yes ? QMessageBox::Yes : QMessageBox::No)) {
        Say(QStringLiteral("FAIL the window did not start"));
        return 3;
    }
    recovered.stop();
    if (kind == Kind::Recovery) {
        kind = Kind::Between; // nothing was recovered
    }
    if (answer.isEmpty()) {
        session->State() = FromJson(plan.value("model").toObject());
    } else {
        const QString why = CheckRecovery(session, plan, yes);
        if (!why.isEmpty()) {
            Say(QStringLiteral("FAIL ") + QString(why).replace('\n', QStringLiteral("\\n")));
            return 3;
        }
        // The steps go on from the state that came back.
        Say(QStringLiteral("RECOVERED %1").arg(Compact(ToJson(session->State()))));
    }
    const int killFrom = kill.isEmpty() ? INT_MAX : kill.value("from").toInt();
    QRandomGenerator random(seed ^ quint32(killFrom));
    int told = session->Trail().size();
    for (int step = plan.value("first").toInt(); step < plan.value("steps").toInt(); ++step) {
        const int action = session->DrawStep(seed, step);
        const auto arm = [&] {
            Say(QStringLiteral("ARM %1 %2 %3")
                    .arg(step)
                    .arg(KindName(kind))
                    .arg(session->ScanPlacement(action)));
        };
        // A scan or a save is cut off from within; the other kills follow a
        // step that changed the pages or the current page.
        const bool within = kind == Kind::Scan || kind == Kind::Save;
        bool armed = within && step >= killFrom && Fits(session, kind, action);
        if (armed) {
            arm();
        }
        session->SetScenarioExtra(
            armed && kind == Kind::Scan ? QStringLiteral("page-delay-ms=%1").arg(kSlowPageMs) : QString());
        QScopedPointer<StepWatch> watch(armed ? new StepWatch(session, step, kind) : nullptr);
        Say(QStringLiteral("BEGIN %1").arg(step));
        const Model previous = session->State();
        const QString why = session->RunStep(action);
        watch.reset();
        for (; told < session->Trail().size(); ++told) {
            Say(QStringLiteral("STEP ") + session->Trail().at(told));
        }
        if (!why.isEmpty()) {
            Say(QStringLiteral("FAIL ") + QString(why).replace('\n', QStringLiteral("\\n")));
            return 3;
        }
        const Model& now = session->State();
        const bool changed = now.current != previous.current || now.pages.size() != previous.pages.size() ||
                             !std::equal(now.pages.begin(), now.pages.end(), previous.pages.begin(),
                                         [](const ModelPage& a, const ModelPage& b) {
                                             return a.path == b.path && a.Reading() == b.Reading();
                                         });
        if (!within && step >= killFrom && changed) {
            armed = true;
            arm();
        }
        if (!armed && session->AddsPages(action) && !now.pages.isEmpty()) {
            // The scan's pages were all in before the window made its last
            // page current (the current page stays while they arrive).
            Model arrived = now;
            arrived.current = 0;
            for (int row = 0; row < now.pages.size(); ++row) {
                if (!previous.pages.isEmpty() &&
                    now.pages.at(row).path == previous.pages.value(previous.current).path) {
                    arrived.current = row;
                }
            }
            if (arrived.current != now.current) {
                Say(QStringLiteral("ARRIVED %1 %2").arg(step).arg(Compact(ToJson(arrived))));
            }
        }
        Say(QStringLiteral("DONE %1 %2").arg(step).arg(Compact(ToJson(session->State()))));
        if (!armed) {
            continue;
        }
        if (kind == Kind::Pending) {
            // Now, with the step's last journal perhaps still being written.
            QElapsedTimer spin;
            spin.start();
            const qint64 wait = random.bounded(2000);
            while (spin.nsecsElapsed() < wait * 1000) {
            }
            ::kill(::getpid(), SIGKILL);
        }
        if (kind == Kind::Between) {
            WaitJournalQuiet(QFileInfo(session->Fixture()->ScanDir()).path() +
                             QStringLiteral("/session.json"));
            Say(QStringLiteral("IDLE %1").arg(step));
        }
        Idle(); // until the parent kills this process
    }
    Say(QStringLiteral("END"));
    return 0;
}

namespace {

// One child's run as the parent sees it.
struct ChildRun {
    QString failure;
    bool ended = false;
    bool killed = false;
    int armed = -1;
    Kind kind = Kind::Between;
    int placement = 0;
    int lastBegun = -1;
    bool done = false; // the armed step was reported finished
    bool idle = false;
    bool saving = false;
    int pages = 0;
    QJsonObject before; // the model before the armed step
    QJsonArray earlier; // the different states before that one, oldest first
    QJsonObject after;
};

} // namespace

QString Run(quint32 seed, int steps, bool kills, Tally* tally)
{
    QTemporaryDir home, tmp;
    {
        QSettings ini(home.path() + kIni, QSettings::IniFormat);
        ini.setValue(QStringLiteral("Scanner/FilePath"), home.path() + QStringLiteral("/out"));
        ini.setValue(QStringLiteral("Scanner/Prefix"), QStringLiteral("s"));
        ini.setValue(QStringLiteral("Scanner/ScanCount"), QStringLiteral("1"));
    }
    QRandomGenerator random(seed * 2654435761u + 17);
    QJsonObject plan{{"seed", int(seed)}, {"home", home.path()},      {"tmp", tmp.path()},  {"steps", steps},
                     {"first", 0},        {"model", ToJson(Model())}, {"answer", QString()}};
    QStringList trail;
    const auto failed = [&](const QString& why) {
        return QStringLiteral("seed %1 (SCANVY_SEED=%1), steps:\n  %2\n%3")
            .arg(seed)
            .arg(trail.join(QStringLiteral("\n  ")), why);
    };
    for (int child = 0;; ++child) {
        if (child > steps) {
            return failed(QStringLiteral("more restarts than steps"));
        }
        static const Kind kinds[] = {Kind::Between, Kind::Between, Kind::Pending, Kind::Pending, Kind::Scan,
                                     Kind::Scan,    Kind::Scan,    Kind::Save,    Kind::Recovery};
        const Kind kind = kinds[random.bounded(9)];
        const int from = plan.value("first").toInt() + int(random.bounded(3));
        if (kills) {
            plan.insert("kill", QJsonObject{{"kind", KindName(kind)}, {"from", from}});
        }
        // The moment within a scan: after its n-th page (0: before the
        // first), then a little later.
        const int afterPage = int(random.bounded(3));
        const int delayMs = int(random.bounded(kind == Kind::Save ? 250 : 60));
        const QString specPath = tmp.path() + QStringLiteral("/kill-orders.json");
        {
            QFile orders(specPath);
            if (!orders.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                return failed(QStringLiteral("cannot write the orders"));
            }
            orders.write(QJsonDocument(plan).toJson());
        }
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kChildVariable, specPath);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QCoreApplication::applicationFilePath(), QStringList());
        if (!process.waitForStarted(10000)) {
            return failed(QStringLiteral("the child did not start"));
        }
        ChildRun run;
        run.before = plan.value("model").toObject();
        QElapsedTimer clock;
        clock.start();
        qint64 killAt = -1;
        const auto killNow = [&] {
            if (!run.killed && process.state() == QProcess::Running) {
                ::kill(pid_t(process.processId()), SIGKILL);
                run.killed = true;
            }
        };
        const auto handle = [&](const QString& line) {
            const QString word = line.section(' ', 0, 0);
            const int step = line.section(' ', 1, 1).toInt();
            if (word == QLatin1String("ARM") && step < 0) {
                run.kind = Kind::Recovery;
            } else if (word == QLatin1String("ARM")) {
                run.armed = step;
                run.kind = KindFromName(line.section(' ', 2, 2));
                run.placement = line.section(' ', 3, 3).toInt();
                if (run.kind == Kind::Scan && afterPage == 0) {
                    killAt = clock.elapsed() + delayMs;
                }
            } else if (word == QLatin1String("BEGIN")) {
                run.lastBegun = step;
            } else if (word == QLatin1String("PAGE")) {
                run.pages = line.section(' ', 2, 2).toInt();
                if (run.kind == Kind::Scan && run.pages == afterPage && killAt < 0) {
                    killAt = clock.elapsed() + delayMs;
                }
            } else if (word == QLatin1String("SAVING")) {
                run.saving = true;
                if (killAt < 0) {
                    killAt = clock.elapsed() + delayMs;
                }
            } else if (word == QLatin1String("DONE")) {
                const QJsonObject model = QJsonDocument::fromJson(line.section(' ', 2).toUtf8()).object();
                if (step == run.armed) {
                    run.done = true;
                    run.after = model;
                    if ((run.kind == Kind::Scan || run.kind == Kind::Save) && killAt < 0) {
                        killAt = clock.elapsed() + int(random.bounded(20));
                    }
                } else if (model != run.before) {
                    run.earlier.append(run.before);
                    run.before = model;
                }
            } else if (word == QLatin1String("ARRIVED")) {
                run.earlier.append(run.before);
                run.before = QJsonDocument::fromJson(line.section(' ', 2).toUtf8()).object();
            } else if (word == QLatin1String("RECOVERED")) {
                run.earlier = QJsonArray();
                run.before = QJsonDocument::fromJson(line.section(' ', 1).toUtf8()).object();
            } else if (word == QLatin1String("IDLE")) {
                run.idle = true;
                killNow();
            } else if (word == QLatin1String("STEP")) {
                trail << line.section(' ', 1);
            } else if (word == QLatin1String("OUTCOME")) {
                tally->outcomes[line.section(' ', 1)]++;
                trail << QStringLiteral("recovered: ") + line.section(' ', 1);
            } else if (word == QLatin1String("FAIL")) {
                run.failure = line.section(' ', 1).replace(QStringLiteral("\\n"), QStringLiteral("\n"));
            } else if (word == QLatin1String("END")) {
                run.ended = true;
            }
        };
        while (process.state() != QProcess::NotRunning || process.canReadLine()) {
            if (!process.canReadLine()) {
                process.waitForReadyRead(5);
            }
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(QLatin1String("@@"))) {
                    handle(line.mid(2));
                }
            }
            if (killAt >= 0 && clock.elapsed() >= killAt) {
                killNow();
            }
            if (clock.elapsed() > 200000) {
                killNow();
                return failed(QStringLiteral("the child ran out of time"));
            }
        }
        process.waitForFinished(10000);
        if (!run.failure.isEmpty()) {
            return failed(run.failure);
        }
        if (run.ended && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0) {
            tally->trail = trail;
            return QString();
        }
        // A child that was not armed, or dies other than by the kill, failed.
        if (run.kind == Kind::Recovery && process.exitStatus() == QProcess::CrashExit) {
            // Started again on the same orders: the same pages must come back.
            ++tally->restarts;
            tally->kills[QStringLiteral("just after the recovery")]++;
            trail << QStringLiteral("SIGKILL just after the recovery")
                  << QStringLiteral("start again, recovery answered 是");
            continue;
        }
        const bool selfKilled = run.kind == Kind::Pending && run.done;
        if (run.armed < 0 || !(run.killed || selfKilled) || process.exitStatus() != QProcess::CrashExit) {
            return failed(
                QStringLiteral("the child ended unexpectedly (exit code %1)").arg(process.exitCode()));
        }
        QString moment;
        switch (run.kind) {
        case Kind::Between:
            moment = QStringLiteral("between steps, the window idle");
            break;
        case Kind::Pending:
            moment = QStringLiteral("just after a step, the journal perhaps still being written");
            break;
        case Kind::Scan:
            moment = run.done         ? QStringLiteral("just after a scan")
                     : run.pages == 0 ? QStringLiteral("during a scan, before its first page")
                                      : QStringLiteral("during a scan, after its page %1").arg(run.pages);
            break;
        case Kind::Save:
            moment = run.done     ? QStringLiteral("just after a save")
                     : run.saving ? QStringLiteral("during a save, while it writes")
                                  : QStringLiteral("as a save begins");
            break;
        case Kind::Recovery:
            break;
        }
        tally->kills[moment.section(',', 0, 0) == QLatin1String("during a scan") && run.pages > 0
                         ? QStringLiteral("during a scan, after a page")
                         : moment]++;
        ++tally->restarts;
        const bool yes = random.bounded(6) != 0;
        trail << QStringLiteral("SIGKILL %1 (step %2)").arg(moment).arg(run.armed + 1)
              << QStringLiteral("start again, recovery answered %1").arg(yes ? "是" : "否");
        plan.insert("first", run.armed + 1);
        plan.insert("model", run.before);
        plan.insert("answer", yes ? QStringLiteral("yes") : QStringLiteral("no"));
        plan.insert("idle", run.idle);
        while (run.earlier.size() > 3) {
            run.earlier.removeFirst();
        }
        plan.insert("earlier", run.idle ? QJsonArray() : run.earlier);
        plan.insert("save", run.kind == Kind::Save && !run.done);
        plan.insert("scan", run.placement);
        if (run.done) {
            plan.insert("after", run.after);
        } else {
            plan.remove("after");
        }
    }
}

} // namespace KillSession
