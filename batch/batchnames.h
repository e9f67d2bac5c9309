#pragma once

#include <QString>
#include <QStringList>

// The names of the files pellamont-batch makes, one per flyer.
namespace BatchNames {

// `businessName` made safe as a file name on any disk the flyers may be
// copied to: no folder separators, no characters other systems refuse,
// no leading dot or trailing blank or dot, at most 120 characters. A name
// with nothing left is "Flyer".
QString safeName(const QString& businessName);

// One name without extension per business, in order: safeName() of each,
// and " (2)", " (3)" and so on for the second and later flyers whose names
// would be the same (ignoring letter case, as some disks do).
QStringList fileNames(const QStringList& businessNames);

} // namespace BatchNames
