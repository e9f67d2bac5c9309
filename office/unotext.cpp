#include "office/unotext.h"

#include "base/failure.h"
#include "office/officeconnection.h"
#include "office/officeengine.h"
#include "office/unonames.h"

#include <com/sun/star/awt/DeviceInfo.hpp>
#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/awt/Toolkit.hpp>
#include <com/sun/star/awt/XBitmap.hpp>
#include <com/sun/star/awt/XDevice.hpp>
#include <com/sun/star/awt/XToolkit2.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XDrawPageSupplier.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/XStyle.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFrame.hpp>
#include <com/sun/star/text/XTextFramesSupplier.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/util/XReplaceDescriptor.hpp>
#include <com/sun/star/util/XReplaceable.hpp>
#include <com/sun/star/util/XSearchDescriptor.hpp>
#include <com/sun/star/util/XSearchable.hpp>
#include <com/sun/star/view/XRenderable.hpp>

#include <algorithm>
#include <cmath>

namespace {

bool isHeaderOrFooter(const Reference<text::XText>& text)
{
    Reference<lang::XServiceInfo> info(text, UNO_QUERY);
    return info.is() && info->getImplementationName() == "SwXHeadFootText";
}

// Word keeps the look of the text it replaces; the office would give new text
// the look of whatever precedes it. So the new text goes in right after the
// first old character (taking its look) before the old characters go.
void putText(const Reference<text::XText>& text, const Reference<text::XTextRange>& where,
             const QString& replacement)
{
    const sal_Int32 oldLength = where->getString().getLength();
    Reference<text::XTextCursor> cursor = text->createTextCursorByRange(where->getStart());
    if (oldLength > 0)
        cursor->goRight(1, false);
    // The office starts a paragraph at each carriage return of an inserted
    // string: one call for the whole text.
    if (!replacement.isEmpty())
        text->insertString(cursor.get(), toOUString(replacement), false);
    if (oldLength == 0)
        return;
    // `where` now spans the first old character, the new text and the rest.
    Reference<text::XTextCursor> first = text->createTextCursorByRange(where->getStart());
    first->goRight(1, true);
    first->setString(OUString());
    if (oldLength > 1) {
        Reference<text::XTextCursor> rest = text->createTextCursorByRange(where->getEnd());
        rest->goLeft(static_cast<sal_Int16>(oldLength - 1), true);
        rest->setString(OUString());
    }
}

} // namespace

void storePagePicture(const Reference<lang::XComponent>& document, const QString& path,
                      QSize pixels, int compression)
{
    if (pixels.isEmpty())
        pixels = QSize(kPagePictureWidth, kPagePictureHeight);
    using Office::fileUrl;
    using Office::properties;
    Reference<frame::XStorable> storable(document, UNO_QUERY_THROW);
    const uno::Any width(sal_Int32(pixels.width()));
    const uno::Any height(sal_Int32(pixels.height()));
    const auto filterData = compression == kOfficeChosenCompression
                                ? properties({{"PixelWidth", width}, {"PixelHeight", height}})
                                : properties({{"PixelWidth", width},
                                              {"PixelHeight", height},
                                              {"Compression", uno::Any(sal_Int32(compression))}});
    storable->storeToURL(fileUrl(path),
                         properties({{"FilterName", uno::Any(OUString("writer_png_Export"))},
                                     {"FilterData", uno::Any(filterData)}}));
}

