#include "preview/savecopy.h"

#include "base/atomicwrite.h"
#include "base/diskspace.h"
#include "base/failure.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

bool sameFile(const QString& a, const QString& b)
{
    struct stat first
    {
    };
    struct stat second
    {
    };
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// False when the copy could not be written.
bool copyContent(QFile& input, QIODevice& output)
{
    char buffer[64 * 1024];
    for (;;) {
        const qint64 read = input.read(buffer, sizeof buffer);
        if (read < 0)
            throw Failure(QStringLiteral("Cannot read the filled document %1: %2")
                              .arg(input.fileName(), input.errorString()));
        if (read == 0)
            return true;
        if (output.write(buffer, read) != read)
            return false;
    }
}

} // namespace

void copyFileSafely(const QString& source, const QString& target)
{
    const QFileInfo sourceInfo(source);
    if (!sourceInfo.exists() || !sourceInfo.isFile())
        throw Failure(QStringLiteral("The filled document %1 no longer exists, so nothing was "
                                     "saved. Go back and create the template again.")
                          .arg(source));

    const QString refused = refusedTarget(target);
    if (!refused.isEmpty())
        throw Failure(refused);
    // Saving over a link replaces the file it points to, not the link.
    QString destination = target;
    const QFileInfo targetInfo(target);
    if (targetInfo.isSymLink() && targetInfo.exists())
        destination = targetInfo.canonicalFilePath();
    const QFileInfo destinationInfo(destination);
    if (destinationInfo.exists() && sameFile(source, destination))
        throw Failure(QStringLiteral("%1 is the document shown in this window; it cannot be "
                                     "saved over itself. Choose another name.")
                          .arg(target));

    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read the filled document %1: %2")
                          .arg(source, input.errorString()));

    const QString folder = destinationInfo.absolutePath();
    try {
        AtomicWrite::write(destination, AtomicWrite::Durability::Durable,
                           [&](QIODevice& output) { return copyContent(input, output); });
    } catch (const AtomicWrite::Failed& failed) {
        using Step = AtomicWrite::Failed::Step;
        if (failed.step == Step::Open)
            throw Failure(
                QStringLiteral("Cannot write to the folder %1: %2").arg(folder, failed.reason));
        if (failed.step == Step::Rename)
            throw Failure(QStringLiteral("Cannot replace %1: %2").arg(target, failed.reason));
        // A full disk is named as such, with what to do about it.
        DiskSpace::throwIfFull(folder, QStringLiteral("Free some space on it, or save to a folder "
                                                      "on another disk; nothing was saved."));
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(target, failed.reason));
    }
}

QString refusedTarget(const QString& target)
{
    const QFileInfo info(target); // through a link, to what it names
    if (info.isDir())
        return QStringLiteral("%1 is a folder; choose a file name to save to.").arg(target);
    // A device or a pipe would be replaced by a plain file (or, through a
    // link, the system's own device would be).
    if (info.exists() && !info.isFile())
        return QStringLiteral("%1 is not a plain file (it is a device, a pipe or a socket), so "
                              "nothing was saved over it. Choose another name.")
            .arg(target);
    return QString();
}

bool targetTaken(const QString& target)
{
    const QFileInfo info(target);
    return info.exists() || info.isSymLink();
}

QString overwriteQuestion(const QString& target)
{
    return QStringLiteral("Are you sure you wish to overwrite ") + target + QStringLiteral(" ?");
}
