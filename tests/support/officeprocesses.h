#pragma once

#include <QList>
#include <QString>

// Ids of the running processes whose command line mentions `text` (a profile
// folder, say), so tests can see which office processes are still there.
QList<qint64> processesMentioning(const QString& text);

// True when every process in `pids` has ended; one that has ended but is not
// yet reaped (a zombie, with an empty command line) counts as ended.
bool allGone(const QList<qint64>& pids);

// Writes the template the program carries to "template.dot" in the program's
// temporary folder and returns its path.
QString writeEmbeddedTemplate();
