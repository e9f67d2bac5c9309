// Files that are not what the program expects: the temporary folder missing,
// a file, a link or someone else's; a planted "template.dot"; "temp.bmp",
// "template.dot" or the document's name planted as links that point out of the
// private folder; and the program killed while saving over a document.

#include "base/appinfo.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "faultinjection.h"
#include "generate/flyertext.h"
#include "generate/snapshot.h"
#include "generate/templatefilling.h"
#include "office/officeengine.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "preview/savecopy.h"
#include "sampleflyer.h"
#include "scripteddialogs.h"
#include "testenvironment.h"
#include "windowlesshost.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <iostream>
#include <memory>

#include <unistd.h>

namespace {

const QStringList kTokens = SampleFlyer::tokens();

const char* kSaveLoopArgument = "--save-loop";

// The windows as a filling run sees them, with the real page capture.
class Host final : public WindowlessHost
{
public:
    Host() : WindowlessHost(Page::Captured) {}

    QString fieldToken(int index) override { return kTokens.at(index); }
    QString fieldText(int index) override { return QStringLiteral("Text %1").arg(index); }
    QStringList services() override { return {QStringLiteral("Mowing")}; }
    QStringList scheduledServices() override { return {}; }
};

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

// The child program of the killed-save test: saves the two sources over the
// target in turn until it is killed.
int saveLoop(const QString& first, const QString& second, const QString& target)
{
    std::cout << "saving" << std::endl;
    for (;;) {
        copyFileSafely(first, target);
        copyFileSafely(second, target);
    }
}

} // namespace

class TestFaultsFiles : public OfficeFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void unusableTempFolder_runReportsAndWritesNothing_data();
    void unusableTempFolder_runReportsAndWritesNothing();
    void plantedFiles_neverWrittenThrough_andNextRunWorks_data();
    void plantedFiles_neverWrittenThrough_andNextRunWorks();
    void killedWhileSaving_targetIsWholeOldOrWholeNew();

private:
    void runSucceeds();

    QString m_outside;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
};

void TestFaultsFiles::init()
{
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_outside = m_environment->root() + QStringLiteral("/outside");
    QVERIFY(QDir().mkpath(m_outside));
}

void TestFaultsFiles::cleanup()
{
    m_dialogs.reset();
    QDir(m_outside).removeRecursively();
    QDir(Main::tempFolder()).removeRecursively();
}

void TestFaultsFiles::runSucceeds()
{
    m_dialogs->clear();
    Host host;
    host.makeFlyer();
    QCOMPARE(m_dialogs->shown().size(), 0);
    QVERIFY(host.shown);
    QCOMPARE(entriesOf(Main::tempFolder()), QStringList{QFileInfo(host.document).fileName()});
    Main::DeleteFileQuietly(host.document);
}

void TestFaultsFiles::unusableTempFolder_runReportsAndWritesNothing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing") << "missing";
    QTest::newRow("a file") << "file";
    QTest::newRow("private folder is a link to another folder") << "link";
    QTest::newRow("private folder belongs to another user") << "foreign";
    QTest::newRow("read-only") << "readonly";
}

void TestFaultsFiles::unusableTempFolder_runReportsAndWritesNothing()
{
    QFETCH(QString, kind);
    const QByteArray oldTemp = qgetenv("temp");
    const QString base = m_environment->root() + QStringLiteral("/othertemp");
    const QString privateFolder =
        base + QStringLiteral("/pellamont-") + QString::number(::getuid());
    QDir().mkpath(base);
    if (kind == QLatin1String("missing")) {
        QDir(base).removeRecursively();
    } else if (kind == QLatin1String("file")) {
        QDir(base).removeRecursively();
        writeAll(base, "a file where the folder should be");
    } else if (kind == QLatin1String("link")) {
        QVERIFY(QFile::link(m_outside, privateFolder));
    } else if (kind == QLatin1String("foreign")) {
        if (::geteuid() != 0)
            QSKIP("Only the superuser can give a folder to another user");
        QVERIFY(QDir().mkpath(privateFolder));
        QVERIFY(::chown(QFile::encodeName(privateFolder).constData(), 65534, 65534) == 0);
    } else {
        if (::geteuid() == 0)
            QSKIP("Folder permissions do not bind the superuser");
        QVERIFY(QFile::setPermissions(base, QFile::ReadOwner | QFile::ExeOwner));
    }
    qputenv("temp", QFile::encodeName(base));

    Host host;
    host.makeFlyer();

    const QStringList errors = m_dialogs->errors();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(base), qPrintable(errors.first()));
    QVERIFY(!host.shown);
    QCOMPARE(entriesOf(m_outside), QStringList());
    if (kind == QLatin1String("foreign"))
        QCOMPARE(entriesOf(privateFolder), QStringList());
    QVERIFY(processesMentioning(m_cache).size() <= 1);

    QFile::setPermissions(base, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::remove(base);
    QFile::remove(privateFolder);
    QDir(base).removeRecursively();
    qputenv("temp", oldTemp);
    runSucceeds();
}

