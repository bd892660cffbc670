// The real main window on libsane's own "test" backend, a device nobody here
// wrote: the device list with "显示所有SANE扫描仪", the generic panel, and
// scans compared pixel by pixel with scanimage on the same backend and
// options. One window serves the whole session.
#include "genericscanneroptionswidget.h"
#include "pagemaker.h"
#include "parentscanneroptions.h"
#include "sanescan.h"
#include "usbhotplugthread.h"
#include "windowfixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWindow>
#include <QtTest>

namespace {

const QString kTest = QStringLiteral("test:0");

// A PNM file as scanimage writes it: "width x height, channels x depth",
// and its samples (16-bit ones big-endian); empty when unreadable.
QString Pnm(const QString& path, QByteArray* samples)
{
    const QByteArray file = PageMaker::bytes(path);
    int width = 0, height = 0, maxval = 0;
    *samples = PageMaker::pnmPixels(file, &width, &height, &maxval);
    const int depth = file.startsWith("P4") ? 1 : maxval > 255 ? 16 : 8;
    return samples->isEmpty() ? QString()
                              : QStringLiteral("%1x%2, %3x%4")
                                    .arg(width)
                                    .arg(height)
                                    .arg(file.startsWith("P6") ? 3 : 1)
                                    .arg(depth);
}

// The same of a page file as libtiff's scanline interface reads it.
QString Tiff(const QString& path, QByteArray* samples)
{
    const QVector<PageMaker::TiffDir> dirs = PageMaker::readTiff(path);
    if (dirs.size() != 1 || dirs[0].rows.isEmpty())
        return QString();
    const PageMaker::TiffDir& d = dirs[0];
    *samples = d.rows;
    for (int i = 0; d.bits == 16 && i + 1 < samples->size(); i += 2)
        std::swap(samples->data()[i], samples->data()[i + 1]);
    return QStringLiteral("%1x%2, %3x%4").arg(d.width).arg(d.height).arg(d.samples).arg(d.bits);
}

} // namespace

class TestAnyScanner : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void onlyOtherScanner_data();
    void onlyOtherScanner();
    void declineRestoresEveryKind_data();
    void declineRestoresEveryKind();
    void clickAfterEditingReachesItsButton_data();
    void clickAfterEditingReachesItsButton();
    void scanEqualsScanimage_data();
    void scanEqualsScanimage();
    void stopOnFeeder();

private:
    GenericScannerOptionsWidget* Panel() const
    {
        return dynamic_cast<GenericScannerOptionsWidget*>(m_fx->Panel());
    }
    // Picks a value of the generic panel as the user does and waits for the
    // job that hands it to the device.
    bool Commit(const char* name, const QString& value);
    QWidget* Bound(const QString& name) const;
    // Back on the image page, answering 否 should a failed row have left
    // changes behind.
    void LeaveSettings()
    {
        if (PageShown() == QLatin1String("pageImage"))
            return;
        m_fx->answerer.SetAnswer(QMessageBox::No);
        m_fx->Child<QPushButton>("btnReturnToImageFromScan")->click();
        m_fx->answerer.SetAnswer(QMessageBox::Ok);
    }
    QString PageShown() const
    {
        return m_fx->Child<QStackedWidget>("stackedWidget")->currentWidget()->objectName();
    }

    QScopedPointer<WindowFixture> m_fx;
};

void TestAnyScanner::initTestCase()
{
    // Only libsane's own test backend, with one device; no scanner of the
    // families is on the bus.
    QVERIFY(WindowFixture::AddTestBackend(qEnvironmentVariable("SANE_CONFIG_DIR"), true));
    WindowFixture::WriteScenario(QStringLiteral("devices="));
    // The window of the session: the other scanner taken when offered.
    m_fx.reset(new WindowFixture);
    m_fx->answerer.SetAnswer(QMessageBox::Yes);
    QVERIFY(m_fx->Start());
    m_fx->answerer.SetAnswer(QMessageBox::Ok);
}

void TestAnyScanner::cleanupTestCase()
{
    if (m_fx && m_fx->window)
        m_fx->Session()->Exit();
    m_fx.reset();
}

void TestAnyScanner::onlyOtherScanner_data()
{
    QTest::addColumn<bool>("take");

    QTest::newRow("否: the program ends as without any scanner") << false;
    QTest::newRow("是: the other scanner is used") << true;
}

