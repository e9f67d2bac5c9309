// Saving the filled document where it cannot go: the target is a folder, its
// folder is a file or missing, the target is a link to a folder, a pipe or a
// link to one (a device would be replaced just the same), a target whose
// final rename is refused. Each time a
// clear reason, the old target as it was, and no half-written copy left.

#include "base/failure.h"
#include "faultinjection.h"
#include "preview/savecopy.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

#include <sys/stat.h>

class TestSaveFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unusableTarget_reasonGiven_nothingChanged_data();
    void unusableTarget_reasonGiven_nothingChanged();
};

void TestSaveFaults::unusableTarget_reasonGiven_nothingChanged_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("target is a folder") << "folder"
                                        << "is a folder";
    QTest::newRow("target is a link to a folder") << "link to folder"
                                                  << "is a folder";
    QTest::newRow("its folder is a file") << "folder is a file"
                                          << "Cannot write to the folder";
    QTest::newRow("its folder is missing") << "missing folder"
                                           << "Cannot write to the folder";
    QTest::newRow("target is a pipe") << "pipe"
                                      << "is not a plain file";
    QTest::newRow("target is a link to a pipe") << "link to pipe"
                                                << "is not a plain file";
    // As another user's file in a sticky folder would be: the final rename
    // is refused (this binds the superuser too).
    QTest::newRow("target cannot be replaced") << "immutable"
                                               << "Cannot replace";
    QTest::newRow("target is the source") << "source"
                                          << "cannot be saved over itself";
}

void TestSaveFaults::unusableTarget_reasonGiven_nothingChanged()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    TestEnvironment environment;
    const QString root = environment.root() + QStringLiteral("/save");
    QVERIFY(QDir().mkpath(root));
    const QString source = root + QStringLiteral("/filled.doc");
    {
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the filled document");
    }
    QString target = root + QStringLiteral("/flyer.doc");
    if (kind == QLatin1String("folder")) {
        QVERIFY(QDir().mkpath(target + QStringLiteral("/inside")));
    } else if (kind == QLatin1String("link to folder")) {
        QVERIFY(QDir().mkpath(root + QStringLiteral("/elsewhere")));
        QVERIFY(QFile::link(root + QStringLiteral("/elsewhere"), target));
    } else if (kind.endsWith(QLatin1String("pipe"))) {
        const QString pipe = root + (kind == QLatin1String("pipe") ? QStringLiteral("/flyer.doc")
                                                                   : QStringLiteral("/pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        if (pipe != target)
            QVERIFY(QFile::link(pipe, target));
    } else if (kind == QLatin1String("immutable")) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("the old one");
        file.close();
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), target}) != 0)
            QSKIP("Files cannot be made immutable here (chattr needs the superuser)");
    } else if (kind == QLatin1String("folder is a file")) {
        QFile file(root + QStringLiteral("/notafolder"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        target = root + QStringLiteral("/notafolder/flyer.doc");
    } else if (kind == QLatin1String("missing folder")) {
        target = root + QStringLiteral("/missing/flyer.doc");
    } else {
        target = source;
    }
    const QStringList before = entriesOf(root);
    const auto mutableAgain = qScopeGuard([&] {
        if (kind == QLatin1String("immutable"))
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), target});
    });

    try {
        copyFileSafely(source, target);
        QFAIL("the copy reported success");
    } catch (const Failure& failure) {
        QVERIFY2(failure.description().contains(reason), qPrintable(failure.description()));
        // Names the place, so that the user knows where not to save.
        QVERIFY2(failure.description().contains(QFileInfo(target).path()),
                 qPrintable(failure.description()));
    }
    QCOMPARE(entriesOf(root), before);
    QFile file(source);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("the filled document"));
    if (kind.endsWith(QLatin1String("pipe")))
        QVERIFY(QFileInfo(QFileInfo(target).canonicalFilePath()).isReadable() &&
                !QFileInfo(QFileInfo(target).canonicalFilePath()).isFile());
    if (kind == QLatin1String("folder") || kind == QLatin1String("link to folder"))
        QCOMPARE(entriesOf(QFileInfo(target).canonicalFilePath()).size(),
                 kind == QLatin1String("folder") ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestSaveFaults)
#include "tst_savefaults.moc"
