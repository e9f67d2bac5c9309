#include "base/appinfo.h"
#include "base/errorreport.h"
#include "base/settings.h"
#include "form1testing.h"
#include "generate/isinstalled.h"
#include "generate/word.h"
#include "mainwindow/form1.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

// The main window coming up, closing and keeping the flyer data.
class TestForm1 : public QObject, private Form1Fixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void startUp_emptyStore_comesUpEmptyAndWritesNothing();
    void startUp_storedList_restoresNonEmptyPieces_data();
    void startUp_storedList_restoresNonEmptyPieces();
    void startUp_storedFields_comeBackUnchanged();
    void startUp_noEngine_warnsOnceEndsAndStoresNothing();
    void startUp_shown_engineWarmsUpOnceWithTheTemplate();
    void startUp_handCursorAndSkin_loadedWhenPresent();
    void startUp_unreadableCursor_reportedOnItsLine();
    void close_storesBothLists_andEndsProgram();
    void close_listsRoundTrip_acrossRestart();
    void close_unwritableStore_reportsListLines();
    void lists_failingStatement_reportsItsNumber_data();
    void lists_failingStatement_reportsItsNumber();
    void fieldChange_everyChangeIsOnDiskAtOnce();
    void fieldChange_badInput_storedAndRestoredExactly();
    void fieldChange_unwritableStore_reportedOnceAndRetried();
    void startUp_unreadableStore_toldOnceAndStartsEmpty();
};

void TestForm1::startUp_emptyStore_comesUpEmptyAndWritesNothing()
{
    Form1 form;
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        QVERIFY(form.Text1(i)->text().isEmpty());
    QCOMPARE(form.List1()->count(), 0);
    QCOMPARE(form.List2()->count(), 0);
    QVERIFY(m_dialogs->shown().isEmpty());
    QVERIFY(!QFile::exists(m_environment->settingsFile()));
    QCOMPARE(m_engine->starts, 1);
    QCOMPARE(m_engine->quits, 1);
    QVERIFY(m_endings.isEmpty());
    QCOMPARE(form.windowTitle(), QStringLiteral("Pellamont"));
    QCOMPARE(applicationTitle(), QStringLiteral("Pellamont"));
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(!form.mousePointer().hasCustomCursor());
}

void TestForm1::startUp_storedList_restoresNonEmptyPieces_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("items");
    QTest::newRow("two items") << "A;B;" << QStringList{QStringLiteral("A"), QStringLiteral("B")};
    QTest::newRow("one separator") << ";" << QStringList{};
    QTest::newRow("only separators") << ";;;;" << QStringList{};
    QTest::newRow("two separators between items")
        << "A;;B" << QStringList{QStringLiteral("A"), QStringLiteral("B")};
    QTest::newRow("no final separator") << "Mowing" << QStringList{QStringLiteral("Mowing")};
    QTest::newRow("blanks kept") << " Mowing ; ;"
                                 << QStringList{QStringLiteral(" Mowing "), QStringLiteral(" ")};
    QTest::newRow("unicode") << QStringLiteral("Gärtnerei;草刈り;גינון;🌳;")
                             << QStringList{QStringLiteral("Gärtnerei"), QStringLiteral("草刈り"),
                                            QStringLiteral("גינון"), QStringLiteral("🌳")};
}

