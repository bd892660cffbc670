#pragma once

#include <QString>

// The texts the SANE backends give their options (titles, descriptions,
// group names, some values) in the program's language, through the
// backends' own message catalogue "sane-backends", as SANE front ends do.
// A text the catalogue does not know, or a language it has no catalogue
// for, stays as the backend wrote it (English).
namespace SaneCatalog {

// The language of the texts from now on: a locale name such as "zh_CN",
// "zh_TW" or "en_US". User-interface thread.
void SetLanguage(const QString& localeName);

// `text` in the chosen language.
QString Translate(const QString& text);

} // namespace SaneCatalog
