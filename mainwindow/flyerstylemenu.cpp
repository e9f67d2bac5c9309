#include "mainwindow/flyerstylemenu.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/failure.h"

#include <QAction>
#include <QActionGroup>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace {
QColor rgb(FlyerStyle::Rgb color)
{
    return QColor(QRgb(0xff000000 | color));
}

// The style in small: its page tone with bars of its three text colours, in
// a frame of its line colour, drawn at twice the size for sharp screens.
QIcon swatch(const FlyerStyle::Look& look)
{
    constexpr int kSize = 32;
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(rgb(FlyerStyle::background(look)));
    QPainter painter(&pixmap);
    painter.fillRect(4, 5, 24, 8, rgb(look.colors[0]));
    painter.fillRect(4, 15, 18, 5, rgb(look.colors[1]));
    painter.fillRect(4, 22, 22, 5, rgb(look.colors[2]));
    painter.setPen(QPen(rgb(look.colors[3]), 2));
    painter.drawRect(QRectF(1, 1, kSize - 2, kSize - 2));
    return QIcon(pixmap);
}
} // namespace

FlyerStyleMenu::FlyerStyleMenu(QWidget* window) : QObject(window)
{
    auto* group = new QActionGroup(this);
    group->setExclusive(true);
    for (int i = 0; i < FlyerStyle::kStyleCount; ++i) {
        const auto style = static_cast<FlyerStyle::Style>(i);
        const FlyerStyle::Look& look = FlyerStyle::look(style);
        auto* action = new QAction(swatch(look), QString::fromLatin1(look.name), group);
        action->setObjectName(QStringLiteral("StyleAction_") + FlyerStyle::key(style));
        action->setCheckable(true);
        action->setIconVisibleInMenu(true);
        connect(action, &QAction::triggered, this, [this, style] { choose(style); });
        m_actions.at(static_cast<std::size_t>(i)) = action;
    }
    refresh();
}

void FlyerStyleMenu::addTo(QMenu* menu)
{
    // A submenu of the menu, like the window's other menus, not a window of
    // its own that the window's pointer handling would meet.
    QMenu* styles = menu->addMenu(QStringLiteral("&Style"));
    styles->setObjectName(QStringLiteral("StyleMenu"));
    for (QAction* action : m_actions)
        styles->addAction(action);
}

void FlyerStyleMenu::refresh()
{
    action(FlyerStyle::current())->setChecked(true);
}

void FlyerStyleMenu::choose(FlyerStyle::Style style)
{
    try {
        FlyerStyle::store(style);
    } catch (...) {
        Dialogs::current().error(applicationTitle(), describeCurrentException());
    }
    // A style that could not be stored is not shown as chosen.
    refresh();
}
