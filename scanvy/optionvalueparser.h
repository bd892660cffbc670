#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <sane/sane.h>

// Turns the text given for an integer or fixed-point option into the words
// to set: numbers with an optional unit suffix, comma-separated vectors,
// bracketed indices ("[3]12") and linear ramps ("0-255"). Problems are
// collected as the diagnostic lines the scanner layer prints on stderr.
class OptionValueParser {
public:
    struct Result {
        QVector<SANE_Word> words; // always `wordCount` entries, 0 where not given
        bool ok = true;           // false when an element could not be read (illegal unit)
        QStringList messages;     // complete lines, each ending in '\n'
    };

    OptionValueParser(QByteArray optionName, SANE_Value_Type type, SANE_Unit unit);

    Result Parse(const QByteArray& text, int wordCount) const;

private:
    // Reads one number with its unit suffix starting at `p`. Returns the
    // position after it, or nullptr when the element fails.
    const char* ParseElement(const char* p, SANE_Word* word, Result& result) const;
    // Reads "[n]" at `p` (which points at '['); returns the position after it.
    const char* ParseIndex(const char* p, long* index, Result& result) const;
    double ApplyUnit(const char*& rest, double value, bool* failed, Result& result) const;
    QString Message(const char* format, const QString& rest) const;

    QByteArray m_name;
    SANE_Value_Type m_type;
    SANE_Unit m_unit;
};
