#include "base/clipboardpicture.h"

#include <QClipboard>
#include <QGuiApplication>

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
};

PictureClipboard*& installed()
{
    static PictureClipboard* value = nullptr;
    return value;
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

QImage ReadClipboardPicture(int format)
{
    QImage picture;
    for (int attempts = 0; attempts < kClipboardRequests; ++attempts) {
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

} // namespace Main
