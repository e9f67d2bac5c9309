#pragma once

#include <QList>
#include <QString>

// Ids of the running processes whose command line mentions `text` (a profile
// folder, say), so tests can see which office processes are still there.
QList<qint64> processesMentioning(const QString& text);

// Writes the template the program carries to "template.dot" in the program's
// temporary folder and returns its path.
QString writeEmbeddedTemplate();
