#pragma once

#include <QImage>

#include <memory>

class QMimeData;

namespace Main {

// Where ReadClipboardPicture asks for the picture: the system clipboard unless
// a test installed another.
class PictureClipboard
{
public:
    virtual ~PictureClipboard() = default;
    // One request for the clipboard's picture in `format` (0: whatever picture
    // format it offers). A null image when it has none or cannot be read now.
    virtual QImage picture(int format) = 0;
    // False once another program has written the clipboard since this
    // program last did.
    virtual bool holdsOwnContent() { return true; }

    static PictureClipboard& current();
    // Use only for testing; nullptr goes back to the system clipboard.
    static void install(PictureClipboard* clipboard);
};

// How many times the clipboard is asked before giving up: another program may
// be holding it for a moment.
inline constexpr int kClipboardRequests = 1000;

// How long the clipboard is asked at most: a request to another program can
// take a long while, and a thousand of them minutes.
inline constexpr int kClipboardPatienceMilliseconds = 2000;

// The clipboard's picture, asking up to kClipboardRequests times in a row and
// for no longer than kClipboardPatienceMilliseconds; a null image when no
// request succeeded. Never reports a failure.
QImage ReadClipboardPicture(int format);

// Puts the page picture on the clipboard and keeps a copy for ReadPagePicture:
// clipboard managers and sync tools write the clipboard many times a second,
// and the picture may be gone before it is read back.
void PutPagePicture(const QImage& picture);

// The page picture PutPagePicture put there when the clipboard no longer
// holds it (or holds no picture), else the clipboard's picture as
// ReadClipboardPicture(0) gives it. Forgets the kept copy.
QImage ReadPagePicture();

// What the user's clipboard holds, in every format it offers, taken when the
// object is made and given back by restore() (or when the object goes): the
// page picture passes through the clipboard, and the user's copied text or
// picture must not be lost to it. Does nothing without a GUI application.
class ClipboardKeeper
{
public:
    ClipboardKeeper();
    ~ClipboardKeeper();
    Q_DISABLE_COPY_MOVE(ClipboardKeeper)

    void restore();

private:
    std::unique_ptr<QMimeData> m_saved;
};

} // namespace Main
