// Text made to fit its box on the real office: each kind of box shrinks when
// it overflows, the saved document carries the sizes, text that does not fit
// at the floor is reported, the sample flyer is unchanged, the services
// columns never print over each other, and hostile input ends in bounded time.

#include "base/appinfo.h"
#include "base/mainmodule.h"
#include "generate/fitnotice.h"
#include "generate/flyertext.h"
#include "generate/templatefilling.h"
#include "generate/word.h"
#include "office/documentfacts.h"
#include "office/officeengine.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "sampleflyer.h"
#include "scripteddialogs.h"
#include "testenvironment.h"
#include "windowlesshost.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QTest>

#include <memory>

namespace {

const QStringList kTokens = SampleFlyer::tokens();

// Shapes of the template, in order.
enum { Title, Left, Right, Owner, Picture, Scheduled, FirstTab };

struct Data
{
    QStringList texts = SampleFlyer::fieldTexts();
    QStringList services = SampleFlyer::services();
    QStringList scheduled = SampleFlyer::scheduledServices();
};

// The main and preview windows as a filling run sees them.
class Host final : public WindowlessHost
{
public:
    Data data;

    QString fieldToken(int index) override { return kTokens.at(index); }
    QString fieldText(int index) override { return data.texts.at(index); }
    QStringList services() override { return data.services; }
    QStringList scheduledServices() override { return data.scheduled; }
};

QString repeated(const QString& unit, int length)
{
    QString text;
    while (text.size() < length)
        text += unit;
    return text.left(length);
}

// Pixels dark enough to be text (the watermark and emblem are far lighter).
bool ink(QRgb pixel)
{
    return qGray(pixel) < 110;
}

} // namespace

Q_DECLARE_METATYPE(Data)

class TestOfficeFit : public OfficeFixture
{
    Q_OBJECT

private Q_SLOTS:
    void fit_eachKindOfBoxOverflowing_shrinksAndFits_data();
    void fit_eachKindOfBoxOverflowing_shrinksAndFits();
    void fit_overflowAtTheFloor_reportedWithItsField();
    void fit_sampleData_flyerUnchanged();
    void columns_longItems_neverShareAHorizontalSpanOfInk();
    void run_hostileInput_boundedWithNoticeAndNothingLost_data();
    void run_hostileInput_boundedWithNoticeAndNothingLost();

private:
    void startTestCase() override;

    std::shared_ptr<Word::Document> filled(const Data& data);
    QImage picture(Word::Document& document);
};

void TestOfficeFit::startTestCase()
{
    openTemplateSession();
}

// The template filled as a run fills it (without the run's fitting).
std::shared_ptr<Word::Document> TestOfficeFit::filled(const Data& data)
{
    auto document = m_word->documents().open(m_template, true);
    const auto columns = FlyerText::servicesColumns(data.services);
    QStringList tokens = kTokens;
    QStringList texts = data.texts;
    tokens << QStringLiteral("[Services1]") << QStringLiteral("[Services2]")
           << QStringLiteral("[ScheduledServices]");
    texts << columns.first << columns.second << FlyerText::scheduledServicesText(data.scheduled);
    for (int i = 0; i < tokens.size(); ++i) {
        for (const auto& range : document->storyRanges())
            range->find().execute(tokens.at(i), texts.at(i), Word::Find::wdReplaceAll);
    }
    return document;
}

QImage TestOfficeFit::picture(Word::Document& document)
{
    document.range()->copyAsPicture();
    return QGuiApplication::clipboard()->image();
}

void TestOfficeFit::fit_eachKindOfBoxOverflowing_shrinksAndFits_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("services");
    QTest::addColumn<QList<int>>("boxes");

    const QList<int> tabs{FirstTab,     FirstTab + 1, FirstTab + 2, FirstTab + 3,
                          FirstTab + 4, FirstTab + 5, FirstTab + 6, FirstTab + 7};
    QTest::newRow("title: a 66-character business name")
        << 0
        << QStringLiteral("Harbor Lane Handyman and Home Repair Services of Greater Port Ellis")
        << 0 << QList<int>{Title};
    QTest::newRow("title: a long tag line")
        << 1 << repeated(QStringLiteral("small repairs done right the first time "), 260) << 0
        << QList<int>{Title};
    QTest::newRow("owner block: a long address")
        << 4 << repeated(QStringLiteral("Unit 4, Old Mill Buildings, Harbour Road "), 120) << 0
        << QList<int>{Owner};
    QTest::newRow("services column: 25 services") << -1 << QString() << 25 << QList<int>{Right};
    QTest::newRow("scheduled services strip")
        << -2 << repeated(QStringLiteral("Fortnightly Hedge Care "), 110) << 0
        << QList<int>{Scheduled};
    QTest::newRow("tear-off tabs: a long e-mail")
        << 13
        << QStringLiteral("tobin.marsh@harbor-lane-handyman-and-home-repairs-of-port-ellis-and-"
                          "the-whole-county.example")
        << 0 << tabs;
}

