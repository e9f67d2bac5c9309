#include "mainwindow/flyerpicturemenu.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/failure.h"
#include "mainwindow/flyerpicture.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QWidget>

namespace {
// How large the tooltip shows the picture: the box's proportions, on screen.
constexpr int kThumbnailWidth = 178;
constexpr int kThumbnailHeight = 74;

// The tooltip's thumbnail is inlined, so it always shows the picture in use
// (a file name would be served from the text engine's cache).
QString inlined(const QImage& thumbnail)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    thumbnail.save(&buffer, "PNG");
    return QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64());
}
} // namespace

FlyerPictureMenu::FlyerPictureMenu(QWidget* window)
    : QObject(window), m_choose(new QAction(QStringLiteral("Flyer Picture..."), this)),
      m_standard(new QAction(QStringLiteral("Use the Standard Picture"), this))
{
    m_choose->setObjectName(QStringLiteral("FlyerPictureAction"));
    m_choose->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    m_choose->setShortcutContext(Qt::WindowShortcut);
    m_standard->setObjectName(QStringLiteral("StandardPictureAction"));
    connect(m_choose, &QAction::triggered, this, &FlyerPictureMenu::choosePicture);
    connect(m_standard, &QAction::triggered, this, &FlyerPictureMenu::useStandardPicture);
    // The shortcut works whether or not a menu shows the command.
    window->addAction(m_choose);
    refresh();
}

void FlyerPictureMenu::addTo(QMenu* menu)
{
    menu->addAction(m_choose);
    menu->addAction(m_standard);
    menu->setToolTipsVisible(true);
}

void FlyerPictureMenu::choosePicture()
{
    const QString path = Dialogs::current().openFile(
        QStringLiteral("Flyer Picture"),
        QStringLiteral("Pictures (*.png *.jpg *.jpeg *.gif *.bmp *.svg)|"
                       "*.png;*.jpg;*.jpeg;*.gif;*.bmp;*.svg"));
    if (path.isEmpty())
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QString problem;
    try {
        FlyerPicture::choose(path);
    } catch (...) {
        problem = describeCurrentException();
    }
    QApplication::restoreOverrideCursor();
    refresh();
    if (!problem.isEmpty())
        Dialogs::current().error(applicationTitle(), problem);
}

void FlyerPictureMenu::useStandardPicture()
{
    try {
        FlyerPicture::useStandard();
    } catch (...) {
        Dialogs::current().error(applicationTitle(), describeCurrentException());
    }
    refresh();
}

void FlyerPictureMenu::refresh()
{
    const QString path = FlyerPicture::currentPath();
    const QImage picture = FlyerPicture::current();
    m_standard->setEnabled(!path.isEmpty());
    if (picture.isNull()) {
        m_choose->setIcon(QIcon());
        m_choose->setToolTip(
            path.isEmpty()
                ? QStringLiteral("The flyer shows the standard picture. Choose a picture of "
                                 "your own: PNG, JPEG, GIF, BMP or SVG.")
                : QStringLiteral("The flyer's picture %1 is missing; the flyer shows the "
                                 "standard picture until you choose one again.")
                      .arg(QFileInfo(path).fileName()));
        return;
    }
    m_choose->setIcon(QIcon(QPixmap::fromImage(picture)));
    const QImage thumbnail = picture.scaled(kThumbnailWidth, kThumbnailHeight, Qt::KeepAspectRatio,
                                            Qt::SmoothTransformation);
    m_choose->setToolTip(
        QStringLiteral("<p>The flyer's picture (%1 x %2 pixels):</p><p><img src=\"%3\"></p>")
            .arg(picture.width())
            .arg(picture.height())
            .arg(inlined(thumbnail)));
}
