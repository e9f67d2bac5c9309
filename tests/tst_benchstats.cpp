// The summaries the benchmarks report: a wrong median or percentile would
// pass or fail a target on figures nobody measured.

#include "bench/benchstats.h"

#include <QTest>

#include <unistd.h>

class TestBenchStats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void median_oddEvenAndEmpty_data();
    void median_oddEvenAndEmpty();
    void percentile_nearestRank_data();
    void percentile_nearestRank();
    void parseStatus_readsResidentAndPeak_ignoresOtherLines();
    void memoryOf_ownProcess_andMissingProcess();
    void growthPercent_relativeToBefore();
};

void TestBenchStats::median_oddEvenAndEmpty_data()
{
    QTest::addColumn<QList<double>>("samples");
    QTest::addColumn<double>("expected");
    QTest::newRow("empty") << QList<double>{} << 0.0;
    QTest::newRow("one") << QList<double>{7} << 7.0;
    QTest::newRow("odd, unsorted") << QList<double>{9, 1, 5} << 5.0;
    QTest::newRow("even: mean of the middle two") << QList<double>{4, 1, 3, 100} << 3.5;
}

void TestBenchStats::median_oddEvenAndEmpty()
{
    QFETCH(QList<double>, samples);
    QFETCH(double, expected);
    QCOMPARE(BenchStats::median(samples), expected);
}

void TestBenchStats::percentile_nearestRank_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("p");
    QTest::addColumn<double>("expected");
    // Samples 1..count, shuffled by the test.
    QTest::newRow("p99 of 100 is the 99th") << 100 << 99.0 << 99.0;
    QTest::newRow("p99 of 400 is the 396th") << 400 << 99.0 << 396.0;
    QTest::newRow("p99 of 10 is the largest") << 10 << 99.0 << 10.0;
    QTest::newRow("p50 of 10 is the 5th") << 10 << 50.0 << 5.0;
    QTest::newRow("p100 is the largest") << 7 << 100.0 << 7.0;
    QTest::newRow("tiny p is the smallest") << 7 << 0.1 << 1.0;
    QTest::newRow("no samples") << 0 << 99.0 << 0.0;
}

void TestBenchStats::percentile_nearestRank()
{
    QFETCH(int, count);
    QFETCH(double, p);
    QFETCH(double, expected);
    QList<double> samples;
    for (int i = count; i >= 1; --i)
        samples << double((i * 37) % count + 1);
    QCOMPARE(BenchStats::percentile(samples, p), expected);
    QCOMPARE(BenchStats::worst(samples), double(count));
}

void TestBenchStats::parseStatus_readsResidentAndPeak_ignoresOtherLines()
{
    const QByteArray status = "Name:\tsoffice.bin\nVmPeak:\t  999999 kB\nVmHWM:\t  204800 kB\n"
                              "VmRSS:\t  102400 kB\nRssAnon:\t 5 kB\nThreads:\t12\n";
    const auto memory = BenchStats::parseStatus(status);
    QCOMPARE(memory.residentKiB, 102400);
    QCOMPARE(memory.peakKiB, 204800);

    const auto kernelThread = BenchStats::parseStatus("Name:\tkthreadd\nState:\tS\n");
    QCOMPARE(kernelThread.residentKiB, -1);
    QCOMPARE(kernelThread.peakKiB, -1);
}

void TestBenchStats::memoryOf_ownProcess_andMissingProcess()
{
    const auto own = BenchStats::memoryOf(::getpid());
    QVERIFY(own.residentKiB > 0);
    QVERIFY(own.peakKiB >= own.residentKiB);
    // Pids never reach this far on Linux (at most 2^22).
    QCOMPARE(BenchStats::memoryOf(1 << 30).residentKiB, -1);
    QVERIFY(BenchStats::childProcesses(::getpid(), QStringLiteral("no-such-program")).isEmpty());
}

void TestBenchStats::growthPercent_relativeToBefore()
{
    QCOMPARE(BenchStats::growthPercent(200, 220), 10.0);
    QCOMPARE(BenchStats::growthPercent(200, 150), -25.0);
    QCOMPARE(BenchStats::growthPercent(0, 150), 0.0);
}

QTEST_GUILESS_MAIN(TestBenchStats)
#include "tst_benchstats.moc"
