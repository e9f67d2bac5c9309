#pragma once

// The template's document made ready before the user asks for a flyer: only
// the office adapter includes this (UNO headers).

#include "office/textfit.h"

#include <QByteArray>
#include <QRectF>
#include <QString>

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/graphic/XGraphic.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace Office {

// The pictures a run last put on the page with a graphic the office keeps
// (the tear-off tabs' codes, the same click after click): the document
// prepared next makes them ready.
struct PicturePlan
{
    css::uno::Reference<css::graphic::XGraphic> graphic;
    std::vector<QRectF> places;
};

// A picture made in a prepared document with its graphic and place (points
// from the page's corner), not yet in the text: a run that wants that
// picture there only inserts it.
struct SparePicture
{
    css::uno::Reference<css::beans::XPropertySet> picture;
    // The same picture as inserted and as listed: asked for here, they are
    // no trip to the office during the run.
    css::uno::Reference<css::text::XTextContent> content;
    css::uno::Reference<css::uno::XInterface> object;
    css::uno::Reference<css::graphic::XGraphic> graphic;
    QRectF place;
};

// The template loaded hidden and read-only from its bytes in memory, with
// what a filling run asks of it before it changes anything: its stories, its
// floating shapes (those of headers and footers left out) with their texts,
// what every one of those texts holds, and the designed shape and place of
// each text frame.
struct PreparedDocument
{
    QByteArray bytes;
    int generation = 0;
    css::uno::Reference<css::lang::XComponent> model;
    std::vector<css::uno::Reference<css::text::XText>> stories;
    // As ShapeCache lists them.
    std::vector<
        std::pair<css::uno::Reference<css::uno::XInterface>, css::uno::Reference<css::text::XText>>>
        shapes;
    std::vector<std::pair<css::uno::Reference<css::text::XText>, QString>> texts;
    std::vector<std::pair<css::uno::Reference<css::text::XText>, FrameShape>> frameShapes;
    // Each text frame's place, in points from the page's corner, as
    // officeShapePlace() reads it.
    std::vector<std::pair<css::uno::Reference<css::uno::XInterface>, QRectF>> places;
    // Made for the plan the preparation was given.
    std::vector<SparePicture> pictures;
};

// What reading a prepared document's lists tells, without the office's
// objects: the texts, the frames' shapes and places, in the order they were
// read. The same bytes give the same, so a later preparation takes them
// from here rather than asking the office again.
struct TemplateFacts
{
    QByteArray bytes;
    std::vector<QString> texts;
    std::vector<FrameShape> frameShapes;
    std::vector<QRectF> places;
};

// Loading the template is the same work for every flyer, so it is done while
// the office is idle, on a thread of its own over the program's connection,
// and the document kept until a run opens the template. At most one document
// is prepared at a time; whoever uses the office next waits for the work.
class TemplatePreparation
{
public:
    TemplatePreparation() = default;
    ~TemplatePreparation() { join(); }
    Q_DISABLE_COPY_MOVE(TemplatePreparation)

    // Starts the work unless it is under way or a document is ready.
    void start(const css::uno::Reference<css::uno::XComponentContext>& context,
               const css::uno::Reference<css::frame::XDesktop2>& desktop, const QByteArray& bytes,
               int generation, const PicturePlan& plan = {});
    // True once the work is not under way.
    bool finished();
    // Waits for the work to end: a call the office is still working on is
    // waited for, so end a hung office first.
    void join();
    // The prepared document, which the caller now owns, when there is one
    // made from `bytes` in `generation`; a document prepared for anything
    // else is closed.
    std::optional<PreparedDocument> take(const QByteArray& bytes, int generation);
    // The prepared document, if any, for the caller to close; nothing is
    // prepared afterwards until start().
    std::optional<PreparedDocument> release();

private:
    std::thread m_thread;
    std::mutex m_mutex;
    bool m_running = false;                   // guarded by m_mutex
    std::optional<PreparedDocument> m_result; // guarded by m_mutex
    std::optional<TemplateFacts> m_facts;     // guarded by m_mutex
};

// Loads `bytes` hidden and read-only as the template is loaded from its
// file, and reads its lists, the values among them from `known` when they
// were read from the same bytes, and makes the pictures of `plan` ready;
// throws what the office throws.
PreparedDocument prepareDocument(const css::uno::Reference<css::uno::XComponentContext>& context,
                                 const css::uno::Reference<css::frame::XDesktop2>& desktop,
                                 const QByteArray& bytes, const TemplateFacts* known = nullptr,
                                 const PicturePlan& plan = {});

// Closes a document of the office, quietly: the office may be gone.
void closeQuietly(const css::uno::Reference<css::lang::XComponent>& document);

} // namespace Office
