#include "base/flyerjson.h"

#include "base/atomicwrite.h"
#include "base/failure.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace {
struct KeyField
{
    const char* key;
    int field;
};
// The fields as the template names them: [BusinessName] is 0, [City] 1, ...
constexpr std::array<KeyField, FlyerFields::kFieldCount> kKeyFields = {{{"business_name", 0},
                                                                        {"tag_line", 7},
                                                                        {"owner_name", 6},
                                                                        {"title", 2},
                                                                        {"address", 5},
                                                                        {"city", 1},
                                                                        {"state", 8},
                                                                        {"zip", 9},
                                                                        {"phone", 3},
                                                                        {"fax", 4},
                                                                        {"tab_name", 10},
                                                                        {"tab_address", 11},
                                                                        {"tab_phone", 13},
                                                                        {"tab_email", 12}}};

QString typeName(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return QStringLiteral("true or false");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::Array:
        return QStringLiteral("a list");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    default:
        return QStringLiteral("text");
    }
}

QStringList listOf(const QString& key, const QJsonValue& value)
{
    if (value.isNull() || value.isUndefined())
        return {};
    if (!value.isArray())
        throw Failure(QStringLiteral("\"%1\" must be a list of texts in [ ], not %2.")
                          .arg(key, typeName(value)));
    QStringList items;
    const QJsonArray array = value.toArray();
    for (qsizetype i = 0; i < array.size(); ++i) {
        if (!array.at(i).isString())
            throw Failure(QStringLiteral("Item %1 of \"%2\" must be text in quotes, not %3.")
                              .arg(QString::number(i + 1), key, typeName(array.at(i))));
        items << array.at(i).toString();
    }
    return items;
}
} // namespace

const QStringList& flyerDataKeys()
{
    static const QStringList keys = [] {
        QStringList all;
        for (const KeyField& entry : kKeyFields)
            all << QLatin1String(entry.key);
        all << servicesDataKey() << scheduledServicesDataKey();
        return all;
    }();
    return keys;
}

QString servicesDataKey()
{
    return QStringLiteral("services");
}

QString scheduledServicesDataKey()
{
    return QStringLiteral("scheduled_services");
}

int fieldOfDataKey(const QString& key)
{
    for (const KeyField& entry : kKeyFields) {
        if (key == QLatin1String(entry.key))
            return entry.field;
    }
    return -1;
}

QJsonObject flyerDataToJson(const FlyerRecord& record)
{
    QJsonObject object;
    for (const KeyField& entry : kKeyFields)
        object.insert(QLatin1String(entry.key), record.fields.at(std::size_t(entry.field)));
    object.insert(servicesDataKey(), QJsonArray::fromStringList(record.services));
    object.insert(scheduledServicesDataKey(), QJsonArray::fromStringList(record.scheduledServices));
    return object;
}

FlyerRecord flyerDataFromJson(const QJsonObject& object)
{
    QStringList unknown;
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!flyerDataKeys().contains(it.key()))
            unknown << QLatin1Char('"') + it.key() + QLatin1Char('"');
    }
    if (!unknown.isEmpty())
        throw Failure(QStringLiteral("Unknown %1 %2. The known ones are: %3.")
                          .arg(unknown.size() == 1 ? QStringLiteral("key") : QStringLiteral("keys"),
                               unknown.join(QStringLiteral(", ")),
                               flyerDataKeys().join(QStringLiteral(", "))));
    FlyerRecord record;
    for (const KeyField& entry : kKeyFields) {
        const QJsonValue value = object.value(QLatin1String(entry.key));
        if (!value.isString() && !value.isNull() && !value.isUndefined())
            throw Failure(QStringLiteral("\"%1\" must be text in quotes, not %2.")
                              .arg(QLatin1String(entry.key), typeName(value)));
        record.fields.at(std::size_t(entry.field)) = value.toString();
    }
    record.services = listOf(servicesDataKey(), object.value(servicesDataKey()));
    record.scheduledServices =
        listOf(scheduledServicesDataKey(), object.value(scheduledServicesDataKey()));
    return record;
}

void writeFlyerDataFile(const QString& path, const FlyerRecord& record)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QByteArray bytes = QJsonDocument(flyerDataToJson(record)).toJson();
    try {
        AtomicWrite::write(path, AtomicWrite::Durability::Durable,
                           [&](QIODevice& file) { return file.write(bytes) == bytes.size(); });
    } catch (const AtomicWrite::Failed& failed) {
        throw Failure(QStringLiteral("The flyer data could not be written to %1: %2")
                          .arg(shown, failed.reason));
    }
}

FlyerRecord readFlyerDataFile(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    // Far more than any flyer holds; a larger file is not flyer data.
    constexpr qint64 largest = qint64(16) * 1024 * 1024;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("%1 cannot be read: %2").arg(shown, file.errorString()));
    if (file.size() > largest)
        throw Failure(QStringLiteral("%1 is too large to be flyer data.").arg(shown));
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.read(largest), &error);
    if (error.error != QJsonParseError::NoError)
        throw Failure(QStringLiteral("%1 is not a flyer data file: it is not valid JSON "
                                     "(at character %2: %3).")
                          .arg(shown)
                          .arg(error.offset + 1)
                          .arg(error.errorString()));
    QJsonValue flyer;
    if (document.isObject())
        flyer = document.object();
    else if (document.isArray() && document.array().size() == 1)
        flyer = document.array().first();
    if (!flyer.isObject())
        throw Failure(QStringLiteral("%1 does not hold one flyer: it must hold one object { } "
                                     "of flyer data.")
                          .arg(shown));
    try {
        return flyerDataFromJson(flyer.toObject());
    } catch (const Failure& failure) {
        throw Failure(shown + QStringLiteral(": ") + failure.description());
    }
}
