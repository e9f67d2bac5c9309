// The flyer as a PDF and on paper, through the real office and the system's
// print service (CUPS, with a PDF printer standing in for paper): what arrives
// is one Letter page holding the user's data, with its fonts embedded.

#include "base/appinfo.h"
#include "base/shutdown.h"
#include "findchild.h"
#include "generate/word.h"
#include "mainwindow/form1.h"
#include "office/officeengine.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "pdffacts.h"
#include "preview/form2.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

#include <pwd.h>
#include <unistd.h>

namespace {

int runTool(const QString& program, const QStringList& arguments, QString* output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000))
        return -1;
    if (output)
        *output = QString::fromLocal8Bit(process.readAllStandardOutput());
    return process.exitCode();
}

// Where the PDF printer puts what it prints for this user.
QString printedFolder()
{
    QFile config(QStringLiteral("/etc/cups/cups-pdf.conf"));
    QString out = QStringLiteral("${HOME}/PDF");
    if (config.open(QIODevice::ReadOnly)) {
        const auto match = QRegularExpression(QStringLiteral("^Out\\s+(\\S+)"),
                                              QRegularExpression::MultilineOption)
                               .match(QString::fromUtf8(config.readAll()));
        if (match.hasMatch())
            out = match.captured(1);
    }
    const passwd* user = ::getpwuid(::geteuid());
    out.replace(QStringLiteral("${HOME}"), QString::fromLocal8Bit(user ? user->pw_dir : ""));
    out.replace(QStringLiteral("${USER}"), QString::fromLocal8Bit(user ? user->pw_name : ""));
    return out;
}

// The text as one line of words, as the page is read whatever its layout.
QString words(const QString& text)
{
    return text.simplified();
}

} // namespace

class TestOfficeOutput : public OfficeFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void savePdf_sampleFlyer_oneLetterPageWithTheFieldsAndEmbeddedFonts();
    void print_toPdfPrinter_oneLetterPageNamedAfterTheBusiness();
    void about_namesTheOfficeAndItsVersion();

private:
    // The sample flyer, generated and shown in the preview.
    Form2* sampleFlyer(Form1& form);

    // What the printer at `folder` wrote since `before` (its listing then):
    // one whole PDF, whose path is kept for the clean-up.
    QString waitForPrinted(const QString& folder, const QStringList& before);

    QString m_queue;
    QString m_plainQueue;
    QStringList m_printed;
};

void TestOfficeOutput::init()
{
    Shutdown::resetForTesting();
    Shutdown::setHandlerForTesting([](int) {});
}

void TestOfficeOutput::cleanup()
{
    // No queue and nothing it printed outlives the test.
    for (const QString& queue : {m_queue, m_plainQueue})
        if (!queue.isEmpty())
            runTool(QStringLiteral("lpadmin"), {QStringLiteral("-x"), queue});
    m_queue.clear();
    m_plainQueue.clear();
    for (const QString& path : std::as_const(m_printed))
        QFile::remove(path);
    m_printed.clear();
    Shutdown::resetForTesting();
}

QString TestOfficeOutput::waitForPrinted(const QString& folder, const QStringList& before)
{
    QStringList arrived;
    (void)QTest::qWaitFor(
        [&] {
            arrived = QDir(folder).entryList(QDir::Files);
            for (const QString& name : before)
                arrived.removeAll(name);
            return !arrived.isEmpty();
        },
        60000);
    for (const QString& name : arrived)
        m_printed << folder + QLatin1Char('/') + name;
    if (arrived.size() != 1) {
        QTest::qFail(qPrintable(QStringLiteral("%1 files printed").arg(arrived.size())), __FILE__,
                     __LINE__);
        return QString();
    }
    // The printer writes the file as the job goes; it is whole once it reads.
    const QString path = m_printed.last();
    (void)QTest::qWaitFor(
        [&] {
            QString info;
            return runTool(QStringLiteral("pdfinfo"), {path}, &info) == 0;
        },
        30000);
    return path;
}

Form2* TestOfficeOutput::sampleFlyer(Form1& form)
{
    form.PushButton4_Click();
    form.Text1(12)->setText(QStringLiteral("tobin@corvanti.example"));
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("PushButton6")), Qt::LeftButton);
    Form2* preview = form.previewWindow();
    if (preview)
        (void)QTest::qWaitFor([&] { return preview->isVisible(); }, 60000);
    return preview;
}

