#pragma once

#include <QString>
#include <QStringList>

// The system's print service (CUPS), as far as the preview needs it.
namespace PrintQueue {

// The printers the print service offers, default first; empty when none is
// set up. When the service cannot be asked (it is not running, or refuses),
// `problem` (if given) says so in words for the user; a service without
// printers is no problem, just no printers.
QStringList printers(QString* problem = nullptr);

// True when `printer` is paused: it takes jobs but holds them.
bool isPaused(const QString& printer);

// `name` fit to be a job's name in the queue: without control characters
// (terminal escapes would reach every queue listing), runs of blanks as one
// space, at most 255 octets of UTF-8 (the print protocol's limit) cut
// between characters. Empty when nothing is left.
QString jobTitle(const QString& name);

// Hands the PDF at `path` to `printer` as one job named `jobName`, printed
// `copies` times on paper of the size `media` names ("Letter"). The file is sent whole before this
// returns, so it may be removed afterwards. Returns the job's number; throws Failure with the
// service's reason when the job is refused (printer gone, not accepting jobs,
// service not running).
int submit(const QString& printer, const QString& path, const QString& jobName, int copies,
           const QString& media);

} // namespace PrintQueue
