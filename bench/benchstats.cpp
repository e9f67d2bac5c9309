#include "bench/benchstats.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <optional>

#include <unistd.h>

namespace BenchStats {

double median(QList<double> samples)
{
    if (samples.isEmpty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const qsizetype middle = samples.size() / 2;
    if (samples.size() % 2 == 1)
        return samples[middle];
    return (samples[middle - 1] + samples[middle]) / 2;
}

double percentile(QList<double> samples, double p)
{
    if (samples.isEmpty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const double rank = std::ceil(p / 100.0 * double(samples.size()));
    const qsizetype index = std::clamp<qsizetype>(qsizetype(rank) - 1, 0, samples.size() - 1);
    return samples[index];
}

double worst(const QList<double>& samples)
{
    return samples.isEmpty() ? 0 : *std::max_element(samples.begin(), samples.end());
}

Memory parseStatus(const QByteArray& status)
{
    Memory memory;
    for (const QByteArray& line : status.split('\n')) {
        const auto read = [&](const char* key, qint64& into) {
            if (!line.startsWith(key))
                return;
            const QList<QByteArray> parts = line.mid(qstrlen(key)).simplified().split(' ');
            bool ok = false;
            const qint64 value = parts.value(0).toLongLong(&ok);
            if (ok && parts.value(1) == "kB")
                into = value;
        };
        read("VmRSS:", memory.residentKiB);
        read("VmHWM:", memory.peakKiB);
    }
    return memory;
}

Memory memoryOf(pid_t pid)
{
    QFile file(QStringLiteral("/proc/%1/status").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parseStatus(file.readAll());
}

namespace {

// A process's /proc/<pid>/stat: its command name, and the fields after it
// from the state on.
struct Stat
{
    QString comm;
    QList<QByteArray> rest;
};

std::optional<Stat> statOf(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray line = stat.readAll();
    // "pid (comm) state ppid ...": the name may itself hold spaces or parentheses.
    const qsizetype open = line.indexOf('(');
    const qsizetype close = line.lastIndexOf(')');
    if (open < 0 || close < open)
        return std::nullopt;
    return Stat{QString::fromLocal8Bit(line.mid(open + 1, close - open - 1)),
                line.mid(close + 2).split(' ')};
}

} // namespace

QList<pid_t> childProcesses(pid_t parent, const QString& name)
{
    QList<pid_t> result;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool ok = false;
        const pid_t pid = entry.toInt(&ok);
        if (!ok)
            continue;
        const auto stat = statOf(pid);
        if (stat && stat->comm == name && stat->rest.value(1).toInt() == parent)
            result << pid;
    }
    return result;
}

double processorMilliseconds(pid_t pid)
{
    const auto stat = statOf(pid);
    if (!stat)
        return 0;
    // utime and stime, the 14th and 15th fields of the line.
    return (stat->rest.value(11).toDouble() + stat->rest.value(12).toDouble()) * 1000.0 /
           double(::sysconf(_SC_CLK_TCK));
}

double growthPercent(double before, double after)
{
    return before > 0 ? (after - before) / before * 100.0 : 0;
}

} // namespace BenchStats
