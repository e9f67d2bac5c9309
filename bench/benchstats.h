#pragma once

// Summaries of timing samples for the benchmark programs, and the process
// memory readings they report.

#include <QList>
#include <QString>

#include <sys/types.h>

namespace BenchStats {

// The middle value; the mean of the two middle values for an even count.
// 0 for no samples.
double median(QList<double> samples);

// The nearest-rank percentile (0 < p <= 100): the smallest sample that at
// least p per cent of the samples do not exceed. 0 for no samples.
double percentile(QList<double> samples, double p);

double worst(const QList<double>& samples);

// Resident and peak resident size in KiB of a process, read from
// /proc/<pid>/status; -1 when the process or the line is not there.
struct Memory
{
    qint64 residentKiB = -1;
    qint64 peakKiB = -1;
};
Memory memoryOf(pid_t pid);
// The same, parsed from the text of a status file.
Memory parseStatus(const QByteArray& status);

// The children of `parent` whose command name is `name`, from /proc.
QList<pid_t> childProcesses(pid_t parent, const QString& name);

// The user and system time a process has had, in milliseconds, from
// /proc/<pid>/stat (its ended threads included; the clock ticks in 10 ms);
// 0 when the process is not there.
double processorMilliseconds(pid_t pid);

// Relative growth from `before` to `after` in per cent; 0 when before is not positive.
double growthPercent(double before, double after);

} // namespace BenchStats