// The picture export records the page and then plays the recording twice,
// once for its pixels and once for a mask of them, scaling every picture
// on the page down each time; drawn onto a device, the page is drawn once.
// The office draws at its own resolution only, so the caller scales down.
QImage drawnPagePicture(const Reference<uno::XComponentContext>& context,
                        const Reference<lang::XComponent>& document, QSize least)
{
    using Office::properties;
    const Reference<frame::XModel> model(document, UNO_QUERY_THROW);
    const Reference<view::XRenderable> renderable(document, UNO_QUERY_THROW);
    const Reference<awt::XToolkit2> toolkit = awt::Toolkit::create(context);
    const uno::Any selection(document);
    const uno::Any view(model->getCurrentController());
    auto options = [&](const Reference<awt::XDevice>& device) {
        return properties({{"IsPrinter", uno::Any(true)},
                           {"RenderDevice", uno::Any(device)},
                           {"View", view},
                           {"RenderToGraphic", uno::Any(true)}});
    };
    // A device of the office's own resolution, for the page's size in pixels.
    const Reference<awt::XDevice> probe = toolkit->createScreenCompatibleDevice(1, 1);
    const auto probing = options(probe);
    if (renderable->getRendererCount(selection, probing) < 1)
        throw Failure(QStringLiteral("The office found no page to make a picture of."));
    awt::Size page;
    for (const auto& property : renderable->getRenderer(0, selection, probing))
        if (property.Name == "PageSize")
            property.Value >>= page;
    const awt::DeviceInfo info = probe->getInfo();
    // The page's size comes in hundredths of a millimetre.
    const QSize pixels(int(std::lround(page.Width * 1e-5 * info.PixelPerMeterX)),
                       int(std::lround(page.Height * 1e-5 * info.PixelPerMeterY)));
    if (pixels.isEmpty() || pixels.width() < least.width() || pixels.height() < least.height())
        return {};
    const Reference<awt::XDevice> device =
        toolkit->createScreenCompatibleDevice(pixels.width(), pixels.height());
    renderable->render(0, selection, options(device));
    const uno::Sequence<sal_Int8> bitmap =
        device->createBitmap(0, 0, pixels.width(), pixels.height())->getDIB();
    QImage picture = QImage::fromData(reinterpret_cast<const uchar*>(bitmap.getConstArray()),
                                      bitmap.getLength(), "BMP");
    if (picture.isNull())
        throw Failure(QStringLiteral("The office made no picture of the page."));
    return picture;
}

bool isAnchoredInHeaderOrFooter(const Reference<uno::XInterface>& object)
{
    Reference<text::XTextContent> content(object, UNO_QUERY);
    if (!content.is())
        return false;
    Reference<text::XTextRange> anchor;
    try {
        anchor = content->getAnchor();
    } catch (const uno::RuntimeException&) {
        // Anchored to the page: part of the body's layer.
    }
    return anchor.is() && isHeaderOrFooter(anchor->getText());
}

bool mayContain(const QString& ownText, const FindOptions& options)
{
    if (options.matchCase)
        return ownText.contains(options.text);
    // Case folding covers more than the simple upper/lower pairs.
    return ownText.contains(options.text, Qt::CaseInsensitive) ||
           ownText.toCaseFolded().contains(options.text.toCaseFolded());
}

std::vector<TextHit> findInDocument(const Reference<lang::XComponent>& document,
                                    const FindOptions& options)
{
    std::vector<TextHit> hits;
    if (options.text.isEmpty())
        return hits;
    Reference<util::XSearchable> searchable(document, UNO_QUERY_THROW);
    Reference<util::XSearchDescriptor> descriptor = searchable->createSearchDescriptor();
    descriptor->setSearchString(toOUString(options.text));
    Reference<beans::XPropertySet> settings(descriptor, UNO_QUERY_THROW);
    settings->setPropertyValue("SearchCaseSensitive", uno::Any(options.matchCase));
    settings->setPropertyValue("SearchWords", uno::Any(options.matchWholeWord));
    settings->setPropertyValue("SearchRegularExpression", uno::Any(false));
    settings->setPropertyValue("SearchSimilarity", uno::Any(false));

    Reference<container::XIndexAccess> found = searchable->findAll(descriptor);
    const sal_Int32 count = found.is() ? found->getCount() : 0;
    for (sal_Int32 i = 0; i < count; ++i) {
        Reference<text::XTextRange> range(found->getByIndex(i), UNO_QUERY);
        if (!range.is())
            continue;
        Reference<uno::XInterface> owner(range->getText(), UNO_QUERY);
        hits.push_back({owner, range});
    }
    return hits;
}

int replaceHits(const Reference<text::XText>& text,
                const std::vector<Reference<text::XTextRange>>& ranges, const QString& replacement,
                ReplaceMode mode)
{
    if (mode == ReplaceMode::None)
        return static_cast<int>(ranges.size());
    for (const auto& range : ranges) {
        putText(text, range, replacement);
        if (mode == ReplaceMode::First)
            break;
    }
    return static_cast<int>(ranges.size());
}

bool replacesAllAtOnce(const QString& replacement)
{
    return !replacement.contains(QLatin1Char('\n')) &&
           !(replacement.contains(QLatin1Char('\r')) && replacement.contains(QLatin1Char('\\')));
}

