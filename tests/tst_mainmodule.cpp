#include "base/atomicwrite.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "gui/windowkit.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

class TestMainModule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileExists_onlyForFiles_data();
    void fileExists_onlyForFiles();
    void deleteFileQuietly_missingOrFolder_isSilent();
    void writeFileIfAbsent_newFile_exactBytes();
    void writeFileIfAbsent_existingFile_untouchedAfterPendingEvents();
    void writeFileIfAbsent_cannotCreate_throws();
    void resetFormColors_onlyFramesLabelsAndButtonsOfChoice();
    void systemTempFolder_variableInAnyCase_data();
    void systemTempFolder_variableInAnyCase();
    void tempFolder_privateToThisUser();
    void tempFolder_linkOrForeignOwner_refused();
    void leftovers_ofDeadProgramsGo_ofLiveOnesStay();
    void atomicWrite_wholeOrNothingNeverThroughALink_data();
    void atomicWrite_wholeOrNothingNeverThroughALink();
};

namespace {
QString makeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

// Sets an environment variable for one scope and puts the old value back.
class ScopedVariable
{
public:
    ScopedVariable(const char* name, const QByteArray* value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedVariable()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};
} // namespace

void TestMainModule::fileExists_onlyForFiles_data()
{
    QTest::addColumn<QString>("relative");
    QTest::addColumn<bool>("exists");
    QTest::newRow("existing file") << "tmp/present.txt" << true;
    QTest::newRow("empty file") << "tmp/empty.txt" << true;
    QTest::newRow("missing file in existing folder") << "tmp/absent.txt" << false;
    QTest::newRow("missing folder") << "nowhere/absent.txt" << false;
    QTest::newRow("folder") << "tmp" << false;
    QTest::newRow("malformed") << QString::fromUtf8("tmp/a\0b", 7) << false;
}

void TestMainModule::fileExists_onlyForFiles()
{
    QFETCH(QString, relative);
    QFETCH(bool, exists);
    TestEnvironment environment;
    makeFile(environment.systemTemp() + QStringLiteral("/present.txt"), "x");
    makeFile(environment.systemTemp() + QStringLiteral("/empty.txt"), QByteArray());
    QCOMPARE(Main::FileExists(environment.root() + QLatin1Char('/') + relative), exists);
    QVERIFY(!Main::FileExists(QString()));
}

void TestMainModule::deleteFileQuietly_missingOrFolder_isSilent()
{
    TestEnvironment environment;
    ScriptedDialogs dialogs;
    const QString file = makeFile(environment.systemTemp() + QStringLiteral("/doc.doc"), "x");
    Main::DeleteFileQuietly(file);
    QVERIFY(!QFile::exists(file));
    Main::DeleteFileQuietly(file);
    Main::DeleteFileQuietly(QString());
    Main::DeleteFileQuietly(environment.systemTemp());
    QVERIFY(QFileInfo(environment.systemTemp()).isDir());
    QVERIFY(dialogs.shown().isEmpty());
}

void TestMainModule::writeFileIfAbsent_newFile_exactBytes()
{
    TestEnvironment environment;
    QByteArray bytes(52736, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(QRandomGenerator::global()->bounded(256));
    bytes[0] = '\0';
    const QString path = environment.systemTemp() + QStringLiteral("/template.dot");
    Main::WriteFileIfAbsent(bytes, path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), qint64(52736));
    QCOMPARE(file.readAll(), bytes);
}

void TestMainModule::writeFileIfAbsent_existingFile_untouchedAfterPendingEvents()
{
    TestEnvironment environment;
    const QString path = environment.systemTemp() + QStringLiteral("/template.dot");
    makeFile(path, "older and different");
    Main::WriteFileIfAbsent(QByteArray(100, 'n'), path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("older and different"));

    // Pending events run before the test, so a file they create is kept too.
    const QString second = environment.systemTemp() + QStringLiteral("/second.dot");
    QTimer::singleShot(0, [&] { makeFile(second, "from an event"); });
    Main::WriteFileIfAbsent(QByteArray(100, 'n'), second);
    QFile secondFile(second);
    QVERIFY(secondFile.open(QIODevice::ReadOnly));
    QCOMPARE(secondFile.readAll(), QByteArray("from an event"));
}

void TestMainModule::writeFileIfAbsent_cannotCreate_throws()
{
    TestEnvironment environment;
    const QString path = environment.root() + QStringLiteral("/missing/template.dot");
    QVERIFY_THROWS_EXCEPTION(Failure, Main::WriteFileIfAbsent(QByteArray("x"), path));
    // A link planted at the name is not followed.
    const QString target = environment.root() + QStringLiteral("/target");
    const QString link = environment.systemTemp() + QStringLiteral("/planted.dot");
    QVERIFY(QFile::link(target, link));
    QVERIFY_THROWS_EXCEPTION(Failure, Main::WriteFileIfAbsent(QByteArray("x"), link));
    QVERIFY(!QFile::exists(target));
}

void TestMainModule::resetFormColors_onlyFramesLabelsAndButtonsOfChoice()
{
    QWidget window;
    auto* frame = new QGroupBox(QStringLiteral("Frame"), &window);
    auto* label = new QLabel(QStringLiteral("Label"), frame);
    auto* check = new QCheckBox(QStringLiteral("Check"), &window);
    auto* option = new QRadioButton(QStringLiteral("Option"), &window);
    auto* field = new QLineEdit(&window);
    auto* list = new QListWidget(&window);
    auto* button = new QPushButton(QStringLiteral("Button"), &window);
    const QColor marker(12, 34, 56);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{frame, label, check, option, field, list, button}) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, marker);
        widget->setPalette(palette);
    }
    Main::ResetFormColors(&window);
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    QCOMPARE(window.palette().color(QPalette::Window), buttonFace);
    for (QWidget* widget : std::initializer_list<QWidget*>{frame, label, check, option})
        QCOMPARE(widget->palette().color(QPalette::Window), buttonFace);
    for (QWidget* widget : std::initializer_list<QWidget*>{field, list, button})
        QCOMPARE(widget->palette().color(QPalette::Window), marker);
}

