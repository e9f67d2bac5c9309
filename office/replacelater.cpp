#include "office/replacelater.h"

#include "office/unonames.h"

#include <vector>

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
    // The texts as the replacement leaves them are known here, so they need
    // not be read back (a call for each).
    int expected = 0;
    bool known = true;
    std::vector<std::pair<Reference<text::XText>, QString>> after;
    for (const auto& [key, text] : waiting.texts) {
        const auto replaced =
            replacedText(m_texts.textOf(text), waiting.options, waiting.replacement);
        known = known && replaced.has_value();
        if (replaced) {
            expected += replaced->second;
            after.emplace_back(text, replaced->first);
        }
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
        return replaceAllInDocument(m_calls.model(), waiting.options, waiting.replacement, true);
    });
    // The office matched where this program's reading of the texts did
    // not: what else it changed is unknown, so every text is read afresh.
    if (!known || replaced != expected) {
        m_texts.forgetAll();
        return;
    }
    for (const auto& [text, value] : after)
        m_texts.remember(text, value);
}

} // namespace Office