void TestForm1::startUp_storedList_restoresNonEmptyPieces()
{
    QFETCH(QString, stored);
    QFETCH(QStringList, items);
    WriteSetting(QStringLiteral("List1"), stored);
    WriteSetting(QStringLiteral("List2"), stored);
    Form1 form;
    QCOMPARE(itemsOf(form.List1()), items);
    QCOMPARE(itemsOf(form.List2()), items);
    QCOMPARE(selectedRowOf(form.List1()), -1);
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestForm1::startUp_storedFields_comeBackUnchanged()
{
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        WriteSetting(QStringLiteral("Text1_%1").arg(i), QStringLiteral("value %1 ").arg(i));
    WriteSetting(QStringLiteral("Text1_3"), QString());
    Form1 form;
    for (int i = 0; i < FlyerFields::kFieldCount; ++i) {
        const QString expected = i == 3 ? QString() : QStringLiteral("value %1 ").arg(i);
        QCOMPARE(form.Text1(i)->text(), expected);
        QCOMPARE(ReadSetting(QStringLiteral("Text1_%1").arg(i)), expected);
    }
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestForm1::startUp_noEngine_warnsOnceEndsAndStoresNothing()
{
    WriteSetting(QStringLiteral("Text1_0"), QStringLiteral("Kept"));
    WriteSetting(QStringLiteral("List1"), QStringLiteral("A;B;"));
    const QByteArray before = m_environment->settingsText();
    m_engine->missing = true;
    {
        Form1 form;
        QCOMPARE(m_endings, QList<int>{1});
        QCOMPARE(m_dialogs->shown().size(), 1);
        const auto& shown = m_dialogs->shown().first();
        QCOMPARE(shown.kind, ScriptedDialogs::Shown::Message);
        QCOMPARE(shown.title, QStringLiteral("Pellamont"));
        QCOMPARE(shown.text, IsInstalled::wordMissingText());
        QVERIFY(shown.text.startsWith(QStringLiteral("Error 842001. A normal instance")));
        // An engine without advice of its own gets the advice on Word.
        QVERIFY(shown.text.contains(QStringLiteral("1. Please make sure Word is installed")));
        QVERIFY(!form.isVisible());
    }
    // The window went without being closed: nothing was stored.
    QCOMPARE(m_environment->settingsText(), before);
}

void TestForm1::startUp_shown_engineWarmsUpOnceWithTheTemplate()
{
    Form1 form;
    QCoreApplication::processEvents();
    // Not before the window is up: the office is still starting then.
    QVERIFY(m_engine->warmUps.isEmpty());
    form.show();
    QTRY_COMPARE(m_engine->warmUps.size(), 1);
    QCOMPARE(m_engine->warmUps.first(), TemplateFilling::embeddedTemplate());
    // Coming back from the preview is no start-up.
    form.hide();
    form.show();
    QCoreApplication::processEvents();
    QCOMPARE(m_engine->warmUps.size(), 1);
}

void TestForm1::startUp_handCursorAndSkin_loadedWhenPresent()
{
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    {
        Form1 unskinned;
        auto* frame = unskinned.findChild<QGroupBox*>(QStringLiteral("Frame1"));
        auto* label = unskinned.findChild<QLabel*>(QStringLiteral("Label2_0"));
        QCOMPARE(frame->palette().color(QPalette::Window), QColor(Qt::white));
        QCOMPARE(label->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(unskinned.styleSheet().isEmpty());
    }
    const QString sheet = QStringLiteral("QPushButton { border: 2px solid #406080; }");
    writeFile(m_environment->programFolder() + QStringLiteral("/x/o.cjs"), sheet.toUtf8());
    const QByteArray cursor = cursorFileBytes(5, 7);
    QVERIFY(!cursor.isEmpty());
    writeFile(m_environment->programFolder() + QStringLiteral("/HAND-M.CUR"), cursor);

    Form1 form;
    QVERIFY(m_dialogs->shown().isEmpty());
    QCOMPARE(form.styleSheet(), sheet);
    for (const char* name : {"Frame1", "Frame2", "Frame3", "Frame4", "Label2_0", "Label2_12"})
        QCOMPARE(
            form.findChild<QWidget*>(QString::fromLatin1(name))->palette().color(QPalette::Window),
            buttonFace);
    // Fields and lists keep their colours.
    QCOMPARE(form.Text1(0)->palette().color(QPalette::Base),
             QApplication::palette(form.Text1(0)).color(QPalette::Base));

    QVERIFY(form.mousePointer().hasCustomCursor());
    form.mousePointer().set(WindowPointer::Custom);
    QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
    QCOMPARE(form.cursor().hotSpot(), QPoint(5, 7));
}

void TestForm1::startUp_unreadableCursor_reportedOnItsLine()
{
    writeFile(m_environment->programFolder() + QStringLiteral("/HAND-M.CUR"), "not a cursor");
    // A folder where the skin should be is no skin at all.
    QDir().mkpath(m_environment->programFolder() + QStringLiteral("/x/o.cjs"));
    WriteSetting(QStringLiteral("Text1_1"), QStringLiteral("Boise"));
    Form1 form;
    QCOMPARE(m_dialogs->errors().size(), 1);
    QVERIFY(m_dialogs->errors().first().contains(
        QStringLiteral("\r\nin Pellamont2021/08/31.Form1.Form_Load at line 124\r\r")));
    QVERIFY(m_dialogs->errors().first().contains(QStringLiteral("cannot be read as a cursor.")));
    // Start-up went on after the report.
    QCOMPARE(form.Text1(1)->text(), QStringLiteral("Boise"));
    QVERIFY(form.styleSheet().isEmpty());
    QCOMPARE(m_engine->starts, 1);
    form.mousePointer().set(WindowPointer::Custom);
    QCOMPARE(form.cursor().shape(), Qt::PointingHandCursor);
}

void TestForm1::close_storesBothLists_andEndsProgram()
{
    Form1 form;
    QWidget preview;
    preview.show();
    form.show();
    form.List1()->addItems({QStringLiteral("A"), QStringLiteral("B")});
    QVERIFY(form.close());
    QCOMPARE(ReadSetting(QStringLiteral("List1")), QStringLiteral("A;B;"));
    QVERIFY(m_environment->settingsText().contains("A;B;"));
    QVERIFY(m_environment->settingsText().contains("List2=\n"));
    QCOMPARE(ReadSetting(QStringLiteral("List2")), QString());
    QCOMPARE(m_endings, QList<int>{0});
    QVERIFY(!preview.isVisible());
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestForm1::close_listsRoundTrip_acrossRestart()
{
    QStringList many;
    for (int i = 0; i < 1000; ++i)
        many << QStringLiteral("Service %1 — ✂").arg(i);
    {
        Form1 form;
        form.List1()->addItems(many);
        form.List2()->addItem(QStringLiteral("Weekly; Monthly"));
        form.storeLists();
    }
    Form1 again;
    QCOMPARE(itemsOf(again.List1()), many);
    // An item with ";" in it comes back split there; the store has no escape.
    QCOMPARE(itemsOf(again.List2()),
             (QStringList{QStringLiteral("Weekly"), QStringLiteral(" Monthly")}));
    again.List1()->clear();
    again.List2()->clear();
    again.storeLists();
    QCOMPARE(ReadSetting(QStringLiteral("List1")), QString());
    QCOMPARE(ReadSetting(QStringLiteral("List2")), QString());
}

void TestForm1::close_unwritableStore_reportsListLines()
{
    Form1 form;
    form.List1()->addItem(QStringLiteral("Mowing"));
    // A plain file where the store's folder should be: nothing can be written.
    writeFile(m_environment->root() + QStringLiteral("/blocked"), "x");
    SettingsStore::useFileForTesting(m_environment->root() + QStringLiteral("/blocked/a.conf"));
    form.close();
    const QStringList errors = m_dialogs->errors();
    QCOMPARE(errors.size(), 2);
    QVERIFY(errors.at(0).contains(QStringLiteral(".Form1.Form_QueryUnload at line 108\r\r")));
    QVERIFY(errors.at(1).contains(QStringLiteral(".Form1.Form_QueryUnload at line 118\r\r")));
    QVERIFY(errors.at(0).startsWith(QStringLiteral("The settings file ")));
    QCOMPARE(m_endings, QList<int>{0});
}

void TestForm1::lists_failingStatement_reportsItsNumber_data()
{
    // The numbers a user reads in the box for restoring (start-up) and
    // storing (closing) each list; support finds the step by them.
    QTest::addColumn<bool>("closing");
    QTest::addColumn<int>("line");
    for (int line : {134, 136, 138, 142, 144, 148, 150, 152, 156, 158})
        QTest::addRow("start-up %d", line) << false << line;
    for (int line : {100, 104, 108, 110, 114, 118})
        QTest::addRow("closing %d", line) << true << line;
}

void TestForm1::lists_failingStatement_reportsItsNumber()
{
    QFETCH(bool, closing);
    QFETCH(int, line);
    WriteSetting(QStringLiteral("List1"), QStringLiteral("A;"));
    WriteSetting(QStringLiteral("List2"), QStringLiteral("B;"));
    const Procedure procedure =
        closing ? Procedure::Form1_Form_QueryUnload : Procedure::Form1_Form_Load;
    Guard::failStatementForTesting(procedure, line);
    {
        Form1 form;
        if (closing)
            form.storeLists();
    }
    const QString expected = (closing ? QStringLiteral(".Form1.Form_QueryUnload at line %1\r\r")
                                      : QStringLiteral(".Form1.Form_Load at line %1\r\r"))
                                 .arg(line);
    const QStringList errors = m_dialogs->errors();
    // A test inside the loop over pieces fails once per piece.
    QVERIFY(!errors.isEmpty());
    for (const QString& error : errors)
        QVERIFY2(error.contains(expected), qPrintable(error));
}

void TestForm1::fieldChange_everyChangeIsOnDiskAtOnce()
{
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QLineEdit* email = form.Text1(12);
    email->setFocus();
    QSignalSpy changes(email, &QLineEdit::textChanged);
    QTest::keyClicks(email, QStringLiteral("a@b.c"));
    QCOMPARE(changes.count(), 5);
    // On disk before the next event: a killed program loses nothing.
    QVERIFY(m_environment->settingsText().contains("Text1_12=a@b.c"));
    QTest::keyClick(email, Qt::Key_Backspace);
    QVERIFY(m_environment->settingsText().contains("Text1_12=a@b.\n"));
    email->clear();
    QVERIFY(m_environment->settingsText().contains("Text1_12=\n"));
    QCOMPARE(ReadSetting(QStringLiteral("Text1_12")), QString());
    // Other fields and the lists were not touched.
    QVERIFY(!m_environment->settingsText().contains("Text1_0="));
    QVERIFY(!m_environment->settingsText().contains("List1"));
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestForm1::fieldChange_badInput_storedAndRestoredExactly()
{
    const QStringList values = {
        QString(100000, QLatin1Char('x')),
        QStringLiteral("Ça coûte 5 €; 草刈り サービス"),
        QStringLiteral("שירותי גינון ‏مرحبا"),
        QStringLiteral("🌳🌷 emoji 👨‍👩‍👧"),
        QStringLiteral("  spaced  ;  and ; semicolons  "),
        QStringLiteral("quote \" backslash \\ equals = hash # [x]"),
    };
    {
        Form1 form;
        for (int i = 0; i < values.size(); ++i)
            form.Text1(i)->setText(values.at(i));
    }
    Form1 again;
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(again.Text1(i)->text(), values.at(i));
    QVERIFY(m_dialogs->shown().isEmpty());

    // A pasted text with line breaks is kept as the field holds it.
    QApplication::clipboard()->setText(QStringLiteral("line one\nline two\r\nthree"));
    again.Text1(7)->clear();
    again.Text1(7)->paste();
    const QString pasted = again.Text1(7)->text();
    QVERIFY(pasted.startsWith(QStringLiteral("line one")));
    QCOMPARE(ReadSetting(QStringLiteral("Text1_7")), pasted);
    Form1 third;
    QCOMPARE(third.Text1(7)->text(), pasted);
}

void TestForm1::fieldChange_unwritableStore_reportedOnceAndRetried()
{
    Form1 form;
    const QString blocked = m_environment->root() + QStringLiteral("/blocked");
    writeFile(blocked, "x");
    SettingsStore::useFileForTesting(blocked + QStringLiteral("/a.conf"));
    QTest::keyClicks(form.Text1(0), QStringLiteral("Acme"));
    form.Text1(5)->setText(QStringLiteral("Main St"));
    QCOMPARE(m_dialogs->shown().size(), 1);
    QCOMPARE(m_dialogs->shown().first().kind, ScriptedDialogs::Shown::Error);
    QCOMPARE(m_dialogs->shown().first().title, QStringLiteral("Pellamont"));
    QVERIFY(m_dialogs->shown().first().text.contains(blocked));
    // The window keeps working.
    QCOMPARE(form.Text1(0)->text(), QStringLiteral("Acme"));
    QCOMPARE(ReadSetting(QStringLiteral("Text1_5")), QStringLiteral("Main St"));

    // Once the store can be written again, the next change saves everything.
    QVERIFY(QFile::remove(blocked));
    QVERIFY(QDir().mkpath(blocked));
    QTest::keyClicks(form.Text1(9), QStringLiteral("9"));
    QFile file(blocked + QStringLiteral("/a.conf"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QVERIFY(text.contains("Text1_0=Acme\n"));
    QVERIFY(text.contains("Text1_5=Main St\n"));
    QVERIFY(text.contains("Text1_9=9\n"));
    QCOMPARE(m_dialogs->shown().size(), 1);
}

void TestForm1::startUp_unreadableStore_toldOnceAndStartsEmpty()
{
    // A folder in place of the store file cannot be read (nor written).
    QVERIFY(QDir().mkpath(m_environment->settingsFile()));
    Form1 form;
    QCOMPARE(m_dialogs->shown().size(), 1);
    QVERIFY(m_dialogs->shown().first().text.contains(QStringLiteral("cannot be read")));
    QVERIFY(form.Text1(0)->text().isEmpty());
    form.Text1(0)->setText(QStringLiteral("Acme"));
    form.Text1(1)->setText(QStringLiteral("Boise"));
    // One more notice, that changes cannot be saved; then silence.
    QCOMPARE(m_dialogs->shown().size(), 2);
    QCOMPARE(form.Text1(1)->text(), QStringLiteral("Boise"));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
