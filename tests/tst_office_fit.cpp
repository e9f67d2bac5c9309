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
#include "pdffacts.h"
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
    void fit_overflowAtTheFloor_reportedWithItsField_data();
    void fit_overflowAtTheFloor_reportedWithItsField();
    void fit_sampleData_flyerUnchanged();
    void fit_longNameShortTagLine_onlyTheNameShrinks_data();
    void fit_longNameShortTagLine_onlyTheNameShrinks();
    void columns_longItems_neverShareAHorizontalSpanOfInk();
    // Before the runs, which remove the template they share.
    void balance_columnsOverflowing_spreadAtOneSize_data();
    void balance_columnsOverflowing_spreadAtOneSize();
    void run_hostileInput_boundedWithNoticeAndNothingLost_data();
    void run_hostileInput_boundedWithNoticeAndNothingLost();
    void run_emptyFields_leaveNoLabelsSeparatorsOrLines_data();
    void run_emptyFields_leaveNoLabelsSeparatorsOrLines();

private:
    std::vector<FitNotice::Box> templateBoxes();
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

std::vector<FitNotice::Box> TestOfficeFit::templateBoxes()
{
    std::vector<FitNotice::Box> boxes;
    auto plain = m_word->documents().open(m_template, true);
    for (const auto& shape : plain->shapes()) {
        auto frame = shape->textFrame();
        boxes.push_back({frame->hasText() ? frame->textRange()->text() : QString()});
    }
    plain->close();
    return boxes;
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
    // Three lines at the designed size, two when smaller.
    QTest::newRow("tear-off tabs: a long e-mail")
        << 13
        << QStringLiteral("tobin.marsh@harbor-lane-handyman-and-home-repairs-of-ellis.example") << 0
        << tabs;
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
    // Each on its own too: a tab alike the first is otherwise taken to fit as it does.
    for (int box : boxes) {
        Word::TextFitPlan alone;
        alone.only = {std::size_t(box)};
        QCOMPARE(again->fitTextToShapes(TemplateFilling::kFitLimits, alone).at(box).percent, 100);
    }
    again->close();
}

void TestOfficeFit::fit_overflowAtTheFloor_reportedWithItsField_data()
{
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("boxes");
    QTest::addColumn<QStringList>("notice");
    QTest::newRow("tear-off tabs: lines that run top to bottom")
        << 13 << repeated(QStringLiteral("tobin.marsh.harbor.lane."), 300)
        << QList<int>{FirstTab,     FirstTab + 1, FirstTab + 2, FirstTab + 3,
                      FirstTab + 4, FirstTab + 5, FirstTab + 6, FirstTab + 7}
        << QStringList{QStringLiteral("The e-mail on the tear-off tabs does not fit; shorten it "
                                      "to about ")};
    // The address line takes the whole block: the lines after it are gone.
    QTest::newRow("owner block: the phone line pushed off")
        << 4 << repeated(QStringLiteral("Unit 4, Old Mill Buildings, Harbour Road "), 1000)
        << QList<int>{Owner}
        << QStringList{QStringLiteral("The address does not fit"),
                       QStringLiteral("the phone number and the fax number.")};
}

void TestOfficeFit::fit_overflowAtTheFloor_reportedWithItsField()
{
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QList<int>, boxes);
    QFETCH(QStringList, notice);
    Data data;
    data.texts[field] = text;
    auto document = filled(data);
    const std::vector<FitNotice::Box> templateTexts = templateBoxes();
    const auto before = inspectOfficeDocument(*document);
    const auto fits = document->fitTextToShapes(TemplateFilling::kFitLimits);
    const auto after = inspectOfficeDocument(*document);
    for (int box : boxes) {
        QVERIFY(!fits[box].fits);
        QCOMPARE(fits[box].percent, 60);
        // Only whole lines are left: the text's beginning, as far as shown.
        const QString shown = after.shapes.at(box).text;
        QVERIFY2(before.shapes.at(box).text.startsWith(shown) && shown.size() > 60 &&
                     shown.size() < before.shapes.at(box).text.size(),
                 qPrintable(shown));
        QCOMPARE(fits[box].shownCharacters, shown.size());
    }
    // Measured again, what is left fits as it is: no line runs past a box.
    for (const auto& fit : document->fitTextToShapes(TemplateFilling::kFitLimits))
        QVERIFY(fit.fits && fit.percent == 100);
    document->close();
    QCOMPARE(fits[Title].fits, true);

    QHash<QString, QString> texts;
    for (int i = 0; i < kTokens.size(); ++i)
        texts.insert(kTokens.at(i), data.texts.at(i));
    const QString told = FitNotice::notice(templateTexts, fits, texts);
    for (const QString& part : notice)
        QVERIFY2(told.contains(part), qPrintable(told));
    QCOMPARE(told.count(QStringLiteral("tear-off")), field == 13 ? 1 : 0);
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