namespace {

// The office starts a paragraph for "\n" in the replacement of a search by
// regular expression, and nowhere else: such a search stands for the text
// itself, and the replacement's own "&" and "$" are escaped.
std::pair<QString, QString> asRegularExpression(const QString& text, const QString& replacement)
{
    QString search;
    for (const QChar c : text) {
        if (QStringView(u"\\^$.|?*+()[]{}").contains(c))
            search += QLatin1Char('\\');
        search += c;
    }
    QString replace;
    for (const QChar c : replacement) {
        if (c == QLatin1Char('\r')) {
            replace += QLatin1String("\\n");
            continue;
        }
        if (c == QLatin1Char('&') || c == QLatin1Char('$'))
            replace += QLatin1Char('\\');
        replace += c;
    }
    return {search, replace};
}

} // namespace

int replaceAllInDocument(const Reference<lang::XComponent>& document, const FindOptions& options,
                         const QString& replacement, bool startParagraphs)
{
    if (options.text.isEmpty())
        return 0;
    const bool paragraphs = startParagraphs && replacement.contains(QLatin1Char('\r'));
    const auto [search, replace] = paragraphs ? asRegularExpression(options.text, replacement)
                                              : std::pair{options.text, replacement};
    Reference<util::XReplaceable> replaceable(document, UNO_QUERY_THROW);
    Reference<util::XReplaceDescriptor> descriptor = replaceable->createReplaceDescriptor();
    descriptor->setSearchString(toOUString(search));
    descriptor->setReplaceString(toOUString(replace));
    // A new descriptor searches literally, ignoring case, for any part of a
    // word: each call to the office costs a round trip, so only what differs
    // is set.
    Reference<beans::XPropertySet> settings(descriptor, UNO_QUERY_THROW);
    if (paragraphs)
        settings->setPropertyValue("SearchRegularExpression", uno::Any(true));
    if (options.matchCase)
        settings->setPropertyValue("SearchCaseSensitive", uno::Any(true));
    if (options.matchWholeWord)
        settings->setPropertyValue("SearchWords", uno::Any(true));
    return replaceable->replaceAll(Reference<util::XSearchDescriptor>(descriptor, UNO_QUERY_THROW));
}

int replaceInText(const Reference<lang::XComponent>& document, const Reference<text::XText>& text,
                  const FindOptions& options, const QString& replacement, ReplaceMode mode)
{
    // The office searches the whole document; the range keeps what lies in its own text.
    const Reference<uno::XInterface> owner(text, UNO_QUERY);
    std::vector<Reference<text::XTextRange>> inRange;
    for (const TextHit& hit : findInDocument(document, options)) {
        if (hit.text == owner)
            inRange.push_back(hit.range);
    }
    return replaceHits(text, inRange, replacement, mode);
}

std::vector<Reference<text::XText>> storyTexts(const Reference<lang::XComponent>& document)
{
    std::vector<Reference<text::XText>> result;
    Reference<text::XTextDocument> textDocument(document, UNO_QUERY_THROW);
    result.push_back(textDocument->getText());

    Reference<text::XTextFramesSupplier> framesSupplier(document, UNO_QUERY_THROW);
    Reference<container::XIndexAccess> frames(framesSupplier->getTextFrames(), UNO_QUERY_THROW);
    for (sal_Int32 i = 0; i < frames->getCount(); ++i) {
        Reference<text::XTextFrame> frame(frames->getByIndex(i), UNO_QUERY);
        if (frame.is())
            result.push_back(frame->getText());
    }

    Reference<style::XStyleFamiliesSupplier> stylesSupplier(document, UNO_QUERY_THROW);
    Reference<container::XNameAccess> pageStyles(
        stylesSupplier->getStyleFamilies()->getByName("PageStyles"), UNO_QUERY_THROW);
    const auto names = pageStyles->getElementNames();
    for (sal_Int32 n = 0; n < names.getLength(); ++n) {
        Reference<style::XStyle> style(pageStyles->getByName(names[n]), UNO_QUERY_THROW);
        if (!style->isInUse())
            continue;
        Reference<beans::XPropertySet> page(style, UNO_QUERY_THROW);
        for (const char* part : {"Header", "Footer"}) {
            const OUString prefix = OUString::createFromAscii(part);
            if (!page->getPropertyValue(prefix + "IsOn").get<bool>())
                continue;
            for (const char* which : {"Text", "TextLeft", "TextFirst"}) {
                const OUString property = prefix + OUString::createFromAscii(which);
                Reference<text::XText> story;
                try {
                    story.set(page->getPropertyValue(property), UNO_QUERY);
                } catch (const beans::UnknownPropertyException&) {
                }
                bool known = false;
                for (const auto& seen : result)
                    known = known || seen == story;
                if (story.is() && !known)
                    result.push_back(story);
            }
        }
    }
    return result;
}

