// The busy overlay as it is painted during a scan: its message and its
// "停止扫描" read at 4.5:1 or more, and the button, which holds the keyboard
// focus, shows it.
#include "maskerdialog.h"

#include "../support/contrast.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestOverlayFocus : public QObject {
    Q_OBJECT
private slots:
    void textContrast_data();
    void textContrast();
    void stopButtonFocus_data();
    void stopButtonFocus();
};

void TestOverlayFocus::textContrast_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("message") << "lblMessage";
    QTest::newRow("stop button") << "btnStopScan";
}

void TestOverlayFocus::textContrast()
{
    QFETCH(QString, name);
    QWidget host;
    host.resize(800, 600);
    host.show();
    MaskerDialog masker(QStringLiteral("正在扫描..."), &host);
    masker.SetStoppable(true);
    masker.show();
    QVERIFY(QTest::qWaitForWindowExposed(&masker));
    auto* widget = masker.findChild<QWidget*>(name);
    QVERIFY(widget);
    QVERIFY(widget->isVisible());
    widget->clearFocus();
    // Rendered with its parents' backgrounds, as it is seen.
    const QRect box(widget->mapTo(&masker, QPoint(0, 0)), widget->size());
    const QImage painted = masker.grab(box).toImage();
    QString detail;
    const double ratio = Contrast::TextContrast(painted, &detail);
    QVERIFY2(ratio >= 4.5, qPrintable(detail));
}

void TestOverlayFocus::stopButtonFocus_data()
{
    // The button's text in each language; the longest must fit too.
    QTest::addColumn<QString>("text");
    QTest::newRow("zh_CN") << QStringLiteral("停止扫描");
    QTest::newRow("zh_TW") << QStringLiteral("停止掃描");
    QTest::newRow("en_US") << QStringLiteral("Stop Scan");
}

void TestOverlayFocus::stopButtonFocus()
{
    QFETCH(QString, text);
    QWidget host;
    host.resize(800, 600);
    host.show();
    MaskerDialog masker(QStringLiteral("正在扫描..."), &host);
    masker.SetStoppable(true);
    masker.show();
    masker.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&masker));
    auto* button = masker.findChild<QPushButton*>(QStringLiteral("btnStopScan"));
    QVERIFY(button);
    button->setText(text);
    masker.SetStoppable(true);
    button->clearFocus();
    QCoreApplication::processEvents();
    QVERIFY(!button->hasFocus());
    const QImage without = button->grab().toImage();
    button->setFocus();
    QCoreApplication::processEvents();
    QVERIFY(button->hasFocus());
    const QImage with = button->grab().toImage();
    // The focus frame takes no room from the text: inside the frame the
    // button is painted alike with and without the focus (a text squeezed
    // by the frame is cut off or moved).
    const QRect inner = with.rect().adjusted(4, 4, -4, -4);
    QCOMPARE(with.copy(inner), without.copy(inner));
    const int w = with.width();
    const int h = with.height();
    const QList<QPoint> sides = {{1, h / 2}, {w - 2, h / 2}, {w / 2, 1}, {w / 2, h - 2}};
    for (const QPoint& p : sides) {
        const QRgb a = with.pixel(p);
        const QRgb b = without.pixel(p);
        QVERIFY2(Contrast::Ratio(a, b) >= 3.0, qPrintable(QStringLiteral("(%1,%2): %3 with focus, %4 without")
                                                              .arg(p.x())
                                                              .arg(p.y())
                                                              .arg(QColor(a).name(), QColor(b).name())));
    }
}

QTEST_MAIN(TestOverlayFocus)
#include "tst_overlayfocus.moc"
