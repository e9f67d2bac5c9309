// The tear-off tabs' QR code without the office: the three kinds of text as a
// phone's reader decodes them, the texts refused in the dialog, and the
// stored key through the menu, the reset and its undo.

#include "fakeword.h"
#include "findchild.h"
#include "generate/tearoffcode.h"
#include "mainwindow/form1.h"
#include "mainwindow/tearoffcodedialog.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
// What zbarimg, a reader that shares no code with us, reads from `picture`
// drawn on white paper, one line per code.
QString decoded(const QImage& picture, const QString& folder)
{
    QImage paper(picture.size(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    paper.setDotsPerMeterX(picture.dotsPerMeterX());
    paper.setDotsPerMeterY(picture.dotsPerMeterY());
    QPainter(&paper).drawImage(0, 0, picture);
    const QString path = folder + QStringLiteral("/code.png");
    paper.save(path);
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"), {QStringLiteral("--raw"), QStringLiteral("-q"), path});
    zbar.waitForFinished(30000);
    QString text = QString::fromUtf8(zbar.readAllStandardOutput());
    text.chop(1); // the line break zbarimg ends each code with
    return text;
}
} // namespace

class TestTearOffCode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { m_environment = std::make_unique<TestEnvironment>(); }
    void cleanup() { m_environment.reset(); }

    void dialog_eachKind_storedAndDecodedExactly_data();
    void dialog_eachKind_storedAndDecodedExactly();
    void dialog_refusedText_messageAndNothingStored_data();
    void dialog_refusedText_messageAndNothingStored();
    void menu_resetEmptiesKey_undoBringsItBack();
    void breakableOnTab_addressesBreakBetweenParts_data();
    void breakableOnTab_addressesBreakBetweenParts();
    void codesOnTabs_eightReadsAndCutLinesWhole_data();
    void codesOnTabs_eightReadsAndCutLinesWhole();

private:
    std::unique_ptr<TestEnvironment> m_environment;
};

void TestTearOffCode::dialog_eachKind_storedAndDecodedExactly_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("expected");
    QTest::newRow("web address, scheme added") << "WebCodeButton"
                                               << " corvanti.example/book "
                                               << "Tobin Marsh"
                                               << "367.555.0102"
                                               << "https://corvanti.example/book";
    QTest::newRow("phone as a tel: link") << "PhoneCodeButton"
                                          << ""
                                          << "Tobin Marsh"
                                          << "+1 367.555.0102"
                                          << "tel:+13675550102";
    // A card with more than a name is longer than a tab's code holds, but
    // for a short one: line feeds alone, no empty parts.
    QTest::newRow("contact card") << "CardCodeButton"
                                  << ""
                                  << "Ann Li"
                                  << ""
                                  << "BEGIN:VCARD\nVERSION:3.0\nN:Li;Ann\nFN:Ann Li\nEND:VCARD";
    QTest::newRow("contact card, one-word name and phone")
        << "CardCodeButton"
        << ""
        << "Al"
        << "555 0102"
        << "BEGIN:VCARD\nVERSION:3.0\nN:Al\nFN:Al\nTEL:555 0102\nEND:VCARD";
}

void TestTearOffCode::dialog_eachKind_storedAndDecodedExactly()
{
    QFETCH(QString, choice);
    QFETCH(QString, typed);
    QFETCH(QString, name);
    QFETCH(QString, phone);
    QFETCH(QString, expected);
    ScriptedDialogs dialogs;
    TearOffCodeDialog dialog({name, QString(), phone, QString()}, nullptr);
    child<QRadioButton>(&dialog, choice.toLatin1().constData())->setChecked(true);
    child<QLineEdit>(&dialog, "WebAddressEdit")->setText(typed);
    dialog.accept();
    QCOMPARE(dialogs.errors(), QStringList());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(TearOffCode::stored(), expected);
    // Opened again, the dialog shows the stored choice.
    QCOMPARE(TearOffCodeDialog({name, QString(), phone, QString()}, nullptr).chosenText(),
             expected);
    const QImage picture = TearOffCode::picture(expected, TearOffCode::kTabWidthPoints);
    QCOMPARE(picture.format(), QImage::Format_Mono);
    QVERIFY(picture.dotsPerMeterX() >= TearOffCode::kDotsPerInch / 0.0254);
    QVERIFY(TearOffCode::printedSize(picture).width() <= TearOffCode::kTabWidthPoints);
    QCOMPARE(decoded(picture, m_environment->root()), expected);
}

void TestTearOffCode::dialog_refusedText_messageAndNothingStored_data()
{
    QTest::addColumn<QString>("choice");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("message");
    const int most = TearOffCode::capacity();
    QTest::newRow("too long, names how many fit")
        << "WebCodeButton" << QStringLiteral("example.com/") + QString(60, QLatin1Char('a')) << "1"
        << QStringLiteral("holds at most %1").arg(most);
    QTest::newRow("contact card beyond a tab, the details to shorten named")
        << "CardCodeButton"
        << ""
        << "367.555.0102"
        << QStringLiteral("is 133 characters long, and a tab's code holds at most %1, so %2 "
                          "characters must go. Shorten or empty under Flyer Details: the e-mail "
                          "(23 characters), the address (17), the phone number (12), the name (11)")
               .arg(most)
               .arg(133 - most);
    QTest::newRow("control character") << "WebCodeButton"
                                       << "example.com/a\tb"
                                       << "1"
                                       << "control character";
    QTest::newRow("no web address") << "WebCodeButton"
                                    << "  "
                                    << "1"
                                    << "Type the web address";
    QTest::newRow("no phone number") << "PhoneCodeButton"
                                     << ""
                                     << ""
                                     << "no phone number";
}

