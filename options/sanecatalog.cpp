#include "sanecatalog.h"

#include <QByteArray>
#include <QMutex>
#include <QMutexLocker>

#include <clocale>
#include <cstring>
#include <libintl.h>

namespace {

const char kDomain[] = "sane-backends";

QMutex& Lock()
{
    static QMutex lock;
    return lock;
}

// The chosen language as gettext's language list.
QByteArray& Language()
{
    static QByteArray language;
    return language;
}

} // namespace

namespace SaneCatalog {

void SetLanguage(const QString& localeName)
{
    QMutexLocker locker(&Lock());
    // gettext reads the language list only when the messages locale is not
    // the plain "C" one; the built-in UTF-8 variant of it is always there.
    const char* messages = std::setlocale(LC_MESSAGES, nullptr);
    if (messages == nullptr || std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0) {
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    }
    Language() = localeName.toUtf8();
    bind_textdomain_codeset(kDomain, "UTF-8");
    // Setting the domain again makes gettext forget the texts it has looked
    // up in the previous language.
    textdomain(textdomain(nullptr));
}

QString Translate(const QString& text)
{
    if (text.isEmpty()) {
        return text;
    }
    QMutexLocker locker(&Lock());
    if (Language().isEmpty()) {
        return text;
    }
    // The language list is set only for the look-up: programs the process
    // starts keep the user's own environment.
    const bool hadLanguage = qEnvironmentVariableIsSet("LANGUAGE");
    const QByteArray previous = qgetenv("LANGUAGE");
    qputenv("LANGUAGE", Language());
    const QByteArray id = text.toUtf8();
    const QString translated = QString::fromUtf8(dgettext(kDomain, id.constData()));
    if (hadLanguage) {
        qputenv("LANGUAGE", previous);
    } else {
        qunsetenv("LANGUAGE");
    }
    return translated;
}

} // namespace SaneCatalog
