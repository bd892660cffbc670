#include "applog.h"
#include "cancelbuttonrectstyle.h"
#include "execcmd.h"
#include "mainwindow.h"
#include "splashdialog.h"
#include "startupguard.h"
#include "startuptranslation.h"
#include "terminationwatcher.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTranslator>

#include <cstdlib>
#include <unistd.h>

namespace {

// Started by a scanner-button manager: leave it at once and go on in a child.
// Returns false when the process must end with status -1.
bool DetachFromManager()
{
    const pid_t parent = getppid();
    const QString name = ExecCmd(StartupGuard::ParentNameCommand(parent));
    if (!StartupGuard::ShouldDetach(parent, name)) {
        return true;
    }
    const pid_t child = fork();
    if (child < 0) {
        qCInfo(lcApp) << "fork fail";
        return false;
    }
    if (child > 0) {
        _exit(0);
    }
    return true;
}

void RefuseStart(const QString& text)
{
    QMessageBox::critical(nullptr, QObject::tr("错误"), text, QMessageBox::Ok);
    exit(0);
}

} // namespace

int main(int argc, char* argv[])
{
    if (!DetachFromManager()) {
        return -1;
    }

    QApplication app(argc, argv);
#ifndef QT_NO_SESSIONMANAGER
    // At logout the session manager must not close the window the usual way:
    // that would ask the exit question and hold up the logout. The pages are
    // kept by the session's journal and offered at the next start.
    QGuiApplication::setFallbackSessionManagementEnabled(false);
#endif

    // The refusals below speak the language the user chose, buttons
    // included; the window installs the language itself.
    StartupTranslation startupTranslation(MainWindow::ConfigFilePathFor(GetHomePath()));
    if (StartupGuard::IsSudoRefused(geteuid(), getenv("SUDO_UID") != nullptr)) {
        RefuseStart(QObject::tr("不能通过sudo方式运行泽科维扫描软件"));
    }
    // Held until main returns; the kernel releases it however the process ends.
    StartupGuard::InstanceLock instanceLock(StartupGuard::InstanceLockPath(GetHomePath()));
    if (StartupGuard::IsSecondInstance(instanceLock.GetState(), [] {
            return StartupGuard::IsAnotherInstanceRunning(QApplication::applicationDirPath(), ExecCmd,
                                                          StartupGuard::ProcessOwner, geteuid());
        })) {
        RefuseStart(QObject::tr("泽科维扫描软件正在运行"));
    }
    startupTranslation.Remove();

    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral(":/trans/qtbase_zh_CN.qm"))) {
        QApplication::installTranslator(&qtTranslator);
    }
    QApplication::setStyle(new CancelButtonRectStyle);

    auto* mainWindow = new MainWindow;
    // Logout and shutdown end the program at once, without the exit
    // question; the session's pages are offered back at the next start.
    TerminationWatcher termination([window = QPointer<MainWindow>(mainWindow)](int) {
        if (window) { // gone once the window has been closed
            window->EndAtOnce();
        }
    });
    QObject::connect(mainWindow, &MainWindow::sglJobDone, &termination, &TerminationWatcher::Rearm);
    auto* splash = new SplashDialog(mainWindow, QStringLiteral("0"), nullptr);
    QObject::connect(splash, &SplashDialog::sglSplashFinished, mainWindow, [splash, mainWindow] {
        splash->close();
        mainWindow->show();
    });
    splash->open();
    splash->DoInitJob();
    return app.exec();
}
