#include "flyerart.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

const QColor kBrown(153, 51, 0);
const QColor kGold(230, 168, 40);

void drawPin(QPainter& painter, QPointF centre, double scale, const QColor& head,
             const QColor& needle)
{
    painter.save();
    painter.translate(centre);
    painter.rotate(-30);
    painter.setPen(QPen(needle, 0.06 * scale, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(0, 0.05 * scale), QPointF(0, 0.55 * scale));
    painter.setPen(Qt::NoPen);
    painter.setBrush(head);
    painter.drawRoundedRect(QRectF(-0.28 * scale, -0.05 * scale, 0.56 * scale, 0.12 * scale),
                            0.05 * scale, 0.05 * scale);
    painter.drawRect(QRectF(-0.12 * scale, -0.4 * scale, 0.24 * scale, 0.36 * scale));
    painter.drawEllipse(QRectF(-0.22 * scale, -0.58 * scale, 0.44 * scale, 0.22 * scale));
    painter.restore();
}

} // namespace

QImage drawEmblem(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(size / 2.0, size / 2.0);
    const double radius = size * 0.47;

    // A scalloped seal: sixteen bumps around the rim.
    QPainterPath seal;
    const int bumps = 16;
    for (int i = 0; i <= bumps * 8; ++i) {
        const double angle = 2 * M_PI * i / (bumps * 8);
        const double r = radius * (0.94 + 0.06 * std::cos(bumps * angle));
        const QPointF point(centre.x() + r * std::cos(angle), centre.y() + r * std::sin(angle));
        if (i == 0)
            seal.moveTo(point);
        else
            seal.lineTo(point);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(kBrown);
    painter.drawPath(seal);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, radius * 0.78, radius * 0.78);
    painter.setBrush(kGold);
    painter.drawEllipse(centre, radius * 0.7, radius * 0.7);
    drawPin(painter, centre, radius * 1.05, kBrown, QColor(90, 60, 40));
    return image;
}

QImage drawWatermark(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Soft diagonal bands in the emblem's colours, very light.
    painter.setPen(Qt::NoPen);
    const QColor band(253, 247, 240);
    const QColor band2(254, 251, 244);
    for (int i = -height; i < width + height; i += width / 5) {
        QPainterPath stripe;
        stripe.moveTo(i, 0);
        stripe.lineTo(i + width / 10.0, 0);
        stripe.lineTo(i + width / 10.0 - height * 0.6, height);
        stripe.lineTo(i - height * 0.6, height);
        stripe.closeSubpath();
        painter.setBrush((i / (width / 5)) % 2 ? band : band2);
        painter.drawPath(stripe);
    }
    drawPin(painter, QPointF(width * 0.5, height * 0.45), width * 0.45, QColor(249, 238, 228),
            QColor(246, 234, 224));
    return image;
}

QImage drawEmblemOnWatermark(const QImage& emblem, const QImage& watermark, const QRectF& box,
                             double pageWidth, int dpi)
{
    const QSize size(qRound(box.width() * dpi), qRound(box.height() * dpi));
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const double watermarkDpi = watermark.width() / pageWidth;
    const QRectF under(box.left() * watermarkDpi, box.top() * watermarkDpi,
                       box.width() * watermarkDpi, box.height() * watermarkDpi);
    const QRectF whole(QPointF(0, 0), QSizeF(size));
    painter.drawImage(whole, watermark, under);
    painter.drawImage(whole, emblem);
    return image;
}
