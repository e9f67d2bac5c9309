#pragma once

// The replace-all that waits for the other stories of one open document.
// Word replaces story by story; the office replaces in every story at once,
// in one call instead of about a dozen per occurrence. A filling run asks
// every story for the same replace-all in turn, so the replacement waits here
// until the document is asked anything else (settle()); by then every story
// that holds the text has usually asked, and one call does them all. Brings
// in UNO headers: only the LibreOffice engine includes it.

#include "office/documentcalls.h"
#include "office/documenttexts.h"

#include <QString>

#include <com/sun/star/text/XText.hpp>

#include <optional>
#include <unordered_map>

namespace Office {

class ReplaceLater
{
public:
    ReplaceLater(DocumentCalls& calls, DocumentTexts& texts) : m_calls(calls), m_texts(texts) {}

    // True when replacing in `text` joins the replacement that waits: the
    // same search and replacement, asked by a text that has not asked yet.
    bool joins(const css::uno::Reference<css::text::XText>& text, const FindOptions& options,
               const QString& replacement) const;
    // Replaces every occurrence in `text` later; a different replacement that
    // waits is carried out first.
    void add(const css::uno::Reference<css::text::XText>& text, const FindOptions& options,
             const QString& replacement);
    // Carries out the replacement that waits, if any.
    void settle();
    // What waits would change nothing anyone can see any more.
    void drop() { m_waiting.reset(); }

private:
    struct Waiting
    {
        FindOptions options;
        QString replacement;
        std::unordered_map<const void*, css::uno::Reference<css::text::XText>> texts;
    };

    DocumentCalls& m_calls;
    DocumentTexts& m_texts;
    std::optional<Waiting> m_waiting;
};

} // namespace Office
