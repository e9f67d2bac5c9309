#include "office/textfit.h"

#include "office/unonames.h"
#include "office/unotext.h"

#include <com/sun/star/awt/Point.hpp>
#include <com/sun/star/awt/Size.hpp>
#include <com/sun/star/beans/PropertyState.hpp>
#include <com/sun/star/beans/XMultiPropertySet.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/beans/XPropertyState.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/text/SizeType.hpp>
#include <com/sun/star/text/WritingMode2.hpp>
#include <com/sun/star/text/XParagraphCursor.hpp>
#include <com/sun/star/text/XTextCursor.hpp>
#include <com/sun/star/text/XTextViewCursor.hpp>
#include <com/sun/star/text/XTextViewCursorSupplier.hpp>
#include <com/sun/star/view/XLineCursor.hpp>

#include <rtl/ustrbuf.hxx>

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>
#include <utility>

namespace {

// A stretch of text with one set of designed values (the sizes, or the
// indents: a hanging indent follows the width of the bullet, so it shrinks
// with the text), in the order of their names, and the cursor that spans it
// (cursors follow the text, and only its look changes here).
struct Run
{
    Reference<beans::XMultiPropertySet> cursor;
    Sequence<Any> designed;
    // What it spans: the whole text, one paragraph (by its place) or a
    // portion of one, so that a frame with the same text can find its own.
    static constexpr int kWhole = -1, kPortion = -2;
    int paragraph = kWhole;
};

// Property names for the office's multi-property calls, which want them in
// alphabetical order.
Sequence<OUString> names(std::initializer_list<const char*> list)
{
    Sequence<OUString> result(sal_Int32(list.size()));
    sal_Int32 i = 0;
    for (const char* name : list)
        result.getArray()[i++] = OUString::createFromAscii(name);
    return result;
}

const Sequence<OUString> kSizeNames = names({"CharHeight", "CharHeightAsian", "CharHeightComplex"});
const Sequence<OUString> kIndentNames = names({"ParaFirstLineIndent", "ParaLeftMargin"});

struct Frame
{
    std::size_t shape = 0;
    Reference<text::XText> text;
    Reference<beans::XPropertySet> properties;
    OUString content;
    bool vertical = false;
    sal_Int16 sizeType = text::SizeType::FIX;
    sal_Int32 width = 0, height = 0;
    // The inner margins at the start and the end of the stack of lines: the
    // office turns a frame's margins with its text, so for lines that run
    // top to bottom these are the right and the left one.
    sal_Int32 top = 0, bottom = 0;
    // A frame with the same text and shape as an earlier one (a tear-off
    // tab) is not measured: it takes the result of that one.
    const Frame* twin = nullptr;
    std::optional<OUString> look;
    // The twin was designed as its model: it takes the model's designed
    // values without reading its own.
    bool alike = false;

    std::vector<Run> sizes;
    std::vector<Run> indents;
    bool runsRead = false;
    // The paragraphs (by their place) that are made smaller, and their
    // texts; none listed for all of them.
    std::vector<int> shrinking;
    QStringList shrinkingTexts;
    // The characters of each paragraph, as that search read them; none when
    // a character is written in two (which a cursor passes in one step).
    std::vector<sal_Int32> paragraphLengths;

    // Where the frame stands, while it is measured at the top of the page.
    std::optional<sal_Int32> position;

    int percent = 100;
    // The height of the text laid out at its designed size, as first measured.
    std::optional<sal_Int32> designedLayout;
    // Shrinks on its own, not as part of a group.
    bool alone = false;
    // The size an earlier fitting of the same frame and text settled on.
    std::optional<int> remembered;
    // The characters left once the lines that do not fit whole are gone.
    std::optional<sal_Int32> kept;
    bool settled = false;
    bool fits = true;
    double needRatio = 1; // room needed / room there, at the present size

    // The room in which the lines stack (the height; the width when they run
    // top to bottom), inside the inner margins.
    sal_Int32 stackRoom() const { return (vertical ? width : height) - top - bottom; }
    // The last line may run into the inner margin at the end of the stack,
    // never past the frame's edge; lines that run top to bottom are drawn
    // cut at the margin.
    sal_Int32 tolerance() const { return vertical ? 0 : bottom; }

