#include "office/replacelater.h"

#include "office/unonames.h"

namespace Office {

bool ReplaceLater::joins(const Reference<text::XText>& text, const FindOptions& options,
                         const QString& replacement) const
{
    return m_waiting && sameSearch(m_waiting->options, options) &&
           m_waiting->replacement == replacement && m_waiting->texts.count(text.get()) == 0;
}

void ReplaceLater::add(const Reference<text::XText>& text, const FindOptions& options,
                       const QString& replacement)
{
    if (!joins(text, options, replacement))
        settle();
    if (!m_waiting)
        m_waiting = Waiting{options, replacement, {}};
    m_waiting->texts.emplace(text.get(), text);
}

void ReplaceLater::settle()
{
    if (!m_waiting)
        return;
    const Waiting waiting = std::move(*m_waiting);
    m_waiting.reset();
    m_calls.holdLayout();
    const bool everyHolderAsked = m_calls.call([&] {
        for (const auto& story : m_texts.stories()) {
            if (waiting.texts.count(story.get()) == 0 &&
                mayContain(m_texts.textOf(story), waiting.options))
                return false;
        }
        return true;
    });
    int expected = 0;
    for (const auto& [key, text] : waiting.texts) {
        expected += m_texts.textOf(text).count(waiting.options.text, waiting.options.matchCase
                                                                         ? Qt::CaseSensitive
                                                                         : Qt::CaseInsensitive);
        m_texts.forget(text);
    }
    if (!everyHolderAsked) {
        m_calls.call([&] {
            for (const auto& [key, text] : waiting.texts)
                replaceHits(text, m_texts.occurrencesIn(text, waiting.options), waiting.replacement,
                            ReplaceMode::All);
        });
        return;
    }
    const int replaced = m_calls.call([&] {
        return replaceAllInDocument(m_calls.model(), waiting.options, waiting.replacement);
    });
    // The office matched where this program's reading of the texts did
    // not: what else it changed is unknown, so every text is read afresh.
    if (replaced != expected)
        m_texts.forgetAll();
}

} // namespace Office
