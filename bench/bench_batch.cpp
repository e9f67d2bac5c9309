// pellamont-batch against the real office: PDF flyers per second with one and
// two jobs (target: two jobs at least 1.6 times one job's rate on two cores),
// and one job's time per flyer against the window's warm generation plus its
// PDF export (target: at most 1.3 times).
//
//   bench_batch [flyers]   20 flyers without it

#include "base/mainmodule.h"
#include "generate/templatefilling.h"
#include "office/officeengine.h"
#include "preview/documentoutput.h"
#include "sampleflyer.h"
#include "testenvironment.h"
#include "windowlesshost.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTextStream>

#include <algorithm>

namespace {

class SampleHost final : public WindowlessHost
{
public:
    SampleHost() : WindowlessHost(Page::Captured) {}
    QString fieldToken(int index) override { return SampleFlyer::tokens().at(index); }
    QString fieldText(int index) override { return SampleFlyer::fieldTexts().at(index); }
    QStringList services() override { return SampleFlyer::services(); }
    QStringList scheduledServices() override { return SampleFlyer::scheduledServices(); }
};

// The window's click to preview, then Save as PDF's export, on a warm office.
double windowMilliseconds(const QString& folder)
{
    auto engine = createOfficeEngine();
    Word::setEngine(engine);
    QList<double> times;
    for (int run = 0; run < 6; ++run) {
        SampleHost host;
        QElapsedTimer clock;
        clock.start();
        host.makeFlyer();
        DocumentOutput::exportPdf(host.document, folder + QStringLiteral("/window.pdf"));
        if (run > 0) // the first warms the office
            times << double(clock.nsecsElapsed()) / 1e6;
        Main::DeleteFileQuietly(host.document);
        Main::DeleteFileQuietly(folder + QStringLiteral("/window.pdf"));
    }
    Word::setEngine(nullptr);
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

// The CSV of `count` businesses: the sample data, each with a name of its own.
QString writeCsv(const QString& folder, int count)
{
    const QString path = folder + QStringLiteral("/flyers-%1.csv").arg(count);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    const QStringList texts = SampleFlyer::fieldTexts();
    QTextStream csv(&file);
    csv << "business_name,tag_line,owner_name,title,address,city,state,zip,phone,fax,tab_name,"
           "tab_address,tab_phone,tab_email,services,scheduled_services\n";
    auto quoted = [](QString text) -> QString {
        return QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
               QLatin1Char('"');
    };
    for (int row = 0; row < count; ++row) {
        csv << quoted(texts.at(0) + QStringLiteral(" %1").arg(row + 1));
        for (int i = 1; i < texts.size(); ++i)
            csv << ',' << quoted(texts.at(i));
        csv << ',' << quoted(SampleFlyer::services().join(QLatin1Char(';'))) << ','
            << quoted(SampleFlyer::scheduledServices().join(QLatin1Char(';'))) << '\n';
    }
    return path;
}

// Seconds for the whole run, office starts included; -1 when it failed.
double batchSeconds(const QString& csv, int jobs, const QString& out)
{
    QProcess batch;
    batch.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    batch.start(QStringLiteral(PELLAMONT_BATCH),
                {QStringLiteral("--pdf"), QStringLiteral("--jobs"), QString::number(jobs),
                 QStringLiteral("--out"), out, csv});
    if (!batch.waitForFinished(1800000) || batch.exitCode() != 0)
        return -1;
    return double(clock.nsecsElapsed()) / 1e9;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll().split(' ').first())
                                          : QStringLiteral("?");
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int flyers = argc > 1 ? std::max(3, QByteArray(argv[1]).toInt()) : 20;
    TestEnvironment environment;
    QTextStream out(stdout);
    const QString folder = environment.root();
    out << "load average at the start: " << loadAverage() << Qt::endl;

    const double window = windowMilliseconds(folder);
    out << "window, warm generation + PDF export, 5 runs: " << window << " ms median" << Qt::endl;

    const QString many = writeCsv(folder, flyers);
    const QString two = writeCsv(folder, 2);
    double rate[3] = {};
    for (const int jobs : {1, 2}) {
        const double seconds =
            batchSeconds(many, jobs, folder + QStringLiteral("/out-%1").arg(jobs));
        if (seconds < 0) {
            out << "pellamont-batch failed with " << jobs << " jobs" << Qt::endl;
            return 1;
        }
        rate[jobs] = flyers / seconds;
        out << "pellamont-batch --jobs " << jobs << ", " << flyers << " PDF flyers: " << seconds
            << " s, " << rate[jobs] << " flyers/s (load average now " << loadAverage() << ")"
            << Qt::endl;
    }
    out << "2 jobs / 1 job: " << rate[2] / rate[1] << "x (target >= 1.6x)" << Qt::endl;
    // One job's time per flyer without its office start: the difference to a
    // run of two flyers.
    const double small = batchSeconds(two, 1, folder + QStringLiteral("/out-small"));
    const double perFlyer = (flyers / rate[1] - small) / (flyers - 2) * 1000;
    out << "pellamont-batch --jobs 1, per flyer after the start: " << perFlyer << " ms, "
        << perFlyer / window << "x the window (target <= 1.3x)" << Qt::endl;
    return 0;
}
