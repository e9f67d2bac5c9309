#include "sampleflyer.h"

using namespace Qt::Literals::StringLiterals;

namespace SampleFlyer {

QStringList tokens()
{
    return {u"[BusinessName]"_s, u"[TagLine]"_s,  u"[OwnerName]"_s, u"[Title]"_s,   u"[Address]"_s,
            u"[City]"_s,         u"[State]"_s,    u"[Zip]"_s,       u"[PhoneNo]"_s, u"[FaxNo]"_s,
            u"[Name2]"_s,        u"[Address2]"_s, u"[Phone2]"_s,    u"[Email2]"_s};
}

QStringList fieldTexts()
{
    return {u"Corvanti"_s,
            u"We have your landscape needs covered."_s,
            u"Arlo Penwright"_s,
            u"Owner and Landscape Architect"_s,
            u"1234 East Main Street"_s,
            u"Boise"_s,
            u"ID"_s,
            u"91002"_s,
            u"367.555.0100"_s,
            u"367.555.0101"_s,
            u"Tobin Marsh"_s,
            u"123 Garage Street"_s,
            u"367.555.0102"_s,
            u"tobin.marsh@example.com"_s};
}

QStringList services()
{
    return {u"Mowing"_s,
            u"Edging"_s,
            u"Weeding Planted Areas"_s,
            u"Fertilizer Application"_s,
            u"Pruning"_s,
            u"Planting"_s,
            u"Hedge Trimming"_s,
            u"Tree Trimming and Removal"_s,
            u"Leaf Clean-up"_s,
            u"Plants and Flowers"_s,
            u"Mulching"_s,
            u"Sprinkler Maintenance"_s,
            u"Weed Prevention"_s,
            u"Core Aeration"_s,
            u"Refuse Removal"_s,
            u"Irrigation Systems"_s,
            u"Insect Control"_s,
            u"Sod Replacements/Removals"_s,
            u"Hauling/Removal"_s,
            u"Water Ponds"_s};
}

QStringList scheduledServices()
{
    return {u"Weekly Lawn Cutting"_s, u"Bi-Weekly Weeding and Cutting"_s, u"Bi-Monthly Planting"_s,
            u"Pruning"_s};
}

} // namespace SampleFlyer
