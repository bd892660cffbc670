// Pictures of the main window's three pages for the documentation:
//   scanvy-screenshot <out-dir>
// Runs on the current display (for example under xvfb-run) with a private
// home and work folder, fills the page list with a few drawn sample sheets
// and writes image.png, scansettings.png and systemsettings.png. With
// SANE_CONFIG_DIR pointing at the simulator, the settings page shows the
// panel of the first simulated scanner.
#include "imageviewwidget.h"
#include "mainwindow.h"
#include "optionscontainerwidget.h"
#include "sanescan.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFont>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

namespace {
QImage SampleSheet(int number)
{
    QImage sheet(620, 877, QImage::Format_RGB32);
    sheet.fill(Qt::white);
    QPainter p(&sheet);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(34);
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0x20, 0x30, 0x40));
    p.drawText(QRect(60, 60, 500, 60), Qt::AlignLeft, QStringLiteral("示例文档 第%1页").arg(number));
    p.setPen(QPen(QColor(0x90, 0x9c, 0xa8), 6));
    for (int i = 0; i < 17; ++i) {
        const int y = 170 + i * 30;
        const int end = (i % 5 == 4) ? 330 : 560;
        p.drawLine(60, y, end, y);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor::fromHsv(number * 70 % 360, 90, 230));
    p.drawRect(60, 700, 200, 120);
    return sheet;
}

// Fills the settings page from the first scanner SANE lists, as the
// start-up job does.
void ShowFirstScanner(MainWindow* window, SaneScan& sane)
{
    QList<QString> devices;
    sane.Init();
    if (sane.GetDeviceList(devices) != 0 || devices.isEmpty() || sane.OpenDevice(devices.first()) != 0) {
        return;
    }
    const QHash<QString, Opt_Result> options = sane.GetAllOptions();
    sane.CloseDevice();
    auto* container = window->findChild<OptionsContainerWidget*>();
    container->InitScannerList(devices);
    container->InitWidgetByOption(options, false);
    container->show();
    window->SetScannerLabel(devices.first());
    window->SetPassManual();
}

bool Grab(QWidget* window, const QString& path)
{
    QTest::qWait(300);
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "scanvy-screenshot: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: scanvy-screenshot <out-dir>\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir home;
    QTemporaryDir tmp;
    const QString work = tmp.path() + QStringLiteral("/zir/scanvy");

    auto* window = new MainWindow(home.path(), work);
    window->show();
    SaneScan sane;
    ShowFirstScanner(window, sane);
    auto* view = window->findChild<ImageViewWidget*>();
    const QString pages = work + QStringLiteral("/scanimages");
    QDir().mkpath(pages);
    for (int i = 1; i <= 4; ++i) {
        const QString path = QStringLiteral("%1/sample%2.png").arg(pages).arg(i);
        SampleSheet(i).save(path);
        view->AddImage(path);
    }
    view->ClearItemSelction();
    view->Delete(); // announces the list to the window
    view->SetSelection(1);
    window->EnableMenu(true);
    window->RefreshPageButtons();

    bool ok = Grab(window, out + QStringLiteral("/image.png"));
    window->findChild<QAction*>(QStringLiteral("actionScanConfig"))->trigger();
    ok = Grab(window, out + QStringLiteral("/scansettings.png")) && ok;
    window->findChild<QAction*>(QStringLiteral("actionSystemConfig"))->trigger();
    ok = Grab(window, out + QStringLiteral("/systemsettings.png")) && ok;
    window->findChild<QAction*>(QStringLiteral("actionImageView"))->trigger();
    delete window;
    sane.Exit();
    return ok ? 0 : 1;
}
