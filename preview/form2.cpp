#include "preview/form2.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/errorreport.h"
#include "base/mainmodule.h"
#include "base/savefolder.h"
#include "base/shutdown.h"
#include "base/twips.h"
#include "gui/windowkit.h"
#include "gui/windowmenus.h"
#include "preview/picturebox.h"
#include "preview/savecopy.h"
#include "preview/zoomscroll.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <limits>
#include <optional>
#include <utility>

namespace {

constexpr int kClientWidth = 9840;
constexpr int kClientHeight = 9390;
constexpr int kViewportWidth = 9330;
constexpr int kViewportHeight = 7425;
// A sunken two-pixel border around the viewport; the surface moves inside it.
constexpr int kViewportBorder = 2 * kTwipsPerPixel;
constexpr int kViewportInnerWidth = kViewportWidth - 2 * kViewportBorder;
constexpr int kViewportInnerHeight = kViewportHeight - 2 * kViewportBorder;

int pixels(double twips)
{
    return ZoomScroll::roundHalfEven(twips / kTwipsPerPixel);
}

double twips(int pixels)
{
    return double(pixels) * kTwipsPerPixel;
}

QScrollBar* makeScrollBar(QWidget* parent, const char* name, Qt::Orientation orientation,
                          QRect place)
{
    auto* bar = new QScrollBar(orientation, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setGeometry(place);
    bar->setRange(0, std::numeric_limits<qint16>::max());
    // An arrow or a click in the track moves one unit; the picture follows
    // the thumb only once it is let go.
    bar->setSingleStep(1);
    bar->setPageStep(1);
    bar->setTracking(false);
    return bar;
}

} // namespace

Form2::Form2(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form2"));
    WindowKit::makeFixedWindow(
        this, QSize(pixelsFromTwips(kClientWidth), pixelsFromTwips(kClientHeight)));
    setMouseTracking(true);

    makePage();

    VScroll1 = makeScrollBar(this, "VScroll1", Qt::Vertical, twipsRect(9450, 120, 255, 7425));
    HScroll1 = makeScrollBar(this, "HScroll1", Qt::Horizontal, twipsRect(120, 7545, 9330, 255));
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });

    Frame1 = new QGroupBox(QStringLiteral("Zoom:"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 7860, 9600, 855));
    Frame1->setMouseTracking(true);
    Frame1->installEventFilter(this);

    PushButton1 = WindowKit::makeButton(Frame1, QStringLiteral("PushButton1"),
                                        QStringLiteral("Zoom In"), twipsRect(240, 300, 4440, 405));
    PushButton2 =
        WindowKit::makeButton(Frame1, QStringLiteral("PushButton2"), QStringLiteral("Zoom Out"),
                              twipsRect(4800, 300, 4560, 405));
    PushButton8 = WindowKit::makeButton(this, QStringLiteral("PushButton8"),
                                        QStringLiteral("< Back"), twipsRect(120, 8850, 4680, 405));
    PushButton6 = WindowKit::makeButton(this, QStringLiteral("PushButton6"),
                                        QStringLiteral("Save Results To Word File"),
                                        twipsRect(4920, 8850, 4800, 405));
    for (QPushButton* button : {PushButton1, PushButton2, PushButton8, PushButton6})
        button->installEventFilter(this);
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });

    // Out of sight to the right of the client area.
    Zoom_Ori = new PictureBox(this);
    Zoom_Ori->setObjectName(QStringLiteral("Zoom_Ori"));
    Zoom_Ori->setGeometry(twipsRect(10320, 480, 735, 375));

    WindowKit::centreOnScreen(this);
    Picture2->installEventFilter(this);
    createMenus();

    Form_Load();
}

// The page inside its sunken frame, which clips it.
void Form2::makePage()
{
    auto* viewport = new QFrame(this);
    viewport->setObjectName(QStringLiteral("Picture2"));
    viewport->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    viewport->setLineWidth(pixelsFromTwips(kViewportBorder));
    viewport->setGeometry(twipsRect(120, 120, kViewportWidth, kViewportHeight));
    WindowKit::paintBackground(viewport, Qt::white);
    Picture2 = viewport;

    // The surface is clipped to the area inside the border.
    m_viewportInside = new QWidget(viewport);
    m_viewportInside->setGeometry(
        twipsRect(kViewportBorder, kViewportBorder, kViewportInnerWidth, kViewportInnerHeight));
    WindowKit::paintBackground(m_viewportInside, Qt::white);

    Picture1 = new PictureBox(m_viewportInside);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(twipsRect(0, 0, 2340, 3435));
    Picture1->installEventFilter(this);
}

