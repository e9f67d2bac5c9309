#pragma once

#include <QString>
#include <QStringList>

// What poppler's tools read from a PDF: pages, page size, the text as
// pdftotext extracts it, and whether every font is embedded.
struct PdfFacts
{
    int pages = 0;
    QString pageSize; // as pdfinfo says it, e.g. "612 x 792 pts (letter)"
    QString text;
    QStringList fonts;
    bool allFontsEmbedded = false;
};

// Fails the running test when the tools cannot read the file.
PdfFacts readPdf(const QString& path);

// The height in points of the first word box poppler finds with exactly the
// text `word` (about the size it is printed at), or -1 when there is none.
double pdfWordHeight(const QString& path, const QString& word);
