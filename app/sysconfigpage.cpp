// System settings: reading "SysConfig.ini" into the page and committing edits.
#include "sysconfigpage.h"

#include "configsetting.h"
#include "dialogfit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTranslator>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace {
const QString kScanner = QStringLiteral("Scanner");
const QString kSystem = QStringLiteral("System");
const QString kScreen = QStringLiteral("Screen");

// The page's texts belong to the main window's translation context.
QString Tr(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}

// The recognition choices as the box shows them, in the order of
// OcrLanguages(); the stored value is the language's key.
const char* const kOcrLanguageTexts[] = {
    QT_TRANSLATE_NOOP("MainWindow", "不识别"),
    QT_TRANSLATE_NOOP("MainWindow", "简体中文+英文"),
    QT_TRANSLATE_NOOP("MainWindow", "繁體中文+英文"),
    QT_TRANSLATE_NOOP("MainWindow", "英文"),
};

struct FormatEntry {
    const char* text;
    const char* extension;
};

// Index order is stored in the settings file and decides the writer.
const FormatEntry kFormats[] = {
    {QT_TRANSLATE_NOOP("MainWindow", "TIFF"), "tiff"}, {QT_TRANSLATE_NOOP("MainWindow", "多页TIFF"), "tiff"},
    {QT_TRANSLATE_NOOP("MainWindow", "PNM"), "pnm"},   {QT_TRANSLATE_NOOP("MainWindow", "JPEG"), "jpg"},
    {QT_TRANSLATE_NOOP("MainWindow", "PNG"), "png"},   {QT_TRANSLATE_NOOP("MainWindow", "单页PDF"), "pdf"},
    {QT_TRANSLATE_NOOP("MainWindow", "PDF"), "pdf"},   {QT_TRANSLATE_NOOP("MainWindow", "单页OFD"), "ofd"},
    {QT_TRANSLATE_NOOP("MainWindow", "OFD"), "ofd"},
};

bool IsOn(const QString& stored)
{
    return !stored.isEmpty() && stored != QLatin1String("0");
}
} // namespace

SysConfigPage::SysConfigPage(const QString& configFile, const QString& homeDir,
                             const QString& defaultSavePath, const Widgets& widgets, QWidget* window)
    : QObject(window), m_settings(new ConfigSetting(configFile)), m_ui(widgets), m_window(window),
      m_homeDir(homeDir), m_defaultSavePath(defaultSavePath)
{
    m_config.settings = m_settings.get();
}

SysConfigPage::~SysConfigPage() = default;

QString SysConfigPage::ReadSetting(const QString& group, const QString& key) const
{
    QString value;
    m_settings->readInit(group, key, value);
    return value;
}

void SysConfigPage::WriteSetting(const QString& group, const QString& key, const QString& value)
{
    m_settings->writeInit(group, key, value);
}

void SysConfigPage::Setup()
{
    // The boxes whose texts change with the language keep their longest text
    // whole (a box measures its texts once unless told to follow them).
    for (QComboBox* box : {m_ui.imageFormat, m_ui.ocrLanguage}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    }
    for (const FormatEntry& format : kFormats) {
        m_ui.imageFormat->addItem(Tr(format.text), QString::fromLatin1(format.extension));
    }
    m_ui.imageFormat->setCurrentIndex(0);
    m_ui.language->addItem(QStringLiteral("简体中文"), QStringLiteral("0"));
    m_ui.language->addItem(QStringLiteral("繁體中文"), QStringLiteral("1"));
    m_ui.language->addItem(QStringLiteral("English"), QStringLiteral("2"));
    const QList<OcrLanguage> languages = OcrLanguages();
    for (int i = 0; i < languages.size(); ++i) {
        // The table follows the languages' own texts.
        Q_ASSERT(OcrLanguageText(languages.at(i)) == QString::fromUtf8(kOcrLanguageTexts[i]));
        m_ui.ocrLanguage->addItem(Tr(kOcrLanguageTexts[i]), OcrLanguageKey(languages.at(i)));
    }
}