    // Same text, same writing mode and size: the same look, as the frames
    // of one template have the same inner margins.
    bool sameAs(const Frame& other) const
    {
        return content == other.content && vertical == other.vertical && width == other.width &&
               height == other.height;
    }
};

template <typename T> T property(const Reference<beans::XPropertySet>& set, const char* name)
{
    return set->getPropertyValue(OUString::createFromAscii(name)).get<T>();
}

// What a twin need not read: the size type and the inner margins.
void readMargins(const Reference<beans::XPropertySet>& set, FrameShape& shape)
{
    shape.sizeType = property<sal_Int16>(set, "SizeType");
    shape.top = property<sal_Int32>(set, "TopBorderDistance");
    shape.bottom = property<sal_Int32>(set, "BottomBorderDistance");
}

void takeShape(Frame& frame, const FrameShape& shape)
{
    frame.vertical = shape.vertical;
    frame.sizeType = shape.sizeType;
    frame.width = shape.width;
    frame.height = shape.height;
    frame.top = shape.top;
    frame.bottom = shape.bottom;
    frame.look = shape.look;
}

std::vector<Frame> textFrames(const std::vector<Reference<text::XText>>& texts,
                              const std::vector<KnownFrame>& known)
{
    std::vector<Frame> frames;
    frames.reserve(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (!texts[i].is())
            continue;
        Frame frame;
        frame.shape = i;
        frame.text = texts[i];
        frame.properties.set(texts[i], UNO_QUERY_THROW);
        const KnownFrame* knew = i < known.size() ? &known[i] : nullptr;
        frame.content = knew && knew->content ? *knew->content : texts[i]->getString();
        const bool shapeKnown = knew && knew->shape;
        if (shapeKnown)
            takeShape(frame, *knew->shape);
        // Frames offer no multi-property calls: one call per property, and
        // the fewest for a twin.
        const auto& set = frame.properties;
        if (!shapeKnown) {
            frame.vertical = property<sal_Int16>(set, "WritingMode") == text::WritingMode2::TB_RL;
            frame.width = property<sal_Int32>(set, "Width");
            frame.height = property<sal_Int32>(set, "Height");
        }
        for (const Frame& earlier : frames) {
            if (!frame.twin && frame.sameAs(earlier))
                frame.twin = earlier.twin ? earlier.twin : &earlier;
        }
        frame.alike = frame.twin && frame.look && frame.look == frame.twin->look;
        if (frame.twin || shapeKnown) {
            frames.push_back(std::move(frame));
            continue;
        }
        FrameShape shape{frame.vertical, 0, frame.width, frame.height, 0, 0, std::nullopt};
        readMargins(set, shape);
        takeShape(frame, shape);
        frames.push_back(std::move(frame));
    }
    return frames;
}

// A frame grows only as far as the page's bottom edge, which would hide how
// much room a long text needs; at the top of the page it has the most.
void measureAtTop(Frame& frame)
{
    if (frame.position)
        return;
    frame.position = property<sal_Int32>(frame.properties, "VertOrientPosition");
    frame.properties->setPropertyValue("VertOrientPosition", Any(sal_Int32(0)));
}

// Each change to a frame has the office lay the page out again at once,
// unless its controllers are locked: held, the frames change together and
// are laid out once, when the hold ends or something is measured. The lock
// is the office's own count, so a caller's hold stays as it was.
class LayoutHold
{
public:
    enum When { Later, Now };
    explicit LayoutHold(const Reference<lang::XComponent>& document, When when = Later)
        : m_model(document, UNO_QUERY)
    {
        if (when == Now)
            hold();
    }
    LayoutHold(const LayoutHold&) = delete;
    LayoutHold& operator=(const LayoutHold&) = delete;
    ~LayoutHold()
    {
        try {
            release();
        } catch (...) {
            // The office has failed; the caller hears of it from the call itself.
        }
    }

    void hold()
    {
        if (m_held || !m_model.is())
            return;
        m_model->lockControllers();
        m_held = true;
    }
    void release()
    {
        if (!m_held)
            return;
        m_held = false;
        m_model->unlockControllers();
    }

private:
    Reference<frame::XModel> m_model;
    bool m_held = false;
};

void startMeasuring(Frame& frame)
{
    if (!frame.vertical) {
        frame.properties->setPropertyValue("SizeType", Any(text::SizeType::MIN));
        return;
    }
    // Lines that run top to bottom do not make the frame taller; turned to
    // run left to right, with the same line length, they stack downwards
    // into a height that can grow.
    const auto& set = frame.properties;
    set->setPropertyValue("WritingMode", Any(text::WritingMode2::LR_TB));
    set->setPropertyValue("Width", Any(frame.height));
    set->setPropertyValue("Height", Any(frame.width));
    set->setPropertyValue("SizeType", Any(text::SizeType::MIN));
}

void stopMeasuring(Frame& frame)
{
    const auto& set = frame.properties;
    if (frame.position)
        set->setPropertyValue("VertOrientPosition", Any(*frame.position));
    set->setPropertyValue("SizeType", Any(frame.sizeType));
    if (!frame.vertical)
        return;
    set->setPropertyValue("Width", Any(frame.width));
    set->setPropertyValue("Height", Any(frame.height));
    set->setPropertyValue("WritingMode", Any(text::WritingMode2::TB_RL));
}

void measure(Frame& frame)
{
    // The office lays the whole document out before it answers this, so the
    // size is current however lazily it lays out otherwise.
    awt::Size laidOut;
    frame.properties->getPropertyValue("LayoutSize") >>= laidOut;
    if (!frame.designedLayout)
        frame.designedLayout = laidOut.Height;
    // While measuring, the stack runs downwards in either case.
    const sal_Int32 needed = laidOut.Height - frame.top - frame.bottom;
    const sal_Int32 room = frame.stackRoom();
    frame.fits = needed <= room + frame.tolerance();
    frame.needRatio = std::max(1.0, double(needed) / std::max(1, room));
}

// Measures every frame not yet settled; one that fits is settled.
void measureUnsettled(const std::vector<Frame*>& measured)
{
    for (Frame* frame : measured) {
        if (frame->settled)
            continue;
        measure(*frame);
        frame->settled = frame->fits;
    }
}

bool anyAmbiguous(const Sequence<beans::PropertyState>& states)
{
    return std::any_of(states.begin(), states.end(), [](beans::PropertyState s) {
        return s == beans::PropertyState_AMBIGUOUS_VALUE;
    });
}

bool ambiguous(const Reference<uno::XInterface>& range, const Sequence<OUString>& names)
{
    Reference<beans::XPropertyState> state(range, UNO_QUERY_THROW);
    return anyAmbiguous(state->getPropertyStates(names));
}

// Whether the paragraph `at` spans, its text `text`, takes more lines than
// it is written in; `top`, where the view stood at its start.
bool wraps(const Reference<text::XText>& frameText, const Reference<text::XTextViewCursor>& view,
           const Reference<text::XTextRange>& at, sal_Int32 top, const QString& text)
{
    if (!text.contains(QLatin1Char('\n'))) {
        // Written in one line: it wraps when it ends lower than it starts.
        // Sent to the paragraph spanned, the view stands at its end.
        view->gotoRange(at, false);
        return view->getPosition().Y != top;
    }
    // A line that wraps ends lower than it starts. Another cursor walks
    // the lines, so that the walk goes on from this paragraph's end.
    Reference<text::XTextCursor> lines = frameText->createTextCursorByRange(at);
    Reference<text::XParagraphCursor>(lines, UNO_QUERY_THROW)->gotoStartOfParagraph(false);
    const Reference<text::XTextRange> lineAt(lines.get());
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        view->gotoRange(lineAt, false);
        const sal_Int32 lineTop = view->getPosition().Y;
        lines->goRight(sal_Int16(std::min<qsizetype>(line.size(), SAL_MAX_INT16)), false);
        view->gotoRange(lineAt, false);
        if (view->getPosition().Y != lineTop)
            return true;
        lines->goRight(1, false);
    }
    return false;
}

