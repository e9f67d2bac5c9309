#include "preview/zoomscroll.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace ZoomScroll;

class TestZoomScroll : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void zoomedSize_againstLimits_data();
    void zoomedSize_againstLimits();
    void steppedZoom_staysOnExactQuarters();
    void baseLength_shrinksInnerSizeAndRoundsTiesToEven_data();
    void baseLength_shrinksInnerSizeAndRoundsTiesToEven();
    void scrollSetup_stepAndMaximumFromExcess_data();
    void scrollSetup_stepAndMaximumFromExcess();
    void dragPosition_stopsAtBothEdges_data();
    void dragPosition_stopsAtBothEdges();
    void release_dragToMinus1234_snapsToMinus1220();
    void release_percentRules_data();
    void release_percentRules();
    void sixteenBit_productsAndConversionsSaturate();
};

void TestZoomScroll::zoomedSize_againstLimits_data()
{
    QTest::addColumn<float>("zoom");
    QTest::addColumn<int>("baseWidth");
    QTest::addColumn<int>("baseHeight");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<bool>("drawn");

    QTest::newRow("page 9358x12958 at 1.0") << 1.0f << 9358 << 12958 << 9358 << 12958 << true;
    QTest::newRow("page 9358x12958 at 1.25") << 1.25f << 9358 << 12958 << 11697 << 16197 << false;
    QTest::newRow("page 9358x12958 at 0.75") << 0.75f << 9358 << 12958 << 7018 << 9718 << true;
    QTest::newRow("3000x4000 at 3.0") << 3.0f << 3000 << 4000 << 9000 << 12000 << true;
    QTest::newRow("3000x4000 at 3.25") << 3.25f << 3000 << 4000 << 9750 << 13000 << false;
    QTest::newRow("3000x4000 at 1.25") << 1.25f << 3000 << 4000 << 3750 << 5000 << true;
    QTest::newRow("width exactly 9499") << 1.0f << 9499 << 100 << 9499 << 100 << true;
    QTest::newRow("width 9500") << 1.0f << 9500 << 100 << 9500 << 100 << false;
    QTest::newRow("height exactly 13399") << 1.0f << 100 << 13399 << 100 << 13399 << true;
    QTest::newRow("height 13400") << 1.0f << 100 << 13400 << 100 << 13400 << false;
    // Floors, not rounds: 0.25 × 1003 = 250.75.
    QTest::newRow("floored quarter") << 0.25f << 1003 << 1001 << 250 << 250 << true;
    QTest::newRow("empty picture") << 2.0f << 0 << 0 << 0 << 0 << true;
}

void TestZoomScroll::zoomedSize_againstLimits()
{
    QFETCH(float, zoom);
    QFETCH(int, baseWidth);
    QFETCH(int, baseHeight);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(bool, drawn);
    QCOMPARE(zoomedLength(zoom, baseWidth), width);
    QCOMPARE(zoomedLength(zoom, baseHeight), height);
    QCOMPARE(withinLimits(width, height), drawn);
}

void TestZoomScroll::steppedZoom_staysOnExactQuarters()
{
    // Twelve steps in from 1.0 land exactly on 4.0, the last zoom allowed.
    float zoom = 1.0f;
    for (int press = 0; press < 12; ++press) {
        zoom = steppedZoom(zoom, 0);
        QVERIFY(zoomInRange(zoom));
    }
    QCOMPARE(zoom, 4.0f);
    QVERIFY(!zoomInRange(steppedZoom(zoom, 0)));

    // Any direction but 0 zooms out; three steps reach 0.25, a fourth is out of range.
    zoom = 1.0f;
    zoom = steppedZoom(zoom, 1);
    QCOMPARE(zoom, 0.75f);
    zoom = steppedZoom(zoom, -7);
    QCOMPARE(zoom, 0.5f);
    zoom = steppedZoom(zoom, 1);
    QCOMPARE(zoom, 0.25f);
    QVERIFY(zoomInRange(zoom));
    QVERIFY(!zoomInRange(steppedZoom(zoom, 1)));
}

void TestZoomScroll::baseLength_shrinksInnerSizeAndRoundsTiesToEven_data()
{
    QTest::addColumn<double>("inner");
    QTest::addColumn<int>("base");
    QTest::newRow("612 px page") << 9180.0 << 9178;
    QTest::newRow("tie down to even") << 292.5 << 290;
    QTest::newRow("tie up to even") << 293.5 << 292;
    QTest::newRow("empty picture is not negative") << 0.0 << 0;
    QTest::newRow("one pixel") << 15.0 << 13;
}

void TestZoomScroll::baseLength_shrinksInnerSizeAndRoundsTiesToEven()
{
    QFETCH(double, inner);
    QFETCH(int, base);
    QCOMPARE(baseLength(inner), base);
}

void TestZoomScroll::scrollSetup_stepAndMaximumFromExcess_data()
{
    QTest::addColumn<double>("surface");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("maximum");

    const double outer = 9330;
    QTest::newRow("as wide as the viewport") << outer << false << 0 << -1;
    QTest::newRow("narrower") << outer - 3000 << false << 0 << -1;
    QTest::newRow("excess 100") << outer + 100 << true << 1 << 100;
    QTest::newRow("excess 101") << outer + 101 << true << 10 << 10;
    QTest::newRow("excess 2905, 290.5 to even") << outer + 2905 << true << 10 << 290;
    QTest::newRow("excess 2915, 291.5 to even") << outer + 2915 << true << 10 << 292;
    QTest::newRow("excess 2910") << outer + 2910 << true << 10 << 291;
    QTest::newRow("excess 50.5") << outer + 50.5 << true << 1 << 50;
    // Past 16 bits the bar stops where step × maximum still fits.
    QTest::newRow("excess beyond 16 bits") << outer + 400000 << true << 10 << 3276;
}

