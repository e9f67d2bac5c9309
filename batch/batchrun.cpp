#include "batch/batchrun.h"

#include "base/appinfo.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "batch/batchinput.h"
#include "batch/batchmaker.h"
#include "batch/batchnames.h"
#include "batch/flyeroptions.h"
#include "generate/templatefilling.h"
#include "mainwindow/flyerpicture.h"
#include "office/officeengine.h"

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
#include <optional>
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

// Hands the orders to workers, each a new order as soon as it is done with
// one, and reports every outcome.
class WorkerPool
{
public:
    WorkerPool(const QList<BatchMaker::Order>& orders, int jobs, Report& report)
        : m_orders(orders), m_report(report),
          m_workers(std::size_t(std::min<qsizetype>(jobs, orders.size())))
    {}

    // Returns how many flyers failed.
    int makeAll()
    {
        for (Worker& worker : m_workers)
            start(worker);
        m_report.progress(0);
        if (!m_orders.isEmpty())
            m_loop.exec();
        for (Worker& worker : m_workers) {
            worker.process->closeWriteChannel();
            // Each worker ends its office before it ends.
            if (!worker.process->waitForFinished(120000)) {
                worker.process->kill();
                worker.process->waitForFinished();
            }
        }
        return m_failed;
    }

private:
    void start(Worker& worker)
    {
        worker.process = std::make_unique<QProcess>();
        QProcess* process = worker.process.get();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(process, &QProcess::readyReadStandardOutput, &m_loop,
                         [this, &worker] { readOutcomes(worker); });
        QObject::connect(process, &QProcess::finished, &m_loop, [this, &worker] { ended(worker); });
        QObject::connect(process, &QProcess::errorOccurred, &m_loop,
                         [this, &worker](QProcess::ProcessError error) {
                             if (error == QProcess::FailedToStart)
                                 ended(worker);
                         });
        process->start(QCoreApplication::applicationFilePath(), {QStringLiteral("--worker")});
        dispatch(worker);
    }

    void readOutcomes(Worker& worker)
    {
        while (worker.process->canReadLine()) {
            const QJsonObject object = QJsonDocument::fromJson(worker.process->readLine()).object();
            // Anything else the worker's office may have printed is no outcome.
            if (!object.contains(QStringLiteral("problems")))
                continue;
            const int index = std::exchange(worker.order, -1);
            if (index >= 0)
                finishOrder(index, BatchMaker::Outcome::fromJson(object));
            dispatch(worker);
        }
    }

    void ended(Worker& worker)
    {
        // A worker that ended with an order in hand took that flyer with it.
        const int index = std::exchange(worker.order, -1);
        if (index >= 0)
            finishOrder(index, {{},
                                {QStringLiteral("The worker making this flyer ended "
                                                "unexpectedly; the flyer was not made.")},
                                {}});
        if (std::any_of(m_workers.begin(), m_workers.end(),
                        [](const Worker& w) { return w.process->state() != QProcess::NotRunning; }))
            return;
        // Nobody is left to make the rest.
        while (m_next < m_orders.size())
            finishOrder(m_next++,
                        {{}, {QStringLiteral("No worker was left to make this flyer.")}, {}});
        m_loop.quit();
    }

    void dispatch(Worker& worker)
    {
        if (m_next >= m_orders.size()) {
            worker.process->closeWriteChannel();
            return;
        }
        worker.order = m_next++;
        worker.process->write(
            QJsonDocument(m_orders.at(worker.order).toJson()).toJson(QJsonDocument::Compact) +
            '\n');
    }

    void finishOrder(int index, const BatchMaker::Outcome& outcome)
    {
        const QString& where = m_orders.at(index).where;
        for (const QString& path : outcome.made)
            m_report.made(path);
        for (const QString& note : outcome.notes)
            m_report.note(where, note);
        for (const QString& problem : outcome.problems)
            m_report.problem(where, problem);
        if (!outcome.problems.isEmpty())
            ++m_failed;
        m_report.progress(++m_done);
        if (m_done == m_orders.size())
            m_loop.quit();
    }

    const QList<BatchMaker::Order>& m_orders;
    Report& m_report;
    QEventLoop m_loop;
    std::vector<Worker> m_workers;
    int m_next = 0;
    int m_done = 0;
    int m_failed = 0;
};

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

// What the command line asks for.
struct Command
{
    bool pdf = false;
    bool doc = false;
    bool overwrite = false;
    bool fromSettings = false;
    int jobs = std::clamp(QThread::idealThreadCount(), 1, 4);
    QString folder;
    std::optional<QString> picture;
    QStringList files;
};

