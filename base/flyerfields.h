#pragma once

#include <QString>
#include <QStringList>

// What a flyer is made of, in one place: the fourteen fields with their
// tokens in the template, the settings keys the window keeps them under, and
// the sample service lists. The window, template filling and the store all
// read it from here, so a token or key cannot differ between them.
namespace FlyerFields {

// The number of flyer fields (Text1(0) to Text1(13)).
inline constexpr int kFieldCount = 14;
// The first of the tear-off tabs' own fields (Name2 to Phone2), which run to
// the last.
inline constexpr int kFirstTabField = 10;

// The placeholder token of field `index` in the template, e.g. "[BusinessName]".
QString token(int index);

// The caption of field `index` in the main window, colon included
// ("Business Name:"); the window and its messages name a field by it.
QString caption(int index);
// The captions of the frames around List1 and List2.
QString servicesCaption();
QString scheduledServicesCaption();

// The settings key of field `index`: "Text1_" and the index.
QString fieldKey(int index);

// The settings keys of the services list (List1) and the scheduled services
// list (List2).
QString servicesKey();
QString scheduledServicesKey();

// The text "Load Sample/Example Data" puts into field `index`.
QString sampleText(int index);
// The settings key of the flyer's colour style.
QString styleKey();

// The sample items the "Sample" button puts into each list.
const QStringList& sampleServices();
const QStringList& sampleScheduledServices();

// `text` on one line, as a field holds it: every run of line breaks (CR LF,
// LF, CR, vertical tab, form feed, the Unicode line and paragraph
// separators) becomes one space. A field is printed on one line of the
// flyer, and a pasted break would push the rest of the box out of sight.
QString oneLine(const QString& text);

} // namespace FlyerFields
