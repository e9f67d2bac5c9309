// Hostile texts through a whole filling run on the real office: random
// Unicode (controls, combining marks, right-to-left, astral characters),
// token look-alikes, Word's and regular expressions' special sequences, very
// long fields and very long lists. The saved document, read back through the
// office, holds exactly the texts given, and nothing crashes.
//
// "Exactly" has one qualification, which is the program's rule: characters a
// Word document cannot hold as text (the control characters other than tab,
// line feed and carriage return, unpaired surrogates and the noncharacters
// U+FFFE and U+FFFF) are left out; a line feed is a line break and a carriage
// return a new paragraph.

#include "base/appinfo.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "faultinjection.h"
#include "generate/flyertext.h"
#include "generate/templatefilling.h"
#include "office/documentfacts.h"
#include "office/officeengine.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "sampleflyer.h"
#include "scripteddialogs.h"
#include "testenvironment.h"
#include "windowlesshost.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

const QStringList kTokens = SampleFlyer::tokens();

// The main and preview windows as far as a filling run needs them; the page
// picture is a plain one, since only the document's text is checked here.
class TextHost final : public WindowlessHost
{
public:
    QStringList texts;
    QStringList list1;
    QStringList list2;

    QString fieldToken(int index) override { return kTokens.at(index); }
    QString fieldText(int index) override { return texts.at(index); }
    QStringList services() override { return list1; }
    QStringList scheduledServices() override { return list2; }
};

// The shape texts a filling run makes of the template's, replacing as the
// run does: field by field in every story, then every text box again with the
// service tokens added; tokens are found in any letter case, and a replaced
// text is not searched again by the same token.
QStringList filled(QStringList shapes, const TextHost& host, bool balanced = false)
{
    // Text far beyond what the flyer shows is left out, from the end.
    const auto columns =
        balanced ? FlyerText::balancedColumns(host.list1) : FlyerText::servicesColumns(host.list1);
    QStringList texts;
    for (const QString& text : host.texts)
        texts << storableText(FlyerText::laidOutText(text));
    for (int i = 0; i < kTokens.size(); ++i) {
        for (QString& shape : shapes)
            shape.replace(kTokens.at(i), texts.at(i), Qt::CaseInsensitive);
    }
    for (QString& shape : shapes) {
        if (shape.isEmpty())
            continue;
        for (int i = 0; i < kTokens.size(); ++i)
            shape.replace(kTokens.at(i), texts.at(i), Qt::CaseInsensitive);
        shape.replace(QStringLiteral("[Services1]"),
                      storableText(FlyerText::laidOutColumn(columns.first)), Qt::CaseInsensitive);
        shape.replace(QStringLiteral("[Services2]"),
                      storableText(FlyerText::laidOutColumn(columns.second)), Qt::CaseInsensitive);
        shape.replace(
            QStringLiteral("[ScheduledServices]"),
            storableText(FlyerText::laidOutText(FlyerText::scheduledServicesText(host.list2))),
            Qt::CaseInsensitive);
    }
    return shapes;
}

// Random text drawn from the kinds of characters that trouble text handling.
QString randomText(QRandomGenerator& random, int length)
{
    static const std::vector<std::pair<char32_t, char32_t>> blocks = {
        {0x20, 0x7e},       // ASCII
        {0x00, 0x1f},       // C0 controls
        {0x7f, 0x9f},       // DEL and C1 controls
        {0xa0, 0xff},       // Latin-1
        {0x300, 0x36f},     // combining marks
        {0x5d0, 0x5ea},     // Hebrew
        {0x627, 0x64a},     // Arabic
        {0x200b, 0x200f},   // zero widths and direction marks
        {0x202a, 0x202e},   // direction embeddings and overrides
        {0x4e00, 0x4e80},   // CJK
        {0xd800, 0xdfff},   // unpaired surrogates
        {0xfffc, 0xffff},   // replacement character and noncharacters
        {0x1f600, 0x1f64f}, // emoji (astral)
        {0x1d400, 0x1d44f}, // mathematical letters (astral)
    };
    QString text;
    while (text.size() < length) {
        const auto& block = blocks[random.bounded(int(blocks.size()))];
        const char32_t c = block.first + random.bounded(int(block.second - block.first + 1));
        if (c > 0xffff) {
            const char32_t pair[] = {c};
            text += QString::fromUcs4(pair, 1);
        } else {
            text += QChar(char16_t(c));
        }
    }
    return text;
}

