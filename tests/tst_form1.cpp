#include "base/appinfo.h"
#include "base/errorreport.h"
#include "base/failure.h"
#include "base/settings.h"
#include "base/shutdown.h"
#include "entry/form1.h"
#include "generate/isinstalled.h"
#include "generate/word.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Stands in for the office: an application starts (and quits) or it does not.
class StandInDocuments final : public Word::Documents
{
public:
    std::shared_ptr<Word::Document> open(const QString&) override
    {
        throw Failure(QStringLiteral("not used here"));
    }
    std::shared_ptr<Word::Document> open(const QString&, bool) override
    {
        throw Failure(QStringLiteral("not used here"));
    }
};

class StandInApplication final : public Word::Application
{
public:
    explicit StandInApplication(int& quits) : m_quits(quits) {}
    Word::Documents& documents() override { return m_documents; }
    std::shared_ptr<Word::Document> activeDocument() override { return nullptr; }
    void setDisplayAlerts(bool) override {}
    QString name() override { return QStringLiteral("Stand-in Office"); }
    QString version() override { return QStringLiteral("7.4.1"); }
    void quit() override { ++m_quits; }

private:
    int& m_quits;
    StandInDocuments m_documents;
};

class StandInEngine final : public Word::Engine
{
public:
    std::shared_ptr<Word::Application> createApplication() override
    {
        ++starts;
        if (missing)
            throw Failure(QStringLiteral("soffice: not found"));
        return std::make_shared<StandInApplication>(quits);
    }
    void warmUp(const QByteArray& sample) override { warmUps << sample; }
    QList<QByteArray> warmUps;
    bool missing = false;
    int starts = 0;
    int quits = 0;
};

const QStringList kSampleFields = {QStringLiteral("Corvanti"),
                                   QStringLiteral("Boise"),
                                   QStringLiteral("Owner and Landscape Architect"),
                                   QStringLiteral("367.555.0100"),
                                   QStringLiteral("367.555.0101"),
                                   QStringLiteral("1234 East Main Street"),
                                   QStringLiteral("Arlo Penwright"),
                                   QStringLiteral("We have your landscape needs covered."),
                                   QStringLiteral("ID"),
                                   QStringLiteral("91002"),
                                   QStringLiteral("Tobin Marsh"),
                                   QStringLiteral("123 Garage Street"),
                                   QStringLiteral("tobin.marsh@example.com"),
                                   QStringLiteral("367.555.0102")};

QStringList itemsOf(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

int selectedRowOf(const QListWidget* list)
{
    const auto selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

// A Windows cursor file: an icon file whose type is 2 and whose entry
// carries the hot spot.
QByteArray cursorFileBytes(int hotX, int hotY)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "ICO"))
        return {};
    bytes[2] = 2;
    bytes[6 + 4] = char(hotX);
    bytes[6 + 5] = 0;
    bytes[6 + 6] = char(hotY);
    bytes[6 + 7] = 0;
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestForm1 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

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
    void fieldFocus_selectsWholeText();
    void pointer_buttonsFramesAndWindow();
    void pointer_hourglassIsRespected();
    void add_answers_data();
    void add_answers();
    void add_dialogTexts_andSecondList();
    void delete_selectedItemOnly();
    void sample_fillsEverythingAndStoresFields();
    void reset_emptiesEverythingAndStoredFields();
    void layout_controlsAtTheirPlaces_data();
    void layout_controlsAtTheirPlaces();
    void layout_windowFontsAndTabOrder();
    void menus_shortcutsAndItemsRunTheButtonsHandlers();
    void undo_bringsBackWhatResetOrSampleReplaced_andStoresIt();
    void about_namesVersionEngineAndLicence();

private:
    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::shared_ptr<StandInEngine> m_engine;
    QList<int> m_endings;
};

void TestForm1::init()
{
    m_environment = std::make_unique<TestEnvironment>();
    m_dialogs = std::make_unique<ScriptedDialogs>();
    m_engine = std::make_shared<StandInEngine>();
    Word::setEngine(m_engine);
    m_endings.clear();
    Shutdown::resetForTesting();
    Shutdown::setHandlerForTesting([this](int code) { m_endings << code; });
}

