#pragma once

// The calls of one open document of the office engine: on its model, in its
// application's session (under the time limit, failing once that office has
// gone), refused once the document is closed; and the page layout held back
// while a run edits. Brings in UNO headers: only the LibreOffice engine
// includes it.

#include "base/failure.h"
#include "office/officeconnection.h"

#include <com/sun/star/lang/XComponent.hpp>

#include <utility>

namespace Office {

class DocumentCalls
{
public:
    DocumentCalls(Session session, const css::uno::Reference<css::lang::XComponent>& model)
        : m_session(std::move(session)), m_model(model)
    {}

    template <typename Step> auto call(Step&& step) -> decltype(step())
    {
        if (m_closed)
            throw Failure(QStringLiteral("The document is closed."));
        return m_session.call(std::forward<Step>(step));
    }

    // Fails as a call would on a closed document or a gone office, without
    // asking the office anything.
    void checkUsable();

    // Every edit lays the page out again unless the controllers are locked;
    // a filling run makes dozens of edits, so the layout waits until something
    // needs it (saving, the picture, reading positions, closing).
    void holdLayout();
    void releaseLayout();

    // From now on every call is refused; the session stays for the closing
    // call itself.
    void markClosed() { m_closed = true; }
    bool isClosed() const { return m_closed; }

    Session& session() { return m_session; }
    const css::uno::Reference<css::lang::XComponent>& model() const { return m_model; }

private:
    Session m_session;
    css::uno::Reference<css::lang::XComponent> m_model;
    bool m_closed = false;
    bool m_layoutHeld = false;
};

} // namespace Office
