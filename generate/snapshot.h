#pragma once

#include <QString>

// The page picture of a filled document. Like TemplateFilling, this holds the
// body of one of the main window's operations, kept beside the Word interface
// it drives: Form1::SaveDocAsJPG forwards here, and failures are reported as
// the main window's (Form1.SaveDocAsJPG), as the user and support know it.
namespace Snapshot {

// Has the document engine render the page of the document at `documentPath`
// to the clipboard and writes that picture to "temp.bmp" in the temporary
// folder, in the picture's own format (a bitmap). Failing steps are reported
// with the error box and the next step runs, so the engine is always quit.
void SaveDocAsJPG(const QString& documentPath);

} // namespace Snapshot