void TestOfficeFit::fit_longNameShortTagLine_onlyTheNameShrinks_data()
{
    QTest::addColumn<QString>("longName");
    QTest::addColumn<QString>("tagLine");
    QTest::newRow("one line") << QStringLiteral("Greenway Brothers Landscaping, Lawn Care, Tree "
                                                "Service and Seasonal Garden Design of Boise, ID")
                              << QStringLiteral("Lawns that turn heads");
    // Its lines end lower than they start, and none of them wraps.
    QTest::newRow("two lines by a line break")
        << QStringLiteral("Greenway Brothers Landscaping and Lawn Care of Boise")
        << QStringLiteral("Lawns that\nturn heads");
}

void TestOfficeFit::fit_longNameShortTagLine_onlyTheNameShrinks()
{
    QFETCH(QString, longName);
    QFETCH(QString, tagLine);
    // The printed heights of a word of the name and of the tag line.
    auto heights = [&](const QString& name) {
        Data data;
        data.texts[0] = name;
        data.texts[1] = tagLine;
        auto document = filled(data);
        document->fitTextToShapes(TemplateFilling::kFitLimits);
        const QString pdf = m_environment->root() + QStringLiteral("/title.pdf");
        document->exportAsFixedFormat(pdf, Word::Document::wdExportFormatPDF);
        document->close();
        return std::pair{pdfWordHeight(pdf, QStringLiteral("Greenway")),
                         pdfWordHeight(pdf, QStringLiteral("heads"))};
    };
    const auto designed = heights(QStringLiteral("Greenway"));
    const auto fitted = heights(longName);
    QVERIFY(designed.first > 0 && designed.second > 0);
    QVERIFY2(fitted.first < designed.first * 0.9, qPrintable(QString::number(fitted.first)));
    QVERIFY2(std::abs(fitted.second - designed.second) < 0.1,
             qPrintable(QStringLiteral("%1 against %2").arg(fitted.second).arg(designed.second)));
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
    // Nothing to shrink; the flyer without a name is told so.
    QTest::newRow("empty fields and lists") << empty << true;
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
    host.makeFlyer();
    QVERIFY2(dialogs.errors().isEmpty(), qPrintable(dialogs.errors().join(QLatin1Char('\n'))));
    QVERIFY(Main::FileExists(host.document));
    QCOMPARE(!host.notice.isEmpty(), notice);

    auto document = m_word->documents().open(host.document, true);
    const auto facts = inspectOfficeDocument(*document);
    document->close();
    Main::DeleteFileQuietly(host.document);
    // The document holds each text as far as the flyer shows it: the name's
    // beginning, whole lines of it when it does not fit.
    const QString title = facts.shapes.at(Title).text;
    const QString name = FlyerText::laidOutText(data.texts[0]);
    QVERIFY2(name.startsWith(title.left(name.size())) && (name.isEmpty() || title.size() > 20),
             qPrintable(title));
}

void TestOfficeFit::balance_columnsOverflowing_spreadAtOneSize_data()
{
    QTest::addColumn<QStringList>("services");
    QTest::addColumn<int>("leftItems");
    QTest::addColumn<bool>("shrunk");
    QStringList thirty;
    for (int i = 0; i < 30; ++i)
        thirty << QStringLiteral("Service %1: Mowing and Edging").arg(i + 1);
    QTest::newRow("30 services, half each") << thirty << 15 << true;
    QStringList described;
    for (int i = 0; i < 7; ++i)
        described << QStringLiteral("Private lessons for beginners aged five and up, thirty or "
                                    "forty-five minutes every week, number %1")
                         .arg(i + 1);
    QTest::newRow("7 long descriptions, the odd one left") << described << 4 << true;
    QTest::newRow("the sample's 20: split at ten as designed")
        << SampleFlyer::services() << 10 << false;
}

