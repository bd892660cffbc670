#include "pagehistory.h"

#include <QFile>
#include <QItemSelectionModel>
#include <QSet>

namespace {

// The same pages in the same order and forms (ids included).
bool SamePages(const QList<Page>& a, const QList<Page>& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (int i = 0; i < a.size(); ++i) {
        if (a.at(i).id != b.at(i).id || !(a.at(i) == b.at(i))) {
            return false;
        }
    }
    return true;
}

} // namespace

PageHistory::PageHistory(PageList* list, QObject* parent) : QObject(parent), m_list(list)
{
    m_seen = list->Snapshot();
    connect(list, &PageList::sglAboutToChange, this, &PageHistory::OnListChanging);
    connect(list, &PageList::sglChanged, this, &PageHistory::OnListChanged);
}

PageHistory::~PageHistory()
{
    // Whoever listened may be going too.
    blockSignals(true);
    Drop();
}

void PageHistory::OnListChanging()
{
    // The state a change starts from, selection included, taken before the
    // change's first signal moves anything.
    if (!m_applying && !m_grouping) {
        m_seen = m_list->Snapshot();
    }
}

void PageHistory::OnListChanged()
{
    if (m_applying || m_grouping) {
        return;
    }
    PageList::State now = m_list->Snapshot();
    if (!SamePages(now.pages, m_seen.pages)) {
        Push(Step{m_seen, now, QString()});
    }
    m_seen = std::move(now);
}

void PageHistory::BeginGroup()
{
    m_grouping = true;
    m_groupBefore = m_list->Snapshot();
}

void PageHistory::EndGroup(const QString& name)
{
    if (!m_grouping) {
        return;
    }
    m_grouping = false;
    m_seen = m_list->Snapshot();
    if (!SamePages(m_groupBefore.pages, m_seen.pages)) {
        Push(Step{m_groupBefore, m_seen, name});
    }
    m_groupBefore = PageList::State();
}

void PageHistory::NameLast(const QString& name)
{
    if (m_index == 0) {
        return;
    }
    Step& step = m_steps[m_index - 1];
    step.name = name;
    // What the operation left selected once it was over is what 重做 shows.
    const PageList::State now = m_list->Snapshot();
    if (m_index == m_steps.size() && SamePages(now.pages, step.after.pages)) {
        step.after = now;
    }
    emit sglChanged();
}

QString PageHistory::UndoName() const
{
    return CanUndo() ? m_steps.at(m_index - 1).name : QString();
}

QString PageHistory::RedoName() const
{
    return CanRedo() ? m_steps.at(m_index).name : QString();
}

void PageHistory::Push(Step step)
{
    QStringList released;
    // Steps undone are cut off by a new change.
    while (m_steps.size() > m_index) {
        Hold(m_steps.last(), -1, &released);
        m_steps.removeLast();
    }
    Hold(step, 1, nullptr);
    m_steps.append(std::move(step));
    while (m_steps.size() > m_limit) {
        Hold(m_steps.first(), -1, &released);
        m_steps.removeFirst();
    }
    m_index = int(m_steps.size());
    Release(released);
    emit sglChanged();
}

void PageHistory::Hold(const Step& step, int delta, QStringList* released)
{
    QSet<QString> files;
    for (const Page& page : step.before.pages) {
        files.insert(page.path);
    }
    for (const Page& page : step.after.pages) {
        files.insert(page.path);
    }
    for (const QString& file : qAsConst(files)) {
        int& refs = m_refs[file];
        refs += delta;
        if (refs <= 0) {
            m_refs.remove(file);
            if (released) {
                released->append(file);
            }
        }
    }
}

void PageHistory::Release(const QStringList& files)
{
    // Without the list nothing is known to be free of it.
    if (files.isEmpty() || !m_list) {
        return;
    }
    // A file of a page in the list is the list's.
    const QList<QString> paths = m_list->Paths();
    const QSet<QString> listed(paths.begin(), paths.end());
    for (const QString& file : files) {
        // A step that came meanwhile may hold it again.
        if (!listed.contains(file) && !m_refs.contains(file) && !file.isEmpty()) {
            QFile::remove(file);
            // A page cut off while it was read is kept under this name.
            QFile::remove(file + QLatin1String(".part"));
            // Its recognised text is stored beside it.
            QFile::remove(file + QLatin1String(".text"));
        }
    }
}

void PageHistory::Go(const PageList::State& state)
{
    m_applying = true;
    m_list->Return(state);
    m_applying = false;
    m_seen = m_list->Snapshot();
}

bool PageHistory::Undo()
{
    if (!CanUndo() || m_grouping) {
        return false;
    }
    m_index -= 1;
    Go(m_steps.at(m_index).before);
    emit sglChanged();
    return true;
}

bool PageHistory::Redo()
{
    if (!CanRedo() || m_grouping) {
        return false;
    }
    Go(m_steps.at(m_index).after);
    m_index += 1;
    emit sglChanged();
    return true;
}

void PageHistory::Drop()
{
    if (m_steps.isEmpty()) {
        return;
    }
    QStringList released;
    for (const Step& step : qAsConst(m_steps)) {
        Hold(step, -1, &released);
    }
    m_steps.clear();
    m_index = 0;
    Release(released);
    emit sglChanged();
}

void PageHistory::SetLimit(int steps)
{
    m_limit = std::max(1, steps);
    QStringList released;
    while (m_steps.size() > m_limit) {
        Hold(m_steps.first(), -1, &released);
        m_steps.removeFirst();
        m_index = std::max(0, m_index - 1);
    }
    Release(released);
}

QStringList PageHistory::KeptFiles() const
{
    const QList<QString> paths = m_list->Paths();
    const QSet<QString> listed(paths.begin(), paths.end());
    QStringList kept;
    for (auto it = m_refs.cbegin(); it != m_refs.cend(); ++it) {
        if (!listed.contains(it.key())) {
            kept << it.key();
        }
    }
    kept.sort();
    return kept;
}
