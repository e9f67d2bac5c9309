#pragma once

#include <QImage>
#include <QWidget>

// A white surface that shows a picture at its natural size and, over it, a
// retained drawing. Both are kept in memory and painted from there, so what
// was drawn survives the surface being covered and uncovered.
class PictureBox final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PictureBox)

public:
    explicit PictureBox(QWidget* parent = nullptr);

    const QImage& picture() const { return m_picture; }
    void setPicture(const QImage& picture);

    // Resizes the surface to its picture.
    void sizeToPicture();

    // The retained drawing; null when cleared.
    const QImage& drawing() const { return m_drawing; }
    void clearDrawing();
    // Draws `source` (a part of some picture, in pixels) stretched over the
    // top-left `size` of the surface, smoothly scaled.
    void drawStretched(const QImage& source, const QRect& sourceRect, const QSize& size);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;
    QImage m_drawing;
};
