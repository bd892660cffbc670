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

// One option: `values` are the string list, the range (minimum, maximum,
// step) or the word list, as `constraint` says.
inline Opt_Result Opt(const char* name, int type, int constraint, const char* value,
                      const QStringList& values = {})
{
    Opt_Result o;
    o.name = QLatin1String(name);
    o.type = type;
    o.constraintType = constraint;
    o.value = QLatin1String(value);
    if (constraint == StringList)
        o.stringList = values;
    else if (constraint == Range)
        o.range = {values.value(0), values.value(1), values.value(2)};
    else if (constraint == WordList)
        for (const QString& word : values)
            o.wordList << word.toDouble();
    return o;
}

// A feeder scanner with a flatbed, offering every option of the test panel.
inline QHash<QString, Opt_Result> FeederDevice()
{
    QHash<QString, Opt_Result> h;
    for (const Opt_Result& o :
         {Opt("source", String, StringList, "Adf-duplex", {"Flatbed", "Adf-front", "Adf-back", "Adf-duplex"}),
          Opt("mode", String, StringList, "Color",
              {"Lineart", "Gray", "Color", "Auto-color-detect", "Multi-image-output"}),
          Opt("resolution", Int, Range, "300", {"50", "600", "1"}),
          Opt("br-x", Fixed, Range, "210", {"0", "215.9", ""}),
          Opt("br-y", Fixed, Range, "297", {"0", "863.6", ""}), Opt("page-auto", Bool, NoConstraint, "1"),
          Opt("multifeed-detection", String, StringList, "Stop", {"Do-not-detect", "Stop"}),
          Opt("mf-overlapping", Bool, NoConstraint, "1"), Opt("mf-length", Bool, NoConstraint, "0"),
          Opt("gamma", Fixed, Range, "1.6", {"0.1", "10", "0.1"}),
          Opt("cropping", String, StringList, "Old_specification",
              {"Old_specification", "Automatic-size", "Overscan"}),
          Opt("jpeg", Bool, NoConstraint, "1"),
          Opt("jpeg-quality", Int, WordList, "4", {"1", "2", "3", "4", "5"}),
          Opt("cleanup-sharpness", String, StringList, "None", {"None"})})
        h.insert(o.name, o);
    return h;
}

} // namespace OptionTables

Q_DECLARE_METATYPE(Opt_Result)
