#pragma once

#include <QMap>
#include <QString>

// Process-wide state shared between the main window, the page list and the
// option panels. Created on first use.
class GData {
public:
    static GData& ctx();

    // False while the scanner list is being rebuilt after a USB change; the
    // page list only offers its scan actions while it is true.
    bool m_scannerReady = true;

    // Largest feeder page height per resolution text ("600", "400", "300",
    // "200"), as millimetre text.
    QMap<QString, QString> m_resMaxHeight;
    QString m_pageWidthMax;
    QString m_flatbedMaxY;
    QString m_flatbedMaxX;

private:
    GData() = default;
};
