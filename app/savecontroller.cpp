#include "savecontroller.h"

#include "imageproc.h"
#include "pagefile.h"
#include "savetransaction.h"

#include <QDate>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

namespace {
// Files named one by one in the overwrite question; the rest are counted.
const int kListedTargets = 3;
} // namespace

SaveController::SaveController(ImageProc* imageProc, QWidget* dialogParent)
    : QObject(dialogParent), m_imageProc(imageProc), m_dialogParent(dialogParent)
{
    m_openFolder = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

bool SaveController::IsMultiFile(int format)
{
    return format == FormatMultiTiff || format == FormatMultiPdf || format == FormatMultiOfd;
}

QString SaveController::FileName(const Target& target, int number)
{
    const QString digits = QStringLiteral("%1").arg(number, target.minDigits, 10, QLatin1Char('0'));
    return target.folder + QLatin1Char('/') + target.prefix + digits + QLatin1Char('.') + target.extension;
}

QStringList SaveController::ExistingTargets(const Target& target, int pageCount, int counter)
{
    const QDir dir(target.folder);
    if (target.folder.isEmpty() || !dir.exists()) {
        return {};
    }
    if (dir.entryList(QDir::Files).isEmpty()) {
        return {};
    }
    const int files = IsMultiFile(target.format) ? 1 : pageCount;
    QStringList existing;
    for (int i = 0; i < files; ++i) {
        const QString file = FileName(target, counter + i);
        if (QFileInfo::exists(file)) {
            existing << file;
        }
    }
    return existing;
}

void SaveController::Reset()
{
    m_failure = SaveFailure();
    m_savedFiles.clear();
    m_savedPages = 0;
    m_succeeded = false;
}

bool SaveController::WriteFile(int format, const QList<SavePage>& pages, const QString& file)
{
    switch (format) {
    case FormatMultiTiff:
        return m_imageProc->SaveMultiTiff(pages, file);
    case FormatMultiPdf:
        return m_imageProc->SaveMultiPDF(pages, file);
    case FormatMultiOfd:
        return m_imageProc->SaveMultiOFD(pages, file);
    case FormatPdf:
        return m_imageProc->SavePDF(pages.first(), file);
    case FormatOfd:
        return m_imageProc->SaveOFD(pages.first(), file);
    default:
        return m_imageProc->SaveAs(pages.first(), file, true);
    }
}

void SaveController::FailWriting(const QString& staged, const QString& target, int index, bool multi)
{
    m_failure = m_imageProc->LastFailure();
    if (m_failure.IsPage()) {
        m_failure.page += multi ? 0 : index;
    } else if (!m_failure.Failed() || m_failure.path == staged) {
        m_failure.path = target;
        if (!m_failure.Failed()) {
            m_failure.reason = SaveFailure::WriteFailed;
        }
    }
}

QString SaveController::SaveAsSuggestion(const QString& prefix, int counter, int minDigits,
                                         const QString& word, const QDate& date)
{
    if (prefix.isEmpty()) {
        return word + QLatin1Char('_') + date.toString(QStringLiteral("yyyyMMdd"));
    }
    return prefix + QStringLiteral("%1").arg(counter, minDigits, 10, QLatin1Char('0'));
}

QStringList SaveController::SaveAsFileNames(const QString& chosen, const QString& extension, bool multi,
                                            int pageCount)
{
    // The chosen name gets the format's extension unless it has it already.
    QString file = chosen;
    const QString suffix = QLatin1Char('.') + extension;
    if (!file.endsWith(suffix, Qt::CaseInsensitive)) {
        file += suffix;
    }
    if (multi || pageCount <= 1) {
        return {file};
    }
    // One file per page: the chosen name, "_" and the page number (from 1,
    // padded with zeros to the width of the page count so that the names sort
    // in page order), then the extension: scan.pdf -> scan_01.pdf … scan_12.pdf.
    const QString base = file.left(file.size() - suffix.size());
    const int width = QString::number(pageCount).size();
    QStringList files;
    for (int i = 1; i <= pageCount; ++i) {
        files << base + QStringLiteral("_%1").arg(i, width, 10, QLatin1Char('0')) + file.right(suffix.size());
    }
    return files;
}

bool SaveController::Write(const Target& target, const QList<QString>& pages, int counter)
{
    return Write(target, UnturnedPages(pages), counter);
}

bool SaveController::Write(const Target& target, const QList<SavePage>& pages, int counter,
                           const QByteArray& note)
{
    const int files = IsMultiFile(target.format) ? 1 : pages.size();
    QStringList targets;
    for (int i = 0; i < files; ++i) {
        targets << FileName(target, counter + i);
    }
    return WriteFiles(target.format, pages, targets, note);
}

bool SaveController::WriteFiles(int format, const QList<QString>& pages, const QStringList& targets)
{
    return WriteFiles(format, UnturnedPages(pages), targets);
}

bool SaveController::WriteFiles(int format, const QList<SavePage>& pages, const QStringList& targets,
                                const QByteArray& note)
{
    Reset();
    // Nothing to put into a file: none is written.
    if (pages.isEmpty()) {
        m_succeeded = true;
        return true;
    }
    const bool multi = IsMultiFile(format);
    const int files = multi ? 1 : pages.size();
    if (targets.size() != files) {
        m_failure.reason = SaveFailure::WriteFailed;
        return false;
    }

    // A save of ours into this folder that was cut short is settled first.
    SaveTransaction::Recover(m_recordFolder, QFileInfo(targets.first()).absolutePath());
    SaveTransaction transaction(m_recordFolder);
    transaction.SetNote(note);
    QStringList staged;
    for (int i = 0; i < files; ++i) {
        staged << transaction.Stage(targets.at(i));
        if (staged.last().isEmpty()) {
            m_failure = transaction.Failure();
            return false;
        }
    }
    for (int i = 0; i < files; ++i) {
        emit sglProgress(
            tr("正在保存第%1个%2文件").arg(i + 1).arg(QFileInfo(targets.at(i)).suffix().toUpper()));
        if (!WriteFile(format, multi ? pages : QList<SavePage>{pages.at(i)}, staged.at(i))) {
            FailWriting(staged.at(i), targets.at(i), i, multi);
            return false;
        }
    }
    if (!transaction.Commit()) {
        m_failure = transaction.Failure();
        return false;
    }
    m_keptRecord = transaction.RecordPath();
    m_savedFiles = targets;
    m_savedPages = pages.size();
    m_succeeded = true;
    return true;
}

void SaveController::ForgetSave()
{
    SaveTransaction::Forget(m_keptRecord);
    m_keptRecord.clear();
}

QString SaveController::FailureText(const SaveFailure& failure)
{
    const QString path = QDir::toNativeSeparators(failure.path);
    switch (failure.reason) {
    case SaveFailure::PageMissing:
        return tr("第%1页图像文件不存在，无法读取").arg(failure.page + 1);
    case SaveFailure::PageDamaged:
        return tr("第%1页图像文件已损坏，无法读取").arg(failure.page + 1);
    case SaveFailure::TargetIsFolder:
        return tr("已有同名文件夹：%1").arg(path);
    case SaveFailure::FolderMissing:
        return tr("保存文件夹不存在：%1").arg(path);
    case SaveFailure::NoPermission:
        return tr("没有写入权限：%1").arg(path);
    case SaveFailure::DiskFull:
        return tr("磁盘空间不足：%1").arg(path);
    case SaveFailure::FileTooLarge:
        return tr("文件超过系统允许的大小：%1").arg(path);
    case SaveFailure::TempFailed:
        return tr("临时文件夹无法写入：%1").arg(path);
    case SaveFailure::WriteFailed:
        return tr("无法写入文件：%1").arg(path);
    case SaveFailure::None:
        break;
    }
    return QString();
}

QString SaveController::SavedNote() const
{
    if (m_savedFiles.isEmpty()) {
        return QString();
    }
    const QString first = QFileInfo(m_savedFiles.first()).fileName();
    if (m_savedFiles.size() == 1) {
        return tr("已保存 %1（%2 页）").arg(first).arg(m_savedPages);
    }
    return tr("已保存 %1 至 %2（%3 页）")
        .arg(first, QFileInfo(m_savedFiles.last()).fileName())
        .arg(m_savedPages);
}

bool SaveController::AskOverwrite(const QStringList& existing)
{
    const QString crlf = QStringLiteral("\r\n");
    QString text = tr("保存路径有重复文件，%1确定要覆盖吗？").arg(crlf);
    for (int i = 0; i < existing.size() && i < kListedTargets; ++i) {
        text += crlf + QFileInfo(existing.at(i)).fileName();
    }
    if (existing.size() > kListedTargets) {
        text += crlf + tr("等 %1 个文件").arg(existing.size());
    }
    // 是 replaces the user's files for good: Enter must not.
    const auto answer = QMessageBox::question(m_dialogParent, tr("提示"), text,
                                              QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    return answer == QMessageBox::Yes;
}

bool SaveController::RefuseIncompletePages(const QList<QString>& pages)
{
    QStringList numbers;
    for (int i = 0; i < pages.size(); ++i) {
        if (!IsPageComplete(pages.at(i))) {
            numbers << QString::number(i + 1);
        }
    }
    if (numbers.isEmpty()) {
        return false;
    }
    QMessageBox::critical(
        m_dialogParent, tr("错误"),
        tr("第%1页扫描未完成，请替换扫描或删除该页后再保存").arg(numbers.join(QStringLiteral("、"))));
    return true;
}

void SaveController::ShowFailure()
{
    QString text = tr("保存失败");
    const QString why = FailureText(m_failure);
    if (!why.isEmpty()) {
        text += QLatin1Char('\n') + why;
    }
    QMessageBox::critical(m_dialogParent, tr("错误"), text);
}

void SaveController::ShowSuccess(const QString& folder, bool nameFiles)
{
    const QString where = QDir::toNativeSeparators(folder);
    const QString text = tr("保存成功") + QLatin1Char('\n') +
                         (nameFiles ? SavedNote() + QLatin1Char('\n') + tr("保存位置：%1").arg(where)
                                    : tr("已写入 %1 个文件到 %2").arg(m_savedFiles.size()).arg(where));
    QMessageBox box(QMessageBox::Information, tr("提示"), text, QMessageBox::Ok, m_dialogParent);
    QPushButton* open = box.addButton(tr("打开文件夹"), QMessageBox::ActionRole);
    open->setObjectName(QStringLiteral("btnOpenSaveFolder"));
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    if (box.clickedButton() == open && m_openFolder) {
        m_openFolder(QUrl::fromLocalFile(folder));
    }
}
