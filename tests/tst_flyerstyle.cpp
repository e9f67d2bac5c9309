// The flyer's colour styles as a table: every text colour readable, every
// template colour given a partner, the stored names, the pictures' colours.

#include "generate/flyerstyle.h"

#include <QColor>
#include <QTest>

using FlyerStyle::Style;

Q_DECLARE_METATYPE(FlyerStyle::Style)

namespace {
// The hue of a colour in degrees; -1 for a grey.
int hueOf(FlyerStyle::Rgb color)
{
    return QColor(QRgb(0xff000000 | color)).hslHue();
}

int hueDistance(int first, int second)
{
    const int distance = std::abs(first - second) % 360;
    return std::min(distance, 360 - distance);
}

void addStyleRows()
{
    QTest::addColumn<Style>("style");
    for (int i = 0; i < FlyerStyle::kStyleCount; ++i)
        QTest::newRow(FlyerStyle::look(Style(i)).key) << Style(i);
}
} // namespace

class TestFlyerStyle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void contrast_everyTextColour_atLeastFourAndAHalfToOne_data() { addStyleRows(); }
    void contrast_everyTextColour_atLeastFourAndAHalfToOne();
    void contrast_knownPairs_asWcagGives();
    void key_storedValue_namesItsStyleElseEarth_data();
    void key_storedValue_namesItsStyleElseEarth();
    void recoloring_everyTemplateColour_oncePartneredNeverChained_data() { addStyleRows(); }
    void recoloring_everyTemplateColour_oncePartneredNeverChained();
    void recolored_emblem_takesTheStyleHueOrGreys_data() { addStyleRows(); }
    void recolored_emblem_takesTheStyleHueOrGreys();
};

void TestFlyerStyle::contrast_everyTextColour_atLeastFourAndAHalfToOne()
{
    QFETCH(Style, style);
    const FlyerStyle::Look& look = FlyerStyle::look(style);
    QCOMPARE(look.style, style);
    for (std::size_t i = 0; i < FlyerStyle::kTemplateColors.size(); ++i) {
        if (FlyerStyle::kTemplateColors[i].use != FlyerStyle::Use::Text)
            continue;
        const double ratio =
            FlyerStyle::contrastRatio(look.colors[i], FlyerStyle::background(look));
        QVERIFY2(ratio >= 4.5,
                 qPrintable(QStringLiteral("%1: %2:1")
                                .arg(QLatin1String(FlyerStyle::kTemplateColors[i].where))
                                .arg(ratio)));
    }
}

void TestFlyerStyle::contrast_knownPairs_asWcagGives()
{
    QCOMPARE(FlyerStyle::contrastRatio(0x000000, 0xffffff), 21.0);
    QCOMPARE(FlyerStyle::contrastRatio(0xffffff, 0xffffff), 1.0);
    // The grey that just passes on white, from both sides.
    QVERIFY(qAbs(FlyerStyle::contrastRatio(0x767676, 0xffffff) - 4.54) < 0.01);
    QVERIFY(qAbs(FlyerStyle::contrastRatio(0xffffff, 0x777777) - 4.48) < 0.01);
}

void TestFlyerStyle::key_storedValue_namesItsStyleElseEarth_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<Style>("style");
    QTest::newRow("earth") << QStringLiteral("earth") << Style::Earth;
    QTest::newRow("ocean") << QStringLiteral("ocean") << Style::Ocean;
    QTest::newRow("forest") << QStringLiteral("forest") << Style::Forest;
    QTest::newRow("berry") << QStringLiteral("berry") << Style::Berry;
    QTest::newRow("slate") << QStringLiteral("slate") << Style::Slate;
    QTest::newRow("mono") << QStringLiteral("mono") << Style::Mono;
    QTest::newRow("absent") << QString() << Style::Earth;
    QTest::newRow("unknown") << QStringLiteral("purple") << Style::Earth;
    QTest::newRow("capitals") << QStringLiteral("Ocean") << Style::Earth;
}

void TestFlyerStyle::key_storedValue_namesItsStyleElseEarth()
{
    QFETCH(QString, stored);
    QFETCH(Style, style);
    QCOMPARE(FlyerStyle::fromKey(stored), style);
    QCOMPARE(FlyerStyle::fromKey(FlyerStyle::key(style)), style);
}

void TestFlyerStyle::recoloring_everyTemplateColour_oncePartneredNeverChained()
{
    QFETCH(Style, style);
    const FlyerStyle::Look& look = FlyerStyle::look(style);
    const Word::Recoloring recoloring = FlyerStyle::recoloring(look, false);
    for (std::size_t i = 0; i < FlyerStyle::kTemplateColors.size(); ++i) {
        const auto& color = FlyerStyle::kTemplateColors[i];
        const auto& pairs = color.use == FlyerStyle::Use::Text ? recoloring.text : recoloring.lines;
        const auto partnered = std::count_if(pairs.begin(), pairs.end(), [&](const auto& pair) {
            return pair.first == color.rgb && pair.second == look.colors[i];
        });
        QCOMPARE(partnered, 1);
    }
    // A new colour that is also an old one would be changed twice.
    for (const auto& pairs : {recoloring.text, recoloring.lines})
        for (const auto& [from, to] : pairs)
            for (const auto& other : pairs)
                QVERIFY2(to == from || to != other.first, qPrintable(QString::number(to, 16)));
    QVERIFY(recoloring.pictures);
    QCOMPARE(recoloring.keepBackground, style != Style::Mono);
    // The business's own picture keeps its colours unless printed in greys.
    QCOMPARE(bool(FlyerStyle::recoloring(look, true).added), style == Style::Mono);
}

void TestFlyerStyle::recolored_emblem_takesTheStyleHueOrGreys()
{
    QFETCH(Style, style);
    const FlyerStyle::Look& look = FlyerStyle::look(style);
    QImage emblem(4, 1, QImage::Format_ARGB32);
    emblem.setPixel(0, 0, qRgba(153, 51, 0, 255));   // the emblem's brown
    emblem.setPixel(1, 0, qRgba(230, 168, 40, 255)); // its gold
    emblem.setPixel(2, 0, qRgba(255, 255, 255, 255));
    emblem.setPixel(3, 0, qRgba(0, 0, 0, 0));
    const QImage turned = FlyerStyle::recolored(emblem, look);
    QCOMPARE(turned.size(), emblem.size());
    QCOMPARE(qAlpha(turned.pixel(3, 0)), 0);
    QCOMPARE(turned.pixel(2, 0), qRgba(255, 255, 255, 255));
    const QColor brown(turned.pixel(0, 0));
    if (look.printFriendly) {
        for (int x = 0; x < 3; ++x)
            QCOMPARE(QColor(turned.pixel(x, 0)).hslSaturation(), 0);
        return;
    }
    // Near the hue of the business name, whose colour leads the style.
    QVERIFY2(hueDistance(brown.hslHue(), hueOf(look.colors[0])) <= 30,
             qPrintable(QString::number(brown.hslHue())));
    QCOMPARE(FlyerStyle::recolored(0x993300, look), brown.rgb() & 0xffffff);
}

QTEST_GUILESS_MAIN(TestFlyerStyle)
#include "tst_flyerstyle.moc"
