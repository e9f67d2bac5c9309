// Many generations in one program run, each followed by "< Back": the
// program's open files, its temporary files, its office processes and its
// memory do not grow.

#include "base/appinfo.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "faultinjection.h"
#include "generate/snapshot.h"
#include "generate/templatefilling.h"
#include "office/officeengine.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "sampleflyer.h"
#include "scripteddialogs.h"
#include "testenvironment.h"
#include "windowlesshost.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QTest>

#include <algorithm>
#include <iostream>
#include <memory>

namespace {

const QStringList kTokens = SampleFlyer::tokens();

// How many generations: PELLAMONT_SOAK_RUNS overrides the usual count.
int runCount()
{
    bool ok = false;
    const int runs = qEnvironmentVariableIntValue("PELLAMONT_SOAK_RUNS", &ok);
    return ok && runs > 0 ? runs : 200;
}

// The windows as a run sees them: the real page capture, the picture loaded
// as the preview loads it, and "< Back" deleting the document.
class Host final : public WindowlessHost
{
public:
    Host() : WindowlessHost(Page::Captured) {}

    int run = 0;

    QString fieldToken(int index) override { return kTokens.at(index); }
    QString fieldText(int index) override
    {
        return QStringLiteral("Run %1 field %2").arg(run).arg(index);
    }
    QStringList services() override
    {
        QStringList items;
        for (int i = 0; i < run % 15; ++i)
            items << QStringLiteral("Service %1").arg(i);
        return items;
    }
    QStringList scheduledServices() override
    {
        return {QStringLiteral("Spring"), QStringLiteral("Fall")};
    }
    void back()
    {
        Main::DeleteFileQuietly(document);
        picture = QImage();
    }
};

} // namespace

class TestSoakGeneration : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void manyGenerationsWithBack_nothingGrows();
};

void TestSoakGeneration::manyGenerationsWithBack_nothingGrows()
{
    loadProgramResources();
    TestEnvironment environment;
    const OfficeCacheFolder cacheFolder(environment);
    const QString cache = cacheFolder.path();
    Word::setEngine(createOfficeEngine());
    // The engine must go before the program's static clean-up, whatever fails.
    const std::unique_ptr<void, void (*)(void*)> releaseEngine(
        reinterpret_cast<void*>(1), [](void*) { Word::setEngine(nullptr); });
    ScriptedDialogs dialogs;
    Host host;
    const int runs = runCount();
    // The first runs fill caches (fonts, pictures, the office's own); growth is
    // measured after them. The program's memory was seen to settle only after
    // 20 to 40 runs.
    const int warmUp = std::min(50, runs / 4);
    int descriptors = 0;
    qint64 memory = 0;
    qint64 officeMemory = 0;
    // The office's caches grow with every document until the engine starts it
    // afresh (every few dozen applications), so its memory rises and falls in
    // cycles: the highest level over the last quarter of the runs must stay
    // within 10 % of the highest level before it.
    const int lastQuarter = runs - runs / 4;
    qint64 officePeakEarly = 0;
    qint64 officePeakLate = 0;
    QList<qint64> offices;
    // Every run uses at least one application, so the office must have been
    // started afresh within any 40 runs in a row (one more for the restart
    // waiting until the program is idle).
    qint64 lastOffice = 0;
    int runsOnOneOffice = 0;
    int mostRunsOnOneOffice = 0;
    QElapsedTimer clock;
    clock.start();

    for (host.run = 1; host.run <= runs; ++host.run) {
        host.makeFlyer();
        QVERIFY2(dialogs.shown().isEmpty(),
                 qPrintable(QStringLiteral("run %1: %2")
                                .arg(host.run)
                                .arg(dialogs.errors().join(QLatin1Char('\n')))));
        QVERIFY(!host.picture.isNull());
        QCOMPARE(entriesOf(Main::tempFolder()), QStringList{QFileInfo(host.document).fileName()});
        host.back();
        QCOMPARE(entriesOf(Main::tempFolder()), QStringList());
        if (host.run == warmUp) {
            descriptors = openFileDescriptors();
            memory = residentKilobytes();
            offices = processesMentioning(cache);
            QCOMPARE(offices.size(), 1);
            officeMemory = residentKilobytesOf(offices.first());
        } else if (host.run > warmUp) {
            QCOMPARE(openFileDescriptors(), descriptors);
            offices = processesMentioning(cache);
            QCOMPARE(offices.size(), 1);
            if (offices.first() != lastOffice) {
                lastOffice = offices.first();
                runsOnOneOffice = 0;
            }
            mostRunsOnOneOffice = std::max(mostRunsOnOneOffice, ++runsOnOneOffice);
            const qint64 office = residentKilobytesOf(offices.first());
            qint64& peak = host.run <= lastQuarter ? officePeakEarly : officePeakLate;
            peak = std::max(peak, office);
        }
        if (host.run % 20 == 0)
            std::cout << "run " << host.run << ": " << residentKilobytes() << " kB, office "
                      << residentKilobytesOf(processesMentioning(cache).value(0)) << " kB"
                      << std::endl;
    }
    const qint64 memoryAfter = residentKilobytes();
    const qint64 officeMemoryAfter = residentKilobytesOf(processesMentioning(cache).value(0));
    std::cout << runs << " generations in " << clock.elapsed() / 1000 << " s; program " << memory
              << " -> " << memoryAfter << " kB, office " << officeMemory << " -> "
              << officeMemoryAfter << " kB, " << descriptors << " open files" << std::endl;
    QVERIFY2(memoryAfter <= memory * 11 / 10,
             qPrintable(QStringLiteral("%1 kB -> %2 kB").arg(memory).arg(memoryAfter)));
    if (runs - warmUp > 41)
        QVERIFY2(mostRunsOnOneOffice <= 41,
                 qPrintable(QStringLiteral("%1 runs on one office").arg(mostRunsOnOneOffice)));
    QVERIFY2(officePeakLate <= officePeakEarly * 11 / 10,
             qPrintable(QStringLiteral("office peak %1 kB up to run %2 -> %3 kB after it")
                            .arg(officePeakEarly)
                            .arg(lastQuarter)
                            .arg(officePeakLate)));

    offices = processesMentioning(cache);
    Word::setEngine(nullptr);
    QVERIFY(waitUntilGone(offices, 10000));
    QVERIFY(processesMentioning(cache).isEmpty());
}

QTEST_MAIN(TestSoakGeneration)
#include "tst_soak_generation.moc"