void SysConfigPage::Retranslate()
{
    for (int i = 0; i < m_ui.imageFormat->count(); ++i) {
        m_ui.imageFormat->setItemText(i, Tr(kFormats[i].text));
    }
    for (int i = 0; i < m_ui.ocrLanguage->count(); ++i) {
        m_ui.ocrLanguage->setItemText(i, Tr(kOcrLanguageTexts[i]));
    }
    // Where the page is narrow the boxes get their smallest size, which a
    // box keeps from its first texts: it is that of the new texts now.
    for (QComboBox* box : {m_ui.imageFormat, m_ui.ocrLanguage}) {
        box->setMinimumWidth(box->sizeHint().width());
    }
}

void SysConfigPage::Connect()
{
    connect(m_ui.imageFormat, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SysConfigPage::OnImageFormatChanged);
    connect(m_ui.minCountSize, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SysConfigPage::OnMinCountSizeChanged);
    connect(m_ui.saveAfterScan, &QCheckBox::stateChanged, this, &SysConfigPage::OnSaveAfterScanChanged);
    connect(m_ui.language, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SysConfigPage::OnLanguageChanged);
    connect(m_ui.showAllScanners, &QCheckBox::stateChanged, this, &SysConfigPage::OnShowAllScannersChanged);
    connect(m_ui.ocrLanguage, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SysConfigPage::OnOcrLanguageChanged);
    connect(m_ui.selectPath, &QPushButton::clicked, this, &SysConfigPage::OnSelectImagePath);
}

void SysConfigPage::Read()
{
    ReadSavePath();
    ReadPrefix();
    ReadFileFormat();
    ReadScanCount();
    ReadMinCountSize();
    ReadSwitches();
    ReadLanguageAndSize();
    ReadOcrLanguage();
    ReadSaveAs();
}

void SysConfigPage::ReadOcrLanguage()
{
    // An unknown value (edited by hand, or from a later version) leaves
    // recognition off.
    m_config.ocrLanguage = OcrLanguageFromKey(ReadSetting(kScanner, QStringLiteral("OcrLanguage")).trimmed());
    m_ui.ocrLanguage->setCurrentIndex(std::max(0, int(OcrLanguages().indexOf(m_config.ocrLanguage))));
}

void SysConfigPage::ReadSaveAs()
{
    m_saveAsFolder = ReadSetting(kScanner, QStringLiteral("SaveAsPath"));
    bool ok = false;
    const int format = ReadSetting(kScanner, QStringLiteral("SaveAsFormat")).toInt(&ok);
    m_saveAsFormat = ok && format >= 0 && format < FormatCount() ? format : -1;
}

QString SysConfigPage::SaveAsFolder() const
{
    if (!m_saveAsFolder.isEmpty() && QFileInfo(m_saveAsFolder).isDir()) {
        return m_saveAsFolder;
    }
    if (QFileInfo(m_savePath).isDir()) {
        return m_savePath;
    }
    return m_homeDir;
}

int SysConfigPage::SaveAsFormat() const
{
    return m_saveAsFormat >= 0 ? m_saveAsFormat : m_formatIndex;
}

void SysConfigPage::StoreSaveAs(const QString& folder, int format)
{
    if (format < 0 || format >= FormatCount()) {
        return;
    }
    m_saveAsFolder = folder;
    m_saveAsFormat = format;
    WriteSetting(kScanner, QStringLiteral("SaveAsPath"), folder);
    WriteSetting(kScanner, QStringLiteral("SaveAsFormat"), QString::number(format));
}

int SysConfigPage::FormatCount() const
{
    return int(sizeof(kFormats) / sizeof(kFormats[0]));
}

QString SysConfigPage::FormatExtension(int format) const
{
    return format >= 0 && format < FormatCount() ? QString::fromLatin1(kFormats[format].extension)
                                                 : QString();
}

