#pragma once

#include "base/pointersetting.h"
#include "generate/fitnotice.h"
#include "generate/flyerstyle.h"
#include "generate/flyertext.h"
#include "generate/word.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// What template filling needs from the main window and, through it, from the
// preview window. The main window implements it; tests use a plain object.
class GenerationHost
{
public:
    virtual ~GenerationHost() = default;

    // Field `index` (0 to 13): its placeholder token and the user's text.
    virtual QString fieldToken(int index) = 0;
    virtual QString fieldText(int index) = 0;
    // The items of the services list (List1) and of the scheduled services
    // list (List2), in order.
    virtual QStringList services() = 0;
    virtual QStringList scheduledServices() = 0;
    // The picture file for the flyer's picture box, or the empty text for the
    // template's own picture.
    virtual QString flyerPicture() { return {}; }
    // The colour style to make the flyer in.
    virtual FlyerStyle::Style flyerStyle() { return FlyerStyle::Style::Earth; }
    // The text of the tear-off tabs' QR code, or the empty text for none.
    virtual QString tearOffCode() { return {}; }

    // False for a host with no preview (the batch tool): the run ends once
    // the filled document is saved and hands it over through
    // setPreviewWordFile and setPreviewNotice; no page picture is made and
    // no window is shown or hidden.
    virtual bool showsPreview() const { return true; }

    // The main window's mGenerating flag.
    virtual bool generating() const = 0;
    virtual void setGenerating(bool generating) = 0;

    // The main window's mouse pointer.
    virtual void setMousePointer(PointerSetting::Setting setting) = 0;

    // Writes the page picture of the document at `documentPath` to "temp.bmp"
    // in the temporary folder (the main window's SaveDocAsJPG, whose body is
    // Snapshot::SaveDocAsJPG).
    virtual void SaveDocAsJPG(const QString& documentPath) = 0;
    // Loads the picture file at `path`, whatever its format, into the preview
    // window's Picture1, creating the preview window if needed without showing
    // it. Throws Failure when the file cannot be read as a picture.
    virtual void loadPreviewPicture(const QString& path) = 0;
    // Hands the filled document to the preview window (its mWordFile).
    virtual void setPreviewWordFile(const QString& documentPath) = 0;
    // Shows the preview window, not modal, without owner.
    virtual void showPreview() = 0;
    // What the preview tells the user once it has appeared, about text made
    // smaller or text that does not fit ("" for nothing). A host without a
    // preview window has nobody to tell.
    virtual void setPreviewNotice(const QString& notice) { static_cast<void>(notice); }
    virtual void hideMainWindow() = 0;
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
// by FlyerText::columnsToFill), keep that split while both fit at their
// designed size; otherwise the services are spread over both columns
// (FlyerText::balancedColumns) at one size for both, the largest at which
// both fit. `boxes` are the template's boxes in the order of the shapes.
FlyerFit fitFlyer(Word::Document& document, const std::vector<FitNotice::Box>& boxes,
                  const QStringList& services, FlyerText::ServiceColumns columns);

// "Start Creating Template": fills the embedded template with the host's data,
// saves it under a fresh name in the temporary folder, has its page captured
// and shows it in the preview window, hiding the main window. Failures are
// reported through the error box as Form1.PushButton6_Click with the number
// of the failing step. A click that arrives while a run is under way (pending
// events run while the template is written) is ignored.
void PushButton6_Click(GenerationHost& host);

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

} // namespace TemplateFilling
