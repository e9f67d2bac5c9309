#pragma once

#include "generate/word.h"

#include <QList>
#include <QString>

#include <utility>

// For the benchmarks, never the program. The office steps of one generation
// done by the plainest code, with no window,
// clipboard or picture file of the program: load the template hidden, one
// replace-all of the office per token over the whole document, store the
// Word document, close it, load it again, draw its page picture (as the
// program does on a screen of ordinary density), close it.
// Runs on the office behind `application`; returns the wall time in
// milliseconds. Throws std::runtime_error when a step fails.
double officeFloorGeneration(Word::Application& application, const QString& templatePath,
                             const QList<std::pair<QString, QString>>& replacements,
                             const QString& folder);
