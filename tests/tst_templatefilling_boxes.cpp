// What goes into the flyer's boxes in a run: the business's own picture, and
// text made smaller or told about when it does not fit.

#include "tst_templatefilling.h"

void TestTemplateFilling::run_flyerPicture_fittedIntoBoxOrStandardKept_data()
{
    QTest::addColumn<QSize>("pixels");
    QTest::addColumn<QString>("failOn");
    QTest::addColumn<QRectF>("place");
    QTest::addColumn<QList<int>>("lines");
    const QRectF box = kPictureBox;
    // Wider than the box: its full width, centred from top to bottom.
    QTest::newRow("wide") << QSize(600, 200) << QString()
                          << QRectF(box.left(), box.top() + (box.height() - box.width() / 3) / 2,
                                    box.width(), box.width() / 3)
                          << QList<int>{};
    // Taller: its full height, centred from side to side.
    QTest::newRow("tall") << QSize(100, 200) << QString()
                          << QRectF(box.left() + (box.width() - box.height() / 2) / 2, box.top(),
                                    box.height() / 2, box.height())
                          << QList<int>{};
    QTest::newRow("none chosen") << QSize() << QString() << QRectF() << QList<int>{};
    QTest::newRow("kept copy gone")
        << QSize(600, 200) << QStringLiteral("gone") << QRectF() << QList<int>{206};
    QTest::newRow("engine refuses it")
        << QSize(600, 200) << QStringLiteral("Shapes.AddPicture") << QRectF() << QList<int>{206};
}

void TestTemplateFilling::run_flyerPicture_fittedIntoBoxOrStandardKept()
{
    QFETCH(QSize, pixels);
    QFETCH(QString, failOn);
    QFETCH(QRectF, place);
    QFETCH(QList<int>, lines);
    if (pixels.isValid()) {
        m_host->picture = m_environment->root() + QStringLiteral("/flyer-picture.png");
        QImage picture(pixels, QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        QVERIFY(picture.save(m_host->picture));
    }
    if (failOn == QLatin1String("gone"))
        QFile::remove(m_host->picture);
    else if (!failOn.isEmpty())
        (*m_word)->failOn(failOn);

    QCOMPARE(click(), lines);
    if (!lines.isEmpty())
        QVERIFY(m_dialogs->errors().last().contains(m_host->picture));
    QVERIFY(m_host->previewShown);
    // One picture in the box: the chosen one where it fits, else the template's.
    QList<FakeWord::Shape> pictures;
    for (const FakeWord::Shape& shape : savedDocument().shapes)
        if (shape.kind == FakeWord::Shape::Picture)
            pictures << shape;
    QCOMPARE(pictures.size(), 1);
    const bool placed = !place.isNull();
    QCOMPARE(pictures.first().pictureFile, placed ? m_host->picture : QString());
    const QRectF expected = placed ? place : kPictureBox;
    const QRectF actual = pictures.first().place;
    QVERIFY2(std::abs(actual.left() - expected.left()) < 0.01 &&
                 std::abs(actual.top() - expected.top()) < 0.01 &&
                 std::abs(actual.width() - expected.width()) < 0.01 &&
                 std::abs(actual.height() - expected.height()) < 0.01,
             qPrintable(QStringLiteral("%1 %2 %3 %4")
                            .arg(actual.left())
                            .arg(actual.top())
                            .arg(actual.width())
                            .arg(actual.height())));
    // Without a picture of its own the flyer is made exactly as before.
    if (!pixels.isValid())
        QCOMPARE((*m_word)->count(QStringLiteral("Shape.Type")), 0);
}

void TestTemplateFilling::run_textTooLongForItsBox_shrunkOrNamedInTheNotice_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<qsizetype>("capacity");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QStringList>("notice");

    // The sample fills a tab with 49 characters (three paragraph marks included);
    // text at p % takes (p / 100)^2 of its room in the fake.
    QTest::newRow("everything fits: nothing to tell")
        << int(FirstTab) << qsizetype(49) << 100 << QStringList{};
    QTest::newRow("shrunk to fit") << int(FirstTab) << qsizetype(40) << 90
                                   << QStringList{QStringLiteral("printed at 90 %"),
                                                  QStringLiteral("e-mail on the tear-off tabs")};
    // At 60 % a tab shows 10 / 0.36 = 27 of its 49 characters: a cut of 22,
    // more than the longest field (the e-mail, 17) has.
    QTest::newRow("does not fit at the floor, several fields")
        << int(FirstTab) << qsizetype(10) << 60
        << QStringList{
               QStringLiteral("The name on the tear-off tabs, the address on the tear-off tabs"),
               QStringLiteral("do not fit together; shorten them to about 24 characters in all.")};
    // The title shows 27 of its 34 characters: the tag line (25) gives 7.
    QTest::newRow("does not fit at the floor, one long field")
        << int(TitleBox) << qsizetype(10) << 60
        << QStringList{
               QStringLiteral("The tag line does not fit; shorten it to about 18 characters.")};
    // The owner's block shows 75 of its 83 characters: the fax number is cut off.
    QTest::newRow("does not fit, another field cut off with it")
        << int(OwnerBox) << qsizetype(27) << 60
        << QStringList{QStringLiteral("The address does not fit; shorten it to about 5 "
                                      "characters. Not shown in full either: the fax number.")};
}

