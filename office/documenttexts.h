#pragma once

// What the texts of one open document hold, as the office engine's adapters
// last read them: each text read once and kept until it changes, the
// document's stories, and the one search of the document that serves every
// story asked in turn. Brings in UNO headers: only the LibreOffice engine
// includes it.

#include "office/documentcalls.h"
#include "office/unotext.h"

#include <QString>

#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextRange.hpp>

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace Office {

class DocumentTexts
{
public:
    explicit DocumentTexts(DocumentCalls& calls) : m_calls(calls) {}

    // The text of one of this document's texts, remembered until it changes
    // through forget(): every change goes through the engine's adapter.
    QString textOf(const css::uno::Reference<css::text::XText>& text);
    void forget(const css::uno::Reference<css::text::XText>& text) { m_texts.erase(text.get()); }
    // What `text` holds now, known without asking the office (it made the
    // change itself).
    void remember(const css::uno::Reference<css::text::XText>& text, const QString& value);
    // The office changed texts this program cannot name: all are read afresh.
    void forgetAll() { m_texts.clear(); }
    // Takes the document's stories and what its texts hold as read already
    // (from a document prepared before it was asked for).
    void adopt(const std::vector<css::uno::Reference<css::text::XText>>& stories,
               const std::vector<std::pair<css::uno::Reference<css::text::XText>, QString>>& texts);
    // The document is closed: nothing read from it is of use any more.
    void clear();

    // The document's stories, read once: no operation offered here adds or
    // removes one.
    const std::vector<css::uno::Reference<css::text::XText>>& stories();

    // The occurrences of options.text in `text`. A filling run asks every
    // story for the same text in turn; one search of the document serves them
    // all, as the found ranges follow the edits made in other texts. A text
    // asked again gets a fresh search, since its own edits may have made new
    // occurrences. Call inside a call of the document.
    std::vector<css::uno::Reference<css::text::XTextRange>>
    occurrencesIn(const css::uno::Reference<css::text::XText>& text, const FindOptions& options);

private:
    struct SearchCache
    {
        bool valid = false;
        FindOptions options;
        std::vector<TextHit> hits;
        std::unordered_set<const void*> served;
    };

    DocumentCalls& m_calls;
    std::optional<std::vector<css::uno::Reference<css::text::XText>>> m_stories;
    // Keyed by the proxy, which the bridge keeps one of per object and
    // interface; the entry holds the proxy so that its address stays its own.
    std::unordered_map<const void*, std::pair<css::uno::Reference<css::text::XText>, QString>>
        m_texts;
    SearchCache m_search;
};

// The same text searched the same way.
bool sameSearch(const FindOptions& a, const FindOptions& b);

// `text` with every occurrence of options.text replaced by `replacement`, as
// the office's replace-all leaves it (a paragraph mark reads "\n"), and how
// many it replaced; nothing for a search by whole words, whose bounds only
// the office knows.
std::optional<std::pair<QString, int>> replacedText(const QString& text, const FindOptions& options,
                                                    const QString& replacement);

} // namespace Office
