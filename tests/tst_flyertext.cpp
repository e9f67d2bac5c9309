#include "generate/flyertext.h"

#include "base/mainmodule.h"
#include "generate/fitnotice.h"
#include "generate/fontcoverage.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {
const QString kBullet = QString(QChar(FlyerText::kBullet));

QString line(const QString& item)
{
    return kBullet + QStringLiteral("   ") + item + QChar(13);
}

QStringList numbered(int count)
{
    QStringList items;
    for (int i = 1; i <= count; ++i)
        items << QStringLiteral("Service %1").arg(i);
    return items;
}

const QRegularExpression kNamePattern(QStringLiteral("^qorvin[1-9]{8}\\.doc$"));
} // namespace

class TestFlyerText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void servicesColumns_splitAtTen_data();
    void servicesColumns_splitAtTen();
    void servicesColumns_itemsKeptAsStored();
    void scheduledServices_joinedWithAndBeforeLast_data();
    void scheduledServices_joinedWithAndBeforeLast();
    void documentName_eightDigitsOneToNine_noRepeatsAcrossDraws();
    void freeDocumentPath_takenName_drawsCompletelyNewName();
    void laidOut_textBeyondTheLimit_cutAtWholeCharactersAndLines();
    void emptyFieldEdits_piecesOfEmptyFieldsGo_data();
    void emptyFieldEdits_piecesOfEmptyFieldsGo();
    void columnsToFill_listsCutAtTheLimitGoInBalanced_data();
    void columnsToFill_listsCutAtTheLimitGoInBalanced();
    void missingCharacters_aFewNamedWithTheirFields_data();
    void missingCharacters_aFewNamedWithTheirFields();
};

void TestFlyerText::servicesColumns_splitAtTen_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("firstLines");
    QTest::addColumn<int>("secondLines");
    QTest::addColumn<bool>("balanced");
    QTest::newRow("none") << 0 << 0 << 0 << false;
    QTest::newRow("one") << 1 << 1 << 0 << false;
    QTest::newRow("ten, all left") << 10 << 10 << 0 << false;
    QTest::newRow("eleven, one right") << 11 << 10 << 1 << false;
    QTest::newRow("twenty-five") << 25 << 10 << 15 << false;
    QTest::newRow("balanced: thirty, half each") << 30 << 15 << 15 << true;
    QTest::newRow("balanced: seven, the odd one left") << 7 << 4 << 3 << true;
    QTest::newRow("balanced: one") << 1 << 1 << 0 << true;
}

void TestFlyerText::servicesColumns_splitAtTen()
{
    QFETCH(int, count);
    QFETCH(int, firstLines);
    QFETCH(int, secondLines);
    QFETCH(bool, balanced);
    const QStringList services = numbered(count);
    const FlyerText::ServiceColumns columns =
        balanced ? FlyerText::balancedColumns(services) : FlyerText::servicesColumns(services);

    // Rebuild each column from its own lines: every line is one item, in order.
    QString first;
    for (int i = 0; i < firstLines; ++i)
        first += line(services.at(i));
    QString second;
    for (int i = firstLines; i < firstLines + secondLines; ++i)
        second += line(services.at(i));
    QCOMPARE(columns.first, first);
    QCOMPARE(columns.second, second);
    QCOMPARE(columns.first.count(QChar(13)) + columns.second.count(QChar(13)), count);
    QVERIFY(!columns.first.contains(QLatin1Char('\n')));
}

void TestFlyerText::servicesColumns_itemsKeptAsStored()
{
    const QStringList services{QStringLiteral("  Gutter cleaning "), QString(),
                               QStringLiteral("Lawn & [Garden]")};
    const FlyerText::ServiceColumns columns = FlyerText::servicesColumns(services);
    QCOMPARE(columns.first,
             QString(kBullet + QStringLiteral("     Gutter cleaning \r") + kBullet +
                     QStringLiteral("   \r") + kBullet + QStringLiteral("   Lawn & [Garden]\r")));
    QVERIFY(columns.second.isEmpty());
}

