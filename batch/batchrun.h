#pragma once

#include <QStringList>

// The pellamont-batch command: reads the input files, plans a file name per
// flyer and has one or more workers (this program again, each with an
// office of its own) make them.
namespace BatchRun {

enum ExitCode { AllMade = 0, SomeFailed = 1, BadUsage = 2 };

// Runs the command line `arguments` (without the program name); the answer
// is the exit status. Messages go to standard error, the paths of the files
// made to standard output.
int run(const QStringList& arguments);

// A worker: reads orders (one JSON object a line) from standard input until
// it closes, makes each flyer on a warm office and writes each outcome as one
// line to standard output.
int work();

} // namespace BatchRun