void TestFaultsFiles::plantedFiles_neverWrittenThrough_andNextRunWorks_data()
{
    QTest::addColumn<QString>("name"); // in the private folder; "document" for the next document
    QTest::addColumn<bool>("link");    // a link to a file outside, else a file of garbage
    QTest::addColumn<bool>("targetExists");
    QTest::addColumn<bool>("runFails");
    QTest::newRow("garbage template") << "template.dot" << false << false << true;
    QTest::newRow("template linked to a file") << "template.dot" << true << true << true;
    QTest::newRow("template linked to nothing") << "template.dot" << true << false << true;
    QTest::newRow("picture linked to a file") << "temp.bmp" << true << true << false;
    QTest::newRow("picture linked to nothing") << "temp.bmp" << true << false << false;
    QTest::newRow("document linked to a file") << "document" << true << true << false;
    QTest::newRow("document linked to nothing") << "document" << true << false << false;
}

void TestFaultsFiles::plantedFiles_neverWrittenThrough_andNextRunWorks()
{
    QFETCH(QString, name);
    QFETCH(bool, link);
    QFETCH(bool, targetExists);
    QFETCH(bool, runFails);
    const QString temp = Main::tempFolder();
    if (name == QLatin1String("document")) {
        // The name the next run will draw.
        FlyerText::documentNameGenerator().seed(4711);
        std::mt19937 copy = FlyerText::documentNameGenerator();
        name = FlyerText::documentName(copy);
    }
    const QString planted = temp + QLatin1Char('/') + name;
    const QString target = m_outside + QStringLiteral("/precious");
    const QByteArray precious = "the user's own file, not to be touched";
    if (targetExists)
        writeAll(target, precious);
    if (link)
        QVERIFY(QFile::link(target, planted));
    else
        writeAll(planted, "garbage, not a document");

    Host host;
    host.makeFlyer();

    if (runFails) {
        QCOMPARE(m_dialogs->errors().size(), 1);
        QVERIFY(!host.shown);
    } else {
        QCOMPARE(m_dialogs->shown().size(), 0);
        QVERIFY(host.shown);
        QVERIFY(host.document != planted);
        QVERIFY(QFileInfo(host.document).isFile() && !QFileInfo(host.document).isSymLink());
        Main::DeleteFileQuietly(host.document);
    }
    // Nothing was written through the link, and nothing appeared beside it.
    QCOMPARE(entriesOf(m_outside),
             targetExists ? QStringList{QStringLiteral("precious")} : QStringList());
    if (targetExists)
        QCOMPARE(readAll(target), precious);
    // A planted document name stays taken; anything else the run owns is gone.
    const QStringList left = entriesOf(temp);
    QVERIFY2(left.isEmpty() || left == QStringList{name}, qPrintable(left.join(QLatin1Char(' '))));
    QFile::remove(planted);

    runSucceeds();
}

void TestFaultsFiles::killedWhileSaving_targetIsWholeOldOrWholeNew()
{
    const QString folder = m_outside;
    const QString first = folder + QStringLiteral("/first.doc");
    const QString second = folder + QStringLiteral("/second.doc");
    const QString target = folder + QStringLiteral("/flyer.doc");
    // Large enough that a save takes a while, so that kills land inside one.
    QByteArray a(6 << 20, 'a');
    QByteArray b(5 << 20, 'b');
    writeAll(first, a);
    writeAll(second, b);
    const QByteArray old = "the saved flyer from last week";
    writeAll(target, old);

    QRandomGenerator random(8);
    int kills = 0;
    for (int round = 0; round < 12; ++round) {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QString::fromLatin1(kSaveLoopArgument), first, second, target});
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start();
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(10000));
        QThread::msleep(5 + random.bounded(150));
        child.kill();
        QVERIFY(child.waitForFinished());
        ++kills;
        const QByteArray now = readAll(target);
        QVERIFY2(
            now == old || now == a || now == b,
            qPrintable(
                QStringLiteral("round %1: a mixed target of %2 bytes").arg(round).arg(now.size())));
    }
    QCOMPARE(kills, 12);
    // A killed save cannot remove its unfinished copy; it is hidden, beside
    // the target, and never has the target's name (nor one made from it, which
    // could be too long for the file system).
    for (const QString& entry : entriesOf(folder)) {
        if (entry == QLatin1String("first.doc") || entry == QLatin1String("second.doc") ||
            entry == QLatin1String("flyer.doc"))
            continue;
        QVERIFY2(entry.startsWith(QStringLiteral(".pellamont-")), qPrintable(entry));
    }
}

int main(int argc, char* argv[])
{
    if (argc == 5 && qstrcmp(argv[1], kSaveLoopArgument) == 0) {
        QCoreApplication app(argc, argv);
        return saveLoop(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                        QString::fromLocal8Bit(argv[4]));
    }
    QApplication app(argc, argv);
    TestFaultsFiles test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faults_files.moc"