void TestOfficeOutput::savePdf_sampleFlyer_oneLetterPageWithTheFieldsAndEmbeddedFonts()
{
    ScriptedDialogs dialogs;
    Form1 form;
    Form2* preview = sampleFlyer(form);
    QVERIFY(preview && preview->isVisible());
    const QByteArray document = [&] {
        QFile file(preview->wordFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();

    const QString target = m_environment->root() + QStringLiteral("/Corvanti flyer.pdf");
    dialogs.answerSaveFiles({target});
    dialogs.answerQuestions({Dialogs::Answer::No});
    QElapsedTimer clock;
    clock.start();
    child<QAction>(preview, "SavePdfAction")->trigger();
    qInfo("PDF export and save: %lld ms", clock.elapsed());
    QCOMPARE(dialogs.errors(), QStringList());
    // The business's name is offered; "Done." comes with the offer to open it.
    QCOMPARE(dialogs.shown().first().text, QStringLiteral("Corvanti flyer.pdf"));
    QVERIFY(dialogs.shown().last().text.startsWith(QStringLiteral("Done.")));

    const PdfFacts pdf = readPdf(target);
    QCOMPARE(pdf.pages, 1);
    QVERIFY2(pdf.pageSize.startsWith(QStringLiteral("612 x 792 pts")), qPrintable(pdf.pageSize));
    QVERIFY(!pdf.fonts.isEmpty());
    QVERIFY2(pdf.allFontsEmbedded, qPrintable(pdf.fonts.join(QLatin1Char(' '))));
    const QString text = words(pdf.text);
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        QVERIFY2(text.contains(form.Text1(i)->text()), qPrintable(form.Text1(i)->text()));
    QVERIFY(text.contains(QStringLiteral("Sod Replacements/Removals")));
    QVERIFY(!text.contains(QLatin1Char('[')));
    // The document shown is as it was, and can be saved again.
    QFile file(preview->wordFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), document);
    preview->close();
}

void TestOfficeOutput::print_toPdfPrinter_oneLetterPageNamedAfterTheBusiness()
{
    QString state;
    if (runTool(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &state) != 0 ||
        !state.contains(QStringLiteral("is running")))
        QSKIP("The print service is not running (tools/run-tests.sh starts it)");
    m_queue = QStringLiteral("pellamont-test-%1").arg(QCoreApplication::applicationPid());
    if (runTool(QStringLiteral("lpadmin"),
                {QStringLiteral("-p"), m_queue, QStringLiteral("-E"), QStringLiteral("-v"),
                 QStringLiteral("cups-pdf:/"), QStringLiteral("-P"),
                 QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd"),
                 // This way to PostScript keeps the text readable in
                 // the printed PDF, so the test can read it back.
                 QStringLiteral("-o"), QStringLiteral("pdftops-renderer-default=pdftocairo")}) !=
        0) {
        m_queue.clear();
        QSKIP("Adding a printer needs the right to manage printers (root or group lpadmin)");
    }
    // A printer as set up by hand turns a page holding any transparency into
    // one bitmap, text and all; its PDF reads back no text, but shows the fonts.
    m_plainQueue = m_queue + QStringLiteral("-plain");
    QCOMPARE(runTool(QStringLiteral("lpadmin"),
                     {QStringLiteral("-p"), m_plainQueue, QStringLiteral("-E"),
                      QStringLiteral("-v"), QStringLiteral("cups-pdf:/"), QStringLiteral("-P"),
                      QStringLiteral("/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd")}),
             0);
    const QString folder = printedFolder();
    const QStringList before = QDir(folder).entryList(QDir::Files);

    ScriptedDialogs dialogs;
    Form1 form;
    Form2* preview = sampleFlyer(form);
    QVERIFY(preview && preview->isVisible());

    // Cancel prints nothing; a printer gone since the dialog is named.
    dialogs.answerPrints({std::nullopt, Dialogs::PrintChoice{m_queue + QStringLiteral("-gone"), 1},
                          Dialogs::PrintChoice{m_queue, 1}});
    child<QAction>(preview, "PrintAction")->trigger();
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().first().text, QStringLiteral("Corvanti"));
    child<QAction>(preview, "PrintAction")->trigger();
    QCOMPARE(dialogs.errors().size(), 1);
    QVERIFY2(dialogs.errors().first().contains(m_queue + QStringLiteral("-gone")),
             qPrintable(dialogs.errors().first()));
    QVERIFY(dialogs.messages().isEmpty());

    QElapsedTimer clock;
    clock.start();
    child<QAction>(preview, "PrintAction")->trigger();
    qInfo("PDF export and print job: %lld ms", clock.elapsed());
    QCOMPARE(dialogs.errors().size(), 1);
    QCOMPARE(dialogs.messages(),
             QStringList{QStringLiteral("The flyer was sent to the printer %1.").arg(m_queue)});
    const QString printed = waitForPrinted(folder, before);
    QVERIFY2(QFileInfo(printed).fileName().startsWith(QStringLiteral("Corvanti")),
             qPrintable(printed));
    const PdfFacts pdf = readPdf(printed);
    QCOMPARE(pdf.pages, 1);
    QVERIFY2(pdf.pageSize.startsWith(QStringLiteral("612 x 792 pts")), qPrintable(pdf.pageSize));
    QVERIFY(words(pdf.text).contains(QStringLiteral("Corvanti")));
    QVERIFY(words(pdf.text).contains(QStringLiteral("Tobin Marsh")));
    QVERIFY2(pdf.fonts.size() >= 2, qPrintable(pdf.fonts.join(QLatin1Char(' '))));

    const QStringList beforePlain = QDir(folder).entryList(QDir::Files);
    dialogs.answerPrints({Dialogs::PrintChoice{m_plainQueue, 1}});
    child<QAction>(preview, "PrintAction")->trigger();
    const PdfFacts plain = readPdf(waitForPrinted(folder, beforePlain));
    QCOMPARE(plain.pages, 1);
    QVERIFY2(plain.fonts.size() >= 2, qPrintable(plain.fonts.join(QLatin1Char(' '))));
    preview->close();
}

void TestOfficeOutput::about_namesTheOfficeAndItsVersion()
{
    ScriptedDialogs dialogs;
    Form1 form;
    child<QAction>(&form, "AboutAction")->trigger();
    QCOMPARE(dialogs.messages().size(), 1);
    const QString about = dialogs.messages().first();
    QVERIFY2(about.contains(QRegularExpression(
                 QStringLiteral("Document engine: LibreOffice \\d+\\.\\d+\\.\\d+"))),
             qPrintable(about));
}

QTEST_MAIN(TestOfficeOutput)
#include "tst_office_output.moc"