void Form2::createMenus()
{
    m_menuBar = new QMenuBar(this);
    m_menuBar->setObjectName(QStringLiteral("MenuBar"));
    QMenu* file = m_menuBar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("FileMenu"));
    addMenuItem(this, file, "SaveWordAction", QStringLiteral("Save Results To &Word File..."),
                {QKeySequence(Qt::CTRL | Qt::Key_S)}, [this] { PushButton6_Click(); });
    addMenuItem(this, file, "SavePdfAction", QStringLiteral("Save as &PDF..."),
                {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}, [this] { saveAsPdf(); });
    file->addSeparator();
    addMenuItem(this, file, "PrintAction", QStringLiteral("P&rint..."),
                {QKeySequence(Qt::CTRL | Qt::Key_P)}, [this] { printDocument(); });
    file->addSeparator();
    addMenuItem(this, file, "BackAction", QStringLiteral("< &Back"),
                {QKeySequence(Qt::ALT | Qt::Key_Left)}, [this] { PushButton8_Click(); });
    addMenuItem(this, file, "CloseAction", QStringLiteral("&Close"),
                {QKeySequence(Qt::CTRL | Qt::Key_W)}, [this] { close(); });
    QMenu* view = m_menuBar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("ViewMenu"));
    addMenuItem(this, view, "ZoomInAction", QStringLiteral("Zoom &In"),
                {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                [this] { PushButton1_Click(); });
    addMenuItem(this, view, "ZoomOutAction", QStringLiteral("Zoom &Out"),
                {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, [this] { PushButton2_Click(); });
    createViewCommands(view);
    m_client = placeMenuBarAbove(this, m_menuBar);
}

Form2::~Form2() = default;

void Form2::setPicture(const QImage& picture)
{
    Picture1->setPicture(picture);
}

void Form2::setMainWindow(QWidget* mainWindow)
{
    m_mainWindow = mainWindow;
}

void Form2::setStoreLists(std::function<void()> storeLists)
{
    m_storeLists = std::move(storeLists);
}

void Form2::Form_Load()
{
    Guard guard{Procedure::Form2_Form_Load};
    guard(100, [&] { mFirstActivate = true; });
    guard(102, [&] { Main::ResetFormColors(this); });
    guard(104, [&] {
        setWindowTitle(QString::fromLatin1(kDisplayName));
        setWindowIcon(programIcon());
    });
    const QString cursorFile = WindowKit::handCursorFile();
    if (guard.test(108, [&] { return Main::FileExists(cursorFile); }))
        guard(110, [&] { m_pointer.loadCustomCursor(cursorFile); });
}

void Form2::Form_Activate()
{
    Guard guard{Procedure::Form2_Form_Activate};
    if (guard.test(100, [&] { return mFirstActivate; })) {
        guard(106, [&] {
            Picture1->sizeToPicture();
            if (Picture1->picture().isNull())
                throw Failure(QStringLiteral("There is no page picture to show: it is missing "
                                             "or empty. Go back and create the template again."));
        });
        guard(110, [&] {
            QPalette white = Picture1->palette();
            white.setColor(QPalette::Window, Qt::white);
            Picture1->setPalette(white);
        });
        guard(116, [&] { Zoom_Ori->setVisible(false); });
        guard(118, [&] { Zoom_Ori->resize(Picture1->width(), Zoom_Ori->height()); });
        guard(120, [&] { Zoom_Ori->resize(Zoom_Ori->width(), Picture1->height()); });
        guard(122, [&] { Zoom_Ori->setPicture(Picture1->picture()); });
        guard(124, [&] {
            mZoom = 1.0f;
            m_shownZoom = 1.0f;
        });
        guard(126, [&] { mOrigWidth = ZoomScroll::baseLength(twips(Zoom_Ori->width())); });
        guard(128, [&] { mOrigHeight = ZoomScroll::baseLength(twips(Zoom_Ori->height())); });
        guard(130, [&] { mZoomWidth = ZoomScroll::zoomedLength(1.0f, mOrigWidth); });
        guard(132, [&] { mZoomHeight = ZoomScroll::zoomedLength(1.0f, mOrigHeight); });
        guard(134, [&] { RedrawImage(); });
        guard(136, [&] { SetupScrollbars(); });
    }
    guard(138, [&] { mFirstActivate = false; });
}

void Form2::PushButton8_Click()
{
    Guard guard{Procedure::Form2_PushButton8_Click};
    guard(102, [&] { Main::DeleteFileQuietly(mWordFile); });
    guard(104, [&] {
        if (!m_mainWindow)
            throw Failure(QStringLiteral("The main window is not there to go back to"));
        m_mainWindow->show();
    });
    guard(106, [&] {
        hide();
        mFirstActivate = true;
    });
}

void Form2::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    event->accept();
    Form_Unload();
}

