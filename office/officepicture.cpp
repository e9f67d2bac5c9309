#include "office/officepicture.h"

#include "base/failure.h"
#include "office/officeconnection.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <QDir>
#include <QFile>

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/graphic/GraphicProvider.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/text/HoriOrientation.hpp>
#include <com/sun/star/text/RelOrientation.hpp>
#include <com/sun/star/text/TextContentAnchorType.hpp>
#include <com/sun/star/text/VertOrientation.hpp>
#include <com/sun/star/text/WrapTextMode.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextDocument.hpp>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <vector>

namespace {
// The office measures in hundredths of a millimetre, Word in points.
constexpr double kHundredthsMmPerPoint = 2540.0 / 72.0;

sal_Int32 hundredthsMm(double points)
{
    return static_cast<sal_Int32>(std::lround(points * kHundredthsMmPerPoint));
}

// A frame's length as the office keeps it: in whole twips (a twip is 127/72
// hundredths of a millimetre), each way rounded to the nearest.
sal_Int32 keptInTwips(sal_Int32 hundredthsMm)
{
    const sal_Int64 twips = (sal_Int64(hundredthsMm) * 72 + 63) / 127;
    return sal_Int32((twips * 127 + 36) / 72);
}
} // namespace

double officePoints(sal_Int32 hundredthsMm)
{
    return hundredthsMm / kHundredthsMmPerPoint;
}

std::vector<Reference<uno::XInterface>>
floatingShapeObjects(const Reference<lang::XComponent>& document)
{
    std::vector<Reference<uno::XInterface>> result;
    Reference<drawing::XDrawPage> page = drawPageOf(document);
    for (sal_Int32 i = 0; i < page->getCount(); ++i) {
        Reference<uno::XInterface> shape(page->getByIndex(i), UNO_QUERY);
        if (!isAnchoredInHeaderOrFooter(shape))
            result.push_back(shape);
    }
    return result;
}

int officeShapeType(const Reference<uno::XInterface>& object)
{
    Reference<lang::XServiceInfo> info(object, UNO_QUERY_THROW);
    if (info->supportsService("com.sun.star.text.TextFrame"))
        return Word::Shape::msoTextBox;
    if (info->supportsService("com.sun.star.text.TextGraphicObject") ||
        info->supportsService("com.sun.star.drawing.GraphicObjectShape"))
        return Word::Shape::msoPicture;
    if (info->supportsService("com.sun.star.drawing.GroupShape"))
        return Word::Shape::msoGroup;
    return Word::Shape::msoAutoShape;
}

QRectF officeShapePlace(const Reference<uno::XInterface>& object, bool textFrame)
{
    awt::Size size;
    awt::Point position;
    if (textFrame) {
        // Frames give their place only as an offset from the page they stand
        // on; asked as a shape, a frame answers with an error, a trip to the
        // office for nothing.
        Reference<beans::XPropertySet> placement(object, UNO_QUERY_THROW);
        placement->getPropertyValue("Size") >>= size;
        placement->getPropertyValue("HoriOrientPosition") >>= position.X;
        placement->getPropertyValue("VertOrientPosition") >>= position.Y;
    } else {
        Reference<drawing::XShape> shape(object, UNO_QUERY_THROW);
        size = shape->getSize();
        try {
            position = shape->getPosition();
        } catch (const uno::RuntimeException&) {
            // A frame after all.
            return officeShapePlace(object, true);
        }
    }
    return QRectF(officePoints(position.X), officePoints(position.Y), officePoints(size.Width),
                  officePoints(size.Height));
}

namespace {

// The picture last read through each connection to the office.
struct KeptGraphic
{
    std::weak_ptr<Office::Connection> connection;
    int generation = 0;
    QByteArray bytes;
    Reference<graphic::XGraphic> graphic;
    // Where the pictures of it last went in a document.
    std::vector<QRectF> places;

    bool readBy(const std::shared_ptr<Office::Connection>& by, int inGeneration) const
    {
        return connection.lock() == by && generation == inGeneration;
    }
};

struct KeptGraphics
{
    std::mutex mutex;
    std::vector<KeptGraphic> list; // guarded by mutex
};

// Never torn down, like the UNO runtime the graphics belong to.
KeptGraphics& keptGraphics()
{
    static auto* kept = new KeptGraphics;
    return *kept;
}

// The picture in the file at `path` as the office holds it. The tear-off
// tabs' code is the same click after click: the office reads it once and
// the graphic serves every document after, until its bytes change. A large
// picture (the flyer's own) is left to the office to read: reading its bytes
// here too would cost more than it spares.
Reference<graphic::XGraphic> officeGraphic(const Office::Session& session, const QString& path)
{
    constexpr qint64 kLargestKept = qint64(256) * 1024;
    QFile file(path);
    const QByteArray bytes = file.size() <= kLargestKept && file.open(QIODevice::ReadOnly)
                                 ? file.readAll()
                                 : QByteArray();
    KeptGraphics& kept = keptGraphics();
    if (!bytes.isEmpty()) {
        std::lock_guard lock(kept.mutex);
        for (const auto& one : kept.list)
            if (one.readBy(session.connection, session.generation) && one.bytes == bytes)
                return one.graphic;
    }
    Reference<graphic::XGraphicProvider> provider =
        graphic::GraphicProvider::create(session.connection->context());
    // The graphic itself, not its address: the document keeps the picture's
    // data and saves it inside the file.
    Reference<graphic::XGraphic> graphic =
        provider->queryGraphic(Office::properties({{"URL", Any(Office::fileUrl(path))}}));
    if (!graphic.is())
        throw Failure(QStringLiteral("The office could not read the picture %1.")
                          .arg(QDir::toNativeSeparators(path)));
    if (bytes.isEmpty())
        return graphic;
    std::lock_guard lock(kept.mutex);
    auto& list = kept.list;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const KeptGraphic& one) {
                                  const auto connection = one.connection.lock();
                                  return !connection || connection == session.connection;
                              }),
               list.end());
    list.push_back({session.connection, session.generation, bytes, graphic, {}});
    return graphic;
}

