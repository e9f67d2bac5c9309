#include "base/atomicwrite.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace AtomicWrite {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

mode_t modeFor(const QString& path)
{
    struct stat old
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &old) == 0)
        return old.st_mode & 07777;
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
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

} // namespace

void write(const QString& path, Durability durability, const std::function<bool(QIODevice&)>& fill)
{
    const QString folder = QFileInfo(path).absolutePath();
    // A short name of its own: one made from the target's name would be too
    // long for the file system when the target's name is near its limit.
    QTemporaryFile file(folder + QStringLiteral("/.pellamont-XXXXXX"));
    if (!file.open())
        throw Failed{Failed::Step::Open, file.errorString()};
    if (!fill(file) || !file.flush())
        throw Failed{Failed::Step::Write, file.errorString()};
    ::fchmod(file.handle(), modeFor(path));
    if (durability == Durability::Durable && ::fsync(file.handle()) != 0)
        throw Failed{Failed::Step::Write, systemError(errno)};
    const QString written = file.fileName();
    file.close();
    if (::rename(QFile::encodeName(written).constData(), QFile::encodeName(path).constData()) != 0)
        throw Failed{Failed::Step::Rename, systemError(errno)};
    // Renamed: nothing is left for the temporary file to remove.
    file.setAutoRemove(false);
    if (durability == Durability::Durable)
        syncFolder(folder);
}

} // namespace AtomicWrite
