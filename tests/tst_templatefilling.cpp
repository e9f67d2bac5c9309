#include "tst_templatefilling.h"

namespace TemplateFillingTest {

FakeWord::Content flyerTemplate()
{
    using FakeWord::Shape;
    FakeWord::Content content;
    content.body << QString();
    content.headers << QString();
    content.shapes << Shape{Shape::TextBox, QStringLiteral("[BusinessName]\r[TagLine]")}
                   << Shape{Shape::TextBox, QStringLiteral("[Services1]")}
                   << Shape{Shape::TextBox, QStringLiteral("[Services2]")}
                   << Shape{Shape::TextBox,
                            QStringLiteral("[OwnerName]\r[Title]\v[Address] | [City], [State] "
                                           "[Zip]\vPhone:  [PhoneNo] | Fax:  [FaxNo]")}
                   << Shape{Shape::Picture, QString(), kPictureBox}
                   << Shape{Shape::TextBox, QStringLiteral("[ScheduledServices]")};
    for (int i = 0; i < kTabs; ++i)
        content.shapes << Shape{Shape::TextBox,
                                QStringLiteral("[Name2]\r[Address2]\r[Phone2]\r[Email2]")};
    return content;
}

QStringList filesInTemp()
{
    return QDir(Main::tempFolder()).entryList(QDir::Files, QDir::Name);
}

} // namespace TemplateFillingTest

void TestTemplateFilling::init()
{
    m_environment = std::make_unique<TestEnvironment>();
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_word = std::make_unique<FakeWord::Engine::Installed>();
    m_host = std::make_unique<FakeHost>();
    m_templateBytes = flyerTemplate().toBytes();
    TemplateFilling::setTemplateSourceForTesting([this] { return m_templateBytes; });
    TemplateFilling::setPageCaptureForTesting(
        [this](const QString& document) { return m_host->capture(document); });
}

void TestTemplateFilling::cleanup()
{
    TemplateFilling::setTemplateSourceForTesting({});
    TemplateFilling::setPageCaptureForTesting({});
    m_host.reset();
    m_word.reset();
    m_dialogs.reset();
    m_environment.reset();
}