// The options pellamont-batch knows, with their help texts.
struct Options
{
    QCommandLineOption pdf{QStringLiteral("pdf"), QStringLiteral("Make PDF files.")};
    QCommandLineOption doc{QStringLiteral("doc"), QStringLiteral("Make Word 97-2003 documents.")};
    QCommandLineOption out{{QStringLiteral("o"), QStringLiteral("out")},
                           QStringLiteral("The folder for the flyers (the current one without "
                                          "it); made when missing."),
                           QStringLiteral("DIR")};
    QCommandLineOption overwrite{QStringLiteral("overwrite"),
                                 QStringLiteral("Replace files that already exist.")};
    QCommandLineOption jobs{{QStringLiteral("j"), QStringLiteral("jobs")},
                            QStringLiteral("Make N flyers at once, each on an office of its own "
                                           "(default: the number of processors, at most 4)."),
                            QStringLiteral("N")};
    QCommandLineOption picture{
        QStringLiteral("picture"),
        QStringLiteral("The picture for every flyer's picture box instead of the window's."),
        QStringLiteral("FILE")};
    QCommandLineOption fromSettings{QStringLiteral("from-settings"),
                                    QStringLiteral("Also make the flyer whose data the window "
                                                   "keeps.")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help.")};
    QCommandLineOption version{QStringLiteral("version"), QStringLiteral("Show the version.")};
};

// Reads the command line into `command`; the program's exit code when it
// ends here (help, version, a usage error).
std::optional<int> parse(const QStringList& arguments, Command& command)
{
    const Options o;
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Makes one flyer per business from CSV or JSON files, as Pellamont's window makes it."));
    parser.addOptions(
        {o.pdf, o.doc, o.out, o.overwrite, o.jobs, o.picture, o.fromSettings, o.help, o.version});
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("CSV or JSON files of flyer data."),
                                 QStringLiteral("FILE..."));
    if (!parser.parse(QStringList{QLatin1String(kProgram)} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(o.help)) {
        writeTo(stdout,
                parser.helpText() + QStringLiteral("\nColumns (CSV) or keys (JSON): %1. In CSV the "
                                                   "services are separated by \";\".\n")
                                        .arg(flyerDataKeys().join(QStringLiteral(", "))));
        return AllMade;
    }
    if (parser.isSet(o.version)) {
        writeTo(stdout, QLatin1String(kProgram) + QLatin1Char(' ') +
                            QCoreApplication::applicationVersion() + QLatin1Char('\n'));
        return AllMade;
    }
    command = {parser.isSet(o.pdf),
               parser.isSet(o.doc),
               parser.isSet(o.overwrite),
               parser.isSet(o.fromSettings),
               command.jobs,
               parser.value(o.out),
               parser.isSet(o.picture) ? std::optional(parser.value(o.picture)) : std::nullopt,
               parser.positionalArguments()};
    if (!command.pdf && !command.doc)
        return usageError(QStringLiteral("say what to make: --pdf, --doc or both."));
    if (command.files.isEmpty() && !command.fromSettings)
        return usageError(QStringLiteral("name at least one CSV or JSON file, or give "
                                         "--from-settings."));
    if (parser.isSet(o.jobs)) {
        bool ok = false;
        command.jobs = parser.value(o.jobs).toInt(&ok);
        if (!ok || command.jobs < 1 || command.jobs > 16)
            return usageError(QStringLiteral("--jobs takes a number from 1 to 16, not \"%1\".")
                                  .arg(parser.value(o.jobs)));
    }
    command.folder =
        QDir(parser.isSet(o.out) ? command.folder : QDir::currentPath()).absolutePath();
    return std::nullopt;
}

// The window's options, with the command line's picture in place of its own.
// Read once and kept as the window keeps a chosen picture, so that every
// flyer shows the same scaled copy. Throws Failure.
FlyerOptions flyerOptions(const Command& command)
{
    FlyerOptions options = FlyerOptions::fromSettings();
    if (!command.picture)
        return options;
    const QImage image = FlyerPicture::readPicture(*command.picture);
    options.picture = Main::tempFolder() + QStringLiteral("/batch-picture.png");
    if (!image.save(options.picture, "PNG"))
        throw Failure(
            QStringLiteral("The picture could not be kept in %1.").arg(Main::tempFolder()));
    return options;
}

BatchInput::Result readInput(const Command& command)
{
    BatchInput::Result input;
    if (command.fromSettings)
        input.rows << BatchInput::Row{QStringLiteral("settings"), flyerRecordFromSettings()};
    for (const QString& file : command.files) {
        const BatchInput::Result read = BatchInput::readFile(file);
        input.rows << read.rows;
        input.problems << read.problems;
    }
    return input;
}

// One order per row; a row whose files exist (and may not be replaced) is
// reported and counted in `failed` instead, so that no office starts for it.
QList<BatchMaker::Order> ordersOf(const Command& command, const FlyerOptions& options,
                                  const QList<BatchInput::Row>& rows, Report& report, int& failed)
{
    QStringList businesses;
    for (const BatchInput::Row& row : rows)
        businesses << row.record.fields.at(0);
    const QStringList names = BatchNames::fileNames(businesses);
    QList<BatchMaker::Order> orders;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const QString base = command.folder + QLatin1Char('/') + names.at(i);
        const BatchMaker::Order order{rows.at(i).where,
                                      rows.at(i).record,
                                      options,
                                      command.pdf ? base + QStringLiteral(".pdf") : QString(),
                                      command.doc ? base + QStringLiteral(".doc") : QString(),
                                      command.overwrite};
        const QStringList taken = BatchMaker::takenTargets(order);
        for (const QString& problem : taken)
            report.problem(order.where, problem);
        if (taken.isEmpty())
            orders << order;
        else
            ++failed;
    }
    return orders;
}

} // namespace

int run(const QStringList& arguments)
{
    Command command;
    if (const std::optional<int> ended = parse(arguments, command))
        return *ended;
    FlyerOptions options;
    try {
        options = flyerOptions(command);
    } catch (const Failure& failure) {
        return usageError(QStringLiteral("--picture: ") + failure.description());
    }
    const QString folderProblem = writableFolderProblem(command.folder);
    if (!folderProblem.isEmpty()) {
        writeTo(stderr, QLatin1String(kProgram) +
                            QStringLiteral(": %1: %2; no flyer was made.\n")
                                .arg(QDir::toNativeSeparators(command.folder), folderProblem));
        return SomeFailed;
    }
    const BatchInput::Result input = readInput(command);
    Report report;
    for (const BatchInput::Problem& problem : input.problems)
        report.problem(problem.where, problem.reason);
    int failed = 0;
    const QList<BatchMaker::Order> orders = ordersOf(command, options, input.rows, report, failed);
    report.setTotal(int(orders.size()));
    failed += WorkerPool(orders, command.jobs, report).makeAll();
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
