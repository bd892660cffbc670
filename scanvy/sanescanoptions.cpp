// Option access of SaneScan: option records, value setting, resolution.
#include "sanescan.h"

#include "optionvalueparser.h"
#include "saneoptions.h"
#include "scanjob.h"
#include "scannerlog.h"

#include <QByteArray>
#include <QVector>

#include <cstdio>
#include <cstring>

namespace {

QString UnitText(SANE_Unit unit)
{
    switch (unit) {
    case SANE_UNIT_PIXEL:
        return QStringLiteral("pel");
    case SANE_UNIT_BIT:
        return QStringLiteral("bit");
    case SANE_UNIT_MM:
        return QStringLiteral("mm");
    case SANE_UNIT_DPI:
        return QStringLiteral("dpi");
    case SANE_UNIT_PERCENT:
        return QStringLiteral("%");
    case SANE_UNIT_MICROSECOND:
        return QStringLiteral("us");
    default:
        return QString();
    }
}

QString FixedText(SANE_Word w)
{
    return QString::asprintf("%g", SANE_UNFIX(w));
}

// Word values as text and back: integers by "%d", fixed-point values by
// "%g" (which keeps six significant digits); other types stay 0.
void DescribeWordList(const SANE_Option_Descriptor* d, Opt_Result& r)
{
    const SANE_Word* list = d->constraint.word_list;
    if (list == nullptr)
        return;
    r.wordList.resize(list[0]);
    for (int i = 0; i < list[0]; ++i) {
        if (d->type == SANE_TYPE_INT)
            r.wordList[i] = QString::asprintf("%d", list[i + 1]).toDouble();
        else if (d->type == SANE_TYPE_FIXED)
            r.wordList[i] = FixedText(list[i + 1]).toDouble();
    }
    r.unit = UnitText(d->unit);
}

// Bounds as the device gives them; a zero step leaves quant empty.
void DescribeRange(const SANE_Option_Descriptor* d, Opt_Result& r)
{
    const SANE_Range* range = d->constraint.range;
    if (range == nullptr)
        return;
    const auto text = [d](SANE_Word w) {
        return d->type == SANE_TYPE_INT ? QString::asprintf("%d", w) : FixedText(w);
    };
    r.range.min = text(range->min);
    r.range.max = text(range->max);
    if (range->quant != 0)
        r.range.quant = text(range->quant);
    r.unit = UnitText(d->unit);
}

void DescribeConstraint(const SANE_Option_Descriptor* d, Opt_Result& r)
{
    if (d->type == SANE_TYPE_BOOL || d->type == SANE_TYPE_BUTTON)
        return;
    switch (d->constraint_type) {
    case SANE_CONSTRAINT_WORD_LIST:
        DescribeWordList(d, r);
        break;
    case SANE_CONSTRAINT_STRING_LIST:
        for (int i = 0; d->constraint.string_list != nullptr && d->constraint.string_list[i] != nullptr; ++i)
            r.stringList.append(QString::fromUtf8(d->constraint.string_list[i]));
        break;
    case SANE_CONSTRAINT_RANGE:
        DescribeRange(d, r);
        break;
    default:
        break;
    }
}

} // namespace

bool SaneScan::SkipOption(const SANE_Option_Descriptor* desc) const
{
    if (desc == nullptr || !(desc->cap & SANE_CAP_SOFT_SELECT) || desc->type == SANE_TYPE_GROUP)
        return true;
    if (desc->cap & SANE_CAP_HARD_SELECT) {
        std::fprintf(stderr, "%s: invalid option caps, SS+HS\n", "prog_name");
        return true;
    }
    if (!(desc->cap & SANE_CAP_SOFT_DETECT)) {
        std::fprintf(stderr, "%s: invalid option caps, SS!SD\n", "prog_name");
        return true;
    }
    return false;
}

int SaneScan::OptionCount()
{
    SANE_Int count = 0;
    if (sane_control_option(handle, 0, SANE_ACTION_GET_VALUE, &count, nullptr) != SANE_STATUS_GOOD)
        return 0;
    return count;
}

