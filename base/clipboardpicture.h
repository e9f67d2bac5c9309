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

    static PictureClipboard& current();
    // Use only for testing; nullptr goes back to the system clipboard.
    static void install(PictureClipboard* clipboard);
};

// How many times the clipboard is asked before giving up: another program may
// be holding it for a moment.
inline constexpr int kClipboardRequests = 1000;

// The clipboard's picture, asking up to kClipboardRequests times in a row; a
// null image when no request succeeded. Never reports a failure.
QImage ReadClipboardPicture(int format);

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
