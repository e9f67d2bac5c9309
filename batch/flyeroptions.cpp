#include "batch/flyeroptions.h"

#include "base/settings.h"
#include "generate/tearoffcode.h"
#include "mainwindow/flyerpicture.h"

FlyerOptions FlyerOptions::fromSettings()
{
    FlyerOptions options;
    options.picture = FlyerPicture::currentPath();
    options.style = FlyerStyle::current();
    options.tearOffCode = TearOffCode::stored();
    return options;
}

QJsonObject FlyerOptions::toJson() const
{
    return {{QStringLiteral("picture"), picture},
            {QStringLiteral("style"), FlyerStyle::key(style)},
            {QStringLiteral("tearOffCode"), tearOffCode}};
}

FlyerOptions FlyerOptions::fromJson(const QJsonObject& object)
{
    FlyerOptions options;
    options.picture = object.value(QStringLiteral("picture")).toString();
    options.style = FlyerStyle::fromKey(object.value(QStringLiteral("style")).toString());
    options.tearOffCode = object.value(QStringLiteral("tearOffCode")).toString();
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
