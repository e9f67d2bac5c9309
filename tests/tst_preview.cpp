#include "base/appinfo.h"
#include "base/mainmodule.h"
#include "base/shutdown.h"
#include "fakeword.h"
#include "generate/pixeldensity.h"
#include "pdffacts.h"
#include "preview/form2.h"
#include "preview/picturebox.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <memory>
#include <unistd.h>

namespace {

// A page-like picture: white with coloured bands, so that a view of it can be
// told from a view of another one.
QImage makePage(int width, int height, QColor band)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < height; y += 40)
        painter.fillRect(0, y, width, 12, band);
    painter.fillRect(0, 0, 20, 20, Qt::black);
    return image;
}

QByteArray documentBytes()
{
    QByteArray bytes("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    for (int i = 0; i < 5000; ++i)
        bytes.append(char((i * 37 + 11) % 256));
    return bytes;
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void sendMouse(QWidget* widget, QEvent::Type type, QPoint local, Qt::MouseButtons buttons,
               Qt::MouseButton button = Qt::NoButton)
{
    QMouseEvent event(type, QPointF(local), QPointF(widget->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// The pointer grabs the surface at `grab` (surface pixels) and moves by
// `offset` pixels in a few steps, as a hand would; the surface moves under it.
void drag(QWidget* surface, QPoint grab, QPoint offset, bool release = true)
{
    const QPoint start = surface->pos() + grab; // in the viewport's coordinates
    sendMouse(surface, QEvent::MouseButtonPress, grab, Qt::LeftButton, Qt::LeftButton);
    const int steps = 4;
    for (int i = 1; i <= steps; ++i) {
        const QPoint pointer = start + offset * i / steps;
        sendMouse(surface, QEvent::MouseMove, pointer - surface->pos(), Qt::LeftButton);
    }
    if (release)
        sendMouse(surface, QEvent::MouseButtonRelease, start + offset - surface->pos(),
                  Qt::NoButton, Qt::LeftButton);
}

} // namespace

class TestPreview : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void layout_everyElementAtItsPlace();
    void firstShow_drawsPageAtNaturalSizeAndSetsUpBars();
    void zoomOut_fourTimesFromOne_stopsAtQuarter();
    void zoomIn_twelveTimes_reachesFourThenStops();
    void zoomIn_overLimits_keepsShownZoom();
    void hugePicture_isShownAtNaturalSize_andZoomsOut();
    void missingPicture_reportsOnce_andZoomStaysQuiet();
    void scrollBars_moveSurfaceByStep();
    void drag_toBothEdgesAndBeyond_synchronisesOnRelease();
    void drag_verticalAndClickWithoutMove_snapToGrid();
    void release_withNoExcess_isQuiet();
    void zoom_afterScroll_returnsToTopLeft_andEnablesBarsBySize();
    void activationAgain_keepsZoomAndScroll();
    void fitNotice_toldOnceAfterShowing_controlsStayInPlace();
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
    void densePicture_keepsItsSizeInTwips_andDrawsEveryPixel();

private:
    // Shows `picture` as the generation step would, with a fresh document.
    void present(const QImage& picture);
    PictureBox* surface() const
    {
        return m_form->findChild<PictureBox*>(QStringLiteral("Picture1"));
    }
    QScrollBar* bar(const char* name) const
    {
        return m_form->findChild<QScrollBar*>(QLatin1StringView(name));
    }
    QPushButton* button(const char* name) const
    {
        return m_form->findChild<QPushButton*>(QLatin1StringView(name));
    }
    QWidget* client() const { return m_form->findChild<QWidget*>(QStringLiteral("ClientArea")); }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void trigger(const char* action)
    {
        m_form->findChild<QAction*>(QLatin1String(action))->trigger();
    }
    // A document of the fake engine, which exports it as a real PDF.
    void presentFakeDocument(const QStringList& texts)
    {
        present(makePage(612, 792, Qt::blue));
        writeFile(m_document, FakeWord::Content{texts, {}, {}}.toBytes());
    }

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<QWidget> m_main;
    std::unique_ptr<Form2> m_form;
    QString m_document;
    int m_storedLists = 0;
};

void TestPreview::init()
{
    m_env = std::make_unique<TestEnvironment>();
    m_dialogs = std::make_unique<ScriptedDialogs>();
    Shutdown::resetForTesting();
    Shutdown::setHandlerForTesting([](int) {});
    m_main = std::make_unique<QWidget>();
    m_form = std::make_unique<Form2>();
    m_form->setMainWindow(m_main.get());
    m_storedLists = 0;
    m_form->setStoreLists([this] { ++m_storedLists; });
    m_document = m_env->systemTemp() + QStringLiteral("/qorvin12345678.doc");
}

void TestPreview::cleanup()
{
    m_form.reset();
    m_main.reset();
    Shutdown::resetForTesting();
    m_dialogs.reset();
    m_env.reset();
}

void TestPreview::present(const QImage& picture)
{
    writeFile(m_document, documentBytes());
    m_form->setPicture(picture);
    m_form->setWordFile(m_document);
    m_form->show();
    m_main->hide();
}

void TestPreview::layout_everyElementAtItsPlace()
{
    present(makePage(612, 792, Qt::blue));
    // The menu bar stands above the client area, which keeps its designed
    // size and every element in it: the window is taller by the bar.
    const auto* menu = m_form->findChild<QMenuBar*>(QStringLiteral("MenuBar"));
    QVERIFY(menu && client());
    QVERIFY(menu->height() > 10);
    QCOMPARE(menu->geometry(), QRect(0, 0, 656, menu->height()));
    QCOMPARE(client()->geometry(), QRect(0, menu->height(), 656, 626));
    QCOMPARE(m_form->size(), QSize(656, 626 + menu->height()));
    QCOMPARE(m_form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 2);
    QCOMPARE(m_form->minimumSize(), m_form->maximumSize());
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Pellamont"));
    QVERIFY(m_form->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(m_form->windowFlags() & Qt::WindowMaximizeButtonHint));

    const struct
    {
        const char* name;
        QRect place;
    } places[] = {
        {"Picture2", QRect(8, 8, 622, 495)},     {"VScroll1", QRect(630, 8, 17, 495)},
        {"HScroll1", QRect(8, 503, 622, 17)},    {"Frame1", QRect(8, 524, 640, 57)},
        {"PushButton1", QRect(16, 20, 296, 27)}, {"PushButton2", QRect(320, 20, 304, 27)},
        {"PushButton8", QRect(8, 590, 312, 27)}, {"PushButton6", QRect(328, 590, 320, 27)},
    };
    for (const auto& element : places) {
        auto* widget = m_form->findChild<QWidget*>(QLatin1StringView(element.name));
        QVERIFY2(widget, element.name);
        QCOMPARE(widget->geometry(), element.place);
        QVERIFY(client()->isAncestorOf(widget));
    }
    QCOMPARE(m_form->findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(),
             QStringLiteral("Zoom:"));
    QCOMPARE(button("PushButton1")->text(), QStringLiteral("Zoom In"));
    QCOMPARE(button("PushButton2")->text(), QStringLiteral("Zoom Out"));
    QCOMPARE(button("PushButton8")->text(), QStringLiteral("< Back"));
    QCOMPARE(button("PushButton6")->text(), QStringLiteral("Save Results To Word File"));
    QCOMPARE(button("PushButton6")->font().pointSizeF(), 11.25);
    QVERIFY(button("PushButton6")->font().bold());
    QVERIFY(button("PushButton6")->font().families().contains(QStringLiteral("Liberation Sans")));
    QVERIFY(!m_form->findChild<QWidget*>(QStringLiteral("Zoom_Ori"))->isVisible());
    // The surface is clipped inside the viewport's border.
    const QRect inside = surface()->parentWidget()->geometry();
    QCOMPARE(inside, QRect(2, 2, 618, 491));
}

void TestPreview::firstShow_drawsPageAtNaturalSizeAndSetsUpBars()
{
    const QImage page = makePage(612, 792, Qt::blue);
    present(page);
    QCOMPARE(m_form->zoom(), 1.0f);
    QCOMPARE(m_form->baseSize(), QSize(9178, 11878));
    QCOMPARE(m_form->zoomedSize(), QSize(9178, 11878));
    QCOMPARE(surface()->geometry(), QRect(0, 0, 612, 792));
    QCOMPARE(surface()->drawing(), page);
    QVERIFY(m_dialogs->shown().isEmpty());

    // 9180 fits the 9330 viewport; 11880 is 4455 too high: 445.5 units, to even 446.
    QVERIFY(!bar("HScroll1")->isEnabled());
    QCOMPARE(m_form->horizontalStep(), qint16(0));
    QVERIFY(bar("VScroll1")->isEnabled());
    QCOMPARE(m_form->verticalStep(), qint16(10));
    QCOMPARE(bar("VScroll1")->maximum(), 446);
    QCOMPARE(bar("VScroll1")->value(), 0);

    // What was drawn survives being covered: it is painted from memory.
    const QImage shown = surface()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.pixelColor(5, 5), QColor(Qt::black));
    QCOMPARE(shown.pixelColor(300, 45), QColor(Qt::blue));
}

void TestPreview::zoomOut_fourTimesFromOne_stopsAtQuarter()
{
    present(makePage(612, 792, Qt::blue));
    const float zooms[] = {0.75f, 0.5f, 0.25f, 0.25f};
    for (float expected : zooms) {
        click("PushButton2");
        QCOMPARE(m_form->zoom(), expected);
        QCOMPARE(m_form->zoomedSize(),
                 QSize(int(std::floor(expected * 9178.0)), int(std::floor(expected * 11878.0))));
    }
    // 2294 × 2969 twips: 153 × 198 pixels, the page stretched down smoothly.
    QCOMPARE(surface()->size(), QSize(153, 198));
    QCOMPARE(surface()->drawing().size(), QSize(153, 198));
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestPreview::zoomIn_twelveTimes_reachesFourThenStops()
{
    present(makePage(100, 120, Qt::red)); // base 1498 × 1798
    for (int press = 0; press < 12; ++press)
        click("PushButton1");
    QCOMPARE(m_form->zoom(), 4.0f);
    QCOMPARE(m_form->zoomedSize(), QSize(5992, 7192));
    click("PushButton1");
    QCOMPARE(m_form->zoom(), 4.0f);
    QCOMPARE(surface()->size(), QSize(399, 479));
    // 5992 × 7192 still fits inside the viewport's 9270 × 7365: no scrolling.
    QVERIFY(!bar("HScroll1")->isEnabled());
    QVERIFY(!bar("VScroll1")->isEnabled());
}

void TestPreview::zoomIn_overLimits_keepsShownZoom()
{
    {
        // Base 9358 × 12958: 1.25 is over the limits; the page stays as it is.
        present(makePage(624, 864, Qt::blue));
        QCOMPARE(m_form->baseSize(), QSize(9358, 12958));
        const QImage before = surface()->drawing();
        click("PushButton1");
        QCOMPARE(m_form->zoom(), 1.0f);
        QCOMPARE(m_form->zoomedSize(), QSize(9358, 12958));
        QCOMPARE(surface()->size(), QSize(624, 864));
        QCOMPARE(surface()->drawing(), before);
        click("PushButton2");
        QCOMPARE(m_form->zoom(), 0.75f);
        QCOMPARE(m_form->zoomedSize(), QSize(7018, 9718));
        QCOMPARE(surface()->size(), QSize(468, 648));
    }
    {
        // At 3.0 a refused step leaves 3.0, so the next step goes on from the view shown.
        m_form->setWordFile(QString());
        click("PushButton8");
        present(makePage(200, 270, Qt::green)); // base 2998 × 4048
        for (int press = 0; press < 8; ++press)
            click("PushButton1");
        QCOMPARE(m_form->zoom(), 3.0f);
        QCOMPARE(m_form->zoomedSize(), QSize(8994, 12144));
        const QSize shown = surface()->size();
        click("PushButton1"); // 3.25: 9743 wide, refused
        QCOMPARE(m_form->zoom(), 3.0f);
        QCOMPARE(m_form->zoomedSize(), QSize(8994, 12144));
        QCOMPARE(surface()->size(), shown);
        click("PushButton2");
        QCOMPARE(m_form->zoom(), 2.75f);
        QCOMPARE(m_form->zoomedSize(), QSize(8244, 11132));
    }
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestPreview::hugePicture_isShownAtNaturalSize_andZoomsOut()
{
    const QImage page = makePage(816, 1000, Qt::blue); // base 12238 × 14998: over the limits
    present(page);
    QVERIFY(m_dialogs->shown().isEmpty());
    QCOMPARE(m_form->zoom(), 1.0f);
    QCOMPARE(surface()->size(), QSize(816, 1000));
    QCOMPARE(surface()->picture(), page);
    QVERIFY(surface()->drawing().isNull());
    QCOMPARE(m_form->horizontalStep(), qint16(10));
    QCOMPARE(bar("HScroll1")->maximum(), 291); // 2910 excess
    QCOMPARE(bar("VScroll1")->maximum(), 758); // 757.5 to even

    click("PushButton2");
    QCOMPARE(m_form->zoom(), 0.75f);
    QCOMPARE(m_form->zoomedSize(), QSize(9178, 11248));
    QCOMPARE(surface()->size(), QSize(612, 750));
    QCOMPARE(surface()->drawing().size(), QSize(612, 750));
}

void TestPreview::missingPicture_reportsOnce_andZoomStaysQuiet()
{
    for (const QImage& picture : {QImage(), QImage(0, 0, QImage::Format_RGB32)}) {
        m_dialogs->clear();
        m_form->setWordFile(QString());
        click("PushButton8");
        present(picture);
        QCOMPARE(m_dialogs->errors().size(), 1);
        const QString report = m_dialogs->errors().first();
        QVERIFY2(report.contains(QStringLiteral("no page picture")), qPrintable(report));
        QVERIFY(report.contains(QStringLiteral("Form2.Form_Activate at line 106")));
        QCOMPARE(m_form->baseSize(), QSize(0, 0));
        click("PushButton1");
        click("PushButton2");
        QCOMPARE(m_dialogs->errors().size(), 1);
        QCOMPARE(surface()->size(), QSize(0, 0));
        QVERIFY(!bar("HScroll1")->isEnabled());
        QVERIFY(!bar("VScroll1")->isEnabled());
    }
}

void TestPreview::scrollBars_moveSurfaceByStep()
{
    present(makePage(816, 1000, Qt::blue));
    bar("HScroll1")->setValue(5); // -50 twips
    QCOMPARE(surface()->x(), -3);
    bar("VScroll1")->setValue(10); // -100 twips
    QCOMPARE(surface()->y(), -7);
    bar("HScroll1")->setValue(291); // -2910 twips, the end of the grid
    QCOMPARE(surface()->x(), -194);
    // One unit per arrow click and per click in the track.
    QCOMPARE(bar("HScroll1")->singleStep(), 1);
    QCOMPARE(bar("HScroll1")->pageStep(), 1);
    QVERIFY(!bar("HScroll1")->hasTracking());

    // A one-twip step for a small excess: 622 + 6 pixels is 90 twips too wide.
    m_form->setWordFile(QString());
    click("PushButton8");
    present(makePage(628, 300, Qt::blue));
    QCOMPARE(m_form->horizontalStep(), qint16(1));
    QCOMPARE(bar("HScroll1")->maximum(), 90);
    bar("HScroll1")->setValue(45);
    QCOMPARE(surface()->x(), -3);
}

void TestPreview::drag_toBothEdgesAndBeyond_synchronisesOnRelease()
{
    present(makePage(816, 1000, Qt::blue)); // 12240 wide: outer excess 2910, inner 2970
    PictureBox* page = surface();

    // 82 pixels (1230 twips) to the left: 42 %, value 122, settles at -1220 (pixel -81).
    drag(page, QPoint(400, 100), QPoint(-82, 0), false);
    QCOMPARE(page->x(), -82);
    QCOMPARE(bar("HScroll1")->value(), 0); // the bars wait for the release
    sendMouse(page, QEvent::MouseButtonRelease, QPoint(400, 100), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(bar("HScroll1")->value(), 122);
    QCOMPARE(page->x(), -81);

    // Far past the right edge: it stops against the inner edge; 102 % leaves the bar alone.
    drag(page, QPoint(400, 100), QPoint(-600, 0));
    QCOMPARE(page->x(), -198);
    QCOMPARE(bar("HScroll1")->value(), 122);

    // Far back past the left edge: left 0, bar 0.
    drag(page, QPoint(100, 100), QPoint(500, 0));
    QCOMPARE(page->x(), 0);
    QCOMPARE(bar("HScroll1")->value(), 0);
    QCOMPARE(page->y(), 0);
    QVERIFY(m_dialogs->shown().isEmpty());

    // A page narrower than the viewport goes against the right edge, and back.
    m_form->setWordFile(QString());
    click("PushButton8");
    present(makePage(200, 200, Qt::red));
    drag(surface(), QPoint(100, 100), QPoint(-50, 0));
    QCOMPARE(surface()->x(), 618 - 200);
    drag(surface(), QPoint(100, 100), QPoint(30, 0));
    QCOMPARE(surface()->x(), 0);
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestPreview::drag_verticalAndClickWithoutMove_snapToGrid()
{
    present(makePage(816, 1000, Qt::blue)); // 15000 high: outer excess 7575, maximum 758
    PictureBox* page = surface();
    drag(page, QPoint(100, 400), QPoint(0, -2000));
    QCOMPARE(page->y(), 491 - 1000); // inner edge
    // 7635 / 7575: 101 %, ignored.
    QCOMPARE(bar("VScroll1")->value(), 0);

    drag(page, QPoint(100, 600), QPoint(0, 200)); // to -309 px = -4635 twips: 61 %
    QCOMPARE(bar("VScroll1")->value(), 462);      // 0.61 × 758 = 462.38
    QCOMPARE(page->y(), -308);                    // -4620 twips

    // A press and release in place also snaps: -45 twips is 1.5 %, 2 % of 291 is 6.
    bar("HScroll1")->setValue(5);
    QCOMPARE(page->x(), -3);
    sendMouse(page, QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton, Qt::LeftButton);
    sendMouse(page, QEvent::MouseButtonRelease, QPoint(50, 50), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(bar("HScroll1")->value(), 6);
    QCOMPARE(page->x(), -4);
    // A move without a button held drags nothing.
    sendMouse(page, QEvent::MouseMove, QPoint(10, 10), Qt::NoButton);
    QCOMPARE(page->pos(), QPoint(-4, -308));
}

void TestPreview::release_withNoExcess_isQuiet()
{
    present(makePage(622, 495, Qt::blue)); // exactly the viewport's outer size
    QVERIFY(!bar("HScroll1")->isEnabled());
    drag(surface(), QPoint(300, 200), QPoint(-10, -10));
    QVERIFY2(m_dialogs->shown().isEmpty(), "a click on the page must not raise an error");
    QCOMPARE(bar("HScroll1")->value(), 0);
    QCOMPARE(bar("VScroll1")->value(), 0);
}

void TestPreview::zoom_afterScroll_returnsToTopLeft_andEnablesBarsBySize()
{
    present(makePage(612, 792, Qt::blue));
    bar("VScroll1")->setValue(100);
    QCOMPARE(surface()->y(), -67);
    click("PushButton2"); // 0.75: 6883 × 8908
    QCOMPARE(surface()->pos(), QPoint(0, 0));
    QCOMPARE(bar("VScroll1")->value(), 0);
    QVERIFY(!bar("HScroll1")->isEnabled());
    QVERIFY(bar("VScroll1")->isEnabled());
    // The range and step stay those of the first showing.
    QCOMPARE(bar("VScroll1")->maximum(), 446);
    click("PushButton2");
    click("PushButton2"); // 0.25: 2969 high, fits
    QVERIFY(!bar("VScroll1")->isEnabled());
}

void TestPreview::activationAgain_keepsZoomAndScroll()
{
    present(makePage(612, 792, Qt::blue));
    click("PushButton2");
    bar("VScroll1")->setValue(30);
    const QPoint position = surface()->pos();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(m_form.get(), &activate);
    QCOMPARE(m_form->zoom(), 0.75f);
    QCOMPARE(surface()->pos(), position);
    QCOMPARE(bar("VScroll1")->value(), 30);
}

void TestPreview::fitNotice_toldOnceAfterShowing_controlsStayInPlace()
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

void TestPreview::back_deletesDocument_andNextPictureStartsAfresh()
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

void TestPreview::close_deletesDocument_storesLists_andEndsProgram()
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

void TestPreview::pointer_followsButtonsFrameAndBackground()
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

void TestPreview::startUp_unreadableCursor_reportedAsInMainWindow()
{
    const QString cursorFile = m_env->programFolder() + QStringLiteral("/HAND-M.CUR");
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

void TestPreview::save_toNewPath_copiesByteForByte_data()
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

void TestPreview::save_toNewPath_copiesByteForByte()
{
    QFETCH(QString, name);
    present(makePage(612, 792, Qt::blue));
    const QString folder = m_env->root() + QStringLiteral("/my files");
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

void TestPreview::save_overExistingFile_asksAndObeys()
{
    present(makePage(612, 792, Qt::blue));
    const QString target = m_env->root() + QStringLiteral("/old flyer.doc");
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

void TestPreview::save_cancelled_writesNothing()
{
    present(makePage(612, 792, Qt::blue));
    const QStringList before = QDir(m_env->root()).entryList(QDir::AllEntries | QDir::Hidden);
    m_dialogs->answerSaveFiles({QString()});
    click("PushButton6");
    QCOMPARE(QDir(m_env->root()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QCOMPARE(m_dialogs->shown().size(), 2);
    QCOMPARE(m_dialogs->messages(), QStringList{QStringLiteral("Done.")});
}

void TestPreview::save_failingCopy_keepsOldFile_andSaysWhy_data()
{
    QTest::addColumn<QString>("failure");
    QTest::newRow("document vanished") << QStringLiteral("vanished");
    QTest::newRow("target is the document itself") << QStringLiteral("itself");
    QTest::newRow("folder does not exist") << QStringLiteral("nofolder");
    QTest::newRow("read-only folder") << QStringLiteral("readonly");
}

void TestPreview::save_failingCopy_keepsOldFile_andSaysWhy()
{
    QFETCH(QString, failure);
    present(makePage(612, 792, Qt::blue));
    const QString folder = m_env->root() + QStringLiteral("/out");
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

void TestPreview::menus_shortcutsAndWheelRunTheButtonsHandlers()
{
    present(makePage(300, 400, Qt::blue));
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    // Wherever the focus is in the window.
    button("PushButton1")->setFocus();
    const auto key = [&](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QTest::keyClick(m_form.get(), key, modifiers);
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
    qputenv("CUPS_SERVER", QFile::encodeName(m_env->root() + QStringLiteral("/no-cups.sock")));
    key(Qt::Key_P, Qt::ControlModifier);
    qunsetenv("CUPS_SERVER");
    QCOMPARE(m_dialogs->errors().size(), 1);
    QVERIFY(m_dialogs->errors().first().contains(QStringLiteral("print")));
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

void TestPreview::savePdf_officesPdf_extensionAdded_replacedOnlyOnYes()
{
    FakeWord::Engine::Installed engine;
    presentFakeDocument({QStringLiteral("Corvanti"), QStringLiteral("Boise, ID 91002")});
    const QByteArray document = readFile(m_document);

    // A name typed without an extension gets ".pdf".
    const QString target = m_env->root() + QStringLiteral("/flyer.pdf");
    m_dialogs->answerSaveFiles({m_env->root() + QStringLiteral("/flyer")});
    trigger("SavePdfAction");
    QCOMPARE(m_dialogs->errors(), QStringList());
    QCOMPARE(m_dialogs->messages(), QStringList{QStringLiteral("Done.")});
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
    const QString link = m_env->root() + QStringLiteral("/link.pdf");
    QVERIFY(QFile::link(target, link));
    writeFile(target, "the old one");
    m_dialogs->clear();
    m_dialogs->answerSaveFiles({link, link});
    m_dialogs->answerQuestions({Dialogs::Answer::No, Dialogs::Answer::Yes});
    trigger("SavePdfAction");
    QCOMPARE(m_dialogs->shown().last().text,
             QStringLiteral("Are you sure you wish to overwrite %1 ?").arg(link));
    QCOMPARE(readFile(target), QByteArray("the old one"));
    QCOMPARE(m_dialogs->messages(), QStringList());
    trigger("SavePdfAction");
    QCOMPARE(m_dialogs->messages(), QStringList{QStringLiteral("Done.")});
    QVERIFY(QFileInfo(link).isSymLink());
    QCOMPARE(readFile(target).left(5), first.left(5));
    QCOMPARE(readPdf(target).pages, 1);
    // Nothing of the export stays in the temporary folder.
    QCOMPARE(
        QDir(Main::tempFolder()).entryList({QStringLiteral("pellamont-pdf-*")}, QDir::AllEntries),
        QStringList());
}

void TestPreview::savePdf_failure_saysWhy_andKeepsEveryFile_data()
{
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("reason");
    QTest::newRow("folder does not exist")
        << QStringLiteral("nofolder") << QStringLiteral("Cannot write to the folder");
    QTest::newRow("folder cannot be written")
        << QStringLiteral("readonly") << QStringLiteral("Cannot write to the folder /proc");
    QTest::newRow("name is a folder") << QStringLiteral("folder") << QStringLiteral("is a folder");
    QTest::newRow("office ends while exporting")
        << QStringLiteral("officeDies") << QStringLiteral("ended while exporting");
    QTest::newRow("document gone")
        << QStringLiteral("vanished") << QStringLiteral("no longer exists");
}

void TestPreview::savePdf_failure_saysWhy_andKeepsEveryFile()
{
    QFETCH(QString, failure);
    QFETCH(QString, reason);
    FakeWord::Engine::Installed engine;
    presentFakeDocument({QStringLiteral("Corvanti")});
    const QByteArray document = readFile(m_document);
    const QString folder = m_env->root() + QStringLiteral("/out");
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
    } else if (failure == QLatin1String("officeDies")) {
        engine->setExportDiesHalfway(true);
    } else {
        QVERIFY(QFile::remove(m_document));
    }
    const QByteArray before = readFile(target);
    m_dialogs->answerSaveFiles({target});
    if (asked)
        m_dialogs->answerQuestions({Dialogs::Answer::Yes});
    trigger("SavePdfAction");

    QCOMPARE(m_dialogs->errors().size(), 1);
    const QString report = m_dialogs->errors().first();
    QVERIFY2(report.contains(reason), qPrintable(report));
    QVERIFY2(m_dialogs->messages().isEmpty(), "nothing was done");
    QCOMPARE(readFile(target), before);
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("flyer.pdf")});
    QCOMPARE(
        QDir(Main::tempFolder()).entryList({QStringLiteral("pellamont-pdf-*")}, QDir::AllEntries),
        QStringList());
    if (failure != QLatin1String("vanished"))
        QCOMPARE(readFile(m_document), document);
    QCOMPARE(engine->runningApplications(), 0);
}

void TestPreview::densePicture_keepsItsSizeInTwips_andDrawsEveryPixel()
{
    // A page made for a screen of pixel ratio 2 keeps its density through
    // the picture file the preview is loaded from.
    QImage dense = makePage(600, 800, Qt::blue);
    PixelDensity::mark(dense, 2.0);
    const QString file = m_env->root() + QStringLiteral("/temp.bmp");
    QVERIFY(dense.save(file, "BMP"));
    QImage loaded(file);
    QCOMPARE(PixelDensity::ratioOf(loaded), 2.0);
    QCOMPARE(PixelDensity::ratioOf(makePage(10, 10, Qt::blue)), 1.0);
    loaded.setDevicePixelRatio(PixelDensity::ratioOf(loaded));

    // The same page in twips as a 300 x 400 picture: the zoom arithmetic is
    // unchanged, but every pixel of the picture is drawn.
    present(loaded);
    QCOMPARE(m_form->baseSize(), QSize(4498, 5998));
    QCOMPARE(surface()->size(), QSize(300, 400));
    QCOMPARE(surface()->drawing().size(), QSize(600, 800));
    QCOMPARE(surface()->drawing().devicePixelRatio(), 2.0);
    QCOMPARE(surface()->drawing().pixelColor(30, 5), QColor(Qt::blue));
    QCOMPARE(surface()->drawing().pixelColor(30, 20), QColor(Qt::white));
    click("PushButton1");
    QCOMPARE(m_form->zoomedSize(), QSize(5622, 7497));
    QCOMPARE(surface()->size(), QSize(375, 500));
    QCOMPARE(surface()->drawing().size(), QSize(750, 1000));
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
