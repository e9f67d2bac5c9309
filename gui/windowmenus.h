#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

// Keys named `name` that run `handler` wherever the focus is in `window`,
// without a menu item.
QAction* addWindowKeys(QWidget* window, const char* name, const QList<QKeySequence>& shortcuts,
                       std::function<void()> handler);

// Adds an item named `name` to `menu` that runs `handler`, with `shortcuts`
// that work wherever the focus is in `window`.
QAction* addMenuItem(QWidget* window, QMenu* menu, const char* name, const QString& text,
                     const QList<QKeySequence>& shortcuts, std::function<void()> handler);

// Puts `menuBar` above the client area of a window whose controls are already
// built at their designed places: the controls move, unchanged, into a client
// widget ("ClientArea") below the menu bar, and the fixed-size window grows by
// the menu bar's height and is centred again. Call once, after the menus are
// filled, so the bar has its final height.
QWidget* placeMenuBarAbove(QWidget* window, QMenuBar* menuBar);
