#pragma once

#include <QString>

class QWidget;

// How a binding produces the value it sends.
enum ParamType {
    // The value is read from the widget.
    ParamNormal = 1,
    // The value is the binding's fixed text, sent only while the widget is
    // enabled (a check box: enabled and checked). The widget belongs to another
    // binding and only switches this option on or off.
    ParamFixed = 4,
};

// One SANE option bound to a widget of a panel.
struct ParamConfig {
    QWidget* widget = nullptr; // owned by the panel's widget tree
    QString optionName;
    ParamType paramType = ParamNormal;
    QString defaultValue; // used when the device has no value; the fixed text for ParamFixed
};

// One option's widget state in a snapshot of the panel.
struct ParamConfigCMP {
    QString optionName;
    bool enabled = false;
    QString value;
};
