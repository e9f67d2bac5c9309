#pragma once

#include "generate/libreoffice/officeengine.h"

#include <QList>
#include <QString>

class TestEnvironment;

// Ids of the running processes whose command line mentions `text` (a profile
// folder, say), so tests can see which office processes are still there.
QList<qint64> processesMentioning(const QString& text);

// Gives the office profiles of this test program a folder of their own inside
// the test folder (XDG_CACHE_HOME), so that the office processes it starts can
// be told from any other office on the machine; returns that folder.
QString useOfficeCacheIn(const TestEnvironment& environment);

// Writes the template the program carries to "template.dot" in the program's
// temporary folder and returns its path.
QString writeEmbeddedTemplate();

// What the document at `path` holds, read through the engine in use in a
// session of its own.
OfficeDocumentFacts readBack(const QString& path);