void TestTemplateFilling::run_textTooLongForItsBox_shrunkOrNamedInTheNotice()
{
    QFETCH(int, box);
    QFETCH(qsizetype, capacity);
    QFETCH(int, percent);
    QFETCH(QStringList, notice);
    FakeWord::Content content = flyerTemplate();
    const int last = box == FirstTab ? FirstTab + kTabs : box + 1;
    for (int i = box; i < last; ++i)
        content.shapes[i].capacity = capacity;
    m_templateBytes = content.toBytes();

    QCOMPARE(click(), QList<int>{});
    // The saved document carries the sizes, on every tab alike.
    const FakeWord::Content saved = savedDocument();
    for (int i = box; i < last; ++i)
        QCOMPARE(saved.shapes.at(i).percent, percent);
    QCOMPARE(saved.shapes.at(OwnerBox).percent, box == OwnerBox ? percent : 100);
    if (notice.isEmpty())
        QCOMPARE(m_host->notice, QString());
    for (const QString& part : notice)
        QVERIFY2(m_host->notice.contains(part), qPrintable(m_host->notice));
    // One line for the eight tabs.
    QCOMPARE(m_host->notice.count(QStringLiteral("tear-off")) <= 4, true);
}

void TestTemplateFilling::run_textFarBeyondTheFlyer_toldBeforeAndLeftOut()
{
    const QString huge = QString(100000, QLatin1Char('x'));
    m_host->texts[12] = huge; // the e-mail
    // Exactly at the limit: kept whole, and not named.
    m_host->texts[7] = QString(FlyerText::kLaidOutCharacters, QLatin1Char('t')); // the tag line
    m_host->texts[0] = QStringLiteral("\U0001F333").repeated(600);               // two units each
    for (int i = 0; i < 10000; ++i)
        m_host->list1 << QStringLiteral("Service %1").arg(i);
    QCOMPARE(click(), QList<int>{});

    // Told before the office was asked for anything.
    QCOMPARE(m_dialogs->messages().size(), 1);
    const QString told = m_dialogs->messages().first();
    QVERIFY2(told.contains(QStringLiteral("The e-mail on the tear-off tabs: the first 1,000 of "
                                          "its 100,000 characters")),
             qPrintable(told));
    // The e-mail and the business name; the tag line at the limit is not named.
    QCOMPARE(told.count(QStringLiteral(" characters")), 2);
    // Counted as people count them.
    QVERIFY2(
        told.contains(QStringLiteral("The business name: the first 500 of its 600 characters")),
        qPrintable(told));
    // Far too many for the designed split: they go in balanced, as the page
    // would balance them, 5,000 a column. Lines of 14 and 15 characters
    // ("Service 0" to "Service 9", "Service 10" to "Service 99"): 67 within
    // 1,000 on the left, and 58 of 17 ("Service 5000" on) on the right.
    QVERIFY2(told.contains(QStringLiteral("The services in the left column: the first 67 of its "
                                          "5,000 services")),
             qPrintable(told));
    QVERIFY2(told.contains(QStringLiteral("The services in the right column: the first 58 of its "
                                          "5,000 services")),
             qPrintable(told));
    const FakeWord::Content saved = savedDocument();
    QVERIFY(saved.shapes.at(FirstTab).text.endsWith(kCR + QString(1000, QLatin1Char('x'))));
    QVERIFY(!saved.shapes.at(FirstTab).text.contains(QString(1001, QLatin1Char('x'))));
    QCOMPARE(saved.shapes.at(Services1Box).text.count(kCR), 67);
    QCOMPARE(saved.shapes.at(Services2Box).text.count(kCR), 58);
    // What the user typed is left as it was.
    QCOMPARE(m_host->texts[12], huge);
    QCOMPARE(m_host->list1.size(), 10000);
}

void TestTemplateFilling::run_pictureAndTextTooLong_noticeNamesTheBoxThatOverflows()
{
    // The chosen picture takes the template's out of the list of shapes: the
    // fields of each box still have to meet that box's fit.
    m_host->picture = m_environment->root() + QStringLiteral("/flyer-picture.png");
    QImage picture(QSize(600, 200), QImage::Format_ARGB32);
    picture.fill(Qt::transparent);
    QVERIFY(picture.save(m_host->picture));
    m_host->list2 = {QStringLiteral("Weekly lawn care"), QStringLiteral("Monthly hedge trim")};
    FakeWord::Content content = flyerTemplate();
    content.shapes[ScheduledBox].capacity = 1;
    m_templateBytes = content.toBytes();

    QCOMPARE(click(), QList<int>{});
    QVERIFY2(m_host->notice.contains(QStringLiteral("The scheduled services do not fit")),
             qPrintable(m_host->notice));
    QVERIFY2(!m_host->notice.contains(QStringLiteral("tear-off")), qPrintable(m_host->notice));
    const FakeWord::Content saved = savedDocument();
    QCOMPARE(saved.shapes.at(ScheduledBox - 1).percent, 60);
    QCOMPARE(saved.shapes.last().pictureFile, m_host->picture);
}
