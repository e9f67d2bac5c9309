#include "base/mainmodule.h"

#include "base/diskspace.h"
#include "base/failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Main {

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

void DeleteFileQuietly(const QString& path)
{
    if (!path.isEmpty())
        QFile::remove(path);
}

void WriteFileIfAbsent(const QByteArray& bytes, const QString& path)
{
    QCoreApplication::processEvents();
    if (FileExists(path))
        return;
    QFile file(path);
    // NewOnly: never follow or replace anything that appeared at the path meanwhile.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw Failure(QStringLiteral("Cannot create %1: %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        QFile::remove(path);
        DiskSpace::throwIfFull(QFileInfo(path).absolutePath(), DiskSpace::temporaryFolderAdvice());
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    }
    file.close();
}

QString systemTempFolder()
{
    // Variable names are matched without regard to letter case, as users of
    // "temp", "TEMP" and "Temp" expect.
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QStringList keys = environment.keys();
    for (const QString& key : keys) {
        if (key.compare(QLatin1String("temp"), Qt::CaseInsensitive) == 0) {
            const QString value = environment.value(key);
            if (!value.isEmpty())
                return QDir::cleanPath(value);
        }
    }
    const QString tmpdir = environment.value(QStringLiteral("TMPDIR"));
    if (!tmpdir.isEmpty())
        return QDir::cleanPath(tmpdir);
    return QStringLiteral("/tmp");
}

namespace {

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Creates `folder` when missing and makes sure it is a folder of this user
// that nobody else can enter: fixed file names in a folder that other users
// can write to could be planted or replaced by links.
void ensurePrivateFolder(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        throw Failure(
            QStringLiteral("Cannot create the temporary folder %1: %2").arg(folder, systemError()));
    struct stat status
    {
    };
    if (::lstat(native.constData(), &status) != 0)
        throw Failure(
            QStringLiteral("Cannot use the temporary folder %1: %2").arg(folder, systemError()));
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::getuid())
        throw Failure(QStringLiteral("The temporary folder %1 is not a folder of this user; "
                                     "remove it or set TMPDIR to another folder.")
                          .arg(folder));
    if ((status.st_mode & 0077) != 0 && ::chmod(native.constData(), 0700) != 0)
        throw Failure(QStringLiteral("Cannot make the temporary folder %1 private: %2")
                          .arg(folder, systemError()));
}

// The user's private folder, which holds one folder per running program.
QString userFolder()
{
    QString folder =
        systemTempFolder() + QStringLiteral("/pellamont-") + QString::number(::getuid());
    ensurePrivateFolder(folder);
    return folder;
}

// This program's own folder inside the user's, and the lock that tells other
// programs it is alive: held (flock) for as long as the program runs, it goes
// with the process however that ends, so a later start can tell what a dead
// program left from what a live one is using.
struct RunFolder
{
    QString userFolder;
    QString path;
    QString lockPath;
    int lockFd = -1;
};

RunFolder& runFolder()
{
    static RunFolder value;
    return value;
}

QString runName()
{
    return QStringLiteral("run-") + QString::number(::getpid());
}

// Opens and locks `lockPath`; -1 when another program holds it. With
// `create`, a missing file is made. The lock is only good if the file locked
// is still the one at the path: a start-up cleaning may have removed it
// between the open and the lock.
int lockRunFile(const QString& lockPath, bool create)
{
    const QByteArray native = QFile::encodeName(lockPath);
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int fd = ::open(native.constData(),
                              O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0), 0600);
        if (fd < 0)
            return -1;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return -1;
        }
        struct stat locked
        {
        };
        struct stat atPath
        {
        };
        if (::fstat(fd, &locked) == 0 && ::lstat(native.constData(), &atPath) == 0 &&
            locked.st_ino == atPath.st_ino && locked.st_dev == atPath.st_dev)
            return fd;
        ::close(fd);
        if (!create)
            return -1;
    }
    return -1;
}

void claimRunFolder(const QString& user)
{
    RunFolder& run = runFolder();
    releaseTempFolder();
    const QString lockPath = user + QLatin1Char('/') + runName() + QStringLiteral(".lock");
    const int fd = lockRunFile(lockPath, true);
    if (fd < 0)
        throw Failure(
            QStringLiteral("Cannot claim a temporary folder in %1: %2").arg(user, systemError()));
    const QString path = user + QLatin1Char('/') + runName();
    // A dead program of the same process id may have left it.
    QDir(path).removeRecursively();
    try {
        ensurePrivateFolder(path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    run = RunFolder{user, path, lockPath, fd};
}

bool isLeftoverFileName(const QString& name)
{
    static const QRegularExpression document(QStringLiteral("^qorvin[0-9]{8}\\.doc$"));
    return name == QLatin1String("template.dot") || name == QLatin1String("temp.bmp") ||
           document.match(name).hasMatch();
}

} // namespace

QString tempFolder()
{
    const QString user = userFolder();
    RunFolder& run = runFolder();
    if (run.lockFd < 0 || run.userFolder != user)
        claimRunFolder(user);
    else
        ensurePrivateFolder(run.path);
    return run.path;
}

void releaseTempFolder()
{
    RunFolder& run = runFolder();
    if (run.lockFd < 0)
        return;
    QDir(run.path).removeRecursively();
    // Removed while still held, so no other program can take the file for a
    // dead one's in between.
    ::unlink(QFile::encodeName(run.lockPath).constData());
    ::close(run.lockFd);
    run = RunFolder{};
}

void removeLeftovers()
{
    QString user;
    try {
        user = userFolder();
    } catch (const Failure&) {
        return; // the first run that needs the folder reports it
    }
    const QString own = runFolder().userFolder == user ? runName() : QString();
    QDir folder(user);
    QStringList runs;
    const QStringList entries =
        folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (QString name : entries) {
        if (!name.startsWith(QLatin1String("run-")))
            continue;
        if (name.endsWith(QLatin1String(".lock")))
            name.chop(5);
        if (name != own && !runs.contains(name))
            runs << name;
    }
    bool otherAlive = false;
    for (const QString& name : runs) {
        const QString lockPath = user + QLatin1Char('/') + name + QStringLiteral(".lock");
        const bool hasLock = QFileInfo(lockPath).isFile();
        const int fd = hasLock ? lockRunFile(lockPath, false) : -1;
        if (hasLock && fd < 0) {
            otherAlive = true; // a program running now
            continue;
        }
        // The lock is made before the folder, so a folder without one is dead.
        QDir(user + QLatin1Char('/') + name).removeRecursively();
        if (fd >= 0) {
            ::unlink(QFile::encodeName(lockPath).constData());
            ::close(fd);
        }
    }
    // Files straight in the user's folder come from a program that kept no
    // lock; they can only be told dead when no other program is running.
    if (otherAlive)
        return;
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (isLeftoverFileName(name))
            folder.remove(name);
    }
}

} // namespace Main
