#include "base/dialogs.h"
#include "base/errorreport.h"
#include "gui/systemdialogs.h"
#include "scripteddialogs.h"

#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTest>

#include <stdexcept>

class TestErrorReport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_failureOnStartUpLine_hasEveryPartInOrder();
    void box_isTitledApplicationError_andShownOncePerFailure();
    void box_showsPlainText_andWrapsLongPaths();
    void box_shortText_wideEnoughForItsTitle();
    void guard_failingStatement_resumesWithNextStatement();
    void guard_failingCondition_continuesInsideBlock();
    void guard_failingStatementInLoop_reportsEachPassAndFinishes();
    void guard_failureInCalledOperation_reportsCallersLine();
    void guard_anyExceptionType_isDescribed();
};

void TestErrorReport::text_failureOnStartUpLine_hasEveryPartInOrder()
{
    const QString text = applicationErrorText(QStringLiteral("Form1"), QStringLiteral("Form_Load"),
                                              130, QStringLiteral("Invalid property value"));
    QCOMPARE(text,
             QStringLiteral("Invalid property value\r\nin Pellamont2021/08/31.Form1.Form_Load "
                            "at line 130\r\rPlease email screenshot of this message to ") +
                 QLatin1String(kSupportAddress));
}

void TestErrorReport::box_isTitledApplicationError_andShownOncePerFailure()
{
    ScriptedDialogs dialogs;
    ShowApplicationError(QStringLiteral("Form2"), QStringLiteral("picture1_MouseMove"), 104,
                         QStringLiteral("Overflow"));
    QCOMPARE(dialogs.shown().size(), 1);
    QCOMPARE(dialogs.shown().first().kind, ScriptedDialogs::Shown::Error);
    QCOMPARE(dialogs.shown().first().title, QStringLiteral("Application Error"));
    QVERIFY(dialogs.shown().first().text.contains(
        QStringLiteral("in Pellamont2021/08/31.Form2.picture1_MouseMove at line 104\r\r")));
}

void TestErrorReport::box_showsPlainText_andWrapsLongPaths()
{
    // A description holding what looks like markup, and a path with a name
    // of 255 bytes: shown as written, within the screen's width.
    const QString path = QStringLiteral("/home/user/<b>flyers</b>/") +
                         QString(251, QLatin1Char('f')) + QStringLiteral(".doc");
    const QString text = QStringLiteral("Cannot replace ") + path +
                         QStringLiteral(": No space left on device\r\nin <i>Form2</i>");
    for (const auto icon : {QMessageBox::Warning, QMessageBox::NoIcon}) {
        const auto box =
            makeMessageBox(icon, QStringLiteral("Application Error"), text, QMessageBox::Ok);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        QVERIFY(label);
        QCOMPARE(label->textFormat(), Qt::PlainText);
        QString shown = label->text();
        shown.remove(QChar(0x200B));
        QCOMPARE(shown, QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        box->show();
        const int screenWidth = box->screen()->availableGeometry().width();
        QVERIFY2(box->width() <= screenWidth * 3 / 4,
                 qPrintable(QStringLiteral("%1 of %2").arg(box->width()).arg(screenWidth)));
    }
}

void TestErrorReport::box_shortText_wideEnoughForItsTitle()
{
    // "Done." alone made a box of 110 pixels, its title cut to "..".
    const QString title = QStringLiteral("Pellamont: the flyer could not be printed");
    const auto box = makeMessageBox(QMessageBox::NoIcon, title, QStringLiteral("Done."), {});
    box->show();
    QVERIFY(box->width() >= box->fontMetrics().horizontalAdvance(title) + 100);
}

void TestErrorReport::guard_failingStatement_resumesWithNextStatement()
{
    ScriptedDialogs dialogs;
    Guard guard{Procedure::Form1_PushButton3_Click};
    QStringList done;
    QVERIFY(guard(100, [&] { done << QStringLiteral("100"); }));
    QVERIFY(!guard(102, [&] {
        throw Failure(QStringLiteral("Permission denied"));
        done << QStringLiteral("102");
    }));
    QVERIFY(guard(104, [&] { done << QStringLiteral("104"); }));
    QCOMPARE(done, (QStringList{QStringLiteral("100"), QStringLiteral("104")}));
    QCOMPARE(guard.failures(), 1);
    QCOMPARE(dialogs.errors().size(), 1);
    QVERIFY(dialogs.errors().first().startsWith(
        QStringLiteral("Permission denied\r\nin Pellamont2021/08/31.Form1.PushButton3_Click at "
                       "line 102\r\r")));
}

void TestErrorReport::guard_failingCondition_continuesInsideBlock()
{
    ScriptedDialogs dialogs;
    Guard guard{Procedure::Form1_Form_Load};
    bool blockRan = false;
    if (guard.test(136, []() -> bool { throw Failure(QStringLiteral("Type mismatch")); }))
        blockRan = true;
    QVERIFY(blockRan);
    // A condition that holds or fails normally is not disturbed.
    QVERIFY(!guard.test(136, [] { return false; }));
    QCOMPARE(dialogs.errors().size(), 1);
    QVERIFY(dialogs.errors().first().contains(QStringLiteral("at line 136")));

    // A value that cannot be computed gives the fallback and a report.
    const int count =
        guard.value(102, 7, []() -> int { throw Failure(QStringLiteral("Object required")); });
    QCOMPARE(count, 7);
    QCOMPARE(dialogs.errors().size(), 2);
}

void TestErrorReport::guard_failingStatementInLoop_reportsEachPassAndFinishes()
{
    ScriptedDialogs dialogs;
    Guard guard{Procedure::Form1_PushButton6_Click};
    int after = 0;
    for (int pass = 0; pass < 3; ++pass) {
        guard(184, [] { throw Failure(QStringLiteral("Document is closed")); });
        guard(186, [&] { ++after; });
    }
    bool finished = false;
    guard(252, [&] { finished = true; });
    QCOMPARE(dialogs.errors().size(), 3);
    QCOMPARE(after, 3);
    QVERIFY(finished);
    for (const QString& text : dialogs.errors())
        QVERIFY(text.contains(QStringLiteral(".Form1.PushButton6_Click at line 184\r\r")));
}

namespace {
// An operation without a guard of its own, like the skin step of start-up.
void unguardedOperation()
{
    throw Failure(QStringLiteral("File not found: x/o.cjs"));
}
} // namespace

void TestErrorReport::guard_failureInCalledOperation_reportsCallersLine()
{
    ScriptedDialogs dialogs;
    Guard guard{Procedure::Form1_Form_Load};
    guard(100, [] { unguardedOperation(); });
    QCOMPARE(dialogs.errors().size(), 1);
    QVERIFY(dialogs.errors().first().startsWith(
        QStringLiteral("File not found: x/o.cjs\r\nin Pellamont2021/08/31.Form1.Form_Load at "
                       "line 100\r\r")));
}

void TestErrorReport::guard_anyExceptionType_isDescribed()
{
    ScriptedDialogs dialogs;
    Guard guard{Procedure::Form2_RedrawImage};
    guard(112, [] { throw std::runtime_error("bad size"); });
    guard(112, [] { throw 42; });
    QCOMPARE(dialogs.errors().size(), 2);
    QVERIFY(dialogs.errors().at(0).startsWith(QStringLiteral("bad size\r\n")));
    QVERIFY(dialogs.errors().at(1).startsWith(QStringLiteral("Unknown failure\r\n")));
}

QTEST_MAIN(TestErrorReport)
#include "tst_errorreport.moc"
