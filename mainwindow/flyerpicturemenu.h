#pragma once

#include <QObject>

class QAction;
class QMenu;
class QWidget;

// The two menu commands that choose the flyer's picture: "Flyer Picture..."
// (Ctrl+Shift+P) opens a file dialog and keeps the chosen picture; "Use the
// Standard Picture" goes back to the emblem. The first command shows the
// current picture as its icon and, larger, in its tooltip.
class FlyerPictureMenu final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FlyerPictureMenu)

public:
    explicit FlyerPictureMenu(QWidget* window);

    // Adds both commands to `menu` (the window's Flyer menu).
    void addTo(QMenu* menu);

    QAction* chooseAction() const { return m_choose; }
    QAction* standardAction() const { return m_standard; }

    void choosePicture();
    void useStandardPicture();
    // Shows the picture in use; call after anything else changed it.
    void refresh();

private:
    QAction* m_choose;
    QAction* m_standard;
};