void TestTearOffCode::dialog_refusedText_messageAndNothingStored()
{
    QFETCH(QString, choice);
    QFETCH(QString, typed);
    QFETCH(QString, phone);
    QFETCH(QString, message);
    // A tab is 0.81 inches wide: 41 modules of 0.5 mm, a version 4 code,
    // which holds 62 bytes at level M.
    QCOMPARE(TearOffCode::capacity(), 62);
    TearOffCode::store(QStringLiteral("tel:1"));
    ScriptedDialogs dialogs;
    TearOffCodeDialog dialog({QStringLiteral("Tobin Marsh"), QStringLiteral("123 Garage Street"),
                              phone, QStringLiteral("tobin.marsh@example.com")},
                             nullptr);
    child<QRadioButton>(&dialog, choice.toLatin1().constData())->setChecked(true);
    child<QLineEdit>(&dialog, "WebAddressEdit")->setText(typed);
    dialog.accept();
    QCOMPARE(dialogs.errors().size(), 1);
    QVERIFY2(dialogs.errors().first().contains(message), qPrintable(dialogs.errors().first()));
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(TearOffCode::stored(), QStringLiteral("tel:1"));
}

void TestTearOffCode::menu_resetEmptiesKey_undoBringsItBack()
{
    FakeWord::Engine::Installed engine;
    ScriptedDialogs dialogs;
    Form1 form;
    form.PushButton4_Click();
    // The menu item opens the dialog on the tab's details.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<TearOffCodeDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        child<QRadioButton>(dialog, "PhoneCodeButton")->setChecked(true);
        dialog->accept();
    });
    child<QAction>(&form, "TearOffCodeAction")->trigger();
    QCOMPARE(TearOffCode::stored(), QStringLiteral("tel:3675550102"));
    // The sample keeps it, the reset empties it, Undo brings it back.
    form.PushButton4_Click();
    QCOMPARE(TearOffCode::stored(), QStringLiteral("tel:3675550102"));
    form.PushButton3_Click();
    QCOMPARE(TearOffCode::stored(), QString());
    form.undoReplace();
    QCOMPARE(TearOffCode::stored(), QStringLiteral("tel:3675550102"));
    QCOMPARE(dialogs.errors(), QStringList());
}

// Where a tab narrowed by its code may break an address ("|" marks a
// zero-width break opportunity); other text is left as typed.
void TestTearOffCode::breakableOnTab_addressesBreakBetweenParts_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("breakable");
    QTest::newRow("e-mail, short domain")
        << u"tobin.marsh@example.com"_s << u"tobin.marsh|@example.com"_s;
    QTest::newRow("e-mail, long domain") << u"me@mail.greenfield-landscaping.example"_s
                                         << u"me|@mail|.greenfield-landscaping|.example"_s;
    QTest::newRow("web address") << u"Book at https://corvanti.example/book/now"_s
                                 << u"Book at https://|corvanti.example/|book/|now"_s;
    QTest::newRow("plain words") << u"Tobin Marsh, 367.555.0102"_s
                                 << u"Tobin Marsh, 367.555.0102"_s;
}

void TestTearOffCode::breakableOnTab_addressesBreakBetweenParts()
{
    QFETCH(QString, typed);
    QFETCH(QString, breakable);
    QCOMPARE(TearOffCode::breakableOnTab(typed).replace(QChar(0x200B), QLatin1Char('|')),
             breakable);
}

// The eight codes over the tear-off strip as the template draws it (a
// point-wide cut line between the tabs), plain and striped as a colour
// style's background is.
void TestTearOffCode::codesOnTabs_eightReadsAndCutLinesWhole_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("striped");
    QTest::newRow("web address, plain page") << u"https://corvanti.example/book"_s << false;
    QTest::newRow("web address, striped page") << u"https://corvanti.example/book"_s << true;
    QTest::newRow("longest text, striped page") << QString(TearOffCode::capacity(), u'a') << true;
}

void TestTearOffCode::codesOnTabs_eightReadsAndCutLinesWhole()
{
    QFETCH(QString, text);
    QFETCH(bool, striped);
    const QRectF tab(0, 0, TearOffCode::kTabWidthPoints, 80);
    const QImage code = TearOffCode::picture(text, tab.width());
    const double scale = code.width() / TearOffCode::printedSize(code).width();
    QImage page((QSizeF(8 * tab.width(), tab.height()) * scale).toSize(), QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.scale(scale, scale);
    for (double y = 0; striped && y < tab.height(); y += 2)
        painter.fillRect(QRectF(0, y, 8 * tab.width(), 1), QColor(0x2a6f97));
    const QColor line(0x99, 0x33, 0x00);
    for (int i = 1; i < 8; ++i)
        painter.fillRect(QRectF(i * tab.width() - 0.5, 0, 1, tab.height()), line);
    for (int i = 0; i < 8; ++i)
        painter.drawImage(TearOffCode::placeInTab(tab.translated(i * tab.width(), 0), code), code);
    painter.end();
    QCOMPARE(decoded(page, m_environment->root()), QStringList(8, text).join(u'\n'));
    for (int i = 1; i < 8; ++i)
        for (const double across : {-0.4, 0.0, 0.4})
            for (int y = 0; y < page.height(); ++y)
                QCOMPARE(QColor(page.pixel(int((i * tab.width() + across) * scale), y)), line);
}

QTEST_MAIN(TestTearOffCode)
#include "tst_tearoffcode.moc"
