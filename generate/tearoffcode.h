#pragma once

#include "generate/word.h"

#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The QR code printed on each tear-off tab, so that a passer-by can take a
// photo instead of a tab. The settings key "TearOffCode" holds the code's text
// (empty: no code). A code is drawn at the tab's lower end with modules of
// half a millimetre on paper (smaller ones fail in a phone's camera; larger
// ones would take the room of the tab's text) and error correction level M;
// the tab's text keeps the rest of the tab. The longest text is the one
// whose code, with its quiet zone, is as wide as the tab.
namespace TearOffCode {

// The settings key that holds the text.
inline constexpr auto kSettingsKey = "TearOffCode";

// The tab's printed width in the flyer template: 0.81375 inches.
inline constexpr double kTabWidthPoints = 58.59;
// The smallest module worth printing, in points (0.5 mm).
inline constexpr double kSmallestModulePoints = 72.0 * 0.5 / 25.4;
// The light margin a reader needs around the code, in modules.
inline constexpr int kQuietModules = 4;
// The code's picture has at least this many pixels per inch on paper, a
// printer's resolution, so that its edges stay sharp in the document, the
// PDF and on the printer. More would cost every page picture: the office
// scales each of the eight pictures down pixel by pixel, and at twice this
// the codes took it three times as long.
inline constexpr int kDotsPerInch = 300;

// The code's text as stored: the stored text, or the empty text when the
// store holds none.
QString stored();
// Stores `text` at once (the empty text: no code). Throws Failure when the
// store cannot be written.
void store(const QString& text);

// The most characters of plain text (letters, digits, punctuation of
// US-ASCII) a code as wide as `sidePoints` holds; 0 when no code fits.
int capacity(double sidePoints = kTabWidthPoints);

// Why `text` cannot be a tab's code as wide as `sidePoints`, in plain words
// for the user, or the empty text when it can. Control characters are
// refused, but for the line breaks of a contact card.
QString problem(const QString& text, double sidePoints = kTabWidthPoints);

// The cut lines between the tabs are a point wide, half of it inside each
// tab; a code's picture keeps this far from its tab's sides, so that a code
// as wide as the tab leaves the whole line visible.
inline constexpr double kCutLineClearancePoints = 0.75;

// The code for `text` as a one-bit picture with modules of the smallest
// size (the rest of the tab is left to its text): dark modules black, the
// light ones and the quiet zone white, so that no background shows through
// to a reader (the picture covers no more than the code: the page and the
// cut lines show around it). Its dots per metre give its printed size. Where
// the tab is `sidePoints` wide, the picture keeps kCutLineClearancePoints
// from its sides: the quiet zone of the widest codes loses a little at its
// sides. Throws Failure with problem()'s message when no code as wide as
// `sidePoints` holds the text.
QImage picture(const QString& text, double sidePoints);

// The printed size of `picture`, in points.
QSizeF printedSize(const QImage& picture);

// Where a code's picture goes in a tab: at its lower end, across its middle.
QRectF placeInTab(const QRectF& tab, const QImage& picture);

// Puts the code for `text` on every tear-off tab among `shapes` (the text
// boxes whose `templateTexts`, the texts they had in the template, name the
// tab's fields) and makes each tab's text box end where its code begins, so
// that its text is fitted to the rest. The picture file is written to
// `folder` and removed once the document holds it. Returns how many codes
// were added (they come last in the document's shapes). Throws Failure when
// the text does not fit a tab or the document takes no picture.
int placeOnTabs(Word::Document& document, const std::vector<std::shared_ptr<Word::Shape>>& shapes,
                const QStringList& templateTexts, const QString& text, const QString& folder);

// `text`, a field of a tab that carries a code, with zero-width break
// opportunities (U+200B) in its e-mail and web addresses: before the "@",
// and in a long address also before the dots of its domain and after its
// slashes. The code leaves a tab's line too narrow for a whole address, and
// the layout would otherwise break it within a word.
QString breakableOnTab(const QString& text);

// The texts the dialog offers.
// "tel:" and the phone number's digits, with a leading "+" kept.
QString phoneLink(const QString& phone);
// A contact card (vCard 3.0) with the given details, as short as the format
// allows; empty details are left out, the name always stands.
QString contactCard(const QString& name, const QString& address, const QString& phone,
                    const QString& email);
// Why the contact card with these details is too long for a tab's code, in
// plain words that name the details to shorten, longest first; the empty
// text when it fits.
QString cardTooLong(const QString& name, const QString& address, const QString& phone,
                    const QString& email);

} // namespace TearOffCode
