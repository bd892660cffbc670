#pragma once

#include "optionwidget.h"
#include "parentscanneroptions.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QStringList>
#include <QWidget>
#include <QtTest>

// Drives a panel by object name as a user would: changes emit their signals.
namespace PanelHelpers {

template <typename T> T* Find(QWidget* panel, const QString& name)
{
    T* w = panel->findChild<T*>(name);
    if (!w)
        qWarning("no widget %s", qPrintable(name));
    return w;
}

inline bool Choose(QWidget* panel, const QString& combo, const QString& value)
{
    auto* c = Find<QComboBox>(panel, combo);
    const int index = c ? c->findData(value) : -1;
    if (index < 0)
        return false;
    c->setCurrentIndex(index);
    return true;
}

inline void Check(QWidget* panel, const QString& box, bool on)
{
    Find<QCheckBox>(panel, box)->setChecked(on);
}

inline QString Value(QWidget* panel, const QString& combo)
{
    return Find<QComboBox>(panel, combo)->currentData().toString();
}

inline bool Enabled(QWidget* panel, const QString& name)
{
    return Find<QWidget>(panel, name)->isEnabled();
}

// "name=value" texts of the panel's next scan.
inline QStringList ScanPairs(ParentScannerOptions& options)
{
    options.GetParamsForScan();
    QStringList out;
    for (const auto& pair : options.m_scanParams)
        out << pair.first + QLatin1Char('=') + pair.second;
    return out;
}

inline QStringList Names(const QStringList& pairs)
{
    QStringList out;
    for (const QString& p : pairs)
        out << p.section(QLatin1Char('='), 0, 0);
    return out;
}

// Every binding as "name=value|1" (or "|0" when disabled), in binding order:
// what the panel would save.
inline QStringList State(const ParentScannerOptions& options)
{
    QStringList out;
    for (const ParamConfig& c : options.ParamConfigs())
        out << c.optionName + QLatin1Char('=') + OptionWidget::ValueText(c.widget) +
                   (c.widget->isEnabled() ? QLatin1String("|1") : QLatin1String("|0"));
    return out;
}

} // namespace PanelHelpers
