#include "office/preparedtemplate.h"

#include "office/officeconnection.h"
#include "office/officepicture.h"
#include "office/shapecache.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <QHash>

#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/io/SequenceInputStream.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <unordered_set>
#include <vector>

namespace Office {

void closeQuietly(const Reference<lang::XComponent>& document)
{
    if (!document.is())
        return;
    try {
        Reference<util::XCloseable> closeable(document, UNO_QUERY);
        if (closeable.is())
            closeable->close(true);
        else
            document->dispose();
    } catch (...) {
        // The office is going or has gone; nothing is left to give back.
    }
}

namespace {

// The lists' values, to spare the next preparation of the same bytes.
TemplateFacts factsOf(const PreparedDocument& prepared)
{
    TemplateFacts facts{prepared.bytes, {}, {}, {}};
    for (const auto& [text, value] : prepared.texts)
        facts.texts.push_back(value);
    for (const auto& [text, shape] : prepared.frameShapes)
        facts.frameShapes.push_back(shape);
    for (const auto& [object, place] : prepared.places)
        facts.places.push_back(place);
    return facts;
}

// Reads the texts and frames of the lists `prepared` holds, or takes them
// from `known` when that was read from the same bytes and lists as long.
void readValues(PreparedDocument& prepared, const TemplateFacts* known)
{
    std::vector<Reference<text::XText>> texts;
    std::unordered_set<const void*> seen;
    auto add = [&](const Reference<text::XText>& text) {
        if (text.is() && seen.insert(text.get()).second)
            texts.push_back(text);
    };
    for (const auto& story : prepared.stories)
        add(story);
    std::vector<std::pair<Reference<uno::XInterface>, Reference<text::XText>>> frames;
    for (const auto& [object, text] : prepared.shapes) {
        add(text);
        if (text.is())
            frames.emplace_back(object, text);
    }
    const bool same =
        known && known->bytes == prepared.bytes && known->texts.size() == texts.size() &&
        known->frameShapes.size() == frames.size() && known->places.size() == frames.size();
    QHash<const void*, QString> values;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        prepared.texts.emplace_back(texts[i],
                                    same ? known->texts[i] : toQString(texts[i]->getString()));
        values.insert(texts[i].get(), prepared.texts.back().second);
    }
    // Only frames that read alike can be twins, whose looks are compared.
    QHash<QString, int> alike;
    for (const auto& [object, text] : frames)
        ++alike[values.value(text.get())];
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto& [object, text] = frames[i];
        prepared.frameShapes.emplace_back(
            text, same ? known->frameShapes[i]
                       : readFrameShape(text, alike.value(values.value(text.get())) > 1));
        // The tear-off tabs' places, asked for when codes go on them.
        prepared.places.emplace_back(object,
                                     same ? known->places[i] : officeShapePlace(object, true));
    }
}

} // namespace

PreparedDocument prepareDocument(const Reference<uno::XComponentContext>& context,
                                 const Reference<frame::XDesktop2>& desktop,
                                 const QByteArray& bytes, const TemplateFacts* known,
                                 const PicturePlan& plan)
{
    PreparedDocument prepared;
    prepared.bytes = bytes;
    // The stream is made in the office, so that reading it costs no calls.
    const uno::Sequence<sal_Int8> data(reinterpret_cast<const sal_Int8*>(bytes.constData()),
                                       sal_Int32(bytes.size()));
    const auto stream = io::SequenceInputStream::createStreamFromSequence(context, data);
    Reference<frame::XComponentLoader> loader(desktop, UNO_QUERY_THROW);
    prepared.model = loader->loadComponentFromURL(
        "private:stream", "_blank", 0,
        properties(
            {{"InputStream", Any(stream)},
             {"Hidden", Any(true)},
             {"ReadOnly", Any(true)},
             {"AsTemplate", Any(false)},
             {"MacroExecutionMode", Any(sal_Int16(document::MacroExecMode::NEVER_EXECUTE))}}));
    try {
        if (!Reference<text::XTextDocument>(prepared.model, UNO_QUERY).is() ||
            readAsPlainText(prepared.model))
            throw uno::RuntimeException("The template did not load as a text document.");
        prepared.stories = storyTexts(prepared.model);
        for (const auto& object : floatingShapeObjects(prepared.model))
            prepared.shapes.emplace_back(object, frameText(object));
        readValues(prepared, known);
    } catch (...) {
        closeQuietly(prepared.model);
        throw;
    }
    try {
        prepared.pictures = sparePictures(prepared.model, plan);
    } catch (const uno::Exception&) {
        // A favour: the run makes its pictures itself.
    }
    return prepared;
}

void TemplatePreparation::start(const Reference<uno::XComponentContext>& context,
                                const Reference<frame::XDesktop2>& desktop, const QByteArray& bytes,
                                int generation, const PicturePlan& plan)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_running || m_result)
            return;
        m_running = true;
    }
    if (m_thread.joinable())
        m_thread.join();
    m_thread = std::thread([this, context, desktop, bytes, generation, plan] {
        std::optional<TemplateFacts> known;
        {
            std::lock_guard lock(m_mutex);
            known = m_facts;
        }
        std::optional<PreparedDocument> prepared;
        std::optional<TemplateFacts> facts;
        try {
            prepared = prepareDocument(context, desktop, bytes, known ? &*known : nullptr, plan);
            prepared->generation = generation;
            facts = factsOf(*prepared);
        } catch (...) {
            // A favour: a run without a prepared document opens the file.
        }
        std::lock_guard lock(m_mutex);
        m_result = std::move(prepared);
        if (facts)
            m_facts = std::move(facts);
        m_running = false;
    });
}

bool TemplatePreparation::finished()
{
    std::lock_guard lock(m_mutex);
    return !m_running;
}

void TemplatePreparation::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

std::optional<PreparedDocument> TemplatePreparation::take(const QByteArray& bytes, int generation)
{
    std::optional<PreparedDocument> prepared = release();
    if (prepared && (prepared->generation != generation || prepared->bytes != bytes)) {
        closeQuietly(prepared->model);
        prepared.reset();
    }
    return prepared;
}

std::optional<PreparedDocument> TemplatePreparation::release()
{
    std::lock_guard lock(m_mutex);
    if (m_running)
        return std::nullopt;
    return std::exchange(m_result, std::nullopt);
}

} // namespace Office
