#include "gui/windowmenus.h"

#include "gui/windowkit.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>

namespace {

QAction* bindKeys(QWidget* window, QAction* action, const char* name,
                  const QList<QKeySequence>& shortcuts, std::function<void()> handler)
{
    action->setObjectName(QLatin1String(name));
    action->setShortcuts(shortcuts);
    action->setShortcutContext(Qt::WindowShortcut);
    // Held by the window too, so the shortcuts work while no menu is open.
    window->addAction(action);
    QObject::connect(action, &QAction::triggered, window,
                     [handler = std::move(handler)] { handler(); });
    return action;
}

} // namespace

QAction* addWindowKeys(QWidget* window, const char* name, const QList<QKeySequence>& shortcuts,
                       std::function<void()> handler)
{
    return bindKeys(window, new QAction(window), name, shortcuts, std::move(handler));
}

QAction* addMenuItem(QWidget* window, QMenu* menu, const char* name, const QString& text,
                     const QList<QKeySequence>& shortcuts, std::function<void()> handler)
{
    return bindKeys(window, menu->addAction(text), name, shortcuts, std::move(handler));
}

QWidget* placeMenuBarAbove(QWidget* window, QMenuBar* menuBar)
{
    const QSize clientSize = window->size();
    auto* client = new QWidget(window);
    client->setObjectName(QStringLiteral("ClientArea"));
    const auto controls = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* control : controls) {
        if (control == client || control == menuBar)
            continue;
        // Moving a control hides it; one that was not hidden on purpose shows
        // again with the window.
        const bool hiddenOnPurpose =
            control->isHidden() && control->testAttribute(Qt::WA_WState_ExplicitShowHide);
        control->setParent(client);
        if (!hiddenOnPurpose)
            control->setAttribute(Qt::WA_WState_ExplicitShowHide, false);
    }
    // The windows' own fonts are for their controls; the menus look as
    // menus do everywhere else on the desktop.
    menuBar->setFont(QApplication::font(menuBar));
    menuBar->setNativeMenuBar(false);
    // Pointer moves over the menus are not moves over the window's background.
    menuBar->setAttribute(Qt::WA_NoMousePropagation);
    const int menuHeight = menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, clientSize.width(), menuHeight);
    client->setGeometry(0, menuHeight, clientSize.width(), clientSize.height());
    client->setMouseTracking(window->hasMouseTracking());
    window->setFixedSize(clientSize.width(), clientSize.height() + menuHeight);
    WindowKit::centreOnScreen(window);
    return client;
}
