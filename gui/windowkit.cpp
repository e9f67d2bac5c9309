#include "gui/windowkit.h"

#include "base/appinfo.h"
#include "base/failure.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStringList>

namespace {

// Enter (or the keypad's Enter) on a focused button presses it, as Space
// does; with Ctrl or another modifier it stays free for the menus' shortcuts.
class EnterPresses final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            (key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier || key->isAutoRepeat())
            return false;
        static_cast<QAbstractButton*>(watched)->animateClick();
        return true;
    }
};

} // namespace

namespace WindowKit {

void makeFixedWindow(QWidget* window, QSize clientSize)
{
    window->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint);
    window->setFixedSize(clientSize);
}

void centreOnScreen(QWidget* window)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect place(QPoint(), window->size());
        place.moveCenter(screen->availableGeometry().center());
        window->move(place.topLeft());
    }
}

QFont arialBold(qreal pointSize)
{
    QFont font(QStringList{QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return font;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& place)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(place);
    button->setFont(arialBold(11.25));
    button->setMouseTracking(true);
    button->installEventFilter(new EnterPresses(button));
    return button;
}

void paintBackground(QWidget* widget, const QColor& color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QString handCursorFile()
{
    return programFolder() + QStringLiteral("/HAND-M.CUR");
}

} // namespace WindowKit

void Main::ResetFormColors(QWidget* window)
{
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    WindowKit::paintBackground(window, buttonFace);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child) ||
            qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child))
            WindowKit::paintBackground(child, buttonFace);
    }
}

void ApplySkin(QWidget* window)
{
    const QString path = programFolder() + QStringLiteral("/x/o.cjs");
    const QFileInfo info(path);
    if (!info.isFile() || info.isHidden())
        return;
    Main::ResetFormColors(window);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(
            QStringLiteral("The skin %1 cannot be read: %2").arg(path, file.errorString()));
    window->setStyleSheet(QString::fromUtf8(file.readAll()));
}