// The paragraphs of a frame that take more lines than they are written in (one,
// and one more for each line break): when the frame needs more room, these
// overflow, while the others keep to their designed lines and their size.
// None when the frame has a single paragraph or every paragraph keeps to its
// lines, or when the office has no view to tell.
void findOverflowingParagraphs(const Reference<lang::XComponent>& document, Frame& target)
{
    // A list is written in one size throughout, and shrinks as a whole. A
    // new cursor stands at the start of the text.
    Reference<text::XTextCursor> walker = target.text->createTextCursor();
    walker->gotoEnd(true);
    if (!ambiguous(walker, kSizeNames))
        return;
    Reference<frame::XModel> model(document, UNO_QUERY);
    Reference<text::XTextViewCursorSupplier> supplier(
        model.is() ? model->getCurrentController() : nullptr, UNO_QUERY);
    if (!supplier.is())
        return;
    Reference<text::XTextViewCursor> view = supplier->getViewCursor();
    // One cursor walks the paragraphs, each call a round trip to the office.
    walker->collapseToStart();
    const Reference<text::XTextRange> at(walker.get());
    Reference<text::XParagraphCursor> paragraphs(walker, UNO_QUERY_THROW);
    int count = 0;
    bool countable = true;
    for (bool more = true; more; more = paragraphs->gotoNextParagraph(false)) {
        const int index = count++;
        view->gotoRange(at, false);
        const sal_Int32 top = view->getPosition().Y;
        paragraphs->gotoEndOfParagraph(true);
        const QString text = toQString(walker->getString());
        target.paragraphLengths.push_back(sal_Int32(text.size()));
        countable = countable &&
                    std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); });
        if (wraps(target.text, view, at, top, text)) {
            target.shrinking.push_back(index);
            target.shrinkingTexts << text;
        }
    }
    if (!countable)
        target.paragraphLengths.clear();
    if (count < 2 || int(target.shrinking.size()) == count) {
        target.shrinking.clear();
        target.shrinkingTexts.clear();
    }
}

template <typename T> Sequence<T> joined(const Sequence<T>& first, const Sequence<T>& second)
{
    Sequence<T> result(first.getLength() + second.getLength());
    std::copy(first.begin(), first.end(), result.getArray());
    std::copy(second.begin(), second.end(), result.getArray() + first.getLength());
    return result;
}

// Moves `cursor` `characters` to the right, as far as that is: one call
// goes at most a short's worth.
void goRight(const Reference<text::XTextCursor>& cursor, sal_Int32 characters, bool expand)
{
    for (sal_Int32 left = characters; left > 0; left -= SAL_MAX_INT16)
        cursor->goRight(sal_Int16(std::min<sal_Int32>(left, SAL_MAX_INT16)), expand);
}

// A cursor over a frame's text that spans one paragraph at a time, going on
// from the one it spans when it can: each step is a call to the office.
class ParagraphSpan
{
public:
    // `lengths`, the characters of the text's paragraphs when they are known,
    // take the cursor to a paragraph in two moves, however far it is.
    explicit ParagraphSpan(const Reference<text::XTextCursor>& cursor,
                           std::vector<sal_Int32> lengths = {})
        : m_cursor(cursor), m_lengths(std::move(lengths))
    {}

    // False when the text has no such paragraph.
    bool select(int paragraph)
    {
        const bool atStart = std::exchange(m_atStart, false);
        if (paragraph == Run::kWhole) {
            if (!atStart)
                m_cursor->gotoStart(false);
            m_cursor->gotoEnd(true);
            m_spanned = -1;
            return true;
        }
        const bool onwards = m_spanned >= 0 && m_spanned < paragraph;
        if (!onwards && !atStart)
            m_cursor->gotoStart(false);
        if (paragraph < int(m_lengths.size())) {
            // Past the paragraph spanned and its mark, or from the start.
            sal_Int32 skip = onwards ? 1 : 0;
            for (int at = onwards ? m_spanned + 1 : 0; at < paragraph; ++at)
                skip += m_lengths[std::size_t(at)] + 1;
            goRight(m_cursor, skip, false);
            goRight(m_cursor, m_lengths[std::size_t(paragraph)], true);
            m_spanned = paragraph;
            return true;
        }
        if (!m_paragraphs.is())
            m_paragraphs.set(m_cursor, UNO_QUERY_THROW);
        for (int at = onwards ? m_spanned : 0; at < paragraph; ++at) {
            if (!m_paragraphs->gotoNextParagraph(false))
                return false;
        }
        m_paragraphs->gotoEndOfParagraph(true);
        m_spanned = paragraph;
        return true;
    }

private:
    Reference<text::XTextCursor> m_cursor;
    Reference<text::XParagraphCursor> m_paragraphs;
    std::vector<sal_Int32> m_lengths;
    // None before the first and after the whole text.
    int m_spanned = -1;
    // A new cursor stands at the start of its text.
    bool m_atStart = true;
};

