// System settings: reading "SysConfig.ini" into the page and committing edits.
#include "mainwindow.h"
#include "scancontroller.h"

#include "configsetting.h"
#include "devicecontroller.h"
#include "jobrunner.h"
#include "optionscontainerwidget.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTranslator>

#include <algorithm>

namespace {
const QString kScanner = QStringLiteral("Scanner");
const QString kSystem = QStringLiteral("System");
const QString kScreen = QStringLiteral("Screen");

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
} // namespace

QString MainWindow::ReadSetting(const QString& group, const QString& key) const
{
    QString value;
    m_sysConfig.settings->readInit(group, key, value);
    return value;
}

void MainWindow::WriteSetting(const QString& group, const QString& key, const QString& value)
{
    m_sysConfig.settings->writeInit(group, key, value);
}

void MainWindow::SetupSystemPage()
{
    for (const FormatEntry& format : kFormats) {
        ui->cmImageFormat->addItem(tr(format.text), QString::fromLatin1(format.extension));
    }
    ui->cmImageFormat->setCurrentIndex(0);
    ui->cmLanguage->addItem(QStringLiteral("简体中文"), QStringLiteral("0"));
    ui->cmLanguage->addItem(QStringLiteral("繁體中文"), QStringLiteral("1"));
    ui->cmLanguage->addItem(QStringLiteral("English"), QStringLiteral("2"));
    ui->lblLanguage->hide();
    ui->cmLanguage->hide();
}

void MainWindow::RetranslateFormatBox()
{
    for (int i = 0; i < ui->cmImageFormat->count(); ++i) {
        ui->cmImageFormat->setItemText(i, tr(kFormats[i].text));
    }
}

void MainWindow::ConnectSystemPage()
{
    connect(ui->cmImageFormat, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::OnImageFormatChanged);
    connect(ui->cbMinCountSize, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::OnMinCountSizeChanged);
    connect(ui->cbSaveAfterScan, &QCheckBox::stateChanged, this, &MainWindow::OnSaveAfterScanChanged);
    connect(ui->cmLanguage, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::OnLanguageChanged);
    connect(ui->cbShowAllScanners, &QCheckBox::stateChanged, this, &MainWindow::OnShowAllScannersChanged);
    connect(ui->btnSelImgPath, &QPushButton::clicked, this, &MainWindow::OnSelectImagePath);
}

void MainWindow::ReadSysConfig()
{
    ReadSavePath();
    // A prefix that could lead a file out of its folder, or that no file
    // name can hold, is not used: the default (no prefix) takes its place.
    QString prefix = ReadSetting(kScanner, QStringLiteral("Prefix"));
    if (!IsUsablePrefix(prefix)) {
        prefix.clear();
    }
    m_sysConfig.prefix = prefix;
    ui->txtSysFileNamePrefix->setText(m_sysConfig.prefix);
    ReadFileFormat();
    ReadScanCount();
    ReadMinCountSize();
    const QString save = ReadSetting(kScanner, QStringLiteral("SaveAfterScan"));
    m_sysConfig.saveAfterScan = !save.isEmpty() && save != QLatin1String("0");
    m_saveAfterScan = m_sysConfig.saveAfterScan;
    ui->cbSaveAfterScan->setChecked(m_saveAfterScan);
    const QString showAll = ReadSetting(kScanner, QStringLiteral("ShowAllScanners"));
    m_sysConfig.showAllScanners = !showAll.isEmpty() && showAll != QLatin1String("0");
    ui->cbShowAllScanners->setChecked(m_sysConfig.showAllScanners);
    m_devices->SetShowAllDevices(m_sysConfig.showAllScanners);
    ReadLanguageAndSize();
}

void MainWindow::ReadSavePath()
{
    QString path = ReadSetting(kScanner, QStringLiteral("FilePath"));
    if (path.isEmpty()) {
        path = m_defaultSavePath;
    }
    ui->txtSysImagePath->setText(path);
    m_sysConfig.filePath = path;
    m_savePath = path;
}

void MainWindow::ReadFileFormat()
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
        if (!ok || index < 0 || index >= ui->cmImageFormat->count()) {
            index = 0;
        }
    }
    ui->cmImageFormat->setCurrentIndex(index);
    m_sysConfig.fileFormat = ui->cmImageFormat->currentData().toString();
    m_formatIndex = index;
}

