#include "base/appinfo.h"
#include "base/mainmodule.h"
#include "base/savefolder.h"
#include "base/settings.h"
#include "base/shutdown.h"
#include "fakeword.h"
#include "gui/systemdialogs.h"
#include "pdffacts.h"
#include "preview/form2.h"
#include "preview/picturebox.h"
#include "preview/printqueue.h"
#include "previewtesting.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>

#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// What Save as PDF says once the file is there, offering to show it.
QString savedAndOpen(const QString& path)
{
    return QStringLiteral("Done. The flyer is saved as %1.\n\nOpen it now?").arg(path);
}

} // namespace

// What the preview's commands do: Back, closing, the pointer, saving as a
// Word file or a PDF, the menus and the fit notice.
class TestPreviewActions : public QObject, private PreviewFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void fitNotice_toldOnceAfterShowing_controlsStayInPlace();
    void fitNotice_box_leavesPreviewFreeToClose();
    void back_deletesDocument_andNextPictureStartsAfresh();
    void close_deletesDocument_storesLists_andEndsProgram();
    void pointer_followsButtonsFrameAndBackground();
    void startUp_unreadableCursor_reportedAsInMainWindow();
    void save_toNewPath_copiesByteForByte_data();
    void save_toNewPath_copiesByteForByte();
    void save_overExistingFile_asksAndObeys();
    void save_cancelled_writesNothing();
    void save_failingCopy_keepsOldFile_andSaysWhy_data();
    void save_failingCopy_keepsOldFile_andSaysWhy();
    void menus_shortcutsAndWheelRunTheButtonsHandlers();
    void savePdf_officesPdf_extensionAdded_replacedOnlyOnYes();
    void savePdf_failure_saysWhy_andKeepsEveryFile_data();
    void savePdf_failure_saysWhy_andKeepsEveryFile();
    void printJobName_plainWithinTheProtocolLimit_data();
    void printJobName_plainWithinTheProtocolLimit();
    void saveDialogs_openWhereLastSaved_pdfNamedAfterBusiness();
};

void TestPreviewActions::fitNotice_toldOnceAfterShowing_controlsStayInPlace()
{
    const QString notice = QStringLiteral("The e-mail on the tear-off tabs does not fit.");
    m_form->setFitNotice(notice);
    present(makePage(612, 792, Qt::blue));
    QCOMPARE(m_dialogs->messages(), QStringList{});
    QTRY_COMPARE(m_dialogs->messages(), QStringList{notice});
    QCOMPARE(client()->size(), QSize(656, 626));
    QCOMPARE(m_form->findChild<QWidget*>(QStringLiteral("Picture2"))->geometry(),
             QRect(8, 8, 622, 495));

    // Back and shown again without a new notice: nothing more.
    click("PushButton8");
    present(makePage(612, 792, Qt::blue));
    QTest::qWait(20);
    QCOMPARE(m_dialogs->messages().size(), 1);
}

void TestPreviewActions::fitNotice_box_leavesPreviewFreeToClose()
{
    // The real box. A modal one blocks the preview, and the window system's
    // close request for a blocked window is dropped: the watch records and
    // ends any modal box instead of letting it wait for a person.
    m_dialogs.reset();
    SystemDialogs system;
    Dialogs::install(&system);
    const auto uninstall = qScopeGuard([] { Dialogs::install(nullptr); });
    bool modal = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            modal = true;
            box->close();
        }
    });
    watch.start(5);
    m_form->setFitNotice(QStringLiteral("The e-mail on the tear-off tabs does not fit."));
    present(makePage(612, 792, Qt::blue));
    QTRY_VERIFY(m_form->findChild<QMessageBox*>() || modal);
    QVERIFY(!modal);
    QVERIFY(m_form->findChild<QMessageBox*>()->isVisible());

    // Closing the preview with the box up ends the program; the box goes too.
    QVERIFY(m_form->close());
    QVERIFY(Shutdown::requested());
    QTRY_VERIFY(!m_form->findChild<QMessageBox*>());
}

