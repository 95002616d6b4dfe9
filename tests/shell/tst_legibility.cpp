#include "TestSupport.h"

#include "ui/style/ScreenStyle.h"

#include <QApplication>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>
#include <QtTest>

#include <memory>

namespace {

QPalette windowed(const QColor &window, const QColor &base)
{
    QPalette palette;
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::Base, base);
    return palette;
}

// The dark palette the app applies with SCRIVELBAR_PALETTE=dark.
QPalette appDark()
{
    return windowed(QColor(0x2b, 0x2b, 0x2e), QColor(0x1f, 0x1f, 0x22));
}

} // namespace

// Coloured text stays readable: the orange of warnings and pending uploads and the red of
// destructive entries reach WCAG AA contrast on the colours they are drawn on.
class TestLegibility : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { TestSupport::initTestEnvironment(); }

    void contrastRatioFollowsWcag_data()
    {
        QTest::addColumn<QColor>("a");
        QTest::addColumn<QColor>("b");
        QTest::addColumn<double>("expected");
        QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 21.0;
        QTest::newRow("same colour") << QColor(0x77, 0x33, 0x11) << QColor(0x77, 0x33, 0x11) << 1.0;
        QTest::newRow("order does not matter")
            << QColor(Qt::white) << QColor(0x76, 0x76, 0x76) << 4.54;
        QTest::newRow("mid grey on white") << QColor(0x76, 0x76, 0x76) << QColor(Qt::white) << 4.54;
    }
    void contrastRatioFollowsWcag()
    {
        QFETCH(QColor, a);
        QFETCH(QColor, b);
        QFETCH(double, expected);
        QVERIFY2(qAbs(ScreenStyle::contrastRatio(a, b) - expected) < 0.01,
                 qPrintable(QString::number(ScreenStyle::contrastRatio(a, b))));
    }

    void colouredTextIsLegible_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<bool>("dark");
        std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        QVERIFY(fusion);
        QTest::newRow("Fusion light") << fusion->standardPalette() << false;
        QTest::newRow("application palette")
            << QApplication::palette() << ScreenStyle::isDark(QApplication::palette());
        QTest::newRow("Breeze light")
            << windowed(QColor(0xef, 0xf0, 0xf1), QColor(Qt::white)) << false;
        QTest::newRow("white") << windowed(Qt::white, Qt::white) << false;
        QTest::newRow("darker light grey")
            << windowed(QColor(0xdc, 0xdc, 0xdc), QColor(0xf4, 0xf4, 0xf4)) << false;
        QTest::newRow("app dark") << appDark() << true;
        QTest::newRow("Breeze dark")
            << windowed(QColor(0x31, 0x36, 0x3b), QColor(0x23, 0x26, 0x29)) << true;
        QTest::newRow("lighter dark grey")
            << windowed(QColor(0x48, 0x48, 0x4c), QColor(0x3a, 0x3a, 0x3e)) << true;
        QTest::newRow("black") << windowed(Qt::black, Qt::black) << true;
    }
    void colouredTextIsLegible()
    {
        QFETCH(QPalette, palette);
        QFETCH(bool, dark);
        QCOMPARE(ScreenStyle::isDark(palette), dark);
        const QColor window = palette.color(QPalette::Window);
        const QColor base = palette.color(QPalette::Base);
        const QColor orange = ScreenStyle::orange(palette);
        const QColor red = ScreenStyle::red(palette);
        const auto report = [](const char *what, const QColor &text, const QColor &background) {
            return QStringLiteral("%1 %2 on %3: %4:1")
                .arg(QLatin1String(what), text.name(), background.name())
                .arg(ScreenStyle::contrastRatio(text, background), 0, 'f', 2);
        };
        QVERIFY2(ScreenStyle::contrastRatio(orange, window) >= ScreenStyle::minimumTextContrast,
                 qPrintable(report("orange", orange, window)));
        QVERIFY2(ScreenStyle::contrastRatio(red, window) >= ScreenStyle::minimumTextContrast,
                 qPrintable(report("red", red, window)));
        QVERIFY2(ScreenStyle::contrastRatio(red, base) >= ScreenStyle::minimumTextContrast,
                 qPrintable(report("red", red, base)));
        // Still an orange and a red: the hue is kept while the tone moves.
        QVERIFY2(orange.hue() >= 25 && orange.hue() <= 45, qPrintable(orange.name()));
        QVERIFY2(orange.saturation() > 150, qPrintable(orange.name()));
        QVERIFY2(red.hue() <= 10 || red.hue() >= 350, qPrintable(red.name()));
    }
};

QTEST_MAIN(TestLegibility)
#include "tst_legibility.moc"
