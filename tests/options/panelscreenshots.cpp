// Renders every tab of the three panels, filled from the simulated scanners,
// into PNG files for a visual check of the forms:
//   panelscreenshots <output folder>
// (run under a display, with the simulator's SANE_CONFIG_DIR and LD_LIBRARY_PATH).
#include "kxscanneroptionswidget.h"
#include "rv920scanneroptionswidget.h"
#include "simoptions.h"
#include "wyscanneroptionswidget.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>

namespace {

int Shoot(QWidget* panel, ParentScannerOptions* options, const QString& device, SimulatedScanners& sim,
          const QString& folder, const QString& prefix)
{
    QTemporaryDir config;
    options->m_configPath = config.path();
    options->m_options = sim.Options(device);
    if (options->m_options.isEmpty())
        return 1;
    options->InitSpecial();
    options->InitWidgetByOption(device, false);
    panel->show();
    auto* tabs = panel->findChild<QTabWidget*>(QStringLiteral("twOptions"));
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        panel->grab().save(QStringLiteral("%1/%2-tab%3.png").arg(folder, prefix).arg(i));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    SimulatedScanners::FillLimits();
    SimulatedScanners sim;
    KxScannerOptionsWidget kx;
    WyScannerOptionsWidget wy;
    RV920ScannerOptionsWidget rv;
    int failures = Shoot(&kx, &kx, QStringLiteral("zylkx:KX-8000"), sim, folder, QStringLiteral("kx"));
    SimulatedScanners::FillLimits(true);
    failures += Shoot(&wy, &wy, QStringLiteral("zylwy:WY200"), sim, folder, QStringLiteral("wy"));
    failures += Shoot(&rv, &rv, QStringLiteral("zyljn:RV920"), sim, folder, QStringLiteral("rv920"));
    return failures;
}
