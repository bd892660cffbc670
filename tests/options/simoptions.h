#pragma once

#include "gdata.h"
#include "optresult.h"
#include "sanescan.h"

#include <QHash>
#include <QList>

// Options of the simulated scanners, read through the scanner session exactly
// as the main window reads them before handing them to a panel.
class SimulatedScanners {
public:
    SimulatedScanners() { m_scan.Init(); }
    ~SimulatedScanners() { m_scan.Exit(); }

    QHash<QString, Opt_Result> Options(const QString& device)
    {
        QList<QString> names;
        if (m_scan.GetDeviceList(names) != SANE_STATUS_GOOD || !names.contains(device))
            return {};
        if (m_scan.OpenDevice(device) != SANE_STATUS_GOOD)
            return {};
        const QHash<QString, Opt_Result> options = m_scan.GetAllOptions();
        m_scan.CloseDevice();
        return options;
    }

    // The scan-area limits the main window probes on the simulated Kx and Wy devices.
    static void FillLimits(bool familyWy = false)
    {
        GData& g = GData::ctx();
        if (familyWy) {
            g.m_resMaxHeight = {{"200", "3000"}, {"300", "1100"}, {"400", "431.8"}, {"600", "431.8"}};
            g.m_pageWidthMax = QStringLiteral("218");
        } else {
            g.m_resMaxHeight = {{"200", "5588"}, {"300", "3175"}, {"400", "1727.2"}, {"600", "863.6"}};
            g.m_pageWidthMax = QStringLiteral("216");
        }
        g.m_flatbedMaxY = QStringLiteral("297");
        g.m_flatbedMaxX = QStringLiteral("215.9");
    }

private:
    SaneScan m_scan;
};