QString SysConfigPage::FormatText(int format) const
{
    return format >= 0 && format < FormatCount() ? Tr(kFormats[format].text) : QString();
}

void SysConfigPage::ReadSavePath()
{
    QString path = ReadSetting(kScanner, QStringLiteral("FilePath"));
    if (path.isEmpty()) {
        path = m_defaultSavePath;
    }
    m_ui.imagePath->setText(path);
    m_config.filePath = path;
    m_savePath = path;
}

void SysConfigPage::ReadPrefix()
{
    // A prefix that could lead a file out of its folder, or that no file
    // name can hold, is not used: the default (no prefix) takes its place.
    QString prefix = ReadSetting(kScanner, QStringLiteral("Prefix"));
    if (!IsUsablePrefix(prefix)) {
        prefix.clear();
    }
    m_config.prefix = prefix;
    m_ui.prefix->setText(m_config.prefix);
}

void SysConfigPage::ReadFileFormat()
{
    const QString text = ReadSetting(kScanner, QStringLiteral("FileFormat"));
    int index = 0;
    if (text.isEmpty()) {
        WriteSetting(kScanner, QStringLiteral("FileFormat"), QStringLiteral("0"));
    } else {
        bool ok = false;
        index = text.trimmed().toInt(&ok);
        // An index the box does not offer would save under an empty
        // extension while the box shows another format.
        if (!ok || index < 0 || index >= m_ui.imageFormat->count()) {
            index = 0;
        }
    }
    m_ui.imageFormat->setCurrentIndex(index);
    m_config.fileFormat = m_ui.imageFormat->currentData().toString();
    m_formatIndex = index;
}

void SysConfigPage::ReadScanCount()
{
    const QString text = ReadSetting(kScanner, QStringLiteral("ScanCount"));
    int counter = 1;
    if (text.isEmpty()) {
        WriteSetting(kScanner, QStringLiteral("ScanCount"), QStringLiteral("1"));
    } else {
        counter = StoredCounter(text);
    }
    m_ui.scanCount->setText(QString::number(counter));
    m_config.scanCount = counter;
    m_counter = counter;
}

int SysConfigPage::StoredCounter(const QString& text)
{
    // The counter's own range: at least 1 and below 20000000, so that the
    // numbers of a save can never run past the end of int and turn negative.
    const QString digits = text.trimmed();
    bool ok = false;
    const qlonglong value = digits.toLongLong(&ok);
    if (!ok) {
        static const QRegularExpression longNumber(QStringLiteral("^\\+?[0-9]+$"));
        return longNumber.match(digits).hasMatch() ? kCounterLimit - 1 : 1;
    }
    return int(std::clamp<qlonglong>(value, 1, kCounterLimit - 1));
}

void SysConfigPage::ReadMinCountSize()
{
    const QString text = ReadSetting(kScanner, QStringLiteral("ScanMinCountSize"));
    const int kDefaultDigits = 4;
    int digits = kDefaultDigits;
    if (text.isEmpty()) {
        WriteSetting(kScanner, QStringLiteral("ScanMinCountSize"), QStringLiteral("4"));
    } else {
        bool ok = false;
        digits = text.trimmed().toInt(&ok);
        // The box offers 1 to 10 digits; anything else pads wrongly or not at all.
        if (!ok || digits < 1 || digits > m_ui.minCountSize->count()) {
            digits = kDefaultDigits;
        }
    }
    m_ui.minCountSize->setCurrentIndex(digits - 1);
    m_config.minDigits = digits;
    m_minDigits = digits;
}

void SysConfigPage::ReadSwitches()
{
    m_config.saveAfterScan = IsOn(ReadSetting(kScanner, QStringLiteral("SaveAfterScan")));
    m_saveAfterScan = m_config.saveAfterScan;
    m_ui.saveAfterScan->setChecked(m_saveAfterScan);
    m_config.showAllScanners = IsOn(ReadSetting(kScanner, QStringLiteral("ShowAllScanners")));
    m_ui.showAllScanners->setChecked(m_config.showAllScanners);
}

