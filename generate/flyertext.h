#pragma once

#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <random>

// The texts that template filling puts into the flyer besides the field texts,
// built from plain values so that they can be checked without Word or windows.
namespace FlyerText {

// The bullet that starts every services line and separates scheduled services.
inline constexpr char16_t kBullet = u'\u2022';

struct ServiceColumns
{
    QString first;
    QString second;
};

// The texts for "[Services1]" and "[Services2]". The template has room for ten
// lines in the left column, so a longer list spills items 10 onwards into the
// right one; ten or fewer all stay left and the right column is empty. Each
// item is one line: bullet, three spaces, the item, CR (a new paragraph in the
// text box), the last line included.
ServiceColumns servicesColumns(const QStringList& services);

// The same services spread over both columns: the first half, rounded up,
// in the left one and the rest in the right, so that both can take one size.
// For a list whose columns do not fit at their designed size.
ServiceColumns balancedColumns(const QStringList& services);

// The split the columns are filled with: the designed one (servicesColumns),
// unless either split has a column longer than laidOutColumn keeps. Such a
// list overflows its columns at the designed size many times over, so
// fitting balances it in any case: it goes in balanced at once, and the
// user is told of the cut the page makes.
ServiceColumns columnsToFill(const QStringList& services);

// A piece of the template's text and what it becomes.
struct Edit
{
    QString find;
    QString replace;
};

// The template's lines that join several fields with labels and separators
// ("Phone:  [PhoneNo]   •   Fax:  [FaxNo]"), each rewritten without the
// pieces of its empty fields; a line left with no field keeps one empty
// token, so that removing the empty fields' lines takes it too. None for a
// line whose fields are all filled. `empty` says of a token whether its
// field is empty or blank.
QList<Edit> emptyFieldEdits(const std::function<bool(const QString&)>& empty);

// The one-line text for "[ScheduledServices]": items joined by two spaces, a
// bullet and two spaces, except that the last one is joined by "  and ".
// "A", "B" gives "A  and B". A single item stands alone; no items give "".
QString scheduledServicesText(const QStringList& scheduled);

// Text far beyond what any box of the flyer can show, even made smaller, is
// not put on it: laying it out would keep the user waiting for nothing. Each
// field text and each list text goes in with at most this many characters;
// the services column with the whole items that fit in it.
inline constexpr qsizetype kLaidOutCharacters = 1000;

// `text` cut to at most kLaidOutCharacters units, never inside a character
// as people see it (an emoji sequence, a letter with its accents).
QString laidOutText(const QString& text);

// How many characters `text` has as people count them (grapheme clusters):
// a family emoji or an accented letter is one.
qsizetype characterCount(const QString& text);
// The services column text cut after the last whole line within
// kLaidOutCharacters (a single longer line is cut like a field).
QString laidOutColumn(const QString& column);

// Where the digits of document names come from: one generator for the whole
// program run, seeded once from the system's entropy source. Reseeding per name
// (let alone per digit, from the clock) would repeat names within a second.
// Tests may reseed it to get a known sequence.
std::mt19937& documentNameGenerator();

// "qorvin", eight digits from 1 to 9, ".doc": the file name of a filled
// document in the temporary folder.
QString documentName(std::mt19937& generator);

// The path of a filled document in `folder` that is not taken yet: names are
// drawn until `exists` says no, so a document still owned by a preview window
// (or left by another run) is never overwritten.
QString freeDocumentPath(const QString& folder, std::mt19937& generator,
                         const std::function<bool(const QString&)>& exists);

// Where a picture of `pixels` goes inside the picture box `box`: as large as
// fits with its proportions kept, centred; never stretched or cropped.
QRectF fittedPlace(const QSize& pixels, const QRectF& box);

} // namespace FlyerText
