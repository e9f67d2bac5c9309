#include "app/settings.h"

#include "app/failure.h"

#include <QSettings>
#include <QStandardPaths>

#include <memory>

namespace {
constexpr auto kApplication = "Corvanti";
constexpr auto kSection = "Pellamont";

QString& overriddenPath()
{
    static QString path;
    return path;
}

std::unique_ptr<QSettings>& cachedStore()
{
    static std::unique_ptr<QSettings> store;
    return store;
}

QSettings& store()
{
    auto& settings = cachedStore();
    if (!settings)
        settings = std::make_unique<QSettings>(SettingsStore::filePath(), QSettings::IniFormat);
    return *settings;
}

QString qualified(const QString& key)
{
    return QLatin1String(kSection) + QLatin1Char('/') + key;
}
} // namespace

namespace SettingsStore {
QString filePath()
{
    if (!overriddenPath().isEmpty())
        return overriddenPath();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + QLatin1String(kApplication) + QStringLiteral(".conf");
}

void useFileForTesting(const QString& path)
{
    overriddenPath() = path;
    cachedStore().reset();
}
} // namespace SettingsStore

QString ReadSetting(const QString& key)
{
    return store().value(qualified(key)).toString();
}

void WriteSetting(const QString& key, const QString& value)
{
    QSettings& settings = store();
    settings.setValue(qualified(key), value);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        throw Failure(QStringLiteral("The settings file %1 cannot be written.")
                          .arg(SettingsStore::filePath()));
}