void SysConfigPage::ReadLanguageAndSize()
{
    const QString language = ReadSetting(kSystem, QStringLiteral("Language"));
    if (language.isEmpty()) {
        WriteSetting(kSystem, QStringLiteral("Language"), QStringLiteral("0"));
        m_ui.language->setCurrentIndex(0);
    } else {
        const int index = language.toInt();
        if (index >= 0 && index < m_ui.language->count()) {
            m_ui.language->setCurrentIndex(index);
        }
    }
    m_config.language = m_ui.language->currentData().toString();

    const QString width = ReadSetting(kScreen, QStringLiteral("Width"));
    if (!width.isEmpty()) {
        m_config.screenWidth = width.toInt();
    }
    const QString height = ReadSetting(kScreen, QStringLiteral("Height"));
    if (!height.isEmpty()) {
        m_config.screenHeight = height.toInt();
    }
}

bool SysConfigPage::IsAllowedPrefixChar(uint c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x2EBEF);
}

bool SysConfigPage::PrefixFitsFileName(const QString& prefix)
{
    // The longest name made from a prefix: a writer's temporary name while a
    // saved file is incomplete, "." + prefix + counter (up to 10 digits) +
    // ".part-<pid>-<n>" + ".tiff"; a page file's ".part" name is shorter.
    const int kNameMax = 255;
    const int kLongestAddition = 40;
    return QFile::encodeName(prefix).size() + kLongestAddition <= kNameMax;
}

bool SysConfigPage::IsUsablePrefix(const QString& prefix)
{
    if (prefix.contains(QLatin1Char('/')) || prefix.contains(QLatin1Char('\\')) ||
        prefix.contains(QLatin1String(".."))) {
        return false;
    }
    for (const QChar c : prefix) {
        if (c.category() == QChar::Other_Control) {
            return false;
        }
    }
    return PrefixFitsFileName(prefix);
}

bool SysConfigPage::IsValidPrefix(const QString& prefix)
{
    const QVector<uint> codePoints = prefix.toUcs4();
    for (uint c : codePoints) {
        if (!IsAllowedPrefixChar(c)) {
            return false;
        }
    }
    return true;
}

void SysConfigPage::SavePrefix()
{
    const QString text = m_ui.prefix->text().trimmed();
    if (text == m_config.prefix) {
        return;
    }
    if (!IsValidPrefix(text)) {
        QMessageBox::critical(
            m_window, Tr(QT_TRANSLATE_NOOP("MainWindow", "错误")),
            Tr(QT_TRANSLATE_NOOP("MainWindow",
                                 "文件名前缀包含非法字符，只能包含:[A-Z a-z 0-9 _ -]五种字符和常用汉字")));
        m_ui.prefix->setText(m_config.prefix);
        return;
    }
    if (!PrefixFitsFileName(text)) {
        QMessageBox::critical(
            m_window, Tr(QT_TRANSLATE_NOOP("MainWindow", "错误")),
            Tr(QT_TRANSLATE_NOOP("MainWindow",
                                 "文件名前缀过长，加上计数器和扩展名后超出文件名的长度限制(255字节)")));
        m_ui.prefix->setText(m_config.prefix);
        return;
    }
    m_config.prefix = text;
    WriteSetting(kScanner, QStringLiteral("Prefix"), text);
}

void SysConfigPage::SaveScanCount()
{
    const int value = m_ui.scanCount->text().toInt();
    if (value >= 1 && value < kCounterLimit) {
        m_config.scanCount = value;
        m_counter = value;
        WriteSetting(kScanner, QStringLiteral("ScanCount"), QString::number(value));
        return;
    }
    QMessageBox::critical(m_window, Tr(QT_TRANSLATE_NOOP("MainWindow", "错误")),
                          Tr(QT_TRANSLATE_NOOP("MainWindow", "计数器必须大于等于1且小于20000000")));
    m_ui.scanCount->setText(QString::number(m_config.scanCount));
}

