#include "generate/pixeldensity.h"
#include "preview/form2.h"
#include "preview/picturebox.h"
#include "previewtesting.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QTest>
#include <QWheelEvent>

#include <memory>

// The page in the preview: its first showing, zoom, scrolling and drag.
class TestPreview : public QObject, private PreviewFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

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
    void densePicture_keepsItsSizeInTwips_andDrawsEveryPixel();
    void fitPageAndWidth_redrawWholeView_andShowPercent();
    void wheelAndKeys_scrollThroughTheBars_data();
    void wheelAndKeys_scrollThroughTheBars();
};

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

void TestPreview::densePicture_keepsItsSizeInTwips_andDrawsEveryPixel()
{
    // A page made for a screen of pixel ratio 2 keeps its density through
    // the picture file the preview is loaded from.
    QImage dense = makePage(600, 800, Qt::blue);
    PixelDensity::mark(dense, 2.0);
    const QString file = m_environment->root() + QStringLiteral("/temp.bmp");
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

void TestPreview::fitPageAndWidth_redrawWholeView_andShowPercent()
{
    present(makePage(612, 792, Qt::blue));
    const auto* percent = m_form->findChild<QLabel*>(QStringLiteral("ZoomLabel"));
    QCOMPARE(percent->text(), QStringLiteral("100 %"));
    // The viewport's inside is 618 x 491 pixels: the page's height decides.
    trigger("FitPageAction");
    QCOMPARE(surface()->geometry(), QRect(0, 0, 379, 491));
    QVERIFY(!bar("HScroll1")->isEnabled() && !bar("VScroll1")->isEnabled());
    QCOMPARE(percent->text(), QStringLiteral("62 %"));
    trigger("FitWidthAction");
    QCOMPARE(surface()->width(), 618);
    QCOMPARE(percent->text(), QStringLiteral("101 %"));
    click("PushButton2"); // the buttons go on from there
    QCOMPARE(percent->text(), QStringLiteral("76 %"));
}

void TestPreview::wheelAndKeys_scrollThroughTheBars_data()
{
    // 1200 x 1600 pixels: ten-twip units on both bars, maxima 867 and 1658.
    QTest::addColumn<QString>("keys"); // none: one notch of the wheel down
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QPoint>("values");
    QTest::newRow("wheel: three lines of 240 twips") << "" << 0 << QPoint(0, 72);
    QTest::newRow("Shift+wheel: sideways") << "" << int(Qt::SHIFT) << QPoint(72, 0);
    QTest::newRow("PageDown: nine tenths of the view") << "PgDown" << 0 << QPoint(0, 663);
    QTest::newRow("Right, Up at the top") << "Right, Up" << 0 << QPoint(24, 0);
    QTest::newRow("End") << "End" << 0 << QPoint(0, 1658);
    QTest::newRow("Home after End") << "End, Right, Home" << 0 << QPoint(0, 0);
}

void TestPreview::wheelAndKeys_scrollThroughTheBars()
{
    QFETCH(QString, keys);
    QFETCH(int, modifiers);
    QFETCH(QPoint, values);
    present(makePage(1200, 1600, Qt::blue));
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    button("PushButton6")->setFocus(); // wherever the focus is
    const QKeySequence sequence(keys);
    for (int i = 0; i < sequence.count(); ++i)
        QTest::keyClick(m_form.get(), sequence[i].key());
    if (keys.isEmpty()) {
        QWheelEvent wheel(QPointF(40, 40), surface()->mapToGlobal(QPointF(40, 40)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::KeyboardModifiers(modifiers),
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(surface(), &wheel);
    }
    QCOMPARE(QPoint(bar("HScroll1")->value(), bar("VScroll1")->value()), values);
    // The page follows the bars, through their own change handlers.
    QCOMPARE(surface()->pos(), -values * 10 / 15);
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
