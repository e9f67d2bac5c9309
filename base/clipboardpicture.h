#pragma once

#include <QImage>

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

} // namespace Main