Opt_Result SaneScan::DescribeOption(int number, const SANE_Option_Descriptor* d)
{
    Opt_Result r;
    if (d == nullptr)
        return r;
    r.name = QString::fromUtf8(d->name != nullptr ? d->name : "");
    r.type = d->type;
    r.constraintType = d->constraint_type;
    r.isActive = !(d->cap & SANE_CAP_INACTIVE);
    r.isSettable = (d->cap & SANE_CAP_SOFT_SELECT) != 0;
    r.number = number;
    r.title = QString::fromUtf8(d->title != nullptr ? d->title : "");
    r.desc = QString::fromUtf8(d->desc != nullptr ? d->desc : "");
    r.isAdvanced = (d->cap & SANE_CAP_ADVANCED) != 0;
    if (d->type == SANE_TYPE_INT || d->type == SANE_TYPE_FIXED)
        r.valueCount = qMax(1, int(d->size / SANE_Int(sizeof(SANE_Word))));
    DescribeConstraint(d, r);

    const bool oneWord = d->size == SANE_Int(sizeof(SANE_Word));
    if (!r.isActive || (d->type != SANE_TYPE_STRING && !oneWord) || d->size <= 0)
        return r;
    QByteArray value(d->size + 1, '\0');
    if (sane_control_option(handle, number, SANE_ACTION_GET_VALUE, value.data(), nullptr) != SANE_STATUS_GOOD)
        return r;
    SANE_Word word = 0;
    std::memcpy(&word, value.constData(), sizeof word);
    switch (d->type) {
    case SANE_TYPE_BOOL:
    case SANE_TYPE_INT:
        r.value = QString::number(word);
        break;
    case SANE_TYPE_FIXED:
        r.value = FixedText(word);
        break;
    case SANE_TYPE_STRING:
        r.value = QString::fromUtf8(value.constData());
        break;
    default:
        break;
    }
    return r;
}

void SaneScan::GetOption(QString name, Opt_Result& record)
{
    if (handle == nullptr)
        return;
    const int count = OptionCount();
    int found = 0;
    const QByteArray wanted = name.toUtf8();
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if (SkipOption(d))
            continue;
        if (d->name != nullptr && wanted == d->name) {
            found = i;
            break;
        }
    }
    const Opt_Result r = DescribeOption(found, sane_get_option_descriptor(handle, found));
    // Fields that the description leaves untouched keep the caller's values.
    record.name = r.name;
    record.type = r.type;
    record.constraintType = r.constraintType;
    record.isActive = r.isActive;
    record.isSettable = r.isSettable;
    if (!r.unit.isEmpty())
        record.unit = r.unit;
    if (!r.range.min.isEmpty() || !r.range.max.isEmpty())
        record.range = r.range;
    if (!r.wordList.isEmpty())
        record.wordList = r.wordList;
    if (!r.stringList.isEmpty())
        record.stringList = r.stringList;
    if (!r.value.isNull())
        record.value = r.value;
}

QHash<QString, Opt_Result> SaneScan::GetAllOptions()
{
    if (handle == nullptr)
        return options;
    optionIndex.clear();
    options.clear();
    const int count = OptionCount();
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if (SkipOption(d))
            continue;
        const Opt_Result r = DescribeOption(i, d);
        optionIndex.insert(i, r.name);
        options.insert(r.name, r);
    }
    return options;
}

QList<Opt_Result> SaneScan::DescribeAllOptions()
{
    QList<Opt_Result> list;
    if (handle == nullptr)
        return list;
    QString group;
    const int count = OptionCount();
    for (int i = 1; i < count; ++i) {
        const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, i);
        if (d == nullptr)
            continue;
        if (d->type == SANE_TYPE_GROUP) {
            group = QString::fromUtf8(d->title != nullptr ? d->title : "");
            continue;
        }
        // Neither settable nor readable (hard select only): nothing to show.
        if (d->name == nullptr || d->name[0] == '\0' || !(d->cap & SANE_CAP_SOFT_DETECT))
            continue;
        Opt_Result r = DescribeOption(i, d);
        r.group = group;
        // Settable only through the device itself: the option access refuses it.
        if (d->cap & SANE_CAP_HARD_SELECT)
            r.isSettable = false;
        list.append(r);
    }
    return list;
}

int SaneScan::TakeSetInfo()
{
    const int info = setInfo;
    setInfo = 0;
    return info;
}

