#include "base/diskspace.h"

#include "base/failure.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace DiskSpace {

qint64 freeBytes(const QString& path)
{
    QString existing = QFileInfo(path).absoluteFilePath();
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).absolutePath();
        if (parent == existing)
            return -1;
        existing = parent;
    }
    const QStorageInfo storage(existing);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

QString fullText(const QString& folder, const QString& advice)
{
    const qint64 free = freeBytes(folder);
    const QString left =
        free < 0 ? QString()
                 : QStringLiteral(" (%1 KB free)").arg(std::max<qint64>(free, 0) / 1024);
    return QStringLiteral("The disk holding the folder %1 is full%2. %3").arg(folder, left, advice);
}

void throwIfFull(const QString& folder, const QString& advice)
{
    const qint64 free = freeBytes(folder);
    if (free >= 0 && free < kNearlyFullBytes)
        throw Failure(fullText(folder, advice));
}

QString temporaryFolderAdvice()
{
    return QStringLiteral("Free some space on it (or set TMPDIR to a folder on another disk) and "
                          "try again.");
}

} // namespace DiskSpace