void Form2::Form_QueryUnload()
{
    Guard guard{Procedure::Form2_Form_QueryUnload};
    guard(100, [&] { Main::DeleteFileQuietly(mWordFile); });
    guard(102, [&] { QCoreApplication::processEvents(); });
    guard(104, [&] { QCoreApplication::processEvents(); });
    // The main window is closed without being asked, so its lists would
    // otherwise be lost with every change made since it last closed.
    guard(106, [&] {
        if (m_storeLists)
            m_storeLists();
    });
}

void Form2::Form_Unload()
{
    Shutdown::endProgram(0);
}

bool Form2::event(QEvent* event)
{
    // An activation can be delivered late, after "< Back" has hidden the
    // window; taken then, it would run the setup on the old page and leave
    // the next showing with nothing to set up, so the new page never appears.
    if (event->type() == QEvent::WindowActivate && isVisible())
        Form_Activate();
    return QWidget::event(event);
}

void Form2::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Some platforms never activate a window that is shown; the first showing
    // of a picture must be set up all the same. Activation afterwards finds
    // the setup done and changes nothing.
    if (mFirstActivate)
        Form_Activate();
    // One box, shown once the page is there, rather than a line in the
    // window, which would move the window's controls.
    if (!m_fitNotice.isEmpty()) {
        QTimer::singleShot(0, this, [this] {
            const QString notice = std::exchange(m_fitNotice, QString());
            if (!notice.isEmpty() && isVisible())
                Dialogs::current().notice(this, QString::fromLatin1(kDisplayName), notice);
        });
    }
}

