#include "office/officecolors.h"

#include "base/failure.h"
#include "office/officeconnection.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QMutex>

#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertySetInfo.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/drawing/LineStyle.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/graphic/GraphicProvider.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/io/SequenceInputStream.hpp>
#include <com/sun/star/io/TempFile.hpp>
#include <com/sun/star/io/XInputStream.hpp>
#include <com/sun/star/io/XSeekable.hpp>
#include <com/sun/star/io/XStream.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/util/XPropertyReplace.hpp>
#include <com/sun/star/util/XReplaceDescriptor.hpp>
#include <com/sun/star/util/XReplaceable.hpp>
#include <com/sun/star/util/XSearchDescriptor.hpp>

#include <algorithm>
#include <optional>

namespace {

// The office's "automatic" text colour: black on paper, the reader's choice
// on screen; no colour of the template's.
constexpr sal_Int32 kAutomatic = -1;

class ColorChanges
{
public:
    explicit ColorChanges(const std::vector<Word::Recoloring::Pair>& pairs) : m_pairs(pairs) {}

    // The partner of the colour `value` holds, when it differs from it; a
    // colour without one is noted in `kept`.
    std::optional<sal_Int32> partner(const Any& value, std::vector<quint32>& kept) const
    {
        sal_Int32 color = kAutomatic;
        if (!(value >>= color) || color == kAutomatic)
            return std::nullopt;
        const auto rgb = static_cast<quint32>(color) & 0xffffff;
        const auto pair = std::find_if(m_pairs.begin(), m_pairs.end(),
                                       [rgb](const auto& entry) { return entry.first == rgb; });
        if (pair == m_pairs.end()) {
            if (std::find(kept.begin(), kept.end(), rgb) == kept.end())
                kept.push_back(rgb);
            return std::nullopt;
        }
        if (pair->second == rgb)
            return std::nullopt;
        return static_cast<sal_Int32>(pair->second);
    }

    // Gives `object`'s colour `property` its partner; a colour without one is
    // noted in `kept`.
    void apply(const Reference<beans::XPropertySet>& object, const OUString& property,
               std::vector<quint32>& kept, bool change = true) const
    {
        const auto color = partner(object->getPropertyValue(property), kept);
        if (color && change)
            object->setPropertyValue(property, Any(*color));
    }