void SysConfigPage::KeepCounterAtLeast(int counter)
{
    counter = std::min(counter, kCounterLimit - 1);
    const QString stored = ReadSetting(kScanner, QStringLiteral("ScanCount"));
    if (!stored.isEmpty() && StoredCounter(stored) >= counter) {
        return;
    }
    m_counter = counter;
    StoreCounter();
}

void SysConfigPage::StoreCounter()
{
    WriteSetting(kScanner, QStringLiteral("ScanCount"), QString::number(m_counter));
    m_config.scanCount = m_counter;
    m_ui.scanCount->setText(QString::number(m_counter));
    // On disk before the saved pages leave the journal: a crash right after
    // a save must not hand the same file names out again.
    m_settings->Sync();
    const QByteArray folder = QFile::encodeName(QFileInfo(m_settings->FilePath()).path());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

QString SysConfigPage::FormatExtension() const
{
    return m_ui.imageFormat->itemData(m_formatIndex).toString();
}

void SysConfigPage::SetWindowSize(const QSize& size)
{
    m_config.screenWidth = size.width();
    m_config.screenHeight = size.height();
}

void SysConfigPage::StoreWindowSize(const QSize& size)
{
    SetWindowSize(size);
    WriteSetting(kScreen, QStringLiteral("Height"), QString::number(m_config.screenHeight));
    WriteSetting(kScreen, QStringLiteral("Width"), QString::number(m_config.screenWidth));
}

void SysConfigPage::EnsureScanPath()
{
    if (!m_config.filePath.isEmpty()) {
        m_savePath = m_config.filePath;
    } else if (!m_ui.imagePath->text().isEmpty()) {
        m_savePath = m_ui.imagePath->text();
    } else {
        m_savePath = m_defaultSavePath;
    }
    QDir().mkpath(m_savePath);
}

namespace {

// Answers every text with the text itself: installed after the toolkit's
// Simplified Chinese catalogue, it keeps the toolkit's own texts (standard
// buttons, file dialogs) in English, as they are written.
class SourceTextTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* /*context*/, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override
    {
        return QString::fromUtf8(sourceText);
    }
};

} // namespace