void TestPreviewActions::back_deletesDocument_andNextPictureStartsAfresh()
{
    present(makePage(612, 792, Qt::blue));
    click("PushButton2");
    bar("VScroll1")->setValue(40);
    QVERIFY(QFile::exists(m_document));

    click("PushButton8");
    QVERIFY(!QFile::exists(m_document));
    QVERIFY(m_main->isVisible());
    QVERIFY(!m_form->isVisible());
    QVERIFY(m_dialogs->shown().isEmpty());
    // The window system may deliver an activation after the window is hidden
    // (a quick Back); it must not set up the old page in place of the next.
    QEvent lateActivation(QEvent::WindowActivate);
    QApplication::sendEvent(m_form.get(), &lateActivation);

    const QImage second = makePage(300, 400, Qt::red);
    present(second);
    QCOMPARE(m_form->zoom(), 1.0f);
    QCOMPARE(m_form->baseSize(), QSize(4498, 5998));
    QCOMPARE(surface()->pos(), QPoint(0, 0));
    QCOMPARE(bar("VScroll1")->value(), 0);
    QCOMPARE(surface()->drawing(), second);
    // Zooming draws the new page, not the first one.
    click("PushButton1");
    QCOMPARE(m_form->zoomedSize(), QSize(5622, 7497));
    QCOMPARE(surface()->drawing().pixelColor(200, 5), QColor(Qt::red));

    // A document that is already gone is no failure.
    QFile::remove(m_document);
    click("PushButton8");
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestPreviewActions::close_deletesDocument_storesLists_andEndsProgram()
{
    present(makePage(612, 792, Qt::blue));
    QVERIFY(!Shutdown::requested());
    QVERIFY(m_form->close());
    QVERIFY(!QFile::exists(m_document));
    QCOMPARE(m_storedLists, 1);
    QVERIFY(Shutdown::requested());
    QCOMPARE(Shutdown::exitCode(), 0);
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestPreviewActions::pointer_followsButtonsFrameAndBackground()
{
    present(makePage(612, 792, Qt::blue));
    QVERIFY(!m_form->pointer().hasCustomCursor()); // no HAND-M.CUR beside the program
    auto* frame = m_form->findChild<QWidget*>(QStringLiteral("Frame1"));
    for (const char* name : {"PushButton1", "PushButton2", "PushButton6", "PushButton8"}) {
        sendMouse(frame, QEvent::MouseMove, QPoint(2, 50), Qt::NoButton);
        QCOMPARE(m_form->pointerSetting(), WindowPointer::Default);
        sendMouse(button(name), QEvent::MouseMove, QPoint(5, 5), Qt::NoButton);
        QCOMPARE(m_form->pointerSetting(), WindowPointer::Custom);
    }
    // Over the page or the viewport nothing changes.
    sendMouse(surface(), QEvent::MouseMove, QPoint(5, 5), Qt::NoButton);
    QCOMPARE(m_form->pointerSetting(), WindowPointer::Custom);
    sendMouse(client(), QEvent::MouseMove, QPoint(3, 3), Qt::NoButton);
    QCOMPARE(m_form->pointerSetting(), WindowPointer::Default);

    // The hourglass stays over everything, until a redraw.
    m_form->pointer().set(WindowPointer::Hourglass);
    sendMouse(button("PushButton1"), QEvent::MouseMove, QPoint(5, 5), Qt::NoButton);
    sendMouse(frame, QEvent::MouseMove, QPoint(2, 50), Qt::NoButton);
    sendMouse(client(), QEvent::MouseMove, QPoint(3, 3), Qt::NoButton);
    QCOMPARE(m_form->pointerSetting(), WindowPointer::Hourglass);
    m_form->RedrawImage();
    QCOMPARE(m_form->pointerSetting(), WindowPointer::Default);
}

void TestPreviewActions::startUp_unreadableCursor_reportedAsInMainWindow()
{
    const QString cursorFile = m_environment->programFolder() + QStringLiteral("/HAND-M.CUR");
    writeFile(cursorFile, "not a cursor");
    Form2 form;
    QCOMPARE(m_dialogs->errors().size(), 1);
    const QString report = m_dialogs->errors().first();
    QVERIFY2(report.startsWith(
                 QStringLiteral("The cursor file %1 cannot be read as a cursor.").arg(cursorFile)),
             qPrintable(report));
    QVERIFY(
        report.contains(QStringLiteral("\r\nin Pellamont2021/08/31.Form2.Form_Load at line 110")));
    // The window is built all the same, with the standard hand.
    QVERIFY(!form.pointer().hasCustomCursor());
    QVERIFY(form.findChild<QPushButton*>(QStringLiteral("PushButton6")));
}

void TestPreviewActions::save_toNewPath_copiesByteForByte_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << QStringLiteral("flyer.doc");
    QTest::newRow("spaces and Unicode") << QStringLiteral("Flyer für Müller & Söhne – 2.doc");
    QTest::newRow("no extension is added") << QStringLiteral("flyer");
    // The longest names the file system takes: 255 bytes, in ASCII and in UTF-8.
    QTest::newRow("255 bytes") << QString(251, QLatin1Char('f')) + QStringLiteral(".doc");
    QTest::newRow("255 bytes of UTF-8")
        << QString(125, QChar(0x00FC)) + QStringLiteral("f.doc"); // 250 + 5 bytes
}

void TestPreviewActions::save_toNewPath_copiesByteForByte()
{
    QFETCH(QString, name);
    present(makePage(612, 792, Qt::blue));
    const QString folder = m_environment->root() + QStringLiteral("/my files");
    QVERIFY(QDir().mkpath(folder));
    const QString target = folder + QLatin1Char('/') + name;
    m_dialogs->answerSaveFiles({target});
    click("PushButton6");

    QCOMPARE(readFile(target), documentBytes());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{name});
    QCOMPARE(m_dialogs->shown().size(), 2);
    QCOMPARE(m_dialogs->shown()[0].kind, ScriptedDialogs::Shown::SaveFile);
    QCOMPARE(m_dialogs->shown()[0].title, QStringLiteral("Save File"));
    QCOMPARE(m_dialogs->lastFilter(), QStringLiteral("Word Files (*.doc)|*.doc"));
    QCOMPARE(m_dialogs->shown()[1].kind, ScriptedDialogs::Shown::Message);
    QCOMPARE(m_dialogs->shown()[1].title, applicationTitle());
    QCOMPARE(m_dialogs->shown()[1].text, QStringLiteral("Done."));
    // The document stays, to be saved again.
    QVERIFY(QFile::exists(m_document));
}

