#include "ocrlanguage.h"

QList<OcrLanguage> OcrLanguages()
{
    return {OcrLanguage::None, OcrLanguage::SimplifiedChinese, OcrLanguage::TraditionalChinese,
            OcrLanguage::English};
}

QString OcrLanguageText(OcrLanguage language)
{
    switch (language) {
    case OcrLanguage::SimplifiedChinese:
        return QStringLiteral("简体中文+英文");
    case OcrLanguage::TraditionalChinese:
        return QStringLiteral("繁體中文+英文");
    case OcrLanguage::English:
        return QStringLiteral("英文");
    case OcrLanguage::None:
        break;
    }
    return QStringLiteral("不识别");
}

QString OcrLanguageKey(OcrLanguage language)
{
    const QStringList sets = OcrDataSets(language);
    return sets.isEmpty() ? QStringLiteral("none") : sets.join(QLatin1Char('+'));
}

OcrLanguage OcrLanguageFromKey(const QString& key)
{
    for (OcrLanguage language : OcrLanguages()) {
        if (OcrLanguageKey(language) == key) {
            return language;
        }
    }
    return OcrLanguage::None;
}

QStringList OcrDataSets(OcrLanguage language)
{
    switch (language) {
    case OcrLanguage::SimplifiedChinese:
        return {QStringLiteral("chi_sim"), QStringLiteral("eng")};
    case OcrLanguage::TraditionalChinese:
        return {QStringLiteral("chi_tra"), QStringLiteral("eng")};
    case OcrLanguage::English:
        return {QStringLiteral("eng")};
    case OcrLanguage::None:
        break;
    }
    return {};
}

QString OcrDataPackage(const QString& code)
{
    return QStringLiteral("tesseract-ocr-") + QString(code).replace(QLatin1Char('_'), QLatin1Char('-'));
}
