// The office engine's process: start-up check, a killed or hung office, two
// engines side by side, and no office left behind however the program ends.

#include "base/appinfo.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "base/shutdown.h"
#include "generate/isinstalled.h"
#include "generate/templatefilling.h"
#include "generate/word.h"
#include "office/officeengine.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "preview/savecopy.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QThread>

#include <functional>
#include <iostream>
#include <memory>
#include <thread>

#include <cerrno>
#include <unistd.h>

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

const char* kFullDiskArgument = "--full-disk";

// The child program of the full-disk test, run on a small file system that it
// fills up: prints what each writer says when the disk is full.
int fillDiskAndWrite(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QFile::decodeName(argv[2]);
    const QString outside = QFile::decodeName(argv[3]);
    loadProgramResources();
    qputenv("TMPDIR", QFile::encodeName(folder));
    auto engine = createOfficeEngine();
    auto word = engine->createApplication();
    auto document = word->documents().open(outside + QStringLiteral("/template.dot"), true);
    {
        QFile filler(folder + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly))
            return 2;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
    }
    const auto attempt = [](const char* what, auto step) {
        try {
            step();
            std::cout << what << ": no failure" << std::endl;
        } catch (const Failure& failure) {
            std::cout << what << ": " << failure.description().toStdString() << std::endl;
        }
    };
    attempt("copy", [&] {
        copyFileSafely(outside + QStringLiteral("/template.dot"),
                       folder + QStringLiteral("/saved.doc"));
    });
    attempt("office store", [&] { document->saveAs(folder + QStringLiteral("/filled.doc")); });
    attempt("office picture", [&] { document->range()->copyAsPicture(); });
    word->quit();
    // An office whose profile is on the full disk cannot start: the disk is
    // named, not the office.
    qputenv("XDG_CACHE_HOME", QFile::encodeName(folder + QStringLiteral("/cache")));
    attempt("office profile", [] { createOfficeEngine()->createApplication(); });
    return 0;
}

QList<qint64> without(QList<qint64> all, const QList<qint64>& known)
{
    for (qint64 pid : known)
        all.removeAll(pid);
    return all;
}

// The files of the warm-up anywhere in the offices' profile folders.
QStringList warmUpFiles(const QString& cache)
{
    QStringList found;
    QDirIterator files(cache, {QStringLiteral("*warm-up*")}, QDir::Files | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        found << files.next();
    return found;
}

} // namespace

class TestOfficeEngine : public OfficeFixture
{
    Q_OBJECT

private Q_SLOTS:
    void checkWordInstalled_officePresent_passesQuietly();
    void checkWordInstalled_noOffice_warnsOnceAndEndsTheProgram();
    void killedOffice_nextCallFailsCleanly_nextStartWorks();
    void hungOffice_callEndsItWithinTheLimit_twoEnginesTwoProcesses();
    void programKilled_officeEndsWithIt();
    void wrapperWithoutExec_officeGroupEndsEveryWay();
    void nonUtf8Locale_nonAsciiProfile_startsAndNamesUnmakeableFolder();
    void brokenPipe_underAnyHandler_writesFailQuietly();
    void fullDisk_saysWhichDiskAndWhatToDo();
    void warmUp_offTheCallersPath_leavesOneOfficeAndNoFiles();

private:
    void startTestCase() override;
};

