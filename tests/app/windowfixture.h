#pragma once

#include "deviceopt.h"
#include "mainwindow.h"
#include "modalanswerer.h"

#include <QMap>
#include <QPointer>
#include <QScopedPointer>
#include <QString>
#include <QTemporaryDir>

class ImageViewWidget;
class OptionsContainerWidget;
class ParentScannerOptions;
class SaneScan;
class USBHotplugThread;
class QComboBox;

// A main window started the way the program starts it: the splash's
// start-up job with the simulator's stand-in tools and scanners. Message
// boxes are answered by `answerer`.
class WindowFixture {
public:
    WindowFixture();
    // On the folders of a session run by another process (a restart after
    // that process was killed); they are left in place.
    WindowFixture(const QString& homePath, const QString& tmpPath);
    ~WindowFixture();

    // Writes the simulator's scenario file (read again on every open/start).
    static void WriteScenario(const QString& lines);
    static void PrependSimToolsToPath();
    // Scanner discovery through the simulator's stand-ins of the drivers'
    // consumables tools, which are otherwise called by their installed paths.
    static DeviceOpt SimDeviceOpt();

    // Builds the window and runs the start-up job; returns what the start-up
    // announced (true: connected), or false when it did not end in time.
    bool Start(bool* quitCalled = nullptr);

    // Waits until the current background job has run its last step.
    bool WaitJobDone(int count = 1, int timeoutMs = 30000);
    // Waits until a job has ended and none runs any more (a job's last step
    // may start another, as a scan starts the save that follows it).
    bool WaitIdle(int timeoutMs = 30000);

    template <typename T> T* Child(const char* name) const
    {
        return window->findChild<T*>(QLatin1String(name));
    }
    ImageViewWidget* View() const;
    OptionsContainerWidget* Container() const;
    ParentScannerOptions* Panel() const;
    SaneScan* Session() const;
    USBHotplugThread* Monitor() const;
    QStringList JumpItems() const;
    QString LabelText(const char* name) const;

    // What the "另存为…" dialog offered when it opened.
    struct SaveAsOffer {
        QString folder;
        int filter = -1;
        QString name;
    };
    // Triggers "另存为…" and answers its dialog as a user would: the file
    // type of `format` chosen and `file` typed (an empty file cancels). False
    // when no dialog came.
    bool SaveAs(const QString& file, int format, SaveAsOffer* offer = nullptr);

    // Picks a combo box entry of the panel by its device value.
    bool SetPanelCombo(const char* name, const QString& value);
    void SetResolution(int dpi);

    QString ScanDir() const { return window->ScanDir(); }
    // The home and temporary folders the window is started on.
    QString HomePath() const { return m_homePath.isEmpty() ? home->path() : m_homePath; }
    QString TmpPath() const { return m_tmpPath.isEmpty() ? tmp->path() : m_tmpPath; }

    // The program's settings file in `home`, entries ("Group/Key" -> value)
    // written into it before or while the window runs, and one read back.
    QString SettingsFile() const { return MainWindow::ConfigFilePathFor(home->path()); }
    void Configure(const QMap<QString, QString>& entries) const;
    QString Setting(const QString& key) const;
    // Adds libsane's own "test" backend with the project's test.conf to the
    // SANE configuration folder `dir`; `alone`: as its only backend.
    static bool AddTestBackend(const QString& dir, bool alone);

    QScopedPointer<QTemporaryDir> home;
    QScopedPointer<QTemporaryDir> tmp;
    QPointer<MainWindow> window;
    ModalAnswerer answerer;
    int jobsDone = 0;
    int quitStatus = -100;

private:
    QString m_homePath;
    QString m_tmpPath;
};
