#include "office/shapecache.h"

#include "office/officepicture.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <com/sun/star/drawing/XDrawPage.hpp>

#include <com/sun/star/text/XTextFrame.hpp>

namespace Office {

Reference<text::XText> frameText(const Reference<uno::XInterface>& object)
{
    Reference<text::XTextFrame> frame(object, UNO_QUERY);
    return frame.is() ? frame->getText() : Reference<text::XText>();
}

const ShapeCache::ShapeList& ShapeCache::list()
{
    if (!m_list)
        m_list = m_calls.call([&] {
            ShapeList list;
            for (const auto& object : floatingShapeObjects(m_calls.model()))
                list.emplace_back(object, frameText(object));
            return list;
        });
    m_calls.call([] {}); // still fails on a closed document or a dead office
    return *m_list;
}

void ShapeCache::addPictures(const std::vector<Reference<uno::XInterface>>& pictures)
{
    if (!m_list)
        return;
    for (const auto& picture : pictures)
        m_list->emplace_back(picture, Reference<text::XText>());
}

std::vector<Reference<text::XText>> ShapeCache::texts()
{
    std::vector<Reference<text::XText>> texts;
    for (const auto& entry : list())
        texts.push_back(entry.second);
    return texts;
}

} // namespace Office