// No scanner of the families, but SANE lists another device: the user is
// asked whether to use it.
void TestAnyScanner::onlyOtherScanner()
{
    QFETCH(bool, take);
    const QString ask = QStringLiteral("未找到本公司扫描仪，是否使用其他SANE扫描仪？");
    QScopedPointer<WindowFixture> fx(new WindowFixture);
    fx->answerer.SetAnswer(take ? QMessageBox::Yes : QMessageBox::No);
    bool quit = false;
    m_fx->answerer.SetPassive(true); // the boxes are the new window's
    const bool started = fx->Start(&quit);
    m_fx->answerer.SetPassive(false);
    QCOMPARE(started, take);
    QCOMPARE(quit, !take);
    const QStringList asked = take ? QStringList{ask} : QStringList{ask, QStringLiteral("未找到扫描仪")};
    QCOMPARE(fx->answerer.texts, asked);
    QFile ini(fx->SettingsFile());
    const bool stored = ini.open(QIODevice::ReadOnly) && ini.readAll().contains("ShowAllScanners=2");
    QCOMPARE(stored, take);
    QCOMPARE(fx->Child<QCheckBox>("cbShowAllScanners")->isChecked(), take);
    if (!take) {
        QCOMPARE(fx->quitStatus, 0);
        return;
    }
    QCOMPARE(QStringList(fx->window->DeviceList()), QStringList{kTest});
    QCOMPARE(fx->LabelText("lblScannerInfo"), QStringLiteral("当前连接扫描仪：%1").arg(kTest));
    QVERIFY(dynamic_cast<GenericScannerOptionsWidget*>(fx->Panel()));
}

QWidget* TestAnyScanner::Bound(const QString& name) const
{
    // The test options are advanced ones: their section is opened first.
    auto* advanced = m_fx->Child<QToolButton>("btnAdvanced");
    if (advanced && advanced->isVisible() && !advanced->isChecked())
        advanced->click();
    // Button options have no binding; every option's widget carries its name.
    for (QWidget* widget : dynamic_cast<QWidget*>(m_fx->Panel())->findChildren<QWidget*>(name)) {
        if (widget->isVisibleTo(dynamic_cast<QWidget*>(m_fx->Panel())))
            return widget;
    }
    return nullptr;
}

bool TestAnyScanner::Commit(const char* name, const QString& value)
{
    QWidget* widget = nullptr;
    for (const ParamConfig& config : Panel()->ParamConfigs()) {
        if (config.optionName == QLatin1String(name))
            widget = config.widget;
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        const int index = combo->findData(value);
        if (index < 0)
            return false;
        if (index == combo->currentIndex())
            return true; // nothing to commit
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    } else if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget)) {
        if (spin->value() == value.toDouble())
            return true;
        spin->setValue(value.toDouble());
        emit spin->editingFinished();
    } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        if (spin->value() == value.toInt())
            return true;
        spin->setValue(value.toInt());
        emit spin->editingFinished();
    } else if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        const bool on = value == QLatin1String("yes");
        if (box->isChecked() == on)
            return true;
        box->click();
    } else {
        return false;
    }
    return m_fx->WaitJobDone();
}

namespace {

// What the user can see of an option widget and what it would send.
QString Looks(QWidget* widget)
{
    QString value;
    if (auto* box = qobject_cast<QCheckBox*>(widget))
        value = box->isChecked() ? QStringLiteral("checked") : QStringLiteral("unchecked");
    else if (auto* combo = qobject_cast<QComboBox*>(widget))
        value = combo->currentText() + QLatin1Char('=') + combo->currentData().toString();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget))
        value = spin->text();
    return value + (widget->isEnabled() ? QStringLiteral(" enabled") : QStringLiteral(" disabled"));
}

// Changes the widget's value as a user does, committing it.
void Edit(QWidget* widget)
{
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        box->click();
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->isEditable()) {
            combo->lineEdit()->setText(QStringLiteral("typed by the user"));
            emit combo->lineEdit()->editingFinished();
        } else {
            const int index = (combo->currentIndex() + 1) % combo->count();
            combo->setCurrentIndex(index);
            emit combo->activated(index);
        }
    } else if (auto* spin = qobject_cast<QSpinBox*>(widget)) {
        spin->setValue(spin->value() + 2 * spin->singleStep());
        emit spin->editingFinished();
    } else if (auto* spin = qobject_cast<QDoubleSpinBox*>(widget)) {
        spin->setValue(spin->value() + 2 * spin->singleStep());
        emit spin->editingFinished();
    }
}

} // namespace

