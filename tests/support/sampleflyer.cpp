#include "sampleflyer.h"

#include "base/flyerfields.h"

namespace SampleFlyer {

namespace {
// The order "Load Sample/Example Data" fills the fields in.
constexpr int kOrder[] = {0, 7, 6, 2, 5, 1, 8, 9, 3, 4, 10, 11, 13, 12};
} // namespace

QStringList tokens()
{
    QStringList tokens;
    for (int index : kOrder)
        tokens << FlyerFields::token(index);
    return tokens;
}

QStringList fieldTexts()
{
    QStringList texts;
    for (int index : kOrder)
        texts << FlyerFields::sampleText(index);
    return texts;
}

QStringList services()
{
    return FlyerFields::sampleServices();
}

QStringList scheduledServices()
{
    return FlyerFields::sampleScheduledServices();
}

} // namespace SampleFlyer