void TestOfficeEngine::startTestCase()
{
    m_engine->prepare();
    m_template = writeEmbeddedTemplate();
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
    QCOMPARE(dialogs.shown().first().title, applicationTitle());
    QCOMPARE(dialogs.shown().first().text, IsInstalled::wordMissingText());
    const QString advice = dialogs.shown().first().text;
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
    // Advice on the office this engine needs, not on Word.
    QVERIFY(advice.startsWith(QStringLiteral("Error 842001. A normal instance of LibreOffice")));
    for (const char* part : {"libreoffice-writer-nogui", "PELLAMONT_OFFICE",
                             "\"/nonexistent/soffice --headless --version\"", "\r\n\r\n4. "})
        QVERIFY2(advice.contains(QLatin1String(part)), part);
    QVERIFY(!advice.contains(QStringLiteral("Word")));
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

namespace {

QString wrapperIn(const QString& folder)
{
    // As some installations ship it: the office started as the script's
    // child, not in its place.
    const QString path = folder + QStringLiteral("/soffice-wrapper");
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly))
        return {};
    const QString office =
        QFileInfo(QStandardPaths::findExecutable(QStringLiteral("soffice"))).canonicalPath() +
        QStringLiteral("/soffice.bin");
    script.write("#!/bin/sh\n" + QFile::encodeName(office) + " \"$@\"\nexit $?\n");
    script.close();
    script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

qint64 parentOf(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    return line.mid(line.lastIndexOf(')') + 4).split(' ').value(0).toLongLong();
}

QList<qint64> childrenOf(qint64 parent)
{
    QList<qint64> found;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && parentOf(pid) == parent)
            found.append(pid);
    }
    return found;
}

volatile sig_atomic_t g_brokenPipes = 0;

void countBrokenPipe(int)
{
    g_brokenPipes = g_brokenPipes + 1;
}

// Writes to a pipe whose reading end is closed; true when the write failed
// with EPIPE.
bool writeToClosedPipe()
{
    int ends[2];
    if (::pipe(ends) != 0)
        return false;
    ::close(ends[0]);
    const bool failed = ::write(ends[1], "x", 1) < 0 && errno == EPIPE;
    ::close(ends[1]);
    return failed;
}

} // namespace

void TestOfficeEngine::wrapperWithoutExec_officeGroupEndsEveryWay()
{
    const QString wrapper = wrapperIn(m_environment->root());
    QVERIFY(!wrapper.isEmpty());
    qputenv("PELLAMONT_OFFICE", QFile::encodeName(wrapper));
    const auto before = processesMentioning(m_cache);

    // A normal end: the wrapper and the office it started both go.
    {
        auto engine = createOfficeEngine();
        engine->createApplication()->quit();
        const auto started = without(processesMentioning(m_cache), before);
        QCOMPARE(started.size(), 2);
        engine.reset();
        QTRY_VERIFY_WITH_TIMEOUT(allGone(started), 10000);
    }

    // The program killed: the wrapper's office goes too, and an office left
    // on the program's profile by such an end (here: its guard killed first)
    // is ended by the next start instead of taking its work and failing it.
    QProcess child;
    child.setProgram(QCoreApplication::applicationFilePath());
    child.setArguments({QString::fromLatin1(kChildArgument)});
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    for (const bool killGuard : {false, true}) {
        child.start();
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(60000));
        QCOMPARE(child.readAll().trimmed(), QByteArray("ready"));
        const auto offices = without(processesMentioning(m_cache), before);
        QCOMPARE(offices.size(), 2);
        if (killGuard) {
            for (qint64 pid : offices) {
                const auto guards = without(childrenOf(pid), offices);
                for (qint64 guard : guards)
                    ::kill(static_cast<pid_t>(guard), SIGKILL);
            }
        }
        child.kill();
        QVERIFY(child.waitForFinished());
        if (!killGuard) {
            QTRY_VERIFY_WITH_TIMEOUT(allGone(offices), 10000);
            continue;
        }
        QTest::qWait(500);
        const auto left = without(processesMentioning(m_cache), before);
        QCOMPARE(left.size(), 1);
        auto engine = createOfficeEngine();
        auto word = engine->createApplication();
        QCOMPARE(word->documents().open(m_template, true)->shapes().size(), std::size_t(15));
        word->quit();
        QVERIFY(allGone(left));
        engine.reset();
    }
    qunsetenv("PELLAMONT_OFFICE");
    QTRY_COMPARE(processesMentioning(m_cache), before);
}

