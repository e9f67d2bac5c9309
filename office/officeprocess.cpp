#include "office/officeprocess.h"

#include "base/diskspace.h"
#include "base/failure.h"
#include "generate/word.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <system_error>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// How many programs may run side by side, each with a profile of its own.
constexpr int kProfileSlots = 32;

// The office's own "start me again" exit codes (normal restart, restart
// after a crash), which its launcher would otherwise handle for us.
constexpr int kRestartCodes[] = {79, 81};

const QString kProfileAdvice = QStringLiteral(
    "The office keeps its settings there. Free some space on it (or set XDG_CACHE_HOME to a "
    "folder on another disk) and start Pellamont again.");

// The launcher scripts hand the real work to a child process that would
// outlive us; starting the office binary itself lets the death signal reach
// the process that matters.
QString realOfficeBinary(const QString& program)
{
    const QFileInfo info(program);
    QString resolved = info.canonicalFilePath();
    if (resolved.isEmpty())
        return program;
    const QFileInfo binary(QFileInfo(resolved).absolutePath() + QStringLiteral("/soffice.bin"));
    if (QFileInfo(resolved).fileName() == QLatin1String("soffice") && binary.isExecutable())
        return binary.filePath();
    return resolved;
}

bool isZombie(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    // "pid (name) S ...": the state follows the last closing parenthesis.
    const int close = line.lastIndexOf(')');
    return close < 0 || line.mid(close + 2, 1) == "Z";
}

// The same answer for a child of ours without reading /proc: a run asks
// hundreds of times whether its office is still there, and a file read each
// time cost it about ten milliseconds. An ended child that is not reaped yet
// can be waited for (and is left waitable); a reaped one is no child any more.
bool childHasEnded(qint64 pid)
{
    siginfo_t info{};
    if (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        return errno == ECHILD || isZombie(pid);
    return info.si_pid == pid;
}

// Runs in the child between fork and exec, so only async-signal-safe calls:
// forks a guard that waits for the child (the office or its wrapper) to end
// and then kills everything left in the child's process group.
void startGroupGuard()
{
    const pid_t leader = ::getpid();
    if (::_Fork() != 0)
        return; // the child goes on to exec the office; a failed guard is no reason not to
    // The guard keeps nothing open: a pipe end it held would keep QProcess
    // waiting for the exec to be reported.
    ::close_range(0, ~0U, 0);
    // Ended with the group, not by the request that lets the office end itself.
    struct sigaction ignore
    {
    };
    ignore.sa_handler = SIG_IGN;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &ignore, nullptr);
    sigset_t wake;
    ::sigemptyset(&wake);
    ::sigaddset(&wake, SIGUSR1);
    ::sigprocmask(SIG_SETMASK, &wake, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGUSR1);
    if (::getppid() == leader) {
        siginfo_t info;
        while (::sigwaitinfo(&wake, &info) < 0) {
        }
    }
    ::kill(-leader, SIGKILL);
    ::_exit(0);
}

// Makes `folder` and the folders above it; a folder that cannot be made is
// this machine's problem, named with the reason.
void makeFolder(const QString& folder)
{
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (!error)
        return;
    if (error == std::errc::no_space_on_device)
        throw Word::SystemProblem(DiskSpace::fullText(folder, kProfileAdvice));
    throw Word::SystemProblem(
        QStringLiteral("The office's profile folder %1 cannot be created: %2. Make the folder "
                       "above it writable for you, or set XDG_CACHE_HOME to a folder of yours.")
            .arg(folder, QString::fromLocal8Bit(error.message())));
}

// The office turns the file URLs it is given into file names with the
// character set of its locale, while this program writes them as UTF-8
// whatever the locale (as Qt does). Under a locale without UTF-8 ("C", say) a
// profile or document whose path is not plain ASCII cannot be found: the
// office would not start, or would fail every file. It gets a UTF-8 locale.
bool usesUtf8(const QProcessEnvironment& environment)
{
    QString locale = environment.value(QStringLiteral("LC_ALL"));
    if (locale.isEmpty())
        locale = environment.value(QStringLiteral("LC_CTYPE"));
    if (locale.isEmpty())
        locale = environment.value(QStringLiteral("LANG"));
    return locale.contains(QLatin1String("UTF-8"), Qt::CaseInsensitive) ||
           locale.contains(QLatin1String("utf8"), Qt::CaseInsensitive);
}