void TestForm1::cleanup()
{
    Guard::failStatementForTesting(Procedure::Form1_Form_Load, 0);
    Shutdown::resetForTesting();
    Word::setEngine(nullptr);
    m_dialogs.reset();
    m_environment.reset();
}

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

void TestForm1::fieldFocus_selectsWholeText()
{
    WriteSetting(QStringLiteral("Text1_0"), QStringLiteral("Corvanti"));
    WriteSetting(QStringLiteral("Text1_7"), QStringLiteral("Tag line"));
    WriteSetting(QStringLiteral("Text1_3"), QStringLiteral("367.555.0100"));
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(QApplication::focusWidget(), form.Text1(0));
    QCOMPARE(form.Text1(0)->selectedText(), QStringLiteral("Corvanti"));

    // Tabbing in selects all, so the next key replaces the text.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form.Text1(7));
    QCOMPARE(form.Text1(7)->selectedText(), QStringLiteral("Tag line"));
    QTest::keyClicks(form.Text1(7), QStringLiteral("N"));
    QCOMPARE(ReadSetting(QStringLiteral("Text1_7")), QStringLiteral("N"));

    // A click that brings the focus selects all as well.
    QTest::mouseClick(form.Text1(3), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(QApplication::focusWidget(), form.Text1(3));
    QCOMPARE(form.Text1(3)->selectedText(), QStringLiteral("367.555.0100"));
    // A second click in the focused field places the caret as usual.
    QTest::mouseClick(form.Text1(3), Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!form.Text1(3)->hasSelectedText());

    // An empty field selects nothing.
    QTest::mouseClick(form.Text1(4), Qt::LeftButton, {}, QPoint(10, 10));
    QCOMPARE(QApplication::focusWidget(), form.Text1(4));
    QVERIFY(!form.Text1(4)->hasSelectedText());
}

void TestForm1::pointer_buttonsFramesAndWindow()
{
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto* frame2 = form.findChild<QWidget*>(QStringLiteral("Frame2"));
    auto* add = form.findChild<QWidget*>(QStringLiteral("PushButton1"));
    QCOMPARE(form.mousePointer().setting(), WindowPointer::Default);

    QTest::mouseMove(add, QPoint(5, 5));
    QTRY_COMPARE(form.mousePointer().setting(), WindowPointer::Custom);
    // Over the whole window while it is not the default, fields included.
    QCOMPARE(form.Text1(0)->cursor().shape(), Qt::PointingHandCursor);

    // Straight onto the list: it has no rule of its own, the hand stays.
    QTest::mouseMove(form.List1()->viewport(), QPoint(20, 20));
    QTest::qWait(20);
    QCOMPARE(form.mousePointer().setting(), WindowPointer::Custom);

    // The frame's own surface and the bare window bring the default back.
    QTest::mouseMove(frame2, QPoint(3, frame2->height() - 3));
    QTRY_COMPARE(form.mousePointer().setting(), WindowPointer::Default);
    QCOMPARE(form.Text1(0)->cursor().shape(), Qt::IBeamCursor);
    QTest::mouseMove(form.findChild<QWidget*>(QStringLiteral("PushButton6")), QPoint(5, 5));
    QTRY_COMPARE(form.mousePointer().setting(), WindowPointer::Custom);
    QTest::mouseMove(&form, QPoint(form.width() - 2, form.height() - 2));
    QTRY_COMPARE(form.mousePointer().setting(), WindowPointer::Default);
}

void TestForm1::pointer_hourglassIsRespected()
{
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.mousePointer().set(WindowPointer::Hourglass);
    QTest::mouseMove(form.findChild<QWidget*>(QStringLiteral("PushButton4")), QPoint(5, 5));
    QTest::qWait(20);
    QCOMPARE(form.mousePointer().setting(), WindowPointer::Hourglass);
    QTest::mouseMove(form.findChild<QWidget*>(QStringLiteral("Frame4")), QPoint(3, 3));
    QTest::mouseMove(&form, QPoint(form.width() - 2, form.height() - 2));
    QTest::qWait(20);
    QCOMPARE(form.mousePointer().setting(), WindowPointer::Hourglass);
    QCOMPARE(form.Text1(0)->cursor().shape(), Qt::WaitCursor);
}

void TestForm1::add_answers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("added");
    QTest::newRow("cancelled or empty") << QString() << QStringList{};
    QTest::newRow("only spaces") << "    " << QStringList{};
    QTest::newRow("spaces kept") << "  Mowing  " << QStringList{QStringLiteral("  Mowing  ")};
    QTest::newRow("tabs are text") << "\t\t" << QStringList{QStringLiteral("\t\t")};
    QTest::newRow("split at semicolons")
        << "Mowing;Edging" << QStringList{QStringLiteral("Mowing"), QStringLiteral("Edging")};
    QTest::newRow("blank pieces dropped")
        << ";Mowing; ;;Edging ;"
        << QStringList{QStringLiteral("Mowing"), QStringLiteral("Edging ")};
    QTest::newRow("only blank pieces") << " ; ;" << QStringList{};
    QTest::newRow("unicode") << QStringLiteral("Rasen mähen 🌱")
                             << QStringList{QStringLiteral("Rasen mähen 🌱")};
}

