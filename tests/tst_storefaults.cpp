// The settings store where it cannot be written: its folder is a file, the
// file is a folder, the file is read-only. The user types on; one message says
// what is wrong, nothing typed is lost, and it is all stored once the store
// can be written again.

#include "base/appinfo.h"
#include "base/settings.h"
#include "base/shutdown.h"
#include "fakeword.h"
#include "mainwindow/form1.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <memory>

#include <unistd.h>

class TestStoreFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void unwritableStore_typingGoesOn_oneMessage_nothingLost_data();
    void unwritableStore_typingGoesOn_oneMessage_nothingLost();
    void unstoredAtClose_toldWhereAndSavedElsewhere_data();
    void unstoredAtClose_toldWhereAndSavedElsewhere();
};

void TestStoreFaults::unwritableStore_typingGoesOn_oneMessage_nothingLost_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("its folder is a file") << "folder is a file";
    QTest::newRow("the file is a folder") << "file is a folder";
    QTest::newRow("the file is read-only") << "read-only";
}

void TestStoreFaults::unwritableStore_typingGoesOn_oneMessage_nothingLost()
{
    QFETCH(QString, kind);
    if (kind == QLatin1String("read-only") && ::geteuid() == 0)
        QSKIP("File permissions do not bind the superuser");
    TestEnvironment environment;
    loadProgramResources();
    auto engine = std::make_shared<FakeWord::Engine>();
    Word::setEngine(engine);
    ScriptedDialogs dialogs;
    const QString folder = environment.root() + QStringLiteral("/store");
    const QString path = folder + QStringLiteral("/Corvanti.conf");
    SettingsStore::useFileForTesting(path);

    auto blocker = [&](bool block) {
        QFile::remove(folder);
        QDir(folder).removeRecursively();
        if (!block)
            return QDir().mkpath(folder);
        if (kind == QLatin1String("folder is a file")) {
            QFile file(folder);
            return file.open(QIODevice::WriteOnly) && file.write("in the way") > 0;
        }
        if (kind == QLatin1String("file is a folder"))
            return QDir().mkpath(path);
        QFile file(path);
        if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly))
            return false;
        file.write("[Pellamont]\n");
        file.close();
        return file.setPermissions(QFile::ReadOwner);
    };
    QVERIFY(blocker(true));

    {
        Form1 form;
        form.show();
        // A store that cannot be read at start is said so then; a failed
        // write once, at the first keystroke, not once per keystroke.
        const qsizetype atStart = dialogs.shown().size();
        QVERIFY(atStart <= 1);
        QTest::keyClicks(form.Text1(0), QStringLiteral("Acme Lawn"));
        QTest::keyClicks(form.Text1(5), QStringLiteral("Boise"));
        QCOMPARE(dialogs.shown().size(), atStart + 1);
        for (const auto& shown : dialogs.shown())
            QVERIFY2(shown.text.contains(folder), qPrintable(shown.text));
        QCOMPARE(form.Text1(0)->text(), QStringLiteral("Acme Lawn"));

        // The store comes back; the next change stores every earlier one too.
        QVERIFY(blocker(false));
        QTest::keyClicks(form.Text1(7), QStringLiteral("8"));
        QCOMPARE(dialogs.shown().size(), atStart + 1);
        QCOMPARE(ReadSetting(QStringLiteral("Text1_0")), QStringLiteral("Acme Lawn"));
    }
    SettingsStore::useFileForTesting(path);
    QCOMPARE(ReadSetting(QStringLiteral("Text1_0")), QStringLiteral("Acme Lawn"));
    QCOMPARE(ReadSetting(QStringLiteral("Text1_5")), QStringLiteral("Boise"));
    QCOMPARE(ReadSetting(QStringLiteral("Text1_7")), QStringLiteral("8"));
    Word::setEngine(nullptr);
}

void TestStoreFaults::unstoredAtClose_toldWhereAndSavedElsewhere_data()
{
    QTest::addColumn<qint64>("storeSize");
    // 0: the store's folder is a file.
    QTest::newRow("store cannot be written") << qint64(0);
    QTest::newRow("store far too large, refused at start") << qint64(50) * 1024 * 1024;
}

void TestStoreFaults::unstoredAtClose_toldWhereAndSavedElsewhere()
{
    QFETCH(qint64, storeSize);
    TestEnvironment environment;
    loadProgramResources();
    Word::setEngine(std::make_shared<FakeWord::Engine>());
    Shutdown::setHandlerForTesting([](int) {});
    ScriptedDialogs dialogs;
    const QString folder = environment.root() + QStringLiteral("/store");
    const QString path = folder + QStringLiteral("/Corvanti.conf");
    SettingsStore::useFileForTesting(path);
    QFile blocker(storeSize > 0 ? path : folder);
    QVERIFY(QDir().mkpath(environment.root()) && (storeSize == 0 || QDir().mkpath(folder)));
    QVERIFY(blocker.open(QIODevice::WriteOnly) && blocker.resize(std::max<qint64>(storeSize, 1)));
    blocker.close();
    const QString saved = environment.root() + QStringLiteral("/kept.json");
    {
        Form1 form;
        form.show();
        QTest::keyClicks(form.Text1(1), QStringLiteral("Boise"));
        form.List1()->addItem(QStringLiteral("Mowing"));
        dialogs.clear();
        // Cancel in the file dialog asks again; then a file is chosen.
        dialogs.answerQuestions({Dialogs::Answer::Yes, Dialogs::Answer::Yes});
        dialogs.answerSaveFiles({QString(), saved});
        form.close();
        QStringList questions;
        for (const auto& shown : dialogs.shown()) {
            if (shown.kind == ScriptedDialogs::Shown::Question)
                questions << shown.text;
        }
        QCOMPARE(questions.size(), 2);
        QVERIFY2(questions.first().contains(path) && questions.first().contains(QStringLiteral(
                                                         "(Services, Scheduled Services, City)")),
                 qPrintable(questions.first()));
    }
    // The store is as it was; the data is in the file chosen.
    QCOMPARE(QFileInfo(storeSize > 0 ? path : folder).size(), std::max<qint64>(storeSize, 1));
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject data = QJsonDocument::fromJson(file.readAll()).object();
    QCOMPARE(data.value(QStringLiteral("city")).toString(), QStringLiteral("Boise"));
    QCOMPARE(data.value(QStringLiteral("services")).toArray().first().toString(),
             QStringLiteral("Mowing"));
    Shutdown::resetForTesting();
    Word::setEngine(nullptr);
}

QTEST_MAIN(TestStoreFaults)
#include "tst_storefaults.moc"