// The command line of process `pid`, its arguments split at the zero bytes.
QList<QByteArray> commandLine(const QByteArray& pid)
{
    QFile file(QLatin1String("/proc/") + QLatin1String(pid) + QLatin1String("/cmdline"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().split('\0');
}

// Offices of this user still running on `profileArgument` (the
// UserInstallation argument of one of our profiles). The program holds that
// profile's lock, so they are left over from an earlier run that ended in a
// way no clean-up survived; a new office on the same profile would hand its
// work to them and exit.
QList<pid_t> officesOnProfile(const QByteArray& profileArgument)
{
    QList<pid_t> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = static_cast<pid_t>(entry.toLongLong(&number));
        if (!number || pid == ::getpid())
            continue;
        struct stat owner
        {
        };
        if (::stat(QFile::encodeName(QLatin1String("/proc/") + entry).constData(), &owner) != 0 ||
            owner.st_uid != ::getuid())
            continue;
        if (commandLine(entry.toLatin1()).contains(profileArgument))
            found.append(pid);
    }
    return found;
}

void endLeftoverOffices(const QByteArray& profileArgument)
{
    QList<pid_t> left = officesOnProfile(profileArgument);
    for (pid_t pid : left)
        ::kill(pid, SIGKILL);
    QElapsedTimer clock;
    clock.start();
    // A killed process still holds the office's pipe until it is gone.
    while (!left.isEmpty() && clock.elapsed() < 5000) {
        QThread::msleep(20);
        left.removeIf([](pid_t pid) { return ::kill(pid, 0) != 0 || isZombie(pid); });
    }
}

} // namespace

OfficeProcess::OfficeProcess() = default;

OfficeProcess::~OfficeProcess()
{
    stop();
    if (m_profileLock >= 0)
        ::close(m_profileLock);
}

QString OfficeProcess::officeProgram()
{
    if (qEnvironmentVariableIsSet("PELLAMONT_OFFICE"))
        return qEnvironmentVariable("PELLAMONT_OFFICE");
    QString onPath = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (!onPath.isEmpty())
        return onPath;
    const QString usual = QStringLiteral("/usr/lib/libreoffice/program/soffice");
    return QFileInfo(usual).isExecutable() ? usual : QString();
}

QString OfficeProcess::unavailableText()
{
    const QString paragraph = QStringLiteral("\r\n\r\n");
    const QString program = officeProgram();
    const QString check = program.isEmpty() ? QStringLiteral("soffice") : program;
    return QStringLiteral("Error 842001. A normal instance of LibreOffice Writer could not be "
                          "created.") +
           paragraph +
           QStringLiteral("1. Please make sure LibreOffice Writer is installed on this computer "
                          "(on Debian and Ubuntu: the package libreoffice-writer-nogui or "
                          "libreoffice-writer).") +
           paragraph +
           QStringLiteral("2. To use another LibreOffice installation, set the environment "
                          "variable PELLAMONT_OFFICE to its program (for example "
                          "/opt/libreoffice/program/soffice) before starting Pellamont.") +
           paragraph +
           QStringLiteral("3. Please check that the office starts: the command \"%1 --headless "
                          "--version\" in a terminal should print its version at once, without "
                          "any error or window.")
               .arg(check) +
           paragraph + QStringLiteral("4. LibreOffice 7.4 and later versions are supported.");
}

QString OfficeProcess::machineShortage()
{
    // Far below what the office needs for one flyer; the usual limits are
    // many times these.
    constexpr rlim_t kFewestFiles = 64;
    constexpr rlim_t kLeastMemoryBytes = rlim_t(1536) * 1024 * 1024;
    constexpr qint64 kLeastFreeKilobytes = qint64(200) * 1024;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < kFewestFiles)
        return QStringLiteral("The system lets Pellamont and its office keep only %1 files open "
                              "at once, too few for the office to fill and save the flyer. Raise "
                              "the limit (for example with \"ulimit -n 4096\" in the terminal "
                              "that starts Pellamont) and start Pellamont again.")
            .arg(limit.rlim_cur);
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < kLeastMemoryBytes)
        return QStringLiteral("The system lets Pellamont and its office use only %1 MB of memory, "
                              "too little for the office to fill the flyer. Raise the limit (for "
                              "example with \"ulimit -v unlimited\" in the terminal that starts "
                              "Pellamont) and start Pellamont again.")
            .arg(limit.rlim_cur / (rlim_t(1024) * 1024));
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> lines = meminfo.readAll().split('\n');
        for (const QByteArray& line : lines) {
            if (!line.startsWith("MemAvailable:"))
                continue;
            const qint64 free = line.mid(13).trimmed().split(' ').value(0).toLongLong();
            if (free > 0 && free < kLeastFreeKilobytes)
                return QStringLiteral("This computer has only %1 MB of memory free, too little "
                                      "for the office to fill the flyer. Close other programs "
                                      "and start the flyer again.")
                    .arg(free / 1024);
        }
    }
    return {};
}

