#include "startuptranslation.h"

#include "sysconfigpage.h"

#include <QCoreApplication>

StartupTranslation::StartupTranslation(const QString& configFile)
{
    const QString locale = SysConfigPage::StoredLocaleName(configFile);
    m_toolkit.reset(SysConfigPage::NewToolkitTranslator(locale, nullptr, true));
    if (m_toolkit) {
        QCoreApplication::installTranslator(m_toolkit.get());
    }
    // Last, so that it is asked first.
    if (m_program.load(SysConfigPage::TranslationFileOf(locale))) {
        m_programInstalled = QCoreApplication::installTranslator(&m_program);
    }
}

StartupTranslation::~StartupTranslation()
{
    Remove();
}

void StartupTranslation::Remove()
{
    if (m_programInstalled) {
        QCoreApplication::removeTranslator(&m_program);
        m_programInstalled = false;
    }
    if (m_toolkit) {
        QCoreApplication::removeTranslator(m_toolkit.get());
        m_toolkit.reset();
    }
}
