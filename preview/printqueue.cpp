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
    if (problem) {
        problem->clear();
        // "Not found" is the running service's word for "no printers".
        if (count == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE &&
            status != IPP_STATUS_ERROR_NOT_FOUND)
            *problem = status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE
                           ? QStringLiteral("the print service is not running")
                           : QStringLiteral("the print service refused: %1").arg(lastProblem());
    }
    return names;
}

bool isPaused(const QString& printer)
{
    cups_dest_t* destination =
        cupsGetNamedDest(CUPS_HTTP_DEFAULT, printer.toUtf8().constData(), nullptr);
    if (!destination)
        return false;
    // IPP printer-state 5: stopped.
    const char* state =
        cupsGetOption("printer-state", destination->num_options, destination->options);
    const bool paused = state && QByteArray(state) == "5";
    cupsFreeDests(1, destination);
    return paused;
}

QString jobTitle(const QString& name)
{
    QString title;
    for (const char32_t character : name.toUcs4()) {
        if (QChar::isSpace(character)) {
            if (!title.isEmpty() && !title.endsWith(QLatin1Char(' ')))
                title += QLatin1Char(' ');
        } else if (QChar::category(character) != QChar::Other_Control) {
            const QString next = QString::fromUcs4(&character, 1);
            if (title.toUtf8().size() + next.toUtf8().size() > 255)
                break;
            title += next;
        }
    }
    return title.trimmed();
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