void TestOfficeEngine::nonUtf8Locale_nonAsciiProfile_startsAndNamesUnmakeableFolder()
{
    const QByteArray oldLocale = qgetenv("LC_ALL");
    const std::unique_ptr<void, std::function<void(void*)>> restore(this, [this, oldLocale](void*) {
        Shutdown::setHandlerForTesting({});
        Shutdown::resetForTesting();
        Word::setEngine(m_engine);
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache));
        if (oldLocale.isNull())
            qunsetenv("LC_ALL");
        else
            qputenv("LC_ALL", oldLocale);
    });
    qputenv("LC_ALL", "C");
    // A profile under a folder whose name is not ASCII, in a locale that has
    // no characters beyond ASCII: the office starts, and reads and writes
    // files under such names.
    const QString cache = m_environment->root() + QStringLiteral("/東京 \U0001F332");
    qputenv("XDG_CACHE_HOME", QFile::encodeName(cache));
    {
        OfficeEngineLimits limits;
        limits.connectMilliseconds = 20000;
        auto engine = createOfficeEngine(limits);
        std::shared_ptr<Word::Application> word;
        try {
            word = engine->createApplication();
        } catch (const Failure& failure) {
            QFAIL(qPrintable(failure.description()));
        }
        const QString filled = cache + QStringLiteral("/flyer 東京.doc");
        word->documents().open(m_template, true)->saveAs(filled);
        QVERIFY(QFileInfo(filled).size() > 0);
        QCOMPARE(word->documents().open(filled, true)->shapes().size(), std::size_t(15));
        word->quit();
    }
    QVERIFY(processesMentioning(cache).isEmpty());

    // A profile folder that cannot be made is named, with the reason, instead
    // of advice on installing the office.
    const QString blocked = m_environment->root() + QStringLiteral("/a file");
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    qputenv("XDG_CACHE_HOME", QFile::encodeName(blocked + QStringLiteral("/cache")));
    Word::setEngine(createOfficeEngine());
    ScriptedDialogs dialogs;
    Shutdown::resetForTesting();
    QList<int> endings;
    Shutdown::setHandlerForTesting([&](int code) { endings.append(code); });
    IsInstalled::CheckWordInstalled();
    QCOMPARE(endings, QList<int>{1});
    QCOMPARE(dialogs.errors().size(), 1);
    QVERIFY2(dialogs.errors().first().contains(blocked + QStringLiteral("/cache/pellamont")) &&
                 dialogs.errors().first().contains(QStringLiteral("Not a directory")),
             qPrintable(dialogs.errors().first()));
}

void TestOfficeEngine::brokenPipe_underAnyHandler_writesFailQuietly()
{
    // A handler of the program's or a library's own (the test framework has
    // one too) instead of the default action.
    struct sigaction counting
    {
    };
    struct sigaction previous
    {
    };
    counting.sa_handler = countBrokenPipe;
    ::sigaction(SIGPIPE, &counting, &previous);
    g_brokenPipes = 0;

    const auto before = processesMentioning(m_cache);
    auto engine = createOfficeEngine();
    auto word = engine->createApplication();
    auto document = word->documents().open(m_template, true);
    const auto office = without(processesMentioning(m_cache), before);
    QCOMPARE(office.size(), 1);
    ::kill(static_cast<pid_t>(office.first()), SIGKILL);
    QTRY_VERIFY(allGone(office));
    for (int call = 0; call < 3; ++call)
        QVERIFY_THROWS_EXCEPTION(Failure, document->shapes());
    // The office's pipe is written by the thread that uses the engine and by
    // threads the connection starts after it.
    QVERIFY(writeToClosedPipe());
    bool inThread = false;
    std::thread([&] { inThread = writeToClosedPipe(); }).join();
    QVERIFY(inThread);
    QCOMPARE(int(g_brokenPipes), 0);

    auto next = engine->createApplication();
    QCOMPARE(next->documents().open(m_template, true)->shapes().size(), std::size_t(15));
    next->quit();
    word.reset();
    document.reset();
    next.reset();
    engine.reset();
    ::sigaction(SIGPIPE, &previous, nullptr);
    QCOMPARE(processesMentioning(m_cache), before);
}