void TestForm1::add_answers()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, added);
    Form1 form;
    form.List1()->addItem(QStringLiteral("First"));
    form.List1()->setCurrentRow(0);
    m_dialogs->answerInputs({answer, answer});
    form.PushButton1_Click();
    form.PushButton1_Click();
    const QStringList expected = QStringList{QStringLiteral("First")} + added + added;
    QCOMPARE(itemsOf(form.List1()), expected);
    // The selection stays where it was; the other list is untouched. What
    // was added is on disk at once; an answer that adds nothing writes nothing.
    QCOMPARE(selectedRowOf(form.List1()), 0);
    QCOMPARE(form.List2()->count(), 0);
    QVERIFY(m_dialogs->errors().isEmpty());
    QCOMPARE(m_environment->settingsText().contains("List1"), !added.isEmpty());
    if (!added.isEmpty())
        QCOMPARE(ReadSetting(QStringLiteral("List1")), expected.join(QLatin1Char(';')) + u';');
    QVERIFY(!m_environment->settingsText().contains("List2"));
}

void TestForm1::add_dialogTexts_andSecondList()
{
    Form1 form;
    m_dialogs->answerInputs({QStringLiteral("Mowing"), QStringLiteral("Weekly")});
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("PushButton1")), Qt::LeftButton);
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("PushButton5")), Qt::LeftButton);
    QCOMPARE(m_dialogs->shown().size(), 2);
    QCOMPARE(m_dialogs->shown().at(0).title, QStringLiteral("Input Service"));
    QCOMPARE(m_dialogs->shown().at(0).text, QStringLiteral("Enter Service: "));
    QCOMPARE(m_dialogs->shown().at(1).title, QStringLiteral("Input Scheduled Service"));
    QCOMPARE(m_dialogs->shown().at(1).text, QStringLiteral("Enter Scheduled Service: "));
    QCOMPARE(itemsOf(form.List1()), QStringList{QStringLiteral("Mowing")});
    QCOMPARE(itemsOf(form.List2()), QStringList{QStringLiteral("Weekly")});
}

