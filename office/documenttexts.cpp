#include "office/documenttexts.h"

#include "office/unonames.h"

namespace Office {

bool sameSearch(const FindOptions& a, const FindOptions& b)
{
    return a.text == b.text && a.matchCase == b.matchCase && a.matchWholeWord == b.matchWholeWord;
}

std::optional<std::pair<QString, int>> replacedText(const QString& text, const FindOptions& options,
                                                    const QString& replacement)
{
    if (options.matchWholeWord || options.text.isEmpty())
        return std::nullopt;
    const Qt::CaseSensitivity sensitivity =
        options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    QString shown = replacement;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QString result;
    int count = 0;
    qsizetype from = 0;
    for (qsizetype at; (at = text.indexOf(options.text, from, sensitivity)) >= 0;
         from = at + options.text.size()) {
        result += QStringView(text).mid(from, at - from);
        result += shown;
        ++count;
    }
    result += QStringView(text).mid(from);
    return std::make_pair(result, count);
}

void DocumentTexts::remember(const Reference<text::XText>& text, const QString& value)
{
    m_texts.insert_or_assign(text.get(), std::make_pair(text, value));
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
