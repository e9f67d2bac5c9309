#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QSize>
#include <QString>

class QPushButton;
class QWidget;

// What both windows are made of: their frame, their place on the screen, the
// buttons' font and the colours of the skin. One piece each, so that the two
// windows cannot drift apart.
namespace WindowKit {

// A window of fixed size, `clientSize` in pixels, with a title bar, a system
// menu, minimise and close, and no maximise.
void makeFixedWindow(QWidget* window, QSize clientSize);

// Moves the window to the middle of the primary screen's free area.
void centreOnScreen(QWidget* window);

// Arial, bold, as the windows were designed; where Arial itself is missing
// (Linux), its metric twin Liberation Sans keeps captions within their widths.
QFont arialBold(qreal pointSize);

// A push button named `name` at `place` (pixels) in Arial 11.25 pt bold. It
// follows the mouse, so that the window's pointer rule sees moves over it.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption,
                        const QRect& place);

// Fills the widget's background with `color`.
void paintBackground(QWidget* widget, const QColor& color);

// The hand cursor beside the program, "HAND-M.CUR", that both windows show
// as their custom pointer when it is there.
QString handCursorFile();

} // namespace WindowKit

namespace Main {

// Gives the window and its frames, labels, check boxes and option buttons the
// button-face colour; other controls, picture boxes included, keep theirs.
void ResetFormColors(QWidget* window);

} // namespace Main

// Themes the window with the skin file beside the program, when there is a
// plain file there: the button-face colours of ResetFormColors, then the skin
// itself as a style sheet. Throws Failure when the file cannot be read.
void ApplySkin(QWidget* window);
