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
    int type = 0;           // SANE_Value_Type
    int constraintType = 0; // SANE_Constraint_Type
    bool isActive = true;
    bool isSettable = true;
    QString unit; // "pel", "bit", "mm", "dpi", "%", "us" or empty
    SaneScan_Range range;
    QVector<double> wordList;
    QList<QString> stringList;
    QString value;
    // How a panel built from the descriptors lays the option out: its number
    // on the device (its place), title and description, the group it follows, whether the
    // device calls it advanced, and how many words it holds (above one: a
    // vector such as a gamma table).
    int number = 0;
    QString title;
    QString desc;
    QString group;
    bool isAdvanced = false;
    int valueCount = 1;
};
