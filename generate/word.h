#pragma once

#include "base/failure.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

// The operations the program asks of its document engine, in the shape of the
// Word automation model: an application holds documents; a document has story
// ranges and floating shapes; a range has a Find with a Replacement. Every call
// may throw Failure, whose description is what the error report shows.
//
// Objects are handed out as shared pointers and stay valid (though possibly
// failing every call) after their document is closed or their application
// quits; releasing a pointer is the automation "release".
namespace Word {

// The failure of a call whose application has gone (its process ended or
// stopped answering): every later call on its objects fails the same way, so
// a caller stops at the first one instead of reporting each of them.
class EngineLost : public LostFailure
{
public:
    using LostFailure::LostFailure;
};

// A failure of this machine rather than of the engine (a folder the engine
// needs cannot be made, its disk is full): its description says what to fix,
// and advice about installing the engine would mislead.
class SystemProblem : public Failure
{
public:
    using Failure::Failure;
};

class Replacement
{
public:
    virtual ~Replacement() = default;
    virtual void clearFormatting() = 0;
    virtual void setText(const QString& text) = 0;
};

// Searching is literal and ignores letter case unless MatchCase is set; a
// carriage return (13) in a replacement text starts a new paragraph.
class Find
{
public:
    enum { wdFindContinue = 1 };
    enum { wdReplaceAll = 2 };

    virtual ~Find() = default;
    virtual void clearFormatting() = 0;
    virtual Replacement& replacement() = 0;
    virtual void setText(const QString& text) = 0;
    virtual void setForward(bool forward) = 0;
    virtual void setWrap(int wrap) = 0;
    virtual void setFormat(bool format) = 0;
    virtual void setMatchCase(bool matchCase) = 0;
    virtual void setMatchWholeWord(bool matchWholeWord) = 0;
    virtual void setMatchWildcards(bool matchWildcards) = 0;
    virtual void setMatchSoundsLike(bool matchSoundsLike) = 0;
    virtual void setMatchAllWordForms(bool matchAllWordForms) = 0;

    // Execute(Replace:=wdReplaceAll) with the Text and Replacement Text set above.
    virtual void execute(int replace) = 0;
    // Execute(FindText, , , , , , , , , ReplaceWith, Replace): the other find
    // options are left as they are.
    virtual void execute(const QString& findText, const QString& replaceWith, int replace) = 0;
};

class Range
{
public:
    virtual ~Range() = default;
    virtual Find& find() = 0;
    // Range.Text: the text the range holds.
    virtual QString text() = 0;
    // Puts a picture of the range's content (shapes included) on the clipboard.
    virtual void copyAsPicture() = 0;
    // Range.Text = text: the range's whole text becomes `text`, in the look of
    // its first character and paragraph; a carriage return starts a paragraph.
    virtual void setText(const QString& /*text*/)
    {
        throw Failure(QStringLiteral("This document engine cannot rewrite a text."));
    }
};

class TextFrame
{
public:
    virtual ~TextFrame() = default;
    virtual bool hasText() = 0;
    virtual std::shared_ptr<Range> textRange() = 0;
};

class Shape
{
public:
    // MsoShapeType: what a shape is.
    enum { msoAutoShape = 1, msoGroup = 6, msoPicture = 13, msoTextBox = 17 };

    virtual ~Shape() = default;
    virtual std::shared_ptr<TextFrame> textFrame() = 0;

