// The batch tool's input, names and command line, without the office: rows
// read from CSV and JSON, the problems named by file and line or index, the
// file names made from business names, and the exit statuses.

#include "base/failure.h"
#include "base/flyerjson.h"
#include "batch/batchinput.h"
#include "batch/batchnames.h"
#include "batch/flyeroptions.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestBatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void input_rowsAndProblems_data();
    void input_rowsAndProblems();
    void json_roundTripKeepsEveryKey();
    void names_safeAndNumbered_data();
    void names_safeAndNumbered();
    void command_exitStatusAndMessage_data();
    void command_exitStatusAndMessage();
};

namespace {
using Result = BatchInput::Result;

// Where each row read came from, and its business name.
QStringList rowNames(const Result& result)
{
    QStringList names;
    for (const BatchInput::Row& row : result.rows)
        names << row.where + QLatin1Char('=') + row.record.fields.at(0);
    return names;
}

} // namespace

void TestBatch::input_rowsAndProblems_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("problems");
    const QByteArray header = "business_name,city,services\n";
    QTest::newRow("plain, CRLF and a blank line")
        << u"f.csv"_s << header + "Acme,Boise,Mowing\r\n\r\nBolt,Nampa,\r\n"
        << QStringList{u"f.csv:2=Acme"_s, u"f.csv:4=Bolt"_s} << QStringList{};
    QTest::newRow("quoted comma, quote and line break")
        << u"f.csv"_s << header + "\"Acme, \"\"Inc\"\"\",\"Boise\nEast\",x\nBolt,Nampa,y\n"
        << QStringList{u"f.csv:2=Acme, \"Inc\""_s, u"f.csv:4=Bolt"_s} << QStringList{};
    QTest::newRow("byte order mark, columns in any order")
        << u"f.csv"_s << QByteArray("\xEF\xBB\xBFzip,business_name\n83702,Acme\n")
        << QStringList{u"f.csv:2=Acme"_s} << QStringList{};
    QTest::newRow("too many and too few cells")
        << u"f.csv"_s << header + "Acme,Boise,x,y\nBolt\nCrag,Eagle,z\n"
        << QStringList{u"f.csv:4=Crag"_s}
        << QStringList{u"f.csv:2: the row has 4 cells, but the header names 3"_s,
                       u"f.csv:3: the row has 1 cells"_s};
    QTest::newRow("text after a closing quote")
        << u"f.csv"_s << header + "\"Acme\"x,Boise,\nBolt,Nampa,\n"
        << QStringList{u"f.csv:3=Bolt"_s}
        << QStringList{u"f.csv:2: text follows the closing quote of cell 1"_s};
    QTest::newRow("quote never closed")
        << u"f.csv"_s << header + "Acme,Boise,\n\"Bolt,Nampa,\nCrag,Eagle,\n"
        << QStringList{u"f.csv:2=Acme"_s} << QStringList{u"f.csv:3: the quote that opens cell 1"_s};
    QTest::newRow("invalid UTF-8")
        << u"f.csv"_s << header + "Ac\xFFme,Boise,\nBolt,Nampa,\n"
        << QStringList{u"f.csv:3=Bolt"_s}
        << QStringList{u"f.csv:2: the cell \"business_name\" is not UTF-8"_s};
    QTest::newRow("unknown columns")
        << u"f.csv"_s << QByteArray("business_name,colour,size\nAcme,red,9\n") << QStringList{}
        << QStringList{u"f.csv:1: unknown columns \"colour\", \"size\""_s};
    QTest::newRow("empty file") << u"f.csv"_s << QByteArray() << QStringList{}
                                << QStringList{u"f.csv: the file is empty"_s};
    QTest::newRow("one object") << u"f.json"_s
                                << QByteArray(R"({"business_name": "Acme", "services": ["a"]})")
                                << QStringList{u"f.json=Acme"_s} << QStringList{};
    QTest::newRow("array, bad items named by index")
        << u"f.json"_s
        << QByteArray(R"([{"business_name": "Acme"}, 7, {"zip": 83702}, {"services": "a;b"},
                         {"scheduled_services": ["a", 1]}, {"business_name": null}])")
        << QStringList{u"f.json[0]=Acme"_s, u"f.json[5]="_s}
        << QStringList{u"f.json[1]: a flyer must be an object"_s,
                       u"f.json[2]: \"zip\" must be text"_s,
                       u"f.json[3]: \"services\" must be a list"_s,
                       u"f.json[4]: Item 2 of \"scheduled_services\" must be text"_s};
    QTest::newRow("unknown key") << u"f.json"_s
                                 << QByteArray(R"({"business_name": "Acme", "colour": "red"})")
                                 << QStringList{}
                                 << QStringList{u"f.json: Unknown key \"colour\""_s};
    QTest::newRow("not JSON") << u"f.json"_s << QByteArray("{\"business_name\": ") << QStringList{}
                              << QStringList{u"f.json: not valid JSON at character"_s};
}

// The rows read are named by file and line (CSV) or index (JSON).
void TestBatch::input_rowsAndProblems()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, problems);
    const Result result = file.endsWith(QStringLiteral(".json"))
                              ? BatchInput::parseJson(bytes, file)
                              : BatchInput::parseCsv(bytes, file);
    QCOMPARE(rowNames(result), rows);
    QCOMPARE(result.problems.size(), problems.size());
    for (qsizetype i = 0; i < problems.size(); ++i) {
        const QString problem =
            result.problems.at(i).where + QStringLiteral(": ") + result.problems.at(i).reason;
        QVERIFY2(problem.startsWith(problems.at(i)), qPrintable(problem));
    }
}

