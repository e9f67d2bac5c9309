#include "generate/libreoffice/officeprocess.h"

#include "base/failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <iterator>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// How many programs may run side by side, each with a profile of its own.
constexpr int kProfileSlots = 32;

// The office's own "start me again" exit codes (normal restart, restart
// after a crash), which its launcher would otherwise handle for us.
constexpr int kRestartCodes[] = {79, 81};

// The launcher scripts hand the real work to a child process that would
// outlive us; starting the office binary itself lets the death signal reach
// the process that matters.
QString realOfficeBinary(const QString& program)
{
    const QFileInfo info(program);
    const QString resolved = info.canonicalFilePath();
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
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (!onPath.isEmpty())
        return onPath;
    const QString usual = QStringLiteral("/usr/lib/libreoffice/program/soffice");
    return QFileInfo(usual).isExecutable() ? usual : QString();
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
    if (!QDir().mkpath(base))
        throw Failure(
            QStringLiteral("The office profile folder \"%1\" cannot be created.").arg(base));
    for (int slot = 0; slot < kProfileSlots; ++slot) {
        const QString lockPath = base + QStringLiteral("/profile-%1.lock").arg(slot);
        const int fd =
            ::open(QFile::encodeName(lockPath).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            m_profileLock = fd;
            m_profileFolder = base + QStringLiteral("/profile-%1").arg(slot);
            return;
        }
        ::close(fd);
    }
    throw Failure(
        QStringLiteral("Every office profile in \"%1\" is in use by another program.").arg(base));
}

void OfficeProcess::start()
{
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

    m_pipeName = QStringLiteral("pellamont-%1-%2")
                     .arg(QCoreApplication::applicationPid())
                     .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
    const QStringList arguments = {
        QStringLiteral("-env:UserInstallation=") +
            QUrl::fromLocalFile(m_profileFolder).toString(QUrl::FullyEncoded),
        QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(m_pipeName),
        QStringLiteral("--headless"),
        QStringLiteral("--invisible"),
        QStringLiteral("--norestore"),
        QStringLiteral("--nologo"),
        QStringLiteral("--nodefault"),
        QStringLiteral("--nolockcheck"),
    };

    auto process = std::make_unique<QProcess>();
    process->setProgram(realOfficeBinary(program));
    // Ended from outside, the office leaves its temporary folder behind: one
    // more in the user's temporary folder with every run. Given one of its
    // own beside the profile that this program holds, it goes when the office
    // has ended, and what a killed run left there goes at the next start. It
    // is not in the program's temporary folder, which may be cleared while
    // the office runs.
    removeTempFolder();
    const QString tempFolder = m_profileFolder + QStringLiteral(".tmp");
    QDir(tempFolder).removeRecursively();
    if (QDir().mkpath(tempFolder)) {
        QFile::setPermissions(tempFolder, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("TMPDIR"), tempFolder);
        process->setProcessEnvironment(environment);
        m_tempFolder = tempFolder;
    }
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    // The office must not outlive the program, whichever way the program ends
    // (SIGKILL included). The signal follows the thread that started the
    // child, which is why the process is always started from the main thread.
    const pid_t parent = ::getpid();
    process->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(1);
    });
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
    if (isZombie(m_pid))
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
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    m_process.reset();
    m_pid = 0;
    removeTempFolder();
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
        ::kill(static_cast<pid_t>(pid), SIGKILL);
}
