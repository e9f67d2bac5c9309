#include "batch/flyeroptions.h"

#include "base/settings.h"
#include "entry/flyerpicture.h"

FlyerOptions FlyerOptions::fromSettings()
{
    FlyerOptions options;
    options.picture = FlyerPicture::currentPath();
    return options;
}

QJsonObject FlyerOptions::toJson() const
{
    return {{QStringLiteral("picture"), picture}};
}

FlyerOptions FlyerOptions::fromJson(const QJsonObject& object)
{
    FlyerOptions options;
    options.picture = object.value(QStringLiteral("picture")).toString();
    return options;
}

namespace {
// As the window restores a list: the pieces between the ";" that are not empty.
QStringList storedList(const QString& key)
{
    QStringList items = ReadSetting(key).split(QLatin1Char(';'));
    items.removeAll(QString());
    return items;
}
} // namespace

FlyerRecord flyerRecordFromSettings()
{
    FlyerRecord record;
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        record.fields.at(std::size_t(i)) = ReadSetting(FlyerFields::fieldKey(i));
    record.services = storedList(FlyerFields::servicesKey());
    record.scheduledServices = storedList(FlyerFields::scheduledServicesKey());
    return record;
}