void TestZoomScroll::scrollSetup_stepAndMaximumFromExcess()
{
    QFETCH(double, surface);
    QFETCH(bool, enabled);
    QFETCH(int, step);
    QFETCH(int, maximum);
    const ScrollSetup setup = scrollSetup(surface, 9330);
    QCOMPARE(setup.enabled, enabled);
    QCOMPARE(int(setup.step), step);
    QCOMPARE(setup.maximum.value_or(-1), maximum);
    if (setup.enabled)
        QVERIFY(qint64(setup.step) * *setup.maximum <= std::numeric_limits<qint16>::max());
}

void TestZoomScroll::dragPosition_stopsAtBothEdges_data()
{
    QTest::addColumn<float>("surfacePosition");
    QTest::addColumn<float>("down");
    QTest::addColumn<float>("pointer");
    QTest::addColumn<double>("surfaceLength");
    QTest::addColumn<float>("expected");

    // Viewport inner length 9270 throughout.
    QTest::newRow("follows the pointer") << -300.0f << 1000.0f << 400.0f << 12240.0 << -900.0f;
    QTest::newRow("right edge meets inner edge")
        << 0.0f << 5000.0f << 2030.0f << 12240.0 << -2970.0f;
    QTest::newRow("beyond the right edge") << -2000.0f << 5000.0f << 0.0f << 12240.0 << -2970.0f;
    QTest::newRow("back beyond the left edge") << -2000.0f << 100.0f << 9000.0f << 12240.0 << 0.0f;
    QTest::newRow("narrow surface to the right") << 0.0f << 100.0f << 600.0f << 3000.0 << 0.0f;
    QTest::newRow("narrow surface to the left") << 0.0f << 600.0f << 100.0f << 3000.0 << 6270.0f;
}

void TestZoomScroll::dragPosition_stopsAtBothEdges()
{
    QFETCH(float, surfacePosition);
    QFETCH(float, down);
    QFETCH(float, pointer);
    QFETCH(double, surfaceLength);
    QFETCH(float, expected);
    QCOMPARE(dragPosition(surfacePosition, down, pointer, 9270, surfaceLength), expected);
}

void TestZoomScroll::release_dragToMinus1234_snapsToMinus1220()
{
    const double surface = 9330 + 2910;
    const ScrollSetup setup = scrollSetup(surface, 9330);
    QCOMPARE(setup.maximum.value_or(-1), 291);
    const qint32 percent = releasePercent(-1234, surface, 9330);
    QCOMPARE(percent, 42);
    const auto value = valueForPercent(toInt16(percent), *setup.maximum);
    QCOMPARE(value.value_or(-1), 122);
    QCOMPARE(int(scrollOffset(setup.step, *value)), -1220);
}

void TestZoomScroll::release_percentRules_data()
{
    QTest::addColumn<double>("position");
    QTest::addColumn<double>("surface");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("value"); // on a maximum of 291; -1 when the bar is left alone

    QTest::newRow("at the left edge") << 0.0 << 12240.0 << 0 << 0;
    QTest::newRow("at the far grid end") << -2910.0 << 12240.0 << 100 << 291;
    // The drag may go 60 twips further than the outer excess: above 100, ignored.
    QTest::newRow("past the outer excess") << -2970.0 << 12240.0 << 102 << -1;
    QTest::newRow("no excess takes 0") << 0.0 << 9330.0 << 0 << 0;
    QTest::newRow("narrow surface against the right") << 6270.0 << 3000.0 << -99 << -1;
    QTest::newRow("2.5 percent, tie to even") << -5.0 << 9530.0 << 2 << 6;
}

void TestZoomScroll::release_percentRules()
{
    QFETCH(double, position);
    QFETCH(double, surface);
    QFETCH(int, percent);
    QFETCH(int, value);
    const qint32 computed = releasePercent(position, surface, 9330);
    QCOMPARE(computed, percent);
    QCOMPARE(valueForPercent(toInt16(computed), 291).value_or(-1), value);
}

void TestZoomScroll::sixteenBit_productsAndConversionsSaturate()
{
    QCOMPARE(int(toInt16(40000)), 32767);
    QCOMPARE(int(toInt16(-40000)), -32768);
    QCOMPARE(int(toInt16(123)), 123);
    QCOMPARE(int(scrollOffset(10, 3276)), -32760);
    QCOMPARE(int(scrollOffset(10, 32767)), -32767);
    QCOMPARE(int(scrollOffset(0, 32767)), 0);
    QCOMPARE(roundHalfEven(290.5), 290);
    QCOMPARE(roundHalfEven(-0.5), 0);
    QCOMPARE(roundHalfEven(1e12), std::numeric_limits<qint32>::max());
    QCOMPARE(roundHalfEven(std::nan("")), 0);
    QVERIFY(!valueForPercent(-1, 291));
    QVERIFY(!valueForPercent(101, 291));
    QCOMPARE(valueForPercent(50, 3).value_or(-1), 2); // 1.5 to even
}

QTEST_GUILESS_MAIN(TestZoomScroll)
#include "tst_zoomscroll.moc"
