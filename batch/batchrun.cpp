#include "batch/batchrun.h"

#include "base/appinfo.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "batch/batchinput.h"
#include "batch/batchmaker.h"
#include "batch/batchnames.h"
#include "batch/flyeroptions.h"
#include "entry/flyerpicture.h"
#include "generate/libreoffice/officeengine.h"
#include "generate/templatefilling.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryFile>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace BatchRun {

namespace {

void writeTo(FILE* stream, const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

const char* const kProgram = "pellamont-batch";

int usageError(const QString& text)
{
    writeTo(stderr, QLatin1String(kProgram) + QStringLiteral(": ") + text +
                        QStringLiteral("\nTry 'pellamont-batch --help' for more information.\n"));
    return BadUsage;
}

// The progress line on a terminal, and the messages that must not run into it.
class Report
{
public:
    Report() : m_terminal(::isatty(STDERR_FILENO) == 1) {}

    void setTotal(int total) { m_total = total; }

    void problem(const QString& where, const QString& reason)
    {
        line(where + QStringLiteral(": ") + reason);
    }
    void note(const QString& where, const QString& text)
    {
        line(where + QStringLiteral(": note: ") + text);
    }
    void made(const QString& path) { writeTo(stdout, path + QLatin1Char('\n')); }
    void progress(int done)
    {
        m_done = done;
        if (m_terminal && m_total > 0)
            writeTo(stderr, QStringLiteral("\r\033[KMaking flyer %1 of %2...")
                                .arg(std::min(done + 1, m_total))
                                .arg(m_total));
    }
    void finish()
    {
        if (m_terminal && m_total > 0)
            writeTo(stderr, QStringLiteral("\r\033[K"));
    }

private:
    void line(QString text)
    {
        // The program's messages use CR LF; a terminal line wants one break.
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        if (m_terminal && m_total > 0)
            writeTo(stderr, QStringLiteral("\r\033[K"));
        writeTo(stderr, text + QLatin1Char('\n'));
        if (m_done >= 0)
            progress(m_done);
    }

    int m_total = 0;
    int m_done = -1;
    bool m_terminal;
};

// One worker process and the order it is making.
struct Worker
{
    std::unique_ptr<QProcess> process;
    int order = -1;
    QByteArray pending;
};

// Hands the orders to `jobs` workers, each a new order as soon as it is done
// with one; reports every outcome. Returns how many flyers failed.
int makeAll(const QList<BatchMaker::Order>& orders, int jobs, Report& report)
{
    int next = 0;
    int done = 0;
    int failed = 0;
    QEventLoop loop;
    std::vector<Worker> workers(std::size_t(std::min<qsizetype>(jobs, orders.size())));
    auto finishOrder = [&](int index, const BatchMaker::Outcome& outcome) {
        const QString& where = orders.at(index).where;
        for (const QString& path : outcome.made)
            report.made(path);
        for (const QString& note : outcome.notes)
            report.note(where, note);
        for (const QString& problem : outcome.problems)
            report.problem(where, problem);
        if (!outcome.problems.isEmpty())
            ++failed;
        report.progress(++done);
        if (done == orders.size())
            loop.quit();
    };
    auto dispatch = [&](Worker& worker) {
        if (next >= orders.size()) {
            worker.process->closeWriteChannel();
            return;
        }
        worker.order = next++;
        worker.process->write(
            QJsonDocument(orders.at(worker.order).toJson()).toJson(QJsonDocument::Compact) + '\n');
    };
    for (Worker& worker : workers) {
        worker.process = std::make_unique<QProcess>();
        QProcess* process = worker.process.get();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(process, &QProcess::readyReadStandardOutput, &loop, [&, process] {
            while (process->canReadLine()) {
                const QJsonObject object = QJsonDocument::fromJson(process->readLine()).object();
                // Anything else the worker's office may have printed is no outcome.
                if (!object.contains(QStringLiteral("problems")))
                    continue;
                const int index = std::exchange(worker.order, -1);
                if (index >= 0)
                    finishOrder(index, BatchMaker::Outcome::fromJson(object));
                dispatch(worker);
            }
        });
        auto ended = [&] {
            // A worker that ended with an order in hand took that flyer with it.
            const int index = std::exchange(worker.order, -1);
            if (index >= 0)
                finishOrder(index, {{},
                                    {QStringLiteral("The worker making this flyer ended "
                                                    "unexpectedly; the flyer was not made.")},
                                    {}});
            if (std::none_of(workers.begin(), workers.end(), [](const Worker& w) {
                    return w.process->state() != QProcess::NotRunning;
                })) {
                // Nobody is left to make the rest.
                while (next < orders.size())
                    finishOrder(next++, {{},
                                         {QStringLiteral("No worker was left to make this "
                                                         "flyer.")},
                                         {}});
                loop.quit();
            }
        };
        QObject::connect(process, &QProcess::finished, &loop, ended);
        QObject::connect(process, &QProcess::errorOccurred, &loop,
                         [ended](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart)
                                 ended();
                         });
        process->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--worker")});
        dispatch(worker);
    }
    report.progress(0);
    if (!orders.isEmpty())
        loop.exec();
    for (Worker& worker : workers) {
        worker.process->closeWriteChannel();
        // Each worker ends its office before it ends.
        if (!worker.process->waitForFinished(120000)) {
            worker.process->kill();
            worker.process->waitForFinished();
        }
    }
    return failed;
}

// Creates `folder` when missing and makes sure files can be made in it.
QString writableFolderProblem(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return QStringLiteral("the folder cannot be created");
    if (!QFileInfo(folder).isDir())
        return QStringLiteral("this is not a folder");
    QTemporaryFile probe(folder + QStringLiteral("/.pellamont-batch-XXXXXX"));
    if (!probe.open())
        return QStringLiteral("no file can be made in it: ") + probe.errorString();
    return {};
}

} // namespace