void TestFlyerText::scheduledServices_joinedWithAndBeforeLast_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none") << QStringList{} << QString();
    QTest::newRow("one item stands alone")
        << QStringList{QStringLiteral("Weekly mowing")} << QStringLiteral("Weekly mowing");
    QTest::newRow("two") << QStringList{QStringLiteral("A"), QStringLiteral("B")}
                         << QStringLiteral("A  and B");
    QTest::newRow("three") << QStringList{QStringLiteral("A"), QStringLiteral("B"),
                                          QStringLiteral("C")}
                           << QString(QStringLiteral("A  ") + kBullet +
                                      QStringLiteral("  B  and C"));
    QTest::newRow("four, long items")
        << QStringList{QStringLiteral("Weekly mowing"), QStringLiteral("Monthly edging"),
                       QStringLiteral("Spring cleanup"), QStringLiteral("Fall leaves")}
        << QString(QStringLiteral("Weekly mowing  ") + kBullet +
                   QStringLiteral("  Monthly edging  ") + kBullet +
                   QStringLiteral("  Spring cleanup  and Fall leaves"));
    QTest::newRow("empty items") << QStringList{QString(), QString()} << QStringLiteral("  and ");
}

void TestFlyerText::scheduledServices_joinedWithAndBeforeLast()
{
    QFETCH(QStringList, items);
    QFETCH(QString, expected);
    const QString text = FlyerText::scheduledServicesText(items);
    QCOMPARE(text, expected);
    QVERIFY(!text.contains(QChar(13)));
}

void TestFlyerText::documentName_eightDigitsOneToNine_noRepeatsAcrossDraws()
{
    std::mt19937 generator(20210831);
    QSet<QString> names;
    QSet<QChar> digits;
    int equalNeighbours = 0;
    constexpr int draws = 2000;
    for (int i = 0; i < draws; ++i) {
        const QString name = FlyerText::documentName(generator);
        QVERIFY2(kNamePattern.match(name).hasMatch(), qPrintable(name));
        names.insert(name);
        for (int d = 6; d < 14; ++d) {
            digits.insert(name.at(d));
            if (d > 6 && name.at(d) == name.at(d - 1))
                ++equalNeighbours;
        }
    }
    QCOMPARE(names.size(), draws);
    QCOMPARE(digits.size(), 9);
    // Uniform digits repeat their neighbour one time in nine; a generator that
    // is reseeded from a clock between digits repeats far more often.
    const double share = double(equalNeighbours) / (draws * 7);
    QVERIFY2(share > 0.08 && share < 0.14, qPrintable(QString::number(share)));

    // The program's own generator is seeded once, not per name.
    std::mt19937& shared = FlyerText::documentNameGenerator();
    QVERIFY(FlyerText::documentName(shared) != FlyerText::documentName(shared));
}