bool SaneScan::SetOption(QString name, QString value)
{
    if (handle == nullptr)
        return false;
    const int number = optionIndex.key(name, -1);
    if (number < 0)
        return true;
    const QByteArray text = value.toUtf8();
    const QByteArray optName = name.toUtf8();
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, number);
    if (d == nullptr) {
        std::fprintf(stderr, "%s: ignored request to set invalid option %d\n", kProgramName, number);
        return true;
    }
    if (d->cap & SANE_CAP_INACTIVE) {
        std::fprintf(stderr, "%s: attempted to set inactive option %s\n", kProgramName, optName.constData());
        return true;
    }
    if ((d->cap & SANE_CAP_AUTOMATIC) &&
        value.left(4).compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
        const SANE_Status s = sane_control_option(handle, number, SANE_ACTION_SET_AUTO, nullptr, nullptr);
        if (s != SANE_STATUS_GOOD)
            std::fprintf(stderr, "%s: failed to set option --%s to automatic (%s)\n", kProgramName,
                         optName.constData(), sane_strstatus(s));
        return true;
    }

    switch (d->type) {
    case SANE_TYPE_BOOL: {
        SANE_Word flag = SANE_FALSE;
        if (value.size() <= 3 && QStringLiteral("yes").startsWith(value, Qt::CaseInsensitive)) {
            flag = SANE_TRUE;
        } else if (value.size() <= 2 && QStringLiteral("no").startsWith(value, Qt::CaseInsensitive)) {
            flag = SANE_FALSE;
        } else {
            std::fprintf(stderr, "%s: option --%s: bad option value `%s'\n", kProgramName,
                         optName.constData(), text.constData());
            return true;
        }
        SetOptionValue(number, &flag, optName);
        break;
    }
    case SANE_TYPE_INT:
    case SANE_TYPE_FIXED:
        SetWordOption(number, d, text);
        break;
    case SANE_TYPE_STRING: {
        if (d->size <= 0)
            break;
        QByteArray buf(d->size, '\0');
        std::memcpy(buf.data(), text.constData(), size_t(qMin(text.size(), d->size - 1)));
        SetOptionValue(number, buf.data(), optName);
        break;
    }
    case SANE_TYPE_BUTTON: {
        SANE_Word zero = 0;
        SetOptionValue(number, &zero, optName);
        break;
    }
    default:
        std::fprintf(stderr, "%s: duh, got unknown option type %d\n", kProgramName, int(d->type));
        break;
    }
    return true;
}

void SaneScan::SetWordOption(int number, const SANE_Option_Descriptor* d, const QByteArray& value)
{
    const int count = d->size / int(sizeof(SANE_Word));
    OptionValueParser parser(QByteArray(d->name != nullptr ? d->name : ""), d->type, d->unit);
    OptionValueParser::Result parsed = parser.Parse(value, count);
    for (const QString& line : parsed.messages)
        std::fputs(line.toUtf8().constData(), stderr);
    if (!parsed.ok || count <= 0)
        return; // an unreadable element changes nothing on the device
    SetOptionValue(number, parsed.words.data(), QByteArray(d->name));
}

void SaneScan::SetOptionValue(int number, void* value, const QByteArray& requestedName)
{
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(handle, number);
    if (d == nullptr) {
        std::fprintf(stderr, "%s: ignored request to set invalid option %d\n", kProgramName, number);
        return;
    }
    if (d->cap & SANE_CAP_INACTIVE) {
        std::fprintf(stderr, "%s: ignored request to set inactive option %s\n", kProgramName,
                     requestedName.constData());
        return;
    }
    const bool oneWord = d->size == SANE_Int(sizeof(SANE_Word));
    SANE_Word requested = 0;
    if (oneWord)
        std::memcpy(&requested, value, sizeof requested);
    SANE_Int info = 0;
    const SANE_Status s = sane_control_option(handle, number, SANE_ACTION_SET_VALUE, value, &info);
    if (s != SANE_STATUS_GOOD) {
        std::fprintf(stderr, "%s: setting of option --%s failed (%s)\n", kProgramName,
                     requestedName.constData(), sane_strstatus(s));
        return;
    }
    setInfo |= info;
    if ((info & SANE_INFO_INEXACT) && oneWord) {
        SANE_Word stored = 0;
        std::memcpy(&stored, value, sizeof stored);
        if (d->type == SANE_TYPE_INT)
            std::fprintf(stderr, "%s: rounded value of %s from %d to %d\n", kProgramName,
                         requestedName.constData(), requested, stored);
        else if (d->type == SANE_TYPE_FIXED)
            std::fprintf(stderr, "%s: rounded value of %s from %g to %g\n", kProgramName,
                         requestedName.constData(), SANE_UNFIX(requested), SANE_UNFIX(stored));
    }
}

int SaneScan::get_resolution()
{
    // One reading of the handle: the scan loop calls this while a close on
    // another thread may clear it.
    SANE_Handle h = handle;
    if (h == nullptr)
        return kDefaultResolution;
    const int number = optionIndex.key(SaneOption::kResolution, -1);
    if (number < 0)
        return kDefaultResolution;
    const SANE_Option_Descriptor* d = sane_get_option_descriptor(h, number);
    if (d == nullptr)
        return kDefaultResolution;
    SANE_Word word = 0;
    if (d->size != SANE_Int(sizeof(SANE_Word)) ||
        sane_control_option(h, number, SANE_ACTION_GET_VALUE, &word, nullptr) != SANE_STATUS_GOOD)
        return kDefaultResolution;
    return d->type == SANE_TYPE_INT ? word : int(SANE_UNFIX(word));
}
