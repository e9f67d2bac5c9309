#include "preview/form2.h"

#include "base/twips.h"
#include "gui/windowmenus.h"
#include "preview/zoomscroll.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

// The View menu's fitting commands, the zoom figure, and scrolling by wheel
// and keys.

namespace {

// One line of the page, as the arrow keys and the wheel count it: about a
// line of the flyer's body text.
constexpr double kLineTwips = 240;
// A page key keeps this share of the view in sight, so the reader finds the
// line they were on.
constexpr double kPageShare = 0.9;

} // namespace

void Form2::createViewCommands(QMenu* view)
{
    view->addSeparator();
    addMenuItem(this, view, "FitPageAction", QStringLiteral("Fit &Page"),
                {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { fitPage(); });
    addMenuItem(this, view, "FitWidthAction", QStringLiteral("Fit &Width"), {},
                [this] { fitWidth(); });

    m_zoomLabel = new QLabel(m_menuBar);
    m_zoomLabel->setObjectName(QStringLiteral("ZoomLabel"));
    m_zoomLabel->setToolTip(QStringLiteral("Zoom"));
    m_zoomLabel->setContentsMargins(0, 0, 8, 0);
    m_zoomLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Made before it has a text: room for the widest figure, so the bar
    // gives it its place.
    m_zoomLabel->setMinimumWidth(
        m_zoomLabel->fontMetrics().horizontalAdvance(QStringLiteral("0000 %")) + 8);
    m_menuBar->setCornerWidget(m_zoomLabel, Qt::TopRightCorner);

    const double page = m_viewportInside->height() * kTwipsPerPixel * kPageShare;
    const double pageAcross = m_viewportInside->width() * kTwipsPerPixel * kPageShare;
    const auto down = [this](const char* name, const QKeySequence& key, double twips) {
        addWindowKeys(this, name, {key}, [this, twips] { scrollBy(VScroll1, mVStep, twips); });
    };
    const auto across = [this](const char* name, const QKeySequence& key, double twips) {
        addWindowKeys(this, name, {key}, [this, twips] { scrollBy(HScroll1, mHStep, twips); });
    };
    down("LineDownKey", QKeySequence(Qt::Key_Down), kLineTwips);
    down("LineUpKey", QKeySequence(Qt::Key_Up), -kLineTwips);
    down("PageDownKey", QKeySequence(Qt::Key_PageDown), page);
    down("PageUpKey", QKeySequence(Qt::Key_PageUp), -page);
    across("LineRightKey", QKeySequence(Qt::Key_Right), kLineTwips);
    across("LineLeftKey", QKeySequence(Qt::Key_Left), -kLineTwips);
    across("PageRightKey", QKeySequence(Qt::SHIFT | Qt::Key_PageDown), pageAcross);
    across("PageLeftKey", QKeySequence(Qt::SHIFT | Qt::Key_PageUp), -pageAcross);
    addWindowKeys(this, "HomeKey",
                  {QKeySequence(Qt::Key_Home), QKeySequence(Qt::CTRL | Qt::Key_Home)}, [this] {
                      scrollToEnd(VScroll1, false);
                      scrollToEnd(HScroll1, false);
                  });
    addWindowKeys(this, "EndKey", {QKeySequence(Qt::Key_End), QKeySequence(Qt::CTRL | Qt::Key_End)},
                  [this] { scrollToEnd(VScroll1, true); });
}

void Form2::fitPage()
{
    const double width = m_viewportInside->width() * kTwipsPerPixel;
    const double height = m_viewportInside->height() * kTwipsPerPixel;
    SetZoom(
        std::min(ZoomScroll::fitZoom(mOrigWidth, width), ZoomScroll::fitZoom(mOrigHeight, height)));
}

void Form2::fitWidth()
{
    SetZoom(ZoomScroll::fitZoom(mOrigWidth, m_viewportInside->width() * kTwipsPerPixel));
}

void Form2::showZoom()
{
    if (m_zoomLabel)
        m_zoomLabel->setText(
            QStringLiteral("%1 %").arg(ZoomScroll::roundHalfEven(double(m_shownZoom) * 100)));
}

bool Form2::scrollByWheel(QEvent* event)
{
    const auto* wheel = static_cast<QWheelEvent*>(event);
    if (wheel->modifiers() & Qt::ControlModifier)
        return false;
    QPoint delta = wheel->angleDelta();
    // Shift turns a plain wheel sideways, as in every document viewer.
    if ((wheel->modifiers() & Qt::ShiftModifier) && delta.x() == 0)
        delta = QPoint(delta.y(), 0);
    const double notch = kLineTwips * QApplication::wheelScrollLines();
    const double perDelta = notch / int(QWheelEvent::DefaultDeltasPerStep);
    if (delta.y() != 0)
        scrollBy(VScroll1, mVStep, -delta.y() * perDelta);
    if (delta.x() != 0)
        scrollBy(HScroll1, mHStep, -delta.x() * perDelta);
    return true;
}

void Form2::scrollBy(QScrollBar* bar, qint16 step, double twips)
{
    if (!bar->isEnabled())
        return;
    bar->setValue(ZoomScroll::scrolledValue(bar->value(), twips, step, bar->maximum()));
}

void Form2::scrollToEnd(QScrollBar* bar, bool end)
{
    if (bar->isEnabled())
        bar->setValue(end ? bar->maximum() : 0);
}