void TestOfficeFit::fit_eachKindOfBoxOverflowing_shrinksAndFits()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(int, services);
    QFETCH(QList<int>, boxes);
    Data data;
    if (field >= 0)
        data.texts[field] = text;
    if (field == -2)
        data.scheduled = {text, QStringLiteral("Monthly")};
    if (services > 0) {
        data.services.clear();
        for (int i = 0; i < services; ++i)
            data.services << QStringLiteral("Service number %1").arg(i + 1);
    }
    auto document = filled(data);
    const auto fits = document->fitTextToShapes(TemplateFilling::kFitLimits);
    QCOMPARE(int(fits.size()), 15);
    for (int i = 0; i < int(fits.size()); ++i) {
        const QByteArray where = "shape " + QByteArray::number(i);
        QVERIFY2(fits[i].fits, where.constData());
        if (boxes.contains(i))
            QVERIFY2(fits[i].percent < 100 && fits[i].percent >= 60, where.constData());
        else
            QVERIFY2(fits[i].percent == 100, where.constData());
    }
    const QString saved = m_environment->root() + QStringLiteral("/shrunk.doc");
    document->saveAs(saved);
    document->close();

    // The saved document keeps the smaller text: measured afresh, it fits
    // as it is.
    auto again = m_word->documents().open(saved, true);
    for (const auto& fit : again->fitTextToShapes(TemplateFilling::kFitLimits))
        QCOMPARE(fit.percent, 100);
    again->close();
}

void TestOfficeFit::fit_overflowAtTheFloor_reportedWithItsField()
{
    Data data;
    data.texts[13] = repeated(QStringLiteral("tobin.marsh.harbor.lane."), 300);
    auto document = filled(data);
    std::vector<FitNotice::Box> boxes;
    {
        auto plain = m_word->documents().open(m_template, true);
        for (const auto& shape : plain->shapes()) {
            auto frame = shape->textFrame();
            boxes.push_back({frame->hasText() ? frame->textRange()->text() : QString()});
        }
        plain->close();
    }
    const auto fits = document->fitTextToShapes(TemplateFilling::kFitLimits);
    document->close();
    for (int tab = FirstTab; tab < FirstTab + 8; ++tab) {
        QVERIFY(!fits[tab].fits);
        QCOMPARE(fits[tab].percent, 60);
        // A tab holds a few lines of about 35 characters at 6 points.
        QVERIFY2(fits[tab].shownCharacters > 60 && fits[tab].shownCharacters < 400,
                 QByteArray::number(fits[tab].shownCharacters).constData());
    }
    QCOMPARE(fits[Title].fits && fits[Owner].fits, true);

    QHash<QString, QString> texts;
    for (int i = 0; i < kTokens.size(); ++i)
        texts.insert(kTokens.at(i), data.texts.at(i));
    const QString notice = FitNotice::notice(boxes, fits, texts);
    QVERIFY2(notice.contains(QStringLiteral("The e-mail on the tear-off tabs does not fit; "
                                            "shorten it to about ")),
             qPrintable(notice));
    QCOMPARE(notice.count(QStringLiteral("tear-off")), 1);
}

void TestOfficeFit::fit_sampleData_flyerUnchanged()
{
    auto plain = filled(Data{});
    const QImage before = picture(*plain);
    plain->close();
    auto fitted = filled(Data{});
    for (const auto& fit : fitted->fitTextToShapes(TemplateFilling::kFitLimits)) {
        QCOMPARE(fit.percent, 100);
        QVERIFY(fit.fits);
    }
    const QImage after = picture(*fitted);
    fitted->close();
    QVERIFY(!before.isNull());
    QCOMPARE(after, before);
}

