#include "officeprocesses.h"

#include "base/mainmodule.h"
#include "generate/templatefilling.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

QList<qint64> processesMentioning(const QString& text)
{
    QList<qint64> result;
    const QByteArray needle = text.toUtf8();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == ::getpid())
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        // A process that has ended but not been reaped has an empty command line.
        if (cmdline.readAll().contains(needle))
            result << pid;
    }
    return result;
}

bool allGone(const QList<qint64>& pids)
{
    for (qint64 pid : pids) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && !cmdline.readAll().isEmpty())
            return false;
    }
    return true;
}

QString writeEmbeddedTemplate()
{
    const QString path = Main::tempFolder() + QStringLiteral("/template.dot");
    Main::WriteFileIfAbsent(TemplateFilling::embeddedTemplate(), path);
    return path;
}