bool Form2::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    // Over the page, or over the viewport around a small page.
    if ((watched == Picture1 || watched == Picture2) && type == QEvent::Wheel &&
        (zoomByWheel(event) || scrollByWheel(event)))
        return true;
    if (watched == Picture1 && (type == QEvent::MouseButtonPress || type == QEvent::MouseMove ||
                                type == QEvent::MouseButtonRelease)) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (type == QEvent::MouseButtonPress) {
            picture1_MouseDown(mouse);
            return true;
        }
        if (type == QEvent::MouseMove) {
            picture1_MouseMove(mouse);
            return true;
        }
        if (type == QEvent::MouseButtonRelease) {
            Picture1_MouseUp(mouse);
            return true;
        }
    } else if (type == QEvent::MouseMove) {
        if (qobject_cast<QPushButton*>(watched)) {
            m_pointer.moveOverButton();
        } else if (watched == Frame1) {
            // Moves over a button reach the frame too once the button has
            // ignored them; they belong to the button.
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (!Frame1->childAt(mouse->position().toPoint()))
                m_pointer.moveOverBackground();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form2::mouseMoveEvent(QMouseEvent* event)
{
    // Only the bare window background counts; the viewport, the picture and
    // the scroll bars keep the pointer as it is.
    const QWidget* under = childAt(event->position().toPoint());
    if (!under || under == m_client)
        m_pointer.moveOverBackground();
    QWidget::mouseMoveEvent(event);
}

// Zoom.

void Form2::PushButton1_Click()
{
    Guard guard{Procedure::Form2_PushButton1_Click};
    guard(100, [&] { StepZoom(0); });
}

void Form2::PushButton2_Click()
{
    Guard guard{Procedure::Form2_PushButton2_Click};
    guard(100, [&] { StepZoom(1); });
}

void Form2::StepZoom(qint32 direction)
{
    SetZoom(ZoomScroll::steppedZoom(mZoom, direction));
}

void Form2::SetZoom(float zoom)
{
    if (ZoomScroll::zoomInRange(zoom)) {
        mZoom = zoom;
        RedrawImage();
    }
}

void Form2::RedrawImage()
{
    Guard guard{Procedure::Form2_RedrawImage};
    guard(100, [&] { mZoomWidth = ZoomScroll::zoomedLength(mZoom, mOrigWidth); });
    guard(102, [&] { mZoomHeight = ZoomScroll::zoomedLength(mZoom, mOrigHeight); });
    if (guard.test(104, [&] { return ZoomScroll::withinLimits(mZoomWidth, mZoomHeight); })) {
        guard(106, [&] { Picture1->clearDrawing(); });
        guard(108, [&] { Picture1->resize(pixels(mZoomWidth), Picture1->height()); });
        guard(110, [&] { Picture1->resize(Picture1->width(), pixels(mZoomHeight)); });
        guard(112, [&] {
            const QRect source(0, 0, pixels(mOrigWidth), pixels(mOrigHeight));
            Picture1->drawStretched(Zoom_Ori->picture(), source,
                                    QSize(pixels(mZoomWidth), pixels(mZoomHeight)));
            m_shownZoom = mZoom;
        });
        guard(114, [&] { m_pointer.set(WindowPointer::Default); });
        guard(116, [&] { HScroll1->setValue(0); });
        guard(118, [&] { VScroll1->setValue(0); });
        guard(120, [&] { HScroll1->setEnabled(kViewportInnerWidth < mZoomWidth); });
        guard(122, [&] { VScroll1->setEnabled(kViewportInnerHeight < mZoomHeight); });
    } else {
        // Refused: the view stays as it is, and so does the zoom it was drawn at,
        // so that the next step goes on from what the user sees.
        guard(124, [&] { mZoom = m_shownZoom; });
        guard(126, [&] { mOrigWidth = ZoomScroll::baseLength(twips(Zoom_Ori->width())); });
        guard(128, [&] { mOrigHeight = ZoomScroll::baseLength(twips(Zoom_Ori->height())); });
        guard(130, [&] { mZoomWidth = ZoomScroll::zoomedLength(mZoom, mOrigWidth); });
        guard(132, [&] { mZoomHeight = ZoomScroll::zoomedLength(mZoom, mOrigHeight); });
    }
    showZoom();
}

// Scrolling and drag.

double Form2::surfaceLeft() const
{
    return twips(Picture1->x());
}

double Form2::surfaceTop() const
{
    return twips(Picture1->y());
}

double Form2::surfaceWidth() const
{
    return twips(Picture1->width());
}

double Form2::surfaceHeight() const
{
    return twips(Picture1->height());
}

void Form2::moveSurface(double left, double top)
{
    Picture1->move(pixels(left), pixels(top));
}

void Form2::SetupScrollbars()
{
    Picture1->move(Picture1->x(), 0);
    Picture1->move(0, Picture1->y());
    const auto apply = [](QScrollBar* bar, qint16& step, const ZoomScroll::ScrollSetup& setup) {
        if (!setup.enabled) {
            bar->setEnabled(false);
            step = 0;
            return;
        }
        bar->setEnabled(true);
        bar->setMaximum(*setup.maximum);
        step = setup.step;
        bar->setValue(0);
    };
    apply(HScroll1, mHStep, ZoomScroll::scrollSetup(surfaceWidth(), kViewportWidth));
    apply(VScroll1, mVStep, ZoomScroll::scrollSetup(surfaceHeight(), kViewportHeight));
}

void Form2::HScroll1_Change()
{
    moveSurface(ZoomScroll::scrollOffset(mHStep, HScroll1->value()), surfaceTop());
}

void Form2::VScroll1_Change()
{
    moveSurface(surfaceLeft(), ZoomScroll::scrollOffset(mVStep, VScroll1->value()));
}

void Form2::picture1_MouseDown(QMouseEvent* event)
{
    Guard guard{Procedure::Form2_picture1_MouseDown};
    guard(100, [&] { mDownX = float(event->position().x() * kTwipsPerPixel); });
    guard(102, [&] { mDownY = float(event->position().y() * kTwipsPerPixel); });
}

void Form2::picture1_MouseMove(QMouseEvent* event)
{
    Guard guard{Procedure::Form2_picture1_MouseMove};
    if (!guard.test(100, [&] { return event->buttons() != Qt::NoButton; }))
        return;
    const float x = float(event->position().x() * kTwipsPerPixel);
    const float y = float(event->position().y() * kTwipsPerPixel);
    float left = 0;
    float top = 0;
    guard(104, [&] {
        left = ZoomScroll::dragPosition(float(surfaceLeft()), mDownX, x, kViewportInnerWidth,
                                        surfaceWidth());
    });
    guard(114, [&] {
        top = ZoomScroll::dragPosition(float(surfaceTop()), mDownY, y, kViewportInnerHeight,
                                       surfaceHeight());
    });
    guard(124, [&] { moveSurface(left, top); });
}

void Form2::Picture1_MouseUp(QMouseEvent*)
{
    Guard guard{Procedure::Form2_Picture1_MouseUp};
    const qint32 horizontal = guard.value(100, qint32(0), [&] {
        return ZoomScroll::releasePercent(surfaceLeft(), surfaceWidth(), kViewportWidth);
    });
    const qint32 vertical = guard.value(102, qint32(0), [&] {
        return ZoomScroll::releasePercent(surfaceTop(), surfaceHeight(), kViewportHeight);
    });
    guard(104, [&] { SetHScrollbarByPercent(HScroll1, ZoomScroll::toInt16(horizontal)); });
    guard(106, [&] { SetVScrollbarByPercent(VScroll1, ZoomScroll::toInt16(vertical)); });
}

void Form2::SetHScrollbarByPercent(QScrollBar* HScrollbar, qint16 percent)
{
    if (const auto value = ZoomScroll::valueForPercent(percent, HScrollbar->maximum()))
        HScrollbar->setValue(*value);
}

void Form2::SetVScrollbarByPercent(QScrollBar* VScrollbar, qint16 percent)
{
    if (const auto value = ZoomScroll::valueForPercent(percent, VScrollbar->maximum()))
        VScrollbar->setValue(*value);
}

// Save.

void Form2::PushButton6_Click()
{
    Guard guard{Procedure::Form2_PushButton6_Click};
    const QString title = QStringLiteral("Save File");
    const QString filter = QStringLiteral("Word Files (*.doc)|*.doc");
    QString target;
    std::optional<Dialogs::Answer> answer;
    guard(112, [&] { target = Dialogs::current().saveFile(title, filter); });
    if (!guard.test(116, [&] { return target.isEmpty(); })) {
        if (guard.test(118, [&] { return targetTaken(target); })) {
            guard(120, [&] {
                answer = Dialogs::current().question(applicationTitle(), overwriteQuestion(target));
            });
            // Yes replaces the old file only once the copy is safely written (130).
        } else {
            guard(126, [&] { answer = Dialogs::Answer::Yes; });
        }
    }
    bool copied = true;
    if (guard.test(128, [&] { return answer == Dialogs::Answer::Yes; }))
        copied = guard(130, [&] {
            copyFileSafely(mWordFile, target);
            rememberSaveFolder(target);
        });
    // "Done." only for what is done: a failed copy has had its own report.
    if (copied)
        guard(132,
              [&] { Dialogs::current().message(applicationTitle(), QStringLiteral("Done.")); });
}

bool Form2::zoomByWheel(QEvent* event)
{
    auto* wheel = static_cast<QWheelEvent*>(event);
    if (!(wheel->modifiers() & Qt::ControlModifier))
        return false;
    // One step per notch of a wheel (120); a touchpad's small movements add
    // up to one.
    m_wheelTravel += wheel->angleDelta().y();
    for (; m_wheelTravel >= QWheelEvent::DefaultDeltasPerStep;
         m_wheelTravel -= QWheelEvent::DefaultDeltasPerStep)
        PushButton1_Click();
    for (; m_wheelTravel <= -QWheelEvent::DefaultDeltasPerStep;
         m_wheelTravel += QWheelEvent::DefaultDeltasPerStep)
        PushButton2_Click();
    return true;
}
