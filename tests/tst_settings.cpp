#include "base/appinfo.h"
#include "base/settings.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void read_missingKey_isEmptyAndCreatesNothing();
    void write_value_isOnDiskAndReadBackExactly_data();
    void write_value_isOnDiskAndReadBackExactly();
    void store_liesInConfigFolderUnderSection();
    void open_soundFile_isLeftAlone_data();
    void open_soundFile_isLeftAlone();
    void open_damagedFile_keptAsideBeforeOverwrite_data();
    void open_damagedFile_keptAsideBeforeOverwrite();
    void open_handTypedValues_readAsTypedAndKeptWhenRewritten();
    void shortenedTitle_cutsLastWordsDownToForty_data();
    void shortenedTitle_cutsLastWordsDownToForty();
};

namespace {
void writeRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList filesBeside(const QString& path)
{
    return QFileInfo(path).dir().entryList(QDir::Files);
}
} // namespace

void TestSettings::read_missingKey_isEmptyAndCreatesNothing()
{
    TestEnvironment environment;
    ScriptedDialogs dialogs;
    QCOMPARE(ReadSetting(QStringLiteral("Text1_4")), QString());
    QCOMPARE(ReadSetting(QStringLiteral("List2")), QString());
    QVERIFY(!QFile::exists(environment.settingsFile()));
    QVERIFY(dialogs.shown().isEmpty());
}

void TestSettings::write_value_isOnDiskAndReadBackExactly_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("otherKeys"); // another program's, already in the store
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("blanks") << QStringLiteral("  two  ") << 0;
    QTest::newRow("list format") << QStringLiteral("A;B;") << 0;
    QTest::newRow("ini specials") << QStringLiteral("a=b \"q\" \\ # ; [s] %41") << 0;
    QTest::newRow("line breaks") << QStringLiteral("one\ntwo\r\nthree\rfour") << 0;
    QTest::newRow("control characters") << QStringLiteral("tab\tbell\x07") << 0;
    QTest::newRow("beside 2 MB of other keys") << QStringLiteral("A;B;") << 16000;
}

void TestSettings::write_value_isOnDiskAndReadBackExactly()
{
    QFETCH(QString, value);
    QFETCH(int, otherKeys);
    TestEnvironment environment;
    ScriptedDialogs dialogs;
    QByteArray others = "[Elsewhere]\n";
    for (int key = 0; key < otherKeys; ++key)
        others += "key" + QByteArray::number(key) + '=' + QByteArray(120, 'v') + '\n';
    if (otherKeys > 0)
        writeRaw(environment.settingsFile(), others);
    WriteSetting(QStringLiteral("Text1_12"), value);
    QCOMPARE(ReadSetting(QStringLiteral("Text1_12")), value);
    // Asked at close: nothing is left unwritten.
    QVERIFY(SettingsStore::unsavedKeys().isEmpty());
    QVERIFY(environment.settingsText().contains("Text1_12="));
    const QByteArray otherValue = '=' + QByteArray(120, 'v');
    QCOMPARE(environment.settingsText().count(otherValue), otherKeys);
    QCOMPARE(ReadSetting(QStringLiteral("Text1_12")), value);
    // A new run reads the file, not what this one remembers.
    SettingsStore::useFileForTesting(environment.settingsFile());
    QCOMPARE(ReadSetting(QStringLiteral("Text1_12")), value);
    QVERIFY(dialogs.shown().isEmpty());
}

void TestSettings::store_liesInConfigFolderUnderSection()
{
    TestEnvironment environment;
    SettingsStore::useFileForTesting(QString());
    QCOMPARE(SettingsStore::filePath(),
             environment.root() + QStringLiteral("/config/Corvanti.conf"));
    WriteSetting(QStringLiteral("Text1_0"), QStringLiteral("Acme"));
    QCOMPARE(environment.settingsText(), QByteArray("[Pellamont]\nText1_0=Acme\n"));
}

void TestSettings::open_handTypedValues_readAsTypedAndKeptWhenRewritten()
{
    TestEnvironment environment;
    ScriptedDialogs dialogs;
    // Typed by a person, without the quotes the file format wants around ";"
    // (a comment) and "," (a list).
    writeRaw(environment.settingsFile(), "[Pellamont]\n"
                                         "List1=Mowing;Edging;Pruning;\n"
                                         "Text1_0 = Bob Lawn; Garden & Co\n"
                                         "Text1_1=Smith, Jones and Sons\n"
                                         "Text1_2=\"quoted; as written\"\n"
                                         "Text1_3=plain\n");
    const QList<QPair<const char*, QString>> expected = {
        {"List1", QStringLiteral("Mowing;Edging;Pruning;")},
        {"Text1_0", QStringLiteral("Bob Lawn; Garden & Co")},
        {"Text1_1", QStringLiteral("Smith, Jones and Sons")},
        {"Text1_2", QStringLiteral("quoted; as written")},
        {"Text1_3", QStringLiteral("plain")},
    };
    for (const auto& [key, value] : expected)
        QCOMPARE(ReadSetting(QLatin1String(key)), value);
    // Writing another value rewrites the file; the typed values survive it,
    // also for the next run.
    WriteSetting(QStringLiteral("Text1_4"), QStringLiteral("new"));
    SettingsStore::useFileForTesting(environment.settingsFile());
    for (const auto& [key, value] : expected)
        QCOMPARE(ReadSetting(QLatin1String(key)), value);
    QCOMPARE(ReadSetting(QStringLiteral("Text1_4")), QStringLiteral("new"));
    QVERIFY(dialogs.shown().isEmpty());
}

