// The office engine's process: start-up check, a killed or hung office, two
// engines side by side, and no office left behind however the program ends.

#include "base/appinfo.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "base/shutdown.h"
#include "generate/isinstalled.h"
#include "generate/libreoffice/officeengine.h"
#include "generate/word.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <iostream>
#include <memory>

#include <signal.h>

namespace {

const char* kChildArgument = "--hold-office";

// The child program of the SIGKILL test: starts an office session, says so,
// and waits to be killed.
int holdOffice(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    auto engine = createOfficeEngine();
    auto word = engine->createApplication();
    std::cout << "ready" << std::endl;
    for (;;)
        QThread::sleep(1);
}

QList<qint64> without(QList<qint64> all, const QList<qint64>& known)
{
    for (qint64 pid : known)
        all.removeAll(pid);
    return all;
}

// A process that has ended but is not yet reaped has an empty command line.
bool allGone(const QList<qint64>& pids)
{
    for (qint64 pid : pids) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && !cmdline.readAll().isEmpty())
            return false;
    }
    return true;
}

} // namespace

class TestOfficeEngine : public QObject, protected OfficeFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void checkWordInstalled_officePresent_passesQuietly();
    void checkWordInstalled_noOffice_warnsOnceAndEndsTheProgram();
    void killedOffice_nextCallFailsCleanly_nextStartWorks();
    void hungOffice_callEndsItWithinTheLimit_twoEnginesTwoProcesses();
    void programKilled_officeEndsWithIt();

private:
    QString m_template;
};

void TestOfficeEngine::initTestCase()
{
    startOffice();
    m_engine->prepare();
    m_template = writeEmbeddedTemplate();
}

void TestOfficeEngine::cleanupTestCase()
{
    QVERIFY(endOffice().isEmpty());
    leaveTestFolder();
}

void TestOfficeEngine::checkWordInstalled_officePresent_passesQuietly()
{
    ScriptedDialogs dialogs;
    Shutdown::resetForTesting();
    int endedWith = -1;
    Shutdown::setHandlerForTesting([&](int code) { endedWith = code; });
    IsInstalled::CheckWordInstalled();
    QCOMPARE(dialogs.shown().size(), 0);
    QVERIFY(!Shutdown::requested());
    QCOMPARE(endedWith, -1);
    // The process stays warm for the next session.
    QCOMPARE(processesMentioning(m_cache).size(), 1);
    Shutdown::setHandlerForTesting({});
}

void TestOfficeEngine::checkWordInstalled_noOffice_warnsOnceAndEndsTheProgram()
{
    qputenv("PELLAMONT_OFFICE", "/nonexistent/soffice");
    auto missing = createOfficeEngine();
    Word::setEngine(missing);
    ScriptedDialogs dialogs;
    Shutdown::resetForTesting();
    int endedWith = -1;
    Shutdown::setHandlerForTesting([&](int code) { endedWith = code; });

    IsInstalled::CheckWordInstalled();

    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().first().kind, ScriptedDialogs::Shown::Message);
    QCOMPARE(dialogs.shown().first().title, ApplicationTitle());
    QCOMPARE(dialogs.shown().first().text, IsInstalled::wordMissingText());
    QVERIFY(Shutdown::requested());
    QVERIFY(endedWith != -1);
    QVERIFY(!QFile::exists(m_environment->settingsFile()));
    try {
        missing->createApplication();
        QFAIL("an engine without an office started an application");
    } catch (const Failure& failure) {
        QVERIFY(failure.description().contains(QStringLiteral("/nonexistent/soffice")));
    }

    Shutdown::setHandlerForTesting({});
    Shutdown::resetForTesting();
    qunsetenv("PELLAMONT_OFFICE");
    Word::setEngine(m_engine);
}

void TestOfficeEngine::killedOffice_nextCallFailsCleanly_nextStartWorks()
{
    auto word = Word::CreateApplication();
    auto document = word->documents().open(m_template, true);
    const auto offices = processesMentioning(m_cache);
    QCOMPARE(offices.size(), 1);
    ::kill(static_cast<pid_t>(offices.first()), SIGKILL);
    QTRY_VERIFY(allGone(offices));

    try {
        document->storyRanges();
        QFAIL("a call on a killed office succeeded");
    } catch (const Failure& failure) {
        QVERIFY(!failure.description().isEmpty());
    }
    QVERIFY_THROWS_EXCEPTION(Failure, word->documents().open(m_template));

    auto next = Word::CreateApplication();
    auto reopened = next->documents().open(m_template, true);
    QCOMPARE(reopened->shapes().size(), std::size_t(15));
    next->quit();
    QCOMPARE(processesMentioning(m_cache).size(), 1);
}

void TestOfficeEngine::hungOffice_callEndsItWithinTheLimit_twoEnginesTwoProcesses()
{
    const auto first = processesMentioning(m_cache);
    OfficeEngineLimits limits;
    limits.callMilliseconds = 2000;
    auto quick = createOfficeEngine(limits);
    auto word = quick->createApplication();
    // A second engine never shares the first one's office or profile.
    const auto second = without(processesMentioning(m_cache), first);
    QCOMPARE(second.size(), 1);
    auto document = word->documents().open(m_template, true);

    ::kill(static_cast<pid_t>(second.first()), SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    try {
        document->shapes();
        QFAIL("a call on a stopped office returned");
    } catch (const Failure& failure) {
        QVERIFY2(failure.description().contains(QStringLiteral("did not answer")),
                 qPrintable(failure.description()));
    }
    QVERIFY(clock.elapsed() < 15000);
    QTRY_VERIFY(allGone(second));

    auto next = quick->createApplication();
    QCOMPARE(next->documents().open(m_template, true)->shapes().size(), std::size_t(15));
    next->quit();
    word.reset();
    next.reset();
    const auto replacement = without(processesMentioning(m_cache), first);
    QCOMPARE(replacement.size(), 1);
    quick.reset();
    QVERIFY(allGone(replacement));
    QCOMPARE(processesMentioning(m_cache), first);
}

void TestOfficeEngine::programKilled_officeEndsWithIt()
{
    const auto before = processesMentioning(m_cache);
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QString::fromLatin1(kChildArgument)});
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start();
    QVERIFY(child.waitForStarted());
    QVERIFY(child.waitForReadyRead(60000));
    QCOMPARE(child.readAll().trimmed(), QByteArray("ready"));
    const auto childOffices = without(processesMentioning(m_cache), before);
    QCOMPARE(childOffices.size(), 1);

    child.kill(); // SIGKILL: no clean-up code of the child runs
    QVERIFY(child.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(allGone(childOffices), 10000);
    QCOMPARE(processesMentioning(m_cache), before);
}

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], kChildArgument) == 0)
        return holdOffice(argc, argv);
    QGuiApplication app(argc, argv);
    TestOfficeEngine test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_office_engine.moc"