void TestForm1::delete_selectedItemOnly()
{
    Form1 form;
    form.List2()->addItems(
        {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("B")});
    form.List1()->addItems({QStringLiteral("X")});
    auto* deleteButton = form.findChild<QPushButton*>(QStringLiteral("PushButton7"));

    QTest::mouseClick(deleteButton, Qt::LeftButton);
    QCOMPARE(form.List2()->count(), 4);

    form.List2()->setCurrentRow(1);
    QTest::mouseClick(deleteButton, Qt::LeftButton);
    QCOMPARE(itemsOf(form.List2()),
             (QStringList{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("B")}));
    QCOMPARE(ReadSetting(QStringLiteral("List2")), QStringLiteral("A;C;B;"));
    QCOMPARE(selectedRowOf(form.List2()), -1);
    QTest::mouseClick(deleteButton, Qt::LeftButton);
    QCOMPARE(form.List2()->count(), 3);

    form.List1()->setCurrentRow(0);
    form.PushButton2_Click();
    QCOMPARE(form.List1()->count(), 0);
    QCOMPARE(itemsOf(form.List2()),
             (QStringList{QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("B")}));
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestForm1::sample_fillsEverythingAndStoresFields()
{
    Form1 form;
    form.Text1(12)->setText(QStringLiteral("old"));
    form.List1()->addItem(QStringLiteral("Old service"));
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("PushButton4")), Qt::LeftButton);
    form.PushButton4_Click();
    for (int i = 0; i < FlyerFields::kFieldCount; ++i) {
        QCOMPARE(form.Text1(i)->text(), kSampleFields.at(i));
        QCOMPARE(ReadSetting(QStringLiteral("Text1_%1").arg(i)), kSampleFields.at(i));
    }
    QCOMPARE(form.List1()->count(), 20);
    QCOMPARE(form.List1()->item(0)->text(), QStringLiteral("Mowing"));
    QCOMPARE(form.List1()->item(4)->text(), QStringLiteral("Pruning"));
    QCOMPARE(form.List1()->item(19)->text(), QStringLiteral("Water Ponds"));
    QCOMPARE(itemsOf(form.List2()),
             (QStringList{QStringLiteral("Weekly Lawn Cutting"),
                          QStringLiteral("Bi-Weekly Weeding and Cutting"),
                          QStringLiteral("Bi-Monthly Planting"), QStringLiteral("Pruning")}));
    QVERIFY(m_dialogs->shown().isEmpty());
    // The lists are on disk at once, as the fields are.
    QVERIFY(m_environment->settingsText().contains("Mowing;Edging;"));
    QVERIFY(ReadSetting(QStringLiteral("List1")).startsWith(QStringLiteral("Mowing;Edging;")));
    QCOMPARE(ReadSetting(QStringLiteral("List2")),
             QStringLiteral("Weekly Lawn Cutting;Bi-Weekly Weeding and Cutting;"
                            "Bi-Monthly Planting;Pruning;"));
}

void TestForm1::reset_emptiesEverythingAndStoredFields()
{
    Form1 form;
    // On an empty window nothing changes and nothing is written.
    form.PushButton3_Click();
    QVERIFY(!QFile::exists(m_environment->settingsFile()));

    form.PushButton4_Click();
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("PushButton3")), Qt::LeftButton);
    for (int i = 0; i < FlyerFields::kFieldCount; ++i) {
        QVERIFY(form.Text1(i)->text().isEmpty());
        QCOMPARE(ReadSetting(QStringLiteral("Text1_%1").arg(i)), QString());
        QVERIFY(m_environment->settingsText().contains(
            QStringLiteral("Text1_%1=\n").arg(i).toLatin1()));
    }
    QCOMPARE(form.List1()->count(), 0);
    QCOMPARE(form.List2()->count(), 0);
    QVERIFY(m_environment->settingsText().contains("List1=\n"));
    QVERIFY(m_environment->settingsText().contains("List2=\n"));
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestForm1::layout_controlsAtTheirPlaces_data()
{
    // Positions in twips as designed; 15 twips make a pixel. A caption may
    // take a few pixels more than designed to show whole, never reaching its field.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("field");
    QTest::newRow("start button") << "PushButton6" << QRect(120, 120, 7800, 405) << QString();
    QTest::newRow("flyer data") << "Frame1" << QRect(120, 1140, 7800, 3615) << QString();
    QTest::newRow("flyer details") << "Frame4" << QRect(120, 7290, 7800, 1755) << QString();
    QTest::newRow("business name") << "Text1_0" << QRect(1800, 300, 5775, 375) << QString();
    QTest::newRow("zip code") << "Text1_9" << QRect(6600, 2550, 975, 375) << QString();
    QTest::newRow("email") << "Text1_12" << QRect(4800, 1200, 2775, 375) << QString();
    QTest::newRow("scheduled list") << "List2" << QRect(240, 300, 3375, 1410) << QString();
    QTest::newRow("services delete") << "PushButton2" << QRect(2040, 1800, 1560, 405) << QString();
    QTest::newRow("scheduled delete") << "PushButton7" << QRect(2040, 1800, 1680, 405) << QString();
    QTest::newRow("state label") << "Label2_8" << QRect(4560, 2595, 495, 225) << "Text1_8";
    QTest::newRow("zip label") << "Label2_9" << QRect(5760, 2595, 780, 225) << "Text1_9";
    QTest::newRow("email label") << "Label2_12" << QRect(4200, 1245, 510, 225) << "Text1_12";
    QTest::newRow("second phone label") << "Label2_13" << QRect(240, 1245, 900, 225) << "Text1_13";
}