    // Type. Engines that cannot tell call every shape an msoAutoShape.
    virtual int type() { return msoAutoShape; }
    // Left, Top, Width and Height in points, Left and Top measured from the
    // page's top-left corner (RelativeHorizontalPosition and
    // RelativeVerticalPosition set to the page).
    virtual QRectF place()
    {
        throw Failure(QStringLiteral("This document engine cannot tell where a shape is."));
    }
    // Delete: the shape leaves the document; the object is spent afterwards.
    virtual void remove()
    {
        throw Failure(QStringLiteral("This document engine cannot delete shapes."));
    }
    // Height = points: the shape's top stays where it is; the text of a text
    // box is laid out again in the new size.
    virtual void setHeight(double /*points*/)
    {
        throw Failure(QStringLiteral("This document engine cannot resize shapes."));
    }
};

// Our own operation, not Word's (Word only shrinks text as a box is drawn):
// how far the text of a text box may be made smaller to fit the box, and what
// was done to one box.
struct TextFitLimits
{
    // Each step makes the text smaller by this share of its designed size.
    int stepPercent = 5;
    // Never smaller than this share of the designed size...
    int floorPercent = 60;
    // ...nor under this size; text designed smaller keeps its size.
    double minimumPoints = 6;
};

// What fitting does with particular boxes (each given by its position in
// Document::shapes()); every other box is fitted on its own.
struct TextFitPlan
{
    // Boxes whose texts take one size together: the largest at which each of
    // them fits, as two columns of one list should.
    std::vector<std::vector<std::size_t>> together;
    // Boxes only measured: their text keeps its size, and their fit says
    // whether it overflows at that size (percent stays 100), so that the
    // caller can rearrange it and fit again.
    std::vector<std::size_t> measureOnly;
    // When not empty, the only boxes looked at: the others keep their text as
    // it is and report 100 %.
    std::vector<std::size_t> only;
};

struct TextFit
{
    // The size of the box's text now, as a share of its designed size.
    int percent = 100;
    // False when the text overflows its box even at the floor.
    bool fits = true;
    // When it does not fit: about how many characters from the start of the
    // box's text (paragraph marks counted) the box shows.
    qsizetype shownCharacters = 0;
    // When only some of the box's paragraphs were made smaller (those that
    // took more lines than they are written in), their texts; empty when the
    // whole text was, or nothing.
    QStringList smallerParagraphs;
};

// Our own operation, not Word's (Word changes Font.Color through Find and
// each shape's Line and PictureFormat one by one): the colours of a whole
// document changed in one pass. Colours are 0xRRGGBB.
struct Recoloring
{
    using Pair = std::pair<quint32, quint32>;
    using Pixels = std::function<QImage(const QImage&)>;
    // Text of the first colour, in every story, takes the second.
    std::vector<Pair> text;
    // Lines of the first colour, of shapes and of the shapes in groups, take
    // the second.
    std::vector<Pair> lines;
    // The floating shapes from this place on in Document::shapes() were put
    // in by the run (the tear-off tabs' codes, then the business's own
    // picture); those before it are the template's.
    std::size_t addedFrom = std::numeric_limits<std::size_t>::max();
    // The new pixels of the template's floating pictures; empty: they stay.
    Pixels pictures;
    // The new pixels of the last floating shape when the run put it in and it
    // is a picture (the business's own); the codes before it stay, black on
    // clear in every look.
    Pixels added;
    // The same for the pictures of headers and footers, which lie behind the
    // page as its background.
    Pixels background;
    // Not empty: the template's pictures are the same in every document, and
    // so is what `pictures` and `background` make of them, so the engine
    // works each once and keeps the result under this name.
    QString keptAs;
    // False: those pictures go, and the page has no background.
    bool keepBackground = true;
    // Whether recolor() looks for text colours without a partner, which
    // takes far longer than the change itself; lines are always looked at.
    bool reportKept = false;
};

class Document
{
public:
    enum { wdDoNotSaveChanges = 0 };
    enum { wdExportFormatPDF = 17 };

    virtual ~Document() = default;
    // The body, the text of every text box, the headers and footers.
    virtual std::vector<std::shared_ptr<Range>> storyRanges() = 0;
    // The floating shapes of the document, in order (not those of headers).
    virtual std::vector<std::shared_ptr<Shape>> shapes() = 0;
    // The whole main text, with the shapes anchored in it.
    virtual std::shared_ptr<Range> range() = 0;
    // Shapes.AddPicture(FileName, LinkToFile:=False, SaveWithDocument:=True,
    // Left, Top, Width, Height) with the place measured from the page's
    // top-left corner, in front of the text: the picture file's content is
    // embedded in the document (no link to the file) and shown stretched to
    // the place given, its transparency kept. Being in front of everything,
    // it comes last in shapes().
    virtual std::shared_ptr<Shape> addPicture(const QString& /*fileName*/, const QRectF& /*place*/)
    {
        throw Failure(QStringLiteral("This document engine cannot add pictures."));
    }
    // The same picture at each of `places` (the tear-off tabs' code), in
    // that order: the file is read once.
    virtual std::vector<std::shared_ptr<Shape>> addPictures(const QString& fileName,
                                                            const std::vector<QRectF>& places)
    {
        std::vector<std::shared_ptr<Shape>> added;
        added.reserve(places.size());
        for (const QRectF& place : places)
            added.push_back(addPicture(fileName, place));
        return added;
    }

