#include "generate/snapshot.h"

#include "base/clipboardpicture.h"
#include "base/diskspace.h"
#include "base/errorreport.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "generate/word.h"

#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

#include <memory>

namespace {

template <typename T> T& need(const std::shared_ptr<T>& object)
{
    if (!object)
        throw Failure(QStringLiteral("Object variable not set: the earlier step that provides "
                                     "it failed."));
    return *object;
}

// A bitmap picture is written as a bitmap file. Written whole or not at all,
// so a reader never meets half a picture.
void writePicture(const QImage& picture, const QString& path)
{
    if (picture.isNull())
        throw Failure(QStringLiteral("The clipboard holds no picture of the page."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !picture.save(&file, "BMP") || !file.commit()) {
        DiskSpace::throwIfFull(QFileInfo(path).absolutePath(), DiskSpace::temporaryFolderAdvice());
        throw Failure(QStringLiteral("The picture could not be written to \"%1\": %2")
                          .arg(path, file.errorString()));
    }
}

} // namespace

void SaveDocAsJPG(const QString& documentPath)
{
    const QString path = documentPath;
    Guard guard{QStringLiteral("Form1"), QStringLiteral("SaveDocAsJPG")};
    std::shared_ptr<Word::Application> word;
    std::shared_ptr<Word::Document> document;

    // Once the engine has gone every later step would fail too: one report.
    bool lost = false;
    auto noticingLoss = [&lost](auto step) {
        return [&lost, step]() mutable {
            try {
                step();
            } catch (const Word::EngineLost&) {
                lost = true;
                throw;
            }
        };
    };

    guard(116, [&] { word = Word::CreateApplication(); });
    guard(118, noticingLoss([&] { document = need(word).documents().open(path); }));
    // The picture passes through the clipboard; the user's own content comes
    // back once the picture has been read.
    Main::ClipboardKeeper usersClipboard;
    bool copied = false;
    if (!lost)
        copied = guard(120, noticingLoss([&] { need(need(document).range()).copyAsPicture(); }));
    if (lost) {
        // The picture of the page was never made, and the session is gone.
        try {
            if (word)
                word->quit();
        } catch (...) {
        }
        return;
    }
    guard(122, [&] {
        // Whatever the clipboard holds after a failed copy is some other
        // picture, perhaps the page of an earlier run.
        if (!copied)
            throw Failure(QStringLiteral("The page was not copied, so there is no picture of it."));
        const QImage picture = Main::ReadClipboardPicture(0);
        usersClipboard.restore();
        writePicture(picture, Main::TempFolder() + QStringLiteral("/temp.bmp"));
    });
    guard(124,
          [&] { need(need(word).activeDocument()).close(Word::Document::wdDoNotSaveChanges); });
    guard(126, [&] { need(word).quit(); });
}
