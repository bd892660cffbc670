#include "windowfixture.h"

#include "deviceopt.h"
#include "execcmd.h"
#include "imageviewwidget.h"
#include "optionscontainerwidget.h"
#include "parentscanneroptions.h"
#include "sanescan.h"
#include "simpage.h"
#include "splashdialog.h"
#include "usbhotplugthread.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

WindowFixture::WindowFixture() : home(new QTemporaryDir), tmp(new QTemporaryDir), answerer(QMessageBox::Yes)
{
    PrependSimToolsToPath();
}

WindowFixture::WindowFixture(const QString& homePath, const QString& tmpPath)
    : home(new QTemporaryDir), tmp(new QTemporaryDir), answerer(QMessageBox::Yes), m_homePath(homePath),
      m_tmpPath(tmpPath)
{
    PrependSimToolsToPath();
}

WindowFixture::~WindowFixture()
{
    if (window) {
        // Close without the exit question: pages may still be listed.
        delete window.data();
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

DeviceOpt WindowFixture::SimDeviceOpt()
{
    return DeviceOpt(
        [](const QString& command) {
            QString line = command;
            line.replace(QStringLiteral("/opt/zylkx/consumables/"), QStringLiteral(SCANVY_SIM_BIN_DIR "/"));
            line.replace(QStringLiteral("/opt/zylwy/consumables/"), QStringLiteral(SCANVY_SIM_BIN_DIR "/"));
            return ExecCmd(line);
        },
        GetOSName);
}

void WindowFixture::PrependSimToolsToPath()
{
    const QByteArray bin(SCANVY_SIM_BIN_DIR);
    const QByteArray path = qgetenv("PATH");
    if (!path.startsWith(bin + ':')) {
        qputenv("PATH", bin + ':' + path);
    }
}

void WindowFixture::Configure(const QMap<QString, QString>& entries) const
{
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    for (auto it = entries.begin(); it != entries.end(); ++it)
        settings.setValue(it.key(), it.value());
}

QString WindowFixture::Setting(const QString& key) const
{
    return QSettings(SettingsFile(), QSettings::IniFormat).value(key).toString();
}

bool WindowFixture::AddTestBackend(const QString& dir, bool alone)
{
    QFile dll(dir + QStringLiteral("/dll.conf"));
    if (!dll.open(alone ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::Append) ||
        dll.write("test\n") != 5)
        return false;
    dll.close();
    QFile::remove(dir + QStringLiteral("/test.conf"));
    return QFile::copy(QStringLiteral(SCANVY_SOURCE_DIR "/sim/test-backend.conf"),
                       dir + QStringLiteral("/test.conf"));
}

void WindowFixture::WriteScenario(const QString& lines)
{
    if (!SimPage::WriteScenario(lines)) {
        qFatal("cannot write the scenario");
    }
}

bool WindowFixture::Start(bool* quitCalled)
{
    window = new MainWindow(HomePath(), TmpPath() + QStringLiteral("/zir/scanvy"));
    window->SetQuitHandler([this](int status) { quitStatus = status; });
    window->SetDeviceOpt(SimDeviceOpt());
    QObject::connect(window.data(), &MainWindow::sglJobDone, [this] { ++jobsDone; });
    QSignalSpy done(window.data(), &MainWindow::sglStartupDone);
    auto* splash = new SplashDialog(window, QStringLiteral("0"));
    QObject::connect(splash, &SplashDialog::sglSplashFinished, window.data(), [splash, this] {
        splash->close();
        window->show();
    });
    splash->open();
    splash->DoInitJob();
    // A failed discovery ends the program instead of announcing the start.
    for (int i = 0; i < 300 && done.isEmpty() && quitStatus == -100; ++i) {
        QTest::qWait(50);
    }
    if (quitCalled) {
        *quitCalled = quitStatus != -100;
    }
    QTest::qWait(20);
    return !done.isEmpty() && done.first().first().toBool();
}

bool WindowFixture::WaitJobDone(int count, int timeoutMs)
{
    const int target = count;
    for (int waited = 0; jobsDone < target && waited < timeoutMs; waited += 20) {
        QTest::qWait(20);
    }
    const bool ok = jobsDone >= target;
    jobsDone = 0;
    return ok;
}

bool WindowFixture::WaitIdle(int timeoutMs)
{
    for (int waited = 0; (jobsDone < 1 || window->JobRunning()) && waited < timeoutMs; waited += 20) {
        QTest::qWait(20);
    }
    const bool ok = jobsDone >= 1 && !window->JobRunning();
    jobsDone = 0;
    return ok;
}

ImageViewWidget* WindowFixture::View() const
{
    return window->findChild<ImageViewWidget*>();
}

OptionsContainerWidget* WindowFixture::Container() const
{
    return window->findChild<OptionsContainerWidget*>();
}

ParentScannerOptions* WindowFixture::Panel() const
{
    return Container()->m_currentPanel;
}

SaneScan* WindowFixture::Session() const
{
    return window->findChild<SaneScan*>();
}

USBHotplugThread* WindowFixture::Monitor() const
{
    return window->findChild<USBHotplugThread*>();
}

QStringList WindowFixture::JumpItems() const
{
    QStringList items;
    auto* box = Child<QComboBox>("cmPageJump");
    for (int i = 0; i < box->count(); ++i) {
        items << box->itemText(i);
    }
    return items;
}

QString WindowFixture::LabelText(const char* name) const
{
    return Child<QLabel>(name)->text();
}

bool WindowFixture::SetPanelCombo(const char* name, const QString& value)
{
    auto* combo = Child<QComboBox>(name);
    const int index = combo ? combo->findData(value) : -1;
    if (index < 0) {
        return false;
    }
    combo->setCurrentIndex(index);
    return true;
}

void WindowFixture::SetResolution(int dpi)
{
    auto* spin = Child<QSpinBox>("sbResolution");
    spin->setValue(dpi);
    spin->editingFinished();
}

bool WindowFixture::SaveAs(const QString& file, int format, SaveAsOffer* offer)
{
    bool seen = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("dlgSaveAs")) {
            return;
        }
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        // What the dialog offers when it opens; a later tick finds it still
        // open only when the last answer did not take, and answers again.
        if (!seen && offer) {
            offer->folder = dialog->directory().absolutePath();
            offer->filter = dialog->nameFilters().indexOf(dialog->selectedNameFilter());
            offer->name = name ? name->text() : QString();
        }
        seen = true;
        if (file.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectNameFilter(dialog->nameFilters().value(format));
        if (name) {
            name->setText(file);
        }
        QMetaObject::invokeMethod(dialog, "accept");
    });
    poll.start();
    jobsDone = 0;
    Child<QAction>("actionSaveAs")->trigger();
    return seen;
}
