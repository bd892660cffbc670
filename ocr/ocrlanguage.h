#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The languages a page is recognised in, as the system settings offer them.
// Recognition is off unless the user chooses a language.
enum class OcrLanguage {
    None,               // "不识别"
    SimplifiedChinese,  // "简体中文+英文"
    TraditionalChinese, // "繁體中文+英文"
    English,            // "英文"
};

// Every choice, in the order the settings list them (None first).
QList<OcrLanguage> OcrLanguages();

// The text the settings show for `language`.
QString OcrLanguageText(OcrLanguage language);

// The stored value of `language` in the settings file: "none", "chi_sim+eng",
// "chi_tra+eng" or "eng". These never change.
QString OcrLanguageKey(OcrLanguage language);

// The language of a stored value; an unknown or empty value gives None
// (recognition stays off).
OcrLanguage OcrLanguageFromKey(const QString& key);

// The recognition data sets `language` needs, main language first:
// {"chi_sim", "eng"}; empty for None.
QStringList OcrDataSets(OcrLanguage language);

// The Debian package that installs data set `code`: "chi_sim" gives
// "tesseract-ocr-chi-sim".
QString OcrDataPackage(const QString& code);
