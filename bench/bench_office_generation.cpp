// How long one flyer generation keeps the user waiting on the office: the
// start of a session, opening the template, both replacement passes, saving,
// and the page picture. Target: well under a second once the office is warm.
//
//   bench_office_generation [length]   the steps of one generation
//   bench_office_generation fit [runs] what fitting text to its boxes (each box
//       alone, and with the services columns balanced as a run does) adds to
//       the office's part of a warm generation (open, fill, fit, save), with
//       the sample text and with every box overflowing; targets +60 ms and
//       +400 ms on the median.
//   bench_office_generation style [runs] what recolouring the flyer in one
//       style adds to the same part of a generation; target +40 ms.
//   bench_office_generation page FOLDER [STYLE] writes the page picture of a
//       whole generation, twice on one engine (the first run and a warm one),
//       for the sample data, empty data and long data into FOLDER, so that two
//       builds' pictures can be compared pixel for pixel; the sample and the
//       long data also with a code on the tear-off tabs; in the colour style
//       of that stored name (earth, ocean, mono, ...), the designed one without.
//   bench_office_generation code [runs] where the tear-off tabs' QR code's
//       cost goes: a warm generation of the sample, phase by phase, with a
//       code on the tabs and without, by turns.
//   bench_office_generation code RUNS with|without the same generations, every
//       one with the code or every one without, on an office that is waited
//       for as long as it takes: for tools/office-instructions.sh, which runs
//       the office under an instruction counter. PELLAMONT_BENCH_DUMP, when
//       set, is run after the last generation (the counter's dump command).

#include "base/appinfo.h"
#include "base/flyerfields.h"
#include "base/mainmodule.h"
#include "generate/fitnotice.h"
#include "generate/flyerstyle.h"
#include "generate/flyertext.h"
#include "generate/tearoffcode.h"
#include "generate/templatefilling.h"
#include "generate/word.h"
#include "office/officeengine.h"
#include "sampleflyer.h"
#include "windowlesshost.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdlib>