void TestAnyScanner::declineRestoresEveryKind_data()
{
    QTest::addColumn<QString>("option");

    // One option of each widget kind the panel makes; all of them are
    // inactive until the test options are enabled.
    QTest::newRow("check box") << "bool-soft-select-soft-detect";
    QTest::newRow("button") << "button";
    QTest::newRow("list") << "string-constraint-string-list";
    QTest::newRow("number list") << "int-constraint-word-list";
    QTest::newRow("free text") << "string";
    QTest::newRow("whole number") << "int-constraint-range";
    QTest::newRow("fixed-point number") << "fixed-constraint-range";
}

// The user enables the test options, changes one of them, leaves the page
// and answers 否: the panel is as it was entered, every widget of it.
void TestAnyScanner::declineRestoresEveryKind()
{
    QFETCH(QString, option);
    QVERIFY(m_fx && Panel());
    LeaveSettings();
    m_fx->Child<QAction>("actionScanConfig")->trigger();
    QWidget* enable = Bound(QStringLiteral("enable-test-options"));
    QVERIFY(enable);
    QWidget* widget = Bound(option);
    QVERIFY2(widget, qPrintable(option));
    const QString entry = Looks(widget);
    QVERIFY2(entry.endsWith(QLatin1String(" disabled")), qPrintable(entry));

    qobject_cast<QCheckBox*>(enable)->click();
    QVERIFY(m_fx->WaitJobDone());
    QVERIFY(qobject_cast<QCheckBox*>(enable)->isChecked());
    QCOMPARE(Bound(option), widget);
    QVERIFY2(widget->isEnabled(), qPrintable(Looks(widget)));
    if (option != QLatin1String("button")) {
        Edit(widget);
        QVERIFY(m_fx->WaitJobDone());
    }
    QVERIFY(Looks(widget) != entry);

    m_fx->answerer.texts.clear();
    m_fx->answerer.SetAnswer(QMessageBox::No);
    m_fx->Child<QPushButton>("btnReturnToImageFromScan")->click();
    m_fx->answerer.SetAnswer(QMessageBox::Ok);
    QCOMPARE(m_fx->answerer.texts, QStringList{QStringLiteral("扫描配置已修改，是否要保存？")});
    QCOMPARE(PageShown(), QStringLiteral("pageImage"));
    QCOMPARE(Looks(widget), entry);
    QVERIFY(!qobject_cast<QCheckBox*>(enable)->isChecked());
}

void TestAnyScanner::clickAfterEditingReachesItsButton_data()
{
    QTest::addColumn<QString>("option"); // the field clicked into first
    QTest::addColumn<QString>("typed");  // then typed into it
    QTest::addColumn<bool>("stored");    // the field shows a stored value, not the device's
    QTest::addColumn<QString>("target"); // clicked next: "return" or another field
    QTest::addColumn<int>("jobs");       // jobs that run for it

    QTest::newRow("stored resolution, only clicked into") << "resolution"
                                                          << "" << true << "return" << 0;
    QTest::newRow("resolution, a value typed") << "resolution"
                                               << "150" << false << "return" << 0;
    QTest::newRow("whole number, a value typed") << "ppl-loss"
                                                 << "15" << false << "return" << 0;
    // Leaving a field that only shows the stored value is no edit.
    QTest::newRow("stored resolution, then another field") << "resolution"
                                                           << "" << true << "ppl-loss" << 0;
    QTest::newRow("resolution typed, then another field") << "resolution"
                                                          << "150" << false << "ppl-loss" << 1;
}

