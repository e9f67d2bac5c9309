// Builds the flyer template (a Word 97-2003 template) through the office
// engine, then checks it by opening it again and renders a filled sample.
//
//   maketemplate <output.dot> [<sample.png>]

#include "base/failure.h"
#include "flyerart.h"
#include "office/documentfacts.h"
#include "office/officeconnection.h"
#include "office/officeengine.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <QClipboard>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QRectF>
#include <QTemporaryDir>
#include <QTextStream>

#include <com/sun/star/awt/FontSlant.hpp>
#include <com/sun/star/awt/Point.hpp>
#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/drawing/FillStyle.hpp>
#include <com/sun/star/drawing/ShapeCollection.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapeGrouper.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/graphic/GraphicProvider.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/style/ParagraphAdjust.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/text/ControlCharacter.hpp>
#include <com/sun/star/text/HoriOrientation.hpp>
#include <com/sun/star/text/RelOrientation.hpp>
#include <com/sun/star/text/SizeType.hpp>
#include <com/sun/star/text/TextContentAnchorType.hpp>
#include <com/sun/star/text/VertOrientation.hpp>
#include <com/sun/star/text/WrapTextMode.hpp>
#include <com/sun/star/text/WritingMode2.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFrame.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <cmath>

using Office::fileUrl;
using Office::properties;
using Office::setProperties;

namespace {

const sal_Int32 kBrown = 0x993300; // RGB(153, 51, 0): the tear-off lines
const sal_Int32 kDarkBrown = 0x5a1e00;
const sal_Int32 kInk = 0x2b2b2b;

// Inches to the office's 1/100 mm.
sal_Int32 in(double inches)
{
    return static_cast<sal_Int32>(std::lround(inches * 2540.0));
}

// A run of text in one look.
struct Run
{
    QString text;
    const char* font = "Times New Roman"; // shown with its metric twin, Liberation Serif
    float size = 12;
    bool bold = false;
    bool italic = false;
    sal_Int32 color = kInk;
    bool lineBreakAfter = false;
};

struct Paragraph
{
    std::vector<Run> runs;
    style::ParagraphAdjust adjust = style::ParagraphAdjust_CENTER;
    sal_Int32 spaceBelow = 0;
    // Lines after the first start this far in (1/100 mm): under the first
    // letter of a bulleted item rather than under its bullet.
    sal_Int32 hangingIndent = 0;
};

void writeParagraphs(const Reference<text::XText>& text, const std::vector<Paragraph>& paragraphs)
{
    Reference<text::XTextCursor> cursor = text->createTextCursor();
    for (std::size_t p = 0; p < paragraphs.size(); ++p) {
        if (p > 0)
            text->insertControlCharacter(cursor.get(), text::ControlCharacter::PARAGRAPH_BREAK,
                                         false);
        const Paragraph& paragraph = paragraphs[p];
        setProperties(cursor, {{"ParaAdjust", Any(sal_Int16(paragraph.adjust))},
                               {"ParaBottomMargin", Any(paragraph.spaceBelow)},
                               {"ParaTopMargin", Any(sal_Int32(0))},
                               {"ParaLeftMargin", Any(paragraph.hangingIndent)},
                               {"ParaFirstLineIndent", Any(sal_Int32(-paragraph.hangingIndent))}});
        for (const Run& run : paragraph.runs) {
            const OUString words = toOUString(run.text);
            text->insertString(cursor.get(), words, false);
            cursor->goLeft(static_cast<sal_Int16>(words.getLength()), true);
            const Any weight(run.bold ? 150.0f : 100.0f);
            const Any posture(run.italic ? awt::FontSlant_ITALIC : awt::FontSlant_NONE);
            // Arabic, Hebrew and the Asian scripts have sizes and fonts of
            // their own; left unset, they print at the office's defaults.
            setProperties(cursor, {{"CharFontName", Any(OUString::createFromAscii(run.font))},
                                   {"CharFontNameAsian", Any(OUString("Noto Sans CJK SC"))},
                                   {"CharFontNameComplex", Any(OUString("DejaVu Sans"))},
                                   {"CharHeight", Any(run.size)},
                                   {"CharHeightAsian", Any(run.size)},
                                   {"CharHeightComplex", Any(run.size)},
                                   {"CharWeight", weight},
                                   {"CharWeightAsian", weight},
                                   {"CharWeightComplex", weight},
                                   {"CharPosture", posture},
                                   {"CharPostureAsian", posture},
                                   {"CharPostureComplex", posture},
                                   {"CharColor", Any(run.color)}});
            cursor->collapseToEnd();
            if (run.lineBreakAfter)
                text->insertControlCharacter(cursor.get(), text::ControlCharacter::LINE_BREAK,
                                             false);
        }
    }
}

class TemplateBuilder
{
public:
    TemplateBuilder(Reference<uno::XComponentContext> context, Reference<lang::XComponent> model)
        : m_context(std::move(context)), m_model(std::move(model)),
          m_factory(m_model, UNO_QUERY_THROW)
    {
        Reference<text::XTextDocument> document(m_model, UNO_QUERY_THROW);
        m_body = document->getText();
    }

