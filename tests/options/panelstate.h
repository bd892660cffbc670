#pragma once

#include "parentscanneroptions.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QStringList>
#include <QWidget>

#include <algorithm>

// The whole visible state of a settings panel as text, for comparing a panel
// with itself at another moment: one line per option widget (value, enabled
// state, range and step, current item and disabled items), then the pairs
// the next scan would send.
namespace PanelState {

inline QList<QWidget*> OptionWidgets(QWidget* panel)
{
    QList<QWidget*> widgets;
    for (QWidget* w : panel->findChildren<QWidget*>()) {
        if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractSpinBox*>(w) || qobject_cast<QCheckBox*>(w))
            widgets << w;
    }
    std::sort(widgets.begin(), widgets.end(),
              [](QWidget* a, QWidget* b) { return a->objectName() < b->objectName(); });
    return widgets;
}

inline bool ItemEnabled(const QComboBox* combo, int i)
{
    return combo->model()->flags(combo->model()->index(i, 0)) & Qt::ItemIsEnabled;
}

inline QString Line(QWidget* w)
{
    QString line = w->objectName() + (w->isEnabled() ? " on " : " off ");
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        line += QString("item %1 (%2) of %3, disabled items:")
                    .arg(combo->currentIndex())
                    .arg(combo->currentData().toString())
                    .arg(combo->count());
        for (int i = 0; i < combo->count(); ++i) {
            if (!ItemEnabled(combo, i))
                line += QString(" %1").arg(i);
        }
    } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        line += QString("%1 in %2..%3 step %4")
                    .arg(spin->value())
                    .arg(spin->minimum())
                    .arg(spin->maximum())
                    .arg(spin->singleStep());
    } else if (auto* dspin = qobject_cast<QDoubleSpinBox*>(w)) {
        line += QString("%1 in %2..%3 step %4, %5 decimals")
                    .arg(dspin->value())
                    .arg(dspin->minimum())
                    .arg(dspin->maximum())
                    .arg(dspin->singleStep())
                    .arg(dspin->decimals());
    } else if (auto* box = qobject_cast<QCheckBox*>(w)) {
        line += box->isChecked() ? "checked" : "unchecked";
    }
    return line;
}

inline QStringList Describe(ParentScannerOptions& options)
{
    QStringList lines;
    for (QWidget* w : OptionWidgets(dynamic_cast<QWidget*>(&options)))
        lines << Line(w);
    options.GetParamsForScan();
    QStringList pairs;
    for (const auto& pair : options.m_scanParams)
        pairs << pair.first + '=' + pair.second;
    lines << "scan: " + pairs.join(' ');
    return lines;
}

// The lines that differ, as "want"/"got" pairs.
inline QStringList Differences(const QStringList& expected, const QStringList& actual)
{
    QStringList out;
    for (int i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        if (expected.value(i) != actual.value(i))
            out << "  want " + expected.value(i) + "\n   got " + actual.value(i);
    }
    return out;
}

} // namespace PanelState
