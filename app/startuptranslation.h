#pragma once

#include <QString>
#include <QTranslator>

#include <memory>

// The catalogues of the stored language, the program's and the toolkit's,
// installed while start-up speaks before the window exists (a refused
// start): its boxes are in that language, their buttons included. The
// window installs the language itself once it is built; these go before.
class StartupTranslation {
public:
    explicit StartupTranslation(const QString& configFile);
    ~StartupTranslation();
    StartupTranslation(const StartupTranslation&) = delete;
    StartupTranslation& operator=(const StartupTranslation&) = delete;

    // Takes both catalogues out again.
    void Remove();

private:
    std::unique_ptr<QTranslator> m_toolkit;
    QTranslator m_program;
    bool m_programInstalled = false;
};
