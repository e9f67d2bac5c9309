#pragma once

#include <QString>

// The filled document made into a PDF by the document engine, for saving
// and for printing.
namespace DocumentOutput {

// The path the PDF is saved at: a name typed without an extension gets ".pdf".
QString pdfTarget(const QString& chosen);

// One session on the document engine: opens the document at `documentPath`
// read-only, exports it as a PDF at `pdfPath`, closes it and quits. The
// document is left exactly as it was. Throws Failure when any step fails or
// the result is not a whole PDF; no half-written file is left at `pdfPath`.
void exportPdf(const QString& documentPath, const QString& pdfPath);

// True when the file at `path` holds a complete PDF: it starts as one and
// its end-of-file mark is there (a cut-off export lacks it).
bool isWholePdf(const QString& path);

} // namespace DocumentOutput
