#include "windowlesshost.h"

#include "base/failure.h"
#include "base/mainmodule.h"
#include "generate/snapshot.h"

void WindowlessHost::SaveDocAsJPG(const QString& documentPath)
{
    if (m_page == Page::Captured) {
        Snapshot::SaveDocAsJPG(documentPath);
        return;
    }
    QImage page(8, 8, QImage::Format_RGB32);
    page.fill(Qt::white);
    if (!page.save(Main::tempFolder() + QStringLiteral("/temp.bmp"), "BMP"))
        throw Failure(QStringLiteral("cannot write temp.bmp"));
}

void WindowlessHost::loadPreviewPicture(const QString& path)
{
    picture = QImage(path);
    if (picture.isNull())
        throw Failure(QStringLiteral("Invalid picture"));
}