    void setUpPage(const QString& watermarkPng)
    {
        Reference<style::XStyleFamiliesSupplier> supplier(m_model, UNO_QUERY_THROW);
        Reference<container::XNameAccess> pages(
            supplier->getStyleFamilies()->getByName("PageStyles"), UNO_QUERY_THROW);
        Reference<uno::XInterface> page(pages->getByName("Standard"), UNO_QUERY_THROW);
        // US Letter; Word's top margin of 1 inch is the office's 0.5 inch to
        // the header plus a fixed 0.5 inch header.
        setProperties(page, {{"Width", Any(in(8.5))},
                             {"Height", Any(in(11))},
                             {"LeftMargin", Any(in(1.25))},
                             {"RightMargin", Any(in(1.25))},
                             {"TopMargin", Any(in(0.5))},
                             {"BottomMargin", Any(in(1))},
                             {"HeaderIsOn", Any(true)},
                             {"HeaderIsDynamicHeight", Any(false)},
                             {"HeaderHeight", Any(in(0.5))},
                             {"HeaderBodyDistance", Any(in(0.1))}});
        Reference<beans::XPropertySet> pageProperties(page, UNO_QUERY_THROW);
        Reference<text::XText> header(pageProperties->getPropertyValue("HeaderText"),
                                      UNO_QUERY_THROW);

        // The watermark lies behind everything, over the whole page.
        auto picture = graphicObject(watermarkPng);
        setProperties(picture, {{"AnchorType", Any(text::TextContentAnchorType_AT_PARAGRAPH)},
                                {"Opaque", Any(false)},
                                {"TextWrap", Any(text::WrapTextMode_THROUGH)}});
        place(picture, 0, 0, 8.5, 11);
        header->insertTextContent(header->getEnd(),
                                  Reference<text::XTextContent>(picture, UNO_QUERY_THROW), false);
    }

    // `rightInset`: the inner margin on the right, in inches. A Word text box
    // keeps its margins in the direction of its text, so for lines that run
    // top to bottom the office's top margin is the one that comes back on
    // the right once the template is saved and opened again.
    Reference<text::XText> textBox(double left, double right, double top, double bottom,
                                   const std::vector<Paragraph>& paragraphs,
                                   bool topToBottom = false, double rightInset = 0.04)
    {
        Reference<text::XTextFrame> frame(m_factory->createInstance("com.sun.star.text.TextFrame"),
                                          UNO_QUERY_THROW);
        setProperties(frame, {{"AnchorType", Any(text::TextContentAnchorType_AT_PAGE)},
                              {"AnchorPageNo", Any(sal_Int16(1))},
                              {"SizeType", Any(text::SizeType::FIX)},
                              {"TextWrap", Any(text::WrapTextMode_THROUGH)},
                              {"BackTransparent", Any(true)},
                              {"FillStyle", Any(drawing::FillStyle_NONE)},
                              {"LeftBorder", Any(table::BorderLine2())},
                              {"RightBorder", Any(table::BorderLine2())},
                              {"TopBorder", Any(table::BorderLine2())},
                              {"BottomBorder", Any(table::BorderLine2())},
                              {"LeftBorderDistance", Any(in(0.04))},
                              {"RightBorderDistance", Any(in(topToBottom ? 0.04 : rightInset))},
                              {"TopBorderDistance", Any(in(topToBottom ? rightInset : 0.03))},
                              {"BottomBorderDistance", Any(in(0.03))}});
        if (topToBottom)
            setProperties(frame, {{"WritingMode", Any(text::WritingMode2::TB_RL)}});
        place(frame, left, top, right - left, bottom - top);
        m_body->insertTextContent(m_body->getEnd(), frame.get(), false);
        writeParagraphs(frame->getText(), paragraphs);
        return frame->getText();
    }

