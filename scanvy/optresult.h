#pragma once

#include <QList>
#include <QString>
#include <QVector>

// A numeric option range as text. quant is empty when the device gives no step.
struct SaneScan_Range {
    QString min;
    QString max;
    QString quant;
};

// One SANE option of the open device, described as text and lists so that the
// settings page and the main window never need to touch SANE themselves.
struct Opt_Result {
    QString name;
    int type = 0;            // SANE_Value_Type
    int constraintType = 0;  // SANE_Constraint_Type
    bool isActive = true;
    bool isSettable = true;
    QString unit;            // "pel", "bit", "mm", "dpi", "%", "us" or empty
    SaneScan_Range range;
    QVector<double> wordList;
    QList<QString> stringList;
    QString value;
};