void TestFlyerText::freeDocumentPath_takenName_drawsCompletelyNewName()
{
    const QString folder = QStringLiteral("/nowhere");
    {
        // The first two names are taken: the third is used, each a whole new name.
        std::mt19937 generator(7);
        std::mt19937 replay(7);
        const QString taken1 = folder + QLatin1Char('/') + FlyerText::documentName(replay);
        const QString taken2 = folder + QLatin1Char('/') + FlyerText::documentName(replay);
        const QString free = folder + QLatin1Char('/') + FlyerText::documentName(replay);
        QStringList asked;
        const QString path = FlyerText::freeDocumentPath(folder, generator, [&](const QString& p) {
            asked << p;
            return p == taken1 || p == taken2;
        });
        QCOMPARE(asked, (QStringList{taken1, taken2, free}));
        QCOMPARE(path, free);
        QVERIFY(kNamePattern.match(path.mid(folder.size() + 1)).hasMatch());
    }
    {
        // A real file in the way is never chosen.
        TestEnvironment environment;
        const QString temp = Main::tempFolder();
        std::mt19937 replay(99);
        const QString taken = temp + QLatin1Char('/') + FlyerText::documentName(replay);
        QFile file(taken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        std::mt19937 generator(99);
        const QString path = FlyerText::freeDocumentPath(temp, generator, Main::FileExists);
        QVERIFY(path != taken);
        QVERIFY(!QFile::exists(path));
        QCOMPARE(QFileInfo(path).absolutePath(), temp);
    }
}

void TestFlyerText::laidOut_textBeyondTheLimit_cutAtWholeCharactersAndLines()
{
    const qsizetype limit = FlyerText::kLaidOutCharacters;
    const QString exact(limit, QLatin1Char('a'));
    QCOMPARE(FlyerText::laidOutText(exact), exact);
    QCOMPARE(FlyerText::laidOutText(exact + QLatin1Char('b')), exact);
    // An emoji across the limit goes whole, never half.
    const QString emoji = QString(limit - 1, QLatin1Char('a')) + QStringLiteral("\U0001F333");
    QCOMPARE(FlyerText::laidOutText(emoji), QString(limit - 1, QLatin1Char('a')));
    // A family of three is eight units and one character: cut whole, counted once.
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    const QString families = QLatin1Char('a') + family.repeated(200);
    QCOMPARE(FlyerText::characterCount(families), 201);
    QCOMPARE(FlyerText::laidOutText(families), QLatin1Char('a') + family.repeated(124));

    // Columns: whole lines within the limit; one longer first line is cut within.
    const QString line = QString(99, QLatin1Char('s')) + QChar(13);
    QCOMPARE(FlyerText::laidOutColumn(line.repeated(10)), line.repeated(10));
    QCOMPARE(FlyerText::laidOutColumn(line.repeated(11)), line.repeated(10));
    QCOMPARE(
        FlyerText::laidOutColumn(line.repeated(9) + QString(150, QLatin1Char('t')) + QChar(13)),
        line.repeated(9));
    QCOMPARE(FlyerText::laidOutColumn(QString(2000, QLatin1Char('u')) + QChar(13)),
             QString(limit, QLatin1Char('u')));
    // A line whose end mark falls just past the limit is not whole within it.
    QCOMPARE(FlyerText::laidOutColumn(QString(limit, QLatin1Char('v')) + QChar(13) + line),
             QString(limit, QLatin1Char('v')));
}

void TestFlyerText::emptyFieldEdits_piecesOfEmptyFieldsGo_data()
{
    QTest::addColumn<QStringList>("empty");
    QTest::addColumn<QString>("addressLine");
    QTest::addColumn<QString>("contactLine");
    const QString dot = QStringLiteral("   ") + kBullet + QStringLiteral("   ");
    const QString address =
        QStringLiteral("[Address]") + dot + QStringLiteral("[City], [State] [Zip]");
    const QString contact =
        QStringLiteral("Phone:  [PhoneNo]") + dot + QStringLiteral("Fax:  [FaxNo]");
    QTest::newRow("all filled: unchanged") << QStringList{} << address << contact;
    QTest::newRow("no fax") << QStringList{QStringLiteral("[FaxNo]")} << address
                            << QStringLiteral("Phone:  [PhoneNo]");
    QTest::newRow("no phone") << QStringList{QStringLiteral("[PhoneNo]")} << address
                              << QStringLiteral("Fax:  [FaxNo]");
    QTest::newRow("neither: one empty token for the line to go")
        << QStringList{QStringLiteral("[PhoneNo]"), QStringLiteral("[FaxNo]")} << address
        << QStringLiteral("[PhoneNo]");
    QTest::newRow("no street") << QStringList{QStringLiteral("[Address]")}
                               << QStringLiteral("[City], [State] [Zip]") << contact;
    QTest::newRow("no city") << QStringList{QStringLiteral("[City]")}
                             << QStringLiteral("[Address]") + dot + QStringLiteral("[State] [Zip]")
                             << contact;
    QTest::newRow("no state") << QStringList{QStringLiteral("[State]")}
                              << QStringLiteral("[Address]") + dot + QStringLiteral("[City] [Zip]")
                              << contact;
    QTest::newRow("street and zip only")
        << QStringList{QStringLiteral("[City]"), QStringLiteral("[State]")}
        << QStringLiteral("[Address]") + dot + QStringLiteral("[Zip]") << contact;
    QTest::newRow("every field empty")
        << QStringList{QStringLiteral("[Address]"), QStringLiteral("[City]"),
                       QStringLiteral("[State]"),   QStringLiteral("[Zip]"),
                       QStringLiteral("[PhoneNo]"), QStringLiteral("[FaxNo]")}
        << QStringLiteral("[Address]") << QStringLiteral("[PhoneNo]");
}

void TestFlyerText::emptyFieldEdits_piecesOfEmptyFieldsGo()
{
    QFETCH(QStringList, empty);
    QFETCH(QString, addressLine);
    QFETCH(QString, contactLine);
    const QString dot = QStringLiteral("   ") + kBullet + QStringLiteral("   ");
    // The two lines as the template has them, edited as filling edits them.
    QString owner = QStringLiteral("[Address]") + dot + QStringLiteral("[City], [State] [Zip]") +
                    QLatin1Char('\n') + QStringLiteral("Phone:  [PhoneNo]") + dot +
                    QStringLiteral("Fax:  [FaxNo]");
    const auto edits =
        FlyerText::emptyFieldEdits([&](const QString& token) { return empty.contains(token); });
    for (const FlyerText::Edit& edit : edits)
        owner.replace(edit.find, edit.replace);
    QCOMPARE(owner, addressLine + QLatin1Char('\n') + contactLine);
}

void TestFlyerText::columnsToFill_listsCutAtTheLimitGoInBalanced_data()
{
    QTest::addColumn<QStringList>("services");
    QTest::addColumn<int>("leftLines");
    QTest::addColumn<int>("rightLines");
    QTest::addColumn<bool>("balanced");
    QTest::newRow("the sample's size: as designed") << numbered(20) << 10 << 10 << false;
    // Lines take 14, 15 and 16 characters ("Service 100" on): 9 + 58 left
    // and 62 right within the limit.
    QTest::newRow("the designed right column cut: balanced") << numbered(200) << 67 << 62 << true;
    // Items 7 to 10 of 220 characters: the designed left column keeps all
    // its 984 characters, but the balanced right one would be cut.
    QStringList longer = numbered(6);
    longer << QString(220, u'a') << QString(220, u'b') << QString(220, u'c') << QString(220, u'd')
           << QString(200, u'e') << QString(200, u'f');
    QTest::newRow("only the balanced right column cut: balanced") << longer << 6 << 4 << true;
    QTest::newRow("one long service: left alone")
        << QStringList{QString(2000, u'x')} << 0 << 0 << false;
}

void TestFlyerText::columnsToFill_listsCutAtTheLimitGoInBalanced()
{
    QFETCH(QStringList, services);
    QFETCH(int, leftLines);
    QFETCH(int, rightLines);
    QFETCH(bool, balanced);
    const FlyerText::ServiceColumns columns = FlyerText::columnsToFill(services);
    const FlyerText::ServiceColumns expected =
        balanced ? FlyerText::balancedColumns(services) : FlyerText::servicesColumns(services);
    QCOMPARE(columns.first, expected.first);
    QCOMPARE(columns.second, expected.second);
    // What goes on the page: the whole lines within the limit.
    QCOMPARE(FlyerText::laidOutColumn(columns.first).count(QChar(13)), leftLines);
    QCOMPARE(FlyerText::laidOutColumn(columns.second).count(QChar(13)), rightLines);
}

void TestFlyerText::missingCharacters_aFewNamedWithTheirFields_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("email");
    QTest::addColumn<bool>("installedFonts");
    QTest::addColumn<QStringList>("told");
    // An unassigned code point is in no font at all.
    QTest::newRow("installed fonts: plain Latin")
        << QStringLiteral("Greenway Lawns") << QStringLiteral("ann@example.org") << true
        << QStringList{};
    QTest::newRow("installed fonts: a character no font has")
        << QStringLiteral("Greenway \u0378 Lawns") << QString() << true
        << QStringList{QStringLiteral("no installed font has \u0378 (U+0378)"),
                       QStringLiteral("(in the business name)")};
    // Without fonts for Korean and emoji: each named once, an emoji's form
    // selector and a joined family as the one character they are.
    QTest::newRow("no Korean or emoji fonts")
        << QStringLiteral("\uD55C\uAE00 \uD55C Lawns \u2764\uFE0F")
        << QStringLiteral("\U0001F468\u200D\U0001F469 ann@example.org") << false
        << QStringList{
               QStringLiteral("\uD55C (U+D55C), \uAE00 (U+AE00), \u2764\uFE0F (U+2764), "
                              "\U0001F468\u200D\U0001F469 (U+1F468 U+1F469),"),
               QStringLiteral("(in the business name and the e-mail on the tear-off tabs)")};
    QTest::newRow("a flood: five named")
        << QStringLiteral("\uAC00\uAC01\uAC02\uAC03\uAC04\uAC05\uAC06") << QString() << false
        << QStringList{QStringLiteral("\uAC04 (U+AC04) and 2 more,")};
}

void TestFlyerText::missingCharacters_aFewNamedWithTheirFields()
{
    QFETCH(QString, name);
    QFETCH(QString, email);
    QFETCH(bool, installedFonts);
    QFETCH(QStringList, told);
    const QHash<QString, QString> filled{{QStringLiteral("[BusinessName]"), name},
                                         {QStringLiteral("[Email2]"), email}};
    // Fonts for Latin and symbols only.
    auto western = [](char32_t code) { return code < 0x2700; };
    const QString notice =
        installedFonts ? FitNotice::missingCharactersNotice(filled, FontCoverage::installedFontHas)
                       : FitNotice::missingCharactersNotice(filled, western);
    QCOMPARE(notice.isEmpty(), told.isEmpty());
    for (const QString& part : told)
        QVERIFY2(notice.contains(part), qPrintable(notice));
}

QTEST_GUILESS_MAIN(TestFlyerText)
#include "tst_flyertext.moc"