void TestPreviewActions::save_overExistingFile_asksAndObeys()
{
    present(makePage(612, 792, Qt::blue));
    const QString target = m_environment->root() + QStringLiteral("/old flyer.doc");
    const QString question =
        QStringLiteral("Are you sure you wish to overwrite ") + target + QStringLiteral(" ?");
    {
        writeFile(target, "the old one");
        m_dialogs->answerSaveFiles({target});
        m_dialogs->answerQuestions({Dialogs::Answer::No});
        click("PushButton6");
        QCOMPARE(readFile(target), QByteArray("the old one"));
        QCOMPARE(m_dialogs->shown().size(), 3);
        QCOMPARE(m_dialogs->shown()[1].kind, ScriptedDialogs::Shown::Question);
        QCOMPARE(m_dialogs->shown()[1].title, applicationTitle());
        QCOMPARE(m_dialogs->shown()[1].text, question);
        QCOMPARE(m_dialogs->messages(), QStringList{QStringLiteral("Done.")});
    }
    {
        m_dialogs->clear();
        // Group-readable, not world-readable: neither a fresh file's usual mode nor a
        // private temporary file's.
        QVERIFY(
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        m_dialogs->answerSaveFiles({target});
        m_dialogs->answerQuestions({Dialogs::Answer::Yes});
        click("PushButton6");
        QCOMPARE(readFile(target), documentBytes());
        const QFile::Permissions kept = QFile::permissions(target);
        QVERIFY(kept.testFlag(QFile::ReadGroup));
        QVERIFY(!kept.testFlag(QFile::ReadOther));
        QCOMPARE(m_dialogs->shown()[1].text, question);
        QCOMPARE(m_dialogs->messages(), QStringList{QStringLiteral("Done.")});
        QVERIFY(m_dialogs->errors().isEmpty());
    }
}

void TestPreviewActions::save_cancelled_writesNothing()
{
    present(makePage(612, 792, Qt::blue));
    const QStringList before =
        QDir(m_environment->root()).entryList(QDir::AllEntries | QDir::Hidden);
    m_dialogs->answerSaveFiles({QString()});
    click("PushButton6");
    QCOMPARE(QDir(m_environment->root()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(m_dialogs->shown().size(), 2);
    QCOMPARE(m_dialogs->messages(), QStringList{QStringLiteral("Done.")});
}

void TestPreviewActions::save_failingCopy_keepsOldFile_andSaysWhy_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("document vanished") << QStringLiteral("vanished");
    QTest::newRow("target is the document itself") << QStringLiteral("itself");
    QTest::newRow("folder does not exist") << QStringLiteral("nofolder");
    QTest::newRow("read-only folder") << QStringLiteral("readonly");
}

void TestPreviewActions::save_failingCopy_keepsOldFile_andSaysWhy()
{
    QFETCH(QString, failure);
    present(makePage(612, 792, Qt::blue));
    const QString folder = m_environment->root() + QStringLiteral("/out");
    QVERIFY(QDir().mkpath(folder));
    QString target = folder + QStringLiteral("/flyer.doc");
    QString reason;
    bool exists = true;
    if (failure == QLatin1String("vanished")) {
        writeFile(target, "the old one");
        QVERIFY(QFile::remove(m_document));
        reason = QStringLiteral("no longer exists");
    } else if (failure == QLatin1String("itself")) {
        target = m_document;
        reason = QStringLiteral("cannot be saved over itself");
    } else if (failure == QLatin1String("nofolder")) {
        target = folder + QStringLiteral("/missing/flyer.doc");
        exists = false;
        reason = QStringLiteral("Cannot write to the folder");
    } else {
        if (::geteuid() == 0)
            QSKIP("Folder permissions do not bind the superuser");
        writeFile(target, "the old one");
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        reason = QStringLiteral("Cannot write to the folder");
    }
    const QByteArray before = readFile(target);
    m_dialogs->answerSaveFiles({target});
    if (exists)
        m_dialogs->answerQuestions({Dialogs::Answer::Yes});
    click("PushButton6");
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QCOMPARE(readFile(target), before);
    QCOMPARE(QFile::exists(target), exists);
    QCOMPARE(m_dialogs->errors().size(), 1);
    const QString report = m_dialogs->errors().first();
    QVERIFY2(report.contains(reason), qPrintable(report));
    QVERIFY(report.contains(QStringLiteral("Form2.PushButton6_Click at line 130")));
    QVERIFY2(m_dialogs->messages().isEmpty(), "nothing was done");
    // No half-written copies are left behind.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(),
             failure == QLatin1String("vanished") || failure == QLatin1String("readonly") ? 1 : 0);
}

void TestPreviewActions::menus_shortcutsAndWheelRunTheButtonsHandlers()
{
    present(makePage(300, 400, Qt::blue));
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    // Wherever the focus is in the window.
    button("PushButton1")->setFocus();
    const auto key = [&](Qt::Key pressed, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(m_form.get(), pressed, modifiers);
    };
    const auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
        const QPointF at(40, 40);
        QWheelEvent event(at, surface()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(surface(), &event);
    };

    key(Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(m_form->zoom(), 1.25f);
    key(Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(m_form->zoom(), 1.5f);
    key(Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(m_form->zoom(), 1.25f);
    wheel(-120, Qt::ControlModifier);
    QCOMPARE(m_form->zoom(), 1.0f);
    wheel(120, Qt::ControlModifier);
    QCOMPARE(m_form->zoom(), 1.25f);
    wheel(120, Qt::NoModifier);
    QCOMPARE(m_form->zoom(), 1.25f);
    // A touchpad's small movements add up to one step.
    wheel(60, Qt::ControlModifier);
    QCOMPARE(m_form->zoom(), 1.25f);
    wheel(60, Qt::ControlModifier);
    QCOMPARE(m_form->zoom(), 1.5f);

    // Save Results To Word File: its dialog, and "Done." after a cancel.
    m_dialogs->answerSaveFiles({QString()});
    key(Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(m_dialogs->lastFilter(), QStringLiteral("Word Files (*.doc)|*.doc"));
    QCOMPARE(m_dialogs->messages(), QStringList{QStringLiteral("Done.")});
    m_dialogs->clear();
    // Save as PDF: its own dialog; a cancel does nothing more.
    m_dialogs->answerSaveFiles({QString()});
    key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(m_dialogs->lastFilter(), QStringLiteral("PDF Files (*.pdf)|*.pdf"));
    QCOMPARE(m_dialogs->shown().size(), 1);
    m_dialogs->clear();
    // Print asks the print service first; here there is none to ask.
    qputenv("CUPS_SERVER",
            QFile::encodeName(m_environment->root() + QStringLiteral("/no-cups.sock")));
    key(Qt::Key_P, Qt::ControlModifier);
    qunsetenv("CUPS_SERVER");
    QCOMPARE(m_dialogs->errors().size(), 1);
    QVERIFY2(m_dialogs->errors().first().contains(
                 QStringLiteral("the print service is not running. Start the print service")),
             qPrintable(m_dialogs->errors().first()));
    m_dialogs->clear();

    key(Qt::Key_Left, Qt::AltModifier);
    QVERIFY(!m_form->isVisible());
    QVERIFY(m_main->isVisible());
    QVERIFY(!QFile::exists(m_document));

    present(makePage(612, 792, Qt::blue));
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    int endings = 0;
    Shutdown::setHandlerForTesting([&endings](int) { ++endings; });
    key(Qt::Key_W, Qt::ControlModifier);
    QCOMPARE(endings, 1);
    QCOMPARE(m_storedLists, 1);
    QVERIFY(!QFile::exists(m_document));
}

void TestPreviewActions::savePdf_officesPdf_extensionAdded_replacedOnlyOnYes()
{
    FakeWord::Engine::Installed engine;
    presentFakeDocument({QStringLiteral("Corvanti"), QStringLiteral("Boise, ID 91002")});
    const QByteArray document = readFile(m_document);

    // A name typed without an extension gets ".pdf".
    const QString target = m_environment->root() + QStringLiteral("/flyer.pdf");
    m_dialogs->answerSaveFiles({m_environment->root() + QStringLiteral("/flyer")});
    m_dialogs->answerQuestions({Dialogs::Answer::No});
    trigger("SavePdfAction");
    QCOMPARE(m_dialogs->errors(), QStringList());
    QCOMPARE(m_dialogs->shown().last().text, savedAndOpen(target));
    const PdfFacts facts = readPdf(target);
    QCOMPARE(facts.pages, 1);
    QVERIFY2(facts.pageSize.contains(QStringLiteral("letter")), qPrintable(facts.pageSize));
    QVERIFY(facts.text.contains(QStringLiteral("Corvanti")));
    QVERIFY(facts.text.contains(QStringLiteral("Boise, ID 91002")));
    // One session of its own, on the document opened read-only, left as it was.
    QCOMPARE(engine->calls({QStringLiteral("Documents.Open")}),
             QStringList{QStringLiteral("Documents.Open(%1, ReadOnly=true)").arg(m_document)});
    QCOMPARE(engine->runningApplications(), 0);
    QCOMPARE(engine->openDocuments(), 0);
    QCOMPARE(readFile(m_document), document);
    const QByteArray first = readFile(target);

    // An existing file: No keeps it and says nothing more; Yes replaces it.
    // Through a link, the file the link names is replaced and the link stays.
    const QString link = m_environment->root() + QStringLiteral("/link.pdf");
    QVERIFY(QFile::link(target, link));
    writeFile(target, "the old one");
    m_dialogs->clear();
    m_dialogs->answerSaveFiles({link, link});
    m_dialogs->answerQuestions({Dialogs::Answer::No, Dialogs::Answer::Yes, Dialogs::Answer::No});
    trigger("SavePdfAction");
    QCOMPARE(m_dialogs->shown().last().text,
             QStringLiteral("Are you sure you wish to overwrite %1 ?").arg(link));
    QCOMPARE(readFile(target), QByteArray("the old one"));
    QCOMPARE(m_dialogs->messages(), QStringList());
    trigger("SavePdfAction");
    QCOMPARE(m_dialogs->shown().last().text, savedAndOpen(link));
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readFile(target).left(5), first.left(5));
    QCOMPARE(readPdf(target).pages, 1);
    // Nothing of the export stays in the temporary folder.
    QCOMPARE(
        QDir(Main::tempFolder()).entryList({QStringLiteral("pellamont-pdf-*")}, QDir::AllEntries),
        QStringList());
}

void TestPreviewActions::savePdf_failure_saysWhy_andKeepsEveryFile_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder does not exist")
        << QStringLiteral("nofolder") << QStringLiteral("Cannot write to the folder");
    QTest::newRow("folder cannot be written")
        << QStringLiteral("readonly") << QStringLiteral("Cannot write to the folder /proc");
    QTest::newRow("name is a folder") << QStringLiteral("folder") << QStringLiteral("is a folder");
    QTest::newRow("name is a pipe")
        << QStringLiteral("pipe") << QStringLiteral("is not a plain file");
    QTest::newRow("office ends while exporting")
        << QStringLiteral("officeDies") << QStringLiteral("ended while exporting");
    QTest::newRow("office reports a cut-off PDF written")
        << QStringLiteral("cutShort") << QStringLiteral("no complete PDF");
    QTest::newRow("document gone")
        << QStringLiteral("vanished") << QStringLiteral("no longer exists");
}

void TestPreviewActions::savePdf_failure_saysWhy_andKeepsEveryFile()
{
    QFETCH(QString, failure);
    QFETCH(QString, reason);
    FakeWord::Engine::Installed engine;
    presentFakeDocument({QStringLiteral("Corvanti")});
    const QByteArray document = readFile(m_document);
    const QString folder = m_environment->root() + QStringLiteral("/out");
    QVERIFY(QDir().mkpath(folder));
    QString target = folder + QStringLiteral("/flyer.pdf");
    writeFile(target, "the old one");
    bool asked = true;
    if (failure == QLatin1String("nofolder")) {
        target = folder + QStringLiteral("/missing/flyer.pdf");
        asked = false;
    } else if (failure == QLatin1String("readonly")) {
        target = QStringLiteral("/proc/flyer.pdf");
        asked = false;
    } else if (failure == QLatin1String("folder")) {
        target = folder + QStringLiteral("/old.pdf");
        QVERIFY(QDir().mkpath(target));
        asked = false;
    } else if (failure == QLatin1String("pipe")) {
        target = folder + QStringLiteral("/pipe.pdf");
        QCOMPARE(::mkfifo(QFile::encodeName(target).constData(), 0600), 0);
        asked = false;
    } else if (failure == QLatin1String("officeDies")) {
        engine->setExportDiesHalfway(true);
    } else if (failure == QLatin1String("cutShort")) {
        engine->setExportCutShort(true);
    } else {
        QVERIFY(QFile::remove(m_document));
    }
    // A pipe is never read: that would wait for a writer.
    const auto contents = [&] {
        return QFileInfo(target).isFile() ? readFile(target) : QByteArray("pipe");
    };
    const QByteArray before = contents();
    m_dialogs->answerSaveFiles({target});
    if (asked)
        m_dialogs->answerQuestions({Dialogs::Answer::Yes});
    trigger("SavePdfAction");

    QCOMPARE(m_dialogs->errors().size(), 1);
    const QString report = m_dialogs->errors().first();
    QVERIFY2(report.contains(reason), qPrintable(report));
    QVERIFY2(m_dialogs->messages().isEmpty(), "nothing was done");
    QCOMPARE(contents(), before);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("flyer.pdf")});
    QCOMPARE(
        QDir(Main::tempFolder()).entryList({QStringLiteral("pellamont-pdf-*")}, QDir::AllEntries),
        QStringList());
    if (failure != QLatin1String("vanished"))
        QCOMPARE(readFile(m_document), document);
    QCOMPARE(engine->runningApplications(), 0);
}

void TestPreviewActions::printJobName_plainWithinTheProtocolLimit_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("job");
    QTest::newRow("as typed") << QStringLiteral("Corvanti Gardens")
                              << QStringLiteral("Corvanti Gardens");
    QTest::newRow("terminal escape and bell")
        << QStringLiteral("\x1b[2J\x1b]0;owned\aCorvanti") << QStringLiteral("[2J]0;ownedCorvanti");
    QTest::newRow("line breaks and tabs")
        << QStringLiteral(" Corvanti\r\n\tGardens\n") << QStringLiteral("Corvanti Gardens");
    QTest::newRow("only controls") << QStringLiteral("\x01\x02\x7f") << QString();
    // 300 octets: the cut falls inside the 128th two-octet letter, which goes whole.
    QTest::newRow("300 octets") << QString(150, QChar(0xe9)) << QString(127, QChar(0xe9));
    QTest::newRow("four-octet characters at the limit")
        << QString::fromUcs4(std::u32string(70, U'\U0001F333').c_str())
        << QString::fromUcs4(std::u32string(63, U'\U0001F333').c_str());
}