void TestSettings::open_soundFile_isLeftAlone_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("plain") << QByteArray("[Pellamont]\nText1_0=Acme\nList1=A;B;\n");
    QTest::newRow("comments and blank lines")
        << QByteArray("; kept by hand\n\n[Pellamont]\n\nText1_0=Acme\n");
    QTest::newRow("windows line ends") << QByteArray("[Pellamont]\r\nText1_0=Acme\r\n");
    QTest::newRow("utf-8 value") << QByteArray("[Pellamont]\nText1_0=Ça \xe8\x8d\x89\n");
}

void TestSettings::open_soundFile_isLeftAlone()
{
    QFETCH(QByteArray, contents);
    TestEnvironment environment;
    ScriptedDialogs dialogs;
    writeRaw(environment.settingsFile(), contents);
    ReadSetting(QStringLiteral("Text1_0"));
    WriteSetting(QStringLiteral("Text1_1"), QStringLiteral("Boise"));
    QVERIFY(dialogs.shown().isEmpty());
    QVERIFY(SettingsStore::damagedCopyPath().isEmpty());
    QCOMPARE(filesBeside(environment.settingsFile()), QStringList{QStringLiteral("Corvanti.conf")});
}

void TestSettings::open_damagedFile_keptAsideBeforeOverwrite_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("readable");
    QTest::newRow("nul bytes") << QByteArray("[Pellamont]\nText1_0=Acme\n\0\0\0\0", 29)
                               << QStringLiteral("Acme");
    QTest::newRow("not utf-8") << QByteArray("[Pellamont]\nText1_0=Acme\nText1_1=\xff\xfe\n")
                               << QStringLiteral("Acme");
    QTest::newRow("unclosed section")
        << QByteArray("[Pellamont\nText1_0=Acme\n") << QStringLiteral("Acme");
    QTest::newRow("hash comment, unknown to the reader")
        << QByteArray("# note\n[Pellamont]\nText1_0=Acme\n") << QStringLiteral("Acme");
    QTest::newRow("line without value")
        << QByteArray("[Pellamont]\nText1_0=Acme\nhalf a line\n") << QStringLiteral("Acme");
}

void TestSettings::open_damagedFile_keptAsideBeforeOverwrite()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, readable);
    TestEnvironment environment;
    ScriptedDialogs dialogs;
    writeRaw(environment.settingsFile(), contents);
    QCOMPARE(ReadSetting(QStringLiteral("Text1_0")), readable);
    WriteSetting(QStringLiteral("Text1_2"), QStringLiteral("Owner"));
    WriteSetting(QStringLiteral("Text1_3"), QStringLiteral("555"));

    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().first().title, QStringLiteral("Pellamont"));
    const QString copy = SettingsStore::damagedCopyPath();
    QVERIFY(dialogs.shown().first().text.contains(copy));
    QFile kept(copy);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), contents);
    QCOMPARE(ReadSetting(QStringLiteral("Text1_3")), QStringLiteral("555"));
    QVERIFY(environment.settingsText().contains("Text1_3=555"));
}

void TestSettings::shortenedTitle_cutsLastWordsDownToForty_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("title");
    QTest::newRow("one word stays") << "Pellamont"
                                    << "Pellamont";
    QTest::newRow("30 characters lose one word") << "Flyer Maker for Small Business"
                                                 << "Flyer Maker for Small";
    QTest::newRow("over 40 lose words until 40 or less")
        << "Tear Off Flyer Maker for Small Landscaping Businesses Deluxe"
        << "Tear Off Flyer Maker for Small";
    QTest::newRow("exactly 40 after one cut")
        << "Tear Off Flyer Maker for Small Landscape Businesses"
        << "Tear Off Flyer Maker for Small Landscape";
}

void TestSettings::shortenedTitle_cutsLastWordsDownToForty()
{
    QFETCH(QString, name);
    QFETCH(QString, title);
    QCOMPARE(shortenedTitle(name), title);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
