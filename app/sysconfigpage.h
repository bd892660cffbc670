#pragma once

#include "sysconfig.h"

#include <QObject>
#include <QSize>
#include <QString>

#include <memory>

class ConfigSetting;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTranslator;
class QWidget;

// The system-settings page: "SysConfig.ini" read into the page's widgets and
// its in-memory copy, and every committed edit written back at once. The
// values the window works with (save folder, counter, digits, format,
// save after scan) are kept here; the window asks for them.
class SysConfigPage : public QObject {
    Q_OBJECT
public:
    // The page's widgets (they stay the window's).
    struct Widgets {
        QLineEdit* imagePath = nullptr;
        QPushButton* selectPath = nullptr;
        QLineEdit* prefix = nullptr;
        QLineEdit* scanCount = nullptr;
        QComboBox* minCountSize = nullptr;
        QComboBox* imageFormat = nullptr;
        QCheckBox* saveAfterScan = nullptr;
        QCheckBox* showAllScanners = nullptr;
        QComboBox* language = nullptr;
        QLabel* languageLabel = nullptr;
        QComboBox* ocrLanguage = nullptr;
    };

    // `window` parents the page's message boxes and dialogs; `homeDir` is
    // where the folder dialog starts, `defaultSavePath` the save folder when
    // none is stored.
    SysConfigPage(const QString& configFile, const QString& homeDir, const QString& defaultSavePath,
                  const Widgets& widgets, QWidget* window);
    ~SysConfigPage() override;

    // Fills the format and language boxes (before Read).
    void Setup();
    // The widgets' change signals, connected after Read so that reading
    // writes nothing but the missing defaults.
    void Connect();
    void Read();
    // The prefix and counter fields are committed (focus leaves them).
    void SavePrefix();
    void SaveScanCount();
    // Settles the save folder before a save and creates it.
    void EnsureScanPath();
    // The chosen language as a locale name ("zh_CN", "zh_TW", "en_US") and
    // the built-in catalogue of the program's texts in it.
    QString LocaleName() const;
    QString TranslationFile() const;
    // The built-in catalogue of the language stored in `configFile`, read
    // without a page (and without writing): for what is said before the
    // window exists. Simplified Chinese when nothing usable is stored.
    static QString StoredTranslationFile(const QString& configFile);
    // The same as a locale name, and the built-in catalogue of a locale.
    static QString StoredLocaleName(const QString& configFile);
    static QString TranslationFileOf(const QString& locale);
    // The toolkit's texts (standard buttons, file dialogs) in `locale`, to be
    // installed over its Simplified Chinese catalogue: null for Simplified
    // Chinese itself unless `simplified` asks for that catalogue too (when
    // nothing else installs it).
    static QTranslator* NewToolkitTranslator(const QString& locale, QObject* parent, bool simplified);
    // Replaces the program's own translator and the toolkit's one of the
    // chosen language; the texts are the caller's.
    void InstallTranslation(const QString& translationFile);
    // The format box's texts in the current language.
    void Retranslate();

    const SysConfig& Config() const { return m_config; }
    QString SavePath() const { return m_savePath; }
    int Counter() const { return m_counter; }
    // A save wrote `files` files: the counter moves on (stored by StoreCounter).
    void AdvanceCounter(int files) { m_counter += files; }
    void StoreCounter();
    // Stores `counter` unless the stored counter is as high already.
    void KeepCounterAtLeast(int counter);
    int MinDigits() const { return m_minDigits; }
    bool SaveAfterScan() const { return m_saveAfterScan; }
    int FormatIndex() const { return m_formatIndex; }
    QString FormatExtension() const;
    // The extension and the box text of a format index.
    QString FormatExtension(int format) const;
    QString FormatText(int format) const;
    int FormatCount() const;

    // "另存为…" starts in the folder and with the format it used last; an
    // unusable stored folder (gone, not a folder) gives the save folder, an
    // unusable stored format the format of "保存".
    QString SaveAsFolder() const;
    int SaveAsFormat() const;
    void StoreSaveAs(const QString& folder, int format);

    // The stored window size, a replacement kept in memory only, and a size
    // the user gave the window (written, height first).
    QSize WindowSize() const { return QSize(m_config.screenWidth, m_config.screenHeight); }
    void SetWindowSize(const QSize& size);
    void StoreWindowSize(const QSize& size);

    // A stored file-name prefix the program can use: no folder separators,
    // no "..", no control characters, and short enough that every file
    // name made from it (counter, extension, temporary suffixes) fits the
    // 255 bytes of a file name.
    static bool IsUsablePrefix(const QString& prefix);
    static bool PrefixFitsFileName(const QString& prefix);
    // A prefix typed by the user: letters, digits, "_", "-" and ideographs.
    static bool IsValidPrefix(const QString& prefix);
    // The counter stays below this limit (and at least 1).
    static constexpr int kCounterLimit = 20000000;
    // The counter a stored "ScanCount" text gives, kept in its range.
    static int StoredCounter(const QString& text);

signals:
    // The language box chose a translation file.
    void sglLanguageChosen(const QString& translationFile);
    // "ShowAllScanners" changed (already stored).
    void sglShowAllScannersChanged(bool on);
    // The recognition language changed (already stored).
    void sglOcrLanguageChanged(OcrLanguage language);

private slots:
    void OnImageFormatChanged(int index);
    void OnMinCountSizeChanged(int index);
    void OnSaveAfterScanChanged(int state);
    void OnShowAllScannersChanged(int state);
    void OnLanguageChanged(int index);
    void OnOcrLanguageChanged(int index);
    void OnSelectImagePath();

private:
    void InstallToolkitTranslation();
    void ReadSavePath();
    void ReadPrefix();
    void ReadFileFormat();
    void ReadScanCount();
    void ReadMinCountSize();
    void ReadSwitches();
    void ReadLanguageAndSize();
    void ReadOcrLanguage();
    void ReadSaveAs();
    QString ReadSetting(const QString& group, const QString& key) const;
    void WriteSetting(const QString& group, const QString& key, const QString& value);
    static bool IsAllowedPrefixChar(uint codePoint);

    std::unique_ptr<ConfigSetting> m_settings;
    Widgets m_ui;
    QWidget* m_window;
    QString m_homeDir;
    QString m_defaultSavePath;
    QTranslator* m_translator = nullptr;
    // The toolkit's texts in the chosen language, over the Simplified
    // Chinese catalogue installed at start-up (none for Simplified Chinese).
    QTranslator* m_toolkitTranslator = nullptr;

    SysConfig m_config;
    // The values in use: the folder actually used and the save's numbering.
    QString m_savePath;
    int m_counter = 1;
    int m_minDigits = 4;
    bool m_saveAfterScan = false;
    int m_formatIndex = 0;
    // What "另存为…" used last: a folder and a format index (-1: none).
    QString m_saveAsFolder;
    int m_saveAsFormat = -1;
};
