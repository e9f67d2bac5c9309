// The office missing or broken when the program starts: nothing at the
// configured path, a program that exits at once (asking for a restart or
// not), and one that never answers. Each time: the one warning, the end of
// the program, the settings as they were, within the start time limit, and
// no process left behind.

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
#include <QTest>

#include <memory>

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
    QTest::newRow("nothing at the path") << QByteArray();
    QTest::newRow("not a program") << QByteArray("plain text, not executable");
    QTest::newRow("exits at once") << QByteArray("#!/bin/sh\nexit 1\n");
    QTest::newRow("exits asking to be restarted, every time") << QByteArray("#!/bin/sh\nexit 81\n");
    QTest::newRow("crashes at once") << QByteArray("#!/bin/sh\nkill -SEGV $$\n");
    QTest::newRow("never answers") << QByteArray("#!/bin/sh\nwhile :; do sleep 1; done\n");
    QTest::newRow("ignores being asked to end")
        << QByteArray("#!/bin/sh\ntrap '' TERM\nwhile :; do sleep 1; done\n");
}

void TestFaultsStartup::brokenOffice_atStart_warnsEndsAndKeepsTheStore()
{
    QFETCH(QByteArray, script);
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
    ScriptedDialogs dialogs;
    Shutdown::resetForTesting();
    QList<int> endings;
    Shutdown::setHandlerForTesting([&](int code) { endings << code; });

    QElapsedTimer clock;
    clock.start();
    {
        Form1 form;
        QVERIFY(!form.isVisible());
    }
    const qint64 elapsed = clock.elapsed();

    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().first().kind, ScriptedDialogs::Shown::Message);
    QCOMPARE(dialogs.shown().first().text, IsInstalled::wordMissingText());
    QCOMPARE(endings, QList<int>{1});
    QCOMPARE(environment.settingsText(), before);
    // The limit, the ending of the office that would not answer, and slack
    // for a busy machine.
    QVERIFY2(elapsed < kConnectLimitMilliseconds + 10000, qPrintable(QString::number(elapsed)));

    Word::setEngine(nullptr);
    QVERIFY(waitUntilGone(processesMentioning(program), 5000));
    QVERIFY(waitUntilGone(processesMentioning(cache), 5000));

    Shutdown::setHandlerForTesting({});
    Shutdown::resetForTesting();
    qunsetenv("PELLAMONT_OFFICE");
}

QTEST_MAIN(TestFaultsStartup)
#include "tst_faults_startup.moc"