// A click into a field of the panel, then one on "返回图像显示" (or another
// field): that one click does what it is for. The clicks go through the
// window system, as a user's do.
void TestAnyScanner::clickAfterEditingReachesItsButton()
{
    QFETCH(QString, option);
    QFETCH(QString, typed);
    QFETCH(bool, stored);
    QFETCH(QString, target);
    QFETCH(int, jobs);
    QVERIFY(m_fx && Panel());
    LeaveSettings();
    const QString ini = m_fx->home->path() + QStringLiteral("/.config/com.quvex.zyl.scanvy/") +
                        ParentScannerOptions::ConfigFileName(kTest);
    QFile::remove(ini);
    if (stored) {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[ScannerOptions]\nresolution=150|1\n");
        file.close();
    }
    // A rebuild takes the stored settings (or the device's without them).
    emit m_fx->Monitor()->sglUSBListChanged(3);
    QVERIFY(m_fx->WaitJobDone());
    m_fx->answerer.texts.clear();
    m_fx->answerer.SetAnswer(QMessageBox::No);
    m_fx->Child<QAction>("actionScanConfig")->trigger();
    QCOMPARE(PageShown(), QStringLiteral("pageScanSetting"));
    QWidget* field = Bound(option);
    QVERIFY2(field && field->isEnabled(), qPrintable(option));
    QCOMPARE(qobject_cast<QAbstractSpinBox*>(field)->text().startsWith(QLatin1String("150")), stored);
    QWidget* next = target == QLatin1String("return") ? m_fx->Child<QPushButton>("btnReturnToImageFromScan")
                                                      : Bound(target);
    QVERIFY(next);
    m_fx->window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_fx->window));
    QWindow* window = m_fx->window->windowHandle();
    const auto clickAt = [&](QWidget* widget) {
        m_fx->Child<QScrollArea>("scrollOptions")->ensureWidgetVisible(widget);
        QCoreApplication::processEvents();
        const QPoint at = widget->mapTo(m_fx->window, widget->rect().center());
        QWidget* hit = m_fx->window->childAt(at);
        QVERIFY(hit == widget || widget->isAncestorOf(hit));
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
    };
    // The window's own focus (given back to it when it is active again after
    // an overlay, which the offscreen platform does not do by itself).
    const auto focused = [this](QWidget* widget) {
        QWidget* focus = m_fx->window->focusWidget();
        return widget == focus || widget->isAncestorOf(focus);
    };
    clickAt(field);
    QTRY_VERIFY(focused(field));
    if (!typed.isEmpty()) {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(field, typed);
    }
    m_fx->jobsDone = 0;
    clickAt(next);
    if (target == QLatin1String("return")) {
        QTRY_COMPARE(PageShown(), QStringLiteral("pageImage"));
        // Typed values are asked about; 否 gives back the stored ones.
        QCOMPARE(m_fx->answerer.texts.size(), typed.isEmpty() ? 0 : 1);
    } else {
        QTRY_VERIFY(focused(next));
    }
    QTest::qWait(300);
    QCOMPARE(m_fx->jobsDone, jobs);
    m_fx->jobsDone = 0;
    LeaveSettings();
    QFile::remove(ini);
    m_fx->answerer.SetAnswer(QMessageBox::Ok);
}

void TestAnyScanner::scanEqualsScanimage_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("depth");
    QTest::addColumn<QString>("resolution");
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("pages");

    QTest::newRow("gray 8 bit") << "Gray"
                                << "8"
                                << "75"
                                << "Flatbed" << 1;
    QTest::newRow("gray 1 bit") << "Gray"
                                << "1"
                                << "100"
                                << "Flatbed" << 1;
    QTest::newRow("colour 16 bit") << "Color"
                                   << "16"
                                   << "40"
                                   << "Flatbed" << 1;
    // The backend's feeder is empty after ten sheets.
    QTest::newRow("feeder until empty") << "Gray"
                                        << "8"
                                        << "30"
                                        << "Automatic Document Feeder" << 10;
}