// Gives a picture that is not yet in the text its graphic and place. What a
// picture made ready holds already (`known`) is not given again: each
// property is a trip to the office, and before the insertion the office only
// notes them, so their order does not matter.
void describePicture(const Reference<beans::XPropertySet>& picture,
                     const Reference<graphic::XGraphic>& graphic, const QRectF& place,
                     const Office::SparePicture* known)
{
    if (!known || known->graphic != graphic)
        picture->setPropertyValue("Graphic", Any(graphic));
    if (!known)
        Office::setProperties(picture,
                              {{"AnchorType", Any(text::TextContentAnchorType_AT_PAGE)},
                               {"AnchorPageNo", Any(sal_Int16(1))},
                               {"TextWrap", Any(text::WrapTextMode_THROUGH)},
                               // Across, a new picture is placed from the page's edge
                               // already (down, from the text area's): a call spared
                               // per picture.
                               {"HoriOrient", Any(text::HoriOrientation::NONE)},
                               {"VertOrient", Any(text::VertOrientation::NONE)},
                               {"VertOrientRelation", Any(text::RelOrientation::PAGE_FRAME)}});
    auto differs = [&](auto edge) {
        return !known || hundredthsMm(edge(known->place)) != hundredthsMm(edge(place));
    };
    if (differs([](const QRectF& r) { return r.left(); }))
        picture->setPropertyValue("HoriOrientPosition", Any(hundredthsMm(place.left())));
    if (differs([](const QRectF& r) { return r.top(); }))
        picture->setPropertyValue("VertOrientPosition", Any(hundredthsMm(place.top())));
    if (differs([](const QRectF& r) { return r.width(); }) ||
        differs([](const QRectF& r) { return r.height(); }))
        picture->setPropertyValue(
            "Size", Any(awt::Size(hundredthsMm(place.width()), hundredthsMm(place.height()))));
}

// A new picture of `document`, not yet in its text.
Office::SparePicture newPicture(const Reference<lang::XComponent>& document)
{
    Office::SparePicture made;
    made.picture.set(Reference<lang::XMultiServiceFactory>(document, UNO_QUERY_THROW)
                         ->createInstance("com.sun.star.text.TextGraphicObject"),
                     UNO_QUERY_THROW);
    made.content.set(made.picture, UNO_QUERY_THROW);
    made.object.set(made.picture, UNO_QUERY_THROW);
    return made;
}

// Notes where the pictures of a kept graphic went, for the next document.
void rememberPlaces(const Office::Session& session, const Reference<graphic::XGraphic>& graphic,
                    const std::vector<QRectF>& places)
{
    KeptGraphics& kept = keptGraphics();
    std::lock_guard lock(kept.mutex);
    for (auto& one : kept.list)
        if (one.readBy(session.connection, session.generation) && one.graphic == graphic)
            one.places = places;
}

} // namespace

std::vector<Reference<uno::XInterface>>
addOfficePictures(const Office::Session& session, const Reference<lang::XComponent>& document,
                  const QString& path, const std::vector<QRectF>& places,
                  std::vector<Office::SparePicture>& spares)
{
    const Reference<graphic::XGraphic> graphic = officeGraphic(session, path);
    Reference<text::XTextDocument> textDocument(document, UNO_QUERY_THROW);
    const Reference<text::XText> body = textDocument->getText();
    // Anchored to the page, a picture adds nothing to the text: the end stays
    // where it is for the next.
    const Reference<text::XTextRange> end = body->getEnd();
    std::vector<Reference<uno::XInterface>> added;
    for (const QRectF& place : places) {
        const bool spare = !spares.empty();
        const Office::SparePicture picture = spare ? spares.front() : newPicture(document);
        if (spare)
            spares.erase(spares.begin());
        describePicture(picture.picture, graphic, place, spare ? &picture : nullptr);
        body->insertTextContent(end, picture.content, false);
        added.push_back(picture.object);
    }
    rememberPlaces(session, graphic, places);
    return added;
}

Office::PicturePlan picturePlan(const std::shared_ptr<Office::Connection>& connection,
                                int generation)
{
    KeptGraphics& kept = keptGraphics();
    std::lock_guard lock(kept.mutex);
    for (const auto& one : kept.list)
        if (one.readBy(connection, generation))
            return {one.graphic, one.places};
    return {};
}

std::vector<Office::SparePicture> sparePictures(const Reference<lang::XComponent>& document,
                                                const Office::PicturePlan& plan)
{
    std::vector<Office::SparePicture> made;
    if (!plan.graphic.is())
        return made;
    for (const QRectF& place : plan.places) {
        Office::SparePicture picture = newPicture(document);
        describePicture(picture.picture, plan.graphic, place, nullptr);
        picture.graphic = plan.graphic;
        picture.place = place;
        made.push_back(picture);
    }
    return made;
}

sal_Int32 setOfficeShapeHeight(const Reference<uno::XInterface>& object, double points)
{
    const sal_Int32 height = hundredthsMm(points);
    Reference<beans::XPropertySet>(object, UNO_QUERY_THROW)
        ->setPropertyValue("Height", Any(height));
    // Reading it back would be another trip to the office for a rounding
    // known here.
    return keptInTwips(height);
}

void removeOfficeShape(const Reference<uno::XInterface>& object)
{
    Reference<lang::XComponent>(object, UNO_QUERY_THROW)->dispose();
}
