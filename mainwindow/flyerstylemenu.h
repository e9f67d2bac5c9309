#pragma once

#include "generate/flyerstyle.h"

#include <QObject>

#include <array>

class QAction;
class QMenu;
class QWidget;

// The "Style" submenu: one radio item per colour style of the flyer, each
// with a small swatch of its colours. Choosing one stores it at once.
class FlyerStyleMenu final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FlyerStyleMenu)

public:
    explicit FlyerStyleMenu(QWidget* window);

    // Adds the submenu to `menu` (the window's Flyer menu).
    void addTo(QMenu* menu);

    QAction* action(FlyerStyle::Style style) const
    {
        return m_actions.at(static_cast<std::size_t>(style));
    }

    // Shows the stored style as checked; call after anything else changed it.
    void refresh();

private:
    void choose(FlyerStyle::Style style);

    std::array<QAction*, FlyerStyle::kStyleCount> m_actions{};
};