    // Notes in `kept` the colours of `text` without a partner, portion by
    // portion: a colour may start anywhere in a paragraph.
    void find(const Reference<text::XText>& text, std::vector<quint32>& kept) const
    {
        Reference<container::XEnumerationAccess> paragraphs(text, UNO_QUERY_THROW);
        Reference<container::XEnumeration> eachParagraph = paragraphs->createEnumeration();
        while (eachParagraph->hasMoreElements()) {
            Reference<container::XEnumerationAccess> portions(eachParagraph->nextElement(),
                                                              UNO_QUERY);
            if (!portions.is()) // a table: the template has none
                continue;
            Reference<container::XEnumeration> eachPortion = portions->createEnumeration();
            while (eachPortion->hasMoreElements()) {
                Reference<beans::XPropertySet> portion(eachPortion->nextElement(), UNO_QUERY_THROW);
                apply(portion, "CharColor", kept, false);
            }
        }
    }

private:
    const std::vector<Word::Recoloring::Pair>& m_pairs;
};

// Every text of the document at once, the office's search by format: an
// empty search text with a colour finds every run of that colour. One
// descriptor serves every colour: each call is a trip to the office.
void recolorText(const Reference<lang::XComponent>& document,
                 const std::vector<Word::Recoloring::Pair>& pairs)
{
    Reference<util::XReplaceable> replaceable(document, UNO_QUERY_THROW);
    Reference<util::XReplaceDescriptor> descriptor;
    Reference<util::XPropertyReplace> format;
    for (const auto& [from, to] : pairs) {
        if (from == to)
            continue;
        if (!descriptor.is()) {
            descriptor = replaceable->createReplaceDescriptor();
            descriptor->setSearchString(OUString());
            descriptor->setReplaceString(OUString());
            format.set(descriptor, UNO_QUERY_THROW);
        }
        format->setSearchAttributes(
            Office::properties({{"CharColor", Any(static_cast<sal_Int32>(from))}}));
        format->setReplaceAttributes(
            Office::properties({{"CharColor", Any(static_cast<sal_Int32>(to))}}));
        // A replace descriptor is a search descriptor: no need to ask.
        replaceable->replaceAll(Reference<util::XSearchDescriptor>(descriptor.get()));
    }
}

// What an object is, asked once: each question is a call to the office.
struct Kinds
{
    explicit Kinds(const Reference<uno::XInterface>& object)
    {
        Reference<lang::XServiceInfo> info(object, UNO_QUERY);
        if (info.is())
            names = info->getSupportedServiceNames();
    }
    bool has(const char* service) const
    {
        const OUString wanted = OUString::createFromAscii(service);
        return std::find(names.begin(), names.end(), wanted) != names.end();
    }
    Sequence<OUString> names;
};

void recolorLines(const Reference<uno::XInterface>& object, const Kinds& kinds,
                  const ColorChanges& changes, std::vector<quint32>& kept);

// A group's member, in as few calls as can be (each is a trip to the office):
// its line read in one call, a shape without one (which reads as nothing)
// asked whether it is a group itself.
void recolorMember(const Any& member, const ColorChanges& changes, std::vector<quint32>& kept)
{
    Reference<beans::XMultiPropertySet> properties(member, UNO_QUERY);
    if (!properties.is()) {
        const Reference<uno::XInterface> object(member, UNO_QUERY);
        recolorLines(object, Kinds(object), changes, kept);
        return;
    }
    // In the order of their names, as the office wants them.
    const OUString names[] = {"LineColor", "LineStyle"};
    const Sequence<Any> values = properties->getPropertyValues(Sequence<OUString>(names, 2));
    drawing::LineStyle style = drawing::LineStyle_NONE;
    if (values.getLength() == 2 && (values[1] >>= style)) {
        if (style == drawing::LineStyle_NONE)
            return;
        // Written alone: in a call for several the office puts back every
        // attribute of the member, not only this one.
        if (const auto color = changes.partner(values[0], kept))
            Reference<beans::XPropertySet>(properties, UNO_QUERY_THROW)
                ->setPropertyValue(names[0], Any(*color));
        return;
    }
    Reference<container::XIndexAccess> members(properties, UNO_QUERY);
    if (members.is())
        for (sal_Int32 i = 0, count = members->getCount(); i < count; ++i)
            recolorMember(members->getByIndex(i), changes, kept);
}

// A drawing's line, or each line of a group's members.
void recolorLines(const Reference<uno::XInterface>& object, const Kinds& kinds,
                  const ColorChanges& changes, std::vector<quint32>& kept)
{
    if (kinds.has("com.sun.star.drawing.GroupShape")) {
        Reference<container::XIndexAccess> members(object, UNO_QUERY_THROW);
        for (sal_Int32 i = 0, count = members->getCount(); i < count; ++i)
            recolorMember(members->getByIndex(i), changes, kept);
        return;
    }
    // Text frames draw their borders, not lines; the template gives them none.
    if (!kinds.has("com.sun.star.drawing.LineProperties") ||
        kinds.has("com.sun.star.text.TextFrame"))
        return;
    Reference<beans::XPropertySet> properties(object, UNO_QUERY_THROW);
    drawing::LineStyle style = drawing::LineStyle_SOLID;
    properties->getPropertyValue("LineStyle") >>= style;
    if (style != drawing::LineStyle_NONE)
        changes.apply(properties, "LineColor", kept);
}

// What the looks made of the template's pictures, as PNG, by the look's name
// and the picture's place: the template is the same in every run, so each
// picture is worked once per program, by whichever run (or batch worker)
// comes first. The office's picture made of it is kept too, good only in the
// office that made it, for the look used last there: handing it the PNG
// again, decoding and all, took longer than the rest of the picture's work.
class KeptPictures
{
public:
    QByteArray find(const QString& key) const
    {
        const QMutexLocker lock(&m_mutex);
        return m_pngs.value(key);
    }
    void keep(const QString& key, const QByteArray& png)
    {
        const QMutexLocker lock(&m_mutex);
        m_pngs.insert(key, png);
    }
    Reference<graphic::XGraphic> find(const Reference<uno::XComponentContext>& office,
                                      const QString& key) const
    {
        const QMutexLocker lock(&m_mutex);
        for (const auto& entry : m_graphics)
            if (entry.office.get() == office.get() && entry.key == key)
                return entry.graphic;
        return {};
    }
    void keep(const Reference<uno::XComponentContext>& office, const QString& look,
              const QString& key, const Reference<graphic::XGraphic>& graphic)
    {
        const QMutexLocker lock(&m_mutex);
        std::erase_if(m_graphics, [&](const OfficeGraphic& entry) {
            return entry.office.get() == office.get() && (entry.look != look || entry.key == key);
        });
        // Offices that have ended (the engine starts a fresh one now and
        // then) leave theirs here, so the oldest go.
        if (m_graphics.size() >= kMostGraphics)
            m_graphics.erase(m_graphics.begin());
        m_graphics.push_back({office, look, key, graphic});
    }

private:
    struct OfficeGraphic
    {
        // Held, so that no later office's context takes its address: the
        // address tells the offices apart without asking them.
        Reference<uno::XComponentContext> office;
        QString look;
        QString key;
        Reference<graphic::XGraphic> graphic;
    };
    static constexpr std::size_t kMostGraphics = 16;