struct Case
{
    QStringList texts;
    QStringList list1;
    QStringList list2;
};

} // namespace

Q_DECLARE_METATYPE(Case)

class TestFaultsInput : public OfficeFixture
{
    Q_OBJECT

private Q_SLOTS:
    void storableText_dropsOnlyWhatWordCannotHold();
    void hostileTexts_filledDocument_holdsExactlyTheTexts_data();
    void hostileTexts_filledDocument_holdsExactlyTheTexts();

private:
    void startTestCase() override;

    QStringList m_templateShapes;
};

void TestFaultsInput::storableText_dropsOnlyWhatWordCannotHold()
{
    const QString astral = QString::fromUcs4(U"\U0001F33F");
    // Tab, line breaks, combining marks, right-to-left and astral characters stay.
    const QString kept = QStringLiteral("a\tb\r\nc e\u0301 \u05e9\u05dc") + astral;
    QCOMPARE(storableText(kept), kept);
    // Other controls, unpaired surrogates and the two noncharacters go.
    QString dropped = QStringLiteral("x\u0001\u0007\u000b\u001f\u007f\u0085\u009fy");
    dropped += QChar(0xd800);
    dropped += QStringLiteral("z");
    dropped += QChar(0xdc00);
    dropped += QStringLiteral("\ufffe\uffff") + astral.at(0);
    QCOMPARE(storableText(dropped), QStringLiteral("xyz"));
}

void TestFaultsInput::startTestCase()
{
    const QString path = m_environment->root() + QStringLiteral("/template.dot");
    Main::WriteFileIfAbsent(TemplateFilling::embeddedTemplate(), path);
    for (const auto& shape : readBack(path).shapes)
        m_templateShapes << shape.text;
    QCOMPARE(m_templateShapes.size(), 15);
}

void TestFaultsInput::hostileTexts_filledDocument_holdsExactlyTheTexts_data()
{
    QTest::addColumn<Case>("input");
    auto fields = [](QStringList texts) {
        for (int i = int(texts.size()); i < kTokens.size(); ++i)
            texts << QStringLiteral("Field %1").arg(i);
        return texts;
    };

    QTest::newRow("token look-alikes") << Case{
        fields({QStringLiteral("[businessname] [TAGLINE] [Tag Line] [Zip [Zip2] Zip]"),
                QStringLiteral("[tagline]x"), QStringLiteral("[[OwnerName]]"),
                QStringLiteral("[ZiP]"), QStringLiteral("]Title[ [Title"),
                QStringLiteral("[Services1] [services2]"), QStringLiteral("[SCHEDULEDSERVICES]")}),
        {QStringLiteral("[Services1]"), QStringLiteral("[services2]"),
         QStringLiteral("[BusinessName]")},
        {QStringLiteral("[ScheduledServices]"), QStringLiteral("[zip]")}};
    QTest::newRow("special sequences") << Case{
        fields({QStringLiteral("^p^l^t^^^&^0013"), QStringLiteral("$1 $& $0 \\1 \\\\ \\n \\t"),
                QStringLiteral(".*+?()[]{}|^$"), QStringLiteral("%s %n %1 %%"),
                QStringLiteral("&amp; <b>x</b> \"'`"), QStringLiteral("C:\\temp\\new\\table"),
                QStringLiteral("\\E\\Q(?i)(?=x)")}),
        {QStringLiteral("^p"), QStringLiteral("$1"), QStringLiteral("\\"), QStringLiteral(".*"),
         QStringLiteral("(a|b)+")},
        {QStringLiteral("^l"), QStringLiteral("$$"), QStringLiteral("\\\\")}};
    QTest::newRow("line and paragraph breaks, tabs")
        << Case{fields({QStringLiteral("one\rtwo"), QStringLiteral("one\ntwo"),
                        QStringLiteral("one\r\ntwo"), QStringLiteral("\t\tindented"),
                        QStringLiteral("\r"), QStringLiteral("\n\n"), QStringLiteral("end\r")}),
                {QStringLiteral("a\rb"), QStringLiteral("c\nd")},
                {QStringLiteral("e\rf")}};

    QRandomGenerator random(20261208);
    for (int round = 0; round < 6; ++round) {
        Case input;
        for (int i = 0; i < kTokens.size(); ++i)
            input.texts << randomText(random, 1 + random.bounded(60));
        for (int i = 0, n = random.bounded(25); i < n; ++i)
            input.list1 << randomText(random, 1 + random.bounded(30));
        for (int i = 0, n = random.bounded(6); i < n; ++i)
            input.list2 << randomText(random, 1 + random.bounded(30));
        QTest::addRow("random Unicode %d", round) << input;
    }

    Case huge;
    huge.texts = fields({randomText(random, 100000), QString(100000, QLatin1Char('x'))});
    for (int i = 0; i < 1000; ++i)
        huge.list1 << QStringLiteral("Service %1 %2").arg(i).arg(randomText(random, 8));
    for (int i = 0; i < 1000; ++i)
        huge.list2 << QStringLiteral("Scheduled %1").arg(i);
    QTest::newRow("100,000-character fields, 1,000 services") << huge;
}