// The designed text with its sizes and indents paragraph by paragraph, its
// length first so that no other text and values read the same.
std::optional<OUString> readLook(const Reference<text::XText>& text)
{
    const Reference<text::XTextCursor> cursor = text->createTextCursor();
    const Reference<beans::XMultiPropertySet> values(cursor, UNO_QUERY_THROW);
    const Reference<beans::XPropertyState> states(cursor, UNO_QUERY_THROW);
    const Sequence<OUString> names = joined(kSizeNames, kIndentNames);
    const OUString designed = text->getString();
    rtl::OUStringBuffer look;
    look.append(designed.getLength()).append(u':').append(designed);
    ParagraphSpan span(cursor);
    for (int index = 0; span.select(index); ++index) {
        if (anyAmbiguous(states->getPropertyStates(names)))
            return std::nullopt;
        const Sequence<Any> read = values->getPropertyValues(names);
        for (sal_Int32 i = 0; i < read.getLength(); ++i) {
            look.append(u'|');
            if (i < kSizeNames.getLength())
                look.append(read[i].get<float>());
            else
                look.append(read[i].get<sal_Int32>());
        }
    }
    return look.makeStringAndClear();
}

} // namespace

FrameShape readFrameShape(const Reference<text::XText>& text, bool withLook)
{
    const Reference<beans::XPropertySet> set(text, UNO_QUERY_THROW);
    FrameShape shape;
    shape.vertical = property<sal_Int16>(set, "WritingMode") == text::WritingMode2::TB_RL;
    shape.width = property<sal_Int32>(set, "Width");
    shape.height = property<sal_Int32>(set, "Height");
    readMargins(set, shape);
    if (withLook)
        shape.look = readLook(text);
    return shape;
}

