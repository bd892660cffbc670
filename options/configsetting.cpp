#include "configsetting.h"

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <QTemporaryDir>

ConfigSetting::ConfigSetting(const QString& path)
{
    Open(path);
}

ConfigSetting::~ConfigSetting()
{
    delete m_settings;
}

void ConfigSetting::Open(const QString& path)
{
    m_settings = new QSettings(path, QSettings::IniFormat);
    m_settings->setIniCodec("utf8");
}

void ConfigSetting::SetConfigPath(const QString& path)
{
    delete m_settings;
    Open(path);
}

bool ConfigSetting::writeInit(const QString& group, const QString& key, const QString& value)
{
    if (group.isEmpty() || key.isEmpty())
        return false;
    m_settings->beginGroup(group);
    m_settings->setValue(key, value);
    m_settings->endGroup();
    return true;
}

bool ConfigSetting::readInit(const QString& group, const QString& key, QString& value)
{
    value.clear();
    if (group.isEmpty() || key.isEmpty())
        return false;
    value = m_settings->value(group + QLatin1Char('/') + key).toString();
    return true;
}

void ConfigSetting::Clear()
{
    // Re-read first so that keys another writer added since are removed too.
    m_settings->sync();
    m_settings->clear();
}

bool ConfigSetting::Sync()
{
    m_settings->sync();
    const QSettings::Status status = m_settings->status();
    if (status == QSettings::NoError)
        return true;
    if (status == QSettings::AccessError)
        return false;
    // A format error is QSettings remembering that the file it read had
    // lines it could not parse; it stays set after a successful write and
    // would hide a failed one. Judge the write by what the file holds now.
    return RewriteVerified();
}

bool ConfigSetting::RewriteVerified()
{
    const QString path = m_settings->fileName();
    // Within one process QSettings objects on the same file share one cache,
    // which holds the values just set whether or not they reached the disk.
    // What the disk holds is read from a copy under a name of its own.
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("written.ini"));
    if (!dir.isValid() || !QFile::copy(path, copy))
        return false;
    QSettings written(copy, QSettings::IniFormat);
    written.setIniCodec("utf8");
    const QStringList keys = m_settings->allKeys();
    if (written.allKeys().size() != keys.size())
        return false;
    for (const QString& key : keys) {
        if (written.value(key) != m_settings->value(key))
            return false;
    }
    // The file is sound again: start afresh so that the next write is judged on its own.
    delete m_settings;
    Open(path);
    return true;
}

QString ConfigSetting::FilePath() const
{
    return m_settings->fileName();
}