    void pictureBox(const QString& png, double left, double right, double top, double bottom)
    {
        auto picture = graphicObject(png);
        setProperties(picture, {{"AnchorType", Any(text::TextContentAnchorType_AT_PAGE)},
                                {"AnchorPageNo", Any(sal_Int16(1))},
                                {"TextWrap", Any(text::WrapTextMode_THROUGH)}});
        place(picture, left, top, right - left, bottom - top);
        m_body->insertTextContent(m_body->getEnd(),
                                  Reference<text::XTextContent>(picture, UNO_QUERY_THROW), false);
    }

    // The tear-off cut lines, one group so that they count as one shape.
    void cutLines(double left, double right, double top, double bottom, int tabs)
    {
        Reference<drawing::XDrawPage> page = drawPageOf(m_model);
        Reference<drawing::XShapes> lines = drawing::ShapeCollection::create(m_context);
        auto addLine = [&](double x1, double y1, double x2, double y2) {
            Reference<drawing::XShape> line(
                m_factory->createInstance("com.sun.star.drawing.LineShape"), UNO_QUERY_THROW);
            page->add(line);
            setProperties(line, {{"AnchorType", Any(text::TextContentAnchorType_AT_PAGE)},
                                 {"LineColor", Any(kBrown)},
                                 {"LineWidth", Any(sal_Int32(35))}, // 1 pt
                                 {"TextWrap", Any(text::WrapTextMode_THROUGH)}});
            place(line, x1, y1, x2 - x1, y2 - y1);
            line->setSize(awt::Size(in(x2 - x1), in(y2 - y1)));
            lines->add(line);
        };
        addLine(left, top, right, top);
        const double step = (right - left) / tabs;
        for (int i = 1; i < tabs; ++i)
            addLine(left + i * step, top, left + i * step, bottom);
        Reference<drawing::XShapeGrouper> grouper(page, UNO_QUERY_THROW);
        Reference<drawing::XShapeGroup> group = grouper->group(lines);
        setProperties(group, {{"AnchorType", Any(text::TextContentAnchorType_AT_PAGE)},
                              {"TextWrap", Any(text::WrapTextMode_THROUGH)}});
        place(group, left, top, right - left, bottom - top);
    }

private:
    Reference<uno::XInterface> graphicObject(const QString& png)
    {
        Reference<graphic::XGraphicProvider> provider = graphic::GraphicProvider::create(m_context);
        Reference<graphic::XGraphic> graphic =
            provider->queryGraphic(properties({{"URL", Any(fileUrl(png))}}));
        Reference<uno::XInterface> picture(
            m_factory->createInstance("com.sun.star.text.TextGraphicObject"), UNO_QUERY_THROW);
        setProperties(picture, {{"Graphic", Any(graphic)}});
        return picture;
    }

    static void place(const Reference<uno::XInterface>& object, double left, double top,
                      double width, double height)
    {
        setProperties(object, {{"HoriOrient", Any(text::HoriOrientation::NONE)},
                               {"HoriOrientRelation", Any(text::RelOrientation::PAGE_FRAME)},
                               {"HoriOrientPosition", Any(in(left))},
                               {"VertOrient", Any(text::VertOrientation::NONE)},
                               {"VertOrientRelation", Any(text::RelOrientation::PAGE_FRAME)},
                               {"VertOrientPosition", Any(in(top))}});
        Reference<drawing::XShape> shape(object, UNO_QUERY);
        Reference<beans::XPropertySet> properties(object, UNO_QUERY_THROW);
        if (properties->getPropertySetInfo()->hasPropertyByName("Width"))
            setProperties(object, {{"Width", Any(in(width))}, {"Height", Any(in(height))}});
        else if (shape.is())
            shape->setSize(awt::Size(in(width), in(height)));
    }

