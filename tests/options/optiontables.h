#pragma once

#include "optresult.h"

#include <QHash>
#include <QMetaType>
#include <QStringList>

// Option records as the scanner session delivers them, for driving panels.
namespace OptionTables {

// SANE value and constraint types.
enum { Bool = 0, Int = 1, Fixed = 2, String = 3 };
enum { NoConstraint = 0, Range = 1, WordList = 2, StringList = 3 };

inline Opt_Result StringListOpt(const QString& name, const QStringList& list, const QString& value,
                                bool active = true)
{
    Opt_Result o;
    o.name = name;
    o.type = String;
    o.constraintType = StringList;
    o.stringList = list;
    o.value = value;
    o.isActive = active;
    return o;
}

inline Opt_Result RangeOpt(const QString& name, int type, const QString& min, const QString& max,
                           const QString& quant, const QString& value, bool active = true)
{
    Opt_Result o;
    o.name = name;
    o.type = type;
    o.constraintType = Range;
    o.range = {min, max, quant};
    o.value = value;
    o.isActive = active;
    return o;
}

inline Opt_Result WordListOpt(const QString& name, const QVector<double>& words, const QString& value)
{
    Opt_Result o;
    o.name = name;
    o.type = Int;
    o.constraintType = WordList;
    o.wordList = words;
    o.value = value;
    return o;
}

inline Opt_Result BoolOpt(const QString& name, const QString& value, bool active = true)
{
    Opt_Result o;
    o.name = name;
    o.type = Bool;
    o.value = value;
    o.isActive = active;
    return o;
}

// A feeder scanner with a flatbed, offering every option of the test panel.
inline QHash<QString, Opt_Result> FeederDevice()
{
    QHash<QString, Opt_Result> h;
    auto put = [&h](const Opt_Result& o) { h.insert(o.name, o); };
    put(StringListOpt(QStringLiteral("source"),
                      {QStringLiteral("Flatbed"), QStringLiteral("Adf-front"), QStringLiteral("Adf-back"),
                       QStringLiteral("Adf-duplex")},
                      QStringLiteral("Adf-duplex")));
    put(StringListOpt(QStringLiteral("mode"),
                      {QStringLiteral("Lineart"), QStringLiteral("Gray"), QStringLiteral("Color"),
                       QStringLiteral("Auto-color-detect"), QStringLiteral("Multi-image-output")},
                      QStringLiteral("Color")));
    put(RangeOpt(QStringLiteral("resolution"), Int, QStringLiteral("50"), QStringLiteral("600"),
                 QStringLiteral("1"), QStringLiteral("300")));
    put(RangeOpt(QStringLiteral("br-x"), Fixed, QStringLiteral("0"), QStringLiteral("215.9"), QString(),
                 QStringLiteral("210")));
    put(RangeOpt(QStringLiteral("br-y"), Fixed, QStringLiteral("0"), QStringLiteral("863.6"), QString(),
                 QStringLiteral("297")));
    put(BoolOpt(QStringLiteral("page-auto"), QStringLiteral("1")));
    put(StringListOpt(QStringLiteral("multifeed-detection"),
                      {QStringLiteral("Do-not-detect"), QStringLiteral("Stop")}, QStringLiteral("Stop")));
    put(BoolOpt(QStringLiteral("mf-overlapping"), QStringLiteral("1")));
    put(BoolOpt(QStringLiteral("mf-length"), QStringLiteral("0")));
    put(RangeOpt(QStringLiteral("gamma"), Fixed, QStringLiteral("0.1"), QStringLiteral("10"),
                 QStringLiteral("0.1"), QStringLiteral("1.6")));
    put(StringListOpt(
        QStringLiteral("cropping"),
        {QStringLiteral("Old_specification"), QStringLiteral("Automatic-size"), QStringLiteral("Overscan")},
        QStringLiteral("Old_specification")));
    put(BoolOpt(QStringLiteral("jpeg"), QStringLiteral("1")));
    put(WordListOpt(QStringLiteral("jpeg-quality"), {1, 2, 3, 4, 5}, QStringLiteral("4")));
    put(StringListOpt(QStringLiteral("cleanup-sharpness"), {QStringLiteral("None")}, QStringLiteral("None")));
    return h;
}

} // namespace OptionTables

Q_DECLARE_METATYPE(Opt_Result)
