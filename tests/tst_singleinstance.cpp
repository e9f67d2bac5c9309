// One program per user and settings store: a second start on the same store
// brings the first to the front and ends before anything else (no office, no
// window); a store of its own runs beside; what a killed program left (its
// lock, its socket) never blocks a start.

#include "app/singleinstance.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondStart_sameStore_raisesFirstAndEnds();
    void start_afterKilledProgram_notBlocked();
};

void TestSingleInstance::secondStart_sameStore_raisesFirstAndEnds()
{
    TestEnvironment environment;
    SingleInstance first(environment.settingsFile());
    QVERIFY(first.isFirst());
    QSignalSpy raised(&first, &SingleInstance::raiseRequested);

    QProcess second;
    second.start(QStringLiteral(PELLAMONT_PROGRAM), {});
    QVERIFY(second.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(second.state() == QProcess::NotRunning, 20000);
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QVERIFY(second.readAllStandardError().contains("already running"));
    QTRY_COMPARE(raised.count(), 1);
    // It ended before making anything of its own.
    QCOMPARE(QDir(environment.systemTemp()).entryList({QStringLiteral("pellamont*")}, QDir::Dirs),
             QStringList());

    // A store of its own is another program's.
    SingleInstance other(environment.root() + QStringLiteral("/other.conf"));
    QVERIFY(other.isFirst());
    SingleInstance again(environment.settingsFile());
    QVERIFY(!again.isFirst());
    QTRY_COMPARE(raised.count(), 2);
}

void TestSingleInstance::start_afterKilledProgram_notBlocked()
{
    TestEnvironment environment;
    const QString base = SingleInstance::basePath(environment.settingsFile());
    // The lock as a program now gone wrote it: its process number is free.
    QByteArray lock;
    {
        QLockFile held(base + QStringLiteral(".lock"));
        QVERIFY(held.tryLock(0));
        QFile file(base + QStringLiteral(".lock"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        lock = file.readAll();
    }
    QProcess gone;
    gone.start(QStringLiteral("true"), {});
    QVERIFY(gone.waitForStarted());
    const qint64 pid = gone.processId();
    QVERIFY(gone.waitForFinished());
    lock.replace(0, lock.indexOf('\n'), QByteArray::number(pid));
    QFile file(base + QStringLiteral(".lock"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(lock);
    file.close();
    // And its socket, bound and never removed.
    const int descriptor = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(base).constData(), sizeof address.sun_path);
    QCOMPARE(::bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(descriptor);

    SingleInstance start(environment.settingsFile());
    QVERIFY(start.isFirst());
    QSignalSpy raised(&start, &SingleInstance::raiseRequested);
    SingleInstance later(environment.settingsFile());
    QVERIFY(!later.isFirst());
    QTRY_COMPARE(raised.count(), 1);
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