void TestForm1::layout_controlsAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, field);
    Form1 form;
    auto* control = form.findChild<QWidget*>(name);
    QVERIFY(control);
    QVERIFY(form.findChild<QWidget*>(QStringLiteral("ClientArea"))->isAncestorOf(control));
    const QRect designed(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    if (field.isEmpty()) {
        QCOMPARE(control->geometry(), designed);
        return;
    }
    QCOMPARE(control->pos(), designed.topLeft());
    QCOMPARE(control->height(), designed.height());
    QVERIFY(control->width() >= designed.width());
    QVERIFY(control->geometry().right() < form.findChild<QWidget*>(field)->x());
    QVERIFY(control->sizeHint().width() <= control->width());
}

void TestForm1::layout_windowFontsAndTabOrder()
{
    Form1 form;
    // The menu bar stands above the client area, which keeps its designed
    // size and every control in it: the window is taller by the bar.
    const auto* menu = form.findChild<QMenuBar*>(QStringLiteral("MenuBar"));
    const auto* client = form.findChild<QWidget*>(QStringLiteral("ClientArea"));
    QVERIFY(menu && client);
    QVERIFY(menu->height() > 10);
    QCOMPARE(menu->geometry(), QRect(0, 0, 536, menu->height()));
    QCOMPARE(client->geometry(), QRect(0, menu->height(), 536, 611));
    QCOMPARE(form.size(), QSize(536, 611 + menu->height()));
    const auto outside = form.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    QCOMPARE(outside.size(), 2);
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));

    const QStringList arial = {QStringLiteral("Arial"), QStringLiteral("Liberation Sans")};
    const QFontInfo fieldFont(form.Text1(0)->font());
    QVERIFY2(arial.contains(fieldFont.family()), qPrintable(fieldFont.family()));
    QVERIFY(fieldFont.bold());
    QCOMPARE(form.Text1(0)->font().pointSizeF(), 9.0);
    QCOMPARE(form.findChild<QWidget*>(QStringLiteral("Label2_6"))->font().pointSizeF(), 9.0);
    QCOMPARE(form.List1()->font().pointSizeF(), 9.0);
    const QFont buttonFont = form.findChild<QWidget*>(QStringLiteral("PushButton6"))->font();
    QVERIFY(arial.contains(QFontInfo(buttonFont).family()));
    QCOMPARE(buttonFont.pointSizeF(), 11.25);
    QVERIFY(buttonFont.bold());

    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    const QStringList expected = {
        QStringLiteral("Text1_0"),     QStringLiteral("Text1_7"),     QStringLiteral("Text1_6"),
        QStringLiteral("Text1_2"),     QStringLiteral("Text1_1"),     QStringLiteral("Text1_8"),
        QStringLiteral("Text1_9"),     QStringLiteral("Text1_3"),     QStringLiteral("Text1_4"),
        QStringLiteral("Text1_5"),     QStringLiteral("PushButton6"), QStringLiteral("List1"),
        QStringLiteral("List2"),       QStringLiteral("Text1_10"),    QStringLiteral("Text1_11"),
        QStringLiteral("Text1_12"),    QStringLiteral("Text1_13"),    QStringLiteral("PushButton3"),
        QStringLiteral("PushButton4"), QStringLiteral("PushButton1"), QStringLiteral("PushButton2"),
        QStringLiteral("PushButton5"), QStringLiteral("PushButton7"), QStringLiteral("Text1_0")};
    QStringList visited;
    for (int i = 0; i < expected.size(); ++i) {
        visited << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QCOMPARE(visited, expected);
}