QTranslator* SysConfigPage::NewToolkitTranslator(const QString& locale, QObject* parent, bool simplified)
{
    if (locale == QLatin1String("en_US")) {
        return new SourceTextTranslator(parent);
    }
    QString file;
    if (locale == QLatin1String("zh_TW")) {
        file = QStringLiteral(":/trans/qtbase_zh_TW.qm");
    } else if (simplified) {
        file = QStringLiteral(":/trans/qtbase_zh_CN.qm");
    } else {
        return nullptr;
    }
    auto* translator = new QTranslator(parent);
    if (!translator->load(file)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

void SysConfigPage::InstallToolkitTranslation()
{
    if (m_toolkitTranslator) {
        QApplication::removeTranslator(m_toolkitTranslator);
        delete m_toolkitTranslator;
        m_toolkitTranslator = nullptr;
    }
    // Simplified Chinese is the catalogue the program starts with.
    m_toolkitTranslator = NewToolkitTranslator(LocaleName(), this, false);
    if (m_toolkitTranslator) {
        QApplication::installTranslator(m_toolkitTranslator);
    }
}

void SysConfigPage::InstallTranslation(const QString& translationFile)
{
    if (m_translator) {
        QApplication::removeTranslator(m_translator);
        delete m_translator;
        m_translator = nullptr;
    }
    // The program's catalogue is installed last so that it is asked first.
    InstallToolkitTranslation();
    auto* translator = new QTranslator(this);
    if (translator->load(translationFile)) {
        m_translator = translator;
        QApplication::installTranslator(m_translator);
    } else {
        delete translator;
    }
}

void SysConfigPage::OnImageFormatChanged(int index)
{
    m_formatIndex = index;
    m_config.fileFormat = m_ui.imageFormat->itemData(index).toString();
    WriteSetting(kScanner, QStringLiteral("FileFormat"), QString::number(index));
}

void SysConfigPage::OnMinCountSizeChanged(int index)
{
    const int value = m_ui.minCountSize->itemText(index).toInt();
    m_config.minDigits = value;
    m_minDigits = value;
    WriteSetting(kScanner, QStringLiteral("ScanMinCountSize"), QString::number(value));
}

void SysConfigPage::OnSaveAfterScanChanged(int state)
{
    m_config.saveAfterScan = (state == Qt::Checked);
    m_saveAfterScan = m_config.saveAfterScan;
    WriteSetting(kScanner, QStringLiteral("SaveAfterScan"), QString::number(state));
}

void SysConfigPage::OnShowAllScannersChanged(int state)
{
    m_config.showAllScanners = (state == Qt::Checked);
    WriteSetting(kScanner, QStringLiteral("ShowAllScanners"), QString::number(state));
    emit sglShowAllScannersChanged(m_config.showAllScanners);
}

void SysConfigPage::OnOcrLanguageChanged(int index)
{
    const OcrLanguage language = OcrLanguageFromKey(m_ui.ocrLanguage->itemData(index).toString());
    if (language == m_config.ocrLanguage) {
        return;
    }
    m_config.ocrLanguage = language;
    WriteSetting(kScanner, QStringLiteral("OcrLanguage"), OcrLanguageKey(language));
    emit sglOcrLanguageChanged(language);
}

void SysConfigPage::OnLanguageChanged(int index)
{
    m_config.language = m_ui.language->itemData(index).toString();
    WriteSetting(kSystem, QStringLiteral("Language"), m_config.language);
    emit sglLanguageChosen(TranslationFile());
}

namespace {

// The language codes of the language box as locale names.
QString LocaleOf(const QString& language)
{
    if (language == QLatin1String("1")) {
        return QStringLiteral("zh_TW");
    }
    if (language == QLatin1String("2")) {
        return QStringLiteral("en_US");
    }
    return QStringLiteral("zh_CN");
}

QString CatalogueOf(const QString& locale)
{
    return QStringLiteral(":/trans/%1.qm").arg(locale);
}

} // namespace

QString SysConfigPage::LocaleName() const
{
    return LocaleOf(m_config.language);
}

QString SysConfigPage::TranslationFile() const
{
    return CatalogueOf(LocaleName());
}

QString SysConfigPage::StoredTranslationFile(const QString& configFile)
{
    return CatalogueOf(StoredLocaleName(configFile));
}

QString SysConfigPage::StoredLocaleName(const QString& configFile)
{
    if (!QFileInfo(configFile).isFile()) {
        return LocaleOf(QString());
    }
    ConfigSetting settings(configFile);
    QString language;
    settings.readInit(kSystem, QStringLiteral("Language"), language);
    return LocaleOf(language.trimmed());
}

QString SysConfigPage::TranslationFileOf(const QString& locale)
{
    return CatalogueOf(locale);
}

void SysConfigPage::OnSelectImagePath()
{
    QFileDialog dialog(m_window, Tr(QT_TRANSLATE_NOOP("MainWindow", "选择文件夹")), m_homeDir);
    dialog.setObjectName(QStringLiteral("dlgSelectImagePath"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    FitDialogToScreen(&dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString dir = dialog.selectedFiles().constFirst();
    if (dir.isEmpty()) {
        return;
    }
    const QFileInfo info(dir);
    if (!info.isReadable() || !info.isWritable()) {
        QMessageBox::critical(m_window, Tr(QT_TRANSLATE_NOOP("MainWindow", "错误")),
                              Tr(QT_TRANSLATE_NOOP("MainWindow", "路径无读写权限")));
        return;
    }
    m_config.filePath = dir;
    m_ui.imagePath->setText(dir);
    m_savePath = dir;
    WriteSetting(kScanner, QStringLiteral("FilePath"), dir);
}
