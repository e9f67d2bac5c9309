#pragma once

#include "base/flyerjson.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The input files of pellamont-batch: CSV with a header row of the flyer data
// keys (the lists' items separated by ";"), or JSON holding one flyer object
// or an array of them. A row that cannot be read is a problem of its own; the
// other rows are still read.
namespace BatchInput {

// Larger files are refused before they are read: no one types that many
// businesses, and the whole file is held in memory.
inline constexpr qint64 kLargestFile = 16 * 1024 * 1024;

struct Row
{
    // Where the row came from, as messages name it: "file.csv:12" (the line
    // the row starts on) or "file.json[3]" (its index in the array).
    QString where;
    FlyerRecord record;
};

struct Problem
{
    QString where;
    QString reason;
};

struct Result
{
    QList<Row> rows;
    QList<Problem> problems;
};

// `bytes` read as CSV; `name` is the file as messages name it.
Result parseCsv(const QByteArray& bytes, const QString& name);
// `bytes` read as JSON.
Result parseJson(const QByteArray& bytes, const QString& name);
// The file at `path`: JSON when its name ends in ".json" or its first
// character that is not a blank is "{" or "[", CSV otherwise.
Result readFile(const QString& path);

} // namespace BatchInput