void TestFaultsInput::hostileTexts_filledDocument_holdsExactlyTheTexts()
{
    QFETCH(Case, input);
    ScriptedDialogs dialogs;
    TextHost host;
    host.texts = input.texts;
    host.list1 = input.list1;
    host.list2 = input.list2;

    host.makeFlyer();
    QVERIFY2(dialogs.errors().isEmpty(), qPrintable(dialogs.errors().join(QLatin1Char('\n'))));
    // Only what is left out is told before the run.
    const bool cut = std::any_of(host.texts.begin(), host.texts.end(), [](const QString& text) {
        return text.size() > FlyerText::kLaidOutCharacters;
    });
    QCOMPARE(dialogs.messages().size(), cut ? 1 : 0);
    QVERIFY(Main::FileExists(host.document));

    auto word = Word::CreateApplication();
    auto document = word->documents().open(host.document, true);
    const auto facts = inspectOfficeDocument(*document);
    word->quit();
    Main::DeleteFileQuietly(host.document);

    const QStringList expected = filled(m_templateShapes, host);
    // Services that do not fit their columns as designed are spread over both.
    const QStringList spread = filled(m_templateShapes, host, true);
    QCOMPARE(int(facts.shapes.size()), int(expected.size()));
    for (int i = 0; i < expected.size(); ++i) {
        const QString& actual = facts.shapes.at(std::size_t(i)).text;
        if (actual != expected.at(i) && actual != spread.at(i)) {
            // Where they part, rather than two pages of text.
            qsizetype at = 0;
            while (at < actual.size() && at < expected.at(i).size() &&
                   actual.at(at) == expected.at(i).at(at))
                ++at;
            QFAIL(qPrintable(
                QStringLiteral("shape %1 differs at %2: got U+%3 (%4 chars), "
                               "expected U+%5 (%6 chars)")
                    .arg(i)
                    .arg(at)
                    .arg(at < actual.size() ? actual.at(at).unicode() : 0, 4, 16, QLatin1Char('0'))
                    .arg(actual.size())
                    .arg(at < expected.at(i).size() ? expected.at(i).at(at).unicode() : 0, 4, 16,
                         QLatin1Char('0'))
                    .arg(expected.at(i).size())));
        }
    }
    QCOMPARE(entriesOf(Main::tempFolder()), QStringList());
}

QTEST_MAIN(TestFaultsInput)
#include "tst_faults_input.moc"