void MainWindow::ReadScanCount()
{
    const QString text = ReadSetting(kScanner, QStringLiteral("ScanCount"));
    int counter = 1;
    if (text.isEmpty()) {
        WriteSetting(kScanner, QStringLiteral("ScanCount"), QStringLiteral("1"));
    } else {
        counter = StoredCounter(text);
    }
    ui->txtSysScanCount->setText(QString::number(counter));
    m_sysConfig.scanCount = counter;
    m_counter = counter;
}

int MainWindow::StoredCounter(const QString& text)
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

void MainWindow::ReadMinCountSize()
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
        if (!ok || digits < 1 || digits > ui->cbMinCountSize->count()) {
            digits = kDefaultDigits;
        }
    }
    ui->cbMinCountSize->setCurrentIndex(digits - 1);
    m_sysConfig.minDigits = digits;
    m_minDigits = digits;
}

void MainWindow::ReadLanguageAndSize()
{
    const QString language = ReadSetting(kSystem, QStringLiteral("Language"));
    if (language.isEmpty()) {
        WriteSetting(kSystem, QStringLiteral("Language"), QStringLiteral("0"));
        ui->cmLanguage->setCurrentIndex(0);
    } else {
        const int index = language.toInt();
        if (index >= 0 && index < ui->cmLanguage->count()) {
            ui->cmLanguage->setCurrentIndex(index);
        }
    }
    m_sysConfig.language = ui->cmLanguage->currentData().toString();

    const QString width = ReadSetting(kScreen, QStringLiteral("Width"));
    if (!width.isEmpty()) {
        m_sysConfig.screenWidth = width.toInt();
    }
    const QString height = ReadSetting(kScreen, QStringLiteral("Height"));
    if (!height.isEmpty()) {
        m_sysConfig.screenHeight = height.toInt();
    }
}

bool MainWindow::IsAllowedPrefixChar(uint c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0x3400 && c <= 0x4DBF) ||
           (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x2EBEF);
}

bool MainWindow::PrefixFitsFileName(const QString& prefix)
{
    // The longest name made from a prefix: a writer's temporary name while a
    // saved file is incomplete, "." + prefix + counter (up to 10 digits) +
    // ".part-<pid>-<n>" + ".tiff"; a page file's ".part" name is shorter.
    const int kNameMax = 255;
    const int kLongestAddition = 40;
    return QFile::encodeName(prefix).size() + kLongestAddition <= kNameMax;
}

bool MainWindow::IsUsablePrefix(const QString& prefix)
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

bool MainWindow::IsValidPrefix(const QString& prefix)
{
    const QVector<uint> codePoints = prefix.toUcs4();
    for (uint c : codePoints) {
        if (!IsAllowedPrefixChar(c)) {
            return false;
        }
    }
    return true;
}

void MainWindow::SaveSysPrefix()
{
    const QString text = ui->txtSysFileNamePrefix->text().trimmed();
    if (text == m_sysConfig.prefix) {
        return;
    }
    if (!IsValidPrefix(text)) {
        QMessageBox::critical(this, tr("错误"),
                              tr("文件名前缀包含非法字符，只能包含:[A-Z a-z 0-9 _ -]五种字符和常用汉字"));
        ui->txtSysFileNamePrefix->setText(m_sysConfig.prefix);
        return;
    }
    if (!PrefixFitsFileName(text)) {
        QMessageBox::critical(this, tr("错误"),
                              tr("文件名前缀过长，加上计数器和扩展名后超出文件名的长度限制(255字节)"));
        ui->txtSysFileNamePrefix->setText(m_sysConfig.prefix);
        return;
    }
    m_sysConfig.prefix = text;
    WriteSetting(kScanner, QStringLiteral("Prefix"), text);
}

void MainWindow::SaveSysScanCount()
{
    const int value = ui->txtSysScanCount->text().toInt();
    if (value >= 1 && value < kCounterLimit) {
        m_sysConfig.scanCount = value;
        m_counter = value;
        WriteSetting(kScanner, QStringLiteral("ScanCount"), QString::number(value));
        return;
    }
    QMessageBox::critical(this, tr("错误"), tr("计数器必须大于等于1且小于20000000"));
    ui->txtSysScanCount->setText(QString::number(m_sysConfig.scanCount));
}