void TestOfficeEngine::fullDisk_saysWhichDiskAndWhatToDo()
{
    // A small file system of its own, mounted where only the child sees it.
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty())
        QSKIP("unshare is not installed");
    const QString small = m_environment->root() + QStringLiteral("/small disk");
    QVERIFY(QDir().mkpath(small));
    QVERIFY(QFile::copy(m_template, m_environment->root() + QStringLiteral("/template.dot")));
    QProcess child;
    child.setProgram(unshare);
    child.setArguments({QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                        QStringLiteral("mount -t tmpfs -o size=512k tmpfs \"$1\" || exit 99; "
                                       "exec \"$2\" --full-disk \"$1\" \"$3\""),
                        QStringLiteral("sh"), small, QCoreApplication::applicationFilePath(),
                        m_environment->root()});
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start();
    QVERIFY(child.waitForFinished(120000));
    if (child.exitCode() == 99 || child.exitCode() == 1)
        QSKIP("No file system can be mounted for this test here");
    QCOMPARE(child.exitCode(), 0);
    QStringList lines = QString::fromUtf8(child.readAllStandardOutput())
                            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    // The page picture comes from the office as pixels, without a file.
    QCOMPARE(lines.takeAt(2), QStringLiteral("office picture: no failure"));
    for (const QString& line : std::as_const(lines)) {
        QVERIFY2(line.contains(QStringLiteral("The disk holding the folder ") + small) &&
                     line.contains(QStringLiteral(" is full (")) &&
                     line.contains(QStringLiteral("Free some space")),
                 qPrintable(line));
    }
    QVERIFY(lines.at(0).contains(QStringLiteral("another disk")));
}

void TestOfficeEngine::warmUp_offTheCallersPath_leavesOneOfficeAndNoFiles()
{
    const auto before = processesMentioning(m_cache);
    const QByteArray sample = TemplateFilling::embeddedTemplate();
    {
        // Ended while it works (the office has barely started): the engine
        // goes at once, with its office and the warm-up's files.
        auto engine = createOfficeEngine();
        engine->prepare();
        QElapsedTimer clock;
        clock.start();
        engine->warmUp(sample);
        QVERIFY2(clock.elapsed() < 500, qPrintable(QString::number(clock.elapsed())));
        const auto office = without(processesMentioning(m_cache), before);
        QCOMPARE(office.size(), 1);
        QTRY_VERIFY(!warmUpFiles(m_cache).isEmpty());
        clock.restart();
        engine.reset();
        QVERIFY(clock.elapsed() < 10000);
        QTRY_VERIFY(allGone(office));
        QCOMPARE(warmUpFiles(m_cache), QStringList());
    }
    {
        // A flyer asked for meanwhile: the warm-up gives way first (two
        // connections loading at once can hang a fresh office).
        auto engine = createOfficeEngine();
        engine->prepare();
        engine->warmUp(sample);
        QTRY_VERIFY(!warmUpFiles(m_cache).isEmpty());
        auto word = engine->createApplication();
        QVERIFY2(warmUpFiles(m_cache).isEmpty(), qPrintable(warmUpFiles(m_cache).join(u' ')));
        QCOMPARE(word->documents().open(m_template, true)->shapes().size(), std::size_t(15));
        word->quit();
    }
    {
        // Run to its end: its files go, one office serves the flyer after it.
        auto engine = createOfficeEngine();
        engine->prepare();
        engine->warmUp(sample);
        QTRY_VERIFY(!warmUpFiles(m_cache).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(warmUpFiles(m_cache).isEmpty(), 60000);
        auto word = engine->createApplication();
        QCOMPARE(word->documents().open(m_template, true)->shapes().size(), std::size_t(15));
        word->quit();
        const auto office = without(processesMentioning(m_cache), before);
        QCOMPARE(office.size(), 1);
        engine.reset();
        QTRY_VERIFY(allGone(office));
    }
}

int main(int argc, char* argv[])
{
    if (argc > 1 && qstrcmp(argv[1], kChildArgument) == 0)
        return holdOffice(argc, argv);
    if (argc > 3 && qstrcmp(argv[1], kFullDiskArgument) == 0)
        return fillDiskAndWrite(argc, argv);
    QGuiApplication app(argc, argv);
    TestOfficeEngine test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_office_engine.moc"