void TestOfficeFit::balance_columnsOverflowing_spreadAtOneSize()
{
    QFETCH(QStringList, services);
    QFETCH(int, leftItems);
    QFETCH(bool, shrunk);
    Data data;
    data.services = services;
    const auto boxes = templateBoxes();
    auto document = filled(data);
    const auto fit =
        TemplateFilling::fitFlyer(*document, boxes, services, FlyerText::servicesColumns(services));
    const auto facts = inspectOfficeDocument(*document);
    document->close();
    auto items = [&](int shape) {
        return int(facts.shapes.at(shape).paragraphs.filter(QChar(FlyerText::kBullet)).size());
    };
    QCOMPARE(items(Left), leftItems);
    QCOMPARE(items(Right), int(services.size()) - leftItems);
    QVERIFY(fit.fits[Left].fits && fit.fits[Right].fits);
    QCOMPARE(fit.fits[Left].percent, fit.fits[Right].percent);
    QCOMPARE(fit.fits[Left].percent < 100, shrunk);
    QVERIFY(fit.fits[Left].percent >= TemplateFilling::kFitLimits.floorPercent);
    QCOMPARE(fit.columns.first.count(QChar(13)), leftItems);
}

void TestOfficeFit::run_emptyFields_leaveNoLabelsSeparatorsOrLines_data()
{
    QTest::addColumn<QList<int>>("empty");
    QTest::addColumn<QString>("owner");
    QTest::addColumn<int>("tabLines");
    // Fields in the order of SampleFlyer::tokens().
    enum { Name, Tag, OwnerName, JobTitle, Street, City, State, Zip, Phone, Fax, Address2 = 11 };
    QTest::newRow("no fax") << QList<int>{Fax}
                            << QStringLiteral("Arlo Penwright\rOwner and Landscape Architect\n"
                                              "1234 East Main Street   \u2022   Boise, ID 91002\n"
                                              "Phone:  367.555.0100")
                            << 4;
    QTest::newRow("no title, city or phone; a tab line gone")
        << QList<int>{JobTitle, City, Phone, Address2}
        << QStringLiteral("Arlo Penwright\r1234 East Main Street   \u2022   ID 91002\n"
                          "Fax:  367.555.0101")
        << 3;
    QTest::newRow("no address line, nor name or tag line")
        << QList<int>{Name, Tag, Street, City, State, Zip}
        << QStringLiteral("Arlo Penwright\rOwner and Landscape Architect\n"
                          "Phone:  367.555.0100   \u2022   Fax:  367.555.0101")
        << 4;
}

void TestOfficeFit::run_emptyFields_leaveNoLabelsSeparatorsOrLines()
{
    QFETCH(QList<int>, empty);
    QFETCH(QString, owner);
    QFETCH(int, tabLines);
    ScriptedDialogs dialogs;
    Host host;
    for (int field : empty)
        host.data.texts[field] = field % 2 ? QString() : QStringLiteral("  ");
    host.makeFlyer();
    QVERIFY2(dialogs.errors().isEmpty(), qPrintable(dialogs.errors().join(QLatin1Char('\n'))));
    auto document = m_word->documents().open(host.document, true);
    const auto facts = inspectOfficeDocument(*document);
    document->close();
    Main::DeleteFileQuietly(host.document);
    QCOMPARE(facts.shapes.at(Owner).text, owner);
    QCOMPARE(int(facts.shapes.at(FirstTab).paragraphs.size()), tabLines);
    QCOMPARE(int(facts.shapes.at(FirstTab + 7).paragraphs.size()), tabLines);
    // The title box keeps what is left of its two lines (the name, field 0,
    // and the tag line, field 1); a flyer without a name is told so, and
    // made all the same.
    QCOMPARE(facts.shapes.at(Title).paragraphs.size() == 1, empty.contains(1));
    QCOMPARE(host.notice.contains(QStringLiteral("no business name")), empty.contains(0));
}

QTEST_MAIN(TestOfficeFit)
#include "tst_office_fit.moc"
