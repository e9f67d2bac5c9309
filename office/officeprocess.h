#pragma once

#include <QProcess>
#include <QString>

#include <atomic>
#include <memory>

// The private, hidden office process behind the engine: where its program is,
// which profile folder it owns, and its start and end. Knows nothing of UNO.
class OfficeProcess
{
public:
    OfficeProcess();
    ~OfficeProcess();
    Q_DISABLE_COPY_MOVE(OfficeProcess)

    // The office program to start: PELLAMONT_OFFICE when set, else soffice on
    // the PATH, else LibreOffice's usual install folder. Empty when none.
    static QString officeProgram();
    // The warning shown when no office can be started: "Error 842001." and
    // advice on installing, choosing and checking the office.
    static QString unavailableText();

    // Starts the process unless it is running; never waits for it to be ready.
    // Throws Failure when it cannot be started.
    void start();
    // True while the process is alive (an exit is noticed at once).
    bool running();
    // Exit codes with which the office asks to be started again (after it has
    // set up a fresh profile, for example).
    bool exitedForRestart();
    // Ends the process (it keeps no state worth saving) and waits for it.
    void stop();
    // Safe from any thread: ends the process at once without waiting.
    void killFromAnyThread();

    qint64 pid() const { return m_pid; }
    QString pipeName() const { return m_pipeName; }
    QString profileFolder() const { return m_profileFolder; }
    // Throws Word::SystemProblem when the disk holding the profile is full:
    // the office then ends or hangs at its start without saying why.
    void checkProfileDisk() const;
    // The office's own temporary folder, removed once it has ended; empty
    // when none could be made.
    QString tempFolder() const { return m_tempFolder; }
    // Why the last start failed or the process ended, for the failure text.
    QString lastProblem() const { return m_problem; }

private:
    void claimProfile();
    void removeTempFolder();
    void removeSockets();

    std::unique_ptr<QProcess> m_process;
    // The office's own temporary folder beside its profile, removed once the
    // office has ended; empty when it could not be made.
    QString m_tempFolder;
    std::atomic<qint64> m_pid{0};
    int m_profileLock = -1;
    QString m_profileFolder;
    QString m_pipeName;
    // The profile as the office was told it ("file:///..."), which names its
    // single-instance socket.
    QString m_profileUrl;
    QString m_problem;
};
