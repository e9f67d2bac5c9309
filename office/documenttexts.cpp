#include "office/documenttexts.h"

#include "office/unonames.h"

namespace Office {

bool sameSearch(const FindOptions& a, const FindOptions& b)
{
    return a.text == b.text && a.matchCase == b.matchCase && a.matchWholeWord == b.matchWholeWord;
}

QString DocumentTexts::textOf(const Reference<text::XText>& text)
{
    const auto known = m_texts.find(text.get());
    if (known != m_texts.end()) {
        m_calls.checkUsable();
        return known->second.second;
    }
    QString value = m_calls.call([&] { return toQString(text->getString()); });
    m_texts.emplace(text.get(), std::make_pair(text, value));
    return value;
}

void DocumentTexts::adopt(const std::vector<Reference<text::XText>>& stories,
                          const std::vector<std::pair<Reference<text::XText>, QString>>& texts)
{
    m_stories = stories;
    for (const auto& [text, value] : texts)
        m_texts.emplace(text.get(), std::make_pair(text, value));
}

void DocumentTexts::clear()
{
    m_texts.clear();
    m_stories.reset();
    m_search = SearchCache{};
}

const std::vector<Reference<text::XText>>& DocumentTexts::stories()
{
    if (!m_stories)
        m_stories = m_calls.call([&] { return storyTexts(m_calls.model()); });
    return *m_stories;
}

std::vector<Reference<text::XTextRange>>
DocumentTexts::occurrencesIn(const Reference<text::XText>& text, const FindOptions& options)
{
    const Reference<uno::XInterface> owner(text, UNO_QUERY);
    SearchCache& cache = m_search;
    const bool same = cache.valid && sameSearch(cache.options, options);
    if (!same || cache.served.count(owner.get()) > 0) {
        cache = SearchCache{};
        cache.hits = findInDocument(m_calls.model(), options);
        cache.options = options;
        cache.valid = true;
    }
    cache.served.insert(owner.get());
    std::vector<Reference<text::XTextRange>> result;
    for (const TextHit& hit : cache.hits) {
        if (hit.text.get() == owner.get())
            result.push_back(hit.range);
    }
    return result;
}

} // namespace Office