void OfficeProcess::claimProfile()
{
    if (m_profileLock >= 0)
        return;
    // A profile is kept between runs (later starts are quicker), but an office
    // started on a profile another office is using hands its work over to that
    // one and exits, so each running program holds a lock on the profile it uses.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                         QStringLiteral("/pellamont");
    makeFolder(base);
    int openError = 0;
    for (int slot = 0; slot < kProfileSlots; ++slot) {
        const QString lockPath = base + QStringLiteral("/profile-%1.lock").arg(slot);
        const int fd =
            ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            openError = errno;
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_profileLock = fd;
            m_profileFolder = base + QStringLiteral("/profile-%1").arg(slot);
            // Made here, where the reason it cannot be made is known; the
            // office would only end without a word.
            makeFolder(m_profileFolder);
            return;
        }
        ::close(fd);
    }
    // A folder that refuses every lock is this machine's problem, not a
    // missing office.
    if (openError == EACCES || openError == EPERM || openError == EROFS)
        throw Word::SystemProblem(
            QStringLiteral("Pellamont cannot write in the folder %1 (%2), where the office keeps "
                           "its settings. Make the folder writable for you (for example with "
                           "\"chmod u+w %1\"), or remove it, and start Pellamont again.")
                .arg(base, QString::fromLocal8Bit(std::strerror(openError))));
    throw Failure(
        QStringLiteral("Every office profile in \"%1\" is in use by another program.").arg(base));
}

namespace {
// Writing to the pipe of an office that has just died raises SIGPIPE, which
// ends the program unless it is ignored, and the program, its test framework
// or a library may have installed a handler of their own. Blocked in this
// thread before the connection's threads start (they inherit the mask), such
// a write fails with EPIPE and becomes a failed call. The office itself gets
// the default mask back.
void blockBrokenPipeSignals()
{
    sigset_t brokenPipe;
    ::sigemptyset(&brokenPipe);
    ::sigaddset(&brokenPipe, SIGPIPE);
    ::pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
}

// A hidden office that takes connections on its pipe and asks nothing.
QStringList officeArguments(const QString& profileArgument, const QString& pipeName)
{
    return {
        profileArgument,
        QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName),
        QStringLiteral("--headless"),
        QStringLiteral("--invisible"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nologo"),
        QStringLiteral("--nodefault"),
        QStringLiteral("--nolockcheck"),
    };
}

// The office process, ready to start.
std::unique_ptr<QProcess> officeProcess(const QString& binary, const QStringList& arguments,
                                        const QProcessEnvironment& environment)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(binary);
    process->setProcessEnvironment(environment);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // The office must not outlive the program, whichever way the program ends
    // (SIGKILL included). The death signal follows the thread that started
    // the child, which is why the process is always started from the main
    // thread. It reaches only the process we start, and an installation may
    // start the office through a wrapper script that does not exec it, so the
    // office runs in a process group of its own with a guard in it that ends
    // the whole group once the process we started is gone.
    const pid_t parent = ::getpid();
    process->setChildProcessModifier([parent] {
        ::setsid();
        // The program may block signals (SIGPIPE, for one) that the office
        // expects to receive.
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
        startGroupGuard();
    });
    return process;
}
} // namespace

void OfficeProcess::start()
{
    blockBrokenPipeSignals();
    if (running())
        return;
    m_process.reset();
    m_pid = 0;

    const QString program = officeProgram();
    if (program.isEmpty() || !QFileInfo(program).isExecutable()) {
        m_problem = program.isEmpty()
                        ? QStringLiteral("No office program (soffice) was found.")
                        : QStringLiteral("The office program \"%1\" was not found.").arg(program);
        throw Failure(m_problem);
    }
    claimProfile();

    // What an office before this one left, when it was not stopped by us.
    removeSockets();
    m_pipeName = QStringLiteral("pellamont-%1-%2")
                     .arg(QCoreApplication::applicationPid())
                     .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    m_profileUrl = QUrl::fromLocalFile(m_profileFolder).toString(QUrl::FullyEncoded);
    const QString profileArgument = QStringLiteral("-env:UserInstallation=") + m_profileUrl;
    endLeftoverOffices(profileArgument.toUtf8());

    // Ended from outside, the office leaves its temporary folder behind: one
    // more in the user's temporary folder with every run. Given one of its
    // own beside the profile that this program holds, it goes when the office
    // has ended, and what a killed run left there goes at the next start. It
    // is not in the program's temporary folder, which may be cleared while
    // the office runs.
    removeTempFolder();
    const QString tempFolder = m_profileFolder + QStringLiteral(".tmp");
    QDir(tempFolder).removeRecursively();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!usesUtf8(environment))
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    if (QDir().mkpath(tempFolder)) {
        QFile::setPermissions(tempFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("TMPDIR"), tempFolder);
        m_tempFolder = tempFolder;
    }
    auto process = officeProcess(realOfficeBinary(program),
                                 officeArguments(profileArgument, m_pipeName), environment);
    process->start();
    if (!process->waitForStarted(30000)) {
        m_problem = QStringLiteral("The office program \"%1\" could not be started: %2")
                        .arg(program, process->errorString());
        throw Failure(m_problem);
    }
    m_pid = process->processId();
    m_problem.clear();
    m_process = std::move(process);
}

