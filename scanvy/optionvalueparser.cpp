#include "optionvalueparser.h"

#include "scannerlog.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// Rounds to the nearest integer with halves away from zero, clamped to the
// range of a SANE word.
SANE_Word ToWord(double v)
{
    if (std::isnan(v))
        return 0;
    const double r = v < 0 ? std::ceil(v - 0.5) : std::floor(v + 0.5);
    if (r >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (r <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<SANE_Word>(r);
}

bool IsSeparator(char c)
{
    return c == ',' || c == '-';
}

} // namespace

OptionValueParser::OptionValueParser(QByteArray optionName, SANE_Value_Type type, SANE_Unit unit)
    : m_name(std::move(optionName)), m_type(type), m_unit(unit)
{
}

QString OptionValueParser::Message(const char* format, const QString& rest) const
{
    return QString::asprintf(format, kProgramName, m_name.constData(), rest.toUtf8().constData());
}

double OptionValueParser::ApplyUnit(const char*& rest, double value, bool* failed, Result& result) const
{
    switch (m_unit) {
    case SANE_UNIT_BIT:
        if (*rest == 'b') {
            ++rest;
        } else if (*rest == 'B') {
            ++rest;
            value *= 8;
        }
        break;
    case SANE_UNIT_MM:
        if (std::strcmp(rest, "mm") == 0) {
            rest += 2;
        } else if (std::strcmp(rest, "cm") == 0) {
            rest += 2;
            value *= 10;
        } else if (std::strcmp(rest, "in") == 0) {
            rest += 2;
            value *= 25.4;
        } else if (*rest == '"') {
            ++rest;
            value *= 25.4;
        } else if (*rest != '\0' && !IsSeparator(*rest)) {
            // A separator means "no unit on this element", so that vectors
            // of lengths can be given as "10,20,30mm".
            result.messages << Message("%s: option --%s: illegal unit (rest of option: %s)\n",
                                       QString::fromUtf8(rest));
            *failed = true;
        }
        break;
    case SANE_UNIT_DPI:
        if (std::strcmp(rest, "dpi") == 0)
            rest += 3;
        break;
    case SANE_UNIT_PERCENT:
        if (*rest == '%')
            ++rest;
        break;
    case SANE_UNIT_MICROSECOND:
        if (std::strcmp(rest, "us") == 0)
            rest += 2;
        break;
    default:
        break;
    }
    return value;
}

const char* OptionValueParser::ParseElement(const char* p, SANE_Word* word, Result& result) const
{
    char* end = nullptr;
    double value = 0;
    if (m_type == SANE_TYPE_FIXED)
        value = std::strtod(p, &end) * 65536.0;
    else
        value = static_cast<double>(std::strtol(p, &end, 10));
    if (end == p) {
        result.messages << Message("%s: option --%s: bad option value (rest of option: %s)\n",
                                   QString::fromUtf8(p));
        value = 0;
    }
    const char* rest = end;
    bool failed = false;
    value = ApplyUnit(rest, value, &failed, result);
    if (failed)
        return nullptr;
    *word = ToWord(value);
    return rest;
}

const char* OptionValueParser::ParseIndex(const char* p, long* index, Result& result) const
{
    char* end = nullptr;
    *index = std::strtol(p + 1, &end, 10);
    if (end == p + 1 || *end != ']') {
        result.messages << Message("%s: option --%s: closing bracket missing (rest of option: %s)\n",
                                   QString::fromUtf8(end));
        // Go on after the character that stopped the number, never past the end.
        return *end != '\0' ? end + 1 : end;
    }
    return end + 1;
}

OptionValueParser::Result OptionValueParser::Parse(const QByteArray& text, int wordCount) const
{
    Result result;
    result.words.fill(0, qMax(0, wordCount));
    const char* p = text.constData();
    long index = 0;
    if (*p == '[')
        p = ParseIndex(p, &index, result);

    long prevIndex = 0;
    SANE_Word prevValue = 0;
    char separator = '\0';
    for (;;) {
        if (index < 0 || index >= wordCount) {
            result.messages << QString::asprintf("%s: option --%s: index %d out of range [0..%ld]\n",
                                                 kProgramName, m_name.constData(), static_cast<int>(index),
                                                 static_cast<long>(wordCount) - 1);
            break;
        }
        SANE_Word value = 0;
        const char* after = ParseElement(p, &value, result);
        if (after == nullptr) {
            result.ok = false;
            break;
        }
        if (*after != '\0' && !IsSeparator(*after))
            result.messages << Message("%s: option --%s: illegal separator (rest of option: %s)\n",
                                       QString::fromUtf8(after));
        result.words[index] = value;
        if (separator == '-' && index > prevIndex + 1) {
            const double step =
                (static_cast<double>(value) - prevValue) / static_cast<double>(index - prevIndex);
            double running = prevValue;
            for (long i = prevIndex + 1; i < index; ++i) {
                running += step;
                result.words[i] = static_cast<SANE_Word>(running);
            }
        }
        if (!IsSeparator(*after))
            break;
        prevIndex = index;
        prevValue = value;
        separator = *after;
        p = after + 1;
        if (*p == '[')
            p = ParseIndex(p, &index, result);
        else
            ++index;
    }
    return result;
}
