// pellamont-batch on the real office, from a terminal's point of view: three
// rows made into PDFs and Word documents by two workers, read back by
// pdftotext; a second run keeps what the first made; no office, worker or
// short-lived file is left.

#include "officefixture.h"
#include "officeprocesses.h"
#include "pdffacts.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;

class TestOfficeBatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void batch_threeRowsTwoJobs_madeAsTheWindowMakesThem();
};

namespace {
struct Run
{
    int status = -1;
    QString out;
    QString errors;
};

Run runBatch(const QString& folder, const QStringList& arguments)
{
    QProcess program;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.remove(QStringLiteral("QT_QPA_PLATFORM"));
    variables.remove(QStringLiteral("DISPLAY"));
    program.setProcessEnvironment(variables);
    program.setWorkingDirectory(folder);
    program.start(QStringLiteral(PELLAMONT_BATCH), arguments);
    if (!program.waitForFinished(600000))
        program.kill();
    program.waitForFinished();
    return {program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()),
            QString::fromUtf8(program.readAllStandardError())};
}
} // namespace

void TestOfficeBatch::batch_threeRowsTwoJobs_madeAsTheWindowMakesThem()
{
    TestEnvironment environment;
    const OfficeCacheFolder cacheFolder(environment);
    const QString folder = environment.root() + QStringLiteral("/flyers");
    QVERIFY(QDir().mkpath(folder));
    QFile csv(folder + QStringLiteral("/shops.csv"));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("business_name,tag_line,phone,services,tab_phone\n"
              "Halvard Gardens,\"Green, all year\",208.555.0199,Mowing;Pond care,208.555.0111\n"
              "Bolt & Sons,Fast fixes,208.555.0142,,\n"
              "Halvard Gardens,Second branch,208.555.0177,Hedges,\n"
              "Broken,row\n");
    csv.close();

    const Run first = runBatch(folder, {u"--pdf"_s, u"--doc"_s, u"--jobs"_s, u"2"_s, u"--out"_s,
                                        u"out"_s, u"shops.csv"_s});
    QCOMPARE(first.status, 1);
    QVERIFY2(first.errors.contains(QStringLiteral(
                 "shops.csv:5: the row has 2 cells, but the header names 5 columns")),
             qPrintable(first.errors));
    const QDir out(folder + QStringLiteral("/out"));
    QCOMPARE(out.entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{u"Bolt & Sons.doc"_s, u"Bolt & Sons.pdf"_s, u"Halvard Gardens (2).doc"_s,
                          u"Halvard Gardens (2).pdf"_s, u"Halvard Gardens.doc"_s,
                          u"Halvard Gardens.pdf"_s}));
    QCOMPARE(first.out.count(QLatin1Char('\n')), 6);
    const PdfFacts garden = readPdf(out.filePath(QStringLiteral("Halvard Gardens.pdf")));
    QCOMPARE(garden.pages, 1);
    QVERIFY(garden.allFontsEmbedded);
    for (const char* text :
         {"Halvard Gardens", "Green, all year", "208.555.0199", "Pond care", "208.555.0111"})
        QVERIFY2(garden.text.contains(QLatin1String(text)), text);
    QVERIFY(!garden.text.contains(QStringLiteral("[TagLine]")));
    QVERIFY(readPdf(out.filePath(QStringLiteral("Halvard Gardens (2).pdf")))
                .text.contains(QStringLiteral("Second branch")));
    QVERIFY(readPdf(out.filePath(QStringLiteral("Bolt & Sons.pdf")))
                .text.contains(QStringLiteral("Fast fixes")));
    QVERIFY(QFile(out.filePath(QStringLiteral("Bolt & Sons.doc"))).size() > 10000);

    // Again: every file exists, none is replaced, and no office is started.
    const QByteArray before = [&] {
        QFile file(out.filePath(QStringLiteral("Bolt & Sons.pdf")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const Run second = runBatch(folder, {u"--pdf"_s, u"--out"_s, u"out"_s, u"shops.csv"_s});
    QCOMPARE(second.status, 1);
    QVERIFY2(second.errors.contains(QStringLiteral("shops.csv:3: ")) &&
                 second.errors.contains(QStringLiteral("already exists and was kept")),
             qPrintable(second.errors));
    QFile again(out.filePath(QStringLiteral("Bolt & Sons.pdf")));
    QVERIFY(again.open(QIODevice::ReadOnly));
    QCOMPARE(again.readAll(), before);

    QCOMPARE(processesMentioning(cacheFolder.path()), QList<qint64>());
    const QString user =
        environment.systemTemp() + QStringLiteral("/pellamont-") + QString::number(::getuid());
    QCOMPARE(QDir(user).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

QTEST_GUILESS_MAIN(TestOfficeBatch)
#include "tst_office_batch.moc"