void TestMainModule::systemTempFolder_variableInAnyCase_data()
{
    QTest::addColumn<QByteArray>("lower");
    QTest::addColumn<QByteArray>("upper");
    QTest::addColumn<QByteArray>("tmpdir");
    QTest::addColumn<QString>("expected");
    QTest::newRow("temp") << QByteArray("/srv/a") << QByteArray() << QByteArray("/srv/t")
                          << "/srv/a";
    QTest::newRow("TEMP") << QByteArray() << QByteArray("/srv/b/") << QByteArray("/srv/t")
                          << "/srv/b";
    QTest::newRow("TMPDIR") << QByteArray() << QByteArray() << QByteArray("/srv/t") << "/srv/t";
    QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << "/tmp";
}

void TestMainModule::systemTempFolder_variableInAnyCase()
{
    QFETCH(QByteArray, lower);
    QFETCH(QByteArray, upper);
    QFETCH(QByteArray, tmpdir);
    QFETCH(QString, expected);
    const ScopedVariable a("temp", lower.isEmpty() ? nullptr : &lower);
    const ScopedVariable b("TEMP", upper.isEmpty() ? nullptr : &upper);
    const ScopedVariable c("Temp", nullptr);
    const ScopedVariable d("TMPDIR", tmpdir.isEmpty() ? nullptr : &tmpdir);
    QCOMPARE(Main::systemTempFolder(), expected);
}

void TestMainModule::tempFolder_privateToThisUser()
{
    TestEnvironment environment;
    const QString folder = Main::tempFolder();
    // This program's folder, inside the user's.
    const QString user = QFileInfo(folder).absolutePath();
    QCOMPARE(QFileInfo(user).absolutePath(), environment.systemTemp());
    struct stat status
    {
    };
    for (const QString& path : {user, folder}) {
        QCOMPARE(::lstat(QFile::encodeName(path).constData(), &status), 0);
        QVERIFY(S_ISDIR(status.st_mode));
        QCOMPARE(status.st_mode & 0777, mode_t(0700));
        QCOMPARE(status.st_uid, ::getuid());
    }
    // A second call uses the same folder; one opened up meanwhile to the
    // group, to others or to both is closed again.
    for (const mode_t opened : {0777, 0750, 0740, 0710, 0705, 0701}) {
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), opened) == 0);
        QCOMPARE(Main::tempFolder(), folder);
        QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0700));
    }
}

void TestMainModule::tempFolder_linkOrForeignOwner_refused()
{
    TestEnvironment environment;
    const QString expected =
        environment.systemTemp() + QStringLiteral("/pellamont-") + QString::number(::getuid());
    const QString elsewhere = environment.root() + QStringLiteral("/elsewhere");
    QVERIFY(QDir().mkpath(elsewhere));
    QVERIFY(QFile::link(elsewhere, expected));
    QVERIFY_THROWS_EXCEPTION(Failure, Main::tempFolder());
    QVERIFY(QFile::remove(expected));

    // A plain file at the name is no folder either.
    makeFile(expected, "x");
    QVERIFY_THROWS_EXCEPTION(Failure, Main::tempFolder());
    QVERIFY(QFile::remove(expected));

    // Another user's folder; only a privileged test run can make one.
    QVERIFY(QDir().mkpath(expected));
    const uid_t otherUser = ::getuid() == 65534 ? 65533 : 65534;
    if (::chown(QFile::encodeName(expected).constData(), otherUser, otherUser) != 0)
        QSKIP("Cannot give a folder to another user here");
    QVERIFY_THROWS_EXCEPTION(Failure, Main::tempFolder());
}

