#pragma once

#include "generate/word.h"

#include <QSize>
#include <QStringList>

#include <memory>
#include <vector>

// How long the engine waits for the office. Tests shorten them to see a hung
// office handled without waiting a minute.
struct OfficeEngineLimits
{
    int connectMilliseconds = 60000;
    int callMilliseconds = 60000;
    // The office keeps caches that grow with every document it has loaded;
    // after this many applications it is ended and started afresh while the
    // program is idle. 0 keeps it for the whole run.
    int recycleAfterApplications = 40;
};

// `text` without what a Word document cannot hold as text: the control
// characters other than tab, line feed and carriage return (Word gives them
// meanings of its own, such as cell and field marks), unpaired surrogates
// (which also break the connection to the office) and the noncharacters
// U+FFFE and U+FFFF. Everything else is kept exactly.
QString storableText(const QString& text);

// The document engine on a private, hidden LibreOffice process: started by
// prepare() or the first createApplication(), kept warm between applications,
// ended with the engine (and with the program, however it ends).
std::shared_ptr<Word::Engine> createOfficeEngine(OfficeEngineLimits limits = {});

// The page picture's size in pixels: US Letter at 15 twips per pixel would be
// 816 x 1056; this size fits the preview's 633 x 893 pixel page at zoom 1.0
// with the page's own proportions.
inline constexpr int kPagePictureWidth = 633;
inline constexpr int kPagePictureHeight = 819;

// What a picture object holds.
struct OfficePictureFacts
{
    QSize pixels;
    bool alpha = false;  // it has an alpha channel
    bool linked = false; // it shows a file instead of holding the picture
};

// What a document holds, read through the office, for checks of the template
// and of filled documents. Lengths in twips, positions from the page's
// top-left corner.
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

// Throws Failure when the document is not one of this engine's.
OfficeDocumentFacts inspectOfficeDocument(Word::Document& document);
