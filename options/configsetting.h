#pragma once

#include <QObject>
#include <QString>

class QSettings;

// Text values in an ini file (UTF-8), addressed by group and key. Used for the
// system settings and for the per-scanner option files.
class ConfigSetting : public QObject {
public:
    explicit ConfigSetting(const QString& path);
    ~ConfigSetting() override;

    // Points the accessor at another file. Pending changes reach the old file first.
    void SetConfigPath(const QString& path);

    // False, and nothing stored, when group or key is empty. The value reaches
    // the file on the next synchronisation, not immediately.
    bool writeInit(const QString& group, const QString& key, const QString& value);

    // value is emptied first. False when group or key is empty; a missing key
    // reads as the empty text and still returns true.
    bool readInit(const QString& group, const QString& key, QString& value);

    // Removes every key of the current file (on the next synchronisation).
    void Clear();

    // Writes pending changes now; true when the file was written (or nothing
    // needed writing) without error. The file is replaced only by a complete
    // new copy, so a failed write leaves the previous contents in place.
    bool Sync();

    QString FilePath() const;

private:
    void Open(const QString& path);
    // After a write over a file that had unreadable lines: true when the
    // file now holds exactly the current values.
    bool RewriteVerified();

    QSettings* m_settings = nullptr;
};
