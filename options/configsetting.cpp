#include "configsetting.h"

#include <QSettings>

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
    return m_settings->status() == QSettings::NoError;
}

QString ConfigSetting::FilePath() const
{
    return m_settings->fileName();
}