    Reference<uno::XComponentContext> m_context;
    Reference<lang::XComponent> m_model;
    Reference<lang::XMultiServiceFactory> m_factory;
    Reference<text::XText> m_body;
};

Run sans(QString text, float size, bool bold = false, sal_Int32 color = kInk)
{
    Run run;
    run.text = std::move(text);
    run.font = "Arial"; // shown with its metric twin, Liberation Sans
    run.size = size;
    run.bold = bold;
    run.color = color;
    return run;
}

Run serif(QString text, float size, bool italic = false, sal_Int32 color = kInk)
{
    Run run;
    run.text = std::move(text);
    run.size = size;
    run.italic = italic;
    run.color = color;
    return run;
}

// The width of `text` in a serif run of `points`, in 1/100 mm (Liberation
// Serif has the metrics of the font the template names). Measured at a
// hundred times the size in pixels, so that the screen's resolution and
// rounding play no part.
sal_Int32 serifWidth(const QString& text, double points)
{
    QFont font(QStringList{QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif")});
    font.setPixelSize(static_cast<int>(points * 100));
    const double widthPoints = QFontMetricsF(font).horizontalAdvance(text) / 100.0;
    return static_cast<sal_Int32>(std::lround(widthPoints * 2540.0 / 72.0));
}

Run broken(Run run)
{
    run.lineBreakAfter = true;
    return run;
}

// The emblem's picture box on the page, in inches.
const QRectF kEmblemBox(QPointF(3.38, 7.38), QPointF(5.16, 8.12));

void buildFlyer(TemplateBuilder& flyer, const QString& emblemPng)
{
    const QString dot = QStringLiteral("   \u2022   ");
    flyer.textBox(1.04, 7.52, 1.25, 2.73,
                  {Paragraph{{sans(QStringLiteral("[BusinessName]"), 34, true, kBrown)},
                             style::ParagraphAdjust_CENTER,
                             in(0.06)},
                   Paragraph{{serif(QStringLiteral("[TagLine]"), 17, true, kDarkBrown)}}});
    // Each services line is a bullet, three spaces and the item: a wrapped
    // item goes on under its first letter.
    const sal_Int32 bulletWidth = serifWidth(QStringLiteral("\u2022   "), 14);
    auto services = [&](const QString& token) {
        return Paragraph{{serif(token, 14)}, style::ParagraphAdjust_LEFT, 0, bulletWidth};
    };
    // The two columns' boxes overlap; the left one's text stops a tenth of
    // an inch before the right one's begins, so that they never print over
    // each other.
    const double rightColumnText = 4.29 + 0.04;
    flyer.textBox(1.67, 4.82, 3.17, 6.05, {services(QStringLiteral("[Services1]"))}, false,
                  4.82 - (rightColumnText - 0.1));
    flyer.textBox(4.29, 6.90, 3.18, 6.07, {services(QStringLiteral("[Services2]"))});
    flyer.textBox(
        1.03, 7.54, 6.31, 7.25,
        {Paragraph{{sans(QStringLiteral("[OwnerName]"), 14, true, kDarkBrown)}},
         Paragraph{
             {broken(serif(QStringLiteral("[Title]"), 12, true)),
              serif(QStringLiteral("[Address]") + dot + QStringLiteral("[City], [State] [Zip]"),
                    12),
              broken(serif(QStringLiteral(""), 12)),
              sans(QStringLiteral("Phone:  [PhoneNo]") + dot + QStringLiteral("Fax:  [FaxNo]"), 11,
                   true)}}});
    flyer.pictureBox(emblemPng, kEmblemBox.left(), kEmblemBox.right(), kEmblemBox.top(),
                     kEmblemBox.bottom());
    flyer.textBox(
        1.03, 7.53, 8.32, 8.57,
        {Paragraph{{serif(QStringLiteral("[ScheduledServices]"), 12, true, kDarkBrown)}}});
    const double left = 0.88, right = 7.39, top = 8.84, bottom = 10.38;
    // Lines that run top to bottom stack from a tab's right edge, and a
    // frame saved as Word's cannot centre them: the wider inner margin on
    // the right centres the designed four lines between the cut lines
    // (about 0.17 inch either side instead of 0.29 left and 0.06 right).
    const double kTabRightInset = 0.14;
    const double step = (right - left) / 8;
    for (int tab = 0; tab < 8; ++tab) {
        flyer.textBox(left + tab * step, left + (tab + 1) * step, top, bottom,
                      {Paragraph{{sans(QStringLiteral("[Name2]"), 8, true, kDarkBrown)}},
                       Paragraph{{sans(QStringLiteral("[Address2]"), 7.5)}},
                       Paragraph{{sans(QStringLiteral("[Phone2]"), 8, true)}},
                       Paragraph{{sans(QStringLiteral("[Email2]"), 7.5)}}},
                      true, kTabRightInset);
    }
    flyer.cutLines(left, right, top, bottom, 8);
}

// The sample a business might type in, filled the way the program fills it.
void fillSample(Word::Document& document)
{
    const QString bullet = QStringLiteral("\u2022   ");
    const std::vector<std::pair<QString, QString>> fields = {
        {QStringLiteral("[BusinessName]"), QStringLiteral("Harbor Lane Handyman")},
        {QStringLiteral("[TagLine]"), QStringLiteral("Small repairs done right, the first time")},
        {QStringLiteral("[OwnerName]"), QStringLiteral("Dana Whitfield")},
        {QStringLiteral("[Title]"), QStringLiteral("Owner")},
        {QStringLiteral("[Address]"), QStringLiteral("42 Harbor Lane")},
        {QStringLiteral("[City]"), QStringLiteral("Port Ellis")},
        {QStringLiteral("[State]"), QStringLiteral("ME")},
        {QStringLiteral("[Zip]"), QStringLiteral("04101")},
        {QStringLiteral("[PhoneNo]"), QStringLiteral("(207) 555-0142")},
        {QStringLiteral("[FaxNo]"), QStringLiteral("(207) 555-0143")},
        {QStringLiteral("[Name2]"), QStringLiteral("Dana Whitfield")},
        {QStringLiteral("[Address2]"), QStringLiteral("42 Harbor Lane")},
        {QStringLiteral("[Phone2]"), QStringLiteral("(207) 555-0142")},
        {QStringLiteral("[Email2]"), QStringLiteral("dana@harborlane.example")},
        {QStringLiteral("[Services1]"), bullet + QStringLiteral("Leaky faucets\r") + bullet +
                                            QStringLiteral("Door and lock repair\r") + bullet +
                                            QStringLiteral("Drywall patching\r") + bullet +
                                            QStringLiteral("Shelf and TV mounting\r") + bullet +
                                            QStringLiteral("Gutter cleaning\r")},
        {QStringLiteral("[Services2]"), bullet + QStringLiteral("Deck staining\r") + bullet +
                                            QStringLiteral("Tile and grout\r") + bullet +
                                            QStringLiteral("Light fixtures\r") + bullet +
                                            QStringLiteral("Weather stripping\r")},
        {QStringLiteral("[ScheduledServices]"),
         QStringLiteral("Weekly  \u2022  Monthly  and Seasonal visits")},
    };
    for (const auto& range : document.storyRanges()) {
        for (const auto& [token, text] : fields)
            range->find().execute(token, text, Word::Find::wdReplaceAll);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);
    if (argc < 2) {
        out << "usage: maketemplate <output.dot> [<sample.png>]\n";
        return 2;
    }
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString samplePng = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    try {
        QTemporaryDir work;
        const QString emblem = work.filePath(QStringLiteral("emblem.png"));
        const QString watermark = work.filePath(QStringLiteral("watermark.png"));
        const QImage watermarkImage = drawWatermark(850, 1100);
        watermarkImage.save(watermark);
        // 300 dpi, as the user's own pictures are kept.
        drawEmblemOnWatermark(drawEmblem(512), watermarkImage, kEmblemBox, 8.5, 300).save(emblem);

        auto engine = createOfficeEngine();
        auto application = engine->createApplication();
        auto context = officeContext(*application);
        try {
            Reference<frame::XComponentLoader> loader(frame::Desktop::create(context),
                                                      UNO_QUERY_THROW);
            Reference<lang::XComponent> model = loader->loadComponentFromURL(
                "private:factory/swriter", "_blank", 0, properties({{"Hidden", Any(true)}}));
            TemplateBuilder flyer(context, model);
            flyer.setUpPage(watermark);
            buildFlyer(flyer, emblem);
            Reference<frame::XStorable>(model, UNO_QUERY_THROW)
                ->storeToURL(fileUrl(output),
                             properties({{"FilterName", Any(OUString("MS Word 97 Vorlage"))},
                                         {"Overwrite", Any(true)}}));
            Reference<util::XCloseable>(model, UNO_QUERY_THROW)->close(true);
        } catch (const uno::Exception& e) {
            throw Failure(toQString(e.Message));
        }

        // Read back what a filling run will see.
        auto document = application->documents().open(output, true);
        const auto facts = inspectOfficeDocument(*document);
        out << "page " << facts.pageWidth << " x " << facts.pageHeight << ", margins "
            << facts.leftMargin << " " << facts.rightMargin << " " << facts.topMargin << " "
            << facts.bottomMargin << ", header " << facts.headerDistance << ", pages "
            << facts.pageCount << ", header pictures " << facts.headerPictures << "\n";
        for (const auto& shape : facts.shapes)
            out << "shape kind " << int(shape.kind) << " at " << shape.left << "," << shape.top
                << " size " << shape.width << "x" << shape.height << " ttb " << shape.topToBottom
                << " lines " << shape.lineCount << " color " << Qt::hex << shape.lineColor
                << Qt::dec << " text "
                << QString(shape.text).replace(QLatin1Char('\r'), QStringLiteral(" / ")) << "\n";
        if (!samplePng.isEmpty()) {
            fillSample(*document);
            document->range()->copyAsPicture();
            QGuiApplication::clipboard()->image().save(samplePng);
            out << "sample written to " << samplePng << "\n";
        }
        application->quit();
    } catch (const Failure& failure) {
        out << "maketemplate: " << failure.description() << "\n";
        return 1;
    }
    return 0;
}