QList<int> TestTemplateFilling::click()
{
    const qsizetype before = m_dialogs->errors().size();
    m_host->run();
    QList<int> lines;
    static const QRegularExpression where(QStringLiteral(
        "\r\nin Pellamont2021/08/31\\.Form1\\.PushButton6_Click at line (\\d+)\r\r"));
    const QStringList errors = m_dialogs->errors();
    for (qsizetype i = before; i < errors.size(); ++i) {
        const QRegularExpressionMatch match = where.match(errors.at(i));
        lines << (match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    return lines;
}

FakeWord::Content TestTemplateFilling::savedDocument() const
{
    const auto content = FakeWord::Content::fromFile(m_host->wordFile);
    return content.value_or(FakeWord::Content{});
}

void TestTemplateFilling::run_sampleData_documentSavedAndPreviewShown()
{
    m_host->list1 = {QStringLiteral("Mowing")};
    // A token is found whatever its letter case.
    FakeWord::Content flyer = flyerTemplate();
    flyer.shapes[TitleBox].text.replace(QStringLiteral("[BusinessName]"),
                                        QStringLiteral("[BUSINESSname]"));
    m_templateBytes = flyer.toBytes();
    QCOMPARE(click(), QList<int>{});
    const QString temp = Main::tempFolder();
    const QString documentPath = m_host->wordFile;
    QVERIFY2(kDocumentName.match(QFileInfo(documentPath).fileName()).hasMatch(),
             qPrintable(documentPath));
    QCOMPARE(QFileInfo(documentPath).absolutePath(), temp);

    const QString saved = savedDocument().allText();
    QVERIFY2(saved.contains(QStringLiteral("Corvanti")) && !saved.contains(QLatin1Char('[')),
             qPrintable(saved));

    // The page of the saved document, for the preview.
    QCOMPARE(m_host->snapshotOf, documentPath);
    QCOMPARE(m_host->pictureSize, QSize(85, 110));
    QVERIFY(m_host->previewShown);

    // Only the filled document stays, now the preview's; no session lives on.
    QCOMPARE(filesInTemp(), QStringList{QFileInfo(documentPath).fileName()});
    QCOMPARE((*m_word)->runningApplications(), 0);
    QCOMPARE((*m_word)->openDocuments(), 0);
    QCOMPARE((*m_word)->heldObjects(), 0);
}

void TestTemplateFilling::run_sampleData_everyTokenReplaced()
{
    m_host->list1 = {QStringLiteral("Mowing"), QStringLiteral("Edging")};
    m_host->list2 = {QStringLiteral("Weekly"), QStringLiteral("Monthly")};
    QCOMPARE(click(), QList<int>{});
    const FakeWord::Content saved = savedDocument();
    QCOMPARE(saved.shapes.size(), FirstTab + kTabs);
    const QString all = saved.allText();
    QVERIFY2(!all.contains(QLatin1Char('[')), qPrintable(all));
    QCOMPARE(all.count(QStringLiteral("Tobin Marsh")), kTabs);
    QCOMPARE(saved.shapes.at(TitleBox).text, QStringLiteral("Corvanti\rClean homes, happy people"));
    QCOMPARE(saved.shapes.at(OwnerBox).text,
             QStringLiteral("Dana Reyes\rOwner\v12 Elm Street | Marlow, OR 97001\v"
                            "Phone:  555-0100 | Fax:  555-0101"));
    for (int tab = FirstTab; tab < FirstTab + kTabs; ++tab)
        QCOMPARE(saved.shapes.at(tab).text,
                 QStringLiteral("Tobin Marsh\r4 Oak Lane\r555-0199\rtobin@example.com"));
    QCOMPARE(saved.shapes.at(Services1Box).text,
             QString(kBullet + QStringLiteral("   Mowing") + kCR + kBullet +
                     QStringLiteral("   Edging") + kCR));
    QCOMPARE(saved.shapes.at(ScheduledBox).text, QStringLiteral("Weekly  and Monthly"));
    QCOMPARE(saved.shapes.at(PictureBox).kind, FakeWord::Shape::Picture);
    // The capture saw the filled document, not the template.
    QCOMPARE((*m_word)->pictures().size(), 1);
    QVERIFY((*m_word)->pictures().first().contains(QStringLiteral("Corvanti")));
}

void TestTemplateFilling::run_emptyData_noTokenRemains()
{
    m_host->texts = QStringList(FlyerFields::kFieldCount, QString());
    QCOMPARE(click(), QList<int>{});
    const FakeWord::Content saved = savedDocument();
    QVERIFY(!saved.shapes.isEmpty());
    QVERIFY2(!saved.allText().contains(QLatin1Char('[')), qPrintable(saved.allText()));
    QCOMPARE(saved.shapes.at(Services1Box).text, QString());
    QCOMPARE(saved.shapes.at(Services2Box).text, QString());
    QCOMPARE(saved.shapes.at(ScheduledBox).text, QString());
    QCOMPARE(saved.shapes.at(FirstTab).text, QStringLiteral("\r\r\r"));
    QVERIFY(m_host->previewShown);
}

void TestTemplateFilling::run_serviceLists_filledIntoTheirBoxes_data()
{
    QTest::addColumn<int>("services");
    QTest::addColumn<QStringList>("scheduled");
    QTest::addColumn<int>("leftLines");
    QTest::addColumn<QString>("scheduledText");
    QTest::newRow("10 services, all left, one scheduled")
        << 10 << QStringList{QStringLiteral("Weekly mowing")} << 10
        << QStringLiteral("Weekly mowing");
    QTest::newRow("11 services, two scheduled")
        << 11 << QStringList{QStringLiteral("A"), QStringLiteral("B")} << 10
        << QStringLiteral("A  and B");
    QTest::newRow("25 services, three scheduled")
        << 25 << QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")} << 10
        << QString(QStringLiteral("A  ") + kBullet + QStringLiteral("  B  and C"));
}

void TestTemplateFilling::run_serviceLists_filledIntoTheirBoxes()
{
    QFETCH(int, services);
    QFETCH(QStringList, scheduled);
    QFETCH(int, leftLines);
    QFETCH(QString, scheduledText);
    for (int i = 1; i <= services; ++i)
        m_host->list1 << QStringLiteral("Service %1").arg(i);
    m_host->list2 = scheduled;
    QCOMPARE(click(), QList<int>{});
    const FakeWord::Content saved = savedDocument();
    const QString left = saved.shapes.at(Services1Box).text;
    const QString right = saved.shapes.at(Services2Box).text;
    QCOMPARE(left.count(kCR), leftLines);
    QCOMPARE(right.count(kCR), services - leftLines);
    QVERIFY(left.startsWith(kBullet + QStringLiteral("   Service 1\r")));
    QVERIFY(left.endsWith(QStringLiteral("   Service %1\r").arg(leftLines)));
    if (services > leftLines) {
        QVERIFY(right.startsWith(kBullet + QStringLiteral("   Service %1\r").arg(leftLines + 1)));
        QVERIFY(right.endsWith(QStringLiteral("   Service %1\r").arg(services)));
    } else {
        QCOMPARE(right, QString());
    }
    QCOMPARE(saved.shapes.at(ScheduledBox).text, scheduledText);
}

void TestTemplateFilling::run_fieldTextsHoldingTokens_filledInIndexOrder()
{
    // Business name (0) holds the city's token (1): filled by the city in the
    // first pass. Address (5) holds the business name's token (0): the story
    // pass has done field 0 already, but the text box pass fills it again.
    // Tag line (7) holds a lower-case token: searching ignores case.
    m_host->texts[0] = QStringLiteral("[City] Cleaning");
    m_host->texts[5] = QStringLiteral("[BusinessName] Plaza");
    m_host->texts[7] = QStringLiteral("Serving [state]");
    m_host->texts[10] = QStringLiteral("[Services1]");
    m_host->list1 = {QStringLiteral("Mowing")};
    QCOMPARE(click(), QList<int>{});
    const FakeWord::Content saved = savedDocument();
    QCOMPARE(saved.shapes.at(TitleBox).text, QStringLiteral("Marlow Cleaning\rServing OR"));
    QVERIFY2(saved.shapes.at(OwnerBox).text.contains(QStringLiteral("\vMarlow Cleaning Plaza | ")),
             qPrintable(saved.shapes.at(OwnerBox).text));
    // A service token typed into a field becomes the services text in the tabs.
    QVERIFY(saved.shapes.at(FirstTab).text.startsWith(kBullet + QStringLiteral("   Mowing\r")));
}

void TestTemplateFilling::run_existingTemplateFile_usedAndDeleted()
{
    FakeWord::Content own;
    own.shapes << FakeWord::Shape{FakeWord::Shape::TextBox, QStringLiteral("Own [BusinessName]")};
    const QString templatePath = Main::tempFolder() + QStringLiteral("/template.dot");
    {
        QFile file(templatePath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(own.toBytes());
    }
    QCOMPARE(click(), QList<int>{});
    const FakeWord::Content saved = savedDocument();
    QCOMPARE(saved.shapes.size(), 1);
    QCOMPARE(saved.shapes.first().text, QStringLiteral("Own Corvanti"));
    QVERIFY(!QFile::exists(templatePath));

    // The next run writes the embedded one again.
    QCOMPARE(click(), QList<int>{});
    QCOMPARE(savedDocument().shapes.size(), FirstTab + kTabs);
    QVERIFY(!QFile::exists(templatePath));
}

void TestTemplateFilling::run_takenDocumentName_drawnAgain()
{
    FlyerText::documentNameGenerator().seed(4242);
    std::mt19937 replay(4242);
    const QString taken = Main::tempFolder() + QLatin1Char('/') + FlyerText::documentName(replay);
    {
        QFile file(taken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("another run's flyer");
    }
    QCOMPARE(click(), QList<int>{});
    QVERIFY(m_host->wordFile != taken);
    QVERIFY(kDocumentName.match(QFileInfo(m_host->wordFile).fileName()).hasMatch());
    QVERIFY(FakeWord::Content::fromFile(m_host->wordFile).has_value());
    QFile file(taken);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("another run's flyer"));
}

void TestTemplateFilling::run_hostWithoutPreview_endsWithTheSavedDocument()
{
    m_host->preview = false;
    m_host->texts[7] = QString(FlyerText::kLaidOutCharacters + 5, QLatin1Char('x'));
    QCOMPARE(click(), QList<int>{});
    // No page picture: the document is handed over as saved.
    QCOMPARE(m_host->snapshotOf, QString());
    QVERIFY(m_host->pictureSize.isEmpty());
    QVERIFY(savedDocument().shapes.at(TitleBox).text.contains(QStringLiteral("Corvanti")));
    QCOMPARE(filesInTemp(), QStringList{QFileInfo(m_host->wordFile).fileName()});
    QCOMPARE(m_dialogs->messages().size(), 1); // what was left out is still told
}

void TestTemplateFilling::run_failure_reportedWithStatementAndRunEndsCleanly_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QList<int>>("lines");
    QTest::addColumn<bool>("preview");
    QTest::addColumn<int>("leftRunning");

    const auto fail = [](const char* operation, int times = -1, int after = 0) {
        return Setup([=](FakeWord::Engine& word, FakeHost&) {
            word.failOn(QLatin1String(operation), times, after);
        });
    };

    // Nothing can follow: one box, then the run ends without a preview.
    QTest::newRow("no template in the program") << Setup([this](FakeWord::Engine&, FakeHost&) {
        TemplateFilling::setTemplateSourceForTesting(
            []() -> QByteArray { throw Failure(QStringLiteral("no template")); });
    }) << QList<int>{106} << false << 0;
    QTest::newRow("template cannot be written") << Setup([](FakeWord::Engine&, FakeHost&) {
        QDir().mkpath(Main::tempFolder() + QStringLiteral("/template.dot/in-the-way"));
    }) << QList<int>{108} << false << 0;
    QTest::newRow("office cannot be started")
        << fail("CreateObject") << QList<int>{110} << false << 0;
    QTest::newRow("template cannot be opened")
        << fail("Documents.Open") << QList<int>{114} << false << 0;
    QTest::newRow("template is no document")
        << Setup([this](FakeWord::Engine&, FakeHost&) { m_templateBytes = "not a template"; })
        << QList<int>{114} << false << 0;
    QTest::newRow("save fails") << fail("Document.SaveAs") << QList<int>{224} << false << 0;
    QTest::newRow("save writes nothing")
        << Setup([](FakeWord::Engine& word, FakeHost&) { word.setSaveWritesNothing(true); })
        << QList<int>{224} << false << 0;
    QTest::newRow("capture fails") << Setup([](FakeWord::Engine&, FakeHost& host) {
        host.snapshot = [](const QString&) -> QImage {
            throw Failure(QStringLiteral("clipboard"));
        };
    }) << QList<int>{238} << false << 0;
    QTest::newRow("capture makes no picture, an old one lies about")
        << Setup([](FakeWord::Engine&, FakeHost& host) {
               QImage old(10, 10, QImage::Format_RGB32);
               old.fill(Qt::red);
               old.save(Main::tempFolder() + QStringLiteral("/temp.bmp"), "BMP");
               host.snapshot = [](const QString&) { return QImage(); };
           })
        << QList<int>{240} << false << 0;
    QTest::newRow("picture unreadable") << Setup([](FakeWord::Engine&, FakeHost& host) {
        host.snapshot = [](const QString&) {
            QFile file(Main::tempFolder() + QStringLiteral("/temp.bmp"));
            if (file.open(QIODevice::WriteOnly))
                file.write("not a picture");
            return QImage();
        };
    }) << QList<int>{240} << false << 0;

    // The rest report and go on, as every step does.
    QTest::newRow("one story replacement fails")
        << fail("Find.Execute", 1) << QList<int>{184} << true << 0;
    QTest::newRow("stories cannot be listed once")
        << fail("Document.StoryRanges", 1) << QList<int>{154} << true << 0;
    QTest::newRow("one shape replacement fails")
        << fail("Find.Execute", 1, 14 * 15) << QList<int>{196} << true << 0;
    QTest::newRow("text test fails, box filled anyway")
        << fail("TextFrame.HasText", 1, 14) << QList<int>{192} << true << 0;
    QTest::newRow("boxes cannot be read, flyer made all the same")
        << fail("Range.Text", 1) << QList<int>{152} << true << 0;
    QTest::newRow("text cannot be fitted, flyer saved as filled")
        << fail("Document.FitTextToShapes") << QList<int>{207} << true << 0;
    QTest::newRow("close fails, quit still runs")
        << fail("Document.Close", 1) << QList<int>{228} << true << 0;
    QTest::newRow("quit fails") << fail("Application.Quit", 1) << QList<int>{230} << true << 1;
}

void TestTemplateFilling::run_failure_reportedWithStatementAndRunEndsCleanly()
{
    QFETCH(Setup, setup);
    QFETCH(QList<int>, lines);
    QFETCH(bool, preview);
    QFETCH(int, leftRunning);
    setup(**m_word, *m_host);

    QCOMPARE(click(), lines);
    QCOMPARE(m_host->previewShown, preview);
    // Every session that started was told to quit (one that refused is left).
    QCOMPARE((*m_word)->runningApplications(), leftRunning);
    QCOMPARE((*m_word)->heldObjects(), 0);
    QVERIFY(!QFile::exists(Main::tempFolder() + QStringLiteral("/temp.bmp")));
    QStringList files = filesInTemp();
    if (preview) {
        // The preview owns the filled document, and it holds no token any more.
        QCOMPARE(files, QStringList{QFileInfo(m_host->wordFile).fileName()});
        QVERIFY(!savedDocument().allText().contains(QStringLiteral("[Zip]")));
    } else {
        QCOMPARE(files, QStringList{});
        QVERIFY(m_host->wordFile.isEmpty());
    }
}

QTEST_GUILESS_MAIN(TestTemplateFilling)