void TestAnyScanner::scanEqualsScanimage()
{
    QFETCH(QString, mode);
    QFETCH(QString, depth);
    QFETCH(QString, resolution);
    QFETCH(QString, source);
    QFETCH(int, pages);
    QVERIFY(m_fx && Panel());
    const int before = m_fx->window->PageFiles().size();
    QVERIFY(Commit("mode", mode));
    QVERIFY(Commit("depth", depth));
    QVERIFY(Commit("resolution", resolution));
    QVERIFY(Commit("source", source));
    QVERIFY(Commit("test-picture", QStringLiteral("Color pattern")));
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    QVERIFY(m_fx->WaitIdle(60000));
    const QList<QString> files = m_fx->window->PageFiles().mid(before);
    QCOMPARE(files.size(), pages);

    QTemporaryDir peer;
    QProcess scanimage;
    scanimage.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    scanimage.start(
        QStringLiteral("scanimage"),
        {QStringLiteral("-d"), kTest, QStringLiteral("--format=pnm"), QStringLiteral("--mode"), mode,
         QStringLiteral("--depth"), depth, QStringLiteral("--resolution"), resolution,
         QStringLiteral("--source"), source, QStringLiteral("--test-picture"),
         QStringLiteral("Color pattern"), QStringLiteral("--batch=") + peer.filePath("p%d.pnm"),
         // a flatbed never runs empty; the feeder does after its sheets
         QStringLiteral("--batch-count=%1").arg(source == QLatin1String("Flatbed") ? pages : pages + 1)});
    QVERIFY(scanimage.waitForFinished(60000));
    for (int i = 0; i < pages; ++i) {
        QByteArray ours, theirs;
        const QString shape = Tiff(files.at(i), &ours);
        QVERIFY2(!shape.isEmpty(), qPrintable(files.at(i)));
        QCOMPARE(shape, Pnm(peer.filePath(QStringLiteral("p%1.pnm").arg(i + 1)), &theirs));
        QVERIFY2(ours == theirs, qPrintable(QStringLiteral("page %1 differs").arg(i + 1)));
    }
    QVERIFY(!QFile::exists(peer.filePath(QStringLiteral("p%1.pnm").arg(pages + 1))));
}

// "停止扫描" while the backend's feeder delivers slowly. libsane's test
// backend ends a page cancelled from another thread with SANE_STATUS_EOF as
// if it were whole, and starts the next sheet when asked: the pages read
// before the stop stay whole, the one being read is dropped, no blank pages
// follow, and nothing is reported as an error.
void TestAnyScanner::stopOnFeeder()
{
    QVERIFY(Panel());
    const int before = m_fx->window->PageFiles().size();
    const QStringList settings = {"mode",         "Gray",         "depth",  "8",
                                  "resolution",   "30",           "source", "Automatic Document Feeder",
                                  "test-picture", "Color pattern"};
    for (int i = 0; i < settings.size(); i += 2)
        QVERIFY2(Commit(qPrintable(settings.at(i)), settings.at(i + 1)), qPrintable(settings.at(i)));
    QVERIFY(Commit("read-delay", QStringLiteral("yes")));
    QVERIFY(Commit("read-delay-duration", QStringLiteral("50000")));
    m_fx->answerer.texts.clear();

    QElapsedTimer clock;
    m_fx->Child<QAction>("actionScanToLast")->trigger();
    clock.start();
    QTest::qWait(1500);
    auto* stop = m_fx->window->findChild<QPushButton*>(QStringLiteral("btnStopScan"));
    QVERIFY(stop && stop->isVisible());
    stop->click();
    const qint64 stoppedAt = clock.elapsed();
    QVERIFY(m_fx->WaitIdle(60000));
    QVERIFY(Commit("read-delay", QStringLiteral("no")));
    QCOMPARE(m_fx->answerer.texts, QStringList());

    QTemporaryDir peer;
    QProcess scanimage;
    QStringList args{QStringLiteral("-d"), kTest, QStringLiteral("--format=pnm"),
                     QStringLiteral("--output-file=") + peer.filePath(QStringLiteral("p.pnm"))};
    for (int i = 0; i < settings.size(); i += 2)
        args << QStringLiteral("--") + settings.at(i) << settings.at(i + 1);
    scanimage.start(QStringLiteral("scanimage"), args);
    QVERIFY(scanimage.waitForFinished(60000));
    QByteArray theirs;
    const QString shape = Pnm(peer.filePath(QStringLiteral("p.pnm")), &theirs);
    QVERIFY(!shape.isEmpty());

    const QList<QString> files = m_fx->window->PageFiles().mid(before);
    // A page takes about 0.6 s; a stop after 1.5 s leaves two or three.
    QVERIFY2(files.size() >= 1 && files.size() <= 1 + int(stoppedAt / 400),
             qPrintable(QString::number(files.size())));
    for (int i = 0; i < files.size(); ++i) {
        QByteArray ours;
        QVERIFY2(Tiff(files.at(i), &ours) == shape && ours == theirs,
                 qPrintable(QStringLiteral("page %1 of %2 differs").arg(i + 1).arg(files.size())));
    }
    QCOMPARE(QDir(m_fx->ScanDir()).entryList({QStringLiteral("*.part")}, QDir::Files), QStringList());
}

QTEST_MAIN(TestAnyScanner)
#include "tst_anyscanner.moc"
