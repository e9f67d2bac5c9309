#include "base/clipboardpicture.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMimeData>

#include <utility>

namespace Main {

namespace {

class SystemClipboard final : public PictureClipboard
{
public:
    QImage picture(int) override
    {
        // Any format will do: the clipboard converts what it holds to an image.
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return {};
        return QGuiApplication::clipboard()->image();
    }
    bool holdsOwnContent() override
    {
        return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
               QGuiApplication::clipboard()->ownsClipboard();
    }
};

PictureClipboard*& installed()
{
    static PictureClipboard* value = nullptr;
    return value;
}

QImage& keptPagePicture()
{
    static QImage picture;
    return picture;
}

} // namespace

PictureClipboard& PictureClipboard::current()
{
    static SystemClipboard system;
    return installed() ? *installed() : system;
}

void PictureClipboard::install(PictureClipboard* clipboard)
{
    installed() = clipboard;
}

ClipboardKeeper::ClipboardKeeper()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return;
    m_saved = std::make_unique<QMimeData>();
    const QMimeData* held = QGuiApplication::clipboard()->mimeData();
    if (!held)
        return;
    // A picture is taken once and offered again in every picture format; asking
    // for each format would have its owner encode it in each (slow for a large
    // one). Names without "/" are the window system's own targets, not data.
    const bool picture = held->hasImage();
    const QStringList formats = held->formats();
    for (const QString& format : formats) {
        const bool pictureFormat = format.startsWith(QLatin1String("image/")) ||
                                   format == QLatin1String("application/x-qt-image");
        if (format.contains(QLatin1Char('/')) && !(picture && pictureFormat))
            m_saved->setData(format, held->data(format));
    }
    if (picture)
        m_saved->setImageData(held->imageData());
}

ClipboardKeeper::~ClipboardKeeper()
{
    restore();
}

void ClipboardKeeper::restore()
{
    if (!m_saved)
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (m_saved->formats().isEmpty())
        clipboard->clear();
    else
        clipboard->setMimeData(m_saved.release());
    m_saved.reset();
}

QImage ReadClipboardPicture(int format)
{
    QImage picture;
    QElapsedTimer clock;
    clock.start();
    for (int attempts = 0; attempts < kClipboardRequests &&
                           (attempts == 0 || clock.elapsed() < kClipboardPatienceMilliseconds);
         ++attempts) {
        try {
            picture = PictureClipboard::current().picture(format);
        } catch (...) {
            picture = QImage();
        }
        if (!picture.isNull())
            break;
    }
    return picture;
}

void PutPagePicture(const QImage& picture)
{
    keptPagePicture() = picture;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::clipboard()->setImage(picture);
}

QImage ReadPagePicture()
{
    QImage kept = std::exchange(keptPagePicture(), QImage());
    // Another program's content is not asked for: it is not the page, and
    // asking a busy owner again and again takes seconds.
    if (!kept.isNull() && !PictureClipboard::current().holdsOwnContent())
        return kept;
    const QImage read = ReadClipboardPicture(0);
    return read.isNull() ? kept : read;
}

} // namespace Main
