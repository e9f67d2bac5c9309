#include "preview/printqueue.h"

#include "base/failure.h"

#include <QFile>

#include <cups/cups.h>

namespace PrintQueue {

namespace {

QString lastProblem()
{
    return QString::fromUtf8(cupsLastErrorString());
}

} // namespace

QStringList printers(QString* problem)
{
    cups_dest_t* destinations = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &destinations);
    const ipp_status_t status = cupsLastError();
    QStringList names;
    for (int i = 0; i < count; ++i) {
        // Instances ("printer/draft") are settings of one printer, not printers.
        if (destinations[i].instance)
            continue;
        const QString name = QString::fromUtf8(destinations[i].name);
        if (destinations[i].is_default)
            names.prepend(name);
        else
            names.append(name);
    }
    cupsFreeDests(count, destinations);
    if (problem)
        *problem = count == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE ? lastProblem() : QString();
    return names;
}

int submit(const QString& printer, const QString& path, const QString& jobName, int copies,
           const QString& media)
{
    if (copies < 1)
        throw Failure(QStringLiteral("At least one copy must be printed."));
    const QByteArray copiesText = QByteArray::number(copies);
    cups_option_t* options = nullptr;
    int optionCount = cupsAddOption("copies", copiesText.constData(), 0, &options);
    // Without it the printer's default paper is used, and the page is
    // scaled to fit it.
    optionCount = cupsAddOption("media", media.toUtf8().constData(), optionCount, &options);
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, printer.toUtf8().constData(),
                                   QFile::encodeName(path).constData(),
                                   jobName.toUtf8().constData(), optionCount, options);
    cupsFreeOptions(optionCount, options);
    if (job == 0)
        throw Failure(QStringLiteral("The printer \"%1\" did not take the job: %2")
                          .arg(printer, lastProblem()));
    return job;
}

} // namespace PrintQueue