    mutable QMutex m_mutex;
    QHash<QString, QByteArray> m_pngs;
    std::vector<OfficeGraphic> m_graphics;
};

KeptPictures& keptPictures()
{
    // Never destroyed: at the program's end its office references would be
    // released after the office bridge is gone.
    static auto* kept = new KeptPictures;
    return *kept;
}

// The picture's pixels as the office holds them, as PNG so that
// transparency survives.
QImage officePixels(const Reference<uno::XComponentContext>& context,
                    const Reference<graphic::XGraphicProvider>& provider,
                    const Reference<graphic::XGraphic>& graphic)
{
    // The provider writes only to a file or a whole stream; the office's own
    // temporary file goes with its last reference.
    Reference<io::XStream> file(io::TempFile::create(context), UNO_QUERY_THROW);
    provider->storeGraphic(graphic, Office::properties({{"OutputStream", Any(file)},
                                                        {"MimeType", Any(OUString("image/png"))}}));
    Reference<io::XSeekable> seekable(file, UNO_QUERY_THROW);
    const auto length = static_cast<sal_Int32>(seekable->getLength());
    seekable->seek(0);
    Sequence<sal_Int8> stored;
    file->getInputStream()->readBytes(stored, length);
    QImage pixels = QImage::fromData(reinterpret_cast<const uchar*>(stored.getConstArray()),
                                     stored.getLength(), "PNG");
    if (pixels.isNull())
        throw Failure(
            QStringLiteral("The office gave a picture of the flyer that cannot be read."));
    return pixels;
}

QByteArray pngOf(const QImage& image, int quality)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", quality);
    return png;
}

// The picture's pixels through `pixels`; with a `key`, the result kept from
// an earlier document serves instead.
void recolorPicture(const Reference<uno::XComponentContext>& context,
                    const Reference<beans::XPropertySet>& picture,
                    const Word::Recoloring::Pixels& pixels, const QString& look, const QString& key)
{
    Reference<graphic::XGraphic> after =
        key.isEmpty() ? Reference<graphic::XGraphic>() : keptPictures().find(context, key);
    if (!after.is()) {
        QByteArray png = key.isEmpty() ? QByteArray() : keptPictures().find(key);
        Reference<graphic::XGraphicProvider> provider = graphic::GraphicProvider::create(context);
        if (png.isEmpty()) {
            Reference<graphic::XGraphic> graphic(picture->getPropertyValue("Graphic"), UNO_QUERY);
            if (!graphic.is())
                return;
            // A kept picture is written once and read by the office once: the
            // smallest file. Else light compression, quick, and the saved
            // document stays small.
            png = pngOf(pixels(officePixels(context, provider, graphic)), key.isEmpty() ? 80 : 0);
            if (!key.isEmpty())
                keptPictures().keep(key, png);
        }
        const Sequence<sal_Int8> bytes(reinterpret_cast<const sal_Int8*>(png.constData()),
                                       static_cast<sal_Int32>(png.size()));
        after = provider->queryGraphic(Office::properties(
            {{"InputStream",
              Any(io::SequenceInputStream::createStreamFromSequence(context, bytes))}}));
        if (!after.is())
            throw Failure(QStringLiteral("The office did not take the recoloured picture."));
        if (!key.isEmpty())
            keptPictures().keep(context, look, key, after);
    }
    picture->setPropertyValue("Graphic", Any(after));
}

