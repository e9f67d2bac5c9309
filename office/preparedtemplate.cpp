#include "office/preparedtemplate.h"

#include "office/officeconnection.h"
#include "office/officepicture.h"
#include "office/shapecache.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/io/SequenceInputStream.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <unordered_set>

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

PreparedDocument prepareDocument(const Reference<uno::XComponentContext>& context,
                                 const Reference<frame::XDesktop2>& desktop,
                                 const QByteArray& bytes)
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
        std::unordered_set<const void*> read;
        auto readText = [&](const Reference<text::XText>& text) {
            if (text.is() && read.insert(text.get()).second)
                prepared.texts.emplace_back(text, toQString(text->getString()));
        };
        for (const auto& story : prepared.stories)
            readText(story);
        for (const auto& [object, text] : prepared.shapes) {
            readText(text);
            if (!text.is())
                continue;
            prepared.frameShapes.emplace_back(text, readFrameShape(text));
            // The tear-off tabs' places, asked for when codes go on them.
            prepared.places.emplace_back(object, officeShapePlace(object, true));
        }
    } catch (...) {
        closeQuietly(prepared.model);
        throw;
    }
    return prepared;
}

void TemplatePreparation::start(const Reference<uno::XComponentContext>& context,
                                const Reference<frame::XDesktop2>& desktop, const QByteArray& bytes,
                                int generation)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_running || m_result)
            return;
        m_running = true;
    }
    if (m_thread.joinable())
        m_thread.join();
    m_thread = std::thread([this, context, desktop, bytes, generation] {
        std::optional<PreparedDocument> prepared;
        try {
            prepared = prepareDocument(context, desktop, bytes);
            prepared->generation = generation;
        } catch (...) {
            // A favour: a run without a prepared document opens the file.
        }
        std::lock_guard lock(m_mutex);
        m_result = std::move(prepared);
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
