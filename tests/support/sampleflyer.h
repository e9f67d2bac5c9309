#pragma once

#include <QStringList>

// The program's sample data ("Load Sample/Example Data", base/flyerfields.h) in
// the order the main window fills it, for office tests and benchmarks that
// drive the document operations without the main window.
namespace SampleFlyer {

// The fourteen field tokens in the order of fieldTexts().
QStringList tokens();
QStringList fieldTexts();
QStringList services();
QStringList scheduledServices();

} // namespace SampleFlyer
