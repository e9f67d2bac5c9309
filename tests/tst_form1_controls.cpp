#include "base/appinfo.h"
#include "base/settings.h"
#include "entry/form1.h"
#include "form1testing.h"
#include "generate/word.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFontInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <memory>

// The main window's controls: focus, pointer, list buttons, sample and reset,
// layout, menus, Undo and About.
class TestForm1Controls : public QObject, private Form1Fixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

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
    void flyerData_exportThenImport_replacesAsSampleDoesWithUndo();
};

void TestForm1Controls::fieldFocus_selectsWholeText()
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

void TestForm1Controls::pointer_buttonsFramesAndWindow()
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

void TestForm1Controls::pointer_hourglassIsRespected()
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

void TestForm1Controls::add_answers_data()
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

void TestForm1Controls::add_answers()
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

void TestForm1Controls::add_dialogTexts_andSecondList()
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

void TestForm1Controls::delete_selectedItemOnly()
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

void TestForm1Controls::sample_fillsEverythingAndStoresFields()
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

void TestForm1Controls::reset_emptiesEverythingAndStoredFields()
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

void TestForm1Controls::layout_controlsAtTheirPlaces_data()
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

void TestForm1Controls::layout_controlsAtTheirPlaces()
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

void TestForm1Controls::layout_windowFontsAndTabOrder()
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

void TestForm1Controls::menus_shortcutsAndItemsRunTheButtonsHandlers()
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

void TestForm1Controls::undo_bringsBackWhatResetOrSampleReplaced_andStoresIt()
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

void TestForm1Controls::about_namesVersionEngineAndLicence()
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

void TestForm1Controls::flyerData_exportThenImport_replacesAsSampleDoesWithUndo()
{
    Form1 form;
    form.PushButton4_Click();
    form.Text1(12)->setText(QStringLiteral("wren@example.org; \"ö\""));
    const QString file = m_environment->root() + QStringLiteral("/flyer");
    m_dialogs->answerSaveFiles({file});
    form.findChild<QAction*>(QStringLiteral("ExportDataAction"))->trigger();
    QCOMPARE(m_dialogs->messages(), QStringList{QStringLiteral("Done.")});

    form.PushButton3_Click();
    form.Text1(0)->setText(QStringLiteral("Halvard Gardens"));
    m_dialogs->answerOpenFiles({file + QStringLiteral(".json")});
    form.findChild<QAction*>(QStringLiteral("ImportDataAction"))->trigger();
    QCOMPARE(form.Text1(0)->text(), QStringLiteral("Corvanti"));
    QCOMPARE(form.Text1(12)->text(), QStringLiteral("wren@example.org; \"ö\""));
    QCOMPARE(ReadSetting(QStringLiteral("Text1_12")), form.Text1(12)->text());
    QCOMPARE(form.List1()->count(), 20);
    QCOMPARE(ReadSetting(QStringLiteral("List2")),
             QStringLiteral("Weekly Lawn Cutting;Bi-Weekly Weeding and Cutting;"
                            "Bi-Monthly Planting;Pruning;"));
    form.undoReplace();
    QCOMPARE(form.Text1(0)->text(), QStringLiteral("Halvard Gardens"));
    QCOMPARE(form.List1()->count(), 0);

    // A file that is no flyer data changes nothing and says why.
    QFile other(m_environment->root() + QStringLiteral("/other.json"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write(R"({"business_name": "Bolt", "colour": "red"})");
    other.close();
    m_dialogs->answerOpenFiles({other.fileName()});
    form.findChild<QAction*>(QStringLiteral("ImportDataAction"))->trigger();
    QCOMPARE(form.Text1(0)->text(), QStringLiteral("Halvard Gardens"));
    QCOMPARE(m_dialogs->errors().size(), 1);
    QVERIFY2(m_dialogs->errors().first().contains(QStringLiteral("Unknown key \"colour\"")),
             qPrintable(m_dialogs->errors().first()));
}

QTEST_MAIN(TestForm1Controls)
#include "tst_form1_controls.moc"