int run(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes one flyer per business from CSV or JSON files, as Pellamont's window makes it."));
    const QCommandLineOption pdf(QStringLiteral("pdf"), QStringLiteral("Make PDF files."));
    const QCommandLineOption doc(QStringLiteral("doc"),
                                 QStringLiteral("Make Word 97-2003 documents."));
    const QCommandLineOption out({QStringLiteral("o"), QStringLiteral("out")},
                                 QStringLiteral("The folder for the flyers (the current one "
                                                "without it); made when missing."),
                                 QStringLiteral("DIR"));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"),
                                       QStringLiteral("Replace files that already exist."));
    const QCommandLineOption jobs(
        {QStringLiteral("j"), QStringLiteral("jobs")},
        QStringLiteral("Make N flyers at once, each on an office of its own (default: the number "
                       "of processors, at most 4)."),
        QStringLiteral("N"));
    const QCommandLineOption picture(
        QStringLiteral("picture"),
        QStringLiteral("The picture for every flyer's picture box instead of the window's."),
        QStringLiteral("FILE"));
    const QCommandLineOption fromSettings(
        QStringLiteral("from-settings"),
        QStringLiteral("Also make the flyer whose data the window keeps."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version."));
    parser.addOptions({pdf, doc, out, overwrite, jobs, picture, fromSettings, help, version});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("CSV or JSON files of flyer data."),
                                 QStringLiteral("FILE..."));
    if (!parser.parse(QStringList{QLatin1String(kProgram)} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        writeTo(stdout,
                parser.helpText() + QStringLiteral("\nColumns (CSV) or keys (JSON): %1. In CSV the "
                                                   "services are separated by \";\".\n")
                                        .arg(flyerDataKeys().join(QStringLiteral(", "))));
        return AllMade;
    }
    if (parser.isSet(version)) {
        writeTo(stdout, QLatin1String(kProgram) + QLatin1Char(' ') +
                            QCoreApplication::applicationVersion() + QLatin1Char('\n'));
        return AllMade;
    }
    if (!parser.isSet(pdf) && !parser.isSet(doc))
        return usageError(QStringLiteral("say what to make: --pdf, --doc or both."));
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty() && !parser.isSet(fromSettings))
        return usageError(QStringLiteral("name at least one CSV or JSON file, or give "
                                         "--from-settings."));
    int jobCount = std::clamp(QThread::idealThreadCount(), 1, 4);
    if (parser.isSet(jobs)) {
        bool ok = false;
        jobCount = parser.value(jobs).toInt(&ok);
        if (!ok || jobCount < 1 || jobCount > 16)
            return usageError(QStringLiteral("--jobs takes a number from 1 to 16, not \"%1\".")
                                  .arg(parser.value(jobs)));
    }
    FlyerOptions options = FlyerOptions::fromSettings();
    if (parser.isSet(picture)) {
        // Read once and kept as the window keeps a chosen picture, so that
        // every flyer shows the same scaled copy.
        try {
            const QImage image = FlyerPicture::readPicture(parser.value(picture));
            options.picture = Main::tempFolder() + QStringLiteral("/batch-picture.png");
            if (!image.save(options.picture, "PNG"))
                throw Failure(
                    QStringLiteral("The picture could not be kept in %1.").arg(Main::tempFolder()));
        } catch (const Failure& failure) {
            return usageError(QStringLiteral("--picture: ") + failure.description());
        }
    }
    const QString folder =
        QDir(parser.isSet(out) ? parser.value(out) : QDir::currentPath()).absolutePath();
    const QString folderProblem = writableFolderProblem(folder);
    if (!folderProblem.isEmpty()) {
        writeTo(stderr, QLatin1String(kProgram) +
                            QStringLiteral(": %1: %2; no flyer was made.\n")
                                .arg(QDir::toNativeSeparators(folder), folderProblem));
        return SomeFailed;
    }

    BatchInput::Result input;
    if (parser.isSet(fromSettings))
        input.rows << BatchInput::Row{QStringLiteral("settings"), flyerRecordFromSettings()};
    for (const QString& file : files) {
        const BatchInput::Result read = BatchInput::readFile(file);
        input.rows << read.rows;
        input.problems << read.problems;
    }
    Report report;
    for (const BatchInput::Problem& problem : input.problems)
        report.problem(problem.where, problem.reason);

    QStringList businesses;
    for (const BatchInput::Row& row : input.rows)
        businesses << row.record.fields.at(0);
    const QStringList names = BatchNames::fileNames(businesses);
    QList<BatchMaker::Order> orders;
    int failed = 0;
    for (qsizetype i = 0; i < input.rows.size(); ++i) {
        const QString base = folder + QLatin1Char('/') + names.at(i);
        const BatchMaker::Order order{input.rows.at(i).where,
                                      input.rows.at(i).record,
                                      options,
                                      parser.isSet(pdf) ? base + QStringLiteral(".pdf") : QString(),
                                      parser.isSet(doc) ? base + QStringLiteral(".doc") : QString(),
                                      parser.isSet(overwrite)};
        // No office is started for flyers that would replace files.
        const QStringList taken = BatchMaker::takenTargets(order);
        for (const QString& problem : taken)
            report.problem(order.where, problem);
        if (taken.isEmpty())
            orders << order;
        else
            ++failed;
    }
    report.setTotal(int(orders.size()));
    failed += makeAll(orders, jobCount, report);
    report.finish();
    return failed == 0 && input.problems.isEmpty() ? AllMade : SomeFailed;
}

int work()
{
    // What killed programs left behind goes, as at the window's start.
    Main::removeLeftovers();
    auto engine = createOfficeEngine();
    Word::setEngine(engine);
    engine->prepare();
    TemplateFilling::warmUpEngine();
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        Word::setEngine(nullptr);
        return SomeFailed;
    }
    for (;;) {
        const QByteArray line = in.readLine();
        if (line.isEmpty())
            break;
        BatchMaker::Outcome outcome;
        try {
            outcome = BatchMaker::make(
                BatchMaker::Order::fromJson(QJsonDocument::fromJson(line).object()));
        } catch (...) {
            outcome.problems << describeCurrentException();
        }
        std::fputs(QJsonDocument(outcome.toJson()).toJson(QJsonDocument::Compact).constData(),
                   stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
        // Lets the engine do what it waits for an idle moment for (starting
        // its office afresh after many documents).
        QCoreApplication::processEvents();
    }
    Word::setEngine(nullptr);
    Main::releaseTempFolder();
    return AllMade;
}

} // namespace BatchRun