void MainWindow::EnsureScanPath()
{
    if (!m_sysConfig.filePath.isEmpty()) {
        m_savePath = m_sysConfig.filePath;
    } else if (!ui->txtSysImagePath->text().isEmpty()) {
        m_savePath = ui->txtSysImagePath->text();
    } else {
        m_savePath = m_defaultSavePath;
    }
    QDir().mkpath(m_savePath);
}

void MainWindow::SwitchLanguage(const QString& translationFile)
{
    if (m_translator) {
        QApplication::removeTranslator(m_translator);
        delete m_translator;
        m_translator = nullptr;
    }
    auto* translator = new QTranslator(this);
    if (translator->load(translationFile)) {
        m_translator = translator;
        QApplication::installTranslator(m_translator);
    } else {
        delete translator;
    }
    // Also after a failed load: the texts go back to the source texts now,
    // not only when the language-change event arrives.
    ui->retranslateUi(this);
    RetranslateTexts();
}

void MainWindow::OnImageFormatChanged(int index)
{
    m_formatIndex = index;
    m_sysConfig.fileFormat = ui->cmImageFormat->itemData(index).toString();
    WriteSetting(kScanner, QStringLiteral("FileFormat"), QString::number(index));
}

void MainWindow::OnMinCountSizeChanged(int index)
{
    const int value = ui->cbMinCountSize->itemText(index).toInt();
    m_sysConfig.minDigits = value;
    m_minDigits = value;
    WriteSetting(kScanner, QStringLiteral("ScanMinCountSize"), QString::number(value));
}

void MainWindow::OnSaveAfterScanChanged(int state)
{
    m_sysConfig.saveAfterScan = (state == Qt::Checked);
    m_saveAfterScan = m_sysConfig.saveAfterScan;
    WriteSetting(kScanner, QStringLiteral("SaveAfterScan"), QString::number(state));
}

void MainWindow::OnShowAllScannersChanged(int state)
{
    m_sysConfig.showAllScanners = (state == Qt::Checked);
    WriteSetting(kScanner, QStringLiteral("ShowAllScanners"), QString::number(state));
    m_devices->SetShowAllDevices(m_sysConfig.showAllScanners);
    m_optionsContainer->SetGenericPanels(m_sysConfig.showAllScanners);
    // The device list is built anew at once, as after a device change,
    // unless something runs that a rebuild must not interrupt; then the
    // change waits for its turn like a parked hot-plug notice.
    if (!m_startupDone) {
        return;
    }
    m_devices->NoteUsbEvent(0);
    if (m_devices->UsbBusy() || m_scan->Scanning() || m_pageBusy || m_jobs->Active() || m_askingParams) {
        m_devices->ParkUsbEvent();
        return;
    }
    StartUsbDetect(0);
}

void MainWindow::OnLanguageChanged(int index)
{
    m_sysConfig.language = ui->cmLanguage->itemData(index).toString();
    WriteSetting(kSystem, QStringLiteral("Language"), m_sysConfig.language);
    if (m_sysConfig.language == QLatin1String("1")) {
        SwitchLanguage(QStringLiteral(":/trans/zh_TW.qm"));
    } else if (m_sysConfig.language == QLatin1String("2")) {
        SwitchLanguage(QStringLiteral(":/trans/en_US.qm"));
    } else {
        SwitchLanguage(QStringLiteral(":/trans/zh_CN.qm"));
    }
}

void MainWindow::OnSelectImagePath()
{
    const QString dir =
        QFileDialog::getExistingDirectory(this, tr("选择文件夹"), m_homeDir, QFileDialog::ShowDirsOnly);
    if (dir.isEmpty()) {
        return;
    }
    const QFileInfo info(dir);
    if (!info.isReadable() || !info.isWritable()) {
        QMessageBox::critical(this, tr("错误"), tr("路径无读写权限"));
        return;
    }
    m_sysConfig.filePath = dir;
    ui->txtSysImagePath->setText(dir);
    m_savePath = dir;
    WriteSetting(kScanner, QStringLiteral("FilePath"), dir);
}
