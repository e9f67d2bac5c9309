#include "office/documentcalls.h"

#include "office/unonames.h"

#include <com/sun/star/frame/XModel.hpp>

namespace Office {

void DocumentCalls::checkUsable()
{
    if (m_closed)
        throw Failure(QStringLiteral("The document is closed."));
    m_session.connection->checkGeneration(m_session.generation);
}

void DocumentCalls::holdLayout()
{
    if (m_layoutHeld)
        return;
    call([&] { Reference<frame::XModel>(m_model, UNO_QUERY_THROW)->lockControllers(); });
    m_layoutHeld = true;
}

void DocumentCalls::releaseLayout()
{
    if (!m_layoutHeld)
        return;
    m_layoutHeld = false;
    call([&] { Reference<frame::XModel>(m_model, UNO_QUERY_THROW)->unlockControllers(); });
}

} // namespace Office
