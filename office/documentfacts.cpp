#include "office/documentfacts.h"

#include "office/officeconnection.h"
#include "office/preparedtemplate.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/text/WritingMode2.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFrame.hpp>

#include <cmath>
#include <optional>

namespace {

int twips(sal_Int32 hundredthsMm)
{
    return static_cast<int>(std::lround(hundredthsMm * 1440.0 / 2540.0));
}

template <typename T> T property(const Reference<beans::XPropertySet>& set, const char* name)
{
    return set->getPropertyValue(OUString::createFromAscii(name)).get<T>();
}

// What a picture object holds: its graphic's pixels, alpha channel and link.
OfficePictureFacts pictureFacts(const Reference<uno::XInterface>& object)
{
    OfficePictureFacts facts;
    Reference<beans::XPropertySet> set(object, UNO_QUERY);
    if (!set.is() || !set->getPropertySetInfo()->hasPropertyByName("Graphic"))
        return facts;
    Reference<graphic::XGraphic> graphic;
    set->getPropertyValue("Graphic") >>= graphic;
    Reference<beans::XPropertySet> described(graphic, UNO_QUERY);
    if (!described.is())
        return facts;
    awt::Size pixels;
    described->getPropertyValue("SizePixel") >>= pixels;
    facts.pixels = QSize(pixels.Width, pixels.Height);
    described->getPropertyValue("Alpha") >>= facts.alpha;
    described->getPropertyValue("Linked") >>= facts.linked;
    return facts;
}

OfficeShapeFacts shapeFacts(const Reference<uno::XInterface>& object)
{
    OfficeShapeFacts facts;
    Reference<lang::XServiceInfo> info(object, UNO_QUERY_THROW);
    Reference<drawing::XShape> shape(object, UNO_QUERY_THROW);
    Reference<beans::XPropertySet> placement(object, UNO_QUERY_THROW);
    const auto size = shape->getSize();
    facts.width = twips(size.Width);
    facts.height = twips(size.Height);
    try {
        const auto position = shape->getPosition();
        facts.left = twips(position.X);
        facts.top = twips(position.Y);
    } catch (const uno::RuntimeException&) {
        // Frames give their place only as an offset from what they are placed against.
        facts.left = twips(property<sal_Int32>(placement, "HoriOrientPosition"));
        facts.top = twips(property<sal_Int32>(placement, "VertOrientPosition"));
    }
    if (info->supportsService("com.sun.star.text.TextFrame")) {
        facts.kind = OfficeShapeFacts::Kind::TextFrame;
        Reference<text::XTextFrame> frame(object, UNO_QUERY_THROW);
        facts.text = paragraphText(frame->getText());
        facts.paragraphs = paragraphList(frame->getText());
        Reference<beans::XPropertySet> set(object, UNO_QUERY_THROW);
        facts.topToBottom = property<sal_Int16>(set, "WritingMode") == text::WritingMode2::TB_RL;
    } else if (info->supportsService("com.sun.star.text.TextGraphicObject")) {
        facts.kind = OfficeShapeFacts::Kind::Picture;
        facts.picture = pictureFacts(object);
    } else if (info->supportsService("com.sun.star.drawing.GroupShape")) {
        facts.kind = OfficeShapeFacts::Kind::Group;
        Reference<drawing::XShapes> members(object, UNO_QUERY_THROW);
        facts.lineCount = 0;
        std::optional<sal_Int32> color;
        bool mixed = false;
        for (sal_Int32 i = 0; i < members->getCount(); ++i) {
            Reference<lang::XServiceInfo> member(members->getByIndex(i), UNO_QUERY_THROW);
            if (!member->supportsService("com.sun.star.drawing.LineShape") &&
                !member->supportsService("com.sun.star.drawing.PolyLineShape"))
                continue;
            ++facts.lineCount;
            Reference<beans::XPropertySet> line(member, UNO_QUERY_THROW);
            const auto lineColor = property<sal_Int32>(line, "LineColor");
            mixed = mixed || (color && *color != lineColor);
            color = lineColor;
            facts.lineWidthHundredthsMm = property<sal_Int32>(line, "LineWidth");
        }
        facts.lineColor = (color && !mixed) ? int(*color) : -1;
    }
    return facts;
}

} // namespace

OfficeDocumentFacts inspectOfficeDocument(Word::Document& document)
{
    OfficeDocumentFacts facts;
    Office::withDocumentModel(document, [&](const Reference<lang::XComponent>& model) {
        Reference<text::XTextDocument> textDocument(model, UNO_QUERY_THROW);
        const Reference<text::XText> body = textDocument->getText();
        facts.bodyText = paragraphText(body);

        Reference<beans::XPropertySet> start(body->createTextCursor(), UNO_QUERY_THROW);
        const OUString pageStyleName = property<OUString>(start, "PageStyleName");
        Reference<style::XStyleFamiliesSupplier> stylesSupplier(model, UNO_QUERY_THROW);
        Reference<container::XNameAccess> pageStyles(
            stylesSupplier->getStyleFamilies()->getByName("PageStyles"), UNO_QUERY_THROW);
        Reference<beans::XPropertySet> page(pageStyles->getByName(pageStyleName), UNO_QUERY_THROW);
        facts.pageWidth = twips(property<sal_Int32>(page, "Width"));
        facts.pageHeight = twips(property<sal_Int32>(page, "Height"));
        facts.leftMargin = twips(property<sal_Int32>(page, "LeftMargin"));
        facts.rightMargin = twips(property<sal_Int32>(page, "RightMargin"));
        const sal_Int32 top = property<sal_Int32>(page, "TopMargin");
        const sal_Int32 bottom = property<sal_Int32>(page, "BottomMargin");
        const bool header = property<bool>(page, "HeaderIsOn");
        const bool footer = property<bool>(page, "FooterIsOn");
        facts.headerDistance = header ? twips(top) : 0;
        facts.topMargin = twips(top + (header ? property<sal_Int32>(page, "HeaderHeight") : 0));
        facts.bottomMargin =
            twips(bottom + (footer ? property<sal_Int32>(page, "FooterHeight") : 0));

        Reference<frame::XModel> frameModel(model, UNO_QUERY_THROW);
        Reference<beans::XPropertySet> view(frameModel->getCurrentController(), UNO_QUERY);
        if (view.is())
            facts.pageCount = property<sal_Int32>(view, "PageCount");

        for (const auto& story : storyTexts(model)) {
            const QString text = paragraphText(story);
            facts.storyTexts << text;
            Reference<lang::XServiceInfo> info(story, UNO_QUERY);
            if (info.is() && info->getImplementationName() == "SwXHeadFootText")
                facts.headerTexts << text;
        }

        Reference<drawing::XDrawPage> drawPage = drawPageOf(model);
        for (sal_Int32 i = 0; i < drawPage->getCount(); ++i) {
            Reference<uno::XInterface> object(drawPage->getByIndex(i), UNO_QUERY_THROW);
            if (isAnchoredInHeaderOrFooter(object)) {
                ++facts.headerPictures;
                continue;
            }
            facts.shapes.push_back(shapeFacts(object));
        }
    });
    return facts;
}

int closeEveryOfficeDocument(Word::Application& application)
{
    const auto desktop = frame::Desktop::create(officeContext(application));
    std::vector<Reference<lang::XComponent>> documents;
    const auto items = desktop->getComponents()->createEnumeration();
    while (items->hasMoreElements()) {
        Reference<lang::XComponent> document(items->nextElement(), UNO_QUERY);
        if (document.is())
            documents.push_back(document);
    }
    for (const auto& document : documents)
        Office::closeQuietly(document);
    return int(documents.size());
}