namespace {

Run readRun(const Reference<text::XText>& text, const Reference<text::XTextRange>& range,
            const Sequence<OUString>& names, int paragraph = Run::kWhole)
{
    Run run;
    run.cursor.set(text->createTextCursorByRange(range), UNO_QUERY_THROW);
    run.designed = run.cursor->getPropertyValues(names);
    run.paragraph = paragraph;
    return run;
}

// Each of `designed` scaled; none when all are zero (no indent), which stay
// as they are.
template <typename T, typename Scale>
std::optional<Sequence<Any>> scaledValues(const Sequence<Any>& designed, Scale scale)
{
    Sequence<Any> values(designed.getLength());
    bool nonZero = false;
    for (sal_Int32 i = 0; i < designed.getLength(); ++i) {
        T value{};
        designed[i] >>= value;
        nonZero = nonZero || value != T{};
        values.getArray()[i] = Any(scale(value));
    }
    if (!nonZero)
        return std::nullopt;
    return values;
}

// The runs of the paragraph `spanned` covers: its indents when
// `mixedIndents`, and its sizes (per portion when they differ within it) when
// `mixedSizes`.
void readParagraphRuns(Frame& frame, const Reference<text::XTextRange>& spanned, int index,
                       bool mixedSizes, bool mixedIndents)
{
    const Reference<text::XTextCursor> cursor = frame.text->createTextCursorByRange(spanned);
    const Reference<beans::XMultiPropertySet> values(cursor, UNO_QUERY_THROW);
    if (!mixedSizes) {
        if (mixedIndents)
            frame.indents.push_back({values, values->getPropertyValues(kIndentNames), index});
        return;
    }
    // A paragraph reports its own state, never that of its characters: a
    // cursor over it tells whether their sizes differ. Its indents are its
    // own, read in the same call.
    const bool mixedWithin = ambiguous(cursor, kSizeNames);
    const Sequence<OUString> names = mixedIndents ? joined(kSizeNames, kIndentNames) : kSizeNames;
    const Sequence<Any> read =
        mixedIndents || !mixedWithin ? values->getPropertyValues(names) : Sequence<Any>();
    const sal_Int32 sizeCount = kSizeNames.getLength();
    if (mixedIndents)
        frame.indents.push_back(
            {values, Sequence<Any>(read.getConstArray() + sizeCount, read.getLength() - sizeCount),
             index});
    if (!mixedWithin) {
        frame.sizes.push_back({values, Sequence<Any>(read.getConstArray(), sizeCount), index});
        return;
    }
    Reference<container::XEnumerationAccess> within(cursor, UNO_QUERY_THROW);
    Reference<container::XEnumerationAccess> portionAccess(
        within->createEnumeration()->nextElement(), UNO_QUERY_THROW);
    Reference<container::XEnumeration> portions = portionAccess->createEnumeration();
    while (portions->hasMoreElements()) {
        Reference<text::XTextRange> portion(portions->nextElement(), UNO_QUERY);
        if (portion.is() && !portion->getString().isEmpty())
            frame.sizes.push_back(readRun(frame.text, portion, kSizeNames, Run::kPortion));
    }
}

// The designed sizes and indents of the frame's shown text: one run when
// they are the same throughout (the usual case, and the only cheap one for a
// long list), else one per paragraph, or per portion of a mixed paragraph.
void readRuns(Frame& frame)
{
    frame.runsRead = true;
    // Only some paragraphs: each read on its own.
    bool mixedSizes = true;
    bool mixedIndents = true;
    if (frame.shrinking.empty()) {
        // A new cursor stands at the start; spanning the whole text, it
        // serves both runs.
        const Reference<text::XTextCursor> shown = frame.text->createTextCursor();
        shown->gotoEnd(true);
        const auto states = Reference<beans::XPropertyState>(shown, UNO_QUERY_THROW)
                                ->getPropertyStates(joined(kSizeNames, kIndentNames));
        const auto isAmbiguous = [](beans::PropertyState state) {
            return state == beans::PropertyState_AMBIGUOUS_VALUE;
        };
        const auto indentStates = states.begin() + kSizeNames.getLength();
        mixedSizes = std::any_of(states.begin(), indentStates, isAmbiguous);
        mixedIndents = std::any_of(indentStates, states.end(), isAmbiguous);
        const Reference<beans::XMultiPropertySet> values(shown, UNO_QUERY_THROW);
        if (!mixedSizes)
            frame.sizes.push_back({values, values->getPropertyValues(kSizeNames)});
        if (!mixedIndents)
            frame.indents.push_back({values, values->getPropertyValues(kIndentNames)});
        if (!mixedSizes && !mixedIndents)
            return;
    }

    const Reference<text::XTextCursor> walker = frame.text->createTextCursor();
    const Reference<text::XTextRange> spanned(walker.get());
    ParagraphSpan span(walker, frame.paragraphLengths);
    auto read = [&](int index) {
        readParagraphRuns(frame, spanned, index, mixedSizes, mixedIndents);
    };
    if (frame.shrinking.empty()) {
        for (int index = 0; span.select(index); ++index)
            read(index);
        return;
    }
    for (const int index : frame.shrinking) {
        if (span.select(index))
            read(index);
    }
}

// Word documents keep text sizes in half points, and saving rounds to them:
// rounded up, text measured as fitting could overflow once saved.
float scaled(float designed, int percent, const Word::TextFitLimits& limits)
{
    const float minimum = float(limits.minimumPoints);
    if (designed <= minimum)
        return designed;
    const float size = std::floor(designed * float(percent) / 100.0f * 2.0f) / 2.0f;
    return std::max(size, minimum);
}

std::optional<Sequence<Any>> scaledSizes(const Sequence<Any>& designed, int percent,
                                         const Word::TextFitLimits& limits)
{
    return scaledValues<float>(designed, [&](float size) { return scaled(size, percent, limits); });
}

// A hanging indent follows the width of the bullet, so it shrinks with the text.
std::optional<Sequence<Any>> scaledIndents(const Sequence<Any>& designed, int percent)
{
    return scaledValues<sal_Int32>(designed, [&](sal_Int32 indent) {
        return sal_Int32(std::lround(indent * percent / 100.0));
    });
}

void applyPercent(Frame& frame, int percent, const Word::TextFitLimits& limits)
{
    if (!frame.runsRead)
        readRuns(frame);
    frame.percent = percent;
    for (const Run& run : frame.sizes) {
        if (const auto values = scaledSizes(run.designed, percent, limits))
            run.cursor->setPropertyValues(kSizeNames, *values);
    }
    for (const Run& run : frame.indents) {
        if (const auto values = scaledIndents(run.designed, percent))
            run.cursor->setPropertyValues(kIndentNames, *values);
    }
}

// One stretch of a twin that takes new values: the whole text or a
// paragraph, with its sizes, its indents or both.
struct TwinSpan
{
    int paragraph = Run::kWhole;
    bool sizes = false;
    bool indents = false;
};

// The stretches of `model`'s runs, in the order of their paragraphs; none
// when a run is a portion of a paragraph, which a twin cannot be sure to
// split alike.
std::optional<std::vector<TwinSpan>> twinSpans(const Frame& model)
{
    std::vector<TwinSpan> spans;
    auto add = [&](const Run& run, bool size) {
        if (run.paragraph == Run::kPortion)
            return false;
        auto span = std::find_if(spans.begin(), spans.end(), [&](const TwinSpan& one) {
            return one.paragraph == run.paragraph;
        });
        if (span == spans.end())
            span = spans.insert(spans.end(), TwinSpan{run.paragraph});
        (size ? span->sizes : span->indents) = true;
        return true;
    };
    for (const Run& run : model.sizes) {
        if (!add(run, true))
            return std::nullopt;
    }
    for (const Run& run : model.indents) {
        if (!add(run, false))
            return std::nullopt;
    }
    std::sort(spans.begin(), spans.end(), [](const TwinSpan& one, const TwinSpan& other) {
        return one.paragraph < other.paragraph;
    });
    return spans;
}

// The model's designed values of a stretch, sizes before indents.
Sequence<Any> modelDesigned(const Frame& model, const TwinSpan& span)
{
    auto of = [&](const std::vector<Run>& runs) {
        return std::find_if(runs.begin(), runs.end(),
                            [&](const Run& run) { return run.paragraph == span.paragraph; })
            ->designed;
    };
    if (span.sizes && span.indents)
        return joined(of(model.sizes), of(model.indents));
    return span.sizes ? of(model.sizes) : of(model.indents);
}

// A twin (a tear-off tab: the same text and frame as its model) takes its
// model's size in the model's stretches, which one cursor walks, reading
// each stretch's designed values (unless the twin was designed as its
// model) and setting the new ones in place: eight
// tabs over, far fewer calls to the office than reading each twin as its
// model was read, and the same values. False, the twin left as it was, when
// that cannot be the same: the model's runs split a paragraph, or the twin's
// sizes differ within a stretch.
bool applyLikeModel(Frame& twin, const Frame& model, const Word::TextFitLimits& limits)
{
    const auto spans = twinSpans(model);
    if (!spans)
        return false;
    const Reference<text::XTextCursor> cursor = twin.text->createTextCursor();
    const Reference<beans::XMultiPropertySet> values(cursor, UNO_QUERY_THROW);
    // A twin designed as its model has the model's values: none to read.
    Reference<beans::XPropertyState> states;
    if (!twin.alike)
        states.set(cursor, UNO_QUERY_THROW);
    ParagraphSpan walker(cursor, model.paragraphLengths);
    // What was set, to be put back when a later stretch differs.
    std::vector<std::tuple<int, Sequence<OUString>, Sequence<Any>>> done;
    auto undo = [&] {
        for (const auto& [paragraph, names, designed] : done) {
            if (walker.select(paragraph))
                values->setPropertyValues(names, designed);
        }
        return false;
    };
    const sal_Int32 sizeCount = kSizeNames.getLength();
    for (const TwinSpan& span : *spans) {
        const Sequence<OUString> names = span.sizes && span.indents
                                             ? joined(kSizeNames, kIndentNames)
                                             : (span.sizes ? kSizeNames : kIndentNames);
        if (!walker.select(span.paragraph))
            return undo();
        if (!twin.alike && anyAmbiguous(states->getPropertyStates(names)))
            return undo();
        const Sequence<Any> designed =
            twin.alike ? modelDesigned(model, span) : values->getPropertyValues(names);
        const sal_Int32 indentsFrom = span.sizes ? sizeCount : 0;
        std::optional<Sequence<Any>> sizes, indents;
        if (span.sizes)
            sizes = scaledSizes(Sequence<Any>(designed.getConstArray(), sizeCount), model.percent,
                                limits);
        if (span.indents)
            indents = scaledIndents(Sequence<Any>(designed.getConstArray() + indentsFrom,
                                                  designed.getLength() - indentsFrom),
                                    model.percent);
        // Indents that are all zero stay untouched, as they do in the model.
        if (sizes && indents) {
            values->setPropertyValues(names, joined(*sizes, *indents));
            done.emplace_back(span.paragraph, names, designed);
        } else if (sizes || indents) {
            const bool size = bool(sizes);
            const Sequence<OUString>& set = size ? kSizeNames : kIndentNames;
            const sal_Int32 from = size ? 0 : indentsFrom;
            values->setPropertyValues(set, size ? *sizes : *indents);
            done.emplace_back(span.paragraph, set,
                              Sequence<Any>(designed.getConstArray() + from, set.getLength()));
        }
    }
    twin.percent = model.percent;
    return true;
}

// The first size to try: laid-out text needs room about in proportion to the
// square of its size (lines get both shorter and fuller), so this guess is at
// or above the size that fits; the steps go down from it.
int firstGuess(double needRatio, const Word::TextFitLimits& limits)
{
    const int step = std::max(1, limits.stepPercent);
    const int guess = int(std::floor(100.0 / std::sqrt(needRatio) / step)) * step;
    return std::clamp(guess, limits.floorPercent, 100 - step);
}

qsizetype shownCharacters(const Frame& frame)
{
    if (frame.kept)
        return *frame.kept;
    return qsizetype(double(frame.content.getLength()) / frame.needRatio);
}

// A cursor `offset` characters (a paragraph mark one) into `text`.
void moveTo(const Reference<text::XTextCursor>& cursor, sal_Int32 offset)
{
    cursor->gotoStart(false);
    goRight(cursor, offset, false);
}

// Where the line holding each character stands on the page. Few calls per
// look, as a long text takes a dozen: the cursor moves on from where it is.
class LineTops
{
public:
    LineTops(const Reference<lang::XComponent>& document, const Reference<text::XText>& text)
        : m_text(text), m_cursor(text->createTextCursor())
    {
        Reference<frame::XModel> model(document, UNO_QUERY_THROW);
        Reference<text::XTextViewCursorSupplier> supplier(model->getCurrentController(),
                                                          UNO_QUERY_THROW);
        m_view = supplier->getViewCursor();
        m_line.set(m_view, UNO_QUERY_THROW);
        m_at.set(m_cursor, UNO_QUERY_THROW);
        m_cursor->gotoStart(false);
    }