void TestForm1::menus_shortcutsAndItemsRunTheButtonsHandlers()
{
    Form1 form;
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    const auto trigger = [&](const char* name) {
        form.findChild<QAction*>(QLatin1String(name))->trigger();
    };
    // Start Creating Template, from a field: the run asks the engine.
    QCOMPARE(m_engine->starts, 1);
    QTest::keyClick(form.Text1(3), Qt::Key_Return, Qt::ControlModifier);
    QCOMPARE(m_engine->starts, 2);
    m_dialogs->clear();

    trigger("SampleAction");
    QCOMPARE(form.Text1(0)->text(), QStringLiteral("Corvanti"));
    QCOMPARE(form.List1()->count(), 20);
    trigger("ResetAction");
    QCOMPARE(form.Text1(0)->text(), QString());
    QCOMPARE(form.List2()->count(), 0);

    form.List1()->addItem(QStringLiteral("Mowing"));
    QTest::keyClick(form.List1(), Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(m_endings, QList<int>{0});
    QCOMPARE(ReadSetting(QStringLiteral("List1")), QStringLiteral("Mowing;"));
    QCOMPARE(m_dialogs->shown().size(), 0);
}

void TestForm1::undo_bringsBackWhatResetOrSampleReplaced_andStoresIt()
{
    Form1 form;
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.Text1(0)->setText(QStringLiteral("Halvard Gardens"));
    form.Text1(12)->setText(QStringLiteral("wren@example.org"));
    form.List1()->addItems({QStringLiteral("Pond care"), QStringLiteral("Pond care")});
    form.List2()->addItem(QStringLiteral("Monthly"));
    auto* undo = form.findChild<QAction*>(QStringLiteral("UndoAction"));
    QVERIFY(!undo->isEnabled());

    // Sample, then Reset: Undo goes back one step only, to the sample.
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("PushButton4")), Qt::LeftButton);
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("PushButton3")), Qt::LeftButton);
    form.List2()->setFocus();
    QTest::keyClick(form.List2(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(form.Text1(0)->text(), QStringLiteral("Corvanti"));
    QCOMPARE(ReadSetting(QStringLiteral("Text1_0")), QStringLiteral("Corvanti"));
    QCOMPARE(form.List1()->count(), 20);
    QCOMPARE(ReadSetting(QStringLiteral("List2")),
             QStringLiteral("Weekly Lawn Cutting;Bi-Weekly Weeding and Cutting;"
                            "Bi-Monthly Planting;Pruning;"));
    QVERIFY(!undo->isEnabled());
    QTest::keyClick(form.List2(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(form.List1()->count(), 20);

    // In a field, Ctrl+Z is the field's own undo of its typing.
    form.PushButton4_Click();
    form.PushButton3_Click();
    form.Text1(7)->setFocus();
    QTest::keyClicks(form.Text1(7), QStringLiteral("abc"));
    QTest::keyClick(form.Text1(7), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(form.Text1(7)->text(), QString());
    QCOMPARE(form.List1()->count(), 0);
    QVERIFY(undo->isEnabled());

    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestForm1::about_namesVersionEngineAndLicence()
{
    QCoreApplication::setApplicationVersion(QStringLiteral("2.3.4"));
    Form1 form;
    form.findChild<QAction*>(QStringLiteral("AboutAction"))->trigger();
    m_engine->missing = true;
    form.findChild<QAction*>(QStringLiteral("AboutAction"))->trigger();
    QCoreApplication::setApplicationVersion(QString());

    QCOMPARE(m_dialogs->messages().size(), 2);
    QCOMPARE(m_dialogs->shown().first().title, QStringLiteral("About Pellamont"));
    const QString about = m_dialogs->messages().first();
    QVERIFY2(about.startsWith(QStringLiteral("Pellamont 2.3.4\n")), qPrintable(about));
    QVERIFY(about.contains(QStringLiteral("Document engine: Stand-in Office 7.4.1")));
    QVERIFY(about.contains(QStringLiteral("Licence: ")));
    // The engine's session is quit; without an engine the box says why.
    QCOMPARE(m_engine->quits, m_engine->starts - 1);
    QVERIFY(m_dialogs->messages().last().contains(
        QStringLiteral("Document engine: not available (soffice: not found)")));
}

QTEST_MAIN(TestForm1)
#include "tst_form1.moc"
