// The office missing or broken when the program starts: nothing at the
// configured path, a program that exits at once (asking for a restart or
// not), and one that never answers. Each time: the window at once, the one
// warning, the end of the program, the settings as they were, within the
// start time limit, and no process left behind. A close while the office is
// starting ends the program at once and says nothing; a flyer asked for
// meanwhile shows that work is going on.

#include "base/appinfo.h"
#include "base/settings.h"
#include "base/shutdown.h"
#include "faultinjection.h"
#include "generate/isinstalled.h"
#include "mainwindow/form1.h"
#include "office/officeengine.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

constexpr int kConnectLimitMilliseconds = 3000;

} // namespace

class TestFaultsStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void brokenOffice_atStart_warnsEndsAndKeepsTheStore_data();
    void brokenOffice_atStart_warnsEndsAndKeepsTheStore();
};

void TestFaultsStartup::brokenOffice_atStart_warnsEndsAndKeepsTheStore_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: no program at all
    QTest::addColumn<QString>("meanwhile"); // what the user does 300 ms after the window shows
    const QByteArray silent("#!/bin/sh\nwhile :; do sleep 1; done\n");
    QTest::newRow("nothing at the path") << QByteArray() << QString();
    QTest::newRow("not a program") << QByteArray("plain text, not executable") << QString();
    QTest::newRow("exits at once") << QByteArray("#!/bin/sh\nexit 1\n") << QString();
    QTest::newRow("exits asking to be restarted, every time")
        << QByteArray("#!/bin/sh\nexit 81\n") << QString();
    QTest::newRow("crashes at once") << QByteArray("#!/bin/sh\nkill -SEGV $$\n") << QString();
    QTest::newRow("never answers") << silent << QString();
    QTest::newRow("ignores being asked to end")
        << QByteArray("#!/bin/sh\ntrap '' TERM\nwhile :; do sleep 1; done\n") << QString();
    QTest::newRow("never answers, flyer asked for") << silent << u"click"_s;
    QTest::newRow("never answers, window closed") << silent << u"close"_s;
}

void TestFaultsStartup::brokenOffice_atStart_warnsEndsAndKeepsTheStore()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, meanwhile);
    TestEnvironment environment;
    const OfficeCacheFolder cacheFolder(environment);
    const QString cache = cacheFolder.path();
    const QString program = environment.root() + QStringLiteral("/office");
    if (!script.isEmpty()) {
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(script);
        file.close();
        if (script.startsWith("#!"))
            QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    qputenv("PELLAMONT_OFFICE", QFile::encodeName(program));

    WriteSetting(QStringLiteral("Text1_0"), QStringLiteral("Kept"));
    WriteSetting(QStringLiteral("List1"), QStringLiteral("A;B;"));
    const QByteArray before = environment.settingsText();

    OfficeEngineLimits limits;
    limits.connectMilliseconds = kConnectLimitMilliseconds;
    Word::setEngine(createOfficeEngine(limits));
    // As the program does, before its window is built.
    Word::engine().prepare();
    ScriptedDialogs dialogs;
    Shutdown::resetForTesting();
    QList<int> endings;
    Shutdown::setHandlerForTesting([&](int code) { endings << code; });

    QElapsedTimer clock;
    clock.start();
    bool progressShown = false;
    {
        Form1 form;
        // Well within the start limit, whatever the office does.
        QVERIFY2(clock.elapsed() < kConnectLimitMilliseconds / 2,
                 qPrintable(QString::number(clock.elapsed())));
        if (endings.isEmpty())
            form.show();
        QTimer::singleShot(300, &form, [&] {
            if (meanwhile == u"click"_s)
                form.findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
            else if (meanwhile == u"close"_s)
                form.close();
        });
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &form, [&] {
            const auto* progress = form.findChild<QWidget*>(QStringLiteral("runProgress"));
            progressShown |= progress && progress->isVisible();
        });
        watch.start(100);
        QTRY_VERIFY_WITH_TIMEOUT(!endings.isEmpty(), kConnectLimitMilliseconds + 10000);
    }
    const qint64 elapsed = clock.elapsed();

    const bool closed = meanwhile == u"close"_s;
    QCOMPARE(dialogs.shown().size(), closed ? 0 : 1);
    if (!closed) {
        QCOMPARE(dialogs.shown().first().kind, ScriptedDialogs::Shown::Message);
        QCOMPARE(dialogs.shown().first().text, IsInstalled::wordMissingText());
    }
    QCOMPARE(endings, QList<int>{closed ? 0 : 1});
    QCOMPARE(progressShown, meanwhile == u"click"_s);
    // A close stores the lists, as every close does.
    if (closed)
        QCOMPARE(ReadSetting(QStringLiteral("List1")), QStringLiteral("A;B;"));
    else
        QCOMPARE(environment.settingsText(), before);
    // The limit, the ending of the office that would not answer, and slack
    // for a busy machine; a close ends the wait at once.
    const qint64 limit = closed ? 2000 : kConnectLimitMilliseconds + 10000;
    QVERIFY2(elapsed < limit, qPrintable(QString::number(elapsed)));

    Word::setEngine(nullptr);
    QVERIFY(waitUntilGone(processesMentioning(program), 5000));
    QVERIFY(waitUntilGone(processesMentioning(cache), 5000));

    Shutdown::setHandlerForTesting({});
    Shutdown::resetForTesting();
    qunsetenv("PELLAMONT_OFFICE");
}

QTEST_MAIN(TestFaultsStartup)
#include "tst_faults_startup.moc"
