#include "generate/snapshot.h"

#include "base/atomicwrite.h"
#include "base/clipboardpicture.h"
#include "base/diskspace.h"
#include "base/errorreport.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "generate/word.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>

#include <memory>

namespace {

template <typename T> T& need(const std::shared_ptr<T>& object)
{
    if (!object)
        throw Failure(QStringLiteral("Object variable not set: the earlier step that provides "
                                     "it failed."));
    return *object;
}

// A bitmap picture is written as a bitmap file, whole or not at all. The
// file lives for a moment, so it is not forced to the disk. Returns the
// picture as the file holds it, read from the bytes written rather than
// from the file: what a bitmap keeps of a picture (no transparency, for one)
// is what the preview has always shown.
QImage writePicture(const QImage& picture, const QString& path)
{
    if (picture.isNull())
        throw Failure(QStringLiteral("The clipboard holds no picture of the page."));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !picture.save(&buffer, "BMP"))
        throw Failure(QStringLiteral("The picture of the page could not be made a bitmap."));
    try {
        AtomicWrite::write(path, AtomicWrite::Durability::Quick,
                           [&](QIODevice& file) { return file.write(bytes) == bytes.size(); });
    } catch (const AtomicWrite::Failed& failed) {
        DiskSpace::throwIfFull(QFileInfo(path).absolutePath(), DiskSpace::temporaryFolderAdvice());
        throw Failure(QStringLiteral("The picture could not be written to \"%1\": %2")
                          .arg(path, failed.reason));
    }
    // A bitmap keeps the colours of a picture with or without transparency
    // and drops the transparency itself, as converting does: decoding the
    // bytes again would give the same pixels, more slowly.
    if (picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32) {
        QImage same = picture.convertToFormat(QImage::Format_RGB32);
        same.setDevicePixelRatio(1);
        return same;
    }
    return QImage::fromData(bytes, "BMP");
}

} // namespace

namespace Snapshot {

QImage SaveDocAsJPG(const QString& documentPath)
{
    const QString path = documentPath;
    Guard guard{Procedure::Form1_SaveDocAsJPG};
    std::shared_ptr<Word::Application> word;
    std::shared_ptr<Word::Document> document;

    guard(116, [&] { word = Word::CreateApplication(); });
    guard(118, [&] { document = need(word).documents().open(path); });
    // The picture passes through the clipboard; the user's own content comes
    // back once the picture has been read.
    Main::ClipboardKeeper usersClipboard;
    bool copied = false;
    if (!guard.lost())
        copied = guard(120, [&] { need(need(document).range()).copyAsPicture(); });
    if (guard.lost()) {
        // The picture of the page was never made, and the session is gone.
        try {
            if (word)
                word->quit();
        } catch (...) {
        }
        return {};
    }
    QImage written;
    guard(122, [&] {
        // Whatever the clipboard holds after a failed copy is some other
        // picture, perhaps the page of an earlier run.
        if (!copied)
            throw Failure(QStringLiteral("The page was not copied, so there is no picture of it."));
        const QImage picture = Main::ReadPagePicture();
        usersClipboard.restore();
        written = writePicture(picture, Main::tempFolder() + QStringLiteral("/temp.bmp"));
    });
    guard(124,
          [&] { need(need(word).activeDocument()).close(Word::Document::wdDoNotSaveChanges); });
    guard(126, [&] { need(word).quit(); });
    return written;
}

} // namespace Snapshot
