#include "preview/savecopy.h"

#include "base/diskspace.h"
#include "base/failure.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

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

// Makes the rename itself survive a crash of the system.
void syncFolder(const QString& folder)
{
    const int descriptor = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

// A replaced file keeps its permissions; a new one gets the usual ones.
mode_t modeFor(const QString& destination)
{
    struct stat old
    {
    };
    if (::stat(QFile::encodeName(destination).constData(), &old) == 0)
        return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// `writeFailed` is told why a write failed, and throws.
void copyContent(QFile& input, QFile& output,
                 const std::function<void(const QString&)>& writeFailed)
{
    char buffer[64 * 1024];
    for (;;) {
        const qint64 read = input.read(buffer, sizeof buffer);
        if (read < 0)
            throw Failure(QStringLiteral("Cannot read the filled document %1: %2")
                              .arg(input.fileName(), input.errorString()));
        if (read == 0)
            break;
        if (output.write(buffer, read) != read)
            writeFailed(output.errorString());
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

    // Saving over a link replaces the file it points to, not the link.
    QString destination = target;
    const QFileInfo targetInfo(target);
    if (targetInfo.isSymLink() && targetInfo.exists())
        destination = targetInfo.canonicalFilePath();
    const QFileInfo destinationInfo(destination);
    if (destinationInfo.isDir())
        throw Failure(QStringLiteral("%1 is a folder; choose a file name to save to.").arg(target));
    if (destinationInfo.exists() && sameFile(source, destination))
        throw Failure(QStringLiteral("%1 is the document shown in this window; it cannot be "
                                     "saved over itself. Choose another name.")
                          .arg(target));

    QFile input(source);
    if (!input.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("Cannot read the filled document %1: %2")
                          .arg(source, input.errorString()));

    const QString folder = destinationInfo.absolutePath();
    // A short name of its own: one made from the target's name would be too
    // long for the file system when the target's name is near its limit.
    QTemporaryFile output(folder + QStringLiteral("/.pellamont-XXXXXX"));
    if (!output.open())
        throw Failure(
            QStringLiteral("Cannot write to the folder %1: %2").arg(folder, output.errorString()));
    // A full disk is named as such, with what to do about it.
    const auto writeFailed = [&](const QString& reason) {
        DiskSpace::throwIfFull(folder, QStringLiteral("Free some space on it, or save to a folder "
                                                      "on another disk; nothing was saved."));
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(target, reason));
    };

    copyContent(input, output, writeFailed);
    if (!output.flush())
        writeFailed(output.errorString());

    ::fchmod(output.handle(), modeFor(destination));

    if (::fsync(output.handle()) != 0)
        writeFailed(systemError(errno));
    const QString written = output.fileName();
    output.close();
    if (::rename(QFile::encodeName(written).constData(),
                 QFile::encodeName(destination).constData()) != 0)
        throw Failure(QStringLiteral("Cannot replace %1: %2").arg(target, systemError(errno)));
    output.setAutoRemove(false);
    syncFolder(folder);
}

QString overwriteQuestion(const QString& target)
{
    return QStringLiteral("Are you sure you wish to overwrite ") + target + QStringLiteral(" ?");
}