    sal_Int32 operator()(sal_Int32 offset)
    {
        for (sal_Int32 step;
             (step = std::clamp<sal_Int32>(offset - m_offset, SAL_MIN_INT16, SAL_MAX_INT16)) != 0;
             m_offset += step) {
            if (step > 0)
                m_cursor->goRight(sal_Int16(step), false);
            else
                m_cursor->goLeft(sal_Int16(-step), false);
        }
        m_view->gotoRange(m_at, false);
        return m_view->getPosition().Y;
    }

    // The first offset in [0, to] whose line stands lower than `y`; `to` + 1
    // for none. Lines only go down as the text goes on.
    sal_Int32 firstBelow(sal_Int32 to, sal_Int32 y)
    {
        sal_Int32 low = 0, high = to + 1;
        while (low < high) {
            const sal_Int32 middle = low + (high - low) / 2;
            if ((*this)(middle) > y)
                high = middle;
            else
                low = middle + 1;
        }
        return low;
    }

    // Where the line holding `offset` starts.
    sal_Int32 lineStart(sal_Int32 offset)
    {
        (*this)(offset);
        m_line->gotoStartOfLine(false);
        Reference<text::XTextCursor> before = m_text->createTextCursorByRange(m_view->getStart());
        before->gotoStart(true);
        return before->getString().getLength();
    }

private:
    Reference<text::XText> m_text;
    Reference<text::XTextCursor> m_cursor;
    Reference<text::XTextRange> m_at;
    sal_Int32 m_offset = 0;
    Reference<text::XTextViewCursor> m_view;
    Reference<view::XLineCursor> m_line;
};

// Deletes the text of `text` from `offset` on; a paragraph left empty at the
// end goes with its mark, so that no blank line stays to be cut through.
void cutAt(const Reference<text::XText>& text, sal_Int32 offset)
{
    Reference<text::XTextCursor> cursor = text->createTextCursor();
    moveTo(cursor, offset);
    Reference<text::XParagraphCursor> paragraph(cursor, UNO_QUERY);
    if (offset > 0 && paragraph.is() && paragraph->isStartOfParagraph())
        cursor->goLeft(1, false);
    cursor->gotoEnd(true);
    cursor->setString(OUString());
}

// A frame that overflows even at the floor shows the line at its bottom edge
// cut through: that line and those below it are to go, so that the page
// shows whole lines only. Finds where that line starts, on the frame laid out
// as measured (its lines stacking downwards from its top); a line ends where
// the next begins, the last where the text does.
void findWholeLines(const Reference<lang::XComponent>& document, Frame& frame)
{
    const sal_Int32 length = frame.text->getString().getLength();
    LineTops tops(document, frame.text);
    const sal_Int32 limit = tops(0) + frame.stackRoom() + frame.tolerance();
    const sal_Int32 below = tops.firstBelow(length, limit);
    // The line cut through is the one before the first line past the edge,
    // or the last line, which ends past it.
    frame.kept = tops.lineStart(std::max(0, below - 1));
}

} // namespace

