// The program itself, run offscreen as a child process, ended by the signals
// a logout, a shutdown or Ctrl+C sends: it must end through its closing steps
// (lists stored, office ended, its temporary folder gone), and its start must
// have removed what a killed program left, and another program's start must
// leave its folder alone.

#include "base/mainmodule.h"
#include "base/settings.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "testenvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <unistd.h>

class TestOfficeSignals : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void signal_runsClosingSteps_data();
    void signal_runsClosingSteps();
};

void TestOfficeSignals::signal_runsClosingSteps_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

void TestOfficeSignals::signal_runsClosingSteps()
{
    QFETCH(int, signalNumber);
    TestEnvironment environment;
    const OfficeCacheFolder cacheFolder(environment);
    const QString cache = cacheFolder.path();
    // Stored in a form the closing steps write differently, so that the file
    // shows whether they ran.
    WriteSetting(QStringLiteral("List1"), QStringLiteral("Mowing;;Edging"));
    WriteSetting(QStringLiteral("List2"), QStringLiteral(";Weekly"));
    const QString user =
        environment.systemTemp() + QStringLiteral("/pellamont-") + QString::number(::getuid());
    QVERIFY(QDir().mkpath(user + QStringLiteral("/run-1")));
    QFile killed(user + QStringLiteral("/run-1/qorvin12345678.doc"));
    QVERIFY(killed.open(QIODevice::WriteOnly));
    killed.close();

    QProcess program;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(variables);
    program.setProgram(QStringLiteral(PELLAMONT_PROGRAM));
    program.start();
    QVERIFY(program.waitForStarted());
    const auto stop = qScopeGuard([&] {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    });
    // Its lock file appears once the signals are taken over.
    const QString lock = user + QStringLiteral("/run-%1.lock").arg(program.processId());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(lock), 60000);
    QVERIFY(!QFileInfo::exists(user + QStringLiteral("/run-1")));
    // Another program's start (this one's) leaves the running program's folder.
    const QString running = user + QStringLiteral("/run-%1").arg(program.processId());
    QTRY_VERIFY(QFileInfo::exists(running));
    Main::removeLeftovers();
    QVERIFY(QFileInfo::exists(running) && QFileInfo::exists(lock));

    QCOMPARE(::kill(pid_t(program.processId()), signalNumber), 0);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    QVERIFY(environment.settingsText().contains("List1=\"Mowing;Edging;\""));
    QVERIFY(environment.settingsText().contains("List2=\"Weekly;\""));
    QCOMPARE(QDir(user).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
    QCOMPARE(processesMentioning(cache), QList<qint64>());
}

QTEST_GUILESS_MAIN(TestOfficeSignals)
#include "tst_office_signals.moc"
