#pragma once

#include <QImage>
#include <QString>

// The page picture of a filled document, the last phase of template filling.
// It keeps the name of the main window's operation it once was, and failures
// are reported as that one's (Form1.SaveDocAsJPG), as the user and support
// know it.
namespace Snapshot {

// Has the document engine render the page of the document at `documentPath`
// to the clipboard and writes that picture to "temp.bmp" in the temporary
// folder, in the picture's own format (a bitmap). Failing steps are reported
// with the error box and the next step runs, so the engine is always quit.
// Returns the picture as written, so that nobody decodes the file again; a
// null image when none was written.
QImage SaveDocAsJPG(const QString& documentPath);

} // namespace Snapshot