void TestOfficeFit::columns_longItems_neverShareAHorizontalSpanOfInk()
{
    // Items long enough to wrap, in one column at a time: the ink of each
    // column, within the band the columns stand in.
    auto inkSpan = [&](const QStringList& services, double fromInch) {
        Data data;
        data.services = services;
        auto document = filled(data);
        document->fitTextToShapes(TemplateFilling::kFitLimits);
        const QImage page = picture(*document);
        document->close();
        const double perInch = page.width() / 8.5;
        int left = page.width(), right = -1;
        for (int y = int(3.2 * perInch); y < int(6.0 * perInch); ++y) {
            for (int x = int(fromInch * perInch); x < int(7.0 * perInch); ++x) {
                if (ink(page.pixel(x, y))) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        return std::pair{left, right};
    };
    const QString wide = QStringLiteral("Weeding Planted Areas and Flower Beds Along the Drive");
    const auto leftColumn = inkSpan({wide, wide, wide}, 1.5);
    // The left column takes the first ten items: ten dots, whose ink ends
    // far left of where the search for the right column's begins.
    QStringList rightOnly(10, QStringLiteral("."));
    rightOnly << wide << wide;
    const auto rightColumn = inkSpan(rightOnly, 3.0);
    QVERIFY(leftColumn.second > 0 && rightColumn.second > 0);
    QVERIFY2(leftColumn.second < rightColumn.first,
             qPrintable(QStringLiteral("left column ink to x=%1, right column from x=%2")
                            .arg(leftColumn.second)
                            .arg(rightColumn.first)));
}

void TestOfficeFit::run_hostileInput_boundedWithNoticeAndNothingLost_data()
{
    QTest::addColumn<Data>("data");
    QTest::addColumn<bool>("notice");

    Data empty;
    empty.texts = QStringList(kTokens.size(), QString());
    empty.services.clear();
    empty.scheduled.clear();
    QTest::newRow("empty fields and lists") << empty << false;
    Data word;
    word.texts[0] = QString(500, QLatin1Char('W'));
    QTest::newRow("a 500-character word") << word << true;
    Data scripts;
    scripts.texts[0] = QStringLiteral("שירותי גינון מקצועיים בכל רחבי העיר והסביבה مرحبا بكم");
    scripts.texts[1] = repeated(QStringLiteral("草刈りと庭の手入れ、季節ごとの植栽 "), 200);
    scripts.texts[13] = repeated(QStringLiteral("🌳🌷👨‍👩‍👧"), 120);
    QTest::newRow("right-to-left, CJK, emoji") << scripts << true;
    Data many;
    many.services.clear();
    many.scheduled.clear();
    for (int i = 0; i < 1000; ++i) {
        many.services << QStringLiteral("Service %1").arg(i);
        many.scheduled << QStringLiteral("Visit %1").arg(i);
    }
    QTest::newRow("1,000 services in each list") << many << true;
    Data huge;
    for (QString& text : huge.texts)
        text = repeated(QStringLiteral("green lawns trimmed hedges "), 100000);
    QTest::newRow("every field 100,000 characters") << huge << true;
}

void TestOfficeFit::run_hostileInput_boundedWithNoticeAndNothingLost()
{
    QFETCH(Data, data);
    QFETCH(bool, notice);
    ScriptedDialogs dialogs;
    Host host;
    host.data = data;
    TemplateFilling::PushButton6_Click(host);
    QVERIFY2(dialogs.errors().isEmpty(), qPrintable(dialogs.errors().join(QLatin1Char('\n'))));
    QVERIFY(Main::FileExists(host.document));
    QCOMPARE(!host.notice.isEmpty(), notice);

    // The document holds each text as far as the flyer takes it.
    auto document = m_word->documents().open(host.document, true);
    const auto facts = inspectOfficeDocument(*document);
    document->close();
    Main::DeleteFileQuietly(host.document);
    const QString title = facts.shapes.at(Title).text;
    QVERIFY(title.startsWith(FlyerText::laidOutText(data.texts[0]).left(200)));
}

QTEST_MAIN(TestOfficeFit)
#include "tst_office_fit.moc"