void TestMainModule::leftovers_ofDeadProgramsGo_ofLiveOnesStay()
{
    TestEnvironment environment;
    const QString own = Main::tempFolder();
    const QString user = QFileInfo(own).absolutePath();
    auto plant = [&](const QString& name) {
        QVERIFY(QDir().mkpath(user + u'/' + name));
        for (const char* file : {"/qorvin12345678.doc", "/template.dot", "/temp.bmp"})
            makeFile(user + u'/' + name + QLatin1String(file), "data");
    };
    // Killed: its lock file is there, held by no one.
    plant(QStringLiteral("run-1"));
    makeFile(user + QStringLiteral("/run-1.lock"), "");
    // A folder without a lock file: a program makes the lock first.
    plant(QStringLiteral("run-2"));
    // Running now: it holds its lock.
    plant(QStringLiteral("run-3"));
    makeFile(own + QStringLiteral("/qorvin87654321.doc"), "mine");
    makeFile(user + QStringLiteral("/qorvin11111111.doc"), "loose");
    const QByteArray live = QFile::encodeName(user + QStringLiteral("/run-3.lock"));
    const int fd = ::open(live.constData(), O_RDWR | O_CREAT, 0600);
    QVERIFY(fd >= 0);
    QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);

    Main::removeLeftovers();
    QVERIFY(!QFileInfo::exists(user + QStringLiteral("/run-1")));
    QVERIFY(!QFileInfo::exists(user + QStringLiteral("/run-1.lock")));
    QVERIFY(!QFileInfo::exists(user + QStringLiteral("/run-2")));
    QVERIFY(QFileInfo::exists(user + QStringLiteral("/run-3/qorvin12345678.doc")));
    QVERIFY(QFileInfo::exists(own + QStringLiteral("/qorvin87654321.doc")));
    // Whose a loose file is cannot be told while another program runs.
    QVERIFY(QFileInfo::exists(user + QStringLiteral("/qorvin11111111.doc")));

    ::close(fd);
    Main::removeLeftovers();
    QVERIFY(!QFileInfo::exists(user + QStringLiteral("/run-3")));
    QVERIFY(!QFileInfo::exists(user + QStringLiteral("/qorvin11111111.doc")));
    QVERIFY(QFileInfo::exists(own + QStringLiteral("/qorvin87654321.doc")));

    // The program's own folder goes with it at the end.
    Main::releaseTempFolder();
    QCOMPARE(QDir(user).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void TestMainModule::atomicWrite_wholeOrNothingNeverThroughALink_data()
{
    QTest::addColumn<QString>("before"); // what stands under the name: "", "file", "link"
    QTest::addColumn<bool>("fillWorks");
    QTest::addColumn<bool>("durable");
    QTest::newRow("new file") << "" << true << false;
    QTest::newRow("file replaced, durably") << "file" << true << true;
    QTest::newRow("link replaced, its file untouched") << "link" << true << false;
    QTest::newRow("failed write keeps the file") << "file" << false << true;
}

void TestMainModule::atomicWrite_wholeOrNothingNeverThroughALink()
{
    QFETCH(QString, before);
    QFETCH(bool, fillWorks);
    QFETCH(bool, durable);
    TestEnvironment environment;
    const QString folder = environment.systemTemp();
    const QString path = folder + QStringLiteral("/temp.bmp");
    const QString other = makeFile(folder + QStringLiteral("/precious"), "the user's");
    if (before == QLatin1String("file"))
        makeFile(path, "old");
    else if (before == QLatin1String("link"))
        QVERIFY(QFile::link(other, path));
    const auto durability =
        durable ? AtomicWrite::Durability::Durable : AtomicWrite::Durability::Quick;
    bool failed = false;
    try {
        AtomicWrite::write(path, durability, [&](QIODevice& file) {
            file.write("half");
            return fillWorks && file.write(" and whole") > 0;
        });
    } catch (const AtomicWrite::Failed& failure) {
        failed = failure.step == AtomicWrite::Failed::Step::Write;
    }
    QCOMPARE(failed, !fillWorks);
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), fillWorks ? QByteArray("half and whole") : QByteArray("old"));
    QVERIFY(!QFileInfo(path).isSymLink());
    QFile untouched(other);
    QVERIFY(untouched.open(QIODevice::ReadOnly));
    QCOMPARE(untouched.readAll(), QByteArray("the user's"));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 2);
}

QTEST_MAIN(TestMainModule)
#include "tst_mainmodule.moc"