void TestPreviewActions::printJobName_plainWithinTheProtocolLimit()
{
    QFETCH(QString, typed);
    QFETCH(QString, job);
    const QString title = PrintQueue::jobTitle(typed);
    QCOMPARE(title, job);
    QVERIFY(title.toUtf8().size() <= 255);
}

void TestPreviewActions::saveDialogs_openWhereLastSaved_pdfNamedAfterBusiness()
{
    FakeWord::Engine::Installed engine;
    presentFakeDocument({QStringLiteral("Corvanti")});
    m_form->setJobName(QStringLiteral("Corvanti / Söhne"));
    QStringList seen; // where the real dialog opens, and the name it offers
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            seen = {dialog->directory().absolutePath(), dialog->selectedFiles().value(0)};
            dialog->reject();
        }
    });
    poll.start(10);
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QString fresh = QFileInfo(documents).isDir() ? documents : QDir::homePath();
    SystemDialogs().saveFile(QStringLiteral("Save"), QStringLiteral("All (*)|*"));
    QCOMPARE(seen.value(0), fresh);

    // Saving remembers the folder, under a key of its own.
    const QString folder = m_environment->root() + QStringLiteral("/flyers");
    QVERIFY(QDir().mkpath(folder));
    m_dialogs->answerSaveFiles({folder + QStringLiteral("/a.doc"), QString()});
    click("PushButton6");
    QCOMPARE(ReadSetting(QStringLiteral("SaveFolder")), folder);
    SystemDialogs().saveFile(QStringLiteral("Save"), QStringLiteral("All (*)|*"),
                             QStringLiteral("b.pdf"));
    QCOMPARE(seen, (QStringList{folder, folder + QStringLiteral("/b.pdf")}));
    // Save as PDF offers the business's name, fit for a file name.
    trigger("SavePdfAction");
    QCOMPARE(m_dialogs->shown().last().text, QStringLiteral("Corvanti Söhne flyer.pdf"));
    // A remembered folder that has gone is passed over.
    QVERIFY(QDir(folder).removeRecursively());
    QCOMPARE(saveFolder(), fresh);
}

QTEST_MAIN(TestPreviewActions)
#include "tst_preview_actions.moc"