// Behind the page lie the objects of the draw page that are not floating
// (those of headers and footers): they are looked for only until all are
// found, each look being a call to the office.
std::vector<Reference<uno::XInterface>>
objectsBehindPage(const Reference<lang::XComponent>& document,
                  const Office::ShapeCache::ShapeList& floating)
{
    std::vector<Reference<uno::XInterface>> behind;
    Reference<drawing::XDrawPage> page = drawPageOf(document);
    const auto count = std::size_t(page->getCount());
    std::size_t floatingMet = 0;
    for (std::size_t i = 0; i < count && behind.size() + floating.size() < count; ++i) {
        Reference<uno::XInterface> object(page->getByIndex(sal_Int32(i)), UNO_QUERY);
        if (floatingMet < floating.size() && object == floating[floatingMet].first)
            ++floatingMet;
        else
            behind.push_back(object);
    }
    return behind;
}

// The texts' colours; those without a partner, when asked for.
std::vector<quint32> recolorStories(const Reference<lang::XComponent>& document,
                                    const std::vector<Reference<text::XText>>& stories,
                                    const Word::Recoloring& recoloring)
{
    std::vector<quint32> kept;
    if (recoloring.reportKept) {
        // Portion by portion is slow (calls to the office for each), so it
        // only looks; the change itself is one replacement per colour.
        const ColorChanges textChanges(recoloring.text);
        for (const auto& text : stories)
            textChanges.find(text, kept);
    }
    recolorText(document, recoloring.text);
    return kept;
}

} // namespace

std::vector<quint32> recolorOfficeDocument(const Reference<uno::XComponentContext>& context,
                                           const Reference<lang::XComponent>& document,
                                           const std::vector<Reference<text::XText>>& stories,
                                           const Office::ShapeCache::ShapeList& floating,
                                           const Word::Recoloring& recoloring)
{
    std::vector<quint32> kept = recolorStories(document, stories, recoloring);

    const ColorChanges lineChanges(recoloring.lines);
    // A drawing has its line changed, a picture its pixels (none: it stays,
    // or with `remove`, it goes).
    const auto recolorObject = [&](const Reference<uno::XInterface>& object,
                                   const Word::Recoloring::Pixels& pixels, const QString& key,
                                   bool remove = false) {
        const Kinds kinds(object);
        if (!kinds.has("com.sun.star.text.TextGraphicObject") &&
            !kinds.has("com.sun.star.drawing.GraphicObjectShape"))
            recolorLines(object, kinds, lineChanges, kept);
        else if (remove)
            Reference<lang::XComponent>(object, UNO_QUERY_THROW)->dispose();
        else if (pixels)
            recolorPicture(context, Reference<beans::XPropertySet>(object, UNO_QUERY_THROW), pixels,
                           recoloring.keptAs, key);
    };
    // The template's pictures are known by the look and their place among
    // their kind.
    const auto keyOf = [&](const QString& place) {
        return recoloring.keptAs.isEmpty() ? QString()
                                           : recoloring.keptAs + QLatin1Char(' ') + place;
    };

    // Read first: removing a background changes the page's list.
    const std::vector<Reference<uno::XInterface>> behind = objectsBehindPage(document, floating);
    for (std::size_t i = 0; i < behind.size(); ++i)
        recolorObject(behind[i], recoloring.background, keyOf(QStringLiteral("behind %1").arg(i)),
                      !recoloring.keepBackground);

    const Word::Recoloring::Pixels none;
    for (std::size_t shape = 0; shape < floating.size(); ++shape) {
        // A text frame draws its border, not a line, and the template gives
        // it none.
        if (floating[shape].second.is())
            continue;
        const bool added = shape >= recoloring.addedFrom;
        const auto& pixels = !added                         ? recoloring.pictures
                             : shape + 1 == floating.size() ? recoloring.added
                                                            : none;
        // What the run put in is pictures: those that stay need no look.
        if (added && !pixels)
            continue;
        recolorObject(floating[shape].first, pixels,
                      added ? QString() : keyOf(QStringLiteral("floating %1").arg(shape)));
    }
    return kept;
}