namespace {

const QStringList kTokens = SampleFlyer::tokens();

enum class Fitting { None, Plain, Balancing };

// What each box of the template holds before filling: a run reads it
// whether it fits or not.
std::vector<FitNotice::Box> templateBoxes(Word::Document& document)
{
    std::vector<FitNotice::Box> boxes;
    for (const auto& shape : document.shapes()) {
        auto frame = shape->textFrame();
        boxes.push_back({frame->hasText() ? frame->textRange()->text() : QString()});
    }
    return boxes;
}

// The fields by their tokens in every story, the tear-off tabs' breakable
// beside a code when `codeOnTabs`; then the service lists, which follow the
// fields in `texts`, into the boxes.
void fill(Word::Document& document, const QStringList& texts, bool codeOnTabs = false)
{
    for (int i = 0; i < kTokens.size(); ++i) {
        QString text = texts.at(i);
        if (codeOnTabs) {
            int field = 0;
            while (FlyerFields::token(field) != kTokens.at(i))
                ++field;
            if (field >= FlyerFields::kFirstTabField)
                text = TearOffCode::breakableOnTab(text);
        }
        for (const auto& range : document.storyRanges())
            range->find().execute(kTokens.at(i), text, 2);
    }
    const QStringList services = {QStringLiteral("[Services1]"), QStringLiteral("[Services2]"),
                                  QStringLiteral("[ScheduledServices]")};
    const auto shapes = document.shapes();
    for (int i = 0; i < services.size(); ++i) {
        for (const auto& shape : shapes) {
            auto frame = shape->textFrame();
            if (frame->hasText())
                frame->textRange()->find().execute(services.at(i), texts.at(kTokens.size() + i), 2);
        }
    }
}

// The office's part of one generation, in milliseconds: open, fill every
// token, fit (or not), save, close.
double fillAndSave(Word::Engine& engine, const QString& dot, const QString& doc,
                   const QStringList& texts, const QStringList& serviceItems, Fitting fit,
                   const Word::Recoloring* recoloring = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    auto word = engine.createApplication();
    auto document = word->documents().open(dot, true);
    const std::vector<FitNotice::Box> boxes = templateBoxes(*document);
    fill(*document, texts);
    // Fitting every box on its own, as before columns were balanced; or as a
    // run fits, the services columns balanced when they overflow.
    if (fit == Fitting::Plain)
        document->fitTextToShapes(TemplateFilling::kFitLimits);
    if (fit == Fitting::Balancing)
        TemplateFilling::fitFlyer(*document, boxes, serviceItems,
                                  {texts.at(kTokens.size()), texts.at(kTokens.size() + 1)});
    if (recoloring)
        document->recolor(*recoloring);
    document->saveAs(doc);
    document->close();
    word->quit();
    return double(clock.nsecsElapsed()) / 1e6;
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n == 0 ? 0 : (n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2);
}

// The program's sample data as a filling run puts it in.
QStringList sampleTexts()
{
    QStringList sample = SampleFlyer::fieldTexts();
    const auto columns = FlyerText::servicesColumns(SampleFlyer::services());
    sample << columns.first << columns.second
           << FlyerText::scheduledServicesText(SampleFlyer::scheduledServices());
    return sample;
}

int styleCost(const QString& dot, const QString& folder, int runs, QTextStream& out)
{
    auto engine = createOfficeEngine();
    engine->createApplication()->quit();
    const QStringList sample = sampleTexts();
    const QString doc = folder + QStringLiteral("/style.doc");
    for (const auto style : {FlyerStyle::Style::Ocean, FlyerStyle::Style::Mono}) {
        const FlyerStyle::Look& look = FlyerStyle::look(style);
        const Word::Recoloring recoloring = FlyerStyle::recoloring(look, false);
        fillAndSave(*engine, dot, doc, sample, {}, Fitting::Plain, &recoloring);
        QList<double> with, without;
        for (int run = 0; run < runs; ++run) {
            without << fillAndSave(*engine, dot, doc, sample, {}, Fitting::Plain);
            with << fillAndSave(*engine, dot, doc, sample, {}, Fitting::Plain, &recoloring);
        }
        out << "style, " << look.name << ": " << median(without) << " ms median as designed, "
            << median(with) << " ms recoloured, +" << (median(with) - median(without))
            << " ms over " << runs << " runs each (target +40)\n";
        out.flush();
    }
    return 0;
}

int fitCost(const QString& dot, const QString& folder, int runs, QTextStream& out)
{
    auto engine = createOfficeEngine();
    engine->createApplication()->quit();
    // The program's sample data, then every box given more than it can show.
    const QStringList sample = sampleTexts();
    QStringList overflowing;
    QString longText;
    while (longText.size() < 400)
        longText += QStringLiteral("green lawns trimmed hedges ");
    for (int i = 0; i < kTokens.size(); ++i)
        overflowing << longText;
    QStringList many;
    for (int i = 0; i < 40; ++i)
        many << QStringLiteral("Service number %1").arg(i + 1);
    const auto manyColumns = FlyerText::servicesColumns(many);
    overflowing << manyColumns.first + manyColumns.first << manyColumns.second << longText;
    const QStringList overflowingItems = many.mid(0, 10) + many;

    const QString doc = folder + QStringLiteral("/fit.doc");
    struct Case
    {
        const char* name;
        QStringList texts;
        QStringList items;
    };
    for (const auto& [name, texts, items] :
         {Case{"sample data", sample, SampleFlyer::services()},
          Case{"every box overflowing", overflowing, overflowingItems}}) {
        // Warms this text's first load.
        fillAndSave(*engine, dot, doc, texts, items, Fitting::Balancing);
        QList<double> with, plain, without;
        for (int run = 0; run < runs; ++run) {
            // Alternating, so that all see the same state of the machine.
            without << fillAndSave(*engine, dot, doc, texts, items, Fitting::None);
            plain << fillAndSave(*engine, dot, doc, texts, items, Fitting::Plain);
            with << fillAndSave(*engine, dot, doc, texts, items, Fitting::Balancing);
        }
        out << "fit, " << name << ": " << median(without) << " ms median without fitting, "
            << median(plain) << " ms fitting each box alone, " << median(with)
            << " ms balancing the columns: +" << (median(with) - median(without)) << " ms, +"
            << (median(with) - median(plain)) << " ms over fitting alone, over " << runs
            << " runs each (target +" << (texts == sample ? 60 : 400) << ")\n";
        out.flush();
    }
    return 0;
}

// The phases of one generation of the sample as a filling run goes through
// them, each timed: open, fill (the tabs' texts breakable beside a code),
// the code on the tabs, fit, save, page picture.
const char* const kCodePhases[] = {"open", "fill", "code", "fit", "save", "picture"};

QList<double> codedGeneration(Word::Engine& engine, const QString& dot, const QString& doc,
                              const QString& code)
{
    QList<double> phases;
    QElapsedTimer clock;
    clock.start();
    auto lap = [&] {
        phases << double(clock.nsecsElapsed()) / 1e6;
        clock.restart();
    };
    auto word = engine.createApplication();
    auto document = word->documents().open(dot, true);
    std::vector<FitNotice::Box> boxes = templateBoxes(*document);
    QStringList templateTexts;
    for (const auto& box : boxes)
        templateTexts << box.templateText;
    const auto shapes = document->shapes();
    lap();
    const QStringList texts = sampleTexts();
    fill(*document, texts, !code.isEmpty());
    lap();
    if (!code.isEmpty()) {
        const int added =
            TearOffCode::placeOnTabs(*document, shapes, templateTexts, code, QFileInfo(doc).path());
        boxes.insert(boxes.end(), std::size_t(added), FitNotice::Box{});
    }
    lap();
    TemplateFilling::fitFlyer(*document, boxes, SampleFlyer::services(),
                              {texts.at(kTokens.size()), texts.at(kTokens.size() + 1)});
    lap();
    document->saveAs(doc);
    document->close();
    word->quit();
    lap();
    auto viewer = engine.createApplication();
    viewer->documents().open(doc)->range()->copyAsPicture();
    viewer->quit();
    lap();
    return phases;
}

int codeCost(const QString& dot, const QString& folder, int runs, const QByteArray& only,
             QTextStream& out)
{
    if (!only.isEmpty() && only != "with" && only != "without") {
        out << "code RUNS takes with or without after it, not " << only << "\n";
        return 2;
    }
    // An office under an instruction counter runs fifty times slower, and
    // is kept for the whole run so that one dump holds all its counts.
    auto engine = only.isEmpty() ? createOfficeEngine() : createOfficeEngine({3600000, 3600000, 0});
    engine->createApplication()->quit();
    const QString code = QStringLiteral("https://corvanti.example/book");
    const QString doc = folder + QStringLiteral("/code.doc");
    codedGeneration(*engine, dot, doc, code);
    codedGeneration(*engine, dot, doc, QString());
    const int count = int(std::size(kCodePhases));
    QList<QList<double>> with(count), without(count);
    QList<double> withTotal, withoutTotal;
    auto add = [&](QList<QList<double>>& into, QList<double>& total, const QList<double>& run) {
        double sum = 0;
        for (int i = 0; i < count; ++i) {
            into[i] << run.at(i);
            sum += run.at(i);
        }
        total << sum;
    };
    const QString first = only == "with" ? code : QString();
    const QString second = only == "without" ? QString() : code;
    for (int run = 0; run < runs; ++run) {
        add(without, withoutTotal, codedGeneration(*engine, dot, doc, first));
        add(with, withTotal, codedGeneration(*engine, dot, doc, second));
    }
    // Counted, every generation is of one kind: no times to compare.
    if (!only.isEmpty()) {
        if (const QByteArray dump = qgetenv("PELLAMONT_BENCH_DUMP"); !dump.isEmpty())
            out << "dump command exit status " << std::system(dump.constData()) << "\n";
        out << "code: " << 2 * runs << " generations " << only << " the code\n";
        return 0;
    }
    for (int i = 0; i < count; ++i)
        out << "code, " << kCodePhases[i] << ": " << median(without[i]) << " ms without, "
            << median(with[i]) << " ms with, +" << (median(with[i]) - median(without[i]))
            << " ms\n";
    out << "code, all: " << median(withoutTotal) << " ms without, " << median(withTotal)
        << " ms with, +" << (median(withTotal) - median(withoutTotal)) << " ms over " << runs
        << " runs each (target +50)\n";
    return 0;
}

// A run's data without a window: the sample, nothing, or every field and
// list far beyond what its box holds.
class DataHost final : public WindowlessHost
{
public:
    DataHost(QStringList texts, QStringList services, QStringList scheduled)
        : WindowlessHost(Page::Captured), m_texts(std::move(texts)),
          m_services(std::move(services)), m_scheduled(std::move(scheduled))
    {}
    QString fieldToken(int index) override { return kTokens.at(index); }
    QString fieldText(int index) override { return m_texts.value(index); }
    QStringList services() override { return m_services; }
    QStringList scheduledServices() override { return m_scheduled; }

private:
    QStringList m_texts, m_services, m_scheduled;
};

int pagePictures(const QString& target, FlyerStyle::Style style, QTextStream& out)
{
    QString longText;
    while (longText.size() < 1200)
        longText += QStringLiteral("green lawns trimmed hedges ");
    QStringList longItems;
    for (int i = 0; i < 60; ++i)
        longItems << QStringLiteral("Service number %1 with a long description").arg(i + 1);
    DataHost sample(SampleFlyer::fieldTexts(), SampleFlyer::services(),
                    SampleFlyer::scheduledServices());
    DataHost empty({}, {}, {});
    DataHost longData(QStringList(kTokens.size(), longText), longItems, longItems);
    // The same with a code on the tear-off tabs.
    DataHost sampleCode(SampleFlyer::fieldTexts(), SampleFlyer::services(),
                        SampleFlyer::scheduledServices());
    DataHost longCode(QStringList(kTokens.size(), longText), longItems, longItems);
    sampleCode.tearOffCode = longCode.tearOffCode = QStringLiteral("https://corvanti.example/book");
    const std::pair<const char*, DataHost*> cases[] = {{"sample", &sample},
                                                       {"empty", &empty},
                                                       {"long", &longData},
                                                       {"sample-code", &sampleCode},
                                                       {"long-code", &longCode}};
    // The engine gets ready while the program idles, as it does between a
    // user's clicks.
    auto idle = [] {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    };
    if (!QDir().mkpath(target)) {
        out << "cannot make the folder " << target << "\n";
        return 1;
    }
    Word::setEngine(createOfficeEngine());
    // The engine goes before the office runtime does at exit, whatever ends
    // the run.
    struct EngineReset
    {
        ~EngineReset() { Word::setEngine(nullptr); }
    } engineReset;
    TemplateFilling::warmUpEngine();
    for (int round = 0; round < 2; ++round) {
        for (const auto& [name, host] : cases) {
            idle();
            host->style = style;
            host->makeFlyer();
            const QString path = QDir(target).filePath(
                QStringLiteral("%1-%2.png").arg(QLatin1String(name)).arg(round));
            if (host->picture.isNull() || !host->picture.save(path)) {
                out << "no page picture written to " << path << "\n";
                return 1;
            }
            QFile::remove(host->document);
            out << path << "\n";
            out.flush();
            host->picture = QImage();
        }
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    loadProgramResources();
    QTextStream out(stdout);
    QTemporaryDir folder;
    QFile resource(QStringLiteral(":/CUSTOM/101"));
    if (!folder.isValid() || !resource.open(QIODevice::ReadOnly))
        return 1;
    const QString dot = folder.filePath(QStringLiteral("template.dot"));
    Main::WriteFileIfAbsent(resource.readAll(), dot);

    if (argc > 1 && QByteArray(argv[1]) == "fit")
        return fitCost(dot, folder.path(), argc > 2 ? QByteArray(argv[2]).toInt() : 9, out);
    if (argc > 2 && QByteArray(argv[1]) == "page")
        return pagePictures(QString::fromLocal8Bit(argv[2]),
                            FlyerStyle::fromKey(QString::fromLocal8Bit(argc > 3 ? argv[3] : "")),
                            out);
    if (argc > 1 && QByteArray(argv[1]) == "code")
        return codeCost(dot, folder.path(), argc > 2 ? QByteArray(argv[2]).toInt() : 9,
                        argc > 3 ? QByteArray(argv[3]) : QByteArray(), out);
    if (argc > 1 && QByteArray(argv[1]) == "style")
        return styleCost(dot, folder.path(), argc > 2 ? QByteArray(argv[2]).toInt() : 9, out);

    // An optional argument gives the length of every replacement text.
    QString sample = QStringLiteral("Sample text");
    if (argc > 1) {
        const int length = QString::fromLocal8Bit(argv[1]).toInt();
        sample.clear();
        while (sample.size() < length)
            sample += QStringLiteral("green lawns trimmed hedges ");
        sample.truncate(length);
    }

    QElapsedTimer clock;
    clock.start();
    auto engine = createOfficeEngine();
    engine->createApplication()->quit();
    out << "office start and first session: " << clock.restart() << " ms\n";

    for (int run = 0; run < (argc > 1 ? 1 : 3); ++run) {
        auto word = engine->createApplication();
        auto document = word->documents().open(dot, true);
        const qint64 open = clock.restart();
        for (const QString& token : kTokens) {
            for (const auto& range : document->storyRanges())
                range->find().execute(token, sample, 2);
        }
        const qint64 stories = clock.restart();
        for (const auto& shape : document->shapes()) {
            auto frame = shape->textFrame();
            if (!frame->hasText())
                continue;
            for (const QString& token : kTokens)
                frame->textRange()->find().execute(token, sample, 2);
        }
        const qint64 shapes = clock.restart();
        const QString doc = folder.filePath(QStringLiteral("filled%1.doc").arg(run));
        document->saveAs(doc);
        document->close();
        word->quit();
        const qint64 save = clock.restart();
        auto viewer = engine->createApplication();
        viewer->documents().open(doc)->range()->copyAsPicture();
        viewer->quit();
        const qint64 picture = clock.restart();
        out << "run " << run << ": open " << open << " ms, story pass " << stories
            << " ms, shape pass " << shapes << " ms, save " << save << " ms, picture " << picture
            << " ms\n";
    }
    return 0;
}