Reference<drawing::XDrawPage> drawPageOf(const Reference<uno::XInterface>& document)
{
    Reference<drawing::XDrawPageSupplier> supplier(document, UNO_QUERY_THROW);
    // Writer offers only this (deprecated) way to its single draw page.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return supplier->getDrawPage();
#pragma GCC diagnostic pop
}

QString paragraphText(const Reference<text::XText>& text)
{
    return paragraphList(text).join(QLatin1Char('\r'));
}

QStringList paragraphList(const Reference<text::XText>& text)
{
    QStringList paragraphs;
    Reference<container::XEnumerationAccess> access(text, UNO_QUERY_THROW);
    Reference<container::XEnumeration> items = access->createEnumeration();
    while (items->hasMoreElements()) {
        Reference<text::XTextRange> paragraph(items->nextElement(), UNO_QUERY);
        if (paragraph.is())
            paragraphs << toQString(paragraph->getString());
    }
    return paragraphs;
}

void replaceWholeText(const Reference<text::XText>& text, const QString& replacement)
{
    // The office's cursor steps are not the text's UTF-16 units, so nothing
    // here is counted: all but the first character go, the new text follows
    // it (taking its look), and then the first character goes.
    Reference<text::XTextCursor> cursor = text->createTextCursor();
    cursor->gotoStart(false);
    const bool empty = !cursor->goRight(1, false);
    if (!empty) {
        cursor->gotoEnd(true);
        cursor->setString(OUString());
        cursor->collapseToEnd();
    }
    if (!replacement.isEmpty())
        text->insertString(cursor.get(), toOUString(replacement), false);
    if (empty)
        return;
    cursor->gotoStart(false);
    cursor->goRight(1, true);
    cursor->setString(OUString());
}

namespace {
bool onlyTokens(QString line, const QStringList& tokens)
{
    bool any = false;
    for (const QString& token : tokens) {
        any = any || line.contains(token, Qt::CaseInsensitive);
        line.remove(token, Qt::CaseInsensitive);
    }
    return any && line.trimmed().isEmpty();
}
} // namespace

bool removeLinesOfTokens(const Reference<text::XText>& text, const QStringList& tokens)
{
    std::vector<Reference<text::XTextRange>> paragraphs;
    Reference<container::XEnumerationAccess> access(text, UNO_QUERY_THROW);
    for (Reference<container::XEnumeration> items = access->createEnumeration();
         items->hasMoreElements();) {
        Reference<text::XTextRange> paragraph(items->nextElement(), UNO_QUERY);
        if (paragraph.is())
            paragraphs.push_back(paragraph);
    }
    std::size_t left = paragraphs.size();
    bool removed = false;
    for (const auto& paragraph : paragraphs) {
        QStringList lines = toQString(paragraph->getString()).split(QLatin1Char('\n'));
        if (std::all_of(lines.begin(), lines.end(),
                        [&](const QString& line) { return onlyTokens(line, tokens); })) {
            // The box's last paragraph stays, empty once its token is replaced.
            if (left > 1) {
                Reference<lang::XComponent>(paragraph, UNO_QUERY_THROW)->dispose();
                --left;
                removed = true;
            }
            continue;
        }
        // From the last line up, so that the lines before keep their places;
        // a line goes with the break after it, the last with the one before.
        for (qsizetype i = lines.size() - 1; i >= 0; --i) {
            if (!onlyTokens(lines.at(i), tokens))
                continue;
            qsizetype start = 0;
            for (qsizetype j = 0; j < i; ++j)
                start += lines.at(j).size() + 1;
            const bool last = i == lines.size() - 1;
            Reference<text::XTextCursor> cursor =
                text->createTextCursorByRange(paragraph->getStart());
            cursor->goRight(sal_Int16(last ? start - 1 : start), false);
            cursor->goRight(sal_Int16(lines.at(i).size() + 1), true);
            cursor->setString(OUString());
            lines.removeAt(i);
            removed = true;
        }
    }
    return removed;
}
