#include "base/failure.h"
#include "gui/windowkit.h"
#include "gui/windowpointer.h"
#include "testenvironment.h"

#include <QFile>
#include <QFontInfo>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>

class TestWindowKit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void button_arialBoldWithItsTwin_namedPlacedAndTracked();
    void window_fixedWithoutMaximise_centredOnScreen();
    void cursor_unreadable_saysWhichFileInOneText_data();
    void cursor_unreadable_saysWhichFileInOneText();
};

void TestWindowKit::button_arialBoldWithItsTwin_namedPlacedAndTracked()
{
    QWidget window;
    QPushButton* button = WindowKit::makeButton(&window, QStringLiteral("PushButton8"),
                                                QStringLiteral("< Back"), QRect(8, 590, 312, 27));
    QCOMPARE(button->parent(), &window);
    QCOMPARE(button->objectName(), QStringLiteral("PushButton8"));
    QCOMPARE(button->text(), QStringLiteral("< Back"));
    QCOMPARE(button->geometry(), QRect(8, 590, 312, 27));
    QVERIFY(button->hasMouseTracking());
    QCOMPARE(button->font().families(),
             QStringList({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")}));
    QCOMPARE(button->font().pointSizeF(), 11.25);
    QVERIFY(button->font().bold());
    // Whichever of the two the machine has is the one drawn.
    const QString drawn = QFontInfo(button->font()).family();
    QVERIFY2(button->font().families().contains(drawn), qPrintable(drawn));
}

void TestWindowKit::window_fixedWithoutMaximise_centredOnScreen()
{
    QWidget window;
    WindowKit::makeFixedWindow(&window, QSize(536, 611));
    QCOMPARE(window.minimumSize(), QSize(536, 611));
    QCOMPARE(window.maximumSize(), QSize(536, 611));
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags & Qt::Window);
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));

    // On a real display (the xcb run of this test), a panel takes the top of
    // the screen: the window is centred on what is left, the work area.
    QScreen* primary = QGuiApplication::primaryScreen();
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        const QRect area(0, 200, primary->geometry().width(), primary->geometry().height() - 200);
        QCOMPARE(
            QProcess::execute(
                QStringLiteral("xprop"),
                {QStringLiteral("-root"), QStringLiteral("-f"), QStringLiteral("_NET_WORKAREA"),
                 QStringLiteral("32c"), QStringLiteral("-set"), QStringLiteral("_NET_WORKAREA"),
                 QStringLiteral("0, 200, %1, %2").arg(area.width()).arg(area.height())}),
            0);
        QTRY_COMPARE(primary->availableGeometry(), area);
    }
    WindowKit::centreOnScreen(&window);
    const QRect screen = primary->availableGeometry();
    const QPoint offset = window.geometry().center() - screen.center();
    QVERIFY2(offset.manhattanLength() <= 1, qPrintable(QString::number(offset.manhattanLength())));
}

void TestWindowKit::cursor_unreadable_saysWhichFileInOneText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("present");
    QTest::newRow("text") << QByteArray("not a cursor") << true;
    // An icon file is no cursor: its type is 1, and it has no hot spot.
    QTest::newRow("icon header") << QByteArray("\0\0\1\0\1\0 \0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 22)
                                 << true;
    QTest::newRow("gone") << QByteArray() << false;
}

void TestWindowKit::cursor_unreadable_saysWhichFileInOneText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, present);
    TestEnvironment environment;
    const QString path = WindowKit::handCursorFile();
    QCOMPARE(path, environment.programFolder() + QStringLiteral("/HAND-M.CUR"));
    if (present) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QWidget window;
    WindowPointer pointer(&window);
    try {
        pointer.loadCustomCursor(path);
        QFAIL("an unreadable cursor file was taken");
    } catch (const Failure& failure) {
        QCOMPARE(failure.description(),
                 QStringLiteral("The cursor file %1 cannot be read as a cursor.").arg(path));
    }
    QVERIFY(!pointer.hasCustomCursor());
}

QTEST_MAIN(TestWindowKit)
#include "tst_windowkit.moc"
