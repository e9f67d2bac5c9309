#pragma once

#include "base/flyerjson.h"
#include "generate/fitnotice.h"
#include "generate/flyerstyle.h"
#include "generate/flyertext.h"
#include "generate/word.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <functional>

// What one flyer is made of, read from the main window (or a batch row) once
// as the run starts: a plain value, so that the run sees no window.
struct FlyerOrder
{
    // The fourteen fields and both service lists.
    FlyerRecord record;
    // The picture file for the flyer's picture box, or the empty text for the
    // template's own picture.
    QString picture;
    FlyerStyle::Style style = FlyerStyle::Style::Earth;
    // The text of the tear-off tabs' QR code, or the empty text for none.
    QString tearOffCode;
    // False where nobody looks at the page (the batch tool): the run ends once
    // the filled document is saved, and no page picture is made.
    bool pagePicture = true;
};

// What one run made. A run that failed has said why in the error box and
// left no file behind: its document is empty.
struct FilledFlyer
{
    // The filled document, saved under a fresh name in the temporary folder;
    // from here on its owner's to keep or delete.
    QString document;
    // The page picture, marked with its pixel density (PixelDensity): null
    // for an order without one.
    QImage page;
    // What to tell the user once the flyer shows, about text made smaller or
    // text that does not fit ("" for nothing).
    QString notice;

    bool made() const { return !document.isEmpty(); }
};

namespace TemplateFilling {

// How far text is made smaller to fit its box: in steps of 5 % down to 60 %
// of its designed size, never under 6 points, so that it stays legible in print.
inline constexpr Word::TextFitLimits kFitLimits{5, 60, 6.0};

// What fitting made of one flyer: the fits of its boxes, in the order of the
// document's shapes, and the services columns' texts as they now stand.
struct FlyerFit
{
    std::vector<Word::TextFit> fits;
    FlyerText::ServiceColumns columns;
};

// Fits the text of every box of the filled `document` to its box (kFitLimits).
// The services columns, filled with `columns` (the split of `services` made
// by FlyerText::servicesColumns), keep that split while both fit at their
// designed size; otherwise the services are spread over both columns
// (FlyerText::balancedColumns) at one size for both, the largest at which
// both fit. `boxes` are the template's boxes in the order of the shapes.
FlyerFit fitFlyer(Word::Document& document, const std::vector<FitNotice::Box>& boxes,
                  const QStringList& services, FlyerText::ServiceColumns columns);

// The body of "Start Creating Template": fills the embedded template with
// `order`, saves it under a fresh name in the temporary folder and takes its
// page picture. Failures are reported through the error box as
// Form1.PushButton6_Click with the number of the failing step; the main
// window's own steps around the run (the pointer, the preview, mGenerating)
// keep the numbers before and after these.
FilledFlyer makeFlyer(const FlyerOrder& order);

// Lets the document engine work once through the template, off the user's
// path, so that the first "Start Creating Template" is as quick as the later
// ones. Returns at once; never reports anything.
void warmUpEngine();

// The bytes of the Word template the program carries (resource ":/CUSTOM/101").
// Throws Failure when the program holds no template.
QByteArray embeddedTemplate();

// Makes embeddedTemplate() answer from `source` instead; an empty function
// goes back to the resource. Use only for testing.
void setTemplateSourceForTesting(std::function<QByteArray()> source);

// Makes the page picture come from `capture` instead of
// Snapshot::SaveDocAsJPG (which it stands for: it writes "temp.bmp" and
// returns the picture, null for none); an empty function goes back. Use only
// for testing.
void setPageCaptureForTesting(std::function<QImage(const QString& document)> capture);

} // namespace TemplateFilling
