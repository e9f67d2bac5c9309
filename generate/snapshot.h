#pragma once

#include <QString>

// Has the document engine render the page of the document at `documentPath`
// to the clipboard and writes that picture to "temp.bmp" in the temporary
// folder, in the picture's own format (a bitmap). Failing steps are reported
// with the error box and the next step runs, so the engine is always quit.
void SaveDocAsJPG(const QString& documentPath);