void TestBatch::json_roundTripKeepsEveryKey()
{
    FlyerRecord record;
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        record.fields.at(std::size_t(i)) = FlyerFields::token(i) + QStringLiteral(" \"é\"");
    record.services = {QStringLiteral("Mowing; edging"), QString()};
    record.scheduledServices = {QStringLiteral("Weekly")};
    const QJsonObject object = flyerDataToJson(record);
    QCOMPARE(QStringList(object.keys()).size(), flyerDataKeys().size());
    QCOMPARE(object.value(QStringLiteral("business_name")).toString(),
             QStringLiteral("[BusinessName] \"é\""));
    QCOMPARE(object.value(QStringLiteral("tab_email")).toString(),
             QStringLiteral("[Email2] \"é\""));
    QCOMPARE(flyerDataFromJson(object), record);

    const TestEnvironment environment;
    const QString path = environment.root() + QStringLiteral("/flyer.json");
    writeFlyerDataFile(path, record);
    QCOMPARE(readFlyerDataFile(path), record);
    QVERIFY_THROWS_EXCEPTION(Failure, writeFlyerDataFile(environment.root(), record));

    // The window's options reach each worker whole.
    FlyerOptions options;
    options.picture = path;
    options.style = FlyerStyle::Style::Mono;
    options.tearOffCode = QStringLiteral("tel:+13675550100");
    const FlyerOptions carried = FlyerOptions::fromJson(options.toJson());
    QCOMPARE(carried.picture, options.picture);
    QCOMPARE(carried.style, options.style);
    QCOMPARE(carried.tearOffCode, options.tearOffCode);
}

void TestBatch::names_safeAndNumbered_data()
{
    QTest::addColumn<QStringList>("businesses");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("plain") << QStringList{u"Acme Lawn"_s, u"Bolt"_s}
                           << QStringList{u"Acme Lawn"_s, u"Bolt"_s};
    QTest::newRow("refused characters and blanks")
        << QStringList{u"A/B: C*?"_s, u"  x \t\n y  "_s, u"..hidden."_s, u"a|b<c>\"d\\"_s}
        << QStringList{u"A_B_ C__"_s, u"x y"_s, u"hidden"_s, u"a_b_c__d_"_s};
    QTest::newRow("nothing left") << QStringList{u""_s, u" / "_s, u"..."_s}
                                  << QStringList{u"Flyer"_s, u"_"_s, u"Flyer (2)"_s};
    QTest::newRow("same names, letter case ignored")
        << QStringList{u"Acme"_s, u"ACME"_s, u"Acme (2)"_s, u"acme"_s}
        << QStringList{u"Acme"_s, u"ACME (2)"_s, u"Acme (2) (2)"_s, u"acme (3)"_s};
    QTest::newRow("long name cut") << QStringList{QString(300, QLatin1Char('x'))}
                                   << QStringList{QString(120, QLatin1Char('x'))};
}

void TestBatch::names_safeAndNumbered()
{
    QFETCH(QStringList, businesses);
    QFETCH(QStringList, names);
    QCOMPARE(BatchNames::fileNames(businesses), names);
}

void TestBatch::command_exitStatusAndMessage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("help") << QStringList{u"-h"_s} << 0 << QString();
    QTest::newRow("nothing to make") << QStringList{u"in.csv"_s} << 2 << u"--pdf, --doc or both"_s;
    QTest::newRow("no input") << QStringList{u"--pdf"_s} << 2 << u"at least one CSV or JSON file"_s;
    QTest::newRow("unknown option")
        << QStringList{u"--pdf"_s, u"--colour"_s, u"in.csv"_s} << 2 << u"Unknown option 'colour'"_s;
    QTest::newRow("bad jobs") << QStringList{u"--pdf"_s, u"--jobs"_s, u"0"_s, u"in.csv"_s} << 2
                              << u"--jobs takes a number from 1 to 16"_s;
    QTest::newRow("bad picture") << QStringList{u"--pdf"_s, u"--picture"_s, u"in.csv"_s,
                                                u"in.csv"_s}
                                 << 2 << u"--picture: "_s;
    QTest::newRow("out is a file") << QStringList{u"--pdf"_s, u"--out"_s, u"in.csv"_s, u"in.csv"_s}
                                   << 1 << u"no flyer was made"_s;
    QTest::newRow("missing and bad files")
        << QStringList{u"--pdf"_s, u"none.csv"_s, u"bad.json"_s} << 1
        << u"none.csv: cannot be read: No such file or "_s
           "directory\nbad.json: the file holds no flyers";
}

void TestBatch::command_exitStatusAndMessage()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    const TestEnvironment environment;
    const QString work = environment.root() + QStringLiteral("/work");
    QVERIFY(QDir().mkpath(work));
    QFile csv(work + QStringLiteral("/in.csv"));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("business_name\n");
    csv.close();
    QFile json(work + QStringLiteral("/bad.json"));
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write("[]");
    json.close();
    QProcess program;
    // No display: the tool must not need one.
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    variables.remove(QStringLiteral("QT_QPA_PLATFORM"));
    variables.remove(QStringLiteral("DISPLAY"));
    variables.remove(QStringLiteral("WAYLAND_DISPLAY"));
    program.setProcessEnvironment(variables);
    program.setWorkingDirectory(work);
    program.start(QStringLiteral(PELLAMONT_BATCH), arguments);
    QVERIFY(program.waitForFinished(60000));
    const QString errors = QString::fromUtf8(program.readAllStandardError());
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QVERIFY2(errors.contains(message), qPrintable(errors));
    QCOMPARE(program.exitCode(), status);
    if (status == 0)
        QVERIFY(program.readAllStandardOutput().contains("business_name, tag_line"));
    // Nothing was left in the output folder.
    QCOMPARE(QDir(work).entryList(QDir::Files | QDir::Hidden),
             (QStringList{u"bad.json"_s, u"in.csv"_s}));
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
