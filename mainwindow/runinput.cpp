#include "mainwindow/runinput.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <algorithm>

RunInput::RunInput(std::function<QList<QWidget*>()> windows) : m_windows(std::move(windows))
{
    QCoreApplication::instance()->installEventFilter(this);
}

RunInput::~RunInput()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

void RunInput::drain()
{
    // Qt's events first, then whatever the window system still holds for us,
    // then the events that made.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::sync();
    else
        QCoreApplication::processEvents();
}

bool RunInput::aimedAtWindows(QObject* receiver) const
{
    const QList<QWidget*> windows = m_windows();
    // A menu command's shortcut goes to the command itself, not to a widget:
    // it belongs to the windows whose menus or shortcuts hold it.
    if (const auto* action = qobject_cast<QAction*>(receiver)) {
        const auto holders = action->associatedObjects();
        return std::any_of(holders.begin(), holders.end(), [&](QObject* holder) {
            return holder->isWidgetType() &&
                   windows.contains(static_cast<QWidget*>(holder)->window());
        });
    }
    if (receiver->isWidgetType())
        return windows.contains(static_cast<QWidget*>(receiver)->window());
    if (receiver->isWindowType()) {
        for (QWidget* window : windows) {
            if (window && window->windowHandle() == receiver)
                return true;
        }
    }
    return false;
}

bool RunInput::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Close:
        if (!aimedAtWindows(watched))
            return false;
        m_closeRequested = true;
        event->ignore();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return aimedAtWindows(watched);
    default:
        // Pointer moves stay: the pointer rules keep the hourglass themselves.
        return false;
    }
}