namespace {

bool listed(const std::vector<std::size_t>& shapes, std::size_t shape)
{
    return std::find(shapes.begin(), shapes.end(), shape) != shapes.end();
}

// What a frame's fitting depends on: its text, designed look and shape, the
// height its text takes at the designed size, and the limits.
struct FitKey
{
    OUString content;
    OUString look;
    bool vertical = false;
    sal_Int32 width = 0, height = 0, top = 0, bottom = 0, designedLayout = 0;
    int stepPercent = 0, floorPercent = 0;
    double minimumPoints = 0;

    bool operator==(const FitKey&) const = default;
};

// What fitting found for a frame that shrinks on its own: the paragraphs
// that wrap, and the size its text settled on. The office lays the same text
// out the same way in the same frame, so a later run whose frame has the
// same text, designed look and shape, and the same height laid out at the
// designed size, finds the same. It takes them from here rather than walk
// the paragraphs with the view and step down through the sizes above; the
// size is still measured, and stepped down from should it not fit.
struct FoundFit
{
    FitKey key;
    std::vector<int> shrinking;
    QStringList shrinkingTexts;
    std::vector<sal_Int32> paragraphLengths;
    int percent = 100;
};

// None for a frame whose designed look is not known, which could differ
// unseen from one with the same text.
std::optional<FitKey> frameKey(const Frame& frame, const Word::TextFitLimits& limits)
{
    if (!frame.alone || !frame.look || !frame.designedLayout)
        return std::nullopt;
    FitKey key;
    key.content = frame.content;
    key.look = *frame.look;
    key.vertical = frame.vertical;
    std::tie(key.width, key.height, key.top, key.bottom) =
        std::tie(frame.width, frame.height, frame.top, frame.bottom);
    key.designedLayout = *frame.designedLayout;
    key.stepPercent = limits.stepPercent;
    key.floorPercent = limits.floorPercent;
    key.minimumPoints = limits.minimumPoints;
    return key;
}

// The latest few (on each thread, as the batch tool's workers fit flyers
// side by side); a flyer has few frames that overflow.
std::vector<FoundFit>& foundFits()
{
    thread_local std::vector<FoundFit> kept;
    return kept;
}
constexpr std::size_t kFoundFitsKept = 16;

// Takes what an earlier run found for `frame`; false when none did.
bool recall(Frame& frame, const Word::TextFitLimits& limits)
{
    const auto key = frameKey(frame, limits);
    if (!key)
        return false;
    const auto& kept = foundFits();
    const auto found = std::find_if(kept.begin(), kept.end(),
                                    [&](const FoundFit& one) { return one.key == *key; });
    if (found == kept.end())
        return false;
    frame.shrinking = found->shrinking;
    frame.shrinkingTexts = found->shrinkingTexts;
    frame.paragraphLengths = found->paragraphLengths;
    frame.remembered = found->percent;
    return true;
}

void remember(const Frame& frame, const Word::TextFitLimits& limits)
{
    auto key = frameKey(frame, limits);
    if (!key || frame.percent == 100)
        return;
    auto& kept = foundFits();
    std::erase_if(kept, [&](const FoundFit& one) { return one.key == *key; });
    if (kept.size() >= kFoundFitsKept)
        kept.erase(kept.begin());
    kept.push_back({std::move(*key), frame.shrinking, frame.shrinkingTexts, frame.paragraphLengths,
                    frame.percent});
}

// The frames that change size as one: each group of the plan, and every
// other frame that may shrink on its own.
std::vector<std::vector<Frame*>> sizeUnits(const std::vector<Frame*>& measured,
                                           const Word::TextFitPlan& plan)
{
    std::vector<std::vector<Frame*>> units;
    for (const auto& group : plan.together) {
        std::vector<Frame*> unit;
        for (Frame* frame : measured) {
            if (listed(group, frame->shape))
                unit.push_back(frame);
        }
        if (!unit.empty())
            units.push_back(std::move(unit));
    }
    for (Frame* frame : measured) {
        const bool grouped =
            std::any_of(plan.together.begin(), plan.together.end(),
                        [&](const auto& group) { return listed(group, frame->shape); });
        if (!grouped && !listed(plan.measureOnly, frame->shape)) {
            frame->alone = true;
            units.push_back({frame});
        }
    }
    return units;
}

// The next size of a unit, or nullopt when it is settled: fits everywhere,
// or has reached the floor.
std::optional<int> nextPercent(const std::vector<Frame*>& unit, bool firstStep,
                               const Word::TextFitLimits& limits)
{
    const bool settled =
        std::all_of(unit.begin(), unit.end(), [](const Frame* frame) { return frame->fits; });
    const int percent = unit.front()->percent;
    if (settled || percent <= limits.floorPercent)
        return std::nullopt;
    if (!firstStep)
        return std::max(limits.floorPercent, percent - std::max(1, limits.stepPercent));
    if (unit.size() == 1 && unit.front()->remembered)
        return *unit.front()->remembered;
    int guess = 100;
    for (const Frame* frame : unit)
        guess = std::min(guess, firstGuess(frame->needRatio, limits));
    return guess;
}

// One step down for every unit that still overflows: the first guess, then a
// step at a time down to the floor. False when no frame changed.
bool shrinkOnce(const Reference<lang::XComponent>& document,
                const std::vector<std::vector<Frame*>>& units, bool firstStep,
                const Word::TextFitLimits& limits)
{
    LayoutHold hold(document);
    bool changed = false;
    for (const auto& unit : units) {
        const auto next = nextPercent(unit, firstStep, limits);
        if (!next) {
            for (Frame* frame : unit)
                frame->settled = true;
            continue;
        }
        hold.hold();
        // A frame of a group that fits already shrinks with the others.
        for (Frame* frame : unit) {
            applyPercent(*frame, *next, limits);
            measureAtTop(*frame);
            frame->settled = false;
        }
        changed = true;
    }
    hold.release();
    return changed;
}

// The texts the plan looks at; the others are left out of the fitting.
std::vector<Reference<text::XText>> onlyPlanned(const std::vector<Reference<text::XText>>& texts,
                                                const Word::TextFitPlan& plan)
{
    std::vector<Reference<text::XText>> looked = texts;
    if (!plan.only.empty()) {
        for (std::size_t i = 0; i < looked.size(); ++i) {
            if (!listed(plan.only, i))
                looked[i].clear();
        }
    }
    return looked;
}

// Gives a twin its model's size, takes the lines that do not fit whole out
// of the frame, and tells what became of it. Nothing is measured any more:
// what changes is laid out once, when `hold` ends.
void settle(Frame& frame, const Word::TextFitLimits& limits, Word::TextFit& fit, LayoutHold& hold)
{
    const Frame& model = frame.twin ? *frame.twin : frame;
    if (frame.twin && model.percent != 100) {
        hold.hold();
        frame.shrinking = model.shrinking;
        if (!applyLikeModel(frame, model, limits))
            applyPercent(frame, model.percent, limits);
    }
    if (model.kept) {
        hold.hold();
        cutAt(frame.text, *model.kept);
    }
    fit.percent = model.percent;
    fit.fits = model.fits;
    if (!model.fits)
        fit.shownCharacters = shownCharacters(model);
    if (model.percent != 100)
        fit.smallerParagraphs = model.shrinkingTexts;
}

} // namespace