    // Makes the text of every text box whose text overflows the box smaller,
    // in steps, until it fits or reaches the floor of `limits`; text that
    // fits keeps its designed size. The sizes are the document's own
    // formatting, so saveAs() keeps them. One entry per entry of shapes(), in
    // that order; a shape without text fits at 100 %.
    virtual std::vector<TextFit> fitTextToShapes(const TextFitLimits& limits,
                                                 const TextFitPlan& plan) = 0;
    std::vector<TextFit> fitTextToShapes(const TextFitLimits& limits)
    {
        return fitTextToShapes(limits, TextFitPlan{});
    }
    // Our own operation: deletes every line of the text boxes (a paragraph, or
    // a part of one between line breaks) that holds nothing but some of
    // `tokens` and blanks, with its break, so that the lines around it close
    // up; a box keeps at least one paragraph. For the tokens of empty fields,
    // before they are replaced. An engine that cannot leaves the lines.
    virtual void removeTokenLines(const QStringList& /*tokens*/) {}
    // Changes the document's colours as `recoloring` says. Returns the line
    // colours met that it names no partner for, and with reportKept the text
    // colours too (the automatic text colour aside), each once: what kept its
    // colour.
    virtual std::vector<quint32> recolor(const Recoloring& /*recoloring*/)
    {
        throw Failure(QStringLiteral("This document engine cannot change colours."));
    }
    // Writes a Word 97-2003 document at exactly `path`.
    virtual void saveAs(const QString& path) = 0;
    // ExportAsFixedFormat(OutputFileName, ExportFormat): writes the pages as
    // they print (text as text, fonts embedded) at exactly `path`; only
    // wdExportFormatPDF is known. The document itself is not changed.
    virtual void exportAsFixedFormat(const QString& path, int exportFormat) = 0;
    virtual void close() = 0;
    virtual void close(int saveChanges) = 0;
};

class Documents
{
public:
    virtual ~Documents() = default;
    virtual std::shared_ptr<Document> open(const QString& path) = 0;
    virtual std::shared_ptr<Document> open(const QString& path, bool readOnly) = 0;
};

class Application
{
public:
    virtual ~Application() = default;
    virtual Documents& documents() = 0;
    virtual std::shared_ptr<Document> activeDocument() = 0;
    virtual void setDisplayAlerts(bool displayAlerts) = 0;
    // Application.Name and Application.Version: the engine's product name and
    // its version, as the engine itself reports them.
    virtual QString name() = 0;
    virtual QString version() = 0;
    // Closes everything this application opened; the object is spent afterwards.
    virtual void quit() = 0;
};

// Where applications come from: the "Word.Application" object of the
// automation model. One engine serves the whole program run.
class Engine
{
public:
    virtual ~Engine() = default;
    // Starts an application; throws Failure when none can be started.
    virtual std::shared_ptr<Application> createApplication() = 0;
    // Lets the engine get ready ahead of the first start (for example start a
    // process); never throws, and a failure shows at the first start instead.
    virtual void prepare() {}
    // The warning shown when no application can be started: "Error 842001."
    // and numbered advice that fits this engine. The default advises on Word.
    virtual QString unavailableText() const;
    // Lets the engine work once through `sample`, a document like those it
    // will be asked to open, off the caller's path, so that the first real
    // use is as quick as the later ones. Never blocks, never throws.
    virtual void warmUp(const QByteArray& sample) { (void)sample; }
    // Ends at once what the engine is doing for the program (the user is
    // closing it): the call in progress and the later calls of the
    // applications open now fail as with an engine that has gone. Safe to
    // call while a call waits (from an event handled meanwhile).
    virtual void abandon() {}
    // True while a start that prepare() set going has not been answered yet,
    // so that a first application now would wait for it.
    virtual bool starting() { return false; }
};

// While a run holds the user's input away from the windows, the engine may
// let the program's other events (repaints, timers, a close request) through
// while it waits for a call, so that the windows stay alive; elsewhere a
// call waits as a plain function call does. For the lifetime of the object.
// With Input::Allowed (the engine starting behind a window the user already
// types in) the user's input goes through as well.
class EventsDuringCalls
{
public:
    enum class Input { Held, Allowed };
    explicit EventsDuringCalls(Input input = Input::Held);
    ~EventsDuringCalls();
    EventsDuringCalls(const EventsDuringCalls&) = delete;
    EventsDuringCalls& operator=(const EventsDuringCalls&) = delete;

    static bool active();
    // True when the innermost object allows the user's input.
    static bool inputAllowed();

private:
    Input m_outer;
};

// The engine in use; set once by main() and by tests.
Engine& engine();
void setEngine(std::shared_ptr<Engine> engine);

// The engine in use's unavailableText(); Word's when none is set.
QString UnavailableText();

// CreateObject("Word.Application") on the engine in use.
std::shared_ptr<Application> CreateApplication();

} // namespace Word
