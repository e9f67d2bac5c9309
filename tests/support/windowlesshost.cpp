#include "windowlesshost.h"

#include "base/flyerfields.h"

QString WindowlessHost::fieldToken(int index)
{
    return FlyerFields::token(index);
}

void WindowlessHost::makeFlyer()
{
    FlyerOrder order;
    for (int i = 0; i < FlyerFields::kFieldCount; ++i) {
        for (int field = 0; field < FlyerFields::kFieldCount; ++field) {
            if (FlyerFields::token(field) == fieldToken(i))
                order.record.fields.at(std::size_t(field)) = fieldText(i);
        }
    }
    order.record.services = services();
    order.record.scheduledServices = scheduledServices();
    order.style = style;
    order.tearOffCode = tearOffCode;
    order.pagePicture = m_page == Page::Captured;
    const FilledFlyer flyer = TemplateFilling::makeFlyer(order);
    shown = flyer.made();
    if (!shown)
        return;
    document = flyer.document;
    picture = flyer.page;
    notice = flyer.notice;
}
