#pragma once

// The picture work of the office adapter: what kind a floating object is,
// where it stands, and pictures added to and removed from a text document.
// Only the office adapter includes this (it brings in UNO headers).

#include "generate/word.h"
#include "office/officeconnection.h"

#include <QRectF>
#include <QString>

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

#include <vector>

// The floating objects of the document's body in drawing order (those of
// headers and footers left out), as Word's Shapes lists them.
std::vector<css::uno::Reference<css::uno::XInterface>>
floatingShapeObjects(const css::uno::Reference<css::lang::XComponent>& document);

// The MsoShapeType of a floating object: text box, picture, group or other.
int officeShapeType(const css::uno::Reference<css::uno::XInterface>& object);

// A length of the office, in hundredths of a millimetre, in points.
double officePoints(sal_Int32 hundredthsMm);

// Left, Top, Width and Height of a floating object in points, from the page's
// top-left corner. A caller that knows the object is a text frame says so:
// it is then read in fewer calls.
QRectF officeShapePlace(const css::uno::Reference<css::uno::XInterface>& object,
                        bool textFrame = false);

// One picture at each of `places` (points from the page's corner), all
// made from the file at `path`, read once (by the office of `session`, and
// only when the file's bytes differ from those it read last) and embedded in
// the document (not linked), on the first page, in front of the text,
// stretched to the place. The pictures made ready in the document come
// first (taken from `spares`). Throws Failure when the file gives no
// picture.
std::vector<css::uno::Reference<css::uno::XInterface>>
addOfficePictures(const Office::Session& session,
                  const css::uno::Reference<css::lang::XComponent>& document, const QString& path,
                  const std::vector<QRectF>& places, std::vector<Office::SparePicture>& spares);

// What the next document of `connection` in `generation` makes ready: the
// pictures last added with the graphic it keeps.
Office::PicturePlan picturePlan(const std::shared_ptr<Office::Connection>& connection,
                                int generation);

// The pictures of `plan` made in `document`, not yet in its text.
std::vector<Office::SparePicture>
sparePictures(const css::uno::Reference<css::lang::XComponent>& document,
              const Office::PicturePlan& plan);

// Makes a floating object `points` high, its top where it was. Returns its
// height as the office keeps it, in hundredths of a millimetre (the office
// rounds to its own unit).
sal_Int32 setOfficeShapeHeight(const css::uno::Reference<css::uno::XInterface>& object,
                               double points);

// Takes a floating object out of its document.
void removeOfficeShape(const css::uno::Reference<css::uno::XInterface>& object);
