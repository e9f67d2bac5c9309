#include "preview/picturebox.h"

#include "base/failure.h"

#include <QPaintEvent>
#include <QPainter>

PictureBox::PictureBox(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    // Everything shown is repainted from memory; nothing behind shows through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::setPicture(const QImage& picture)
{
    m_picture = picture;
    update();
}

void PictureBox::sizeToPicture()
{
    resize(m_picture.isNull() ? QSize(0, 0) : m_picture.deviceIndependentSize().toSize());
}

void PictureBox::clearDrawing()
{
    m_drawing = QImage();
    update();
}

void PictureBox::drawStretched(const QImage& source, const QRect& sourceRect, const QSize& size)
{
    // Lengths are logical pixels; a dense picture has `density` pixels to each.
    const qreal density = source.devicePixelRatio();
    const QRect part =
        QRect((QRectF(sourceRect).topLeft() * density).toPoint(), sourceRect.size() * density)
            .intersected(source.rect());
    const QSize pixels = size * density;
    if (part.isEmpty() || size.isEmpty()) {
        m_drawing = QImage();
        update();
        return;
    }
    // One smooth scaling straight from the base picture: every zoomed view is
    // made afresh from it, so rounding never builds up from view to view.
    QImage scaled =
        source.copy(part).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (scaled.isNull())
        throw Failure(QStringLiteral("Not enough memory to draw the page at this size"));
    m_drawing = QImage(pixels, QImage::Format_RGB32);
    if (m_drawing.isNull())
        throw Failure(QStringLiteral("Not enough memory to draw the page at this size"));
    m_drawing.fill(Qt::white);
    scaled.setDevicePixelRatio(density);
    m_drawing.setDevicePixelRatio(density);
    QPainter painter(&m_drawing);
    painter.drawImage(0, 0, scaled);
    painter.end();
    update();
}

void PictureBox::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (!m_picture.isNull())
        painter.drawImage(0, 0, m_picture);
    if (!m_drawing.isNull())
        painter.drawImage(0, 0, m_drawing);
}