std::vector<Word::TextFit> fitFrameTexts(const Reference<lang::XComponent>& document,
                                         const Word::TextFitLimits& limits,
                                         const std::vector<Reference<text::XText>>& texts,
                                         const Word::TextFitPlan& plan,
                                         const std::vector<KnownFrame>& known)
{
    std::vector<Frame> frames = textFrames(onlyPlanned(texts, plan), known);

    std::vector<Word::TextFit> result(texts.size());
    std::vector<Frame*> measured;
    for (Frame& frame : frames) {
        if (!frame.twin)
            measured.push_back(&frame);
    }
    if (measured.empty())
        return result;
    struct Restore
    {
        std::vector<Frame*>& frames;
        const Reference<lang::XComponent>& document;
        ~Restore()
        {
            try {
                const LayoutHold held(document, LayoutHold::Now);
                for (Frame* frame : frames)
                    stopMeasuring(*frame);
            } catch (...) {
                // The office has failed; the caller hears of it from the call itself.
            }
        }
    } restore{measured, document};

    {
        const LayoutHold held(document, LayoutHold::Now);
        for (Frame* frame : measured)
            startMeasuring(*frame);
    }
    measureUnsettled(measured);
    const auto units = sizeUnits(measured, plan);
    for (Frame* frame : measured) {
        frame->settled = frame->settled || listed(plan.measureOnly, frame->shape);
        if (!frame->settled && !recall(*frame, limits))
            findOverflowingParagraphs(document, *frame);
    }
    for (bool firstStep = true; shrinkOnce(document, units, firstStep, limits); firstStep = false)
        measureUnsettled(measured);
    // All found on one layout before any text goes, which would have the
    // office lay the page out again for the next.
    for (Frame* frame : measured) {
        remember(*frame, limits);
        if (!frame->fits && !listed(plan.measureOnly, frame->shape))
            findWholeLines(document, *frame);
    }

    LayoutHold hold(document);
    for (Frame& frame : frames)
        settle(frame, limits, result.at(frame.shape), hold);
    hold.release();
    return result;
}
