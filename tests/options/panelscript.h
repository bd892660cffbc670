#pragma once

#include "optionwidget.h"
#include "panelhelpers.h"

#include <QDoubleSpinBox>
#include <QSpinBox>

// A compact way to write user actions and expectations for panel tests.
//   actions:      "cmMode=Gray" (combo by value), "cbPageAuto=1", "sbResolution=300", "dsbBry=400.5"
//   expectations: "+name" enabled, "-name" disabled, "name==text" value text, "name^=max" maximum
namespace PanelScript {

inline void Act(QWidget* panel, const QStringList& actions)
{
    for (const QString& action : actions) {
        const QString name = action.section(QLatin1Char('='), 0, 0);
        const QString value = action.section(QLatin1Char('='), 1);
        if (name.startsWith(QLatin1String("cm"))) {
            QVERIFY2(PanelHelpers::Choose(panel, name, value), qPrintable(action));
        } else if (name.startsWith(QLatin1String("cb"))) {
            PanelHelpers::Check(panel, name, value == QLatin1String("1"));
        } else if (name.startsWith(QLatin1String("sb"))) {
            PanelHelpers::Find<QSpinBox>(panel, name)->setValue(value.toInt());
        } else if (name.startsWith(QLatin1String("dsb"))) {
            PanelHelpers::Find<QDoubleSpinBox>(panel, name)->setValue(value.toDouble());
        } else {
            QFAIL(qPrintable("unknown action " + action));
        }
    }
}

inline void Expect(QWidget* panel, const QStringList& expectations)
{
    for (const QString& e : expectations) {
        if (e.startsWith(QLatin1Char('+')) || e.startsWith(QLatin1Char('-'))) {
            QVERIFY2(PanelHelpers::Enabled(panel, e.mid(1)) == e.startsWith(QLatin1Char('+')), qPrintable(e));
        } else if (e.contains(QLatin1String("^="))) {
            auto* spin = PanelHelpers::Find<QDoubleSpinBox>(panel, e.section(QLatin1String("^="), 0, 0));
            QVERIFY2(qFuzzyCompare(spin->maximum(), e.section(QLatin1String("^="), 1).toDouble()),
                     qPrintable(e + " but is " + QString::number(spin->maximum())));
        } else if (e.contains(QLatin1String("=="))) {
            QWidget* w = PanelHelpers::Find<QWidget>(panel, e.section(QLatin1String("=="), 0, 0));
            const QString actual = OptionWidget::ValueText(w);
            QVERIFY2(actual == e.section(QLatin1String("=="), 1), qPrintable(e + " but is " + actual));
        } else {
            QFAIL(qPrintable("unknown expectation " + e));
        }
    }
}

} // namespace PanelScript
