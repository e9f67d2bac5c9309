#include "office/officecolors.h"

#include "base/failure.h"
#include "office/officeconnection.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <QBuffer>
#include <QHash>
#include <QImage>
#include <QMutex>

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

namespace {

// The office's "automatic" text colour: black on paper, the reader's choice
// on screen; no colour of the template's.
constexpr sal_Int32 kAutomatic = -1;

class ColorChanges
{
public:
    explicit ColorChanges(const std::vector<Word::Recoloring::Pair>& pairs) : m_pairs(pairs) {}

    // Gives `object`'s colour `property` its partner; a colour without one is
    // noted in `kept`.
    void apply(const Reference<beans::XPropertySet>& object, const OUString& property,
               std::vector<quint32>& kept, bool change = true) const
    {
        sal_Int32 color = kAutomatic;
        if (!(object->getPropertyValue(property) >>= color) || color == kAutomatic)
            return;
        const auto rgb = static_cast<quint32>(color) & 0xffffff;
        const auto pair = std::find_if(m_pairs.begin(), m_pairs.end(),
                                       [rgb](const auto& entry) { return entry.first == rgb; });
        if (pair == m_pairs.end()) {
            if (std::find(kept.begin(), kept.end(), rgb) == kept.end())
                kept.push_back(rgb);
        } else if (change && pair->second != rgb) {
            object->setPropertyValue(property, Any(static_cast<sal_Int32>(pair->second)));
        }
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
// empty search text with a colour finds every run of that colour.
void recolorText(const Reference<lang::XComponent>& document,
                 const std::vector<Word::Recoloring::Pair>& pairs)
{
    Reference<util::XReplaceable> replaceable(document, UNO_QUERY_THROW);
    for (const auto& [from, to] : pairs) {
        if (from == to)
            continue;
        Reference<util::XReplaceDescriptor> descriptor = replaceable->createReplaceDescriptor();
        descriptor->setSearchString(OUString());
        descriptor->setReplaceString(OUString());
        Reference<util::XPropertyReplace> format(descriptor, UNO_QUERY_THROW);
        format->setSearchAttributes(
            Office::properties({{"CharColor", Any(static_cast<sal_Int32>(from))}}));
        format->setReplaceAttributes(
            Office::properties({{"CharColor", Any(static_cast<sal_Int32>(to))}}));
        replaceable->replaceAll(Reference<util::XSearchDescriptor>(descriptor, UNO_QUERY_THROW));
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

// A drawing's line, or each line of a group's members.
void recolorLines(const Reference<uno::XInterface>& object, const Kinds& kinds,
                  const ColorChanges& changes, std::vector<quint32>& kept)
{
    if (kinds.has("com.sun.star.drawing.GroupShape")) {
        Reference<container::XIndexAccess> members(object, UNO_QUERY_THROW);
        for (sal_Int32 i = 0; i < members->getCount(); ++i) {
            Reference<uno::XInterface> member(members->getByIndex(i), UNO_QUERY);
            recolorLines(member, Kinds(member), changes, kept);
        }
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
// comes first.
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

private:
    mutable QMutex m_mutex;
    QHash<QString, QByteArray> m_pngs;
};

KeptPictures& keptPictures()
{
    static KeptPictures kept;
    return kept;
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
                    const Word::Recoloring::Pixels& pixels, const QString& key)
{
    QByteArray png = key.isEmpty() ? QByteArray() : keptPictures().find(key);
    Reference<graphic::XGraphicProvider> provider = graphic::GraphicProvider::create(context);
    if (png.isEmpty()) {
        Reference<graphic::XGraphic> graphic(picture->getPropertyValue("Graphic"), UNO_QUERY);
        if (!graphic.is())
            return;
        // A kept picture is written once and read by the office in every
        // run: the smallest file. Else light compression, quick, and the
        // saved document stays small.
        png = pngOf(pixels(officePixels(context, provider, graphic)), key.isEmpty() ? 80 : 0);
        if (!key.isEmpty())
            keptPictures().keep(key, png);
    }
    const Sequence<sal_Int8> bytes(reinterpret_cast<const sal_Int8*>(png.constData()),
                                   static_cast<sal_Int32>(png.size()));
    Reference<graphic::XGraphic> after = provider->queryGraphic(Office::properties(
        {{"InputStream", Any(io::SequenceInputStream::createStreamFromSequence(context, bytes))}}));
    if (!after.is())
        throw Failure(QStringLiteral("The office did not take the recoloured picture."));
    picture->setPropertyValue("Graphic", Any(after));
}

} // namespace

std::vector<quint32> recolorOfficeDocument(const Reference<uno::XComponentContext>& context,
                                           const Reference<lang::XComponent>& document,
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

    // Read first: removing a background changes the page's list.
    Reference<drawing::XDrawPage> page = drawPageOf(document);
    std::vector<std::pair<Reference<uno::XInterface>, bool>> objects; // and whether behind the page
    objects.reserve(std::size_t(page->getCount()));
    std::size_t floatingCount = 0;
    for (sal_Int32 i = 0; i < page->getCount(); ++i) {
        Reference<uno::XInterface> object(page->getByIndex(i), UNO_QUERY);
        const bool behindPage = isAnchoredInHeaderOrFooter(object);
        floatingCount += behindPage ? 0 : 1;
        objects.emplace_back(object, behindPage);
    }
    const ColorChanges lineChanges(recoloring.lines);
    std::size_t floating = 0; // the place in Document::shapes()
    std::size_t behind = 0;
    for (const auto& [object, behindPage] : objects) {
        const std::size_t shape = behindPage ? floatingCount : floating++;
        // The template's pictures are known by their place among their kind.
        const QString place = behindPage ? QStringLiteral("behind %1").arg(behind++)
                                         : QStringLiteral("floating %1").arg(shape);
        const Kinds kinds(object);
        if (!kinds.has("com.sun.star.text.TextGraphicObject") &&
            !kinds.has("com.sun.star.drawing.GraphicObjectShape")) {
            recolorLines(object, kinds, lineChanges, kept);
            continue;
        }
        if (behindPage && !recoloring.keepBackground) {
            Reference<lang::XComponent>(object, UNO_QUERY_THROW)->dispose();
            continue;
        }
        const bool added = !behindPage && shape >= recoloring.addedFrom;
        const Word::Recoloring::Pixels none;
        const auto& pixels = behindPage                   ? recoloring.background
                             : !added                     ? recoloring.pictures
                             : shape + 1 == floatingCount ? recoloring.added
                                                          : none;
        const QString key = added || recoloring.keptAs.isEmpty()
                                ? QString()
                                : recoloring.keptAs + QLatin1Char(' ') + place;
        if (pixels)
            recolorPicture(context, Reference<beans::XPropertySet>(object, UNO_QUERY_THROW), pixels,
                           key);
    }
    return kept;
}
