#include "sanecatalog.h"

#include <QByteArray>

#include <clocale>
#include <cstring>
#include <libintl.h>

namespace {
const char kDomain[] = "sane-backends";
} // namespace

namespace SaneCatalog {

void SetLanguage(const QString& localeName)
{
    // gettext reads the language list only when the messages locale is not
    // the plain "C" one; the built-in UTF-8 variant of it is always there.
    const char* messages = std::setlocale(LC_MESSAGES, nullptr);
    if (messages == nullptr || std::strcmp(messages, "C") == 0 || std::strcmp(messages, "POSIX") == 0) {
        std::setlocale(LC_MESSAGES, "C.UTF-8");
    }
    qputenv("LANGUAGE", localeName.toUtf8());
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
    const QByteArray id = text.toUtf8();
    return QString::fromUtf8(dgettext(kDomain, id.constData()));
}

} // namespace SaneCatalog
