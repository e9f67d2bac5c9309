#pragma once

#include <QString>
#include <QStringList>

// The system's print service (CUPS), as far as the preview needs it.
namespace PrintQueue {

// The printers the print service offers, default first; empty when none is
// set up. When the service cannot be asked, `problem` (if given) says why.
QStringList printers(QString* problem = nullptr);

// Hands the PDF at `path` to `printer` as one job named `jobName`, printed
// `copies` times on paper of the size `media` names ("Letter"). The file is sent whole before this
// returns, so it may be removed afterwards. Returns the job's number; throws Failure with the
// service's reason when the job is refused (printer gone, not accepting jobs,
// service not running).
int submit(const QString& printer, const QString& path, const QString& jobName, int copies,
           const QString& media);

} // namespace PrintQueue
