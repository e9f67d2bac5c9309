#pragma once

// What a document holds, read through the office, for checks of the template
// and of filled documents by the tests, the benchmarks and the tools. Not part
// of the program. Lengths in twips, positions from the page's top-left corner.

#include "generate/word.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <vector>

// What a picture object holds.
struct OfficePictureFacts
{
    QSize pixels;
    bool alpha = false;  // it has an alpha channel
    bool linked = false; // it shows a file instead of holding the picture
};

struct OfficeShapeFacts
{
    enum class Kind { TextFrame, Picture, Group, Other };
    Kind kind = Kind::Other;
    QString text; // paragraphs joined by "\r" (Word's paragraph mark); a line break is "\n"
    QStringList paragraphs;
    int left = 0, top = 0, width = 0, height = 0;
    bool topToBottom = false; // the text runs from top to bottom
    int lineColor = -1;       // RGB of a group's lines; -1 when mixed or none
    int lineCount = 0;        // lines in a group
    int lineWidthHundredthsMm = 0;
    OfficePictureFacts picture; // for a picture
};

struct OfficeDocumentFacts
{
    int pageWidth = 0, pageHeight = 0;
    int leftMargin = 0, rightMargin = 0;
    // As Word counts them: from the page edge to the body text.
    int topMargin = 0, bottomMargin = 0;
    int headerDistance = 0;
    int pageCount = 0;
    QString bodyText;
    QStringList headerTexts;
    int headerPictures = 0;
    QStringList storyTexts;
    std::vector<OfficeShapeFacts> shapes; // the floating shapes, as Shapes lists them
};

// Throws Failure when the document is not one of the office engine's.
OfficeDocumentFacts inspectOfficeDocument(Word::Document& document);

// Closes every document the office of `application` holds, whoever opened
// it, as an office that drops documents behind the program's back would;
// returns how many it closed.
int closeEveryOfficeDocument(Word::Application& application);