bool OfficeProcess::running()
{
    if (!m_process)
        return false;
    if (m_process->state() == QProcess::NotRunning)
        return false;
    // Notices an exit even while no event loop runs; a process that has died
    // but is not reaped yet counts as ended too.
    if (childHasEnded(m_pid))
        m_process->waitForFinished(1000);
    if (m_process->waitForFinished(0) || m_process->state() == QProcess::NotRunning) {
        m_problem =
            QStringLiteral("The office process ended (exit code %1).").arg(m_process->exitCode());
        return false;
    }
    return true;
}

bool OfficeProcess::exitedForRestart()
{
    if (!m_process || running() || m_process->exitStatus() != QProcess::NormalExit)
        return false;
    const int code = m_process->exitCode();
    return std::find(std::begin(kRestartCodes), std::end(kRestartCodes), code) !=
           std::end(kRestartCodes);
}

void OfficeProcess::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        // The office keeps nothing we need; its profile is written as it goes.
        ::kill(-static_cast<pid_t>(m_pid), SIGTERM);
        if (!m_process->waitForFinished(3000)) {
            ::kill(-static_cast<pid_t>(m_pid), SIGKILL);
            m_process->waitForFinished(3000);
        }
    }
    // Whatever else is left in the group (a wrapper's office, the guard).
    if (m_pid > 0)
        ::kill(-static_cast<pid_t>(m_pid), SIGKILL);
    m_process.reset();
    m_pid = 0;
    removeTempFolder();
    removeSockets();
}

// The office makes its sockets in the system's shared temporary folder, not
// in its own, and one ended by a signal leaves them behind: the connection's
// socket and the profile's single-instance socket, one more file in /tmp for
// every run of the program. Only sockets of this user with our names go: the
// connection's name is this run's own, and the profile is locked by us.
void OfficeProcess::removeSockets()
{
    if (m_pipeName.isEmpty())
        return;
    // The office names the single-instance socket after the MD5 of the
    // profile's URL in UTF-16, each byte in hexadecimal without padding.
    QByteArray utf16;
    for (const QChar unit : m_profileUrl) {
        utf16.append(char(unit.unicode() & 0xff));
        utf16.append(char(unit.unicode() >> 8));
    }
    QString digest;
    for (const char byte : QCryptographicHash::hash(utf16, QCryptographicHash::Md5))
        digest += QString::number(quint8(byte), 16);
    const QString prefix = QStringLiteral("OSL_PIPE_%1_").arg(::getuid());
    const QStringList names = {prefix + m_pipeName,
                               prefix + QStringLiteral("SingleOfficeIPC_") + digest};

    QStringList folders = {QStringLiteral("/tmp"), QStringLiteral("/var/tmp")};
    if (qEnvironmentVariableIsSet("OSL_SOCKET_PATH"))
        folders.prepend(qEnvironmentVariable("OSL_SOCKET_PATH"));
    const auto removeSocket = [](const QString& path) {
        const QByteArray native = QFile::encodeName(path);
        struct stat status
        {
        };
        if (::lstat(native.constData(), &status) == 0 && S_ISSOCK(status.st_mode) &&
            status.st_uid == ::getuid())
            ::unlink(native.constData());
    };
    for (const QString& folder : folders) {
        for (const QString& name : names)
            removeSocket(folder + QLatin1Char('/') + name);
        // A program killed outright could not remove its connection's socket;
        // its name carries the program's process id.
        const QString ours = prefix + QStringLiteral("pellamont-");
        for (const QString& name :
             QDir(folder).entryList({ours + QLatin1Char('*')}, QDir::System | QDir::Files)) {
            const qint64 pid = name.mid(ours.size()).section(QLatin1Char('-'), 0, 0).toLongLong();
            if (pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
                removeSocket(folder + QLatin1Char('/') + name);
        }
    }
}

void OfficeProcess::checkProfileDisk() const
{
    if (m_profileFolder.isEmpty())
        return;
    const qint64 free = DiskSpace::freeBytes(m_profileFolder);
    if (free >= 0 && free < DiskSpace::kNearlyFullBytes)
        throw Word::SystemProblem(DiskSpace::fullText(m_profileFolder, kProfileAdvice));
}

void OfficeProcess::removeTempFolder()
{
    if (!m_tempFolder.isEmpty())
        QDir(m_tempFolder).removeRecursively();
    m_tempFolder.clear();
}

void OfficeProcess::killFromAnyThread()
{
    const qint64 pid = m_pid;
    if (pid > 0)
        ::kill(-static_cast<pid_t>(pid), SIGKILL);
}
