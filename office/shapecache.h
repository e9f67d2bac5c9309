#pragma once

// The floating shapes of one open document, each with its text, as the
// office engine's adapters ask for them. Brings in UNO headers: only the
// LibreOffice engine includes it.

#include "office/documentcalls.h"

#include <com/sun/star/text/XText.hpp>

#include <optional>
#include <utility>
#include <vector>

namespace Office {

// The text of a floating object: only a real text frame has text; pictures
// are frames of another kind.
css::uno::Reference<css::text::XText>
frameText(const css::uno::Reference<css::uno::XInterface>& object);

// The floating shapes, each with its text (empty for a shape without text),
// read once until a picture is added or a shape removed: a filling run asks
// for them several times.
class ShapeCache
{
public:
    using ShapeList = std::vector<std::pair<css::uno::Reference<css::uno::XInterface>,
                                            css::uno::Reference<css::text::XText>>>;

    explicit ShapeCache(DocumentCalls& calls) : m_calls(calls) {}

    const ShapeList& list();
    std::vector<css::uno::Reference<css::text::XText>> texts();
    void forget() { m_list.reset(); }
    // Takes `list` as read already (from a document prepared before it was
    // asked for).
    void adopt(ShapeList list) { m_list = std::move(list); }
    // `pictures` just put on the page, in this order: the office lists new
    // objects last, as the very objects that were inserted.
    void addPictures(const std::vector<css::uno::Reference<css::uno::XInterface>>& pictures);

private:
    DocumentCalls& m_calls;
    std::optional<ShapeList> m_list;
};

} // namespace Office
